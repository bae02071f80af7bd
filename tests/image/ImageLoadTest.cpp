#include "DecodeHelpers.h"
#include "image/RasterImage.h"

#include "image/ByteStream.h"
#include "image/RasterImageJAS.h"
#include "support/Mutation.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace talvore;
using namespace talvore::testing;

namespace {

class TempFile {
public:
    explicit TempFile(const std::string& contents) {
        char name[] = "/tmp/talvore_load_XXXXXX";
        const int fd = mkstemp(name);
        EXPECT_GE(fd, 0);
        ::close(fd);
        path_ = name;
        std::ofstream(path_, std::ios::binary) << contents;
    }
    ~TempFile() { std::remove(path_.c_str()); }
    const char* path() const { return path_.c_str(); }

private:
    std::string path_;
};

const std::string kP4 = "P4\n9 2\n" + Bytes({0xFF, 0x80, 0x00, 0x00});
const std::string kP6 = "P6\n1 1\n255\n" + Bytes({0x10, 0x20, 0x30});
const std::string kP5 = "P5\n3 1\n65535\n" + Bytes({0x12, 0x34, 0xFF, 0xFF, 0x00, 0xFF});

TEST(ImageLoad, P4BitmapGivesOneBitBlackAndWhite) {
    RasterImage image;
    ASSERT_TRUE(DecodeBytes(image, kP4, FORMAT_UNKNOWN)) << image.LastErrorText();
    EXPECT_EQ(image.Width(), 9);
    EXPECT_EQ(image.Height(), 2);
    EXPECT_EQ(image.BitsPerPixel(), 1u);
    EXPECT_EQ(image.FormatId(), FORMAT_UNKNOWN);
    EXPECT_EQ(image.PaletteEntries()[0], MakeRgb(0, 0, 0));
    EXPECT_EQ(image.PaletteEntries()[1], MakeRgb(255, 255, 255));
    for (int x = 0; x < 9; ++x) {
        EXPECT_EQ(image.ReadIndex(x, 1), 0) << x; // top row of the file: black
        EXPECT_EQ(image.ReadIndex(x, 0), 1) << x; // bottom row: white
    }
    EXPECT_EQ(image.HorizontalDpi(), 96);
}

TEST(ImageLoad, P6PixmapGives24BitBgr) {
    RasterImage image;
    ASSERT_TRUE(DecodeBytes(image, kP6, FORMAT_UNKNOWN)) << image.LastErrorText();
    EXPECT_EQ(image.BitsPerPixel(), 24u);
    EXPECT_EQ(image.FormatId(), FORMAT_PNM);
    const uint8_t* px = image.RowPointer(0);
    EXPECT_EQ(px[0], 0x30);
    EXPECT_EQ(px[1], 0x20);
    EXPECT_EQ(px[2], 0x10);
}

TEST(ImageLoad, P5SixteenBitShiftsToEight) {
    RasterImage image;
    ASSERT_TRUE(DecodeBytes(image, kP5, FORMAT_UNKNOWN)) << image.LastErrorText();
    EXPECT_EQ(image.BitsPerPixel(), 8u);
    EXPECT_TRUE(image.HasIdentityGrayPalette());
    EXPECT_EQ(image.ReadIndex(0, 0), 0x12);
    EXPECT_EQ(image.ReadIndex(1, 0), 0xFF);
    EXPECT_EQ(image.ReadIndex(2, 0), 0x00);
}

TEST(ImageLoad, PnmVariants) {
    struct Case {
        const char* name;
        std::string data;
        uint32_t bits;
        int width, height;
        std::vector<uint32_t> topRow; // indices, or 0xRRGGBB at 24 bits
    };
    const Case cases[] = {
        {"P5 8-bit with comments",
         "P5 # gray\n# more\n3 # w\n2\n255\n" + Bytes({1, 2, 3, 4, 5, 6}),
         8,
         3,
         2,
         {1, 2, 3}},
        {"P5 maxval 15 gives 4 bits", "P5\n2 1\n15\n" + Bytes({15, 7}), 4, 2, 1, {15, 7}},
        {"P5 sample above maxval is clamped", "P5\n1 1\n100\n" + Bytes({200}), 8, 1, 1, {100}},
        {"P5 maxval 1 gives 1 bit, not inverted", "P5\n2 1\n1\n" + Bytes({1, 0}), 1, 2, 1, {1, 0}},
        {"P2 plain", "P2\n3 1\n255\n0 128\n255\n", 8, 3, 1, {0, 128, 255}},
        {"P2 plain 16-bit", "P2\n2 1\n65535\n65535 256\n", 8, 2, 1, {255, 1}},
        {"P1 plain, packed digits", "P1\n# x\n4 1\n1 0\n01\n", 1, 4, 1, {0, 1, 1, 0}},
        {"P3 plain", "P3\n2 1\n255\n255 0 0 # red\n0 0 255\n", 24, 2, 1, {0xFF0000, 0x0000FF}},
        {"P6 16-bit",
         "P6\n1 1\n65535\n" + Bytes({0xAB, 0xCD, 0x01, 0x02, 0xFF, 0xFF}),
         24,
         1,
         1,
         {0xAB01FF}},
        {"P6 tabs and CR", "P6\t1\r\n1\t255\r" + Bytes({1, 2, 3}), 24, 1, 1, {0x010203}},
        {"P4 width 8", "P4 8 1\n" + Bytes({0x0F}), 1, 8, 1, {1, 1, 1, 1, 0, 0, 0, 0}},
        {"P6 trailing data ignored", kP6 + "junk", 24, 1, 1, {0x102030}},
    };
    for (const Case& c : cases) {
        RasterImage image;
        ASSERT_TRUE(DecodeBytes(image, c.data, FORMAT_UNKNOWN))
            << c.name << ": " << image.LastErrorText();
        EXPECT_EQ(image.BitsPerPixel(), c.bits) << c.name;
        EXPECT_EQ(image.Width(), c.width) << c.name;
        EXPECT_EQ(image.Height(), c.height) << c.name;
        for (size_t x = 0; x < c.topRow.size(); ++x) {
            const int top = c.height - 1;
            if (c.bits == 24) {
                const RgbQuad px = image.ReadColor(static_cast<int>(x), top);
                EXPECT_EQ(uint32_t{px.red} << 16 | uint32_t{px.green} << 8 | px.blue, c.topRow[x])
                    << c.name << " x=" << x;
            } else {
                EXPECT_EQ(image.ReadIndex(static_cast<int>(x), top), c.topRow[x])
                    << c.name << " x=" << x;
            }
        }
    }
}

TEST(ImageLoad, PnmRowsAreStoredBottomUp) {
    RasterImage image;
    ASSERT_TRUE(DecodeBytes(image, "P5\n1 3\n255\n" + Bytes({10, 20, 30}), FORMAT_UNKNOWN));
    EXPECT_EQ(image.ReadIndex(0, 2), 10);
    EXPECT_EQ(image.ReadIndex(0, 1), 20);
    EXPECT_EQ(image.ReadIndex(0, 0), 30);
}

TEST(ImageLoad, ExplicitPnmIdSetsTheGrayFormatId) {
    RasterImage gray;
    ASSERT_TRUE(DecodeBytes(gray, kP4, FORMAT_PNM));
    EXPECT_EQ(gray.FormatId(), FORMAT_PNM);
    RasterImage colour;
    ASSERT_TRUE(DecodeBytes(colour, kP6, FORMAT_JP2)); // the JAS codec; colour is always PNM
    EXPECT_EQ(colour.FormatId(), FORMAT_PNM);
}

// Every decoder ahead of PNM in the order refuses PNM data with its message.
TEST(ImageLoad, DecodersAheadOfPnmRefuseItWithTheirMessage) {
    struct Case {
        uint32_t id;
        const char* error;
    };
    const Case cases[] = {
        {FORMAT_BMP, "Not a BMP"},
        {FORMAT_JPG, nullptr}, // libjpeg-style text naming the first bytes
        {FORMAT_ICO, "Not an ICO"},
        {FORMAT_GIF, "Not a GIF"},
        {FORMAT_PNG, "Not a PNG"},
        {FORMAT_TIF, "Not a TIFF file"},
        {FORMAT_MNG, "Not an MNG file"},
        {FORMAT_TGA, "bad TGA header"},
        {FORMAT_PCX, "Error: Not a PCX file"},
        {FORMAT_WBMP, "Unsupported WBMP type"},
        {FORMAT_WMF, "corrupted WMF"},
    };
    const std::string files[] = {kP4, kP6, kP5,
                                 "P5\n640 480\n255\n" + std::string(640 * 480, '\x7F'),
                                 "P6\n1234 5678\n255\n"};
    for (const std::string& file : files) {
        for (const Case& c : cases) {
            RasterImage image;
            EXPECT_FALSE(DecodeBytes(image, file, c.id)) << c.id;
            EXPECT_FALSE(image.HasPixels());
            if (c.error != nullptr) {
                EXPECT_STREQ(image.LastErrorText(), c.error) << c.id;
            } else {
                char expected[64];
                std::snprintf(expected, sizeof expected,
                              "Not a JPEG file: starts with 0x%02x 0x%02x",
                              static_cast<uint8_t>(file[0]), static_cast<uint8_t>(file[1]));
                EXPECT_STREQ(image.LastErrorText(), expected);
            }
        }
    }
}

TEST(ImageLoad, DecodeDispatchErrors) {
    RasterImage image;
    EXPECT_FALSE(image.Decode(static_cast<ByteStream*>(nullptr), FORMAT_PNM));
    EXPECT_STREQ(image.LastErrorText(), "null file handler");
    EXPECT_FALSE(image.Decode(static_cast<FILE*>(nullptr), FORMAT_PNM));
    EXPECT_STREQ(image.LastErrorText(), "null file handler");
    for (uint32_t id : {16u, 20u, 1000u}) {
        RasterImage other;
        EXPECT_FALSE(DecodeBytes(other, kP6, id));
        EXPECT_STREQ(other.LastErrorText(), "Decode: Unknown or wrong format") << id;
    }
    RasterImage unknown;
    EXPECT_FALSE(DecodeBytes(unknown, "hello world", FORMAT_UNKNOWN));
    EXPECT_STREQ(unknown.LastErrorText(), "Decode: Unknown or wrong format");
    RasterImage jas;
    EXPECT_FALSE(DecodeBytes(jas, "hello world", FORMAT_PNM));
    EXPECT_STREQ(jas.LastErrorText(), "error: unknowm format");
}

TEST(ImageLoad, RecognitionRewindsToWhereItStarted) {
    const std::string prefix = "0123456789";
    std::vector<uint8_t> data(prefix.begin(), prefix.end());
    data.insert(data.end(), kP6.begin(), kP6.end());
    MemoryStream stream(data.data(), static_cast<uint32_t>(data.size()));
    ASSERT_TRUE(stream.Seek(static_cast<int32_t>(prefix.size()), 0));
    RasterImage image;
    ASSERT_TRUE(image.Decode(&stream, FORMAT_UNKNOWN)) << image.LastErrorText();
    EXPECT_EQ(image.RowPointer(0)[2], 0x10);
}

TEST(ImageLoad, FrameAndDimensionsOnlyRequests) {
    RasterImage frame;
    frame.SetFrame(1);
    EXPECT_FALSE(DecodeBytes(frame, kP4, FORMAT_PNM));
    EXPECT_STREQ(frame.LastErrorText(), "wrong frame!");
    EXPECT_FALSE(frame.HasPixels());

    RasterImage dimensions;
    dimensions.SetEscape(-1);
    EXPECT_TRUE(DecodeBytes(dimensions, "P6\n1234 567\n255\n", FORMAT_PNM));
    EXPECT_FALSE(dimensions.HasPixels());
    EXPECT_EQ(dimensions.Width(), 1234);
    EXPECT_EQ(dimensions.Height(), 567);
    EXPECT_EQ(dimensions.FormatId(), FORMAT_PNM);
    EXPECT_STREQ(dimensions.LastErrorText(), "output dimensions returned");
}

TEST(ImageLoad, HostilePnmIsRefused) {
    struct Case {
        const char* name;
        std::string data;
        const char* error;
    };
    const char* bad = "error: cannot load image data";
    const Case cases[] = {
        {"zero width", "P6\n0 1\n255\n" + Bytes({1, 2, 3}), bad},
        {"zero height", "P5\n1 0\n255\n" + Bytes({1}), bad},
        {"maxval 0", "P5\n1 1\n0\n" + Bytes({0}), bad},
        {"maxval 65536", "P5\n1 1\n65536\n" + Bytes({0, 0}), bad},
        {"width past 2^32", "P6\n99999999999999999999 1\n255\n", bad},
        {"width past i32", "P4\n2147483648 1\n" + Bytes({0}), bad},
        {"huge, no data", "P6\n20000 20000\n255\n" + Bytes({1, 2, 3}), bad},
        {"huge bitmap, no data", "P4\n2147483647 2147483647\n", bad},
        {"huge plain, no data", "P3\n60000 60000\n255\n1 2 3\n", bad},
        {"truncated pixels", "P6\n2 1\n255\n" + Bytes({1, 2, 3, 4, 5}), bad},
        {"truncated 16-bit", "P5\n2 1\n65535\n" + Bytes({1, 2, 3}), bad},
        {"truncated P4", "P4\n9 2\n" + Bytes({0xFF, 0x80, 0x00}), bad},
        {"header only", "P5\n1 1\n255", bad},
        {"no separator after maxval", "P5\n1 1\n255x" + Bytes({0}), bad},
        {"letters for height", "P5\n2 x\n255\n" + Bytes({0, 0}), bad},
        {"negative width", "P5\n-2 1\n255\n" + Bytes({0, 0}), bad},
        {"garbage in plain data", "P3\n1 1\n255\n1 2 z\n", bad},
        {"plain data ends early", "P2\n2 2\n255\n1 2 3\n", bad},
        {"bad plain bit", "P1\n2 1\n1 2\n", bad},
        {"magic P7", "P7\n1 1\n255\n" + Bytes({0}), bad},
        {"magic P0", "P0\n1 1\n255\n" + Bytes({0}), bad},
        {"magic P only", "P", "error: unknowm format"},
        {"not a digit", "Px\n1 1\n", "error: unknowm format"},
    };
    for (const Case& c : cases) {
        RasterImage direct;
        EXPECT_FALSE(DecodeBytes(direct, c.data, FORMAT_PNM)) << c.name;
        EXPECT_STREQ(direct.LastErrorText(), c.error) << c.name;
        EXPECT_FALSE(direct.HasPixels()) << c.name;
        RasterImage recognised;
        EXPECT_FALSE(DecodeBytes(recognised, c.data, FORMAT_UNKNOWN)) << c.name;
        EXPECT_STREQ(recognised.LastErrorText(), "Decode: Unknown or wrong format") << c.name;
    }
}

// A stream that claims a huge size and reads zeros: a sized header passes the
// length check, so the memory limit is what must refuse it.
struct HeaderText {
    std::string text;
};
class ZeroStream : private HeaderText, public MemoryStream {
public:
    explicit ZeroStream(std::string header)
        : HeaderText{std::move(header)}, MemoryStream(reinterpret_cast<uint8_t*>(text.data()),
                                                      static_cast<uint32_t>(text.size())) {}
    int32_t Size() override { return INT32_MAX; }
    size_t Read(void* buffer, size_t size, size_t count) override {
        const size_t got = MemoryStream::Read(buffer, size, count);
        if (got != 0)
            return got;
        std::memset(buffer, 0, size * count);
        return count;
    }
};

TEST(ImageLoad, PnmWithinTheDataButPastTheMemoryLimit) {
    ZeroStream stream("P5\n17000 17000\n255\n"); // 289,000,000 bytes at 8 bits
    RasterImage image;
    EXPECT_FALSE(image.Decode(&stream, FORMAT_PNM));
    EXPECT_STREQ(image.LastErrorText(), "RASTER_MAX_MEMORY exceeded");
}

TEST(ImageLoad, LoadFileWithTheConvertersHint) {
    const TempFile p6(kP6);
    RasterImage colour(p6.path(), FORMAT_BMP);
    ASSERT_TRUE(colour.HasPixels()) << colour.LastErrorText();
    EXPECT_EQ(colour.FormatId(), FORMAT_PNM);

    const TempFile p4(kP4);
    RasterImage bitmap;
    ASSERT_TRUE(bitmap.LoadFile(p4.path(), FORMAT_BMP));
    EXPECT_EQ(bitmap.BitsPerPixel(), 1u);

    RasterImage direct;
    ASSERT_TRUE(direct.LoadFile(p6.path(), FORMAT_PNM)); // the hint is right: one attempt
    ASSERT_TRUE(direct.LoadFile(p6.path(), FORMAT_UNKNOWN));
}

TEST(ImageLoad, EmptyFileAndMissingPath) {
    const TempFile empty("");
    RasterImage hinted;
    EXPECT_FALSE(hinted.LoadFile(empty.path(), FORMAT_BMP));
    EXPECT_STREQ(hinted.LastErrorText(), "Not a BMP");
    RasterImage automatic;
    EXPECT_FALSE(automatic.LoadFile(empty.path(), FORMAT_UNKNOWN));
    EXPECT_STREQ(automatic.LastErrorText(), "Decode: Unknown or wrong format");

    for (uint32_t id : {FORMAT_UNKNOWN, FORMAT_BMP}) {
        RasterImage missing;
        missing.SetLastError("earlier text");
        EXPECT_FALSE(missing.LoadFile("/nonexistent/talvore/missing.ppm", id));
        EXPECT_STREQ(missing.LastErrorText(), "earlier text") << id;
    }
}

TEST(ImageLoad, FailedLoadLeavesTheImageAsItWas) {
    RasterImage image;
    ASSERT_NE(image.Create(2, 2, 24, FORMAT_TGA), nullptr);
    const uint8_t* block = image.BlockAddress();
    EXPECT_FALSE(DecodeBytes(image, "P6\n2 2\n255\n" + Bytes({1, 2, 3}), FORMAT_UNKNOWN));
    EXPECT_EQ(image.BlockAddress(), block);
    EXPECT_EQ(image.FormatId(), FORMAT_TGA);
}

// Every byte of small valid files changed and every truncation: the decoders
// must refuse or produce a consistent image, never misbehave (run under the
// sanitizers in the asan build).
TEST(ImageLoad, MutatedAndTruncatedPnm) {
    const std::string files[] = {kP4,
                                 kP6,
                                 kP5,
                                 "P5\n3 2\n255\n" + Bytes({0, 50, 100, 150, 200, 250}),
                                 "P6\n2 2\n255\n" + std::string(12, '\x80'),
                                 "P1\n3 1\n1 0 1\n",
                                 "P3\n1 1\n255\n1 2 3\n"};
    for (const std::string& original : files) {
        RasterImage reference;
        ASSERT_TRUE(DecodeBytes(reference, original, FORMAT_UNKNOWN)) << original;
        // Raw files hold exactly their data: any shorter prefix is refused.
        const MutationOptions options{
            .prefixesRefused = original[1] > '3',
            .exercise = [](RasterImage& image) { image.ConvertToGray(); }};
        ExpectSurvivesMutation(original, DecodeAs(FORMAT_UNKNOWN), options);
    }
}

} // namespace
