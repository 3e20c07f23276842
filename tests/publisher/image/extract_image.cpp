// Copies an image's Joliet tree into a folder, as Windows would see it on the
// disc: where FUSE is not available, the demo and the end-to-end tests insert
// the image this way instead of mounting it.
//   extract_image IMAGE FOLDER
#include "image_check.h"
#include "image_reader.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: extract_image IMAGE FOLDER\n", stderr);
        return 2;
    }
    publisher::Result<publisher::ImageTree> image = publisher::ReadImageTree(argv[1]);
    publisher::Result<bool> extracted =
        image ? publisher::LayOut(image->tree, argv[2], publisher::LayOutBytes::Every) : publisher::Error{image.error()};
    if (!extracted) {
        std::fprintf(stderr, "extract_image: %s\n", extracted.error().c_str());
        return 1;
    }
    return 0;
}
