/* The simulated platform: test equipment that behaves as the launcher
 * relies on Win32 to behave, on one thread and a virtual clock, and records
 * every call the launcher makes.
 *
 * A test sets the world up (registry keys, Windows version, directories,
 * programs and their lifetimes, what the user does), runs the launcher, and
 * compares what was recorded with a table of what it expects. */
#ifndef SIM_H
#define SIM_H

#include "platform.h"

#include <string>
#include <vector>

/* Raised when the run cannot go on: a wait that nothing would ever end, a
 * menu with no user action left, a launcher that spins (calls on and on
 * while the clock stands still), or a run past its budget of steps or of
 * virtual time.  The launcher never raises it; the tests catch it. */
struct SimAbort {
    std::string reason;
};

/* What the user does.  Keys and clicks go to what is in the foreground:
 * the menu, or the refusal box; the taskbar acts on the anchor window. */
enum SimUserKind {
    SIM_PRESS,         /* the menu ends with `value`, as if a control sent it */
    SIM_ESCAPE,        /* Escape */
    SIM_CLOSE_BOX,     /* a click on the menu's close box */
    SIM_ENTER,         /* Enter: the focused button when it is the default one, else IDOK */
    SIM_CLOSE_ANCHOR,  /* Close from the anchor window's taskbar button */
    SIM_TAB,           /* Tab: the next button takes the focus and becomes the default */
    SIM_SHIFT_TAB,     /* Shift+Tab: the same, backwards */
    SIM_ALT_KEY,       /* Alt with the letter `value`: the button with that mnemonic */
    SIM_SPACE,         /* Space: the focused button */
    SIM_ALT_F4,        /* Alt+F4 */
    SIM_CLICK,         /* a click on the button with identifier `value` */
    SIM_CLICK_TASKBAR, /* a click on the anchor window's taskbar button */
    SIM_END_TASK,      /* End Task on the anchor window: WM_CLOSE, disabled or not */
};

/* A push button of the dialog template: its identifier and the letter
 * after its ampersand, in tab order. */
struct SimButton {
    int id;
    char mnemonic;
};

/* The moments a scripted step waits for; `index` counts from 1. */
enum SimMoment {
    SIM_AT_MENU,      /* a menu is up, and the step before has been done */
    SIM_AT_WAIT,      /* the index-th child has been started */
    SIM_AT_CHILD_END, /* the index-th child has ended */
    SIM_AT_REFUSAL,   /* a message box is up */
};

/* One step of a scripted user: at a moment, `afterMs` later, do `kind`. */
struct SimStep {
    SimMoment moment;
    int index;
    DWORD afterMs;
    SimUserKind kind;
    int value;
};

struct SimUserAction {
    SimUserKind kind;
    int value;
    DWORD afterMs; /* how long after the menu is shown */
};

#define SIM_FOREVER 0xFFFFFFFFu

struct SimChild {
    std::string program;    /* full path */
    std::string directory;  /* its current directory when it started */
    DWORD startMs;
    DWORD endMs;            /* SIM_FOREVER when it never ends */
    DWORD exitCode;
    bool processHandleOpen;
    bool threadHandleOpen;
};

/* One showing of a menu: when it came up, where the launcher stood, and
 * whether the run was already ending. */
struct SimMenuShowing {
    DWORD timeMs;
    DWORD endMs;           /* when it went away */
    std::string directory; /* the current directory */
    bool quitPosted;       /* PostQuitMessage had been called before */
    bool ownerAlive;       /* its owner window still existed */
    size_t childrenBefore; /* children started before it */
};

struct SimMessageBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};

/* Starts a new world: no keys, Windows 95, a current directory "C:\" and
 * nothing else, clock at 0, nothing recorded, nothing failing. */
void SimReset(void);

/* The world. */
void SimSetWindows(DWORD major, DWORD minor, bool nt);
void SimAddKey(const char *path); /* under HKEY_LOCAL_MACHINE */
void SimAddDirectory(const char *path); /* absolute; its parents too */
void SimSetCurrentDirectory(const char *path);
void SimAddProgram(const char *path, DWORD lifetimeMs, DWORD exitCode);
void SimSetDialogTemplate(int id); /* the one dialog template present */
/* Its push buttons, in tab order; the first one has the focus when the
 * dialog comes up, and none is the default button. */
void SimSetDialogButtons(const std::vector<SimButton> &buttons);
/* The key exists but may not be opened for reading, on Windows NT: Windows
 * 95 has no registry security and opens it all the same. */
void SimLockKey(const char *path);

/* The user: menu actions are taken in order while a menu is up, each
 * `afterMs` after the menu came up or the action before it was done;
 * timed actions happen at a moment of the virtual clock, whatever is on the
 * screen. */
void SimUser(const std::vector<SimUserAction> &menuActions);
void SimAtTime(DWORD timeMs, SimUserKind kind);
/* The user acts the moment the launcher makes its `nth` call (from 0) of
 * `call`, before that call does anything: a moment no clock can name, such
 * as the middle of the teardown. */
void SimAtCall(const char *call, int nth, SimUserKind kind);
/* A user who follows a script, one step after the other, each at its
 * moment: the way a person at a real machine acts.  A message box waits
 * for the script; without one it is dismissed at once. */
void SimScript(const std::vector<SimStep> &steps);
/* When each step of the script was done (SIM_FOREVER: never). */
const std::vector<DWORD> &SimStepTimes(void);

/* Makes the next `times` calls of a platform call fail (-1: every call),
 * once the first `after` calls have gone through.
 * Known names: RegOpenKeyExA, RegisterClassA, CreateWindowExA, SetTimer,
 * DialogBoxParamA, CreateProcessA, GetFullPathNameA, SetCurrentDirectoryA,
 * GetExitCodeProcess, GetVersionExA. */
void SimFail(const char *call, int times = -1, int after = 0);

/* Limits of one run; past them the run is aborted with SimAbort. */
void SimSetLimits(unsigned long steps, DWORD timeMs);

/* Sends a message to a window as the system would, through its procedure. */
LRESULT SimSend(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
/* Posts a message to the thread's queue. */
void SimPost(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
/* Asks for a move and a size change, and returns the flags the window left
 * in the WINDOWPOS. */
UINT SimAskToMove(HWND hwnd);

/* What happened. */
const std::vector<std::string> &SimCalls(void);
/* The calls whose name is one of `names`, in order. */
std::vector<std::string> SimCallsNamed(const std::vector<std::string> &names);
const std::vector<SimChild> &SimChildren(void);
const std::vector<SimMessageBox> &SimMessageBoxes(void);
std::vector<DWORD> SimMenuShownTimes(void); /* the times of SimMenuShowings() */
const std::vector<SimMenuShowing> &SimMenuShowings(void);
const WNDCLASSA *SimRegisteredClass(const char *name);
DWORD SimNow(void);
std::string SimCurrentDirectory(void);
HINSTANCE SimInstance(void);
bool SimWindowAlive(HWND hwnd);
bool SimWindowEnabled(HWND hwnd);
bool SimWindowMinimized(HWND hwnd);
int SimLiveWindows(void);
int SimLiveTimers(void);
int SimOpenKeys(void);
int SimOpenHandles(void);
int SimQueuedMessages(void);
bool SimQuitPending(void);
/* Times GetMessageA was called on a queue with nothing in it. */
int SimBlockingGets(void);
/* Everything the run did that a real system would have refused or that
 * should never happen (a handle closed twice, a message box with an
 * owner that is gone, ...), one line each. */
const std::vector<std::string> &SimComplaints(void);

#endif
