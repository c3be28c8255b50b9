#include "ZeroedBuffer.h"

#include <cstdlib>
#include <new>
#include <utility>

#include <sys/mman.h>

namespace gw::imaging::detail {

namespace {
// Below this, calloc's own zeroing is cheap and a mapping per buffer would waste a page.
constexpr std::size_t kMapThreshold = std::size_t{1} << 20;
} // namespace

ZeroedBuffer::ZeroedBuffer(std::size_t size) : size_(size) {
    if (size == 0) return;
    if (size >= kMapThreshold) {
        void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) throw std::bad_alloc();
        data_ = static_cast<std::uint8_t*>(p);
        mapped_ = true;
    } else {
        data_ = static_cast<std::uint8_t*>(std::calloc(size, 1));
        if (data_ == nullptr) throw std::bad_alloc();
    }
}

ZeroedBuffer::ZeroedBuffer(ZeroedBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
      mapped_(std::exchange(other.mapped_, false)) {}

ZeroedBuffer& ZeroedBuffer::operator=(ZeroedBuffer&& other) noexcept {
    if (this != &other) {
        release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        mapped_ = std::exchange(other.mapped_, false);
    }
    return *this;
}

ZeroedBuffer::~ZeroedBuffer() {
    release();
}

void ZeroedBuffer::release() {
    if (data_ == nullptr) return;
    if (mapped_) {
        ::munmap(data_, size_);
    } else {
        std::free(data_);
    }
    data_ = nullptr;
    size_ = 0;
    mapped_ = false;
}

} // namespace gw::imaging::detail
