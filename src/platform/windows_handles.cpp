// The table of open handles, and the sharing checks over it.
#include "windows_handles.h"

#include "layer_hooks.h"

namespace {

std::vector<Handle*> openHandles;

}  // namespace

void Remember(Handle* h) {
    openHandles.push_back(h);
    HookHandleOpened();
}

Handle* FromHandle(HANDLE h, HandleKind kind) {
    for (size_t i = 0; i < openHandles.size(); i++) {
        if (openHandles[i] == h && openHandles[i]->kind == kind) return openHandles[i];
    }
    return NULL;
}

void Forget(Handle* h) {
    for (size_t i = 0; i < openHandles.size(); i++) {
        if (openHandles[i] == h) openHandles.erase(openHandles.begin() + long(i));
    }
    delete h;
    HookHandleClosed();
}

bool SharingAllows(dev_t dev, ino_t ino, DWORD access, DWORD share) {
    for (size_t i = 0; i < openHandles.size(); i++) {
        const Handle* h = openHandles[i];
        if (h->kind != kFile || h->file.dev != dev || h->file.ino != ino) continue;
        if ((access & GENERIC_READ) && !(h->file.share & FILE_SHARE_READ)) return false;
        if ((access & GENERIC_WRITE) && !(h->file.share & FILE_SHARE_WRITE)) return false;
        if ((h->file.access & GENERIC_READ) && !(share & FILE_SHARE_READ)) return false;
        if ((h->file.access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE)) return false;
    }
    return true;
}

bool OpenWithoutDeleteSharing(dev_t dev, ino_t ino) {
    for (size_t i = 0; i < openHandles.size(); i++) {
        const Handle* h = openHandles[i];
        if (h->kind == kFile && h->file.dev == dev && h->file.ino == ino &&
            !(h->file.share & FILE_SHARE_DELETE))
            return true;
    }
    return false;
}
