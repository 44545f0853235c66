/* The simulated user: menu actions in turn, actions at a moment of the
 * clock or at a call, and a script of steps each tied to a moment; and
 * what each key, click or taskbar command does to what is on the screen. */
#include "sim_world.h"

#include <algorithm>

namespace sim {

static HWND AnchorWindow(void)
{
    for (size_t i = 0; i < w.windows.size(); ++i)
        if (w.windows[i].alive && !w.windows[i].dlgProc && !w.windows[i].owner)
            return WindowAt(i);
    return NULL;
}

/* What a message box does with a key or a click: its one button, OK,
 * has the focus, so everything but Tab and a letter dismisses it. */
static bool DismissesBox(SimUserKind kind)
{
    switch (kind) {
    case SIM_ENTER: case SIM_ESCAPE: case SIM_SPACE: case SIM_ALT_F4: case SIM_CLICK: case SIM_CLOSE_BOX:
        return true;
    default:
        return false;
    }
}

/* Does what the user does, to what is on the screen now.  The taskbar
 * asks the anchor window with system commands, which a window disabled by
 * the menu ignores; End Task sends the close request itself.  Keys and
 * clicks reach the menu or the message box in the foreground; with
 * neither up they go to another program. */
void PerformInput(SimUserKind kind, int value)
{
    HWND anchor = AnchorWindow();
    switch (kind) {
    case SIM_CLOSE_ANCHOR:
        if (anchor)
            Post(anchor, WM_SYSCOMMAND, SC_CLOSE, 0);
        return;
    case SIM_CLICK_TASKBAR:
        if (anchor)
            Post(anchor, WM_SYSCOMMAND, SC_RESTORE, 0);
        return;
    case SIM_END_TASK:
        if (anchor)
            Post(anchor, WM_CLOSE, 0, 0);
        return;
    default:
        break;
    }
    if (w.boxUp) {
        if (DismissesBox(kind))
            w.boxUp = false;
        return;
    }
    HWND dlg = MenuUp();
    if (!dlg)
        return;
    switch (kind) {
    case SIM_PRESS:
        CallWindow(dlg, WM_COMMAND, (WPARAM)(WORD)value | ((WPARAM)BN_CLICKED << 16), 0);
        break;
    case SIM_ESCAPE:
        Post(dlg, WM_KEYDOWN, VK_ESCAPE, 0);
        break;
    case SIM_ENTER:
        Post(dlg, WM_KEYDOWN, VK_RETURN_KEY, 0);
        break;
    case SIM_CLOSE_BOX:
    case SIM_ALT_F4:
        Post(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    default:
        Post(dlg, WM_SIM_INPUT, (WPARAM)kind, (LPARAM)value);
        break;
    }
}

/* When the script's next step is due, or SIM_FOREVER while its moment
 * has not come. */
DWORD StepDue(void)
{
    if (w.nextStep >= w.script.size())
        return SIM_FOREVER;
    const SimStep &step = w.script[w.nextStep];
    DWORD anchorTime = SIM_FOREVER;
    size_t k = (size_t)step.index;
    switch (step.moment) {
    case SIM_AT_MENU:
        if (MenuUp())
            anchorTime = std::max(w.menuShowings.back().timeMs, w.lastStepTime);
        break;
    case SIM_AT_WAIT:
        if (k >= 1 && w.children.size() >= k)
            anchorTime = w.children[k - 1].startMs;
        break;
    case SIM_AT_CHILD_END:
        if (k >= 1 && w.children.size() >= k)
            anchorTime = w.children[k - 1].endMs;
        break;
    case SIM_AT_REFUSAL:
        if (w.boxUp)
            anchorTime = w.boxShownAt;
        break;
    }
    if (anchorTime == SIM_FOREVER)
        return SIM_FOREVER;
    return std::max(anchorTime + step.afterMs, w.lastStepTime);
}

/* Timed user actions and the script's steps happen as soon as the
 * launcher looks at its queue once their moment has come. */
void FireDueActions(void)
{
    for (TimedAction &a : w.timed) {
        if (a.done || a.at > w.now)
            continue;
        a.done = true;
        PerformInput(a.kind, 0);
    }
    while (StepDue() <= w.now) {
        const SimStep step = w.script[w.nextStep++];
        w.stepTimes.push_back(w.now);
        w.lastStepTime = w.now;
        PerformInput(step.kind, step.value);
    }
}

} // namespace sim

using namespace sim;

void SimUser(const std::vector<SimUserAction> &menuActions)
{
    w.menuActions = menuActions;
    w.nextMenuAction = 0;
}

void SimAtTime(DWORD timeMs, SimUserKind kind)
{
    w.timed.push_back(TimedAction{timeMs, kind, false});
}

void SimAtCall(const char *call, int nth, SimUserKind kind)
{
    w.atCalls.push_back(CallAction{call, nth, kind, 0});
}

void SimScript(const std::vector<SimStep> &steps)
{
    w.script = steps;
    w.nextStep = 0;
    w.stepTimes.clear();
}

const std::vector<DWORD> &SimStepTimes(void) { return w.stepTimes; }
