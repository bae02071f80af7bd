#include "app/PdfSummaryView.h"

#include "app/CRightView.h"
#include "controls/MessageBoxes.h"
#include "controls/ThemeColours.h"
#include "pdfinfo/PdfSummary.h"

#include <QColor>
#include <QCoreApplication>
#include <QFile>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>

namespace {

// The control's default format with only the attributes in the piece's
// mask set.
QTextCharFormat FormatOf(const talvore::SummaryPiece& piece, const QPalette& palette) {
    QTextCharFormat format;
    if (piece.Mask & talvore::SummaryMaskColour)
        format.setForeground(talvore::TextOnBase(
            QColor(piece.Colour.Red, piece.Colour.Green, piece.Colour.Blue), palette));
    if (piece.Mask & talvore::SummaryMaskBold)
        format.setFontWeight(piece.Bold ? QFont::Bold : QFont::Normal);
    if (piece.Mask & talvore::SummaryMaskUnderline)
        format.setFontUnderline(piece.Underline);
    return format;
}

} // namespace

void ShowPdfSummary(QTextEdit* box, const QString& path, CRightView* panel) {
    if (!box)
        return;
    const talvore::PdfSummary summary =
        talvore::MakePdfSummary(QFile::encodeName(path).toStdString());

    box->clear();
    QTextCursor cursor(box->document());
    cursor.movePosition(QTextCursor::End);
    for (const talvore::SummaryPiece& piece : summary.Pieces)
        cursor.insertText(
            QString::fromUtf8(piece.Text.data(), static_cast<qsizetype>(piece.Text.size())),
            FormatOf(piece, box->palette()));
    box->moveCursor(QTextCursor::Start);

    if (summary.NeedsPassword) {
        // No box: the user is about to type the password into the row.
        cursor.movePosition(QTextCursor::End);
        QTextCharFormat warning;
        warning.setForeground(talvore::TextOnBase(QColor(192, 0, 0), box->palette()));
        warning.setFontWeight(QFont::Bold);
        cursor.insertText(QCoreApplication::translate("PdfSummaryView",
                                                      "\tThis file needs its user password: type "
                                                      "it into the row's User Password cell.\n"),
                          warning);
        box->moveCursor(QTextCursor::Start);
        return;
    }
    if (!summary.Valid) {
        // About one document: the path goes under the text.
        talvore::ShowMessage(box->window(),
                             QString::fromLatin1(talvore::NotValidPdfMessage) + QLatin1Char('\n') +
                                 path,
                             talvore::MessageIcon::Error);
        return;
    }
    if (panel && panel->PageRangeIndex() == 0)
        panel->SetEndPageText(QString::number(summary.PageCount));
}
