// The tips file, one tip a line. A line beginning with a space, a tab or a
// ';', and an empty line, is skipped; every other line is a tip, returned
// with its line end (a CRLF reads as a line break, as in text mode). A line
// longer than kMaxTipLength is read in pieces of that many characters, each
// further piece counting as a line of its own. After the last line the file
// is read again from the top, but only once per tip asked for, so a file
// holding no tip ends the reading instead of looping forever.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace talvore {

class TipsFile {
public:
    static constexpr size_t kMaxTipLength = 999;

    enum class Read {
        Tip,          // the next tip is in the text
        NoTip,        // a whole pass over the file found none
        RewindFailed, // the end was reached and the file could not be rewound
    };

    TipsFile() = default;
    ~TipsFile();
    TipsFile(const TipsFile&) = delete;
    TipsFile& operator=(const TipsFile&) = delete;

    // Opens a regular file for reading; anything else (missing, unreadable,
    // a folder, a device or a FIFO that would never end or would block)
    // answers false.
    bool Open(const std::string& path);
    bool IsOpen() const { return m_file != nullptr; }
    // The open file's descriptor, -1 when none.
    int Descriptor() const;

    // Moves to a byte offset from the start; false for a negative or
    // unreachable offset. An offset beyond the end is no error: the next
    // read rewinds.
    bool Seek(int64_t position);
    // The byte offset where the next tip is searched for.
    std::optional<int64_t> Position() const;

    Read ReadNext(std::string& tip);

    // The rule for one line as read: a CRLF line end becomes a line break;
    // false for a line that is skipped.
    static bool TakeAsTip(std::string& line);

private:
    std::FILE* m_file = nullptr;
};

} // namespace talvore
