// The JPEG, PNG and TIFF writers, read back by the libraries' own decoders.
#include "image/RasterImageJPG.h"
#include "image/RasterImagePNG.h"
#include "image/RasterImageTIF.h"
#include "support/FullDiskStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>
#include <unistd.h>

using namespace talvore;

namespace {

using Bytes = std::vector<uint8_t>;

// A deterministic picture: smooth gradients so JPEG's loss stays small.
RasterImage MakePicture(uint32_t width, uint32_t height, uint32_t bits) {
    RasterImage image;
    EXPECT_NE(image.Create(width, height, bits, 0), nullptr);
    if (bits <= 8) {
        if (bits == 8)
            image.FillGrayPalette();
        else
            image.FillStandardPalette();
    }
    const uint32_t colours = bits <= 8 ? (1u << bits) : 0;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            if (bits == 24) {
                // Gentle slopes even on tiny images, so JPEG's chroma
                // subsampling has no edges to smear.
                const auto r = static_cast<uint8_t>(40 + x * 200 / std::max(width, 64u));
                const auto g = static_cast<uint8_t>(30 + y * 200 / std::max(height, 64u));
                const auto b =
                    static_cast<uint8_t>(90 + (x + y) * 100 / std::max(width + height, 128u));
                image.WriteColor(static_cast<int32_t>(x), static_cast<int32_t>(y),
                                 MakeRgb(r, g, b));
            } else if (bits == 8) {
                image.WriteIndex(
                    static_cast<int32_t>(x), static_cast<int32_t>(y),
                    static_cast<uint8_t>((x * 7 + y * 3) * 255 / (7 * width + 3 * height)));
            } else {
                image.WriteIndex(static_cast<int32_t>(x), static_cast<int32_t>(y),
                                 static_cast<uint8_t>((x * 3 + y * 5 + x * y) % colours));
            }
        }
    }
    return image;
}

// What a reader should see at picture row `top` (0 = top), column x.
RgbQuad Expected(const RasterImage& image, uint32_t x, uint32_t top) {
    return image.ReadColor(static_cast<int32_t>(x), image.Height() - 1 - static_cast<int32_t>(top));
}

template <typename Codec, typename... Extra>
Bytes EncodeWith(RasterImage& image, bool* ok, std::string* error, Extra... extra) {
    Codec codec;
    codec.ShareFrom(image);
    MemoryStream stream;
    stream.Open();
    *ok = codec.Encode(&stream, extra...);
    *error = codec.LastErrorText();
    const auto size = static_cast<size_t>(stream.Size()); // libtiff seeks back to patch its header
    const uint8_t* data = stream.BufferAddress(false);
    return data ? Bytes(data, data + size) : Bytes{};
}

Bytes Jpeg(RasterImage& image) {
    bool ok = false;
    std::string error;
    Bytes out = EncodeWith<RasterImageJPG>(image, &ok, &error);
    EXPECT_TRUE(ok) << error;
    return out;
}

Bytes Png(RasterImage& image) {
    bool ok = false;
    std::string error;
    Bytes out = EncodeWith<RasterImagePNG>(image, &ok, &error);
    EXPECT_TRUE(ok) << error;
    return out;
}

// Byte offset of the first marker `code` after SOI, or npos.
size_t FindMarker(const Bytes& jpeg, uint8_t code) {
    for (size_t i = 2; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == code)
            return i;
    return std::string::npos;
}

struct DecodedJpeg {
    uint32_t width = 0, height = 0;
    int components = 0;
    Bytes pixels; // top row first
};

DecodedJpeg DecodeJpeg(const Bytes& data) {
    DecodedJpeg out;
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    out.width = cinfo.output_width;
    out.height = cinfo.output_height;
    out.components = cinfo.output_components;
    out.pixels.resize(static_cast<size_t>(out.width) * out.height * out.components);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out.pixels.data() +
                       static_cast<size_t>(cinfo.output_scanline) * out.width * out.components;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return out;
}

// Mean and largest per-sample difference between a JPEG and its source.
void CompareJpeg(const RasterImage& image, const DecodedJpeg& decoded, double* mean, int* worst) {
    long total = 0;
    *worst = 0;
    size_t samples = 0;
    for (uint32_t y = 0; y < decoded.height; ++y) {
        for (uint32_t x = 0; x < decoded.width; ++x) {
            const RgbQuad want = Expected(image, x, y);
            const uint8_t* got =
                &decoded.pixels[(static_cast<size_t>(y) * decoded.width + x) * decoded.components];
            const int wanted[3] = {want.red, want.green, want.blue};
            for (int c = 0; c < decoded.components; ++c) {
                const int d = std::abs(got[c] - (decoded.components == 1 ? want.blue : wanted[c]));
                total += d;
                *worst = std::max(*worst, d);
                ++samples;
            }
        }
    }
    *mean = samples ? static_cast<double>(total) / static_cast<double>(samples) : 0.0;
}

TEST(JpegWriter, RoundTripWithinTolerance) {
    // Tolerance for quality 90 on smooth gradients: mean error under 3 levels,
    // no sample off by more than 40 (chroma is subsampled 2 x 2).
    struct Case {
        uint32_t width, height, bits;
    };
    for (const Case c : {Case{1, 1, 24}, Case{3, 5, 24}, Case{7, 9, 24}, Case{33, 17, 24},
                         Case{640, 31, 24}, Case{1, 1, 8}, Case{9, 3, 8}, Case{101, 67, 8}}) {
        RasterImage image = MakePicture(c.width, c.height, c.bits);
        const Bytes jpeg = Jpeg(image);
        ASSERT_GT(jpeg.size(), 100u);
        const DecodedJpeg decoded = DecodeJpeg(jpeg);
        ASSERT_EQ(decoded.width, c.width);
        ASSERT_EQ(decoded.height, c.height);
        ASSERT_EQ(decoded.components, c.bits == 24 ? 3 : 1);
        double mean = 0;
        int worst = 0;
        CompareJpeg(image, decoded, &mean, &worst);
        EXPECT_LT(mean, 3.0) << c.width << "x" << c.height << "x" << c.bits;
        EXPECT_LE(worst, 40) << c.width << "x" << c.height << "x" << c.bits;
    }
}

TEST(JpegWriter, FrameSamplingAndDensity) {
    RasterImage colour = MakePicture(1, 1, 24);
    colour.SetCompressionQuality(75);
    const Bytes jpeg = Jpeg(colour);
    // JFIF APP0: "JFIF\0", version, units 1, X density 96, Y density 96.
    const size_t app0 = FindMarker(jpeg, 0xE0);
    ASSERT_NE(app0, std::string::npos);
    EXPECT_EQ(std::memcmp(&jpeg[app0 + 4], "JFIF", 5), 0);
    EXPECT_EQ(jpeg[app0 + 11], 1);
    EXPECT_EQ(jpeg[app0 + 12] << 8 | jpeg[app0 + 13], 96);
    EXPECT_EQ(jpeg[app0 + 14] << 8 | jpeg[app0 + 15], 96);
    // Baseline SOF0: 3 components sampled 2x2, 1x1, 1x1.
    const size_t sof = FindMarker(jpeg, 0xC0);
    ASSERT_NE(sof, std::string::npos);
    EXPECT_EQ(jpeg[sof + 9], 3);
    EXPECT_EQ(jpeg[sof + 11], 0x22);
    EXPECT_EQ(jpeg[sof + 14], 0x11);
    EXPECT_EQ(jpeg[sof + 17], 0x11);

    RasterImage gray = MakePicture(4, 4, 8);
    ASSERT_TRUE(gray.HasIdentityGrayPalette());
    const Bytes grayJpeg = Jpeg(gray);
    const size_t graySof = FindMarker(grayJpeg, 0xC0);
    ASSERT_NE(graySof, std::string::npos);
    EXPECT_EQ(grayJpeg[graySof + 9], 1);
    EXPECT_EQ(grayJpeg[graySof + 11], 0x22);
}

TEST(JpegWriter, QualityChangesTheTables) {
    RasterImage image = MakePicture(64, 64, 24);
    image.SetCompressionQuality(20);
    const size_t low = Jpeg(image).size();
    image.SetCompressionQuality(95);
    const size_t high = Jpeg(image).size();
    EXPECT_LT(low, high);
}

TEST(LibraryWriters, RefusalsLeaveNothingWritten) {
    bool ok = true;
    std::string error;
    RasterImage bitmap = MakePicture(8, 2, 1);
    Bytes out = EncodeWith<RasterImageJPG>(bitmap, &ok, &error);
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, "JPEG can save only RGB or GreyScale images");
    EXPECT_TRUE(out.empty());

    RasterImage palette = MakePicture(8, 2, 8);
    palette.FillStandardPalette(); // not the gray ramp
    out = EncodeWith<RasterImageJPG>(palette, &ok, &error);
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, "JPEG can save only RGB or GreyScale images");

    RasterImage empty;
    for (int which = 0; which < 3; ++which) {
        out = which == 0   ? EncodeWith<RasterImageJPG>(empty, &ok, &error)
              : which == 1 ? EncodeWith<RasterImagePNG>(empty, &ok, &error)
                           : EncodeWith<RasterImageTIF>(empty, &ok, &error, false);
        EXPECT_FALSE(ok) << which;
        EXPECT_EQ(error, "null image!!!") << which;
        EXPECT_TRUE(out.empty()) << which;
    }

    RasterImageJPG jpg;
    jpg.ShareFrom(bitmap);
    EXPECT_FALSE(jpg.Encode(nullptr));
    EXPECT_STREQ(jpg.LastErrorText(), "null file handler");
    RasterImageTIF tif;
    tif.ShareFrom(bitmap);
    EXPECT_FALSE(tif.Encode(nullptr, false));
    EXPECT_STREQ(tif.LastErrorText(), "null file handler");
}

TEST(LibraryWriters, FailedWritesAreReported) {
    // Noise, so every format's output is large enough to fail mid-way.
    RasterImage image;
    ASSERT_NE(image.Create(120, 90, 24, 0), nullptr);
    uint32_t seed = 12345;
    for (uint32_t i = 0; i < image.ImageSize(); ++i) {
        seed = seed * 1103515245u + 12345u;
        image.RowPointer(0)[i] = static_cast<uint8_t>(seed >> 24);
    }
    bool ok = false;
    std::string error;
    const size_t sizes[3] = {EncodeWith<RasterImageJPG>(image, &ok, &error).size(),
                             EncodeWith<RasterImagePNG>(image, &ok, &error).size(),
                             EncodeWith<RasterImageTIF>(image, &ok, &error, false).size()};
    for (int which = 0; which < 3; ++which) {
        ASSERT_GT(sizes[which], 8192u) << which;
        for (size_t budget : {size_t{0}, size_t{33}, sizes[which] / 2, sizes[which] - 1}) {
            talvore::testing::FullDiskStream disk(budget);
            bool written = true;
            std::string text;
            if (which == 0) {
                RasterImageJPG codec;
                codec.ShareFrom(image);
                written = codec.Encode(&disk);
                text = codec.LastErrorText();
            } else if (which == 1) {
                RasterImagePNG codec;
                codec.ShareFrom(image);
                written = codec.Encode(&disk);
                text = codec.LastErrorText();
                EXPECT_EQ(text, "Error saving PNG file");
            } else {
                RasterImageTIF codec;
                codec.ShareFrom(image);
                written = codec.Encode(&disk, false);
                text = codec.LastErrorText();
            }
            EXPECT_FALSE(written) << which << " budget " << budget;
            EXPECT_FALSE(text.empty()) << which << " budget " << budget;
        }
    }
}

struct PngChunk {
    std::string type;
    Bytes data;
};

std::vector<PngChunk> PngChunks(const Bytes& png) {
    std::vector<PngChunk> chunks;
    size_t at = 8;
    while (at + 12 <= png.size()) {
        const uint32_t length = static_cast<uint32_t>(png[at] << 24 | png[at + 1] << 16 |
                                                      png[at + 2] << 8 | png[at + 3]);
        PngChunk chunk;
        chunk.type.assign(reinterpret_cast<const char*>(&png[at + 4]), 4);
        chunk.data.assign(png.begin() + static_cast<long>(at + 8),
                          png.begin() + static_cast<long>(at + 8 + length));
        chunks.push_back(chunk);
        at += 12 + length;
    }
    return chunks;
}

const PngChunk* Chunk(const std::vector<PngChunk>& chunks, const char* type) {
    for (const PngChunk& c : chunks)
        if (c.type == type)
            return &c;
    return nullptr;
}

TEST(PngWriter, ChunksOfABitmapAndAPixmap) {
    RasterImage bitmap;
    ASSERT_NE(bitmap.Create(9, 1, 1, 0), nullptr);
    bitmap.FillStandardPalette();
    const auto chunks = PngChunks(Png(bitmap));
    ASSERT_GE(chunks.size(), 5u);
    EXPECT_EQ(chunks.front().type, "IHDR");
    EXPECT_EQ(chunks.back().type, "IEND");
    const Bytes& ihdr = chunks.front().data;
    EXPECT_EQ(ihdr[3], 9);  // width
    EXPECT_EQ(ihdr[7], 1);  // height
    EXPECT_EQ(ihdr[8], 1);  // bit depth
    EXPECT_EQ(ihdr[9], 3);  // palette
    EXPECT_EQ(ihdr[12], 0); // not interlaced
    const PngChunk* plte = Chunk(chunks, "PLTE");
    ASSERT_NE(plte, nullptr);
    EXPECT_EQ(plte->data, (Bytes{0, 0, 0, 255, 255, 255}));
    const PngChunk* bkgd = Chunk(chunks, "bKGD");
    ASSERT_NE(bkgd, nullptr);
    EXPECT_EQ(bkgd->data, Bytes{0});
    const PngChunk* phys = Chunk(chunks, "pHYs");
    ASSERT_NE(phys, nullptr);
    EXPECT_EQ(phys->data, (Bytes{0, 0, 0x0E, 0xC4, 0, 0, 0x0E, 0xC4, 1}));
    EXPECT_EQ(Chunk(chunks, "tRNS"), nullptr);

    RasterImage pixmap = MakePicture(5, 3, 24);
    const auto rgbChunks = PngChunks(Png(pixmap));
    EXPECT_EQ(rgbChunks.front().data[8], 8);
    EXPECT_EQ(rgbChunks.front().data[9], 2);
    EXPECT_EQ(Chunk(rgbChunks, "PLTE"), nullptr);
    ASSERT_NE(Chunk(rgbChunks, "bKGD"), nullptr);
    EXPECT_EQ(Chunk(rgbChunks, "bKGD")->data, (Bytes{0, 255, 0, 255, 0, 255}));

    RasterImage gray = MakePicture(5, 3, 8);
    const auto grayChunks = PngChunks(Png(gray));
    EXPECT_EQ(grayChunks.front().data[9], 0);
    EXPECT_EQ(Chunk(grayChunks, "PLTE"), nullptr) << "a gray image writes no PLTE";
}

TEST(PngWriter, RoundTripThroughLibpng) {
    struct Case {
        uint32_t width, height, bits;
    };
    for (const Case c :
         {Case{1, 1, 1}, Case{9, 2, 1}, Case{33, 5, 1}, Case{1, 1, 4}, Case{7, 3, 4}, Case{1, 1, 8},
          Case{13, 7, 8}, Case{1, 1, 24}, Case{3, 2, 24}, Case{31, 9, 24}}) {
        for (bool standardPalette : {false, true}) {
            if (standardPalette && c.bits != 8)
                continue;
            RasterImage image = MakePicture(c.width, c.height, c.bits);
            if (standardPalette)
                image.FillStandardPalette();
            const Bytes png = Png(image);
            png_image decoded{};
            decoded.version = PNG_IMAGE_VERSION;
            ASSERT_TRUE(png_image_begin_read_from_memory(&decoded, png.data(), png.size()));
            decoded.format = PNG_FORMAT_RGB;
            ASSERT_EQ(decoded.width, c.width);
            ASSERT_EQ(decoded.height, c.height);
            Bytes rgb(PNG_IMAGE_SIZE(decoded));
            ASSERT_TRUE(png_image_finish_read(&decoded, nullptr, rgb.data(), 0, nullptr));
            for (uint32_t y = 0; y < c.height; ++y) {
                for (uint32_t x = 0; x < c.width; ++x) {
                    const RgbQuad want = Expected(image, x, y);
                    const uint8_t* got = &rgb[(static_cast<size_t>(y) * c.width + x) * 3];
                    ASSERT_EQ(got[0], want.red)
                        << c.width << "x" << c.height << "x" << c.bits << " @" << x << "," << y;
                    ASSERT_EQ(got[1], want.green);
                    ASSERT_EQ(got[2], want.blue);
                }
            }
        }
    }
}

// Interlaced images still go through libpng's writer; every other image is
// filtered and deflated by our own path. Both must say the same thing.
TEST(PngWriter, DeflatePathAgreesWithLibpng) {
    struct Case {
        uint32_t width, height, bits;
        int32_t background; // palette index or -1
    };
    for (const Case c : {Case{37, 19, 1, -1}, Case{37, 19, 4, 3}, Case{64, 40, 8, -1},
                         Case{64, 40, 8, 200}, Case{61, 33, 24, -1}, Case{61, 33, 24, 0}}) {
        RasterImage image = MakePicture(c.width, c.height, c.bits);
        // Noise in half the rows, so the rows choose different filters.
        uint32_t seed = 12345;
        for (uint32_t y = 0; y < c.height; y += 2)
            for (uint32_t x = 0; x < c.width; ++x) {
                seed = seed * 1103515245 + 12345;
                if (c.bits == 24)
                    image.WriteColor(static_cast<int32_t>(x), static_cast<int32_t>(y),
                                     MakeRgb(static_cast<uint8_t>(seed >> 16),
                                             static_cast<uint8_t>(seed >> 8), 77));
                else
                    image.WriteIndex(static_cast<int32_t>(x), static_cast<int32_t>(y),
                                     static_cast<uint8_t>((seed >> 16) % (1u << c.bits)));
            }
        if (c.background >= 0) {
            image.SetBackgroundIndex(c.background);
            image.SetBackgroundColour(MakeRgb(10, 20, 30));
        }
        const Bytes ours = Png(image);
        image.SetCodecFlags(1, FORMAT_PNG); // Adam7: libpng's path
        const Bytes theirs = Png(image);
        const std::string label =
            std::to_string(c.bits) + " bits, background " + std::to_string(c.background);

        auto decode = [](const Bytes& png) {
            png_image decoded{};
            decoded.version = PNG_IMAGE_VERSION;
            EXPECT_TRUE(png_image_begin_read_from_memory(&decoded, png.data(), png.size()));
            decoded.format = PNG_FORMAT_RGBA; // tRNS shows as alpha
            Bytes rgba(PNG_IMAGE_SIZE(decoded));
            EXPECT_TRUE(png_image_finish_read(&decoded, nullptr, rgba.data(), 0, nullptr));
            return rgba;
        };
        EXPECT_EQ(decode(ours), decode(theirs)) << label;

        auto ancillary = [](const Bytes& png) {
            std::vector<std::pair<std::string, Bytes>> chunks;
            for (PngChunk& chunk : PngChunks(png)) {
                if (chunk.type == "IHDR")
                    chunk.data[12] = 0; // the interlace method differs by design
                if (chunk.type != "IDAT")
                    chunks.emplace_back(chunk.type, chunk.data);
            }
            return chunks;
        };
        EXPECT_EQ(ancillary(ours), ancillary(theirs)) << label;
        ASSERT_EQ(PngChunks(ours).front().data[12], 0) << label;
    }
}

class TiffFile {
public:
    explicit TiffFile(const Bytes& data) {
        char name[] = "/tmp/talvore-tiff-XXXXXX";
        const int fd = mkstemp(name);
        path_ = name;
        if (fd >= 0) {
            EXPECT_EQ(write(fd, data.data(), data.size()), static_cast<ssize_t>(data.size()));
            close(fd);
        }
        tif_ = TIFFOpen(path_.c_str(), "r");
    }
    ~TiffFile() {
        if (tif_)
            TIFFClose(tif_);
        std::remove(path_.c_str());
    }
    TIFF* get() const { return tif_; }
    uint32_t Tag32(ttag_t tag) const {
        uint32_t value = 0;
        TIFFGetField(tif_, tag, &value);
        return value;
    }
    uint16_t Tag16(ttag_t tag) const {
        uint16_t value = 0;
        TIFFGetField(tif_, tag, &value);
        return value;
    }

private:
    std::string path_;
    TIFF* tif_ = nullptr;
};

Bytes Tiff(RasterImage& image) {
    bool ok = false;
    std::string error;
    Bytes out = EncodeWith<RasterImageTIF>(image, &ok, &error, false);
    EXPECT_TRUE(ok) << error;
    return out;
}

TEST(TiffWriter, TagsPerDepth) {
    struct Case {
        uint32_t width, height, bits;
        uint16_t photometric, compression, predictor;
        uint32_t rowsPerStrip;
    };
    const Case cases[] = {
        {640, 20, 24, PHOTOMETRIC_RGB, COMPRESSION_JPEG, 1, 8}, // 8192 / 1920 = 4, rounded to 8
        {16, 4, 8, PHOTOMETRIC_MINISBLACK, COMPRESSION_LZW, PREDICTOR_HORIZONTAL, 0},
        {16, 4, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4, 1, 0},
        {16, 4, 4, PHOTOMETRIC_PALETTE, COMPRESSION_LZW, 1, 0},
    };
    for (const Case& c : cases) {
        RasterImage image = MakePicture(c.width, c.height, c.bits);
        TiffFile file(Tiff(image));
        ASSERT_NE(file.get(), nullptr);
        EXPECT_EQ(file.Tag32(TIFFTAG_IMAGEWIDTH), c.width);
        EXPECT_EQ(file.Tag32(TIFFTAG_IMAGELENGTH), c.height);
        EXPECT_EQ(file.Tag16(TIFFTAG_PHOTOMETRIC), c.photometric) << c.bits;
        EXPECT_EQ(file.Tag16(TIFFTAG_COMPRESSION), c.compression) << c.bits;
        uint16_t predictor = 0;
        if (!TIFFGetField(file.get(), TIFFTAG_PREDICTOR, &predictor) || predictor == 0)
            predictor = 1;
        EXPECT_EQ(predictor, c.predictor) << c.bits;
        if (c.rowsPerStrip) {
            EXPECT_EQ(file.Tag32(TIFFTAG_ROWSPERSTRIP), c.rowsPerStrip);
        }
        float xres = 0;
        TIFFGetField(file.get(), TIFFTAG_XRESOLUTION, &xres);
        EXPECT_FLOAT_EQ(xres, 96.0f);
        EXPECT_EQ(file.Tag16(TIFFTAG_RESOLUTIONUNIT), RESUNIT_INCH);
    }
}

TEST(TiffWriter, BitmapIsInvertedInPlace) {
    RasterImage bitmap = MakePicture(9, 3, 1);
    const Bytes before(bitmap.RowPointer(0), bitmap.RowPointer(0) + bitmap.ImageSize());
    Tiff(bitmap);
    const RgbQuad* palette = bitmap.PaletteEntries();
    EXPECT_EQ(palette[0], MakeRgb(255, 255, 255));
    EXPECT_EQ(palette[1], MakeRgb(0, 0, 0));
    for (uint32_t i = 0; i < bitmap.ImageSize(); ++i)
        ASSERT_EQ(bitmap.RowPointer(0)[i], static_cast<uint8_t>(~before[i])) << i;
}

TEST(TiffWriter, RoundTripThroughLibtiff) {
    struct Case {
        uint32_t width, height, bits;
        int tolerance;
    };
    for (const Case c :
         {Case{1, 1, 1, 0}, Case{9, 3, 1, 0}, Case{70, 11, 1, 0}, Case{5, 3, 4, 0},
          Case{1, 1, 8, 0}, Case{13, 9, 8, 0}, Case{3, 2, 24, 40}, Case{640, 20, 24, 40}}) {
        RasterImage image = MakePicture(c.width, c.height, c.bits);
        RasterImage original(image); // the writer flips a bitmap in place
        TiffFile file(Tiff(image));
        ASSERT_NE(file.get(), nullptr);
        std::vector<uint32_t> rgba(static_cast<size_t>(c.width) * c.height);
        ASSERT_TRUE(TIFFReadRGBAImageOriented(file.get(), c.width, c.height, rgba.data(),
                                              ORIENTATION_TOPLEFT, 0));
        int worst = 0;
        for (uint32_t y = 0; y < c.height; ++y) {
            for (uint32_t x = 0; x < c.width; ++x) {
                const RgbQuad want = Expected(original, x, y);
                const uint32_t got = rgba[static_cast<size_t>(y) * c.width + x];
                worst = std::max({worst, std::abs(static_cast<int>(TIFFGetR(got)) - want.red),
                                  std::abs(static_cast<int>(TIFFGetG(got)) - want.green),
                                  std::abs(static_cast<int>(TIFFGetB(got)) - want.blue)});
            }
        }
        EXPECT_LE(worst, c.tolerance) << c.width << "x" << c.height << "x" << c.bits;
    }
}

} // namespace
