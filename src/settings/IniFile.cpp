#include "settings/IniFile.h"

// Byte strings in, byte strings out (no wide-character build), and the
// parser's templates compiled here rather than taken from its library.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace talvore {

struct IniFile::Parser {
    CSimpleIniA Ini;
    Parser() {
        Ini.SetSpaces(false); // "Page Range=0", as the profile functions write it
    }
};

namespace {

std::string SystemError(const std::string& what, const std::string& path, int error) {
    return what + " \"" + path + "\": " + std::strerror(error);
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The folder part of a path, "." for a bare name.
std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A settings file reached through a symbolic link is written where the
// link points, so the link survives the rename.
std::string WriteTarget(const std::string& path) {
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
        return path;
    char* resolved = realpath(path.c_str(), nullptr);
    if (!resolved)
        return path;
    std::string target(resolved);
    std::free(resolved);
    return target;
}

// The mode a new file gets from open(..., 0666): mkstemp makes 0600 files,
// so the process umask is read from the kernel rather than changed, which
// would race with other threads creating files.
mode_t NewFileMode() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(0666 & ~std::strtoul(line.c_str() + 6, nullptr, 8));
    }
    return 0600;
}

// Two kinds of line the parser mishandles, put right before it sees them:
// - A line that opens a section name and never closes it is skipped, yet
//   the keys after it are filed under a section named from that line on,
//   which a save writes as a broken header that grows with every save. It
//   is blanked, so its keys stay in the section before it.
// - A UTF-8 byte order mark is dropped at the start of the file only; one
//   that starts a later line (files put together) became part of a key
//   name, which changed once a save moved that key to the top. It is
//   dropped wherever it leads a line, blanks before it included.
std::string CleanLines(std::string_view text) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    std::string cleaned;
    cleaned.reserve(text.size());
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string line(text.substr(start, end - start));
        for (size_t at = 0; at < line.size();) {
            if (line.compare(at, kByteOrderMark.size(), kByteOrderMark) == 0)
                line.erase(at, kByteOrderMark.size());
            else if (line[at] == ' ' || line[at] == '\t')
                ++at;
            else
                break;
        }
        const size_t first = line.find_first_not_of(" \t");
        const bool unclosed = first != std::string::npos && line[first] == '[' &&
                              line.find(']', first) == std::string::npos;
        if (!unclosed)
            cleaned += line;
        if (end < text.size())
            cleaned += text[end];
        start = end + 1;
    }
    return cleaned;
}

// The file text, or false when the parser cannot write it.
bool Render(const CSimpleIniA& ini, std::string& text) {
    text.clear();
    if (ini.Save(text) < 0)
        return false;
    // The parser puts two blank lines before every section after the first;
    // one reads better and is what hand-edited files have.
    for (size_t at = text.find("\n\n\n["); at != std::string::npos; at = text.find("\n\n\n[", at))
        text.erase(at, 1);
    // An empty nameless section ("[]" with no keys) leaves blank lines at
    // the top, gone again at the next save.
    text.erase(0, text.find_first_not_of('\n'));
    return true;
}

bool WriteAll(int fd, const std::string& text) {
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        written += static_cast<size_t>(n);
    }
    return true;
}

bool ReplaceFileContents(const std::string& path, const std::string& text, std::string& error) {
    const std::string target = WriteTarget(path);
    const std::string folder = FolderOf(target);
    std::string temporary = target + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        error = SystemError("Cannot create a temporary file in", folder, errno);
        return false;
    }
    struct stat old {};
    const mode_t mode = stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : NewFileMode();
    int failure = 0;
    const char* step = nullptr;
    if (fchmod(fd, mode) != 0) {
        failure = errno;
        step = "Cannot set the permissions of";
    } else if (!WriteAll(fd, text)) {
        failure = errno;
        step = "Cannot write";
    } else if (fsync(fd) != 0) {
        failure = errno;
        step = "Cannot flush";
    }
    if (close(fd) != 0 && failure == 0) {
        failure = errno;
        step = "Cannot write";
    }
    if (failure == 0 && std::rename(temporary.c_str(), target.c_str()) != 0) {
        failure = errno;
        error = SystemError("Cannot replace", target, failure);
    } else if (failure != 0) {
        error = SystemError(step, temporary, failure);
    }
    if (failure != 0) {
        unlink(temporary.c_str());
        return false;
    }
    // The rename itself reaches the disk with the folder's entry.
    const int directory = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory >= 0) {
        fsync(directory);
        close(directory);
    }
    return true;
}

} // namespace

int32_t ParseProfileInt(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1)
            break;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

IniFile::IniFile() : m_parser(std::make_unique<Parser>()) {}

IniFile::~IniFile() = default;

bool IniFile::Load(const std::string& path) {
    m_parser = std::make_unique<Parser>();
    m_path = path;
    m_readable = false;
    m_lastError.clear();
    m_loadError.clear();

    // Non-blocking, so a FIFO in the file's place cannot stall the start.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) {
            m_readable = true; // nothing there yet: an empty file
            return true;
        }
        m_lastError = m_loadError = SystemError("Cannot open", path, error);
        return false;
    }
    const std::string tooLarge = "\"" + path + "\" is larger than a settings file can be";
    std::string text;
    struct stat status {};
    if (fstat(fd, &status) != 0) {
        m_lastError = SystemError("Cannot examine", path, errno);
    } else if (!S_ISREG(status.st_mode)) {
        m_lastError = "\"" + path + "\" is not a regular file";
    } else if (static_cast<uint64_t>(status.st_size) > kMaxIniFileSize) {
        m_lastError = tooLarge;
    } else {
        char buffer[8192];
        for (;;) {
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                m_lastError = SystemError("Cannot read", path, errno);
                break;
            }
            if (n == 0)
                break;
            text.append(buffer, static_cast<size_t>(n));
            // It may grow while we read.
            if (text.size() > kMaxIniFileSize) {
                m_lastError = tooLarge;
                break;
            }
        }
    }
    close(fd);
    if (m_lastError.empty() && !Parse(text))
        m_lastError = "\"" + path + "\" " + m_lastError;
    m_loadError = m_lastError;
    if (!m_lastError.empty())
        return false;
    m_readable = true;
    return true;
}

bool IniFile::LoadText(std::string_view text) {
    m_path.clear();
    m_readable = false;
    m_lastError.clear();
    if (Parse(text))
        return true;
    m_lastError = "The text " + m_lastError;
    return false;
}

bool IniFile::Parse(std::string_view text) {
    m_parser = std::make_unique<Parser>();
    // The parser stops at a NUL byte, so a save would silently drop the rest.
    if (text.find('\0') != std::string_view::npos) {
        m_lastError = "holds a NUL byte";
        return false;
    }
    const std::string cleaned = CleanLines(text);
    if (m_parser->Ini.LoadData(cleaned.data(), cleaned.size()) < 0) {
        m_parser = std::make_unique<Parser>();
        m_lastError = "is too large to parse";
        return false;
    }
    return true;
}

std::optional<std::string> IniFile::Text(const char* section, const char* key) const {
    const char* value = m_parser->Ini.GetValue(section, key, nullptr);
    if (!value)
        return std::nullopt;
    return std::string(value);
}

int32_t IniFile::Integer(const char* section, const char* key, int32_t fallback) const {
    const char* value = m_parser->Ini.GetValue(section, key, nullptr);
    return value ? ParseProfileInt(value) : fallback;
}

void IniFile::Set(const char* section, const char* key, const std::string& value) {
    // A line break in a value would start a new line of the file.
    const std::string line = value.substr(0, value.find_first_of("\r\n"));
    m_parser->Ini.SetValue(section, key, line.c_str());
}

void IniFile::SetInteger(const char* section, const char* key, int64_t value) {
    Set(section, key, std::to_string(value));
}

std::vector<IniFile::Entry> IniFile::Entries() const {
    std::vector<Entry> entries;
    CSimpleIniA::TNamesDepend sections;
    m_parser->Ini.GetAllSections(sections);
    sections.sort(CSimpleIniA::Entry::LoadOrder());
    for (const CSimpleIniA::Entry& section : sections) {
        CSimpleIniA::TNamesDepend keys;
        m_parser->Ini.GetAllKeys(section.pItem, keys);
        keys.sort(CSimpleIniA::Entry::LoadOrder());
        for (const CSimpleIniA::Entry& key : keys) {
            const char* value = m_parser->Ini.GetValue(section.pItem, key.pItem, "");
            entries.push_back({section.pItem, key.pItem, value});
        }
    }
    return entries;
}

std::string IniFile::ToText() const {
    std::string text;
    return Render(m_parser->Ini, text) ? text : std::string();
}

bool IniFile::Save() {
    m_lastError.clear();
    if (m_path.empty()) {
        m_lastError = "no settings file to save to";
        return false;
    }
    if (!m_readable) {
        m_lastError = m_loadError + "; the file is left as it is";
        return false;
    }
    std::string text;
    if (!Render(m_parser->Ini, text)) {
        m_lastError = "Cannot format the settings for \"" + m_path + "\"";
        return false;
    }
    return ReplaceFileContents(m_path, text, m_lastError);
}

} // namespace talvore
