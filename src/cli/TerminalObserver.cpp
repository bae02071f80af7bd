#include "cli/TerminalObserver.h"

#include <sys/wait.h>
#include <unistd.h>

namespace talvore {
namespace {

constexpr const char* kProgram = "talvore-extract";

} // namespace

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

void TerminalObserver::CoreDiagnostic(const std::string&, const std::string& line) {
    PrintLine(line);
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
    for (const std::string& failure : report.Failures) {
        std::fprintf(m_stream, "%s: %s: image not written: %s\n", kProgram, report.Path.c_str(),
                     failure.c_str());
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

} // namespace talvore
