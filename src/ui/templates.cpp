#include "ui/templates.h"

namespace zr70 {

namespace {

using enum ControlKind;
using enum TextAlign;

constexpr bool kTabStop = true;
constexpr bool kNoTabStop = false;

// clang-format off

// Main window, 218 x 90. The indicator lies over the right end of the tab strip.
constexpr ControlTemplate kMainWindowControls[] = {
    // id     name                    kind             text  x    y   w    h    align  tab stop
    { 1006,   "tabControl",           TabControl,      "",   {3,   2, 212, 85}, Left,  kNoTabStop },
    { 1025,   "transmitIndicator",    FilledRectangle, "",   {208, 2,   7,  7}, Left,  kNoTabStop },
};

// Controls page, 208 x 69. Each label comes just before its list; the texts
// and entries are the parameter's own.
constexpr ControlTemplate kControlsPageControls[] = {
    //             id    parameter x    y   w   h
    parameterLabel(      0,  {5,   8, 41,  8}),
    parameterList(1007,  0,  {50,  6, 50, 75}),
    parameterLabel(      1,  {5,  23, 41,  8}),
    parameterList(1008,  1,  {50, 21, 50, 55}),
    parameterLabel(      3,  {5,  38, 41,  8}),
    parameterList(1009,  3,  {50, 36, 50, 55}),
    parameterLabel(      4,  {5,  53, 41,  8}),
    parameterList(1010,  4,  {50, 51, 50, 55}),
    parameterLabel(     14,  {105, 8, 41,  8}),
    parameterList(1012, 14,  {150, 6, 50, 55}),
    parameterLabel(      2,  {105,23, 41,  8}),
    parameterList(1013,  2,  {150,21, 50, 55}),
    parameterLabel(      5,  {105,38, 41,  8}),
    parameterList(1014,  5,  {150,36, 50, 55}),
    parameterLabel(      6,  {105,53, 41,  8}),
    parameterList(1015,  6,  {150,51, 50, 55}),
};

// QD4C Sensitivity page, 208 x 69. "Touch Sensitivity" stands above its list.
constexpr ControlTemplate kSensitivityPageControls[] = {
    //             id    parameter x    y   w   h    align
    parameterLabel(      8,  {2,  16, 34,  8}, Right),
    parameterList(1015,  8,  {40, 13, 25, 75}),
    parameterLabel(      9,  {10, 31, 26,  8}, Right),
    parameterList(1016,  9,  {40, 28, 25, 75}),
    parameterLabel(     10,  {10, 45, 26,  8}, Right),
    parameterList(1017, 10,  {40, 43, 25, 75}),
    parameterLabel(     11,  {75, 16, 26,  8}),
    parameterList(1018, 11,  {105,13, 25, 75}),
    parameterLabel(     12,  {75, 31, 26,  8}),
    parameterList(1019, 12,  {105,28, 25, 75}),
    parameterLabel(     13,  {69, 45, 32,  8}),
    parameterList(1020, 13,  {105,43, 25, 75}),
    parameterLabel(      7,  {139,31, 55,  8}),
    parameterList(1021,  7,  {139,43, 60, 75}),
};

// Presets page, 208 x 69. No button is the default button.
constexpr ControlTemplate kPresetsPageControls[] = {
    // id     name                    kind        text                          x    y   w   h    align  tab stop
    { 1017,   "loadPresetButton",     PushButton, "Load Preset",                {7,  28, 65, 15}, Left,  kTabStop },
    { 1019,   "savePresetButton",     PushButton, "Save Preset",                {7,  47, 65, 15}, Left,  kTabStop },
    { 1020,   "saveDefaultButton",    PushButton, "Save As DEFAULT.ZR",         {80, 28, 95, 15}, Left,  kTabStop },
    { 1021,   "restoreDeviceButton",  PushButton, "Restore (init) ZR70 device", {80, 47, 95, 15}, Left,  kTabStop },
    { 1023,   "sendAfterLoadBox",     CheckBox,   "Send sysex afer load",       {7,   6, 85, 10}, Left,  kTabStop },
};

// Midi Setup page, 208 x 69. Entry n of the list box is MIDI output device n.
constexpr ControlTemplate kMidiSetupPageControls[] = {
    // id     name                    kind     text                   x    y   w    h    align  tab stop
    { 1024,   "deviceList",           ListBox, "",                    {5,  11, 145, 51}, Left,  kTabStop   },
    { kNoId,  "",                     Label,   "MIDI Output Devices", {6,   2,  68,  8}, Left,  kNoTabStop },
};

// About box, 171 x 51. The bitmap keeps its own size, whatever the rectangle.
constexpr ControlTemplate kAboutControls[] = {
    // id     name                    kind    text                                          x    y   w    h    align  tab stop
    { kNoId,  "",                     Label,  "Korvan ZR-70 Control Pannel",                {72,  4,  95,  8}, Left,  kNoTabStop },
    { kNoId,  "",                     Label,  "Copyright (C) 2026",                         {79, 15,  88,  8}, Left,  kNoTabStop },
    { kNoId,  "",                     Bitmap, "129",                                        {4,   4,  44, 14}, Left,  kNoTabStop },
    { kNoId,  "",                     Label,  "panel@example.org",                          {4,  27,  76,  8}, Left,  kNoTabStop },
    { kNoId,  "",                     Label,  "Home page: https://example.org/zr70-panel",  {4,  39, 151,  8}, Left,  kNoTabStop },
};

// clang-format on

} // namespace

const DialogTemplate kAboutTemplate{100, "About ZR70", 171, 51, kAboutControls};
const DialogTemplate kMainWindowTemplate{102, "Korvan Zr70 Control Pannel", 218, 90,
                                         kMainWindowControls};
const DialogTemplate kControlsPageTemplate{130, "", 208, 69, kControlsPageControls};
const DialogTemplate kSensitivityPageTemplate{132, "", 208, 69, kSensitivityPageControls};
const DialogTemplate kPresetsPageTemplate{133, "", 208, 69, kPresetsPageControls};
const DialogTemplate kMidiSetupPageTemplate{136, "", 208, 69, kMidiSetupPageControls};

} // namespace zr70
