// The disc tree written as ISO 9660, Joliet and Rock Ridge through libisofs.
#include "image_writer.h"

#include "code_page.h"
#include "iso_library.h"
#include "pending_file.h"
#include "progress_meter.h"

#include <algorithm>
#include <ctime>
#include <memory>
#include <vector>

namespace publisher {

namespace fs = std::filesystem;

namespace {

struct ImageDeleter {
    void operator()(IsoImage* image) const { iso_image_unref(image); }
};
struct OptionsDeleter {
    void operator()(IsoWriteOpts* options) const { iso_write_opts_free(options); }
};
struct BurnSourceDeleter {
    void operator()(burn_source* source) const {
        source->free_data(source);
        std::free(source);
    }
};

struct TreeBuilder {
    IsoImage* image;
    std::optional<std::int64_t> date;
    std::string failure;

    void Stamp(IsoNode* node) {
        if (!date) return;
        iso_node_set_mtime(node, time_t(*date));
        iso_node_set_atime(node, time_t(*date));
        iso_node_set_ctime(node, time_t(*date));
    }

    bool Fail(const std::string& path, int code) {
        failure = "cannot add " + path + " to the image: " + IsoFailure(code);
        return false;
    }

    bool AddChildren(IsoDir* dir, const DiscNode& folder, const std::string& path) {
        for (const DiscNode& child : folder.children) {
            std::string childPath = path.empty() ? child.name : path + "/" + child.name;
            if (child.kind == NodeKind::Folder) {
                IsoDir* sub = nullptr;
                int code = iso_tree_add_new_dir(dir, child.name.c_str(), &sub);
                if (code < 0) return Fail(childPath, code);
                Stamp(reinterpret_cast<IsoNode*>(sub));
                if (!AddChildren(sub, child, childPath)) return false;
            } else if (child.kind == NodeKind::File) {
                IsoNode* node = nullptr;
                int code = iso_tree_add_new_node(image, dir, child.name.c_str(), child.origin.c_str(),
                                                 &node);
                if (code < 0) return Fail(childPath, code);
                Stamp(node);
            }
        }
        return true;
    }
};

// The volume's dates as libisofs takes them exactly: YYYYMMDDhhmmsscc in UTC.
std::string VolumeTime(std::int64_t date) {
    time_t seconds = time_t(date);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d%H%M%S00", &parts);
    return text;
}

using Image = std::unique_ptr<IsoImage, ImageDeleter>;
using Options = std::unique_ptr<IsoWriteOpts, OptionsDeleter>;
using Source = std::unique_ptr<burn_source, BurnSourceDeleter>;

// The image's tree: the disc's folders and files, with the date on each when there is one.
Result<Image> BuildImage(const DiscTree& tree, const ImageSettings& settings) {
    IsoImage* rawImage = nullptr;
    int code = iso_image_new(settings.label.c_str(), &rawImage);
    if (code < 0) return Error{"cannot start an image: " + IsoFailure(code)};
    Image image(rawImage);
    // Links inside the site stand for what they lead to; the tree has
    // already refused the others.
    iso_tree_set_follow_symlinks(image.get(), 1);
    iso_image_set_ignore_aclea(image.get(), 3);  // nothing of the machine's ACLs and attributes

    TreeBuilder builder{image.get(), settings.date, {}};
    if (!builder.AddChildren(iso_image_get_root(image.get()), tree.root, "")) {
        return Error{builder.failure};
    }
    return image;
}

// How the image is laid out: its trees, its checksums, and its owners, modes and dates.
Result<Options> LayoutOptions(const ImageSettings& settings) {
    IsoWriteOpts* rawOptions = nullptr;
    int code = iso_write_opts_new(&rawOptions, 0);
    if (code < 0) return Error{"cannot set up the image: " + IsoFailure(code)};
    Options options(rawOptions);
    IsoWriteOpts* o = options.get();
    iso_write_opts_set_iso_level(o, 1);
    iso_write_opts_set_rockridge(o, 1);
    iso_write_opts_set_joliet(o, 1);
    // Windows reads Joliet paths of any length; the check holds them to 259.
    iso_write_opts_set_joliet_longer_paths(o, 1);
    iso_write_opts_set_joliet_utf16(o, 1);
    // Joliet names exactly as given: without the ";1" of ISO 9660 files, and
    // without the dot that ISO 9660 forces onto a name that has none.
    iso_write_opts_set_omit_version_numbers(o, 2);
    iso_write_opts_set_no_force_dots(o, 2);
    // Folders deeper than 8 levels stay where they are in the ISO 9660 tree
    // too, as xorriso leaves them. Moving them to the root, with Rock Ridge
    // entries that point back, leaves an image that libarchive refuses, and a
    // folder of their own would show up in the Joliet tree.
    iso_write_opts_set_allow_deep_paths(o, 1);
    iso_write_opts_set_always_gmt(o, 1);
    // MD5 checksums of the session and of every file, as xorriso -md5 on
    // records them, so that a copy of the image can be proven whole. Their
    // array is found through an attribute of the root, which needs AAIP; the
    // files' own ACLs and attributes stay out (set on the image above).
    iso_write_opts_set_aaip(o, 1);
    iso_write_opts_set_record_md5(o, 1, 1);
    // Read-only for everybody, owned by nobody in particular: nothing of the
    // machine that made the image ends up in it.
    iso_write_opts_set_replace_mode(o, 1, 1, 1, 1);
    iso_write_opts_set_dir_rec_mtime(o, 7);
    // Rock Ridge 1.12 gives each file a serial number, which libisofs
    // numbers in the order of the files' inodes on the machine that writes
    // the image: two copies of one site would give two images. Version 1.10,
    // which every reader takes, has none.
    iso_write_opts_set_rrip_version_1_10(o, 1);
    std::string volumeTime;
    if (settings.date) {
        iso_write_opts_set_replace_timestamps(o, 2);
        iso_write_opts_set_default_timestamp(o, time_t(*settings.date));
        volumeTime = VolumeTime(*settings.date);
        iso_write_opts_set_pvd_times(o, time_t(*settings.date), time_t(*settings.date), 0,
                                     time_t(*settings.date), volumeTime.data());
    }

    return options;
}

// Copies the laid-out image into `output`; the size written.
Result<std::uint64_t> CopyImage(burn_source* source, PendingFile& output, const std::string& shown,
                                bool progress) {
    std::uint64_t total = std::uint64_t(source->get_size(source));
    ProgressMeter meter(stderr, "writing " + shown, total, progress);
    std::vector<unsigned char> buffer(1 << 20);
    std::uint64_t written = 0;
    while (written < total) {
        // The source answers a read that reaches past its end with nothing at
        // all, so no read asks for more than is left.
        int want = int(std::min<std::uint64_t>(buffer.size(), total - written));
        int n = source->read_xt(source, buffer.data(), want);
        if (n < 0) {
            source->cancel(source);
            return Error{"cannot write " + shown + ": " + IsoFailure(n)};
        }
        if (n == 0) break;
        Result<bool> done = output.Write(buffer.data(), std::size_t(n));
        if (!done) {
            source->cancel(source);
            return Error{done.error()};
        }
        written += std::uint64_t(n);
        meter.Update(written);
    }
    if (written != total) {
        return Error{"cannot write " + shown + ": the image came out " +
                     std::to_string(written) + " bytes long instead of " + std::to_string(total)};
    }
    return written;
}

}  // namespace

std::string IsoVolumeId(const std::string& label) {
    std::string id;
    for (size_t at = 0; at < label.size() && id.size() < 32;) {
        unsigned point = 0;
        if (!NextCodePoint(label, &at, &point)) point = '_';  // a broken byte counts as one character
        if (point >= 'a' && point <= 'z') point -= 32;
        bool allowed = (point >= 'A' && point <= 'Z') || (point >= '0' && point <= '9') || point == '_';
        id += allowed ? char(point) : '_';
    }
    return id;
}

std::string JolietVolumeId(const std::string& label) {
    std::string id;
    int units = 0;  // UTF-16 code units, as Joliet stores them
    for (size_t at = 0; at < label.size();) {
        size_t start = at;
        unsigned point = 0;
        bool whole = NextCodePoint(label, &at, &point);
        units += whole && point >= 0x10000 ? 2 : 1;
        if (units > 16) break;
        id.append(label, start, at - start);
    }
    return id;
}

Result<std::uint64_t> WriteImage(const DiscTree& tree, const ImageSettings& settings, PendingFile& output,
                                 const std::string& shown) {
    std::string failure;
    if (!StartIsoLibrary(&failure)) return Error{failure};
    Result<Image> image = BuildImage(tree, settings);
    if (!image) return Error{image.error()};
    Result<Options> options = LayoutOptions(settings);
    if (!options) return Error{options.error()};
    burn_source* rawSource = nullptr;
    int code = iso_image_create_burn_source(image->get(), options->get(), &rawSource);
    if (code < 0) return Error{"cannot lay out the image: " + IsoFailure(code)};
    Source source(rawSource);
    return CopyImage(source.get(), output, shown, settings.progress);
}

}  // namespace publisher
