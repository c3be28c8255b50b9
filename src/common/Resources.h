#pragma once
// Where the program's resources (Table.txt, Samples/, forms) live: the installed data folder
// beside the executable's prefix, or, for a program run from the build tree, the source tree's
// resources/ folder.

#include <string>

namespace gw {

// The first of these that holds Table.txt: $GLYPHWERK_RESOURCES, <exe dir>/../share/glyphwerk,
// the folder the build was configured with (`compiledSourceFolder`), <exe dir>/resources.
// Returns an empty string when none does. `executablePath` may be empty.
std::string findResourceFolder(const std::string& executablePath,
                               const std::string& compiledSourceFolder);

// The running program's own path (/proc/self/exe), or an empty string.
std::string currentExecutablePath();

} // namespace gw
