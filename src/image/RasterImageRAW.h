// RasterImageRAW: the codec for camera raw files.
// Decode reads from the stream's current position into this image's block and
// answers false with a last error when the data is not its format (it must
// refuse PNM data, which the recognition order offers it) or is damaged.
#pragma once

#include "image/RasterImage.h"

namespace talvore {

class RasterImageRAW : public RasterImage {
public:
    explicit RasterImageRAW(uint32_t formatId = FORMAT_RAW) : RasterImage(formatId) {}
    ~RasterImageRAW() override = default;

    bool Decode(ByteStream* file);
};

} // namespace talvore
