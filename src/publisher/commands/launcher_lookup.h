// Where the tool finds the kelmora.exe that `disc` adds and `--version`
// names: beside itself, wherever a build or an install puts it.
#ifndef ONDRELLE_PUBLISHER_LAUNCHER_LOOKUP_H
#define ONDRELLE_PUBLISHER_LAUNCHER_LOOKUP_H

#include "result.h"

#include <filesystem>
#include <optional>
#include <string>

namespace publisher {

// `given` when it is Ondrelle's launcher, else kelmora.exe beside this
// program, in the win32 build beside its build, or in ../share/ondrelle.
Result<std::filesystem::path> FindLauncher(const std::optional<std::filesystem::path>& given);

// The FileVersion its version resource gives; "" when it gives none.
std::string LauncherVersion(const std::filesystem::path& launcher);

}  // namespace publisher

#endif
