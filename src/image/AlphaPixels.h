// Pixels with an alpha channel, for the writers that store one (PNG, TIFF,
// TGA). The raster image model has no alpha, and its writers keep their
// behaviour: an image with transparency takes this small path beside it.
//
// Each writer stores the pixels whole and answers true, or answers false
// with why in *error; a false may leave part of a file in the stream, which
// the caller discards.
#pragma once

#include "image/ByteStream.h"

#include <cstdint>
#include <string>
#include <vector>

namespace talvore {

struct AlphaPixels {
    uint32_t Width = 0;
    uint32_t Height = 0;
    // 2: grey and alpha; 4: red, green, blue and alpha. Unassociated alpha,
    // 0 transparent, 255 opaque.
    uint32_t Channels = 4;
    std::vector<uint8_t> Samples; // top row first, Channels bytes a pixel

    // Whether the samples hold exactly the pixels the sizes declare.
    bool IsWhole() const;
};

bool EncodePngAlpha(const AlphaPixels& pixels, ByteStream* file, std::string* error);
// LZW with the horizontal predictor: lossless, like the grey images.
bool EncodeTiffAlpha(const AlphaPixels& pixels, ByteStream* file, std::string* error);
// 32-bit true colour, grey expanded to it: TGA has no grey with alpha that
// readers agree on.
bool EncodeTgaAlpha(const AlphaPixels& pixels, ByteStream* file, std::string* error);

} // namespace talvore
