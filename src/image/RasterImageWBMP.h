// RasterImageWBMP: the codec for WBMP files (type 0): a 1-bit image, a set
// bit white, rows top first; it loads with the palette black, white.
// Decode reads from the stream's current position into this image's block and
// answers false with a last error when the data is not its format (it must
// refuse PNM data, which the recognition order offers it) or is damaged.
#pragma once

#include "image/RasterImage.h"

namespace talvore {

class RasterImageWBMP : public RasterImage {
public:
    explicit RasterImageWBMP(uint32_t formatId = FORMAT_WBMP) : RasterImage(formatId) {}
    ~RasterImageWBMP() override = default;

    bool Decode(ByteStream* file);
};

} // namespace talvore
