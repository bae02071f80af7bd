#include "app/PdfSummaryView.h"

#include "app/CRightView.h"

#include <QTextEdit>

void ShowPdfSummary(QTextEdit* box, const QString& path, CRightView*)
{
    if (box)
        box->setPlainText(path + QLatin1Char('\n'));
}
