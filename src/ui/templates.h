#pragma once

#include "ui/dialog_template.h"

#include <QPoint>

#include <array>
#include <string_view>

namespace zr70 {

/// Window templates, by resource number.
extern const DialogTemplate kAboutTemplate;           ///< 100, the About box
extern const DialogTemplate kMainWindowTemplate;      ///< 102, the main window
extern const DialogTemplate kControlsPageTemplate;    ///< 130
extern const DialogTemplate kSensitivityPageTemplate; ///< 132
extern const DialogTemplate kPresetsPageTemplate;     ///< 133
extern const DialogTemplate kMidiSetupPageTemplate;   ///< 136

/// The object names of the controls the program addresses.
namespace names {
inline constexpr const char* kTabControl = "tabControl";
inline constexpr const char* kTransmitIndicator = "transmitIndicator";
inline constexpr const char* kLoadPreset = "loadPresetButton";
inline constexpr const char* kSavePreset = "savePresetButton";
inline constexpr const char* kSaveDefault = "saveDefaultButton";
inline constexpr const char* kRestoreDevice = "restoreDeviceButton";
inline constexpr const char* kSendAfterLoad = "sendAfterLoadBox";
inline constexpr const char* kDeviceList = "deviceList";
inline constexpr const char* kPages = "pages";
// The entries of the window's menu.
inline constexpr const char* kMinimizeAction = "minimizeAction";
inline constexpr const char* kCloseAction = "closeAction";
inline constexpr const char* kExportSysExAction = "exportSysExAction";
inline constexpr const char* kImportSysExAction = "importSysExAction";
inline constexpr const char* kAboutAction = "aboutAction";
} // namespace names

/// The tab labels, one space on each side, in page order.
inline constexpr std::array<std::string_view, 4> kTabLabels{" Controls ", " QD4C Sensitivity ",
                                                            " Presets ", " Midi Setup "};

/// Where every page sits in the tab control, in pixels (not dialog units).
inline constexpr QPoint kPagePosition{2, 22};

/// String 101: the About entry of the main window's menu.
inline constexpr std::string_view kAboutMenuText = "&About ZR70...";

} // namespace zr70
