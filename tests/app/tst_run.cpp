// A conversion run through the desktop: F5 starts it, the captions and
// positions arrive on the bars, message boxes hold the worker, Stop takes
// effect between documents, and closing the window during a run waits for
// the document in hand.
#include "app/MainForm.h"

#include "AppTestSupport.h"
#include "app/CMainFrame.h"
#include "app/CommandTable.h"
#include "app/GuiRunObserver.h"
#include "controls/CaptionProgressBar.h"
#include "controls/CheckBoxGrid.h"
#include "controls/IconButton.h"
#include "filelist/FileList.h"
#include "support/RecordingMessages.h"

#include <QDir>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

using namespace talvore;
using talvore::testing::RecordingShell;

namespace {

// Message boxes that run a step of the test while the worker waits for OK.
class ScriptedMessages : public talvore::testing::RecordingMessages {
public:
    void Inform(QWidget* parent, const QString& text, MessageIcon icon) override {
        RecordingMessages::Inform(parent, text, icon);
        if (WhileShown)
            WhileShown(text);
    }
    std::function<void(const QString&)> WhileShown;
};

struct BarLog {
    QStringList Current, Total;
    QList<int> CurrentPositions;
};

} // namespace

class RunTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void FullRunStartedWithF5();
    void AvailabilityDuringARunAndStopBetweenDocuments();
    void ClosingDuringARunWaitsForTheDocument();
    void FormDestroyedDuringARunLetsTheWorkerGo();
    void FailedImagesAreNamedAtTheEnd();
    void QueuedCaptionsDoNotOverwriteTheStop();

private:
    QString MakePdf(const QString& name, int pages);
    QString MakeBroken(const QString& name);
    void Watch(BarLog& log);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedMessages> m_messages;
    std::unique_ptr<RecordingShell> m_shell;
    std::unique_ptr<CConverterApp> m_app;
    CMainFrame* m_frame = nullptr;
    MainForm* m_form = nullptr;
};

void RunTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_messages = std::make_unique<ScriptedMessages>();
    m_shell = std::make_unique<RecordingShell>();
    m_app = talvore::testing::MakeTestApp(*m_dir);
    // Raw dumps: the run writes what the PDF holds and converts nothing.
    m_app->Settings().ImagesFormat = OutputRaw;
    m_frame = m_app->CreateMainWindow();
    QVERIFY(QTest::qWaitForWindowExposed(m_frame));
    m_frame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_frame));
    m_form = m_frame->Form();
}

void RunTest::cleanup() {
    m_app.reset();
    m_shell.reset();
    m_messages.reset();
    m_dir.reset();
}

QString RunTest::MakePdf(const QString& name, int pages) {
    const QString path = m_dir->filePath(name);
    if (!talvore::testing::WriteImagePdf(path, pages))
        qWarning("could not write %s", qPrintable(path));
    return path;
}

QString RunTest::MakeBroken(const QString& name) {
    const QString path = m_dir->filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("%PDF-1.4\nthis is not a document\n");
    return path;
}

void RunTest::Watch(BarLog& log) {
    connect(m_form->CurrentBar(), &CaptionProgressBar::CaptionChanged, this,
            [&log](const QString& caption) { log.Current << caption; });
    connect(m_form->TotalBar(), &CaptionProgressBar::CaptionChanged, this,
            [&log](const QString& caption) { log.Total << caption; });
    connect(m_form->CurrentBar(), &QProgressBar::valueChanged, this,
            [&log](int value) { log.CurrentPositions << value; });
}

void RunTest::FullRunStartedWithF5() {
    const QString first = MakePdf(QStringLiteral("first.pdf"), 2);
    const QString second = MakePdf(QStringLiteral("second.pdf"), 3);
    m_form->Files().DropFiles({first, second});
    QCOMPARE(m_form->Files().FileCount(), 2);
    BarLog log;
    Watch(log);
    QSignalSpy finished(m_form, &MainForm::RunFinished);

    m_form->Grid()->setFocus();
    QTest::keyClick(m_form->Grid(), Qt::Key_F5);
    QVERIFY(m_form->IsConverting());
    for (const int id :
         {IdStartConvert, IdClearAll, IdImportDirectory, IdOpenFile, IdRemoveSelected})
        QVERIFY(!m_form->Button(id)->isEnabled());
    QVERIFY(m_form->Button(IdStopConvert)->isEnabled());
    QVERIFY(finished.wait(20000));

    QVERIFY(!m_form->IsConverting());
    for (const int id :
         {IdStartConvert, IdClearAll, IdImportDirectory, IdOpenFile, IdRemoveSelected})
        QVERIFY(m_form->Button(id)->isEnabled());
    QCOMPARE(log.Total, (QStringList{"File 1 of 2, 50%", "File 2 of 2, 100%", "Convert Finished"}));
    QCOMPARE(log.Current, (QStringList{"Page 1 of 2, 50%", "Page 2 of 2, 100%", "Convert Finished",
                                       "Page 1 of 3, 33%", "Page 2 of 3, 66%", "Page 3 of 3, 100%",
                                       "Convert Finished"}));
    QCOMPARE(log.CurrentPositions, (QList<int>{50, 100, 33, 66, 100}));
    QVERIFY(m_messages->Texts.isEmpty());
    // The output folder of the first document is opened at the end.
    QCOMPARE(m_shell->Requests,
             QStringList{QStringLiteral("explore ") + m_dir->path() + QLatin1Char('/')});
    QCOMPARE(QDir(m_dir->filePath(QStringLiteral("first"))).entryList(QDir::Files).size(), 2);
    QCOMPARE(QDir(m_dir->filePath(QStringLiteral("second"))).entryList(QDir::Files).size(), 3);
}

void RunTest::AvailabilityDuringARunAndStopBetweenDocuments() {
    const QString first = MakePdf(QStringLiteral("one.pdf"), 1);
    const QString broken = MakeBroken(QStringLiteral("two.pdf"));
    const QString third = MakePdf(QStringLiteral("three.pdf"), 1);
    m_form->Files().DropFiles({first, broken, third});
    BarLog log;
    Watch(log);

    bool checked = false;
    m_messages->WhileShown = [&](const QString&) {
        // The worker waits for this box: the run is in progress.
        QVERIFY(m_form->IsConverting());
        const QList<int> duringRun = {IdOpenFileDirectory, IdOpenWithApp, IdStopConvert};
        m_frame->UpdateCommandStates();
        for (const FormCommand& command : FormCommands()) {
            QCOMPARE(m_form->IsCommandEnabled(command.Id), duringRun.contains(command.Id));
            QCOMPARE(m_frame->Action(command.Id)->isEnabled(), duringRun.contains(command.Id));
        }
        std::unique_ptr<QMenu> menu =
            m_form->BuildContextMenu(m_form->mapToGlobal(QPoint(100, 40)), true);
        QVERIFY(menu);
        int greyed = 0, enabled = 0;
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator())
                (action->isEnabled() ? enabled : greyed) += 1;
        }
        // Three commands and "Show Passwords", which only changes the look.
        QCOMPARE(greyed, 9);
        QCOMPARE(enabled, 4);
        QVERIFY(menu->actions().last()->isEnabled());

        // Keys follow availability during a run: these change nothing.
        m_form->Grid()->setFocus();
        m_form->Grid()->HighlightRow(1);
        QTest::keyClick(m_form->Grid(), Qt::Key_Delete);
        QTest::keyClick(m_form->Grid(), Qt::Key_X, Qt::ControlModifier);
        QTest::keyClick(m_form->Grid(), Qt::Key_F5);
        QCOMPARE(m_form->Files().FileCount(), 3);
        QVERIFY(m_form->Files().IsTicked(1));
        // A drop is still taken; it does not join this run.
        const QString late = MakePdf(QStringLiteral("late.pdf"), 1);
        m_form->Files().DropFiles({late});
        QCOMPARE(m_form->Files().FileCount(), 4);

        // Shift+F5 reaches Stop Convert through the accelerator.
        QTest::keyClick(m_form->Grid(), Qt::Key_F5, Qt::ShiftModifier);
        QCOMPARE(m_form->CurrentBar()->Caption(), QStringLiteral("Convert stopped."));
        QCOMPARE(m_form->TotalBar()->Caption(), QStringLiteral("Convert stopped."));
        QVERIFY(m_form->IsConverting()); // until the worker ends
        QVERIFY(!m_form->Button(IdStartConvert)->isEnabled());
        checked = true;
    };
    QSignalSpy finished(m_form, &MainForm::RunFinished);
    m_form->Button(IdStartConvert)->click();
    QVERIFY(finished.wait(20000));
    QVERIFY(checked);
    // The document's path under the text.
    QCOMPARE(m_messages->Texts, QStringList{QStringLiteral("Not a valid pdf file!\n") + broken});
    // "Convert stopped." stays; the third document is never opened.
    QCOMPARE(log.Current.last(), QStringLiteral("Convert stopped."));
    QCOMPARE(log.Total.last(), QStringLiteral("Convert stopped."));
    QVERIFY(QFileInfo(m_dir->filePath(QStringLiteral("one"))).isDir());
    QVERIFY(!QFileInfo(m_dir->filePath(QStringLiteral("three"))).exists());
    QVERIFY(!QFileInfo(m_dir->filePath(QStringLiteral("late"))).exists());
    QVERIFY(m_shell->Requests.isEmpty());
    QVERIFY(m_form->Button(IdStartConvert)->isEnabled());
    QVERIFY(m_frame->Action(IdStartConvert)->isEnabled());
}

void RunTest::ClosingDuringARunWaitsForTheDocument() {
    const QString broken = MakeBroken(QStringLiteral("first.pdf"));
    const QString second = MakePdf(QStringLiteral("second.pdf"), 1);
    m_form->Files().DropFiles({broken, second});
    BarLog log;
    Watch(log);
    bool closeRefused = false;
    m_messages->WhileShown = [&](const QString&) {
        // Closing now stops the run and leaves the window up for the
        // document in hand, with a wait cursor and a caption that says so.
        closeRefused = !m_frame->close();
        QVERIFY(m_frame->isVisible());
        QCOMPARE(m_form->CurrentBar()->Caption(),
                 QStringLiteral("Convert stopped. Finishing the current page..."));
        QCOMPARE(m_form->TotalBar()->Caption(), QStringLiteral("Convert stopped."));
        QVERIFY(QApplication::overrideCursor());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        // A second close while waiting changes nothing.
        QVERIFY(!m_frame->close());
    };
    m_form->StartConvert();
    QTRY_VERIFY_WITH_TIMEOUT(!m_frame->isVisible(), 20000);
    QVERIFY(closeRefused);
    QVERIFY(!m_form->IsConverting());
    QVERIFY(!QApplication::overrideCursor());
    // The stopped run sets no caption after the stop; the close that
    // follows the run stops once more, as every close does.
    QCOMPARE(log.Current,
             (QStringList{"Convert stopped.", "Convert stopped. Finishing the current page...",
                          "Convert stopped.", "Convert stopped. Finishing the current page...",
                          "Convert stopped."}));
    QVERIFY(!QFileInfo(m_dir->filePath(QStringLiteral("second"))).exists());

    // Then the form goes and the settings are written.
    m_app->DestroyMainWindow();
    m_app->SaveSettings();
    QVERIFY(QFileInfo(m_dir->filePath(QStringLiteral("Settings.ini"))).isFile());
}

// Not the window's way (it waits for the run), but a form that goes away
// mid-run must stop and join its worker, and nothing queued by the worker
// may reach it afterwards.
void RunTest::FormDestroyedDuringARunLetsTheWorkerGo() {
    ConversionSettings settings;
    settings.ImagesFormat = OutputRaw;
    auto form = std::make_unique<MainForm>(settings);
    QStringList paths;
    for (int i = 0; i < 6; ++i)
        paths << MakePdf(QStringLiteral("doc%1.pdf").arg(i), 3);
    paths.insert(1, MakeBroken(QStringLiteral("broken.pdf")));
    form->Files().DropFiles(paths);
    form->StartConvert();
    QVERIFY(form->IsConverting());
    form.reset();
    QTest::qWait(50); // anything still queued must be dropped, not delivered
    QVERIFY(!QFileInfo(m_dir->filePath(QStringLiteral("doc5"))).exists());
}

// Images the run could not deliver are named after the run, per document
// with the count and the first reason, beside "Convert Finished".
void RunTest::FailedImagesAreNamedAtTheEnd() {
    const QString good = MakePdf(QStringLiteral("good.pdf"), 1);
    // Two image dictionaries the core refuses (no width), one good image.
    talvore::testing::PdfWriter writer;
    const int bad =
        writer.AddImage(8, 6, "/DeviceRGB", 8, "", std::string(8 * 6 * 3, 'a'), "/Width 0");
    const int fine = writer.AddImage(8, 6, "/DeviceRGB", 8, "", std::string(8 * 6 * 3, 'b'));
    writer.AddPage("q 10 0 0 10 0 0 cm /Bad Do /Bad Do /Fine Do Q",
                   "<< /XObject << /Bad " + std::to_string(bad) + " 0 R /Fine " +
                       std::to_string(fine) + " 0 R >> >>");
    const QString failing = m_dir->filePath(QStringLiteral("failing.pdf"));
    QVERIFY(writer.WriteFile(QFile::encodeName(failing).toStdString()));
    m_form->Files().DropFiles({good, failing});
    QSignalSpy finished(m_form, &MainForm::RunFinished);
    bool convertingWhileShown = false;
    m_messages->WhileShown = [&](const QString&) { convertingWhileShown = m_form->IsConverting(); };
    m_form->StartConvert();
    QVERIFY(finished.wait(20000));
    QCOMPARE(m_messages->Texts.size(), 1);
    const QString text = m_messages->Texts.first();
    QVERIFY2(text.startsWith(QStringLiteral("Not every image could be saved:\n\n") + failing +
                             QStringLiteral("\n    2 images failed; the first: ")),
             qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("page 1: the PDF core refused an image")),
             qPrintable(text));
    QVERIFY(!text.contains(good));
    // Shown before the buttons return, the caption stays as it was.
    QVERIFY(convertingWhileShown);
    QCOMPARE(m_form->TotalBar()->Caption(), QStringLiteral("Convert Finished"));
    QCOMPARE(QDir(m_dir->filePath(QStringLiteral("failing"))).entryList(QDir::Files).size(), 1);
}

// A caption the worker sent before the stop may arrive after it.
void RunTest::QueuedCaptionsDoNotOverwriteTheStop() {
    GuiRunObserver observer(m_form);
    observer.SetCurrentCaption("Page 1 of 2, 50%");
    observer.SetCurrentPosition(50);
    observer.SetTotalCaption("File 1 of 1, 100%");
    m_form->StopConvert();
    QCoreApplication::processEvents();
    QCOMPARE(m_form->CurrentBar()->Caption(), QStringLiteral("Convert stopped."));
    QCOMPARE(m_form->TotalBar()->Caption(), QStringLiteral("Convert stopped."));
    QCOMPARE(m_form->CurrentBar()->value(), 0);
}

QTEST_MAIN(RunTest)
#include "tst_run.moc"
