#include "platform/StandardFolders.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace gw::platform {

namespace fs = std::filesystem;

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

std::string configHome(const std::string& home) {
    const std::string config = environment("XDG_CONFIG_HOME");
    if (!config.empty() && config.front() == '/') return config;
    return home + "/.config";
}

// One line of user-dirs.dirs: XDG_DOCUMENTS_DIR="$HOME/Documents".
std::string documentsFromUserDirs(const std::string& home) {
    std::ifstream in(configHome(home) + "/user-dirs.dirs");
    const std::string key = "XDG_DOCUMENTS_DIR=\"";
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) != 0) continue;
        std::string value = line.substr(key.size());
        const auto end = value.find('"');
        if (end == std::string::npos) return {};
        value.resize(end);
        if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
        return value.empty() || value.front() != '/' ? std::string() : value;
    }
    return {};
}

} // namespace

std::vector<std::string> StandardFolders::applicationSupportDirectories() const {
    const std::string data = environment("XDG_DATA_HOME");
    if (!data.empty() && data.front() == '/') return {data};
    const std::string home = environment("HOME");
    if (home.empty()) return {};
    return {home + "/.local/share"};
}

std::string StandardFolders::documentsFolder() const {
    const std::string home = environment("HOME");
    if (home.empty()) return {};
    if (std::string fromFile = documentsFromUserDirs(home); !fromFile.empty()) return fromFile;
    return home + "/Documents";
}

bool StandardFolders::createFolder(const std::string& path) {
    std::error_code ec;
    fs::create_directories(path, ec);
    return fs::is_directory(path, ec);
}

} // namespace gw::platform
