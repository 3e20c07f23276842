// What Windows AutoPlay does with the disc: it reads the open= value of the
// root's autorun.inf and starts its first token, relative to D:\. Read with
// the launcher's own INI document and tokenizer, over drive D: as mapped.
#ifndef ONDRELLE_PUBLISHER_AUTOPLAY_H
#define ONDRELLE_PUBLISHER_AUTOPLAY_H

#include <cstdint>
#include <optional>
#include <string>

namespace publisher {

enum class Encoding { Ansi, Utf8Bom, Utf16 };

struct AutorunFile {
    bool found = false;  // it could be read
    Encoding encoding = Encoding::Ansi;
    std::optional<std::string> open;  // as GetValue gives it: trimmed, at most 259 bytes, ANSI
    bool cut = false;                 // the value was longer than 259 bytes
};

// The autorun.inf at a Windows path. Windows drops a UTF-8 byte order mark
// and decodes UTF-16 first (`asWindows`); the launcher reads the bytes as
// they are.
AutorunFile ReadAutorunFile(const std::string& windowsPath, bool asWindows);

struct AutoPlay {
    AutorunFile autorun;                // the root's, as Windows reads it
    std::optional<std::string> program;  // D:\ and the first token (ANSI); none without open=
    bool starts = false;                // the first token is a program name
    bool exists = false;                // and names a file
    bool launcher = false;              // whose version resource says it is Ondrelle's launcher
};

AutoPlay ReadAutoPlay();

// True when the file's version resource says it is Ondrelle's launcher.
bool IsLauncherFile(const std::string& posixPath, std::uint64_t size);

}  // namespace publisher

#endif
