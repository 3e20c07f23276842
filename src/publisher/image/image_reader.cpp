// An image's Joliet tree read with libisofs, and compared byte for byte with what was written.
#include "image_reader.h"

#include "image_file.h"
#include "iso_library.h"
#include "progress_meter.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <unistd.h>
#include <vector>

namespace publisher {

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kSector = 2048;

struct ImageDeleter {
    void operator()(IsoImage* image) const { iso_image_unref(image); }
};

struct TreeReader {
    std::string failure;

    bool ReadDir(IsoDir* dir, DiscNode& folder, const std::string& path) {
        IsoDirIter* rawIter = nullptr;
        int code = iso_dir_get_children(dir, &rawIter);
        if (code < 0) {
            failure = "cannot read the folder /" + path + " of the image: " + IsoFailure(code);
            return false;
        }
        std::unique_ptr<IsoDirIter, void (*)(IsoDirIter*)> iter(rawIter, iso_dir_iter_free);
        IsoNode* node = nullptr;
        while (iso_dir_iter_next(iter.get(), &node) == 1) {
            DiscNode child;
            child.name = iso_node_get_name(node);
            std::string childPath = path.empty() ? child.name : path + "/" + child.name;
            switch (iso_node_get_type(node)) {
                case LIBISO_DIR:
                    child.kind = NodeKind::Folder;
                    if (!ReadDir(reinterpret_cast<IsoDir*>(node), child, childPath)) return false;
                    break;
                case LIBISO_FILE: {
                    IsoFile* file = reinterpret_cast<IsoFile*>(node);
                    uint32_t lba = 0;
                    child.kind = NodeKind::File;
                    child.size = std::uint64_t(iso_file_get_size(file));
                    // An empty file has no content to point at.
                    if (iso_file_get_old_image_lba(file, &lba, 0) < 0 && child.size > 0) {
                        failure = "cannot find the content of /" + childPath + " in the image";
                        return false;
                    }
                    child.origin = std::to_string(std::uint64_t(lba) * kSector);
                    break;
                }
                case LIBISO_BOOT:
                    continue;
                default:
                    child.kind = NodeKind::Special;
                    break;
            }
            folder.children.push_back(std::move(child));
        }
        return true;
    }
};

std::string Describe(const std::string& path) { return path.empty() ? "the root" : "/" + path; }

struct Verifier {
    Verifier(int imageFd, ProgressMeter& progress) : image(imageFd), meter(progress) {}
    int image;
    ProgressMeter& meter;
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;
    std::string failure;
    std::vector<char> fromSite = std::vector<char>(1 << 20);
    std::vector<char> fromImage = std::vector<char>(1 << 20);

    bool Differ(const std::string& what) {
        failure = "the image does not hold what was written: " + what;
        return false;
    }

    bool SameContent(const DiscNode& site, const DiscNode& written, const std::string& path) {
        Fd in(open(site.origin.c_str(), O_RDONLY | O_CLOEXEC));
        if (in.get() < 0) return Differ("cannot read " + site.origin + " again: " + std::strerror(errno));
        std::uint64_t offset = std::stoull(written.origin);
        for (std::uint64_t done = 0; done < site.size;) {
            std::size_t n = std::size_t(std::min<std::uint64_t>(fromSite.size(), site.size - done));
            if (!ReadAt(in.get(), fromSite.data(), n, done)) {
                return Differ("cannot read " + site.origin + " again");
            }
            if (!ReadAt(image, fromImage.data(), n, offset + done)) {
                return Differ("/" + path + " is cut short");
            }
            if (std::memcmp(fromSite.data(), fromImage.data(), n) != 0) {
                return Differ("the bytes of /" + path + " differ from " + site.origin);
            }
            done += n;
            bytes += n;
            meter.Update(bytes);
        }
        return true;
    }

    bool SameFolder(const DiscNode& site, const DiscNode& written, const std::string& path) {
        std::map<std::string, const DiscNode*> onImage;
        for (const DiscNode& child : written.children) onImage[child.name] = &child;
        std::size_t expected = 0;
        for (const DiscNode& child : site.children) {
            if (child.kind != NodeKind::Folder && child.kind != NodeKind::File) continue;
            expected++;
            std::string childPath = path.empty() ? child.name : path + "/" + child.name;
            auto found = onImage.find(child.name);
            if (found == onImage.end()) return Differ("/" + childPath + " is missing");
            const DiscNode& other = *found->second;
            if (other.kind != child.kind) return Differ("/" + childPath + " changed its kind");
            if (child.kind == NodeKind::Folder) {
                if (!SameFolder(child, other, childPath)) return false;
                continue;
            }
            if (other.size != child.size) {
                return Differ("/" + childPath + " holds " + std::to_string(other.size) +
                              " bytes instead of " + std::to_string(child.size));
            }
            if (!SameContent(child, other, childPath)) return false;
            files++;
        }
        if (written.children.size() != expected) {
            return Differ(Describe(path) + " holds " + std::to_string(written.children.size()) +
                          " entries instead of " + std::to_string(expected));
        }
        return true;
    }
};

}  // namespace

bool LooksLikeImage(const fs::path& path) {
    Fd in(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    char magic[6];
    return in.get() >= 0 && ReadAt(in.get(), magic, sizeof magic, 16 * kSector) &&
           std::memcmp(magic + 1, "CD001", 5) == 0;
}

Result<ImageTree> ReadImageTree(const fs::path& image) {
    std::string failure;
    if (!StartIsoLibrary(&failure)) return Error{failure};
    IsoDataSource* source = nullptr;
    int code = iso_data_source_new_from_file(image.c_str(), &source);
    if (code < 0) return Error{"cannot read " + image.string() + ": " + IsoFailure(code)};
    IsoReadOpts* options = nullptr;
    code = iso_read_opts_new(&options, 0);
    if (code < 0) {
        iso_data_source_unref(source);
        return Error{"cannot read " + image.string() + ": " + IsoFailure(code)};
    }
    // Windows never reads Rock Ridge: without it the Joliet tree is used.
    iso_read_opts_set_no_rockridge(options, 1);
    iso_read_opts_set_no_aaip(options, 1);
    iso_read_opts_set_no_md5(options, 1);

    IsoImage* rawImage = nullptr;
    code = iso_image_new("", &rawImage);
    if (code < 0) {
        iso_read_opts_free(options);
        iso_data_source_unref(source);
        return Error{"cannot read " + image.string() + ": " + IsoFailure(code)};
    }
    std::unique_ptr<IsoImage, ImageDeleter> loaded(rawImage);
    IsoReadImageFeatures* features = nullptr;
    code = iso_image_import(loaded.get(), source, options, &features);
    iso_read_opts_free(options);
    iso_data_source_unref(source);
    ImageTree result;
    if (features) {
        result.joliet = iso_read_image_features_has_joliet(features) != 0;
        iso_read_image_features_destroy(features);
    }
    if (code < 0) {
        return Error{image.string() + " is not an ISO 9660 image that can be read: " + IsoFailure(code)};
    }

    TreeReader reader;
    result.tree.root.kind = NodeKind::Folder;
    if (!reader.ReadDir(iso_image_get_root(loaded.get()), result.tree.root, "")) {
        return Error{reader.failure};
    }
    std::string imagePath = image.string();
    result.tree.reader = [imagePath](const DiscNode& file, std::uint64_t limit) -> Result<std::string> {
        Fd in(open(imagePath.c_str(), O_RDONLY | O_CLOEXEC));
        if (in.get() < 0) return Error{"cannot read " + imagePath + ": " + std::strerror(errno)};
        std::string bytes(std::size_t(std::min(file.size, limit)), '\0');
        if (!ReadAt(in.get(), bytes.data(), bytes.size(), std::stoull(file.origin))) {
            return Error{"cannot read " + file.name + " from " + imagePath + ": the image is cut short"};
        }
        return bytes;
    };
    return result;
}

Result<std::uint64_t> VerifyImage(const DiscTree& written, const ImageTree& read, const fs::path& image,
                                  bool progress) {
    if (!read.joliet) return Error{"the image has no Joliet tree: Windows would see only 8.3 names"};
    Fd in(open(image.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) return Error{"cannot read " + image.string() + ": " + std::strerror(errno)};
    std::uint64_t total = 0;
    written.Walk([&total](const DiscNode& node, const std::string&) {
        if (node.kind == NodeKind::File) total += node.size;
    });
    ProgressMeter meter(stderr, "reading back " + image.filename().string(), total, progress);
    Verifier verifier(in.get(), meter);
    if (!verifier.SameFolder(written.root, read.tree.root, "")) return Error{verifier.failure};
    return verifier.files;
}

}  // namespace publisher
