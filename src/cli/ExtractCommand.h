// talvore-extract: parses the command line into a run list and a settings
// record, runs one ConversionRun on the calling thread, prints its progress
// and messages to stderr, and answers the process exit status:
//   0 every document was extracted (and every image written and converted),
//   1 any document was refused or failed, or the run was stopped,
//   2 the command line was wrong.
#pragma once

#include "convert/ConversionRun.h"
#include "convert/RunObserver.h"
#include "settings/ConversionSettings.h"

#include <cstdio>
#include <string>
#include <vector>

namespace talvore {

inline constexpr int EXIT_EXTRACTED = 0;
inline constexpr int EXIT_FAILED = 1;
inline constexpr int EXIT_USAGE = 2;

struct ExtractOptions {
    ConversionSettings Settings; // OpenResult 1 unless --open
    std::vector<RunEntry> Entries;
    bool Quiet = false;
    bool InterpretEveryPage = false;
};

// Parses arguments; on --help or an error prints what CLI11 prints and
// answers the exit status to end with (0 or EXIT_USAGE) in *exitStatus.
bool ParseExtractCommandLine(int argc, const char* const* argv, ExtractOptions& options,
                             int* exitStatus);

// "jpg", "PNG", "ppm/pbm", "raw" or "0".."7"; -1 when unknown.
int ParseOutputFormat(const std::string& text);

// "A-B" or "A-" (to the last page) or "A"; false when malformed.
bool ParsePageRange(const std::string& text, int32_t* start, int32_t* end);

// Every PDF in the folder tree, depth first in the order the file system
// gives; a folder reached twice (links) is walked once.
void ScanFolderForPdfs(const std::string& folder, std::vector<std::string>& paths);

// Prints what the run reports: on a terminal one redrawn progress line, and
// one line per document; messages always, with the document's path.
class TerminalObserver : public RunObserver {
public:
    TerminalObserver(FILE* stream, bool interactive, bool quiet);

    void SetCurrentCaption(const std::string& caption) override;
    void SetTotalCaption(const std::string& caption) override;
    void SetCurrentPosition(int) override {}
    void SetTotalPosition(int) override {}
    void ShowMessage(const std::string& text) override;
    void OpenFolder(const std::string& folder) override;
    void DocumentStarted(int index, int count, const std::string& path) override;
    void DocumentFinished(const DocumentReport& report) override;
    // A line of its own, clear of the progress line.
    void PrintLine(const std::string& line);
    // Takes the progress line away at the end of the run.
    void Finish() { ClearLine(); }

private:
    void Redraw();
    void ClearLine();

    FILE* m_stream;
    bool m_interactive;
    bool m_quiet;
    bool m_lineShown = false;
    std::string m_path;
    std::string m_current;
    std::string m_total;
};

// The whole command: parse, run, report. argv as main receives it.
int RunExtractCommand(int argc, const char* const* argv);

} // namespace talvore
