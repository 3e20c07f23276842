// A site folder as its disc: left-outs gone, the launcher and autorun.inf added, laid out for the file layer.
#include "site_disc.h"

#include "autoplay.h"
#include "code_page.h"
#include "left_out.h"

#include <algorithm>
#include <fstream>
#include <set>
#include <system_error>

namespace publisher {

namespace fs = std::filesystem;

namespace {

const DiscNode* FindChild(const DiscNode& folder, const std::string& name) {
    for (const DiscNode& child : folder.children) {
        if (SameNameIgnoringCase(child.name, name)) return &child;
    }
    return nullptr;
}

// A launcher already in the root, under whatever name; "" for none.
std::string LauncherInRoot(const DiscTree& tree) {
    for (const DiscNode& child : tree.root.children) {
        if (child.kind != NodeKind::File || child.name.size() < 4) continue;
        if (!SameNameIgnoringCase(child.name.substr(child.name.size() - 4), ".exe")) continue;
        if (IsLauncherFile(child.origin, child.size)) return child.name;
    }
    return "";
}

// Lays the disc out under `dir` as links to the site. A folder that lost
// nothing is one link to the site's folder; only the folders in `changed`
// are made entry by entry.
Result<bool> Mirror(const DiscNode& folder, const fs::path& dir, const std::string& path,
                    const std::set<std::string>& changed) {
    for (const DiscNode& child : folder.children) {
        fs::path target = dir / child.name;
        std::string childPath = path.empty() ? child.name : path + "/" + child.name;
        std::error_code ec;
        if (child.kind == NodeKind::Folder && changed.count(childPath)) {
            fs::create_directory(target, ec);
            if (ec) return Error{"cannot lay out " + target.string() + ": " + ec.message()};
            Result<bool> inner = Mirror(child, target, childPath, changed);
            if (!inner) return inner;
        } else if (child.kind == NodeKind::Folder || child.kind == NodeKind::File) {
            fs::create_symlink(fs::absolute(child.origin), target, ec);
            if (ec) return Error{"cannot lay out " + target.string() + ": " + ec.message()};
        }
    }
    return true;
}

// The folders that lost an entry, and all above them.
std::set<std::string> ChangedFolders(const std::vector<std::string>& leftOut) {
    std::set<std::string> changed;
    for (std::string path : leftOut) {
        for (size_t slash; (slash = path.rfind('/')) != std::string::npos;) {
            path.resize(slash);
            changed.insert(path);
        }
    }
    return changed;
}

DiscNode FileNode(const std::string& name, const fs::path& origin) {
    DiscNode node;
    node.name = name;
    std::error_code ec;
    node.size = fs::file_size(origin, ec);
    node.origin = fs::absolute(origin).string();  // libisofs wants absolute paths
    return node;
}

}  // namespace

Result<SiteDisc> ReadSiteDisc(const fs::path& site, const std::vector<std::string>& exclude) {
    Result<DiscTree> tree = ReadFolderTree(site);
    if (!tree) return Error{tree.error()};
    SiteDisc disc;
    disc.tree = std::move(tree.value());
    disc.leftOut = LeaveOut(disc.tree.root, exclude);
    disc.launcherName = LauncherInRoot(disc.tree);
    disc.ownAutorun = FindChild(disc.tree.root, "autorun.inf") != nullptr;
    return disc;
}

std::string AsciiLabel(const std::string& label) {
    std::string ascii;
    for (size_t at = 0; at < label.size();) {
        unsigned point = 0;
        bool whole = NextCodePoint(label, &at, &point);
        ascii += whole && point >= 0x20 && point < 0x7F ? char(point) : '_';  // one per character
    }
    return ascii;
}

std::string AutorunText(const std::string& launcher, bool ie, const std::string& page, const std::string& label) {
    std::string open = launcher;
    if (ie) open += " -i";
    if (!page.empty()) open += " \"" + page + "\"";
    return "[autorun]\r\nopen=" + open + "\r\nicon=" + launcher + "\r\nlabel=" + label + "\r\n";
}

Result<bool> AddToRoot(SiteDisc& disc, const Additions& additions, const fs::path& scratch) {
    std::vector<DiscNode>& root = disc.tree.root.children;
    if (disc.launcherName.empty()) {
        if (FindChild(disc.tree.root, "kelmora.exe")) {
            return Error{"the site's kelmora.exe is not Ondrelle's launcher, so the launcher cannot go beside it "
                         "under that name: rename it"};
        }
        root.push_back(FileNode(disc.launcherName = "kelmora.exe", additions.launcher));
        disc.added.push_back("kelmora.exe");
    }
    if (!disc.ownAutorun) {
        fs::path generated = scratch / "autorun.inf";
        std::ofstream out(generated, std::ios::binary);
        out << AutorunText(disc.launcherName, additions.ie, additions.page, additions.label);
        out.close();
        if (!out) return Error{"cannot write " + generated.string()};
        root.push_back(FileNode("autorun.inf", generated));
        disc.added.push_back("autorun.inf");
    }
    std::sort(root.begin(), root.end(), [](const DiscNode& a, const DiscNode& b) { return a.name < b.name; });
    return true;
}

Result<bool> ReplaceInRoot(SiteDisc& disc, const std::string& name, const fs::path& origin) {
    for (DiscNode& child : disc.tree.root.children) {
        if (child.name != name || child.kind != NodeKind::File) continue;
        child = FileNode(name, origin);
        disc.replaced.push_back(name);
        return true;
    }
    return Error{"the disc's root has no file " + name};
}

Result<bool> ShowAsDisc(SiteDisc& disc, const fs::path& dir) {
    if (disc.leftOut.empty() && disc.added.empty() && disc.replaced.empty()) return true;
    std::error_code ec;
    fs::create_directory(dir, ec);
    if (ec) return Error{"cannot lay out " + dir.string() + ": " + ec.message()};
    Result<bool> mirrored = Mirror(disc.tree.root, dir, "", ChangedFolders(disc.leftOut));
    if (!mirrored) return mirrored;
    disc.tree.folder = dir;
    return true;
}

}  // namespace publisher
