// The converting modes hand images over in memory: every output must be what
// converting the raw dumps gives, whatever the number of threads, and the
// writers that take grey and palette images must keep every pixel.
#include "convert/ConversionRun.h"
#include "convert/ExtractedImageConverter.h"
#include "convert/OutputFormats.h"

#include "support/PdfWriter.h"
#include "support/RecordingObserver.h"
#include "support/RunSettings.h"

#include <gif_lib.h>
#include <gtest/gtest.h>
#include <png.h>
#include <tiffio.h>

#include <cstring>
#include <filesystem>

namespace talvore {
namespace {

using namespace talvore::testing;

// An RGB picture of `colours` distinct colours at most.
std::string FewColours(int width, int height, int colours) {
    std::string rgb;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int c = (x / 3 + y) % colours;
            rgb += static_cast<char>(c * 37);
            rgb += static_cast<char>(255 - c * 11);
            rgb += static_cast<char>(c * 5);
        }
    }
    return rgb;
}

// One page per kind of image a PDF holds.
void WriteImageTable(const std::string& path) {
    PdfWriter writer;
    std::vector<int> images;
    const std::string bits = CheckerBits(21, 9, 3);
    images.push_back(writer.AddImage(21, 9, "/DeviceGray", 1, "/FlateDecode", Deflate(bits)));
    images.push_back(writer.AddImage(21, 9, "/DeviceGray", 1, "", bits, "/Decode [1 0]"));
    images.push_back(
        writer.AddImage(21, 9, "[/Indexed /DeviceRGB 1 <FF0000 0000FF>]", 1, "", bits));
    images.push_back(writer.AddImage(
        12, 5, "[/Indexed /DeviceRGB 3 <000000 FF8000 00FF80 8000FF>]", 2, "",
        std::string("\x1b\x6c\xe4\x1b\x6c\xe4\x1b\x6c\xe4\x1b\x6c\xe4\x1b\x6c\xe4", 15)));
    std::string palette16;
    for (int i = 0; i < 16; ++i)
        palette16 +=
            {static_cast<char>(i * 16), static_cast<char>(255 - i * 8), static_cast<char>(i * 3)};
    images.push_back(writer.AddImage(
        9, 4,
        "[/Indexed /DeviceRGB 15 <" +
            [&] {
                std::string hex;
                for (unsigned char c : palette16) {
                    char two[3];
                    std::snprintf(two, sizeof two, "%02X", c);
                    hex += two;
                }
                return hex;
            }() +
            ">]",
        4, "", GradientSamples(5, 4, 1)));
    images.push_back(
        writer.AddImage(30, 20, "[/Indexed /DeviceRGB 255 <" + std::string(768 * 2, 'A') + ">]", 8,
                        "/FlateDecode", Deflate(GradientSamples(30, 20, 1))));
    images.push_back(writer.AddImage(40, 30, "/DeviceGray", 8, "/FlateDecode",
                                     Deflate(GradientSamples(40, 30, 1, 2))));
    images.push_back(writer.AddImage(40, 30, "/DeviceGray", 8, "", GradientSamples(40, 30, 1, 3),
                                     "/Decode [1 0]"));
    images.push_back(writer.AddImage(16, 16, "/DeviceGray", 8, "",
                                     std::string(256, '\x40') + std::string(0, 'x')));
    images.push_back(writer.AddImage(50, 40, "/DeviceRGB", 8, "/FlateDecode",
                                     Deflate(GradientSamples(50, 40, 3, 4))));
    images.push_back(writer.AddImage(33, 17, "/DeviceRGB", 8, "", FewColours(33, 17, 3)));
    images.push_back(writer.AddImage(33, 17, "/DeviceRGB", 8, "", FewColours(33, 17, 14)));
    images.push_back(writer.AddImage(33, 17, "/DeviceRGB", 8, "", FewColours(33, 17, 200)));
    images.push_back(writer.AddImage(20, 10, "/DeviceCMYK", 8, "", GradientSamples(20, 10, 4)));
    images.push_back(writer.AddImage(10, 6, "/DeviceRGB", 16, "", GradientSamples(20, 6, 3)));
    images.push_back(writer.AddImageMask(19, 7, "", CheckerBits(19, 7, 2)));
    images.push_back(writer.AddImage(24, 16, "/DeviceGray", 8, "/DCTDecode",
                                     EncodeJpeg(24, 16, 1, GradientSamples(24, 16, 1))));
    images.push_back(writer.AddImage(24, 16, "/DeviceCMYK", 8, "/DCTDecode",
                                     EncodeJpeg(24, 16, 4, GradientSamples(24, 16, 4))));
    images.push_back(writer.AddImage(24, 16, "/DeviceRGB", 8, "/DCTDecode",
                                     EncodeJpeg(24, 16, 3, GradientSamples(24, 16, 3))));
    for (size_t i = 0; i < images.size(); ++i)
        writer.AddPage(DrawXObject("I"), XObjectResources({{"I", images[i]}}));
    writer.AddPage("q 10 0 0 10 0 0 cm BI /W 3 /H 2 /CS /RGB /BPC 8 ID abcdefghijklmnopqr EI Q\n",
                   "<< >>");
    ASSERT_TRUE(writer.WriteFile(path));
}

std::vector<DocumentReport> RunInto(const std::string& pdf, const std::string& out, int32_t mode,
                                    unsigned threads) {
    std::filesystem::create_directories(out);
    const ConversionSettings settings = SettingsFor(mode, out);
    RunEntry entry;
    entry.Path = pdf;
    RecordingObserver observer;
    ConversionRun run({entry}, settings, observer, nullptr);
    run.SetThreads(threads);
    run.Run();
    return observer.reports;
}

void ExpectSameFolders(const std::string& a, const std::string& b) {
    const std::vector<std::string> files = ListFolder(a);
    ASSERT_EQ(files, ListFolder(b));
    for (const std::string& name : files)
        EXPECT_EQ(ReadWholeFile(a + "/" + name), ReadWholeFile(b + "/" + name)) << name;
}

// RGB samples, top row first, of the picture a PPM or PBM file holds.
std::vector<uint8_t> PnmPixels(const std::string& file, bool* bitmap) {
    unsigned width = 0, height = 0;
    int consumed = 0;
    *bitmap = file.compare(0, 2, "P4") == 0;
    if (*bitmap)
        std::sscanf(file.c_str(), "P4\n%u %u\n%n", &width, &height, &consumed);
    else
        std::sscanf(file.c_str(), "P6\n%u %u\n255\n%n", &width, &height, &consumed);
    std::vector<uint8_t> rgb;
    const uint8_t* data = reinterpret_cast<const uint8_t*>(file.data()) + consumed;
    const size_t rowBytes = (width + 7) / 8;
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            if (*bitmap) {
                const bool black = (data[y * rowBytes + x / 8] >> (7 - x % 8)) & 1;
                rgb.insert(rgb.end(), 3, black ? 0 : 255);
            } else {
                const uint8_t* p = data + (size_t{y} * width + x) * 3;
                rgb.insert(rgb.end(), p, p + 3);
            }
        }
    }
    return rgb;
}

std::vector<uint8_t> PngPixels(const std::string& file) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size()))
        return {};
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr))
        return {};
    return rgb;
}

std::vector<uint8_t> TiffPixels(const std::string& path, uint16_t* compression) {
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (!tif)
        return {};
    uint32_t width = 0, height = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, compression);
    std::vector<uint32_t> rgba(size_t{width} * height);
    std::vector<uint8_t> rgb;
    if (TIFFReadRGBAImageOriented(tif, width, height, rgba.data(), ORIENTATION_TOPLEFT, 0)) {
        for (uint32_t pixel : rgba) {
            rgb.push_back(static_cast<uint8_t>(TIFFGetR(pixel)));
            rgb.push_back(static_cast<uint8_t>(TIFFGetG(pixel)));
            rgb.push_back(static_cast<uint8_t>(TIFFGetB(pixel)));
        }
    }
    TIFFClose(tif);
    return rgb;
}

std::vector<uint8_t> GifPixels(const std::string& path) {
    int error = 0;
    GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
    if (!gif)
        return {};
    std::vector<uint8_t> rgb;
    if (DGifSlurp(gif) == GIF_OK && gif->ImageCount == 1) {
        const SavedImage& frame = gif->SavedImages[0];
        const ColorMapObject* map =
            frame.ImageDesc.ColorMap ? frame.ImageDesc.ColorMap : gif->SColorMap;
        const int count = frame.ImageDesc.Width * frame.ImageDesc.Height;
        for (int i = 0; i < count && map; ++i) {
            const GifColorType& c = map->Colors[frame.RasterBits[i]];
            rgb.insert(rgb.end(), {c.Red, c.Green, c.Blue});
        }
    }
    DGifCloseFile(gif, &error);
    return rgb;
}

class InMemoryConversion : public ::testing::Test {
protected:
    void SetUp() override {
        WriteImageTable(pdf);
        RunInto(pdf, raw, OutputRaw, 1);
    }
    TemporaryFolder folder;
    std::string pdf = folder / "table.pdf";
    std::string raw = folder / "raw";
};

TEST_F(InMemoryConversion, EveryFormatMatchesConvertingTheRawDumps) {
    const std::vector<std::string> dumps = ListFolder(raw);
    ASSERT_EQ(dumps.size(), 20u);
    for (const OutputFormat& format : OutputFormats()) {
        if (format.Mode == OutputRaw)
            continue;
        SCOPED_TRACE(format.CliName);
        const std::string memory = folder / (std::string("memory-") + format.CliName);
        const std::vector<DocumentReport> reports = RunInto(pdf, memory, format.Mode, 2);
        ASSERT_EQ(reports.size(), 1u);

        // The same run through the files: raw dumps, then each converted.
        const std::string files = folder / (std::string("files-") + format.CliName);
        std::filesystem::create_directories(files);
        int failures = 0;
        for (const std::string& name : dumps) {
            std::filesystem::copy_file(raw + "/" + name, files + "/" + name);
            if (name.ends_with(".jpg"))
                continue;
            // What passthrough copies in this mode, mode 0 decoded.
            if (name.ends_with(".ppm") &&
                std::filesystem::exists(memory + "/" + name.substr(0, name.size() - 4) + ".jpg")) {
                std::filesystem::remove(files + "/" + name);
                std::filesystem::copy_file(memory + "/" + name.substr(0, name.size() - 4) + ".jpg",
                                           files + "/" + name.substr(0, name.size() - 4) + ".jpg");
                continue;
            }
            if (!ConvertExtractedImage(files + "/" + name, format.Mode, 70, 1).Converted)
                ++failures;
        }
        EXPECT_EQ(reports[0].ConversionFailures, failures);
        ExpectSameFolders(memory, files);
    }
}

TEST_F(InMemoryConversion, GreyAndPaletteWritersKeepEveryPixel) {
    const std::string png = folder / "png";
    const std::string tif = folder / "tif";
    const std::string gif = folder / "gif";
    RunInto(pdf, png, OutputPng, 2);
    RunInto(pdf, tif, OutputTif, 2);
    RunInto(pdf, gif, OutputGif, 2);
    int exactTiffs = 0, exactGifs = 0;
    for (const std::string& name : ListFolder(raw)) {
        if (name.ends_with(".jpg"))
            continue;
        SCOPED_TRACE(name);
        bool bitmap = false;
        const std::vector<uint8_t> expected = PnmPixels(ReadWholeFile(raw + "/" + name), &bitmap);
        const std::string title = name.substr(0, name.size() - 4);
        if (!std::filesystem::exists(png + "/" + title + ".png"))
            continue; // copied as a JPEG stream in the converting modes
        EXPECT_EQ(PngPixels(ReadWholeFile(png + "/" + title + ".png")), expected);

        uint16_t compression = 0;
        const std::vector<uint8_t> fromTiff = TiffPixels(tif + "/" + title + ".tif", &compression);
        if (compression != COMPRESSION_JPEG) {
            EXPECT_EQ(fromTiff, expected);
            ++exactTiffs;
        }
        // GIF quantises only what has more than 256 colours.
        const std::vector<uint8_t> fromGif = GifPixels(gif + "/" + title + ".gif");
        if (fromGif == expected)
            ++exactGifs;
    }
    // Everything but the RGB gradient and the 3-component JPEG the TIFF
    // writer stores as JPEG.
    EXPECT_GE(exactTiffs, 17);
    EXPECT_GE(exactGifs, 17);
}

TEST_F(InMemoryConversion, ThreadsDoNotChangeTheFiles) {
    for (int32_t mode : {OutputPng, OutputTif, OutputJpg}) {
        const std::string one = folder / ("one-" + std::to_string(mode));
        const std::string four = folder / ("four-" + std::to_string(mode));
        RunInto(pdf, one, mode, 1);
        RunInto(pdf, four, mode, 4);
        ExpectSameFolders(one, four);
    }
}

TEST_F(InMemoryConversion, AFailedConversionKeepsTheImageAndTheRunGoesOn) {
    // 70000 pixels wide: the TGA header field holds 65535.
    PdfWriter writer;
    const int wide = writer.AddImageMask(70000, 1, "", std::string(8750, '\x0f'));
    const int small = writer.AddImage(2, 2, "/DeviceGray", 8, "", "abcd");
    writer.AddPage(DrawXObject("W") + DrawXObject("S"),
                   XObjectResources({{"W", wide}, {"S", small}}));
    ASSERT_TRUE(writer.WriteFile(folder / "wide.pdf"));
    const std::vector<DocumentReport> reports =
        RunInto(folder / "wide.pdf", folder / "tga", OutputTga, 2);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].ConversionFailures, 1);
    ASSERT_EQ(reports[0].Failures.size(), 1u);
    EXPECT_EQ(reports[0].Failures[0].rfind(folder / "tga/wide-000.pbm: ", 0), 0u);
    EXPECT_EQ(ListFolder(folder / "tga"),
              (std::vector<std::string>{"wide-000.pbm", "wide-001.tga"}));
    EXPECT_EQ(ReadWholeFile(folder / "tga/wide-000.pbm"),
              "P4\n70000 1\n" + std::string(8750, '\x0f'));
}

} // namespace
} // namespace talvore
