// Signatures made and read by osslsigncode, as a program: its verify report
// is read line by line, in the forms of its versions 2.5 to 2.9.
#include "authenticode.h"

#include "child_process.h"

#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <system_error>
#include <vector>

namespace publisher {

namespace fs = std::filesystem;

const char kInstallSigner[] = "osslsigncode, which signs and reads the launcher's signature, is not installed: "
                              "install it (apt install osslsigncode)";

namespace {

const char kSigner[] = "osslsigncode";

std::string Trim(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// What follows `key` on a line that begins with it, trimmed; nullopt else.
std::optional<std::string> ValueAfter(const std::string& line, const std::string& key) {
    std::string trimmed = Trim(line);
    if (trimmed.compare(0, key.size(), key) != 0) return std::nullopt;
    return Trim(trimmed.substr(key.size()));
}

// "Dec 21 11:20:46 2026 GMT", as OpenSSL prints a time.
std::int64_t ParseTime(const std::string& text) {
    std::tm parts{};
    if (!strptime(text.c_str(), "%b %d %H:%M:%S %Y", &parts)) return 0;
    return std::int64_t(timegm(&parts));
}

// The common name of "/CN=Example Ltd/O=Example Ltd", or the whole name
// when it has none.
std::string CommonName(const std::string& name) {
    size_t at = name.find("/CN=");
    if (at == std::string::npos) return name;
    at += 4;
    size_t end = at;
    // A '/' inside a value is kept; one that starts the next key=value ends it.
    while ((end = name.find('/', end)) != std::string::npos) {
        size_t equals = name.find('=', end);
        size_t slash = name.find('/', end + 1);
        if (equals != std::string::npos && (slash == std::string::npos || equals < slash)) break;
        end++;
    }
    return name.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

std::string FirstLines(const std::string& output, int count) {
    std::string lines;
    size_t at = 0;
    while (count > 0 && at < output.size()) {
        size_t end = output.find('\n', at);
        if (end == std::string::npos) end = output.size();
        std::string line = Trim(output.substr(at, end - at));
        at = end + 1;
        if (line.empty() || line == "Failed" || line == "Succeeded") continue;
        lines += (lines.empty() ? "" : "; ") + line;
        count--;
    }
    return lines;
}

Result<Signature> ParseVerifyReport(const std::string& report) {
    Signature signature;
    if (report.find("No signature found") != std::string::npos) return signature;
    // Anything else it could not take for a signed program.
    if (report.find("Current message digest") == std::string::npos) {
        return Error{"osslsigncode could not read it (" + FirstLines(report, 2) + ")"};
    }
    signature.present = true;
    std::string current, calculated;
    enum { Before, SignerBlock, After } block = Before;
    size_t at = 0;
    while (at < report.size()) {
        size_t end = report.find('\n', at);
        if (end == std::string::npos) end = report.size();
        std::string line = report.substr(at, end - at);
        at = end + 1;
        if (auto value = ValueAfter(line, "Current message digest")) current = Trim(value->substr(1));
        if (auto value = ValueAfter(line, "Calculated message digest")) calculated = Trim(value->substr(1));
        if (auto value = ValueAfter(line, "Timestamp time:")) signature.timestamp = ParseTime(*value);
        if (auto value = ValueAfter(line, "The signature is timestamped:")) signature.timestamp = ParseTime(*value);
        if (ValueAfter(line, "Signature verification: ok")) signature.verified = true;
        if (signature.problem.empty()) {
            size_t error = line.find("Verify error: ");
            if (error != std::string::npos) {
                signature.problem = Trim(line.substr(error + 14));
            } else if (auto value = ValueAfter(line, "Error:")) {
                size_t colon = value->rfind(": ");
                signature.problem = colon == std::string::npos ? *value : value->substr(colon + 2);
            }
        }
        // The first certificate after this line is the signer's own.
        if (block == Before && ValueAfter(line, "Signer's certificate:")) block = SignerBlock;
        if (block != SignerBlock) continue;
        if (auto value = ValueAfter(line, "Subject:")) signature.signer = CommonName(*value);
        if (auto value = ValueAfter(line, "Issuer :")) signature.issuer = CommonName(*value);
        if (auto value = ValueAfter(line, "notBefore :")) signature.notBefore = ParseTime(*value);
        if (auto value = ValueAfter(line, "notAfter :")) {
            signature.notAfter = ParseTime(*value);
            block = After;
        }
    }
    // "7523AE... MISMATCH!!!" when the file was changed after signing.
    signature.matches = !current.empty() && calculated == current;
    return signature;
}

// The roots to verify against: those OpenSSL's users name, else Debian's.
std::string TrustedRoots() {
    const char* named = std::getenv("SSL_CERT_FILE");
    if (named && *named) return named;
    const char* debian = "/etc/ssl/certs/ca-certificates.crt";
    return access(debian, R_OK) == 0 ? debian : "";
}

// Later versions fetch revocation lists named in a certificate unless told
// not to; the check stays offline, and so it cannot hang.
bool KnowsIgnoreCdp() {
    static const bool knows = [] {
        Result<ProgramRun> help = RunProgram({kSigner, "--help"});
        return help && help->output.find("-ignore-cdp") != std::string::npos;
    }();
    return knows;
}


// Why osslsigncode did not sign, in the publisher's terms.
std::string SigningFailure(const std::string& output, const SigningRequest& request) {
    std::string certificate = request.certificate.string();
    if (output.find("Wrong password") != std::string::npos || output.find("mac verify failure") != std::string::npos) {
        return "the password does not open " + certificate + ": give the one it was exported with";
    }
    if (output.find("Failed to extract PKCS#12") != std::string::npos ||
        output.find("Type=PKCS12") != std::string::npos) {
        return certificate + " is not a PKCS#12 file (.pfx, .p12): export the code-signing certificate with its "
                             "private key in that form";
    }
    if (!request.timestampUrl.empty() &&
        (output.find("imestamp") != std::string::npos || output.find("Connect") != std::string::npos)) {
        return "no time stamp came from " + request.timestampUrl + " (" + FirstLines(output, 3) + ")";
    }
    return "osslsigncode could not sign the launcher: " + FirstLines(output, 3);
}

std::string Formatted(std::int64_t seconds, const char* format) {
    time_t time = time_t(seconds);
    std::tm parts{};
    gmtime_r(&time, &parts);
    char text[32];
    std::strftime(text, sizeof text, format, &parts);
    return text;
}

}  // namespace

std::string DayOf(std::int64_t seconds) { return Formatted(seconds, "%Y-%m-%d"); }

std::string MomentOf(std::int64_t seconds) { return Formatted(seconds, "%Y-%m-%dT%H:%M:%SZ"); }

Result<Signature> ReadSignature(const fs::path& program) {
    std::vector<std::string> arguments{kSigner, "verify", "-in", program.string()};
    std::string roots = TrustedRoots();
    if (!roots.empty()) arguments.insert(arguments.end(), {"-CAfile", roots, "-TSA-CAfile", roots});
    if (KnowsIgnoreCdp()) arguments.push_back("-ignore-cdp");
    bool missing = false;
    Result<ProgramRun> run = RunProgram(arguments, "", &missing);
    if (!run) return Error{missing ? std::string(kInstallSigner) : run.error()};
    return ParseVerifyReport(run->output);
}

Result<Signature> SignProgram(const fs::path& in, const fs::path& out, const SigningRequest& request) {
    std::error_code ec;
    if (!fs::is_regular_file(request.certificate, ec)) {
        return Error{"cannot read the certificate " + request.certificate.string() +
                     (fs::exists(request.certificate, ec) ? ": it is not a file" : ": there is no such file")};
    }
    // The password goes through a pipe: an argument would be in the process
    // list, a file would be left behind.
    std::vector<std::string> arguments{kSigner, "sign", "-pkcs12", request.certificate.string(), "-readpass",
                                       "/dev/stdin", "-h", "sha256", "-n", request.description};
    if (!request.url.empty()) arguments.insert(arguments.end(), {"-i", request.url});
    if (!request.timestampUrl.empty()) arguments.insert(arguments.end(), {"-ts", request.timestampUrl});
    if (request.signingTime) arguments.insert(arguments.end(), {"-time", std::to_string(*request.signingTime)});
    arguments.insert(arguments.end(), {"-in", in.string(), "-out", out.string()});
    bool missing = false;
    // osslsigncode waits for a time-stamp authority that never answers for as
    // long as it takes; the publisher is told instead.
    Result<ProgramRun> run = RunProgram(arguments, request.password, &missing, 60);
    if (!run && !missing && !request.timestampUrl.empty()) {
        return Error{"no time stamp came from " + request.timestampUrl + " (" + run.error() + "): try again, or "
                     "name another of the authority's time-stamp servers"};
    }
    if (!run) return Error{missing ? std::string(kInstallSigner) : run.error()};
    auto fail = [&](const std::string& why) {
        fs::remove(out, ec);
        return Error{why};
    };
    if (run->status != 0 || !fs::is_regular_file(out, ec)) return fail(SigningFailure(run->output, request));
    Result<Signature> signature = ReadSignature(out);
    if (!signature) return fail(signature.error());
    if (!signature->present || !signature->matches) {
        return fail("the launcher signed by osslsigncode does not verify: " + FirstLines(run->output, 3));
    }
    std::int64_t now = std::int64_t(std::time(nullptr));
    if (signature->notAfter != 0 && signature->notAfter < now) {
        return fail("the certificate of " + signature->signer + " in " + request.certificate.string() +
                    " expired on " + DayOf(signature->notAfter) +
                    ", and Windows takes no signature made with it now: renew it with its certificate authority");
    }
    if (signature->notBefore > now) {
        return fail("the certificate of " + signature->signer + " in " + request.certificate.string() +
                    " is valid only from " + DayOf(signature->notBefore) + ": sign from that day on");
    }
    return signature;
}

}  // namespace publisher
