// Writes a disc tree as an ISO 9660 image with Joliet, which every Windows
// from 95 on reads, and Rock Ridge for other readers, through libisofs.
// The ISO 9660 names follow level 1 (8.3, upper case), as the oldest readers
// want; the Joliet names are the tree's names exactly.
#ifndef ONDRELLE_PUBLISHER_IMAGE_WRITER_H
#define ONDRELLE_PUBLISHER_IMAGE_WRITER_H

#include "disc_tree.h"
#include "pending_file.h"
#include "result.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace publisher {

struct ImageSettings {
    std::string label;                 // the volume label (UTF-8)
    std::optional<std::int64_t> date;  // every time stamp, in seconds since 1970;
                                       // none: the files' own times, the volume's now
    bool progress = true;              // a meter on a terminal
};

// The ISO 9660 volume id of a label: A-Z, 0-9 and '_' (anything else becomes
// '_', lower case letters upper case), at most 32 of them.
std::string IsoVolumeId(const std::string& label);
// The Joliet volume id, which Explorer shows: the label's first 16 characters.
std::string JolietVolumeId(const std::string& label);

// Writes `tree`'s folders and files (links and special files are not part of
// a disc) into `output`, which the caller commits once it is satisfied with
// it; `shown` names the image in messages. The size written.
Result<std::uint64_t> WriteImage(const DiscTree& tree, const ImageSettings& settings, PendingFile& output,
                                 const std::string& shown);

}  // namespace publisher

#endif
