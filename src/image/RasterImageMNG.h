// RasterImageMNG: the codec for MNG files (MNG, PNG or JNG signature).
// Decode reads from the stream's current position into this image's block and
// answers false with a last error when the data is not its format (it must
// refuse PNM data, which the recognition order offers it) or is damaged.
#pragma once

#include "image/RasterImage.h"

namespace talvore {

class RasterImageMNG : public RasterImage {
public:
    explicit RasterImageMNG(uint32_t formatId = FORMAT_MNG) : RasterImage(formatId) {}
    ~RasterImageMNG() override = default;

    bool Decode(ByteStream* file);
};

} // namespace talvore
