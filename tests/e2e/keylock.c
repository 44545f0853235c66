/* Locks a registry key against reading for the end-to-end tests: a Win32
 * console program that gives a key of HKEY_LOCAL_MACHINE (the 32-bit view,
 * the launcher's) a DACL that denies KEY_READ to Everyone and allows the
 * rest, and holds it so until told to let go.
 *
 *   keylock hold KEY     lock KEY, check that an open for reading is now
 *                        refused, then wait for "keylock release" (at most
 *                        60 s) and put the key's own DACL back
 *   keylock release      tell the holder to let go
 *
 * Wine keeps a key's security in the running wineserver only, not in the
 * prefix's registry files: the lock lasts as long as the server runs, which
 * the holder makes sure of until it lets go.
 *
 * Exit code 0 when the command did what it says, 1 when it failed, 2 for a
 * bad command line.  Each line of output starts with "ok" or "FAIL". */
#include <windows.h>
#include <stdio.h>
#include <string.h>

#define RELEASE_EVENT "e2e.keylock.release"
#define HOLD_MAX_MS 60000

static int Hold(const char *path)
{
    SID_IDENTIFIER_AUTHORITY world = {SECURITY_WORLD_SID_AUTHORITY};
    PSID everyone = NULL;
    BYTE aclBuffer[256], own[4096];
    PACL acl = (PACL)aclBuffer;
    SECURITY_DESCRIPTOR locked;
    DWORD ownSize = sizeof own;
    HANDLE release;
    HKEY key, probe;
    LONG rc;
    int good = 1;

    /* The event first, so that a release is never lost. */
    release = CreateEventA(NULL, TRUE, FALSE, RELEASE_EVENT);
    if (!release) {
        printf("FAIL cannot make the event %s\n", RELEASE_EVENT);
        return 1;
    }
    rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, READ_CONTROL | WRITE_DAC, &key);
    if (rc != ERROR_SUCCESS) {
        printf("FAIL cannot open HKLM\\%s to change its security: %ld\n", path, rc);
        return 1;
    }
    rc = RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, own, &ownSize);
    if (rc != ERROR_SUCCESS) {
        printf("FAIL cannot read the security of HKLM\\%s: %ld\n", path, rc);
        return 1;
    }

    /* Deny comes before allow, as the system orders them. */
    if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone) ||
        !InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION) ||
        !AddAccessDeniedAce(acl, ACL_REVISION, KEY_READ, everyone) ||
        !AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS, everyone) ||
        !InitializeSecurityDescriptor(&locked, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&locked, TRUE, acl, FALSE)) {
        printf("FAIL cannot make the DACL: %lu\n", GetLastError());
        return 1;
    }
    rc = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &locked);
    if (rc != ERROR_SUCCESS) {
        printf("FAIL cannot set the security of HKLM\\%s: %ld\n", path, rc);
        return 1;
    }

    /* The lock holds only if an open for reading, as the launcher does it,
     * is now refused. */
    rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &probe);
    if (rc == ERROR_SUCCESS) {
        RegCloseKey(probe);
        printf("FAIL HKLM\\%s still opens for reading: this Wine does not enforce key security\n", path);
        good = 0;
    } else {
        printf("ok HKLM\\%s exists and an open for reading is refused (%ld)\n", path, rc);
        if (WaitForSingleObject(release, HOLD_MAX_MS) != WAIT_OBJECT_0) {
            printf("FAIL no release within %d ms\n", HOLD_MAX_MS);
            good = 0;
        }
    }

    rc = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, (PSECURITY_DESCRIPTOR)own);
    if (rc != ERROR_SUCCESS) {
        printf("FAIL cannot put back the security of HKLM\\%s: %ld\n", path, rc);
        return 1;
    }
    rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &probe);
    if (rc != ERROR_SUCCESS) {
        printf("FAIL HKLM\\%s still refuses reading after the release: %ld\n", path, rc);
        return 1;
    }
    RegCloseKey(probe);
    RegCloseKey(key);
    FreeSid(everyone);
    printf("ok HKLM\\%s readable again\n", path);
    return good ? 0 : 1;
}

static int Release(void)
{
    HANDLE release = OpenEventA(EVENT_MODIFY_STATE, FALSE, RELEASE_EVENT);
    if (!release) {
        puts("FAIL no key is held");
        return 1;
    }
    SetEvent(release);
    CloseHandle(release);
    puts("ok released");
    return 0;
}

int main(int argc, char **argv)
{
    const char *cmd = argc > 1 ? argv[1] : "";
    setvbuf(stdout, NULL, _IONBF, 0);
    if (!strcmp(cmd, "hold") && argc > 2)
        return Hold(argv[2]);
    if (!strcmp(cmd, "release"))
        return Release();
    fputs("usage: keylock hold KEY|release\n", stderr);
    return 2;
}
