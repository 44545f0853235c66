// Moments of a run that only the random scenarios used to reach, each
// kept here as a plain case: a close of the anchor window that comes
// during the teardown or together with a button, and a disc that cannot be
// read any more after the first DirectX install.
#include "harness.h"

namespace {

class Moments : public ::testing::Test {
protected:
    void SetUp() override
    {
        NewProcess();
    }
};

/* The close reaches the queue after the menu loop has ended: the teardown
 * destroys the window all the same, and the close, taken by the drain, goes
 * to a window that is gone. */
TEST_F(Moments, AnchorClosedDuringTheTeardown)
{
    for (const char *moment : {"ClipCursor", "KillTimer", "DestroyWindow"}) {
        SCOPED_TRACE(moment);
        NewProcess();
        StageDisc();
        SimAtCall(moment, 0, SIM_CLOSE_ANCHOR);
        RunOnDisc({Press(IDCANCEL)});
        EXPECT_EQ(SimCallsNamed({"KillTimer", "DestroyWindow", "PostQuitMessage"}),
                  (Calls{"KillTimer(VUNT Install, 1)", "DestroyWindow(VUNT Install)", "PostQuitMessage(0)"}));
        EXPECT_EQ(SimCallsNamed({"DispatchMessageA"}), Calls{"DispatchMessageA(VUNT Install, WM_SYSCOMMAND)"});
    }
}

/* "Install DirectX 3a" and the taskbar's Close at the same moment: the
 * setup is started, its wait ends at the first look at the queue, the menu
 * does not come back, and the setup runs on. */
TEST_F(Moments, ButtonAndCloseTogether)
{
    StageDisc(SIM_FOREVER);
    SimAtCall("EndDialog", 0, SIM_CLOSE_ANCHOR);
    RunOnDisc({Press(IDC_INSTALL_DIRECTX)});
    EXPECT_EQ(SimMenuShowings().size(), 1u);
    ASSERT_EQ(SimChildren().size(), 1u);
    EXPECT_EQ(SimChildren()[0].endMs, SIM_FOREVER);
    EXPECT_EQ(SimCallsNamed({"WaitMessage"}).size(), 1u);
    EXPECT_EQ(SimNow(), 100u); // the queue already held the close
}

/* The disc cannot be read after the first install: the second install
 * starts nothing and the launcher stays where it started, so the product
 * installer is still found. */
TEST_F(Moments, DirectXDirectoryLostAfterTheFirstInstall)
{
    StageDisc(0);
    SimFail("SetCurrentDirectoryA", -1, 2);
    RunOnDisc({Press(IDC_INSTALL_DIRECTX), Press(IDC_INSTALL_DIRECTX), Press(IDC_INSTALL_PRODUCT)});
    EXPECT_EQ(SimCallsNamed({"SetCurrentDirectoryA", "CreateProcessA"}),
              (Calls{"SetCurrentDirectoryA(C:\\DISC\\directx\\redist\\directx)",
                     "CreateProcessA(dxsetup.exe, NULL, NULL, NULL, FALSE, 0, NULL, NULL)",
                     "SetCurrentDirectoryA(C:\\DISC)",
                     "SetCurrentDirectoryA(C:\\DISC\\directx\\redist\\directx)",
                     "CreateProcessA(z.exe, NULL, NULL, NULL, FALSE, 0, NULL, NULL)"}));
    for (const SimMenuShowing &showing : SimMenuShowings())
        EXPECT_EQ(showing.directory, DISC);
}

} // namespace
