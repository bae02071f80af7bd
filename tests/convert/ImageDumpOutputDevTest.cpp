#include "convert/ImageDumpOutputDev.h"

#include "convert/ConversionRun.h"
#include "support/PdfWriter.h"

#include <PDFDoc.h>
#include <goo/GooString.h>

#include <gtest/gtest.h>

#include <memory>
#include <mutex>

namespace talvore {
namespace {

using namespace talvore::testing;

// Runs every page of the PDF through a device and keeps its counters.
struct Dump {
    int counter = 0;
    int failed = 0;
    std::vector<DumpedFile> written;
    std::vector<std::string> errors;
};

Dump DumpPdf(const std::string& pdfPath, const std::string& root, bool passthrough,
             uint64_t limit = IMAGE_FILE_MAX_BYTES) {
    std::vector<std::string> lines;
    const CoreDiagnosticScope diagnostics([&](const std::string& line) { lines.push_back(line); });
    PDFDoc document(std::make_unique<GooString>(pdfPath), GooString(""), GooString(""));
    EXPECT_TRUE(document.isOk());
    ImageDumpOutputDev device(root, passthrough, limit);
    for (int page = 1; page <= document.getNumPages(); ++page) {
        document.displayPage(&device, page, 72, 72, 0, true, false, false);
    }
    Dump dump{device.ImageCounter(), device.FailedImages(), device.WrittenFiles(), {}};
    for (const std::string& line : lines) {
        if (line.find("image file") != std::string::npos ||
            line.find("Image file") != std::string::npos) {
            dump.errors.push_back(line.substr(line.find(": ") + 2)); // after "I/O Error"
        }
    }
    return dump;
}

std::string PpmOf(int width, int height, const std::string& rgb) {
    return "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n" + rgb;
}

std::string Invert(std::string bytes) {
    for (char& c : bytes)
        c = static_cast<char>(~static_cast<unsigned char>(c));
    return bytes;
}

class ImageDumpTest : public ::testing::Test {
protected:
    TemporaryFolder folder;
    std::string pdf = folder / "in.pdf";
    std::string root = folder.Path() + "/";
};

TEST_F(ImageDumpTest, KindsAndNamesFollowContentOrder) {
    PdfWriter writer;
    const std::string rgb = GradientSamples(16, 8, 3);
    const std::string jpeg = EncodeJpeg(16, 8, 3, rgb);
    const int im0 = writer.AddImage(16, 8, "/DeviceRGB", 8, "/DCTDecode", jpeg);
    const int im1 = writer.AddImageMask(9, 3, "", CheckerBits(9, 3));
    const int im2 =
        writer.AddImage(4, 2, "/DeviceRGB", 8, "/FlateDecode", Deflate(GradientSamples(4, 2, 3)));
    writer.AddPage(DrawXObject("A") + "0 0 1 rg " + DrawXObject("B") + DrawXObject("C"),
                   XObjectResources({{"A", im0}, {"B", im1}, {"C", im2}}));
    ASSERT_TRUE(writer.WriteFile(pdf));

    const Dump dump = DumpPdf(pdf, root, true);
    ASSERT_EQ(dump.written.size(), 3u);
    EXPECT_EQ(dump.written[0].Path, root + "-000.jpg");
    EXPECT_EQ(dump.written[1].Path, root + "-001.pbm");
    EXPECT_EQ(dump.written[2].Path, root + "-002.ppm");
    EXPECT_EQ(ListFolder(folder.Path()),
              (std::vector<std::string>{"-000.jpg", "-001.pbm", "-002.ppm", "in.pdf"}));
    EXPECT_EQ(ReadWholeFile(root + "-002.ppm"), PpmOf(4, 2, GradientSamples(4, 2, 3)));
}

TEST_F(ImageDumpTest, JpegPassthroughIsByteIdentical) {
    const std::string jpeg = EncodeJpeg(24, 16, 3, GradientSamples(24, 16, 3, 1));
    struct Case {
        const char* name;
        std::string filter;
        std::string data;
    } cases[] = {
        {"DCT alone", "/DCTDecode", jpeg},
        {"Flate then DCT", "[/FlateDecode /DCTDecode]", Deflate(jpeg)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryFolder out;
        PdfWriter writer;
        const int image = writer.AddImage(24, 16, "/DeviceRGB", 8, c.filter, c.data);
        writer.AddPage(DrawXObject("I"), XObjectResources({{"I", image}}));
        ASSERT_TRUE(writer.WriteFile(pdf));
        const Dump dump = DumpPdf(pdf, out.Path() + "/x", true);
        ASSERT_EQ(dump.written.size(), 1u);
        EXPECT_EQ(dump.written[0].Path, out.Path() + "/x-000.jpg");
        EXPECT_EQ(ReadWholeFile(dump.written[0].Path), jpeg);

        // Raw mode decodes the same image instead.
        TemporaryFolder raw;
        const Dump decoded = DumpPdf(pdf, raw.Path() + "/", false);
        ASSERT_EQ(decoded.written.size(), 1u);
        EXPECT_EQ(decoded.written[0].Kind, DumpKind::Ppm);
        EXPECT_EQ(ReadWholeFile(decoded.written[0].Path).size(),
                  std::string("P6\n24 16\n255\n").size() + 24 * 16 * 3);
    }
}

TEST_F(ImageDumpTest, DctImagesThatAreNotCopied) {
    // An inline RGB JPEG and a CMYK JPEG are decoded to PPM with passthrough
    // on; a DCT stencil mask is copied.
    const std::string rgbJpeg = EncodeJpeg(8, 8, 3, GradientSamples(8, 8, 3));
    const std::string cmykJpeg = EncodeJpeg(8, 4, 4, GradientSamples(8, 4, 4));
    const std::string greyJpeg = EncodeJpeg(8, 8, 1, GradientSamples(8, 8, 1));
    PdfWriter writer;
    const int cmyk = writer.AddImage(8, 4, "/DeviceCMYK", 8, "/DCTDecode", cmykJpeg);
    const int mask = writer.AddImageMask(8, 8, "/DCTDecode", greyJpeg);
    const std::string inlineImage =
        "q 10 0 0 10 0 0 cm BI /W 8 /H 8 /CS /RGB /BPC 8 /F /DCT ID " + rgbJpeg + "\nEI Q\n";
    writer.AddPage(inlineImage + DrawXObject("C") + DrawXObject("M"),
                   XObjectResources({{"C", cmyk}, {"M", mask}}));
    ASSERT_TRUE(writer.WriteFile(pdf));

    const Dump dump = DumpPdf(pdf, root, true);
    ASSERT_EQ(dump.written.size(), 3u);
    EXPECT_EQ(dump.written[0].Path, root + "-000.ppm");
    EXPECT_EQ(ReadWholeFile(dump.written[0].Path).size(),
              std::string("P6\n8 8\n255\n").size() + 8 * 8 * 3);
    EXPECT_EQ(dump.written[1].Path, root + "-001.ppm");
    EXPECT_EQ(ReadWholeFile(dump.written[1].Path).rfind("P6\n8 4\n255\n", 0), 0u);
    EXPECT_EQ(dump.written[2].Path, root + "-002.jpg");
    EXPECT_EQ(ReadWholeFile(dump.written[2].Path), greyJpeg);
}

TEST_F(ImageDumpTest, OneBitImagesAreInvertedAndMasksKeptAsStored) {
    // 10 x 2 one-bit grey image: two bytes per row, each inverted; a 9 pixel
    // wide mask: two bytes per row as stored; both inline and as XObjects.
    const std::string bits = "\x12\x34\x56\x78";
    const std::string maskBits("\x81\x80\x7e\x00\xc3\x80", 6);
    PdfWriter writer;
    const int image = writer.AddImage(10, 2, "/DeviceGray", 1, "", bits);
    const int mask = writer.AddImageMask(9, 3, "", maskBits);
    const std::string inlineMask = "BI /W 9 /H 3 /IM true ID " + maskBits + "\nEI\n";
    const std::string inlineImage = "BI /W 10 /H 2 /CS /G /BPC 1 ID " + bits + "\nEI\n";
    writer.AddPage(DrawXObject("I") + DrawXObject("M") + inlineMask + inlineImage,
                   XObjectResources({{"I", image}, {"M", mask}}));
    ASSERT_TRUE(writer.WriteFile(pdf));

    const Dump dump = DumpPdf(pdf, root, true);
    ASSERT_EQ(dump.written.size(), 4u);
    EXPECT_EQ(ReadWholeFile(root + "-000.pbm"), "P4\n10 2\n" + Invert(bits));
    EXPECT_EQ(ReadWholeFile(root + "-001.pbm"), "P4\n9 3\n" + maskBits);
    EXPECT_EQ(ReadWholeFile(root + "-002.pbm"), "P4\n9 3\n" + maskBits);
    EXPECT_EQ(ReadWholeFile(root + "-003.pbm"), "P4\n10 2\n" + Invert(bits));
}

TEST_F(ImageDumpTest, ShortDataIsPaddedAsEndOfStream) {
    PdfWriter writer;
    const int image = writer.AddImage(16, 2, "/DeviceGray", 1, "", std::string("\x0f", 1));
    const int mask = writer.AddImageMask(16, 2, "", std::string("\x0f", 1));
    writer.AddPage(DrawXObject("I") + DrawXObject("M"),
                   XObjectResources({{"I", image}, {"M", mask}}));
    ASSERT_TRUE(writer.WriteFile(pdf));

    DumpPdf(pdf, root, true);
    EXPECT_EQ(ReadWholeFile(root + "-000.pbm"), std::string("P4\n16 2\n\xf0\x00\x00\x00", 12));
    EXPECT_EQ(ReadWholeFile(root + "-001.pbm"), std::string("P4\n16 2\n\x0f\xff\xff\xff", 12));
}

TEST_F(ImageDumpTest, ColourConversionOfOtherSpaces) {
    // Grey, 2-bit indexed and 16-bit grey go through the core's RGB
    // conversion; DeviceGray v becomes (v, v, v).
    std::string grey;
    for (int v = 0; v < 256; ++v)
        grey += static_cast<char>(v);
    PdfWriter writer;
    const int greyImage = writer.AddImage(256, 1, "/DeviceGray", 8, "/FlateDecode", Deflate(grey));
    const int indexed = writer.AddImage(4, 1, "[/Indexed /DeviceRGB 3 <FF000000FF000000FF808080>]",
                                        2, "", std::string("\x1b", 1)); // indices 0 1 2 3
    const int decodeInverted =
        writer.AddImage(2, 1, "/DeviceGray", 8, "", std::string("\x00\xff", 2), "/Decode [1 0]");
    writer.AddPage(DrawXObject("G") + DrawXObject("X") + DrawXObject("D"),
                   XObjectResources({{"G", greyImage}, {"X", indexed}, {"D", decodeInverted}}));
    ASSERT_TRUE(writer.WriteFile(pdf));

    DumpPdf(pdf, root, false);
    std::string expectedGrey;
    for (int v = 0; v < 256; ++v)
        expectedGrey += std::string(3, static_cast<char>(v));
    EXPECT_EQ(ReadWholeFile(root + "-000.ppm"), PpmOf(256, 1, expectedGrey));
    EXPECT_EQ(ReadWholeFile(root + "-001.ppm"),
              PpmOf(4, 1, std::string("\xff\x00\x00\x00\xff\x00\x00\x00\xff\x80\x80\x80", 12)));
    EXPECT_EQ(ReadWholeFile(root + "-002.ppm"),
              PpmOf(2, 1, std::string("\xff\xff\xff\x00\x00\x00", 6)));
}

TEST_F(ImageDumpTest, FormImagesAreDumpedPatternImagesAreNot) {
    PdfWriter writer;
    const int formImage = writer.AddImage(2, 2, "/DeviceRGB", 8, "", GradientSamples(2, 2, 3));
    const int patternImage = writer.AddImage(3, 3, "/DeviceRGB", 8, "", GradientSamples(3, 3, 3));
    const int form = writer.AddForm(DrawXObject("F"), XObjectResources({{"F", formImage}}));
    const int pattern =
        writer.AddTilingPattern(DrawXObject("P", 20, 20), XObjectResources({{"P", patternImage}}));
    writer.AddPage("/Pattern cs /T scn 0 0 200 200 re f\n" + DrawXObject("Form"),
                   XObjectResources({{"Form", form}},
                                    "/Pattern << /T " + std::to_string(pattern) + " 0 R >> "));
    ASSERT_TRUE(writer.WriteFile(pdf));

    const Dump dump = DumpPdf(pdf, root, true);
    ASSERT_EQ(dump.written.size(), 1u);
    EXPECT_EQ(ReadWholeFile(dump.written[0].Path), PpmOf(2, 2, GradientSamples(2, 2, 3)));
}

TEST_F(ImageDumpTest, UnwritableRootUsesUpNumbers) {
    PdfWriter writer;
    const int a = writer.AddImage(2, 2, "/DeviceRGB", 8, "", GradientSamples(2, 2, 3));
    const int b = writer.AddImageMask(8, 1, "", "\xaa");
    writer.AddPage(DrawXObject("A") + DrawXObject("B") + DrawXObject("A"),
                   XObjectResources({{"A", a}, {"B", b}}));
    ASSERT_TRUE(writer.WriteFile(pdf));

    const std::string missing = folder.Path() + "/no/such/folder/";
    const Dump dump = DumpPdf(pdf, missing, true);
    EXPECT_EQ(dump.counter, 3);
    EXPECT_EQ(dump.failed, 3);
    EXPECT_TRUE(dump.written.empty());
    EXPECT_EQ(dump.errors,
              (std::vector<std::string>{"Couldn't open image file '" + missing + "-000.ppm'",
                                        "Couldn't open image file '" + missing + "-001.pbm'",
                                        "Couldn't open image file '" + missing + "-002.ppm'"}));
}

TEST_F(ImageDumpTest, SizeLimitSkipsImageAndUsesUpItsNumber) {
    // Header "P6\n4 4\n255\n" is 11 bytes, data 48: a file of 59 bytes. The
    // device reserves 32 bytes for any header, so the limit is checked on
    // 80 bytes of file for this image.
    PdfWriter writer;
    const int big = writer.AddImage(4, 4, "/DeviceRGB", 8, "", GradientSamples(4, 4, 3));
    const int small = writer.AddImage(1, 1, "/DeviceRGB", 8, "", "abc");
    // A crafted 1-bit image: huge dimensions over three bytes of data.
    const int bomb =
        writer.AddImage(200000, 200000, "/DeviceGray", 1, "/FlateDecode", Deflate("abc"));
    writer.AddPage(DrawXObject("B") + DrawXObject("S") + DrawXObject("X"),
                   XObjectResources({{"B", big}, {"S", small}, {"X", bomb}}));
    ASSERT_TRUE(writer.WriteFile(pdf));

    {
        const Dump dump = DumpPdf(pdf, root, true, 48 + 32 - 1);
        EXPECT_EQ(dump.counter, 3);
        ASSERT_EQ(dump.written.size(), 1u);
        EXPECT_EQ(dump.written[0].Path, root + "-001.ppm");
        EXPECT_EQ(dump.errors.size(), 2u);
        EXPECT_EQ(ListFolder(folder.Path()), (std::vector<std::string>{"-001.ppm", "in.pdf"}));
    }
    {
        const Dump dump = DumpPdf(pdf, root, true, 48 + 32);
        ASSERT_EQ(dump.written.size(), 2u);
        EXPECT_EQ(dump.written[0].Path, root + "-000.ppm");
    }
}

} // namespace
} // namespace talvore

namespace talvore {
namespace {

TEST_F(ImageDumpTest, FlateShortcutMatchesTheCoreOnGoodAndBrokenData) {
    // The same images once with a plain Flate filter (taken through zlib)
    // and once with an empty predictor entry (taken through the core's
    // stream): the files must agree byte for byte, broken data included.
    struct Image {
        const char* name;
        int width, height;
        const char* colorSpace; // null: stencil mask
        int bits;
    } images[] = {
        {"rgb", 37, 11, "/DeviceRGB", 8},
        {"grey", 50, 7, "/DeviceGray", 8},
        {"bilevel", 29, 9, "/DeviceGray", 1},
        {"mask", 23, 5, nullptr, 1},
        {"indexed 4-bit", 13, 6,
         "[/Indexed /DeviceRGB 15 <00FF00FF00007777777711223344556677889900AABBCCDDEEFF"
         "0102030405060708090A0B0C0D0E0F101112131415161718191A1B1C>]",
         4},
    };
    for (const Image& image : images) {
        const int comps = image.colorSpace && std::string(image.colorSpace) == "/DeviceRGB" ? 3 : 1;
        const size_t bytes =
            static_cast<size_t>((image.width * comps * image.bits + 7) / 8) * image.height;
        const std::string samples = GradientSamples(static_cast<int>(bytes), 1, 1, 3);
        const std::string good = Deflate(samples);
        std::string corrupt = good;
        corrupt[corrupt.size() / 2] ^= 0x5a;
        std::string badChecksum = good;
        badChecksum.back() ^= 1;
        std::string badHeader = good;
        badHeader[0] = 0x79;
        const std::pair<const char*, std::string> variants[] = {
            {"good", good},
            {"truncated", good.substr(0, good.size() / 2)},
            {"corrupt", corrupt},
            {"bad checksum", badChecksum},
            {"bad header", badHeader},
            {"short", Deflate(samples.substr(0, bytes / 3))},
            {"long", Deflate(samples + samples)},
            {"empty", ""},
        };
        for (const auto& [variant, data] : variants) {
            SCOPED_TRACE(std::string(image.name) + ", " + variant);
            std::string files[2];
            for (int withParms = 0; withParms < 2; ++withParms) {
                PdfWriter writer;
                const std::string extra = withParms ? "/DecodeParms << /Predictor 1 >>" : "";
                const int object =
                    image.colorSpace ? writer.AddImage(image.width, image.height, image.colorSpace,
                                                       image.bits, "/FlateDecode", data, extra)
                                     : writer.AddImageMask(image.width, image.height,
                                                           "/FlateDecode", data, extra);
                writer.AddPage(DrawXObject("I"), XObjectResources({{"I", object}}));
                ASSERT_TRUE(writer.WriteFile(pdf));
                TemporaryFolder out;
                const Dump dump = DumpPdf(pdf, out.Path() + "/", false);
                ASSERT_EQ(dump.written.size(), 1u);
                files[withParms] = ReadWholeFile(dump.written[0].Path);
            }
            EXPECT_EQ(files[0], files[1]);
            EXPECT_GT(files[0].size(), bytes);
        }
    }
}

} // namespace
} // namespace talvore

namespace talvore {
namespace {

TEST_F(ImageDumpTest, MaskedImagesGiveTheImageOnly) {
    // A soft mask, an explicit stencil mask and a colour-key mask: the core
    // hands over the image; the mask itself is not a file of its own.
    PdfWriter writer;
    const int softMask = writer.AddImage(4, 4, "/DeviceGray", 8, "", std::string(16, '\x80'));
    const int stencil = writer.AddImageMask(4, 4, "", std::string(4, '\xa0'));
    const std::string rgb = GradientSamples(4, 4, 3);
    const int a = writer.AddImage(4, 4, "/DeviceRGB", 8, "", rgb,
                                  "/SMask " + std::to_string(softMask) + " 0 R");
    const int b = writer.AddImage(4, 4, "/DeviceRGB", 8, "", rgb,
                                  "/Mask " + std::to_string(stencil) + " 0 R");
    const int c = writer.AddImage(4, 4, "/DeviceRGB", 8, "", rgb, "/Mask [0 10 0 10 0 10]");
    writer.AddPage(DrawXObject("A") + DrawXObject("B") + DrawXObject("C"),
                   XObjectResources({{"A", a}, {"B", b}, {"C", c}}));
    ASSERT_TRUE(writer.WriteFile(pdf));
    const Dump dump = DumpPdf(pdf, root, true);
    ASSERT_EQ(dump.written.size(), 3u);
    for (const DumpedFile& file : dump.written)
        EXPECT_EQ(ReadWholeFile(file.Path), PpmOf(4, 4, rgb)) << file.Path;
}

} // namespace
} // namespace talvore

namespace talvore {
namespace {

TEST_F(ImageDumpTest, ImagesInsideType3GlyphsAreNotDumped) {
    PdfWriter writer;
    const int image = writer.AddImage(2, 2, "/DeviceRGB", 8, "", GradientSamples(2, 2, 3));
    const int glyph = writer.AddStream(
        "", "10 0 d0 q 10 0 0 10 0 0 cm /G Do Q BI /W 1 /H 1 /CS /G /BPC 8 ID x\nEI\n");
    const int font = writer.Add(
        "<< /Type /Font /Subtype /Type3 /FontBBox [0 0 10 10] /FontMatrix [0.1 0 0 0.1 0 0] "
        "/CharProcs << /a " +
        std::to_string(glyph) +
        " 0 R >> /Encoding << /Differences [97 /a] >> "
        "/FirstChar 97 /LastChar 97 /Widths [10] /Resources " +
        XObjectResources({{"G", image}}) + " >>");
    writer.AddPage("BT /T3 12 Tf 10 10 Td (aaa) Tj ET\n",
                   "<< /Font << /T3 " + std::to_string(font) + " 0 R >> >>");
    ASSERT_TRUE(writer.WriteFile(pdf));
    const Dump dump = DumpPdf(pdf, root, true);
    EXPECT_EQ(dump.counter, 0);
}

} // namespace
} // namespace talvore
