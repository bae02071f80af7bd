#include "pdfinfo/PdfSummary.h"

#include "convert/ConversionRun.h"
#include "convert/PathParts.h"

#include <ErrorCodes.h>
#include <PDFDoc.h>
#include <Page.h>
#include <goo/GooString.h>

#include <cstdio>
#include <memory>

namespace talvore {
namespace {

// Shown where the file's own facts cannot be learned.
constexpr const char* UnknownText = "unknown";
constexpr const char* NoPageText = "unknown (no first page)";

SummaryPiece Piece(std::string text, unsigned mask, bool bold, bool underline,
                   TextColour colour = {}) {
    SummaryPiece piece;
    piece.Text = std::move(text);
    piece.Mask = mask;
    piece.Bold = bold;
    piece.Underline = underline;
    piece.Colour = colour;
    return piece;
}

constexpr unsigned AllAttributes = SummaryMaskColour | SummaryMaskBold | SummaryMaskUnderline;

} // namespace

std::string GroupThousands(uint64_t value) {
    const std::string digits = std::to_string(value);
    std::string grouped;
    grouped.reserve(digits.size() + digits.size() / 3);
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

std::string FileSizeLine(std::optional<uint64_t> size) {
    if (!size)
        return std::string("\tFile Size: ") + UnknownText + "\n";
    return "\tFile Size: " + GroupThousands(*size / 1024) + " KB (" + GroupThousands(*size) +
           " Bytes)\n";
}

std::string CreationTimeLine(const std::optional<std::tm>& localTime) {
    char when[64] = {};
    if (!localTime || std::strftime(when, sizeof when, "%H:%M:%S %m/%d/%Y", &*localTime) == 0)
        std::snprintf(when, sizeof when, "%s", UnknownText);
    char line[96];
    std::snprintf(line, sizeof line, "\tCreation Time: %s", when);
    return std::string(line) + "\n";
}

std::string VersionText(int major, int minor) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", major + minor / 10.0);
    return text;
}

std::string ReleaseText(const std::string& versionText) {
    static const struct {
        const char* Version;
        const char* Release;
    } releases[] = {
        {"1.0", " (Acrobat 1.x) "}, {"1.1", " (Acrobat 2.x) "}, {"1.2", " (Acrobat 3.x) "},
        {"1.3", " (Acrobat 4.x) "}, {"1.4", " (Acrobat 5.x) "}, {"1.5", " (Acrobat 6.x) "},
        {"1.6", " (Acrobat 7.x) "},
    };
    for (const auto& release : releases) {
        if (versionText == release.Version)
            return release.Release;
    }
    return " (Unknown Acrobat Version) ";
}

bool CropBoxLimitsPage(const PageBox& media, const PageBox& crop, bool haveCropBox) {
    if (!haveCropBox)
        return false;
    const double quarterWidth = 0.25 * (crop.X2 - crop.X1);
    const double quarterHeight = 0.25 * (crop.Y2 - crop.Y1);
    return (crop.X1 - media.X1) + (media.X2 - crop.X2) > quarterWidth ||
           (crop.Y1 - media.Y1) + (media.Y2 - crop.Y2) > quarterHeight;
}

std::string PageSizeText(double widthPoints, double heightPoints) {
    char text[128];
    std::snprintf(text, sizeof text, "%.0f x %.0f", widthPoints * 1.3333333333333333,
                  heightPoints * 1.3333333333333333);
    return text;
}

std::string DescriptionPiece(const std::string& versionText, const std::optional<PageBox>& pageBox,
                             int pageCount) {
    std::string text = "\tPDF Version: " + versionText + ReleaseText(versionText) + "\n";
    text += "\tPage Size: ";
    if (pageBox)
        text += PageSizeText(pageBox->X2 - pageBox->X1, pageBox->Y2 - pageBox->Y1) + " Pixel\n";
    else
        text += std::string(NoPageText) + "\n";
    char count[32];
    std::snprintf(count, sizeof count, "%d", pageCount);
    text += std::string("\tNumber of Pages: ") + count + "\n";
    return text;
}

std::string PermissionLines(bool print, bool change, bool copy, bool addNotes) {
    std::string text;
    text += print ? "\tPrinting: Allowed\n" : "\tPrinting: Not Allowed\n";
    text += change ? "\tDocument Assembly: Allowed\n" : "\tDocument Assembly: Not Allowed\n";
    text += copy ? "\tContent Copying or Extraction: Allowed\n"
                 : "\tContent Copying or Extraction: Not Allowed\n";
    text += addNotes ? "\tCommenting: Allowed" : "\tCommenting: Not Allowed";
    return text;
}

PdfSummary MakePdfSummary(const std::string& path) {
    PdfSummary summary;
    const PathParts parts(path);
    const std::string longPath = parts.LongPath();
    const std::optional<FileInformation> info = parts.GetFileInformation();

    const TextColour black{0, 0, 0};
    summary.Pieces.push_back(Piece(longPath + "\n", SummaryMaskColour | SummaryMaskBold, true,
                                   false, TextColour{0, 0, 192}));
    summary.Pieces.push_back(
        Piece("Summary:\n", SummaryMaskColour | SummaryMaskUnderline, false, true, black));
    summary.Pieces.push_back(
        Piece(FileSizeLine(info ? std::optional<uint64_t>(info->Size) : std::nullopt),
              AllAttributes, false, false, black));
    // Appended in the format of the piece before it.
    summary.Pieces.push_back(
        Piece(CreationTimeLine(info ? std::optional<std::tm>(info->CreationLocal) : std::nullopt),
              AllAttributes, false, false, black));
    summary.Pieces.push_back(Piece("PDF Description:\n", AllAttributes, true, true, black));

    // The core's complaints name the document they are about.
    const CoreDiagnosticScope diagnostics([&longPath](const std::string& line) {
        std::fprintf(stderr, "%s: %s\n", longPath.c_str(), line.c_str());
    });
    // Empty passwords: a document that needs a user password stays closed.
    auto document = std::make_unique<PDFDoc>(std::make_unique<GooString>(longPath), GooString(""),
                                             GooString(""));
    if (!document->isOk()) {
        summary.NeedsPassword = document->getErrorCode() == errEncrypted;
        return summary;
    }

    summary.Valid = true;
    summary.PageCount = document->getNumPages();
    if (summary.PageCount < 0)
        summary.PageCount = 0;

    std::optional<PageBox> measured;
    if (summary.PageCount > 0) {
        if (Page* first = document->getPage(1)) {
            const PDFRectangle* media = first->getMediaBox();
            const PDFRectangle* crop = first->getCropBox();
            const PageBox mediaBox{media->x1, media->y1, media->x2, media->y2};
            const PageBox cropBox{crop->x1, crop->y1, crop->x2, crop->y2};
            measured =
                CropBoxLimitsPage(mediaBox, cropBox, first->isCropped()) ? cropBox : mediaBox;
        }
    }
    const std::string version =
        VersionText(document->getPDFMajorVersion(), document->getPDFMinorVersion());
    summary.Pieces.push_back(Piece(DescriptionPiece(version, measured, summary.PageCount),
                                   AllAttributes, false, false, black));
    summary.Pieces.push_back(Piece("PDF Security:\n", AllAttributes, true, true, black));
    summary.Pieces.push_back(Piece(PermissionLines(document->okToPrint(), document->okToChange(),
                                                   document->okToCopy(), document->okToAddNotes()),
                                   AllAttributes, false, false, black));
    return summary;
}

} // namespace talvore
