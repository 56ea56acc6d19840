#pragma once

#include "converter/parameter_set.h"

#include <QWidget>

#include <array>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QListWidget;

namespace zr70 {

struct DialogTemplate;

/// A page of parameter lists, as its template places them; each starts
/// without a selection. A pick by the user, also of the
/// entry already selected, is reported as picked; what the program shows
/// reports nothing.
class ParameterPage : public QWidget {
    Q_OBJECT
public:
    /// The list of the parameter, nullptr when it is not on this page.
    QComboBox* list(ParameterIndex index) const;

    /// The entry the parameter's list shows selected, kNoSelection for none.
    int selection(ParameterIndex index) const;

    /// Shows the selections of this page's parameters.
    void showSelections(const ParameterSet& selections);

signals:
    void picked(int index, int selection);

protected:
    ParameterPage(const DialogTemplate& layout, QWidget* parent);

private:
    std::array<QComboBox*, kParameterCount> lists_{};
};

/// Tab 0, template 130: channel, bender, octave, play mode, filter, pedal, tune.
class ControlsPage : public ParameterPage {
    Q_OBJECT
public:
    explicit ControlsPage(QWidget* parent = nullptr);
};

/// Tab 1, template 132: the six string sensitivities and the touch sensitivity.
class SensitivityPage : public ParameterPage {
    Q_OBJECT
public:
    explicit SensitivityPage(QWidget* parent = nullptr);
};

/// Tab 2, template 133: the preset buttons and the "Send sysex afer load" box.
class PresetsPage : public QWidget {
    Q_OBJECT
public:
    explicit PresetsPage(QWidget* parent = nullptr);

    bool sendAfterLoad() const;
    /// Shows the box ticked or not; reports nothing.
    void setSendAfterLoad(bool ticked);

signals:
    void loadPresetClicked();
    void savePresetClicked();
    void saveDefaultClicked();
    void restoreDeviceClicked();
    /// The user ticked or unticked the box.
    void sendAfterLoadClicked(bool ticked);

private:
    QCheckBox* sendAfterLoad_;
};

/// Tab 3, template 136: the MIDI outputs. Entry n is output n. Once an entry
/// is selected, one always is: the list cannot be left without one.
class MidiSetupPage : public QWidget {
    Q_OBJECT
public:
    explicit MidiSetupPage(QWidget* parent = nullptr);

    /// Lists the outputs and selects entry `selected`; reports nothing.
    void showOutputs(const std::vector<std::string>& names, int selected);
    /// Selects from the program: reports nothing, and no entry is left
    /// selected for a position that names none.
    void select(int position);
    /// Position of the selected entry, -1 when none is selected.
    int selected() const;

    QListWidget& list() const { return *list_; }

signals:
    /// The user selected entry `position` by mouse or keyboard, or clicked or
    /// pressed Space on the entry already selected.
    void deviceSelected(int position);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// True when `modifiers` leave a click or Space a plain choice of the entry.
    static bool choosesEntry(Qt::KeyboardModifiers modifiers);

    QListWidget* list_;
    int inUse_ = -1;               ///< the entry selected last, by the user or the program
    bool pressOnSelected_ = false; ///< the mouse button went down on that entry
};

} // namespace zr70
