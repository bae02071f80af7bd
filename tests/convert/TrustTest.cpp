// What a user trusts a run with: every image comes out, hidden layers and
// 1-bit colours included, no document's files replace another's, and names
// taken from files never lead outside the output folder.
#include "convert/ExtractionJob.h"

#include "support/PdfWriter.h"
#include "support/RecordingObserver.h"
#include "support/RunSettings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace talvore {
namespace {

using namespace talvore::testing;

struct RunResult {
    int ExitStatus = -1;
    RunSummary Summary;
    std::vector<DocumentReport> Reports;
};

RunResult RunFiles(const std::vector<std::string>& paths, const std::string& output,
                   int mode = OutputRaw) {
    const ConversionSettings settings = SettingsFor(mode, output);
    ExtractionJob job(settings);
    for (const std::string& path : paths)
        job.AddFile(path);
    job.SetThreads(1);
    RecordingObserver observer;
    RunResult result;
    result.Summary = job.Run(observer, std::make_shared<StopEvent>());
    result.ExitStatus = job.ExitStatus();
    result.Reports = observer.reports;
    return result;
}

// The pixel bytes of a binary PBM or PPM file, after its header.
std::string PnmPixels(const std::string& file, std::string* magic = nullptr) {
    size_t at = 0;
    int fields = 0;
    const int wanted = file.compare(0, 2, "P4") == 0 ? 3 : 4;
    if (magic)
        *magic = file.substr(0, 2);
    while (fields < wanted && at < file.size()) {
        while (at < file.size() && std::isspace(static_cast<unsigned char>(file[at])))
            ++at;
        while (at < file.size() && !std::isspace(static_cast<unsigned char>(file[at])))
            ++at;
        ++fields;
    }
    return file.substr(at + 1);
}

TEST(Trust, ImagesInLayersThatAreOffAreExtractedAndTheFileIsLeftAsItWas) {
    struct Case {
        const char* Name;
        // Builds a page whose one image is hidden by a group that is off;
        // `group` is the optional-content group's object number.
        std::function<void(PdfWriter&, int group)> Page;
    };
    const std::string pixels = "abcd";
    const Case cases[] = {
        {"an image with /OC",
         [&](PdfWriter& w, int group) {
             const int image = w.AddImage(2, 2, "/DeviceGray", 8, "", pixels,
                                          "/OC " + std::to_string(group) + " 0 R");
             w.AddPage(DrawXObject("I"), XObjectResources({{"I", image}}));
         }},
        {"a form with /OC",
         [&](PdfWriter& w, int group) {
             const int image = w.AddImage(2, 2, "/DeviceGray", 8, "", pixels);
             const int form = w.AddForm(DrawXObject("I"), XObjectResources({{"I", image}}),
                                        "/OC " + std::to_string(group) + " 0 R");
             w.AddPage(DrawXObject("F"), XObjectResources({{"F", form}}));
         }},
        {"marked content BDC /OC",
         [&](PdfWriter& w, int group) {
             const int image = w.AddImage(2, 2, "/DeviceGray", 8, "", pixels);
             w.AddPage("/OC /L BDC " + DrawXObject("I") + " EMC\n",
                       XObjectResources({{"I", image}},
                                        "/Properties << /L " + std::to_string(group) + " 0 R >> "));
         }},
        {"a membership dictionary",
         [&](PdfWriter& w, int group) {
             const int membership =
                 w.Add("<< /Type /OCMD /OCGs [" + std::to_string(group) + " 0 R] /P /AnyOn >>");
             const int image = w.AddImage(2, 2, "/DeviceGray", 8, "", pixels,
                                          "/OC " + std::to_string(membership) + " 0 R");
             w.AddPage(DrawXObject("I"), XObjectResources({{"I", image}}));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TemporaryFolder folder;
        PdfWriter writer;
        const int group = writer.Add("<< /Type /OCG /Name (Hidden) >>");
        const std::string ref = std::to_string(group) + " 0 R";
        writer.SetCatalogEntries("/OCProperties << /OCGs [" + ref + "] /D << /OFF [" + ref +
                                 "] /Order [" + ref + "] >> >>");
        c.Page(writer, group);
        const std::string pdf = folder / "layers.pdf";
        ASSERT_TRUE(writer.WriteFile(pdf));
        const std::string before = ReadWholeFile(pdf);
        const RunResult result = RunFiles({pdf}, folder.Path());
        EXPECT_EQ(result.ExitStatus, EXIT_EXTRACTED);
        ASSERT_EQ(ListFolder(folder.Path()),
                  (std::vector<std::string>{"layers-000.ppm", "layers.pdf"}));
        EXPECT_EQ(PnmPixels(ReadWholeFile(folder / "layers-000.ppm")),
                  "aaabbbcccddd"); // grey as RGB
        EXPECT_EQ(ReadWholeFile(pdf), before);
    }
}

TEST(Trust, OneBitImagesKeepTheirColoursAndTheirDecode) {
    struct Case {
        const char* Name;
        std::string ColourSpace; // empty: a stencil mask
        std::string Extra;
        const char* Magic;
        std::string Pixels; // of the dump, for the stored byte 0xF0 (8 x 1)
    };
    const std::string redRgb("\xff\x00\x00", 3), blue("\x00\x00\xff", 3);
    auto repeat = [](const std::string& pixel, int n) {
        std::string out;
        for (int i = 0; i < n; ++i)
            out += pixel;
        return out;
    };
    const Case cases[] = {
        // Index 1 (blue) for the four set bits, index 0 (red) for the rest.
        {"Indexed red and blue", "[/Indexed /DeviceRGB 1 <FF00000000FF>]", "", "P6",
         repeat(blue, 4) + repeat(redRgb, 4)},
        {"Separation through its tint transform",
         "[/Separation /Spot /DeviceRGB << /FunctionType 2 /Domain [0 1] /C0 [1 0 0] /C1 [0 0 1] "
         "/N 1 >>]",
         "", "P6", repeat(blue, 4) + repeat(redRgb, 4)},
        // A set bit is white in DeviceGray; PBM's set bit is black.
        {"DeviceGray", "/DeviceGray", "", "P4", "\x0f"},
        {"DeviceGray with Decode [1 0]", "/DeviceGray", "/Decode [1 0]", "P4", "\xf0"},
        {"a stencil mask", "", "", "P4", "\xf0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TemporaryFolder folder;
        PdfWriter writer;
        const int image = c.ColourSpace.empty()
                              ? writer.AddImageMask(8, 1, "", "\xf0", c.Extra)
                              : writer.AddImage(8, 1, c.ColourSpace, 1, "", "\xf0", c.Extra);
        writer.AddPage(DrawXObject("I"), XObjectResources({{"I", image}}));
        ASSERT_TRUE(writer.WriteFile(folder / "bits.pdf"));
        const RunResult result = RunFiles({folder / "bits.pdf"}, folder.Path());
        EXPECT_EQ(result.ExitStatus, EXIT_EXTRACTED);
        const std::string name = std::string("bits-000.") + (c.Magic[1] == '4' ? "pbm" : "ppm");
        std::string magic;
        EXPECT_EQ(PnmPixels(ReadWholeFile(folder / name), &magic), c.Pixels);
        EXPECT_EQ(magic, c.Magic);
    }
}

void WriteImagesPdf(const std::string& path, int images) {
    PdfWriter writer;
    std::map<std::string, int> names;
    std::string content;
    for (int i = 0; i < images; ++i) {
        std::string name = "I";
        name += std::to_string(i);
        names[name] = writer.AddImage(1 + i, 1, "/DeviceGray", 8, "", std::string(1 + i, 'x'));
        content += DrawXObject(name);
    }
    writer.AddPage(content, XObjectResources(names));
    ASSERT_TRUE(writer.WriteFile(path));
}

TEST(Trust, NoDocumentOfARunReplacesTheFilesOfAnother) {
    TemporaryFolder folder;
    std::filesystem::create_directories(folder / "a");
    std::filesystem::create_directories(folder / "b");
    std::filesystem::create_directories(folder / "out");
    WriteImagesPdf(folder / "a/report.pdf", 1);
    WriteImagesPdf(folder / "b/report.pdf", 2);
    WriteImagesPdf(folder / "report_2.pdf", 1); // the stem the second one took
    const RunResult common =
        RunFiles({folder / "a/report.pdf", folder / "b/report.pdf", folder / "report_2.pdf"},
                 folder / "out");
    EXPECT_EQ(common.ExitStatus, EXIT_EXTRACTED);
    EXPECT_EQ(ListFolder(folder / "out"),
              (std::vector<std::string>{"report-000.ppm", "report_2-000.ppm", "report_2-001.ppm",
                                        "report_2_2-000.ppm"}));

    // Each in its own folder: a file where the folder would be moves the
    // images aside, and so does a folder an earlier document took.
    WriteImagesPdf(folder / "scan", 1);       // a PDF without extension
    WriteImagesPdf(folder / "scan.pdf", 2);   // its folder's name is the file above
    WriteImagesPdf(folder / "b/scan.pdf", 1); // elsewhere: its own folder
    const RunResult own =
        RunFiles({folder / "scan", folder / "scan.pdf", folder / "b/scan.pdf"}, "");
    EXPECT_EQ(own.ExitStatus, EXIT_EXTRACTED);
    EXPECT_EQ(ListFolder(folder / "scan_images"), (std::vector<std::string>{"-000.ppm"}));
    EXPECT_EQ(ListFolder(folder / "scan_images_2"),
              (std::vector<std::string>{"-000.ppm", "-001.ppm"}));
    EXPECT_EQ(ListFolder(folder / "b/scan"), (std::vector<std::string>{"-000.ppm"}));
}

TEST(Trust, TitlesOfDotsNameNothingOutsideTheirFolder) {
    TemporaryFolder folder;
    const std::string docs = folder / "docs";
    std::filesystem::create_directories(docs);
    for (const char* name : {".pdf", "..pdf", "...pdf"})
        WriteImagesPdf(docs + "/" + name, 1);
    const std::vector<std::string> paths{docs + "/.pdf", docs + "/..pdf", docs + "/...pdf"};

    std::filesystem::create_directories(folder / "out");
    EXPECT_EQ(RunFiles(paths, folder / "out").ExitStatus, EXIT_EXTRACTED);
    EXPECT_EQ(ListFolder(folder / "out"),
              (std::vector<std::string>{"_-000.ppm", "_.-000.ppm", "_..-000.ppm"}));

    EXPECT_EQ(RunFiles(paths, "").ExitStatus, EXIT_EXTRACTED);
    EXPECT_EQ(ListFolder(docs),
              (std::vector<std::string>{"...pdf", "..pdf", ".pdf", "_", "_.", "_.."}));
    for (const char* stem : {"_", "_.", "_.."})
        EXPECT_EQ(ListFolder(docs + "/" + stem), (std::vector<std::string>{"-000.ppm"})) << stem;
    EXPECT_EQ(ListFolder(folder.Path()), (std::vector<std::string>{"docs", "out"}));
}

TEST(Trust, ALinkPlantedAtAnOutputNameIsReplacedNotFollowed) {
    TemporaryFolder folder;
    WriteImagesPdf(folder / "doc.pdf", 1);
    std::filesystem::create_directories(folder / "out");
    ASSERT_TRUE(WriteWholeFile(folder / "victim", "keep me"));
    for (const char* name : {"doc-000.ppm", "doc-000.png"})
        std::filesystem::create_symlink(folder / "victim", folder / ("out/" + std::string(name)));
    for (int mode : {OutputRaw, OutputPng}) {
        SCOPED_TRACE(mode);
        EXPECT_EQ(RunFiles({folder / "doc.pdf"}, folder / "out", mode).ExitStatus, EXIT_EXTRACTED);
        EXPECT_EQ(ReadWholeFile(folder / "victim"), "keep me");
    }
    for (const char* name : {"doc-000.ppm", "doc-000.png"}) {
        struct stat info {};
        ASSERT_EQ(lstat((folder / ("out/" + std::string(name))).c_str(), &info), 0) << name;
        EXPECT_TRUE(S_ISREG(info.st_mode)) << name;
    }
}

} // namespace
} // namespace talvore
