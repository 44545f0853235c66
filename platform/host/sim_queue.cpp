/* The simulated platform's message queue and clock: posted messages, the
 * quit request and timers, in the order Win32 hands them out, and a
 * virtual clock that moves only while the launcher waits. */
#include "sim_world.h"

#include <algorithm>

namespace sim {

void Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG msg = {};
    msg.hwnd = hwnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = w.now;
    w.queue.push_back(msg);
    ++w.posts;
}

void PostQuit(WPARAM code)
{
    w.quitPending = true;
    w.quitCode = code;
    ++w.posts;
}

static BOOL RemoveTimer(HWND hwnd, UINT_PTR id)
{
    auto it = std::find_if(w.timers.begin(), w.timers.end(),
                           [&](const Timer &t) { return t.hwnd == hwnd && t.id == id; });
    if (it == w.timers.end())
        return FALSE;
    w.timers.erase(it);
    return TRUE;
}

static Timer *DueTimer(void)
{
    Timer *due = nullptr;
    for (Timer &t : w.timers)
        if (t.due <= w.now && (!due || t.due < due->due))
            due = &t;
    return due;
}

bool HasMessage(void)
{
    FireDueActions();
    return !w.queue.empty() || w.quitPending || DueTimer();
}

/* What wakes WaitMessage and MsgWaitForMultipleObjects: only what has come
 * since the queue was last looked at.  A message that was already there
 * then waits for the next one, or for a timer. */
static bool HasNewMessage(void)
{
    FireDueActions();
    if (w.posts != w.postsSeen)
        return true;
    for (const Timer &t : w.timers)
        if (t.due > w.lookedAt && t.due <= w.now)
            return true;
    return false;
}

static void LookAtQueue(void)
{
    w.postsSeen = w.posts;
    w.lookedAt = w.now;
}

/* Posted messages come first, then the quit request, then timers. */
bool TakeMessage(MSG *msg, bool remove)
{
    FireDueActions();
    LookAtQueue();
    if (!w.queue.empty()) {
        *msg = w.queue.front();
        if (remove)
            w.queue.pop_front();
        return true;
    }
    if (w.quitPending) {
        *msg = MSG{};
        msg->message = WM_QUIT;
        msg->wParam = w.quitCode;
        msg->time = w.now;
        if (remove)
            w.quitPending = false;
        return true;
    }
    if (Timer *t = DueTimer()) {
        *msg = MSG{};
        msg->hwnd = t->hwnd;
        msg->message = WM_TIMER;
        msg->wParam = t->id;
        msg->time = w.now;
        if (remove)
            while (t->due <= w.now)
                t->due += t->period;
        return true;
    }
    return false;
}

DWORD NextEventTime(DWORD extra)
{
    DWORD next = std::min(extra, StepDue());
    /* A timer already due waits to be taken: it does not fire again. */
    for (const Timer &t : w.timers)
        if (t.due > w.now)
            next = std::min(next, t.due);
    for (const TimedAction &a : w.timed)
        if (!a.done)
            next = std::min(next, a.at);
    return next;
}

void AdvanceTo(DWORD t)
{
    if (t > w.now) {
        w.now = t;
        w.stepsSinceTheClockMoved = 0;
    }
    if (w.now > w.timeLimit)
        throw SimAbort{Format("the run went on past %u ms of virtual time", w.timeLimit)};
    FireDueActions();
}

static void SleepUntil(bool (*woken)(void), DWORD until, const char *who)
{
    while (!woken() && w.now < until) {
        DWORD next = NextEventTime(until);
        if (next == SIM_FOREVER)
            throw SimAbort{Format("%s would wait for ever: no timer, no event", who)};
        AdvanceTo(next);
    }
}

void SleepUntilMessage(DWORD until, const char *who)
{
    SleepUntil(HasMessage, until, who);
}

} // namespace sim

using namespace sim;

void PostQuitMessage(int nExitCode)
{
    Record(Format("PostQuitMessage(%d)", nExitCode));
    Step();
    w.quitPosted = true;
    PostQuit((WPARAM)nExitCode);
}

UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc)
{
    Record(Format("SetTimer(%s, %u, %u, %s)", Label(hWnd).c_str(), (unsigned)nIDEvent, uElapse,
                  lpTimerFunc ? "proc" : "NULL"));
    Step();
    if (Failing("SetTimer") || !Alive(hWnd) || !uElapse)
        return 0;
    RemoveTimer(hWnd, nIDEvent);
    w.timers.push_back(Timer{hWnd, nIDEvent, uElapse, w.now + uElapse});
    return nIDEvent;
}

BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent)
{
    Record(Format("KillTimer(%s, %u)", Label(hWnd).c_str(), (unsigned)uIDEvent));
    Step();
    return RemoveTimer(hWnd, uIDEvent);
}

BOOL WaitMessage(void)
{
    Record("WaitMessage()");
    Step();
    SleepUntil(HasNewMessage, SIM_FOREVER, "WaitMessage");
    LookAtQueue();
    return TRUE;
}

/* The wake bits Windows 95 knows, QS_KEY to QS_HOTKEY: it fails a wait
 * that asks for any other. */
static const DWORD WAKE_BITS_95 = 0x00FF;

/* Wakes on new input, on the end of a child, or at the time-out. */
static DWORD MsgWait(DWORD nCount, const HANDLE *pHandles, DWORD dwMilliseconds)
{
    DWORD deadline = dwMilliseconds == INFINITE ? SIM_FOREVER : w.now + dwMilliseconds;
    for (;;) {
        if (HasNewMessage())
            return WAIT_OBJECT_0 + nCount;
        DWORD next = NextEventTime(deadline);
        for (DWORD i = 0; i < nCount; ++i) {
            Handle *h = OpenHandle(pHandles[i], HANDLE_PROCESS);
            if (!h)
                return WAIT_FAILED;
            const SimChild &child = w.children[h->child];
            if (ChildEnded(child))
                return WAIT_OBJECT_0 + i;
            next = std::min(next, child.endMs);
        }
        if (w.now >= deadline)
            return WAIT_TIMEOUT;
        if (next == SIM_FOREVER)
            throw SimAbort{"MsgWaitForMultipleObjects would wait for ever"};
        AdvanceTo(next);
    }
}

DWORD MsgWaitForMultipleObjects(DWORD nCount, const HANDLE *pHandles, BOOL fWaitAll, DWORD dwMilliseconds,
                                DWORD dwWakeMask)
{
    Record(Format("MsgWaitForMultipleObjects(%u, %s, %s, %u, 0x%x)", nCount,
                  nCount ? HandleLabel(pHandles[0]).c_str() : "NULL", fWaitAll ? "TRUE" : "FALSE", dwMilliseconds,
                  dwWakeMask));
    Step();
    if (dwWakeMask & ~WAKE_BITS_95) {
        Complain(Format("MsgWaitForMultipleObjects with the wake bits 0x%x, which Windows 95 rejects",
                        dwWakeMask & ~WAKE_BITS_95));
        return WAIT_FAILED;
    }
    DWORD result = MsgWait(nCount, pHandles, dwMilliseconds);
    if (result != WAIT_FAILED)
        LookAtQueue();
    return result;
}

BOOL PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg)
{
    Record(Format("PeekMessageA(%s, %u, %u, %s)", Label(hWnd).c_str(), wMsgFilterMin, wMsgFilterMax,
                  wRemoveMsg == PM_NOREMOVE ? "PM_NOREMOVE" : "PM_REMOVE"));
    Step();
    return TakeMessage(lpMsg, (wRemoveMsg & PM_REMOVE) != 0);
}

BOOL GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax)
{
    Record(Format("GetMessageA(%s, %u, %u)", Label(hWnd).c_str(), wMsgFilterMin, wMsgFilterMax));
    Step();
    if (!HasMessage()) {
        ++w.blockingGets;
        SleepUntilMessage(SIM_FOREVER, "GetMessageA");
    }
    TakeMessage(lpMsg, true);
    return lpMsg->message != WM_QUIT;
}

BOOL TranslateMessage(const MSG *lpMsg)
{
    Record(Format("TranslateMessage(%s, %s)", Label(lpMsg->hwnd).c_str(), MessageName(lpMsg->message).c_str()));
    Step();
    return FALSE;
}

LRESULT DispatchMessageA(const MSG *lpMsg)
{
    Record(Format("DispatchMessageA(%s, %s)", Label(lpMsg->hwnd).c_str(), MessageName(lpMsg->message).c_str()));
    Step();
    return CallWindow(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

void SimPost(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Post(hwnd, message, wParam, lParam);
}

int SimLiveTimers(void) { return (int)w.timers.size(); }

int SimQueuedMessages(void) { return (int)w.queue.size(); }

bool SimQuitPending(void) { return w.quitPending; }

int SimBlockingGets(void) { return w.blockingGets; }
