// A listing names what a run would write, in its order, and writes nothing.
#include "convert/ExtractionJob.h"

#include "support/PdfWriter.h"
#include "support/RecordingObserver.h"
#include "support/RunSettings.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace talvore {
namespace {

using namespace talvore::testing;

struct Result {
    std::vector<DocumentReport> Reports;
    std::vector<std::pair<std::string, int>> Written;
    int ExitStatus = -1;
};

Result RunJob(const std::string& pdf, const std::string& out, int mode, bool list, bool unique,
              const std::string& user = "") {
    const ConversionSettings settings = SettingsFor(mode, out);
    ExtractionJob job(settings);
    job.AddFile(pdf, "", user);
    job.SetListOnly(list);
    job.SetUnique(unique);
    job.SetThreads(1);
    RecordingObserver observer;
    job.Run(observer, std::make_shared<StopEvent>());
    return {observer.reports, observer.writtenFiles, job.ExitStatus()};
}

// Page 1: one image drawn twice and an inline image; page 2: a form
// drawing the image again and a stencil mask; page 3: an annotation's
// appearance; page 4: an image with a soft mask, one with a stencil /Mask,
// and a DCT photo.
std::string MixedPdf() {
    PdfWriter writer;
    const int grey = writer.AddImage(3, 2, "/DeviceGray", 8, "/FlateDecode", Deflate("abcdef"));
    const int stencil = writer.AddImageMask(8, 2, "", "\xf0\x0f");
    const int form = writer.AddForm(DrawXObject("G"), XObjectResources({{"G", grey}}));
    const int indexed = writer.AddImage(2, 2, "[/Indexed /DeviceRGB 1 <FF00000000FF>]", 8, "",
                                        std::string("\x00\x01\x01\x00", 4));
    const int appearance = writer.AddForm(DrawXObject("X"), XObjectResources({{"X", indexed}}));
    const int alpha = writer.AddImage(4, 4, "/DeviceGray", 8, "", std::string(16, '\x80'));
    const int soft = writer.AddImage(2, 2, "/DeviceRGB", 8, "", std::string(12, 'z'),
                                     "/SMask " + std::to_string(alpha) + " 0 R");
    const int mask = writer.AddImageMask(2, 2, "", std::string("\x80\x40", 2));
    const int masked = writer.AddImage(2, 2, "/DeviceRGB", 8, "", std::string(12, 'y'),
                                       "/Mask " + std::to_string(mask) + " 0 R");
    const int photo = writer.AddImage(16, 16, "/DeviceRGB", 8, "/DCTDecode",
                                      EncodeJpeg(16, 16, 3, GradientSamples(16, 16, 3)));
    writer.AddPage(DrawXObject("G") + DrawXObject("G") +
                       "q 10 0 0 10 0 0 cm BI /W 2 /H 1 /CS /G /BPC 8 ID ab\nEI Q\n",
                   XObjectResources({{"G", grey}}));
    writer.AddPage(DrawXObject("F") + DrawXObject("S"),
                   XObjectResources({{"F", form}, {"S", stencil}}));
    writer.AddPage("BT ET\n", "<< >>",
                   "/Annots [<< /Type /Annot /Subtype /Stamp /Rect [0 0 50 50] /AP << /N " +
                       std::to_string(appearance) + " 0 R >> >>]");
    writer.AddPage(DrawXObject("A") + DrawXObject("M") + DrawXObject("P"),
                   XObjectResources({{"A", soft}, {"M", masked}, {"P", photo}}));
    return writer.Build();
}

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    if (std::filesystem::exists(folder))
        names = ListFolder(folder);
    return names;
}

TEST(Listing, NamesWhatARunWritesInItsOrderAndWritesNothing) {
    TemporaryFolder folder;
    const std::string pdf = folder / "mixed.pdf";
    ASSERT_TRUE(WriteWholeFile(pdf, MixedPdf()));
    for (int mode : {OutputRaw, OutputPng, OutputJpg}) {
        SCOPED_TRACE(mode);
        const std::string listed = folder / ("listed-" + std::to_string(mode));
        const std::string written = folder / ("written-" + std::to_string(mode));
        std::filesystem::create_directories(listed);
        std::filesystem::create_directories(written);
        const Result list = RunJob(pdf, listed, mode, true, false);
        const Result run = RunJob(pdf, written, mode, false, false);
        EXPECT_TRUE(Names(listed).empty()); // nothing written, not even a folder
        ASSERT_EQ(list.Reports.size(), 1u);
        std::vector<std::string> names;
        std::vector<std::pair<std::string, int>> files;
        for (const ListedImage& row : list.Reports[0].Listing) {
            if (row.Path.empty())
                continue;
            const std::string name = std::filesystem::path(row.Path).filename();
            names.push_back(name);
            files.emplace_back(written + "/" + name, row.Page);
        }
        EXPECT_EQ(names, Names(written));
        EXPECT_EQ(files, run.Written); // and the pages they came from
        EXPECT_EQ(list.ExitStatus, run.ExitStatus);
    }
}

TEST(Listing, RowsDescribeEachImageItsMaskAndItsRepeats) {
    TemporaryFolder folder;
    const std::string pdf = folder / "mixed.pdf";
    ASSERT_TRUE(WriteWholeFile(pdf, MixedPdf()));
    const Result list = RunJob(pdf, folder.Path(), OutputPng, true, false);
    ASSERT_EQ(list.Reports.size(), 1u);
    const std::vector<ListedImage>& rows = list.Reports[0].Listing;
    struct Expected {
        int Page, Number, MaskOf;
        ListedKind Kind;
        bool Inline;
        const char* ColourSpace;
        int Width, Height, Components, Bits;
        const char* Filters;
        ListedOutcome Outcome;
        const char* Name; // of the file, empty for none
        int RepeatOf;
    };
    using K = ListedKind;
    using O = ListedOutcome;
    const Expected expected[] = {
        {1, 0, -1, K::Image, false, "DeviceGray", 3, 2, 1, 8, "FlateDecode", O::Ppm,
         "mixed-000.png", -1},
        {1, 1, -1, K::Image, false, "DeviceGray", 3, 2, 1, 8, "FlateDecode", O::Ppm,
         "mixed-001.png", 0},
        {1, 2, -1, K::Image, true, "DeviceGray", 2, 1, 1, 8, "", O::Ppm, "mixed-002.png", -1},
        {2, 3, -1, K::Image, false, "DeviceGray", 3, 2, 1, 8, "FlateDecode", O::Ppm,
         "mixed-003.png", 0},
        {2, 4, -1, K::StencilMask, false, "", 8, 2, 1, 1, "", O::Pbm, "mixed-004.png", -1},
        {3, 5, -1, K::Image, false, "Indexed DeviceRGB 1", 2, 2, 1, 8, "", O::Ppm, "mixed-005.png",
         -1},
        {4, 6, -1, K::Image, false, "DeviceRGB", 2, 2, 3, 8, "", O::Ppm, "mixed-006.png", -1},
        {4, -1, 6, K::SoftMask, false, "DeviceGray", 4, 4, 1, 8, "", O::NotWritten, "", -1},
        {4, 7, -1, K::Image, false, "DeviceRGB", 2, 2, 3, 8, "", O::Ppm, "mixed-007.png", -1},
        {4, -1, 7, K::ExplicitMask, false, "", 2, 2, 1, 1, "", O::NotWritten, "", -1},
        {4, 8, -1, K::Image, false, "DeviceRGB", 16, 16, 3, 8, "DCTDecode", O::Jpeg,
         "mixed-008.jpg", -1},
    };
    ASSERT_EQ(rows.size(), std::size(expected));
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        const ListedImage& r = rows[i];
        const Expected& e = expected[i];
        EXPECT_EQ(r.Page, e.Page);
        EXPECT_EQ(r.Number, e.Number);
        EXPECT_EQ(r.MaskOf, e.MaskOf);
        EXPECT_EQ(r.Kind, e.Kind);
        EXPECT_EQ(r.Inline, e.Inline);
        EXPECT_EQ(r.Inline, r.Object == 0);
        EXPECT_EQ(r.ColourSpace, e.ColourSpace);
        EXPECT_EQ(r.Width, e.Width);
        EXPECT_EQ(r.Height, e.Height);
        EXPECT_EQ(r.Components, e.Components);
        EXPECT_EQ(r.Bits, e.Bits);
        EXPECT_EQ(r.Filters, e.Filters);
        EXPECT_EQ(r.Outcome, e.Outcome);
        EXPECT_EQ(r.Path.empty() ? "" : std::filesystem::path(r.Path).filename().string(), e.Name);
        EXPECT_EQ(r.RepeatOf, e.RepeatOf);
        if (!r.Inline) {
            EXPECT_GT(r.StoredBytes, 0);
        }
    }
    EXPECT_EQ(list.Reports[0].PdfVersion, "1.4");
    EXPECT_FALSE(list.Reports[0].Encrypted);
}

TEST(Listing, AnEncryptedDocumentIsListedWithItsPassword) {
    TemporaryFolder folder;
    ASSERT_TRUE(WriteWholeFile(folder / "plain.pdf", MixedPdf()));
    if (!EncryptWithQpdf(folder / "plain.pdf", folder / "locked.pdf", "user", "owner", 256, {}))
        GTEST_SKIP() << "qpdf is not installed";
    const Result without = RunJob(folder / "locked.pdf", folder.Path(), OutputRaw, true, false);
    EXPECT_EQ(without.ExitStatus, EXIT_FAILED);
    ASSERT_EQ(without.Reports.size(), 1u);
    EXPECT_TRUE(without.Reports[0].Listing.empty());
    EXPECT_FALSE(without.Reports[0].Message.empty());
    const Result with =
        RunJob(folder / "locked.pdf", folder.Path(), OutputRaw, true, false, "user");
    ASSERT_EQ(with.Reports.size(), 1u);
    EXPECT_TRUE(with.Reports[0].Encrypted);
    EXPECT_EQ(with.Reports[0].Listing.size(), 11u);
}

TEST(Listing, AUniqueRunWritesEachObjectOnceAndKeepsTheNumbers) {
    TemporaryFolder folder;
    PdfWriter writer;
    const int image = writer.AddImage(2, 2, "/DeviceGray", 8, "", "abcd");
    for (int page = 0; page < 5; ++page)
        writer.AddPage(DrawXObject("I"), XObjectResources({{"I", image}}));
    const int other = writer.AddImage(1, 1, "/DeviceGray", 8, "", "z");
    writer.AddPage(DrawXObject("I") + DrawXObject("O"),
                   XObjectResources({{"I", image}, {"O", other}}));
    ASSERT_TRUE(writer.WriteFile(folder / "same.pdf"));
    std::filesystem::create_directories(folder / "out");
    const Result run = RunJob(folder / "same.pdf", folder / "out", OutputPng, false, true);
    EXPECT_EQ(run.ExitStatus, EXIT_EXTRACTED);
    // The other image keeps the number a full run gives it.
    EXPECT_EQ(Names(folder / "out"), (std::vector<std::string>{"same-000.png", "same-006.png"}));
    const Result list = RunJob(folder / "same.pdf", folder / "out", OutputPng, true, true);
    ASSERT_EQ(list.Reports.size(), 1u);
    int repeats = 0;
    for (const ListedImage& row : list.Reports[0].Listing)
        repeats += row.Outcome == ListedOutcome::Repeat && row.RepeatOf == 0;
    EXPECT_EQ(repeats, 5);
}

} // namespace
} // namespace talvore
