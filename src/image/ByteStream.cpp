#include "image/ByteStream.h"

#include "image/CheckedMath.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace talvore {

bool ByteStream::PutC(uint8_t byte) {
    return Write(&byte, 1, 1) == 1;
}

// ---------------------------------------------------------------- StdioStream

StdioStream::StdioStream(FILE* stream) : stream_(stream), ownsStream_(stream == nullptr) {}

StdioStream::~StdioStream() {
    Close();
}

bool StdioStream::Open(const char* path, const char* mode) {
    if (stream_ != nullptr || path == nullptr || mode == nullptr)
        return false;
    stream_ = std::fopen(path, mode);
    if (stream_ == nullptr)
        return false;
    ownsStream_ = true;
    return true;
}

bool StdioStream::Close() {
    if (stream_ == nullptr || !ownsStream_)
        return true;
    const bool ok = std::fclose(stream_) == 0;
    stream_ = nullptr;
    return ok;
}

size_t StdioStream::Read(void* buffer, size_t size, size_t count) {
    if (stream_ == nullptr || buffer == nullptr)
        return 0;
    return std::fread(buffer, size, count, stream_);
}

size_t StdioStream::Write(const void* buffer, size_t size, size_t count) {
    if (stream_ == nullptr || buffer == nullptr)
        return 0;
    return std::fwrite(buffer, size, count, stream_);
}

bool StdioStream::Seek(int32_t offset, int origin) {
    if (stream_ == nullptr)
        return false;
    return std::fseek(stream_, offset, origin) == 0;
}

int32_t StdioStream::Tell() {
    if (stream_ == nullptr)
        return 0;
    const long position = std::ftell(stream_);
    return position > INT32_MAX ? -1 : static_cast<int32_t>(position);
}

int32_t StdioStream::Size() {
    if (stream_ == nullptr)
        return -1;
    const long position = std::ftell(stream_);
    if (position < 0 || std::fseek(stream_, 0, SEEK_END) != 0)
        return -1;
    const long size = std::ftell(stream_);
    std::fseek(stream_, position, SEEK_SET);
    // A file past 2 GiB has no size we can state; callers treat -1 as unknown.
    return (size < 0 || size > INT32_MAX) ? -1 : static_cast<int32_t>(size);
}

bool StdioStream::Flush() {
    return stream_ != nullptr && std::fflush(stream_) == 0;
}

bool StdioStream::Eof() {
    return stream_ == nullptr || std::feof(stream_) != 0;
}

int32_t StdioStream::Error() {
    return stream_ == nullptr ? -1 : std::ferror(stream_);
}

bool StdioStream::PutC(uint8_t byte) {
    if (stream_ == nullptr)
        return false;
    return std::fputc(byte, stream_) == byte;
}

int StdioStream::GetC() {
    if (stream_ == nullptr)
        return -1;
    const int c = std::fgetc(stream_);
    return c == EOF ? -1 : c;
}

char* StdioStream::GetS(char* buffer, int n) {
    if (stream_ == nullptr || buffer == nullptr || n <= 0)
        return nullptr;
    return std::fgets(buffer, n, stream_);
}

int32_t StdioStream::Scanf(const char* format, void* output) {
    if (stream_ == nullptr || format == nullptr)
        return -1;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    return std::fscanf(stream_, format, output);
#pragma GCC diagnostic pop
}

// --------------------------------------------------------------- MemoryStream

namespace {
constexpr uint32_t kGrowStep = 65536;
}

MemoryStream::MemoryStream(uint8_t* buffer, uint32_t size)
    : buffer_(buffer), size_(static_cast<int32_t>(std::min<uint32_t>(size, INT32_MAX))),
      freeOnClose_(buffer == nullptr), position_(0),
      capacity_(std::min<uint32_t>(size, INT32_MAX)) {}

MemoryStream::~MemoryStream() {
    Close();
}

bool MemoryStream::Open() {
    if (buffer_ != nullptr)
        return false;
    size_ = 0;
    position_ = 0;
    capacity_ = 0;
    buffer_ = static_cast<uint8_t*>(std::malloc(1));
    freeOnClose_ = true;
    return buffer_ != nullptr;
}

uint8_t* MemoryStream::BufferAddress(bool detach) {
    if (detach)
        freeOnClose_ = false;
    return buffer_;
}

bool MemoryStream::Close() {
    if (buffer_ != nullptr && freeOnClose_)
        std::free(buffer_);
    buffer_ = nullptr;
    size_ = 0;
    position_ = 0;
    capacity_ = 0;
    return true;
}

bool MemoryStream::Grow(uint64_t needed) {
    if (needed <= capacity_)
        return buffer_ != nullptr;
    const uint64_t newCapacity = (needed & ~uint64_t{0xFFFF}) + kGrowStep;
    if (newCapacity > uint64_t{INT32_MAX} + 1)
        return false;
    uint8_t* grown = nullptr;
    if (buffer_ != nullptr && freeOnClose_) {
        grown = static_cast<uint8_t*>(std::realloc(buffer_, newCapacity));
    } else {
        // Never realloc a caller's buffer: it may not come from malloc.
        grown = static_cast<uint8_t*>(std::malloc(newCapacity));
        if (grown != nullptr && buffer_ != nullptr && size_ > 0)
            std::memcpy(grown, buffer_,
                        std::min<uint64_t>(static_cast<uint64_t>(size_), capacity_));
    }
    if (grown == nullptr)
        return false;
    buffer_ = grown;
    capacity_ = static_cast<uint32_t>(newCapacity);
    freeOnClose_ = true;
    return true;
}

size_t MemoryStream::Read(void* buffer, size_t size, size_t count) {
    if (buffer == nullptr || buffer_ == nullptr || position_ >= size_)
        return 0;
    size_t wanted = 0;
    if (!CheckedMul(size, count, &wanted) || wanted == 0)
        return 0;
    const size_t available = static_cast<size_t>(size_ - position_);
    const size_t copied = std::min(wanted, available);
    std::memcpy(buffer, buffer_ + position_, copied);
    position_ += static_cast<int32_t>(copied);
    return copied / size;
}

size_t MemoryStream::Write(const void* buffer, size_t size, size_t count) {
    if (buffer == nullptr || buffer_ == nullptr)
        return 0;
    size_t bytes = 0;
    if (!CheckedMul(size, count, &bytes) || bytes == 0)
        return 0;
    const uint64_t end = static_cast<uint64_t>(position_) + bytes;
    if (bytes > INT32_MAX || end > INT32_MAX)
        return 0;
    if (end > capacity_ && !Grow(end))
        return 0;
    // A write after a seek past the end leaves no uninitialised gap behind.
    if (position_ > size_)
        std::memset(buffer_ + size_, 0, static_cast<size_t>(position_ - size_));
    std::memcpy(buffer_ + position_, buffer, bytes);
    position_ = static_cast<int32_t>(end);
    if (position_ > size_)
        size_ = position_;
    return count;
}

bool MemoryStream::Seek(int32_t offset, int origin) {
    if (buffer_ == nullptr)
        return false;
    int64_t base = 0;
    switch (origin) {
    case 0:
        base = 0;
        break;
    case 1:
        base = position_;
        break;
    case 2:
        base = size_;
        break;
    default:
        return false;
    }
    const int64_t target = std::clamp<int64_t>(base + offset, 0, INT32_MAX);
    position_ = static_cast<int32_t>(target);
    return true;
}

int32_t MemoryStream::Tell() {
    return buffer_ == nullptr ? -1 : position_;
}

int32_t MemoryStream::Size() {
    return buffer_ == nullptr ? -1 : size_;
}

bool MemoryStream::Flush() {
    return buffer_ != nullptr;
}

bool MemoryStream::Eof() {
    return buffer_ == nullptr || position_ >= size_;
}

int32_t MemoryStream::Error() {
    if (buffer_ == nullptr)
        return -1;
    return position_ > size_ ? 1 : 0;
}

bool MemoryStream::PutC(uint8_t byte) {
    if (buffer_ == nullptr)
        return false;
    if (position_ == INT32_MAX)
        return false;
    // Grow also when a seek has put the position past the capacity.
    if (static_cast<uint64_t>(position_) >= capacity_ &&
        !Grow(static_cast<uint64_t>(position_) + 1))
        return false;
    if (position_ > size_)
        std::memset(buffer_ + size_, 0, static_cast<size_t>(position_ - size_));
    buffer_[position_++] = byte;
    if (position_ > size_)
        size_ = position_;
    return true;
}

int MemoryStream::GetC() {
    if (Eof())
        return -1;
    return buffer_[position_++];
}

char* MemoryStream::GetS(char* buffer, int n) {
    if (buffer == nullptr || n <= 0)
        return nullptr;
    int stored = 0;
    while (stored < n - 1) {
        const int c = GetC();
        if (c < 0) {
            buffer[stored] = '\0';
            return nullptr;
        }
        buffer[stored++] = static_cast<char>(c);
        if (c == '\n')
            break;
    }
    buffer[stored] = '\0';
    return buffer;
}

int32_t MemoryStream::Scanf(const char*, void*) {
    return 0;
}

} // namespace talvore
