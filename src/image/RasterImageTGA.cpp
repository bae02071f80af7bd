#include "image/RasterImageTGA.h"

#include "image/ByteStream.h"
#include "image/CheckedMath.h"
#include "image/StreamReader.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace talvore {

namespace {

// One pixel of `bytes` bytes (little-endian) as blue, green, red.
RgbQuad PixelColour(const uint8_t* p, uint32_t bytes) {
    if (bytes >= 3)
        return RgbQuad{p[0], p[1], p[2], 0};
    const uint32_t v = p[0] | p[1] << 8; // 5-5-5 (the top bit is attribute)
    auto scale = [](uint32_t five) { return static_cast<uint8_t>((five * 255 + 15) / 31); };
    return RgbQuad{scale(v & 0x1F), scale((v >> 5) & 0x1F), scale((v >> 10) & 0x1F), 0};
}

} // namespace

bool RasterImageTGA::Decode(ByteStream* file) {
    if (file == nullptr) {
        SetLastError("null file handler");
        return false;
    }
    StreamReader in(file);
    uint8_t head[18];
    if (in.ReadBytes(head, sizeof head) != sizeof head) {
        SetLastError("bad TGA header");
        return false;
    }
    const uint8_t idLength = head[0];
    const uint8_t mapType = head[1];
    const uint8_t type = head[2];
    const uint32_t mapFirst = head[3] | head[4] << 8;
    const uint32_t mapLength = head[5] | head[6] << 8;
    const uint32_t mapEntryBits = head[7];
    const uint32_t width = head[12] | head[13] << 8;
    const uint32_t height = head[14] | head[15] << 8;
    const uint32_t depth = head[16];
    const uint8_t descriptor = head[17];
    const bool typeOk =
        type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11;
    if (!typeOk || width == 0 || height == 0 || depth == 0 || mapLength > 256) {
        SetLastError("bad TGA header");
        return false;
    }
    const bool mapped = type == 1 || type == 9;
    const bool gray = type == 3 || type == 11;
    const bool rle = type >= 9;
    const bool depthOk = mapped ? depth == 8 && mapType == 1
                         : gray ? depth == 8
                                : (depth == 15 || depth == 16 || depth == 24 || depth == 32);
    const bool mapOk = mapType == 0 || (mapEntryBits == 15 || mapEntryBits == 16 ||
                                        mapEntryBits == 24 || mapEntryBits == 32);
    if (!depthOk || !mapOk) {
        SetLastError("Unsupported TGA pixel depth");
        return false;
    }
    if (!in.Skip(idLength)) {
        SetLastError("TGA file truncated");
        return false;
    }
    // The colour map; its entries stand for indices mapFirst onwards.
    RgbQuad palette[256] = {};
    if (mapType == 1) {
        const uint32_t entryBytes = (mapEntryBits + 7) / 8;
        for (uint32_t i = 0; i < mapLength; ++i) {
            uint8_t entry[4] = {};
            if (in.ReadBytes(entry, entryBytes) != entryBytes) {
                SetLastError("TGA file truncated");
                return false;
            }
            if (mapFirst + i < 256)
                palette[mapFirst + i] = PixelColour(entry, entryBytes);
        }
    }
    const uint32_t pixelBytes = (depth + 7) / 8;
    uint64_t total = 0;
    uint64_t rawBytes = 0;
    if (!CheckedMul<uint64_t>(width, height, &total) ||
        !CheckedMul<uint64_t>(total, pixelBytes, &rawBytes)) {
        SetLastError("bad TGA header");
        return false;
    }
    // Uncompressed data must all be there; run-length data at least one
    // packet per 128 pixels.
    const int64_t remaining = in.Remaining();
    const uint64_t minimum = rle ? (total + 127) / 128 * (1 + pixelBytes) : rawBytes;
    if (remaining >= 0 && minimum > static_cast<uint64_t>(remaining)) {
        SetLastError("TGA file truncated");
        return false;
    }
    if (Create(width, height, mapped || gray ? 8 : 24, FORMAT_TGA) == nullptr)
        return false;
    if (mapped) {
        StorePalette(palette, 256);
    } else if (gray) {
        FillGrayPalette();
    }

    const bool topFirst = (descriptor & 0x20) != 0;
    const bool rightFirst = (descriptor & 0x10) != 0;
    const uint32_t outBytes = mapped || gray ? 1 : 3;
    std::vector<uint8_t> row(static_cast<size_t>(width) * pixelBytes);
    uint32_t runLeft = 0;   // pixels left in the current packet
    bool runRepeat = false; // the packet repeats one pixel
    uint8_t runPixel[4] = {};
    for (uint32_t r = 0; r < height; ++r) {
        if (!rle) {
            if (in.ReadBytes(row.data(), row.size()) != row.size()) {
                SetLastError("TGA file truncated");
                return false;
            }
        } else {
            // Packets may run on from one row into the next.
            for (uint32_t x = 0; x < width; ++x) {
                if (runLeft == 0) {
                    const int packet = in.Get();
                    if (packet < 0) {
                        SetLastError("TGA file truncated");
                        return false;
                    }
                    runLeft = (static_cast<uint32_t>(packet) & 0x7F) + 1;
                    runRepeat = (packet & 0x80) != 0;
                    if (runRepeat && in.ReadBytes(runPixel, pixelBytes) != pixelBytes) {
                        SetLastError("TGA file truncated");
                        return false;
                    }
                }
                uint8_t* p = row.data() + static_cast<size_t>(x) * pixelBytes;
                if (runRepeat) {
                    std::memcpy(p, runPixel, pixelBytes);
                } else if (in.ReadBytes(p, pixelBytes) != pixelBytes) {
                    SetLastError("TGA file truncated");
                    return false;
                }
                --runLeft;
            }
        }
        uint8_t* dst = RowPointer(static_cast<int32_t>(topFirst ? height - 1 - r : r));
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t column = rightFirst ? width - 1 - x : x;
            const uint8_t* p = row.data() + static_cast<size_t>(x) * pixelBytes;
            uint8_t* q = dst + static_cast<size_t>(column) * outBytes;
            if (outBytes == 1) {
                q[0] = p[0];
            } else {
                const RgbQuad c = PixelColour(p, pixelBytes);
                q[0] = c.blue;
                q[1] = c.green;
                q[2] = c.red;
            }
        }
    }
    return true;
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
    uint8_t header[18] = {};
    header[1] = mapped ? 1 : 0;
    header[2] = mapped ? 1 : 2;
    if (mapped) {
        header[5] = 0x00; // 256 entries, little-endian
        header[6] = 0x01;
        header[7] = 24;
    }
    header[12] = static_cast<uint8_t>(width);
    header[13] = static_cast<uint8_t>(width >> 8);
    header[14] = static_cast<uint8_t>(height);
    header[15] = static_cast<uint8_t>(height >> 8);
    header[16] = static_cast<uint8_t>(bits);
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

} // namespace talvore
