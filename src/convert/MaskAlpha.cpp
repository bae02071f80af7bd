#include "convert/MaskAlpha.h"

#include "image/CheckedMath.h"

#include <GfxState.h>
#include <Stream.h>

#include <algorithm>
#include <array>

namespace talvore {
namespace {

// As the device's own limit for the core's row buffers.
constexpr uint64_t kMaskRowMaxBytes = uint64_t{64} << 20;

// Reads the mask's rows in order and keeps, for each of the image's rows,
// the nearest one; toAlpha(line, out) turns one row of unpacked samples
// into maskWidth alpha values.
template <typename ToAlpha>
std::vector<uint8_t> Resampled(Stream* mask, int maskWidth, int maskHeight, int comps, int bits,
                               int width, int height, ToAlpha&& toAlpha, std::string* why) {
    uint64_t pixels = 0;
    if (width <= 0 || height <= 0 || maskWidth <= 0 || maskHeight <= 0) {
        *why = "the mask has no pixels";
        return {};
    }
    if (!CheckedMul(uint64_t(width), uint64_t(height), &pixels) || pixels > ALPHA_MAX_PIXELS) {
        *why = "its alpha plane would be beyond the limit of " + std::to_string(ALPHA_MAX_PIXELS) +
               " pixels";
        return {};
    }
    if (uint64_t(maskWidth) * uint64_t(comps) > kMaskRowMaxBytes) {
        *why = "its mask's rows are beyond the limit of " + std::to_string(kMaskRowMaxBytes) +
               " bytes";
        return {};
    }
    std::vector<uint32_t> columns(static_cast<size_t>(width));
    for (int x = 0; x < width; ++x)
        columns[static_cast<size_t>(x)] =
            static_cast<uint32_t>(uint64_t(x) * uint64_t(maskWidth) / uint64_t(width));

    std::vector<uint8_t> alpha(static_cast<size_t>(pixels), 255);
    std::vector<uint8_t> maskRow(static_cast<size_t>(maskWidth), 255);
    ImageStream rows(mask, maskWidth, comps, bits);
    rows.reset();
    int read = 0; // mask rows read so far
    bool ended = false;
    for (int y = 0; y < height && !ended; ++y) {
        const int wanted = static_cast<int>(uint64_t(y) * uint64_t(maskHeight) / uint64_t(height));
        while (read <= wanted && !ended) {
            // Rows past the end of the data stay opaque.
            if (mask->lookChar() == EOF) {
                ended = true;
                break;
            }
            const unsigned char* line = rows.getLine();
            if (line == nullptr) {
                ended = true;
                break;
            }
            ++read;
            if (read > wanted)
                toAlpha(line, maskRow.data());
        }
        if (ended)
            break;
        uint8_t* out = alpha.data() + size_t(y) * size_t(width);
        for (int x = 0; x < width; ++x)
            out[x] = maskRow[columns[static_cast<size_t>(x)]];
    }
    rows.close();
    return alpha;
}

} // namespace

std::vector<uint8_t> SoftMaskAlpha(Stream* mask, int maskWidth, int maskHeight,
                                   GfxImageColorMap* maskColorMap, int width, int height,
                                   std::string* why) {
    const int bits = maskColorMap->getBits();
    if (maskColorMap->getNumPixelComps() != 1 || bits < 1 || bits > 16) {
        *why = "its soft mask is not one grey component";
        return {};
    }
    // Samples of up to 8 bits map through a table; the core hands wider
    // ones over scaled to 8 bits too.
    std::array<uint8_t, 256> table{};
    const int values = 1 << std::min(bits, 8);
    for (int v = 0; v < values; ++v) {
        const unsigned char sample = static_cast<unsigned char>(v);
        GfxGray gray;
        maskColorMap->getGray(&sample, &gray);
        table[static_cast<size_t>(v)] = colToByte(gray);
    }
    return Resampled(
        mask, maskWidth, maskHeight, 1, bits, width, height,
        [&](const unsigned char* line, uint8_t* out) {
            for (int x = 0; x < maskWidth; ++x)
                out[x] = table[line[x]];
        },
        why);
}

std::vector<uint8_t> StencilMaskAlpha(Stream* mask, int maskWidth, int maskHeight, bool maskInvert,
                                      int width, int height, std::string* why) {
    const unsigned char hidden = maskInvert ? 0 : 1;
    return Resampled(
        mask, maskWidth, maskHeight, 1, 1, width, height,
        [&](const unsigned char* line, uint8_t* out) {
            for (int x = 0; x < maskWidth; ++x)
                out[x] = line[x] == hidden ? 0 : 255;
        },
        why);
}

std::vector<uint8_t> ColourKeyAlpha(Stream* image, int width, int height,
                                    GfxImageColorMap* colorMap, const int* maskColors,
                                    std::string* why) {
    const int comps = colorMap->getNumPixelComps();
    const int bits = colorMap->getBits();
    // The core hands 16-bit samples over cut to 8 bits, where a key of
    // 16-bit values cannot be told apart.
    if (comps < 1 || comps > gfxColorMaxComps || bits < 1 || bits > 8) {
        *why = "its colour key does not fit its colour space";
        return {};
    }
    return Resampled(
        image, width, height, comps, bits, width, height,
        [&](const unsigned char* line, uint8_t* out) {
            for (int x = 0; x < width; ++x, line += comps) {
                bool inKey = true;
                for (int c = 0; c < comps && inKey; ++c)
                    inKey = line[c] >= maskColors[2 * c] && line[c] <= maskColors[2 * c + 1];
                out[x] = inKey ? 0 : 255;
            }
        },
        why);
}

} // namespace talvore
