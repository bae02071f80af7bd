// PaletteSearch: nearest-colour search over a fixed palette that answers
// exactly what NearestPaletteEntry answers (smallest squared distance, ties
// to the lowest index), for converting whole images.
//
// Colour space is cut into 8 × 8 × 8 cells. For a cell, only entries whose
// nearest possible distance to the cell does not exceed the smallest
// farthest distance of any entry can hold the minimum for a colour inside
// it. Candidates are kept nearest-bound first, so a search stops as soon as no
// later one can beat the best; equal distances go to the lowest index, as in
// the plain search. Cells are built on first use; a direct-mapped cache of
// recent colours sits in front.
#pragma once

#include "image/RasterImage.h"

#include <cstdint>
#include <vector>

namespace talvore {

class PaletteSearch {
public:
    // entries may be nullptr or count 0: every answer is then 0.
    PaletteSearch(const RgbQuad* entries, uint32_t count);

    uint8_t Nearest(RgbQuad colour);

private:
    static constexpr int kCellBits = 3; // 8 levels per cell axis
    static constexpr int kCellsPerAxis = 256 >> kCellBits;
    static constexpr int kCacheBits = 12;
    static constexpr uint32_t kCacheSize = 1u << kCacheBits;

    uint32_t BuildCell(uint32_t cell);

    struct Entry {
        int blue, green, red;
    };
    std::vector<Entry> entries_;
    // Per cell: offset into candidates_ + 1 (0 = not built yet), and count.
    std::vector<uint32_t> cellStart_;
    std::vector<uint16_t> cellCount_;
    std::vector<uint8_t> candidates_;
    std::vector<int> candidateNear_; // each candidate's nearest distance to its cell
    // Direct-mapped colour cache: key = 0xRRGGBB | 1 << 24 when filled.
    std::vector<uint32_t> cacheKey_;
    std::vector<uint8_t> cacheIndex_;
};

} // namespace talvore
