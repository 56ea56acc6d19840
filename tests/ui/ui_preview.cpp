// The panel with a pretend MIDI host of three devices and settings kept in
// memory, for looking at the layout and taking screenshots:
//
//   ui_preview [--tab N] [--about] [--open ID]
//
// --tab N selects tab N (0-3) once the window is up; --about opens the About
// box; --open ID opens the drop-down list with control id ID on that tab. Messages go to standard
// error instead of message boxes, so a missing "default.zr" does not stop the window from showing.

#include "app/user_messages.h"
#include "support/shell_fakes.h"
#include "ui/control_panel_dialog.h"
#include "ui/dialog_file_chooser.h"
#include "ui/tab_control.h"
#include "ui/templates.h"

#include <QApplication>
#include <QComboBox>
#include <QStringList>
#include <QTabBar>
#include <QTimer>

#include <cstdio>

namespace {

class StandardErrorMessages : public zr70::UserMessages {
public:
    void show(std::string_view text) override {
        std::fprintf(stderr, "message: %.*s\n", static_cast<int>(text.size()), text.data());
    }
};

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    const qsizetype tabArgument = arguments.indexOf(QStringLiteral("--tab"));
    const int tab = tabArgument >= 0 && tabArgument + 1 < arguments.size()
                        ? arguments.at(tabArgument + 1).toInt()
                        : 0;
    const bool about = arguments.contains(QStringLiteral("--about"));
    const qsizetype openArgument = arguments.indexOf(QStringLiteral("--open"));
    const QString openId = openArgument >= 0 && openArgument + 1 < arguments.size()
                               ? arguments.at(openArgument + 1)
                               : QString();

    zr70::testing::FakeMidiHost host;
    host.devices = {"Midi Through:Midi Through Port-0 14:0", "ZR-70 USB MIDI:ZR-70 MIDI 1 20:0",
                    "Virtual Raw MIDI 1-0:VirMIDI 1-0 24:0"};
    zr70::testing::MemorySettings settings;
    settings.write({{"mididevice", 1}});
    StandardErrorMessages messages;
    zr70::DialogFileChooser chooser;

    zr70::Panel panel(host, settings, messages, chooser);
    zr70::ControlPanelDialog window(panel, QPoint(40, 60));
    chooser.setOwner(&window);
    if (window.initialise() == zr70::Panel::StartResult::EndProgram) {
        return 0;
    }
    window.tabControl().tabBar().setCurrentIndex(tab);
    if (about) {
        QTimer::singleShot(200, &window, [&window] { window.openAbout(); });
    }
    if (!openId.isEmpty()) {
        QWidget* page =
            tab == 1 ? static_cast<QWidget*>(&window.sensitivityPage()) : &window.controlsPage();
        if (auto* list = page->findChild<QComboBox*>(openId)) {
            QTimer::singleShot(200, list, [list] { list->showPopup(); });
        }
    }
    window.exec();
    return 0;
}
