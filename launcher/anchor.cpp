/* The anchor window: never seen opened, it owns the menu, its timer wakes
 * the waits four times a second, and its destruction posts the quit
 * request that ends the run. */
#include "launcher.h"

static void KillAnchorTimer(void)
{
    if (g_launcher.timerId) {
        KillTimer(g_launcher.hwndAnchor, g_launcher.timerId);
        g_launcher.timerId = 0;
    }
}

BOOL CreateAnchorWindow(void)
{
    WNDCLASSA wc = {};
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC | CS_BYTEALIGNCLIENT;
    wc.lpfnWndProc = AnchorWndProc;
    wc.hInstance = g_launcher.hInstance;
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
    /* The class names a menu, "VUNT Install", that the program does not
     * carry: Windows then makes the window without a menu, which is what
     * a window that is never opened wants. */
    wc.lpszMenuName = APP_TITLE;
    wc.lpszClassName = APP_TITLE;
    RegisterClassA(&wc);

    g_launcher.hwndAnchor = CreateWindowExA(0, APP_TITLE, APP_TITLE, WS_POPUP | WS_MINIMIZE | WS_SYSMENU,
                                            0, 0, 10, 10, NULL, NULL, g_launcher.hInstance, NULL);
    if (!g_launcher.hwndAnchor)
        return FALSE;
    UpdateWindow(g_launcher.hwndAnchor);
    ShowWindow(g_launcher.hwndAnchor, SW_MINIMIZE);
    UpdateWindow(g_launcher.hwndAnchor);
    g_launcher.timerId = SetTimer(g_launcher.hwndAnchor, ANCHOR_TIMER_ID, ANCHOR_TIMER_MS, NULL);
    return TRUE;
}

/* The teardown; does nothing when the user has closed the window already. */
void DestroyAnchorWindow(void)
{
    if (!g_launcher.hwndAnchor)
        return;
    KillAnchorTimer();
    DestroyWindow(g_launcher.hwndAnchor);
    g_launcher.hwndAnchor = NULL;
}

LRESULT CALLBACK AnchorWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    BOOL isAnchor = hwnd == g_launcher.hwndAnchor;
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        break;
    case WM_ACTIVATE:
        if (!isAnchor)
            break;
        ShowWindow(hwnd, SW_MINIMIZE);
        return 0;
    case WM_TIMER:
        /* Its work is done: it has woken the wait. */
        return 0;
    case WM_CLOSE:
        if (isAnchor) {
            KillAnchorTimer();
            g_launcher.hwndAnchor = NULL;
        }
        DestroyWindow(hwnd);
        return 0;
    case WM_WINDOWPOSCHANGING:
        if (!isAnchor)
            break;
        ((WINDOWPOS *)lParam)->flags |= SWP_NOSIZE | SWP_NOMOVE;
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}
