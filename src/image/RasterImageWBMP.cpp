#include "image/RasterImageWBMP.h"

#include "image/CheckedMath.h"
#include "image/StreamReader.h"

#include <cstring>
#include <vector>

namespace talvore {

namespace {

// A multi-byte integer: 7 bits per byte, most significant first, the high
// bit set on every byte but the last. False past 28 bits or at the end.
bool ReadMultiByte(StreamReader& in, uint32_t* value) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        const int c = in.Get();
        if (c < 0)
            return false;
        v = (v << 7) | static_cast<uint32_t>(c & 0x7F);
        if ((c & 0x80) == 0) {
            *value = v;
            return true;
        }
    }
    return false;
}

} // namespace

bool RasterImageWBMP::Decode(ByteStream* file) {
    if (file == nullptr) {
        SetLastError("null file handler");
        return false;
    }
    StreamReader in(file);
    uint32_t type = 0;
    if (!ReadMultiByte(in, &type) || type != 0) {
        SetLastError("Unsupported WBMP type");
        return false;
    }
    // The fixed header byte; its high bit announces extension headers,
    // which type 0 does not have.
    const int fixed = in.Get();
    uint32_t width = 0;
    uint32_t height = 0;
    if (fixed < 0 || (fixed & 0x80) != 0 || !ReadMultiByte(in, &width) ||
        !ReadMultiByte(in, &height) || width == 0 || height == 0) {
        SetLastError("Invalid WBMP header");
        return false;
    }
    const uint64_t rowBytes = (uint64_t{width} + 7) / 8;
    uint64_t needed = 0;
    const int64_t remaining = in.Remaining();
    if (!CheckedMul<uint64_t>(rowBytes, height, &needed) ||
        (remaining >= 0 && needed > static_cast<uint64_t>(remaining))) {
        SetLastError("WBMP file truncated");
        return false;
    }
    if (Create(width, height, 1, FORMAT_WBMP) == nullptr)
        return false;
    FillStandardPalette(); // a 1 bit is white: index 1
    for (uint32_t r = 0; r < height; ++r) {
        uint8_t* dst = RowPointer(static_cast<int32_t>(height - 1 - r));
        if (in.ReadBytes(dst, static_cast<size_t>(rowBytes)) != rowBytes) {
            SetLastError("WBMP file truncated");
            return false;
        }
        if (width % 8 != 0)
            dst[rowBytes - 1] &= static_cast<uint8_t>(0xFF << (8 - width % 8));
    }
    return true;
}

} // namespace talvore
