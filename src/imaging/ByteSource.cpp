#include "ByteSource.h"

#include "common/Posix.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace gw::imaging::detail {

std::unique_ptr<ByteSource> ByteSource::openFile(const std::string& path, std::string& reason) {
    // O_NONBLOCK: opening a FIFO without a writer must not wait for one; it is refused below.
    // On a regular file the flag changes nothing.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        reason = std::string("cannot open (") + std::strerror(errno) + ")";
        return nullptr;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        reason = "not a regular file";
        return nullptr;
    }
    std::unique_ptr<ByteSource> source(new ByteSource);
    source->fd_ = fd;
    source->size_ = static_cast<std::uint64_t>(info.st_size);
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    return source;
}

std::unique_ptr<ByteSource>
ByteSource::fromMemory(std::shared_ptr<const std::vector<std::uint8_t>> bytes) {
    std::unique_ptr<ByteSource> source(new ByteSource);
    source->size_ = bytes->size();
    source->bytes_ = std::move(bytes);
    return source;
}

ByteSource::~ByteSource() {
    if (mapped_) ::munmap(mapped_, static_cast<std::size_t>(size_));
    if (fd_ >= 0) ::close(fd_);
}

std::span<const std::uint8_t> ByteSource::map() {
    if (bytes_) return memory();
    if (!mapped_ && size_ > 0 && size_ <= SIZE_MAX) {
        void* p = ::mmap(nullptr, static_cast<std::size_t>(size_), PROT_READ, MAP_PRIVATE, fd_, 0);
        if (p == MAP_FAILED) return {};
        mapped_ = p;
    }
    return {static_cast<const std::uint8_t*>(mapped_),
            mapped_ ? static_cast<std::size_t>(size_) : 0};
}

std::span<const std::uint8_t> ByteSource::memory() const {
    if (!bytes_) return {};
    return {bytes_->data(), bytes_->size()};
}

std::size_t ByteSource::readAt(std::uint64_t offset, void* buffer, std::size_t count) {
    if (offset >= size_ || count == 0) return 0;
    count = static_cast<std::size_t>(std::min<std::uint64_t>(count, size_ - offset));
    if (bytes_) {
        std::memcpy(buffer, bytes_->data() + offset, count);
        return count;
    }
    // A file that shrank since it was measured reads as truncated, not as an I/O error.
    const Transfer got = readFullyAt(fd_, buffer, count, offset);
    if (got.error != 0) failed_ = true;
    return got.done;
}

SourceCursor::SourceCursor(ByteSource& source, std::size_t bufferSize) : source_(source) {
    if (source.memory().empty()) buffer_.resize(bufferSize);
}

bool SourceCursor::refill() {
    window_ = {};
    if (const auto memory = source_.memory(); !memory.empty()) {
        if (position_ >= memory.size()) return false;
        window_ = memory.subspan(static_cast<std::size_t>(position_));
        return true;
    }
    const std::size_t got = source_.readAt(position_, buffer_.data(), buffer_.size());
    window_ = {buffer_.data(), got};
    return got > 0;
}

std::span<const std::uint8_t> SourceCursor::next(std::size_t maxCount) {
    if (window_.empty() && !refill()) return {};
    const std::size_t n = std::min(maxCount, window_.size());
    const auto piece = window_.first(n);
    window_ = window_.subspan(n);
    position_ += n;
    return piece;
}

std::size_t SourceCursor::read(void* buffer, std::size_t count) {
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const auto piece = next(count - done);
        if (piece.empty()) break;
        std::memcpy(out + done, piece.data(), piece.size());
        done += piece.size();
    }
    return done;
}

bool SourceCursor::seek(std::uint64_t position) {
    if (position > source_.size()) return false;
    const std::uint64_t windowEnd = position_ + window_.size();
    if (position >= position_ && position <= windowEnd) {
        window_ = window_.subspan(static_cast<std::size_t>(position - position_));
    } else {
        window_ = {};
    }
    position_ = position;
    return true;
}

} // namespace gw::imaging::detail
