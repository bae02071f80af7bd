// A pattern for the names of image files, in place of "<title>-NNN":
//   %t  the document's title (its stem in a shared output folder)
//   %p  the page, zero-padded to the width of the page count
//   %n  the image's number, three digits or more
//   %o  the image's object number, "inline" for an inline image
//   %%  a percent sign
// The extension follows the pattern. A pattern that would let two images of
// one run share a name is refused when it is parsed, before anything runs.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace talvore {

class NamePattern {
public:
    // commonFolder: every document's files go to one folder, so the title
    // must keep them apart. On a refusal, error says why.
    static std::optional<NamePattern> Parse(const std::string& text, bool commonFolder,
                                            std::string* error);

    // object < 0: an inline image.
    std::string Expand(const std::string& title, int page, int pageCount, int number,
                       int object) const;
    // The longest name Expand can give for a title of this length.
    size_t LongestName(size_t titleLength, int pageCount) const;
    const std::string& Text() const { return m_text; }

private:
    struct Piece {
        char Token; // 't', 'p', 'n', 'o', or 0 for literal text
        std::string Text;
    };
    std::string m_text;
    std::vector<Piece> m_pieces;
};

} // namespace talvore
