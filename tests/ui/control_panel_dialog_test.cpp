// The main window at work: start-up, tabs, picks, the device list, the preset
// buttons, the About entry, closing and shutdown, with a scripted MIDI host.

#include "preset/sysex_file.h"
#include "support/fakes.h"
#include "support/files.h"
#include "ui/about_dialog.h"
#include "ui/control_panel_dialog.h"
#include "ui/dialog_template.h"
#include "ui/modal.h"
#include "ui/panel_parts.h"
#include "ui/tab_control.h"
#include "ui/templates.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include <functional>

#include <gtest/gtest.h>

namespace zr70 {
namespace {

using testing::Bytes;

constexpr QPoint kStart{120, 140};

/// Where each list is: page (0 Controls, 1 Sensitivity), name, parameter.
struct ListPlace {
    int tab;
    const char* name;
    ParameterIndex parameter;
};
constexpr ListPlace kLists[] = {
    {0, "midiChannelList", 0},  {0, "benderRangeList", 1}, {0, "octaveShiftList", 3},
    {0, "benderThinList", 4},   {0, "masterTuneList", 14}, {0, "playModeList", 2},
    {0, "attackFilterList", 5}, {0, "pedalAssignList", 6}, {1, "pickE1List", 8},
    {1, "pickHList", 9},        {1, "pickGList", 10},      {1, "pickDList", 11},
    {1, "pickAList", 12},       {1, "pickE2List", 13},     {1, "touchSensitivityList", 7},
};

struct ControlPanelDialogTest : ::testing::Test, testing::PanelParts {
    ControlPanelDialogTest() { host.devices = {"Through", "Converter", "Synth"}; }
    ~ControlPanelDialogTest() override { window.reset(); }

    Panel::StartResult start() {
        window = makeWindow(kStart);
        return window->initialise();
    }

    void startAndShow() {
        ASSERT_EQ(start(), Panel::StartResult::Running);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    QTabBar& tabBar() { return window->tabControl().tabBar(); }

    void clickTab(int tab) {
        QTest::mouseClick(&tabBar(), Qt::LeftButton, {}, tabBar().tabRect(tab).center());
    }

    ControlsPage& controls() const { return window->controlsPage(); }
    SensitivityPage& sensitivity() const { return window->sensitivityPage(); }
    PresetsPage& presets() const { return window->presetsPage(); }
    MidiSetupPage& midiSetup() const { return window->midiSetupPage(); }

    QWidget* pageOf(int tab) {
        QWidget* pages[] = {&controls(), &sensitivity(), &presets(), &midiSetup()};
        return pages[tab];
    }

    /// Shows the page of the list at `place`; the list, nullptr if missing.
    QComboBox* showList(const ListPlace& place) {
        clickTab(place.tab);
        return findControl<QComboBox>(*pageOf(place.tab), place.name);
    }

    void clickButton(const char* name) {
        QTest::mouseClick(findControl<QPushButton>(presets(), name), Qt::LeftButton);
    }

    void writeFile(const QString& name, const QByteArray& bytes) {
        ASSERT_TRUE(directory.write(name, bytes));
    }

    QListWidget& deviceList() { return midiSetup().list(); }

    void clickDevice(int row) {
        QListWidget& list = deviceList();
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                          list.visualItemRect(list.item(row)).center());
    }

    std::vector<std::string> opens() const {
        std::vector<std::string> found;
        for (const std::string& call : host.calls) {
            if (call.starts_with("open")) {
                found.push_back(call);
            }
        }
        return found;
    }

    testing::TestFolder directory{true};
    std::unique_ptr<ControlPanelDialog> window;
};

TEST_F(ControlPanelDialogTest, StartShowsTheControlsPageTicksTheBoxAndFallsBackToDefaults) {
    ASSERT_EQ(start(), Panel::StartResult::Running);
    EXPECT_EQ(tabBar().currentIndex(), 0);
    for (int tab = 0; tab < 4; ++tab) {
        EXPECT_EQ(pageOf(tab)->mapTo(&window->tabControl(), QPoint()), QPoint(2, 22)) << tab;
        EXPECT_EQ(window->pages().currentWidget() == pageOf(tab), tab == 0) << tab;
    }
    EXPECT_TRUE(presets().sendAfterLoad());
    EXPECT_FALSE(window->windowIcon().isNull());
    for (const ListPlace& place : kLists) {
        EXPECT_EQ(static_cast<ParameterPage*>(pageOf(place.tab))->selection(place.parameter),
                  parameter(place.parameter).defaultSelection);
    }
    EXPECT_TRUE(host.sent.empty());
    EXPECT_EQ(deviceList().count(), 3);
    EXPECT_EQ(midiSetup().selected(), 0);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(ControlPanelDialogTest, TheClientAreaLandsOnTheStartPositionAndEveryMoveIsStored) {
    startAndShow();
    EXPECT_EQ(window->geometry().topLeft(), kStart);
    EXPECT_EQ(settings.readInt("xpos").value_or(0), kStart.x());
    EXPECT_EQ(settings.readInt("ypos").value_or(0), kStart.y());

    settings.writes.clear();
    window->setGeometry(QRect(QPoint(60, 75), window->size()));
    QCoreApplication::processEvents();
    ASSERT_GE(settings.writes.size(), 2u);
    EXPECT_EQ(settings.writes[settings.writes.size() - 2], std::make_pair(std::string("xpos"), 60));
    EXPECT_EQ(settings.writes.back(), std::make_pair(std::string("ypos"), 75));
}

TEST_F(ControlPanelDialogTest, SwitchingTabsShowsOnePageAtItsPlaceAndSendsNothing) {
    startAndShow();
    findControl<QComboBox>(controls(), "midiChannelList")->setCurrentIndex(9);
    for (int tab : {2, 1, 3, 0}) {
        clickTab(tab);
        EXPECT_EQ(tabBar().currentIndex(), tab);
        for (int other = 0; other < 4; ++other) {
            EXPECT_EQ(pageOf(other)->isVisible(), other == tab) << tab << " " << other;
            EXPECT_EQ(pageOf(other)->mapTo(&window->tabControl(), QPoint()), QPoint(2, 22));
        }
    }
    EXPECT_TRUE(host.sent.empty());
    EXPECT_EQ(controls().selection(0), 9);
    EXPECT_EQ(panel.selections().selection(0), 0);
}

TEST_F(ControlPanelDialogTest, APickSendsExactlyOneMessageForThatListsParameter) {
    startAndShow();
    for (const ListPlace& place : kLists) {
        SCOPED_TRACE(place.name);
        QComboBox* list = showList(place);
        ASSERT_NE(list, nullptr);
        const std::size_t before = host.sent.size();
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        ASSERT_EQ(host.sent.size(), before + 1);
        EXPECT_EQ(host.sent.back()[7], place.parameter);
        EXPECT_EQ(host.sent.back()[8], valueByte(place.parameter, list->currentIndex()));
    }
}

TEST_F(ControlPanelDialogTest, PickingTheEntryThatIsAlreadySelectedSendsItAgain) {
    startAndShow();
    auto* list = findControl<QComboBox>(controls(), "octaveShiftList");
    list->showPopup();
    QTest::keyClick(list->view(), Qt::Key_Return);
    ASSERT_EQ(host.sent.size(), 1u);
    EXPECT_EQ(host.sent[0],
              (Bytes{0xF0, 0x41, 0x10, 0x70, 0x12, 0x00, 0x00, 0x03, 0x40, 0x3D, 0xF7}));
    EXPECT_EQ(list->currentIndex(), 1);
}

TEST_F(ControlPanelDialogTest, TheMouseWheelOverAClosedListChangesAndSendsNothing) {
    startAndShow();
    for (const ListPlace& place : kLists) {
        SCOPED_TRACE(place.name);
        QComboBox* list = showList(place);
        ASSERT_NE(list, nullptr);
        const int before = list->currentIndex();
        // Turned on the way past the window, and turned over the list that
        // has the keyboard focus: neither is a pick.
        for (const bool focused : {false, true}) {
            if (focused) {
                list->setFocus();
            }
            for (const int delta : {-120, 120, 120}) {
                const QPoint inside(list->width() / 2, list->height() / 2);
                QWheelEvent turn(inside, list->mapToGlobal(inside), QPoint(), QPoint(0, delta),
                                 Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
                QApplication::sendEvent(list, &turn);
            }
        }
        EXPECT_EQ(list->currentIndex(), before);
    }
    EXPECT_TRUE(host.sent.empty());
}

TEST_F(ControlPanelDialogTest, SelectionsMadeByTheProgramSendNothing) {
    startAndShow();
    for (const ListPlace& place : kLists) {
        findControl<QComboBox>(*pageOf(place.tab), place.name)->setCurrentIndex(1);
    }
    EXPECT_TRUE(host.sent.empty());
    EXPECT_EQ(panel.selections(), ParameterSet::defaults());
}

TEST_F(ControlPanelDialogTest, ALoadShowsOnBothParameterPages) {
    startAndShow();
    writeFile("other.ZR",
              QByteArray("\x01\x01\x01\x01\x01\x01\x01\x00\x02\x02\x02\x02\x02\x02\x02", 15));
    chooser.loadAnswer = directory.path("other.ZR");
    clickTab(2);
    clickButton("loadPresetButton");
    EXPECT_EQ(sensitivity().selection(13), 2);
    EXPECT_EQ(controls().selection(14), 0);
    EXPECT_EQ(controls().selection(0), 1);
    EXPECT_EQ(host.sent.size(), 15u);
}

TEST_F(ControlPanelDialogTest, AClickOnTheBoxUnticksItForThePanel) {
    startAndShow();
    clickTab(2);
    auto* box = findControl<QCheckBox>(presets(), "sendAfterLoadBox");
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    EXPECT_FALSE(presets().sendAfterLoad());
    EXPECT_FALSE(panel.sendAfterLoad());
}

TEST_F(ControlPanelDialogTest, PresetButtonsRunTheirCommands) {
    startAndShow();
    clickTab(2);
    messages.shown.clear();
    chooser.loadAnswer = directory.path("live.Zr");
    clickButton("loadPresetButton");
    chooser.saveAnswer = directory.path("live.");
    clickButton("savePresetButton");
    clickButton("restoreDeviceButton");
    EXPECT_EQ(chooser.loadDialogs, 1);
    EXPECT_EQ(chooser.saveDialogs, 1);
    EXPECT_EQ(messages.shown.back(), "This is still not working !!!");
    clickButton("saveDefaultButton");
    EXPECT_EQ(directory.read("default.zr").size(), 47);
}

TEST_F(ControlPanelDialogTest, IndicatorIsHiddenDuringEveryHandOverAndShownAfter) {
    startAndShow();
    std::vector<bool> hiddenAtHandOver;
    host.onSend = [&] { hiddenAtHandOver.push_back(window->transmitIndicator().isHidden()); };
    QTest::keyClick(findControl<QComboBox>(controls(), "midiChannelList"), Qt::Key_Down);
    QTest::keyClick(findControl<QComboBox>(controls(), "masterTuneList"), Qt::Key_Down);
    EXPECT_EQ(hiddenAtHandOver, std::vector<bool>(2, true));
    EXPECT_TRUE(window->transmitIndicator().isVisible());
}

TEST_F(ControlPanelDialogTest, ARefusedMessageLeavesFailInTheCaption) {
    startAndShow();
    EXPECT_EQ(window->windowTitle(), QString("Korvan Zr70 Control Pannel"));
    host.sendResults = {2};
    auto* list = findControl<QComboBox>(controls(), "playModeList");
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(window->windowTitle(), QString("fail!"));
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_EQ(host.sent.size(), 2u);
    EXPECT_EQ(window->windowTitle(), QString("fail!"));
}

TEST_F(ControlPanelDialogTest, EveryUserSelectionInTheDeviceListChangesTheDevice) {
    settings.write({{"mididevice", 2}});
    startAndShow();
    EXPECT_EQ(midiSetup().selected(), 2);
    EXPECT_EQ(host.openIndex, 2);
    clickTab(3);
    host.calls.clear();
    clickDevice(0);
    EXPECT_EQ(host.openIndex, 0);
    EXPECT_EQ(settings.readInt("mididevice").value_or(-1), 0);
    // Each entry the arrow keys pass over is a change of its own.
    deviceList().setFocus();
    QTest::keyClick(&deviceList(), Qt::Key_Down);
    QTest::keyClick(&deviceList(), Qt::Key_Down);
    EXPECT_EQ(opens(), (std::vector<std::string>{"open 0", "open 1", "open 2"}));
    EXPECT_EQ(settings.readInt("mididevice").value_or(-1), 2);
    // Selecting from the program is no change.
    host.calls.clear();
    midiSetup().select(1);
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(ControlPanelDialogTest, TheDeviceInUseStaysSelectedWhenCtrlWouldDeselectIt) {
    settings.write({{"mididevice", 1}});
    startAndShow();
    clickTab(3);
    host.calls.clear();
    QListWidget& list = deviceList();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ControlModifier,
                      list.visualItemRect(list.item(1)).center());
    EXPECT_EQ(midiSetup().selected(), 1);
    list.setFocus();
    QTest::keyClick(&list, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(midiSetup().selected(), 1);
    EXPECT_TRUE(list.item(1)->isSelected());
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(host.openIndex, 1);
    // After a change the new device is the one kept.
    clickDevice(2);
    host.calls.clear();
    QTest::keyClick(&list, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(midiSetup().selected(), 2);
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(ControlPanelDialogTest, AClickOrSpaceOnTheSelectedEntryOpensThatDeviceAgain) {
    // The stored device was busy at start-up: shown selected, but closed.
    settings.write({{"mididevice", 1}});
    host.busy = {1};
    startAndShow();
    EXPECT_EQ(midiSetup().selected(), 1);
    EXPECT_EQ(host.openIndex, -1);
    clickTab(3);
    host.busy.clear();
    host.calls.clear();
    clickDevice(1);
    EXPECT_EQ(opens(), std::vector<std::string>{"open 1"});
    EXPECT_EQ(host.openIndex, 1);
    deviceList().setFocus();
    QTest::keyClick(&deviceList(), Qt::Key_Space);
    EXPECT_EQ(opens(), (std::vector<std::string>{"open 1", "open 1"}));
    EXPECT_EQ(host.count("close"), 1u);
    EXPECT_EQ(midiSetup().selected(), 1);
    // Selecting from the program opens nothing.
    host.calls.clear();
    midiSetup().select(1);
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(ControlPanelDialogTest, FocusOnADeviceListWithoutSelectionChangesNothing) {
    settings.write({{"mididevice", 7}});
    startAndShow();
    EXPECT_EQ(midiSetup().selected(), -1);
    clickTab(3);
    host.calls.clear();
    deviceList().setFocus();
    QCoreApplication::processEvents();
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(midiSetup().selected(), -1);
}

TEST_F(ControlPanelDialogTest, EnterDoesNothingAndEscapeEndsTheRun) {
    startAndShow();
    clickTab(2);
    findControl<QPushButton>(presets(), "restoreDeviceButton")->setFocus();
    messages.shown.clear();
    QTest::keyClick(window.get(), Qt::Key_Return);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
    window->accept();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(messages.shown.empty());

    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Rejected);
}

TEST_F(ControlPanelDialogTest, TheCloseBoxEndsTheRun) {
    startAndShow();
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Rejected);
}

/// The entry of `menu` of that object name, nullptr when there is none.
QAction* entry(const QMenu& menu, const char* name) {
    return menu.findChild<QAction*>(QString::fromLatin1(name));
}

TEST_F(ControlPanelDialogTest, TheWindowMenuOffersItsEntriesAndEndsWithASeparatorAndAbout) {
    ASSERT_EQ(start(), Panel::StartResult::Running);
    const QList<QAction*> actions = window->windowMenu().actions();
    ASSERT_GE(actions.size(), 2);
    EXPECT_TRUE(actions[actions.size() - 2]->isSeparator());
    EXPECT_EQ(actions.back(), entry(window->windowMenu(), names::kAboutAction));
    EXPECT_EQ(actions.back()->text(), QString("&About ZR70..."));
    QMenu empty;
    EXPECT_EQ(ControlPanelDialog::appendAboutEntry(empty, QString()), nullptr);
    EXPECT_TRUE(empty.actions().isEmpty());

    QAction* exportEntry = entry(window->windowMenu(), names::kExportSysExAction);
    QAction* importEntry = entry(window->windowMenu(), names::kImportSysExAction);
    ASSERT_NE(exportEntry, nullptr);
    ASSERT_NE(importEntry, nullptr);
    chooser.saveAnswer = directory.path("set.syx");
    exportEntry->trigger();
    EXPECT_TRUE(QFile::exists(directory.path("set.syx")));
    ParameterSet one;
    one.set(3, 1);
    writeFile("one.syx", SysExFile::encode(one));
    chooser.loadAnswer = directory.path("one.syx");
    importEntry->trigger();
    EXPECT_EQ(controls().selection(3), 1);
    EXPECT_EQ(controls().selection(0), kNoSelection);
}

TEST_F(ControlPanelDialogTest, TheAboutEntryOpensTheAboutBoxOverTheWindow) {
    startAndShow();
    bool sawAbout = false;
    testing::ModalWatch watch([&](QWidget& modal) {
        auto* about = qobject_cast<AboutDialog*>(&modal);
        sawAbout = about != nullptr && about->windowTitle() == "About ZR70" &&
                   about->parentWidget() == window.get() && about->isModal();
        modal.close();
    });
    window->windowMenu().actions().back()->trigger();
    EXPECT_EQ(watch.count(), 1);
    EXPECT_TRUE(sawAbout);
    // The window works as before.
    QTest::keyClick(findControl<QComboBox>(controls(), "midiChannelList"), Qt::Key_Down);
    EXPECT_EQ(host.sent.size(), 1u);
}

TEST_F(ControlPanelDialogTest, TheMenuKeyAndARightClickOpenTheWindowMenuOverEveryControl) {
    startAndShow();
    // The focus is where it is at start, on a list; then on the device list,
    // and under the mouse on a button.
    QComboBox* list = findControl<QComboBox>(controls(), "midiChannelList");
    list->setFocus();
    const auto opensMenu = [&](const std::function<void()>& ask) {
        bool shown = false;
        QTimer::singleShot(0, [&] {
            shown = QApplication::activePopupWidget() == &window->windowMenu();
            window->windowMenu().close();
        });
        ask();
        return shown;
    };
    // The Menu key reaches the widget with the focus as a keyboard request,
    // a right-click the widget under the mouse as a mouse request.
    const auto ask = [](QWidget* widget, QContextMenuEvent::Reason reason) {
        return [widget, reason] {
            QContextMenuEvent request(reason, QPoint(3, 3), widget->mapToGlobal(QPoint(3, 3)));
            QApplication::sendEvent(widget, &request);
        };
    };
    EXPECT_TRUE(opensMenu(ask(list, QContextMenuEvent::Keyboard)));
    EXPECT_TRUE(opensMenu(ask(list, QContextMenuEvent::Mouse)));
    clickTab(3);
    EXPECT_TRUE(opensMenu(ask(deviceList().viewport(), QContextMenuEvent::Mouse)));
    EXPECT_TRUE(opensMenu(ask(&deviceList(), QContextMenuEvent::Keyboard)));
    clickTab(2);
    QWidget* button = findControl<QPushButton>(presets(), "loadPresetButton");
    EXPECT_TRUE(opensMenu(ask(button, QContextMenuEvent::Mouse)));
    EXPECT_TRUE(host.sent.empty());
}

TEST_F(ControlPanelDialogTest, MinimizeAndCloseGoToTheWindowsOwnHandling) {
    startAndShow();
    testing::ModalWatch watch;
    entry(window->windowMenu(), names::kMinimizeAction)->trigger();
    EXPECT_TRUE(window->isMinimized());
    entry(window->windowMenu(), names::kCloseAction)->trigger();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(watch.count(), 0);
}

TEST(AboutDialogTest, EnterClosesTheBoxAsOkAndEscapeAsCancel) {
    QWidget owner;
    owner.show();
    struct Press {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int result; ///< -1: the box stays open
    };
    const Press presses[] = {{Qt::Key_Return, Qt::NoModifier, QDialog::Accepted},
                             {Qt::Key_Enter, Qt::KeypadModifier, QDialog::Accepted},
                             {Qt::Key_Escape, Qt::NoModifier, QDialog::Rejected},
                             {Qt::Key_Return, Qt::ControlModifier, -1}};
    for (const Press& press : presses) {
        AboutDialog about(&owner);
        bool open = false;
        testing::ModalWatch watch([&](QWidget& modal) {
            QTest::keyClick(&modal, press.key, press.modifiers);
            open = modal.isVisible();
        });
        const int result = about.exec();
        EXPECT_EQ(watch.count(), 1);
        EXPECT_EQ(open ? -1 : result, press.result) << press.key << " " << press.modifiers;
    }
}

} // namespace
} // namespace zr70
