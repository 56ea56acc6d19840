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

/// Control ids the program addresses.
namespace ids {
inline constexpr int kTabControl = 1006;
inline constexpr int kTransmitIndicator = 1025;
inline constexpr int kLoadPreset = 1017;
inline constexpr int kSavePreset = 1019;
inline constexpr int kSaveDefault = 1020;
inline constexpr int kRestoreDevice = 1021;
inline constexpr int kSendAfterLoad = 1023;
inline constexpr int kDeviceList = 1024;
} // namespace ids

/// Id of each parameter's drop-down list, by parameter index; an id is unique
/// only together with the parameter's page.
inline constexpr std::array<int, 15> kParameterListIds{
    1007, 1008, 1013, 1009, 1010, 1014, 1015, 1021, 1015, 1016, 1017, 1018, 1019, 1020, 1012};

/// The tab labels, one space on each side, in page order.
inline constexpr std::array<std::string_view, 4> kTabLabels{" Controls ", " QD4C Sensitivity ",
                                                            " Presets ", " Midi Setup "};

/// Where every page sits in the tab control, in pixels (not dialog units).
inline constexpr QPoint kPagePosition{2, 22};

/// String 101: the About entry of the main window's menu, and its command.
inline constexpr std::string_view kAboutMenuText = "&About ZR70...";
inline constexpr int kAboutCommand = 16;

} // namespace zr70
