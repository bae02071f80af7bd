#include "image/RasterImageBMP.h"

#include "image/ByteStream.h"
#include "image/CheckedMath.h"
#include "image/StreamReader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace talvore {

namespace {

uint32_t U32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

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

} // namespace

bool RasterImageBMP::Decode(ByteStream* file) {
    if (file == nullptr) {
        SetLastError("null file handler");
        return false;
    }
    const int32_t start = file->Tell();
    uint8_t head[64] = {};
    const size_t got = file->Read(head, 1, 40);
    const bool fileHeader = got >= 2 && head[0] == 'B' && head[1] == 'M';
    uint32_t pixelOffset = 0;
    uint32_t infoStart = 0;
    if (fileHeader) {
        if (got < 18) {
            SetLastError("Not a BMP");
            return false;
        }
        pixelOffset = U32(head + 10);
        infoStart = 14;
    } else {
        bool bare = false;
        if (got == 40) {
            const uint32_t size = U32(head);
            const int32_t height = static_cast<int32_t>(U32(head + 8));
            const uint32_t rows =
                height < 0 ? 0u - static_cast<uint32_t>(height) : static_cast<uint32_t>(height);
            bare =
                size == 12 || size == 40 || size == 64 ||
                (size > 40 && U16(head + 12) == 1 && U32(head + 32) == 0 && U32(head + 20) >= rows);
        }
        if (!bare) {
            SetLastError("Not a BMP");
            return false;
        }
    }

    // The information header, whatever its size; only its first 56 bytes
    // (up to the bit-field masks) matter here.
    if (!file->Seek(start + static_cast<int32_t>(infoStart), 0)) {
        SetLastError("Not a BMP");
        return false;
    }
    StreamReader in(file);
    uint8_t info[56] = {};
    if (in.ReadBytes(info, 4) != 4) {
        SetLastError("BMP file truncated");
        return false;
    }
    const uint32_t infoSize = U32(info);
    if (infoSize != 12 && (infoSize < 40 || infoSize > 1024)) {
        SetLastError("Unsupported BMP header size");
        return false;
    }
    const uint32_t wanted = std::min<uint32_t>(infoSize, sizeof info) - 4;
    if (in.ReadBytes(info + 4, wanted) != wanted || !in.Skip(infoSize - 4 - wanted)) {
        SetLastError("BMP file truncated");
        return false;
    }
    const bool core = infoSize == 12;
    const int64_t width = core ? U16(info + 4) : static_cast<int32_t>(U32(info + 4));
    const int64_t rawHeight = core ? U16(info + 6) : static_cast<int32_t>(U32(info + 8));
    const uint32_t planes = core ? U16(info + 8) : U16(info + 12);
    const uint32_t bits = core ? U16(info + 10) : U16(info + 14);
    const uint32_t compression = core ? 0 : U32(info + 16);
    const uint32_t coloursUsed = core ? 0 : U32(info + 32);
    const bool topDown = rawHeight < 0;
    const int64_t height = topDown ? -rawHeight : rawHeight;
    if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX || planes != 1) {
        SetLastError("Invalid BMP dimensions");
        return false;
    }
    const bool bitsOk =
        bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    const bool compressionOk = compression == 0 || (compression == 1 && bits == 8) ||
                               (compression == 2 && bits == 4) ||
                               (compression == 3 && (bits == 16 || bits == 32));
    if (!bitsOk || !compressionOk || (topDown && (compression == 1 || compression == 2))) {
        SetLastError("Unsupported BMP bit depth or compression");
        return false;
    }

    uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F}; // red, green, blue
    if (bits == 32) {
        masks[0] = 0xFF0000;
        masks[1] = 0x00FF00;
        masks[2] = 0x0000FF;
    }
    if (compression == 3) {
        uint8_t fields[12];
        if (infoSize >= 52) {
            std::memcpy(fields, info + 40, 12);
        } else if (in.ReadBytes(fields, 12) != 12) {
            SetLastError("BMP file truncated");
            return false;
        }
        for (int i = 0; i < 3; ++i)
            masks[i] = U32(fields + 4 * i);
    }

    // Palette: colours used, else the full table of the depth.
    uint32_t paletteCount = 0;
    if (bits <= 8) {
        paletteCount = coloursUsed != 0 ? coloursUsed : (1u << bits);
        if (paletteCount > (1u << bits))
            paletteCount = 1u << bits;
    }
    const uint32_t entrySize = core ? 3 : 4;
    uint8_t paletteBytes[256 * 4] = {};
    if (in.ReadBytes(paletteBytes, paletteCount * entrySize) != paletteCount * entrySize) {
        SetLastError("BMP file truncated");
        return false;
    }
    if (fileHeader && pixelOffset != 0) {
        // Pixels may start after a gap; never before the palette's end.
        const uint32_t consumed =
            14 + infoSize + (compression == 3 && infoSize < 52 ? 12 : 0) + paletteCount * entrySize;
        if (pixelOffset > consumed && !in.Skip(pixelOffset - consumed)) {
            SetLastError("BMP file truncated");
            return false;
        }
    }

    uint64_t fileStride = 0;
    uint64_t dataSize = 0;
    if (!CheckedRowStride(static_cast<uint64_t>(width), bits, &fileStride) ||
        !CheckedMul<uint64_t>(fileStride, static_cast<uint64_t>(height), &dataSize)) {
        SetLastError("Invalid BMP dimensions");
        return false;
    }
    const int64_t remaining = in.Remaining();
    if (compression != 1 && compression != 2 && remaining >= 0 &&
        dataSize > static_cast<uint64_t>(remaining)) {
        SetLastError("BMP file truncated");
        return false;
    }

    const uint32_t targetBits = bits <= 8 ? bits : 24;
    if (Create(static_cast<uint32_t>(width), static_cast<uint32_t>(height), targetBits,
               FORMAT_BMP) == nullptr)
        return false;
    if (!core) {
        if (static_cast<int32_t>(U32(info + 24)) > 0)
            SetHorizontalDpi(DpiOf(static_cast<int32_t>(U32(info + 24))));
        if (static_cast<int32_t>(U32(info + 28)) > 0)
            SetVerticalDpi(DpiOf(static_cast<int32_t>(U32(info + 28))));
    }
    if (paletteCount != 0) {
        RgbQuad* palette = PaletteEntries();
        for (uint32_t i = 0; i < paletteCount; ++i) {
            const uint8_t* e = paletteBytes + i * entrySize;
            palette[i] = RgbQuad{e[0], e[1], e[2], 0};
        }
    }
    const int32_t rows = static_cast<int32_t>(height);
    const uint32_t w = static_cast<uint32_t>(width);

    if (compression == 1 || compression == 2) {
        // Run-length data: runs, end of line, end of bitmap, delta moves.
        // Pixels left out by the data stay index 0.
        const bool rle8 = compression == 1;
        int64_t x = 0;
        int32_t y = 0;
        auto put = [&](uint8_t index) {
            if (x < w && y < rows)
                WriteIndex(static_cast<int32_t>(x), y, index);
            ++x;
        };
        for (;;) {
            const int count = in.Get();
            const int value = in.Get();
            if (count < 0 || value < 0) {
                SetLastError("BMP file truncated");
                return false;
            }
            if (count > 0) {
                for (int i = 0; i < count; ++i)
                    put(rle8 ? static_cast<uint8_t>(value)
                             : static_cast<uint8_t>((i & 1) ? (value & 0x0F) : (value >> 4)));
                continue;
            }
            if (value == 0) { // end of line
                x = 0;
                ++y;
            } else if (value == 1) { // end of bitmap
                break;
            } else if (value == 2) { // delta
                const int dx = in.Get();
                const int dy = in.Get();
                if (dx < 0 || dy < 0) {
                    SetLastError("BMP file truncated");
                    return false;
                }
                x += dx;
                y += dy;
            } else { // absolute run, padded to 16 bits
                const int n = value;
                const int bytes = rle8 ? n : (n + 1) / 2;
                uint8_t literal[256];
                if (in.ReadBytes(literal, static_cast<size_t>(bytes)) !=
                        static_cast<size_t>(bytes) ||
                    ((bytes & 1) && in.Get() < 0)) {
                    SetLastError("BMP file truncated");
                    return false;
                }
                for (int i = 0; i < n; ++i)
                    put(rle8 ? literal[i]
                             : static_cast<uint8_t>((i & 1) ? (literal[i / 2] & 0x0F)
                                                            : (literal[i / 2] >> 4)));
            }
            if (y >= rows)
                break;
        }
        return true;
    }

    std::vector<uint8_t> row(static_cast<size_t>(fileStride));
    for (int32_t r = 0; r < rows; ++r) {
        if (in.ReadBytes(row.data(), row.size()) != row.size()) {
            SetLastError("BMP file truncated");
            return false;
        }
        uint8_t* dst = RowPointer(topDown ? rows - 1 - r : r);
        if (bits <= 8 || bits == 24) {
            std::memcpy(dst, row.data(), std::min<size_t>(row.size(), RowStride()));
        } else if (bits == 16) {
            for (uint32_t x = 0; x < w; ++x, dst += 3) {
                const uint32_t v = U16(row.data() + 2 * x);
                dst[0] = Field(v, masks[2]);
                dst[1] = Field(v, masks[1]);
                dst[2] = Field(v, masks[0]);
            }
        } else {
            for (uint32_t x = 0; x < w; ++x, dst += 3) {
                const uint32_t v = U32(row.data() + 4 * x);
                dst[0] = Field(v, masks[2]);
                dst[1] = Field(v, masks[1]);
                dst[2] = Field(v, masks[0]);
            }
        }
    }
    return true;
}

// ---- writer

namespace {

void PutLe16(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void PutLe32(uint8_t* at, uint32_t value) {
    PutLe16(at, value);
    PutLe16(at + 2, value >> 16);
}

} // namespace

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
    uint8_t fileHeader[14] = {'B', 'M'};
    PutLe32(fileHeader + 2, fileSize);
    PutLe32(fileHeader + 10, 14 + 40 + PaletteByteSize());
    // A short write means a cut-short file; the caller must not take it for done.
    if (file->Write(fileHeader, 1, sizeof fileHeader) != sizeof fileHeader ||
        file->Write(BlockAddress(), 1, block) != block) {
        SetLastError("Error writing BMP file");
        return false;
    }
    return true;
}

} // namespace talvore
