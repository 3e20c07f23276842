// The tree of a site folder, read with lstat, and what cannot go onto a disc as it is.
#include "disc_tree.h"

#include "display_path.h"

#include <algorithm>
#include <iterator>
#include <fstream>
#include <system_error>

namespace publisher {

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kFileLimit = 4ull << 30;     // ISO 9660 sizes are 32-bit
constexpr std::uint64_t kSector = 2048;

bool Inside(const fs::path& path, const fs::path& root) {
    const std::string& p = path.native();
    const std::string& r = root.native();
    return p == r || (p.size() > r.size() && p.compare(0, r.size(), r) == 0 &&
                      (r.back() == '/' || p[r.size()] == '/'));
}

struct FolderReader {
    fs::path root;  // canonical
    std::vector<fs::path> ancestors;  // canonical folders from the root down
    std::string failure;

    bool Fail(const fs::path& path, const std::error_code& ec) {
        failure = "cannot read " + path.string() + ": " + ec.message();
        return false;
    }

    // The entry as the disc gets it: a link inside the site becomes what it
    // leads to, named as the link.
    bool ReadEntry(const fs::path& path, DiscNode& node) {
        std::error_code ec;
        fs::file_status status = fs::symlink_status(path, ec);
        if (ec) return Fail(path, ec);
        fs::path followed;  // canonical, when a link led to a folder
        if (fs::is_symlink(status)) {
            node.linkTarget = fs::read_symlink(path, ec).string();
            fs::path target = fs::canonical(path, ec);
            if (ec) {
                node.kind = NodeKind::Link;
                node.trouble = ec == std::errc::too_many_symbolic_link_levels ? LinkTrouble::Loop
                                                                              : LinkTrouble::Broken;
                return true;
            }
            if (!Inside(target, root)) {
                node.kind = NodeKind::Link;
                node.trouble = LinkTrouble::Outside;
                return true;
            }
            status = fs::status(target, ec);
            if (ec) return Fail(path, ec);
            if (fs::is_directory(status)) {
                if (std::find(ancestors.begin(), ancestors.end(), target) != ancestors.end()) {
                    node.kind = NodeKind::Link;
                    node.trouble = LinkTrouble::Loop;
                    return true;
                }
                followed = target;
            }
        }
        node.origin = path.string();
        if (fs::is_directory(status)) {
            node.kind = NodeKind::Folder;
            if (followed.empty()) followed = fs::canonical(path, ec);
            if (ec) return Fail(path, ec);
            return ReadFolder(path, followed, node);
        }
        if (fs::is_regular_file(status)) {
            node.kind = NodeKind::File;
            node.size = fs::file_size(path, ec);
            if (ec) return Fail(path, ec);
            return true;
        }
        node.kind = NodeKind::Special;
        return true;
    }

    bool ReadFolder(const fs::path& path, const fs::path& canonical, DiscNode& folder) {
        std::error_code ec;
        fs::directory_iterator it(path, ec);
        if (ec) return Fail(path, ec);
        ancestors.push_back(canonical);
        for (; it != fs::directory_iterator(); it.increment(ec)) {
            DiscNode child;
            child.name = it->path().filename().string();
            if (!ReadEntry(it->path(), child)) return false;
            folder.children.push_back(std::move(child));
        }
        if (ec) return Fail(path, ec);
        ancestors.pop_back();
        std::sort(folder.children.begin(), folder.children.end(),
                  [](const DiscNode& a, const DiscNode& b) { return a.name < b.name; });
        return true;
    }
};

Result<std::string> ReadPosixFile(const DiscNode& file, std::uint64_t limit) {
    std::ifstream in(file.origin, std::ios::binary);
    if (!in) return Error{"cannot open " + file.origin};
    std::string bytes(std::min<std::uint64_t>(file.size, limit), '\0');
    in.read(bytes.data(), std::streamsize(bytes.size()));
    if (std::uint64_t(in.gcount()) != bytes.size()) return Error{"cannot read " + file.origin};
    return bytes;
}

// Sizes as a burning program gives them, in MiB: what the files take rounded
// up, what the medium holds rounded down.
std::string MiB(std::uint64_t bytes, bool up) {
    return Counted((bytes + (up ? (1 << 20) - 1 : 0)) >> 20, "MiB", "MiB");
}

void WalkNode(const DiscNode& node, const std::string& path,
              const std::function<void(const DiscNode&, const std::string&)>& visit) {
    for (const DiscNode& child : node.children) {
        std::string childPath = path.empty() ? child.name : path + "/" + child.name;
        visit(child, childPath);
        WalkNode(child, childPath, visit);
    }
}

}  // namespace

void DiscTree::Walk(const std::function<void(const DiscNode&, const std::string&)>& visit) const {
    WalkNode(root, "", visit);
}

Result<DiscTree> ReadFolderTree(const fs::path& folder) {
    std::error_code ec;
    fs::path canonical = fs::canonical(folder, ec);
    if (ec) return Error{"cannot read " + folder.string() + ": " + ec.message()};
    if (!fs::is_directory(canonical, ec)) {
        return Error{folder.string() + " is not a folder: give the folder that becomes the disc's root"};
    }
    DiscTree tree;
    tree.root.kind = NodeKind::Folder;
    tree.root.origin = canonical.string();
    tree.folder = canonical;
    tree.reader = ReadPosixFile;
    FolderReader reader{canonical, {}, {}};
    if (!reader.ReadFolder(canonical, canonical, tree.root)) return Error{reader.failure};
    return tree;
}

const Medium kMedia[5] = {
    {"cd-74", "a 74-minute CD-R", 650ull << 20},
    {"cd-80", "an 80-minute CD-R", 703ull << 20},
    {"dvd", "a DVD-R", 4700372992ull},
    {"dvd-dl", "a dual-layer DVD-R", 8543666176ull},
    {"bd", "a BD-R", 25025314816ull},
};
const Medium& kCd80 = kMedia[1];

const Medium* FindMedium(const std::string& name) {
    for (const Medium& medium : kMedia) {
        if (name == medium.name) return &medium;
    }
    return nullptr;
}

void CheckTree(const DiscTree& tree, Findings& findings, const Medium& medium) {
    std::uint64_t sectors = 0;
    tree.Walk([&](const DiscNode& node, const std::string& raw) {
        std::string path = DisplayPath(raw);
        switch (node.kind) {
            case NodeKind::File:
                sectors += (node.size + kSector - 1) / kSector;
                if (node.size >= kFileLimit) {
                    findings.Add("file-too-large", path,
                                 "The file is 4 GiB or larger, more than a CD file system can hold; "
                                 "split it or leave it off the disc.");
                }
                break;
            case NodeKind::Link:
                if (node.trouble == LinkTrouble::Broken) {
                    findings.Add("symlink-broken", path,
                                 "The link leads to nothing (" + DisplayPath(node.linkTarget) +
                                     "); put the file itself there or remove the link.");
                } else {
                    findings.Add("symlink-outside", path,
                                 std::string(node.trouble == LinkTrouble::Loop ? "The link makes a loop"
                                                                               : "The link leads out of the site") +
                                     " (" + DisplayPath(node.linkTarget) +
                                     "); copy what it should show into the site instead.");
                }
                break;
            case NodeKind::Special:
                findings.Add("special-file", path,
                             "A FIFO, socket or device cannot go onto a disc; remove it from the site.");
                break;
            case NodeKind::Folder:
                break;
        }
    });
    if (sectors * kSector > medium.bytes) {
        const Medium* larger = &medium + 1 < std::end(kMedia) ? &medium + 1 : nullptr;
        findings.Add("disc-too-large", "",
                     "The files take " + MiB(sectors * kSector, true) + ", more than the " + MiB(medium.bytes, false) + " of " +
                         medium.what + "; " + (larger ? std::string("use ") + larger->what + " (--media " +
                                                            larger->name + ") or leave files out."
                                                      : std::string("leave files out.")));
    }
}

}  // namespace publisher
