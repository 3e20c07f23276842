// Any file as a program whose version resource the tool reads: no read
// outside the bytes, and strings that are UTF-8.
#include "code_page.h"
#include "fuzz_site.h"
#include "version_info.h"

#include <stdint.h>

#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view image(reinterpret_cast<const char*>(data), size);
    for (const auto& [key, value] : publisher::VersionStringsOf(image)) {
        FUZZ_CHECK(IsUtf8(key) && IsUtf8(value), "a version string that is not UTF-8");
    }
    return 0;
}
