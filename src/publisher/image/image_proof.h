// Whether an image is whole: as long as its volume says, each file's content
// inside it and apart from the others', the ISO 9660 and Joliet trees in
// agreement, and, when the image records MD5 checksums (ondrelle disc's and
// xorriso -md5 on's do), its session and every file as they were written.
// Every byte of the session is read once, in order, for the checksums.
#ifndef ONDRELLE_PUBLISHER_IMAGE_PROOF_H
#define ONDRELLE_PUBLISHER_IMAGE_PROOF_H

#include "result.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace publisher {

struct ImageDamage {
    std::string path;  // the file, '/'-separated as Windows names it; "" for the image
    std::string what;  // a sentence
};

struct ImageProof {
    std::uint64_t size = 0;        // of the file
    std::uint64_t volumeSize = 0;  // what its volume descriptor says
    bool checksums = false;        // the session's MD5 is recorded
    bool checksumsLost = false;    // they would be at the end of the session, which is cut off
    std::uint64_t filesProven = 0;  // files whose content matched their recorded MD5
    std::vector<ImageDamage> damage;
    bool whole() const { return damage.empty(); }
};

// An error only when the file cannot be read at all or is no ISO 9660 image;
// whatever is wrong inside it is damage. `progress`: a meter on a terminal.
Result<ImageProof> ProveImage(const std::filesystem::path& image, bool progress);

}  // namespace publisher

#endif
