// An image checked as a site folder is: its tree laid out in a scratch folder for the file layer.
#include "image_check.h"

#include "code_page.h"
#include "display_path.h"
#include "image_proof.h"
#include "scratch_folder.h"

#include <fstream>
#include <system_error>

namespace publisher {

namespace fs = std::filesystem;

namespace {

// Programs are read for their version resource, which sits near the start of
// a small launcher; a big installer beyond this is laid out empty.
constexpr std::uint64_t kProgramLimit = 64ull << 20;

bool EndsWithIgnoringCase(const std::string& name, const std::string& tail) {
    return name.size() >= tail.size() && SameNameIgnoringCase(name.substr(name.size() - tail.size()), tail);
}

bool NeedsBytes(const DiscNode& file) {
    bool autorun = file.name.size() == 11 && EndsWithIgnoringCase(file.name, "autorun.inf");
    return autorun || (EndsWithIgnoringCase(file.name, ".exe") && file.size <= kProgramLimit);
}

Result<bool> LayOutFolder(const DiscTree& tree, const DiscNode& folder, const fs::path& dir, LayOutBytes which) {
    for (const DiscNode& child : folder.children) {
        fs::path path = dir / child.name;
        std::error_code ec;
        if (child.kind == NodeKind::Folder) {
            if (!fs::create_directory(path, ec) && ec) {
                return Error{"cannot lay out " + path.string() + ": " + ec.message()};
            }
            Result<bool> inner = LayOutFolder(tree, child, path, which);
            if (!inner) return inner;
        } else if (child.kind == NodeKind::File) {
            std::string bytes;
            if (which == LayOutBytes::Every || NeedsBytes(child)) {
                Result<std::string> read = tree.Read(child, child.size);
                if (!read) return Error{read.error()};
                bytes = std::move(read.value());
            }
            std::ofstream out(path, std::ios::binary);
            out.write(bytes.data(), std::streamsize(bytes.size()));
            if (!out) return Error{"cannot lay out " + path.string()};
        }
    }
    return true;
}

void AddProofFindings(const ImageProof& proof, Findings& findings) {
    for (const ImageDamage& damage : proof.damage) {
        findings.Add("image-damaged", DisplayPath(damage.path),
                     damage.what + (damage.path.empty() ? " Make the image again, or copy it again from one that is "
                                                          "whole."
                                                        : ""));
    }
    if (proof.checksumsLost) {
        findings.Add("image-unproven", "",
                     "Whatever MD5 checksums the image records are at the end of its session, which is cut off, so "
                     "whether the rest holds what was written cannot be proven.");
    } else if (!proof.checksums) {
        findings.Add("image-unproven", "",
                     "The image records no MD5 checksums, so whether its files hold what was written cannot be "
                     "proven; only its length, its extents and its trees were checked. ondrelle disc and xorriso -md5 "
                     "on record them.");
    }
}

}  // namespace

Result<bool> LayOut(const DiscTree& tree, const fs::path& folder, LayOutBytes which) {
    return LayOutFolder(tree, tree.root, folder, which);
}

Result<CheckResult> CheckImage(const fs::path& image, const CodePages& codePages, const Medium& medium,
                               bool progress) {
    Result<ImageProof> proof = ProveImage(image, progress);
    if (!proof) return Error{proof.error()};
    Result<ImageTree> read = ReadImageTree(image);
    Result<CheckResult> checked = read ? CheckImageTree(read.value(), CheckScope::Everything, codePages, medium)
                                       : Result<CheckResult>(Error{read.error()});
    if (!checked && proof->whole()) return checked;
    CheckResult result;
    if (checked) {
        result = std::move(checked.value());
    } else {
        // What Windows must read to play the disc is damaged: it starts nothing.
        for (unsigned codePage : codePages.empty() ? kWesternWindows : codePages) {
            Play play;
            play.codePage = codePage;
            play.outcome.why = "The image is damaged where Windows reads it to play the disc (" + checked.error() +
                               "), so Windows starts nothing.";
            result.plays.push_back(std::move(play));
        }
    }
    AddProofFindings(proof.value(), result.findings);
    result.image = std::move(proof.value());
    return result;
}

Result<CheckResult> CheckImageTree(ImageTree& image, CheckScope scope, const CodePages& codePages,
                                   const Medium& medium) {
    Result<ScratchFolder> scratch = ScratchFolder::Create();
    if (!scratch) return Error{scratch.error()};
    DiscTree& tree = image.tree;
    Result<bool> laidOut = LayOut(tree, scratch->path(), LayOutBytes::ForDryRun);
    if (!laidOut) return Error{laidOut.error()};
    tree.folder = scratch->path();
    CheckResult result = CheckDisc(tree, scope, codePages, medium);
    if (!image.joliet) {
        result.findings.Add("image-no-joliet", "",
                            "The image has no Joliet names, so Windows shows the short ISO 9660 names (8.3, upper "
                            "case); make it again with ondrelle disc.");
    }
    return result;
}

}  // namespace publisher
