/* The menu loop: show the menu, act on the button pressed, show it again.
 * "Install DirectX 3a" starts the DirectX setup in its own directory and
 * waits for it; "Install VUNT" starts the product installer and ends the
 * loop; EXIT ends the loop. */
#include "launcher.h"

INT_PTR CALLBACK MenuDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_COMMAND:
        EndDialog(hDlg, LOWORD(wParam));
        return TRUE;
    case WM_ENTERIDLE:
        /* Windows sends WM_ENTERIDLE to the owner of the modal loop that
         * has gone idle: the menu's own idle messages go to the anchor
         * window, so this runs only while the menu's system menu is open,
         * whose owner is the menu.  It sleeps until the next message, as
         * that loop would. */
        WaitMessage();
        return FALSE;
    }
    return FALSE;
}

/* Makes a path relative to the current directory the current directory.
 * Reports whether the change happened; a path that does not fit the buffer
 * is not tried. */
static BOOL EnterDirectory(LPCSTR relative)
{
    char path[PATH_CHARS];
    LPSTR filePart;
    DWORD length = GetFullPathNameA(relative, PATH_CHARS - 1, path, &filePart);
    if (length == 0 || length >= PATH_CHARS - 1)
        return FALSE;
    return SetCurrentDirectoryA(path);
}

/* Starts a program from the current directory, in which it also starts.
 * Only the process handle is kept: the thread handle is closed at once. */
static BOOL StartChild(LPCSTR program)
{
    PROCESS_INFORMATION none = {};
    g_launcher.childInfo = none;
    if (!CreateProcessA(program, NULL, NULL, NULL, FALSE, 0, NULL, NULL,
                        &g_launcher.childStartup, &g_launcher.childInfo)) {
        g_launcher.childInfo = none;
        return FALSE;
    }
    CloseHandle(g_launcher.childInfo.hThread);
    g_launcher.childInfo.hThread = NULL;
    return TRUE;
}

static void ReleaseChild(void)
{
    CloseHandle(g_launcher.childInfo.hProcess);
    g_launcher.childInfo.hProcess = NULL;
}

/* A child has ended when its exit state is no longer STILL_ACTIVE, or when
 * its process handle is signalled: a child may end with the code 259. */
static BOOL ChildHasEnded(void)
{
    DWORD code;
    if (!GetExitCodeProcess(g_launcher.childInfo.hProcess, &code) || code != STILL_ACTIVE)
        return TRUE;
    return WaitForSingleObject(g_launcher.childInfo.hProcess, 0) != WAIT_TIMEOUT;
}

/* Sleeps until a message comes.  The anchor window's timer makes one come
 * four times a second; without a timer, the child's end wakes the wait
 * too, and it never sleeps longer than a timer period. */
static void WaitForWakeUp(void)
{
    if (g_launcher.timerId)
        WaitMessage();
    else
        MsgWaitForMultipleObjects(1, &g_launcher.childInfo.hProcess, FALSE, ANCHOR_TIMER_MS, QS_ALLINPUT_95);
}

void WaitForChild(void)
{
    do {
        WaitForWakeUp();
        PumpMessages();
    } while (!g_launcher.quitSeen && !ChildHasEnded());
}

/* The DirectX setup is started in its own directory, and the launcher goes
 * back to where it started right after.  When that directory cannot be
 * entered, nothing is started and the launcher stays where it is. */
static void InstallDirectX(void)
{
    if (!EnterDirectory(DIRECTX_DIR))
        return;
    BOOL started = StartChild(DIRECTX_SETUP);
    /* The way down was a path of plain names, so as many steps up
     * ("..\..\.." for directx\redist\directx) lead back to where the
     * launcher started: no copy of the starting directory, and no buffer or
     * call to keep one, is needed. */
    EnterDirectory(DIRECTX_BACK);
    if (!started)
        return;
    WaitForChild();
    ReleaseChild();
}

/* The installer is left running: its handles are not needed. */
static void StartInstaller(void)
{
    if (StartChild(PRODUCT_SETUP))
        ReleaseChild();
}

void RunMenuLoop(void)
{
    STARTUPINFOA empty = {};
    g_launcher.childStartup = empty;
    g_launcher.childStartup.cb = sizeof g_launcher.childStartup;

    /* The menu is never shown once the anchor window is gone: its quit
     * request ends the loop, whether a wait's pump has seen it or the
     * menu's own modal loop has. */
    while (!g_launcher.quitSeen && g_launcher.hwndAnchor) {
        INT_PTR choice = DialogBoxParamA(g_launcher.hInstance, MAKEINTRESOURCEA(IDD_MENU),
                                         g_launcher.hwndAnchor, MenuDlgProc, 0);
        if (choice == IDCANCEL || choice == -1)
            break;
        if (choice == IDC_INSTALL_DIRECTX)
            InstallDirectX();
        if (choice == IDC_INSTALL_PRODUCT) {
            StartInstaller();
            break;
        }
    }
    /* A child, a game or a setup, may have confined the cursor to a part
     * of the screen and ended without freeing it: free it on the way out. */
    ClipCursor(NULL);
}
