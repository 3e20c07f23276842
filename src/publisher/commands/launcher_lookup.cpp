// Where the tool finds the kelmora.exe it adds, and which version that is.
#include "launcher_lookup.h"

#include "version_info.h"

namespace publisher {

namespace fs = std::filesystem;

namespace {

std::map<std::string, std::string> VersionStringsOfPath(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return {};
    std::uint64_t size = fs::file_size(path, ec);
    if (ec) return {};
    return VersionStringsOfFile(path.string(), size);
}

bool IsLauncher(const fs::path& path) { return IsOndrelleLauncher(VersionStringsOfPath(path)); }

}  // namespace

Result<fs::path> FindLauncher(const std::optional<fs::path>& given) {
    if (given) {
        if (!IsLauncher(*given)) {
            return Error{given->string() + " is not Ondrelle's launcher: its version resource does not say so"};
        }
        return *given;
    }
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        fs::path dir = self.parent_path();
        for (const fs::path& candidate : {dir / "kelmora.exe", dir / ".." / "win32" / "kelmora.exe",
                                          dir / ".." / "share" / "ondrelle" / "kelmora.exe"}) {
            if (IsLauncher(candidate)) return fs::weakly_canonical(candidate, ec);
        }
    }
    return Error{"cannot find kelmora.exe: build it (cmake --preset win32 && cmake --build --preset win32), or "
                 "name it with --launcher PATH"};
}

std::string LauncherVersion(const fs::path& launcher) {
    std::map<std::string, std::string> strings = VersionStringsOfPath(launcher);
    auto version = strings.find("FileVersion");
    return version == strings.end() ? "" : version->second;
}

}  // namespace publisher
