#include "convert/ExtractedImageConverter.h"

#include "convert/ConversionRun.h"
#include "support/PdfWriter.h"
#include "support/RecordingObserver.h"

#include <gtest/gtest.h>
#include <jpeglib.h>

#include <csetjmp>
#include <filesystem>

namespace talvore {
namespace {

using namespace talvore::testing;

const std::string kPpm = "P6\n3 2\n255\n" + GradientSamples(3, 2, 3);
const std::string kPbm = std::string("P4\n10 2\n\x12\x34\x56\x78", 12);

// Components and quality-independent facts of a JPEG file, read by libjpeg.
int JpegComponents(const std::string& data) {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jerr.error_exit = [](j_common_ptr) { throw std::runtime_error("not a JPEG"); };
    jpeg_create_decompress(&cinfo);
    int components = -1;
    try {
        jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(data.data()), data.size());
        jpeg_read_header(&cinfo, TRUE);
        components = cinfo.num_components;
    } catch (const std::exception&) {
    }
    jpeg_destroy_decompress(&cinfo);
    return components;
}

struct Magic {
    int mode;
    const char* extension;
    std::string prefix;
};

const Magic kMagics[] = {
    {1, "jpg", "\xff\xd8\xff"}, {2, "bmp", "BM"}, {3, "gif", "GIF8"}, {4, "png", "\x89PNG"},
    {5, "tif", "II*"},          {6, "tga", ""},   {7, "pcx", "\x0a"},
};

TEST(ExtractedImageConverter, EveryModeWritesItsFormatAndRemovesTheIntermediate) {
    for (const Magic& magic : kMagics) {
        for (const auto& [kind, data] : {std::pair{"ppm", kPpm}, std::pair{"pbm", kPbm}}) {
            SCOPED_TRACE(std::string(magic.extension) + " from " + kind);
            TemporaryFolder folder;
            const std::string input = folder / (std::string("-000.") + kind);
            ASSERT_TRUE(WriteWholeFile(input, data));
            const ConversionOutcome outcome = ConvertExtractedImage(input, magic.mode, 70, 1);
            EXPECT_TRUE(outcome.Converted) << outcome.Error;
            const std::string output = folder / (std::string("-000.") + magic.extension);
            EXPECT_EQ(outcome.OutputPath, output);
            EXPECT_EQ(ListFolder(folder.Path()),
                      std::vector<std::string>{std::string("-000.") + magic.extension});
            const std::string written = ReadWholeFile(output);
            EXPECT_GT(written.size(), 16u);
            EXPECT_EQ(written.substr(0, magic.prefix.size()), magic.prefix);
        }
    }
}

TEST(ExtractedImageConverter, JpegColourAndGrey) {
    struct Case {
        std::string data;
        int grayScale;
        int components;
    } cases[] = {
        {kPpm, 1, 3}, // colour
        {kPpm, 0, 1}, // grey
        {kPbm, 0, 1},
        {kPbm, 1, 1}, // 1 bit cannot be a colour JPEG: saved as grey
    };
    for (const Case& c : cases) {
        TemporaryFolder folder;
        ASSERT_TRUE(WriteWholeFile(folder / "x.ppm", c.data));
        ASSERT_TRUE(ConvertExtractedImage(folder / "x.ppm", OutputJpg, 70, c.grayScale).Converted);
        EXPECT_EQ(JpegComponents(ReadWholeFile(folder / "x.jpg")), c.components);
    }
}

TEST(ExtractedImageConverter, NamesKeepTheTitleAndLowerTheExtension) {
    TemporaryFolder folder;
    ASSERT_TRUE(WriteWholeFile(folder / "-004.PBM", kPbm));
    ASSERT_TRUE(WriteWholeFile(folder / "a.b.ppm", kPpm));
    EXPECT_TRUE(ConvertExtractedImage(folder / "-004.PBM", OutputJpg, 70, 1).Converted);
    EXPECT_TRUE(ConvertExtractedImage(folder / "a.b.ppm", OutputPng, 70, 1).Converted);
    EXPECT_EQ(ListFolder(folder.Path()), (std::vector<std::string>{"-004.jpg", "a.b.png"}));
}

TEST(ExtractedImageConverter, FailureLeavesNoOutputAndKeepsTheIntermediate) {
    TemporaryFolder folder;
    ASSERT_TRUE(WriteWholeFile(folder / "-000.ppm", "P6\n3 2\n255\nshort"));
    ASSERT_TRUE(WriteWholeFile(folder / "-001.ppm", "not an image"));
    for (const char* name : {"-000.ppm", "-001.ppm"}) {
        const ConversionOutcome outcome = ConvertExtractedImage(folder / name, OutputPng, 70, 1);
        EXPECT_FALSE(outcome.Converted) << name;
        EXPECT_FALSE(outcome.Error.empty());
    }
    EXPECT_EQ(ListFolder(folder.Path()), (std::vector<std::string>{"-000.ppm", "-001.ppm"}));
    // Modes without a conversion leave the file alone.
    for (int mode : {0, 8, -1})
        EXPECT_FALSE(ConvertExtractedImage(folder / "-001.ppm", mode, 70, 1).Converted);
    EXPECT_EQ(ListFolder(folder.Path()).size(), 2u);
}

TEST(ExtractedImageConverter, PngRunKeepsJpegStreamsAndOldFiles) {
    TemporaryFolder folder;
    PdfWriter writer;
    const std::string jpeg = EncodeJpeg(16, 16, 3, GradientSamples(16, 16, 3));
    const int dct = writer.AddImage(16, 16, "/DeviceRGB", 8, "/DCTDecode", jpeg);
    const int rgb =
        writer.AddImage(4, 4, "/DeviceRGB", 8, "/FlateDecode", Deflate(GradientSamples(4, 4, 3)));
    writer.AddPage(DrawXObject("J") + DrawXObject("R"), XObjectResources({{"J", dct}, {"R", rgb}}));
    ASSERT_TRUE(writer.WriteFile(folder / "doc.pdf"));
    // Intermediate-looking files that were there before the run stay.
    std::filesystem::create_directory(folder / "doc");
    ASSERT_TRUE(WriteWholeFile(folder / "doc/old.ppm", kPpm));
    ASSERT_TRUE(WriteWholeFile(folder / "doc/older.PGM", "P5\n1 1\n255\nx"));

    ConversionSettings settings;
    settings.ImagesFormat = OutputPng;
    RecordingObserver observer;
    observer.stop = std::make_shared<StopEvent>();
    RunEntry entry;
    entry.Path = folder / "doc.pdf";
    const RunSummary summary = ConversionRun({entry}, settings, observer, observer.stop).Run();
    EXPECT_EQ(summary.ConversionFailures, 0);
    EXPECT_EQ(ListFolder(folder / "doc"),
              (std::vector<std::string>{"-000.jpg", "-001.png", "old.ppm", "older.PGM"}));
    EXPECT_EQ(ReadWholeFile(folder / "doc/-000.jpg"), jpeg);
    const auto captions = observer.Captions();
    EXPECT_NE(std::find(captions.begin(), captions.end(), "total: Images Coverting"),
              captions.end());
}

} // namespace
} // namespace talvore
