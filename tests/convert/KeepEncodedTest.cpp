// With the stored streams kept, JPEG, JPEG 2000 and fax data are copied as
// they are stored; everything else, and anything a Decode array inverts,
// comes out as before.
#include "convert/ExtractionJob.h"

#include "support/PdfWriter.h"
#include "support/RecordingObserver.h"
#include "support/RunSettings.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <filesystem>

namespace talvore {
namespace {

using namespace talvore::testing;

std::vector<std::string> RunKept(const std::string& pdf, const std::string& out, int mode,
                                 bool keep) {
    std::filesystem::create_directories(out);
    ConversionSettings settings = SettingsFor(mode, out);
    settings.KeepEncoded = keep;
    ExtractionJob job(settings);
    job.AddFile(pdf);
    RecordingObserver observer;
    job.Run(observer, std::make_shared<StopEvent>());
    EXPECT_EQ(job.ExitStatus(), EXIT_EXTRACTED) << (observer.reports.empty() ? "" : [&] {
        std::string all;
        for (const std::string& f : observer.reports[0].Failures)
            all += f + "\n";
        return all;
    }());
    return ListFolder(out);
}

// Fax data of a 1-bit picture, coded by libtiff: group 4, or group 3 (1-D
// or 2-D) with end-of-line codes.
std::string EncodeFax(int width, int height, const std::string& bits, int compression, bool twoD,
                      const std::string& scratch) {
    TIFF* tiff = TIFFOpen(scratch.c_str(), "w");
    if (!tiff)
        return {};
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, compression);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, height);
    if (compression == COMPRESSION_CCITTFAX3)
        TIFFSetField(tiff, TIFFTAG_GROUP3OPTIONS, twoD ? GROUP3OPT_2DENCODING : 0);
    const size_t stride = (static_cast<size_t>(width) + 7) / 8;
    for (int y = 0; y < height; ++y) {
        std::string row = bits.substr(static_cast<size_t>(y) * stride, stride);
        TIFFWriteScanline(tiff, row.data(), static_cast<uint32_t>(y), 0);
    }
    TIFFClose(tiff);
    tiff = TIFFOpen(scratch.c_str(), "r");
    std::string data(static_cast<size_t>(TIFFRawStripSize(tiff, 0)), '\0');
    TIFFReadRawStrip(tiff, 0, data.data(), static_cast<tmsize_t>(data.size()));
    TIFFClose(tiff);
    return data;
}

// The rows of a 1-bit TIFF as libtiff decodes them, 1 meaning black.
std::string FaxTiffBits(const std::string& path) {
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    if (!tiff)
        return "unreadable";
    uint32_t width = 0, height = 0;
    uint16_t photometric = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
    std::string bits;
    std::string row(static_cast<size_t>(TIFFScanlineSize(tiff)), '\0');
    for (uint32_t y = 0; y < height; ++y) {
        if (TIFFReadScanline(tiff, row.data(), y, 0) < 0)
            return "undecodable";
        for (char& c : row)
            bits += static_cast<char>(photometric == PHOTOMETRIC_MINISWHITE ? c : ~c);
    }
    TIFFClose(tiff);
    return bits;
}

std::string PbmBits(const std::string& file) {
    // "P4\n<w> <h>\n" then the rows.
    size_t at = file.find('\n', file.find('\n') + 1);
    return file.substr(at + 1);
}

// The rows without the bits that pad each to a whole byte.
std::string SignificantBits(std::string rows, int width) {
    const size_t stride = (static_cast<size_t>(width) + 7) / 8;
    const auto last = static_cast<char>(0xFF << ((8 - width % 8) % 8));
    for (size_t end = stride; end <= rows.size(); end += stride)
        rows[end - 1] = static_cast<char>(rows[end - 1] & last);
    return rows;
}

TEST(KeepEncoded, JpegStreamsOfEveryKindAreCopiedByteForByte) {
    TemporaryFolder folder;
    PdfWriter writer;
    const std::string grey = EncodeJpeg(8, 8, 1, GradientSamples(8, 8, 1));
    const std::string cmyk = EncodeJpeg(8, 8, 4, GradientSamples(8, 8, 4));
    const std::string rgb = EncodeJpeg(8, 8, 3, GradientSamples(8, 8, 3));
    const std::string jp2 = std::string("\0\0\0\x0cjP  \r\n\x87\n", 12) + "rest of the file";
    const std::string j2k = "\xff\x4f\xff\x51 a bare codestream";
    const int g = writer.AddImage(8, 8, "/DeviceGray", 8, "/DCTDecode", grey);
    const int c =
        writer.AddImage(8, 8, "/DeviceCMYK", 8, "/DCTDecode", cmyk, "/Decode [0 1 0 1 0 1 0 1]");
    const int r = writer.AddImage(8, 8, "/DeviceRGB", 8, "/DCTDecode", rgb);
    const int inverted =
        writer.AddImage(8, 8, "/DeviceGray", 8, "/DCTDecode", grey, "/Decode [1 0]");
    const int p = writer.AddImage(8, 8, "/DeviceRGB", 8, "/JPXDecode", jp2);
    const int q = writer.AddImage(8, 8, "/DeviceRGB", 8, "/JPXDecode", j2k);
    writer.AddPage(
        DrawXObject("G") + DrawXObject("C") + DrawXObject("R") + DrawXObject("I") +
            DrawXObject("P") + DrawXObject("Q"),
        XObjectResources({{"G", g}, {"C", c}, {"R", r}, {"I", inverted}, {"P", p}, {"Q", q}}));
    ASSERT_TRUE(writer.WriteFile(folder / "photos.pdf"));
    for (int mode : {OutputRaw, OutputPng}) {
        SCOPED_TRACE(mode);
        const std::string out = folder / ("out" + std::to_string(mode));
        const std::vector<std::string> files = RunKept(folder / "photos.pdf", out, mode, true);
        const std::string decoded = mode == OutputRaw ? "photos-003.ppm" : "photos-003.png";
        EXPECT_EQ(files,
                  (std::vector<std::string>{"photos-000.jpg", "photos-001.jpg", "photos-002.jpg",
                                            decoded, "photos-004.jp2", "photos-005.j2k"}));
        EXPECT_EQ(ReadWholeFile(out + "/photos-000.jpg"), grey);
        EXPECT_EQ(ReadWholeFile(out + "/photos-001.jpg"), cmyk);
        EXPECT_EQ(ReadWholeFile(out + "/photos-002.jpg"), rgb);
        EXPECT_EQ(ReadWholeFile(out + "/photos-004.jp2"), jp2);
        EXPECT_EQ(ReadWholeFile(out + "/photos-005.j2k"), j2k);
    }
}

TEST(KeepEncoded, FaxDataBecomesATiffOfTheSameBits) {
    TemporaryFolder folder;
    const int width = 37, height = 23;
    const std::string bits = CheckerBits(width, height, 3);
    struct Case {
        const char* Name;
        int Compression;
        bool TwoD;
        int K;
        bool BlackIs1;
        const char* Decode;
        const char* Extension; // of the kept run's file
    };
    const Case cases[] = {
        {"group 4", COMPRESSION_CCITTFAX4, false, -1, false, "", ".tif"},
        {"group 3 1-D", COMPRESSION_CCITTFAX3, false, 0, false, "", ".tif"},
        {"group 3 2-D", COMPRESSION_CCITTFAX3, true, 1, false, "", ".tif"},
        {"black is 1", COMPRESSION_CCITTFAX4, false, -1, true, "", ".tif"},
        {"an inverting Decode is decoded", COMPRESSION_CCITTFAX4, false, -1, false, "/Decode [1 0]",
         ".pbm"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string fax =
            EncodeFax(width, height, bits, c.Compression, c.TwoD, folder / "scratch.tif");
        ASSERT_FALSE(fax.empty());
        PdfWriter writer;
        std::string parms = "/DecodeParms << /K " + std::to_string(c.K) + " /Columns " +
                            std::to_string(width) + " /Rows " + std::to_string(height);
        if (c.Compression == COMPRESSION_CCITTFAX3)
            parms += " /EndOfLine true";
        if (c.BlackIs1)
            parms += " /BlackIs1 true";
        parms += " >> ";
        parms += c.Decode;
        const int image =
            writer.AddImage(width, height, "/DeviceGray", 1, "/CCITTFaxDecode", fax, parms);
        writer.AddPage(DrawXObject("F"), XObjectResources({{"F", image}}));
        ASSERT_TRUE(writer.WriteFile(folder / "fax.pdf"));
        std::filesystem::remove_all(folder / "plain");
        std::filesystem::remove_all(folder / "kept");
        RunKept(folder / "fax.pdf", folder / "plain", OutputRaw, false);
        const std::vector<std::string> kept =
            RunKept(folder / "fax.pdf", folder / "kept", OutputPng, true);
        ASSERT_EQ(kept.size(), 1u);
        if (std::string(c.Extension) == ".pbm") {
            EXPECT_EQ(kept[0], "fax-000.png");
            continue;
        }
        EXPECT_EQ(kept[0], "fax-000.tif");
        EXPECT_EQ(SignificantBits(FaxTiffBits(folder / "kept/fax-000.tif"), width),
                  SignificantBits(PbmBits(ReadWholeFile(folder / "plain/fax-000.pbm")), width));
    }
}

} // namespace
} // namespace talvore
