#include "image/RasterImageICO.h"

#include <cstring>

namespace talvore {

bool RasterImageICO::Decode(ByteStream* file) {
    if (file == nullptr) {
        SetLastError("null file handler");
        return false;
    }
    uint8_t head[6];
    if (file->Read(head, 1, sizeof head) != sizeof head || head[0] != 0 || head[1] != 0 ||
        head[3] != 0 || (head[2] != 1 && head[2] != 2)) {
        SetLastError("Not an ICO");
        return false;
    }
    SetLastError("ICO decoding is not supported");
    return false;
}

} // namespace talvore
