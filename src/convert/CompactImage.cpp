#include "convert/CompactImage.h"

#include "image/RasterImage.h"

#include <array>
#include <cstring>
#include <vector>

namespace talvore {
namespace {

// The distinct colours of an image, in the order first met, up to 256: a
// small open-addressing table keyed by the 24-bit colour.
class ColourSet {
public:
    static constexpr uint32_t kLimit = 256;

    // The colour's index, or -1 when it would be the 257th.
    int Find(uint32_t colour) {
        uint32_t slot = (colour * 2654435761u) >> (32 - kBits);
        for (;;) {
            if (m_keys[slot] == colour + 1)
                return m_values[slot];
            if (m_keys[slot] == 0)
                break;
            slot = (slot + 1) & (kSlots - 1);
        }
        if (m_colours.size() == kLimit)
            return -1;
        m_keys[slot] = colour + 1;
        m_values[slot] = static_cast<uint8_t>(m_colours.size());
        m_colours.push_back(colour);
        return m_values[slot];
    }
    const std::vector<uint32_t>& Colours() const { return m_colours; }

private:
    static constexpr int kBits = 10;
    static constexpr uint32_t kSlots = 1u << kBits;
    std::array<uint32_t, kSlots> m_keys{};
    std::array<uint8_t, kSlots> m_values{};
    std::vector<uint32_t> m_colours;
};

uint32_t Key(uint8_t red, uint8_t green, uint8_t blue) {
    return (uint32_t{red} << 16) | (uint32_t{green} << 8) | blue;
}

// Writes index i of a pixel at x into a packed row of the given depth.
void PutIndex(uint8_t* row, uint32_t x, uint32_t bits, uint8_t index) {
    if (bits == 8) {
        row[x] = index;
    } else if (bits == 4) {
        row[x / 2] |= static_cast<uint8_t>(x % 2 == 0 ? index << 4 : index);
    } else {
        row[x / 8] |= static_cast<uint8_t>(index << (7 - x % 8));
    }
}

uint32_t PaletteBits(size_t colours, Compaction compaction) {
    if (compaction == Compaction::AnyPalette) {
        if (colours <= 2)
            return 1;
        if (colours <= 16)
            return 4;
    }
    return 8;
}

// Indices of every pixel by the set's order; false past 256 colours.
bool IndexPixels(const RasterImage& image, ColourSet& set, std::vector<uint8_t>& indices,
                 bool* allGrey) {
    const uint32_t width = static_cast<uint32_t>(image.Width());
    const uint32_t height = static_cast<uint32_t>(image.Height());
    const bool rgb = image.BitsPerPixel() == 24;
    const RgbQuad* palette = image.PaletteEntries();
    indices.resize(static_cast<size_t>(width) * height);
    *allGrey = true;
    uint8_t* out = indices.data();
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = image.RowPointer(static_cast<int32_t>(y));
        uint32_t last = UINT32_MAX;
        int lastIndex = 0;
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t blue, green, red;
            if (rgb) {
                blue = row[3 * x];
                green = row[3 * x + 1];
                red = row[3 * x + 2];
            } else {
                const RgbQuad& entry = palette[row[x]];
                blue = entry.blue;
                green = entry.green;
                red = entry.red;
            }
            const uint32_t key = Key(red, green, blue);
            // Runs of one colour are the rule in the pictures that compact.
            if (key != last) {
                lastIndex = set.Find(key);
                if (lastIndex < 0)
                    return false;
                last = key;
                *allGrey = *allGrey && red == green && green == blue;
            }
            *out++ = static_cast<uint8_t>(lastIndex);
        }
    }
    return true;
}

bool Replace(RasterImage& image, uint32_t bits, const std::vector<uint32_t>& colours,
             const std::vector<uint8_t>& indices, bool identityGrey) {
    RasterImage compact;
    compact.CopyAttributes(image);
    const uint32_t width = static_cast<uint32_t>(image.Width());
    const uint32_t height = static_cast<uint32_t>(image.Height());
    if (!compact.Create(width, height, bits, image.FormatId()))
        return false;
    if (identityGrey) {
        compact.FillGrayPalette();
    } else {
        std::vector<RgbQuad> entries(colours.size());
        for (size_t i = 0; i < colours.size(); ++i) {
            entries[i] =
                MakeRgb(static_cast<uint8_t>(colours[i] >> 16),
                        static_cast<uint8_t>(colours[i] >> 8), static_cast<uint8_t>(colours[i]));
        }
        compact.StorePalette(entries.data(), static_cast<uint32_t>(entries.size()));
        compact.SetColorsImportant(static_cast<uint32_t>(entries.size()));
    }
    const uint8_t* in = indices.data();
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = compact.RowPointer(static_cast<int32_t>(y));
        std::memset(row, 0, compact.RowStride());
        for (uint32_t x = 0; x < width; ++x, ++in) {
            const uint8_t index = identityGrey ? static_cast<uint8_t>(colours[*in] & 0xFF) : *in;
            PutIndex(row, x, bits, index);
        }
    }
    return image.TakeOver(compact, true);
}

} // namespace

bool CompactImage(RasterImage& image, Compaction compaction) {
    if (compaction == Compaction::None || !image.HasPixels())
        return false;
    const uint32_t depth = image.BitsPerPixel();
    const bool grey8 = depth == 8 && image.HasIdentityGrayPalette();
    if (depth != 24 && !grey8)
        return false;
    // A grey image is already as compact as a writer of grey images takes.
    if (grey8 && compaction != Compaction::AnyPalette)
        return false;

    ColourSet set;
    std::vector<uint8_t> indices;
    bool allGrey = false;
    if (!IndexPixels(image, set, indices, &allGrey))
        return false;
    const size_t count = set.Colours().size();
    const uint32_t bits = PaletteBits(count, compaction);
    if (bits == 8 && grey8)
        return false;
    // Grey of more than 16 levels is stored as grey, not through a palette.
    const bool identityGrey = bits == 8 && allGrey;
    return Replace(image, bits, set.Colours(), indices, identityGrey);
}

} // namespace talvore
