#pragma once

#include "converter/parameter_table.h"
#include "ui/dialog_units.h"

#include <QString>
#include <QWidget>

#include <span>
#include <string_view>
#include <vector>

namespace zr70 {

/// Id of a control that the program never addresses (labels, the About texts).
inline constexpr int kNoId = -1;

/// The parameter of a control that shows none.
inline constexpr ParameterIndex kNoParameter = -1;

enum class ControlKind {
    TabControl,      ///< one row of tabs over a framed pane
    FilledRectangle, ///< a rectangle filled with the window-frame colour
    DropDownList,    ///< pick-only list; the height is that of the opened list
    Label,           ///< static text, drawn from the top of its rectangle
    PushButton,      ///< never the default button
    CheckBox,        ///< toggles itself when clicked
    ListBox,         ///< single selection, unsorted, vertical scroll bar
    Bitmap,          ///< a bitmap resource at its own pixel size in a double border
};

enum class TextAlign { Left, Right };

/// One row of a window template.
struct ControlTemplate {
    int id;                ///< the control's number in the template
    std::string_view name; ///< its object name, which says what it is; empty for none
    ControlKind kind;
    std::string_view text; ///< the caption; for a bitmap the resource number
    DialogRect rect;
    TextAlign align;
    bool tabStop;
    /// The parameter whose label (a Label) or list (a DropDownList) this is:
    /// its text, object name and entries come from the parameter table.
    ParameterIndex parameter = kNoParameter;
};

/// The label of a parameter, as a row of a template.
constexpr ControlTemplate parameterLabel(ParameterIndex index, DialogRect rect,
                                         TextAlign align = TextAlign::Left) {
    return {kNoId, "", ControlKind::Label, "", rect, align, false, index};
}

/// The drop-down list of a parameter, as a row of a template: one tab stop,
/// the table's entries in their order, no selection.
constexpr ControlTemplate parameterList(int id, ParameterIndex index, DialogRect rect) {
    return {id, "", ControlKind::DropDownList, "", rect, TextAlign::Left, true, index};
}

/// The object name of a parameter's list: "playModeList".
QString parameterListName(ParameterIndex index);

/// A window laid out in dialog units: caption, client size and its controls in
/// template order, which is also the keyboard order.
struct DialogTemplate {
    int resource;
    std::string_view caption; ///< empty for the pages, which have no caption
    int width;
    int height;
    std::span<const ControlTemplate> controls;
};

/// Name of the property every built control carries its id in.
inline constexpr const char* kControlIdProperty = "controlId";

/// Gives `window` the dialog font, the template's fixed client size and its
/// caption, then creates the template's controls inside it, in template order.
/// Returns the controls in that order. No control keeps a context menu to
/// itself: a right-click or the Menu key on one reaches the window's.
std::vector<QWidget*> buildFromTemplate(QWidget& window, const DialogTemplate& layout);

/// The control named `name` among the direct children of `window`, or nullptr.
template <typename Widget> Widget* findControl(const QWidget& window, const char* name) {
    return window.findChild<Widget*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
}

/// The control id a built control carries, kNoId for none.
int controlId(const QWidget& control);

} // namespace zr70
