// The one header through which the program reaches Windows.
// On Windows it is the real API; elsewhere it is the small subset we call,
// over POSIX, so the same sources build and test natively.
#ifndef ONDRELLE_PLATFORM_H
#define ONDRELLE_PLATFORM_H

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>

// Allocation failure can only be forced in the native test build.
inline bool AllocationRefused() { return false; }
#else
#include "win32_subset.h"
#endif

#endif
