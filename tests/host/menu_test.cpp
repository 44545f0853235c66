// The menu loop, from the first showing of the menu to the exit code:
// every choice, the children it starts and waits for, and the ways the
// anchor window can go away.
#include "harness.h"

namespace {

/* The calls that tell the story of a menu loop, without the pump's. */
const std::vector<std::string> kStoryCalls = {
    "DialogBoxParamA", "EndDialog", "GetFullPathNameA", "SetCurrentDirectoryA", "CreateProcessA",
    "CloseHandle", "ClipCursor", "KillTimer", "DestroyWindow",
};

const char *const kShowMenu = "DialogBoxParamA(hInstance, #101, VUNT Install, 0)";
const char *const kTeardown[] = {"ClipCursor(NULL)", "KillTimer(VUNT Install, 1)", "DestroyWindow(VUNT Install)"};

const Calls kDirectXStory = {
    "GetFullPathNameA(directx\\redist\\directx, 2047)",
    "SetCurrentDirectoryA(C:\\DISC\\directx\\redist\\directx)",
    "CreateProcessA(dxsetup.exe, NULL, NULL, NULL, FALSE, 0, NULL, NULL)",
    "CloseHandle(thread dxsetup.exe)",
    "GetFullPathNameA(..\\..\\.., 2047)",
    "SetCurrentDirectoryA(C:\\DISC)",
    "CloseHandle(process dxsetup.exe)",
};

const Calls kInstallerStory = {
    "CreateProcessA(z.exe, NULL, NULL, NULL, FALSE, 0, NULL, NULL)",
    "CloseHandle(thread z.exe)",
    "CloseHandle(process z.exe)",
};

/* Builds an expected story: the menu shown and ended with `choice`, then
 * what the choice does, for each step; then the teardown. */
struct MenuStep {
    int choice;
    Calls then;
};

Calls Story(const std::vector<MenuStep> &steps, bool teardown = true)
{
    Calls story;
    for (const MenuStep &step : steps) {
        story.push_back(kShowMenu);
        story.push_back("EndDialog(dialog, " + std::to_string(step.choice) + ")");
        story.insert(story.end(), step.then.begin(), step.then.end());
    }
    if (teardown)
        story.insert(story.end(), std::begin(kTeardown), std::end(kTeardown));
    else
        story.push_back("ClipCursor(NULL)");
    return story;
}

class MenuLoop : public ::testing::Test {
protected:
    void SetUp() override
    {
        NewProcess();
        StageDisc();
    }
};

TEST_F(MenuLoop, TypicalRunDirectXThenTheInstaller)
{
    RunOnDisc({Press(IDC_INSTALL_DIRECTX), Press(IDC_INSTALL_PRODUCT)});
    EXPECT_EQ(SimCallsNamed(kStoryCalls), Story({{1000, kDirectXStory}, {1001, kInstallerStory}}));

    ASSERT_EQ(SimChildren().size(), 2u);
    EXPECT_EQ(SimChildren()[0].directory, DISC_DIRECTX);
    EXPECT_EQ(SimChildren()[1].program, DISC_PRODUCT);
    EXPECT_EQ(SimChildren()[1].directory, DISC);
    EXPECT_EQ(SimChildren()[1].endMs, SIM_FOREVER); // the installer runs on
}

TEST_F(MenuLoop, ExitEscapeAndTheCloseBoxEndTheLoop)
{
    const SimUserAction ways[] = {Press(IDCANCEL), UserDoes(SIM_ESCAPE), UserDoes(SIM_CLOSE_BOX)};
    for (const SimUserAction &way : ways) {
        SCOPED_TRACE(way.kind);
        NewProcess();
        StageDisc();
        RunOnDisc({way});
        EXPECT_EQ(SimCallsNamed(kStoryCalls), Story({{IDCANCEL, {}}}));
        EXPECT_TRUE(SimChildren().empty());
    }
}

/* Keys and clicks as the dialog manager turns them into the menu's
 * choice, as seen under Wine: the first button has the focus when the menu
 * comes up but is not the default button, so Enter means IDOK until Tab
 * has made the focused button the default; Space presses the focused
 * button; Alt with a button's letter presses that button. */
struct InputCase {
    std::vector<SimUserAction> inputs;
    int choice;
};

TEST_F(MenuLoop, KeysAndClicksChooseAsTheDialogManagerDoes)
{
    auto Key = [](SimUserKind kind, int value = 0) { return SimUserAction{kind, value, 100}; };
    const InputCase cases[] = {
        {{Key(SIM_ENTER)}, IDOK},
        {{Key(SIM_SPACE)}, IDC_INSTALL_DIRECTX},
        {{Key(SIM_TAB), Key(SIM_ENTER)}, IDC_INSTALL_PRODUCT},
        {{Key(SIM_SHIFT_TAB), Key(SIM_ENTER)}, IDCANCEL},
        {{Key(SIM_TAB), Key(SIM_SHIFT_TAB), Key(SIM_ENTER)}, IDC_INSTALL_DIRECTX},
        {{Key(SIM_TAB), Key(SIM_TAB), Key(SIM_TAB), Key(SIM_SPACE)}, IDC_INSTALL_DIRECTX},
        {{Key(SIM_ALT_KEY, 'D')}, IDC_INSTALL_DIRECTX},
        {{Key(SIM_ALT_KEY, 'v')}, IDC_INSTALL_PRODUCT},
        {{Key(SIM_ALT_KEY, 'X')}, IDCANCEL},
        {{Key(SIM_ALT_KEY, 'Q'), Key(SIM_ESCAPE)}, IDCANCEL},
        {{Key(SIM_ALT_F4)}, IDCANCEL},
        {{Key(SIM_CLICK, IDC_INSTALL_PRODUCT)}, IDC_INSTALL_PRODUCT},
        {{Key(SIM_CLICK_TASKBAR), Key(SIM_CLICK, IDCANCEL)}, IDCANCEL},
    };
    for (const InputCase &c : cases) {
        std::string keys;
        for (const SimUserAction &input : c.inputs)
            keys += std::to_string(input.kind) + " ";
        SCOPED_TRACE(keys);
        NewProcess();
        StageDisc(0);
        SimSetDialogButtons({{IDC_INSTALL_DIRECTX, 'D'}, {IDC_INSTALL_PRODUCT, 'V'}, {IDCANCEL, 'X'}});
        std::vector<SimUserAction> user = c.inputs;
        user.push_back(Press(IDCANCEL));
        RunOnDisc(user);
        Calls ends = SimCallsNamed({"EndDialog"});
        ASSERT_FALSE(ends.empty());
        EXPECT_EQ(ends[0], "EndDialog(dialog, " + std::to_string(c.choice) + ")");
    }
}

TEST_F(MenuLoop, OtherChoicesShowTheMenuAgain)
{
    const SimUserAction others[] = {Press(IDOK), UserDoes(SIM_ENTER), Press(1002), Press(7), Press(0xFFFF)};
    for (const SimUserAction &other : others) {
        SCOPED_TRACE(other.value);
        NewProcess();
        StageDisc();
        RunOnDisc({other, Press(IDCANCEL)});
        int choice = other.kind == SIM_ENTER ? IDOK : other.value;
        EXPECT_EQ(SimCallsNamed(kStoryCalls), Story({{choice, {}}, {IDCANCEL, {}}}));
        EXPECT_TRUE(SimChildren().empty());
    }
}

TEST_F(MenuLoop, DirectXTwiceInARow)
{
    RunOnDisc({Press(IDC_INSTALL_DIRECTX), Press(IDC_INSTALL_DIRECTX), Press(IDCANCEL)});
    EXPECT_EQ(SimCallsNamed(kStoryCalls), Story({{1000, kDirectXStory}, {1000, kDirectXStory}, {2, {}}}));
    ASSERT_EQ(SimChildren().size(), 2u);
    EXPECT_EQ(SimChildren()[1].directory, DISC_DIRECTX);
}

struct WaitCase {
    const char *name;
    DWORD lifetimeMs;
    DWORD exitCode;
};

/* However the DirectX setup ends, the menu is back within a timer period
 * of its end, and not before. */
TEST_F(MenuLoop, MenuComesBackWithinATimerPeriodOfTheChildsEnd)
{
    const WaitCase cases[] = {
        {"ends at once", 0, 0},
        {"ends within a tick", 100, 0},
        {"ends after many ticks", 10000, 0},
        {"fails", 3000, 1},
        {"ends with the code 259", 1000, STILL_ACTIVE},
        {"ends with a negative code", 1000, 0xC0000005u},
    };
    for (const WaitCase &c : cases) {
        SCOPED_TRACE(c.name);
        NewProcess();
        StageDisc(c.lifetimeMs, c.exitCode);
        RunOnDisc({Press(IDC_INSTALL_DIRECTX), Press(IDCANCEL)});
        ASSERT_EQ(SimMenuShownTimes().size(), 2u);
        const SimChild &child = SimChildren().at(0);
        DWORD backAfter = SimMenuShownTimes()[1] - child.endMs;
        EXPECT_LE(backAfter, (DWORD)ANCHOR_TIMER_MS);
        EXPECT_GE(SimMenuShownTimes()[1], child.endMs);
    }
}

/* Without a timer the child's end itself wakes the wait: the menu is back
 * the moment the setup ends (here between two ticks of any 250 ms clock),
 * not at some later time-out. */
TEST_F(MenuLoop, WithoutATimerTheWaitStillEndsWithTheChild)
{
    NewProcess();
    StageDisc(1030);
    SimFail("SetTimer");
    RunOnDisc({Press(IDC_INSTALL_DIRECTX), Press(IDCANCEL)});
    ASSERT_EQ(SimMenuShownTimes().size(), 2u);
    EXPECT_EQ(SimMenuShownTimes()[1], SimChildren().at(0).endMs);
}

/* A close that reached the queue behind the click that ended the menu is
 * already there when the wait begins, and what was there when the queue
 * was last looked at wakes no wait.  The timer's next tick does, or
 * without a timer the wait's own time-out: the close is answered within a
 * timer period, though the setup runs on. */
TEST_F(MenuLoop, ACloseQueuedBehindTheChoiceIsAnsweredWithinATimerPeriod)
{
    for (bool timer : {true, false}) {
        SCOPED_TRACE(timer ? "with the timer" : "without a timer");
        NewProcess();
        StageDisc(SIM_FOREVER);
        if (!timer)
            SimFail("SetTimer");
        SimScript({{SIM_AT_MENU, 0, 100, SIM_CLICK, IDC_INSTALL_DIRECTX}, {SIM_AT_MENU, 0, 0, SIM_CLOSE_ANCHOR, 0}});
        RunOnDisc({});
        EXPECT_EQ(SimMenuShownTimes().size(), 1u);
        EXPECT_LE(SimNow(), 100u + ANCHOR_TIMER_MS);
        ASSERT_EQ(SimChildren().size(), 1u);
        EXPECT_EQ(SimChildren()[0].endMs, SIM_FOREVER);
    }
}

TEST_F(MenuLoop, MissingDirectXDirectoryStartsNothingAndStaysHome)
{
    NewProcess();
    SimSetCurrentDirectory(DISC);
    SimAddProgram(DISC_PRODUCT, SIM_FOREVER, 0);
    SimAddProgram("C:\\dxsetup.exe", 0, 0); // would be found three levels up
    RunOnDisc({Press(IDC_INSTALL_DIRECTX), Press(IDC_INSTALL_PRODUCT)});
    EXPECT_EQ(SimCallsNamed(kStoryCalls),
              Story({{1000, {"GetFullPathNameA(directx\\redist\\directx, 2047)",
                             "SetCurrentDirectoryA(C:\\DISC\\directx\\redist\\directx)"}},
                     {1001, kInstallerStory}}));
    ASSERT_EQ(SimChildren().size(), 1u);
    EXPECT_EQ(SimChildren()[0].program, DISC_PRODUCT);
}

TEST_F(MenuLoop, AFailedStartBringsTheMenuBackAtOnce)
{
    NewProcess();
    SimSetCurrentDirectory(DISC);
    SimAddDirectory(DISC_DIRECTX); // the directory, but no setup in it, and no installer
    RunOnDisc({Press(IDC_INSTALL_DIRECTX, 0), Press(IDC_INSTALL_PRODUCT)});
    EXPECT_EQ(SimCallsNamed(kStoryCalls),
              Story({{1000, {"GetFullPathNameA(directx\\redist\\directx, 2047)",
                             "SetCurrentDirectoryA(C:\\DISC\\directx\\redist\\directx)",
                             "CreateProcessA(dxsetup.exe, NULL, NULL, NULL, FALSE, 0, NULL, NULL)",
                             "GetFullPathNameA(..\\..\\.., 2047)", "SetCurrentDirectoryA(C:\\DISC)"}},
                     {1001, {"CreateProcessA(z.exe, NULL, NULL, NULL, FALSE, 0, NULL, NULL)"}}}));
    EXPECT_EQ(SimMenuShownTimes(), (std::vector<DWORD>{0, 0}));
    EXPECT_TRUE(SimChildren().empty());
}

TEST_F(MenuLoop, APathTooLongForTheBufferIsNotEntered)
{
    std::string deep = DISC;
    while (deep.size() < PATH_CHARS)
        deep += "\\deeper";
    NewProcess();
    SimSetCurrentDirectory(deep.c_str());
    SimAddProgram((deep + "\\" DIRECTX_DIR "\\" DIRECTX_SETUP).c_str(), 0, 0);
    SimUser({Press(IDC_INSTALL_DIRECTX), Press(IDCANCEL)});
    RunResult run = RunLauncher("");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(SimCallsNamed({"SetCurrentDirectoryA", "CreateProcessA"}), Calls{});
    EXPECT_EQ(SimCurrentDirectory(), deep);
}

TEST_F(MenuLoop, MenuThatCannotBeShownEndsTheLoop)
{
    SimFail("DialogBoxParamA");
    RunOnDisc({});
    EXPECT_EQ(SimCallsNamed(kStoryCalls), (Calls{kShowMenu, kTeardown[0], kTeardown[1], kTeardown[2]}));
}

TEST_F(MenuLoop, AnchorClosedDuringAWaitEndsTheRunAndLeavesTheChild)
{
    NewProcess();
    StageDisc(SIM_FOREVER);
    SimAtTime(2000, SIM_CLOSE_ANCHOR);
    RunOnDisc({Press(IDC_INSTALL_DIRECTX)});

    EXPECT_EQ(SimMenuShownTimes().size(), 1u);
    Calls story = Story({{1000, kDirectXStory}}, false);
    // The close comes from the taskbar: the window procedure kills the
    // timer and destroys the window; the teardown then has nothing to do.
    story.insert(story.end() - 2, {"KillTimer(VUNT Install, 1)", "DestroyWindow(VUNT Install)"});
    EXPECT_EQ(SimCallsNamed(kStoryCalls), story);
    EXPECT_LE(SimNow(), 2000u + ANCHOR_TIMER_MS);
    ASSERT_EQ(SimChildren().size(), 1u);
    EXPECT_EQ(SimChildren()[0].endMs, SIM_FOREVER);
}

/* End Task sends the close request itself, which reaches the anchor
 * window although the menu has disabled it. */
TEST_F(MenuLoop, AnchorClosedWhileTheMenuIsUpEndsTheLoop)
{
    RunOnDisc({UserDoes(SIM_END_TASK, 500)});
    EXPECT_EQ(SimMenuShownTimes().size(), 1u);
    EXPECT_EQ(SimCallsNamed(kStoryCalls), (Calls{kShowMenu, "KillTimer(VUNT Install, 1)",
                                                 "DestroyWindow(VUNT Install)", "ClipCursor(NULL)"}));
}

/* The taskbar asks with system commands, which the anchor window, disabled
 * by the menu, ignores: the menu stays up until the user answers it.  (The
 * simulated platform used to close the window here; Wine does not.) */
TEST_F(MenuLoop, TaskbarCannotCloseOrRestoreTheAnchorWhileTheMenuIsUp)
{
    RunOnDisc({UserDoes(SIM_CLOSE_ANCHOR, 500), UserDoes(SIM_CLICK_TASKBAR, 100), UserDoes(SIM_ESCAPE, 100)});
    EXPECT_EQ(SimMenuShownTimes(), (std::vector<DWORD>{0}));
    EXPECT_EQ(SimNow(), 700u);
    Calls seen;
    for (const std::string &call : SimCallsNamed({"DefWindowProcA", "ShowWindow", "KillTimer"}))
        if (call.find("WM_ENTERIDLE") == std::string::npos && call.find("WM_CREATE") == std::string::npos &&
            call.find("WM_DESTROY") == std::string::npos)
            seen.push_back(call);
    EXPECT_EQ(seen, (Calls{"ShowWindow(VUNT Install, SW_MINIMIZE)", "DefWindowProcA(VUNT Install, WM_SYSCOMMAND)",
                           "DefWindowProcA(VUNT Install, WM_SYSCOMMAND)", "KillTimer(VUNT Install, 1)"}));
}

TEST_F(MenuLoop, AnchorClosedBeforeTheMenuMeansNoMenu)
{
    SimAtTime(0, SIM_CLOSE_ANCHOR);
    RunOnDisc({});
    EXPECT_EQ(SimMenuShownTimes().size(), 0u);
    EXPECT_EQ(SimCallsNamed({"DialogBoxParamA"}), Calls{});
}

TEST(MenuDlgProc, EveryCommandEndsTheMenuWithItsIdentifier)
{
    NewProcess();
    HWND dlg = (HWND)(uintptr_t)0x1234;
    EXPECT_EQ(MenuDlgProc(dlg, WM_COMMAND, (BN_CLICKED << 16) | 1000, 0), TRUE);
    EXPECT_EQ(MenuDlgProc(dlg, WM_INITDIALOG, 0, 0), FALSE);
    EXPECT_EQ(MenuDlgProc(dlg, WM_TIMER, 1, 0), FALSE);
    EXPECT_EQ(SimCalls(), Calls{"EndDialog(0x1234, 1000)"});

    SimPost(NULL, 0x400, 0, 0);
    EXPECT_EQ(MenuDlgProc(dlg, WM_ENTERIDLE, 0, 0), FALSE);
    EXPECT_EQ(SimCalls().back(), "WaitMessage()");
}

} // namespace
