#include "image/RasterImageWMF.h"

#include <cstring>

namespace talvore {

bool RasterImageWMF::Decode(ByteStream* file, int32_t, int32_t) {
    if (file == nullptr) {
        SetLastError("null file handler");
        return false;
    }
    uint8_t head[44];
    const size_t got = file->Read(head, 1, sizeof head);
    static const uint8_t kPlaceable[4] = {0xD7, 0xCD, 0xC6, 0x9A};
    const bool placeable = got >= 22 && std::memcmp(head, kPlaceable, 4) == 0;
    // Enhanced metafile: record type 1 (EMR_HEADER), signature " EMF" at 40.
    const bool enhanced = got == sizeof head && head[0] == 1 && head[1] == 0 && head[2] == 0 &&
                          head[3] == 0 && std::memcmp(head + 40, " EMF", 4) == 0;
    if (!placeable && !enhanced) {
        SetLastError("corrupted WMF");
        return false;
    }
    SetLastError("WMF decoding is not supported");
    return false;
}

} // namespace talvore
