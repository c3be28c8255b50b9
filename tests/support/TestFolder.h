#pragma once
// A scratch folder for one test, removed afterwards.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace gw::testing {

class TestFolder {
public:
    TestFolder() { std::filesystem::create_directories(path_); }
    ~TestFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    std::string path() const { return path_.string(); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    std::string write(const std::string& name, const std::string& contents) const {
        std::ofstream(path_ / name, std::ios::binary) << contents;
        return file(name);
    }
    // The whole of a file, or "(none)" when it cannot be read.
    static std::string read(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "(none)";
    }

private:
    const std::filesystem::path path_ =
        std::filesystem::temp_directory_path() /
        ("glyphwerk-test-" + std::to_string(std::random_device()()) +
         std::to_string(std::random_device()()));
};

} // namespace gw::testing
