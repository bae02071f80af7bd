// RasterImageSKA: the codec for SKA files.
// Decode reads from the stream's current position into this image's block and
// answers false with a last error when the data is not its format (it must
// refuse PNM data, which the recognition order offers it) or is damaged.
#pragma once

#include "image/RasterImage.h"

namespace talvore {

class RasterImageSKA : public RasterImage {
public:
    explicit RasterImageSKA(uint32_t formatId = FORMAT_SKA) : RasterImage(formatId) {}
    ~RasterImageSKA() override = default;

    bool Decode(ByteStream* file);
};

} // namespace talvore
