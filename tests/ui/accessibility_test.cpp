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
        int id;
        const char* label;
    } lists[] = {
        {controls, 1007, "Midi channel"},         {controls, 1008, "Bender Rng."},
        {controls, 1009, "Octave shift"},         {controls, 1010, "Bender Thin"},
        {controls, 1012, "Master Tune"},          {controls, 1013, "Play Mode"},
        {controls, 1014, "Attack Filter"},        {controls, 1015, "Pedal Assign"},
        {sensitivity, 1015, "Pick. E1"},          {sensitivity, 1016, "Pick. H"},
        {sensitivity, 1017, "Pick. G"},           {sensitivity, 1018, "Pick. D"},
        {sensitivity, 1019, "Pick. A"},           {sensitivity, 1020, "Pick. E2"},
        {sensitivity, 1021, "Touch Sensitivity"},
    };
    for (const auto& [page, id, label] : lists) {
        SCOPED_TRACE(label);
        auto* list = findControl<QComboBox>(page, id);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(labelsOf(*list), label);
    }

    auto* devices = findControl<QListWidget>(midiSetup, 1024);
    ASSERT_NE(devices, nullptr);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(devices);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->text(QAccessible::Name).toStdString(), "MIDI Output Devices");
}

} // namespace
} // namespace zr70
