#include "image/RasterImageGIF.h"

#include "image/ByteStream.h"
#include "image/GifLzwEncoder.h"
#include "image/LittleEndian.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace talvore {

bool RasterImageGIF::Encode(ByteStream* file) {
    if (CheckEncodeTarget(file))
        return false;
    const uint32_t bits = BitsPerPixel();
    if (bits > 8) {
        SetLastError("RasterImageGIF::Encode needs a palette image. Use DecreaseBpp before");
        return false;
    }
    const uint32_t width = static_cast<uint32_t>(Width());
    const uint32_t height = static_cast<uint32_t>(Height());
    // The screen and image descriptors hold 16-bit sizes.
    if (width > 65535 || height > 65535) {
        SetLastError("GIF width and height must be at most 65535");
        return false;
    }
    const RgbQuad* palette = PaletteEntries();
    const uint32_t colours = ColorsUsed();

    // Header, global table, control extension and image descriptor: one write.
    std::vector<uint8_t> head;
    head.reserve(13 + 3 * 256 + 8 + 10 + 1);
    for (char ch : {'G', 'I', 'F', '8', '9', 'a'})
        head.push_back(static_cast<uint8_t>(ch));
    le::AppendFields(head, {{2, width},
                            {2, height},
                            {1, 128 + 16 * (bits - 1) + (bits - 1)},
                            {1, 0},   // background colour index
                            {1, 0}}); // pixel aspect ratio
    for (uint32_t i = 0; i < colours; ++i) {
        const RgbQuad c = palette != nullptr ? palette[i] : RgbQuad{};
        head.insert(head.end(), {c.red, c.green, c.blue});
    }

    const int32_t background = BackgroundIndex();
    const int minimumCodeSize = static_cast<int>(std::max<uint32_t>(bits, 2));
    le::AppendFields(head, {{1, 0x21},
                            {1, 0xF9},
                            {1, 4},
                            {1, background != -1 ? 1u : 0u},
                            {2, Info().frameDelay & 0xFFFF},
                            {1, static_cast<uint32_t>(background)},
                            {1, 0},
                            {1, 0x2C},
                            {2, static_cast<uint32_t>(Info().xOffset)},
                            {2, static_cast<uint32_t>(Info().yOffset)},
                            {2, width},
                            {2, height},
                            {1, 0}, // no local table, not interlaced
                            {1, static_cast<uint32_t>(minimumCodeSize)}});
    if (file->Write(head.data(), 1, head.size()) != head.size()) {
        SetLastError("Write Error in GIF file");
        return false;
    }

    // Rows go top first; packed rows are unpacked to one index per byte.
    std::vector<uint8_t> indices(bits < 8 ? width : 0);
    auto rowOf = [&](uint32_t topRow) -> const uint8_t* {
        const uint8_t* row = RowPointer(static_cast<int32_t>(height - 1 - topRow));
        if (bits == 8)
            return row;
        if (bits == 4) {
            for (uint32_t x = 0; x < width; ++x)
                indices[x] = (x & 1) ? (row[x / 2] & 0x0F) : (row[x / 2] >> 4);
        } else {
            for (uint32_t x = 0; x < width; ++x)
                indices[x] = (row[x / 8] >> (7 - (x & 7))) & 1;
        }
        return indices.data();
    };

    auto encoder = std::make_unique<GifLzwEncoder>();
    const bool written = encoder->Compress(file, width, height, minimumCodeSize + 1, rowOf);

    const uint8_t tail[2] = {0x00, 0x3B}; // block terminator, trailer
    file->Write(tail, 1, sizeof tail);
    // A stream in error means a cut-short file: report it, so the caller does
    // not take the GIF for done and throw away its source.
    if (!written) {
        SetLastError("Write Error in GIF file");
        return false;
    }
    return true;
}

} // namespace talvore
