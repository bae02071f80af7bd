// RasterImageWMF: the codec for Windows metafiles (placeable or enhanced header).
// Decode reads from the stream's current position into this image's block and
// answers false with a last error when the data is not its format (it must
// refuse PNM data, which the recognition order offers it) or is damaged.
#pragma once

#include "image/RasterImage.h"

namespace talvore {

class RasterImageWMF : public RasterImage {
public:
    explicit RasterImageWMF(uint32_t formatId = FORMAT_WMF) : RasterImage(formatId) {}
    ~RasterImageWMF() override = default;

    // forcedWidth / forcedHeight 0: the size the metafile states.
    bool Decode(ByteStream* file, int32_t forcedWidth = 0, int32_t forcedHeight = 0);
};

} // namespace talvore
