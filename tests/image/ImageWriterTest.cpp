// The save path and the BMP, TGA and PCX writers, read back by the reference
// readers of ReferenceReaders.h.
#include "image/ByteStream.h"
#include "image/RasterImage.h"

#include "ReferenceReaders.h"
#include "support/FullDiskStream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

using namespace talvore;

namespace {

using Bytes = std::vector<uint8_t>;

// A busy picture of the given depth: every index value and sharp edges.
RasterImage MakeImage(uint32_t width, uint32_t height, uint32_t bits) {
    RasterImage image;
    EXPECT_NE(image.Create(width, height, bits, 0), nullptr);
    if (bits == 1) {
        image.FillGrayPalette();
    } else if (bits <= 8) {
        image.FillStandardPalette();
    }
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t v = x * 37 + y * 101 + x * y * 7;
            if (bits == 24) {
                image.WriteColor(static_cast<int32_t>(x), static_cast<int32_t>(y),
                                 MakeRgb(static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 3),
                                         static_cast<uint8_t>(x * 255 / width)));
            } else {
                image.WriteIndex(static_cast<int32_t>(x), static_cast<int32_t>(y),
                                 static_cast<uint8_t>(v % (1u << bits)));
            }
        }
    }
    return image;
}

Bytes EncodeToMemory(RasterImage& image, uint32_t id, bool* ok = nullptr) {
    MemoryStream stream;
    EXPECT_TRUE(stream.Open());
    const bool result = image.Encode(&stream, id);
    if (ok != nullptr)
        *ok = result;
    const uint8_t* data = stream.BufferAddress(false);
    return data ? Bytes(data, data + stream.Size()) : Bytes{};
}

void ExpectSamePicture(const RasterImage& image, const reference::Picture& read) {
    ASSERT_EQ(read.error, "");
    ASSERT_EQ(read.width, static_cast<uint32_t>(image.Width()));
    ASSERT_EQ(read.height, static_cast<uint32_t>(image.Height()));
    for (uint32_t top = 0; top < read.height; ++top)
        for (uint32_t x = 0; x < read.width; ++x) {
            const RgbQuad want = image.ReadColor(static_cast<int32_t>(x),
                                                 image.Height() - 1 - static_cast<int32_t>(top));
            const RgbQuad got = read.At(x, top);
            ASSERT_EQ(got, want) << "x " << x << " top row " << top;
        }
}

Bytes ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class TempDir {
public:
    TempDir() {
        path_ = std::filesystem::temp_directory_path() /
                ("talvore-writers-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(path_);
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::filesystem::path operator/(const char* name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

struct Shape {
    uint32_t width, height;
};
// Width 1, odd widths, widths off a multiple of 4 and of 8.
const Shape kShapes[] = {{1, 1}, {1, 5}, {3, 2}, {5, 3}, {7, 4}, {9, 2}, {13, 3}, {17, 5}, {64, 3}};

} // namespace

TEST(SavePath, UnknownIdsAndIdsWithoutWriter) {
    RasterImage image = MakeImage(4, 4, 8);
    for (uint32_t id : {0u, 16u, 20u, 255u}) {
        bool ok = true;
        EXPECT_TRUE(EncodeToMemory(image, id, &ok).empty());
        EXPECT_FALSE(ok) << id;
        EXPECT_STREQ(image.LastErrorText(), "Encode: Unknown format") << id;
    }
    for (uint32_t id : {5u, 9u, 10u, 11u, 12u, 13u, 14u, 15u, 17u, 18u, 19u}) {
        bool ok = true;
        EXPECT_TRUE(EncodeToMemory(image, id, &ok).empty());
        EXPECT_FALSE(ok) << id;
    }
}

TEST(SavePath, EmptyImageLeavesAnEmptyFile) {
    TempDir dir;
    for (uint32_t id : {1u, 2u, 3u, 4u, 6u, 7u, 8u}) {
        RasterImage empty;
        const auto path = dir / ("empty" + std::to_string(id)).c_str();
        EXPECT_FALSE(empty.SaveFile(path.c_str(), id)) << id;
        EXPECT_STREQ(empty.LastErrorText(), "null image!!!") << id;
        ASSERT_TRUE(std::filesystem::exists(path));
        EXPECT_EQ(std::filesystem::file_size(path), 0u) << id;
    }
    RasterImage image = MakeImage(2, 2, 8);
    EXPECT_FALSE(image.Encode(static_cast<ByteStream*>(nullptr), 1));
    EXPECT_STREQ(image.LastErrorText(), "null file handler");
}

TEST(SavePath, FileOutputMatchesMemoryAndFailedOpenKeepsTheError) {
    TempDir dir;
    RasterImage image = MakeImage(5, 3, 24);
    const auto path = dir / "out.bmp";
    ASSERT_TRUE(image.SaveFile(path.c_str(), 1));
    EXPECT_EQ(ReadWholeFile(path), EncodeToMemory(image, 1));

    image.SetLastError("before");
    EXPECT_FALSE(image.SaveFile((dir / "no-such-dir/out.bmp").c_str(), 1));
    EXPECT_STREQ(image.LastErrorText(), "before");

    // Encode on a stdio stream leaves it open for the caller.
    FILE* stream = std::fopen((dir / "stdio.tga").c_str(), "wb");
    ASSERT_NE(stream, nullptr);
    EXPECT_TRUE(image.Encode(stream, 7));
    EXPECT_EQ(std::fputc('x', stream), 'x');
    std::fclose(stream);
}

TEST(SavePath, TgaRefusalLeavesAnEmptyFile) {
    TempDir dir;
    for (uint32_t bits : {1u, 4u}) {
        RasterImage image = MakeImage(3, 3, bits);
        const auto path = dir / "low.tga";
        EXPECT_FALSE(image.SaveFile(path.c_str(), 7));
        EXPECT_STREQ(image.LastErrorText(), "Bit depth must be 8 or 24");
        EXPECT_EQ(std::filesystem::file_size(path), 0u);
    }
}

TEST(BmpWriter, RoundTripEveryDepthAndWidth) {
    for (uint32_t bits : {1u, 4u, 8u, 24u})
        for (const Shape& s : kShapes) {
            SCOPED_TRACE(::testing::Message() << bits << " bits " << s.width << "x" << s.height);
            RasterImage image = MakeImage(s.width, s.height, bits);
            ExpectSamePicture(image, reference::ReadBmp(EncodeToMemory(image, 1)));
        }
}

TEST(BmpWriter, HeaderFields) {
    RasterImage rgb = MakeImage(3, 2, 24);
    const Bytes a = EncodeToMemory(rgb, 1);
    ASSERT_EQ(a.size(), 78u);
    EXPECT_EQ(reference::detail::Le32(a, 2), 78u);
    EXPECT_EQ(reference::detail::Le32(a, 10), 54u);
    EXPECT_EQ(reference::detail::Le32(a, 34), 24u) << "image size: rows of 12 bytes";
    EXPECT_EQ(reference::detail::Le32(a, 38), 3780u);
    EXPECT_EQ(reference::detail::Le32(a, 42), 3780u);

    RasterImage bitmap = MakeImage(9, 1, 1);
    const Bytes b = EncodeToMemory(bitmap, 1);
    ASSERT_EQ(b.size(), 66u);
    EXPECT_EQ(reference::detail::Le32(b, 10), 62u);
    EXPECT_EQ(reference::detail::Le32(b, 46), 2u);
    const Bytes palette(b.begin() + 54, b.begin() + 62);
    EXPECT_EQ(palette, (Bytes{0, 0, 0, 0, 255, 255, 255, 0}));
}

TEST(TgaWriter, RoundTripAndLayout) {
    for (uint32_t bits : {8u, 24u})
        for (const Shape& s : kShapes) {
            SCOPED_TRACE(::testing::Message() << bits << " bits " << s.width << "x" << s.height);
            RasterImage image = MakeImage(s.width, s.height, bits);
            ExpectSamePicture(image, reference::ReadTga(EncodeToMemory(image, 7)));
        }
    RasterImage small = MakeImage(2, 2, 8);
    const Bytes t = EncodeToMemory(small, 7);
    ASSERT_EQ(t.size(), 790u);
    EXPECT_EQ(Bytes(t.begin(), t.begin() + 18),
              (Bytes{0, 1, 1, 0, 0, 0, 1, 24, 0, 0, 0, 0, 2, 0, 2, 0, 8, 0}));
    RasterImage rgb = MakeImage(3, 1, 24);
    const Bytes u = EncodeToMemory(rgb, 7);
    ASSERT_EQ(u.size(), 18u + 9u);
    EXPECT_EQ(u[1], 0);
    EXPECT_EQ(u[2], 2);
    EXPECT_EQ(u[16], 24);
}

TEST(PcxWriter, RoundTripEveryDepthAndWidth) {
    for (uint32_t bits : {1u, 4u, 8u, 24u})
        for (const Shape& s : kShapes) {
            SCOPED_TRACE(::testing::Message() << bits << " bits " << s.width << "x" << s.height);
            RasterImage image = MakeImage(s.width, s.height, bits);
            ExpectSamePicture(image, reference::ReadPcx(EncodeToMemory(image, 8)));
        }
}

TEST(PcxWriter, BitmapWithWhiteFirstIsStoredBlackFirst) {
    RasterImage image = MakeImage(11, 3, 1);
    const RgbQuad whiteBlack[2] = {MakeRgb(255, 255, 255), MakeRgb(0, 0, 0)};
    image.StorePalette(whiteBlack, 2);
    const Bytes p = EncodeToMemory(image, 8);
    EXPECT_EQ(Bytes(p.begin() + 16, p.begin() + 22), (Bytes{0, 0, 0, 255, 255, 255}));
    ExpectSamePicture(image, reference::ReadPcx(p));
}

TEST(PcxWriter, CodedBytes) {
    // 8 bits, 3 wide: bytes per line 4, a run of three 5s then the pad byte.
    RasterImage eight;
    ASSERT_NE(eight.Create(3, 1, 8, 0), nullptr);
    eight.FillStandardPalette();
    for (int x = 0; x < 3; ++x)
        eight.WriteIndex(x, 0, 5);
    const Bytes a = EncodeToMemory(eight, 8);
    ASSERT_EQ(a.size(), 128u + 3u + 769u);
    EXPECT_EQ(reference::detail::Le16(a, 66), 4u);
    EXPECT_EQ(Bytes(a.begin() + 128, a.begin() + 131), (Bytes{0xC3, 0x05, 0x00}));
    EXPECT_EQ(a[131], 12);
    EXPECT_EQ(Bytes(a.begin() + 132 + 3 * 5, a.begin() + 132 + 3 * 6), (Bytes{0x80, 0x00, 0x80}))
        << "entry 5 of the fixed palette, red green blue";

    // 24 bits, 2 wide, red 200: the red plane line is one run.
    RasterImage rgb;
    ASSERT_NE(rgb.Create(2, 1, 24, 0), nullptr);
    rgb.WriteColor(0, 0, MakeRgb(200, 0, 0));
    rgb.WriteColor(1, 0, MakeRgb(200, 0, 0));
    const Bytes b = EncodeToMemory(rgb, 8);
    EXPECT_EQ(Bytes(b.begin() + 128, b.end()), (Bytes{0xC2, 0xC8, 0xC2, 0x00, 0xC2, 0x00}));
    EXPECT_EQ(b[65], 3);
    EXPECT_EQ(reference::detail::Le16(b, 68), 1u);

    // 64 equal bytes below 192: a run of 63 and a single byte.
    RasterImage wide;
    ASSERT_NE(wide.Create(64, 1, 8, 0), nullptr);
    wide.FillStandardPalette();
    for (int x = 0; x < 64; ++x)
        wide.WriteIndex(x, 0, 7);
    const Bytes c = EncodeToMemory(wide, 8);
    EXPECT_EQ(Bytes(c.begin() + 128, c.begin() + 131), (Bytes{0xFF, 0x07, 0x07}));
    EXPECT_EQ(c[131], 12);

    // A single byte of 192 or more takes a count byte.
    wide.WriteIndex(0, 0, 200);
    const Bytes e = EncodeToMemory(wide, 8);
    EXPECT_EQ(Bytes(e.begin() + 128, e.begin() + 132), (Bytes{0xC1, 200, 0xFF, 0x07}));

    // 1 bit, 8 wide: bytes per line 2, the pixel byte then a 0 byte.
    RasterImage bitmap;
    ASSERT_NE(bitmap.Create(8, 2, 1, 0), nullptr);
    bitmap.FillGrayPalette();
    for (int x = 0; x < 8; ++x) {
        bitmap.WriteIndex(x, 1, x % 2 == 0 ? 1 : 0); // top row 0xAA
        bitmap.WriteIndex(x, 0, 1);                  // bottom row 0xFF
    }
    const Bytes d = EncodeToMemory(bitmap, 8);
    EXPECT_EQ(d[3], 1);
    EXPECT_EQ(d[65], 1);
    EXPECT_EQ(reference::detail::Le16(d, 66), 2u);
    EXPECT_EQ(Bytes(d.begin() + 16, d.begin() + 22), (Bytes{0, 0, 0, 255, 255, 255}));
    EXPECT_EQ(Bytes(d.begin() + 128, d.end()), (Bytes{0xAA, 0x00, 0xC1, 0xFF, 0x00}));
}

TEST(SavePath, SizesBeyondSixteenBitHeadersAreRefused) {
    // 70000 pixels wide fits the memory limit but not a 16-bit header field.
    RasterImage wide;
    ASSERT_NE(wide.Create(70000, 1, 8, 0), nullptr);
    wide.FillStandardPalette();
    struct Case {
        uint32_t id;
        const char* error;
    };
    for (const Case c : {Case{2, "GIF width and height must be at most 65535"},
                         Case{7, "TGA width and height must be at most 65535"},
                         Case{8, "PCX width and height must be at most 65535"}}) {
        bool ok = true;
        EXPECT_TRUE(EncodeToMemory(wide, c.id, &ok).empty()) << c.id;
        EXPECT_FALSE(ok);
        EXPECT_STREQ(wide.LastErrorText(), c.error);
    }
    bool ok = false;
    EXPECT_EQ(reference::ReadBmp(EncodeToMemory(wide, 1, &ok)).width, 70000u);
    EXPECT_TRUE(ok) << "BMP holds 32-bit sizes";

    // The largest width rounds its bytes per line up past the field: refused,
    // where a line of 0 bytes would have been written. One less fits.
    for (const auto& [width, fits] : {std::pair{65535u, false}, std::pair{65534u, true}}) {
        RasterImage edge;
        ASSERT_NE(edge.Create(width, 1, 8, 0), nullptr);
        edge.FillGrayPalette();
        bool written = false;
        const std::vector<uint8_t> pcx = EncodeToMemory(edge, 8, &written);
        EXPECT_EQ(written, fits) << width;
        if (fits) {
            ASSERT_GE(pcx.size(), 128u);
            EXPECT_EQ(pcx[66] | (pcx[67] << 8), 65534) << "bytes per line";
        } else {
            EXPECT_STREQ(edge.LastErrorText(), "PCX bytes per line must be at most 65535");
        }
    }
}

TEST(SavePath, ShortWritesFailTheSave) {
    struct Case {
        uint32_t id;
        size_t limit;
        const char* error;
    };
    for (const Case c :
         {Case{1, 0, "Error writing BMP file"}, Case{1, 14, "Error writing BMP file"},
          Case{7, 18, "Error writing TGA file"}, Case{8, 0, "cannot write PCX header"},
          Case{8, 128, "Error writing PCX file"}, Case{2, 0, "Write Error in GIF file"}}) {
        RasterImage image = MakeImage(9, 4, 8);
        talvore::testing::FullDiskStream stream(c.limit);
        EXPECT_FALSE(image.Encode(&stream, c.id)) << c.id << " after " << c.limit;
        EXPECT_STREQ(image.LastErrorText(), c.error);
    }
}

TEST(SavePath, WriterWorksOnTheImageItselfNotACopy) {
    // The TIFF writer turns a black-first bitmap white-first in place; through
    // the dispatch that must reach the caller's image.
    RasterImage image = MakeImage(10, 2, 1);
    const uint8_t before = image.RowPointer(0)[0];
    bool ok = false;
    EXPECT_FALSE(EncodeToMemory(image, 6, &ok).empty());
    ASSERT_TRUE(ok) << image.LastErrorText();
    EXPECT_EQ(image.PaletteEntries()[0], MakeRgb(255, 255, 255));
    EXPECT_EQ(image.PaletteEntries()[1], MakeRgb(0, 0, 0));
    EXPECT_EQ(image.RowPointer(0)[0], static_cast<uint8_t>(~before));
    EXPECT_TRUE(image.HasPixels());
}
