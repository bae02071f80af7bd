#include "image/RasterImagePNG.h"

#include <cstring>

namespace talvore {

bool RasterImagePNG::Decode(ByteStream* file) {
    if (file == nullptr) {
        SetLastError("null file handler");
        return false;
    }
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    uint8_t head[8];
    if (file->Read(head, 1, sizeof head) != sizeof head || std::memcmp(head, kSignature, 8) != 0) {
        SetLastError("Not a PNG");
        return false;
    }
    SetLastError("PNG decoding is not supported");
    return false;
}

} // namespace talvore
