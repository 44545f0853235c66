/* The clock that the driver and the stand-ins share, so that the test
 * scripts can compare their times: milliseconds since 1970. */
#ifndef UNIXMS_H
#define UNIXMS_H

#include <windows.h>

static unsigned long long UnixMs(void)
{
    FILETIME ft;
    ULARGE_INTEGER t;
    GetSystemTimeAsFileTime(&ft);
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    return t.QuadPart / 10000ULL - 11644473600000ULL;
}

#endif
