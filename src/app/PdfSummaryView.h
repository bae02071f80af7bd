// Puts the summary report of a PDF file into the main form's rich text box,
// piece by piece with each piece's format. When the options panel's page
// range is "All Pages", also sets its End Page item to the page count.
// GUI thread; safe during a run (the report opens a document of its own).
#pragma once

#include <QString>

class QTextEdit;
class CRightView;

// panel may be null (no End Page update then).
void ShowPdfSummary(QTextEdit* box, const QString& path, CRightView* panel);
