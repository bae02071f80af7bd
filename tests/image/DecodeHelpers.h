// Small helpers shared by the decoder tests: byte strings from literals,
// decoding from memory, and a pixel as 0xRRGGBB.
#pragma once

#include "image/ByteStream.h"
#include "image/RasterImage.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace talvore::testing {

inline std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}

// Decodes `data` from memory with the given id into `image`.
inline bool DecodeBytes(RasterImage& image, const std::string& data, uint32_t id) {
    std::vector<uint8_t> copy(data.begin(), data.end());
    MemoryStream stream(copy.empty() ? nullptr : copy.data(), static_cast<uint32_t>(copy.size()));
    return image.Decode(&stream, id);
}

inline uint32_t Rgb(const RasterImage& image, int x, int y) {
    const RgbQuad c = image.ReadColor(x, y);
    return uint32_t{c.red} << 16 | uint32_t{c.green} << 8 | c.blue;
}

} // namespace talvore::testing
