#include "cli/ExtractCommand.h"

#include "convert/OutputFormats.h"

#include "support/PdfWriter.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <limits>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace talvore {
namespace {

using namespace talvore::testing;

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the built talvore-extract with stdout and stderr in files (so stderr
// is not a terminal: the per-document lines only).
CliResult RunCli(const std::vector<std::string>& arguments) {
    TemporaryFolder capture;
    const std::string outPath = capture / "out";
    const std::string errPath = capture / "err";
    std::vector<std::string> args = {TALVORE_EXTRACT};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t child = 0;
    CliResult result;
    if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(child, &status, 0);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    result.out = ReadWholeFile(outPath);
    result.err = ReadWholeFile(errPath);
    return result;
}

void WritePdf(const std::string& path, int pages) {
    PdfWriter writer;
    for (int p = 0; p < pages; ++p) {
        const int image = writer.AddImage(2, 2, "/DeviceRGB", 8, "", GradientSamples(2, 2, 3, p));
        const int mask = writer.AddImageMask(8, 2, "", "\xf0\x0f");
        writer.AddPage(DrawXObject("I") + DrawXObject("M"),
                       XObjectResources({{"I", image}, {"M", mask}}));
    }
    ASSERT_TRUE(writer.WriteFile(path));
}

TEST(ExtractCommandParsing, Formats) {
    const std::pair<const char*, int> cases[] = {
        {"raw", 0}, {"ppm/pbm", 0}, {"0", 0},   {"jpg", 1}, {"JPEG", 1},  {"1", 1},
        {"bmp", 2}, {"gif", 3},     {"png", 4}, {"4", 4},   {"tif", 5},   {"tiff", 5},
        {"tga", 6}, {"pcx", 7},     {"7", 7},   {"8", -1},  {"webp", -1}, {"", -1},
    };
    for (const auto& [text, mode] : cases) {
        const OutputFormat* format = FindOutputFormat(std::string(text));
        EXPECT_EQ(format ? format->Mode : -1, mode) << text;
    }
}

TEST(ExtractCommandParsing, PageRanges) {
    struct Case {
        const char* text;
        bool ok;
        int32_t start, end;
    } cases[] = {
        {"5-8", true, 5, 8},    {"3-", true, 3, std::numeric_limits<int32_t>::max()},
        {"7", true, 7, 7},      {"0-0", true, 0, 0},
        {"-4", false, 0, 0},    {"a-b", false, 0, 0},
        {"1-2-3", false, 0, 0}, {"99999999999-", false, 0, 0},
        {"", false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        int32_t start = 0, end = 0;
        ASSERT_EQ(ParsePageRange(c.text, &start, &end), c.ok);
        if (c.ok) {
            EXPECT_EQ(start, c.start);
            EXPECT_EQ(end, c.end);
        }
    }
}

TEST(ExtractCommandParsing, OptionsFillTheSettingsRecord) {
    TemporaryFolder folder;
    ASSERT_TRUE(WriteWholeFile(
        folder / "Settings.ini",
        "[Output Images]\nImages Format=3\nJpeg Quality=20\n[Output General]\nOpen Result=0\n"));
    const char* argv[] = {
        "talvore-extract",  "--settings", "",      "-q",    "90",   "-g", "-p", "2-",
        "--owner-password", "o",          "a.pdf", "b.pdf", "a.pdf"};
    const std::string settings = folder / "Settings.ini";
    argv[2] = settings.c_str();
    ExtractOptions options;
    int status = -1;
    ASSERT_TRUE(ParseExtractCommandLine(static_cast<int>(std::size(argv)), argv, options, &status));
    const ConversionSettings& parsed = options.Job.Settings();
    EXPECT_EQ(parsed.ImagesFormat, OutputGif); // from the file
    EXPECT_EQ(parsed.JpegQuality, 90);         // the option wins
    EXPECT_EQ(parsed.JpegGrayScale, 0);
    EXPECT_EQ(parsed.PageRange, 1);
    EXPECT_EQ(parsed.StartPage, 2);
    EXPECT_EQ(parsed.OpenResult, 1); // only --open opens a browser
    const std::vector<RunEntry>& entries = options.Job.Entries();
    ASSERT_EQ(entries.size(), 2u); // the same path once
    EXPECT_EQ(entries[1].Path, "b.pdf");
    EXPECT_EQ(entries[1].OwnerPassword, "o");
}

TEST(ExtractCommand, UsageErrorsAndHelp) {
    const CliResult help = RunCli({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* text :
         {"--format", "--output", "--pages", "--quality", "--gray", "--owner-password",
          "--user-password", "--recursive", "--settings", "--open", "--quiet", "Exit status"}) {
        EXPECT_NE(help.out.find(text), std::string::npos) << text;
    }
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{},
                                               {"-f", "webp", "x.pdf"},
                                               {"-q", "0", "x.pdf"},
                                               {"-p", "x-y", "x.pdf"},
                                               {"--bogus", "x.pdf"},
                                               {"-r", "/no/such/folder"}}) {
        const CliResult result = RunCli(args);
        EXPECT_EQ(result.status, 2) << (args.empty() ? "(none)" : args[0]);
        EXPECT_FALSE(result.err.empty());
    }
}

TEST(ExtractCommand, ExtractsAndReportsPerDocument) {
    TemporaryFolder folder;
    WritePdf(folder / "report.pdf", 3);
    const CliResult raw = RunCli({"-f", "raw", folder / "report.pdf"});
    EXPECT_EQ(raw.status, 0) << raw.err;
    EXPECT_EQ(ListFolder(folder / "report"),
              (std::vector<std::string>{"-000.ppm", "-001.pbm", "-002.ppm", "-003.pbm", "-004.ppm",
                                        "-005.pbm"}));
    EXPECT_EQ(raw.err,
              folder / "report.pdf" + ": 3 pages, 6 images -> " + folder / "report/" + "\n");
    EXPECT_TRUE(raw.out.empty());

    // A common folder created on demand, a page range, --quiet.
    const CliResult ranged =
        RunCli({"--quiet", "-f", "0", "-o", folder / "out/new", "-p", "2-", folder / "report.pdf"});
    EXPECT_EQ(ranged.status, 0) << ranged.err;
    EXPECT_TRUE(ranged.err.empty());
    EXPECT_EQ(ListFolder(folder / "out/new"),
              (std::vector<std::string>{"report-000.ppm", "report-001.pbm", "report-002.ppm",
                                        "report-003.pbm"}));
}

TEST(ExtractCommand, RefusedDocumentsGiveStatusOneAndTheRunGoesOn) {
    TemporaryFolder folder;
    WritePdf(folder / "good.pdf", 1);
    ASSERT_TRUE(WriteWholeFile(folder / "bad.pdf", "%PDF-1.4 garbage"));
    ASSERT_TRUE(EncryptWithQpdf(folder / "good.pdf", folder / "locked.pdf", "", "secret", 256,
                                {"--extract=n"}));

    const CliResult result =
        RunCli({"-f", "raw", folder / "bad.pdf", folder / "locked.pdf", folder / "good.pdf"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(
        result.err.find("talvore-extract: " + folder / "bad.pdf" + ": Not a valid pdf file!\n"),
        std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("talvore-extract: " + folder / "locked.pdf" +
                              ": Copying of images from this document is not allowed.\n"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(ListFolder(folder / "good").size(), 2u);

    const CliResult owner =
        RunCli({"-f", "raw", "--owner-password", "secret", folder / "locked.pdf"});
    EXPECT_EQ(owner.status, 0) << owner.err;
    EXPECT_EQ(ListFolder(folder / "locked").size(), 2u);

    // A file holds the name of the document's folder: the images go to a
    // folder of their own beside it, and the file stays.
    ASSERT_TRUE(WriteWholeFile(folder / "blocked", "x"));
    std::filesystem::copy_file(folder / "good.pdf", folder / "blocked.pdf");
    const CliResult blocked = RunCli({"-f", "raw", folder / "blocked.pdf"});
    EXPECT_EQ(blocked.status, 0) << blocked.err;
    EXPECT_EQ(ListFolder(folder / "blocked_images").size(), 2u);
    EXPECT_EQ(ReadWholeFile(folder / "blocked"), "x");

    const CliResult range = RunCli({"-f", "raw", "-p", "5-9", folder / "good.pdf"});
    EXPECT_EQ(range.status, 1);
    EXPECT_NE(range.err.find("file only contain 1 pages"), std::string::npos);
}

} // namespace
} // namespace talvore
