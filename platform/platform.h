/* The one place that decides what the platform is.
 *
 * The launcher's sources include this header and nothing else of the
 * platform.  Built for Windows they get the real Win32 declarations;
 * built for the host they get our own declarations of the small Win32
 * subset the launcher uses, implemented by the simulated platform that
 * the tests link. */
#ifndef PLATFORM_H
#define PLATFORM_H

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
#else
#include "host/win32_api.h"
#endif

#endif
