// Where the file layer, when built for the tests (ONDRELLE_FAULT_HOOKS),
// lets them count calls and inject faults. The shipped layer has none of
// these: it defines them as no-ops.
#ifndef ONDRELLE_FAULT_HOOKS_H
#define ONDRELLE_FAULT_HOOKS_H

#include "win32_subset.h"

#include <stddef.h>

// GetFileAttributesA, FindFirstFileA and FindNextFileA.
void HookLookup();
void HookCreateFile();
// A file or enumeration handle was opened or closed.
void HookHandleOpened();
void HookHandleClosed();
// How many of `want` bytes the next read or write moves.
size_t HookReadSize(size_t want);
size_t HookWriteSize(size_t want);
// The low part that GetFileSize reports for a file of this low part.
DWORD HookFileSize(DWORD size);
bool HookTempPathAsGiven();

#endif
