#pragma once
// Standard input kept in an unnamed temporary file for the length of a run, so that it is read
// as a file is: in pieces, never whole in memory.

#include <cstdint>
#include <string>

namespace gw::cli {

inline constexpr const char* kStandardInputName = "standard input";

// As much as standard input may hold: as large as the largest file read whole.
inline constexpr std::uint64_t kMaxStandardInputBytes = std::uint64_t{1} << 30;

class StandardInput {
public:
    StandardInput() = default;
    StandardInput(const StandardInput&) = delete;
    StandardInput& operator=(const StandardInput&) = delete;
    ~StandardInput();
    // Reads `in` to its end, refusing it after the first 64 KiB when they show no picture and
    // after `limit` bytes. Returns "standard input: <reason>" on failure, else nothing.
    std::string read(int in, std::uint64_t limit);
    // A path that opens the copy while this object lives.
    std::string path() const;

private:
    int fd_ = -1;
};

} // namespace gw::cli
