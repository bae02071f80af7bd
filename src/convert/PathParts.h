// A path split into drive, directory, title and extension by this
// platform's rules: '/' is the only separator and the drive is always
// empty. The directory runs up to and including the last '/'; the title is
// the last component up to its last '.', the extension what follows that
// dot (stored without it). A component with no title (".profile") has an
// empty extension too. Surrounding double quotes are removed first.
//
//   "/docs/report.pdf" -> directory "/docs/", title "report", extension "pdf"
//   "a.b.ppm"          -> directory "",       title "a.b",    extension "ppm"
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace talvore {

// Size and times of a file, the times as local time.
struct FileInformation {
    uint64_t Size = 0;
    // As FileCreationTime answers it.
    std::time_t CreationTime = 0;
    std::time_t LastAccessTime = 0;
    std::time_t LastWriteTime = 0;
    std::tm CreationLocal{};
    std::tm LastAccessLocal{};
    std::tm LastWriteLocal{};
};

// The creation time of an open file: its birth time where the file system
// records one, else its last status change. Nothing when the file cannot be
// examined.
std::optional<std::time_t> FileCreationTime(int fd);

class PathParts {
public:
    // The run splits the path as it opens it: no quotes are taken off then,
    // so the file read is the file whose parts name the output.
    enum class Quotes { Remove, Keep };
    explicit PathParts(std::string path, Quotes quotes = Quotes::Remove);

    const std::string& FullText() const { return m_fullText; }
    const std::string& Drive() const { return m_drive; } // always empty here
    const std::string& Directory() const { return m_directory; }
    const std::string& Title() const { return m_title; }
    const std::string& Extension() const { return m_extension; }

    // Drive followed by directory: "/docs/".
    std::string Location() const { return m_drive + m_directory; }
    // Title, then '.' and the extension when there is one.
    std::string FileName() const;
    // Location followed by file name.
    std::string FullPath() const { return Location() + FileName(); }
    // There are no short names on this platform: the full path.
    std::string LongPath() const { return FullPath(); }
    // Size and times of the file at FullPath(), or nothing when it cannot be
    // examined.
    std::optional<FileInformation> GetFileInformation() const;

private:
    std::string m_fullText;
    std::string m_drive;
    std::string m_directory;
    std::string m_title;
    std::string m_extension;
};

} // namespace talvore
