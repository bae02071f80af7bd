#include "image/RasterImageGIF.h"

#include "image/ByteStream.h"
#include "image/GifLzwEncoder.h"

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
    auto put16 = [&head](uint32_t value) {
        head.push_back(static_cast<uint8_t>(value));
        head.push_back(static_cast<uint8_t>(value >> 8));
    };
    for (char ch : {'G', 'I', 'F', '8', '9', 'a'})
        head.push_back(static_cast<uint8_t>(ch));
    put16(width);
    put16(height);
    head.push_back(static_cast<uint8_t>(128 + 16 * (bits - 1) + (bits - 1)));
    head.push_back(0); // background colour index
    head.push_back(0); // pixel aspect ratio
    for (uint32_t i = 0; i < colours; ++i) {
        const RgbQuad c = palette != nullptr ? palette[i] : RgbQuad{};
        head.push_back(c.red);
        head.push_back(c.green);
        head.push_back(c.blue);
    }

    const int32_t background = BackgroundIndex();
    head.insert(head.end(), {0x21, 0xF9, 0x04});
    head.push_back(background != -1 ? 1 : 0);
    put16(Info().frameDelay & 0xFFFF);
    head.push_back(static_cast<uint8_t>(background));
    head.push_back(0);

    head.push_back(0x2C);
    put16(static_cast<uint32_t>(Info().xOffset));
    put16(static_cast<uint32_t>(Info().yOffset));
    put16(width);
    put16(height);
    head.push_back(0); // no local table, not interlaced
    const int minimumCodeSize = static_cast<int>(std::max<uint32_t>(bits, 2));
    head.push_back(static_cast<uint8_t>(minimumCodeSize));
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
