#include "convert/ConversionRun.h"

#include "support/PdfCases.h"
#include "support/PdfWriter.h"
#include "support/RecordingObserver.h"

#include <gtest/gtest.h>

#include <GlobalParams.h>

#include <climits>
#include <filesystem>
#include <thread>

namespace talvore {
namespace {

using namespace talvore::testing;

// A PDF of `pages` pages, each with one Flate RGB image; page p's image is
// p + 1 pixels wide so files can be told apart.
void WriteImagePdf(const std::string& path, int pages) {
    PdfWriter writer;
    for (int p = 0; p < pages; ++p) {
        const int image = writer.AddImage(p + 1, 2, "/DeviceRGB", 8, "/FlateDecode",
                                          Deflate(GradientSamples(p + 1, 2, 3, p)));
        writer.AddPage(DrawXObject("I"), XObjectResources({{"I", image}}));
    }
    ASSERT_TRUE(writer.WriteFile(path));
}

// One DCT RGB image and one Flate RGB image on one page.
void WriteJpegAndRgbPdf(const std::string& path) {
    PdfWriter writer;
    const int jpeg = writer.AddImage(16, 16, "/DeviceRGB", 8, "/DCTDecode",
                                     EncodeJpeg(16, 16, 3, GradientSamples(16, 16, 3)));
    const int rgb =
        writer.AddImage(4, 4, "/DeviceRGB", 8, "/FlateDecode", Deflate(GradientSamples(4, 4, 3)));
    writer.AddPage(DrawXObject("J") + DrawXObject("R"),
                   XObjectResources({{"J", jpeg}, {"R", rgb}}));
    ASSERT_TRUE(writer.WriteFile(path));
}

RunEntry Entry(const std::string& path, const std::string& owner = "",
               const std::string& user = "") {
    RunEntry entry;
    entry.Path = path;
    entry.OwnerPassword = owner;
    entry.UserPassword = user;
    return entry;
}

ConversionSettings RawSettings() {
    ConversionSettings settings;
    settings.ImagesFormat = OutputRaw;
    return settings;
}

RunSummary RunAll(const std::vector<RunEntry>& entries, const ConversionSettings& settings,
                  RecordingObserver& observer) {
    if (!observer.stop)
        observer.stop = std::make_shared<StopEvent>();
    ConversionRun run(entries, settings, observer, observer.stop);
    return run.Run();
}

class ConversionRunTest : public ::testing::Test {
protected:
    TemporaryFolder folder;
    std::string Pdf(const std::string& name, int pages = 1) {
        const std::string path = folder / name;
        WriteImagePdf(path, pages);
        return path;
    }
};

TEST_F(ConversionRunTest, NoEntriesEndsAtOnce) {
    RecordingObserver observer;
    const RunSummary summary = RunAll({}, RawSettings(), observer);
    EXPECT_TRUE(observer.events.empty());
    EXPECT_EQ(summary.Documents, 0);
}

TEST_F(ConversionRunTest, CaptionsAndPositionsOfARun) {
    // Three documents, a range of pages 5 to 8: the Current caption counts
    // pages within the range, the Total bar follows the file percentage.
    std::vector<RunEntry> entries;
    for (const char* name : {"a.pdf", "b.pdf", "c.pdf"})
        entries.push_back(Entry(Pdf(name, 9)));
    ConversionSettings settings = RawSettings();
    settings.PageRange = 1;
    settings.StartPage = 5;
    settings.EndPage = 8;
    RecordingObserver observer;
    const RunSummary summary = RunAll(entries, settings, observer);

    std::vector<std::string> expected;
    for (int i = 1; i <= 3; ++i) {
        expected.push_back("total: File " + std::to_string(i) + " of 3, " +
                           std::to_string(100 * i / 3) + "%");
        for (int page = 1; page <= 4; ++page) {
            expected.push_back("current: Page " + std::to_string(page) + " of 4, " +
                               std::to_string(page * 25) + "%");
        }
        expected.push_back("current: Convert Finished");
    }
    expected.push_back("total: Convert Finished");
    EXPECT_EQ(observer.Captions(), expected);
    EXPECT_EQ(observer.totalPositions, (std::vector<int>{33, 66, 100}));
    EXPECT_EQ(observer.currentPositions,
              (std::vector<int>{25, 50, 75, 100, 25, 50, 75, 100, 25, 50, 75, 100}));
    EXPECT_EQ(observer.openedFolders, std::vector<std::string>{folder.Path() + "/"});
    EXPECT_EQ(summary.Documents, 3);
    EXPECT_EQ(summary.ImagesWritten, 12);
    // Pages 5..8 have images 5..8 pixels wide.
    EXPECT_EQ(ReadWholeFile(folder / "a/-000.ppm").substr(0, 7), "P6\n5 2\n");
    EXPECT_EQ(ReadWholeFile(folder / "a/-003.ppm").substr(0, 7), "P6\n8 2\n");
}

TEST_F(ConversionRunTest, PageRangeRules) {
    struct Case {
        int start, end;
        std::vector<std::string> files; // in the document's folder
    } cases[] = {
        {0, 2, {"-000.ppm", "-001.ppm"}}, // start below 1 starts at page 1
        {-7, 1, {"-000.ppm"}},
        {2, 1000, {"-000.ppm", "-001.ppm"}}, // end beyond the count ends at the last page
        {3, 3, {"-000.ppm"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.start) + ".." + std::to_string(c.end));
        TemporaryFolder f;
        WriteImagePdf(f / "doc.pdf", 3);
        ConversionSettings settings = RawSettings();
        settings.PageRange = 1;
        settings.StartPage = c.start;
        settings.EndPage = c.end;
        RecordingObserver observer;
        RunAll({Entry(f / "doc.pdf")}, settings, observer);
        EXPECT_TRUE(observer.messages.empty());
        EXPECT_EQ(ListFolder(f / "doc"), c.files);
    }
}

TEST_F(ConversionRunTest, EmptyPageRangeEndsTheRun) {
    for (auto [start, end] : {std::pair{4, 10}, std::pair{1, 0}}) {
        TemporaryFolder f;
        WriteImagePdf(f / "first.pdf", 5);
        WriteImagePdf(f / "short.pdf", 3);
        WriteImagePdf(f / "later.pdf", 5);
        ConversionSettings settings = RawSettings();
        settings.PageRange = 1;
        settings.StartPage = start;
        settings.EndPage = end;
        RecordingObserver observer;
        const RunSummary summary =
            RunAll({Entry(f / "first.pdf"), Entry(f / "short.pdf"), Entry(f / "later.pdf")},
                   settings, observer);
        if (start == 4) {
            EXPECT_EQ(observer.messages,
                      std::vector<std::string>{
                          "The '" + (f / "short.pdf") +
                          "' file only contain 3 pages, please correct the page range in the "
                          "setting dialog and try again."});
            EXPECT_EQ(ListFolder(f / "first").size(), 2u); // the finished document keeps its output
        } else {
            EXPECT_EQ(observer.messages.size(), 1u);
            EXPECT_NE(observer.messages[0].find("first.pdf' file only contain 5 pages"),
                      std::string::npos);
        }
        EXPECT_TRUE(summary.RangeError);
        EXPECT_TRUE(observer.openedFolders.empty());
        for (const std::string& caption : observer.Captions())
            EXPECT_NE(caption, "total: Convert Finished");
        EXPECT_FALSE(std::filesystem::exists(f / "later"));
    }
}

// Presses Stop Convert when a caption appears, as a user watching it would.
class StoppingObserver : public RecordingObserver {
public:
    explicit StoppingObserver(std::string caption) : m_caption(std::move(caption)) {
        stop = std::make_shared<StopEvent>();
    }
    void SetCurrentCaption(const std::string& caption) override {
        RecordingObserver::SetCurrentCaption(caption);
        if (caption == m_caption)
            stop->Set();
    }

private:
    std::string m_caption;
};

TEST_F(ConversionRunTest, StopTakesEffectBetweenPages) {
    std::vector<RunEntry> entries;
    for (int i = 1; i <= 3; ++i) {
        std::string name = "d";
        name += std::to_string(i);
        name += ".pdf";
        entries.push_back(Entry(Pdf(name, 4)));
    }
    for (int32_t mode : {OutputRaw, OutputPng}) {
        SCOPED_TRACE(mode);
        TemporaryFolder f;
        ConversionSettings settings = RawSettings();
        settings.ImagesFormat = mode;
        settings.OutputDirectory = f.Path();
        // Stop Convert after the second page of the first document.
        StoppingObserver observer("Page 2 of 4, 50%");
        const RunSummary summary = RunAll(entries, settings, observer);
        EXPECT_TRUE(summary.Stopped);
        // The first document's first two pages, converted, and nothing more.
        const std::string ext = mode == OutputRaw ? ".ppm" : ".png";
        EXPECT_EQ(ListFolder(f.Path()), (std::vector<std::string>{"d1-000" + ext, "d1-001" + ext}));
        EXPECT_EQ(observer.startedDocuments, std::vector<std::string>{entries[0].Path});
        ASSERT_EQ(observer.reports.size(), 1u);
        EXPECT_TRUE(observer.reports[0].Stopped);
        // "Convert stopped." is the front end's; the run sets nothing after.
        for (const std::string& caption : observer.Captions())
            EXPECT_EQ(caption.find("Convert Finished"), std::string::npos) << caption;
        EXPECT_EQ(observer.Captions().back(), "current: Page 2 of 4, 50%");
        EXPECT_TRUE(observer.openedFolders.empty());
        // No intermediate file and no temporary one is left.
        for (const auto& entry : std::filesystem::directory_iterator(f.Path()))
            EXPECT_EQ(entry.path().filename().string().rfind(".talvore-", 0), std::string::npos);
    }
}

TEST_F(ConversionRunTest, RefusedDocumentsLetTheRunGoOn) {
    const std::string plain = Pdf("plain.pdf");
    ASSERT_TRUE(WriteWholeFile(folder / "damaged.pdf", "%PDF-1.4\nthis is not a PDF at all\n"));
    const std::string secured = folder / "secured.pdf";
    const std::string locked = folder / "locked.pdf";
    ASSERT_TRUE(EncryptWithQpdf(plain, secured, "", "owner", 256, {"--extract=n"}));
    ASSERT_TRUE(EncryptWithQpdf(plain, locked, "user", "owner", 256, {"--extract=n"}));
    const std::string notValid = "Not a valid pdf file!";
    const std::string noCopy = "Copying of images from this document is not allowed.";
    struct Case {
        RunEntry entry;
        std::string message; // empty: extracted
    } cases[] = {
        {Entry(folder / "damaged.pdf"), notValid},
        {Entry(folder / "missing.pdf"), notValid},
        {Entry(locked), notValid},              // user password needed
        {Entry(locked, "", "wrong"), notValid}, // wrong user password
        {Entry(locked, "", "user"), noCopy},    // opens, copying not allowed
        {Entry(secured), noCopy},
        {Entry(secured, "wrong"), noCopy},
        {Entry(secured, "owner"), ""},    // owner password lifts the restriction
        {Entry(locked, "owner", ""), ""}, // and opens without the user password
        {Entry(locked, "owner", "user"), ""},
    };
    std::vector<RunEntry> entries;
    std::vector<std::string> expectedMessages;
    for (const Case& c : cases) {
        entries.push_back(c.entry);
        if (!c.message.empty())
            expectedMessages.push_back(c.message);
    }
    entries.push_back(Entry(folder / "damaged.pdf")); // the last one refused
    expectedMessages.push_back(notValid);

    RecordingObserver observer;
    const RunSummary summary = RunAll(entries, RawSettings(), observer);
    EXPECT_EQ(observer.messages, expectedMessages);
    EXPECT_EQ(summary.Refused, 8);
    EXPECT_EQ(summary.Documents, 3);
    ASSERT_EQ(observer.reports.size(), entries.size());
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(observer.reports[i].Status,
                  cases[i].message.empty() ? DocumentStatus::Extracted : DocumentStatus::Refused);
    }
    // Both bars end finished and the folder opens although the last was refused.
    const auto captions = observer.Captions();
    EXPECT_EQ(captions[captions.size() - 2], "current: Convert Finished");
    EXPECT_EQ(captions.back(), "total: Convert Finished");
    EXPECT_EQ(observer.openedFolders.size(), 1u);
    EXPECT_EQ(ListFolder(folder / "secured"), std::vector<std::string>{"-000.ppm"});
}

TEST_F(ConversionRunTest, OutputFolderRules) {
    const std::string a = Pdf("a.pdf", 2);
    const std::string b = Pdf("b.pdf", 1);
    {
        // A common folder, given without a trailing '/': the files go inside
        // it, named after each document, and it is the folder opened.
        const std::string common = folder / "out";
        ASSERT_TRUE(std::filesystem::create_directory(common));
        ConversionSettings settings = RawSettings();
        settings.OutputDirectory = common;
        RecordingObserver observer;
        RunAll({Entry(a), Entry(b)}, settings, observer);
        EXPECT_EQ(ListFolder(common),
                  (std::vector<std::string>{"a-000.ppm", "a-001.ppm", "b-000.ppm"}));
        EXPECT_EQ(observer.openedFolders, std::vector<std::string>{common});
    }
    {
        // A common folder that does not exist: per-document folders beside
        // each PDF, and the first document's folder location is opened.
        ConversionSettings settings = RawSettings();
        settings.OutputDirectory = folder / "nowhere";
        RecordingObserver observer;
        RunAll({Entry(a), Entry(b)}, settings, observer);
        EXPECT_EQ(ListFolder(folder / "a"), (std::vector<std::string>{"-000.ppm", "-001.ppm"}));
        EXPECT_EQ(ListFolder(folder / "b"), std::vector<std::string>{"-000.ppm"});
        EXPECT_FALSE(std::filesystem::exists(folder / "nowhere"));
        EXPECT_EQ(observer.openedFolders, std::vector<std::string>{folder.Path() + "/"});
        EXPECT_EQ(observer.reports[0].OutputFolder, folder / "a/");
    }
    {
        // "No" in Open Results suppresses the opening.
        ConversionSettings settings = RawSettings();
        settings.OpenResult = 1;
        RecordingObserver observer;
        RunAll({Entry(a)}, settings, observer);
        EXPECT_TRUE(observer.openedFolders.empty());
    }
}

TEST_F(ConversionRunTest, OverlongPathsAreRefusedWithAMessage) {
    const std::string longPath = "/" + std::string(PATH_MAX, 'x') + ".pdf";
    // A file root that leaves no room for the device's names.
    std::string deep = folder.Path();
    while (deep.size() < PATH_MAX - 40)
        deep += "/" + std::string(200, 'd');
    std::filesystem::create_directories(deep.substr(0, deep.rfind('/')));
    const std::string deepPdf =
        deep.substr(0, deep.rfind('/')) + "/" + std::string(40, 'n') + ".pdf";
    WriteImagePdf(deepPdf, 1);
    RecordingObserver observer;
    const RunSummary summary =
        RunAll({Entry(longPath), Entry(deepPdf), Entry(Pdf("ok.pdf"))}, RawSettings(), observer);
    ASSERT_EQ(observer.messages.size(), 2u);
    EXPECT_NE(observer.messages[0].find("is longer than"), std::string::npos);
    EXPECT_NE(observer.messages[1].find("The output path for"), std::string::npos);
    EXPECT_EQ(summary.Refused, 2);
    EXPECT_EQ(summary.Documents, 1);
}

TEST_F(ConversionRunTest, RawModeWritesNoJpegAndConvertsNothing) {
    const std::string pdf = folder / "mixed.pdf";
    WriteJpegAndRgbPdf(pdf);
    RecordingObserver observer;
    RunAll({Entry(pdf)}, RawSettings(), observer);
    EXPECT_EQ(ListFolder(folder / "mixed"), (std::vector<std::string>{"-000.ppm", "-001.ppm"}));
    for (const std::string& caption : observer.Captions())
        EXPECT_NE(caption, "total: Images Coverting");
}

TEST_F(ConversionRunTest, SkippingImagelessPagesChangesNothing) {
    // Text pages, a page whose image sits in a shared resource dictionary but
    // is never named, an inline image, a form, an annotation appearance.
    PdfWriter writer;
    const int image = writer.AddImage(3, 3, "/DeviceRGB", 8, "", GradientSamples(3, 3, 3));
    const int other = writer.AddImage(2, 2, "/DeviceGray", 8, "", "abcd");
    const int form = writer.AddForm(DrawXObject("Im"), XObjectResources({{"Im", other}}));
    const int appearance = writer.AddForm(DrawXObject("Im"), XObjectResources({{"Im", image}}));
    const std::string font =
        "/Font << /F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> ";
    const int shared = writer.Add(XObjectResources({{"Im", image}, {"Fm", form}}, font));
    const std::string sharedRef = std::to_string(shared) + " 0 R";
    const std::string text = "BT /F1 12 Tf 72 700 Td (BIG text with BI in a string) Tj ET\n";
    writer.AddPage("BT /F1 12 Tf 72 700 Td (just text) Tj ET\n", sharedRef); // 1 skipped
    writer.AddPage(DrawXObject("Im"), sharedRef);                            // 2
    writer.AddPage(text, sharedRef);                                         // 3 (BI in a string)
    writer.AddPageWithContents({"q 10 0 0 10 0 0 cm\n", "BI /W 1 /H 1 /CS /G /BPC 8 ID a\nEI Q\n"},
                               sharedRef); // 4
    writer.AddPageWithContents({"0 0 m 5 5 l B", "I\n"},
                               sharedRef); // 5 skipped: no token spans streams
    writer.AddPage("/Fm Do\n", sharedRef); // 6
    writer.AddPage("BT ET\n", sharedRef,
                   "/Annots [<< /Type /Annot /Subtype /Stamp /Rect [0 0 50 50] /AP << /N " +
                       std::to_string(appearance) + " 0 R >> >>]"); // 7
    writer.AddPage("q /Im#20x Do Q\n", sharedRef);                  // 8 any name
    writer.AddPage("0 0 10 10 re f\n", sharedRef);                  // 9 skipped
    ASSERT_TRUE(writer.WriteFile(folder / "pages.pdf"));

    auto run = [&](bool every, const std::string& out) {
        ConversionSettings settings = RawSettings();
        std::filesystem::create_directory(out);
        settings.OutputDirectory = out;
        RecordingObserver observer;
        observer.stop = std::make_shared<StopEvent>();
        ConversionRun conversion({Entry(folder / "pages.pdf")}, settings, observer, observer.stop);
        conversion.SetInterpretEveryPage(every);
        const RunSummary summary = conversion.Run();
        return std::pair{summary, observer.Captions()};
    };
    const auto [everySummary, everyCaptions] = run(true, folder / "every");
    const auto [skipSummary, skipCaptions] = run(false, folder / "skip");
    EXPECT_EQ(everySummary.PagesSkipped, 0);
    EXPECT_EQ(skipSummary.PagesSkipped, 3);
    EXPECT_EQ(skipCaptions, everyCaptions);
    const auto files = ListFolder(folder / "every");
    ASSERT_EQ(files, ListFolder(folder / "skip"));
    EXPECT_EQ(files.size(), 4u);
    for (const std::string& name : files) {
        EXPECT_EQ(ReadWholeFile(folder / ("every/" + name)),
                  ReadWholeFile(folder / ("skip/" + name)))
            << name;
    }
}

TEST_F(ConversionRunTest, PagesSharingResourcesAreEachAnsweredForThemselves) {
    // One resource dictionary for every page, whose objects draw an image
    // or not by the way they are drawn: a stream of another subtype draws
    // nothing as an XObject but draws as a form when it is an appearance or
    // a soft mask's group. What the scan of one page learnt of an object
    // must not decide another page that draws it otherwise.
    PdfWriter writer;
    const int image = writer.AddImage(3, 3, "/DeviceRGB", 8, "", GradientSamples(3, 3, 3));
    const int odd = writer.AddStream("/Type /XObject /Subtype /PS /BBox [0 0 100 100] "
                                     "/Group << /S /Transparency /CS /DeviceGray >> " +
                                         XObjectResources({{"Im", image}}).insert(0, "/Resources "),
                                     DrawXObject("Im"));
    const std::string oddRef = std::to_string(odd) + " 0 R";
    const int plain = writer.Add("<< /Type /ExtGState /CA 0.5 >>");
    const int masked =
        writer.Add("<< /Type /ExtGState /SMask << /S /Luminosity /G " + oddRef + " >> >>");
    const int shared = writer.Add(XObjectResources(
        {{"Im", image}, {"Odd", odd}}, "/ExtGState << /Plain " + std::to_string(plain) +
                                           " 0 R /Masked " + std::to_string(masked) + " 0 R >> "));
    const std::string sharedRef = std::to_string(shared) + " 0 R";
    const std::string rectangle = "0 0 10 10 re f\n";
    writer.AddPage("/Odd Do\n", sharedRef); // 1 skipped
    writer.AddPage("BT ET\n", sharedRef,
                   "/Annots [<< /Type /Annot /Subtype /Stamp /Rect [0 0 50 50] /AP << /N " +
                       oddRef + " >> >>]");               // 2
    writer.AddPage("/Plain gs " + rectangle, sharedRef);  // 3 skipped
    writer.AddPage("/Masked gs " + rectangle, sharedRef); // 4
    writer.AddPage(DrawXObject("Im"), sharedRef);         // 5
    writer.AddPage("/Odd Do /Plain gs\n", sharedRef);     // 6 skipped
    ASSERT_TRUE(writer.WriteFile(folder / "shared.pdf"));

    auto run = [&](bool every) {
        const std::string out = folder / (every ? "every" : "skip");
        std::filesystem::create_directory(out);
        ConversionSettings settings = RawSettings();
        settings.OutputDirectory = out;
        RecordingObserver observer;
        ConversionRun conversion({Entry(folder / "shared.pdf")}, settings, observer, nullptr);
        conversion.SetInterpretEveryPage(every);
        return std::pair{conversion.Run(), out};
    };
    const auto [every, everyFolder] = run(true);
    const auto [skip, skipFolder] = run(false);
    EXPECT_EQ(skip.PagesSkipped, 3);
    const std::vector<std::string> files = ListFolder(everyFolder);
    EXPECT_EQ(files.size(), 3u);
    ASSERT_EQ(ListFolder(skipFolder), files);
    for (const std::string& name : files) {
        EXPECT_EQ(ReadWholeFile(skipFolder + "/" + name), ReadWholeFile(everyFolder + "/" + name))
            << name;
    }
}

TEST_F(ConversionRunTest, OneSetOfCoreParametersForEveryThread) {
    EnsurePdfCore();
    GlobalParams* const first = globalParams.get();
    ASSERT_NE(first, nullptr);
    // Two runs at once (a run and another user of the core) share them.
    const std::string a = Pdf("a.pdf", 3);
    const std::string b = Pdf("b.pdf", 3);
    auto work = [&](const std::string& path) {
        EnsurePdfCore();
        RecordingObserver observer;
        RunAll({Entry(path)}, RawSettings(), observer);
    };
    std::thread one(work, a);
    std::thread two(work, b);
    one.join();
    two.join();
    EXPECT_EQ(globalParams.get(), first);
    EXPECT_EQ(ListFolder(folder / "a").size(), 3u);
    EXPECT_EQ(ListFolder(folder / "b").size(), 3u);
}

TEST_F(ConversionRunTest, PageSkipNeverDropsAnImage) {
    // Every way a resource is found, against interpreting every page: the
    // same files, byte for byte, and the one image wherever its name lives.
    for (const GeneratedPdf& pdf : ResourceLookupCases()) {
        SCOPED_TRACE(pdf.Name);
        TemporaryFolder f;
        ASSERT_TRUE(WriteWholeFile(f / "case.pdf", pdf.Bytes));
        auto run = [&](bool every) {
            const std::string out = f / (every ? "every" : "skip");
            std::filesystem::create_directory(out);
            ConversionSettings settings = RawSettings();
            settings.OutputDirectory = out;
            RecordingObserver observer;
            ConversionRun conversion({Entry(f / "case.pdf")}, settings, observer, nullptr);
            conversion.SetInterpretEveryPage(every);
            conversion.Run();
            return out;
        };
        const std::string every = run(true);
        const std::string skip = run(false);
        const std::vector<std::string> files = ListFolder(every);
        EXPECT_EQ(files.size(), pdf.Name.find("nowhere") == std::string::npos ? 1u : 0u);
        ASSERT_EQ(ListFolder(skip), files);
        for (const std::string& name : files)
            EXPECT_EQ(ReadWholeFile(skip + "/" + name), ReadWholeFile(every + "/" + name));
    }
}

} // namespace
} // namespace talvore
