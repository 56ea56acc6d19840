// The windows against their layouts: each page built from its template (every
// control where the template puts it, inside its page, over no other, in
// keyboard order), the texts fitting, and what each control must be.

#include "support/fakes.h"
#include "ui/about_dialog.h"
#include "ui/control_panel_dialog.h"
#include "ui/dialog_template.h"
#include "ui/dialog_units.h"
#include "ui/pages.h"
#include "ui/panel_parts.h"
#include "ui/static_controls.h"
#include "ui/tab_control.h"
#include "ui/templates.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleOptionComboBox>
#include <QTabBar>
#include <QTest>

#include <gtest/gtest.h>

namespace zr70 {
namespace {

struct Rect {
    int x, y, w, h;
};

QRect pixels(const Rect& rect) {
    return DialogUnits::of(dialogFont()).toPixels({rect.x, rect.y, rect.w, rect.h});
}

/// A label's rectangle: as drawn, but never lower than one line of text.
QRect labelPixels(const Rect& rect) {
    QRect converted = pixels(rect);
    converted.setHeight(std::max(converted.height(), QFontMetrics(dialogFont()).height()));
    return converted;
}

QLabel* labelWithText(const QWidget& window, const QString& text) {
    for (QLabel* label : window.findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        if (label->text() == text) {
            return label;
        }
    }
    return nullptr;
}

/// The controls that take the keyboard focus with Tab, in focus-chain order.
std::vector<QWidget*> keyboardOrder(QWidget& window) {
    std::vector<QWidget*> order;
    for (QWidget* next = window.nextInFocusChain(); next != &window;
         next = next->nextInFocusChain()) {
        if (next->parentWidget() == &window && (next->focusPolicy() & Qt::TabFocus)) {
            order.push_back(next);
        }
    }
    return order;
}

TEST(DialogUnitsTest, EachEdgeIsRoundedOnItsOwnSoNeighboursStayTouching) {
    const DialogUnits units(6.79, 12.80);
    EXPECT_EQ(units.toPixels({3, 2, 212, 85}), QRect(5, 3, 360, 136));
    // 5 + 41 = 46 units: the right edge of the label is where the next starts.
    EXPECT_EQ(units.toPixels({5, 8, 41, 8}).right() + 1, units.toPixels({46, 8, 4, 8}).left());
    EXPECT_EQ(units.toPixelsX(218), 370);
    EXPECT_EQ(units.toPixelsY(90), 144);
}

TEST(DialogUnitsTest, TheSystemSansFontAtEightPointGivesTheMeasuredBaseUnits) {
    const QFont font = dialogFont();
    if (QFontInfo(font).family() != QLatin1String("DejaVu Sans")) {
        GTEST_SKIP() << "the system sans font is " << QFontInfo(font).family().toStdString()
                     << ", not DejaVu Sans";
    }
    const DialogUnits units = DialogUnits::of(font);
    EXPECT_NEAR(units.baseX(), 6.79, 0.01);
    EXPECT_NEAR(units.baseY(), 12.80, 0.01);
}

struct LayoutTest : ::testing::Test, testing::PanelParts {
    ControlsPage controls;
    SensitivityPage sensitivity;
    PresetsPage presets;
    MidiSetupPage midiSetup;
};

TEST_F(LayoutTest, MainWindowIsAFixedSizeWindowWithTabControlAndIndicator) {
    const auto owned = makeWindow(QPoint(20, 40));
    ControlPanelDialog& window = *owned;
    EXPECT_EQ(window.windowTitle(), QString("Korvan Zr70 Control Pannel"));
    EXPECT_EQ(window.size(), pixels({0, 0, 218, 90}).size());
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_TRUE(window.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window.windowFlags() & Qt::WindowCloseButtonHint);

    auto* tabs = findControl<TabControl>(window, "tabControl");
    auto* indicator = findControl<FilledRectangle>(window, "transmitIndicator");
    ASSERT_NE(tabs, nullptr);
    ASSERT_NE(indicator, nullptr);
    EXPECT_EQ(tabs->geometry(), pixels({3, 2, 212, 85}));
    EXPECT_EQ(indicator->geometry(), pixels({208, 2, 7, 7}));
    EXPECT_FALSE(tabs->tabBar().focusPolicy() & Qt::TabFocus);

    // The indicator shows over the tab control, filled black.
    const QObjectList& children = window.children();
    EXPECT_GT(children.indexOf(indicator), children.indexOf(tabs));
    const QImage drawn = indicator->grab().toImage();
    EXPECT_EQ(drawn.pixelColor(drawn.width() / 2, drawn.height() / 2), QColor(Qt::black));
}

TEST_F(LayoutTest, TabsCarryTheirLabelsAndEndBeforeTheIndicator) {
    const auto owned = makeWindow(QPoint(20, 40));
    ControlPanelDialog& window = *owned;
    host.devices = {"one"};
    window.initialise();
    const QTabBar& bar = window.tabControl().tabBar();
    ASSERT_EQ(bar.count(), 4);
    EXPECT_EQ(bar.tabText(0), QString(" Controls "));
    EXPECT_EQ(bar.tabText(1), QString(" QD4C Sensitivity "));
    EXPECT_EQ(bar.tabText(2), QString(" Presets "));
    EXPECT_EQ(bar.tabText(3), QString(" Midi Setup "));

    const QRect last = bar.tabRect(3).translated(bar.mapTo(&window, QPoint(0, 0)));
    EXPECT_LT(last.right(), window.transmitIndicator().geometry().left());
    for (int tab = 0; tab < 4; ++tab) {
        EXPECT_GE(bar.tabRect(tab).width(), bar.fontMetrics().horizontalAdvance(bar.tabText(tab)))
            << tab;
    }
    // The strip ends above the pages.
    EXPECT_LE(bar.geometry().bottom(), 22);
}

/// Opens `list` and holds it against the height its layout gives the opened
/// control: with more entries than fit, the closed part and the list dropped
/// below it reach that height within one entry and the rest scroll; a list
/// of fewer entries is as short as they are.
void expectOpenedHeight(QComboBox& list, const QRect& open) {
    list.showPopup();
    QAbstractItemView* view = list.view();
    const QWidget* popup = view->window();
    ASSERT_TRUE(popup->isVisible());
    EXPECT_GE(popup->mapToGlobal(QPoint(0, 0)).y(),
              list.mapToGlobal(QPoint(0, list.height() - 1)).y());
    const int entryHeight = view->sizeHintForRow(0);
    const int openedHeight = list.height() + popup->height();
    const int shown = view->viewport()->height() / entryHeight;
    EXPECT_EQ(shown, std::min(list.count(), list.maxVisibleItems()));
    if (list.count() > shown) {
        EXPECT_NEAR(openedHeight, open.height(), entryHeight);
        EXPECT_TRUE(view->verticalScrollBar()->isVisible());
    } else {
        EXPECT_LE(openedHeight, open.height());
        EXPECT_FALSE(view->verticalScrollBar()->isVisible());
    }
    list.hidePopup();
}

/// A page against its template: its size, each control where the template
/// puts it and inside the page, no two controls over each other, and the
/// keyboard order that of the template.
void expectBuiltFromTemplate(QWidget& page, const DialogTemplate& layout) {
    EXPECT_EQ(page.size(), pixels({0, 0, layout.width, layout.height}).size());
    std::vector<QWidget*> built;
    for (QObject* child : page.children()) {
        if (auto* control = qobject_cast<QWidget*>(child); control && !control->isWindow()) {
            built.push_back(control);
        }
    }
    ASSERT_EQ(built.size(), layout.controls.size());
    std::vector<QWidget*> tabStops;
    for (std::size_t i = 0; i < built.size(); ++i) {
        const ControlTemplate& row = layout.controls[i];
        const QWidget& control = *built[i];
        SCOPED_TRACE(std::to_string(row.id) + " " + std::string(row.text));
        EXPECT_EQ(controlId(control), row.id);
        const QRect given = pixels({row.rect.x, row.rect.y, row.rect.width, row.rect.height});
        if (row.kind == ControlKind::DropDownList) {
            // The height is that of the opened list; closed it is lower.
            EXPECT_EQ(control.geometry().topLeft(), given.topLeft());
            EXPECT_EQ(control.width(), given.width());
            EXPECT_LE(control.height(), given.height());
        } else if (row.kind == ControlKind::Label) {
            EXPECT_EQ(control.geometry(),
                      labelPixels({row.rect.x, row.rect.y, row.rect.width, row.rect.height}));
        } else {
            EXPECT_EQ(control.geometry(), given);
        }
        EXPECT_TRUE(page.rect().contains(control.geometry())) << "outside its page";
        for (std::size_t j = 0; j < i; ++j) {
            EXPECT_FALSE(built[j]->geometry().intersects(control.geometry()))
                << "over " << controlId(*built[j]);
        }
        if (row.tabStop) {
            tabStops.push_back(built[i]);
        }
    }
    EXPECT_EQ(keyboardOrder(page), tabStops);
}

TEST_F(LayoutTest, EveryPageIsBuiltFromItsTemplate) {
    expectBuiltFromTemplate(controls, kControlsPageTemplate);
    expectBuiltFromTemplate(sensitivity, kSensitivityPageTemplate);
    expectBuiltFromTemplate(presets, kPresetsPageTemplate);
    expectBuiltFromTemplate(midiSetup, kMidiSetupPageTemplate);
}

TEST_F(LayoutTest, EachParameterListFollowsItsLabelAndShowsItsEntries) {
    for (ParameterPage* page :
         {static_cast<ParameterPage*>(&controls), static_cast<ParameterPage*>(&sensitivity)}) {
        page->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(page));
        const std::vector<QWidget*> order = keyboardOrder(*page);
        const QObjectList& children = page->children();
        for (const DeviceParameter& parameter : parameterTable()) {
            QComboBox* list = page->list(parameter.index);
            if (list == nullptr) {
                continue;
            }
            SCOPED_TRACE(std::string(parameter.label));
            EXPECT_EQ(list->objectName(), parameterListName(parameter.index));
            // The label just before the list in template order names it.
            const qsizetype at = children.indexOf(list);
            ASSERT_GT(at, 0);
            auto* label = qobject_cast<QLabel*>(children[at - 1]);
            ASSERT_NE(label, nullptr);
            EXPECT_EQ(label->text().toStdString(), parameter.label);
            EXPECT_TRUE(label->alignment() & Qt::AlignTop);
            EXPECT_FALSE(list->isEditable());
            ASSERT_EQ(list->count(), static_cast<int>(parameter.values.size()));
            for (int entry = 0; entry < list->count(); ++entry) {
                EXPECT_EQ(list->itemText(entry).toStdString(),
                          parameter.values[static_cast<std::size_t>(entry)]);
            }
            EXPECT_EQ(list->currentIndex(), -1);
        }
        // Every list of the page belongs to a parameter of that page.
        int lists = 0;
        for (const DeviceParameter& parameter : parameterTable()) {
            lists += page->list(parameter.index) != nullptr ? 1 : 0;
        }
        EXPECT_EQ(lists, static_cast<int>(page->findChildren<QComboBox*>().size()));
        EXPECT_EQ(static_cast<int>(order.size()), lists);
    }
}

TEST_F(LayoutTest, DropDownListsOpenToTheHeightOfTheirLayout) {
    for (auto [page, layout] :
         {std::pair<QWidget*, const DialogTemplate*>{&controls, &kControlsPageTemplate},
          {&sensitivity, &kSensitivityPageTemplate}}) {
        page->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(page));
        for (const ControlTemplate& row : layout->controls) {
            if (row.kind != ControlKind::DropDownList) {
                continue;
            }
            SCOPED_TRACE(row.id);
            auto* list = page->findChild<QComboBox*>(parameterListName(row.parameter));
            ASSERT_NE(list, nullptr);
            // The closed list and its drop-down part stay inside the opened height.
            const QRect open = pixels({row.rect.x, row.rect.y, row.rect.width, row.rect.height});
            EXPECT_LE(list->height() + list->maxVisibleItems() * list->fontMetrics().height(),
                      open.height());
            expectOpenedHeight(*list, open);
        }
    }
}

TEST_F(LayoutTest, PresetButtonsAreNeverDefaultAndTheBoxStartsUnticked) {
    const std::pair<const char*, const char*> buttons[] = {
        {"loadPresetButton", "Load Preset"},
        {"savePresetButton", "Save Preset"},
        {"saveDefaultButton", "Save As DEFAULT.ZR"},
        {"restoreDeviceButton", "Restore (init) ZR70 device"}};
    for (const auto& [name, text] : buttons) {
        auto* button = findControl<QPushButton>(presets, name);
        ASSERT_NE(button, nullptr) << text;
        EXPECT_EQ(button->text(), QString(text));
        EXPECT_FALSE(button->isDefault());
        EXPECT_FALSE(button->autoDefault());
    }
    auto* box = findControl<QCheckBox>(presets, "sendAfterLoadBox");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QString("Send sysex afer load"));
    EXPECT_FALSE(box->isTristate());
    EXPECT_FALSE(box->isChecked());
}

TEST_F(LayoutTest, TheDeviceListTakesOneUnsortedSelection) {
    auto* list = findControl<QListWidget>(midiSetup, "deviceList");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_FALSE(list->isSortingEnabled());
    EXPECT_NE(labelWithText(midiSetup, "MIDI Output Devices"), nullptr);
}

TEST_F(LayoutTest, AboutBoxShowsTheProgramAndTheModelBitmap) {
    QWidget owner;
    AboutDialog about(&owner);
    EXPECT_EQ(about.windowTitle(), QString("About ZR70"));
    EXPECT_EQ(about.size(), pixels({0, 0, 171, 51}).size());
    EXPECT_EQ(about.minimumSize(), about.maximumSize());
    EXPECT_TRUE(about.isModal());
    EXPECT_EQ(about.parentWidget(), &owner);
    EXPECT_TRUE(about.findChildren<QPushButton*>().isEmpty());

    QLabel* name = labelWithText(about, "Korvan ZR-70 Control Pannel");
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->geometry(), labelPixels({72, 4, 95, 8}));
    EXPECT_EQ(name->textFormat(), Qt::PlainText);
    const std::vector<QLabel*> labels = [&] {
        auto found = about.findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
        return std::vector<QLabel*>(found.begin(), found.end());
    }();
    ASSERT_EQ(labels.size(), 4u);
    EXPECT_EQ(labels[1]->geometry(), labelPixels({79, 15, 88, 8}));
    EXPECT_TRUE(labels[1]->text().startsWith("Copyright"));
    EXPECT_EQ(labels[2]->geometry(), labelPixels({4, 27, 76, 8}));
    EXPECT_TRUE(labels[2]->text().contains('@'));
    EXPECT_EQ(labels[3]->geometry(), labelPixels({4, 39, 151, 8}));
    EXPECT_TRUE(labels[3]->text().contains("https://"));

    auto* bitmap = about.findChild<BitmapImage*>();
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->image().size(), QSize(60, 17));
    EXPECT_EQ(bitmap->pos(), pixels({4, 4, 44, 14}).topLeft());
    EXPECT_EQ(bitmap->size(), QSize(60 + 2 * BitmapImage::kBorder, 17 + 2 * BitmapImage::kBorder));
}

/// Nothing is cut off: every text fits the rectangle its control was given.
void expectTextsFit(const QWidget& window) {
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width())
            << label->text().toStdString();
        EXPECT_LE(label->fontMetrics().height(), label->height()) << label->text().toStdString();
    }
    for (const QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
        EXPECT_LE(button->sizeHint().width(), button->width()) << button->text().toStdString();
    }
    for (const QComboBox* list : window.findChildren<QComboBox*>()) {
        QStyleOptionComboBox option;
        option.initFrom(list);
        const QRect field = list->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                          QStyle::SC_ComboBoxEditField, list);
        for (int entry = 0; entry < list->count(); ++entry) {
            EXPECT_LE(list->fontMetrics().horizontalAdvance(list->itemText(entry)), field.width())
                << list->objectName().toStdString() << " " << list->itemText(entry).toStdString();
        }
    }
}

TEST_F(LayoutTest, EveryTextFitsItsControl) {
    expectTextsFit(controls);
    expectTextsFit(sensitivity);
    expectTextsFit(presets);
    expectTextsFit(midiSetup);
    QWidget owner;
    AboutDialog about(&owner);
    expectTextsFit(about);
}

} // namespace
} // namespace zr70
