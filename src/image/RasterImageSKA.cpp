#include "image/RasterImageSKA.h"

#include <cstring>

namespace talvore {

bool RasterImageSKA::Decode(ByteStream* file) {
    if (file == nullptr) {
        SetLastError("null file handler");
        return false;
    }
    SetLastError("SKA decoding is not supported");
    return false;
}

} // namespace talvore
