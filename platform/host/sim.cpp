/* The simulated platform.  One thread, one message queue, a virtual clock
 * that moves only when the launcher waits, and a record of every call. */
#include "sim.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>

namespace {

struct Window {
    std::string label;
    WNDPROC proc;
    DLGPROC dlgProc;
    HWND owner;
    bool alive;
    bool enabled;
    bool minimized;
    bool ended;
    INT_PTR result;
    size_t focus;        /* a dialog's focused button */
    bool focusIsDefault; /* it has been reached by Tab: Enter presses it */
};

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    DWORD period;
    DWORD due;
};

struct Program {
    std::string path;
    DWORD lifetimeMs;
    DWORD exitCode;
};

enum HandleKind { HANDLE_PROCESS, HANDLE_THREAD, HANDLE_KEY };

struct Handle {
    HandleKind kind;
    size_t child;
    bool open;
};

struct TimedAction {
    DWORD at;
    SimUserKind kind;
    bool done;
};

struct CallAction {
    std::string call;
    int nth;
    SimUserKind kind;
    int seen;
};

struct Failure {
    int after; /* calls that still go through first */
    int times; /* calls that fail then, -1 for all */
};

struct RegisteredClass {
    WNDCLASSA wc;
    std::string name;
    std::string menuName;
};

struct World {
    DWORD now = 0;
    unsigned long steps = 0;
    unsigned long stepLimit = 1000000;
    DWORD timeLimit = 24u * 3600u * 1000u;

    bool nt = false;
    DWORD major = 4, minor = 0, build = 950;
    std::map<std::string, bool> keys; /* upper-case path -> readable */
    std::map<std::string, std::string> dirs; /* upper-case path -> path */
    std::map<std::string, Program> programs;
    std::string cwd = "C:\\";
    int dialogTemplate = 101;
    std::vector<SimButton> buttons;

    std::vector<SimUserAction> menuActions;
    size_t nextMenuAction = 0;
    std::vector<TimedAction> timed;
    std::vector<CallAction> atCalls;
    std::vector<SimStep> script;
    size_t nextStep = 0;
    std::vector<DWORD> stepTimes;
    DWORD lastStepTime = 0;
    bool boxUp = false; /* a message box waits for the user */
    DWORD boxShownAt = 0;
    std::map<std::string, Failure> failures;

    std::vector<std::string> calls;
    std::vector<std::string> complaints;
    std::vector<SimChild> children;
    std::vector<SimMessageBox> boxes;
    std::vector<SimMenuShowing> menuShowings;
    std::map<std::string, RegisteredClass> classes;

    std::vector<Window> windows;
    std::deque<MSG> queue;
    bool quitPending = false;
    bool quitPosted = false; /* PostQuitMessage has been called */
    WPARAM quitCode = 0;
    std::vector<Timer> timers;
    std::map<uintptr_t, Handle> handles;
    uintptr_t nextHandle = 0x1000;
    int blockingGets = 0;
};

World w;

const uintptr_t WINDOW_BASE = 0x10000;
const UINT VK_RETURN_KEY = 0x0D;
/* Real input on its way through the queue: the dialog manager's part of
 * it, which the simulated modal loop plays (wParam: the kind). */
const UINT WM_SIM_INPUT = 0x8000 + 0x5EE;

std::string Upper(std::string s)
{
    for (char &c : s)
        c = (char)toupper((unsigned char)c);
    return s;
}

std::string Format(const char *format, ...)
{
    char buffer[4096];
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

void PerformInput(SimUserKind kind, int value);

/* Records a call, and lets the user act if this is the call awaited. */
void Record(const std::string &call)
{
    w.calls.push_back(call);
    for (CallAction &a : w.atCalls) {
        if (call.compare(0, a.call.size(), a.call) != 0 || call[a.call.size()] != '(')
            continue;
        if (a.seen++ == a.nth)
            PerformInput(a.kind, 0);
    }
}

void Complain(const std::string &what)
{
    w.complaints.push_back(what);
}

void Step(void)
{
    if (++w.steps > w.stepLimit)
        throw SimAbort{Format("the run took more than %lu platform calls", w.stepLimit)};
}

bool Failing(const char *call)
{
    auto it = w.failures.find(call);
    if (it == w.failures.end())
        return false;
    Failure &f = it->second;
    if (f.after > 0) {
        --f.after;
        return false;
    }
    if (f.times == 0)
        return false;
    if (f.times > 0)
        --f.times;
    return true;
}

/* ---- Windows ---- */

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
    return (HWND)(WINDOW_BASE + 4 * (w.windows.size() - 1));
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

LRESULT CallWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL DestroyInternal(HWND hwnd);

void Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG msg = {};
    msg.hwnd = hwnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = w.now;
    w.queue.push_back(msg);
}

/* What the dialog manager does with what a dialog procedure leaves. */
void DefDialog(HWND hwnd, UINT message, WPARAM wParam)
{
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE)
        CallWindow(hwnd, WM_CLOSE, 0, 0);
    else if (message == WM_CLOSE)
        Post(hwnd, WM_COMMAND, IDCANCEL, 0);
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
            DestroyInternal((HWND)(WINDOW_BASE + 4 * i));
    CallWindow(hwnd, WM_DESTROY, 0, 0);
    Find(hwnd)->alive = false;
    w.timers.erase(std::remove_if(w.timers.begin(), w.timers.end(),
                                  [hwnd](const Timer &t) { return t.hwnd == hwnd; }),
                   w.timers.end());
    return TRUE;
}

/* ---- The queue and the clock ---- */

BOOL RemoveTimer(HWND hwnd, UINT_PTR id)
{
    auto it = std::find_if(w.timers.begin(), w.timers.end(),
                           [&](const Timer &t) { return t.hwnd == hwnd && t.id == id; });
    if (it == w.timers.end())
        return FALSE;
    w.timers.erase(it);
    return TRUE;
}

bool ChildEnded(const SimChild &child)
{
    return child.endMs != SIM_FOREVER && w.now >= child.endMs;
}

Timer *DueTimer(void)
{
    Timer *due = nullptr;
    for (Timer &t : w.timers)
        if (t.due <= w.now && (!due || t.due < due->due))
            due = &t;
    return due;
}

void FireDueActions(void);

bool HasMessage(void)
{
    FireDueActions();
    return !w.queue.empty() || w.quitPending || DueTimer();
}

/* Posted messages come first, then the quit request, then timers. */
bool TakeMessage(MSG *msg, bool remove)
{
    FireDueActions();
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

HWND AnchorWindow(void)
{
    for (size_t i = 0; i < w.windows.size(); ++i)
        if (w.windows[i].alive && !w.windows[i].dlgProc && !w.windows[i].owner)
            return (HWND)(WINDOW_BASE + 4 * i);
    return NULL;
}

/* The menu on the screen: a dialog shown and not yet ended. */
HWND MenuUp(void)
{
    if (w.menuShowings.empty() || w.menuShowings.back().endMs != SIM_FOREVER)
        return NULL;
    for (size_t i = w.windows.size(); i-- > 0;)
        if (w.windows[i].alive && w.windows[i].dlgProc && !w.windows[i].ended)
            return (HWND)(WINDOW_BASE + 4 * i);
    return NULL;
}

/* What a message box does with a key or a click: its one button, OK,
 * has the focus, so everything but Tab and a letter dismisses it. */
bool DismissesBox(SimUserKind kind)
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

DWORD NextEventTime(DWORD extra)
{
    DWORD next = std::min(extra, StepDue());
    for (const Timer &t : w.timers)
        next = std::min(next, t.due);
    for (const TimedAction &a : w.timed)
        if (!a.done)
            next = std::min(next, a.at);
    return next;
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

void AdvanceTo(DWORD t)
{
    if (t > w.now)
        w.now = t;
    if (w.now > w.timeLimit)
        throw SimAbort{Format("the run went on past %u ms of virtual time", w.timeLimit)};
    FireDueActions();
}

/* Sleeps until the queue holds a message, or `until` comes. */
void SleepUntilMessage(DWORD until, const char *who)
{
    while (!HasMessage() && w.now < until) {
        DWORD next = NextEventTime(until);
        if (next == SIM_FOREVER)
            throw SimAbort{Format("%s would wait for ever: no timer, no event", who)};
        AdvanceTo(next);
    }
}

/* ---- Paths ---- */

std::string Resolve(const std::string &base, const std::string &path)
{
    std::string drive = base.substr(0, 2);
    std::string rest = path;
    std::vector<std::string> parts;
    if (path.size() >= 2 && path[1] == ':') {
        drive = path.substr(0, 2);
        rest = path.substr(2);
    } else if (path.empty() || (path[0] != '\\' && path[0] != '/')) {
        rest = base.substr(2) + "\\" + path;
    }
    std::string part;
    for (size_t i = 0; i <= rest.size(); ++i) {
        if (i == rest.size() || rest[i] == '\\' || rest[i] == '/') {
            if (part == "..") {
                if (!parts.empty())
                    parts.pop_back();
            } else if (!part.empty() && part != ".") {
                parts.push_back(part);
            }
            part.clear();
        } else {
            part += rest[i];
        }
    }
    std::string full = drive + "\\";
    for (size_t i = 0; i < parts.size(); ++i)
        full += (i ? "\\" : "") + parts[i];
    return full;
}

std::string ShortName(const std::string &path)
{
    size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

/* ---- Handles ---- */

HANDLE NewHandle(HandleKind kind, size_t child)
{
    w.nextHandle += 4;
    w.handles[w.nextHandle] = Handle{kind, child, true};
    return (HANDLE)w.nextHandle;
}

Handle *OpenHandle(HANDLE h, HandleKind kind)
{
    auto it = w.handles.find((uintptr_t)h);
    if (it == w.handles.end() || !it->second.open || it->second.kind != kind)
        return nullptr;
    return &it->second;
}

std::string HandleLabel(HANDLE h)
{
    auto it = w.handles.find((uintptr_t)h);
    if (!h)
        return "NULL";
    if (it == w.handles.end())
        return Format("%p", h);
    const Handle &x = it->second;
    if (x.kind == HANDLE_KEY)
        return "key";
    return (x.kind == HANDLE_PROCESS ? "process " : "thread ") + ShortName(w.children[x.child].program);
}

std::string Text(LPCSTR s)
{
    if (!s)
        return "NULL";
    if (IS_INTRESOURCE(s))
        return Format("#%u", (unsigned)(uintptr_t)s);
    std::string out;
    for (const char *p = s; *p; ++p)
        out += *p == '\n' ? std::string("\\n") : std::string(1, *p);
    return out;
}

std::string InstanceName(HINSTANCE h)
{
    if (!h)
        return "NULL";
    return h == SimInstance() ? "hInstance" : Format("%p", (void *)h);
}

} // namespace

/* ==== Control of the world ==== */

void SimReset(void)
{
    w = World();
    w.dirs["C:\\"] = "C:\\";
}

void SimSetWindows(DWORD major, DWORD minor, bool nt)
{
    w.major = major;
    w.minor = minor;
    w.nt = nt;
    w.build = nt ? 1057 : 950;
}

void SimAddKey(const char *path)
{
    w.keys[Upper(path)] = true;
}

void SimAddDirectory(const char *path)
{
    std::string full = Resolve("C:\\", path);
    for (size_t i = 3; i <= full.size(); ++i)
        if (i == full.size() || full[i] == '\\')
            w.dirs[Upper(full.substr(0, i))] = full.substr(0, i);
}

void SimSetCurrentDirectory(const char *path)
{
    SimAddDirectory(path);
    w.cwd = Resolve("C:\\", path);
}

void SimAddProgram(const char *path, DWORD lifetimeMs, DWORD exitCode)
{
    std::string full = Resolve("C:\\", path);
    SimAddDirectory(full.substr(0, full.rfind('\\')).c_str());
    w.programs[Upper(full)] = Program{full, lifetimeMs, exitCode};
}

void SimSetDialogTemplate(int id)
{
    w.dialogTemplate = id;
}

void SimSetDialogButtons(const std::vector<SimButton> &buttons)
{
    w.buttons = buttons;
}

void SimLockKey(const char *path)
{
    w.keys[Upper(path)] = false;
}

void SimScript(const std::vector<SimStep> &steps)
{
    w.script = steps;
    w.nextStep = 0;
    w.stepTimes.clear();
}

const std::vector<DWORD> &SimStepTimes(void) { return w.stepTimes; }

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

void SimFail(const char *call, int times, int after)
{
    w.failures[call] = Failure{after, times};
}

void SimSetLimits(unsigned long steps, DWORD timeMs)
{
    w.stepLimit = steps;
    w.timeLimit = timeMs;
}

LRESULT SimSend(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return CallWindow(hwnd, message, wParam, lParam);
}

void SimPost(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Post(hwnd, message, wParam, lParam);
}

UINT SimAskToMove(HWND hwnd)
{
    WINDOWPOS pos = {hwnd, NULL, 10, 10, 100, 100, 0};
    CallWindow(hwnd, WM_WINDOWPOSCHANGING, 0, (LPARAM)&pos);
    return pos.flags;
}

const std::vector<std::string> &SimCalls(void) { return w.calls; }
const std::vector<SimChild> &SimChildren(void) { return w.children; }
const std::vector<SimMessageBox> &SimMessageBoxes(void) { return w.boxes; }
std::vector<DWORD> SimMenuShownTimes(void)
{
    std::vector<DWORD> times;
    for (const SimMenuShowing &showing : w.menuShowings)
        times.push_back(showing.timeMs);
    return times;
}
const std::vector<SimMenuShowing> &SimMenuShowings(void) { return w.menuShowings; }
const std::vector<std::string> &SimComplaints(void) { return w.complaints; }
DWORD SimNow(void) { return w.now; }
std::string SimCurrentDirectory(void) { return w.cwd; }
HINSTANCE SimInstance(void) { return (HINSTANCE)(uintptr_t)0x400000; }
bool SimWindowAlive(HWND hwnd) { return Alive(hwnd) != nullptr; }
bool SimWindowEnabled(HWND hwnd) { Window *x = Alive(hwnd); return x && x->enabled; }
bool SimWindowMinimized(HWND hwnd) { Window *x = Alive(hwnd); return x && x->minimized; }
int SimLiveTimers(void) { return (int)w.timers.size(); }
int SimQueuedMessages(void) { return (int)w.queue.size(); }
bool SimQuitPending(void) { return w.quitPending; }
int SimBlockingGets(void) { return w.blockingGets; }

std::vector<std::string> SimCallsNamed(const std::vector<std::string> &names)
{
    std::vector<std::string> out;
    for (const std::string &call : w.calls) {
        std::string name = call.substr(0, call.find('('));
        if (std::find(names.begin(), names.end(), name) != names.end())
            out.push_back(call);
    }
    return out;
}

const WNDCLASSA *SimRegisteredClass(const char *name)
{
    auto it = w.classes.find(Upper(name));
    return it == w.classes.end() ? nullptr : &it->second.wc;
}

int SimLiveWindows(void)
{
    return (int)std::count_if(w.windows.begin(), w.windows.end(), [](const Window &x) { return x.alive; });
}

static int CountOpen(bool keys)
{
    int n = 0;
    for (auto &entry : w.handles)
        if (entry.second.open && (entry.second.kind == HANDLE_KEY) == keys)
            ++n;
    return n;
}

int SimOpenKeys(void) { return CountOpen(true); }
int SimOpenHandles(void) { return CountOpen(false); }

/* ==== ADVAPI32 ==== */

LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult)
{
    Record(Format("RegOpenKeyExA(%s, %s, %u, %s)",
                  hKey == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE" : "?", Text(lpSubKey).c_str(), ulOptions,
                  samDesired == KEY_READ ? "KEY_READ" : Format("0x%x", samDesired).c_str()));
    Step();
    if (Failing("RegOpenKeyExA"))
        return ERROR_ACCESS_DENIED;
    if (hKey != HKEY_LOCAL_MACHINE || !lpSubKey || !w.keys.count(Upper(lpSubKey)))
        return ERROR_FILE_NOT_FOUND;
    if (!w.keys[Upper(lpSubKey)])
        return ERROR_ACCESS_DENIED;
    *phkResult = (HKEY)NewHandle(HANDLE_KEY, 0);
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY hKey)
{
    Record("RegCloseKey(key)");
    Step();
    Handle *h = OpenHandle((HANDLE)hKey, HANDLE_KEY);
    if (!h) {
        Complain("RegCloseKey on a key that is not open");
        return ERROR_FILE_NOT_FOUND;
    }
    h->open = false;
    return ERROR_SUCCESS;
}

/* ==== KERNEL32 ==== */

BOOL GetVersionExA(OSVERSIONINFOA *info)
{
    Record(Format("GetVersionExA(%u)", info->dwOSVersionInfoSize));
    Step();
    if (Failing("GetVersionExA") || info->dwOSVersionInfoSize != 148)
        return FALSE;
    info->dwMajorVersion = w.major;
    info->dwMinorVersion = w.minor;
    info->dwBuildNumber = w.build;
    info->dwPlatformId = w.nt ? 2 : 1;
    info->szCSDVersion[0] = 0;
    return TRUE;
}

DWORD GetVersion(void)
{
    Record("GetVersion()");
    Step();
    DWORD version = w.major | (w.minor << 8);
    return w.nt ? version | (w.build << 16) : version | 0xC0000000u;
}

DWORD GetFullPathNameA(LPCSTR lpFileName, DWORD nBufferLength, LPSTR lpBuffer, LPSTR *lpFilePart)
{
    Record(Format("GetFullPathNameA(%s, %u)", Text(lpFileName).c_str(), nBufferLength));
    Step();
    if (Failing("GetFullPathNameA") || !lpFileName)
        return 0;
    std::string full = Resolve(w.cwd, lpFileName);
    if (full.size() + 1 > nBufferLength)
        return (DWORD)full.size() + 1;
    memcpy(lpBuffer, full.c_str(), full.size() + 1);
    if (lpFilePart)
        *lpFilePart = lpBuffer + full.rfind('\\') + 1;
    return (DWORD)full.size();
}

BOOL SetCurrentDirectoryA(LPCSTR lpPathName)
{
    Record(Format("SetCurrentDirectoryA(%s)", Text(lpPathName).c_str()));
    Step();
    if (Failing("SetCurrentDirectoryA") || !lpPathName)
        return FALSE;
    auto it = w.dirs.find(Upper(Resolve(w.cwd, lpPathName)));
    if (it == w.dirs.end())
        return FALSE;
    w.cwd = it->second;
    return TRUE;
}

BOOL CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine, SECURITY_ATTRIBUTES *lpProcessAttributes,
                    SECURITY_ATTRIBUTES *lpThreadAttributes, BOOL bInheritHandles, DWORD dwCreationFlags,
                    LPVOID lpEnvironment, LPCSTR lpCurrentDirectory, STARTUPINFOA *lpStartupInfo,
                    PROCESS_INFORMATION *lpProcessInformation)
{
    Record(Format("CreateProcessA(%s, %s, %s, %s, %s, %u, %s, %s)", Text(lpApplicationName).c_str(),
                  Text(lpCommandLine).c_str(), lpProcessAttributes ? "attributes" : "NULL",
                  lpThreadAttributes ? "attributes" : "NULL", bInheritHandles ? "TRUE" : "FALSE", dwCreationFlags,
                  lpEnvironment ? "environment" : "NULL", Text(lpCurrentDirectory).c_str()));
    Step();
    if (!lpStartupInfo || lpStartupInfo->cb != sizeof(STARTUPINFOA))
        Complain("CreateProcessA with a start-up record whose cb is not its size");
    if (Failing("CreateProcessA") || !lpApplicationName)
        return FALSE;
    auto it = w.programs.find(Upper(Resolve(w.cwd, lpApplicationName)));
    if (it == w.programs.end())
        return FALSE;
    const Program &program = it->second;
    SimChild child;
    child.program = program.path;
    child.directory = lpCurrentDirectory ? Resolve(w.cwd, lpCurrentDirectory) : w.cwd;
    child.startMs = w.now;
    child.endMs = program.lifetimeMs == SIM_FOREVER ? SIM_FOREVER : w.now + program.lifetimeMs;
    child.exitCode = program.exitCode;
    child.processHandleOpen = true;
    child.threadHandleOpen = true;
    w.children.push_back(child);
    size_t index = w.children.size() - 1;
    lpProcessInformation->hProcess = NewHandle(HANDLE_PROCESS, index);
    lpProcessInformation->hThread = NewHandle(HANDLE_THREAD, index);
    lpProcessInformation->dwProcessId = (DWORD)(100 + index);
    lpProcessInformation->dwThreadId = (DWORD)(200 + index);
    return TRUE;
}

BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode)
{
    Record(Format("GetExitCodeProcess(%s)", HandleLabel(hProcess).c_str()));
    Step();
    Handle *h = OpenHandle(hProcess, HANDLE_PROCESS);
    if (!h) {
        Complain("GetExitCodeProcess on a handle that is not an open process");
        return FALSE;
    }
    if (Failing("GetExitCodeProcess"))
        return FALSE;
    const SimChild &child = w.children[h->child];
    *lpExitCode = ChildEnded(child) ? child.exitCode : STILL_ACTIVE;
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds)
{
    Record(Format("WaitForSingleObject(%s, %u)", HandleLabel(hHandle).c_str(), dwMilliseconds));
    Step();
    Handle *h = OpenHandle(hHandle, HANDLE_PROCESS);
    if (!h)
        return WAIT_FAILED;
    if (dwMilliseconds)
        Complain("WaitForSingleObject with a time-out: the launcher must not block on a child");
    return ChildEnded(w.children[h->child]) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

BOOL CloseHandle(HANDLE hObject)
{
    Record(Format("CloseHandle(%s)", HandleLabel(hObject).c_str()));
    Step();
    auto it = w.handles.find((uintptr_t)hObject);
    if (it == w.handles.end() || !it->second.open || it->second.kind == HANDLE_KEY) {
        Complain("CloseHandle on a handle that is not open");
        return FALSE;
    }
    it->second.open = false;
    SimChild &child = w.children[it->second.child];
    (it->second.kind == HANDLE_PROCESS ? child.processHandleOpen : child.threadHandleOpen) = false;
    return TRUE;
}

/* ==== USER32 ==== */

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

void PostQuitMessage(int nExitCode)
{
    Record(Format("PostQuitMessage(%d)", nExitCode));
    Step();
    w.quitPending = true;
    w.quitPosted = true;
    w.quitCode = (WPARAM)nExitCode;
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
                w.quitPending = true;
                w.quitCode = msg.wParam;
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

BOOL WaitMessage(void)
{
    Record("WaitMessage()");
    Step();
    SleepUntilMessage(SIM_FOREVER, "WaitMessage");
    return TRUE;
}

DWORD MsgWaitForMultipleObjects(DWORD nCount, const HANDLE *pHandles, BOOL fWaitAll, DWORD dwMilliseconds,
                                DWORD dwWakeMask)
{
    Record(Format("MsgWaitForMultipleObjects(%u, %s, %s, %u, 0x%x)", nCount,
                  nCount ? HandleLabel(pHandles[0]).c_str() : "NULL", fWaitAll ? "TRUE" : "FALSE", dwMilliseconds,
                  dwWakeMask));
    Step();
    DWORD deadline = dwMilliseconds == INFINITE ? SIM_FOREVER : w.now + dwMilliseconds;
    for (;;) {
        if (HasMessage())
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

BOOL ClipCursor(const RECT *lpRect)
{
    Record(lpRect ? "ClipCursor(rect)" : "ClipCursor(NULL)");
    Step();
    return TRUE;
}
