#include "ui/control_panel_dialog.h"

#include "app/qt_text.h"

#include "ui/about_dialog.h"
#include "ui/artwork.h"
#include "ui/dialog_template.h"
#include "ui/key_events.h"
#include "ui/static_controls.h"
#include "ui/tab_control.h"
#include "ui/templates.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QStackedWidget>
#include <QTabBar>

namespace zr70 {

namespace {

constexpr std::string_view kFailCaption = "fail!";

} // namespace

ControlPanelDialog::ControlPanelDialog(Panel& panel, QPoint startPosition)
    : QDialog(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint),
      panel_(panel), startPosition_(startPosition) {
    buildFromTemplate(*this, kMainWindowTemplate);
    tabs_ = findControl<TabControl>(*this, names::kTabControl);
    indicator_ = findControl<FilledRectangle>(*this, names::kTransmitIndicator);
    Q_ASSERT(tabs_ != nullptr && indicator_ != nullptr);
    // The indicator lies over the right end of the tab strip.
    indicator_->raise();

    // The pages sit in the tab control, one over the other, the page of the
    // selected tab on top.
    controls_ = new ControlsPage;
    sensitivity_ = new SensitivityPage;
    presets_ = new PresetsPage;
    midiSetup_ = new MidiSetupPage;
    pages_ = new QStackedWidget(tabs_);
    pages_->setObjectName(QString::fromLatin1(names::kPages));
    for (QWidget* page : {static_cast<QWidget*>(controls_), static_cast<QWidget*>(sensitivity_),
                          static_cast<QWidget*>(presets_), static_cast<QWidget*>(midiSetup_)}) {
        pages_->addWidget(page);
    }
    pages_->setGeometry(QRect(kPagePosition, controls_->size()));

    // The window menu: what a title bar menu offers for a window of fixed
    // size, and later the SysEx and About entries.
    windowMenu_ = new QMenu(this);
    windowMenu_->addAction(tr("Mi&nimize"), this, &QWidget::showMinimized)
        ->setObjectName(QString::fromLatin1(names::kMinimizeAction));
    windowMenu_->addAction(tr("&Close"), this, &QWidget::close)
        ->setObjectName(QString::fromLatin1(names::kCloseAction));
}

Panel::StartResult ControlPanelDialog::initialise() {
    if (initialised_) {
        return startResult_;
    }
    initialised_ = true;

    windowMenu_->addSeparator();
    windowMenu_->addAction(tr("Export SysEx..."), &panel_, &Panel::exportChosenSysEx)
        ->setObjectName(QString::fromLatin1(names::kExportSysExAction));
    windowMenu_->addAction(tr("Import SysEx..."), &panel_, &Panel::importChosenSysEx)
        ->setObjectName(QString::fromLatin1(names::kImportSysExAction));
    if (QAction* about = appendAboutEntry(*windowMenu_, toQString(kAboutMenuText))) {
        about->setObjectName(QString::fromLatin1(names::kAboutAction));
        connect(about, &QAction::triggered, this, &ControlPanelDialog::openAbout);
    }
    setWindowIcon(programIcon());
    for (std::string_view label : kTabLabels) {
        tabs_->addTab(toQString(label));
    }
    connect(&tabs_->tabBar(), &QTabBar::currentChanged, pages_, &QStackedWidget::setCurrentIndex);

    // What the user does goes to the Panel.
    for (ParameterPage* parameters :
         {static_cast<ParameterPage*>(controls_), static_cast<ParameterPage*>(sensitivity_)}) {
        connect(parameters, &ParameterPage::picked, &panel_, &Panel::pick);
    }
    connect(presets_, &PresetsPage::loadPresetClicked, &panel_, &Panel::loadChosenPreset);
    connect(presets_, &PresetsPage::savePresetClicked, &panel_, &Panel::saveChosenPreset);
    connect(presets_, &PresetsPage::saveDefaultClicked, &panel_, &Panel::saveDefault);
    connect(presets_, &PresetsPage::restoreDeviceClicked, &panel_, &Panel::restoreDevice);
    connect(presets_, &PresetsPage::sendAfterLoadClicked, &panel_, &Panel::setSendAfterLoad);
    connect(midiSetup_, &MidiSetupPage::deviceSelected, &panel_, &Panel::chooseOutput);

    // What the Panel holds shows on the pages.
    connect(&panel_, &Panel::selectionsChanged, this, &ControlPanelDialog::showSelections);
    connect(&panel_, &Panel::sendAfterLoadChanged, presets_, &PresetsPage::setSendAfterLoad);
    connect(&panel_, &Panel::outputsListed, this,
            [this] { midiSetup_->showOutputs(panel_.outputs(), panel_.selectedOutput()); });
    connect(&panel_, &Panel::outputSelected, midiSetup_, &MidiSetupPage::select);
    connect(&panel_, &Panel::transmitting, this, [this](bool on) { indicator_->setHidden(on); });
    // Nothing restores the caption: once a message was refused the user
    // should know the converter may not match the lists any more.
    connect(&panel_, &Panel::failed, this, [this](const QString& why) {
        setWindowTitle(toQString(kFailCaption));
        // Screen readers can tell why.
        setAccessibleDescription(why);
    });
    showSelections();
    presets_->setSendAfterLoad(panel_.sendAfterLoad());

    startResult_ = panel_.start();
    if (startResult_ == Panel::StartResult::EndProgram) {
        return startResult_;
    }

    pages_->setCurrentIndex(tabs_->tabBar().currentIndex());

    // A top-level window's geometry is its client area, so the client area
    // lands on the start position whatever frame the desktop draws. The move
    // is reported when the window shows, and stored like any other.
    setGeometry(QRect(startPosition_, size()));
    raise();
    return startResult_;
}

void ControlPanelDialog::showSelections() {
    controls_->showSelections(panel_.selections());
    sensitivity_->showSelections(panel_.selections());
}

QWidget& ControlPanelDialog::transmitIndicator() const {
    return *indicator_;
}

QAction* ControlPanelDialog::appendAboutEntry(QMenu& menu, const QString& text) {
    if (text.isEmpty()) {
        return nullptr;
    }
    menu.addSeparator();
    return menu.addAction(text);
}

void ControlPanelDialog::openAbout() {
    AboutDialog about(this);
    about.exec();
}

void ControlPanelDialog::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    // A minimised window may be reported far outside every screen; that is
    // not a place to come back to.
    if (!isMinimized()) {
        panel_.storeWindowPosition(geometry().x(), geometry().y());
    }
}

void ControlPanelDialog::keyPressEvent(QKeyEvent* event) {
    if (isPlainEnter(*event)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void ControlPanelDialog::contextMenuEvent(QContextMenuEvent* event) {
    windowMenu_->exec(event->globalPos());
}

} // namespace zr70
