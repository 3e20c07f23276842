// Copies an image's Joliet tree into a folder, as Windows would see it on the
// disc: where FUSE is not available, the demo and the end-to-end tests insert
// the image this way instead of mounting it.
//   extract_image IMAGE FOLDER
#include "image_reader.h"

#include <cstdio>
#include <fstream>
#include <system_error>

namespace {

using publisher::DiscNode;
using publisher::DiscTree;
using publisher::NodeKind;

bool Extract(const DiscTree& tree, const DiscNode& folder, const std::filesystem::path& dir) {
    for (const DiscNode& child : folder.children) {
        std::filesystem::path path = dir / child.name;
        if (child.kind == NodeKind::Folder) {
            std::error_code ec;
            std::filesystem::create_directory(path, ec);
            if (ec || !Extract(tree, child, path)) return false;
        } else if (child.kind == NodeKind::File) {
            publisher::Result<std::string> bytes = tree.Read(child, child.size);
            std::ofstream out(path, std::ios::binary);
            if (!bytes || !out.write(bytes->data(), std::streamsize(bytes->size()))) {
                std::fprintf(stderr, "extract_image: cannot extract %s\n", path.c_str());
                return false;
            }
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: extract_image IMAGE FOLDER\n", stderr);
        return 2;
    }
    publisher::Result<publisher::ImageTree> image = publisher::ReadImageTree(argv[1]);
    if (!image) {
        std::fprintf(stderr, "extract_image: %s\n", image.error().c_str());
        return 1;
    }
    return Extract(image->tree, image->tree.root, argv[2]) ? 0 : 1;
}
