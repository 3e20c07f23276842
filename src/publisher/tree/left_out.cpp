// What a disc leaves out of its site, by name and by the publisher's globs.
#include "left_out.h"

#include "code_page.h"
#include "display_path.h"

#include <fnmatch.h>

#include <algorithm>

namespace publisher {

namespace {

std::vector<std::string> Parts(std::string_view path) {
    std::vector<std::string> parts;
    for (size_t start = 0; start < path.size();) {
        size_t slash = path.find('/', start);
        if (slash == std::string_view::npos) slash = path.size();
        if (slash > start && path.substr(start, slash - start) != ".") parts.emplace_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    return parts;
}

// A name matches a part of the glob as the shell's pathname expansion
// matches it: a leading dot only when written.
bool Matches(const std::vector<std::string>& glob, size_t g, const std::vector<std::string>& path, size_t p) {
    if (g == glob.size()) return p == path.size();
    if (glob[g] == "**") {
        for (size_t skip = p; skip <= path.size(); skip++) {
            if (Matches(glob, g + 1, path, skip)) return true;
        }
        return false;
    }
    return p < path.size() && fnmatch(glob[g].c_str(), path[p].c_str(), FNM_PERIOD) == 0 &&
           Matches(glob, g + 1, path, p + 1);
}

bool IsVersionControlOrMetadata(const DiscNode& node) {
    if (node.kind == NodeKind::Folder) {
        return SameNameIgnoringCase(node.name, ".git") || SameNameIgnoringCase(node.name, ".svn");
    }
    return SameNameIgnoringCase(node.name, ".DS_Store") || SameNameIgnoringCase(node.name, "Thumbs.db");
}

void LeaveOutBelow(DiscNode& folder, const std::string& path, const std::vector<std::string>& globs,
                   std::vector<std::string>& leftOut) {
    auto isLeftOut = [&](const DiscNode& child) {
        std::string childPath = path + child.name;
        bool isFolder = child.kind == NodeKind::Folder;
        return IsVersionControlOrMetadata(child) ||
               std::any_of(globs.begin(), globs.end(),
                           [&](const std::string& glob) { return MatchesGlob(glob, childPath, isFolder); });
    };
    auto& children = folder.children;
    auto kept = std::stable_partition(children.begin(), children.end(), [&](const DiscNode& c) { return !isLeftOut(c); });
    for (auto it = kept; it != children.end(); ++it) leftOut.push_back(path + it->name);
    children.erase(kept, children.end());
    for (DiscNode& child : children) {
        if (child.kind == NodeKind::Folder) LeaveOutBelow(child, path + child.name + "/", globs, leftOut);
    }
}

}  // namespace

Result<bool> CheckGlob(const std::string& glob) {
    std::vector<std::string> parts = Parts(glob);
    if (parts.empty()) return Error{"--exclude \"" + glob + "\" names no file: give a glob relative to the root, such as *.psd"};
    if (std::find(parts.begin(), parts.end(), "..") != parts.end()) {
        return Error{"--exclude \"" + glob + "\" leads above the root: give a glob relative to the root"};
    }
    return true;
}

bool MatchesGlob(std::string_view glob, std::string_view path, bool folder) {
    if (!glob.empty() && glob.back() == '/' && !folder) return false;
    return Matches(Parts(glob), 0, Parts(path), 0);
}

std::vector<std::string> LeaveOut(DiscNode& root, const std::vector<std::string>& globs) {
    std::vector<std::string> leftOut;
    LeaveOutBelow(root, "", globs, leftOut);
    return leftOut;
}

void AddLeftOutNote(const std::vector<std::string>& leftOut, Findings& findings) {
    if (leftOut.empty()) return;
    std::string list;
    for (const std::string& path : leftOut) list += (list.empty() ? "" : ", ") + DisplayPath(path);
    findings.Add("left-out", "", "Left out of the disc: " + list + ".");
}

}  // namespace publisher
