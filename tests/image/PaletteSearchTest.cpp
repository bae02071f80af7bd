#include "image/PaletteSearch.h"

#include "image/RasterImage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

using namespace talvore;

namespace {

RgbQuad RandomColour(std::mt19937& random) {
    const uint32_t v = random();
    return RgbQuad{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                   static_cast<uint8_t>(v >> 16), 0};
}

// The accelerated search must answer the plain search's index for every
// colour: same minimum, same tie to the lowest index.
void ExpectIdentical(const RgbQuad* entries, uint32_t count, std::mt19937& random, int samples) {
    PaletteSearch search(entries, count);
    for (int i = 0; i < samples; ++i) {
        const RgbQuad colour = RandomColour(random);
        ASSERT_EQ(search.Nearest(colour), NearestPaletteEntry(entries, count, colour))
            << int(colour.red) << "," << int(colour.green) << "," << int(colour.blue) << " of "
            << count;
    }
    // Cell corners and edges, where the bounds are tight.
    for (int r = 0; r < 256; r += 7) {
        for (int g = 0; g < 256; g += 8) {
            for (int b : {0, 7, 8, 127, 128, 248, 255}) {
                const RgbQuad colour = MakeRgb(r, g, b);
                ASSERT_EQ(search.Nearest(colour), NearestPaletteEntry(entries, count, colour));
            }
        }
    }
}

TEST(PaletteSearch, MatchesThePlainSearchOnTheFixedPalette) {
    std::mt19937 random(12345);
    ExpectIdentical(StandardPalette256(), 256, random, 500000);
    ExpectIdentical(StandardPalette256(), 10, random, 20000); // colours important
}

TEST(PaletteSearch, MatchesThePlainSearchOnRandomPalettesWithTies) {
    std::mt19937 random(777);
    for (int round = 0; round < 40; ++round) {
        const uint32_t count = 1 + random() % 256;
        std::vector<RgbQuad> palette(count);
        for (RgbQuad& e : palette)
            e = RandomColour(random);
        // Duplicates and a coarse grid make equal distances common.
        for (uint32_t i = 0; i + 1 < count; i += 5)
            palette[i + 1] = palette[i];
        if (round % 3 == 0)
            for (RgbQuad& e : palette)
                e = MakeRgb(e.red & 0xC0, e.green & 0xC0, e.blue & 0xC0);
        ExpectIdentical(palette.data(), count, random, 20000);
    }
}

TEST(PaletteSearch, EmptyPaletteAnswersZero) {
    PaletteSearch none(nullptr, 0);
    EXPECT_EQ(none.Nearest(MakeRgb(1, 2, 3)), 0);
}

// DecreaseBpp's accelerated loop against the plain pixel-by-pixel rule.
TEST(PaletteSearch, DecreaseBppEqualsPlainNearestColourMapping) {
    std::mt19937 random(99);
    RasterImage image;
    ASSERT_NE(image.Create(317, 211, 24, 0), nullptr); // above the small-image cut-off
    for (int y = 0; y < image.Height(); ++y) {
        uint8_t* row = image.RowPointer(y);
        for (int x = 0; x < image.Width() * 3; ++x)
            row[x] = static_cast<uint8_t>(random());
        // Runs of repeated colours exercise the one-entry cache.
        for (int x = 3; x < 60; ++x)
            row[x] = row[x % 3];
    }
    RasterImage plain;
    ASSERT_NE(plain.Create(317, 211, 8, 0), nullptr);
    plain.FillStandardPalette();
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x)
            plain.WriteColorNoBounds(x, y, image.ReadColorNoBounds(x, y));

    ASSERT_TRUE(image.DecreaseBpp(8, false));
    for (int y = 0; y < image.Height(); ++y)
        ASSERT_EQ(std::memcmp(image.RowPointer(y), plain.RowPointer(y), image.Width()), 0) << y;
}

} // namespace
