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
 *   driver play PLAN             start the launcher and be the user a plan
 *                                describes (tests/e2e/random.sh), reporting
 *                                what happened
 *
 * Exit code 0 when the command did what it says, 1 when a check failed or a
 * wait timed out, 2 for a bad command line.  Each line of output starts with
 * "ok" or "FAIL"; waits end their line with "at=<ms since 1970>", the clock
 * the stand-ins log with. */
#include <windows.h>
#include <tlhelp32.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "unixms.h"

/* The texts of the disc the launcher was built for: APP_TITLE,
 * MENU_CAPTION, REFUSAL_FORMAT, MENU_BUTTON_n and MENU_TEXT_n. */
#include "disc.h"
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
    {"Button", 1000, 7, 14, 70, 25, BUTTON_STYLE, MENU_BUTTON_0},
    {"Button", 1001, 7, 51, 70, 25, BUTTON_STYLE, MENU_BUTTON_1},
    {"Button", 2, 7, 88, 70, 25, BUTTON_STYLE, MENU_BUTTON_2},
    {"Static", 0xFFFF, 85, 19, 200, 20, TEXT_STYLE, MENU_TEXT_0},
    {"Static", 0xFFFF, 85, 55, 200, 20, TEXT_STYLE, MENU_TEXT_1},
    {"Static", 0xFFFF, 85, 95, 200, 15, TEXT_STYLE, MENU_TEXT_2},
};
#define CONTROL_COUNT (sizeof MENU_CONTROLS / sizeof MENU_CONTROLS[0])
#define MENU_CX 304
#define MENU_CY 127
/* MS Sans Serif 8 point at 96 DPI: 11 pixels high, and dialog base units
 * of 6 by 13 pixels, so the menu's client area is 456 by 206 pixels.  A
 * stand-in font gives other units and another size. */
#define MENU_FONT "MS Sans Serif"
#define MENU_FONT_HEIGHT (-11)
#define BASE_X 6
#define BASE_Y 13

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

/* The fonts the menu is drawn with are there, not stand-ins for missing
 * ones: MS Sans Serif 8 point at 96 DPI, with its base units, and the
 * caption buttons' glyph font (without it a close box shows a letter).
 * Another process's font handle cannot be read here; the menu's size in
 * pixels, checked next, shows that it was laid out in this font. */
static void CheckFonts(HWND menu)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    HDC dc = GetDC(menu);
    HFONT font = CreateFontA(MENU_FONT_HEIGHT, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, MENU_FONT);
    HFONT marlett = CreateFontA(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, SYMBOL_CHARSET, 0, 0, 0, 0, "Marlett");
    HFONT old = (HFONT)SelectObject(dc, font);
    TEXTMETRICA tm;
    SIZE size;
    char face[LF_FACESIZE], line[200];
    int baseX, baseY;
    GetTextFaceA(dc, sizeof face, face);
    GetTextMetricsA(dc, &tm);
    GetTextExtentPoint32A(dc, alphabet, 52, &size);
    baseX = (size.cx / 26 + 1) / 2;
    baseY = tm.tmHeight;
    _snprintf(line, sizeof line, "font \"%s\" drawn as \"%s\", base units %dx%d (wanted %dx%d)", MENU_FONT, face,
              baseX, baseY, BASE_X, BASE_Y);
    line[sizeof line - 1] = '\0';
    Check(!strcmp(face, MENU_FONT) && baseX == BASE_X && baseY == BASE_Y, line);
    _snprintf(line, sizeof line, "screen at %d DPI (wanted 96)", GetDeviceCaps(dc, LOGPIXELSY));
    Check(GetDeviceCaps(dc, LOGPIXELSY) == 96, line);
    SelectObject(dc, marlett);
    GetTextFaceA(dc, sizeof face, face);
    _snprintf(line, sizeof line, "caption buttons' glyphs from \"%s\" (wanted \"Marlett\")", face);
    Check(!strcmp(face, "Marlett"), line);
    SelectObject(dc, old);
    DeleteObject(font);
    DeleteObject(marlett);
    ReleaseDC(menu, dc);
}

/* A control's text fits it as drawn in the menu's font: a text wrapped to
 * the control's width, a button's one line within its face. */
static void CheckFits(const char *what, HWND control, const char *text, int wrapped)
{
    HDC dc = GetDC(control);
    HFONT font = CreateFontA(MENU_FONT_HEIGHT, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, MENU_FONT);
    HFONT old = (HFONT)SelectObject(dc, font);
    RECT client, need;
    char line[200];
    int room;
    GetClientRect(control, &client);
    need = client;
    if (!wrapped)
        need.right = 10000;
    DrawTextA(dc, text, -1, &need, DT_CALCRECT | (wrapped ? DT_WORDBREAK | DT_EXPANDTABS : DT_SINGLELINE));
    room = wrapped ? client.bottom : client.right - 2 * GetSystemMetrics(SM_CXEDGE) - 4;
    _snprintf(line, sizeof line, "%s text fits: needs %ld pixels %s, has %d", what,
              wrapped ? need.bottom : need.right, wrapped ? "down" : "across", room);
    line[sizeof line - 1] = '\0';
    Check((wrapped ? need.bottom : need.right) <= room, line);
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(control, dc);
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

    /* Size from the template in the menu's own font at 96 DPI, and
     * DS_CENTER: the middle of the work area. */
    CheckFonts(menu);
    GetClientRect(menu, &client);
    wanted.right = MulDiv(MENU_CX, BASE_X, 4);
    wanted.bottom = MulDiv(MENU_CY, BASE_Y, 8);
    _snprintf(line, sizeof line, "menu client %ldx%ld (wanted %ldx%ld)", client.right, client.bottom,
              wanted.right, wanted.bottom);
    line[sizeof line - 1] = '\0';
    Check(client.right == wanted.right && client.bottom == wanted.bottom, line);
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
        CheckFits(what, child, c->text, c->className[0] == 'S');
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

/* Where a dialog's close box is: where its caption ends, confirmed by
 * asking the window what lies there. */
static int FindCloseBox(HWND hwnd, POINT *at)
{
    RECT frame;
    LRESULT hit;
    GetWindowRect(hwnd, &frame);
    at->x = frame.right - GetSystemMetrics(SM_CXFIXEDFRAME) - GetSystemMetrics(SM_CXSIZE) / 2 - 1;
    at->y = frame.top + GetSystemMetrics(SM_CYFIXEDFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
    hit = SendMessageA(hwnd, WM_NCHITTEST, 0, MAKELPARAM(at->x, at->y));
    if (hit != HTCLOSE) {
        printf("FAIL no close box at (%ld,%ld): hit test %ld\n", at->x, at->y, (long)hit);
        return 0;
    }
    return 1;
}

/* A real mouse click on the menu's close box. */
static int CloseBoxCommand(void)
{
    HWND menu = WaitForMenuOrFail(DEFAULT_WAIT_MS);
    POINT at;
    if (!menu || !FindCloseBox(menu, &at))
        return 1;
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
    char text[1024], expected[1024];
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
    _snprintf(expected, sizeof expected, REFUSAL_FORMAT, 3, 51);
    expected[sizeof expected - 1] = '\0';
    CheckText("refusal text", text, expected);
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

/* ---- play: a whole run, as a person at the machine would have it ----
 *
 * The plan (made by the host's realrun, completed by random.sh) holds one
 * item a line:
 *   dir PATH          the disc's top, where the launcher starts
 *   log PATH          the stand-ins' log
 *   bound MS          how long the launcher may take
 *   step MOMENT INDEX AFTER INPUT VALUE
 *   tail TEXT         the command tail
 * The driver starts the launcher and then, once every few milliseconds,
 * notes each new menu, the refusal box and the stand-ins' starts and ends,
 * and takes the next step once its moment has come and AFTER ms have
 * passed.  MOMENT is menu (a menu is up and the step before is done), wait
 * (child INDEX has started), ended (child INDEX has ended) or refusal (the
 * refusal box is up).  It reports, one line each, with the time at=:
 *   start, menu N, refusal "TEXT", step N, exit CODE or timeout, left yes|no */

#define MAX_STEPS 64
#define MAX_CHILDREN 64
#define SETTLE_MS 250 /* after a step, for a menu it ended to go */
#define SEEN_MARK "e2e.seen"
#define CLICKED_MARK "e2e.clicked"

enum { AT_MENU, AT_WAIT, AT_ENDED, AT_REFUSAL };

struct PlanStep {
    int moment;
    int index;
    DWORD afterMs;
    char input[32];
    int value;
};

struct Plan {
    char dir[MAX_PATH];
    char log[MAX_PATH];
    char tail[1024];
    DWORD boundMs;
    int count;
    struct PlanStep steps[MAX_STEPS];
};

struct Child {
    char path[MAX_PATH];
    unsigned long long startAt;
    unsigned long long endAt; /* 0 while it runs */
};

static struct Child g_children[MAX_CHILDREN];
static int g_childCount;
static long g_logRead;

static void Chomp(char *line)
{
    size_t n = strlen(line);
    while (n && (line[n - 1] == '\n' || line[n - 1] == '\r'))
        line[--n] = '\0';
}

static int ReadPlan(const char *path, struct Plan *plan)
{
    static const char *const moments[] = {"menu", "wait", "ended", "refusal"};
    char line[2048], moment[16];
    FILE *f = fopen(path, "r");
    int i;
    memset(plan, 0, sizeof *plan);
    if (!f)
        return 0;
    while (fgets(line, sizeof line, f)) {
        Chomp(line);
        if (!strncmp(line, "dir ", 4))
            strncpy(plan->dir, line + 4, sizeof plan->dir - 1);
        else if (!strncmp(line, "log ", 4))
            strncpy(plan->log, line + 4, sizeof plan->log - 1);
        else if (!strncmp(line, "tail ", 5))
            strncpy(plan->tail, line + 5, sizeof plan->tail - 1);
        else if (!strncmp(line, "bound ", 6))
            plan->boundMs = strtoul(line + 6, NULL, 10);
        else if (!strncmp(line, "step ", 5) && plan->count < MAX_STEPS) {
            struct PlanStep *step = &plan->steps[plan->count++];
            unsigned long after;
            if (sscanf(line + 5, "%15s %d %lu %31s %d", moment, &step->index, &after, step->input, &step->value) != 5)
                return 0;
            step->afterMs = after;
            step->moment = -1;
            for (i = 0; i < 4; ++i)
                if (!strcmp(moment, moments[i]))
                    step->moment = i;
            if (step->moment < 0)
                return 0;
        }
    }
    fclose(f);
    return plan->dir[0] && plan->boundMs;
}

/* Takes the stand-ins' new lines: each start, and each end or crash,
 * which goes to the earliest start of that program not yet ended. */
static void ReadLog(const char *path)
{
    char line[3 * MAX_PATH];
    FILE *f = fopen(path, "rb");
    if (!f)
        return;
    fseek(f, g_logRead, SEEK_SET);
    while (fgets(line, sizeof line, f)) {
        char *event, *program, *dir, *ms;
        int i;
        if (!strchr(line, '\n'))
            break; /* written halfway: taken next time */
        g_logRead = ftell(f);
        Chomp(line);
        event = strtok(line, "|");
        program = strtok(NULL, "|");
        dir = strtok(NULL, "|");
        ms = strtok(NULL, "|");
        if (!event || !program || !dir || !ms)
            continue;
        if (!strcmp(event, "started") && g_childCount < MAX_CHILDREN) {
            strncpy(g_children[g_childCount].path, program, MAX_PATH - 1);
            g_children[g_childCount].startAt = _strtoui64(ms, NULL, 10);
            g_children[g_childCount++].endAt = 0;
        } else if (!strcmp(event, "ended") || !strcmp(event, "crashing")) {
            for (i = 0; i < g_childCount; ++i)
                if (!g_children[i].endAt && !_stricmp(g_children[i].path, program)) {
                    g_children[i].endAt = _strtoui64(ms, NULL, 10);
                    break;
                }
        }
    }
    fclose(f);
}

static void KeyEvent(WORD vk, int up)
{
    INPUT in;
    memset(&in, 0, sizeof in);
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof in);
    Sleep(20);
}

static void Tap(WORD vk)
{
    KeyEvent(vk, 0);
    KeyEvent(vk, 1);
}

static void TapWith(WORD modifier, WORD vk)
{
    KeyEvent(modifier, 0);
    Tap(vk);
    KeyEvent(modifier, 1);
}

/* Brings a window to the foreground, where real input goes. */
static void Foreground(HWND hwnd)
{
    DWORD waited;
    SetForegroundWindow(hwnd);
    for (waited = 0; waited < 1000 && GetForegroundWindow() != hwnd; waited += 10) {
        Sleep(10);
        SetForegroundWindow(hwnd);
    }
}

static void ClickMiddle(HWND hwnd)
{
    RECT r;
    POINT at;
    GetWindowRect(hwnd, &r);
    at.x = (r.left + r.right) / 2;
    at.y = (r.top + r.bottom) / 2;
    ClickAt(at);
}

static HWND TaskbarButton(HWND hwnd)
{
    HWND tray = FindWindowA("Shell_TrayWnd", NULL), button;
    if (!hwnd || !tray)
        return NULL;
    for (button = GetWindow(tray, GW_CHILD); button; button = GetWindow(button, GW_HWNDNEXT))
        if ((HWND)GetWindowLongPtrA(button, GWLP_ID) == hwnd && IsWindowVisible(button))
            return button;
    return NULL;
}

/* Close from the anchor window's taskbar button: a right click opens its
 * system menu, and C chooses Close.  A menu left open is shut with Escape. */
static void TaskbarClose(void)
{
    HWND anchor = FindAnchor(), button = TaskbarButton(anchor), popup = NULL;
    RECT r;
    POINT at;
    DWORD waited;
    if (!button)
        return;
    GetWindowRect(button, &r);
    at.x = (r.left + r.right) / 2;
    at.y = (r.top + r.bottom) / 2;
    MouseButtonAt(at, MOUSEEVENTF_RIGHTDOWN);
    Sleep(50);
    MouseButtonAt(at, MOUSEEVENTF_RIGHTUP);
    for (waited = 0; waited < 1000; waited += 10) {
        popup = FindWindowA("#32768", NULL);
        if (popup && IsWindowVisible(popup))
            break;
        popup = NULL;
        Sleep(10);
    }
    if (!popup)
        return;
    /* The system menu takes keys only in the foreground thread: the
     * launcher's, unless another program's window (a stand-in's) is in
     * front, as it is during a wait. */
    if (GetWindowThreadProcessId(GetForegroundWindow(), NULL) != GetWindowThreadProcessId(anchor, NULL))
        SetForegroundWindow(anchor);
    Sleep(100);
    Tap('C');
    Sleep(300);
    popup = FindWindowA("#32768", NULL);
    if (popup && IsWindowVisible(popup))
        Tap(VK_ESCAPE);
}

/* Does one step's input to what is on the screen: the menu, else the
 * refusal box; with neither up, keys and clicks go nowhere. */
static void Perform(const struct PlanStep *step, HWND menu, HWND box)
{
    const char *in = step->input;
    HWND target = menu ? menu : box;
    POINT at;
    RECT r;
    if (!strcmp(in, "taskbar-close")) {
        TaskbarClose();
        return;
    }
    if (!strcmp(in, "taskbar-click")) {
        HWND button = TaskbarButton(FindAnchor());
        if (button)
            ClickMiddle(button);
        return;
    }
    if (!target)
        return;
    Foreground(target);
    if (!strcmp(in, "tab"))
        Tap(VK_TAB);
    else if (!strcmp(in, "shift-tab"))
        TapWith(VK_SHIFT, VK_TAB);
    else if (!strcmp(in, "alt"))
        TapWith(VK_MENU, (WORD)step->value);
    else if (!strcmp(in, "space"))
        Tap(VK_SPACE);
    else if (!strcmp(in, "enter"))
        Tap(VK_RETURN);
    else if (!strcmp(in, "escape"))
        Tap(VK_ESCAPE);
    else if (!strcmp(in, "alt-f4"))
        TapWith(VK_MENU, VK_F4);
    else if (!strcmp(in, "click") || !strcmp(in, "close-box")) {
        /* Every click here ends what it lands on; one made while the
         * display is settling can be lost, and a person clicks again. */
        HWND button = GetDlgItem(target, menu ? step->value : IDOK);
        int tries;
        if (!strcmp(in, "click") && button)
            GetWindowRect(button, &r), at.x = (r.left + r.right) / 2, at.y = (r.top + r.bottom) / 2;
        else if (strcmp(in, "close-box") || !FindCloseBox(target, &at))
            return;
        SetPropA(target, CLICKED_MARK, (HANDLE)1);
        for (tries = 0; tries < 2; ++tries) {
            DWORD waited;
            ClickAt(at);
            /* A window that took the old one's handle has no mark. */
            for (waited = 0; waited < 2000; waited += 10) {
                if (!IsWindow(target) || !IsWindowVisible(target) || !GetPropA(target, CLICKED_MARK))
                    return;
                Sleep(10);
            }
        }
    } else {
        printf("FAIL unknown input %s\n", in);
    }
}

static const char *BaseName(const char *path)
{
    const char *slash = strrchr(path, '\\');
    return slash ? slash + 1 : path;
}

/* Processes of a program, by its file name. */
static int CountRunning(const char *exe)
{
    PROCESSENTRY32 entry;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    int n = 0;
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        n += !_stricmp(entry.szExeFile, exe);
    CloseHandle(snapshot);
    return n;
}

/* Another launcher process still there, by its file name, or its windows. */
static int LauncherLeft(void)
{
    return CountRunning("setup.exe") || FindAnchor() || FindMenu(0);
}

/* Starts logged of a program that have not ended. */
static int CountLogged(const char *exe)
{
    int i, n = 0;
    for (i = 0; i < g_childCount; ++i)
        n += !g_children[i].endAt && !_stricmp(BaseName(g_children[i].path), exe);
    return n;
}

/* A program the launcher started just before it ended may not have
 * written its first line yet: waits, at most 10 s, until every stand-in
 * that runs has, so that ending the prefix's processes loses none. */
static void WaitForStartsLogged(const char *log)
{
    DWORD waited;
    for (waited = 0; waited < 10000; waited += 50) {
        ReadLog(log);
        if (CountRunning(BaseName(DIRECTX_SETUP)) <= CountLogged(BaseName(DIRECTX_SETUP)) &&
            CountRunning(BaseName(PRODUCT_SETUP)) <= CountLogged(BaseName(PRODUCT_SETUP)))
            return;
        Sleep(50);
    }
}

static int PlayCommand(const char *planPath)
{
    static struct Plan plan;
    char cmd[2048], exe[MAX_PATH + 16];
    const char *slash;
    STARTUPINFOA si;
    PROCESS_INFORMATION pi;
    unsigned long long start, now, lastStepAt = 0, menuAt = 0, boxAt = 0;
    HWND menu = NULL, box = NULL;
    int next = 0, menus = 0, refusalSeen = 0, ended = 0;
    DWORD code;

    if (!ReadPlan(planPath, &plan)) {
        printf("FAIL cannot read the plan %s\n", planPath);
        return 2;
    }
    slash = plan.dir[strlen(plan.dir) - 1] == '\\' ? "" : "\\";
    _snprintf(exe, sizeof exe, "%s%ssetup.exe", plan.dir, slash);
    exe[sizeof exe - 1] = '\0';
    _snprintf(cmd, sizeof cmd, "\"%s\" %s", exe, plan.tail);
    cmd[sizeof cmd - 1] = '\0';
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    start = UnixMs();
    if (!CreateProcessA(exe, cmd, NULL, NULL, FALSE, 0, NULL, plan.dir, &si, &pi)) {
        printf("FAIL cannot start %s: %lu\n", exe, GetLastError());
        return 1;
    }
    CloseHandle(pi.hThread);
    printf("start at=%llu\n", start);

    for (;;) {
        HWND found;
        Sleep(POLL_MS);
        now = UnixMs();
        if (WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) {
            GetExitCodeProcess(pi.hProcess, &code);
            printf("exit %lu at=%llu\n", (unsigned long)code, now);
            ended = 1;
            break;
        }
        if (now - start > plan.boundMs) {
            printf("timeout at=%llu\n", now);
            TerminateProcess(pi.hProcess, 1);
            break;
        }
        found = FindMenu(1);
        if (found && !GetPropA(found, SEEN_MARK) && MenuIsReady(found)) {
            SetPropA(found, SEEN_MARK, (HANDLE)1);
            SetPropA(found, PRESSED_MARK, (HANDLE)1);
            menu = found;
            menuAt = now;
            printf("menu %d at=%llu\n", ++menus, now);
        }
        if (menu && (!IsWindow(menu) || !IsWindowVisible(menu) || !GetPropA(menu, SEEN_MARK)))
            menu = NULL;
        found = FindRefusal();
        if (found && IsWindowVisible(found) && !refusalSeen) {
            char text[1024];
            refusalSeen = 1;
            box = found;
            boxAt = now;
            GetWindowTextA(GetDlgItem(box, 0xFFFF), text, sizeof text);
            fputs("refusal ", stdout);
            PrintQuoted(text);
            printf(" at=%llu\n", now);
        }
        if (box && (!IsWindow(box) || !IsWindowVisible(box)))
            box = NULL;
        if (plan.log[0])
            ReadLog(plan.log);

        if (next < plan.count) {
            const struct PlanStep *step = &plan.steps[next];
            unsigned long long anchor = 0;
            int k = step->index;
            if (step->moment == AT_MENU && menu)
                anchor = menuAt > lastStepAt ? menuAt : lastStepAt;
            else if (step->moment == AT_WAIT && k >= 1 && k <= g_childCount)
                anchor = g_children[k - 1].startAt;
            else if (step->moment == AT_ENDED && k >= 1 && k <= g_childCount)
                anchor = g_children[k - 1].endAt;
            else if (step->moment == AT_REFUSAL && box)
                anchor = boxAt;
            if (anchor && now >= anchor + step->afterMs && now >= lastStepAt) {
                Perform(step, menu, box);
                lastStepAt = UnixMs();
                printf("step %d at=%llu\n", ++next, lastStepAt);
                Sleep(SETTLE_MS);
            }
        }
    }
    CloseHandle(pi.hProcess);
    if (ended)
        Sleep(300); /* what the launcher ends goes with it */
    if (plan.log[0])
        WaitForStartsLogged(plan.log);
    printf("left %s\n", !ended || LauncherLeft() ? "yes" : "no");
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
    if (!strcmp(cmd, "play") && argc > 2)
        return PlayCommand(argv[2]);
    fputs("usage: driver wait-menu|check-menu|check-anchor|press ID|escape|close-box|close-anchor|\n"
          "              end-task-anchor|click-taskbar|wait-gone|absent WHAT|read-refusal|refusal-ok|\n"
          "              has-window CAPTION|close-window CAPTION|play PLAN\n",
          stderr);
    return 2;
}
