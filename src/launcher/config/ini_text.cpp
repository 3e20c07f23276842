#include "ini_text.h"

#include "files.h"
#include "text.h"

#include <string.h>

#include <new>

namespace {

// length + 1 must stay a valid signed 32-bit count.
const long long kMaxBytes = 0x7FFFFFFF;
// Growth slack, so that a run of small edits does not reallocate each time.
const int kSlack = 256;

bool IsBlank(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u >= 0x01 && u <= 0x20;
}

// The first n bytes of `text` equal `name` (n bytes, no NUL), ASCII letters
// folded. Stops at the first difference, so never reads past a NUL of `text`.
bool NameAt(const char* text, const char* name, size_t n) {
    for (size_t i = 0; i < n; i++) {
        if (LowerAsciiChar(text[i]) != LowerAsciiChar(name[i])) return false;
    }
    return true;
}

// Copies `n` bytes and a NUL into dest, cut to size - 1 bytes.
void CopyBounded(char* dest, int size, const char* source, long long n) {
    if (n > size - 1) n = size - 1;
    if (n > 0) memcpy(dest, source, size_t(n));
    dest[n > 0 ? n : 0] = 0;
}

}  // namespace

void IniText::Release() {
    delete[] data;
    data = 0;
    cursor = 0;
    length = 0;
    capacity = 0;
}

bool IniText::Load(const char* fileName) {
    Release();
    HANDLE file = CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = false;
    // The high part is asked for only to refuse a file of 4 GiB or more,
    // which the low part alone would silently shorten.
    DWORD high = 0;
    DWORD size = GetFileSize(file, &high);
    if (size != INVALID_FILE_SIZE && high == 0 && (long long)size + 1 <= kMaxBytes) {
        char* bytes = AllocationRefused() ? NULL : new (std::nothrow) char[size_t(size) + 1];
        if (bytes) {
            data = bytes;
            length = int(size);
            capacity = size + 1;
            DWORD read = 0;
            ok = ReadFile(file, data, size, &read, NULL) && read == size;
        }
    }
    if (!ok) Release();
    CloseHandle(file);
    return ok;
}

bool IniText::Save(const char* fileName) const { return WriteWholeFile(fileName, data, length); }

bool IniText::MakeRoom(int n) {
    if (n <= 0) return true;
    long long required = (long long)length + n;
    if (required <= (long long)capacity) return true;
    if (required > kMaxBytes) return false;
    long long grown = required + kSlack;
    if (grown > kMaxBytes) grown = kMaxBytes;
    char* bytes = AllocationRefused() ? NULL : new (std::nothrow) char[size_t(grown)];
    if (!bytes) return false;
    if (length > 0) memcpy(bytes, data, size_t(length));
    if (cursor) cursor = bytes + (cursor - data);
    delete[] data;
    data = bytes;
    capacity = unsigned(grown);
    return true;
}

const char* IniText::CStr() {
    if (!MakeRoom(1)) return "";
    data[length] = 0;
    return data;
}

const char* IniText::NextLine(const char* p) {
    const char* lf = strchr(p, '\n');
    return lf ? lf + 1 : p + strlen(p);
}

const char* IniText::EndOfLine(const char* p) {
    while (*p && *p != '\r' && *p != '\n') p++;
    return p;
}

const char* IniText::SkipBlanks(const char* p) {
    while (IsBlank(*p)) p++;
    return p;
}

bool IniText::FindSection(const char* name) {
    const char* t = CStr();
    if (!data) {
        // No array could be had: there is no text for the cursor to point into.
        cursor = 0;
        return false;
    }
    size_t n = strlen(name);
    for (;;) {
        if (t[0] == '[' && NameAt(t + 1, name, n) && t[1 + n] == ']') {
            cursor = data + (NextLine(t) - data);
            return true;
        }
        t = NextLine(t);
        if (!*t) {
            cursor = data + (t - data);
            return false;
        }
    }
}

bool IniText::FindKey(const char* key, const char** value, int* valueLength) const {
    if (!cursor) return false;
    size_t n = strlen(key);
    for (const char* p = cursor; *p && *p != '['; p = NextLine(p)) {
        if (!NameAt(p, key, n)) continue;
        const char* q = SkipBlanks(p + n);
        if (*q != '=') continue;
        *value = q + 1;
        *valueLength = int(EndOfLine(q + 1) - (q + 1));
        return true;
    }
    return false;
}

bool IniText::GetValue(const char* key, char* dest, int size) const {
    if (size <= 0) return false;
    const char* value = NULL;
    int n = 0;
    if (!FindKey(key, &value, &n)) {
        dest[0] = 0;
        return false;
    }
    while (n > 0 && IsBlank(*value)) {
        value++;
        n--;
    }
    while (n > 0 && IsBlank(value[n - 1])) n--;
    CopyBounded(dest, size, value, n);
    return true;
}

bool IniText::GetSectionText(char* dest, int size) const {
    if (size <= 0) return false;
    if (!cursor) {
        dest[0] = 0;
        return false;
    }
    const char* end = cursor;
    while (*end && *end != '[') end = NextLine(end);
    while (end > cursor && IsBlank(end[-1])) end--;
    CopyBounded(dest, size, cursor, end - cursor);
    return true;
}

bool IniText::ReplaceValue(const char* key, const char* value) {
    const char* oldValue = NULL;
    int oldLength = 0;
    if (!FindKey(key, &oldValue, &oldLength)) return false;
    // The array may move below; the value is kept as an offset.
    int at = int(oldValue - data);
    size_t m = strlen(value);
    long long delta = (long long)m - oldLength;
    // One byte more than the new text, so that the NUL below always fits.
    if ((long long)length + delta + 1 > kMaxBytes || !MakeRoom(int(delta + 1))) return false;
    int tail = length - (at + oldLength);
    memmove(data + at + m, data + at + oldLength, size_t(tail));
    if (m) memcpy(data + at, value, m);
    length += int(delta);
    // Lookups that follow without a section search stop here, not past the text.
    data[length] = 0;
    return true;
}
