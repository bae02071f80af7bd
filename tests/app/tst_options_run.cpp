// The options panel and the run together: what F5 takes from the panel.
#include "AppTestSupport.h"
#include "app/CMainFrame.h"
#include "app/CRightView.h"
#include "app/MainForm.h"
#include "controls/OptionTree.h"
#include "filelist/FileList.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

using namespace talvore::testing;

class OptionsRunTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void uncommittedSpinnerEditReadByF5();
    void chosenFolderUsedByNextRun();

private:
    // Presses F5 where the focus is, as the user would, and waits for the run.
    void PressF5AndWait();
    QStringList OutputFiles() const;
    OptionTree* Tree() const { return m_frame->RightView()->Tree(); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<RecordingShell> m_shell;
    std::unique_ptr<CConverterApp> m_app;
    CMainFrame* m_frame = nullptr;
    QString m_out;
};

void OptionsRunTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_shell = std::make_unique<RecordingShell>();
    m_app = MakeTestApp(*m_dir, QStringLiteral("talvore-options-run-test"));
    m_app->LoadSettings();
    m_frame = m_app->CreateMainWindow();
    QVERIFY(m_frame);
    m_frame->show();
    m_frame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_frame));

    const QString pdf = m_dir->filePath(QStringLiteral("three.pdf"));
    QVERIFY(WriteImagePdf(pdf, 3));
    m_frame->Form()->Files().ImportFile(pdf);
    QCOMPARE(m_frame->Form()->Files().FileCount(), 1);

    m_out = m_dir->filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(m_out));
    Tree()->SetFolderBrowser([this](QWidget*, const QString&, const QString&) { return m_out; });
}

void OptionsRunTest::cleanup() {
    m_app->DestroyMainWindow();
    m_app.reset();
    m_shell.reset();
    m_dir.reset();
}

void OptionsRunTest::PressF5AndWait() {
    QSignalSpy finished(m_frame->Form(), &MainForm::RunFinished);
    QWidget* focus = QApplication::focusWidget();
    QVERIFY(focus);
    QTest::keyClick(focus, Qt::Key_F5);
    QVERIFY(finished.count() > 0 || finished.wait(30000));
}

QStringList OptionsRunTest::OutputFiles() const {
    return QDir(m_out).entryList(QDir::Files, QDir::Name);
}

void OptionsRunTest::uncommittedSpinnerEditReadByF5() {
    auto* range = static_cast<OptionListItem*>(Tree()->FindItem(CRightView::ItemPageRange));
    range->Editor()->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(range->Editor(), Qt::Key_Down); // "Selected Pages", committed
    auto* mode = static_cast<OptionListItem*>(Tree()->FindItem(CRightView::ItemOutputMode));
    mode->Editor()->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(mode->Editor(), Qt::Key_Up); // "ppm/pbm"
    QCOMPARE(m_app->Settings().ImagesFormat, 0);
    auto* folder =
        static_cast<OptionFolderItem*>(Tree()->FindItem(CRightView::ItemOutputDirectory));
    QVERIFY(folder->Browse());

    auto* begin = static_cast<OptionSpinnerItem*>(Tree()->FindItem(CRightView::ItemBeginPage));
    begin->Editor()->setFocus(Qt::MouseFocusReason);
    begin->Editor()->selectAll();
    QTest::keyClicks(begin->Editor(), QStringLiteral("3"));
    QVERIFY(begin->Editor()->hasFocus());
    QCOMPARE(m_app->Settings().StartPage, 1); // typed, not committed

    PressF5AndWait();
    QCOMPARE(m_app->Settings().StartPage, 3);
    // Only the third page's image.
    const QStringList files = OutputFiles();
    QCOMPARE(files.size(), 1);
    QVERIFY2(files.first().endsWith(QStringLiteral(".ppm")), qPrintable(files.join(u' ')));
}

void OptionsRunTest::chosenFolderUsedByNextRun() {
    auto* folder =
        static_cast<OptionFolderItem*>(Tree()->FindItem(CRightView::ItemOutputDirectory));
    folder->Field()->setFocus(Qt::MouseFocusReason);
    QTest::mouseClick(folder->Field(), Qt::LeftButton);
    QCOMPARE(folder->Folder(), m_out);
    QCOMPARE(m_app->Settings().OutputDirectory, std::string()); // no notification

    PressF5AndWait();
    QCOMPARE(m_app->Settings().OutputDirectory, QFile::encodeName(m_out).toStdString());
    // One image per page, converted to the default "jpg".
    const QStringList files = OutputFiles();
    QCOMPARE(files.size(), 3);
    for (const QString& file : files)
        QVERIFY2(file.endsWith(QStringLiteral(".jpg")), qPrintable(file));
    QVERIFY2(m_shell->Requests.join(u'\n').contains(m_out),
             qPrintable(m_shell->Requests.join(u'\n')));
}

QTEST_MAIN(OptionsRunTest)
#include "tst_options_run.moc"
