#include "common/Resources.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace gw {

namespace fs = std::filesystem;

std::string findResourceFolder(const std::string& executablePath) {
    std::vector<fs::path> candidates;
    if (const char* env = std::getenv("GLYPHWERK_RESOURCES"); env != nullptr && *env != '\0')
        candidates.emplace_back(env);
    if (!executablePath.empty()) {
        const fs::path dir = fs::path(executablePath).parent_path();
        candidates.push_back(dir / ".." / "share" / "glyphwerk");
        candidates.push_back(dir / "resources");
    }
    for (const fs::path& candidate : candidates) {
        std::error_code ec;
        if (fs::is_regular_file(candidate / "Table.txt", ec)) {
            const fs::path canonical = fs::weakly_canonical(candidate, ec);
            return (ec ? candidate : canonical).string();
        }
    }
    return {};
}

std::string currentExecutablePath() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : self.string();
}

} // namespace gw
