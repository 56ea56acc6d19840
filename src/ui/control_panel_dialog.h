#pragma once

// The main window of the panel.
//
// How the program uses it (main and the application object):
//
//   ControlsPage controls;            // the four pages are members of the
//   SensitivityPage sensitivity;      // application object, constructed in
//   PresetsPage presets;              // this order without a parent and
//   MidiSetupPage midiSetup;          // destroyed in reverse
//   MessageBoxMessages messages;      // UserMessages
//   DialogFileChooser chooser;        // FileChooser
//   RtMidiHost host; SettingsProfile settings;
//
//   ControlPanelDialog window({controls, sensitivity, presets, midiSetup},
//                             {host, settings, messages, chooser}, clientTopLeft);
//   messages.setOwner(&window);       // boxes and file dialogs are modal over it
//   chooser.setOwner(&window);
//   if (window.initialise() == MidiOutputPort::StartResult::EndProgram)
//       return 0;                     // no MIDI output, or no buffer
//   window.exec();                    // Esc or the close box end it
//   return 0;                         // ~ControlPanelDialog closes the port
//
// Pages: initialise() makes them children of the tab control, and the
// destructor hands them back without a parent (hidden, every control's state
// kept), so the application object still owns them and nothing is deleted
// twice. The window must be destroyed before the pages.
//
// Start position: the screen point of the client area's top left corner,
// where the window's client area is placed at the end of initialise(). Every
// move of the window stores its client position in the settings.
//
// Shut down: the destructor closes the MIDI port, once, unless initialise()
// ended the program, in which case nothing more happens.

#include "app/panel_controller.h"
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

class ControlPanelDialog : public QDialog, public TransmitFeedback {
    Q_OBJECT
public:
    struct Pages {
        ControlsPage& controls;
        SensitivityPage& sensitivity;
        PresetsPage& presets;
        MidiSetupPage& midiSetup;
    };
    struct Services {
        MidiHost& host;
        IntegerSettings& settings;
        UserMessages& messages;
        FileChooser& chooser;
    };

    /// Builds the window from its template (caption, fixed size, tab control
    /// 1006 and transmit indicator 1025); shows nothing and starts nothing.
    ControlPanelDialog(Pages pages, Services services, QPoint startPosition);
    ~ControlPanelDialog() override;

    /// The initialisation, once, before the window is first shown: About entry,
    /// icon, tabs, pages, "Send sysex afer load" ticked, MIDI start-up,
    /// "default.zr" or the default selections, Controls page shown, window
    /// placed at the start position. EndProgram: end with status 0 at once.
    MidiOutputPort::StartResult initialise();

    // What a transmission shows.
    void hideIndicator() override;
    void showIndicator() override;
    void setCaption(std::string_view caption) override;

    /// Runs a command of the window menu: the About box for 16 to 31, else the
    /// window's own handling (minimise, close); unknown commands do nothing.
    void systemCommand(int command);

    /// Appends a separator and the About entry (command 16) to `menu`, or
    /// nothing when `text` is empty.
    static void appendAboutEntry(QMenu& menu, const QString& text);

    QMenu& systemMenu() const { return *systemMenu_; }
    TabControl& tabControl() const { return *tabs_; }
    QWidget& transmitIndicator() const;
    PanelController& controller() { return controller_; }

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

    Pages pages_;
    TabControl* tabs_ = nullptr;
    FilledRectangle* indicator_ = nullptr;
    QMenu* systemMenu_ = nullptr;
    PageParameterLists lists_;
    PanelController controller_;
    QPoint startPosition_;
    int leavingPage_ = 0; ///< the page of the tab selected before a change
    bool initialised_ = false;
    MidiOutputPort::StartResult startResult_ = MidiOutputPort::StartResult::Running;
};

} // namespace zr70
