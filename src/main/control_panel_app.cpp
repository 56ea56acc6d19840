#include "control_panel_app.h"

#include "app/panel.h"
#include "app/process_setup.h"
#include "app/settings_profile.h"
#include "app/termination_signals.h"
#include "app/window_placement.h"
#include "ui/control_panel_dialog.h"
#include "ui/dialog_file_chooser.h"
#include "ui/dialog_units.h"
#include "ui/message_box_messages.h"
#include "ui/templates.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

namespace zr70 {
namespace {

QSize mainWindowClientSize() {
    return DialogUnits::of(dialogFont())
        .toPixels({0, 0, kMainWindowTemplate.width, kMainWindowTemplate.height})
        .size();
}

QPoint storedClientPosition(const Settings& settings) {
    const QPoint stored(settings.readInt("xpos").value_or(kDefaultClientPosition.x()),
                        settings.readInt("ypos").value_or(kDefaultClientPosition.y()));
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens()) {
        screens.append(screen->geometry());
    }
    const QScreen* primary = QGuiApplication::primaryScreen();
    return startPosition(stored, mainWindowClientSize(), screens,
                         primary ? primary->geometry() : QRect());
}

} // namespace

ControlPanelApp::ControlPanelApp() : applicationName_(QCoreApplication::applicationName()) {}

int ControlPanelApp::run(SystemMidiHost& host) {
    SettingsProfile settings;
    // The position is read before the window exists; the window stores it
    // again on every move.
    const QPoint start = storedClientPosition(settings);

    MessageBoxMessages messages;
    DialogFileChooser chooser;
    TerminationSignals termination;
    Panel panel(host, settings, messages, chooser);
    ControlPanelDialog window(panel, start);
    messages.setOwner(&window);
    chooser.setOwner(&window);
    // A request to end closes the window as Escape does, and every message
    // box or file dialog in front of it.
    QObject::connect(&termination, &TerminationSignals::received, &window, [&window] {
        window.reject();
        QCoreApplication::exit(0);
    });

    // After a fatal start-up stop the program ends without any shutdown
    // step. A request to end that came while it started is not run into a
    // window the user would have to close.
    if (window.initialise() != Panel::StartResult::EndProgram) {
        if (TerminationSignals::firstRequest() == 0) {
            window.exec();
        }
        panel.shutDown();
    }
    // JACK's clients close here; a server that does not answer is left behind.
    if (!host.finish()) {
        endProcessAtOnce(0);
    }
    return 0;
}

} // namespace zr70
