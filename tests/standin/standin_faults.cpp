// Fault injection and counters of the file layer's test build, and the
// allocations that the product may be told to have refused.
#include "fault_hooks.h"
#include "standin_control.h"

namespace {

long lookups = 0;
long createFileCalls = 0;
int handles = 0;
int refuseAfter = -1;
long readLimit = -1;
long writeLimit = -1;
bool sizeOverridden = false;
DWORD sizeOverride = 0;
bool tempPathAsGiven = false;

size_t Limited(long* limit, size_t want) {
    if (*limit >= 0 && size_t(*limit) < want) want = size_t(*limit);
    *limit = -1;
    return want;
}

}  // namespace

void HookLookup() { lookups++; }
void HookCreateFile() { createFileCalls++; }
void HookHandleOpened() { handles++; }
void HookHandleClosed() { handles--; }
size_t HookReadSize(size_t want) { return Limited(&readLimit, want); }
size_t HookWriteSize(size_t want) { return Limited(&writeLimit, want); }

DWORD HookFileSize(DWORD size) {
    if (!sizeOverridden) return size;
    sizeOverridden = false;
    return sizeOverride;
}

bool HookTempPathAsGiven() { return tempPathAsGiven; }

long Standin_FileSystemCalls() { return lookups; }
long Standin_CreateFileCalls() { return createFileCalls; }
int Standin_OpenHandles() { return handles; }
void Standin_TempPathAsGiven(bool asGiven) { tempPathAsGiven = asGiven; }
void Standin_LimitNextRead(long maxBytes) { readLimit = maxBytes; }
void Standin_LimitNextWrite(long maxBytes) { writeLimit = maxBytes; }

void Standin_OverrideNextFileSize(DWORD size) {
    sizeOverridden = true;
    sizeOverride = size;
}

void Standin_RefuseAllocationAfter(int okCount) { refuseAfter = okCount; }

bool AllocationRefused() {
    if (refuseAfter < 0) return false;
    if (refuseAfter == 0) return true;
    refuseAfter--;
    return false;
}
