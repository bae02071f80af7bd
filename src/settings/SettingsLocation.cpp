#include "settings/SettingsLocation.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace talvore {

std::string ModuleDirectory() {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    std::string directory = exe.parent_path().string();
    if (directory.empty() || directory.back() != '/')
        directory += '/';
    return directory;
}

std::string ChooseSettingsPath(const std::string& moduleDirectory, const std::string& xdgConfigHome,
                               const std::string& home) {
    if (!moduleDirectory.empty() && access(moduleDirectory.c_str(), W_OK) == 0) {
        return moduleDirectory + "Settings.ini";
    }
    std::string base = xdgConfigHome;
    // The base-directory rules ignore a relative XDG_CONFIG_HOME.
    if (base.empty() || base.front() != '/')
        base = home.empty() ? std::string() : home + "/.config";
    if (base.empty())
        return moduleDirectory + "Settings.ini";
    return base + "/talvore/Settings.ini";
}

std::string SettingsPath() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    const std::string moduleDirectory = ModuleDirectory();
    std::string path = ChooseSettingsPath(moduleDirectory, xdg ? xdg : "", home ? home : "");
    if (path != moduleDirectory + "Settings.ini") {
        std::error_code ignored;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    }
    return path;
}

} // namespace talvore
