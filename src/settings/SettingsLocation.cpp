#include "settings/SettingsLocation.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace talvore {
namespace {

// The home folder from the password database, for a process started
// without HOME.
std::string HomeOfUser() {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir)
        return {};
    return found->pw_dir;
}

} // namespace

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
    // Portable mode: only a file that is already there. A writable folder
    // alone is no sign (as root, /usr/bin is writable).
    if (!moduleDirectory.empty()) {
        const std::string beside = moduleDirectory + SettingsFileName;
        struct stat info {};
        if (::stat(beside.c_str(), &info) == 0 && S_ISREG(info.st_mode))
            return beside;
    }
    std::string base = xdgConfigHome;
    // The base-directory rules ignore a relative XDG_CONFIG_HOME.
    if (base.empty() || base.front() != '/')
        base = home.empty() || home.front() != '/' ? std::string() : home + "/.config";
    if (base.empty())
        return {};
    return base + "/talvore/" + SettingsFileName;
}

std::string SettingsPath() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    const std::string moduleDirectory = ModuleDirectory();
    const std::string path =
        ChooseSettingsPath(moduleDirectory, xdg ? xdg : "", home && *home ? home : HomeOfUser());
    if (!path.empty() && path != moduleDirectory + SettingsFileName) {
        std::error_code ignored;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    }
    return path;
}

} // namespace talvore
