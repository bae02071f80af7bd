#include "image/RasterImageRAW.h"

#include <cstring>

namespace talvore {

bool RasterImageRAW::Decode(ByteStream* file) {
    if (file == nullptr) {
        SetLastError("null file handler");
        return false;
    }
    SetLastError("camera raw decoding is not supported");
    return false;
}

} // namespace talvore
