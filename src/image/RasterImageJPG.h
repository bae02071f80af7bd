// RasterImageJPG: the JPEG writer, through libjpeg. It writes a shared view
// of the image being saved: 24-bit images as colour, 8-bit images with the
// identity gray palette as gray; other palette images are refused.
#pragma once

#include "image/RasterImage.h"

namespace talvore {

class RasterImageJPG : public RasterImage {
public:
    explicit RasterImageJPG(uint32_t formatId = FORMAT_JPG) : RasterImage(formatId) {}
    ~RasterImageJPG() override = default;

    // Writes this image (a shared view of the image being saved).
    bool Encode(ByteStream* file);
};

} // namespace talvore
