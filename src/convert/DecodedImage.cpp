#include "convert/DecodedImage.h"

#include <cstdio>

namespace talvore {

std::vector<uint8_t> DecodedImage::IntermediateBytes() const {
    if (Kind != Layout::Grey)
        return Bytes;
    char header[64];
    const int length = std::snprintf(header, sizeof header, "P6\n%u %u\n255\n", Width, Height);
    std::vector<uint8_t> ppm;
    ppm.reserve(static_cast<size_t>(length) + Bytes.size() * 3);
    ppm.insert(ppm.end(), header, header + length);
    for (const uint8_t sample : Bytes) {
        ppm.push_back(sample);
        ppm.push_back(sample);
        ppm.push_back(sample);
    }
    return ppm;
}

std::vector<uint8_t> DecodedImage::AlphaIntermediateBytes() const {
    char header[64];
    const int length = std::snprintf(header, sizeof header, "P5\n%u %u\n255\n", Width, Height);
    std::vector<uint8_t> pgm(header, header + length);
    pgm.insert(pgm.end(), Alpha.begin(), Alpha.end());
    return pgm;
}

} // namespace talvore
