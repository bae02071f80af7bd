#include "convert/ConversionRun.h"

#include "support/PdfWriter.h"
#include "support/RecordingObserver.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace talvore {
namespace {

using namespace talvore::testing;

// Truncated and bit-flipped copies of a PDF holding every kind of image go
// through a raw run: no crash, no hang, nothing beyond the size limit, and
// every file the device reports is complete.
TEST(HostilePdf, MutatedDocumentsAreHandled) {
    TemporaryFolder folder;
    PdfWriter writer;
    const std::string jpeg = EncodeJpeg(24, 16, 3, GradientSamples(24, 16, 3));
    const int dct = writer.AddImage(24, 16, "/DeviceRGB", 8, "/DCTDecode", jpeg);
    const int flate = writer.AddImage(20, 10, "/DeviceRGB", 8, "/FlateDecode",
                                      Deflate(GradientSamples(20, 10, 3)));
    const int bits =
        writer.AddImage(30, 8, "/DeviceGray", 1, "/FlateDecode", Deflate(CheckerBits(30, 8)));
    const int mask = writer.AddImageMask(16, 16, "", CheckerBits(16, 16));
    const int cmyk = writer.AddImage(8, 8, "/DeviceCMYK", 8, "/DCTDecode",
                                     EncodeJpeg(8, 8, 4, GradientSamples(8, 8, 4)));
    const int form = writer.AddForm(DrawXObject("F"), XObjectResources({{"F", flate}}));
    writer.AddPage(DrawXObject("D") + DrawXObject("B") + "BI /W 4 /H 2 /CS /RGB /BPC 8 ID " +
                       GradientSamples(4, 2, 3) + "\nEI\n" + DrawXObject("Fm"),
                   XObjectResources({{"D", dct}, {"B", bits}, {"Fm", form}}));
    writer.AddPage(DrawXObject("M") + DrawXObject("C"),
                   XObjectResources({{"M", mask}, {"C", cmyk}}));
    const std::string original = writer.Build();

    std::vector<std::string> variants;
    for (size_t cut = 16; cut < original.size(); cut += original.size() / 40)
        variants.push_back(original.substr(0, cut));
    uint32_t state = 12345;
    for (int i = 0; i < 120; ++i) {
        std::string copy = original;
        for (int flips = 0; flips < 1 + i % 4; ++flips) {
            state = state * 1664525u + 1013904223u;
            copy[(state >> 8) % copy.size()] ^= static_cast<char>(1 << (state % 8));
        }
        variants.push_back(copy);
    }

    const CoreDiagnosticScope quiet([](const std::string&) {});
    ConversionSettings settings;
    settings.ImagesFormat = OutputRaw;
    settings.OpenResult = 1;
    int extracted = 0;
    for (size_t i = 0; i < variants.size(); ++i) {
        SCOPED_TRACE(i);
        RunEntry entry;
        std::string file = "m";
        file += std::to_string(i);
        file += ".pdf";
        entry.Path = folder / file;
        ASSERT_TRUE(WriteWholeFile(entry.Path, variants[i]));
        RecordingObserver observer;
        observer.stop = std::make_shared<StopEvent>();
        // Each alone: a document with no pages ends its run at the range check.
        const RunSummary summary = ConversionRun({entry}, settings, observer, observer.stop).Run();
        ASSERT_EQ(observer.reports.size(), 1u);
        EXPECT_EQ(summary.Documents + summary.Refused + (summary.RangeError ? 1 : 0), 1);
        extracted += summary.Documents;
        const DocumentReport& report = observer.reports[0];
        if (report.Status != DocumentStatus::Extracted)
            continue;
        for (const std::string& name : ListFolder(report.OutputFolder)) {
            EXPECT_LE(std::filesystem::file_size(report.OutputFolder + name), 1u << 20) << name;
        }
    }
    EXPECT_GT(extracted, 0);
}

} // namespace
} // namespace talvore
