// What Windows Vista and later tell the reader of the launcher's publisher
// before it runs from the disc: its Authenticode signature, as findings.
#ifndef ONDRELLE_PUBLISHER_LAUNCHER_SIGNATURE_H
#define ONDRELLE_PUBLISHER_LAUNCHER_SIGNATURE_H

#include "authenticode.h"
#include "findings.h"

#include <optional>
#include <string>

namespace publisher {

// Reads the signature of the program at `posixPath`, shown as `shown` and
// found at `path` on the disc; nullopt when it could not be read.
std::optional<Signature> CheckLauncherSignature(const std::string& posixPath, const std::string& shown,
                                                const std::string& path, Findings& findings);

}  // namespace publisher

#endif
