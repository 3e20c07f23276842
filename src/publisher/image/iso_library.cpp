// libisofs started once, and its messages turned into our errors.
#include "iso_library.h"

namespace publisher {

bool StartIsoLibrary(std::string* failure) {
    static int started = 0;  // 1: running; -1: failed
    if (started == 0) {
        started = iso_init() < 0 ? -1 : 1;
        if (started > 0) {
            iso_set_local_charset(const_cast<char*>("UTF-8"), 0);
            iso_set_msgs_severities(const_cast<char*>("FAILURE"), const_cast<char*>("NEVER"),
                                    const_cast<char*>("ondrelle"));
            std::atexit([] { iso_finish(); });
        }
    }
    if (started < 0) *failure = "libisofs could not start";
    return started > 0;
}

std::string IsoFailure(int code) {
    std::string text = iso_error_to_msg(code);
    // The queue holds the library's own account, with file names; the newest wins.
    char message[4096];
    char severity[80];
    int error = 0, image = 0;
    std::string detail;
    while (iso_obtain_msgs(const_cast<char*>("ALL"), &error, &image, message, severity) > 0) {
        detail = message;
    }
    if (!detail.empty() && detail != text) text += " (" + detail + ")";
    return text;
}

}  // namespace publisher
