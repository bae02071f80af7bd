// The settings file in the Windows INI layout, read and written the way the
// private-profile functions treat it: section and key names match without
// regard to case, values are read as integers or as text, and a save keeps
// every other section and key as it was ("Key=Value", one blank line
// between sections).
//
// A save never touches the old file: the new text goes to a temporary file
// beside it, is flushed to the disk and then renamed over it, so a full
// disk or a missing permission leaves the old file byte for byte as it was
// and the failure comes back as false plus LastError(). The temporary's
// name is made unique by mkstemp, the old file's permissions carry over, and
// a file reached through a symbolic link is replaced where the link points.
// A file that exists but cannot be read is never replaced, since that would
// drop everything in it that is not ours.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talvore {

// The profile functions' integer: leading blanks, an optional sign, then
// decimal digits up to the first other character; no digits reads 0;
// values beyond 32 bits saturate.
int32_t ParseProfileInt(std::string_view text);

// Larger settings files are taken as unreadable (and so never replaced):
// ours holds a dozen keys, and the whole file is read into memory.
inline constexpr uint64_t kMaxIniFileSize = 16u << 20;

// The answer of a save: whether the file was replaced, and if not, why.
struct SaveResult {
    bool Ok = false;
    std::string Reason;
    explicit operator bool() const { return Ok; }
};

class IniFile {
public:
    struct Entry {
        std::string Section;
        std::string Key;
        std::string Value;
    };

    IniFile();
    ~IniFile();
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    // Reads the file at path and remembers the path for Save. A missing
    // file reads as an empty one and answers true. A file that exists but
    // cannot be read whole (no permission, not a regular file, larger than
    // kMaxIniFileSize, a NUL byte the parser would stop at) leaves the
    // object empty, answers false and makes Save refuse.
    bool Load(const std::string& path);
    // Parses text as the content of a file, with no path to save to.
    bool LoadText(std::string_view text);

    // The value of a key, nothing when the section or the key is missing.
    std::optional<std::string> Text(const char* section, const char* key) const;
    // A present key read with ParseProfileInt, else fallback.
    int32_t Integer(const char* section, const char* key, int32_t fallback) const;

    // Creates the section and the key where missing, else replaces the
    // value; the key keeps its place in the file.
    void Set(const char* section, const char* key, const std::string& value);
    void SetInteger(const char* section, const char* key, int64_t value);

    // Every key, section by section in file order.
    std::vector<Entry> Entries() const;
    // The file text Save writes.
    std::string ToText() const;

    // Replaces the loaded file, as described above. On failure the reason
    // (with the system's error text) is in LastError().
    bool Save();
    const std::string& LastError() const { return m_lastError; }

private:
    bool Parse(std::string_view text);

    struct Parser;
    std::unique_ptr<Parser> m_parser;
    std::string m_path;
    bool m_readable = false;
    std::string m_loadError; // why the file could not be read
    std::string m_lastError;
};

} // namespace talvore
