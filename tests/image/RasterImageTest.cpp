#include "image/RasterImage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace talvore;

namespace {

TEST(RasterImage, FormatSlots) {
    const uint32_t expected[] = {0,  1,  2,  3,  4,  5, 6,  7,  8,  9, 10,
                                 11, 12, 13, 14, 15, 0, 16, 17, 18, 0, 0};
    for (uint32_t id = 0; id < std::size(expected); ++id)
        EXPECT_EQ(FormatSlot(id), expected[id]) << id;
    EXPECT_EQ(FormatSlot(0xFFFFFFFFu), 0u);
}

TEST(RasterImage, Defaults) {
    RasterImage image(FORMAT_PNG);
    EXPECT_FALSE(image.HasPixels());
    EXPECT_EQ(image.FormatId(), FORMAT_PNG);
    EXPECT_EQ(image.CompressionQuality(), 90);
    EXPECT_EQ(image.HorizontalDpi(), 96);
    EXPECT_EQ(image.Header().xPelsPerMeter, 3780);
    EXPECT_EQ(image.Header().yPelsPerMeter, 3780);
    EXPECT_EQ(image.BackgroundIndex(), -1);
    EXPECT_STREQ(image.LastErrorText(), "");
    EXPECT_EQ(image.RowPointer(0), nullptr);
    EXPECT_EQ(image.PaletteEntries(), nullptr);
    EXPECT_EQ(image.NearestPaletteIndex(MakeRgb(1, 2, 3)), 0);
    EXPECT_FALSE(image.ConvertToGray());
    EXPECT_FALSE(image.DecreaseBpp(8, false));
    EXPECT_TRUE(image.Info().littleEndianHost);
    EXPECT_TRUE(image.Info().enabled);
}

TEST(RasterImage, CreateLimitsAndMessages) {
    struct Case {
        uint32_t width, height, bits;
        const char* error; // nullptr: accepted
    };
    const char* zero = "RasterImage::Create : width and height must be greater than zero";
    const char* limit = "RASTER_MAX_MEMORY exceeded";
    const Case cases[] = {
        {0, 10, 24, zero},
        {10, 0, 8, zero},
        {10000, 10000, 24, limit},             // 300,000,000 bytes
        {9000, 9000, 24, nullptr},             // 243,000,000 bytes
        {16384, 16384, 8, nullptr},            // exactly 256 MiB
        {16385, 16384, 8, limit},              // one row more
        {65536, 65536, 24, limit},             // w × h = 2^32
        {0xFFFFFFFFu, 0xFFFFFFFFu, 24, limit}, // w × h × bits past 2^64
        {0x80000000u, 1, 1, limit},            // 256 MiB of bits, but no i32 width
        {1, 0x40000000u, 1, limit},            // 128 MiB of bits, 4 GiB of padded rows
    };
    for (const Case& c : cases) {
        RasterImage image;
        uint8_t* block = image.Create(c.width, c.height, c.bits, 0);
        if (c.error == nullptr) {
            EXPECT_NE(block, nullptr) << c.width << "x" << c.height;
            EXPECT_TRUE(image.HasPixels());
            EXPECT_STREQ(image.LastErrorText(), "");
        } else {
            EXPECT_EQ(block, nullptr) << c.width << "x" << c.height;
            EXPECT_FALSE(image.HasPixels());
            EXPECT_STREQ(image.LastErrorText(), c.error) << c.width << "x" << c.height;
        }
    }
}

TEST(RasterImage, DepthRoundingStridesAndHeader) {
    struct Case {
        uint32_t width, bits, depth, stride, colours;
    };
    const Case cases[] = {
        {9, 0, 1, 4, 2},    {9, 1, 1, 4, 2},   {33, 1, 1, 8, 2},   {3, 2, 4, 4, 16},
        {9, 4, 4, 8, 16},   {5, 5, 8, 8, 256}, {4, 8, 8, 4, 256},  {3, 9, 24, 12, 0},
        {3, 24, 24, 12, 0}, {1, 32, 24, 4, 0}, {4, 24, 24, 12, 0},
    };
    for (const Case& c : cases) {
        RasterImage image;
        uint8_t* block = image.Create(c.width, 3, c.bits, FORMAT_BMP);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(image.BitsPerPixel(), c.depth) << c.width << "/" << c.bits;
        EXPECT_EQ(image.RowStride(), c.stride) << c.width << "/" << c.bits;
        EXPECT_EQ(image.ColorsUsed(), c.colours);
        EXPECT_EQ(image.PaletteByteSize(), c.colours * 4);
        EXPECT_EQ(image.ImageSize(), c.stride * 3);
        EXPECT_EQ(image.BlockSize(), 40 + c.colours * 4 + c.stride * 3);
        EXPECT_EQ(image.FormatId(), FORMAT_BMP);
        // The block starts with the header copy.
        BitmapInfoHeader stored;
        std::memcpy(&stored, block, sizeof stored);
        EXPECT_EQ(stored.size, 40u);
        EXPECT_EQ(stored.width, static_cast<int32_t>(c.width));
        EXPECT_EQ(stored.height, 3);
        EXPECT_EQ(stored.planes, 1);
        EXPECT_EQ(stored.bitCount, c.depth);
        EXPECT_EQ(stored.sizeImage, c.stride * 3);
        EXPECT_EQ(stored.clrUsed, c.colours);
        EXPECT_EQ(stored.xPelsPerMeter, 3780);
        // Rows: bottom at the pixel start, one stride apart, none outside.
        EXPECT_EQ(image.RowPointer(0), block + 40 + c.colours * 4);
        EXPECT_EQ(image.RowPointer(2), image.RowPointer(0) + 2 * c.stride);
        EXPECT_EQ(image.RowPointer(3), nullptr);
        EXPECT_EQ(image.RowPointer(-1), nullptr);
    }
}

TEST(RasterImage, DpiAndQuality) {
    struct Case {
        int32_t dpi, stored, ppm;
    };
    const Case cases[] = {
        {0, 96, 3780}, {-5, 96, 3780}, {96, 96, 3780}, {72, 72, 2835}, {300, 300, 11811}};
    for (const Case& c : cases) {
        RasterImage image;
        ASSERT_NE(image.Create(2, 2, 24, 0), nullptr);
        image.SetHorizontalDpi(c.dpi);
        image.SetVerticalDpi(c.dpi);
        EXPECT_EQ(image.HorizontalDpi(), c.stored);
        EXPECT_EQ(image.VerticalDpi(), c.stored);
        BitmapInfoHeader stored;
        std::memcpy(&stored, image.BlockAddress(), sizeof stored);
        EXPECT_EQ(stored.xPelsPerMeter, c.ppm) << c.dpi;
        EXPECT_EQ(stored.yPelsPerMeter, c.ppm) << c.dpi;
    }
    RasterImage image;
    image.SetCompressionQuality(75);
    EXPECT_EQ(image.CompressionQuality(), 75);
    image.SetQuality(49.5f);
    EXPECT_EQ(image.CompressionQuality(), 50);
}

TEST(RasterImage, CodecFlagsFallBackToTheImagesSlot) {
    RasterImage image(FORMAT_MNG);
    EXPECT_EQ(image.CodecFlags(), 0u);
    image.SetCodecFlags(7); // id 0: the image's own slot (MNG, 16)
    EXPECT_EQ(image.CodecFlags(FORMAT_MNG), 7u);
    EXPECT_EQ(image.Info().codecOptions[16], 7u);
    image.SetCodecFlags(3, FORMAT_TIF);
    EXPECT_EQ(image.CodecFlags(FORMAT_TIF), 3u);
    EXPECT_EQ(image.CodecFlags(FORMAT_NO_CODEC), 7u); // slot 0 → the image's slot
}

// The table, checked against the rules it was built by.
TEST(RasterImage, StandardPalettes) {
    RasterImage image;
    ASSERT_NE(image.Create(4, 4, 8, 0), nullptr);
    image.FillStandardPalette();
    const RgbQuad* p = image.PaletteEntries();
    auto rgb = [&](int i) {
        return uint32_t{p[i].red} << 16 | uint32_t{p[i].green} << 8 | p[i].blue;
    };
    const uint32_t system[20] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080,
                                 0x800080, 0x008080, 0xC0C0C0, 0xC0DCC0, 0xA6CAF0,
                                 0xFFFBF0, 0xA0A0A4, 0x808080, 0xFF0000, 0x00FF00,
                                 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(rgb(i), system[i]) << i;
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(rgb(246 + i), system[10 + i]) << 246 + i;
    for (int i = 0; i < 20; ++i) {
        const uint32_t v = 0xF2 - 12 * i;
        EXPECT_EQ(rgb(226 + i), v << 16 | v << 8 | v) << 226 + i;
    }
    const int nearCopies[][2] = {{40, 0xFE0000},  {76, 0xFE00FE},  {112, 0x0000FE},
                                 {148, 0x00FEFE}, {184, 0x00FE00}, {220, 0xFEFE00}};
    for (const auto& c : nearCopies)
        EXPECT_EQ(rgb(c[0]), static_cast<uint32_t>(c[1])) << c[0];
    // Each hue family runs from a light tint (every channel at least D4 or
    // the hue's own) through the full colour (entry 6 of 12) to a dark shade.
    for (int family = 0; family < 18; ++family) {
        const int first = 10 + 12 * family;
        const int maxChannel = std::max({p[first + 6].red, p[first + 6].green, p[first + 6].blue});
        EXPECT_GE(maxChannel, 0xFE) << family;
        const int sumFirst = p[first].red + p[first].green + p[first].blue;
        const int sumLast = p[first + 11].red + p[first + 11].green + p[first + 11].blue;
        for (int k = 1; k < 12; ++k) {
            const int prev = p[first + k - 1].red + p[first + k - 1].green + p[first + k - 1].blue;
            const int cur = p[first + k].red + p[first + k].green + p[first + k].blue;
            EXPECT_LT(cur, prev) << family << "/" << k;
        }
        EXPECT_GT(sumFirst, sumLast);
    }
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(p[i].reserved, 0) << i;

    RasterImage four;
    ASSERT_NE(four.Create(2, 2, 4, 0), nullptr);
    four.FillStandardPalette();
    const uint32_t sixteen[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                  0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                  0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    for (int i = 0; i < 16; ++i) {
        const RgbQuad& e = four.PaletteEntries()[i];
        EXPECT_EQ(uint32_t{e.red} << 16 | uint32_t{e.green} << 8 | e.blue, sixteen[i]) << i;
    }
    RasterImage one;
    ASSERT_NE(one.Create(2, 2, 1, 0), nullptr);
    one.FillStandardPalette();
    EXPECT_EQ(one.PaletteEntries()[0], MakeRgb(0, 0, 0));
    EXPECT_EQ(one.PaletteEntries()[1], MakeRgb(255, 255, 255));

    RasterImage rgb24;
    ASSERT_NE(rgb24.Create(2, 2, 24, 0), nullptr);
    rgb24.FillStandardPalette(); // nothing to fill
    EXPECT_EQ(rgb24.PaletteEntries(), nullptr);
}

TEST(RasterImage, GrayPalettes) {
    struct Case {
        uint32_t bits, step;
    };
    for (const Case& c : {Case{1, 255}, Case{4, 17}, Case{8, 1}}) {
        RasterImage image;
        ASSERT_NE(image.Create(2, 2, c.bits, 0), nullptr);
        EXPECT_FALSE(image.HasIdentityGrayPalette()); // zeroed palette
        image.FillGrayPalette();
        for (uint32_t i = 0; i < image.ColorsUsed(); ++i) {
            const RgbQuad e = image.PaletteEntries()[i];
            EXPECT_EQ(e.blue, i * c.step);
            EXPECT_EQ(e.green, i * c.step);
            EXPECT_EQ(e.red, i * c.step);
        }
        EXPECT_EQ(image.HasIdentityGrayPalette(), c.bits == 8) << c.bits;
    }
}

TEST(RasterImage, NearestPaletteIndexOnTheFixedPalette) {
    RasterImage image;
    ASSERT_NE(image.Create(1, 1, 8, 0), nullptr);
    image.FillStandardPalette();
    struct Case {
        uint32_t rgb;
        uint8_t index;
    };
    const Case cases[] = {{0xFF0000, 249}, {0xFE0000, 40},  {0x808080, 248}, {0x646464, 238},
                          {0xC86432, 18},  {0x008000, 2},   {0x000000, 0},   {0xFFFFFF, 255},
                          {0x00FF00, 250}, {0x00FE00, 184}, {0xFD0000, 40}};
    for (const Case& c : cases) {
        const RgbQuad colour = MakeRgb(c.rgb >> 16, (c.rgb >> 8) & 0xFF, c.rgb & 0xFF);
        EXPECT_EQ(image.NearestPaletteIndex(colour), c.index) << std::hex << c.rgb;
        EXPECT_EQ(image.NearestPaletteIndex(colour), c.index) << "cached " << std::hex << c.rgb;
    }
}

TEST(RasterImage, NearestPaletteIndexCacheAndImportantColours) {
    RasterImage image;
    ASSERT_NE(image.Create(1, 1, 8, 0), nullptr);
    image.FillStandardPalette();
    EXPECT_EQ(image.NearestPaletteIndex(MakeRgb(255, 0, 0)), 249);
    // Only the first 10 entries count now: pure red is nearest to 800000.
    image.SetColorsImportant(10);
    EXPECT_EQ(image.NearestPaletteIndex(MakeRgb(255, 0, 0)), 1);
    // StorePalette clears the cache: the same colour is searched again.
    RgbQuad swapped[2] = {MakeRgb(255, 0, 0), MakeRgb(0, 0, 0)};
    image.StorePalette(swapped, 2);
    EXPECT_EQ(image.NearestPaletteIndex(MakeRgb(255, 0, 0)), 0);
    // The cache key includes the reserved byte.
    RgbQuad withReserved = MakeRgb(0, 0, 0);
    withReserved.reserved = 9;
    EXPECT_EQ(image.NearestPaletteIndex(withReserved), 1);
    EXPECT_EQ(image.Info().lastColour.reserved, 9);
}

TEST(RasterImage, StorePaletteCopiesAtMostThePalette) {
    RasterImage image;
    ASSERT_NE(image.Create(2, 1, 1, 0), nullptr);
    RgbQuad many[4] = {MakeRgb(1, 2, 3), MakeRgb(4, 5, 6), MakeRgb(7, 8, 9), MakeRgb(10, 11, 12)};
    image.StorePalette(many, 4);
    EXPECT_EQ(image.PaletteEntries()[1], MakeRgb(4, 5, 6));
    // The pixel row right after the palette is untouched.
    EXPECT_EQ(image.RowPointer(0)[0], 0);
}

TEST(RasterImage, PixelAccessAtEveryDepth) {
    // 1 bit: the left-most pixel in the most significant bit.
    RasterImage one;
    ASSERT_NE(one.Create(9, 2, 1, 0), nullptr);
    one.FillStandardPalette();
    one.WriteIndex(0, 1, 1);
    one.WriteIndex(8, 1, 3); // lowest bit only
    EXPECT_EQ(one.RowPointer(1)[0], 0x80);
    EXPECT_EQ(one.RowPointer(1)[1], 0x80);
    EXPECT_EQ(one.ReadIndex(8, 1), 1);
    EXPECT_EQ(one.ReadColor(0, 1), MakeRgb(255, 255, 255));
    one.WriteIndex(0, 1, 0);
    EXPECT_EQ(one.RowPointer(1)[0], 0x00);

    // 4 bits: the left pixel in the high nibble.
    RasterImage four;
    ASSERT_NE(four.Create(3, 1, 4, 0), nullptr);
    four.FillStandardPalette();
    four.WriteIndex(0, 0, 0x1A);
    four.WriteIndex(1, 0, 5);
    EXPECT_EQ(four.RowPointer(0)[0], 0xA5);
    EXPECT_EQ(four.ReadIndex(0, 0), 0x0A);
    four.WriteColor(2, 0, MakeRgb(0, 0, 255));
    EXPECT_EQ(four.ReadIndex(2, 0), 12);

    // 24 bits: blue, green, red; reserved from the background in ReadColor.
    RasterImage rgb;
    ASSERT_NE(rgb.Create(2, 2, 24, 0), nullptr);
    rgb.WriteColor(1, 1, MakeRgb(10, 20, 30));
    const uint8_t* px = rgb.RowPointer(1) + 3;
    EXPECT_EQ(px[0], 30);
    EXPECT_EQ(px[1], 20);
    EXPECT_EQ(px[2], 10);
    RgbQuad background = MakeRgb(1, 2, 3);
    background.reserved = 77;
    rgb.SetBackgroundColour(background);
    EXPECT_EQ(rgb.ReadColor(1, 1).reserved, 77);
    EXPECT_EQ(rgb.ReadColorNoBounds(1, 1).reserved, 0);
    rgb.WriteColor(5, 5, MakeRgb(9, 9, 9));               // outside: ignored
    EXPECT_EQ(rgb.ReadColor(-1, 0), rgb.ReadColor(0, 0)); // no background index: pixel (0, 0)
    rgb.SetBackgroundIndex(0);
    EXPECT_EQ(rgb.ReadColor(-1, 0), background);

    // Outside a palette image: the background index, else the first pixel byte.
    RasterImage eight;
    ASSERT_NE(eight.Create(2, 2, 8, 0), nullptr);
    eight.FillStandardPalette();
    eight.WriteIndex(0, 0, 42);
    EXPECT_EQ(eight.ReadIndex(7, 7), 42);
    eight.SetBackgroundIndex(3);
    EXPECT_EQ(eight.ReadIndex(7, 7), 3);
    EXPECT_EQ(eight.ReadColor(7, 7), eight.PaletteEntries()[3]);
    eight.WriteIndex(2, 0, 9); // outside: ignored
    EXPECT_EQ(eight.RowPointer(0)[1], 0);
}

TEST(RasterImage, SwapRedBlue) {
    RasterImage rgb;
    ASSERT_NE(rgb.Create(2, 1, 24, 0), nullptr);
    uint8_t row[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    rgb.SwapRedBlue(row, 9); // only width × 3 bytes
    const uint8_t expected[9] = {3, 2, 1, 6, 5, 4, 7, 8, 9};
    EXPECT_EQ(std::memcmp(row, expected, 9), 0);
    rgb.SwapRedBlue(row, 4); // one whole pixel
    EXPECT_EQ(row[0], 1);
    EXPECT_EQ(row[3], 6);

    RasterImage eight;
    ASSERT_NE(eight.Create(2, 1, 8, 0), nullptr);
    uint8_t other[3] = {1, 2, 3};
    eight.SwapRedBlue(other, 3);
    EXPECT_EQ(other[0], 1);
}

TEST(RasterImage, ConvertToGrayOf24BitPixels) {
    struct Case {
        uint32_t rgb;
        uint8_t gray;
    };
    const Case cases[] = {{0xFF0000, 76},  {0x00FF00, 149}, {0x0000FF, 29},
                          {0xFFFFFF, 255}, {0x808080, 128}, {0x000000, 0}};
    RasterImage image(FORMAT_PNM);
    ASSERT_NE(image.Create(std::size(cases), 2, 24, FORMAT_PNM), nullptr);
    image.SetHorizontalDpi(300);
    for (uint32_t x = 0; x < std::size(cases); ++x) {
        const uint32_t v = cases[x].rgb;
        image.WriteColor(x, 1, MakeRgb(v >> 16, (v >> 8) & 0xFF, v & 0xFF));
    }
    ASSERT_TRUE(image.ConvertToGray());
    EXPECT_EQ(image.BitsPerPixel(), 8u);
    EXPECT_TRUE(image.HasIdentityGrayPalette());
    EXPECT_EQ(image.FormatId(), FORMAT_PNM);
    EXPECT_EQ(image.HorizontalDpi(), 300); // attributes carried over
    for (uint32_t x = 0; x < std::size(cases); ++x)
        EXPECT_EQ(image.ReadIndex(x, 1), cases[x].gray) << std::hex << cases[x].rgb;
}

TEST(RasterImage, ConvertToGrayOfPaletteImages) {
    RasterImage one;
    ASSERT_NE(one.Create(10, 2, 1, 0), nullptr);
    one.FillStandardPalette();
    for (int x = 0; x < 10; ++x)
        one.WriteIndex(x, 0, x % 2);
    EXPECT_FALSE(one.HasIdentityGrayPalette());
    ASSERT_TRUE(one.ConvertToGray());
    EXPECT_EQ(one.BitsPerPixel(), 8u);
    EXPECT_TRUE(one.HasIdentityGrayPalette());
    for (int x = 0; x < 10; ++x)
        EXPECT_EQ(one.ReadIndex(x, 0), x % 2 ? 255 : 0) << x;

    RasterImage four;
    ASSERT_NE(four.Create(3, 1, 4, 0), nullptr);
    four.FillStandardPalette();
    four.WriteIndex(0, 0, 9);  // FF0000
    four.WriteIndex(1, 0, 12); // 0000FF
    four.WriteIndex(2, 0, 15); // FFFFFF
    four.SetBackgroundIndex(9);
    ASSERT_TRUE(four.ConvertToGray());
    EXPECT_EQ(four.ReadIndex(0, 0), 76);
    EXPECT_EQ(four.ReadIndex(1, 0), 29);
    EXPECT_EQ(four.ReadIndex(2, 0), 255);
    EXPECT_EQ(four.BackgroundIndex(), 76);

    RasterImage eight;
    ASSERT_NE(eight.Create(2, 1, 8, 0), nullptr);
    eight.FillStandardPalette();
    eight.WriteIndex(0, 0, 250); // 00FF00
    eight.WriteIndex(1, 0, 248); // 808080
    ASSERT_TRUE(eight.ConvertToGray());
    EXPECT_EQ(eight.ReadIndex(0, 0), 149);
    EXPECT_EQ(eight.ReadIndex(1, 0), 128);
    EXPECT_TRUE(eight.HasIdentityGrayPalette());
}

TEST(RasterImage, DecreaseBppRefusalsAndNoOps) {
    RasterImage one;
    ASSERT_NE(one.Create(4, 4, 1, 0), nullptr);
    EXPECT_FALSE(one.DecreaseBpp(8, false));
    EXPECT_STREQ(one.LastErrorText(), "DecreaseBpp: target BPP greater than source BPP");
    EXPECT_EQ(one.BitsPerPixel(), 1u);

    RasterImage eight;
    ASSERT_NE(eight.Create(4, 4, 8, 0), nullptr);
    eight.FillGrayPalette();
    eight.WriteIndex(1, 1, 77);
    const uint8_t* block = eight.BlockAddress();
    EXPECT_TRUE(eight.DecreaseBpp(8, false));
    EXPECT_EQ(eight.BlockAddress(), block); // unchanged, not rebuilt
    EXPECT_EQ(eight.ReadIndex(1, 1), 77);
}

TEST(RasterImage, DecreaseBppMapsToTheNearestEntry) {
    RasterImage image(FORMAT_PNM);
    ASSERT_NE(image.Create(4, 2, 24, FORMAT_PNM), nullptr);
    const uint32_t colours[4] = {0xFF0000, 0xC86432, 0x646464, 0x00FE00};
    const uint8_t expected[4] = {249, 18, 238, 184};
    for (int x = 0; x < 4; ++x) {
        const uint32_t v = colours[x];
        image.WriteColor(x, 0, MakeRgb(v >> 16, (v >> 8) & 0xFF, v & 0xFF));
        image.WriteColor(x, 1, MakeRgb(v >> 16, (v >> 8) & 0xFF, v & 0xFF));
    }
    ASSERT_TRUE(image.DecreaseBpp(8, false));
    EXPECT_EQ(image.BitsPerPixel(), 8u);
    EXPECT_EQ(image.FormatId(), FORMAT_PNM);
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(image.ReadIndex(x, 0), expected[x]);
        EXPECT_EQ(image.ReadIndex(x, 1), expected[x]);
    }
    // Down to 1 bit with a palette of our own.
    RgbQuad palette[2] = {MakeRgb(255, 255, 255), MakeRgb(0, 0, 0)};
    ASSERT_TRUE(image.DecreaseBpp(1, false, palette));
    EXPECT_EQ(image.ReadIndex(0, 0), 1); // FF0000 is nearer black
    EXPECT_EQ(image.PaletteEntries()[0], MakeRgb(255, 255, 255));
}

TEST(RasterImage, DecreaseBppImportantColours) {
    RasterImage image;
    ASSERT_NE(image.Create(2, 1, 24, 0), nullptr);
    image.WriteColor(0, 0, MakeRgb(255, 0, 0));
    image.WriteColor(1, 0, MakeRgb(0, 0, 250));
    ASSERT_TRUE(image.DecreaseBpp(4, false, nullptr, 100)); // clamped to 16 at 4 bits
    EXPECT_EQ(image.ColorsImportant(), 16u);
    EXPECT_EQ(image.ReadIndex(0, 0), 9);
    EXPECT_EQ(image.ReadIndex(1, 0), 12);

    RasterImage eight;
    ASSERT_NE(eight.Create(2, 1, 24, 0), nullptr);
    eight.WriteColor(0, 0, MakeRgb(255, 0, 0));
    ASSERT_TRUE(eight.DecreaseBpp(8, false, nullptr, 10)); // only the first ten entries
    EXPECT_EQ(eight.ColorsImportant(), 10u);
    EXPECT_EQ(eight.ReadIndex(0, 0), 1);
    // Same depth with fewer important colours already: nothing to do.
    EXPECT_TRUE(eight.DecreaseBpp(8, false, nullptr, 20));
    EXPECT_EQ(eight.ColorsImportant(), 10u);
    // Same depth, more restrictive: rebuilt.
    ASSERT_TRUE(eight.DecreaseBpp(8, false, nullptr, 5));
    EXPECT_EQ(eight.ColorsImportant(), 5u);
}

TEST(RasterImage, DecreaseBppStopsOnEscape) {
    RasterImage image;
    ASSERT_NE(image.Create(2, 4, 24, 0), nullptr);
    image.WriteColor(0, 3, MakeRgb(255, 255, 255));
    image.SetEscape(1);
    ASSERT_TRUE(image.DecreaseBpp(8, false));
    EXPECT_EQ(image.BitsPerPixel(), 8u);
}

TEST(RasterImage, TakeOverShareFromAndCopies) {
    RasterImage source(FORMAT_TGA);
    ASSERT_NE(source.Create(3, 2, 8, FORMAT_TGA), nullptr);
    source.FillGrayPalette();
    source.WriteIndex(2, 1, 200);
    source.SetHorizontalDpi(72);

    RasterImage copy(source);
    ASSERT_TRUE(copy.HasPixels());
    EXPECT_NE(copy.BlockAddress(), source.BlockAddress());
    EXPECT_EQ(copy.ReadIndex(2, 1), 200);
    EXPECT_EQ(copy.HorizontalDpi(), 72);
    EXPECT_EQ(copy.FormatId(), FORMAT_TGA);

    RasterImage paletteOnly;
    paletteOnly.CopyFrom(source, false, false, false);
    ASSERT_TRUE(paletteOnly.HasPixels());
    EXPECT_TRUE(paletteOnly.HasIdentityGrayPalette());

    RasterImage view;
    view.ShareFrom(source);
    EXPECT_TRUE(view.IsSharedView());
    EXPECT_EQ(view.BlockAddress(), source.BlockAddress());
    EXPECT_EQ(view.ReadIndex(2, 1), 200);
    EXPECT_FALSE(view.FreeBuffers());
    EXPECT_FALSE(view.FreeFrames());
    EXPECT_EQ(view.Create(1, 1, 8, 0), nullptr);

    RasterImage viewOfView;
    viewOfView.CopyFrom(view, true, true, true); // a view stays a view
    EXPECT_TRUE(viewOfView.IsSharedView());
    EXPECT_EQ(viewOfView.BlockAddress(), source.BlockAddress());

    RasterImage target;
    EXPECT_FALSE(target.TakeOver(view, true)); // a view has nothing to give
    const uint8_t* block = source.BlockAddress();
    ASSERT_TRUE(target.TakeOver(source, true));
    EXPECT_EQ(target.BlockAddress(), block);
    EXPECT_EQ(target.ReadIndex(2, 1), 200);
    EXPECT_FALSE(source.HasPixels());
    EXPECT_EQ(source.Width(), 0);
    EXPECT_EQ(source.RowPointer(0), nullptr);
}

TEST(RasterImage, CopyAttributesOnlyIntoAnEmptyImage) {
    RasterImage source(FORMAT_GIF);
    source.SetHorizontalDpi(150);
    source.SetFrame(2);
    ASSERT_NE(source.Create(2, 2, 8, FORMAT_GIF), nullptr);

    RasterImage empty;
    empty.CopyAttributes(source);
    EXPECT_EQ(empty.HorizontalDpi(), 150);
    EXPECT_EQ(empty.Frame(), 2);
    EXPECT_EQ(empty.FormatId(), FORMAT_GIF);
    EXPECT_EQ(empty.RowPointer(0), nullptr); // no pointer into the source's block

    RasterImage full;
    ASSERT_NE(full.Create(1, 1, 24, 0), nullptr);
    full.CopyAttributes(source);
    EXPECT_EQ(full.HorizontalDpi(), 96);
}

TEST(RasterImage, LastErrorIsBoundedTo255Characters) {
    RasterImage image;
    const std::string longText(400, 'x');
    image.SetLastError(longText.c_str());
    EXPECT_EQ(std::strlen(image.LastErrorText()), 255u);
    image.SetLastError(image.LastErrorText() + 5); // overlapping copy
    EXPECT_EQ(std::strlen(image.LastErrorText()), 250u);
}

} // namespace
