// RasterImageGIF: the GIF writer (GIF89a, one image, the global colour
// table of the image's palette, LZW data from GifLzwEncoder). It writes a
// shared view of the image being saved; images of more than 8 bits are
// refused.
#pragma once

#include "image/RasterImage.h"

namespace talvore {

class RasterImageGIF : public RasterImage {
public:
    explicit RasterImageGIF(uint32_t formatId = FORMAT_GIF) : RasterImage(formatId) {}
    ~RasterImageGIF() override = default;

    // Writes this image (a shared view of the image being saved).
    bool Encode(ByteStream* file);
};

} // namespace talvore
