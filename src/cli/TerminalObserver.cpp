#include "cli/TerminalObserver.h"

#include "cli/ListingPrinter.h"

#include <sys/wait.h>
#include <unistd.h>

namespace talvore {
namespace {

constexpr const char* kProgram = "talvore-extract";
constexpr const char* kIncorrectPassword = "incorrect password";

} // namespace

std::string EscapeControls(const std::string& text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        // C1 controls in UTF-8 (U+0080..U+009F, 0xC2 0x80..0x9F): some
        // terminals act on them as on ESC sequences.
        const bool c1 = c == 0xC2 && i + 1 < text.size() &&
                        static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        if (c >= 0x20 && c != 0x7F && !c1) {
            escaped += text[i];
            continue;
        }
        const unsigned code = c1 ? static_cast<unsigned char>(text[++i]) : c;
        switch (code) {
        case '\n':
            escaped += "\\n";
            break;
        case '\t':
            escaped += "\\t";
            break;
        case '\r':
            escaped += "\\r";
            break;
        default: {
            static const char digits[] = "0123456789abcdef";
            escaped += "\\x";
            escaped += digits[code >> 4];
            escaped += digits[code & 15];
        }
        }
    }
    return escaped;
}

TerminalObserver::TerminalObserver(FILE* stream, bool interactive, bool quiet, FILE* files)
    : m_stream(stream), m_interactive(interactive), m_quiet(quiet), m_files(files) {}

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
        std::fprintf(m_stream, "\r\033[K%s", EscapeControls(m_current).c_str());
    } else {
        std::fprintf(m_stream, "\r\033[K%s | %s", EscapeControls(m_total).c_str(),
                     EscapeControls(m_current).c_str());
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
    std::fprintf(m_stream, "%s\n", EscapeControls(line).c_str());
    std::fflush(m_stream);
    Redraw();
}

void TerminalObserver::PrintMessage(const std::string& path, const std::string& text) {
    PrintLine(std::string(kProgram) + ": " + path + ": " + text);
}

void TerminalObserver::CoreDiagnostic(const std::string& document, const std::string& line) {
    PrintMessage(document.empty() ? m_path : document, line);
}

void TerminalObserver::ShowMessage(const std::string& text) {
    if (m_inDocument) {
        m_pending.push_back(text);
        return;
    }
    PrintLine(std::string(kProgram) + ": " + text);
}

std::optional<std::string> TerminalObserver::AskUserPassword(const std::string& document) {
    if (!m_prompt)
        return std::nullopt;
    ClearLine();
    std::optional<std::string> password = m_prompt(EscapeControls(document));
    Redraw();
    return password;
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
    m_inDocument = true;
    m_pending.clear();
}

void TerminalObserver::FileWritten(const std::string& path, int page) {
    if (!m_files)
        return;
    std::fprintf(m_files, "%s (page %d)\n", EscapeControls(path).c_str(), page);
    std::fflush(m_files);
}

void TerminalObserver::DocumentFinished(const DocumentReport& report) {
    m_inDocument = false;
    m_lastFinished = report.Index;
    for (const std::string& text : m_pending) {
        const bool password = report.Status == DocumentStatus::Refused &&
                              report.Refusal == RefusalReason::NeedsPassword &&
                              text == report.Message;
        PrintMessage(report.Path, password ? kIncorrectPassword : text);
    }
    m_pending.clear();
    for (const std::string& failure : report.Failures)
        PrintMessage(report.Path, "image not written: " + failure);
    if (m_listRows) {
        if (m_listJson) {
            m_reports.push_back(report);
        } else if (report.Status == DocumentStatus::Extracted) {
            ClearLine();
            if (!m_headingShown)
                PrintListingHeading(m_listRows);
            m_headingShown = true;
            std::fprintf(m_listRows, "%s:\n", EscapeControls(report.Path).c_str());
            PrintListingRows(m_listRows, report);
            std::fflush(m_listRows);
        }
    } else if (!m_quiet && report.Status == DocumentStatus::Extracted) {
        std::string line = report.Path + ": " + std::to_string(report.Pages) + " page" +
                           (report.Pages == 1 ? "" : "s") + ", " +
                           std::to_string(report.ImagesWritten) + " image" +
                           (report.ImagesWritten == 1 ? "" : "s") + " -> " + report.OutputFolder;
        if (report.ImagesFailed > 0)
            line += " (" + std::to_string(report.ImagesFailed) + " could not be written)";
        if (report.ConversionFailures > 0)
            line += " (" + std::to_string(report.ConversionFailures) + " not converted)";
        PrintLine(line);
    }
    std::fflush(m_stream);
}

void TerminalObserver::Finish() {
    for (const std::string& text : m_pending)
        PrintMessage(m_path, text);
    m_pending.clear();
    ClearLine();
}

} // namespace talvore
