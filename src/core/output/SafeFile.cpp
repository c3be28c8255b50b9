#include "output/SafeFile.h"

#include "common/Posix.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace gw {
namespace {

std::string reason(int error) {
    return std::strerror(error);
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Follows symbolic links at `path` (not in its folders) to the name they end at, which need
// not exist yet. Sets `throughDescriptor` when a link leads into /proc or /dev/fd: such names
// ("/dev/stdout") stand for an open descriptor, whose link text is no path to rename over.
bool resolveLinks(std::string path, std::string& resolved, bool& throughDescriptor, int& error) {
    throughDescriptor = false;
    for (int depth = 0; depth < 40; ++depth) {
        if (path.starts_with("/proc/") || path.starts_with("/dev/fd/")) throughDescriptor = true;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            resolved = path;
            return true;
        }
        char buffer[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer - 1);
        if (n < 0) {
            error = errno;
            return false;
        }
        std::string link(buffer, static_cast<std::size_t>(n));
        path = link.starts_with("/") ? link : folderOf(path) + "/" + link;
    }
    error = ELOOP;
    return false;
}

bool writeAll(int fd, std::string_view bytes, int& error) {
    error = writeFully(fd, bytes.data(), bytes.size()).error;
    return error == 0;
}

} // namespace

SafeFile::~SafeFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_ && !temporary_.empty()) ::unlink(temporary_.c_str());
}

bool SafeFile::open(const std::string& path, LinkPolicy policy, std::string& error) {
    if (fd_ >= 0) {
        error = path + ": " + reason(EBUSY);
        return false;
    }
    path_ = path;
    direct_ = false;
    committed_ = false;
    temporary_.clear();
    const auto fail = [&](int code) {
        error = path + ": " + reason(code);
        return false;
    };
    if (path.empty()) return fail(ENOENT);
    if (path.ends_with('/')) return fail(EISDIR);

    bool throughDescriptor = false;
    int code = 0;
    if (policy == LinkPolicy::writeThrough) {
        if (!resolveLinks(path, target_, throughDescriptor, code)) return fail(code);
    } else {
        target_ = path;
    }

    struct stat st {};
    const bool exists = (policy == LinkPolicy::writeThrough ? ::stat(target_.c_str(), &st)
                                                            : ::lstat(target_.c_str(), &st)) == 0;
    if (exists && S_ISDIR(st.st_mode)) return fail(EISDIR);
    const bool linkToReplace = exists && S_ISLNK(st.st_mode);
    if (exists && !S_ISREG(st.st_mode) && !linkToReplace) {
        // A device, a pipe or a socket is never replaced by a file. A name the user gave is
        // written as it stands; a name the program made up is left alone.
        if (policy == LinkPolicy::replaceLink) {
            error = path + ": not a regular file";
            return false;
        }
        throughDescriptor = true;
    }
    if (throughDescriptor) {
        int flags = O_WRONLY | O_NOCTTY | O_CLOEXEC;
        // A regular file behind a descriptor name keeps what the shell's redirection put there.
        if (exists && S_ISREG(st.st_mode)) flags |= O_APPEND;
        fd_ = ::open(path.c_str(), flags);
        if (fd_ < 0) return fail(errno);
        direct_ = true;
        return true;
    }
    if (exists && !linkToReplace &&
        ((st.st_mode & 0222) == 0 || ::access(target_.c_str(), W_OK) != 0)) {
        return fail(EACCES);
    }

    const std::string folder = folderOf(target_);
    const std::string name = nameOf(target_);
    // An unnamed file vanishes with the process if it is killed mid-write; it gets a name only
    // once it is complete. Folders whose file system lacks unnamed files get a named one.
    // Naming it later goes through /proc.
    TemporaryFile file =
        createTemporaryFile(folder, name, 0666, ::access("/proc/self/fd", X_OK) == 0);
    if (file.fd < 0) return fail(file.error);
    fd_ = file.fd;
    temporary_ = std::move(file.path);
    if (exists && !linkToReplace) {
        // The new file keeps the old one's permissions and, where allowed, its owner.
        if (::fchmod(fd_, st.st_mode & 07777) != 0) return fail(errno);
        if ((st.st_uid != ::geteuid() || st.st_gid != ::getegid()) &&
            ::fchown(fd_, st.st_uid, st.st_gid) != 0) {
            // At least the group, which a member may set; failing that the file is the user's.
            if (::fchown(fd_, static_cast<uid_t>(-1), st.st_gid) != 0) {
            }
        }
    }
    return true;
}

bool SafeFile::write(std::string_view bytes, std::string& error) {
    int code = EBADF;
    if (fd_ >= 0 && !committed_ && writeAll(fd_, bytes, code)) return true;
    error = path_ + ": " + reason(code);
    return false;
}

bool SafeFile::commit(std::string& error) {
    const auto fail = [&](int code) {
        error = path_ + ": " + reason(code);
        return false;
    };
    if (fd_ < 0 || committed_) return fail(EBADF);
    if (direct_) {
        // Pipes and terminals cannot be synced; what counts is that every write went through.
        const bool synced = ::fsync(fd_) == 0 || errno == EINVAL || errno == EROFS;
        const int code = errno;
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0 && errno != EINTR) return fail(errno);
        if (!synced) return fail(code);
        committed_ = true;
        return true;
    }
    if (::fsync(fd_) != 0) return fail(errno);
    const std::string folder = folderOf(target_);
    if (temporary_.empty()) {
        // Give the unnamed file a name of its own, then rename that over the target.
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        int code = EEXIST;
        for (int attempt = 0; attempt < 100 && code == EEXIST; ++attempt) {
            temporary_ = temporaryFileName(folder, nameOf(target_));
            code = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temporary_.c_str(),
                            AT_SYMLINK_FOLLOW) == 0
                       ? 0
                       : errno;
        }
        if (code != 0) {
            temporary_.clear();
            return fail(code);
        }
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) return fail(errno);
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) return fail(errno);
    committed_ = true;
    // The rename is durable once the folder is synced. The new file is in place either way, so
    // a folder that cannot be synced does not fail the write.
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        (void)::fsync(folderFd);
        ::close(folderFd);
    }
    return true;
}

bool writeFileSafely(const std::string& path, std::string_view bytes, std::string& error,
                     LinkPolicy policy) {
    SafeFile file;
    return file.open(path, policy, error) && file.write(bytes, error) && file.commit(error);
}

} // namespace gw
