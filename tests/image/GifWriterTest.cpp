// The GIF writer: the bytes of its blocks, and round trips through giflib.
#include "image/ByteStream.h"
#include "image/RasterImage.h"
#include "image/RasterImageGIF.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

using namespace talvore;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes EncodeGif(RasterImage& image, bool* ok = nullptr, std::string* error = nullptr) {
    MemoryStream stream;
    EXPECT_TRUE(stream.Open());
    const bool result = image.Encode(&stream, 2);
    if (ok != nullptr)
        *ok = result;
    if (error != nullptr)
        *error = image.LastErrorText();
    const uint8_t* data = stream.BufferAddress(false);
    return data ? Bytes(data, data + stream.Size()) : Bytes{};
}

struct GifReadState {
    const Bytes* data;
    size_t at;
};

int ReadFromMemory(GifFileType* gif, GifByteType* buffer, int length) {
    auto* state = static_cast<GifReadState*>(gif->UserData);
    const size_t n = std::min<size_t>(static_cast<size_t>(length), state->data->size() - state->at);
    std::memcpy(buffer, state->data->data() + state->at, n);
    state->at += n;
    return static_cast<int>(n);
}

// Decodes with giflib and compares with the image's own colours.
void ExpectGifHoldsImage(const Bytes& gifBytes, const RasterImage& image) {
    GifReadState state{&gifBytes, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&state, ReadFromMemory, &error);
    ASSERT_NE(gif, nullptr) << GifErrorString(error);
    ASSERT_EQ(DGifSlurp(gif), GIF_OK) << GifErrorString(gif->Error);
    ASSERT_EQ(gif->ImageCount, 1);
    const SavedImage& frame = gif->SavedImages[0];
    ASSERT_EQ(frame.ImageDesc.Width, image.Width());
    ASSERT_EQ(frame.ImageDesc.Height, image.Height());
    EXPECT_FALSE(frame.ImageDesc.Interlace);
    ASSERT_NE(gif->SColorMap, nullptr);
    EXPECT_EQ(static_cast<uint32_t>(gif->SColorMap->ColorCount), image.ColorsUsed());
    bool same = true;
    for (int top = 0; top < image.Height() && same; ++top)
        for (int x = 0; x < image.Width() && same; ++x) {
            const uint8_t index = frame.RasterBits[static_cast<size_t>(top) * image.Width() + x];
            const RgbQuad want = image.ReadColor(x, image.Height() - 1 - top);
            const GifColorType got = gif->SColorMap->Colors[index];
            same = got.Red == want.red && got.Green == want.green && got.Blue == want.blue &&
                   index == image.ReadIndex(x, image.Height() - 1 - top);
            EXPECT_TRUE(same) << "x " << x << " top row " << top;
        }
    DGifCloseFile(gif, &error);
}

// Position of the image data (after the minimum code size byte).
size_t ImageDataStart(uint32_t colours) {
    return 13 + 3 * colours + 8 + 10 + 1;
}

struct CodeStream {
    std::vector<size_t> subBlockLengths;
    int clears = 0; // clear codes after the first
    bool endedCleanly = false;
};

// Walks the sub-blocks and the variable-width codes the way a decoder
// counts them, to see the clears and that the end code closes the stream.
CodeStream WalkCodes(const Bytes& gif, size_t at, int minimumCodeSize) {
    CodeStream result;
    Bytes data;
    while (at < gif.size() && gif[at] != 0) {
        const size_t length = gif[at];
        result.subBlockLengths.push_back(length);
        data.insert(data.end(), gif.begin() + at + 1, gif.begin() + at + 1 + length);
        at += 1 + length;
    }
    const int clear = 1 << minimumCodeSize, end = clear + 1;
    int bits = minimumCodeSize + 1, running = end + 1, limit = 1 << bits;
    size_t bitPos = 0;
    bool first = true;
    while (bitPos + bits <= data.size() * 8) {
        int code = 0;
        for (int b = 0; b < bits; ++b, ++bitPos)
            code |= ((data[bitPos / 8] >> (bitPos % 8)) & 1) << b;
        if (running < 4097 && ++running > limit && bits < 12) {
            limit <<= 1;
            ++bits;
        }
        if (code == clear) {
            if (!first)
                ++result.clears;
            bits = minimumCodeSize + 1;
            limit = 1 << bits;
            running = end + 1;
        } else if (code == end) {
            result.endedCleanly = (data.size() * 8 - bitPos) < 8;
            break;
        }
        first = false;
    }
    return result;
}

RasterImage MakePaletteImage(uint32_t width, uint32_t height, uint32_t bits, uint32_t seed) {
    RasterImage image;
    EXPECT_NE(image.Create(width, height, bits, 0), nullptr);
    if (bits == 1)
        image.FillGrayPalette();
    else
        image.FillStandardPalette();
    std::mt19937 random(seed);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            // Runs of equal pixels mixed with noise, so strings of many lengths form.
            const uint32_t v = (random() % 4 == 0) ? random() : (x / 3 + y * 5);
            image.WriteIndex(static_cast<int32_t>(x), static_cast<int32_t>(y),
                             static_cast<uint8_t>(v % (1u << bits)));
        }
    return image;
}

} // namespace

TEST(GifWriter, SinglePixelBitmapIs43Bytes) {
    RasterImage image;
    ASSERT_NE(image.Create(1, 1, 1, 0), nullptr);
    image.FillGrayPalette();
    image.WriteIndex(0, 0, 0);
    const Bytes gif = EncodeGif(image);
    const Bytes expected = {'G',  'I',  'F',  '8',  '9',  'a',  1,    0,    1,    0,    0x80,
                            0,    0,    0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x21, 0xF9, 0x04,
                            0x00, 0x00, 0x00, 0xFF, 0x00, 0x2C, 0,    0,    0,    0,    1,
                            0,    1,    0,    0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};
    EXPECT_EQ(gif, expected);
    ExpectGifHoldsImage(gif, image);
}

TEST(GifWriter, ScreenFlagsAndCodeSizePerDepth) {
    struct Case {
        uint32_t bits;
        uint8_t flags;
        uint8_t minimumCodeSize;
    };
    for (const Case c : {Case{1, 0x80, 2}, Case{4, 0xB3, 4}, Case{8, 0xF7, 8}}) {
        RasterImage image = MakePaletteImage(5, 3, c.bits, 1);
        const Bytes gif = EncodeGif(image);
        ASSERT_GT(gif.size(), 40u);
        EXPECT_EQ(gif[10], c.flags) << c.bits;
        EXPECT_EQ(gif[ImageDataStart(image.ColorsUsed()) - 1], c.minimumCodeSize) << c.bits;
        EXPECT_EQ(gif.back(), 0x3B);
    }
}

TEST(GifWriter, RoundTripThroughGiflib) {
    struct Shape {
        uint32_t width, height;
    };
    for (uint32_t bits : {1u, 4u, 8u})
        for (const Shape s : {Shape{1, 1}, Shape{1, 7}, Shape{3, 2}, Shape{9, 5}, Shape{13, 4},
                              Shape{31, 17}, Shape{64, 64}}) {
            SCOPED_TRACE(testing::Message() << bits << " bits " << s.width << "x" << s.height);
            RasterImage image = MakePaletteImage(s.width, s.height, bits, s.width * 31 + bits);
            ExpectGifHoldsImage(EncodeGif(image), image);
        }
}

TEST(GifWriter, LargeImagePassesTheCodeLimitAndClears) {
    for (uint32_t bits : {1u, 4u, 8u}) {
        SCOPED_TRACE(testing::Message() << bits << " bits");
        RasterImage image = MakePaletteImage(317, 211, bits, 7 + bits);
        const Bytes gif = EncodeGif(image);
        ExpectGifHoldsImage(gif, image);
        const int minimumCodeSize = bits < 2 ? 2 : static_cast<int>(bits);
        const CodeStream codes =
            WalkCodes(gif, ImageDataStart(image.ColorsUsed()), minimumCodeSize);
        EXPECT_GE(codes.clears, 1);
        EXPECT_TRUE(codes.endedCleanly);
        ASSERT_FALSE(codes.subBlockLengths.empty());
        for (size_t i = 0; i < codes.subBlockLengths.size(); ++i) {
            EXPECT_GE(codes.subBlockLengths[i], 1u);
            EXPECT_LE(codes.subBlockLengths[i], 254u);
            if (i + 1 < codes.subBlockLengths.size()) {
                EXPECT_EQ(codes.subBlockLengths[i], 254u);
            }
        }
    }
}

TEST(GifWriter, TrueColourGoesThroughDecreaseBpp) {
    RasterImage image;
    ASSERT_NE(image.Create(23, 9, 24, 0), nullptr);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 23; ++x)
            image.WriteColor(x, y,
                             MakeRgb(static_cast<uint8_t>(x * 11), static_cast<uint8_t>(y * 28),
                                     static_cast<uint8_t>((x * y) & 0xFF)));
    bool ok = true;
    std::string error;
    EXPECT_TRUE(EncodeGif(image, &ok, &error).empty());
    EXPECT_FALSE(ok) << "24-bit pixels need DecreaseBpp first";
    ASSERT_TRUE(image.DecreaseBpp(8, false));
    const Bytes gif = EncodeGif(image, &ok, &error);
    EXPECT_TRUE(ok) << error;
    EXPECT_EQ(gif[10], 0xF7);
    ExpectGifHoldsImage(gif, image);
}

namespace {

// A memory file that reports a stream error once written to.
class ErrorAfterWriteStream : public MemoryStream {
public:
    int32_t Error() override { return 1; }
};

} // namespace

TEST(GifWriter, StreamErrorAtTheEndFailsTheEncode) {
    RasterImage image = MakePaletteImage(6, 6, 8, 3);
    ErrorAfterWriteStream stream;
    ASSERT_TRUE(stream.Open());
    EXPECT_FALSE(image.Encode(&stream, 2));
    EXPECT_STREQ(image.LastErrorText(), "Write Error in GIF file");
    EXPECT_GT(stream.Size(), 0) << "what was written stays written";
}
