// An image proves itself: every cut and every changed byte is found, and
// named by the file it hits; a sound image is whole.
#include "image_proof.h"
#include "image_writer.h"
#include "site.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

std::size_t Le32(const std::string& bytes, std::size_t at) {
    auto byte = [&](std::size_t i) { return std::size_t(static_cast<unsigned char>(bytes[at + i])); };
    return byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
}

// Where a file of the root starts in the image: its Joliet name, as UTF-16,
// in the Joliet root folder (the supplementary volume descriptor's) leads to
// its directory record, whose extent is at byte 2.
std::size_t ContentOf(const std::string& image, const std::string& name, std::size_t* record = nullptr) {
    std::size_t descriptor = 17 * 2048;
    while (image[descriptor] != 2) descriptor += 2048;
    std::size_t root = Le32(image, descriptor + 156 + 2) * 2048;
    std::string utf16;
    for (char c : name) utf16 += std::string(1, '\0') + c;
    std::size_t start = image.find(utf16, root) - 33;
    if (record) *record = start;
    return Le32(image, start + 2) * 2048;
}

std::vector<std::string> DamagedPaths(const std::filesystem::path& image) {
    publisher::Result<publisher::ImageProof> proof = publisher::ProveImage(image, false);
    std::vector<std::string> paths;
    if (!proof) return {"error: " + proof.error()};
    for (const publisher::ImageDamage& damage : proof->damage) paths.push_back(damage.path);
    return paths;
}

TEST(ImageProof, EachCutAndChangeIsNamed) {
    TempSite site, out;
    site.Write("index.htm", "<p>" + std::string(3000, 'x') + "</p>");
    site.Write("kelmora.exe", FakeLauncher() + std::string(20000, '\1'));
    site.Write("zz-video.mpg", std::string(300000, '\2'));
    publisher::Result<publisher::DiscTree> tree = publisher::ReadFolderTree(site.root());
    ASSERT_TRUE(tree.ok());
    std::filesystem::path sound = out.root() / "sound.iso";
    publisher::Result<publisher::PendingFile> pending = publisher::PendingFile::Create(sound);
    ASSERT_TRUE(pending.ok());
    ASSERT_TRUE(publisher::WriteImage(tree.value(), {"PROOF", 0, false}, pending.value(), "sound.iso").ok());
    ASSERT_TRUE(pending->Flush().ok() && pending->Commit().ok());
    const std::string image = ReadAll(sound);
    publisher::Result<publisher::ImageProof> whole = publisher::ProveImage(sound, false);
    ASSERT_TRUE(whole.ok());
    EXPECT_TRUE(whole->whole() && whole->checksums) << (whole->whole() ? "" : whole->damage.front().what);
    EXPECT_EQ(whole->filesProven, 3u);

    std::size_t page = ContentOf(image, "index.htm"), launcher = ContentOf(image, "kelmora.exe");
    std::size_t video = ContentOf(image, "zz-video.mpg"), record = 0;
    ContentOf(image, "index.htm", &record);
    auto changed = [&](std::size_t at) {
        std::string bytes = image;
        bytes[at] = char(bytes[at] ^ 1);
        return bytes;
    };
    std::string longer = image;
    longer[record + 10] = char(longer[record + 10] + 1);  // the Joliet entry's size, little-endian
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string> damaged;  // "" for the image itself
    } cases[] = {
        {"cut inside the directory records", image.substr(0, record + 10), {"", ""}},
        {"cut inside the page", image.substr(0, page + 100), {"", "index.htm", "kelmora.exe", "zz-video.mpg"}},
        {"cut inside the launcher", image.substr(0, launcher + 4096), {"", "kelmora.exe", "zz-video.mpg"}},
        {"cut inside the last file", image.substr(0, video + 100000), {"", "zz-video.mpg"}},
        {"a byte of the page", changed(page + 5), {"index.htm"}},
        {"a byte of the launcher", changed(launcher + 10000), {"kelmora.exe"}},
        {"a byte of the last file", changed(video + 299999), {"zz-video.mpg"}},
        {"the Joliet size of the page", longer, {"index.htm", ""}},  // and the session's checksum
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteAll(out.root() / "damaged.iso", c.bytes);
        EXPECT_EQ(DamagedPaths(out.root() / "damaged.iso"), c.damaged);
    }
}

// An image of another maker's without checksums: its cut is found, and that
// its content is not proven is said.
TEST(ImageProof, AnImageWithoutChecksumsIsCheckedForItsStructure) {
    TempSite site, out;
    site.Write("index.htm", "<p>x</p>");
    site.Write("video.mpg", std::string(200000, '\3'));
    std::string image = (out.root() / "x.iso").string();
    std::string command = "xorriso -outdev '" + image + "' -joliet on -map '" + site.root().string() +
                          "' / >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) GTEST_SKIP() << "xorriso is not installed: run scripts/setup";
    publisher::Result<publisher::ImageProof> proof = publisher::ProveImage(image, false);
    ASSERT_TRUE(proof.ok());
    EXPECT_TRUE(proof->whole());
    EXPECT_FALSE(proof->checksums);
    std::string bytes = ReadAll(image);
    WriteAll(image, bytes.substr(0, ContentOf(bytes, "video.mpg") + 1000));
    EXPECT_EQ(DamagedPaths(image), (std::vector<std::string>{"", "video.mpg"}));
}

}  // namespace
