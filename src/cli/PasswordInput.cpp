#include "cli/PasswordInput.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <termios.h>
#include <unistd.h>

namespace talvore {
namespace {

// A password longer than this is not a password.
constexpr size_t kPasswordMaxBytes = 4096;

struct termios g_saved;
std::atomic<bool> g_echoOff{false};

} // namespace

std::optional<std::string> ReadPasswordFile(const std::string& path, std::string* error) {
    const bool standardInput = path == "-";
    FILE* file = standardInput ? stdin : std::fopen(path.c_str(), "rb");
    if (!file) {
        *error = "cannot read the password file '" + path + "': " + std::strerror(errno);
        return std::nullopt;
    }
    std::string line;
    bool tooLong = false;
    int c = 0;
    while ((c = std::getc(file)) != EOF && c != '\n') {
        if (line.size() == kPasswordMaxBytes)
            tooLong = true;
        else
            line += static_cast<char>(c);
    }
    const bool failed = std::ferror(file) != 0;
    const int readError = errno;
    if (!standardInput)
        std::fclose(file);
    if (failed) {
        *error = "cannot read the password file '" + path + "': " + std::strerror(readError);
        return std::nullopt;
    }
    if (tooLong) {
        *error = "the first line of the password file '" + path + "' is longer than " +
                 std::to_string(kPasswordMaxBytes) + " bytes";
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

std::optional<std::string> PasswordFromEnvironment(const char* variable) {
    const char* value = std::getenv(variable);
    if (!value)
        return std::nullopt;
    return std::string(value);
}

bool CanPromptForPassword() {
    return isatty(STDIN_FILENO) != 0;
}

void RestoreTerminal() noexcept {
    if (g_echoOff.exchange(false))
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_saved);
}

std::optional<std::string> PromptForPassword(const std::string& document) {
    struct termios quiet;
    if (tcgetattr(STDIN_FILENO, &g_saved) != 0)
        return std::nullopt;
    quiet = g_saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    std::fprintf(stderr, "Password for %s: ", document.c_str());
    std::fflush(stderr);
    if (tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) != 0)
        return std::nullopt;
    g_echoOff.store(true);
    // read(2) directly: an interrupt ends the prompt instead of restarting
    // it, and nothing stays buffered in stdin.
    std::string line;
    bool ended = false;
    char c = 0;
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, &c, 1);
        if (got <= 0) {
            ended = true;
            break;
        }
        if (c == '\n' || c == '\r')
            break;
        if (line.size() < kPasswordMaxBytes)
            line += c;
    }
    RestoreTerminal();
    if (ended) {
        std::fputc('\n', stderr);
        return std::nullopt;
    }
    return line;
}

} // namespace talvore
