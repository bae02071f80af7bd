// What every image a fuzz target decodes must satisfy: its rows lie inside
// its block, and the conversions run on it without fault.
#pragma once

#include "image/RasterImage.h"

#include <cstdint>
#include <cstdlib>

namespace talvore::fuzz {

inline void CheckImage(RasterImage& image) {
    if (!image.HasPixels())
        return;
    const uint8_t* first = image.RowPointer(0);
    const uint8_t* last = image.RowPointer(image.Height() - 1);
    if (first == nullptr || last == nullptr ||
        last + image.RowStride() > image.BlockAddress() + image.BlockSize())
        std::abort();
    if (uint64_t{static_cast<uint32_t>(image.Width())} * static_cast<uint32_t>(image.Height()) >
        (1u << 16))
        return;
    RasterImage gray(image);
    gray.ConvertToGray();
    RasterImage reduced(image);
    reduced.DecreaseBpp(8, false);
    reduced.DecreaseBpp(4, false);
    reduced.DecreaseBpp(1, false);
}

} // namespace talvore::fuzz
