#include "image/RasterImageGIF.h"

#include <cstring>

namespace talvore {

bool RasterImageGIF::Decode(ByteStream* file) {
    if (file == nullptr) {
        SetLastError("null file handler");
        return false;
    }
    uint8_t head[13];
    if (file->Read(head, 1, sizeof head) != sizeof head || std::memcmp(head, "GIF8", 4) != 0) {
        SetLastError("Not a GIF");
        return false;
    }
    SetLastError("GIF decoding is not supported");
    return false;
}

} // namespace talvore
