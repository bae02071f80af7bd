// Every row of the codec table that has a writer: small images of each kind
// saved to memory and read back by a decoder this library did not write
// (libjpeg, libpng, libtiff, giflib, stb_image for BMP and TGA, and for PCX,
// which no Debian library reads, the format-rule reader of ReferenceReaders.h).
// A writable row with no reader here fails the test.
#include "image/CodecTable.h"

#include "ReferenceReaders.h"
#include "image/ByteStream.h"
#include "image/RasterImage.h"

#include <gif_lib.h>
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>
#include <stb_image.h>
#include <tiffio.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace talvore;

namespace {

using Bytes = std::vector<uint8_t>;

// What an independent reader saw: the picture top row first.
struct Decoded {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<RgbQuad> pixels;
    std::string error;
};

Decoded Failed(std::string why) {
    Decoded d;
    d.error = why.empty() ? "unknown error" : std::move(why);
    return d;
}

Decoded FromRgb(uint32_t width, uint32_t height, const uint8_t* rgb, size_t step) {
    Decoded d;
    d.width = width;
    d.height = height;
    d.pixels.resize(size_t{width} * height);
    for (size_t i = 0; i < d.pixels.size(); ++i, rgb += step)
        d.pixels[i] = MakeRgb(rgb[0], rgb[step == 1 ? 0 : 1], rgb[step == 1 ? 0 : 2]);
    return d;
}

Decoded ReadWithStb(const Bytes& data) {
    int width = 0;
    int height = 0;
    int channels = 0;
    stbi_uc* rgb = stbi_load_from_memory(data.data(), static_cast<int>(data.size()), &width,
                                         &height, &channels, 3);
    if (rgb == nullptr)
        return Failed(stbi_failure_reason());
    Decoded d = FromRgb(static_cast<uint32_t>(width), static_cast<uint32_t>(height), rgb, 3);
    stbi_image_free(rgb);
    return d;
}

Decoded ReadWithLibpng(const Bytes& data) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data.data(), data.size()))
        return Failed(image.message);
    image.format = PNG_FORMAT_RGB;
    Bytes rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr))
        return Failed(image.message);
    return FromRgb(image.width, image.height, rgb.data(), 3);
}

struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char text[JMSG_LENGTH_MAX];
};

// Only plain structs and the library's own pools live across the jump.
bool DecompressJpeg(const Bytes& data, JpegErrors& errors, Bytes& samples, uint32_t* width,
                    uint32_t* height, int* components) {
    jpeg_decompress_struct cinfo;
    cinfo.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = [](j_common_ptr common) {
        auto* e = reinterpret_cast<JpegErrors*>(common->err);
        (*common->err->format_message)(common, e->text);
        std::longjmp(e->jump, 1);
    };
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    *width = cinfo.output_width;
    *height = cinfo.output_height;
    *components = cinfo.output_components;
    samples.resize(size_t{*width} * *height * static_cast<size_t>(*components));
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = samples.data() +
                       size_t{cinfo.output_scanline} * *width * static_cast<size_t>(*components);
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

Decoded ReadWithLibjpeg(const Bytes& data) {
    JpegErrors errors{};
    Bytes samples;
    uint32_t width = 0;
    uint32_t height = 0;
    int components = 0;
    if (!DecompressJpeg(data, errors, samples, &width, &height, &components))
        return Failed(errors.text);
    return FromRgb(width, height, samples.data(), static_cast<size_t>(components));
}

struct GifSource {
    const Bytes* data;
    size_t at;
};

Decoded ReadWithGiflib(const Bytes& data) {
    GifSource source{&data, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(
        &source,
        [](GifFileType* file, GifByteType* buffer, int length) {
            auto* s = static_cast<GifSource*>(file->UserData);
            const size_t n = std::min(static_cast<size_t>(length), s->data->size() - s->at);
            std::memcpy(buffer, s->data->data() + s->at, n);
            s->at += n;
            return static_cast<int>(n);
        },
        &error);
    if (gif == nullptr)
        return Failed(GifErrorString(error));
    Decoded d;
    if (DGifSlurp(gif) != GIF_OK || gif->ImageCount != 1) {
        d = Failed(GifErrorString(gif->Error));
    } else {
        const SavedImage& frame = gif->SavedImages[0];
        const ColorMapObject* map =
            frame.ImageDesc.ColorMap != nullptr ? frame.ImageDesc.ColorMap : gif->SColorMap;
        d.width = static_cast<uint32_t>(frame.ImageDesc.Width);
        d.height = static_cast<uint32_t>(frame.ImageDesc.Height);
        for (size_t i = 0; map != nullptr && i < size_t{d.width} * d.height; ++i) {
            const int index = frame.RasterBits[i];
            if (index >= map->ColorCount) {
                d = Failed("index outside the colour table");
                break;
            }
            const GifColorType c = map->Colors[index];
            d.pixels.push_back(MakeRgb(c.Red, c.Green, c.Blue));
        }
        if (map == nullptr)
            d = Failed("no colour table");
    }
    DGifCloseFile(gif, &error);
    return d;
}

struct TiffSource {
    const Bytes* data;
    toff_t at;
};

TIFF* OpenTiff(TiffSource& source) {
    TIFFSetWarningHandler(nullptr);
    return TIFFClientOpen(
        "memory", "r", &source,
        [](thandle_t h, void* buffer, tmsize_t size) -> tmsize_t {
            auto* s = static_cast<TiffSource*>(h);
            const toff_t left = s->at < s->data->size() ? s->data->size() - s->at : 0;
            const size_t n = std::min<size_t>(static_cast<size_t>(size), left);
            std::memcpy(buffer, s->data->data() + s->at, n);
            s->at += n;
            return static_cast<tmsize_t>(n);
        },
        [](thandle_t, void*, tmsize_t) -> tmsize_t { return 0; },
        [](thandle_t h, toff_t offset, int whence) -> toff_t {
            auto* s = static_cast<TiffSource*>(h);
            const toff_t base = whence == SEEK_SET   ? 0
                                : whence == SEEK_CUR ? s->at
                                                     : s->data->size();
            s->at = base + offset;
            return s->at;
        },
        [](thandle_t) { return 0; },
        [](thandle_t h) -> toff_t { return static_cast<TiffSource*>(h)->data->size(); },
        [](thandle_t, void**, toff_t*) { return 0; }, [](thandle_t, void*, toff_t) {});
}

Decoded ReadWithLibtiff(const Bytes& data) {
    TiffSource source{&data, 0};
    TIFF* tif = OpenTiff(source);
    if (tif == nullptr)
        return Failed("libtiff cannot open it");
    uint32_t width = 0;
    uint32_t height = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    std::vector<uint32_t> rgba(size_t{width} * height);
    const bool read =
        width != 0 && height != 0 &&
        TIFFReadRGBAImageOriented(tif, width, height, rgba.data(), ORIENTATION_TOPLEFT, 0) == 1;
    TIFFClose(tif);
    if (!read)
        return Failed("libtiff cannot read the pixels");
    Decoded d;
    d.width = width;
    d.height = height;
    for (uint32_t p : rgba)
        d.pixels.push_back(MakeRgb(static_cast<uint8_t>(TIFFGetR(p)),
                                   static_cast<uint8_t>(TIFFGetG(p)),
                                   static_cast<uint8_t>(TIFFGetB(p))));
    return d;
}

Decoded ReadWithReferencePcx(const Bytes& data) {
    const reference::Picture p = reference::ReadPcx(data);
    if (!p.error.empty())
        return Failed(p.error);
    return Decoded{p.width, p.height, p.pixels, ""};
}

// The kinds of image the converter and its conversions produce.
enum Kind { kBitmap, kSixteen, kGray, kPalette, kRgb, kKinds };
const char* const kKindNames[kKinds] = {"1-bit", "4-bit", "8-bit gray", "8-bit palette", "24-bit"};
constexpr int kRefused = -1;

struct ReaderFor {
    uint32_t formatId;
    Decoded (*read)(const Bytes&);
    // Largest difference of a sample per kind, or kRefused when the writer
    // must refuse the kind.
    int tolerance[kKinds];
};

// JPEG (and TIFF's JPEG compression of 24-bit images) are lossy: gentle
// slopes stay within 40 levels.
const ReaderFor kReaders[] = {
    {FORMAT_BMP, ReadWithStb, {0, 0, 0, 0, 0}},
    {FORMAT_GIF, ReadWithGiflib, {0, 0, 0, 0, kRefused}},
    {FORMAT_JPG, ReadWithLibjpeg, {kRefused, kRefused, 40, kRefused, 40}},
    {FORMAT_PNG, ReadWithLibpng, {0, 0, 0, 0, 0}},
    {FORMAT_TIF, ReadWithLibtiff, {0, 0, 0, 0, 40}},
    {FORMAT_TGA, ReadWithStb, {kRefused, kRefused, 0, 0, 0}},
    {FORMAT_PCX, ReadWithReferencePcx, {0, 0, 0, 0, 0}},
};

RasterImage MakeImage(Kind kind, uint32_t width, uint32_t height) {
    static const uint32_t kBits[kKinds] = {1, 4, 8, 8, 24};
    RasterImage image;
    EXPECT_NE(image.Create(width, height, kBits[kind], 0), nullptr);
    if (kind == kBitmap || kind == kGray)
        image.FillGrayPalette();
    else if (kind != kRgb)
        image.FillStandardPalette();
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const auto px = static_cast<int32_t>(x);
            const auto py = static_cast<int32_t>(y);
            if (kind == kRgb) {
                image.WriteColor(px, py,
                                 MakeRgb(static_cast<uint8_t>(40 + x * 200 / std::max(width, 64u)),
                                         static_cast<uint8_t>(30 + y * 200 / std::max(height, 64u)),
                                         static_cast<uint8_t>(
                                             90 + (x + y) * 100 / std::max(width + height, 128u))));
            } else if (kind == kGray) {
                image.WriteIndex(
                    px, py, static_cast<uint8_t>((x * 7 + y * 3) * 255 / (7 * width + 3 * height)));
            } else {
                const uint32_t colours = kind == kBitmap ? 2 : kind == kSixteen ? 16 : 256;
                image.WriteIndex(px, py, static_cast<uint8_t>((x * 3 + y * 5 + x * y) % colours));
            }
        }
    }
    return image;
}

const ReaderFor* FindReader(uint32_t formatId) {
    const auto found = std::ranges::find(kReaders, formatId, &ReaderFor::formatId);
    return found != std::end(kReaders) ? found : nullptr;
}

// Largest per-sample difference between the picture and what was read.
int WorstDifference(const RasterImage& image, const Decoded& read) {
    int worst = 0;
    for (uint32_t top = 0; top < read.height; ++top) {
        for (uint32_t x = 0; x < read.width; ++x) {
            const RgbQuad want = image.ReadColor(static_cast<int32_t>(x),
                                                 image.Height() - 1 - static_cast<int32_t>(top));
            const RgbQuad got = read.pixels[size_t{top} * read.width + x];
            worst = std::max({worst, std::abs(got.red - want.red), std::abs(got.green - want.green),
                              std::abs(got.blue - want.blue)});
        }
    }
    return worst;
}

struct Shape {
    uint32_t width, height;
};
const Shape kShapes[] = {{1, 1}, {3, 2}, {9, 3}, {17, 5}, {33, 7}};

// One image of one kind through the row's writer and the independent reader.
void CheckRoundTrip(const CodecRow& row, const ReaderFor& reader, Kind kind, Shape shape) {
    SCOPED_TRACE(::testing::Message() << row.name << " " << kKindNames[kind] << " " << shape.width
                                      << "x" << shape.height);
    RasterImage image = MakeImage(kind, shape.width, shape.height);
    const RasterImage original(image); // a writer may change the image it saves
    MemoryStream stream;
    ASSERT_TRUE(stream.Open());
    const bool ok = image.Encode(&stream, row.formatId);
    const uint8_t* data = stream.BufferAddress(false);
    const Bytes written = data ? Bytes(data, data + stream.Size()) : Bytes{};
    if (reader.tolerance[kind] == kRefused) {
        EXPECT_FALSE(ok);
        EXPECT_TRUE(written.empty());
        return;
    }
    ASSERT_TRUE(ok) << image.LastErrorText();
    const Decoded read = reader.read(written);
    ASSERT_EQ(read.error, "");
    ASSERT_EQ(read.width, shape.width);
    ASSERT_EQ(read.height, shape.height);
    ASSERT_EQ(read.pixels.size(), size_t{shape.width} * shape.height);
    EXPECT_LE(WorstDifference(original, read), reader.tolerance[kind]);
}

TEST(WriterRoundTrip, EveryWritableRowReadsBackIndependently) {
    for (const CodecRow& row : CodecRows()) {
        const ReaderFor* reader = FindReader(row.formatId);
        if (row.write == nullptr) {
            EXPECT_EQ(reader, nullptr) << row.name << " has a reader here but no writer";
            continue;
        }
        if (reader == nullptr) {
            ADD_FAILURE() << "the " << row.name << " writer has no independent reader here";
            continue;
        }
        for (int kind = 0; kind < kKinds; ++kind)
            for (const Shape& shape : kShapes)
                CheckRoundTrip(row, *reader, static_cast<Kind>(kind), shape);
    }
}

} // namespace
