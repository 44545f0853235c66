/* The program's own start-up, in place of a C runtime: find the command
 * tail, call WinMain, end the process with its result.  Also the few
 * helpers the compiler may call on its own. */
#include "platform.h"
#include "cmdtail.h"
#include "launcher.h"

extern "C" void *memset(void *dest, int value, size_t count)
{
    unsigned char *d = (unsigned char *)dest;
    while (count--)
        *d++ = (unsigned char)value;
    return dest;
}

extern "C" void *memcpy(void *dest, const void *src, size_t count)
{
    unsigned char *d = (unsigned char *)dest;
    const unsigned char *s = (const unsigned char *)src;
    while (count--)
        *d++ = *s++;
    return dest;
}

static int IsLeadByte(unsigned char byte)
{
    return IsDBCSLeadByte(byte);
}

extern "C" void WinMainCRTStartup(void)
{
    STARTUPINFOA startup;
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
    LPSTR tail = (LPSTR)FindCommandTail(GetCommandLineA(), IsLeadByte);
    ExitProcess((UINT)WinMain(GetModuleHandleA(NULL), NULL, tail, show));
}
