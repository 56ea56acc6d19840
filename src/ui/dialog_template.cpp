#include "ui/dialog_template.h"

#include "app/qt_text.h"

#include "ui/artwork.h"
#include "ui/panel_style.h"
#include "ui/static_controls.h"
#include "ui/tab_control.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>

#include <algorithm>

namespace zr70 {

namespace {

QString textOf(const ControlTemplate& control) {
    return toQString(control.parameter == kNoParameter ? control.text
                                                       : parameter(control.parameter).label);
}

Qt::Alignment alignmentOf(const ControlTemplate& control) {
    // Static text starts at the top of its rectangle, not in its middle.
    return (control.align == TextAlign::Right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop;
}

QWidget* createDropDownList(const ControlTemplate& control, QWidget& parent,
                            const QRect& openRect) {
    auto* list = new QComboBox(&parent);
    list->setStyle(&panelStyle());
    list->setEditable(false);
    list->setInsertPolicy(QComboBox::NoInsert);
    // The template gives the height of the opened list; the closed control is
    // as high as the style draws it, and the drop-down part shows as many
    // entries as fit into the rest.
    const int closedHeight = list->sizeHint().height();
    const int entryHeight = std::max(1, list->fontMetrics().height());
    list->setMaxVisibleItems(std::max(1, (openRect.height() - closedHeight) / entryHeight));
    list->setGeometry(openRect.x(), openRect.y(), openRect.width(), closedHeight);
    list->setFocusPolicy(control.tabStop ? Qt::StrongFocus : Qt::ClickFocus);
    if (control.parameter != kNoParameter) {
        for (std::string_view value : parameter(control.parameter).values) {
            list->addItem(toQString(value));
        }
        list->setCurrentIndex(-1);
    }
    return list;
}

QWidget* createControl(const ControlTemplate& control, QWidget& parent, const QRect& rect) {
    switch (control.kind) {
    case ControlKind::TabControl: {
        auto* tabs = new TabControl(&parent);
        tabs->setFocusPolicy(Qt::NoFocus);
        tabs->tabBar().setFocusPolicy(control.tabStop ? Qt::StrongFocus : Qt::ClickFocus);
        tabs->setGeometry(rect);
        return tabs;
    }
    case ControlKind::FilledRectangle: {
        auto* filled = new FilledRectangle(&parent);
        filled->setGeometry(rect);
        return filled;
    }
    case ControlKind::DropDownList:
        return createDropDownList(control, parent, rect);
    case ControlKind::Label: {
        auto* label = new QLabel(textOf(control), &parent);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(alignmentOf(control));
        label->setFocusPolicy(Qt::NoFocus);
        // Eight units are one line of text in the font the layouts were made
        // for; a font whose descenders reach a pixel further gets that pixel
        // rather than lose it.
        label->setGeometry(
            rect.adjusted(0, 0, 0, std::max(0, label->fontMetrics().height() - rect.height())));
        return label;
    }
    case ControlKind::PushButton: {
        auto* button = new QPushButton(textOf(control), &parent);
        button->setAutoDefault(false);
        button->setDefault(false);
        button->setFocusPolicy(control.tabStop ? Qt::StrongFocus : Qt::ClickFocus);
        button->setGeometry(rect);
        return button;
    }
    case ControlKind::CheckBox: {
        auto* box = new QCheckBox(textOf(control), &parent);
        box->setFocusPolicy(control.tabStop ? Qt::StrongFocus : Qt::ClickFocus);
        box->setGeometry(rect);
        return box;
    }
    case ControlKind::ListBox: {
        auto* list = new QListWidget(&parent);
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setSortingEnabled(false);
        list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        list->setFocusPolicy(control.tabStop ? Qt::StrongFocus : Qt::ClickFocus);
        list->setGeometry(rect);
        return list;
    }
    case ControlKind::Bitmap: {
        auto* image = new BitmapImage(bitmapResource(textOf(control).toInt()), &parent);
        // A bitmap control takes the size of its bitmap, whatever the template says.
        image->setGeometry(QRect(rect.topLeft(), image->sizeHint()));
        return image;
    }
    }
    return nullptr;
}

bool isList(ControlKind kind) {
    return kind == ControlKind::DropDownList || kind == ControlKind::ListBox;
}

/// Gives each list the label next to it in template order: the label just
/// before it, or, for a list without one, the label just after it that no
/// list behind claims. The label becomes the list's buddy, which screen
/// readers see as the list's "labelled-by" relation; a list box takes no name
/// from that, so it also gets the label's text as its accessible name.
void labelLists(std::span<const ControlTemplate> layout, const std::vector<QWidget*>& controls) {
    const auto isLabel = [&](std::size_t at) {
        return at < layout.size() && layout[at].kind == ControlKind::Label;
    };
    const auto isListAt = [&](std::size_t at) {
        return at < layout.size() && isList(layout[at].kind);
    };
    for (std::size_t at = 0; at < layout.size(); ++at) {
        if (!isList(layout[at].kind)) {
            continue;
        }
        std::size_t label = layout.size();
        if (at > 0 && isLabel(at - 1)) {
            label = at - 1;
        } else if (isLabel(at + 1) && !isListAt(at + 2)) {
            label = at + 1;
        } else {
            continue;
        }
        auto* text = static_cast<QLabel*>(controls[label]);
        text->setBuddy(controls[at]);
        if (layout[at].kind == ControlKind::ListBox) {
            controls[at]->setAccessibleName(text->text());
        }
    }
}

} // namespace

std::vector<QWidget*> buildFromTemplate(QWidget& window, const DialogTemplate& layout) {
    window.setFont(dialogFont());
    const DialogUnits units = DialogUnits::of(window.font());
    window.setFixedSize(units.toPixelsX(layout.width), units.toPixelsY(layout.height));
    if (!layout.caption.empty()) {
        window.setWindowTitle(toQString(layout.caption));
    }

    std::vector<QWidget*> controls;
    controls.reserve(layout.controls.size());
    for (const ControlTemplate& control : layout.controls) {
        QWidget* widget = createControl(control, window, units.toPixels(control.rect));
        widget->setProperty(kControlIdProperty, control.id);
        widget->setObjectName(control.kind == ControlKind::DropDownList &&
                                      control.parameter != kNoParameter
                                  ? parameterListName(control.parameter)
                                  : toQString(control.name));
        // A list would take the right-click and the Menu key and do nothing.
        widget->setContextMenuPolicy(Qt::NoContextMenu);
        controls.push_back(widget);
    }
    labelLists(layout.controls, controls);
    return controls;
}

QString parameterListName(ParameterIndex index) {
    return toQString(parameter(index).key) + QStringLiteral("List");
}

int controlId(const QWidget& control) {
    bool ok = false;
    const int id = control.property(kControlIdProperty).toInt(&ok);
    return ok ? id : kNoId;
}

} // namespace zr70
