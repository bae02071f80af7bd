#include "cli/ExtractCommand.h"

#include "convert/OutputFormats.h"

#include "support/PdfWriter.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <limits>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace talvore {
namespace {

using namespace talvore::testing;

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

struct CliInput {
    CliInput() = default;
    CliInput(std::string in, std::vector<std::string> variables = {}, std::string folder = {})
        : stdinPath(std::move(in)), environment(std::move(variables)),
          workingDirectory(std::move(folder)) {}
    std::string stdinPath = "/dev/null";  // never a terminal unless a test asks for one
    std::vector<std::string> environment; // "NAME=value", before ours
    std::string workingDirectory;         // empty: ours
};

// Starts the built talvore-extract with stdout and stderr in files (so
// stderr is not a terminal: the per-document lines only).
pid_t SpawnCli(const std::vector<std::string>& arguments, const CliInput& input,
               const std::string& outPath, const std::string& errPath) {
    std::vector<std::string> args = {TALVORE_EXTRACT};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<std::string> variables = input.environment;
    for (char** variable = environ; *variable; ++variable)
        variables.emplace_back(*variable);
    std::vector<char*> envp;
    for (std::string& variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, input.stdinPath.c_str(), O_RDWR, 0);
    if (!input.workingDirectory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, input.workingDirectory.c_str());
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t child = -1;
    if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
        child = -1;
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

int WaitForExit(pid_t child) {
    int status = 0;
    if (child <= 0 || waitpid(child, &status, 0) != child)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
}

CliResult RunCli(const std::vector<std::string>& arguments, const CliInput& input = {}) {
    TemporaryFolder capture;
    const std::string outPath = capture / "out";
    const std::string errPath = capture / "err";
    CliResult result;
    result.status = WaitForExit(SpawnCli(arguments, input, outPath, errPath));
    result.out = ReadWholeFile(outPath);
    result.err = ReadWholeFile(errPath);
    return result;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
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

TEST(ExtractCommandParsing, OptionsFillTheSettingsRecord) {
    TemporaryFolder folder;
    ASSERT_TRUE(
        WriteWholeFile(folder / "Settings.ini",
                       "[Output Images]\nImages Format=3\nJpeg Quality=20\nKeep Encoded=1\n[Output "
                       "General]\nOpen Result=0\n"));
    const char* argv[] = {
        "talvore-extract", "--settings",       "",  "-Q",    "90",    "-g",   "-p", "2-",
        "--alpha",         "--owner-password", "o", "a.pdf", "b.pdf", "a.pdf"};
    const std::string settings = folder / "Settings.ini";
    argv[2] = settings.c_str();
    ExtractOptions options;
    int status = -1;
    ASSERT_TRUE(ParseExtractCommandLine(static_cast<int>(std::size(argv)), argv, options, &status));
    const ConversionSettings& parsed = options.Job.Settings();
    EXPECT_EQ(parsed.ImagesFormat, OutputGif); // from the file
    EXPECT_EQ(parsed.JpegQuality, 90);         // the option wins
    EXPECT_EQ(parsed.JpegGrayScale, 0);
    EXPECT_TRUE(parsed.KeepAlpha);   // the option
    EXPECT_TRUE(parsed.KeepEncoded); // from the file
    ASSERT_TRUE(options.Job.Selection().has_value());
    EXPECT_EQ(options.Job.Selection()->PagesOf(4), (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(parsed.OpenResult, 1); // only --open opens a browser
    const std::vector<RunEntry>& entries = options.Job.Entries();
    ASSERT_EQ(entries.size(), 2u); // the same path once
    EXPECT_EQ(entries[1].Path, "b.pdf");
    EXPECT_EQ(entries[1].OwnerPassword, "o");
}

// Every option, every usage error and the exit statuses, in one table. In
// an argument "@" is the test folder and "%" a fresh output folder of the
// case, whose files are compared when the case lists any.
TEST(ExtractCommand, ArgumentTable) {
    TemporaryFolder folder;
    WritePdf(folder / "a.pdf", 3); // two images a page: -000.ppm, -001.pbm, ...
    std::filesystem::create_directories(folder / "tree/sub");
    WritePdf(folder / "tree/sub/b.pdf", 1);
    ASSERT_TRUE(WriteWholeFile(folder / "bad.pdf", "%PDF-1.4 garbage"));
    ASSERT_TRUE(WriteWholeFile(folder / "Settings.ini", "[Output Images]\nImages Format=4\n"));

    using Strings = std::vector<std::string>;
    const Strings all = {"a-000.ppm", "a-001.pbm", "a-002.ppm",
                         "a-003.pbm", "a-004.ppm", "a-005.pbm"};
    struct Case {
        Strings args;
        int status;
        Strings out;   // texts stdout holds
        Strings err;   // texts stderr holds; {""}: stderr is empty
        Strings files; // in "%"
    } cases[] = {
        // Usage errors: at parse time, before any document is opened.
        {{}, 2, {}, {"no PDF files given"}, {}},
        {{"-f", "webp", "@/a.pdf"}, 2, {}, {"unknown format 'webp'"}, {}},
        {{"-Q", "0", "@/a.pdf"}, 2, {}, {"--quality"}, {}},
        {{"-Q", "101", "@/a.pdf"}, 2, {}, {"--quality"}, {}},
        {{"-Q", "x", "@/a.pdf"}, 2, {}, {"--quality"}, {}},
        {{"-p", "x-y", "@/a.pdf"}, 2, {}, {"'x-y' is not a page"}, {}},
        {{"-p", "0", "@/a.pdf"}, 2, {}, {"'0' is not a page"}, {}},
        {{"-p", "0-0", "@/a.pdf"}, 2, {}, {"'0-0' is not a page"}, {}},
        {{"-p", "5-2", "@/a.pdf"}, 2, {}, {"'5-2' runs downward"}, {}},
        {{"-p", "", "@/a.pdf"}, 2, {}, {"--pages"}, {}},
        {{"-p", "1,,2", "@/a.pdf"}, 2, {}, {"--pages"}, {}},
        {{"-p", "-4", "@/a.pdf"}, 2, {}, {"--pages"}, {}},
        {{"-p", "1-2-3", "@/a.pdf"}, 2, {}, {"--pages"}, {}},
        {{"-p", "99999999999-", "@/a.pdf"}, 2, {}, {"--pages"}, {}},
        {{"--bogus", "@/a.pdf"}, 2, {}, {"--bogus"}, {}},
        {{"-r", "/no/such/folder"}, 2, {}, {"/no/such/folder"}, {}},
        {{"-r"}, 2, {}, {"--recursive"}, {}},
        {{"--settings", "@/none.ini", "@/a.pdf"}, 2, {}, {"--settings"}, {}},
        {{"-j", "0", "@/a.pdf"}, 2, {}, {"--jobs"}, {}},
        {{"--max-images", "0", "@/a.pdf"}, 2, {}, {"--max-images"}, {}},
        {{"--max-bytes", "x", "@/a.pdf"}, 2, {}, {"--max-bytes"}, {}},
        {{"-q", "-v", "@/a.pdf"}, 2, {}, {"exclude each other"}, {}},
        {{"-", "-"}, 2, {}, {"only once"}, {}},
        {{"--password-file", "-", "-"}, 2, {}, {"both the PDF and the password"}, {}},
        {{"--title", "t", "@/a.pdf"}, 2, {}, {"--title"}, {}},
        {{"--password-file", "@/none", "@/a.pdf"}, 2, {}, {"@/none': No such file"}, {}},
        // Help and version.
        {{"--help"},
         0,
         {"--format",
          "--output",
          "--pages",
          "--quality",
          "--gray",
          "--owner-password",
          "--user-password",
          "--password-file",
          "--recursive",
          "--settings",
          "--open",
          "--quiet",
          "--verbose",
          "--version",
          "--title",
          "--max-images",
          "--max-bytes",
          "--jobs",
          "TALVORE_USER_PASSWORD",
          "TALVORE_OWNER_PASSWORD",
          "Exit status",
          "130  interrupted",
          "2    usage error"},
         {""},
         {}},
        {{"--version"}, 0, {"talvore-extract 2.1.0\n"}, {""}, {}},
        // Options that take effect.
        {{"-f", "raw", "-o", "%", "@/a.pdf"}, 0, {}, {"a.pdf: 3 pages, 6 images"}, all},
        {{"-f", "raw", "-o", "%", "-p", "1,3", "@/a.pdf"},
         0,
         {},
         {"a.pdf: 2 pages, 4 images"},
         {"a-000.ppm", "a-001.pbm", "a-002.ppm", "a-003.pbm"}},
        {{"-f", "raw", "-o", "%", "-p", "3,2-", "@/a.pdf"}, 0, {}, {"2 pages, 4 images"}, {}},
        {{"-f", "raw", "-o", "%", "-p", "2,7-", "@/a.pdf"}, 0, {}, {"1 page, 2 images"}, {}},
        {{"-f", "png", "-o", "%", "-p", "1", "@/a.pdf"}, 0, {}, {}, {"a-000.png", "a-001.png"}},
        {{"--settings", "@/Settings.ini", "-o", "%", "-p", "1", "@/a.pdf"},
         0,
         {},
         {},
         {"a-000.png", "a-001.png"}},
        {{"-f", "jpg", "-Q", "100", "-g", "-j", "1", "-o", "%", "-p", "1", "@/a.pdf"},
         0,
         {},
         {},
         {"a-000.jpg", "a-001.jpg"}},
        {{"-q", "-f", "raw", "-o", "%", "@/a.pdf"}, 0, {}, {""}, all},
        {{"--quiet", "-f", "raw", "-o", "%", "@/a.pdf"}, 0, {}, {""}, all},
        {{"-v", "-f", "raw", "-o", "%", "-p", "1,3", "@/a.pdf"},
         0,
         {"%/a-000.ppm (page 1)\n%/a-001.pbm (page 1)\n%/a-002.ppm (page 3)\n"
          "%/a-003.pbm (page 3)\n"},
         {},
         {}},
        {{"-r", "@/tree", "-f", "raw", "-o", "%", "@/a.pdf"},
         0,
         {},
         {"b.pdf: 1 page", "a.pdf: 3 pages"},
         {"a-000.ppm", "a-001.pbm", "a-002.ppm", "a-003.pbm", "a-004.ppm", "a-005.pbm", "b-000.ppm",
          "b-001.pbm"}},
        {{"--interpret-every-page", "-f", "raw", "-o", "%", "@/a.pdf"}, 0, {}, {}, all},
        {{"--max-images", "3", "-f", "raw", "-o", "%", "@/a.pdf"},
         1,
         {},
         {"the limit of 3 images"},
         {"a-000.ppm", "a-001.pbm", "a-002.ppm"}},
        {{"--max-bytes", "4", "-f", "raw", "-o", "%", "@/a.pdf"}, 1, {}, {"limit of 4 bytes"}, {}},
        // Documents refused: status 1, the run goes on.
        {{"-f", "raw", "-o", "%", "@/bad.pdf", "@/a.pdf"},
         1,
         {},
         {"talvore-extract: @/bad.pdf: Not a valid pdf file!"},
         all},
        {{"-f", "raw", "-p", "5-9", "@/a.pdf"}, 1, {}, {"file only contain 3 pages"}, {}},
    };
    int number = 0;
    for (const Case& c : cases) {
        const std::string out = folder / ("out" + std::to_string(++number));
        const auto expand = [&](std::string text) {
            for (size_t at; (at = text.find('%')) != std::string::npos;)
                text.replace(at, 1, out);
            for (size_t at; (at = text.find('@')) != std::string::npos;)
                text.replace(at, 1, folder.Path());
            return text;
        };
        Strings args;
        std::string trace;
        for (const std::string& arg : c.args) {
            args.push_back(expand(arg));
            trace += " " + arg;
        }
        SCOPED_TRACE(trace.empty() ? " (none)" : trace);
        const CliResult result = RunCli(args);
        EXPECT_EQ(result.status, c.status) << result.err;
        for (const std::string& text : c.out)
            EXPECT_TRUE(Contains(result.out, expand(text))) << result.out;
        for (const std::string& text : c.err) {
            if (text.empty()) {
                EXPECT_EQ(result.err, "");
            } else {
                EXPECT_TRUE(Contains(result.err, expand(text))) << result.err;
            }
        }
        if (!c.files.empty()) {
            EXPECT_EQ(ListFolder(out), c.files);
        }
        if (c.err.size() == 2) { // in the order the command line gives them
            EXPECT_LT(result.err.find(expand(c.err[0])), result.err.find(expand(c.err[1])))
                << result.err;
        }
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

TEST(ExtractCommand, PasswordsFromAFileTheEnvironmentAndNeverToAChild) {
    TemporaryFolder folder;
    WritePdf(folder / "plain.pdf", 1);
    const std::string user = "user secret 1";
    const std::string owner = "owner secret 2";
    ASSERT_TRUE(EncryptWithQpdf(folder / "plain.pdf", folder / "locked.pdf", user, owner, 256, {}));
    ASSERT_TRUE(WriteWholeFile(folder / "pw", user + "\nsecond line\n"));
    ASSERT_TRUE(WriteWholeFile(folder / "pw-crlf", user + "\r\n"));
    ASSERT_TRUE(WriteWholeFile(folder / "wrong", "nope\n"));
    // A file browser that records what it is given.
    std::filesystem::create_directories(folder / "bin");
    ASSERT_TRUE(WriteWholeFile(folder / "bin/xdg-open",
                               "#!/bin/sh\n{ printf '%s\\n' \"$0\" \"$@\"; env; } > \"" +
                                   folder / "child.tmp" + "\"\nmv \"" + folder / "child.tmp" +
                                   "\" \"" + folder / "child.txt" + "\"\n"));
    std::filesystem::permissions(folder / "bin/xdg-open", std::filesystem::perms::owner_all);
    const std::string path = "PATH=" + folder / "bin" + ":/usr/bin:/bin";

    struct Case {
        std::vector<std::string> args;
        CliInput input;
        int status;
        const char* err;
    } cases[] = {
        {{"--password-file", folder / "pw"}, {}, 0, ": 1 page, 2 images"},
        {{"--password-file", folder / "pw-crlf"}, {}, 0, ": 1 page, 2 images"},
        {{"--password-file", "-"}, {folder / "pw"}, 0, ": 1 page, 2 images"},
        {{}, {"/dev/null", {"TALVORE_USER_PASSWORD=" + user}}, 0, ": 1 page, 2 images"},
        {{}, {"/dev/null", {"TALVORE_OWNER_PASSWORD=" + owner}}, 0, ": 1 page, 2 images"},
        // The option wins over the file and the environment.
        {{"--user-password", user, "--password-file", folder / "wrong"},
         {"/dev/null", {"TALVORE_USER_PASSWORD=nope"}},
         0,
         ": 1 page, 2 images"},
        {{"--password-file", folder / "pw"},
         {"/dev/null", {"TALVORE_USER_PASSWORD=nope"}},
         0,
         ": 1 page, 2 images"},
        {{}, {}, 1, "locked.pdf: incorrect password\n"},
        {{"--password-file", folder / "wrong"}, {}, 1, "locked.pdf: incorrect password\n"},
    };
    int number = 0;
    for (Case& c : cases) {
        SCOPED_TRACE(++number);
        const std::string out = folder / ("out" + std::to_string(number));
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"-f", "raw", "-o", out, folder / "locked.pdf"});
        const CliResult result = RunCli(args, c.input);
        EXPECT_EQ(result.status, c.status) << result.err;
        EXPECT_TRUE(Contains(result.err, c.err)) << result.err;
        EXPECT_FALSE(Contains(result.err, "Not a valid pdf file!")) << result.err;
        EXPECT_EQ(ListFolder(out).size(), c.status == 0 ? 2u : 0u);
    }

    // The file browser of --open gets no password, in argv or environment.
    const CliResult opened = RunCli(
        {"--open", "-f", "raw", "-o", folder / "opened", folder / "locked.pdf"},
        {"/dev/null", {"TALVORE_USER_PASSWORD=" + user, "TALVORE_OWNER_PASSWORD=" + owner, path}});
    EXPECT_EQ(opened.status, 0) << opened.err;
    for (int wait = 0; wait < 500 && !std::filesystem::exists(folder / "child.txt"); ++wait)
        usleep(10000);
    const std::string child = ReadWholeFile(folder / "child.txt");
    EXPECT_TRUE(Contains(child, folder / "opened")) << child;
    EXPECT_FALSE(Contains(child, "secret")) << child;
    EXPECT_FALSE(Contains(child, "TALVORE_")) << child;
    for (const std::string& name : ListFolder(folder / "opened"))
        EXPECT_FALSE(Contains(ReadWholeFile(folder / "opened/" + name), "secret")) << name;
}

// A terminal on standard input: the prompt asks once, with echo off.
TEST(ExtractCommand, PromptsForAMissingUserPasswordOnATerminal) {
    TemporaryFolder folder;
    WritePdf(folder / "plain.pdf", 1);
    ASSERT_TRUE(
        EncryptWithQpdf(folder / "plain.pdf", folder / "locked.pdf", "typed", "owner", 256, {}));
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string terminal = ptsname(master);

    const std::string errPath = folder / "err";
    const pid_t child = SpawnCli({"-f", "raw", "-o", folder / "out", folder / "locked.pdf"},
                                 {terminal, {}, folder.Path()}, folder / "stdout", errPath);
    ASSERT_GT(child, 0);
    for (int wait = 0; wait < 500 && !Contains(ReadWholeFile(errPath), "Password for"); ++wait)
        usleep(10000);
    EXPECT_TRUE(Contains(ReadWholeFile(errPath), "Password for " + folder / "locked.pdf" + ": "));
    ASSERT_EQ(write(master, "typed\n", 6), 6);
    EXPECT_EQ(WaitForExit(child), 0) << ReadWholeFile(errPath);
    EXPECT_EQ(ListFolder(folder / "out").size(), 2u);
    // What the terminal showed: the newline, not the password.
    fcntl(master, F_SETFL, O_NONBLOCK);
    char shown[256];
    const ssize_t got = read(master, shown, sizeof shown);
    EXPECT_FALSE(Contains(std::string(shown, got > 0 ? static_cast<size_t>(got) : 0), "typed"));
    close(master);
}

TEST(ExtractCommand, ReadsAPdfFromStandardInput) {
    TemporaryFolder folder;
    WritePdf(folder / "a.pdf", 2);
    ASSERT_TRUE(WriteWholeFile(folder / "empty", ""));

    const CliResult plain = RunCli({"-f", "raw", "-v", "-"}, {folder / "a.pdf", {}, folder.Path()});
    EXPECT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(ListFolder(folder / "stdin"),
              (std::vector<std::string>{"-000.ppm", "-001.pbm", "-002.ppm", "-003.pbm"}));
    EXPECT_TRUE(Contains(plain.out, "stdin/-003.pbm (page 2)")) << plain.out;
    EXPECT_TRUE(Contains(plain.err, "(standard input): 2 pages, 4 images")) << plain.err;

    // A title of its own, beside a file of the same title.
    const CliResult titled = RunCli(
        {"-f", "raw", "-o", folder / "out", "--title", "a", "-", folder / "a.pdf", "-p", "1"},
        {folder / "a.pdf"});
    EXPECT_EQ(titled.status, 0) << titled.err;
    EXPECT_EQ(ListFolder(folder / "out"),
              (std::vector<std::string>{"a-000.ppm", "a-001.pbm", "a_2-000.ppm", "a_2-001.pbm"}));

    const CliResult empty = RunCli({"-o", folder / "none", "-"}, {folder / "empty"});
    EXPECT_EQ(empty.status, 1);
    EXPECT_TRUE(Contains(empty.err, "talvore-extract: (standard input): Not a valid pdf file!"))
        << empty.err;
}

TEST(ExtractCommand, NamesAreEscapedDiagnosticsNamedAndUnopenedDocumentsListed) {
    TemporaryFolder folder;
    const std::string hostile = "a\nb\x1b[31m\xc2\x9b.pdf";
    WritePdf(folder / hostile, 1);
    ASSERT_TRUE(WriteWholeFile(folder / "bad.pdf", "%PDF-1.4 garbage"));
    const CliResult escaped = RunCli({"-v", "-f", "raw", folder / hostile, folder / "bad.pdf"});
    EXPECT_EQ(escaped.status, 1);
    for (const std::string* stream : {&escaped.out, &escaped.err}) {
        EXPECT_EQ(stream->find('\x1b'), std::string::npos) << *stream;
        EXPECT_EQ(stream->find("\xc2\x9b"), std::string::npos) << *stream;
        EXPECT_TRUE(Contains(*stream, "a\\nb\\x1b[31m\\x9b")) << *stream;
    }
    EXPECT_EQ(std::count(escaped.out.begin(), escaped.out.end(), '\n'), 2) << escaped.out;
    // The core's lines say which document they are about.
    EXPECT_TRUE(Contains(escaped.err, "talvore-extract: " + folder / "bad.pdf" + ": Syntax"))
        << escaped.err;

    // The page range ends the run at the first document: the others are
    // named, none is opened.
    WritePdf(folder / "one.pdf", 1);
    WritePdf(folder / "two.pdf", 3);
    const CliResult range = RunCli(
        {"-f", "raw", "-p", "2", folder / "one.pdf", folder / "two.pdf", folder / "bad.pdf"});
    EXPECT_EQ(range.status, 1);
    EXPECT_TRUE(Contains(range.err, "file only contain 1 pages")) << range.err;
    for (const char* name : {"two.pdf", "bad.pdf"})
        EXPECT_TRUE(Contains(range.err, folder / name + ": not opened")) << range.err;
    EXPECT_FALSE(Contains(range.err, "Syntax")) << range.err;
    EXPECT_FALSE(std::filesystem::exists(folder / "two"));

    // A name beyond the file system's limit is refused with a message.
    const std::string longName = std::string(250, 'n') + ".pdf";
    WritePdf(folder / longName, 1);
    const CliResult tooLong = RunCli({"-f", "raw", "-o", folder / "out", folder / longName});
    EXPECT_EQ(tooLong.status, 1);
    EXPECT_TRUE(Contains(tooLong.err, "longer than " + std::to_string(NAME_MAX) + " bytes"))
        << tooLong.err;
    // A folder that cannot be made says why.
    const CliResult blocked = RunCli({"-o", folder / "one.pdf/sub", folder / "one.pdf"});
    EXPECT_EQ(blocked.status, 1);
    EXPECT_TRUE(Contains(blocked.err, "Not a directory")) << blocked.err;
    // An image that cannot be written says why, after the document's path.
    std::filesystem::create_directories(folder / "taken/one-000.ppm");
    const CliResult taken = RunCli({"-f", "raw", "-o", folder / "taken", folder / "one.pdf"});
    EXPECT_EQ(taken.status, 1);
    EXPECT_TRUE(Contains(taken.err, "talvore-extract: " + folder / "one.pdf" +
                                        ": image not written: " + folder / "taken/one-000.ppm: "))
        << taken.err;
    EXPECT_TRUE(Contains(taken.err, "Is a directory")) << taken.err;
}

// One page that takes long to interpret (forms drawing the next one four
// times, 4^depth fills), after an image; a second page with an image. Each
// level names its form apart, so that the page scan meets each form once.
void WriteSlowPdf(const std::string& path, int depth) {
    PdfWriter writer;
    int form = writer.AddForm("0 0 1 1 re f", "<< >>");
    for (int level = 1; level < depth; ++level) {
        // Appended, not `"F" + string`: GCC 12 -O3 sees an overlap there.
        std::string name = "F";
        name += std::to_string(level - 1);
        std::string draws;
        for (int i = 0; i < 4; ++i)
            draws += "q /" + name + " Do Q\n";
        form = writer.AddForm(draws, XObjectResources({{name, form}}));
    }
    std::string top = "F";
    top += std::to_string(depth - 1);
    const int image = writer.AddImage(2, 2, "/DeviceRGB", 8, "", GradientSamples(2, 2, 3));
    writer.AddPage(DrawXObject("I") + "/" + top + " Do\n",
                   XObjectResources({{"I", image}, {top, form}}));
    writer.AddPage(DrawXObject("I"), XObjectResources({{"I", image}}));
    ASSERT_TRUE(writer.WriteFile(path));
}

TEST(ExtractCommand, SignalsStopThenEndAtOnce) {
    TemporaryFolder folder;
    WriteSlowPdf(folder / "slow.pdf", 13);
    struct Case {
        std::vector<int> signals;
        bool stoppedLine; // the run ended itself and said so
    } cases[] = {{{SIGINT}, true}, {{SIGTERM}, true}, {{SIGINT, SIGTERM}, false}};
    int number = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(++number);
        const std::string out = folder / ("out" + std::to_string(number));
        const std::string errPath = folder / ("err" + std::to_string(number));
        const auto started = std::chrono::steady_clock::now();
        const pid_t child =
            SpawnCli({"-f", "png", "-o", out, folder / "slow.pdf"}, {}, folder / "stdout", errPath);
        ASSERT_GT(child, 0);
        // In the slow page once the output folder is there.
        for (int wait = 0; wait < 500 && !std::filesystem::exists(out); ++wait)
            usleep(10000);
        usleep(200000);
        for (int signal : c.signals)
            kill(child, signal);
        EXPECT_EQ(WaitForExit(child), 130);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
        const std::string err = ReadWholeFile(errPath);
        EXPECT_EQ(Contains(err, "talvore-extract: stopped\n"), c.stoppedLine) << err;
        // Nothing half-written stays; after a stop the first page's image is
        // still converted, and the second page is never reached.
        const std::vector<std::string> files = ListFolder(out);
        for (const std::string& name : files)
            EXPECT_EQ(name.find(".talvore-"), std::string::npos) << name;
        if (c.stoppedLine) {
            EXPECT_EQ(files, std::vector<std::string>{"slow-000.png"});
        }
    }
}

} // namespace
} // namespace talvore

namespace talvore {
namespace {

TEST(ExtractCommand, ListingWritesNothingAndItsJsonNamesTheFilesARunWrites) {
    TemporaryFolder folder;
    WritePdf(folder / "report.pdf", 3);
    const CliResult text =
        RunCli({"--list", "-f", "png", "-o", folder / "out", folder / "report.pdf"});
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_FALSE(std::filesystem::exists(folder / "out"));
    EXPECT_NE(text.out.find("report-000.png"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("DeviceRGB"), std::string::npos) << text.out;

    const CliResult json =
        RunCli({"--list", "--json", "-f", "png", "-o", folder / "out", folder / "report.pdf"});
    EXPECT_EQ(json.status, 0) << json.err;
    const nlohmann::json parsed = nlohmann::json::parse(json.out);
    const nlohmann::json& document = parsed.at("documents").at(0);
    EXPECT_EQ(document.at("path"), folder / "report.pdf");
    EXPECT_EQ(document.at("pages"), 3);
    EXPECT_EQ(document.at("encrypted"), false);
    EXPECT_EQ(document.at("permissions").at("copy"), true);
    std::vector<std::string> listed;
    for (const nlohmann::json& image : document.at("images")) {
        for (const char* key :
             {"page", "number", "object", "kind", "width", "height", "colour_space", "components",
              "bits_per_component", "filters", "stored_bytes", "becomes", "file", "repeat_of"})
            EXPECT_TRUE(image.contains(key)) << key;
        if (!image.at("file").is_null())
            listed.push_back(std::filesystem::path(image.at("file").get<std::string>()).filename());
    }

    std::filesystem::create_directories(folder / "out");
    const CliResult run = RunCli({"-f", "png", "-o", folder / "out", folder / "report.pdf"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(listed, ListFolder(folder / "out"));

    const CliResult pattern =
        RunCli({"--name-pattern", "%p", "-o", folder / "out", folder / "report.pdf"});
    EXPECT_EQ(pattern.status, EXIT_USAGE);
    EXPECT_NE(pattern.err.find("must hold %n"), std::string::npos) << pattern.err;
    EXPECT_EQ(RunCli({"--json", folder / "report.pdf"}).status, EXIT_USAGE);
}

} // namespace
} // namespace talvore
