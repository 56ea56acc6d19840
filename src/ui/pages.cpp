#include "ui/pages.h"

#include "app/qt_text.h"

#include "ui/dialog_template.h"
#include "ui/templates.h"

#include <QCheckBox>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>

namespace zr70 {

ParameterPage::ParameterPage(const DialogTemplate& layout, Page page, QWidget* parent)
    : QWidget(parent) {
    buildFromTemplate(*this, layout);
    for (const DeviceParameter& parameter : parameterTable()) {
        if (parameter.page != page) {
            continue;
        }
        QComboBox* list = findControl<QComboBox>(
            *this, kParameterListIds[static_cast<std::size_t>(parameter.index)]);
        Q_ASSERT(list != nullptr);
        for (std::string_view value : parameter.values) {
            list->addItem(toQString(value));
        }
        list->setCurrentIndex(-1);
        // activated comes with every pick by the user, also of the entry that
        // is already selected, and never with a selection made by the program.
        const ParameterIndex index = parameter.index;
        connect(list, &QComboBox::activated, this, [this, index] { emit parameterPicked(index); });
        lists_[static_cast<std::size_t>(index)] = list;
    }
}

QComboBox* ParameterPage::list(ParameterIndex index) const {
    if (index < 0 || index >= kParameterCount) {
        return nullptr;
    }
    return lists_[static_cast<std::size_t>(index)];
}

int ParameterPage::selection(ParameterIndex index) const {
    const QComboBox* found = list(index);
    return found != nullptr ? found->currentIndex() : kNoSelection;
}

void ParameterPage::setSelection(ParameterIndex index, int selection) {
    if (QComboBox* found = list(index)) {
        found->setCurrentIndex(isValidSelection(index, selection) ? selection : -1);
    }
}

ControlsPage::ControlsPage(QWidget* parent)
    : ParameterPage(kControlsPageTemplate, Page::Controls, parent) {}

SensitivityPage::SensitivityPage(QWidget* parent)
    : ParameterPage(kSensitivityPageTemplate, Page::Sensitivity, parent) {}

PageParameterLists::PageParameterLists(ParameterPage& controls, ParameterPage& sensitivity)
    : controls_(controls), sensitivity_(sensitivity) {}

ParameterPage& PageParameterLists::pageOf(ParameterIndex index) const {
    return parameter(index).page == Page::Controls ? controls_ : sensitivity_;
}

int PageParameterLists::selection(ParameterIndex index) const {
    return pageOf(index).selection(index);
}

void PageParameterLists::setSelection(ParameterIndex index, int selection) {
    pageOf(index).setSelection(index, selection);
}

PresetsPage::PresetsPage(QWidget* parent) : QWidget(parent) {
    buildFromTemplate(*this, kPresetsPageTemplate);
    const auto forward = [this](int id, void (PresetsPage::*signal)()) {
        QPushButton* button = findControl<QPushButton>(*this, id);
        Q_ASSERT(button != nullptr);
        connect(button, &QPushButton::clicked, this, signal);
    };
    forward(ids::kLoadPreset, &PresetsPage::loadPresetClicked);
    forward(ids::kSavePreset, &PresetsPage::savePresetClicked);
    forward(ids::kSaveDefault, &PresetsPage::saveDefaultClicked);
    forward(ids::kRestoreDevice, &PresetsPage::restoreDeviceClicked);
    sendAfterLoad_ = findControl<QCheckBox>(*this, ids::kSendAfterLoad);
    Q_ASSERT(sendAfterLoad_ != nullptr);
}

bool PresetsPage::sendAfterLoad() const {
    return sendAfterLoad_->isChecked();
}

void PresetsPage::setSendAfterLoad(bool ticked) {
    sendAfterLoad_->setChecked(ticked);
}

MidiSetupPage::MidiSetupPage(QWidget* parent) : QWidget(parent) {
    buildFromTemplate(*this, kMidiSetupPageTemplate);
    list_ = findControl<QListWidget>(*this, ids::kDeviceList);
    Q_ASSERT(list_ != nullptr);
    // A change of selection, by mouse or arrow key, is a device change. The
    // current row alone is not: the view moves it to the first entry when it
    // gets the focus with nothing selected, and a mouse press moves it before
    // it selects.
    connect(list_, &QListWidget::itemSelectionChanged, this, [this] {
        const int position = selected();
        if (position < 0) {
            // Ctrl+click or Ctrl+Space takes the selection away, but the
            // device stays open: its entry stays selected.
            select(inUse_);
            return;
        }
        inUse_ = position;
        emit deviceSelected(position);
    });
}

void MidiSetupPage::append(const std::string& name) {
    list_->addItem(QString::fromStdString(name));
}

void MidiSetupPage::select(int position) {
    if (position < 0 || position >= list_->count()) {
        return;
    }
    inUse_ = position;
    const QSignalBlocker blocker(list_);
    list_->setCurrentRow(position);
}

int MidiSetupPage::selected() const {
    const QModelIndexList rows = list_->selectionModel()->selectedIndexes();
    return rows.isEmpty() ? -1 : rows.first().row();
}

} // namespace zr70
