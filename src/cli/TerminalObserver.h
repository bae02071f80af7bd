// What talvore-extract prints of a run, on the standard error stream: on a
// terminal one redrawn progress line, and one line per document; messages,
// failed images and the core's diagnostics always, each with the document's
// path.
#pragma once

#include "convert/RunObserver.h"

#include <cstdio>
#include <string>

namespace talvore {

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
    void CoreDiagnostic(const std::string& document, const std::string& line) override;
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

} // namespace talvore
