#include "image/PaletteSearch.h"

#include <algorithm>
#include <climits>

namespace talvore {

PaletteSearch::PaletteSearch(const RgbQuad* entries, uint32_t count) {
    if (entries == nullptr || count == 0)
        return;
    count = std::min<uint32_t>(count, 256);
    constexpr size_t cells = size_t{kCellsPerAxis} * kCellsPerAxis * kCellsPerAxis;
    cellStart_.assign(cells, 0);
    cellCount_.assign(cells, 0);
    cacheKey_.assign(kCacheSize, 0);
    cacheIndex_.assign(kCacheSize, 0);
    entries_.reserve(count);
    for (uint32_t i = 0; i < count; ++i)
        entries_.push_back(Entry{entries[i].blue, entries[i].green, entries[i].red});
}

namespace {

// Squared distance along one axis from v to the nearest and farthest point
// of [lo, hi].
inline int NearAxis(int v, int lo, int hi) {
    const int d = v < lo ? lo - v : v > hi ? v - hi : 0;
    return d * d;
}
inline int FarAxis(int v, int lo, int hi) {
    const int d = std::max(v - lo, hi - v);
    return d * d;
}

} // namespace

uint32_t PaletteSearch::BuildCell(uint32_t cell) {
    const int size = 1 << kCellBits;
    const int b0 = static_cast<int>(cell % kCellsPerAxis) * size;
    const int g0 = static_cast<int>((cell / kCellsPerAxis) % kCellsPerAxis) * size;
    const int r0 = static_cast<int>(cell / (kCellsPerAxis * kCellsPerAxis)) * size;
    const int b1 = b0 + size - 1, g1 = g0 + size - 1, r1 = r0 + size - 1;

    int bound = INT32_MAX;
    for (const Entry& e : entries_) {
        const int far = FarAxis(e.blue, b0, b1) + FarAxis(e.green, g0, g1) + FarAxis(e.red, r0, r1);
        bound = std::min(bound, far);
    }
    const uint32_t start = static_cast<uint32_t>(candidates_.size());
    struct Candidate {
        int near;
        uint8_t index;
    };
    std::vector<Candidate> found;
    for (size_t i = 0; i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        const int near =
            NearAxis(e.blue, b0, b1) + NearAxis(e.green, g0, g1) + NearAxis(e.red, r0, r1);
        if (near <= bound)
            found.push_back(Candidate{near, static_cast<uint8_t>(i)});
    }
    // Nearest first, so a search can stop once no later candidate can win.
    std::stable_sort(found.begin(), found.end(),
                     [](const Candidate& a, const Candidate& b) { return a.near < b.near; });
    for (const Candidate& c : found) {
        candidates_.push_back(c.index);
        candidateNear_.push_back(c.near);
    }
    cellStart_[cell] = start + 1;
    cellCount_[cell] = static_cast<uint16_t>(found.size());
    return start;
}

uint8_t PaletteSearch::Nearest(RgbQuad colour) {
    if (entries_.empty())
        return 0;
    const uint32_t key =
        (uint32_t{colour.red} << 16 | uint32_t{colour.green} << 8 | colour.blue) | (1u << 24);
    const uint32_t slot = (key * 2654435761u) >> (32 - kCacheBits);
    if (cacheKey_[slot] == key)
        return cacheIndex_[slot];

    const uint32_t cell = (uint32_t{colour.red} >> kCellBits) * kCellsPerAxis * kCellsPerAxis +
                          (uint32_t{colour.green} >> kCellBits) * kCellsPerAxis +
                          (uint32_t{colour.blue} >> kCellBits);
    const uint32_t start = cellStart_[cell] != 0 ? cellStart_[cell] - 1 : BuildCell(cell);
    const uint8_t* candidate = candidates_.data() + start;
    const uint32_t n = cellCount_[cell];

    // Candidates come in order of their distance bound, not of index: the
    // smallest distance wins and, among equal ones, the lowest index, which
    // is what the plain in-order search answers.
    const int* near = candidateNear_.data() + start;
    int best = INT32_MAX;
    uint8_t bestIndex = 0;
    for (uint32_t k = 0; k < n; ++k) {
        if (near[k] > best)
            break;
        const uint8_t index = candidate[k];
        const Entry& e = entries_[index];
        const int db = e.blue - colour.blue;
        const int dg = e.green - colour.green;
        const int dr = e.red - colour.red;
        const int d = db * db + dg * dg + dr * dr;
        if (d < best || (d == best && index < bestIndex)) {
            best = d;
            bestIndex = index;
        }
    }
    cacheKey_[slot] = key;
    cacheIndex_[slot] = bestIndex;
    return bestIndex;
}

} // namespace talvore
