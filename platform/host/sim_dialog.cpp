/* The simulated dialog manager: the menu's modal loop, its share of keys
 * and clicks, EndDialog; and the message box. */
#include "sim_world.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>

namespace sim {

/* What the dialog manager does with what a dialog procedure leaves. */
void DefDialog(HWND hwnd, UINT message, WPARAM wParam)
{
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE)
        CallWindow(hwnd, WM_CLOSE, 0, 0);
    else if (message == WM_CLOSE)
        Post(hwnd, WM_COMMAND, IDCANCEL, 0);
}

/* The menu on the screen: a dialog shown and not yet ended. */
HWND MenuUp(void)
{
    if (w.menuShowings.empty() || w.menuShowings.back().endMs != SIM_FOREVER)
        return NULL;
    for (size_t i = w.windows.size(); i-- > 0;)
        if (w.windows[i].alive && w.windows[i].dlgProc && !w.windows[i].ended)
            return WindowAt(i);
    return NULL;
}

} // namespace sim

using namespace sim;

BOOL EndDialog(HWND hDlg, INT_PTR nResult)
{
    Record(Format("EndDialog(%s, %ld)", Label(hDlg).c_str(), (long)nResult));
    Step();
    Window *x = Alive(hDlg);
    if (!x || !x->dlgProc)
        return FALSE;
    x->ended = true;
    x->result = nResult;
    if (Window *owner = Alive(x->owner))
        owner->enabled = true;
    return TRUE;
}

/* The dialog manager's share of a key or a click on a dialog: the focus
 * moves among its buttons, and a button pressed sends its command. */
static void DialogInput(HWND dlg, const MSG &msg)
{
    Window *x = Alive(dlg);
    size_t count = w.buttons.size();
    int command = 0;
    if (msg.message == WM_KEYDOWN) {
        if (msg.wParam == VK_ESCAPE)
            command = IDCANCEL;
        else if (msg.wParam == VK_RETURN_KEY)
            command = x->focusIsDefault && count ? w.buttons[x->focus].id : IDOK;
    } else {
        switch ((SimUserKind)msg.wParam) {
        case SIM_TAB:
        case SIM_SHIFT_TAB:
            if (count) {
                x->focus = (x->focus + (msg.wParam == SIM_TAB ? 1 : count - 1)) % count;
                x->focusIsDefault = true;
            }
            break;
        case SIM_SPACE:
            if (count)
                command = w.buttons[x->focus].id;
            break;
        case SIM_CLICK:
            command = (int)msg.lParam;
            break;
        case SIM_ALT_KEY:
            for (const SimButton &b : w.buttons)
                if (toupper((unsigned char)b.mnemonic) == toupper((int)msg.lParam))
                    command = b.id;
            break;
        default:
            break;
        }
    }
    if (command)
        CallWindow(dlg, WM_COMMAND, (WPARAM)(WORD)command | ((WPARAM)BN_CLICKED << 16), 0);
}

/* The dialog manager's modal loop, as Win32 runs it: the owner disabled,
 * the queue dispatched, WM_ENTERIDLE to the owner whenever the queue is
 * empty, a quit request re-posted and the loop left. */
INT_PTR DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                        LPARAM dwInitParam)
{
    Record(Format("DialogBoxParamA(%s, %s, %s, %ld)", InstanceName(hInstance).c_str(), Text(lpTemplateName).c_str(),
                  Label(hWndParent).c_str(), (long)dwInitParam));
    Step();
    if (Failing("DialogBoxParamA") || hInstance != SimInstance() || !lpDialogFunc ||
        lpTemplateName != MAKEINTRESOURCEA(w.dialogTemplate) || (hWndParent && !Alive(hWndParent)))
        return -1;
    HWND dlg = NewWindow("dialog", nullptr, lpDialogFunc, hWndParent, false);
    size_t showing = SIZE_MAX;
    if (Window *owner = Alive(hWndParent))
        owner->enabled = false;
    CallWindow(dlg, WM_INITDIALOG, 0, dwInitParam);

    bool shown = false;
    bool actionPending = false;
    SimUserAction action = {};
    DWORD actionDue = SIM_FOREVER;
    for (;;) {
        Step();
        Window *x = Alive(dlg);
        if (!x)
            return 0; /* destroyed with its owner */
        if (x->ended)
            break;
        MSG msg;
        if (TakeMessage(&msg, true)) {
            if (msg.message == WM_QUIT) {
                PostQuit(msg.wParam);
                break;
            }
            if (msg.hwnd == dlg && (msg.message == WM_KEYDOWN || msg.message == WM_SIM_INPUT)) {
                DialogInput(dlg, msg);
                continue;
            }
            if (msg.hwnd)
                CallWindow(msg.hwnd, msg.message, msg.wParam, msg.lParam);
            continue;
        }
        if (!shown) {
            shown = true;
            showing = w.menuShowings.size();
            w.menuShowings.push_back(SimMenuShowing{w.now, SIM_FOREVER, w.cwd, w.quitPosted,
                                                     Alive(hWndParent) != nullptr, w.children.size()});
        }
        /* The user's next action, once the one before has left the menu up. */
        if (!actionPending && w.nextMenuAction < w.menuActions.size()) {
            action = w.menuActions[w.nextMenuAction++];
            actionPending = true;
            actionDue = w.now + action.afterMs;
        }
        if (actionPending && w.now >= actionDue) {
            actionPending = false;
            PerformInput(action.kind, action.value);
            continue;
        }
        if (!actionPending && w.nextMenuAction >= w.menuActions.size() && w.nextStep >= w.script.size())
            throw SimAbort{"the menu is up and the user has nothing more to do"};
        if (Alive(hWndParent))
            CallWindow(hWndParent, WM_ENTERIDLE, 0, (LPARAM)dlg);
        SleepUntilMessage(actionPending ? actionDue : SIM_FOREVER, "the menu");
    }
    if (showing != SIZE_MAX)
        w.menuShowings[showing].endMs = w.now;
    Window *x = Find(dlg);
    INT_PTR result = x->ended ? x->result : 0;
    if (Window *owner = Alive(hWndParent))
        owner->enabled = true;
    DestroyInternal(dlg);
    return result;
}

int wsprintfA(LPSTR buffer, LPCSTR format, ...)
{
    Record("wsprintfA()");
    Step();
    va_list args;
    va_start(args, format);
    int n = vsnprintf(buffer, 1024, format, args);
    va_end(args);
    return std::min(n, 1023);
}

int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType)
{
    Record(Format("MessageBoxA(%s, %s, %s, %s)", Label(hWnd).c_str(), Text(lpText).c_str(),
                  Text(lpCaption).c_str(), uType == MB_OK ? "MB_OK" : Format("0x%x", uType).c_str()));
    Step();
    w.boxes.push_back(SimMessageBox{hWnd, lpText ? lpText : "", lpCaption ? lpCaption : "", uType});
    if (w.script.empty())
        return IDOK;
    /* A scripted user dismisses it; nothing else runs meanwhile. */
    w.boxUp = true;
    w.boxShownAt = w.now;
    for (;;) {
        Step();
        FireDueActions();
        if (!w.boxUp)
            return IDOK;
        DWORD next = NextEventTime(SIM_FOREVER);
        if (next == SIM_FOREVER)
            throw SimAbort{"the message box is up and the user has nothing more to do"};
        AdvanceTo(next);
    }
}

void SimSetDialogTemplate(int id)
{
    w.dialogTemplate = id;
}

void SimSetDialogButtons(const std::vector<SimButton> &buttons)
{
    w.buttons = buttons;
}

const std::vector<SimMessageBox> &SimMessageBoxes(void) { return w.boxes; }

std::vector<DWORD> SimMenuShownTimes(void)
{
    std::vector<DWORD> times;
    for (const SimMenuShowing &showing : w.menuShowings)
        times.push_back(showing.timeMs);
    return times;
}

const std::vector<SimMenuShowing> &SimMenuShowings(void) { return w.menuShowings; }
