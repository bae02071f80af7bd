#include "image/RasterImagePCX.h"

#include <cstring>

namespace talvore {

bool RasterImagePCX::Decode(ByteStream* file) {
    if (file == nullptr) {
        SetLastError("null file handler");
        return false;
    }
    uint8_t head[128];
    if (file->Read(head, 1, sizeof head) != sizeof head || head[0] != 10 || head[2] != 1) {
        SetLastError("Error: Not a PCX file");
        return false;
    }
    SetLastError("PCX decoding is not supported");
    return false;
}

} // namespace talvore
