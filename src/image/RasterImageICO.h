// RasterImageICO: the codec for Windows icon files (reserved word 0, type 1 or 2).
// Decode reads from the stream's current position into this image's block and
// answers false with a last error when the data is not its format (it must
// refuse PNM data, which the recognition order offers it) or is damaged.
#pragma once

#include "image/RasterImage.h"

namespace talvore {

class RasterImageICO : public RasterImage {
public:
    explicit RasterImageICO(uint32_t formatId = FORMAT_ICO) : RasterImage(formatId) {}
    ~RasterImageICO() override = default;

    bool Decode(ByteStream* file);
};

} // namespace talvore
