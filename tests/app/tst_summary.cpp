// The summary report in the main form's rich text box, and its End Page
// side effect on the options panel.
#include "app/CRightView.h"
#include "app/PdfSummaryView.h"
#include "controls/MessageBoxes.h"
#include "controls/OptionTree.h"
#include "pdfinfo/PdfSummary.h"
#include "support/PdfWriter.h"
#include "support/RecordingMessages.h"

#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>

namespace {

using MessageRecorder = talvore::testing::RecordingMessages;

// The character format at the first character of text in the box.
QTextCharFormat FormatAt(QTextEdit& box, const QString& text) {
    const int at = box.toPlainText().indexOf(text);
    if (at < 0)
        return {};
    QTextCursor cursor(box.document());
    cursor.setPosition(at + 1);
    return cursor.charFormat();
}

} // namespace

class SummaryViewTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void reportWithFormatsAndEndPage();
    void selectedPagesLeavesEndPageAlone();
    void invalidFileKeepsFirstFivePieces();
    void replacesWhatWasShownBefore();
    void userPasswordNeededIsSaidInThePane();

private:
    QString WritePdf(const QString& name, const talvore::testing::PageLayout& layout) {
        const QString path = m_dir->filePath(name);
        talvore::testing::WriteWholeFile(QFile::encodeName(path).toStdString(),
                                         talvore::testing::BuildPagesPdf(layout));
        return path;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    MessageRecorder m_messages;
    talvore::MessagePresenter* m_old = nullptr;
};

void SummaryViewTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_messages.Texts.clear();
    m_old = talvore::SetMessagePresenter(&m_messages);
}

void SummaryViewTest::cleanup() {
    talvore::SetMessagePresenter(m_old);
}

void SummaryViewTest::reportWithFormatsAndEndPage() {
    talvore::testing::PageLayout layout;
    layout.Pages = 7;
    layout.MinorVersion = 5;
    const QString path = WritePdf(QStringLiteral("seven pages.pdf"), layout);

    talvore::ConversionSettings settings;
    CRightView panel(settings);
    QTextEdit box;
    box.setReadOnly(true);
    ShowPdfSummary(&box, path, &panel);

    const QString text = box.toPlainText();
    QVERIFY(m_messages.Texts.isEmpty());
    const std::string sizeLine = talvore::FileSizeLine(uint64_t(QFileInfo(path).size()));
    QVERIFY(text.startsWith(path + QStringLiteral("\nSummary:\n") +
                            QString::fromStdString(sizeLine) +
                            QStringLiteral("\tCreation Time: ")));
    QVERIFY(text.contains(
        QStringLiteral("PDF Description:\n\tPDF Version: 1.5 (Acrobat 6.x) \n"
                       "\tPage Size: 816 x 1056 Pixel\n\tNumber of Pages: 7\nPDF Security:\n")));
    QVERIFY(text.endsWith(QStringLiteral("\tCommenting: Allowed")));

    const QTextCharFormat pathFormat = FormatAt(box, path);
    QCOMPARE(pathFormat.foreground().color(), QColor(0, 0, 192));
    QCOMPARE(pathFormat.fontWeight(), int(QFont::Bold));
    QVERIFY(!pathFormat.fontUnderline());
    const QTextCharFormat summaryFormat = FormatAt(box, QStringLiteral("Summary:"));
    QVERIFY(summaryFormat.fontUnderline());
    QVERIFY(summaryFormat.fontWeight() != int(QFont::Bold));
    QCOMPARE(summaryFormat.foreground().color(), QColor(Qt::black));
    const QTextCharFormat heading = FormatAt(box, QStringLiteral("PDF Security:"));
    QVERIFY(heading.fontUnderline());
    QCOMPARE(heading.fontWeight(), int(QFont::Bold));
    const QTextCharFormat plain = FormatAt(box, QStringLiteral("Creation Time"));
    QVERIFY(!plain.fontUnderline());
    QVERIFY(plain.fontWeight() != int(QFont::Bold));

    // "All Pages": End Page shows the page count; the record follows at the run.
    auto* endPage =
        static_cast<OptionSpinnerItem*>(panel.Tree()->FindItem(CRightView::ItemEndPage));
    QCOMPARE(endPage->Text(), QStringLiteral("7"));
    QCOMPARE(settings.EndPage, 1000);
    panel.ReadAllOptions();
    QCOMPARE(settings.EndPage, 7);
}

void SummaryViewTest::selectedPagesLeavesEndPageAlone() {
    const QString path = WritePdf(QStringLiteral("a.pdf"), talvore::testing::PageLayout{});
    talvore::ConversionSettings settings;
    settings.PageRange = 1;
    settings.EndPage = 40;
    CRightView panel(settings);
    QTextEdit box;
    ShowPdfSummary(&box, path, &panel);
    auto* endPage =
        static_cast<OptionSpinnerItem*>(panel.Tree()->FindItem(CRightView::ItemEndPage));
    QCOMPARE(endPage->Text(), QStringLiteral("40"));
    QVERIFY(box.toPlainText().contains(QStringLiteral("Number of Pages: 1\n")));

    // Without a panel the report is still made.
    QTextEdit alone;
    ShowPdfSummary(&alone, path, nullptr);
    QCOMPARE(alone.toPlainText(), box.toPlainText());
}

void SummaryViewTest::invalidFileKeepsFirstFivePieces() {
    const QString path = m_dir->filePath(QStringLiteral("broken.pdf"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(1024, 'x'));
    file.close();

    talvore::ConversionSettings settings;
    CRightView panel(settings);
    QTextEdit box;
    ShowPdfSummary(&box, path, &panel);
    QCOMPARE(m_messages.Texts, QStringList{QStringLiteral("Not a valid pdf file!\n") + path});
    const QString text = box.toPlainText();
    QVERIFY(text.startsWith(
        path + QStringLiteral("\nSummary:\n\tFile Size: 1 KB (1,024 Bytes)\n\tCreation Time: ")));
    QVERIFY(text.endsWith(QStringLiteral("\nPDF Description:\n")));
    auto* endPage =
        static_cast<OptionSpinnerItem*>(panel.Tree()->FindItem(CRightView::ItemEndPage));
    QCOMPARE(endPage->Text(), QStringLiteral("1000"));
}

void SummaryViewTest::replacesWhatWasShownBefore() {
    const QString first = WritePdf(QStringLiteral("first.pdf"), talvore::testing::PageLayout{});
    const QString second = WritePdf(QStringLiteral("second.pdf"), talvore::testing::PageLayout{});
    QTextEdit box;
    box.setPlainText(QStringLiteral("old text"));
    ShowPdfSummary(&box, first, nullptr);
    ShowPdfSummary(&box, second, nullptr);
    const QString text = box.toPlainText();
    QVERIFY(text.startsWith(second + u'\n'));
    QVERIFY(!text.contains(first));
    QVERIFY(!text.contains(QStringLiteral("old text")));
    QCOMPARE(text.count(QStringLiteral("Summary:")), 1);
}

// The user is to type the password into the row: a line in the pane says
// so, and no box comes up on every click.
void SummaryViewTest::userPasswordNeededIsSaidInThePane() {
    const QString plain = WritePdf(QStringLiteral("plain.pdf"), talvore::testing::PageLayout{});
    const QString locked = m_dir->filePath(QStringLiteral("locked.pdf"));
    const QString ownerOnly = m_dir->filePath(QStringLiteral("owner-only.pdf"));
    QVERIFY(talvore::testing::EncryptWithQpdf(QFile::encodeName(plain).toStdString(),
                                              QFile::encodeName(locked).toStdString(), "user",
                                              "owner", 256, {}));
    QVERIFY(talvore::testing::EncryptWithQpdf(QFile::encodeName(plain).toStdString(),
                                              QFile::encodeName(ownerOnly).toStdString(), "",
                                              "owner", 256, {}));
    const QString line = QStringLiteral(
        "This file needs its user password: type it into the row's User Password cell.");
    QTextEdit box;
    for (int click = 0; click < 2; ++click)
        ShowPdfSummary(&box, locked, nullptr);
    QVERIFY(m_messages.Texts.isEmpty());
    const QString text = box.toPlainText();
    QVERIFY(text.startsWith(locked + QStringLiteral("\nSummary:\n")));
    QVERIFY2(text.endsWith(QStringLiteral("PDF Description:\n\t") + line + u'\n'),
             qPrintable(text));
    QCOMPARE(text.count(line), 1);
    // Opened without a user password, it gets the full report.
    ShowPdfSummary(&box, ownerOnly, nullptr);
    QVERIFY(!box.toPlainText().contains(line));
    QVERIFY(box.toPlainText().contains(QStringLiteral("Number of Pages: 1\n")));
    QVERIFY(m_messages.Texts.isEmpty());
}

QTEST_MAIN(SummaryViewTest)
#include "tst_summary.moc"
