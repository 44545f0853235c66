/* The end-to-end test driver: a Win32 console program that runs beside the
 * launcher in the same Wine desktop and does, one command per run, what a
 * user does with it, or checks what the user would see.
 *
 *   driver wait-menu [ms]        wait until a fresh menu is up and ready
 *   driver check-menu            check the menu's window and its six controls
 *   driver check-anchor          check the anchor window (and the menu's owner)
 *   driver press ID              press the menu button ID with BM_CLICK
 *   driver escape                press Escape in the menu
 *   driver close-box             click the menu's close box with the mouse
 *   driver close-anchor          close the anchor window as the taskbar does
 *   driver end-task-anchor       close it as the task list's End Task does
 *   driver click-taskbar         click the anchor window's taskbar button
 *   driver wait-gone [ms]        wait until no menu is left
 *   driver absent WHAT           check that no menu|anchor|refusal|launcher is up
 *   driver read-refusal [ms]     wait for the refusal box, check caption, text, button
 *   driver refusal-ok            press its OK button
 *   driver has-window CAPTION [ms]  wait until a top-level window CAPTION is up
 *   driver close-window CAPTION  close that window as its close box does
 *
 * Exit code 0 when the command did what it says, 1 when a check failed or a
 * wait timed out, 2 for a bad command line.  Each line of output starts with
 * "ok" or "FAIL"; waits end their line with "at=<ms since 1970>", the clock
 * the stand-ins log with. */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "unixms.h"

#define APP_TITLE    "VUNT Install"
#define MENU_CAPTION "Welcome to the Demo of VUNT Drelquint for Win95"
#define REFUSAL_TEXT "VUNT Install will not continue.\nWinNT 3.51 is not supported."
#define DIALOG_CLASS "#32770"
#define PRESSED_MARK "e2e.pressed" /* set on a menu once it has been pressed */
#define DEFAULT_WAIT_MS 10000
#define POLL_MS 5

/* Bits the system adds to live windows, which the template does not hold. */
#define ADDED_DIALOG_STYLE (WS_VISIBLE | WS_CLIPSIBLINGS | DS_3DLOOK)
#define MENU_STYLE   0x80C808C0u
#define BUTTON_STYLE (WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON)
#define TEXT_STYLE   (WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT)
#define ANCHOR_STYLE (WS_POPUP | WS_MINIMIZE | WS_SYSMENU)
#define ANCHOR_CLASS_STYLE (CS_VREDRAW | CS_HREDRAW | CS_OWNDC | CS_BYTEALIGNCLIENT)

/* The menu's controls, in creation (and tab) order; places in dialog units. */
struct Control {
    const char *className;
    int id;
    int x, y, cx, cy;
    DWORD style;
    const char *text;
};

static const struct Control MENU_CONTROLS[] = {
    {"Button", 1000, 7, 14, 70, 25, BUTTON_STYLE, "Install &DirectX 3a"},
    {"Button", 1001, 7, 51, 70, 25, BUTTON_STYLE, "Install &VUNT"},
    {"Button", 2, 7, 88, 70, 25, BUTTON_STYLE, "E&XIT"},
    {"Static", 0xFFFF, 85, 19, 200, 20, TEXT_STYLE,
     "Before running or installing VUNT you must first install DirectX by clicking on the \"Install DirectX 3a\" button."},
    {"Static", 0xFFFF, 85, 55, 200, 20, TEXT_STYLE,
     "Click \"Install VUNT\" to install the demo of VUNT to your hard drive if you have already installed DirectX."},
    {"Static", 0xFFFF, 85, 95, 200, 15, TEXT_STYLE, "Click \"EXIT\" to exit this program."},
};
#define CONTROL_COUNT (sizeof MENU_CONTROLS / sizeof MENU_CONTROLS[0])
#define MENU_CX 304
#define MENU_CY 127

static int g_failures;

/* Prints a text with its line feeds and quotes visible. */
static void PrintQuoted(const char *text)
{
    putchar('"');
    for (; *text; ++text) {
        if (*text == '\n')
            fputs("\\n", stdout);
        else if (*text == '\r')
            fputs("\\r", stdout);
        else
            putchar(*text);
    }
    putchar('"');
}

static void Check(int good, const char *what)
{
    printf("%s %s\n", good ? "ok" : "FAIL", what);
    if (!good)
        ++g_failures;
}

static void CheckText(const char *what, const char *got, const char *wanted)
{
    int good = !strcmp(got, wanted);
    printf("%s %s ", good ? "ok" : "FAIL", what);
    PrintQuoted(got);
    if (!good) {
        fputs(" wanted ", stdout);
        PrintQuoted(wanted);
    }
    putchar('\n');
    if (!good)
        ++g_failures;
}

static void CheckBits(const char *what, DWORD got, DWORD wanted)
{
    char line[160];
    _snprintf(line, sizeof line, "%s 0x%08lX (wanted 0x%08lX)", what, (unsigned long)got, (unsigned long)wanted);
    line[sizeof line - 1] = '\0';
    Check(got == wanted, line);
}

/* Finding the launcher's windows. */

struct Search {
    const char *className;
    const char *caption;
    int unmarkedOnly;
    HWND found;
};

static BOOL CALLBACK FindTopLevel(HWND hwnd, LPARAM param)
{
    struct Search *s = (struct Search *)param;
    char text[256];
    if (s->className) {
        GetClassNameA(hwnd, text, sizeof text);
        if (strcmp(text, s->className))
            return TRUE;
    }
    GetWindowTextA(hwnd, text, sizeof text);
    if (strcmp(text, s->caption))
        return TRUE;
    if (s->unmarkedOnly && GetPropA(hwnd, PRESSED_MARK))
        return TRUE;
    s->found = hwnd;
    return FALSE;
}

static HWND FindWindowBy(const char *className, const char *caption, int unmarkedOnly)
{
    struct Search s = {className, caption, unmarkedOnly, NULL};
    EnumWindows(FindTopLevel, (LPARAM)&s);
    return s.found;
}

static HWND FindMenu(int unmarkedOnly) { return FindWindowBy(DIALOG_CLASS, MENU_CAPTION, unmarkedOnly); }
static HWND FindAnchor(void) { return FindWindowBy(APP_TITLE, APP_TITLE, 0); }
static HWND FindRefusal(void) { return FindWindowBy(DIALOG_CLASS, APP_TITLE, 0); }

/* A menu is ready for a user once it is visible and its buttons are
 * enabled: a click sent while it is still being made is lost. */
static int MenuIsReady(HWND menu)
{
    int i;
    if (!IsWindowVisible(menu) || !IsWindowEnabled(menu))
        return 0;
    for (i = 0; i < 3; ++i) {
        HWND button = GetDlgItem(menu, MENU_CONTROLS[i].id);
        if (!button || !IsWindowVisible(button) || !IsWindowEnabled(button))
            return 0;
    }
    return 1;
}

/* Waits for a menu that has not been pressed yet, so that a new menu that
 * took the old one's handle is told from the old one. */
static HWND WaitForMenu(DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        HWND menu = FindMenu(1);
        if (menu && MenuIsReady(menu))
            return menu;
        if (GetTickCount() - start >= timeoutMs)
            return NULL;
        Sleep(POLL_MS);
    }
}

static HWND WaitForMenuOrFail(DWORD timeoutMs)
{
    HWND menu = WaitForMenu(timeoutMs);
    if (!menu)
        printf("FAIL no menu within %lu ms\n", (unsigned long)timeoutMs);
    return menu;
}

static DWORD WaitArg(int argc, char **argv, int index)
{
    return argc > index ? (DWORD)strtoul(argv[index], NULL, 10) : DEFAULT_WAIT_MS;
}

/* Commands */

static int WaitMenuCommand(DWORD timeoutMs)
{
    HWND menu = WaitForMenuOrFail(timeoutMs);
    if (!menu)
        return 1;
    printf("ok menu up at=%llu\n", UnixMs());
    return 0;
}

static INT_PTR CALLBACK QuietDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)hDlg; (void)message; (void)wParam; (void)lParam;
    return FALSE;
}

/* A hidden dialog of our own with the menu's font, for MapDialogRect,
 * which does not work on another process's dialog. */
static HWND CreateScaleDialog(void)
{
    static WORD tmpl[64];
    WORD *p = tmpl;
    DLGTEMPLATE *dt = (DLGTEMPLATE *)tmpl;
    const char *face = "MS Sans Serif";
    dt->style = WS_POPUP | DS_SETFONT;
    dt->cx = 10;
    dt->cy = 10;
    p = (WORD *)(dt + 1);
    *p++ = 0; /* no menu */
    *p++ = 0; /* standard dialog class */
    *p++ = 0; /* no title */
    *p++ = 8; /* point size */
    while ((*p++ = (WORD)(unsigned char)*face++) != 0)
        ;
    return CreateDialogIndirectParamA(GetModuleHandleA(NULL), dt, NULL, QuietDlgProc, 0);
}

static void CheckPlace(const char *what, HWND scale, HWND menu, HWND control, int x, int y, int cx, int cy)
{
    RECT wanted = {x, y, x + cx, y + cy};
    RECT got;
    char line[200];
    int good;
    MapDialogRect(scale, &wanted);
    GetWindowRect(control, &got);
    MapWindowPoints(NULL, menu, (POINT *)&got, 2);
    good = abs(got.left - wanted.left) <= 1 && abs(got.top - wanted.top) <= 1 &&
           abs(got.right - wanted.right) <= 1 && abs(got.bottom - wanted.bottom) <= 1;
    _snprintf(line, sizeof line, "%s at (%ld,%ld)-(%ld,%ld) (wanted (%ld,%ld)-(%ld,%ld))", what,
              got.left, got.top, got.right, got.bottom, wanted.left, wanted.top, wanted.right, wanted.bottom);
    line[sizeof line - 1] = '\0';
    Check(good, line);
}

static int CheckMenuCommand(void)
{
    HWND menu = WaitForMenuOrFail(DEFAULT_WAIT_MS);
    HWND scale, child;
    RECT client, wanted = {0, 0, MENU_CX, MENU_CY}, work, frame;
    char text[512], what[64], line[200];
    unsigned i;
    if (!menu)
        return 1;
    scale = CreateScaleDialog();
    if (!scale) {
        puts("FAIL cannot make a dialog with the menu's font");
        return 1;
    }

    GetClassNameA(menu, text, sizeof text);
    CheckText("menu class", text, DIALOG_CLASS);
    GetWindowTextA(menu, text, sizeof text);
    CheckText("menu caption", text, MENU_CAPTION);
    CheckBits("menu style less system bits", (DWORD)GetWindowLongA(menu, GWL_STYLE) & ~ADDED_DIALOG_STYLE, MENU_STYLE);
    Check(GetMenu(menu) == NULL, "menu has no menu bar");

    /* Size from the template, and DS_CENTER: the middle of the work area. */
    GetClientRect(menu, &client);
    MapDialogRect(scale, &wanted);
    _snprintf(line, sizeof line, "menu client %ldx%ld (wanted %ldx%ld)", client.right, client.bottom,
              wanted.right, wanted.bottom);
    line[sizeof line - 1] = '\0';
    Check(abs(client.right - wanted.right) <= 1 && abs(client.bottom - wanted.bottom) <= 1, line);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(menu, &frame);
    _snprintf(line, sizeof line, "menu centred: frame (%ld,%ld)-(%ld,%ld) in work area (%ld,%ld)-(%ld,%ld)",
              frame.left, frame.top, frame.right, frame.bottom, work.left, work.top, work.right, work.bottom);
    line[sizeof line - 1] = '\0';
    Check(abs((frame.left + frame.right) - (work.left + work.right)) <= 2 &&
          abs((frame.top + frame.bottom) - (work.top + work.bottom)) <= 2, line);

    /* The children, in order. */
    child = GetWindow(menu, GW_CHILD);
    for (i = 0; i < CONTROL_COUNT; ++i, child = GetWindow(child, GW_HWNDNEXT)) {
        const struct Control *c = &MENU_CONTROLS[i];
        _snprintf(what, sizeof what, "control %u", i + 1);
        if (!child) {
            printf("FAIL %s missing\n", what);
            ++g_failures;
            break;
        }
        GetClassNameA(child, text, sizeof text);
        /* Class names are not case-sensitive; the system's own spelling is compared. */
        _snprintf(line, sizeof line, "%s class \"%s\" (wanted %s)", what, text, c->className);
        line[sizeof line - 1] = '\0';
        Check(!_stricmp(text, c->className), line);
        _snprintf(line, sizeof line, "%s identifier %u (wanted %d)", what,
                  (unsigned)GetDlgCtrlID(child) & 0xFFFF, c->id);
        line[sizeof line - 1] = '\0';
        Check(((unsigned)GetDlgCtrlID(child) & 0xFFFF) == (unsigned)c->id, line);
        GetWindowTextA(child, text, sizeof text);
        _snprintf(line, sizeof line, "%s text", what);
        CheckText(line, text, c->text);
        _snprintf(line, sizeof line, "%s style", what);
        CheckBits(line, (DWORD)GetWindowLongA(child, GWL_STYLE), c->style);
        _snprintf(line, sizeof line, "%s place", what);
        CheckPlace(line, scale, menu, child, c->x, c->y, c->cx, c->cy);
    }
    Check(child == NULL, "no seventh control");
    DestroyWindow(scale);
    return g_failures ? 1 : 0;
}

static int CheckAnchorCommand(void)
{
    HWND anchor = FindAnchor();
    HWND menu = FindMenu(0);
    char text[256];
    if (!anchor) {
        puts("FAIL no anchor window (class and title \"" APP_TITLE "\")");
        return 1;
    }
    GetClassNameA(anchor, text, sizeof text);
    CheckText("anchor class", text, APP_TITLE);
    GetWindowTextA(anchor, text, sizeof text);
    CheckText("anchor title", text, APP_TITLE);
    CheckBits("anchor style has", (DWORD)GetWindowLongA(anchor, GWL_STYLE) & ANCHOR_STYLE, ANCHOR_STYLE);
    CheckBits("anchor class style", (DWORD)GetClassLongA(anchor, GCL_STYLE), ANCHOR_CLASS_STYLE);
    Check(IsIconic(anchor), "anchor minimised");
    Check(GetWindow(anchor, GW_OWNER) == NULL, "anchor has no owner");
    if (menu) {
        Check(!IsWindowEnabled(anchor), "anchor disabled while the menu is up");
        Check(GetWindow(menu, GW_OWNER) == anchor, "anchor owns the menu");
    } else {
        Check(IsWindowEnabled(anchor), "anchor enabled while no menu is up");
    }
    return g_failures ? 1 : 0;
}

static int PressCommand(int id)
{
    HWND menu = WaitForMenuOrFail(DEFAULT_WAIT_MS);
    HWND button;
    DWORD_PTR result;
    if (!menu)
        return 1;
    button = GetDlgItem(menu, id);
    if (!button) {
        printf("FAIL the menu has no control %d\n", id);
        return 1;
    }
    SetPropA(menu, PRESSED_MARK, (HANDLE)1);
    printf("ok pressing %d at=%llu\n", id, UnixMs());
    if (!SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &result)) {
        printf("FAIL BM_CLICK to %d not taken\n", id);
        return 1;
    }
    return 0;
}

/* The key goes to the control that has the focus, as a key press would. */
static int EscapeCommand(void)
{
    HWND menu = WaitForMenuOrFail(DEFAULT_WAIT_MS);
    GUITHREADINFO info;
    HWND target;
    if (!menu)
        return 1;
    info.cbSize = sizeof info;
    target = menu;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(menu, NULL), &info) && info.hwndFocus)
        target = info.hwndFocus;
    SetPropA(menu, PRESSED_MARK, (HANDLE)1);
    printf("ok pressing Escape at=%llu\n", UnixMs());
    PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageA(target, WM_KEYUP, VK_ESCAPE, 0xC0010001);
    return 0;
}

/* A mouse button pressed or let go at a point of the screen; the point
 * goes with the button in one input, so that the click lands there
 * whatever the pointer did before. */
static void MouseButtonAt(POINT at, DWORD button)
{
    INPUT in;
    int cx = GetSystemMetrics(SM_CXSCREEN) - 1, cy = GetSystemMetrics(SM_CYSCREEN) - 1;
    memset(&in, 0, sizeof in);
    in.type = INPUT_MOUSE;
    in.mi.dx = (at.x * 65535 + cx / 2) / cx;
    in.mi.dy = (at.y * 65535 + cy / 2) / cy;
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | button;
    SendInput(1, &in, sizeof in);
}

static void ClickAt(POINT at)
{
    MouseButtonAt(at, MOUSEEVENTF_LEFTDOWN);
    Sleep(50);
    MouseButtonAt(at, MOUSEEVENTF_LEFTUP);
}

static int WaitUntilGone(HWND hwnd, DWORD ms)
{
    DWORD waited;
    for (waited = 0; waited < ms; waited += 50) {
        if (!IsWindow(hwnd) || !IsWindowVisible(hwnd))
            return 1;
        Sleep(50);
    }
    return 0;
}

/* A real mouse click on the close box, found where the caption ends and
 * confirmed by asking the menu what lies there. */
static int CloseBoxCommand(void)
{
    HWND menu = WaitForMenuOrFail(DEFAULT_WAIT_MS);
    RECT frame;
    POINT at;
    LRESULT hit;
    if (!menu)
        return 1;
    GetWindowRect(menu, &frame);
    at.x = frame.right - GetSystemMetrics(SM_CXFIXEDFRAME) - GetSystemMetrics(SM_CXSIZE) / 2 - 1;
    at.y = frame.top + GetSystemMetrics(SM_CYFIXEDFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
    hit = SendMessageA(menu, WM_NCHITTEST, 0, MAKELPARAM(at.x, at.y));
    if (hit != HTCLOSE) {
        printf("FAIL no close box at (%ld,%ld): hit test %ld\n", at.x, at.y, (long)hit);
        return 1;
    }
    SetPropA(menu, PRESSED_MARK, (HANDLE)1);
    printf("ok clicking the close box at (%ld,%ld) at=%llu\n", at.x, at.y, UnixMs());
    ClickAt(at);
    /* A click made while a new X display is still settling can be lost;
     * a user would click again.  Nothing brings this menu back once the
     * close box has worked, so a menu still up means the click was lost. */
    if (!WaitUntilGone(menu, 3000)) {
        printf("ok clicking the close box again at=%llu\n", UnixMs());
        ClickAt(at);
    }
    return 0;
}

/* The taskbar's Close asks the window with a system command, which a
 * window disabled by the menu does not take; the task list's End Task
 * sends the close request itself, which reaches it all the same. */
static int CloseAnchorCommand(int endTask)
{
    HWND anchor = FindAnchor();
    HWND menu = FindMenu(0);
    if (!anchor) {
        puts("FAIL no anchor window to close");
        return 1;
    }
    if (menu)
        SetPropA(menu, PRESSED_MARK, (HANDLE)1);
    printf("ok closing the anchor window (%s) at=%llu\n", endTask ? "End Task" : "taskbar", UnixMs());
    if (endTask)
        PostMessageA(anchor, WM_CLOSE, 0, 0);
    else
        PostMessageA(anchor, WM_SYSCOMMAND, SC_CLOSE, 0);
    return 0;
}

/* Clicks the anchor window's button on the taskbar. */
static int ClickTaskbarCommand(void)
{
    HWND anchor = FindAnchor();
    HWND tray = FindWindowA("Shell_TrayWnd", NULL);
    HWND button;
    DWORD_PTR result;
    if (!anchor || !tray) {
        printf("FAIL no %s\n", anchor ? "taskbar" : "anchor window");
        return 1;
    }
    for (button = GetWindow(tray, GW_CHILD); button; button = GetWindow(button, GW_HWNDNEXT))
        if ((HWND)GetWindowLongPtrA(button, GWLP_ID) == anchor)
            break;
    if (!button || !IsWindowVisible(button)) {
        puts("FAIL the anchor window has no button on the taskbar");
        return 1;
    }
    printf("ok clicking the anchor window's taskbar button at=%llu\n", UnixMs());
    SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &result);
    return 0;
}

static int WaitGoneCommand(DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (FindMenu(0)) {
        if (GetTickCount() - start >= timeoutMs) {
            printf("FAIL the menu is still up after %lu ms\n", (unsigned long)timeoutMs);
            return 1;
        }
        Sleep(POLL_MS);
    }
    printf("ok no menu at=%llu\n", UnixMs());
    return 0;
}

static int AbsentCommand(const char *what)
{
    int all = !strcmp(what, "launcher");
    if (all || !strcmp(what, "menu"))
        Check(FindMenu(0) == NULL, "no menu");
    if (all || !strcmp(what, "anchor"))
        Check(FindAnchor() == NULL, "no anchor window");
    if (all || !strcmp(what, "refusal"))
        Check(FindRefusal() == NULL, "no refusal box");
    return g_failures ? 1 : 0;
}

static int ReadRefusalCommand(DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    HWND box, ok;
    char text[1024];
    while (!(box = FindRefusal()) || !IsWindowVisible(box)) {
        if (GetTickCount() - start >= timeoutMs) {
            printf("FAIL no refusal box within %lu ms\n", (unsigned long)timeoutMs);
            return 1;
        }
        Sleep(POLL_MS);
    }
    GetWindowTextA(box, text, sizeof text);
    CheckText("refusal caption", text, APP_TITLE);
    GetWindowTextA(GetDlgItem(box, 0xFFFF), text, sizeof text);
    CheckText("refusal text", text, REFUSAL_TEXT);
    Check(FindAnchor() == NULL, "no anchor window with the refusal");
    ok = GetDlgItem(box, IDOK);
    Check(ok && GetDlgItem(box, IDCANCEL) == NULL, "one button, OK");
    if (ok) {
        GetWindowTextA(ok, text, sizeof text);
        CheckText("refusal button", text, "OK");
    }
    return g_failures ? 1 : 0;
}

static int RefusalOkCommand(void)
{
    HWND box = FindRefusal();
    HWND ok = box ? GetDlgItem(box, IDOK) : NULL;
    if (!ok) {
        puts("FAIL no refusal box with an OK button");
        return 1;
    }
    printf("ok pressing OK at=%llu\n", UnixMs());
    PostMessageA(ok, BM_CLICK, 0, 0);
    return 0;
}

static int HasWindowCommand(const char *caption, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    HWND hwnd;
    while (!(hwnd = FindWindowBy(NULL, caption, 0)) || !IsWindowVisible(hwnd)) {
        if (GetTickCount() - start >= timeoutMs) {
            printf("FAIL no window \"%s\" within %lu ms\n", caption, (unsigned long)timeoutMs);
            return 1;
        }
        Sleep(POLL_MS);
    }
    printf("ok window \"%s\" up at=%llu\n", caption, UnixMs());
    return 0;
}

static int CloseWindowCommand(const char *caption)
{
    HWND hwnd = FindWindowBy(NULL, caption, 0);
    if (!hwnd) {
        printf("FAIL no window \"%s\"\n", caption);
        return 1;
    }
    PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    printf("ok closing \"%s\" at=%llu\n", caption, UnixMs());
    return 0;
}

int main(int argc, char **argv)
{
    const char *cmd = argc > 1 ? argv[1] : "";
    setvbuf(stdout, NULL, _IONBF, 0);
    if (!strcmp(cmd, "wait-menu"))
        return WaitMenuCommand(WaitArg(argc, argv, 2));
    if (!strcmp(cmd, "check-menu"))
        return CheckMenuCommand();
    if (!strcmp(cmd, "check-anchor"))
        return CheckAnchorCommand();
    if (!strcmp(cmd, "press") && argc > 2)
        return PressCommand(atoi(argv[2]));
    if (!strcmp(cmd, "escape"))
        return EscapeCommand();
    if (!strcmp(cmd, "close-box"))
        return CloseBoxCommand();
    if (!strcmp(cmd, "close-anchor"))
        return CloseAnchorCommand(0);
    if (!strcmp(cmd, "click-taskbar"))
        return ClickTaskbarCommand();
    if (!strcmp(cmd, "end-task-anchor"))
        return CloseAnchorCommand(1);
    if (!strcmp(cmd, "wait-gone"))
        return WaitGoneCommand(WaitArg(argc, argv, 2));
    if (!strcmp(cmd, "absent") && argc > 2)
        return AbsentCommand(argv[2]);
    if (!strcmp(cmd, "read-refusal"))
        return ReadRefusalCommand(WaitArg(argc, argv, 2));
    if (!strcmp(cmd, "refusal-ok"))
        return RefusalOkCommand();
    if (!strcmp(cmd, "has-window") && argc > 2)
        return HasWindowCommand(argv[2], WaitArg(argc, argv, 3));
    if (!strcmp(cmd, "close-window") && argc > 2)
        return CloseWindowCommand(argv[2]);
    fputs("usage: driver wait-menu|check-menu|check-anchor|press ID|escape|close-box|close-anchor|\n"
          "              end-task-anchor|click-taskbar|wait-gone|absent WHAT|read-refusal|refusal-ok|\n"
          "              has-window CAPTION|close-window CAPTION\n",
          stderr);
    return 2;
}
