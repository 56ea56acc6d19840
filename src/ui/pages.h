#pragma once

#include "converter/parameter_lists.h"
#include "midi/device_list.h"
#include "preset/preset_file.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QListWidget;

namespace zr70 {

struct DialogTemplate;

/// A page of parameter lists. Each list is filled from the parameter table in
/// table order and starts without a selection. A pick by the user, also of the
/// entry already selected, is reported as parameterPicked; selecting from the
/// program reports nothing.
class ParameterPage : public QWidget {
    Q_OBJECT
public:
    /// The list of the parameter, nullptr when it is not on this page.
    QComboBox* list(ParameterIndex index) const;

    int selection(ParameterIndex index) const;
    /// A selection that names no entry leaves the list without one.
    void setSelection(ParameterIndex index, int selection);

signals:
    void parameterPicked(int index);

protected:
    ParameterPage(const DialogTemplate& layout, Page page, QWidget* parent);

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

/// The fifteen lists of the two parameter pages, readable and settable whether
/// a page is shown or not.
class PageParameterLists : public ParameterLists {
public:
    PageParameterLists(ParameterPage& controls, ParameterPage& sensitivity);
    int selection(ParameterIndex index) const override;
    void setSelection(ParameterIndex index, int selection) override;

private:
    ParameterPage& pageOf(ParameterIndex index) const;
    ParameterPage& controls_;
    ParameterPage& sensitivity_;
};

/// Tab 2, template 133: the preset buttons and the "Send sysex afer load" box.
class PresetsPage : public QWidget, public SendAfterLoadOption {
    Q_OBJECT
public:
    explicit PresetsPage(QWidget* parent = nullptr);

    bool sendAfterLoad() const override;
    void setSendAfterLoad(bool ticked);

signals:
    void loadPresetClicked();
    void savePresetClicked();
    void saveDefaultClicked();
    void restoreDeviceClicked();

private:
    QCheckBox* sendAfterLoad_;
};

/// Tab 3, template 136: the MIDI output devices. Entry n is device n. Once an
/// entry is selected, one always is: the list cannot be left without one.
class MidiSetupPage : public QWidget, public DeviceList {
    Q_OBJECT
public:
    explicit MidiSetupPage(QWidget* parent = nullptr);

    void append(const std::string& name) override;
    /// Selects from the program: reports nothing.
    void select(int position) override;
    int selected() const override;

    QListWidget& list() const { return *list_; }

signals:
    /// The user selected entry `position`, by mouse or keyboard.
    void deviceSelected(int position);

private:
    QListWidget* list_;
    int inUse_ = -1; ///< the entry selected last, by the user or the program
};

} // namespace zr70
