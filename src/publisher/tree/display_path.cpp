// Names and paths as people and JSON see them: always UTF-8.
#include "display_path.h"

#include "code_page.h"

namespace publisher {

std::string DisplayPath(const std::string& raw) {
    std::string shown;
    unsigned c;
    for (size_t at = 0; at < raw.size();) {
        size_t start = at;
        if (NextCodePoint(raw, &at, &c)) {
            shown.append(raw, start, at - start);
        } else {
            AppendUtf8(&shown, Windows1252ToUnicode(static_cast<unsigned char>(raw[start])));
        }
    }
    return shown;
}

}  // namespace publisher
