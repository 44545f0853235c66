// The pump: empties the queue without waiting and stops at the quit request.
#include "harness.h"

namespace {

std::vector<UINT> g_received;

LRESULT CALLBACK ProbeWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= 0x400)
        g_received.push_back(message);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

HWND NewProbeWindow(void)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ProbeWndProc;
    wc.hInstance = SimInstance();
    wc.lpszClassName = "probe";
    RegisterClassA(&wc);
    return CreateWindowExA(0, "probe", "probe", 0, 0, 0, 1, 1, NULL, NULL, SimInstance(), NULL);
}

class Pump : public ::testing::Test {
protected:
    void SetUp() override
    {
        NewProcess();
        g_received.clear();
        probe = NewProbeWindow();
    }
    HWND probe = NULL;
};

TEST_F(Pump, EmptyQueueReturnsAtOnce)
{
    size_t before = SimCalls().size();
    PumpMessages();
    EXPECT_EQ(Calls(SimCalls().begin() + before, SimCalls().end()),
              Calls{"PeekMessageA(NULL, 0, 0, PM_NOREMOVE)"});
    EXPECT_EQ(SimNow(), 0u);
    EXPECT_FALSE(g_launcher.quitSeen);
}

TEST_F(Pump, DispatchesInOrderUpToTheQuitAndTakesNothingAfter)
{
    SimPost(probe, 0x400, 0, 0);
    SimPost(probe, 0x401, 0, 0);
    PostQuitMessage(7);

    PumpMessages();
    EXPECT_EQ(g_received, (std::vector<UINT>{0x400, 0x401}));
    EXPECT_TRUE(g_launcher.quitSeen);
    EXPECT_EQ(g_launcher.exitCode, 7);

    SimPost(probe, 0x402, 0, 0);
    size_t before = SimCalls().size();
    PumpMessages();
    EXPECT_EQ(SimCalls().size(), before);
    EXPECT_EQ(SimQueuedMessages(), 1);
    EXPECT_EQ(g_received.size(), 2u);
}

TEST_F(Pump, TimerMessagesAreDispatchedWithoutWaitingForTheNext)
{
    SetTimer(probe, 1, 250, NULL);
    WaitMessage();
    EXPECT_EQ(SimNow(), 250u);
    PumpMessages();
    EXPECT_EQ(SimCallsNamed({"DispatchMessageA"}), Calls{"DispatchMessageA(probe, WM_TIMER)"});
    EXPECT_EQ(SimNow(), 250u);
    EXPECT_EQ(SimBlockingGets(), 0);
}

} // namespace
