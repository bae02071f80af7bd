#include "image/RasterImageTIF.h"

#include <cstring>

namespace talvore {

bool RasterImageTIF::Decode(ByteStream* file) {
    if (file == nullptr) {
        SetLastError("null file handler");
        return false;
    }
    uint8_t head[4];
    const bool ok = file->Read(head, 1, sizeof head) == sizeof head &&
                    ((head[0] == 'I' && head[1] == 'I' && (head[2] == 42 || head[2] == 43) && head[3] == 0) ||
                     (head[0] == 'M' && head[1] == 'M' && head[2] == 0 && (head[3] == 42 || head[3] == 43)));
    if (!ok) {
        SetLastError("Not a TIFF file");
        return false;
    }
    SetLastError("TIFF decoding is not supported");
    return false;
}

} // namespace talvore
