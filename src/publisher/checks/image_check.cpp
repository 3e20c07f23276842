// An image checked as a site folder is: its tree laid out in a scratch folder for the file layer.
#include "image_check.h"

#include "code_page.h"
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

}  // namespace

Result<bool> LayOut(const DiscTree& tree, const fs::path& folder, LayOutBytes which) {
    return LayOutFolder(tree, tree.root, folder, which);
}

Result<CheckResult> CheckImage(const fs::path& image, const CodePages& codePages, const Medium& medium) {
    Result<ImageTree> read = ReadImageTree(image);
    if (!read) return Error{read.error()};
    return CheckImageTree(read.value(), CheckScope::Everything, codePages, medium);
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
