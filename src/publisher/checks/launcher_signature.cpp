// The launcher's signature: a note when Windows will name its publisher, a
// warning for each reason it will not.
#include "launcher_signature.h"

#include <ctime>

namespace publisher {

namespace {

const char kAsked[] = "Windows Vista to 11 ask the reader whether to run it when the disc goes in, and name no "
                      "publisher";

}  // namespace

std::optional<Signature> CheckLauncherSignature(const std::string& posixPath, const std::string& shown,
                                                const std::string& path, Findings& findings) {
    Result<Signature> read = ReadSignature(posixPath);
    if (!read) {
        findings.Add("signature-unread", path,
                     "Whether " + shown + " is signed was not read: " + read.error() + ".");
        return std::nullopt;
    }
    const Signature& signature = read.value();
    std::string by = signature.signer.empty() ? std::string("an unnamed signer") : signature.signer;
    if (!signature.present) {
        findings.Add("launcher-unsigned", path,
                     shown + " is not signed, so " + kAsked + "; sign it with ondrelle disc --sign CERT.pfx.");
    } else if (!signature.matches) {
        findings.Add("signature-mismatch", path,
                     shown + " carries a signature" + (signature.signer.empty() ? "" : " of " + by) +
                         " that does not match the file as it is: it was changed after it was signed, so " + kAsked +
                         "; sign it again.");
    } else {
        std::int64_t now = std::int64_t(std::time(nullptr));
        bool expired = signature.notAfter != 0 && signature.notAfter < now;
        if (!signature.timestamp) {
            findings.Add("signature-expires", path,
                         shown + " is signed by " + by + " without a time stamp, so the signature " +
                             (expired ? "ended when the certificate expired on " + DayOf(signature.notAfter) + ": " +
                                            kAsked
                                      : "holds only until the certificate expires on " + DayOf(signature.notAfter) +
                                            ", and the disc lives on") +
                             "; sign it with --timestamp and the time-stamp service of the certificate authority.");
        }
        bool expiryExplains = expired && !signature.timestamp;
        if (!signature.verified && !expiryExplains) {
            findings.Add("signature-untrusted", path,
                         shown + " is signed by " + by + ", whose certificate from " + signature.issuer +
                             " does not verify against the roots this machine trusts (" +
                             (signature.problem.empty() ? "no reason given" : signature.problem) +
                             "), so Windows would not name the publisher either; sign it with a certificate from an "
                             "authority that Windows trusts.");
        } else if (signature.verified) {
            findings.Add("launcher-signed", path,
                         shown + " is signed by " + by + " (certificate from " + signature.issuer + ", until " +
                             DayOf(signature.notAfter) + ")" +
                             (signature.timestamp ? ", time-stamped on " + DayOf(*signature.timestamp) : "") +
                             ", and the signature matches it: Windows Vista to 11 name " + by +
                             " as its publisher when they ask whether to run it.");
        }
    }
    return signature;
}

}  // namespace publisher
