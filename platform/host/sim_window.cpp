/* The simulated platform's windows: classes, windows and their
 * procedures, owned windows destroyed first, and the calls that make,
 * show and end them. */
#include "sim_world.h"

#include <algorithm>

namespace sim {

/* A window's handle is its place in w.windows, spaced and offset so that
 * it looks like no other handle. */
static const uintptr_t WINDOW_BASE = 0x10000;

HWND WindowAt(size_t index)
{
    return (HWND)(WINDOW_BASE + 4 * index);
}

Window *Find(HWND hwnd)
{
    uintptr_t v = (uintptr_t)hwnd;
    if (v < WINDOW_BASE || (v - WINDOW_BASE) % 4)
        return nullptr;
    size_t index = (v - WINDOW_BASE) / 4;
    return index < w.windows.size() ? &w.windows[index] : nullptr;
}

Window *Alive(HWND hwnd)
{
    Window *x = Find(hwnd);
    return x && x->alive ? x : nullptr;
}

HWND NewWindow(const std::string &label, WNDPROC proc, DLGPROC dlgProc, HWND owner, bool minimized)
{
    w.windows.push_back(Window{label, proc, dlgProc, owner, true, true, minimized, false, 0, 0, false});
    return WindowAt(w.windows.size() - 1);
}

std::string Label(HWND hwnd)
{
    if (!hwnd)
        return "NULL";
    Window *x = Find(hwnd);
    return x ? x->label : Format("%p", (void *)hwnd);
}

std::string MessageName(UINT message)
{
    static const std::map<UINT, const char *> names = {
        {WM_CREATE, "WM_CREATE"}, {WM_DESTROY, "WM_DESTROY"}, {WM_ACTIVATE, "WM_ACTIVATE"},
        {WM_CLOSE, "WM_CLOSE"}, {WM_QUIT, "WM_QUIT"}, {WM_WINDOWPOSCHANGING, "WM_WINDOWPOSCHANGING"},
        {WM_KEYDOWN, "WM_KEYDOWN"}, {WM_INITDIALOG, "WM_INITDIALOG"}, {WM_COMMAND, "WM_COMMAND"},
        {WM_SYSCOMMAND, "WM_SYSCOMMAND"}, {WM_TIMER, "WM_TIMER"}, {WM_ENTERIDLE, "WM_ENTERIDLE"},
        {WM_SIM_INPUT, "input"},
    };
    auto it = names.find(message);
    return it != names.end() ? it->second : Format("0x%04x", message);
}

LRESULT CallWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Window *x = Alive(hwnd);
    if (!x)
        return 0;
    if (x->dlgProc) {
        DLGPROC proc = x->dlgProc;
        INT_PTR handled = proc(hwnd, message, wParam, lParam);
        if (!handled && Alive(hwnd))
            DefDialog(hwnd, message, wParam);
        return handled;
    }
    WNDPROC proc = x->proc;
    return proc(hwnd, message, wParam, lParam);
}

BOOL DestroyInternal(HWND hwnd)
{
    if (!Alive(hwnd))
        return FALSE;
    /* Owned windows go first, as they do on the real system. */
    for (size_t i = 0; i < w.windows.size(); ++i)
        if (w.windows[i].alive && w.windows[i].owner == hwnd)
            DestroyInternal(WindowAt(i));
    CallWindow(hwnd, WM_DESTROY, 0, 0);
    Find(hwnd)->alive = false;
    w.timers.erase(std::remove_if(w.timers.begin(), w.timers.end(),
                                  [hwnd](const Timer &t) { return t.hwnd == hwnd; }),
                   w.timers.end());
    return TRUE;
}

} // namespace sim

using namespace sim;

HCURSOR LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName)
{
    Record(Format("LoadCursorA(%s, %s)", InstanceName(hInstance).c_str(),
                  lpCursorName == IDC_ARROW ? "IDC_ARROW" : Text(lpCursorName).c_str()));
    Step();
    return (HCURSOR)(uintptr_t)0x7F00;
}

HGDIOBJ GetStockObject(int i)
{
    Record(i == BLACK_BRUSH ? "GetStockObject(BLACK_BRUSH)" : Format("GetStockObject(%d)", i));
    Step();
    return (HGDIOBJ)(uintptr_t)(0x8000 + i);
}

ATOM RegisterClassA(const WNDCLASSA *wc)
{
    Record(Format("RegisterClassA(%s)", Text(wc->lpszClassName).c_str()));
    Step();
    if (Failing("RegisterClassA") || !wc->lpszClassName || w.classes.count(Upper(wc->lpszClassName)))
        return 0;
    RegisteredClass &c = w.classes[Upper(wc->lpszClassName)];
    c.wc = *wc;
    c.name = wc->lpszClassName;
    c.wc.lpszClassName = c.name.c_str();
    if (wc->lpszMenuName && !IS_INTRESOURCE(wc->lpszMenuName)) {
        c.menuName = wc->lpszMenuName;
        c.wc.lpszMenuName = c.menuName.c_str();
    }
    return (ATOM)(0xC000 + w.classes.size());
}

HWND CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X, int Y,
                     int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam)
{
    Record(Format("CreateWindowExA(%u, %s, %s, 0x%08x, %d, %d, %d, %d, %s, %s, %s, %s)", dwExStyle,
                  Text(lpClassName).c_str(), Text(lpWindowName).c_str(), dwStyle, X, Y, nWidth, nHeight,
                  Label(hWndParent).c_str(), hMenu ? "menu" : "NULL", InstanceName(hInstance).c_str(),
                  lpParam ? "param" : "NULL"));
    Step();
    if (Failing("CreateWindowExA") || !lpClassName)
        return NULL;
    auto it = w.classes.find(Upper(lpClassName));
    if (it == w.classes.end())
        return NULL;
    HWND hwnd = NewWindow(it->second.name, it->second.wc.lpfnWndProc, nullptr, hWndParent,
                          (dwStyle & WS_MINIMIZE) != 0);
    if (CallWindow(hwnd, WM_CREATE, 0, 0) == -1) {
        DestroyInternal(hwnd);
        return NULL;
    }
    return hwnd;
}

BOOL UpdateWindow(HWND hWnd)
{
    Record(Format("UpdateWindow(%s)", Label(hWnd).c_str()));
    Step();
    return Alive(hWnd) != nullptr;
}

BOOL ShowWindow(HWND hWnd, int nCmdShow)
{
    Record(Format("ShowWindow(%s, %s)", Label(hWnd).c_str(),
                  nCmdShow == SW_MINIMIZE ? "SW_MINIMIZE" : Format("%d", nCmdShow).c_str()));
    Step();
    Window *x = Alive(hWnd);
    if (!x)
        return FALSE;
    x->minimized = nCmdShow == SW_MINIMIZE;
    return TRUE;
}

/* A system command is ignored by a disabled window, as one disabled by a
 * modal dialog is: the taskbar cannot close or restore it then. */
LRESULT DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM)
{
    Record(Format("DefWindowProcA(%s, %s)", Label(hWnd).c_str(), MessageName(Msg).c_str()));
    Step();
    Window *x = Alive(hWnd);
    if (!x)
        return 0;
    if (Msg == WM_CLOSE) {
        DestroyInternal(hWnd);
    } else if (Msg == WM_SYSCOMMAND && x->enabled) {
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            CallWindow(hWnd, WM_CLOSE, 0, 0);
        } else if ((wParam & 0xFFF0) == SC_RESTORE) {
            x->minimized = false;
            CallWindow(hWnd, WM_ACTIVATE, WA_ACTIVE, 0);
        }
    }
    return 0;
}

BOOL DestroyWindow(HWND hWnd)
{
    Record(Format("DestroyWindow(%s)", Label(hWnd).c_str()));
    Step();
    return DestroyInternal(hWnd);
}

BOOL ClipCursor(const RECT *lpRect)
{
    Record(lpRect ? "ClipCursor(rect)" : "ClipCursor(NULL)");
    Step();
    return TRUE;
}

LRESULT SimSend(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return CallWindow(hwnd, message, wParam, lParam);
}

UINT SimAskToMove(HWND hwnd)
{
    WINDOWPOS pos = {hwnd, NULL, 10, 10, 100, 100, 0};
    CallWindow(hwnd, WM_WINDOWPOSCHANGING, 0, (LPARAM)&pos);
    return pos.flags;
}

const WNDCLASSA *SimRegisteredClass(const char *name)
{
    auto it = w.classes.find(Upper(name));
    return it == w.classes.end() ? nullptr : &it->second.wc;
}

bool SimWindowAlive(HWND hwnd) { return Alive(hwnd) != nullptr; }

bool SimWindowEnabled(HWND hwnd) { Window *x = Alive(hwnd); return x && x->enabled; }

bool SimWindowMinimized(HWND hwnd) { Window *x = Alive(hwnd); return x && x->minimized; }

int SimLiveWindows(void)
{
    return (int)std::count_if(w.windows.begin(), w.windows.end(), [](const Window &x) { return x.alive; });
}
