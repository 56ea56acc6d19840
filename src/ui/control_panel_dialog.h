#pragma once

// The main window of the panel: a view of the Panel.
//
// How the program uses it (main and the application object):
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
//       return 0;                     // no MIDI output, or no buffer
//   window.exec();                    // Esc or the close box end it
//   panel.shutDown();                 // the output closes
//   return 0;
//
// Pages: the four pages are children of the tab control from the start; the
// window shows the Panel's state on them and hands on what the user does.
//
// Start position: the screen point of the client area's top left corner,
// where the window's client area is placed at the end of initialise(). Every
// move of the window stores its client position in the settings.

#include "app/panel.h"
#include "ui/pages.h"

#include <QDialog>
#include <QPoint>

class QMenu;

namespace zr70 {

class FilledRectangle;
class TabControl;

/// System commands of the window menu; an identifier whose bits above the
/// lowest four equal 10h opens the About box.
inline constexpr int kMinimizeCommand = 0xF020;
inline constexpr int kCloseCommand = 0xF060;
/// The SysEx entries of the window menu, outside the About box's 16 to 31.
inline constexpr int kExportSysExCommand = 0x20;
inline constexpr int kImportSysExCommand = 0x30;

class ControlPanelDialog : public QDialog {
    Q_OBJECT
public:
    /// Builds the window from its template (caption, fixed size, tab control
    /// 1006 and transmit indicator 1025) and its four pages; shows nothing and
    /// starts nothing.
    ControlPanelDialog(Panel& panel, QPoint startPosition);

    /// The initialisation, once, before the window is first shown: SysEx and
    /// About entries,
    /// icon, tabs, the Panel's start-up (shown on the pages as it goes),
    /// Controls page shown, window placed at the start position. EndProgram:
    /// end with status 0 at once.
    Panel::StartResult initialise();

    /// Runs a command of the window menu: the About box for 16 to 31, the SysEx
    /// export for 32 to 47 and import for 48 to 63, else the window's own
    /// handling (minimise, close); unknown commands do nothing.
    void systemCommand(int command);

    /// Appends a separator and the About entry (command 16) to `menu`, or
    /// nothing when `text` is empty.
    static void appendAboutEntry(QMenu& menu, const QString& text);

    QMenu& systemMenu() const { return *systemMenu_; }
    TabControl& tabControl() const { return *tabs_; }
    QWidget& transmitIndicator() const;
    ControlsPage& controlsPage() const { return *controls_; }
    SensitivityPage& sensitivityPage() const { return *sensitivity_; }
    PresetsPage& presetsPage() const { return *presets_; }
    MidiSetupPage& midiSetupPage() const { return *midiSetup_; }

public slots:
    /// Enter does nothing in the main window.
    void accept() override {}

protected:
    void moveEvent(QMoveEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QWidget* page(int index) const;
    void changePage(int selected);
    void showPage(int index);
    void hidePage(int index);
    void openAbout();

    void showSelections();

    Panel& panel_;
    TabControl* tabs_ = nullptr;
    FilledRectangle* indicator_ = nullptr;
    QMenu* systemMenu_ = nullptr;
    ControlsPage* controls_ = nullptr;
    SensitivityPage* sensitivity_ = nullptr;
    PresetsPage* presets_ = nullptr;
    MidiSetupPage* midiSetup_ = nullptr;
    QPoint startPosition_;
    int leavingPage_ = 0; ///< the page of the tab selected before a change
    bool initialised_ = false;
    Panel::StartResult startResult_ = Panel::StartResult::Running;
};

} // namespace zr70
