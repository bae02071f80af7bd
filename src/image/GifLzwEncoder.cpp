#include "image/GifLzwEncoder.h"

#include "image/ByteStream.h"

namespace talvore {

namespace {

constexpr int MaxCodeFor(int bits) {
    return (1 << bits) - 1;
}

// log2 of how far the hash table must grow to reach 65536: 5003 doubles 4
// times, so the pixel is shifted by 8 - 4 before the XOR.
constexpr int HashShift = 4;

} // namespace

bool GifLzwEncoder::Compress(ByteStream* out, uint32_t width, uint32_t height, int initialBits,
                             const RowSource& rows) {
    out_ = out;
    initialBits_ = initialBits;
    width_ = initialBits;
    maxCode_ = MaxCodeFor(width_);
    clearCode_ = 1 << (initialBits - 1);
    endCode_ = clearCode_ + 1;
    freeEnt_ = clearCode_ + 2;
    clearPending_ = false;
    accumulator_ = 0;
    bitCount_ = 0;
    blockCount_ = 0;
    writeError_ = false;

    if (width == 0 || height == 0) {
        // No pixel to start a string with: an empty but well-formed stream.
        Output(clearCode_);
        Output(endCode_);
        return !writeError_;
    }

    const uint8_t* row = rows(0);
    int ent = row[0];
    uint32_t x = 1;
    uint32_t y = 0;

    ClearHash();
    Output(clearCode_);

    for (;;) {
        if (x == width) {
            if (++y == height)
                break;
            row = rows(y);
            x = 0;
        }
        const int c = row[x++];
        const int32_t key = (int32_t{c} << MaxBits) + ent;
        int i = (c << HashShift) ^ ent;

        if (hash_[i] == key) {
            ent = codes_[i];
            continue;
        }
        if (hash_[i] >= 0) {
            const int step = (i == 0) ? 1 : HashSize - i;
            bool found = false;
            do {
                i -= step;
                if (i < 0)
                    i += HashSize;
                if (hash_[i] == key) {
                    found = true;
                    break;
                }
            } while (hash_[i] > 0);
            if (found) {
                ent = codes_[i];
                continue;
            }
        }

        Output(ent);
        ent = c;
        if (freeEnt_ < MaxMaxCode) {
            codes_[i] = static_cast<uint16_t>(freeEnt_++);
            hash_[i] = key;
        } else {
            ClearHash();
            freeEnt_ = clearCode_ + 2;
            clearPending_ = true;
            Output(clearCode_);
        }
    }

    Output(ent);
    Output(endCode_);
    return !writeError_;
}

void GifLzwEncoder::Output(int code) {
    accumulator_ &= (uint32_t{1} << bitCount_) - 1;
    if (bitCount_ > 0)
        accumulator_ |= static_cast<uint32_t>(code) << bitCount_;
    else
        accumulator_ = static_cast<uint32_t>(code);
    bitCount_ += width_;
    while (bitCount_ >= 8) {
        EmitByte(static_cast<uint8_t>(accumulator_ & 0xFF));
        accumulator_ >>= 8;
        bitCount_ -= 8;
    }

    if (freeEnt_ > maxCode_ || clearPending_) {
        if (clearPending_) {
            width_ = initialBits_;
            maxCode_ = MaxCodeFor(width_);
            clearPending_ = false;
        } else {
            ++width_;
            maxCode_ = (width_ == MaxBits) ? MaxMaxCode : MaxCodeFor(width_);
        }
    }

    if (code == endCode_) {
        while (bitCount_ > 0) {
            EmitByte(static_cast<uint8_t>(accumulator_ & 0xFF));
            accumulator_ >>= 8;
            bitCount_ -= 8;
        }
        FlushBlock();
        out_->Flush();
        if (out_->Error() != 0)
            writeError_ = true;
    }
}

void GifLzwEncoder::FlushBlock() {
    if (blockCount_ == 0)
        return;
    block_[0] = static_cast<uint8_t>(blockCount_);
    out_->Write(block_.data(), 1, static_cast<size_t>(blockCount_) + 1);
    blockCount_ = 0;
}

} // namespace talvore
