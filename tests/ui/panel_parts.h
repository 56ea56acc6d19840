#pragma once

// What a main window is made of in the widget tests: the Panel with stand-ins
// for the MIDI host, the settings file, the message box and the file dialogs.
// A window built from them must be destroyed before them.

#include "app/panel.h"
#include "support/fakes.h"
#include "support/shell_fakes.h"
#include "ui/control_panel_dialog.h"

#include <memory>

namespace zr70::testing {

struct PanelParts {
    std::unique_ptr<ControlPanelDialog> makeWindow(QPoint start) {
        return std::make_unique<ControlPanelDialog>(panel, start);
    }

    FakeMidiHost host;
    MemorySettings settings;
    RecordingMessages messages;
    ScriptedChooser chooser;
    Panel panel{host, settings, messages, chooser};
};

} // namespace zr70::testing
