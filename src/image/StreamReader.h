// StreamReader: buffered reading over a ByteStream for decoders that parse a
// byte at a time (headers, plain samples, run-length packets), so that no
// byte costs a virtual call. Reads ahead up to 64 KiB; large block reads go
// straight to the caller's buffer.
#pragma once

#include "image/ByteStream.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace talvore {

class StreamReader {
public:
    explicit StreamReader(ByteStream* file) : file_(file) {}

    int Peek() {
        if (position_ == length_ && !Fill())
            return -1;
        return buffer_[position_];
    }
    // Next byte 0..255, or -1 at the end.
    int Get() {
        const int c = Peek();
        if (c >= 0)
            ++position_;
        return c;
    }
    // Copies up to n bytes; answers how many there were.
    size_t ReadBytes(uint8_t* out, size_t n);
    // Skips up to n bytes; answers whether all n were there.
    bool Skip(size_t n);
    // Bytes still to come, or -1 when the stream cannot say.
    int64_t Remaining();

private:
    static constexpr size_t kBufferSize = 65536;
    bool Fill();

    ByteStream* file_;
    std::vector<uint8_t> buffer_;
    size_t position_ = 0;
    size_t length_ = 0;
    bool atEnd_ = false;
};

} // namespace talvore
