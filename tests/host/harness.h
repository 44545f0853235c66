/* What every host test needs: a new world and a new process for each run,
 * and a standard disc to run the launcher on. */
#ifndef HARNESS_H
#define HARNESS_H

#include "launcher.h"
#include "sim.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

#define DISC          "C:\\DISC"
#define DISC_DIRECTX  "C:\\DISC\\directx\\redist\\directx"
#define DISC_DXSETUP  DISC_DIRECTX "\\dxsetup.exe"
#define DISC_PRODUCT  "C:\\DISC\\z.exe"

typedef std::vector<std::string> Calls;

struct RunResult {
    int exitCode;
    std::string aborted; /* why the simulated run could not go on, or empty */
};

/* A new world, and the launcher's record at its start values, as in a new
 * process. */
inline void NewProcess(void)
{
    SimReset();
    g_launcher = LauncherState();
}

/* The disc in C:\DISC, the current directory: the DirectX setup runs for
 * `dxMs` and the installer runs on. */
inline void StageDisc(DWORD dxMs = 1000, DWORD dxExitCode = 0)
{
    SimSetCurrentDirectory(DISC);
    SimAddProgram(DISC_DXSETUP, dxMs, dxExitCode);
    SimAddProgram(DISC_PRODUCT, SIM_FOREVER, 0);
}

inline RunResult RunLauncher(const char *tail = "")
{
    try {
        return RunResult{WinMain(SimInstance(), NULL, (LPSTR)tail, SW_SHOWNORMAL), ""};
    } catch (const SimAbort &abort) {
        return RunResult{-1, abort.reason};
    }
}

inline SimUserAction Press(int id, DWORD afterMs = 100) { return SimUserAction{SIM_PRESS, id, afterMs}; }
inline SimUserAction UserDoes(SimUserKind kind, DWORD afterMs = 100) { return SimUserAction{kind, 0, afterMs}; }

/* What every run that has ended must have left behind. */
inline void ExpectCleanEnd(void)
{
    EXPECT_EQ(SimLiveWindows(), 0);
    EXPECT_EQ(SimLiveTimers(), 0);
    EXPECT_EQ(SimOpenKeys(), 0);
    EXPECT_EQ(SimOpenHandles(), 0);
    EXPECT_EQ(SimBlockingGets(), 0);
    EXPECT_EQ(SimComplaints(), Calls{});
}

/* Runs the launcher, with no tail, for a user who does `user` at the menu,
 * and checks that the run ended as every run must, back in the disc's
 * directory. */
inline void RunOnDisc(const std::vector<SimUserAction> &user)
{
    SimUser(user);
    RunResult run = RunLauncher("");
    ASSERT_EQ(run.aborted, "");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(SimCurrentDirectory(), DISC);
    ExpectCleanEnd();
}

#endif
