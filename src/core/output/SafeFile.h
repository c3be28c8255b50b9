#pragma once
// The one way the program writes a file: a temporary file beside the target, flushed and
// synced, then renamed over it. A failed write leaves the earlier file exactly as it was and no
// temporary file behind; every error reads "<path>: <reason>". The temporary file has no name
// until it is complete (where the file system allows), so even a killed process leaves none.
// It gets the permissions of the file it replaces, or those the umask gives a new one.
//
// A target that is not a regular file (a character device such as /dev/full, a pipe, or a
// descriptor name such as /dev/stdout) is never replaced: it is opened and written as it stands,
// and its write errors are reported the same way. A folder or a file nobody may write is refused.

#include <string>
#include <string_view>

namespace gw {

// What a symbolic link at the target means.
enum class LinkPolicy {
    // A path the user named: write through the link to its target, as editors do.
    writeThrough,
    // A name the program made up (an output folder's "<name>.txt"): replace the name itself,
    // never what a planted link points at. A device or pipe under that name is refused ("not a
    // regular file").
    replaceLink,
};

class SafeFile {
public:
    SafeFile() = default;
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;
    // Removes the temporary file unless commit() succeeded.
    ~SafeFile();

    // Creates the temporary file in the target's folder. False with `error` set when it cannot.
    bool open(const std::string& path, LinkPolicy policy, std::string& error);
    // The temporary file's descriptor, for writers that need one (libtiff); -1 when not open.
    // It stays owned here: a library that closes what it is given must get a dup() of it.
    // It is readable and seekable unless the target is written directly (see direct()).
    int fd() const { return fd_; }
    // True when the target is a device, pipe or descriptor name written as it stands.
    bool direct() const { return direct_; }
    bool write(std::string_view bytes, std::string& error);
    // Flushes, syncs and renames the temporary file over the target.
    bool commit(std::string& error);

private:
    std::string path_;   // as given, for messages
    std::string target_; // the path renamed over, links resolved as the policy says
    std::string temporary_;
    int fd_ = -1;
    bool direct_ = false;
    bool committed_ = false;
};

// `bytes` to `path` in one call.
bool writeFileSafely(const std::string& path, std::string_view bytes, std::string& error,
                     LinkPolicy policy = LinkPolicy::writeThrough);

} // namespace gw
