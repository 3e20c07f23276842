// Where the file layer lets the tests count calls and inject faults; in the
// shipped layer these do nothing.
#ifndef ONDRELLE_LAYER_HOOKS_H
#define ONDRELLE_LAYER_HOOKS_H

#include "win32_subset.h"

#include <stddef.h>

#ifdef ONDRELLE_FAULT_HOOKS
// The tests' build: counters and injected faults (tests/standin).
#include "fault_hooks.h"
#else
// The shipped layer counts nothing and injects nothing.
inline void HookLookup() {}
inline void HookCreateFile() {}
inline void HookHandleOpened() {}
inline void HookHandleClosed() {}
inline size_t HookReadSize(size_t want) { return want; }
inline size_t HookWriteSize(size_t want) { return want; }
inline DWORD HookFileSize(DWORD size) { return size; }
inline bool HookTempPathAsGiven() { return false; }
#endif

#endif
