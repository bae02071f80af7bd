#include "image/RasterImageMNG.h"

#include <cstring>

namespace talvore {

bool RasterImageMNG::Decode(ByteStream* file) {
    if (file == nullptr) {
        SetLastError("null file handler");
        return false;
    }
    static const uint8_t kTail[7] = {'N', 'G', '\r', '\n', 0x1A, '\n', 0};
    uint8_t head[8];
    const bool ok = file->Read(head, 1, sizeof head) == sizeof head &&
                    (head[0] == 0x8A || head[0] == 0x89 || head[0] == 0x8B) &&
                    (head[1] == 'M' || head[1] == 'P' || head[1] == 'J') &&
                    std::memcmp(head + 2, kTail, 6) == 0;
    if (!ok) {
        SetLastError("Not an MNG file");
        return false;
    }
    SetLastError("MNG decoding is not supported");
    return false;
}

} // namespace talvore
