#include "convert/PdfCore.h"

#include "convert/RunObserver.h"

#include <Error.h>
#include <GlobalParams.h>

#include <cstdio>
#include <iterator>
#include <memory>

namespace talvore {
namespace {

thread_local CoreDiagnosticScope* t_scope = nullptr;
thread_local std::function<void(const std::string&)>* t_listener = nullptr;

std::string FormatCoreLine(ErrorCategory category, Goffset position, const char* message) {
    static const char* const names[] = {
        "Syntax Warning", "Syntax Error",     "Config Error",          "Command Line Error",
        "I/O Error",      "Permission Error", "Unimplemented Feature", "Internal Error"};
    const size_t index = static_cast<size_t>(category);
    std::string line = index < std::size(names) ? names[index] : "Error";
    if (position >= 0)
        line += " (" + std::to_string(position) + ")";
    return line + ": " + message;
}

void OnCoreError(ErrorCategory category, Goffset position, const char* message) {
    const std::string line = FormatCoreLine(category, position, message);
    if (t_listener) {
        (*t_listener)(line);
        return;
    }
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

// The parameters are read by every document on every thread: made once,
// never replaced while the core may be in use, released with the process.
struct PdfCoreParameters {
    PdfCoreParameters() {
        if (!globalParams)
            globalParams = std::make_unique<GlobalParams>();
        setErrorCallback(OnCoreError);
    }
    ~PdfCoreParameters() { globalParams.reset(); }
};

} // namespace

void EnsurePdfCore() {
    static PdfCoreParameters parameters;
}

CoreDiagnosticScope::CoreDiagnosticScope(std::function<void(const std::string&)> listener)
    : m_listener(std::move(listener)), m_outer(t_scope) {
    EnsurePdfCore();
    t_scope = this;
    t_listener = &m_listener;
}

CoreDiagnosticScope::~CoreDiagnosticScope() {
    t_scope = m_outer;
    t_listener = m_outer ? &m_outer->m_listener : nullptr;
}

void RunObserver::CoreDiagnostic(const std::string& document, const std::string& line) {
    std::fprintf(stderr, "%s: %s\n", document.c_str(), line.c_str());
    std::fflush(stderr);
}

} // namespace talvore
