// RasterImageJPG: the codec for JPEG files (start-of-image marker FF D8), through libjpeg.
// Decode reads from the stream's current position into this image's block and
// answers false with a last error when the data is not its format (it must
// refuse PNM data, which the recognition order offers it) or is damaged.
#pragma once

#include "image/RasterImage.h"

namespace talvore {

class RasterImageJPG : public RasterImage {
public:
    explicit RasterImageJPG(uint32_t formatId = FORMAT_JPG) : RasterImage(formatId) {}
    ~RasterImageJPG() override = default;

    bool Decode(ByteStream* file);

    // Writes this image (a shared view of the image being saved).
    bool Encode(ByteStream* file);
};

} // namespace talvore
