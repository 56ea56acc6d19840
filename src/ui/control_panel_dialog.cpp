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

QAction* addCommand(QMenu& menu, const QString& text, int command) {
    QAction* action = menu.addAction(text);
    action->setData(command);
    return action;
}

} // namespace

ControlPanelDialog::ControlPanelDialog(Pages pages, Services services, QPoint startPosition)
    : QDialog(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint),
      pages_(pages), lists_(pages.controls, pages.sensitivity),
      controller_(lists_, pages.presets, services.host, services.settings, services.messages, *this,
                  services.chooser),
      startPosition_(startPosition) {
    buildFromTemplate(*this, kMainWindowTemplate);
    tabs_ = findControl<TabControl>(*this, ids::kTabControl);
    indicator_ = findControl<FilledRectangle>(*this, ids::kTransmitIndicator);
    Q_ASSERT(tabs_ != nullptr && indicator_ != nullptr);
    // The indicator lies over the right end of the tab strip.
    indicator_->raise();

    // The window menu: what a title bar menu offers for a window of fixed
    // size, and later the About entry.
    systemMenu_ = new QMenu(this);
    addCommand(*systemMenu_, tr("Mi&nimize"), kMinimizeCommand);
    addCommand(*systemMenu_, tr("&Close"), kCloseCommand);
}

ControlPanelDialog::~ControlPanelDialog() {
    // After a fatal start-up stop the program ends without any shutdown step.
    if (initialised_ && startResult_ == MidiOutputPort::StartResult::Running) {
        controller_.windowDestroyed();
    }
    // The pages belong to the application and outlive this window: they go
    // back without a parent, hidden, with all their controls as they are.
    for (int index = 0; index < 4; ++index) {
        QWidget* gone = page(index);
        disconnect(gone, nullptr, this, nullptr);
        if (gone->parentWidget() == tabs_) {
            gone->hide();
            gone->setParent(nullptr);
        }
    }
}

MidiOutputPort::StartResult ControlPanelDialog::initialise() {
    if (initialised_) {
        return startResult_;
    }
    initialised_ = true;

    appendAboutEntry(*systemMenu_, toQString(kAboutMenuText));
    setWindowIcon(programIcon());
    for (std::string_view label : kTabLabels) {
        tabs_->addTab(toQString(label));
    }
    connect(&tabs_->tabBar(), &QTabBar::currentChanged, this, &ControlPanelDialog::changePage);

    for (int index = 0; index < 4; ++index) {
        QWidget* created = page(index);
        created->setParent(tabs_);
        created->move(kPagePosition);
        created->hide();
    }
    connect(&pages_.controls, &ParameterPage::parameterPicked, this,
            [this](int index) { controller_.parameterPicked(index); });
    connect(&pages_.sensitivity, &ParameterPage::parameterPicked, this,
            [this](int index) { controller_.parameterPicked(index); });
    PresetCommands& commands = controller_.presetCommands();
    connect(&pages_.presets, &PresetsPage::loadPresetClicked, this,
            [&commands] { commands.loadPreset(); });
    connect(&pages_.presets, &PresetsPage::savePresetClicked, this,
            [&commands] { commands.savePreset(); });
    connect(&pages_.presets, &PresetsPage::saveDefaultClicked, this,
            [&commands] { commands.saveDefault(); });
    connect(&pages_.presets, &PresetsPage::restoreDeviceClicked, this,
            [&commands] { commands.restoreDevice(); });
    connect(&pages_.midiSetup, &MidiSetupPage::deviceSelected, this,
            [this](int position) { controller_.deviceSelected(position); });

    // The box is ticked before "default.zr" loads, so the start-up load sends.
    pages_.presets.setSendAfterLoad(true);

    startResult_ = controller_.startUp(pages_.midiSetup);
    if (startResult_ == MidiOutputPort::StartResult::EndProgram) {
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

void ControlPanelDialog::hideIndicator() {
    indicator_->hide();
}

void ControlPanelDialog::showIndicator() {
    indicator_->show();
}

void ControlPanelDialog::setCaption(std::string_view caption) {
    setWindowTitle(toQString(caption));
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
        return &pages_.controls;
    case 1:
        return &pages_.sensitivity;
    case 2:
        return &pages_.presets;
    case 3:
        return &pages_.midiSetup;
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
        controller_.windowMoved(geometry().x(), geometry().y());
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
