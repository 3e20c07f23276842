// The name rules of Windows and Joliet over every entry of the disc.
#include "names.h"

#include "code_page.h"
#include "display_path.h"

#include <cstdio>
#include <cstring>
#include <unordered_map>

namespace publisher {

namespace {

constexpr size_t kJolietLength = 64;  // UTF-16 units
constexpr size_t kMaxPath = 259;      // "D:\" and the path, without the NUL

size_t Utf16Length(const std::string& utf8) {
    size_t units = 0;
    unsigned c;
    for (size_t at = 0; at < utf8.size();) {
        units += NextCodePoint(utf8, &at, &c) && c > 0xFFFF ? 2 : 1;
    }
    return units;
}

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : c; }

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9, with any extension.
bool IsReserved(const std::string& name) {
    std::string base = name.substr(0, name.find('.'));
    for (char& c : base) c = AsciiUpper(c);
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '1' && base[3] <= '9';
}

// The first character that Windows refuses in a name, or 0.
char RefusedCharacter(const std::string& name) {
    for (char c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || std::strchr("<>:\"|?*\\", c)) return c ? c : '\x01';
    }
    return 0;
}

std::string Shown(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20) {
        char text[8];
        std::snprintf(text, sizeof text, "0x%02X", u);
        return text;
    }
    return std::string("'") + c + "'";
}

void CheckName(const DiscNode& node, const std::string& path, Findings& findings) {
    const std::string& name = node.name;
    std::string ansi;
    AnsiForm form = Utf8ToAnsi(name, 1252, &ansi);
    if (form == kNotUtf8) {
        findings.Add("name-invalid", path,
                     "The name is not UTF-8, so it has no certain form on the disc; rename it.");
    } else if (char c = RefusedCharacter(name)) {
        findings.Add("name-invalid", path, "Windows refuses the character " + Shown(c) + " in a name; rename it.");
    } else if (name.find(';') != std::string::npos) {
        // Joliet keeps ';' for version numbers: an image writer would change the name.
        findings.Add("name-invalid", path,
                     "Joliet, the names that Windows reads from a CD, cannot hold ';'; rename it.");
    }
    if (!name.empty() && (name.back() == '.' || name.back() == ' ')) {
        findings.Add("name-trailing-dot-or-space", path,
                     "Windows drops a trailing dot or space and then cannot open the name; rename it.");
    }
    if (IsReserved(name)) {
        findings.Add("name-reserved", path, "Windows keeps this name for a device; rename it.");
    }
    if (Utf16Length(name) > kJolietLength) {
        findings.Add("name-too-long", path,
                     "The name has " + std::to_string(Utf16Length(name)) +
                         " characters, more than the 64 that Joliet allows; shorten it.");
    }
}

void CheckFolder(const DiscNode& folder, const std::string& raw, const std::string& windowsPath,
                 Findings& findings) {
    std::unordered_map<std::string, const DiscNode*> seen;
    for (const DiscNode& child : folder.children) {
        std::string childRaw = raw.empty() ? child.name : raw + "/" + child.name;
        std::string path = DisplayPath(childRaw);
        CheckName(child, path, findings);

        auto [other, fresh] = seen.emplace(FoldedName(child.name), &child);
        if (!fresh) {
            findings.Add("name-case-collision", path,
                         "Windows takes this name and \"" + DisplayPath(other->second->name) +
                             "\" for the same file; rename one of them.");
        }

        // The length as a Western Windows counts it, one byte a character.
        std::string ansi;
        Utf8ToAnsi(child.name, 1252, &ansi);
        std::string childWindows = windowsPath + "\\" + ansi;
        if (childWindows.size() > kMaxPath) {
            // Everything below is too long as well; one finding says it.
            findings.Add("path-too-long", path,
                         "D:\\ and this path take " + std::to_string(childWindows.size()) +
                             " characters, more than the 259 Windows allows; shorten the names or the nesting.");
            continue;
        }
        if (child.kind == NodeKind::Folder) CheckFolder(child, childRaw, childWindows, findings);
    }
}

}  // namespace

void CheckNames(const DiscTree& tree, Findings& findings) { CheckFolder(tree.root, "", "D:", findings); }

}  // namespace publisher
