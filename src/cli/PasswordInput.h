// Where talvore-extract takes passwords from besides its options: a file's
// first line, the environment, and a prompt on the terminal with echo off.
#pragma once

#include <optional>
#include <string>

namespace talvore {

// The first line of the file ("-": standard input) without its line end;
// nothing, with *error set (and the system's reason), when it cannot be
// read.
std::optional<std::string> ReadPasswordFile(const std::string& path, std::string* error);

// The variable's value; nothing when it is unset.
std::optional<std::string> PasswordFromEnvironment(const char* variable);

// Whether standard input is a terminal the prompt can read from.
bool CanPromptForPassword();

// Asks on standard error for the document's user password and reads one line
// from the terminal on standard input with echo off; nothing when the input
// ends or is interrupted. The terminal's settings are restored in any case,
// also by RestoreTerminal from a signal handler.
std::optional<std::string> PromptForPassword(const std::string& document);

// Async-signal-safe: puts back the terminal settings a prompt changed.
void RestoreTerminal() noexcept;

} // namespace talvore
