// The C++ allocation operators on top of malloc/free for the Windows build.
// libstdc++'s own versions pull in its exception machinery, terminate handler
// and demangler, several times the size of the whole launcher. The native
// build keeps the runtime's, so that AddressSanitizer can watch them.
#ifdef _WIN32
#include <stdlib.h>

#include <new>

void* operator new(size_t size) {
    void* p = malloc(size ? size : 1);
    // Product code asks with nothrow; a plain new that fails has no way back.
    if (!p) abort();
    return p;
}

void* operator new[](size_t size) { return operator new(size); }

void* operator new(size_t size, const std::nothrow_t&) noexcept { return malloc(size ? size : 1); }

void* operator new[](size_t size, const std::nothrow_t&) noexcept { return malloc(size ? size : 1); }

void operator delete(void* p) noexcept { free(p); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete(void* p, size_t) noexcept { free(p); }
void operator delete[](void* p, size_t) noexcept { free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { free(p); }
#endif
