#include "ui/pages.h"

#include "app/qt_text.h"

#include "ui/dialog_template.h"
#include "ui/templates.h"

#include <QCheckBox>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>

namespace zr70 {

ParameterPage::ParameterPage(const DialogTemplate& layout, QWidget* parent) : QWidget(parent) {
    const std::vector<QWidget*> built = buildFromTemplate(*this, layout);
    for (std::size_t at = 0; at < built.size(); ++at) {
        const ControlTemplate& row = layout.controls[at];
        auto* list = qobject_cast<QComboBox*>(built[at]);
        if (list == nullptr || row.parameter == kNoParameter) {
            continue;
        }
        // activated comes with every pick by the user, also of the entry that
        // is already selected, and never with a selection made by the program.
        const ParameterIndex index = row.parameter;
        connect(list, &QComboBox::activated, this,
                [this, index](int selection) { emit picked(index, selection); });
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

void ParameterPage::showSelections(const ParameterSet& selections) {
    for (ParameterIndex index = 0; index < kParameterCount; ++index) {
        if (QComboBox* found = list(index)) {
            found->setCurrentIndex(selections.selection(index));
        }
    }
}

ControlsPage::ControlsPage(QWidget* parent) : ParameterPage(kControlsPageTemplate, parent) {}

SensitivityPage::SensitivityPage(QWidget* parent)
    : ParameterPage(kSensitivityPageTemplate, parent) {}

PresetsPage::PresetsPage(QWidget* parent) : QWidget(parent) {
    buildFromTemplate(*this, kPresetsPageTemplate);
    const auto forward = [this](const char* name, void (PresetsPage::*signal)()) {
        QPushButton* button = findControl<QPushButton>(*this, name);
        Q_ASSERT(button != nullptr);
        connect(button, &QPushButton::clicked, this, signal);
    };
    forward(names::kLoadPreset, &PresetsPage::loadPresetClicked);
    forward(names::kSavePreset, &PresetsPage::savePresetClicked);
    forward(names::kSaveDefault, &PresetsPage::saveDefaultClicked);
    forward(names::kRestoreDevice, &PresetsPage::restoreDeviceClicked);
    sendAfterLoad_ = findControl<QCheckBox>(*this, names::kSendAfterLoad);
    Q_ASSERT(sendAfterLoad_ != nullptr);
    connect(sendAfterLoad_, &QCheckBox::clicked, this, &PresetsPage::sendAfterLoadClicked);
}

bool PresetsPage::sendAfterLoad() const {
    return sendAfterLoad_->isChecked();
}

void PresetsPage::setSendAfterLoad(bool ticked) {
    const QSignalBlocker blocker(sendAfterLoad_);
    sendAfterLoad_->setChecked(ticked);
}

MidiSetupPage::MidiSetupPage(QWidget* parent) : QWidget(parent) {
    buildFromTemplate(*this, kMidiSetupPageTemplate);
    list_ = findControl<QListWidget>(*this, names::kDeviceList);
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
    // A click or Space on the entry already selected changes no selection, but
    // it is a choice of that device all the same: after a failed open it is
    // how the user tries the device again.
    list_->installEventFilter(this);
    list_->viewport()->installEventFilter(this);
    connect(list_, &QListWidget::pressed, this, [this](const QModelIndex& index) {
        const bool chosen = pressOnSelected_ && index.row() == inUse_ && selected() == inUse_;
        pressOnSelected_ = false;
        if (chosen) {
            emit deviceSelected(inUse_);
        }
    });
}

bool MidiSetupPage::choosesEntry(Qt::KeyboardModifiers modifiers) {
    return !(modifiers & Qt::ControlModifier);
}

bool MidiSetupPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto* press = static_cast<QMouseEvent*>(event);
        pressOnSelected_ = press->button() == Qt::LeftButton && choosesEntry(press->modifiers()) &&
                           inUse_ >= 0 && selected() == inUse_ &&
                           list_->indexAt(press->position().toPoint()).row() == inUse_;
    } else if (watched == list_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && choosesEntry(key->modifiers()) && !key->isAutoRepeat() &&
            inUse_ >= 0 && selected() == inUse_ && list_->currentRow() == inUse_) {
            emit deviceSelected(inUse_);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MidiSetupPage::showOutputs(const std::vector<std::string>& names, int selected) {
    {
        const QSignalBlocker blocker(list_);
        list_->clear();
        for (const std::string& name : names) {
            list_->addItem(QString::fromStdString(name));
        }
    }
    inUse_ = -1;
    select(selected);
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
