// Where the settings file lives: $XDG_CONFIG_HOME/talvore/Settings.ini
// (default ~/.config/talvore/Settings.ini). Portable mode: a Settings.ini
// that already exists beside the executable is used instead. Nothing is
// ever created in the executable's folder.
#pragma once

#include <string>

namespace talvore {

inline constexpr const char* SettingsFileName = "Settings.ini";

// The running executable's folder, ending with '/'; empty when
// /proc/self/exe cannot be read.
std::string ModuleDirectory();

// The settings file of this process, as described above; HOME falls back
// to the user's entry in the password database. The per-user folder is
// created when it is the one chosen, so a later save can succeed. Empty
// when there is no place for it (no home at all): nothing is then read or
// written.
std::string SettingsPath();

// The rule itself, for tests: moduleDirectory ends with '/'; xdgConfigHome
// and home are the environment's values (may be empty).
std::string ChooseSettingsPath(const std::string& moduleDirectory, const std::string& xdgConfigHome,
                               const std::string& home);

} // namespace talvore
