// Under Wine the tests cannot move their own executable, so they redirect
// the program's GetModuleFileNameA: the product calls it through the import
// pointer __imp__GetModuleFileNameA@12, which this file defines in place of
// KERNEL32's import library.
#include "test_site.h"

#include <string.h>

namespace {

char fakePath[1024];

typedef DWORD(WINAPI* GetModuleFileNameProc)(HMODULE, LPSTR, DWORD);

GetModuleFileNameProc RealGetModuleFileName() {
    static GetModuleFileNameProc real = (GetModuleFileNameProc)(void*)GetProcAddress(
        GetModuleHandleA("kernel32.dll"), "GetModuleFileNameA");
    return real;
}

DWORD WINAPI TestGetModuleFileNameA(HMODULE module, LPSTR name, DWORD size) {
    if (module || !fakePath[0]) return RealGetModuleFileName()(module, name, size);
    DWORD n = DWORD(strlen(fakePath));
    if (size == 0) return 0;
    if (n < size) {
        memcpy(name, fakePath, n + 1);
        return n;
    }
    memcpy(name, fakePath, size - 1);
    name[size - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
}

}  // namespace

extern "C" {
void* testImportGetModuleFileNameA __asm__("__imp__GetModuleFileNameA@12") =
    (void*)&TestGetModuleFileNameA;
}

void SetTestModulePath(const std::string& windowsPath) {
    size_t n = windowsPath.size() < sizeof fakePath - 1 ? windowsPath.size() : sizeof fakePath - 1;
    memcpy(fakePath, windowsPath.data(), n);
    fakePath[n] = 0;
}
