// Resources of the native build: the same bytes that windres puts into the
// executable, compiled in from res/ by cmake/embed_resources.cmake.
#include "win32_subset.h"
#include "standin_control.h"

struct StandinResource {
    unsigned name;
    unsigned type;
    const unsigned char* bytes;
    unsigned long size;
};

extern const StandinResource standinResources[];
extern const int standinResourceCount;

namespace {
bool hidden = false;
StandinResource overridden = {0, 0, 0, 0};
}  // namespace

void Standin_HideResources(bool hide) { hidden = hide; }

void Standin_OverrideResource(unsigned name, unsigned type, const void* bytes, unsigned long size) {
    StandinResource replacement = {name, type, static_cast<const unsigned char*>(bytes), size};
    overridden = replacement;
}

HRSRC FindResourceA(HMODULE, LPCSTR name, LPCSTR type) {
    // Only integer identifiers are ever used.
    if (hidden || !IS_INTRESOURCE(name) || !IS_INTRESOURCE(type)) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return NULL;
    }
    if (overridden.bytes && overridden.name == (UINT_PTR)name && overridden.type == (UINT_PTR)type)
        return (HRSRC)&overridden;
    for (int i = 0; i < standinResourceCount; i++) {
        if (standinResources[i].name == (UINT_PTR)name && standinResources[i].type == (UINT_PTR)type)
            return (HRSRC)&standinResources[i];
    }
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return NULL;
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) {
    if (!resource) return NULL;
    return (HGLOBAL)((const StandinResource*)resource)->bytes;
}

DWORD SizeofResource(HMODULE, HRSRC resource) {
    if (!resource) return 0;
    return DWORD(((const StandinResource*)resource)->size);
}

LPVOID LockResource(HGLOBAL data) { return data; }
