/* The launcher: its process-wide record, its fixed values and its
 * functions.  Everything runs on one thread. */
#ifndef LAUNCHER_H
#define LAUNCHER_H

#include "platform.h"
#include "resource.h"
/* The disc it serves: APP_TITLE, PRODUCT_KEY, UPDATE_SWITCH, REFUSAL_FORMAT,
 * and the disc's layout relative to the directory the launcher starts in,
 * DIRECTX_DIR, DIRECTX_SETUP, DIRECTX_BACK (the way back up from it) and
 * PRODUCT_SETUP; made from the disc description when the build is set up. */
#include "disc.h"

/* wsprintfA writes at most 1024 bytes, so its buffer needs no more. */
#define REFUSAL_CHARS   1024
#define ANCHOR_TIMER_ID 1
#define ANCHOR_TIMER_MS 250
/* QS_ALLINPUT as Windows 95 understands it: later systems add bits that
 * Windows 95 rejects. */
#define QS_ALLINPUT_95  0x00FF

#define PATH_CHARS      2048

struct LauncherState {
    HINSTANCE hInstance;
    HWND hwndAnchor;            /* the anchor window while it exists */
    UINT_PTR timerId;           /* its timer, 0 when there is none */
    BOOL quitSeen;              /* the pump has taken the quit message */
    int exitCode;               /* the quit message's parameter */
    STARTUPINFOA childStartup;  /* passed to every child */
    PROCESS_INFORMATION childInfo; /* the last child started */
};

extern LauncherState g_launcher;

/* winmain.cpp: the entry and its gates */
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);
BOOL TailHasUpdateSwitch(LPCSTR tail);

/* anchor.cpp: the hidden, minimised window that owns the menu */
BOOL CreateAnchorWindow(void);
void DestroyAnchorWindow(void);
LRESULT CALLBACK AnchorWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

/* menu.cpp: the menu and the children it starts */
void RunMenuLoop(void);
void WaitForChild(void);
INT_PTR CALLBACK MenuDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);

/* pump.cpp: emptying the queue without ever waiting */
void PumpMessages(void);

#endif
