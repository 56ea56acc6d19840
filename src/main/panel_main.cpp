#include "main/panel_main.h"

#include "app/application_name.h"
#include "app/process_setup.h"
#include "app/settings_profile.h"
#include "midi/system_midi_host.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <dlfcn.h>

#include <cstdio>

namespace zr70 {
namespace {

using RunPanel = int (*)(int, char**, SystemMidiHost&);

/// Where the panel module is: beside the program (the build), else where it
/// is installed, relative to the program so that the prefix can move.
QString panelModule() {
    const QFileInfo program(QStringLiteral("/proc/self/exe"));
    const QString folder = QFileInfo(program.canonicalFilePath()).absolutePath();
    const QString beside = folder + QStringLiteral("/zr70-panel.so");
    if (QFileInfo::exists(beside)) {
        return beside;
    }
    return folder + QStringLiteral("/" ZR70_PANEL_FROM_PROGRAM "/zr70-panel.so");
}

} // namespace

int panelMain(int argc, char* argv[]) {
    chooseDisplayPlatform();
    SystemMidiHost host;
    QCoreApplication::setApplicationName(executableBaseName());
    if (const StoredOutput stored = storedOutput(SettingsProfile()); stored.name) {
        host.openAhead(*stored.name, stored.index);
    }
    const QByteArray module = panelModule().toLocal8Bit();
    void* loaded = dlopen(module.constData(), RTLD_NOW | RTLD_LOCAL);
    const auto run =
        loaded != nullptr ? reinterpret_cast<RunPanel>(dlsym(loaded, "zr70_run_panel")) : nullptr;
    if (run == nullptr) {
        std::fprintf(stderr, "%s: the panel cannot be loaded: %s\n",
                     qPrintable(QCoreApplication::applicationName()), dlerror());
        return 1;
    }
    return run(argc, argv, host);
}

} // namespace zr70
