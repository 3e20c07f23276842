// Any text as CSS through StyleReferences: every reference is UTF-8, lies on
// one of the text's lines, and comes back unchanged when written again as
// url("...") on its own.
#include "code_page.h"
#include "fuzz_site.h"
#include "stylesheet.h"

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

unsigned LineCount(std::string_view text) {
    unsigned lines = 1;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '\r' || text[i] == '\f' || (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))) lines++;
    }
    return lines;
}

std::string QuotedUrl(const std::string& url) {
    std::string css = "a{b:url(\"";
    for (char c : url) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            css += '\\';
            css += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            char hex[8];
            snprintf(hex, sizeof hex, "\\%x ", byte);
            css += hex;
        } else {
            css += c;
        }
    }
    return css + "\")}";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view css(reinterpret_cast<const char*>(data), size);
    unsigned lines = LineCount(css);
    for (const publisher::StyleReference& reference : publisher::StyleReferences(css)) {
        FUZZ_CHECK(!reference.url.empty(), "an empty reference");
        FUZZ_CHECK(IsUtf8(reference.url), "a reference that is not UTF-8");
        FUZZ_CHECK(reference.line >= 1 && reference.line <= lines, "a reference outside the text's lines");
        std::vector<publisher::StyleReference> again = publisher::StyleReferences(QuotedUrl(reference.url));
        FUZZ_CHECK(again.size() == 1 && again[0].url == reference.url && again[0].line == 1 && !again[0].import,
                   "a reference that does not come back from url(\"...\")");
    }
    return 0;
}
