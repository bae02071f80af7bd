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

std::string TgaHeader(int type, int width, int height, int depth, int descriptor, int mapLength = 0,
                      int mapBits = 0, int idLength = 0) {
    return Bytes({idLength, mapLength ? 1 : 0, type, 0, 0, mapLength & 0xFF, mapLength >> 8,
                  mapBits, 0, 0, 0, 0, width & 0xFF, width >> 8, height & 0xFF, height >> 8, depth,
                  descriptor});
}

std::string PcxHeader(int bits, int planes, int width, int height, int lineBytes,
                      const std::string& palette16 = std::string(48, '\0')) {
    std::string h = Bytes({10, 5, 1, bits, 0, 0, 0, 0, (width - 1) & 0xFF, (width - 1) >> 8,
                           (height - 1) & 0xFF, (height - 1) >> 8, 72, 0, 72, 0});
    h += palette16;
    h += Bytes({0, planes, lineBytes & 0xFF, lineBytes >> 8, 1, 0});
    h.resize(128, '\0');
    return h;
}

struct Case {
    const char* name;
    std::string file;
    uint32_t id;
    uint32_t bits;
    std::vector<uint32_t> bottomRow;
    std::vector<uint32_t> topRow;
};

void Check(const Case& c) {
    RasterImage image;
    ASSERT_TRUE(DecodeBytes(image, c.file, c.id)) << c.name << ": " << image.LastErrorText();
    EXPECT_EQ(image.BitsPerPixel(), c.bits) << c.name;
    EXPECT_EQ(image.FormatId(), c.id) << c.name;
    for (size_t x = 0; x < c.bottomRow.size(); ++x)
        EXPECT_EQ(Rgb(image, static_cast<int>(x), 0), c.bottomRow[x]) << c.name << " x=" << x;
    for (size_t x = 0; x < c.topRow.size(); ++x)
        EXPECT_EQ(Rgb(image, static_cast<int>(x), image.Height() - 1), c.topRow[x])
            << c.name << " x=" << x;
    RasterImage recognised;
    EXPECT_TRUE(DecodeBytes(recognised, c.file, FORMAT_UNKNOWN)) << c.name;
    EXPECT_EQ(recognised.FormatId(), c.id) << c.name;
}

TEST(TgaDecode, Formats) {
    const Case cases[] = {
        {"24-bit bottom-up",
         TgaHeader(2, 2, 2, 24, 0) + Bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}),
         FORMAT_TGA,
         24,
         {0x030201, 0x060504},
         {0x090807, 0x0C0B0A}},
        {"24-bit top-down with id",
         TgaHeader(2, 1, 2, 24, 0x20, 0, 0, 3) + "abc" + Bytes({1, 2, 3, 4, 5, 6}),
         FORMAT_TGA,
         24,
         {0x060504},
         {0x030201}},
        {"32-bit right to left",
         TgaHeader(2, 2, 1, 32, 0x10) + Bytes({1, 2, 3, 255, 4, 5, 6, 255}),
         FORMAT_TGA,
         24,
         {0x060504, 0x030201},
         {}},
        {"16-bit", TgaHeader(2, 1, 1, 16, 0) + Bytes({0x00, 0x7C}), FORMAT_TGA, 24, {0xFF0000}, {}},
        {"gray",
         TgaHeader(3, 2, 1, 8, 0) + Bytes({0, 200}),
         FORMAT_TGA,
         8,
         {0x000000, 0xC8C8C8},
         {}},
        {"colour-mapped",
         TgaHeader(1, 2, 1, 8, 0, 2, 24) + Bytes({0, 0, 255, 255, 0, 0, 1, 0}),
         FORMAT_TGA,
         8,
         {0x0000FF, 0xFF0000},
         {}},
        {"RLE 24-bit, packets across rows",
         TgaHeader(10, 3, 2, 24, 0) + Bytes({0x83, 1, 2, 3, 0x01, 4, 5, 6, 7, 8, 9}),
         FORMAT_TGA,
         24,
         {0x030201, 0x030201, 0x030201},
         {0x030201, 0x060504, 0x090807}},
        {"RLE gray",
         TgaHeader(11, 4, 1, 8, 0) + Bytes({0x81, 9, 0x01, 1, 2}),
         FORMAT_TGA,
         8,
         {0x090909, 0x090909, 0x010101, 0x020202},
         {}},
    };
    for (const Case& c : cases)
        Check(c);
}

TEST(PcxDecode, Formats) {
    std::string palette256 = Bytes({12});
    for (int i = 0; i < 256; ++i)
        palette256 += Bytes({i, 255 - i, 7});
    std::string ega(48, '\0');
    ega[3] = static_cast<char>(255); // entry 1: red
    ega[8] = static_cast<char>(255); // entry 2: blue
    const Case cases[] = {
        {"8-bit with the palette at the end",
         PcxHeader(8, 1, 3, 1, 4) + Bytes({0xC2, 5, 9, 0}) + palette256,
         FORMAT_PCX,
         8,
         {0x05FA07, 0x05FA07, 0x09F607},
         {}},
        {"24-bit planes",
         PcxHeader(8, 3, 2, 2, 2) + Bytes({1, 2, 3, 4, 5, 6, 0xC6, 9}),
         FORMAT_PCX,
         24,
         {0x090909, 0x090909},
         {0x010305, 0x020406}},
        {"1-bit",
         PcxHeader(1, 1, 9, 1, 2) + Bytes({0x80, 0x80}),
         FORMAT_PCX,
         1,
         {0xFFFFFF, 0, 0, 0, 0, 0, 0, 0, 0xFFFFFF},
         {}},
        {"4 bit planes",
         PcxHeader(1, 4, 2, 1, 1, ega) + Bytes({0x80, 0x40, 0, 0}),
         FORMAT_PCX,
         4,
         {0xFF0000, 0x0000FF},
         {}},
        {"run across lines",
         PcxHeader(8, 1, 2, 2, 2) + Bytes({0xC4, 7}) + palette256,
         FORMAT_PCX,
         8,
         {0x07F807, 0x07F807},
         {0x07F807, 0x07F807}},
    };
    for (const Case& c : cases)
        Check(c);
    RasterImage image;
    ASSERT_TRUE(DecodeBytes(image, cases[0].file, FORMAT_PCX));
    EXPECT_EQ(image.HorizontalDpi(), 72);
}

TEST(TgaPcxDecode, DamagedFilesAreRefused) {
    struct Refusal {
        const char* name;
        std::string file;
        uint32_t id;
        const char* error;
    };
    const Refusal cases[] = {
        {"TGA short header", Bytes({0, 0, 2}), FORMAT_TGA, "bad TGA header"},
        {"TGA type 4", TgaHeader(4, 1, 1, 24, 0) + Bytes({1, 2, 3}), FORMAT_TGA, "bad TGA header"},
        {"TGA zero width", TgaHeader(2, 0, 1, 24, 0), FORMAT_TGA, "bad TGA header"},
        {"TGA depth 7", TgaHeader(2, 1, 1, 7, 0) + Bytes({1}), FORMAT_TGA,
         "Unsupported TGA pixel depth"},
        {"TGA truncated", TgaHeader(2, 2, 2, 24, 0) + Bytes({1, 2, 3}), FORMAT_TGA,
         "TGA file truncated"},
        {"TGA huge", TgaHeader(2, 65535, 65535, 32, 0) + Bytes({1, 2, 3, 4}), FORMAT_TGA,
         "TGA file truncated"},
        {"TGA RLE ends early",
         TgaHeader(10, 4, 4, 24, 0) + Bytes({0x81, 1, 2, 3, 0x81, 1, 2, 3, 0x81, 1, 2}), FORMAT_TGA,
         "TGA file truncated"},
        {"PCX short", Bytes({10, 5, 1}), FORMAT_PCX, "Error: Not a PCX file"},
        {"PCX 2 bits", PcxHeader(2, 1, 4, 1, 2) + Bytes({0, 0}), FORMAT_PCX,
         "Error: Unsupported PCX bit depth"},
        {"PCX short lines", PcxHeader(8, 1, 10, 1, 4) + std::string(10, 1), FORMAT_PCX,
         "Error: Invalid PCX line length"},
        {"PCX truncated", PcxHeader(8, 3, 4, 4, 4) + Bytes({1, 2, 3}), FORMAT_PCX,
         "Error: PCX file truncated"},
    };
    for (const Refusal& c : cases) {
        RasterImage image;
        EXPECT_FALSE(DecodeBytes(image, c.file, c.id)) << c.name;
        EXPECT_STREQ(image.LastErrorText(), c.error) << c.name;
        EXPECT_FALSE(image.HasPixels()) << c.name;
    }
}

TEST(TgaPcxDecode, MutatedAndTruncated) {
    std::string palette256 = Bytes({12}) + std::string(768, '\x33');
    const std::string files[] = {
        TgaHeader(10, 3, 2, 24, 0) + Bytes({0x83, 1, 2, 3, 0x01, 4, 5, 6, 7, 8, 9}),
        TgaHeader(1, 2, 1, 8, 0, 2, 24) + Bytes({0, 0, 255, 255, 0, 0, 1, 0}),
        PcxHeader(8, 3, 2, 2, 2) + Bytes({1, 2, 3, 4, 5, 6, 7, 8, 0xC6, 9}),
        PcxHeader(8, 1, 3, 1, 4) + Bytes({0xC2, 5, 9, 0}) + palette256,
        Bytes({0, 0, 10, 2, 0x80, 0x40, 0xFF, 0xC0}),
    };
    const MutationOptions options{
        .flips = {0xFF, 0x01, 0x80, 0x40},
        .exercise = [](RasterImage& image) { image.DecreaseBpp(4, false); }};
    for (const std::string& original : files)
        ExpectSurvivesMutation(original, DecodeAs(FORMAT_UNKNOWN), options);
}

} // namespace

namespace {

TEST(WbmpDecode, FormatAndRefusals) {
    // 10 × 2: a set bit is white; rows top first.
    const std::string file = Bytes({0, 0, 10, 2, 0x80, 0x40, 0xFF, 0xC0});
    const Case c{"WBMP", file, FORMAT_WBMP, 1, {0xFFFFFF, 0xFFFFFF, 0xFFFFFF}, {0xFFFFFF, 0, 0}};
    Check(c);
    RasterImage image;
    ASSERT_TRUE(DecodeBytes(image, file, FORMAT_WBMP));
    EXPECT_EQ(image.ReadIndex(9, 1), 1);
    EXPECT_EQ(image.ReadIndex(8, 1), 0);

    struct Refusal {
        std::string file;
        const char* error;
    };
    const Refusal refusals[] = {
        {Bytes({1, 0, 1, 1, 0}), "Unsupported WBMP type"},
        {"", "Unsupported WBMP type"},
        {Bytes({0, 0x80, 1, 1, 0}), "Invalid WBMP header"},
        {Bytes({0, 0, 0, 1}), "Invalid WBMP header"},
        {Bytes({0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 1}), "Invalid WBMP header"},
        {Bytes({0, 0, 0x81, 0x80, 0x10, 1}), "WBMP file truncated"},
        {Bytes({0, 0, 16, 2, 0xFF, 0xFF, 0xFF}), "WBMP file truncated"},
    };
    for (const Refusal& r : refusals) {
        RasterImage refused;
        EXPECT_FALSE(DecodeBytes(refused, r.file, FORMAT_WBMP));
        EXPECT_STREQ(refused.LastErrorText(), r.error);
        EXPECT_FALSE(refused.HasPixels());
    }
}

} // namespace
