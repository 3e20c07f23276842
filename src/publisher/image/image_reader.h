// An ISO 9660 image as a second source of the disc tree, read with libisofs
// the way Windows reads the disc: by its Joliet names when it has them.
#ifndef ONDRELLE_PUBLISHER_IMAGE_READER_H
#define ONDRELLE_PUBLISHER_IMAGE_READER_H

#include "disc_tree.h"
#include "result.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace publisher {

struct ImageTree {
    DiscTree tree;      // file nodes' origin: the byte offset of their content
    bool joliet = false;  // false: the names are ISO 9660 names
};

// True when the file starts like an ISO 9660 image (a volume descriptor at 32 KiB).
bool LooksLikeImage(const std::filesystem::path& path);

Result<ImageTree> ReadImageTree(const std::filesystem::path& image);

// Compares an image, read with ReadImageTree, with the tree it was written
// from: the same folders and files, by exact name, with the same sizes and
// the same bytes. The number of files compared, or the first difference.
// `progress`: a meter on a terminal.
Result<std::uint64_t> VerifyImage(const DiscTree& written, const ImageTree& read, const std::filesystem::path& image,
                                  bool progress);

}  // namespace publisher

#endif
