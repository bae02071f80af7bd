// RasterImageTGA: the codec for TGA files (an 18-byte header; image types 1, 2, 3, 9, 10, 11).
// Decode reads from the stream's current position into this image's block and
// answers false with a last error when the data is not its format (it must
// refuse PNM data, which the recognition order offers it) or is damaged.
#pragma once

#include "image/RasterImage.h"

namespace talvore {

class RasterImageTGA : public RasterImage {
public:
    explicit RasterImageTGA(uint32_t formatId = FORMAT_TGA) : RasterImage(formatId) {}
    ~RasterImageTGA() override = default;

    bool Decode(ByteStream* file);

    // Writes this image (a shared view of the image being saved).
    bool Encode(ByteStream* file);
};

} // namespace talvore
