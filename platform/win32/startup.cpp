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
    LPSTR tail = (LPSTR)FindCommandTail(GetCommandLineA(), IsLeadByte);
    /* WinMain does not use the show mode (the anchor window is always
     * minimised), so the start-up record is not read: SW_SHOWDEFAULT says
     * "as the process was started". */
    ExitProcess((UINT)WinMain(GetModuleHandleA(NULL), NULL, tail, SW_SHOWDEFAULT));
}
