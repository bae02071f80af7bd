#include "image/RasterImageTGA.h"

#include "image/AlphaPixels.h"

#include "image/ByteStream.h"
#include "image/CheckedMath.h"
#include "image/DecoderSteps.h"
#include "image/LittleEndian.h"
#include "image/StreamReader.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace talvore {

namespace {

constexpr const char* kBadHeader = "bad TGA header";
constexpr const char* kTruncated = "TGA file truncated";

// One pixel of `bytes` bytes (little-endian) as blue, green, red.
RgbQuad PixelColour(const uint8_t* p, uint32_t bytes) {
    if (bytes >= 3)
        return RgbQuad{p[0], p[1], p[2], 0};
    const uint32_t v = le::LoadU16(p); // 5-5-5 (the top bit is attribute)
    auto scale = [](uint32_t five) { return static_cast<uint8_t>((five * 255 + 15) / 31); };
    return RgbQuad{scale(v & 0x1F), scale((v >> 5) & 0x1F), scale((v >> 10) & 0x1F), 0};
}

// The decode in steps: the header, the colour map, then the pixel rows,
// plain or run-length coded. Each step answers false with the last error
// set.
class TgaReader : private DecoderSteps {
public:
    TgaReader(RasterImageTGA& image, ByteStream* file) : DecoderSteps(image, file) {}

    bool Decode() {
        return HasFile() && ReadHeader() && ReadColourMap() && CreateImage() && ReadRows();
    }

private:
    bool ReadHeader() {
        uint8_t head[18];
        if (in_.ReadBytes(head, sizeof head) != sizeof head)
            return Fail(kBadHeader);
        const uint8_t type = head[2];
        mapType_ = head[1];
        mapFirst_ = le::LoadU16(head + 3);
        mapLength_ = le::LoadU16(head + 5);
        mapEntryBits_ = head[7];
        width_ = le::LoadU16(head + 12);
        height_ = le::LoadU16(head + 14);
        const uint32_t depth = head[16];
        topFirst_ = (head[17] & 0x20) != 0;
        rightFirst_ = (head[17] & 0x10) != 0;
        const bool typeOk =
            type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11;
        if (!typeOk || width_ == 0 || height_ == 0 || depth == 0 || mapLength_ > 256)
            return Fail(kBadHeader);
        mapped_ = type == 1 || type == 9;
        gray_ = type == 3 || type == 11;
        runLength_ = type >= 9;
        const bool depthOk = mapped_ ? depth == 8 && mapType_ == 1
                             : gray_ ? depth == 8
                                     : (depth == 15 || depth == 16 || depth == 24 || depth == 32);
        const bool mapOk = mapType_ == 0 || (mapEntryBits_ == 15 || mapEntryBits_ == 16 ||
                                             mapEntryBits_ == 24 || mapEntryBits_ == 32);
        if (!depthOk || !mapOk)
            return Fail("Unsupported TGA pixel depth");
        pixelBytes_ = (depth + 7) / 8;
        if (!in_.Skip(head[0]))
            return Fail(kTruncated);
        return true;
    }

    // Its entries stand for indices mapFirst onwards.
    bool ReadColourMap() {
        if (mapType_ != 1)
            return true;
        const uint32_t entryBytes = (mapEntryBits_ + 7) / 8;
        for (uint32_t i = 0; i < mapLength_; ++i) {
            uint8_t entry[4] = {};
            if (in_.ReadBytes(entry, entryBytes) != entryBytes)
                return Fail(kTruncated);
            if (mapFirst_ + i < 256)
                palette_[mapFirst_ + i] = PixelColour(entry, entryBytes);
        }
        return true;
    }

    // Uncompressed data must all be there; run-length data at least one
    // packet per 128 pixels.
    bool CreateImage() {
        uint64_t total = 0;
        uint64_t rawBytes = 0;
        if (!CheckedMul<uint64_t>(width_, height_, &total) ||
            !CheckedMul<uint64_t>(total, pixelBytes_, &rawBytes))
            return Fail(kBadHeader);
        const int64_t remaining = in_.Remaining();
        const uint64_t minimum = runLength_ ? (total + 127) / 128 * (1 + pixelBytes_) : rawBytes;
        if (remaining >= 0 && minimum > static_cast<uint64_t>(remaining))
            return Fail(kTruncated);
        if (image_.Create(width_, height_, mapped_ || gray_ ? 8 : 24, FORMAT_TGA) == nullptr)
            return false;
        if (mapped_)
            image_.StorePalette(palette_, 256);
        else if (gray_)
            image_.FillGrayPalette();
        return true;
    }

    // Packets may run on from one row into the next.
    bool ReadRunLengthRow(uint8_t* row) {
        for (uint32_t x = 0; x < width_; ++x) {
            if (runLeft_ == 0) {
                const int packet = in_.Get();
                if (packet < 0)
                    return Fail(kTruncated);
                runLeft_ = (static_cast<uint32_t>(packet) & 0x7F) + 1;
                runRepeat_ = (packet & 0x80) != 0;
                if (runRepeat_ && in_.ReadBytes(runPixel_, pixelBytes_) != pixelBytes_)
                    return Fail(kTruncated);
            }
            uint8_t* p = row + static_cast<size_t>(x) * pixelBytes_;
            if (runRepeat_)
                std::memcpy(p, runPixel_, pixelBytes_);
            else if (in_.ReadBytes(p, pixelBytes_) != pixelBytes_)
                return Fail(kTruncated);
            --runLeft_;
        }
        return true;
    }

    void StoreRow(const uint8_t* row, uint32_t r) {
        uint8_t* dst = image_.RowPointer(static_cast<int32_t>(topFirst_ ? height_ - 1 - r : r));
        const uint32_t outBytes = mapped_ || gray_ ? 1 : 3;
        for (uint32_t x = 0; x < width_; ++x) {
            const uint32_t column = rightFirst_ ? width_ - 1 - x : x;
            const uint8_t* p = row + static_cast<size_t>(x) * pixelBytes_;
            uint8_t* q = dst + static_cast<size_t>(column) * outBytes;
            if (outBytes == 1) {
                q[0] = p[0];
            } else {
                const RgbQuad c = PixelColour(p, pixelBytes_);
                q[0] = c.blue;
                q[1] = c.green;
                q[2] = c.red;
            }
        }
    }

    bool ReadRows() {
        std::vector<uint8_t> row(static_cast<size_t>(width_) * pixelBytes_);
        for (uint32_t r = 0; r < height_; ++r) {
            if (runLength_) {
                if (!ReadRunLengthRow(row.data()))
                    return false;
            } else if (in_.ReadBytes(row.data(), row.size()) != row.size()) {
                return Fail(kTruncated);
            }
            StoreRow(row.data(), r);
        }
        return true;
    }

    uint8_t mapType_ = 0;
    uint32_t mapFirst_ = 0;
    uint32_t mapLength_ = 0;
    uint32_t mapEntryBits_ = 0;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    uint32_t pixelBytes_ = 0;
    bool mapped_ = false;
    bool gray_ = false;
    bool runLength_ = false;
    bool topFirst_ = false;
    bool rightFirst_ = false;
    RgbQuad palette_[256] = {};
    uint32_t runLeft_ = 0;   // pixels left in the current packet
    bool runRepeat_ = false; // the packet repeats one pixel
    uint8_t runPixel_[4] = {};
};

} // namespace

bool RasterImageTGA::Decode(ByteStream* file) {
    return TgaReader(*this, file).Decode();
}

// ---- writer

bool RasterImageTGA::Encode(ByteStream* file) {
    if (CheckEncodeTarget(file))
        return false;
    const uint32_t bits = BitsPerPixel();
    if (bits < 8) {
        SetLastError("Bit depth must be 8 or 24");
        return false;
    }
    // The header holds 16-bit sizes; a larger image would come out garbled.
    if (Width() > 65535 || Height() > 65535) {
        SetLastError("TGA width and height must be at most 65535");
        return false;
    }
    const bool mapped = bits == 8;
    const uint32_t width = static_cast<uint32_t>(Width());
    const uint32_t height = static_cast<uint32_t>(Height());
    uint8_t header[18];
    le::StoreFields(header, {{1, 0},
                             {1, mapped ? 1u : 0u},
                             {1, mapped ? 1u : 2u},
                             {2, 0},
                             {2, mapped ? 256u : 0u},
                             {1, mapped ? 24u : 0u},
                             {2, 0},
                             {2, 0},
                             {2, width},
                             {2, height},
                             {1, bits},
                             {1, 0}});
    // Short writes are counted and reported at the end: a cut-short file
    // must not pass for done.
    bool complete = file->Write(header, 1, sizeof header) == sizeof header;

    if (mapped) {
        uint8_t map[256 * 3] = {};
        const RgbQuad* palette = PaletteEntries();
        const uint32_t entries = std::min<uint32_t>(ColorsUsed(), 256);
        for (uint32_t i = 0; palette != nullptr && i < entries; ++i) {
            map[i * 3] = palette[i].blue;
            map[i * 3 + 1] = palette[i].green;
            map[i * 3 + 2] = palette[i].red;
        }
        complete = file->Write(map, 1, sizeof map) == sizeof map && complete;
    }

    // Rows are stored bottom-up both here and in the file; only the padding
    // at the end of each row is dropped.
    const size_t rowBytes = static_cast<size_t>(width) * (bits / 8);
    if (rowBytes == RowStride()) {
        const size_t all = ImageSize();
        complete = file->Write(RowPointer(0), 1, all) == all && complete;
    } else {
        for (uint32_t y = 0; y < height && complete; ++y)
            complete = file->Write(RowPointer(static_cast<int32_t>(y)), 1, rowBytes) == rowBytes;
    }
    if (!complete) {
        SetLastError("Error writing TGA file");
        return false;
    }
    return true;
}

bool EncodeTgaAlpha(const AlphaPixels& pixels, ByteStream* file, std::string* error) {
    if (file == nullptr) {
        *error = "null file handler";
        return false;
    }
    if (!pixels.IsWhole() || (pixels.Channels != 2 && pixels.Channels != 4)) {
        *error = "the pixels do not match their sizes";
        return false;
    }
    if (pixels.Width > 65535 || pixels.Height > 65535) {
        *error = "TGA width and height must be at most 65535";
        return false;
    }
    uint8_t header[18];
    // True colour, 32 bits, 8 of them alpha; rows bottom-up.
    le::StoreFields(header, {{1, 0},
                             {1, 0},
                             {1, 2},
                             {2, 0},
                             {2, 0},
                             {1, 0},
                             {2, 0},
                             {2, 0},
                             {2, pixels.Width},
                             {2, pixels.Height},
                             {1, 32},
                             {1, 8}});
    bool complete = file->Write(header, 1, sizeof header) == sizeof header;
    const size_t inRow = size_t{pixels.Width} * pixels.Channels;
    std::vector<uint8_t> row(size_t{pixels.Width} * 4);
    for (uint32_t y = 0; y < pixels.Height && complete; ++y) {
        const uint8_t* in = pixels.Samples.data() + size_t{pixels.Height - 1 - y} * inRow;
        uint8_t* out = row.data();
        for (uint32_t x = 0; x < pixels.Width; ++x, out += 4, in += pixels.Channels) {
            if (pixels.Channels == 2) {
                out[0] = out[1] = out[2] = in[0];
                out[3] = in[1];
            } else {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
                out[3] = in[3];
            }
        }
        complete = file->Write(row.data(), 1, row.size()) == row.size();
    }
    if (!complete)
        *error = "Error writing TGA file";
    return complete;
}

} // namespace talvore
