// libisofs, set up once for the process: names in UTF-8 whatever the locale,
// and its messages kept for our errors instead of printed.
#ifndef ONDRELLE_PUBLISHER_ISO_LIBRARY_H
#define ONDRELLE_PUBLISHER_ISO_LIBRARY_H

#include <cstdint>
#include <cstdlib>
// The struct burn_source that libisofs hands out, without libburn's headers.
#define LIBISOFS_WITHOUT_LIBBURN 1
#include <libisofs/libisofs.h>

#include <string>

namespace publisher {

// False, with the reason in `failure`, when libisofs cannot start.
bool StartIsoLibrary(std::string* failure);

// The sentence for a libisofs result code, with the library's last message.
std::string IsoFailure(int code);

}  // namespace publisher

#endif
