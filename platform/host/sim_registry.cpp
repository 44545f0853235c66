/* The simulated registry and Windows version: keys that exist, some locked
 * against reading, and the version both version calls report. */
#include "sim_world.h"

using namespace sim;

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
    /* Windows 95 keeps no security on its registry: a key that Windows NT
     * would not open for reading opens there all the same (as under Wine,
     * which ignores the access asked for when it is not playing an NT). */
    if (!w.keys[Upper(lpSubKey)] && w.nt)
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

/* A query that fails writes nothing: the record holds what its memory held
 * before.  For a record the caller did not clear, that is taken to be the
 * worst it could be, the answer an earlier query gave on Windows NT 3.51. */
static void LeaveAsFound(OSVERSIONINFOA *info)
{
    const unsigned char *p = (const unsigned char *)&info->dwMajorVersion;
    const unsigned char *end = (const unsigned char *)(info + 1);
    while (p < end && !*p)
        ++p;
    if (p == end)
        return;
    info->dwMajorVersion = 3;
    info->dwMinorVersion = 51;
    info->dwBuildNumber = 1057;
    info->dwPlatformId = 2;
    info->szCSDVersion[0] = 0;
}

BOOL GetVersionExA(OSVERSIONINFOA *info)
{
    Record(Format("GetVersionExA(%u)", info->dwOSVersionInfoSize));
    Step();
    if (Failing("GetVersionExA") || info->dwOSVersionInfoSize != 148) {
        LeaveAsFound(info);
        return FALSE;
    }
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

void SimLockKey(const char *path)
{
    w.keys[Upper(path)] = false;
}

int SimOpenKeys(void) { return CountOpen(true); }
