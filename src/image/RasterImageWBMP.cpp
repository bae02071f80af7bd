#include "image/RasterImageWBMP.h"

#include <cstring>

namespace talvore {

bool RasterImageWBMP::Decode(ByteStream* file) {
    if (file == nullptr) {
        SetLastError("null file handler");
        return false;
    }
    // The type is a multi-byte integer: 7 bits per byte, high bit = more.
    uint32_t type = 0;
    for (int i = 0; i < 5; ++i) {
        const int c = file->GetC();
        if (c < 0) {
            SetLastError("Unsupported WBMP type");
            return false;
        }
        type = (type << 7) | static_cast<uint32_t>(c & 0x7F);
        if ((c & 0x80) == 0) break;
    }
    if (type != 0) {
        SetLastError("Unsupported WBMP type");
        return false;
    }
    SetLastError("WBMP decoding is not supported");
    return false;
}

} // namespace talvore
