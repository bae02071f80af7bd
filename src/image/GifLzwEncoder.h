// Variable-length-code LZW compressor of the GIF writer. Compress() takes the
// palette indices of a picture one row at a time, top row first, and writes the
// code stream as GIF data sub-blocks (a length byte of 1 to 254, then the
// bytes) to a ByteStream; the block terminator is the caller's. The dictionary
// is a 5003-entry open-addressing hash with the XOR hash and the 5003 - i
// secondary step; codes grow to 12 bits and a clear code restarts the table
// once 4096 codes are taken. Each sub-block goes out in one Write. The answer
// is false only when the stream reports an error after the end code.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

namespace talvore {

class ByteStream;

class GifLzwEncoder {
public:
    // Answers the address of `width` palette indices of picture row `topRow`
    // (0 is the top row); the memory must stay valid until the next call.
    using RowSource = std::function<const uint8_t*(uint32_t topRow)>;

    static constexpr int HashSize = 5003;
    static constexpr int MaxBits = 12;
    static constexpr int MaxMaxCode = 1 << MaxBits; // 4096
    static constexpr int SubBlockMax = 254;

    // initialBits is the minimum code size + 1 (3 for 1-bit images, 9 for 8-bit).
    bool Compress(ByteStream* out, uint32_t width, uint32_t height, int initialBits,
                  const RowSource& rows);

private:
    void Output(int code);
    void EmitByte(uint8_t byte) {
        block_[1 + blockCount_++] = byte;
        if (blockCount_ >= SubBlockMax)
            FlushBlock();
    }
    void FlushBlock();
    void ClearHash() { hash_.fill(-1); }

    ByteStream* out_ = nullptr;
    int initialBits_ = 0;
    int width_ = 0;   // current code width in bits
    int maxCode_ = 0; // largest code of the current width
    int clearCode_ = 0;
    int endCode_ = 0;
    int freeEnt_ = 0;
    bool clearPending_ = false;
    uint32_t accumulator_ = 0;
    int bitCount_ = 0;
    bool writeError_ = false;
    std::array<int32_t, HashSize> hash_{};
    std::array<uint16_t, HashSize> codes_{};
    // block_[0] holds the length byte so a sub-block is one Write.
    std::array<uint8_t, SubBlockMax + 1> block_{};
    int blockCount_ = 0;
};

} // namespace talvore
