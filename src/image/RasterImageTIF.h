// RasterImageTIF: the codec for TIFF files (byte-order mark II or MM and version 42), through libtiff.
// Decode reads from the stream's current position into this image's block and
// answers false with a last error when the data is not its format (it must
// refuse PNM data, which the recognition order offers it) or is damaged.
#pragma once

#include "image/RasterImage.h"

namespace talvore {

class RasterImageTIF : public RasterImage {
public:
    explicit RasterImageTIF(uint32_t formatId = FORMAT_TIF) : RasterImage(formatId) {}
    ~RasterImageTIF() override = default;

    bool Decode(ByteStream* file);

    // Writes this image (a shared view of the image being saved); append
    // adds a page to a multi-page file.
    bool Encode(ByteStream* file, bool append);
};

} // namespace talvore
