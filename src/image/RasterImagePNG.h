// RasterImagePNG: the PNG writer, through libpng. It writes a shared view of
// the image being saved at its own depth: gray with the identity gray
// palette, a PLTE palette otherwise, RGB at 24 bits.
#pragma once

#include "image/RasterImage.h"

namespace talvore {

class RasterImagePNG : public RasterImage {
public:
    explicit RasterImagePNG(uint32_t formatId = FORMAT_PNG) : RasterImage(formatId) {}
    ~RasterImagePNG() override = default;

    // Writes this image (a shared view of the image being saved).
    bool Encode(ByteStream* file);
};

} // namespace talvore
