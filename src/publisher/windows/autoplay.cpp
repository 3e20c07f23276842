// What AutoPlay reads from autorun.inf and which program it starts.
#include "autoplay.h"

#include "cmd_tokenizer.h"
#include "code_page.h"
#include "ini_text.h"
#include "version_info.h"
#include "windows_files.h"

#include <sys/stat.h>

#include <cstring>

namespace publisher {

namespace {

bool IsBlank(char c) { return std::uint8_t(c) >= 0x01 && std::uint8_t(c) <= 0x20; }

Encoding EncodingOf(const IniText& ini) {
    std::string_view head(ini.data ? ini.data : "", ini.length < 3 ? size_t(ini.length) : 3);
    if (head == "\xEF\xBB\xBF") return Encoding::Utf8Bom;
    head = head.substr(0, 2);
    if (head == "\xFF\xFE" || head == "\xFE\xFF") return Encoding::Utf16;
    return Encoding::Ansi;
}

// The text Windows reads, in ANSI, written back into the document: it is
// never longer than the bytes it came from.
void DecodeInPlace(IniText& ini, Encoding encoding) {
    std::string text;
    if (encoding == Encoding::Utf8Bom) {
        text.assign(ini.data + 3, size_t(ini.length) - 3);
    } else {
        bool big = std::uint8_t(ini.data[0]) == 0xFE;
        Utf8ToAnsi(Utf16ToUtf8(std::string(ini.data + 2, size_t(ini.length) - 2), big), &text);
    }
    if (!text.empty()) std::memcpy(ini.data, text.data(), text.size());
    ini.length = int(text.size());
}

// Whether the last part of an ANSI name has a dot, read in the code page as
// Windows reads it: the second byte of a character can be a backslash.
bool HasExtension(const std::string& ansi) {
    std::string name = AnsiToUtf8(ansi);
    size_t slash = name.find_last_of("\\/");
    return name.find('.', slash == std::string::npos ? 0 : slash + 1) != std::string::npos;
}

// The first token as the line spells it, for an option in first place.
std::string FirstTokenAsWritten(const CmdTokenizer& tokens) {
    const char* start = tokens.line;
    while (IsBlank(*start)) start++;
    const char* end = tokens.cursor;
    size_t length = std::strlen(tokens.line);
    if (end < tokens.line || end > tokens.line + length) end = tokens.line + length;  // an unclosed quote
    return std::string(start, size_t(end - start));
}

}  // namespace

bool IsLauncherFile(const std::string& posixPath, std::uint64_t size) {
    return IsOndrelleLauncher(VersionStringsOfFile(posixPath, size));
}

AutorunFile ReadAutorunFile(const std::string& windowsPath, bool asWindows) {
    AutorunFile file;
    IniText ini;
    if (!ini.Load(windowsPath.c_str())) return file;
    file.found = true;
    file.encoding = EncodingOf(ini);
    if (asWindows && file.encoding != Encoding::Ansi) DecodeInPlace(ini, file.encoding);
    ini.FindSection("autorun");
    char value[MAX_PATH];
    if (!ini.GetValue("open", value, MAX_PATH)) return file;
    file.open = value;
    const char* raw = nullptr;
    int n = 0;
    ini.FindKey("open", &raw, &n);
    while (n > 0 && IsBlank(*raw)) raw++, n--;
    while (n > 0 && IsBlank(raw[n - 1])) n--;
    file.cut = n > MAX_PATH - 1;
    return file;
}

AutoPlay ReadAutoPlay() {
    AutoPlay autoplay;
    autoplay.autorun = ReadAutorunFile("D:\\autorun.inf", true);
    if (!autoplay.autorun.open) return autoplay;

    CmdTokenizer tokens;
    tokens.SetLine(autoplay.autorun.open->c_str());
    std::string name;
    if (tokens.Next()) {
        if (tokens.option == 0) {
            autoplay.starts = true;
            name = tokens.token;
            // As CreateProcess does.
            if (!HasExtension(name)) name += ".exe";
        } else {
            name = FirstTokenAsWritten(tokens);
        }
    }
    autoplay.program = "D:\\" + name;
    if (!autoplay.starts) return autoplay;

    std::string posix;
    struct stat st;
    if (!PosixPathOf(*autoplay.program, &posix) || stat(posix.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return autoplay;
    autoplay.exists = true;
    autoplay.launcher = IsLauncherFile(posix, std::uint64_t(st.st_size));
    return autoplay;
}

}  // namespace publisher
