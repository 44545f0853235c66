/* The simulated platform's inside, shared by its files (sim_*.cpp): the
 * one record of the simulated world, and the helpers each part lends the
 * others.  The tests see none of it: they use sim.h. */
#ifndef SIM_WORLD_H
#define SIM_WORLD_H

#include "sim.h"

#include <deque>
#include <map>
#include <string>
#include <vector>

namespace sim {

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
    unsigned long stepsSinceTheClockMoved = 0;
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
    /* What is new in the queue: messages posted (the quit request among
     * them) since the queue was last looked at, and timers due since. */
    unsigned long posts = 0;
    unsigned long postsSeen = 0;
    DWORD lookedAt = 0;
    std::vector<Timer> timers;
    std::map<uintptr_t, Handle> handles;
    uintptr_t nextHandle = 0x1000;
    int blockingGets = 0;
};

const UINT VK_RETURN_KEY = 0x0D;

/* Real input on its way through the queue: the dialog manager's part of
 * it, which the simulated modal loop plays (wParam: the kind). */
const UINT WM_SIM_INPUT = 0x8000 + 0x5EE;

/* The world: every file of the simulated platform reads and writes it. */
extern World w;

/* sim_record.cpp: the record of calls, complaints and the run's budget. */
std::string Upper(std::string s);
std::string Format(const char *format, ...);
/* Records a call, and lets the user act if this is the call awaited. */
void Record(const std::string &call);
void Complain(const std::string &what);
/* Counts a platform call against the run's budget. */
void Step(void);
/* Whether this call of `call` is one a test has made fail. */
bool Failing(const char *call);
/* A string argument as the record shows it: "#101" for a resource number. */
std::string Text(LPCSTR s);
std::string InstanceName(HINSTANCE h);

/* sim_window.cpp: windows and their procedures. */
HWND WindowAt(size_t index); /* the handle of w.windows[index] */
Window *Find(HWND hwnd);
Window *Alive(HWND hwnd); /* null when the window is gone */
HWND NewWindow(const std::string &label, WNDPROC proc, DLGPROC dlgProc, HWND owner, bool minimized);
std::string Label(HWND hwnd);
std::string MessageName(UINT message);
/* Sends a message through the window's procedure, or its dialog
 * procedure and then the dialog manager. */
LRESULT CallWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL DestroyInternal(HWND hwnd);

/* sim_queue.cpp: the queue and the clock. */
void Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuit(WPARAM code);
bool HasMessage(void);
/* Takes the next message, or only looks at it; either way the queue has
 * been looked at, and what it holds is no longer new. */
bool TakeMessage(MSG *msg, bool remove);
/* The next moment something happens, no later than `extra`. */
DWORD NextEventTime(DWORD extra);
void AdvanceTo(DWORD t);
/* Sleeps until the queue holds a message, or `until` comes. */
void SleepUntilMessage(DWORD until, const char *who);

/* sim_user.cpp: the user. */
void PerformInput(SimUserKind kind, int value);
DWORD StepDue(void);
void FireDueActions(void);

/* sim_dialog.cpp: the dialog manager. */
void DefDialog(HWND hwnd, UINT message, WPARAM wParam);
HWND MenuUp(void);

/* sim_process.cpp: paths, handles and children. */
std::string Resolve(const std::string &base, const std::string &path);
HANDLE NewHandle(HandleKind kind, size_t child);
Handle *OpenHandle(HANDLE h, HandleKind kind);
std::string HandleLabel(HANDLE h);
int CountOpen(bool keys);
bool ChildEnded(const SimChild &child);

} // namespace sim

#endif
