#include "DecodeHelpers.h"
#include "image/RasterImage.h"

#include "image/ByteStream.h"
#include "support/Mutation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace talvore;
using namespace talvore::testing;

namespace {

void Put16(std::string& s, uint32_t v) {
    s.push_back(static_cast<char>(v));
    s.push_back(static_cast<char>(v >> 8));
}
void Put32(std::string& s, uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

// A BMP file: file header, 40-byte information header, palette, pixels.
std::string Bmp(int32_t width, int32_t height, uint16_t bits, uint32_t compression,
                const std::vector<uint32_t>& palette, const std::string& pixels,
                bool fileHeader = true, const std::vector<uint32_t>& masks = {}) {
    std::string info;
    Put32(info, 40);
    Put32(info, static_cast<uint32_t>(width));
    Put32(info, static_cast<uint32_t>(height));
    Put16(info, 1);
    Put16(info, bits);
    Put32(info, compression);
    Put32(info, static_cast<uint32_t>(pixels.size()));
    Put32(info, 2835); // 72 dpi
    Put32(info, 2835);
    Put32(info, static_cast<uint32_t>(palette.size()));
    Put32(info, 0);
    for (uint32_t m : masks)
        Put32(info, m);
    for (uint32_t rgb : palette)
        Put32(info, rgb); // 0x00RRGGBB is B, G, R, 0 in little-endian
    std::string file;
    if (fileHeader) {
        file = "BM";
        Put32(file, static_cast<uint32_t>(14 + info.size() + pixels.size()));
        Put32(file, 0);
        Put32(file, static_cast<uint32_t>(14 + info.size()));
    }
    return file + info + pixels;
}

TEST(BmpDecode, Formats) {
    struct Case {
        const char* name;
        std::string file;
        uint32_t bits;
        std::vector<uint32_t> bottomRow; // colours, left to right
        std::vector<uint32_t> topRow;
    };
    const Case cases[] = {
        {"24-bit bottom-up",
         Bmp(2, 2, 24, 0, {}, Bytes({1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0})),
         24,
         {0x030201, 0x060504},
         {0x090807, 0x0C0B0A}},
        {"24-bit top-down",
         Bmp(1, -2, 24, 0, {}, Bytes({1, 2, 3, 0, 4, 5, 6, 0})),
         24,
         {0x060504},
         {0x030201}},
        {"8-bit palette",
         Bmp(2, 1, 8, 0, {0xFF0000, 0x00FF00}, Bytes({1, 0, 0, 0})),
         8,
         {0x00FF00, 0xFF0000},
         {}},
        {"4-bit",
         Bmp(3, 1, 4, 0, {0x000000, 0x0000FF}, Bytes({0x10, 0x10, 0, 0})),
         4,
         {0x0000FF, 0, 0x0000FF},
         {}},
        {"1-bit",
         Bmp(9, 1, 1, 0, {0x000000, 0xFFFFFF}, Bytes({0x80, 0x80, 0, 0})),
         1,
         {0xFFFFFF, 0, 0, 0, 0, 0, 0, 0, 0xFFFFFF},
         {}},
        {"16-bit 5-5-5",
         Bmp(2, 1, 16, 0, {}, Bytes({0x00, 0x7C, 0x1F, 0x00})),
         24,
         {0xFF0000, 0x0000FF},
         {}},
        {"16-bit 5-6-5 bit fields",
         Bmp(1, 1, 16, 3, {}, Bytes({0xE0, 0x07, 0, 0}), true, {0xF800, 0x07E0, 0x001F}),
         24,
         {0x00FF00},
         {}},
        {"32-bit", Bmp(1, 1, 32, 0, {}, Bytes({0x30, 0x20, 0x10, 0xFF})), 24, {0x102030}, {}},
        {"RLE8 with delta and end of line",
         Bmp(4, 2, 8, 1, {0, 0xFF0000, 0x00FF00, 0x0000FF},
             Bytes({2, 1, 0, 3, 2, 3, 0, 0, 0, 0, 0, 2, 1, 0, 4, 2, 0, 1})),
         8,
         {0xFF0000, 0xFF0000, 0x00FF00, 0x0000FF},
         {0, 0x00FF00, 0x00FF00, 0x00FF00}},
        {"RLE4",
         Bmp(4, 1, 4, 2, {0, 0xFF0000, 0x0000FF}, Bytes({4, 0x12, 0, 1})),
         4,
         {0xFF0000, 0x0000FF, 0xFF0000, 0x0000FF},
         {}},
        {"bare information header",
         Bmp(1, 1, 24, 0, {}, Bytes({9, 8, 7, 0}), false),
         24,
         {0x070809},
         {}},
    };
    for (const Case& c : cases) {
        RasterImage image;
        ASSERT_TRUE(DecodeBytes(image, c.file, FORMAT_BMP))
            << c.name << ": " << image.LastErrorText();
        EXPECT_EQ(image.BitsPerPixel(), c.bits) << c.name;
        EXPECT_EQ(image.FormatId(), FORMAT_BMP) << c.name;
        EXPECT_EQ(image.HorizontalDpi(), 72) << c.name;
        for (size_t x = 0; x < c.bottomRow.size(); ++x)
            EXPECT_EQ(Rgb(image, static_cast<int>(x), 0), c.bottomRow[x]) << c.name << " x=" << x;
        for (size_t x = 0; x < c.topRow.size(); ++x)
            EXPECT_EQ(Rgb(image, static_cast<int>(x), image.Height() - 1), c.topRow[x])
                << c.name << " x=" << x;
        RasterImage recognised;
        EXPECT_TRUE(DecodeBytes(recognised, c.file, FORMAT_UNKNOWN)) << c.name;
    }
}

TEST(BmpDecode, DamagedFilesAreRefused) {
    const std::string good = Bmp(2, 2, 24, 0, {}, std::string(16, '\x11'));
    struct Case {
        const char* name;
        std::string file;
        const char* error;
    };
    const Case cases[] = {
        {"empty", "", "Not a BMP"},
        {"only the magic", "BM", "Not a BMP"},
        {"truncated pixels", good.substr(0, good.size() - 1), "BMP file truncated"},
        {"truncated header", good.substr(0, 30), "BMP file truncated"},
        {"zero width", Bmp(0, 2, 24, 0, {}, std::string(16, 0)), "Invalid BMP dimensions"},
        {"bits 7", Bmp(2, 2, 7, 0, {}, std::string(16, 0)),
         "Unsupported BMP bit depth or compression"},
        {"RLE8 at 24 bits", Bmp(2, 2, 24, 1, {}, std::string(16, 0)),
         "Unsupported BMP bit depth or compression"},
        {"RLE without end", Bmp(4, 2, 8, 1, {0, 0}, Bytes({2, 1})), "BMP file truncated"},
        {"huge", Bmp(100000, 100000, 24, 0, {}, std::string(16, 0)), "BMP file truncated"},
    };
    for (const Case& c : cases) {
        RasterImage image;
        EXPECT_FALSE(DecodeBytes(image, c.file, FORMAT_BMP)) << c.name;
        EXPECT_STREQ(image.LastErrorText(), c.error) << c.name;
        EXPECT_FALSE(image.HasPixels()) << c.name;
    }
}

TEST(BmpDecode, MutatedAndTruncated) {
    const std::string files[] = {
        Bmp(3, 2, 24, 0, {}, std::string(24, '\x42')),
        Bmp(4, 2, 8, 1, {0, 0xFF0000, 0x00FF00, 0x0000FF},
            Bytes({2, 1, 0, 3, 2, 3, 0, 0, 0, 0, 0, 2, 1, 0, 4, 2, 0, 1})),
        Bmp(4, 1, 4, 2, {0, 0xFF0000, 0x0000FF}, Bytes({4, 0x12, 0, 1})),
        Bmp(1, 1, 16, 3, {}, Bytes({0xE0, 0x07, 0, 0}), true, {0xF800, 0x07E0, 0x001F}),
    };
    const MutationOptions options{.exercise = [](RasterImage& image) { image.ConvertToGray(); }};
    for (const std::string& original : files)
        ExpectSurvivesMutation(original, DecodeAs(FORMAT_UNKNOWN), options);
}

} // namespace
