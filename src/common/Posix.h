#pragma once
// The small POSIX helpers every layer shares: system calls retried when a signal interrupts
// them, whole reads and writes, and temporary files.

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>

#include <sys/types.h>

namespace gw {

// Runs `call`, a system call that returns -1 with errno set when it fails, again for as long
// as a signal interrupts it. Returns its last result.
template <typename Call> auto retryOnInterrupt(Call&& call) -> decltype(call()) {
    for (;;) {
        const auto result = call();
        if (result != -1 || errno != EINTR) return result;
    }
}

// What a whole read or write did: `done` bytes, then the errno of the failure that stopped it,
// or 0 when it completed or the input ended.
struct Transfer {
    std::size_t done = 0;
    int error = 0;
};

// Reads until `count` bytes are in or the input ends.
Transfer readFully(int fd, void* buffer, std::size_t count);
// The same from `offset` on, without moving the file position.
Transfer readFullyAt(int fd, void* buffer, std::size_t count, std::uint64_t offset);
// Writes all `count` bytes. A write that takes none fails as ENOSPC, so the loop cannot spin.
Transfer writeFully(int fd, const void* data, std::size_t count);

// $TMPDIR, or /tmp when it is unset or empty.
std::string temporaryFolder();

// A name in `folder` that no other writer uses: "." + stem + "." + 8 random characters +
// ".tmp", the stem cut to 200 bytes so that the name fits where names end at 255.
std::string temporaryFileName(const std::string& folder, const std::string& stem);

struct TemporaryFile {
    int fd = -1;      // -1 when none could be made
    std::string path; // empty for an unnamed file
    int error = 0;    // errno when fd is -1
};

// A new file in `folder`, open for reading and writing, with `mode` less the umask. With
// `unnamed` it has no name (O_TMPFILE), so it vanishes with the process even when that is
// killed; only a file system without unnamed files gets a named one there. The named file is
// temporaryFileName(folder, stem), made exclusively and never through a symbolic link.
TemporaryFile createTemporaryFile(const std::string& folder, const std::string& stem, mode_t mode,
                                  bool unnamed = true);

// A scratch file in the temporary folder that is gone when closed: unnamed where the file
// system allows, else named and unlinked at once. `path` is empty; on failure `error` is set.
TemporaryFile scratchFile();

} // namespace gw
