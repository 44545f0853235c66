/* The message pump: empties the queue without ever waiting, and records
 * the quit request when it meets it. */
#include "launcher.h"

void PumpMessages(void)
{
    MSG msg;
    if (g_launcher.quitSeen)
        return;
    /* Every take follows a peek that found a message, so GetMessageA never
     * blocks. */
    while (PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE)) {
        BOOL got = GetMessageA(&msg, NULL, 0, 0);
        if (got == -1)
            return;
        if (!got) {
            g_launcher.quitSeen = TRUE;
            g_launcher.exitCode = (int)msg.wParam;
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}
