#pragma once

// The main window of the panel: a view of the Panel.
//
// How the program uses it (the application object):
//
//   MessageBoxMessages messages;      // UserMessages
//   DialogFileChooser chooser;        // FileChooser
//   SystemMidiHost host; SettingsProfile settings;
//   Panel panel(host, settings, messages, chooser);
//
//   ControlPanelDialog window(panel, clientTopLeft);
//   messages.setOwner(&window);       // boxes and file dialogs are modal over it
//   chooser.setOwner(&window);
//   if (window.initialise() == Panel::StartResult::EndProgram)
//       return 0;                     // no MIDI output
//   window.exec();                    // Esc or the close box end it
//   panel.shutDown();                 // the output closes
//   return 0;
//
// Pages: the four pages sit in a stack in the tab control from the start,
// which shows the page of the selected tab; the window shows the Panel's
// state on them and hands on what the user does.
//
// Start position: the screen point of the client area's top left corner,
// where the window's client area is placed at the end of initialise(). Every
// move of the window stores its client position in the settings.

#include "app/panel.h"
#include "ui/pages.h"

#include <QDialog>
#include <QPoint>

class QAction;
class QMenu;
class QStackedWidget;

namespace zr70 {

class FilledRectangle;
class TabControl;

class ControlPanelDialog : public QDialog {
    Q_OBJECT
public:
    /// Builds the window from its template (caption, fixed size, tab control
    /// and transmit indicator) and its four pages; shows nothing and starts
    /// nothing.
    ControlPanelDialog(Panel& panel, QPoint startPosition);

    /// The initialisation, once, before the window is first shown: the
    /// window menu, icon, tabs, the Panel's start-up (shown on the pages as
    /// it goes), Controls page shown, window placed at the start position.
    /// EndProgram: end with status 0 at once.
    Panel::StartResult initialise();

    /// Appends a separator and the About entry `text` to `menu`; nothing, and
    /// nullptr, when `text` is empty.
    static QAction* appendAboutEntry(QMenu& menu, const QString& text);

    /// The window's menu (Minimize, Close, the SysEx entries, About), which a
    /// right-click or the Menu key opens anywhere in the window.
    QMenu& windowMenu() const { return *windowMenu_; }
    TabControl& tabControl() const { return *tabs_; }
    QStackedWidget& pages() const { return *pages_; }
    QWidget& transmitIndicator() const;
    ControlsPage& controlsPage() const { return *controls_; }
    SensitivityPage& sensitivityPage() const { return *sensitivity_; }
    PresetsPage& presetsPage() const { return *presets_; }
    MidiSetupPage& midiSetupPage() const { return *midiSetup_; }

public slots:
    /// Enter does nothing in the main window.
    void accept() override {}
    /// Opens the About box, modal over the window.
    void openAbout();

protected:
    void moveEvent(QMoveEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void showSelections();

    Panel& panel_;
    TabControl* tabs_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    FilledRectangle* indicator_ = nullptr;
    QMenu* windowMenu_ = nullptr;
    ControlsPage* controls_ = nullptr;
    SensitivityPage* sensitivity_ = nullptr;
    PresetsPage* presets_ = nullptr;
    MidiSetupPage* midiSetup_ = nullptr;
    QPoint startPosition_;
    bool initialised_ = false;
    Panel::StartResult startResult_ = Panel::StartResult::Running;
};

} // namespace zr70
