#include "cli/ExtractCommand.h"

#include "cli/TerminalObserver.h"
#include "convert/OutputFormats.h"

#include <CLI/CLI.hpp>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <unistd.h>

namespace talvore {
namespace {

constexpr const char* kProgram = "talvore-extract";

constexpr const char* kFooter = R"(Output:
  With -o every image goes into DIR, named after its document:
  DIR/report-000.jpg, DIR/report-001.png, ... Without it each PDF gets a
  folder named after it, beside it: /docs/report.pdf -> /docs/report/-000.jpg.
  JPEG streams are copied byte for byte as .jpg in every format; with
  "raw" the other images stay .ppm (colour) and .pbm (1-bit) files.

Progress and messages go to stderr: on a terminal one redrawn progress
line, otherwise one line per document. Ctrl-C stops after the current
document.

Settings: built-in defaults (format jpg, quality 70, colour JPEG, all
pages), or those of --settings FILE (the Settings.ini layout), then the
options given here.

Exit status:
  0  every document was extracted and every image written
  1  a document was refused ("Not a valid pdf file!", copying not allowed,
     page range beyond the document), an image could not be written or
     converted, or the run was stopped
  2  usage error
)";

std::shared_ptr<StopEvent> g_stop;

extern "C" void OnInterrupt(int) {
    // Lock-free atomic store: safe in a signal handler.
    if (g_stop)
        g_stop->Set();
}

bool ParseInt(const std::string& text, int32_t* value) {
    if (text.empty() || text.size() > 10)
        return false;
    int64_t result = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        result = result * 10 + (c - '0');
    }
    if (result > std::numeric_limits<int32_t>::max())
        return false;
    *value = static_cast<int32_t>(result);
    return true;
}

} // namespace

bool ParsePageRange(const std::string& text, int32_t* start, int32_t* end) {
    const size_t dash = text.find('-');
    if (dash == std::string::npos) {
        if (!ParseInt(text, start))
            return false;
        *end = *start;
        return true;
    }
    if (!ParseInt(text.substr(0, dash), start))
        return false;
    const std::string last = text.substr(dash + 1);
    if (last.empty()) {
        *end = std::numeric_limits<int32_t>::max(); // the run stops at the last page
        return true;
    }
    return ParseInt(last, end);
}

bool ParseExtractCommandLine(int argc, const char* const* argv, ExtractOptions& options,
                             int* exitStatus) {
    CLI::App app{"Extracts the raster images of PDF files into image files.", kProgram};
    app.footer(kFooter);
    app.get_formatter()->column_width(28);

    std::string format;
    std::string output;
    std::string pages;
    int32_t quality = -1;
    bool gray = false;
    std::string ownerPassword;
    std::string userPassword;
    std::vector<std::string> folders;
    std::string settingsFile;
    bool open = false;
    bool interpretEveryPage = false;
    unsigned jobs = 0;
    std::vector<std::string> pdfs;

    app.add_option("-f,--format", format,
                   OutputFormatNames("|") + ", or 0-" + std::to_string(OutputFormats().size() - 1) +
                       " (ImagesFormat); default jpg")
        ->type_name("FMT")
        ->check([](const std::string& value) {
            return FindOutputFormat(value) ? std::string()
                                           : std::string("unknown format '") + value + "'";
        });
    app.add_option("-o,--output", output,
                   "common output folder (OutputDirectory), created when missing; default: a "
                   "folder named after each PDF, beside it")
        ->type_name("DIR");
    app.add_option("-p,--pages", pages,
                   "page range (PageRange 1, StartPage A, EndPage B); \"A-\" runs to the last page")
        ->type_name("A-B")
        ->check([](const std::string& value) {
            int32_t a = 0, b = 0;
            return ParsePageRange(value, &a, &b) ? std::string()
                                                 : "page range must read A-B, A- or A";
        });
    app.add_option("-q,--quality", quality, "JPEG quality (JpegQuality), 1-100, default 70")
        ->type_name("N")
        ->check(CLI::Range(1, 100).description(""));
    app.add_flag("-g,--gray", gray, "grey-scale JPEG (JpegGrayScale 0)");
    app.add_option("--owner-password", ownerPassword, "owner password, for every PDF given")
        ->type_name("P");
    app.add_option("--user-password", userPassword, "user password, for every PDF given")
        ->type_name("P");
    app.add_option("-r,--recursive", folders, "add every PDF in the folder tree (may be repeated)")
        ->type_name("DIR")
        ->check(CLI::Validator(CLI::ExistingDirectory).description(""));
    app.add_option("--settings", settingsFile, "defaults from a file in the Settings.ini layout")
        ->type_name("FILE")
        ->check(CLI::Validator(CLI::ExistingFile).description(""));
    app.add_option("-j,--jobs", jobs,
                   "conversion threads (default: one per core); the files do not depend on it")
        ->type_name("N")
        ->check(CLI::Range(1, 1024).description(""));
    app.add_flag("--open", open, "open the output folder in the file browser at the end");
    app.add_flag("--quiet", options.Quiet, "no progress output (messages are still shown)");
    app.add_flag(
        "--interpret-every-page", interpretEveryPage,
        "interpret also pages that can reach no image (same output, slower; for measurements)");
    app.add_option("PDF", pdfs, "PDF files to extract, in this order")->type_name("");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        *exitStatus = app.exit(e);
        return false;
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        *exitStatus = EXIT_USAGE;
        return false;
    }

    ConversionSettings settings;
    if (!settingsFile.empty()) {
        for (const std::string& warning : LoadSettings(settings, settingsFile))
            std::fprintf(stderr, "%s: %s: %s\n", kProgram, settingsFile.c_str(), warning.c_str());
    }
    if (!format.empty())
        settings.ImagesFormat = FindOutputFormat(format)->Mode;
    if (!pages.empty()) {
        settings.PageRange = 1;
        ParsePageRange(pages, &settings.StartPage, &settings.EndPage);
    }
    if (quality > 0)
        settings.JpegQuality = quality;
    if (gray)
        settings.JpegGrayScale = 0;
    settings.OpenResult = open ? 0 : 1;
    settings.OutputDirectory = output;

    options.Job = ExtractionJob(settings);
    options.Job.SetInterpretEveryPage(interpretEveryPage);
    options.Job.SetThreads(jobs);
    for (const std::string& pdf : pdfs)
        options.Job.AddFile(pdf, ownerPassword, userPassword);
    for (const std::string& folder : folders)
        options.Job.AddFolder(folder, ownerPassword, userPassword);
    if (options.Job.Entries().empty()) {
        std::fprintf(stderr, "%s: no PDF files given\nRun with --help for more information.\n",
                     kProgram);
        *exitStatus = EXIT_USAGE;
        return false;
    }
    *exitStatus = EXIT_EXTRACTED;
    return true;
}

int RunExtractCommand(int argc, const char* const* argv) {
    ExtractOptions options;
    int status = EXIT_USAGE;
    if (!ParseExtractCommandLine(argc, argv, options, &status))
        return status;

    const std::string& outputDirectory = options.Job.Settings().OutputDirectory;
    if (!outputDirectory.empty()) {
        std::error_code error;
        std::filesystem::create_directories(outputDirectory, error);
        if (!std::filesystem::is_directory(outputDirectory)) {
            std::fprintf(stderr, "%s: cannot create the output folder '%s'%s%s\n", kProgram,
                         outputDirectory.c_str(), error ? ": " : "",
                         error ? error.message().c_str() : "");
            return EXIT_FAILED;
        }
    }

    g_stop = std::make_shared<StopEvent>();
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    action.sa_flags = SA_RESETHAND; // a second Ctrl-C ends at once
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);

    TerminalObserver observer(stderr, isatty(STDERR_FILENO) != 0, options.Quiet);
    const RunSummary& summary = options.Job.Run(observer, g_stop);
    observer.Finish();
    if (summary.Stopped)
        std::fprintf(stderr, "%s: stopped\n", kProgram);
    return options.Job.ExitStatus();
}

} // namespace talvore
