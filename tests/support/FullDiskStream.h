// A memory file on a disk that fills up: it takes the first `limit` bytes
// and then refuses every write that would pass them (the write answers 0
// and stores nothing).
#pragma once

#include "image/ByteStream.h"

#include <cstddef>

namespace talvore::testing {

class FullDiskStream : public MemoryStream {
public:
    explicit FullDiskStream(size_t limit) : limit_(limit) { Open(); }

    size_t Write(const void* buffer, size_t size, size_t count) override {
        if (size * count > limit_ - taken_)
            return 0;
        taken_ += size * count;
        return MemoryStream::Write(buffer, size, count);
    }

private:
    size_t limit_;
    size_t taken_ = 0;
};

} // namespace talvore::testing
