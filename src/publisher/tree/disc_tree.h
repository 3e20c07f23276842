// The disc as a tree of folders, files, links and special files, whatever
// it is read from: a site folder now, a disc image later. The checks work on
// the tree; the bytes of a file come through the tree's reader.
#ifndef ONDRELLE_PUBLISHER_DISC_TREE_H
#define ONDRELLE_PUBLISHER_DISC_TREE_H

#include "findings.h"
#include "result.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace publisher {

enum class NodeKind {
    Folder,
    File,
    Link,    // a symbolic link that was not followed: see `trouble`
    Special  // FIFO, socket or device: never opened
};

enum class LinkTrouble { None, Outside, Loop, Broken };

struct DiscNode {
    std::string name;  // as the source names it: UTF-8, unless the name is broken
    NodeKind kind = NodeKind::File;
    std::uint64_t size = 0;       // files
    std::string origin;           // where the reader finds the bytes
    LinkTrouble trouble = LinkTrouble::None;
    std::string linkTarget;       // links, as the link says it
    std::vector<DiscNode> children;  // folders, by name
};

class DiscTree {
public:
    // Up to `limit` bytes of a file node.
    using Reader = std::function<Result<std::string>(const DiscNode& file, std::uint64_t limit)>;

    DiscNode root;
    // A folder that shows the disc's root to the file layer, for the dry run.
    std::filesystem::path folder;
    Reader reader;

    Result<std::string> Read(const DiscNode& file, std::uint64_t limit) const { return reader(file, limit); }
    // Every node with its '/'-separated path (raw names), parents first.
    void Walk(const std::function<void(const DiscNode& node, const std::string& path)>& visit) const;
};

// The tree of a site folder. Entries are looked at with lstat only. Links
// that stay inside the site are followed; others are kept as Link nodes.
// An error when the folder, or anything in it, cannot be read.
Result<DiscTree> ReadFolderTree(const std::filesystem::path& folder);

// The recordable disc that the image is for, and what it holds.
struct Medium {
    const char* name;  // as --media gives it
    const char* what;  // for people: "an 80-minute CD-R"
    std::uint64_t bytes;
};
extern const Medium kMedia[5];   // cd-74, cd-80, dvd, dvd-dl, bd
extern const Medium& kCd80;      // the default
const Medium* FindMedium(const std::string& name);

// What cannot go onto a disc as it is: files of 4 GiB or more, links out of
// the site or in a loop or to nothing, special files, a disc too large for
// the medium.
void CheckTree(const DiscTree& tree, Findings& findings, const Medium& medium = kCd80);

}  // namespace publisher

#endif
