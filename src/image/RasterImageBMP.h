// RasterImageBMP: the codec for BMP files ("BM" + file header) and bare BMP
// information headers. Decodes 1, 4 and 8 bits with their palette (RLE8 and
// RLE4 too) and 16, 24 and 32 bits (bit fields too) as 24 bits, bottom-up or
// top-down; the stated resolution becomes the DPI.
// Decode reads from the stream's current position into this image's block and
// answers false with a last error when the data is not its format (it must
// refuse PNM data, which the recognition order offers it) or is damaged.
#pragma once

#include "image/RasterImage.h"

namespace talvore {

class RasterImageBMP : public RasterImage {
public:
    explicit RasterImageBMP(uint32_t formatId = FORMAT_BMP) : RasterImage(formatId) {}
    ~RasterImageBMP() override = default;

    bool Decode(ByteStream* file);

    // Writes this image (a shared view of the image being saved).
    bool Encode(ByteStream* file);
};

} // namespace talvore
