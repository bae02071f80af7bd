// The transparency of a masked image as an alpha plane at the image's own
// size: one byte a pixel, top row first, 0 transparent and 255 opaque.
// A mask of another size is resampled, nearest neighbour. Where the mask's
// data ends early the rest is opaque, so the image is not hidden by a
// damaged mask.
//
// Each reader answers the plane, or an empty plane with why in *why (a row
// or a plane beyond the limits, a mask the core cannot read).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class GfxImageColorMap;
class Stream;

namespace talvore {

// The largest alpha plane kept: as many pixels as the in-memory images have.
inline constexpr uint64_t ALPHA_MAX_PIXELS = uint64_t{1} << 28;

// A soft mask (/SMask): its grey values through its colour map.
std::vector<uint8_t> SoftMaskAlpha(Stream* mask, int maskWidth, int maskHeight,
                                   GfxImageColorMap* maskColorMap, int width, int height,
                                   std::string* why);

// A stencil mask given as /Mask: a 1 sample is transparent, unless its
// Decode array inverts it (maskInvert).
std::vector<uint8_t> StencilMaskAlpha(Stream* mask, int maskWidth, int maskHeight, bool maskInvert,
                                      int width, int height, std::string* why);

// A colour-key mask (/Mask array): a pixel whose every component lies in
// its range, in stored values, is transparent. Reads the image's own
// stream, which must not be inline data (it cannot be read twice).
std::vector<uint8_t> ColourKeyAlpha(Stream* image, int width, int height,
                                    GfxImageColorMap* colorMap, const int* maskColors,
                                    std::string* why);

} // namespace talvore
