#include "convert/PathParts.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <utility>

namespace talvore {
namespace {

constexpr unsigned kCreationMask = STATX_BTIME | STATX_CTIME;

std::time_t CreationTimeOf(const struct statx& info) {
    // Some file systems (image layers among them) report a birth time of 0:
    // not recorded, so the status change stands in as for none at all.
    const bool hasBirth = (info.stx_mask & STATX_BTIME) != 0 && info.stx_btime.tv_sec != 0;
    return static_cast<std::time_t>(hasBirth ? info.stx_btime.tv_sec : info.stx_ctime.tv_sec);
}

} // namespace

std::optional<std::time_t> FileCreationTime(int fd) {
    struct statx info {};
    if (fd < 0 || statx(fd, "", AT_EMPTY_PATH, kCreationMask, &info) != 0)
        return std::nullopt;
    return CreationTimeOf(info);
}

PathParts::PathParts(std::string path, Quotes quotes) : m_fullText(std::move(path)) {
    std::string text = m_fullText;
    if (quotes == Quotes::Remove && text.size() >= 2 && text.front() == '"' && text.back() == '"')
        text = text.substr(1, text.size() - 2);
    if (text.empty())
        return;

    const size_t slash = text.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    m_directory = text.substr(0, nameStart);
    const std::string name = text.substr(nameStart);
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) {
        m_title = name;
    } else {
        m_title = name.substr(0, dot);
        if (!m_title.empty())
            m_extension = name.substr(dot + 1);
    }
}

std::string PathParts::FileName() const {
    return m_extension.empty() ? m_title : m_title + "." + m_extension;
}

std::optional<FileInformation> PathParts::GetFileInformation() const {
    struct statx info {};
    if (statx(AT_FDCWD, FullPath().c_str(), 0, STATX_BASIC_STATS | kCreationMask, &info) != 0)
        return std::nullopt;
    if ((info.stx_mode & S_IFMT) == S_IFDIR)
        return std::nullopt;
    FileInformation result;
    result.Size = info.stx_size;
    result.CreationTime = CreationTimeOf(info);
    result.LastAccessTime = static_cast<std::time_t>(info.stx_atime.tv_sec);
    result.LastWriteTime = static_cast<std::time_t>(info.stx_mtime.tv_sec);
    localtime_r(&result.CreationTime, &result.CreationLocal);
    localtime_r(&result.LastAccessTime, &result.LastAccessLocal);
    localtime_r(&result.LastWriteTime, &result.LastWriteLocal);
    return result;
}

} // namespace talvore
