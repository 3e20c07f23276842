// Names, paths and counts as people and JSON see them: always UTF-8.
#include "display_path.h"

#include "code_page.h"

#include <algorithm>

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

std::string WindowsForm(const std::string& raw) {
    std::string shown = "D:\\" + DisplayPath(raw);
    std::replace(shown.begin(), shown.end(), '/', '\\');
    return shown;
}

std::string Counted(std::uint64_t n, const char* one, const char* many) {
    std::string digits = std::to_string(n), grouped;
    for (std::size_t i = 0; i < digits.size(); i++) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
        grouped += digits[i];
    }
    return grouped + " " + (n == 1 ? one : many);
}

std::string FirstFew(const std::vector<std::string>& items, std::size_t shown) {
    // Never "and 1 more": the one fits in its place.
    std::size_t listed = items.size() <= shown + 1 ? items.size() : shown;
    std::string text;
    for (std::size_t i = 0; i < listed; i++) {
        text += (i == 0 ? "" : i + 1 == listed && listed == items.size() ? " and " : ", ") + items[i];
    }
    if (listed < items.size()) text += " and " + Counted(items.size() - listed, "more", "more");
    return text;
}

}  // namespace publisher
