// `ondrelle check IMAGE.iso`: the same check as for a site folder, over the
// image's Joliet tree, with the names exactly as Windows reads them.
#ifndef ONDRELLE_PUBLISHER_IMAGE_CHECK_H
#define ONDRELLE_PUBLISHER_IMAGE_CHECK_H

#include "check.h"
#include "disc_tree.h"
#include "image_reader.h"
#include "result.h"

#include <filesystem>

namespace publisher {

// Lays the tree's folders and files out under `folder`. For the dry run only
// the files that the launcher and AutoPlay read (every autorun.inf and every
// program) get their bytes, the others stay empty, since only their names count.
enum class LayOutBytes { ForDryRun, Every };
Result<bool> LayOut(const DiscTree& tree, const std::filesystem::path& folder, LayOutBytes which);

// Proves the image whole first: what is wrong with it is image-damaged, and
// an image whose folders cannot be read is checked no further.
Result<CheckResult> CheckImage(const std::filesystem::path& image, const CodePages& codePages = kWesternWindows,
                               const Medium& medium = kCd80, bool progress = false);

// The check of an image already read; laying it out needs the tree's reader.
Result<CheckResult> CheckImageTree(ImageTree& image, CheckScope scope, const CodePages& codePages = kWesternWindows,
                                   const Medium& medium = kCd80);

}  // namespace publisher

#endif
