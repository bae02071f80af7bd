// Kept transparency: the alpha written equals the decoded mask, resampled
// to the image's size, in every format; read back by decoders we did not
// write.
#include "convert/ExtractionJob.h"

#include "support/PdfWriter.h"
#include "support/RecordingObserver.h"
#include "support/RunSettings.h"

#include <gtest/gtest.h>
#include <png.h>
#include <tiffio.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#define STBI_ONLY_GIF
#include <stb/stb_image.h>

#include <filesystem>
#include <set>

namespace talvore {
namespace {

using namespace talvore::testing;
using Bytes = std::vector<uint8_t>;

Bytes ToBytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// Nearest neighbour, as the alpha is resampled.
Bytes Resample(const Bytes& mask, int maskWidth, int maskHeight, int width, int height) {
    Bytes out;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            out.push_back(mask[static_cast<size_t>(y * maskHeight / height * maskWidth +
                                                   x * maskWidth / width)]);
    return out;
}

struct MaskedImage {
    int Width;
    int Height;
    int Channels; // what the image is: 1 grey, 3 colour
    Bytes Pixels; // decoded, top row first
    Bytes Alpha;  // expected, at the image's size
};

// Page 1, in this order:
//  -000 RGB 4×3 with a grey soft mask of 2×3;
//  -001 grey 3×2 with a soft mask of 6×4 whose Decode inverts it;
//  -002 RGB 2×2 with a stencil /Mask (1 hides);
//  -003 the same with the stencil's Decode inverted (0 hides);
//  -004 Indexed 2×2 with a colour key hiding index 1;
//  -005 a DCT photo with a soft mask (copied as JPEG; the alpha beside it);
//  -006 a 1-bit grey image with the soft mask of -000.
constexpr int kImages = 7;
constexpr int kPhoto = 5; // the JPEG copy

struct Fixture {
    std::string Pdf;
    std::vector<MaskedImage> Images;
};

Fixture MaskedPdf() {
    Fixture fixture;
    PdfWriter writer;
    std::string content;
    std::map<std::string, int> names;
    const auto draw = [&](const std::string& name, int object) {
        names[name] = object;
        content += DrawXObject(name);
    };

    const std::string rgb = GradientSamples(4, 3, 3, 1);
    const Bytes soft = {0, 255, 64, 128, 200, 10};
    const int softMask = writer.AddImage(2, 3, "/DeviceGray", 8, "/FlateDecode",
                                         Deflate(std::string(soft.begin(), soft.end())));
    draw("A", writer.AddImage(4, 3, "/DeviceRGB", 8, "", rgb,
                              "/SMask " + std::to_string(softMask) + " 0 R"));
    fixture.Images.push_back({4, 3, 3, ToBytes(rgb), Resample(soft, 2, 3, 4, 3)});

    const std::string grey = GradientSamples(3, 2, 1, 2);
    Bytes big;
    for (int i = 0; i < 24; ++i)
        big.push_back(static_cast<uint8_t>(i * 10));
    const int bigMask = writer.AddImage(6, 4, "/DeviceGray", 8, "",
                                        std::string(big.begin(), big.end()), "/Decode [1 0]");
    draw("B", writer.AddImage(3, 2, "/DeviceGray", 8, "/FlateDecode", Deflate(grey),
                              "/SMask " + std::to_string(bigMask) + " 0 R"));
    Bytes inverted = Resample(big, 6, 4, 3, 2);
    for (uint8_t& a : inverted)
        a = static_cast<uint8_t>(255 - a);
    fixture.Images.push_back({3, 2, 1, ToBytes(grey), inverted});

    const std::string stencilBits("\x80\x40", 2); // rows: 1 0 / 0 1
    for (const bool decodeInverted : {false, true}) {
        const int stencil =
            writer.AddImageMask(2, 2, "", stencilBits, decodeInverted ? "/Decode [1 0]" : "");
        const std::string pixels = GradientSamples(2, 2, 3, decodeInverted ? 4 : 3);
        draw(decodeInverted ? "D" : "C",
             writer.AddImage(2, 2, "/DeviceRGB", 8, "", pixels,
                             "/Mask " + std::to_string(stencil) + " 0 R"));
        fixture.Images.push_back({2, 2, 3, ToBytes(pixels),
                                  decodeInverted ? Bytes{255, 0, 0, 255} : Bytes{0, 255, 255, 0}});
    }

    draw("E", writer.AddImage(2, 2, "[/Indexed /DeviceRGB 1 <FF000000FF00>]", 8, "",
                              std::string("\x00\x01\x01\x00", 4), "/Mask [1 1]"));
    fixture.Images.push_back(
        {2, 2, 3, Bytes{255, 0, 0, 0, 255, 0, 0, 255, 0, 255, 0, 0}, Bytes{255, 0, 0, 255}});

    const Bytes photoMask = {0, 50, 100, 150};
    const int photoAlpha = writer.AddImage(2, 2, "/DeviceGray", 8, "",
                                           std::string(photoMask.begin(), photoMask.end()));
    draw("F", writer.AddImage(16, 16, "/DeviceRGB", 8, "/DCTDecode",
                              EncodeJpeg(16, 16, 3, GradientSamples(16, 16, 3)),
                              "/SMask " + std::to_string(photoAlpha) + " 0 R"));
    fixture.Images.push_back({16, 16, 3, {}, Resample(photoMask, 2, 2, 16, 16)});

    const std::string bits("\xF0\x0F", 2); // 1 is white
    draw("G", writer.AddImage(8, 2, "/DeviceGray", 1, "", bits,
                              "/SMask " + std::to_string(softMask) + " 0 R"));
    fixture.Images.push_back({8, 2, 1,
                              Bytes{255, 255, 255, 255, 0, 0, 0, 0, 0, 0, 0, 0, 255, 255, 255, 255},
                              Resample(soft, 2, 3, 8, 2)});

    writer.AddPage(content, XObjectResources(names));
    fixture.Pdf = writer.Build();
    return fixture;
}

std::string RunWithAlpha(const std::string& pdf, const std::string& out, int mode, bool alpha) {
    std::filesystem::create_directories(out);
    ConversionSettings settings = SettingsFor(mode, out);
    settings.KeepAlpha = alpha;
    ExtractionJob job(settings);
    job.AddFile(pdf);
    RecordingObserver observer;
    job.Run(observer, std::make_shared<StopEvent>());
    std::string failures;
    for (const DocumentReport& report : observer.reports)
        for (const std::string& f : report.Failures)
            failures += f + "\n";
    EXPECT_EQ(job.ExitStatus(), EXIT_EXTRACTED) << failures;
    return failures;
}

// Interleaved samples of a PNG in the given simplified format.
Bytes PngSamples(const std::string& path, uint32_t format) {
    const std::string file = ReadWholeFile(path);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size()))
        return {};
    image.format = format;
    Bytes samples(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, samples.data(), 0, nullptr))
        return {};
    return samples;
}

int PngColourType(const std::string& path) {
    const std::string file = ReadWholeFile(path);
    return file.size() > 25 ? static_cast<uint8_t>(file[25]) : -1;
}

Bytes Interleaved(const MaskedImage& image) {
    Bytes out;
    const size_t count = image.Alpha.size();
    for (size_t i = 0; i < count; ++i) {
        out.insert(out.end(), image.Pixels.begin() + static_cast<long>(i * image.Channels),
                   image.Pixels.begin() + static_cast<long>((i + 1) * image.Channels));
        out.push_back(image.Alpha[i]);
    }
    return out;
}

Bytes AsRgba(const MaskedImage& image) {
    Bytes out;
    for (size_t i = 0; i < image.Alpha.size(); ++i) {
        const uint8_t* p = image.Pixels.data() + i * image.Channels;
        if (image.Channels == 1)
            out.insert(out.end(), {p[0], p[0], p[0]});
        else
            out.insert(out.end(), p, p + 3);
        out.push_back(image.Alpha[i]);
    }
    return out;
}

// Raw samples of a TIFF, with its samples per pixel and extra samples.
Bytes TiffSamples(const std::string& path, uint16_t* channels, uint16_t* extra) {
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (!tif)
        return {};
    uint32_t width = 0, height = 0;
    uint16_t count = 0;
    uint16_t* kinds = nullptr;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, channels);
    *extra = TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &count, &kinds) && count == 1 ? kinds[0] : 0;
    Bytes samples(size_t{width} * height * *channels);
    for (uint32_t y = 0; y < height; ++y)
        if (TIFFReadScanline(tif, samples.data() + size_t{y} * width * *channels, y, 0) < 0)
            samples.clear();
    TIFFClose(tif);
    return samples;
}

// stb's reading, forced to this many channels.
Bytes StbSamples(const std::string& path, int channels) {
    const std::string file = ReadWholeFile(path);
    int width = 0, height = 0, stored = 0;
    stbi_uc* pixels =
        stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(file.data()),
                              static_cast<int>(file.size()), &width, &height, &stored, channels);
    if (!pixels)
        return {};
    Bytes out(pixels, pixels + static_cast<size_t>(width) * height * channels);
    stbi_image_free(pixels);
    return out;
}

std::string Name(int number, const char* suffix) {
    char name[32];
    std::snprintf(name, sizeof name, "-%03d%s", number, suffix);
    return name;
}

class KeptAlpha : public ::testing::Test {
protected:
    void SetUp() override {
        m_fixture = MaskedPdf();
        m_pdf = m_folder / "masked.pdf";
        ASSERT_TRUE(WriteWholeFile(m_pdf, m_fixture.Pdf));
    }
    std::string Out(const char* name) const { return m_folder / name; }

    TemporaryFolder m_folder;
    Fixture m_fixture;
    std::string m_pdf;
};

TEST_F(KeptAlpha, PngHoldsTheDecodedMaskResampledToTheImage) {
    const std::string out = Out("png");
    RunWithAlpha(m_pdf, out, OutputPng, true);
    for (int n = 0; n < kImages; ++n) {
        if (n == kPhoto)
            continue;
        SCOPED_TRACE(n);
        const MaskedImage& image = m_fixture.Images[static_cast<size_t>(n)];
        const std::string path = out + "/masked" + Name(n, ".png");
        if (image.Channels == 1) {
            EXPECT_EQ(PngColourType(path), PNG_COLOR_TYPE_GRAY_ALPHA);
            EXPECT_EQ(PngSamples(path, PNG_FORMAT_GA), Interleaved(image));
        } else {
            EXPECT_EQ(PngColourType(path), PNG_COLOR_TYPE_RGB_ALPHA);
            EXPECT_EQ(PngSamples(path, PNG_FORMAT_RGBA), Interleaved(image));
        }
    }
    // The photo stays the JPEG it was; its alpha is a grey PNG beside it
    // (of four levels: an exact palette).
    EXPECT_TRUE(std::filesystem::exists(out + "/masked-005.jpg"));
    EXPECT_EQ(PngColourType(out + "/masked-005-alpha.png"), PNG_COLOR_TYPE_PALETTE);
    EXPECT_EQ(PngSamples(out + "/masked-005-alpha.png", PNG_FORMAT_GRAY),
              m_fixture.Images[5].Alpha);
    EXPECT_EQ(ListFolder(out).size(), 8u);
}

TEST_F(KeptAlpha, TiffAndTgaHoldTheAlphaToo) {
    const std::string tif = Out("tif");
    RunWithAlpha(m_pdf, tif, OutputTif, true);
    const std::string tga = Out("tga");
    RunWithAlpha(m_pdf, tga, OutputTga, true);
    for (int n = 0; n < kImages; ++n) {
        if (n == kPhoto)
            continue;
        SCOPED_TRACE(n);
        const MaskedImage& image = m_fixture.Images[static_cast<size_t>(n)];
        uint16_t channels = 0, extra = 0;
        EXPECT_EQ(TiffSamples(tif + "/masked" + Name(n, ".tif"), &channels, &extra),
                  Interleaved(image));
        EXPECT_EQ(channels, image.Channels + 1);
        EXPECT_EQ(extra, EXTRASAMPLE_UNASSALPHA);
        EXPECT_EQ(StbSamples(tga + "/masked" + Name(n, ".tga"), 4), AsRgba(image));
    }
}

// Formats without alpha: the image as without --alpha, and the mask beside
// it as a grey image of the same format.
TEST_F(KeptAlpha, OtherFormatsGetTheMaskBesideTheImage) {
    const struct {
        int Mode;
        const char* Extension;
        bool Exact; // read back exactly (JPEG is lossy)
    } cases[] = {
        {OutputBmp, ".bmp", true},
        {OutputGif, ".gif", true},
        {OutputJpg, ".jpg", false},
        {OutputPcx, ".pcx", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Extension);
        const std::string plain = Out((std::string("plain") + c.Extension).c_str());
        const std::string kept = Out((std::string("kept") + c.Extension).c_str());
        RunWithAlpha(m_pdf, plain, c.Mode, false);
        RunWithAlpha(m_pdf, kept, c.Mode, true);
        for (int n = 0; n < kImages; ++n) {
            SCOPED_TRACE(n);
            const std::string image = Name(n, n == kPhoto ? ".jpg" : c.Extension);
            EXPECT_EQ(ReadWholeFile(kept + "/masked" + image),
                      ReadWholeFile(plain + "/masked" + image));
            const std::string alpha = kept + "/masked" + Name(n, "-alpha") + c.Extension;
            ASSERT_TRUE(std::filesystem::exists(alpha));
            if (c.Exact) {
                EXPECT_EQ(StbSamples(alpha, 1), m_fixture.Images[static_cast<size_t>(n)].Alpha);
            }
        }
        EXPECT_EQ(ListFolder(plain).size(), size_t{kImages});
        EXPECT_EQ(ListFolder(kept).size(), size_t{2 * kImages});
    }
}

TEST_F(KeptAlpha, RawModeWritesTheMaskAsPgm) {
    const std::string plain = Out("plain");
    const std::string kept = Out("kept");
    RunWithAlpha(m_pdf, plain, OutputRaw, false);
    RunWithAlpha(m_pdf, kept, OutputRaw, true);
    for (int n = 0; n < kImages; ++n) {
        SCOPED_TRACE(n);
        const MaskedImage& image = m_fixture.Images[static_cast<size_t>(n)];
        const std::string dump = Name(n, n == kPhoto ? ".jpg" : n == 6 ? ".pbm" : ".ppm");
        EXPECT_EQ(ReadWholeFile(kept + "/masked" + dump), ReadWholeFile(plain + "/masked" + dump));
        const std::string header =
            "P5\n" + std::to_string(image.Width) + " " + std::to_string(image.Height) + "\n255\n";
        EXPECT_EQ(ReadWholeFile(kept + "/masked" + Name(n, "-alpha.pgm")),
                  header + std::string(image.Alpha.begin(), image.Alpha.end()));
    }
}

// A mask that cannot be written beside its image is kept as its
// intermediate file and reported: the run does not end as a success.
TEST_F(KeptAlpha, AFailedMaskIsKeptAndReported) {
    const std::string out = Out("blocked");
    std::filesystem::create_directories(out + "/masked-001-alpha.bmp"); // a folder in the way
    ConversionSettings settings = SettingsFor(OutputBmp, out);
    settings.KeepAlpha = true;
    ExtractionJob job(settings);
    job.AddFile(m_pdf);
    RecordingObserver observer;
    job.Run(observer, std::make_shared<StopEvent>());
    EXPECT_EQ(job.ExitStatus(), EXIT_FAILED);
    ASSERT_EQ(observer.reports.size(), 1u);
    const DocumentReport& report = observer.reports[0];
    EXPECT_EQ(report.ConversionFailures, 1);
    ASSERT_EQ(report.Failures.size(), 1u);
    EXPECT_NE(report.Failures[0].find("masked-001-alpha.bmp"), std::string::npos)
        << report.Failures[0];
    const Bytes& alpha = m_fixture.Images[1].Alpha;
    EXPECT_EQ(ReadWholeFile(out + "/masked-001-alpha.pgm"),
              "P5\n3 2\n255\n" + std::string(alpha.begin(), alpha.end()));
    EXPECT_TRUE(std::filesystem::exists(out + "/masked-001.bmp"));
}

// The listing names where each alpha goes: the image itself, or the file
// beside it; together its rows name exactly the files of the run.
TEST_F(KeptAlpha, ListingNamesWhereTheAlphaGoes) {
    for (const int mode : {OutputPng, OutputBmp, OutputRaw}) {
        SCOPED_TRACE(mode);
        const std::string out = Out(("list" + std::to_string(mode)).c_str());
        ConversionSettings settings = SettingsFor(mode, out);
        settings.KeepAlpha = true;
        ExtractionJob job(settings);
        job.AddFile(m_pdf);
        job.SetListOnly(true);
        RecordingObserver observer;
        job.Run(observer, std::make_shared<StopEvent>());
        ASSERT_EQ(observer.reports.size(), 1u);
        std::set<std::string> listed;
        int alphaRows = 0;
        for (const ListedImage& row : observer.reports[0].Listing) {
            ASSERT_FALSE(row.Path.empty()) << ListedKindName(row.Kind) << " of " << row.MaskOf;
            listed.insert(std::filesystem::path(row.Path).filename().string());
            alphaRows += row.Outcome == ListedOutcome::Alpha;
            if (row.Kind == ListedKind::ColourKey) {
                EXPECT_EQ(row.MaskOf, 4);
                EXPECT_EQ(row.Width, 2);
            }
        }
        EXPECT_EQ(alphaRows, kImages);
        RunWithAlpha(m_pdf, out, mode, true);
        const std::vector<std::string> files = ListFolder(out);
        EXPECT_EQ(listed, std::set<std::string>(files.begin(), files.end()));
    }
}

// An image drawn with a mask once and then on its own (an inline image with
// a colour key) has alpha only where it has a mask.
TEST(KeptAlphaEdges, OnlyMaskedImagesGetAlpha) {
    TemporaryFolder folder;
    PdfWriter writer;
    const int plain = writer.AddImage(2, 1, "/DeviceRGB", 8, "", "abcdef");
    writer.AddPage(DrawXObject("P") +
                       "q 10 0 0 10 0 0 cm BI /W 2 /H 1 /CS /G /BPC 8 /Mask [0 10] ID ab\nEI Q\n",
                   XObjectResources({{"P", plain}}));
    const std::string pdf = folder / "plain.pdf";
    ASSERT_TRUE(writer.WriteFile(pdf));
    const std::string out = folder / "out";
    RunWithAlpha(pdf, out, OutputPng, true);
    EXPECT_EQ(ListFolder(out), (std::vector<std::string>{"plain-000.png", "plain-001.png"}));
    for (const char* name : {"/plain-000.png", "/plain-001.png"}) {
        const int type = PngColourType(out + name);
        EXPECT_NE(type, PNG_COLOR_TYPE_RGB_ALPHA) << name;
        EXPECT_NE(type, PNG_COLOR_TYPE_GRAY_ALPHA) << name;
    }
}

// Masks declared far larger than their data, or than any row buffer, cost
// nothing much: the image is written, with what of the alpha there is.
TEST(KeptAlphaEdges, CraftedMasksCostLittle) {
    const struct {
        const char* Name;
        const char* Mask; // the soft mask's dictionary entries, data "\x10\x20"
        bool Alpha;       // the image gets alpha
    } cases[] = {
        {"wide", "/Width 2000000000 /Height 1", false},
        {"tall", "/Width 1 /Height 2000000000", true},
        {"no data", "/Width 4000 /Height 4000", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TemporaryFolder folder;
        PdfWriter writer;
        const int mask =
            writer.AddStream(std::string("/Type /XObject /Subtype /Image /ColorSpace /DeviceGray "
                                         "/BitsPerComponent 8 ") +
                                 c.Mask,
                             "\x10\x20");
        const int image = writer.AddImage(2, 2, "/DeviceRGB", 8, "", std::string(12, 'q'),
                                          "/SMask " + std::to_string(mask) + " 0 R");
        writer.AddPage(DrawXObject("I"), XObjectResources({{"I", image}}));
        const std::string pdf = folder / "crafted.pdf";
        ASSERT_TRUE(writer.WriteFile(pdf));
        const std::string out = folder / "out";
        RunWithAlpha(pdf, out, OutputPng, true);
        EXPECT_EQ(PngColourType(out + "/crafted-000.png"),
                  c.Alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_PALETTE);
    }
}

} // namespace
} // namespace talvore
