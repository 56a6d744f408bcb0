// The Windows calls the plug-in makes (GDI, USER, shell, kernel): the system's
// own on Windows, the portable subset (platform/portable/gdi.h) elsewhere. The
// host contract (host/host_table.h) names only the types it needs, so command
// code that draws or asks the shell includes this.
#ifndef TESSELIN_PLATFORM_WINDOWS_CALLS_H
#define TESSELIN_PLATFORM_WINDOWS_CALLS_H

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/portable/gdi.h"
#endif

#endif
