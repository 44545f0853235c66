// The anchor window: how it is made, and its window procedure's table.
#include "harness.h"

namespace {

class Anchor : public ::testing::Test {
protected:
    void SetUp() override
    {
        NewProcess();
        g_launcher.hInstance = SimInstance();
    }
};

TEST_F(Anchor, IsCreatedMinimisedWithItsTimer)
{
    ASSERT_TRUE(CreateAnchorWindow());
    EXPECT_EQ(SimCalls(), (Calls{
        "LoadCursorA(NULL, IDC_ARROW)",
        "GetStockObject(BLACK_BRUSH)",
        "RegisterClassA(VUNT Install)",
        "CreateWindowExA(0, VUNT Install, VUNT Install, 0xa0080000, 0, 0, 10, 10, NULL, NULL, hInstance, NULL)",
        "DefWindowProcA(VUNT Install, WM_CREATE)",
        "UpdateWindow(VUNT Install)",
        "ShowWindow(VUNT Install, SW_MINIMIZE)",
        "UpdateWindow(VUNT Install)",
        "SetTimer(VUNT Install, 1, 250, NULL)",
    }));
    EXPECT_TRUE(SimWindowMinimized(g_launcher.hwndAnchor));
    EXPECT_EQ(g_launcher.timerId, 1u);

    const WNDCLASSA *wc = SimRegisteredClass(APP_TITLE);
    ASSERT_NE(wc, nullptr);
    EXPECT_EQ(wc->style, 0x1023u);
    EXPECT_EQ(wc->lpfnWndProc, AnchorWndProc);
    EXPECT_EQ(wc->cbClsExtra, 0);
    EXPECT_EQ(wc->cbWndExtra, 0);
    EXPECT_EQ(wc->hInstance, SimInstance());
    EXPECT_EQ(wc->hIcon, nullptr);
    EXPECT_NE(wc->hCursor, nullptr);
    EXPECT_NE(wc->hbrBackground, nullptr);
    EXPECT_STREQ(wc->lpszMenuName, "VUNT Install");
}

TEST_F(Anchor, ATimerThatCannotBeMadeLeavesNoTimerToKill)
{
    SimFail("SetTimer");
    ASSERT_TRUE(CreateAnchorWindow());
    EXPECT_EQ(g_launcher.timerId, 0u);
    DestroyAnchorWindow();
    EXPECT_EQ(SimCallsNamed({"KillTimer", "DestroyWindow"}), Calls{"DestroyWindow(VUNT Install)"});
}

enum Target { ANCHOR, OTHER };

struct ProcCase {
    const char *name;
    UINT message;
    WPARAM wParam;
    Target target;
    Calls calls;        /* the platform calls it makes */
    UINT flagsAfter;    /* WINDOWPOS flags it leaves, from 0 */
    bool anchorRemains; /* hwndAnchor and the timer still set afterwards */
};

const ProcCase kProcCases[] = {
    {"destroy posts the quit request", WM_DESTROY, 0, ANCHOR,
     {"PostQuitMessage(0)", "DefWindowProcA(VUNT Install, WM_DESTROY)"}, 0, true},
    {"activation minimises again", WM_ACTIVATE, WA_ACTIVE, ANCHOR,
     {"ShowWindow(VUNT Install, SW_MINIMIZE)"}, 0, true},
    {"deactivation minimises again", WM_ACTIVATE, WA_INACTIVE, ANCHOR,
     {"ShowWindow(VUNT Install, SW_MINIMIZE)"}, 0, true},
    {"activation of another window is default", WM_ACTIVATE, WA_ACTIVE, OTHER,
     {"DefWindowProcA(VUNT Install, WM_ACTIVATE)"}, 0, true},
    {"timer does nothing", WM_TIMER, ANCHOR_TIMER_ID, ANCHOR, {}, 0, true},
    {"close kills the timer and destroys", WM_CLOSE, 0, ANCHOR,
     {"KillTimer(VUNT Install, 1)", "DestroyWindow(VUNT Install)", "PostQuitMessage(0)",
      "DefWindowProcA(VUNT Install, WM_DESTROY)"}, 0, false},
    {"close of another window destroys it alone", WM_CLOSE, 0, OTHER,
     {"DestroyWindow(VUNT Install)", "PostQuitMessage(0)", "DefWindowProcA(VUNT Install, WM_DESTROY)"}, 0, true},
    {"moves and size changes are cancelled", WM_WINDOWPOSCHANGING, 0, ANCHOR, {}, SWP_NOSIZE | SWP_NOMOVE, true},
    {"another window may move", WM_WINDOWPOSCHANGING, 0, OTHER,
     {"DefWindowProcA(VUNT Install, WM_WINDOWPOSCHANGING)"}, 0, true},
    {"other messages are default", WM_COMMAND, 1, ANCHOR, {"DefWindowProcA(VUNT Install, WM_COMMAND)"}, 0, true},
};

TEST_F(Anchor, WindowProcedureTable)
{
    for (const ProcCase &c : kProcCases) {
        SCOPED_TRACE(c.name);
        NewProcess();
        g_launcher.hInstance = SimInstance();
        ASSERT_TRUE(CreateAnchorWindow());
        HWND anchor = g_launcher.hwndAnchor;
        HWND other = CreateWindowExA(0, APP_TITLE, APP_TITLE, WS_POPUP, 0, 0, 10, 10, NULL, NULL,
                                     SimInstance(), NULL);
        HWND target = c.target == ANCHOR ? anchor : other;
        size_t before = SimCalls().size();

        WINDOWPOS pos = {target, NULL, 1, 2, 3, 4, 0};
        LRESULT result = AnchorWndProc(target, c.message, c.wParam, (LPARAM)&pos);

        EXPECT_EQ(result, 0);
        EXPECT_EQ(Calls(SimCalls().begin() + before, SimCalls().end()), c.calls);
        EXPECT_EQ(pos.flags, c.flagsAfter);
        EXPECT_EQ(g_launcher.hwndAnchor, c.anchorRemains ? anchor : nullptr);
        EXPECT_EQ(g_launcher.timerId, c.anchorRemains ? 1u : 0u);
    }
}

TEST_F(Anchor, TeardownKillsTheTimerBeforeDestroying)
{
    ASSERT_TRUE(CreateAnchorWindow());
    size_t before = SimCalls().size();
    DestroyAnchorWindow();
    EXPECT_EQ(Calls(SimCalls().begin() + before, SimCalls().end()), (Calls{
        "KillTimer(VUNT Install, 1)",
        "DestroyWindow(VUNT Install)",
        "PostQuitMessage(0)",
        "DefWindowProcA(VUNT Install, WM_DESTROY)",
    }));
    EXPECT_EQ(g_launcher.hwndAnchor, nullptr);
    EXPECT_EQ(SimLiveWindows(), 0);
    EXPECT_TRUE(SimQuitPending());

    before = SimCalls().size();
    DestroyAnchorWindow();
    EXPECT_EQ(SimCalls().size(), before);
}

TEST_F(Anchor, FailedCreationEndsTheRunWithNoMenu)
{
    NewProcess();
    StageDisc();
    SimFail("CreateWindowExA");
    RunResult run = RunLauncher("");
    EXPECT_EQ(run.aborted, "");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(SimCallsNamed({"DialogBoxParamA", "SetTimer", "PeekMessageA"}), Calls{});
    ExpectCleanEnd();
}

} // namespace
