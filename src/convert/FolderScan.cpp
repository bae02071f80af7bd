#include "convert/FolderScan.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <utility>

namespace talvore {
namespace {

using Visited = std::set<std::pair<dev_t, ino_t>>;

void Walk(const std::string& folder, const std::function<void(const std::string&)>& found,
          Visited& visited) {
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + '/';
    struct stat info {};
    if (::stat(prefix.empty() ? "." : prefix.c_str(), &info) != 0 ||
        !visited.insert({info.st_dev, info.st_ino}).second)
        return;
    std::error_code error;
    std::filesystem::directory_iterator entries(prefix.empty() ? "." : prefix, error);
    for (const std::filesystem::directory_iterator end; !error && entries != end;
         entries.increment(error)) {
        const std::string name = entries->path().filename().string();
        const std::string path = prefix + name;
        std::error_code kindError;
        if (entries->is_directory(kindError))
            Walk(path, found, visited);
        else if (IsPdfFileName(name) && entries->is_regular_file(kindError))
            found(path); // a FIFO of that name would hang the run
    }
}

} // namespace

bool IsPdfFileName(const std::string& name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || name.size() - dot != 4)
        return false;
    std::string extension = name.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".pdf";
}

void ScanFolderForPdfs(const std::string& folder,
                       const std::function<void(const std::string& path)>& found) {
    Visited visited;
    Walk(folder, found, visited);
}

} // namespace talvore
