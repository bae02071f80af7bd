#include "cli/ExtractCommand.h"

#include <CLI/CLI.hpp>
#include <Error.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <memory>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
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
TerminalObserver* g_observer = nullptr;

// The core's own error lines, printed as the core prints them, but clear of
// the progress line.
void OnCoreError(ErrorCategory category, Goffset position, const char* message) {
    static const char* const names[] = {
        "Syntax Warning", "Syntax Error",     "Config Error",          "Command Line Error",
        "I/O Error",      "Permission Error", "Unimplemented Feature", "Internal Error"};
    const size_t index = static_cast<size_t>(category);
    const char* name = index < std::size(names) ? names[index] : "Error";
    if (g_observer) {
        g_observer->PrintLine(position >= 0 ? std::string(name) + " (" + std::to_string(position) +
                                                  "): " + message
                                            : std::string(name) + ": " + message);
    } else {
        std::fprintf(stderr, "%s: %s\n", name, message);
    }
}

extern "C" void OnInterrupt(int) {
    // Lock-free atomic store: safe in a signal handler.
    if (g_stop)
        g_stop->Set();
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
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

bool IsPdfName(const std::string& name) {
    const size_t dot = name.rfind('.');
    return dot != std::string::npos && Lower(name.substr(dot)) == ".pdf";
}

void Scan(const std::filesystem::path& folder, std::vector<std::string>& paths,
          std::set<std::pair<dev_t, ino_t>>& visited) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !visited.insert({info.st_dev, info.st_ino}).second)
        return;
    std::error_code error;
    std::filesystem::directory_iterator it(folder, error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        const std::filesystem::directory_entry& entry = *it;
        std::error_code kindError;
        if (entry.is_directory(kindError)) {
            Scan(entry.path(), paths, visited);
        } else if (IsPdfName(entry.path().filename().string())) {
            paths.push_back(entry.path().string());
        }
    }
}

} // namespace

int ParseOutputFormat(const std::string& text) {
    static const char* const names[] = {"raw", "jpg", "bmp", "gif", "png", "tif", "tga", "pcx"};
    const std::string lower = Lower(text);
    for (int i = 0; i < 8; ++i) {
        if (lower == names[i] || lower == std::to_string(i))
            return i;
    }
    if (lower == "ppm/pbm" || lower == "ppm" || lower == "pbm")
        return OutputRaw;
    if (lower == "jpeg")
        return OutputJpg;
    if (lower == "tiff")
        return OutputTif;
    return -1;
}

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

void ScanFolderForPdfs(const std::string& folder, std::vector<std::string>& paths) {
    std::set<std::pair<dev_t, ino_t>> visited;
    Scan(folder, paths, visited);
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
    std::vector<std::string> pdfs;

    app.add_option("-f,--format", format,
                   "raw|jpg|bmp|gif|png|tif|tga|pcx, or 0-7 (ImagesFormat); default jpg")
        ->type_name("FMT")
        ->check([](const std::string& value) {
            return ParseOutputFormat(value) < 0 ? std::string("unknown format '") + value + "'"
                                                : std::string();
        });
    app.add_option("-o,--output", output,
                   "common output folder (OutputDirectory), created when missing; default: a "
                   "folder named after each "
                   "PDF, beside it")
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
    app.add_flag("--open", open, "open the output folder in the file browser at the end");
    app.add_flag("--quiet", options.Quiet, "no progress output (messages are still shown)");
    app.add_flag(
        "--interpret-every-page", options.InterpretEveryPage,
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
    if (!settingsFile.empty())
        LoadSettings(settings, settingsFile);
    if (!format.empty())
        settings.ImagesFormat = ParseOutputFormat(format);
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
    options.Settings = settings;

    std::vector<std::string> paths = pdfs;
    for (const std::string& folder : folders)
        ScanFolderForPdfs(folder, paths);
    std::set<std::string> seen;
    for (const std::string& path : paths) {
        if (!seen.insert(path).second)
            continue; // the same text twice is listed once
        RunEntry entry;
        entry.Path = path;
        entry.OwnerPassword = ownerPassword;
        entry.UserPassword = userPassword;
        entry.Row = static_cast<int>(options.Entries.size()) + 1;
        options.Entries.push_back(entry);
    }
    if (options.Entries.empty()) {
        std::fprintf(stderr, "%s: no PDF files given\nRun with --help for more information.\n",
                     kProgram);
        *exitStatus = EXIT_USAGE;
        return false;
    }
    *exitStatus = EXIT_EXTRACTED;
    return true;
}

TerminalObserver::TerminalObserver(FILE* stream, bool interactive, bool quiet)
    : m_stream(stream), m_interactive(interactive), m_quiet(quiet) {}

void TerminalObserver::ClearLine() {
    if (m_lineShown) {
        std::fputs("\r\033[K", m_stream);
        m_lineShown = false;
    }
}

void TerminalObserver::Redraw() {
    if (m_quiet || !m_interactive)
        return;
    if (m_total.empty()) {
        std::fprintf(m_stream, "\r\033[K%s", m_current.c_str());
    } else {
        std::fprintf(m_stream, "\r\033[K%s | %s", m_total.c_str(), m_current.c_str());
    }
    std::fflush(m_stream);
    m_lineShown = true;
}

void TerminalObserver::SetCurrentCaption(const std::string& caption) {
    m_current = caption;
    Redraw();
}

void TerminalObserver::SetTotalCaption(const std::string& caption) {
    m_total = caption;
    Redraw();
}

void TerminalObserver::PrintLine(const std::string& line) {
    ClearLine();
    std::fprintf(m_stream, "%s\n", line.c_str());
    std::fflush(m_stream);
    Redraw();
}

void TerminalObserver::ShowMessage(const std::string& text) {
    ClearLine();
    std::fprintf(m_stream, "%s: %s: %s\n", kProgram, m_path.c_str(), text.c_str());
    std::fflush(m_stream);
}

void TerminalObserver::OpenFolder(const std::string& folder) {
    const pid_t child = fork();
    if (child == 0) {
        // Detached from us: the file browser outlives the command.
        if (fork() == 0) {
            execlp("xdg-open", "xdg-open", folder.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        _exit(0);
    }
    if (child > 0)
        waitpid(child, nullptr, 0);
}

void TerminalObserver::DocumentStarted(int, int, const std::string& path) {
    m_path = path;
}

void TerminalObserver::DocumentFinished(const DocumentReport& report) {
    ClearLine();
    for (const std::string& error : report.ConversionErrors) {
        std::fprintf(m_stream, "%s: %s: cannot convert %s\n", kProgram, report.Path.c_str(),
                     error.c_str());
    }
    if (!m_quiet && report.Status == DocumentStatus::Extracted) {
        std::fprintf(m_stream, "%s: %d page%s, %d image%s -> %s", report.Path.c_str(), report.Pages,
                     report.Pages == 1 ? "" : "s", report.ImagesWritten,
                     report.ImagesWritten == 1 ? "" : "s", report.OutputFolder.c_str());
        if (report.ImagesFailed > 0)
            std::fprintf(m_stream, " (%d could not be written)", report.ImagesFailed);
        if (report.ConversionFailures > 0) {
            std::fprintf(m_stream, " (%d not converted)", report.ConversionFailures);
        }
        std::fputc('\n', m_stream);
    }
    std::fflush(m_stream);
    Redraw();
}

int RunExtractCommand(int argc, const char* const* argv) {
    ExtractOptions options;
    int status = EXIT_USAGE;
    if (!ParseExtractCommandLine(argc, argv, options, &status))
        return status;

    if (!options.Settings.OutputDirectory.empty()) {
        std::error_code error;
        std::filesystem::create_directories(options.Settings.OutputDirectory, error);
        if (!std::filesystem::is_directory(options.Settings.OutputDirectory)) {
            std::fprintf(stderr, "%s: cannot create the output folder '%s'%s%s\n", kProgram,
                         options.Settings.OutputDirectory.c_str(), error ? ": " : "",
                         error ? error.message().c_str() : "");
            return EXIT_FAILED;
        }
    }

    EnsurePdfCore();
    g_stop = std::make_shared<StopEvent>();
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    action.sa_flags = SA_RESETHAND; // a second Ctrl-C ends at once
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);

    TerminalObserver observer(stderr, isatty(STDERR_FILENO) != 0, options.Quiet);
    g_observer = &observer;
    setErrorCallback(OnCoreError);
    ConversionRun run(options.Entries, options.Settings, observer, g_stop);
    run.SetInterpretEveryPage(options.InterpretEveryPage);
    const RunSummary summary = run.Run();
    observer.Finish();
    setErrorCallback(nullptr);
    g_observer = nullptr;

    if (summary.Stopped)
        std::fprintf(stderr, "%s: stopped\n", kProgram);
    const bool allExtracted = summary.Documents == static_cast<int>(options.Entries.size()) &&
                              summary.Refused == 0 && !summary.RangeError && !summary.Stopped &&
                              summary.ImagesFailed == 0 && summary.ConversionFailures == 0;
    return allExtracted ? EXIT_EXTRACTED : EXIT_FAILED;
}

} // namespace talvore
