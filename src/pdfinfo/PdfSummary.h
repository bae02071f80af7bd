// The summary report of a PDF file: its path, size, creation time, PDF
// version with the matching Acrobat release, first page size, page count
// and four permission lines, as a list of text pieces each with the
// character format it asks for. No Qt: the GUI applies the pieces to its
// rich text box; tests read them directly.
//
// The report opens the document through the PDF core without passwords and
// closes it before returning; it uses the process-wide core parameters
// (EnsurePdfCore) and a document of its own, so it may run while a
// conversion run uses the core on another thread.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace talvore {

// Which attributes of a piece's format are set; the rest stay as the text
// box's default format has them.
enum SummaryFormatMask : unsigned {
    SummaryMaskColour = 1u,
    SummaryMaskBold = 2u,
    SummaryMaskUnderline = 4u,
};

struct TextColour {
    uint8_t Red = 0;
    uint8_t Green = 0;
    uint8_t Blue = 0;
    friend bool operator==(const TextColour&, const TextColour&) = default;
};

struct SummaryPiece {
    std::string Text;
    unsigned Mask = 0;
    bool Bold = false;
    bool Underline = false;
    TextColour Colour;
};

struct PdfSummary {
    // The first piece replaces the box's content, each later one is
    // appended. Pieces 1 to 5 when the document could not be opened, all
    // eight otherwise.
    std::vector<SummaryPiece> Pieces;
    // False: the document is not a valid PDF (or needs a user password);
    // the caller shows NotValidPdfMessage.
    bool Valid = false;
    // Not valid because a user password is needed: the desktop asks for it
    // in the summary pane instead of a message box.
    bool NeedsPassword = false;
    int PageCount = 0; // meaningful when Valid
};

inline constexpr const char* NotValidPdfMessage = "Not a valid pdf file!";

// Builds the report for the file at path. Never throws for a bad file.
PdfSummary MakePdfSummary(const std::string& path);

// The pieces of the report, for the report itself and its tests.

// Decimal with ',' between groups of three digits: 1263616 -> "1,263,616".
std::string GroupThousands(uint64_t value);
// "\tFile Size: 1,234 KB (1,263,616 Bytes)\n"; nullopt: the size is unknown.
std::string FileSizeLine(std::optional<uint64_t> size);
// "\tCreation Time: 14:03:59 07/21/2024\n"; nullopt: the time is unknown.
std::string CreationTimeLine(const std::optional<std::tm>& localTime);
// "1.4" from 1 and 4, as the version number printed with one decimal.
std::string VersionText(int major, int minor);
// " (Acrobat 5.x) " for "1.4"; " (Unknown Acrobat Version) " past 1.6.
std::string ReleaseText(const std::string& versionText);

struct PageBox {
    double X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
};
// Whether the first page is measured by its crop box: a crop box was given
// and the media box extends beyond it by more than a quarter of its width
// (left and right together) or of its height (bottom and top together).
bool CropBoxLimitsPage(const PageBox& media, const PageBox& crop, bool haveCropBox);
// "816 x 1056" for 612 by 792 points: each side x 4/3, no decimals.
std::string PageSizeText(double widthPoints, double heightPoints);
// Piece 6; pageSize nullopt: the document has no page to measure.
std::string DescriptionPiece(const std::string& versionText, const std::optional<PageBox>& pageSize,
                             int pageCount);
// Piece 8: the four permission lines, the last without a line end.
std::string PermissionLines(bool print, bool change, bool copy, bool addNotes);

} // namespace talvore
