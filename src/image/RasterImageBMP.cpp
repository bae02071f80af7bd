#include "image/RasterImageBMP.h"

#include <cstring>

namespace talvore {

namespace {
uint32_t U32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
} // namespace

bool RasterImageBMP::Decode(ByteStream* file) {
    if (file == nullptr) {
        SetLastError("null file handler");
        return false;
    }
    uint8_t head[40];
    const size_t got = file->Read(head, 1, sizeof head);
    const bool fileHeader = got >= 2 && head[0] == 'B' && head[1] == 'M';
    bool bareHeader = false;
    if (!fileHeader && got == sizeof head) {
        const uint32_t size = U32(head);
        const int32_t height = static_cast<int32_t>(U32(head + 8));
        const uint32_t rows = static_cast<uint32_t>(height < 0 ? -static_cast<int64_t>(height) : height);
        bareHeader = size == 12 || size == 40 || size == 64 ||
                     (size > 40 && U16(head + 12) == 1 && U32(head + 32) == 0 && U32(head + 20) >= rows);
    }
    if (!fileHeader && !bareHeader) {
        SetLastError("Not a BMP");
        return false;
    }
    SetLastError("BMP decoding is not supported");
    return false;
}

} // namespace talvore
