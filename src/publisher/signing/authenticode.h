// Authenticode: the signature in a Windows program that names its publisher,
// which Windows Vista and later show before a program from a disc runs.
// osslsigncode makes and reads them; its output is what this reads.
#ifndef ONDRELLE_PUBLISHER_AUTHENTICODE_H
#define ONDRELLE_PUBLISHER_AUTHENTICODE_H

#include "result.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace publisher {

struct SigningRequest {
    std::filesystem::path certificate;  // PKCS#12: the certificate with its private key
    std::string password;
    std::string description;   // shown by Windows as the program's name
    std::string url;           // "" for none
    std::string timestampUrl;  // an RFC 3161 time-stamp authority; "" for none
    // The signing time it records, seconds since 1970; by default now. With
    // it, and without a time stamp, one program and certificate give one file.
    std::optional<std::int64_t> signingTime;
};

struct Signature {
    bool present = false;
    bool matches = false;   // the program's digest is the one that was signed
    bool verified = false;  // and its certificate leads to a trusted root
    std::string signer;     // the certificate's common name: the publisher Windows names
    std::string issuer;     // the common name of who issued it
    std::int64_t notBefore = 0, notAfter = 0;  // seconds since 1970; 0 when not said
    std::optional<std::int64_t> timestamp;     // when a time-stamp authority saw it signed
    std::string problem;    // why it did not verify, as OpenSSL says it
};

// What to tell a publisher whose machine lacks the signer.
extern const char kInstallSigner[];

// The signature of `program`, checked against the roots the machine trusts
// (SSL_CERT_FILE, else Debian's bundle); an error, which says what to
// install when that is why, when osslsigncode cannot read it.
Result<Signature> ReadSignature(const std::filesystem::path& program);

// Signs `in` into `out` with SHA-256 and reads the signature back; an error,
// and no `out`, when the certificate cannot sign now.
Result<Signature> SignProgram(const std::filesystem::path& in, const std::filesystem::path& out,
                              const SigningRequest& request);

// "2026-12-21", and "2026-12-21T11:20:46Z", for seconds since 1970.
std::string DayOf(std::int64_t seconds);
std::string MomentOf(std::int64_t seconds);

}  // namespace publisher

#endif
