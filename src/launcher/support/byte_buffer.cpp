#include "byte_buffer.h"

#include "files.h"
#include "integers.h"

#include <stdlib.h>
#include <string.h>

bool ByteBuffer::MakeRoom(int extra) {
    long long required = (long long)length + extra;
    if (required <= capacity) return true;
    if (required > kMaxCapacity) return false;
    int newCapacity = MaxInt(capacity, 512);
    while (newCapacity < required) newCapacity *= 2;
    // On failure realloc keeps the old block, and so do we.
    char* grown = AllocationRefused() ? NULL : static_cast<char*>(realloc(data, size_t(newCapacity)));
    if (!grown) return false;
    data = grown;
    capacity = newCapacity;
    return true;
}

void ByteBuffer::Release() {
    free(data);
    data = 0;
    capacity = 0;
    length = 0;
}

bool ByteBuffer::SetLength(int n) {
    if (n < 0) n = 0;
    if (!MakeRoom(n - length)) return false;
    length = n;
    return true;
}

bool ByteBuffer::Assign(const void* bytes, int count) {
    Release();
    if (count <= 0) return true;
    if (!MakeRoom(count)) return false;
    memcpy(data, bytes, size_t(count));
    length = count;
    return true;
}

bool ByteBuffer::AssignString(const char* text) {
    size_t n = strlen(text);
    if (n > size_t(kMaxCapacity)) {
        Release();
        return false;
    }
    return Assign(text, int(n));
}

bool ByteBuffer::Append(const char* text) {
    size_t n = strlen(text);
    if (n > size_t(kMaxCapacity) || !MakeRoom(int(n))) return false;
    if (n) memcpy(data + length, text, n);
    length += int(n);
    return true;
}

bool ByteBuffer::AppendCRLF() { return Append("\r\n"); }

bool ByteBuffer::AppendLine(const char* text) {
    // Room for both first, so that a failure leaves no half line.
    size_t n = strlen(text);
    if (n > size_t(kMaxCapacity) || !MakeRoom(int(n) + 2)) return false;
    return Append(text) && AppendCRLF();
}

bool ByteBuffer::Replace(const char* pattern, const char* replacement, bool all) {
    size_t p = strlen(pattern);
    size_t r = strlen(replacement);
    if (p == 0) return true;
    if (r > size_t(kMaxCapacity) || !MakeRoom(1)) return false;
    data[length] = 0;

    // Count the occurrences first and grow once, so that running out of
    // memory half way can never leave a partly edited content.
    if (r > p) {
        long long count = 0;
        for (const char* s = data; (s = strstr(s, pattern)) != NULL; s += p) {
            count++;
            if (!all) break;
        }
        long long growth = count * (long long)(r - p) + 1;
        if (growth > kMaxCapacity || !MakeRoom(int(growth))) return false;
    }

    int searchFrom = 0;
    for (;;) {
        const char* match = strstr(data + searchFrom, pattern);
        if (!match) return true;
        int m = int(match - data);
        // Already grown above; never fails here.
        if (!MakeRoom(int(r) - int(p) + 1)) return false;
        memmove(data + m + r, data + m + p, size_t(length - (m + int(p))));
        if (r) memcpy(data + m, replacement, r);
        length += int(r) - int(p);
        if (!all) return true;
        data[length] = 0;
        searchFrom = m + int(r);
    }
}

bool ByteBuffer::LoadFromResource(LPCSTR name, LPCSTR type) {
    HRSRC resource = FindResourceA(NULL, name, type);
    const void* bytes = NULL;
    DWORD size = 0;
    if (resource) {
        HGLOBAL loaded = LoadResource(NULL, resource);
        size = SizeofResource(NULL, resource);
        if (loaded) bytes = LockResource(loaded);
    }
    if (!bytes || size > DWORD(kMaxCapacity) || !Assign(bytes, int(size))) {
        Release();
        return false;
    }
    return true;
}

bool ByteBuffer::LoadFromFile(const char* path) {
    Release();
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = false;
    DWORD high = 0;
    DWORD size = GetFileSize(file, &high);
    // A file beyond the 2^30 limit is refused whole, never truncated.
    if (size != INVALID_FILE_SIZE && high == 0 && size <= DWORD(kMaxCapacity) && MakeRoom(int(size))) {
        DWORD read = 0;
        if (size == 0) {
            ok = true;
        } else if (ReadFile(file, data, size, &read, NULL) && read == size) {
            length = int(size);
            ok = true;
        }
    }
    if (!ok) Release();
    CloseHandle(file);
    return ok;
}

bool ByteBuffer::SaveToFile(const char* path) const { return WriteWholeFile(path, data, length); }

const char* ByteBuffer::CStr() {
    if (!MakeRoom(1)) return "";
    data[length] = 0;
    return data;
}
