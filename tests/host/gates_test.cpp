// The two gates before the menu: the quiet exit of an update run on a
// machine with the product installed, and the refusal of Windows NT 3.51.
#include "harness.h"

namespace {

enum Outcome { QUIET_EXIT, REFUSED, MENU };

struct GateCase {
    const char *name;
    bool keyPresent;
    const char *tail;
    DWORD major, minor;
    bool nt;
    Outcome outcome;
};

const GateCase kGateCases[] = {
    {"key and switch", true, "/UPDATE", 4, 0, false, QUIET_EXIT},
    {"key and switch inside a word", true, "x/UPDATEy", 4, 0, false, QUIET_EXIT},
    {"key and switch among others", true, "-a /UPDATE -b", 4, 0, false, QUIET_EXIT},
    {"key and lower-case switch", true, "/update", 4, 0, false, MENU},
    {"key and partial switch", true, "/UPDAT", 4, 0, false, MENU},
    {"key and no switch", true, "", 4, 0, false, MENU},
    {"switch without key", false, "/UPDATE", 4, 0, false, MENU},
    {"Windows 95", false, "", 4, 0, false, MENU},
    {"Windows NT 4.0", false, "", 4, 0, true, MENU},
    {"Windows NT 3.5", false, "", 3, 50, true, MENU},
    {"Windows 10", false, "", 10, 0, true, MENU},
    {"Windows NT 3.51", false, "", 3, 51, true, REFUSED},
    {"Windows NT 3.51, key, no switch", true, "", 3, 51, true, REFUSED},
    {"Windows NT 3.51, key and switch", true, "/UPDATE", 3, 51, true, QUIET_EXIT},
    {"Windows 95 reporting 3.51", false, "", 3, 51, false, MENU},
};

TEST(Gates, DecideWhetherTheMenuRuns)
{
    for (const GateCase &c : kGateCases) {
        SCOPED_TRACE(c.name);
        NewProcess();
        StageDisc();
        if (c.keyPresent)
            SimAddKey(PRODUCT_KEY);
        SimSetWindows(c.major, c.minor, c.nt);
        SimUser({Press(IDCANCEL)});

        RunResult run = RunLauncher(c.tail);

        EXPECT_EQ(run.aborted, "");
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(SimMessageBoxes().size(), c.outcome == REFUSED ? 1u : 0u);
        EXPECT_EQ(SimMenuShownTimes().size(), c.outcome == MENU ? 1u : 0u);
        EXPECT_EQ(SimCallsNamed({"CreateWindowExA"}).size(), c.outcome == MENU ? 1u : 0u);
        ExpectCleanEnd();
    }
}

TEST(Gates, QuietExitOpensTheKeyClosesItAndShowsNothing)
{
    NewProcess();
    SimAddKey(PRODUCT_KEY);
    RunResult run = RunLauncher("/UPDATE");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(SimCalls(), (Calls{
        "RegOpenKeyExA(HKEY_LOCAL_MACHINE, SOFTWARE\\Quendrix\\VUNT\\1.0, 0, KEY_READ)",
        "RegCloseKey(key)",
    }));
}

TEST(Gates, AKeyThatCannotBeOpenedCountsAsNotInstalled)
{
    NewProcess();
    StageDisc();
    SimAddKey(PRODUCT_KEY);
    SimFail("RegOpenKeyExA");
    SimUser({Press(IDCANCEL)});
    RunResult run = RunLauncher("/UPDATE");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(SimMenuShownTimes().size(), 1u);
    EXPECT_EQ(SimCallsNamed({"RegCloseKey"}), Calls{});
    ExpectCleanEnd();
}

/* A key locked against reading: Windows NT will not open it, so the
 * product counts as not installed; Windows 95, with no registry security,
 * opens it, and "/UPDATE" ends the run at once.  (The simulated platform
 * once refused it on Windows 95 too; Wine, playing Windows 98, opened it.) */
TEST(Gates, ALockedKeyIsUnreadableOnlyOnWindowsNt)
{
    for (bool nt : {true, false}) {
        SCOPED_TRACE(nt ? "Windows NT 4.0" : "Windows 95");
        NewProcess();
        StageDisc();
        SimSetWindows(4, 0, nt);
        SimAddKey(PRODUCT_KEY);
        SimLockKey(PRODUCT_KEY);
        SimUser({Press(IDCANCEL)});
        RunResult run = RunLauncher("/UPDATE");
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(SimMenuShownTimes().size(), nt ? 1u : 0u);
        EXPECT_EQ(SimCallsNamed({"RegCloseKey"}), nt ? Calls{} : Calls{"RegCloseKey(key)"});
        ExpectCleanEnd();
    }
}

TEST(Gates, RefusalOnNt351SaysWhyAndEndsBeforeAnyWindow)
{
    NewProcess();
    SimSetWindows(3, 51, true);
    RunResult run = RunLauncher("");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(SimCalls(), (Calls{
        "RegOpenKeyExA(HKEY_LOCAL_MACHINE, SOFTWARE\\Quendrix\\VUNT\\1.0, 0, KEY_READ)",
        "GetVersionExA(148)",
        "GetVersion()",
        "wsprintfA()",
        "MessageBoxA(NULL, VUNT Install will not continue.\\nWinNT 3.51 is not supported., VUNT Install, MB_OK)",
    }));
    ASSERT_EQ(SimMessageBoxes().size(), 1u);
    EXPECT_EQ(SimMessageBoxes()[0].text, "VUNT Install will not continue.\nWinNT 3.51 is not supported.");
    EXPECT_EQ(SimMessageBoxes()[0].caption, "VUNT Install");
}

TEST(Gates, AFailedVersionQueryDoesNotRefuse)
{
    NewProcess();
    StageDisc();
    SimSetWindows(3, 51, true);
    SimFail("GetVersionExA");
    SimUser({Press(IDCANCEL)});
    RunResult run = RunLauncher("");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(SimMessageBoxes().size(), 0u);
    EXPECT_EQ(SimMenuShownTimes().size(), 1u);
}

TEST(Gates, UpdateSwitchSearchIsAPlainSubstringSearch)
{
    EXPECT_TRUE(TailHasUpdateSwitch("/UPDATE"));
    EXPECT_TRUE(TailHasUpdateSwitch("//UPDATE"));
    EXPECT_TRUE(TailHasUpdateSwitch("/UPDAT/UPDATE"));
    EXPECT_FALSE(TailHasUpdateSwitch("/UPDAT"));
    EXPECT_FALSE(TailHasUpdateSwitch("/Update"));
    EXPECT_FALSE(TailHasUpdateSwitch(""));
    EXPECT_FALSE(TailHasUpdateSwitch(nullptr));
}

} // namespace
