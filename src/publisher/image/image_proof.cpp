// An image proven whole: its length, its extents, its two trees, and its recorded MD5 checksums.
#include "image_proof.h"

#include "display_path.h"
#include "image_file.h"
#include "iso_library.h"
#include "progress_meter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <future>
#include <map>
#include <memory>

namespace publisher {

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kSector = 2048;

struct ImageDeleter {
    void operator()(IsoImage* image) const { iso_image_unref(image); }
};
using Image = std::unique_ptr<IsoImage, ImageDeleter>;

struct File {
    std::string path;
    std::uint64_t start = 0, size = 0;  // bytes
    bool hasMd5 = false;
    char md5[16] = {};
    std::uint64_t End() const { return start + size; }
};

struct Tree {
    Image image;
    bool joliet = false;  // the image has a Joliet tree
    std::vector<File> files;
    std::string failure;
};

void Collect(IsoImage* image, IsoDir* dir, const std::string& path, std::vector<File>& files) {
    IsoDirIter* rawIter = nullptr;
    if (iso_dir_get_children(dir, &rawIter) < 0) return;
    std::unique_ptr<IsoDirIter, void (*)(IsoDirIter*)> iter(rawIter, iso_dir_iter_free);
    IsoNode* node = nullptr;
    while (iso_dir_iter_next(iter.get(), &node) == 1) {
        std::string childPath = path.empty() ? iso_node_get_name(node) : path + "/" + iso_node_get_name(node);
        if (iso_node_get_type(node) == LIBISO_DIR) {
            Collect(image, reinterpret_cast<IsoDir*>(node), childPath, files);
        } else if (iso_node_get_type(node) == LIBISO_FILE) {
            IsoFile* isoFile = reinterpret_cast<IsoFile*>(node);
            File file;
            file.path = childPath;
            file.size = std::uint64_t(iso_file_get_size(isoFile));
            uint32_t lba = 0;
            if (iso_file_get_old_image_lba(isoFile, &lba, 0) >= 0) file.start = std::uint64_t(lba) * kSector;
            file.hasMd5 = iso_file_get_md5(image, isoFile, file.md5, 0) == 1;
            files.push_back(std::move(file));
        }
    }
}

// One of the image's trees: Joliet's as Windows reads it, or ISO 9660's with
// the Rock Ridge names and the MD5 checksums.
enum class Trees { Joliet, IsoWithChecksums, Iso };

Tree Import(const fs::path& path, Trees which) {
    bool joliet = which == Trees::Joliet;
    Tree tree;
    IsoDataSource* source = nullptr;
    int code = iso_data_source_new_from_file(path.c_str(), &source);
    if (code < 0) {
        tree.failure = IsoFailure(code);
        return tree;
    }
    IsoReadOpts* options = nullptr;
    iso_read_opts_new(&options, 0);
    if (joliet) {
        iso_read_opts_set_no_rockridge(options, 1);
        iso_read_opts_set_no_aaip(options, 1);
        iso_read_opts_set_no_md5(options, 1);
    } else {
        iso_read_opts_set_no_joliet(options, 1);
        bool checksums = which == Trees::IsoWithChecksums;
        iso_read_opts_set_no_aaip(options, checksums ? 0 : 1);
        iso_read_opts_set_no_md5(options, checksums ? 2 : 1);  // compared here, not refused on import
    }
    IsoImage* raw = nullptr;
    iso_image_new("", &raw);
    tree.image.reset(raw);
    IsoReadImageFeatures* features = nullptr;
    code = iso_image_import(raw, source, options, &features);
    iso_read_opts_free(options);
    iso_data_source_unref(source);
    if (features) {
        tree.joliet = iso_read_image_features_has_joliet(features) != 0;
        iso_read_image_features_destroy(features);
    }
    if (code < 0) {
        tree.failure = IsoFailure(code);
        return tree;
    }
    Collect(raw, iso_image_get_root(raw), "", tree.files);
    return tree;
}

std::string Bytes(std::uint64_t n) { return Counted(n, "byte", "bytes"); }

// The volume space size of the primary volume descriptor, in bytes; 0 when
// there is none to read.
std::uint64_t VolumeSize(int fd) {
    unsigned char pvd[kSector];
    if (!ReadAt(fd, pvd, kSector, 16 * kSector)) return 0;
    if (pvd[0] != 1 || std::memcmp(pvd + 1, "CD001", 5) != 0) return 0;
    std::uint32_t blocks = pvd[80] | pvd[81] << 8 | pvd[82] << 16 | std::uint32_t(pvd[83]) << 24;
    std::uint32_t blockSize = pvd[128] | pvd[129] << 8;
    return std::uint64_t(blocks) * blockSize;
}

class Prover {
public:
    Prover(const fs::path& path, ImageProof& proof) : path_(path), proof_(proof) {}

    void Damage(const std::string& path, std::string what) { proof_.damage.push_back({path, std::move(what)}); }

    // What a cut leaves: the image, and each file that it cuts into or off.
    void CheckLength(const std::vector<File>& files) {
        if (proof_.size >= proof_.volumeSize) return;
        Damage("", "The image is " + Bytes(proof_.volumeSize - proof_.size) + " shorter than its volume says (" +
                       Bytes(proof_.size) + " of " + Bytes(proof_.volumeSize) +
                       "): it was cut short, as an interrupted copy or download leaves it.");
        for (const File& file : files) {
            if (file.size == 0 || file.End() <= proof_.size) continue;
            if (file.start >= proof_.size) {
                Damage(file.path, "The image ends before the file: all its " + Bytes(file.size) + " are missing.");
            } else {
                Damage(file.path, "The image ends inside the file: " + Bytes(file.End() - proof_.size) + " of its " +
                                      Bytes(file.size) + " are missing.");
            }
        }
    }

    // Each file's content inside the volume, and apart from every other's,
    // unless both are one: two names for one extent are hard links.
    void CheckExtents(std::vector<File> files) {
        files.erase(std::remove_if(files.begin(), files.end(), [](const File& f) { return f.size == 0; }), files.end());
        std::sort(files.begin(), files.end(), [](const File& a, const File& b) {
            return a.start != b.start ? a.start < b.start : a.size < b.size;
        });
        const File* reach = nullptr;  // the file that reaches furthest so far
        for (const File& file : files) {
            if (file.End() > proof_.volumeSize) {
                Damage(file.path, "Its content (" + Bytes(file.size) + " at byte " + std::to_string(file.start) +
                                      ") lies outside the image's volume of " + Bytes(proof_.volumeSize) + ".");
            }
            if (reach && file.start < reach->End() && !(file.start == reach->start && file.size == reach->size)) {
                Damage(file.path, "Its content overlaps that of /" + reach->path + ": one of them is not what was "
                                  "written.");
            }
            if (!reach || file.End() > reach->End()) reach = &file;
        }
    }

    // The same files in both trees, by where their content is and its size.
    void CheckTreesAgree(const std::vector<File>& joliet, const std::vector<File>& iso) {
        std::multimap<std::uint64_t, const File*> isoAt;
        for (const File& file : iso) {
            if (file.size > 0) isoAt.emplace(file.start, &file);
        }
        for (const File& file : joliet) {
            if (file.size == 0) continue;
            auto [first, last] = isoAt.equal_range(file.start);
            auto same = std::find_if(first, last, [&](const auto& at) { return at.second->size == file.size; });
            if (same != last) {
                isoAt.erase(same);
                continue;
            }
            if (first != last) {
                Damage(file.path, "The Joliet tree, which Windows reads, gives it " + Bytes(file.size) +
                                      ", and the ISO 9660 tree " + Bytes(first->second->size) +
                                      " (/" + first->second->path + "): the trees disagree.");
                isoAt.erase(first);
            } else {
                Damage(file.path, "The Joliet tree, which Windows reads, has it, and the ISO 9660 tree has no file "
                                  "there: the trees disagree.");
            }
        }
        for (const auto& [start, file] : isoAt) {
            Damage(file->path, "The ISO 9660 tree has it (" + Bytes(file->size) +
                                   "), and the Joliet tree, which Windows reads, does not: the trees disagree.");
        }
    }

    // One pass over the session, in order: its MD5, and each file's as its
    // blocks go by.
    void CheckChecksums(const Tree& iso, const std::vector<File>& joliet, bool progress) {
        uint32_t startLba = 0, endLba = 0;
        char sessionMd5[16];
        if (iso_image_get_session_md5(iso.image.get(), &startLba, &endLba, sessionMd5, 0) != 1) return;
        proof_.checksums = true;
        Fd in(open(path_.c_str(), O_RDONLY | O_CLOEXEC));
        if (in.get() < 0) return Damage("", "The image cannot be read again: " + std::string(std::strerror(errno)));
        // Damage is named as Windows names the file: by its Joliet path.
        std::map<std::uint64_t, std::string> shown;
        for (const File& file : joliet) shown.emplace(file.start, file.path);
        struct Running {
            const File* file;
            void* md5 = nullptr;
        };
        std::vector<const File*> pending;
        for (const File& file : iso.files) {
            if (file.hasMd5 && file.End() <= proof_.size) pending.push_back(&file);
        }
        std::sort(pending.begin(), pending.end(), [](const File* a, const File* b) { return a->start < b->start; });

        std::uint64_t from = std::uint64_t(startLba) * kSector, to = std::uint64_t(endLba) * kSector;
        void* session = nullptr;
        iso_md5_start(&session);
        std::vector<Running> running;
        size_t next = 0;
        ProgressMeter meter(stderr, "proving " + path_.filename().string(), to - from, progress);
        std::vector<char> buffer(1 << 20);
        auto finish = [&](Running& run) {
            char md5[16];
            iso_md5_end(&run.md5, md5);
            if (std::memcmp(md5, run.file->md5, 16) == 0) {
                proof_.filesProven++;
                return;
            }
            auto name = shown.find(run.file->start);
            Damage(name != shown.end() ? name->second : run.file->path,
                   "Its content no longer matches the MD5 checksum recorded when the image was written.");
            fileMismatch_ = true;
        };
        std::uint64_t end = to;
        for (const File* file : pending) end = std::max(end, file->End());
        std::uint64_t at = std::min(from, pending.empty() ? from : pending.front()->start);
        bool cut = false;
        while (at < end && !cut) {
            std::size_t want = std::size_t(std::min<std::uint64_t>(buffer.size(), end - at));
            std::size_t got = ReadUpTo(in.get(), buffer.data(), want, at);
            cut = got < want;
            // Every byte goes into two sums, the session's and its file's; the
            // session's runs on another core, so the proof keeps up with reading.
            std::future<void> sessionSum;
            if (at + got > from && at < to) {
                std::uint64_t lo = std::max(at, from), hi = std::min(at + got, to);
                sessionSum = std::async(std::launch::async, [&, lo, hi] {
                    iso_md5_compute(session, buffer.data() + (lo - at), int(hi - lo));
                });
            }
            // The files whose content begins in this chunk start their sums.
            while (next < pending.size() && pending[next]->start < at + got) {
                running.push_back(Running{pending[next++], nullptr});
                iso_md5_start(&running.back().md5);
            }
            for (Running& run : running) {
                std::uint64_t lo = std::max(at, run.file->start), hi = std::min(at + got, run.file->End());
                if (hi > lo) iso_md5_compute(run.md5, buffer.data() + (lo - at), int(hi - lo));
            }
            if (sessionSum.valid()) sessionSum.get();
            at += got;
            for (size_t i = 0; i < running.size();) {
                if (running[i].file->End() > at) {
                    i++;
                    continue;
                }
                finish(running[i]);
                running.erase(running.begin() + std::ptrdiff_t(i));
            }
            meter.Update(at - std::min(at, from));
        }
        for (Running& run : running) {
            char ignored[16];
            iso_md5_end(&run.md5, ignored);
        }
        char md5[16];
        iso_md5_end(&session, md5);
        if (at < to) return;  // the cut is said already
        if (std::memcmp(md5, sessionMd5, 16) != 0 && !fileMismatch_) {
            Damage("", "The session no longer matches the MD5 checksum recorded when the image was written, though "
                       "every file does: what changed is in its volume descriptors or directory records.");
        }
    }

private:
    const fs::path& path_;
    ImageProof& proof_;
    bool fileMismatch_ = false;
};

}  // namespace

Result<ImageProof> ProveImage(const fs::path& image, bool progress) {
    std::string failure;
    if (!StartIsoLibrary(&failure)) return Error{failure};
    ImageProof proof;
    {
        Fd in(open(image.c_str(), O_RDONLY | O_CLOEXEC));
        struct stat status {};
        if (in.get() < 0 || fstat(in.get(), &status) != 0) {
            return Error{"cannot read " + image.string() + ": " + std::strerror(errno)};
        }
        proof.size = std::uint64_t(status.st_size);
        proof.volumeSize = VolumeSize(in.get());
    }
    if (proof.volumeSize == 0) return Error{image.string() + " has no ISO 9660 volume descriptor"};
    Prover prover(image, proof);
    Tree joliet = Import(image, Trees::Joliet);
    // The checksums' array is at the end of the session, which a cut takes
    // first: without it the ISO 9660 tree is still read.
    Tree iso = Import(image, Trees::IsoWithChecksums);
    if (!iso.failure.empty()) {
        iso = Import(image, Trees::Iso);
        proof.checksumsLost = proof.size < proof.volumeSize;
    }
    if (!joliet.failure.empty() || !iso.failure.empty()) {
        std::string why = !joliet.failure.empty() ? joliet.failure : iso.failure;
        if (proof.size < proof.volumeSize) {
            prover.CheckLength({});
            prover.Damage("", "Its folders cannot be read, so no file of it can be found: " + why + ".");
        } else {
            prover.Damage("", "Its folders cannot be read: " + why + ".");
        }
        return proof;
    }
    prover.CheckLength(joliet.files);
    prover.CheckExtents(joliet.files);
    if (joliet.joliet) prover.CheckTreesAgree(joliet.files, iso.files);
    prover.CheckChecksums(iso, joliet.files, progress);
    return proof;
}

}  // namespace publisher
