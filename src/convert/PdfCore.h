// The PDF core's process-wide state: its parameters, made once, and its
// error channel, which goes to whoever listens on the calling thread.
#pragma once

#include <functional>
#include <string>

namespace talvore {

// Creates the core's process-wide parameters once and routes its error
// channel; safe to call from any thread, any number of times. They are
// destroyed at process exit, after main has returned, when every thread that
// used the core has been joined.
void EnsurePdfCore();

// While one lives, the core's error lines on this thread go to `listener`
// (already formatted, "Syntax Error (123): text") instead of the standard
// error stream. Scopes nest; the innermost listens.
class CoreDiagnosticScope {
public:
    explicit CoreDiagnosticScope(std::function<void(const std::string&)> listener);
    ~CoreDiagnosticScope();
    CoreDiagnosticScope(const CoreDiagnosticScope&) = delete;
    CoreDiagnosticScope& operator=(const CoreDiagnosticScope&) = delete;

private:
    std::function<void(const std::string&)> m_listener;
    CoreDiagnosticScope* m_outer;
};

} // namespace talvore
