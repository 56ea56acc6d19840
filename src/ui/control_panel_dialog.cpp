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
#include <QTabBar>

namespace zr70 {

namespace {

constexpr int kCommandMask = 0xFFF0;

constexpr std::string_view kFailCaption = "fail!";

QAction* addCommand(QMenu& menu, const QString& text, int command) {
    QAction* action = menu.addAction(text);
    action->setData(command);
    return action;
}

} // namespace

ControlPanelDialog::ControlPanelDialog(Panel& panel, QPoint startPosition)
    : QDialog(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint),
      panel_(panel), startPosition_(startPosition) {
    buildFromTemplate(*this, kMainWindowTemplate);
    tabs_ = findControl<TabControl>(*this, ids::kTabControl);
    indicator_ = findControl<FilledRectangle>(*this, ids::kTransmitIndicator);
    Q_ASSERT(tabs_ != nullptr && indicator_ != nullptr);
    // The indicator lies over the right end of the tab strip.
    indicator_->raise();

    // The pages sit in the tab control, hidden until their tab is chosen.
    controls_ = new ControlsPage(tabs_);
    sensitivity_ = new SensitivityPage(tabs_);
    presets_ = new PresetsPage(tabs_);
    midiSetup_ = new MidiSetupPage(tabs_);
    for (int index = 0; index < 4; ++index) {
        page(index)->move(kPagePosition);
        page(index)->hide();
    }

    // The window menu: what a title bar menu offers for a window of fixed
    // size, and later the About entry.
    systemMenu_ = new QMenu(this);
    addCommand(*systemMenu_, tr("Mi&nimize"), kMinimizeCommand);
    addCommand(*systemMenu_, tr("&Close"), kCloseCommand);
}

Panel::StartResult ControlPanelDialog::initialise() {
    if (initialised_) {
        return startResult_;
    }
    initialised_ = true;

    systemMenu_->addSeparator();
    addCommand(*systemMenu_, tr("Export SysEx..."), kExportSysExCommand);
    addCommand(*systemMenu_, tr("Import SysEx..."), kImportSysExCommand);
    appendAboutEntry(*systemMenu_, toQString(kAboutMenuText));
    setWindowIcon(programIcon());
    for (std::string_view label : kTabLabels) {
        tabs_->addTab(toQString(label));
    }
    connect(&tabs_->tabBar(), &QTabBar::currentChanged, this, &ControlPanelDialog::changePage);

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
    connect(&panel_, &Panel::failed, this, [this] { setWindowTitle(toQString(kFailCaption)); });
    showSelections();
    presets_->setSendAfterLoad(panel_.sendAfterLoad());

    startResult_ = panel_.start();
    if (startResult_ == Panel::StartResult::EndProgram) {
        return startResult_;
    }

    leavingPage_ = tabs_->tabBar().currentIndex();
    showPage(leavingPage_);

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

void ControlPanelDialog::appendAboutEntry(QMenu& menu, const QString& text) {
    if (text.isEmpty()) {
        return;
    }
    menu.addSeparator();
    addCommand(menu, text, kAboutCommand);
}

void ControlPanelDialog::systemCommand(int command) {
    switch (command & kCommandMask) {
    case kAboutCommand:
        openAbout();
        break;
    case kExportSysExCommand:
        panel_.exportChosenSysEx();
        break;
    case kImportSysExCommand:
        panel_.importChosenSysEx();
        break;
    case kMinimizeCommand:
        showMinimized();
        break;
    case kCloseCommand:
        close();
        break;
    default:
        break;
    }
}

void ControlPanelDialog::openAbout() {
    AboutDialog about(this);
    about.exec();
}

QWidget* ControlPanelDialog::page(int index) const {
    switch (index) {
    case 0:
        return controls_;
    case 1:
        return sensitivity_;
    case 2:
        return presets_;
    case 3:
        return midiSetup_;
    default:
        return nullptr;
    }
}

void ControlPanelDialog::changePage(int selected) {
    hidePage(leavingPage_);
    showPage(selected);
    leavingPage_ = selected;
}

void ControlPanelDialog::showPage(int index) {
    if (QWidget* shown = page(index)) {
        shown->move(kPagePosition);
        shown->raise();
        shown->show();
    }
}

void ControlPanelDialog::hidePage(int index) {
    if (QWidget* hidden = page(index)) {
        hidden->hide();
        hidden->move(kPagePosition);
        hidden->raise();
    }
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
    if (QAction* chosen = systemMenu_->exec(event->globalPos())) {
        systemCommand(chosen->data().toInt());
    }
}

} // namespace zr70
