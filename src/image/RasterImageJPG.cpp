#include "image/RasterImageJPG.h"

#include <cstdio>
#include <cstring>

namespace talvore {

bool RasterImageJPG::Decode(ByteStream* file) {
    if (file == nullptr) {
        SetLastError("null file handler");
        return false;
    }
    uint8_t head[2] = {0, 0};
    file->Read(head, 1, 2);
    if (head[0] != 0xFF || head[1] != 0xD8) {
        char text[64];
        std::snprintf(text, sizeof text, "Not a JPEG file: starts with 0x%02x 0x%02x", head[0], head[1]);
        SetLastError(text);
        return false;
    }
    SetLastError("JPEG decoding is not supported");
    return false;
}

} // namespace talvore
