/* A stand-in for one of the programs on the disc: built as "dxsetup.exe"
 * (the DirectX 3a setup) and as "z.exe" (the product installer), it tells
 * which one it is by its own file name.
 *
 * For a person it shows a small window saying what it stands for, and ends
 * when that window is closed.  For the tests it follows the environment,
 * which the launcher passes on unchanged:
 *   STANDIN_MS     run time in milliseconds, or "forever" (the default);
 *                  0 ends at once, without a window
 *   STANDIN_EXIT   exit code (default 0)
 *   STANDIN_CRASH  when set, crash (access violation) instead of ending
 *   STANDIN_LOG    file to which a line is appended when it starts and
 *                  when it ends:
 *                    started|<own path>|<current directory>|<unix ms>
 *                    ended|<own path>|<current directory>|<unix ms>|<code>
 * Each setting may also be given for one program alone, with its name in
 * capitals after an underscore (STANDIN_MS_DXSETUP, STANDIN_EXIT_Z), which
 * comes before the plain one.
 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "unixms.h"

#define RUN_TIMER_ID 1

static char g_path[MAX_PATH];
static char g_name[MAX_PATH];
static char g_cwd[MAX_PATH];
static char g_caption[MAX_PATH + 32];
static const char *g_role = "a program on the disc";
static int g_exitCode;
static int g_crash;

/* A setting for this program alone, or else for every stand-in. */
static const char *Setting(const char *variable)
{
    char own[2 * MAX_PATH];
    const char *value;
    _snprintf(own, sizeof own, "%s_%s", variable, g_name);
    own[sizeof own - 1] = '\0';
    value = getenv(own);
    return value ? value : getenv(variable);
}

static void Log(const char *event, int withCode)
{
    const char *path = Setting("STANDIN_LOG");
    FILE *f;
    if (!path || !*path)
        return;
    f = fopen(path, "ab");
    if (!f)
        return;
    fprintf(f, "%s|%s|%s|%llu", event, g_path, g_cwd, UnixMs());
    if (withCode)
        fprintf(f, "|%d", g_exitCode);
    fputs("\n", f);
    fclose(f);
}

static int End(void)
{
    if (g_crash) {
        Log("crashing", 0);
        *(volatile int *)0 = 1;
    }
    Log("ended", 1);
    return g_exitCode;
}

static LRESULT CALLBACK StandinWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        RECT rc;
        char text[2 * MAX_PATH + 128];
        HDC dc = BeginPaint(hwnd, &ps);
        GetClientRect(hwnd, &rc);
        InflateRect(&rc, -12, -12);
        SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        SetBkMode(dc, TRANSPARENT);
        _snprintf(text, sizeof text,
                  "This program stands in for %s.\n\n%s\n\nClose this window to end it.",
                  g_role, g_path);
        text[sizeof text - 1] = '\0';
        DrawTextA(dc, text, -1, &rc, DT_LEFT | DT_WORDBREAK);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_TIMER:
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrev, LPSTR cmdLine, int nCmdShow)
{
    const char *ms, *code, *name;
    char *dot;
    WNDCLASSA wc;
    HWND hwnd;
    MSG msg;
    (void)hPrev;
    (void)cmdLine;

    GetModuleFileNameA(NULL, g_path, sizeof g_path);
    GetCurrentDirectoryA(sizeof g_cwd, g_cwd);
    name = strrchr(g_path, '\\') ? strrchr(g_path, '\\') + 1 : g_path;
    if (!_stricmp(name, "dxsetup.exe"))
        g_role = "the DirectX 3a setup";
    else if (!_stricmp(name, "z.exe"))
        g_role = "the VUNT installer";
    /* "dxsetup.exe" gives the suffix "DXSETUP". */
    strncpy(g_name, name, sizeof g_name - 1);
    if ((dot = strrchr(g_name, '.')) != NULL)
        *dot = '\0';
    _strupr(g_name);

    ms = Setting("STANDIN_MS");
    code = Setting("STANDIN_EXIT");
    g_exitCode = code ? atoi(code) : 0;
    g_crash = Setting("STANDIN_CRASH") != NULL;
    Log("started", 0);

    if (ms && !strcmp(ms, "0"))
        return End();

    memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = StandinWndProc;
    wc.hInstance = hInstance;
    wc.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    wc.lpszClassName = "StandinWindow";
    RegisterClassA(&wc);
    _snprintf(g_caption, sizeof g_caption, "Stand-in: %s", name);
    g_caption[sizeof g_caption - 1] = '\0';
    hwnd = CreateWindowExA(0, wc.lpszClassName, g_caption,
                           WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                           CW_USEDEFAULT, CW_USEDEFAULT, 360, 170,
                           NULL, NULL, hInstance, NULL);
    ShowWindow(hwnd, nCmdShow);
    UpdateWindow(hwnd);
    if (ms && strcmp(ms, "forever"))
        SetTimer(hwnd, RUN_TIMER_ID, (UINT)atoi(ms), NULL);

    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return End();
}
