#include "image/RasterImageTGA.h"

#include <cstring>

namespace talvore {

bool RasterImageTGA::Decode(ByteStream* file) {
    if (file == nullptr) {
        SetLastError("null file handler");
        return false;
    }
    uint8_t head[18];
    if (file->Read(head, 1, sizeof head) != sizeof head) {
        SetLastError("bad TGA header");
        return false;
    }
    const uint8_t type = head[2];
    const uint32_t mapLength = head[5] | head[6] << 8;
    const uint32_t width = head[12] | head[13] << 8;
    const uint32_t height = head[14] | head[15] << 8;
    const uint8_t depth = head[16];
    const bool typeOk = type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11;
    if (!typeOk || width == 0 || height == 0 || depth == 0 || mapLength > 256) {
        SetLastError("bad TGA header");
        return false;
    }
    SetLastError("TGA decoding is not supported");
    return false;
}

} // namespace talvore
