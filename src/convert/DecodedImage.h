// An image the extraction device decoded in memory instead of writing it as
// an intermediate file: the PBM or PPM file's bytes as the device would have
// written them, or, for an image whose every colour is a grey, its 8-bit
// samples, which stand for a PPM with three equal components; with its
// alpha plane when the image was masked and transparency is kept.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace talvore {

struct DecodedImage {
    enum class Layout {
        Pbm,  // Bytes: the whole PBM file
        Ppm,  // Bytes: the whole PPM file
        Grey, // Bytes: width × height samples, top row first
    };

    int Number = 0;               // the image's -NNN
    int Page = 0;                 // the page it was drawn on
    std::string IntermediatePath; // the .pbm or .ppm name the number gave it
    Layout Kind = Layout::Ppm;
    uint32_t Width = 0;
    uint32_t Height = 0;
    std::vector<uint8_t> Bytes;
    // With transparency kept, a masked image's alpha: width × height bytes,
    // top row first, 255 opaque. Empty for an image without a mask.
    std::vector<uint8_t> Alpha;

    // The intermediate file's content, byte for byte.
    std::vector<uint8_t> IntermediateBytes() const;
    // The alpha as the 8-bit grey file "<name>-alpha.pgm" would hold it.
    std::vector<uint8_t> AlphaIntermediateBytes() const;
};

} // namespace talvore
