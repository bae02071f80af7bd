// What talvore-extract prints of a run, on the standard error stream: on a
// terminal one redrawn progress line, and one line per document; messages,
// failed images and the core's diagnostics always, each with the document's
// path. With verbose output every file a document left goes to its own
// stream (standard output) with the page it came from. Every text is
// printed with its control characters escaped, so a file name cannot move
// the cursor or forge a line.
#pragma once

#include "convert/RunObserver.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace talvore {

// The text with control characters (C0, DEL and C1) written as escapes:
// "\n", "\t", "\r", "\\x1b".
std::string EscapeControls(const std::string& text);

class TerminalObserver : public RunObserver {
public:
    using PasswordPrompt = std::function<std::optional<std::string>(const std::string& document)>;

    // files: where verbose output goes; null for none.
    TerminalObserver(FILE* stream, bool interactive, bool quiet, FILE* files = nullptr);

    void SetCurrentCaption(const std::string& caption) override;
    void SetTotalCaption(const std::string& caption) override;
    void SetCurrentPosition(int) override {}
    void SetTotalPosition(int) override {}
    void ShowMessage(const std::string& text) override;
    void OpenFolder(const std::string& folder) override;
    void DocumentStarted(int index, int count, const std::string& path) override;
    void DocumentFinished(const DocumentReport& report) override;
    void FileWritten(const std::string& path, int page) override;
    void CoreDiagnostic(const std::string& document, const std::string& line) override;
    std::optional<std::string> AskUserPassword(const std::string& document) override;

    // Asked when a document needs a user password and none was given.
    void SetPasswordPrompt(PasswordPrompt prompt) { m_prompt = std::move(prompt); }
    // A line of its own, clear of the progress line.
    void PrintLine(const std::string& line);
    // Takes the progress line away at the end of the run.
    void Finish();
    // A listing run: each document's rows go to `rows` as it finishes, or,
    // for JSON, its report is kept for Reports().
    void SetListing(FILE* rows, bool json) {
        m_listRows = rows;
        m_listJson = json;
    }
    const std::vector<DocumentReport>& Reports() const { return m_reports; }
    // The run-list position of the last document that finished (0: none).
    int LastFinished() const { return m_lastFinished; }

private:
    void Redraw();
    void ClearLine();
    void PrintMessage(const std::string& path, const std::string& text);

    FILE* m_stream;
    bool m_interactive;
    bool m_quiet;
    FILE* m_files;
    bool m_lineShown = false;
    bool m_inDocument = false;
    int m_lastFinished = 0;
    std::string m_path;
    std::string m_current;
    std::string m_total;
    // A document's messages wait for its report: a refusal for want of a
    // password is worded by the reason, not by the dialog's text.
    std::vector<std::string> m_pending;
    PasswordPrompt m_prompt;
    FILE* m_listRows = nullptr;
    bool m_listJson = false;
    bool m_headingShown = false;
    std::vector<DocumentReport> m_reports;
};

} // namespace talvore
