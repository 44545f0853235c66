/* The entry: the quiet-exit gate, the version gate, and the run from the
 * anchor window's creation to its teardown. */
#include "launcher.h"

LauncherState g_launcher;

/* A plain, case-sensitive substring search: the switch counts anywhere in
 * the tail, also inside a longer word. */
BOOL TailHasUpdateSwitch(LPCSTR tail)
{
    static const char wanted[] = UPDATE_SWITCH;
    if (!tail)
        return FALSE;
    for (; *tail; ++tail) {
        int i = 0;
        while (wanted[i] && tail[i] == wanted[i])
            ++i;
        if (!wanted[i])
            return TRUE;
    }
    return FALSE;
}

/* A key that cannot be opened, for whatever reason, means not installed. */
static BOOL ProductIsInstalled(void)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, PRODUCT_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return FALSE;
    RegCloseKey(key);
    return TRUE;
}

/* Windows NT 3.51 is refused with a message; every other version runs. */
static BOOL RefusedWindowsVersion(void)
{
    /* Zeroed, so that a query that fails leaves 0.0, which is never
     * refused, rather than whatever the stack held. */
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExA(&info);
    /* The numbers come from GetVersionExA; whether the system is NT comes
     * from the top bit of GetVersion, which cannot fail. */
    if (GetVersion() & 0x80000000u)
        return FALSE;
    if (info.dwMajorVersion != 3 || info.dwMinorVersion != 51)
        return FALSE;
    char text[REFUSAL_CHARS];
    wsprintfA(text, REFUSAL_FORMAT, (int)info.dwMajorVersion, (int)info.dwMinorVersion);
    MessageBoxA(NULL, text, APP_TITLE, MB_OK);
    return TRUE;
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR lpCmdLine, int)
{
    if (ProductIsInstalled() && TailHasUpdateSwitch(lpCmdLine))
        return 0;
    g_launcher.hInstance = hInstance;
    if (RefusedWindowsVersion())
        return 0;
    if (!CreateAnchorWindow())
        return g_launcher.exitCode;
    PumpMessages();
    RunMenuLoop();
    DestroyAnchorWindow();
    /* The destruction has posted the quit request; take it. */
    do
        PumpMessages();
    while (!g_launcher.quitSeen);
    return g_launcher.exitCode;
}
