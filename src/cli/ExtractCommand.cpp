#include "cli/ExtractCommand.h"

#include "cli/ListingPrinter.h"
#include "cli/PasswordInput.h"
#include "cli/TerminalObserver.h"
#include "convert/OutputFile.h"
#include "convert/OutputFormats.h"
#include "convert/PageSelection.h"

#include <CLI/CLI.hpp>
#include <TalvoreVersion.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <limits>
#include <memory>
#include <unistd.h>

namespace talvore {
namespace {

constexpr const char* kProgram = "talvore-extract";
constexpr const char* kStandardInput = "-";
// How messages name a document read from standard input.
constexpr const char* kStandardInputName = "(standard input)";

constexpr const char* kFooter = R"(Output:
  With -o every image goes into DIR, named after its document:
  DIR/report-000.jpg, DIR/report-001.png, ... Without it each PDF gets a
  folder named after it, beside it: /docs/report.pdf -> /docs/report/-000.jpg.
  A document never overwrites the files of an earlier one of the run: a
  second report.pdf in DIR gets report_2-000.jpg, and a folder name taken by
  a file becomes report_images/. A PDF read from standard input ("-") goes
  to ./stdin/ or DIR/stdin-000.jpg (or the --title given).
  JPEG streams are copied byte for byte as .jpg in every format; with
  "raw" the other images stay .ppm (colour) and .pbm (1-bit) files.

Passwords, first found wins: --user-password/--owner-password, then
--password-file (the user password, first line; "-" for standard input),
then TALVORE_USER_PASSWORD and TALVORE_OWNER_PASSWORD. When a document
needs a user password and none was given, it is asked for on the terminal
(without echo) if standard input is one.

Progress and messages go to stderr: on a terminal one redrawn progress
line, otherwise one line per document. With -v every file written goes to
stdout with its page. Ctrl-C (or SIGTERM) stops after the current page; a
second one ends at once and removes the files being written.

Settings: built-in defaults (format jpg, quality 70, colour JPEG, all
pages), or those of --settings FILE (the Settings.ini layout), then the
options given here.

Exit status:
  0    every document was extracted and every image written
  1    a document was refused (not a PDF, incorrect password, copying not
       allowed, page range beyond the document) or an image could not be
       written or converted
  2    usage error
  130  interrupted (Ctrl-C, SIGTERM)
)";

// Signals: the first sets the stop, the second ends the process at once.
std::atomic<int> g_signals{0};
StopEvent* g_stop = nullptr;

extern "C" void OnStopSignal(int) {
    if (g_signals.fetch_add(1) == 0 && g_stop) {
        g_stop->Set(); // a lock-free atomic store
        return;
    }
    RestoreTerminal();
    RemoveFilesInWork();
    _exit(EXIT_INTERRUPTED);
}

void InstallStopHandlers(StopEvent* stop) {
    g_stop = stop;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    action.sa_flags = 0; // no SA_RESTART: a password prompt ends on Ctrl-C
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool UsageError(const std::string& text, int* exitStatus) {
    std::fprintf(stderr, "%s: %s\nRun with --help for more information.\n", kProgram,
                 EscapeControls(text).c_str());
    *exitStatus = EXIT_USAGE;
    return false;
}

bool ReadStandardInput(std::string* bytes, std::string* error) {
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got == 0)
            return true;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            *error =
                std::string("cannot read the PDF from standard input: ") + std::strerror(errno);
            return false;
        }
        bytes->append(buffer, static_cast<size_t>(got));
    }
}

} // namespace

bool ParseExtractCommandLine(int argc, const char* const* argv, ExtractOptions& options,
                             int* exitStatus) {
    CLI::App app{"Extracts the raster images of PDF files into image files.", kProgram};
    app.footer(kFooter);
    app.get_formatter()->column_width(28);
    app.set_version_flag("--version", std::string(kProgram) + " " + TALVORE_VERSION,
                         "print the version and exit");

    std::string format;
    std::string output;
    std::string pages;
    int32_t quality = -1;
    bool gray = false;
    std::string ownerPassword;
    std::string userPassword;
    std::string passwordFile;
    std::vector<std::string> folders;
    std::string settingsFile;
    std::string title;
    bool open = false;
    bool interpretEveryPage = false;
    bool unique = false;
    bool keepEncoded = false;
    bool alpha = false;
    std::string namePattern;
    unsigned jobs = 0;
    uint64_t maxImages = 0;
    uint64_t maxBytes = 0;
    std::vector<std::string> pdfs;
    const DeviceLimits defaults;

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
                   "pages, counted from 1: a list of pages and ranges, \"1,3,5-7,10-\"; \"A-\" "
                   "runs to the last page")
        ->type_name("LIST")
        ->check([](const std::string& value) {
            std::string error;
            return PageSelection::Parse(value, &error) ? std::string() : error;
        });
    app.add_option("-Q,--quality", quality, "JPEG quality (JpegQuality), 1-100, default 70")
        ->type_name("N")
        ->check(CLI::Range(1, 100).description(""));
    app.add_flag("-g,--gray", gray, "grey-scale JPEG (JpegGrayScale 0)");
    app.add_option("--owner-password", ownerPassword,
                   "owner password, for every PDF given (visible to other users: prefer "
                   "TALVORE_OWNER_PASSWORD)")
        ->type_name("P");
    app.add_option("--user-password", userPassword,
                   "user password, for every PDF given (visible to other users: prefer "
                   "--password-file)")
        ->type_name("P");
    app.add_option("--password-file", passwordFile,
                   "user password from the first line of FILE (\"-\": standard input)")
        ->type_name("FILE");
    app.add_option("-r,--recursive", folders,
                   "add every PDF in the folder tree; one folder each, may be repeated")
        ->type_name("DIR")
        ->expected(1)
        ->allow_extra_args(false)
        ->check(CLI::Validator(CLI::ExistingDirectory).description(""));
    app.add_option("--title", title,
                   "the name a PDF from standard input (\"-\") is saved under; default stdin")
        ->type_name("NAME");
    app.add_option("--settings", settingsFile, "defaults from a file in the Settings.ini layout")
        ->type_name("FILE")
        ->check(CLI::Validator(CLI::ExistingFile).description(""));
    app.add_option("-j,--jobs", jobs,
                   "conversion threads (default: one per core); the files do not depend on it")
        ->type_name("N")
        ->check(CLI::Range(1, 1024).description(""));
    app.add_option("--max-images", maxImages,
                   "images one document may write at most; default " +
                       std::to_string(defaults.MaxImages))
        ->type_name("N")
        ->check(CLI::Range(uint64_t{1}, std::numeric_limits<uint64_t>::max()).description(""));
    app.add_option("--max-bytes", maxBytes,
                   "decoded image bytes one document may write at most; default " +
                       std::to_string(defaults.MaxBytes))
        ->type_name("N")
        ->check(CLI::Range(uint64_t{1}, std::numeric_limits<uint64_t>::max()).description(""));
    app.add_flag("--open", open, "open the output folder in the file browser at the end");
    app.add_flag("-q,--quiet", options.Quiet, "no progress output (messages are still shown)");
    app.add_flag("-v,--verbose", options.Verbose,
                 "print every file written, with the page it came from, on stdout");
    app.add_flag("--list", options.List,
                 "write nothing: list every image the same command would write, one row each");
    app.add_flag("--json", options.Json, "with --list: the listing as one JSON document");
    app.add_flag("--unique", unique,
                 "write each image object once, at its first draw; later draws keep their "
                 "numbers (names match a full run) and are listed as repeats");
    app.add_flag("--keep-encoded", keepEncoded,
                 "copy grey and CMYK JPEG, JPEG 2000 (.jp2/.j2k) and fax streams (as .tif) as "
                 "stored, without decoding (Keep Encoded)");
    app.add_flag("--alpha", alpha,
                 "keep transparency (Keep Alpha): masked images as RGBA or grey+alpha in "
                 "png/tif/tga; other formats get the mask beside the image as <name>-alpha");
    app.add_option("--name-pattern", namePattern,
                   "file names: %t title, %p page, %n number, %o object, %% a percent sign; "
                   "must hold %n, and %t with -o")
        ->type_name("PATTERN");
    app.add_flag(
        "--interpret-every-page", interpretEveryPage,
        "interpret also pages that can reach no image (same output, slower; for measurements)");
    CLI::Option* positional =
        app.add_option("PDF", pdfs, "PDF files to extract, in this order; \"-\": standard input")
            ->type_name("");
    CLI::Option* recursive = app.get_option("--recursive");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        *exitStatus = app.exit(e);
        return false;
    } catch (const CLI::CallForVersion& e) {
        *exitStatus = app.exit(e);
        return false;
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        *exitStatus = EXIT_USAGE;
        return false;
    }
    if (options.Quiet && options.Verbose)
        return UsageError("--quiet and --verbose exclude each other", exitStatus);

    const auto readsStandardInput =
        static_cast<int>(std::count(pdfs.begin(), pdfs.end(), std::string(kStandardInput)));
    if (readsStandardInput > 1)
        return UsageError("standard input (\"-\") can be read only once", exitStatus);
    if (readsStandardInput > 0 && passwordFile == kStandardInput)
        return UsageError("standard input cannot give both the PDF and the password", exitStatus);
    if (!title.empty() && readsStandardInput == 0)
        return UsageError("--title names a PDF read from standard input (\"-\")", exitStatus);

    // Passwords: an option, then the file, then the environment.
    if (userPassword.empty() && !passwordFile.empty()) {
        std::string error;
        const std::optional<std::string> read = ReadPasswordFile(passwordFile, &error);
        if (!read)
            return UsageError(error, exitStatus);
        userPassword = *read;
    }
    if (userPassword.empty())
        userPassword = PasswordFromEnvironment("TALVORE_USER_PASSWORD").value_or("");
    if (ownerPassword.empty())
        ownerPassword = PasswordFromEnvironment("TALVORE_OWNER_PASSWORD").value_or("");
    // Read once; a child (the file browser of --open) does not inherit them.
    ::unsetenv("TALVORE_USER_PASSWORD");
    ::unsetenv("TALVORE_OWNER_PASSWORD");

    ConversionSettings settings;
    if (!settingsFile.empty()) {
        for (const std::string& warning : LoadSettings(settings, settingsFile))
            std::fprintf(stderr, "%s: %s: %s\n", kProgram, EscapeControls(settingsFile).c_str(),
                         EscapeControls(warning).c_str());
    }
    if (!format.empty())
        settings.ImagesFormat = FindOutputFormat(format)->Mode;
    if (quality > 0)
        settings.JpegQuality = quality;
    if (gray)
        settings.JpegGrayScale = 0;
    if (keepEncoded)
        settings.KeepEncoded = true;
    if (alpha)
        settings.KeepAlpha = true;
    settings.OpenResult = open ? 0 : 1;
    settings.OutputDirectory = output;

    options.Job = ExtractionJob(settings);
    if (!pages.empty()) {
        std::string error;
        options.Job.SetPageSelection(PageSelection::Parse(pages, &error));
    }
    options.Job.SetInterpretEveryPage(interpretEveryPage);
    options.Job.SetThreads(jobs);
    if (options.Json && !options.List) {
        std::fprintf(stderr, "%s: --json goes with --list\n", kProgram);
        *exitStatus = EXIT_USAGE;
        return false;
    }
    options.Job.SetListOnly(options.List);
    options.Job.SetUnique(unique);
    if (!namePattern.empty()) {
        std::string error;
        if (!options.Job.SetNamePattern(namePattern, &error)) {
            std::fprintf(stderr, "%s: --name-pattern: %s\n", kProgram,
                         EscapeControls(error).c_str());
            *exitStatus = EXIT_USAGE;
            return false;
        }
    }
    DeviceLimits limits;
    if (maxImages > 0)
        limits.MaxImages = maxImages;
    if (maxBytes > 0)
        limits.MaxBytes = maxBytes;
    options.Job.SetLimits(limits);

    // Files and folders in the order the command line gives them.
    size_t nextPdf = 0;
    size_t nextFolder = 0;
    for (const CLI::Option* given : app.parse_order()) {
        if (given == recursive && nextFolder < folders.size()) {
            options.Job.AddFolder(folders[nextFolder++], ownerPassword, userPassword);
        } else if (given == positional && nextPdf < pdfs.size()) {
            const std::string& pdf = pdfs[nextPdf++];
            if (pdf != kStandardInput) {
                options.Job.AddFile(pdf, ownerPassword, userPassword);
                continue;
            }
            auto bytes = std::make_shared<std::string>();
            std::string error;
            if (!ReadStandardInput(bytes.get(), &error)) {
                std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
                *exitStatus = EXIT_FAILED;
                return false;
            }
            RunEntry entry;
            entry.Path = kStandardInputName;
            entry.Title = title.empty() ? "stdin" : title;
            entry.Data = std::move(bytes);
            entry.OwnerPassword = ownerPassword;
            entry.UserPassword = userPassword;
            entry.Row = static_cast<int>(options.Job.Entries().size()) + 1;
            options.Job.AddEntry(std::move(entry));
        }
    }
    if (options.Job.Entries().empty()) {
        if (!folders.empty()) {
            std::fprintf(stderr, "%s: no PDF files in the folders given\n", kProgram);
            *exitStatus = EXIT_FAILED;
            return false;
        }
        return UsageError("no PDF files given", exitStatus);
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
    if (!outputDirectory.empty() && !options.List) {
        std::error_code error;
        std::filesystem::create_directories(outputDirectory, error);
        if (!std::filesystem::is_directory(outputDirectory)) {
            std::fprintf(stderr, "%s: cannot create the output folder '%s'%s%s\n", kProgram,
                         EscapeControls(outputDirectory).c_str(), error ? ": " : "",
                         error ? error.message().c_str() : "");
            return EXIT_FAILED;
        }
    }

    const auto stop = std::make_shared<StopEvent>();
    InstallStopHandlers(stop.get());

    TerminalObserver observer(stderr, isatty(STDERR_FILENO) != 0, options.Quiet,
                              options.Verbose ? stdout : nullptr);
    const bool inputTaken =
        std::any_of(options.Job.Entries().begin(), options.Job.Entries().end(),
                    [](const RunEntry& entry) { return entry.Data != nullptr; });
    if (!inputTaken && CanPromptForPassword())
        observer.SetPasswordPrompt(PromptForPassword);
    if (options.List)
        observer.SetListing(stdout, options.Json);
    const RunSummary& summary = options.Job.Run(observer, stop);
    observer.Finish();
    if (options.Json)
        std::fputs(ListingJson(observer.Reports()).c_str(), stdout);
    // The page-range message ends the run: the documents after it are named,
    // so none goes missing unnoticed.
    const std::vector<RunEntry>& entries = options.Job.Entries();
    if (summary.RangeError) {
        for (size_t i = static_cast<size_t>(observer.LastFinished()); i < entries.size(); ++i)
            observer.PrintLine(std::string(kProgram) + ": " + entries[i].Path +
                               ": not opened, the run ended at the page range");
    }
    if (summary.Stopped)
        std::fprintf(stderr, "%s: stopped\n", kProgram);
    return options.Job.ExitStatus();
}

} // namespace talvore
