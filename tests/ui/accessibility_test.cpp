// What a screen reader learns about the lists of the pages.

#include "ui/dialog_template.h"
#include "ui/templates.h"

#include <QAccessible>
#include <QComboBox>
#include <QListWidget>

#include <gtest/gtest.h>

namespace zr70 {
namespace {

/// The names of the controls that label `control` ("labelled-by"), one line
/// each.
std::string labelsOf(QWidget& control) {
    QStringList labels;
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&control);
    if (accessible != nullptr) {
        for (const auto& [label, relation] : accessible->relations(QAccessible::Label)) {
            labels.append(label->text(QAccessible::Name));
        }
    }
    return labels.join(QLatin1Char('\n')).toStdString();
}

TEST(AccessibilityTest, EachListIsLabelledByItsLabelAndTheDeviceListNamedByIt) {
    QWidget controls;
    QWidget sensitivity;
    QWidget midiSetup;
    buildFromTemplate(controls, kControlsPageTemplate);
    buildFromTemplate(sensitivity, kSensitivityPageTemplate);
    buildFromTemplate(midiSetup, kMidiSetupPageTemplate);
    const struct {
        QWidget& page;
        const char* name;
        const char* label;
    } lists[] = {
        {controls, "midiChannelList", "Midi channel"},
        {controls, "benderRangeList", "Bender Rng."},
        {controls, "octaveShiftList", "Octave shift"},
        {controls, "benderThinList", "Bender Thin"},
        {controls, "masterTuneList", "Master Tune"},
        {controls, "playModeList", "Play Mode"},
        {controls, "attackFilterList", "Attack Filter"},
        {controls, "pedalAssignList", "Pedal Assign"},
        {sensitivity, "pickE1List", "Pick. E1"},
        {sensitivity, "pickHList", "Pick. H"},
        {sensitivity, "pickGList", "Pick. G"},
        {sensitivity, "pickDList", "Pick. D"},
        {sensitivity, "pickAList", "Pick. A"},
        {sensitivity, "pickE2List", "Pick. E2"},
        {sensitivity, "touchSensitivityList", "Touch Sensitivity"},
    };
    for (const auto& [page, name, label] : lists) {
        SCOPED_TRACE(label);
        auto* list = findControl<QComboBox>(page, name);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(labelsOf(*list), label);
    }

    auto* devices = findControl<QListWidget>(midiSetup, "deviceList");
    ASSERT_NE(devices, nullptr);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(devices);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->text(QAccessible::Name).toStdString(), "MIDI Output Devices");
}

} // namespace
} // namespace zr70
