#include "image/AlphaPixels.h"

#include "image/CheckedMath.h"

namespace talvore {

bool AlphaPixels::IsWhole() const {
    uint64_t samples = 0;
    return Width > 0 && Height > 0 &&
           CheckedMul<uint64_t>(uint64_t{Width} * Height, Channels, &samples) &&
           samples == Samples.size();
}

} // namespace talvore
