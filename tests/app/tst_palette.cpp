// The colours follow the palette: a light one keeps the light blue look, a
// dark one keeps the category rows, labels and captions readable. Checked
// on the drawn window, by contrast.
#include "AppTestSupport.h"
#include "app/CMainFrame.h"
#include "app/CRightView.h"
#include "app/MainForm.h"
#include "app/PdfSummaryView.h"
#include "controls/OptionTree.h"
#include "support/RecordingMessages.h"

#include <QLabel>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTreeWidget>
#include <QtTest>

#include <algorithm>
#include <cmath>

namespace {

double Luminance(const QColor& colour) {
    const auto channel = [](double value) {
        value /= 255.0;
        return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.red()) + 0.7152 * channel(colour.green()) +
           0.0722 * channel(colour.blue());
}

// The contrast ratio of two colours, 1 (none) to 21 (black on white).
double Contrast(const QColor& a, const QColor& b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The background of an area (its most common colour) and the strongest
// contrast any pixel there has against it: the text drawn on it.
struct Drawn {
    QColor Background;
    double TextContrast = 1;
};

Drawn Measure(const QImage& image, const QRect& area) {
    QHash<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[image.pixel(x, y)];
    QRgb common = 0;
    int most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most) {
            most = it.value();
            common = it.key();
        }
    }
    Drawn drawn;
    drawn.Background = QColor::fromRgb(common);
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        drawn.TextContrast =
            std::max(drawn.TextContrast, Contrast(QColor::fromRgb(it.key()), drawn.Background));
    return drawn;
}

} // namespace

class PaletteTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void CategoryRowsLabelsAndSummary_data();
    void CategoryRowsLabelsAndSummary();
};

void PaletteTest::initTestCase() {
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
}

void PaletteTest::CategoryRowsLabelsAndSummary_data() {
    QTest::addColumn<bool>("dark");
    QTest::newRow("light") << false;
    QTest::newRow("dark") << true;
}

void PaletteTest::CategoryRowsLabelsAndSummary() {
    QFETCH(bool, dark);
    // Fusion's own palette, or one built from a dark button colour.
    QApplication::setPalette(dark ? QPalette(QColor(45, 45, 48))
                                  : QApplication::style()->standardPalette());
    QTemporaryDir dir;
    talvore::testing::RecordingMessages messages;
    auto app = talvore::testing::MakeTestApp(dir);
    CMainFrame* frame = app->CreateMainWindow();
    QVERIFY(QTest::qWaitForWindowExposed(frame));
    const QColor lightBlue(207, 234, 254);

    // The category row "Output General Options".
    OptionTree* tree = frame->RightView()->Tree();
    auto* view = tree->findChild<QTreeWidget*>();
    QTreeWidgetItem* category = tree->FindItem(CRightView::ItemGeneralCategory)->Row();
    const QImage rows = view->viewport()->grab().toImage();
    const Drawn row = Measure(rows, view->visualItemRect(category).adjusted(0, 1, 0, -1));
    QVERIFY2(row.TextContrast >= 4.5, qPrintable(QString::number(row.TextContrast)));
    if (!dark)
        QCOMPARE(row.Background, lightBlue);

    // The "Current" label on the form, and the form itself.
    MainForm* form = frame->Form();
    QLabel* current = nullptr;
    for (QLabel* label : form->findChildren<QLabel*>()) {
        if (label->text() == QStringLiteral("Current"))
            current = label;
    }
    QVERIFY(current);
    const QImage formPicture = form->grab().toImage();
    const Drawn label = Measure(formPicture, current->geometry());
    QVERIFY2(label.TextContrast >= 4.5, qPrintable(QString::number(label.TextContrast)));
    QCOMPARE(label.Background, dark ? frame->palette().color(QPalette::Window) : lightBlue);

    // The summary's path line, blue on the text box.
    const QString path = dir.filePath(QStringLiteral("some.pdf"));
    QVERIFY(talvore::testing::WriteImagePdf(path, 1));
    ShowPdfSummary(form->InfoText(), path, nullptr);
    QTest::qWait(20);
    const QImage text = form->InfoText()->viewport()->grab().toImage();
    const int lineHeight = form->InfoText()->fontMetrics().height();
    const Drawn summary = Measure(text, QRect(0, 0, text.width(), lineHeight + 4));
    QVERIFY2(summary.TextContrast >= 4.5, qPrintable(QString::number(summary.TextContrast)));
}

QTEST_MAIN(PaletteTest)
#include "tst_palette.moc"
