// Where the settings file lives: beside the executable when that folder is
// writable (build tree, portable install), otherwise
// $XDG_CONFIG_HOME/talvore/Settings.ini (default ~/.config).
#pragma once

#include <string>

namespace talvore {

// The running executable's folder, ending with '/'; empty when
// /proc/self/exe cannot be read.
std::string ModuleDirectory();

// The settings file of this process, as described above. The per-user
// folder is created when it is the one chosen, so a later save can succeed.
std::string SettingsPath();

// The rule itself, for tests: moduleDirectory ends with '/'; xdgConfigHome
// and home are the environment's values (may be empty).
std::string ChooseSettingsPath(const std::string& moduleDirectory, const std::string& xdgConfigHome,
                               const std::string& home);

} // namespace talvore
