#include "image/RasterImageBMP.h"

#include "image/ByteStream.h"
#include "image/CheckedMath.h"
#include "image/DecoderSteps.h"
#include "image/LittleEndian.h"
#include "image/StreamReader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace talvore {

namespace {

using le::LoadI32;
using le::LoadU16;
using le::LoadU32;

constexpr const char* kNotBmp = "Not a BMP";
constexpr const char* kTruncated = "BMP file truncated";
constexpr const char* kBadDimensions = "Invalid BMP dimensions";

// Value of `v` under a bit-field mask, scaled to 0..255.
uint8_t Field(uint32_t v, uint32_t mask) {
    if (mask == 0)
        return 0;
    const int shift = __builtin_ctz(mask);
    const uint32_t max = mask >> shift;
    const uint32_t value = (v & mask) >> shift;
    return static_cast<uint8_t>((uint64_t{value} * 255 + max / 2) / max);
}

int32_t DpiOf(int32_t pelsPerMetre) {
    return static_cast<int32_t>(std::floor(pelsPerMetre * 254.0 / 10000.0 + 0.5));
}

// Whether the first 40 bytes of a file without "BM" pass as a bare
// information header.
bool IsBareInfoHeader(const uint8_t* head, size_t got) {
    if (got != 40)
        return false;
    const uint32_t size = LoadU32(head);
    const int32_t height = LoadI32(head + 8);
    const uint32_t rows =
        height < 0 ? 0u - static_cast<uint32_t>(height) : static_cast<uint32_t>(height);
    return size == 12 || size == 40 || size == 64 ||
           (size > 40 && LoadU16(head + 12) == 1 && LoadU32(head + 32) == 0 &&
            LoadU32(head + 20) >= rows);
}

// The decode in steps: where the information header starts, the header,
// the bit-field masks, the palette, then the pixels, run-length coded or
// as rows. Each step answers false with the last error set.
class BmpReader : private DecoderSteps {
public:
    BmpReader(RasterImageBMP& image, ByteStream* file) : DecoderSteps(image, file) {}

    bool Decode() {
        return HasFile() && FindInfoHeader() && ReadInfoHeader() && ReadMasks() && ReadPalette() &&
               CheckPixelData() && CreateImage() &&
               (runLength() ? ReadRunLengthPixels() : ReadRows());
    }

private:
    bool runLength() const { return compression_ == 1 || compression_ == 2; }

    bool FindInfoHeader() {
        const int32_t start = file_->Tell();
        uint8_t head[40] = {};
        const size_t got = file_->Read(head, 1, sizeof head);
        fileHeader_ = got >= 2 && head[0] == 'B' && head[1] == 'M';
        uint32_t infoStart = 0;
        if (fileHeader_) {
            if (got < 18)
                return Fail(kNotBmp);
            pixelOffset_ = LoadU32(head + 10);
            infoStart = 14;
        } else if (!IsBareInfoHeader(head, got)) {
            return Fail(kNotBmp);
        }
        if (!file_->Seek(start + static_cast<int32_t>(infoStart), 0))
            return Fail(kNotBmp);
        return true;
    }

    // The information header, whatever its size; only its first 56 bytes
    // (up to the bit-field masks) matter here.
    bool ReadInfoHeader() {
        if (in_.ReadBytes(info_, 4) != 4)
            return Fail(kTruncated);
        infoSize_ = LoadU32(info_);
        if (infoSize_ != 12 && (infoSize_ < 40 || infoSize_ > 1024))
            return Fail("Unsupported BMP header size");
        const uint32_t wanted = std::min<uint32_t>(infoSize_, sizeof info_) - 4;
        if (in_.ReadBytes(info_ + 4, wanted) != wanted || !in_.Skip(infoSize_ - 4 - wanted))
            return Fail(kTruncated);
        core_ = infoSize_ == 12;
        width_ = core_ ? LoadU16(info_ + 4) : LoadI32(info_ + 4);
        const int64_t rawHeight = core_ ? LoadU16(info_ + 6) : LoadI32(info_ + 8);
        const uint32_t planes = core_ ? LoadU16(info_ + 8) : LoadU16(info_ + 12);
        bits_ = core_ ? LoadU16(info_ + 10) : LoadU16(info_ + 14);
        compression_ = core_ ? 0 : LoadU32(info_ + 16);
        topDown_ = rawHeight < 0;
        height_ = topDown_ ? -rawHeight : rawHeight;
        if (width_ <= 0 || height_ <= 0 || width_ > INT32_MAX || height_ > INT32_MAX || planes != 1)
            return Fail(kBadDimensions);
        const bool bitsOk =
            bits_ == 1 || bits_ == 4 || bits_ == 8 || bits_ == 16 || bits_ == 24 || bits_ == 32;
        const bool compressionOk = compression_ == 0 || (compression_ == 1 && bits_ == 8) ||
                                   (compression_ == 2 && bits_ == 4) ||
                                   (compression_ == 3 && (bits_ == 16 || bits_ == 32));
        if (!bitsOk || !compressionOk || (topDown_ && runLength()))
            return Fail("Unsupported BMP bit depth or compression");
        return true;
    }

    // 5-5-5 and 8-8-8 unless bit fields follow the header (or end it).
    bool ReadMasks() {
        if (bits_ == 32) {
            masks_[0] = 0xFF0000;
            masks_[1] = 0x00FF00;
            masks_[2] = 0x0000FF;
        }
        if (compression_ != 3)
            return true;
        uint8_t fields[12];
        if (infoSize_ >= 52)
            std::memcpy(fields, info_ + 40, 12);
        else if (in_.ReadBytes(fields, 12) != 12)
            return Fail(kTruncated);
        for (int i = 0; i < 3; ++i)
            masks_[i] = LoadU32(fields + 4 * i);
        return true;
    }

    // Colours used, else the full table of the depth; then the gap, if any,
    // before the pixels (never back into the palette).
    bool ReadPalette() {
        if (bits_ <= 8) {
            const uint32_t full = 1u << bits_;
            const uint32_t coloursUsed = core_ ? 0 : LoadU32(info_ + 32);
            paletteCount_ = coloursUsed != 0 ? std::min(coloursUsed, full) : full;
        }
        entrySize_ = core_ ? 3 : 4;
        const uint32_t bytes = paletteCount_ * entrySize_;
        if (in_.ReadBytes(paletteBytes_, bytes) != bytes)
            return Fail(kTruncated);
        if (!fileHeader_ || pixelOffset_ == 0)
            return true;
        const uint32_t consumed =
            14 + infoSize_ + (compression_ == 3 && infoSize_ < 52 ? 12 : 0) + bytes;
        if (pixelOffset_ > consumed && !in_.Skip(pixelOffset_ - consumed))
            return Fail(kTruncated);
        return true;
    }

    // Uncompressed rows must all be there before anything is allocated.
    bool CheckPixelData() {
        uint64_t dataSize = 0;
        if (!CheckedRowStride(static_cast<uint64_t>(width_), bits_, &fileStride_) ||
            !CheckedMul<uint64_t>(fileStride_, static_cast<uint64_t>(height_), &dataSize))
            return Fail(kBadDimensions);
        const int64_t remaining = in_.Remaining();
        if (!runLength() && remaining >= 0 && dataSize > static_cast<uint64_t>(remaining))
            return Fail(kTruncated);
        return true;
    }

    bool CreateImage() {
        if (image_.Create(static_cast<uint32_t>(width_), static_cast<uint32_t>(height_),
                          bits_ <= 8 ? bits_ : 24, FORMAT_BMP) == nullptr)
            return false;
        if (!core_) {
            const int32_t xPels = LoadI32(info_ + 24);
            const int32_t yPels = LoadI32(info_ + 28);
            if (xPels > 0)
                image_.SetHorizontalDpi(DpiOf(xPels));
            if (yPels > 0)
                image_.SetVerticalDpi(DpiOf(yPels));
        }
        RgbQuad* palette = image_.PaletteEntries();
        for (uint32_t i = 0; i < paletteCount_; ++i) {
            const uint8_t* e = paletteBytes_ + i * entrySize_;
            palette[i] = RgbQuad{e[0], e[1], e[2], 0};
        }
        return true;
    }

    // Pixels left out by the data stay index 0; pixels past the picture
    // are dropped.
    void Put(uint8_t index) {
        if (x_ < width_ && y_ < height_)
            image_.WriteIndex(static_cast<int32_t>(x_), static_cast<int32_t>(y_), index);
        ++x_;
    }

    // RLE4 packs two pixels per byte, the left one in the high nibble.
    void PutPixels(const uint8_t* data, int count, bool rle8, bool repeat) {
        for (int i = 0; i < count; ++i) {
            const uint8_t byte = repeat ? data[0] : data[rle8 ? i : i / 2];
            Put(rle8 ? byte : static_cast<uint8_t>((i & 1) ? (byte & 0x0F) : (byte >> 4)));
        }
    }

    // Runs, end of line, end of bitmap, delta moves and absolute runs
    // padded to 16 bits.
    bool ReadRunLengthPixels() {
        const bool rle8 = compression_ == 1;
        while (y_ < height_) {
            const int count = in_.Get();
            const int value = in_.Get();
            if (count < 0 || value < 0)
                return Fail(kTruncated);
            const uint8_t repeated = static_cast<uint8_t>(value);
            if (count > 0) {
                PutPixels(&repeated, count, rle8, true);
            } else if (value == 0) {
                x_ = 0;
                ++y_;
            } else if (value == 1) {
                return true;
            } else if (value == 2) {
                const int dx = in_.Get();
                const int dy = in_.Get();
                if (dx < 0 || dy < 0)
                    return Fail(kTruncated);
                x_ += dx;
                y_ += dy;
            } else {
                const size_t bytes = static_cast<size_t>(rle8 ? value : (value + 1) / 2);
                uint8_t literal[256];
                if (in_.ReadBytes(literal, bytes) != bytes || ((bytes & 1) && in_.Get() < 0))
                    return Fail(kTruncated);
                PutPixels(literal, value, rle8, false);
            }
        }
        return true;
    }

    bool ReadRows() {
        std::vector<uint8_t> row(static_cast<size_t>(fileStride_));
        const int32_t rows = static_cast<int32_t>(height_);
        const uint32_t w = static_cast<uint32_t>(width_);
        for (int32_t r = 0; r < rows; ++r) {
            if (in_.ReadBytes(row.data(), row.size()) != row.size())
                return Fail(kTruncated);
            uint8_t* dst = image_.RowPointer(topDown_ ? rows - 1 - r : r);
            if (bits_ <= 8 || bits_ == 24) {
                std::memcpy(dst, row.data(), std::min<size_t>(row.size(), image_.RowStride()));
                continue;
            }
            for (uint32_t x = 0; x < w; ++x, dst += 3) {
                const uint32_t v =
                    bits_ == 16 ? LoadU16(row.data() + 2 * x) : LoadU32(row.data() + 4 * x);
                dst[0] = Field(v, masks_[2]);
                dst[1] = Field(v, masks_[1]);
                dst[2] = Field(v, masks_[0]);
            }
        }
        return true;
    }

    bool fileHeader_ = false;
    uint32_t pixelOffset_ = 0;
    uint8_t info_[56] = {};
    uint32_t infoSize_ = 0;
    bool core_ = false;
    int64_t width_ = 0;
    int64_t height_ = 0;
    bool topDown_ = false;
    uint32_t bits_ = 0;
    uint32_t compression_ = 0;
    uint32_t masks_[3] = {0x7C00, 0x03E0, 0x001F}; // red, green, blue
    uint32_t paletteCount_ = 0;
    uint32_t entrySize_ = 4;
    uint8_t paletteBytes_[256 * 4] = {};
    uint64_t fileStride_ = 0;
    int64_t x_ = 0; // run-length position
    int64_t y_ = 0;
};

} // namespace

bool RasterImageBMP::Decode(ByteStream* file) {
    return BmpReader(*this, file).Decode();
}

// ---- writer

bool RasterImageBMP::Encode(ByteStream* file) {
    if (CheckEncodeTarget(file))
        return false;
    // The block goes out as held, so its header must match the header copy.
    SyncBlockHeader();
    const uint32_t block = BlockSize();
    uint32_t fileSize = 0;
    if (!CheckedAdd<uint32_t>(14, block, &fileSize)) {
        SetLastError("BMP file too large");
        return false;
    }
    uint8_t fileHeader[14];
    le::StoreFields(
        fileHeader,
        {{1, 'B'}, {1, 'M'}, {4, fileSize}, {2, 0}, {2, 0}, {4, 14 + 40 + PaletteByteSize()}});
    // A short write means a cut-short file; the caller must not take it for done.
    if (file->Write(fileHeader, 1, sizeof fileHeader) != sizeof fileHeader ||
        file->Write(BlockAddress(), 1, block) != block) {
        SetLastError("Error writing BMP file");
        return false;
    }
    return true;
}

} // namespace talvore
