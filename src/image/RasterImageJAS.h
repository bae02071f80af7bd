// RasterImageJAS: the decoder for the JPEG 2000 family's container ids
// (JP2, JPC, PGX, PNM, RAS). Only PNM is read here, by our own reader: the
// magic "P1" to "P6", width, height and (except for bitmaps) the maximum
// sample value, white space and '#' comments between them; plain and raw
// samples, 8- and 16-bit.
//
// Three components (P3, P6) give a 24-bit image of format id PNM; one
// component (P1, P2, P4, P5) gives a gray image of min(precision, 8) bits
// with the gray palette and the format id passed to Decode, so a bitmap loads
// as 1 bit with the palette black, white. Samples above 8 bits are shifted
// down to 8. The top row of the file becomes the highest storage row.
//
// Hostile data (absurd sizes, maxval 0 or above 65535, truncation, garbage)
// is refused with a last error; nothing is allocated before the data is
// known to be long enough, and never beyond RASTER_MAX_MEMORY.
#pragma once

#include "image/RasterImage.h"

namespace talvore {

class RasterImageJAS : public RasterImage {
public:
    explicit RasterImageJAS(uint32_t formatId = FORMAT_UNKNOWN) : RasterImage(formatId) {}
    ~RasterImageJAS() override = default;

    // formatId becomes the format id of gray results.
    bool Decode(ByteStream* file, uint32_t formatId);
};

} // namespace talvore
