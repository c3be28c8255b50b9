#pragma once
// Where the program's resources (Table.txt, Samples/, forms) live: the installed data folder
// beside the executable's prefix, or, for a program run from the build tree, the resources/ link
// the build puts beside it.

#include <string>

namespace gw {

// The first of these that holds Table.txt: $GLYPHWERK_RESOURCES, <exe dir>/../share/glyphwerk
// (installed), <exe dir>/resources (the build tree links it to the source tree's resources/).
// Nothing is compiled in, so a moved or removed checkout is never read by an installed program.
// Returns an empty string when none does. `executablePath` may be empty.
std::string findResourceFolder(const std::string& executablePath);

// The running program's own path (/proc/self/exe), or an empty string.
std::string currentExecutablePath();

} // namespace gw
