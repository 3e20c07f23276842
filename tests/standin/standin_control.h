// Test controls of the native stand-in: scripted answers, fault injection
// and the record of user/shell calls. Not part of the product; the drives
// and the module path are set through windows_files.h.
#ifndef ONDRELLE_STANDIN_CONTROL_H
#define ONDRELLE_STANDIN_CONTROL_H

#include "win32_subset.h"
#include "windows_files.h"

#include <string>
#include <vector>

// --- Faults ----------------------------------------------------------------
// Refuse the allocation after `okCount` more allocations have succeeded;
// -1 refuses none.
void Standin_RefuseAllocationAfter(int okCount);
// The next ReadFile/WriteFile moves at most this many bytes; -1 is no limit.
void Standin_LimitNextRead(long maxBytes);
void Standin_LimitNextWrite(long maxBytes);
// The next GetFileSize reports this value (low part) instead of the real one.
void Standin_OverrideNextFileSize(DWORD size);

// Counts GetFileAttributesA, FindFirstFileA and FindNextFileA calls.
long Standin_FileSystemCalls();
// Counts CreateFileA calls, to prove a file was never opened.
long Standin_CreateFileCalls();
// GetTempPathA returns TMP exactly as written, without adding a trailing
// backslash, as Windows 95 does.
void Standin_TempPathAsGiven(bool asGiven);
// Open handles of files and enumerations, to prove nothing leaks.
int Standin_OpenHandles();

// --- Resources -------------------------------------------------------------
void Standin_HideResources(bool hidden);
// Serve these bytes for resource name/type instead of the compiled-in ones;
// null bytes restore the original. The bytes must outlive their use.
void Standin_OverrideResource(unsigned name, unsigned type, const void* bytes, unsigned long size);

// --- User and shell --------------------------------------------------------
// Forget windows, classes, queued messages, scripted answers and the record.
void Standin_ResetUser();
// Every user/shell call, in order, as `Name(arg, arg, ...)`. Strings appear
// in double quotes as passed, null pointers as NULL, windows as hwnd:N
// (hwnd:0 for none).
const std::vector<std::string>& Standin_Calls();
// Just the names, in order.
std::vector<std::string> Standin_CallNames();
// Answers used one per call, then the default (ShellExecuteA 42, MessageBoxA IDOK).
void Standin_QueueShellResult(INT_PTR result);
void Standin_QueueMessageBoxAnswer(int answer);
void Standin_FailRegisterClass(bool fail);
void Standin_FailCreateWindow(bool fail);
// PostMessageA refuses, as when the thread's message queue is full.
void Standin_FailPostMessage(bool fail);
// True when GetMessageA was called with nothing to return and no quit
// pending: on Windows the loop would have waited forever.
bool Standin_LoopWouldHang();
// Number of windows created and not yet destroyed.
int Standin_LiveWindows();

#endif
