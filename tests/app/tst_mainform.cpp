// The main form: layout, buttons, progress display, the key filter, the
// context menu over the grid, dropped files and the summary on a click.
#include "app/MainForm.h"

#include "AppTestSupport.h"
#include "app/CommandTable.h"
#include "controls/CaptionProgressBar.h"
#include "controls/CheckBoxGrid.h"
#include "controls/IconButton.h"
#include "filelist/FileList.h"
#include "support/RecordingMessages.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QStyledItemDelegate>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

using namespace talvore;
using talvore::testing::RecordingMessages;
using talvore::testing::RecordingShell;

class MainFormTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void WorkedLayoutExample();
    void OddHeightLayout();
    void TinyFormsClipToZero();
    void ButtonsIconsAndTips();
    void ProgressDisplayThroughTheForm();
    void KeyFilterTable_data();
    void KeyFilterTable();
    void OWithoutCtrlDoesNothing();
    void KeysInTheGrid();
    void PasswordEditorKeepsItsKeys();
    void PasswordsShowAsDotsUntilShown();
    void F5StartsARunShiftF5DoesNot();
    void ContextMenuPlaces();
    void DropAddsFiles();
    void OpenFileDirectoryAndAssociatedApp();
    void RemoveClearsTheInfoText();

private:
    void AddFiles(int count);
    QLabel* LabelWithText(const QString& text) const;

    ConversionSettings m_settings;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MainForm> m_form;
    std::unique_ptr<RecordingMessages> m_messages;
    std::unique_ptr<RecordingShell> m_shell;
    int m_openDialogs = 0;
    int m_folderDialogs = 0;
};

void MainFormTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_messages = std::make_unique<RecordingMessages>();
    m_shell = std::make_unique<RecordingShell>();
    m_form = std::make_unique<MainForm>(m_settings);
    m_openDialogs = m_folderDialogs = 0;
    m_form->Files().SetOpenDialog([this](QWidget*) {
        ++m_openDialogs;
        return QStringList();
    });
    m_form->Files().SetFolderDialog([this](QWidget*) {
        ++m_folderDialogs;
        return QString();
    });
    m_form->resize(640, 500);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
}

void MainFormTest::cleanup() {
    m_form.reset();
    m_shell.reset();
    m_messages.reset();
    m_dir.reset();
}

void MainFormTest::AddFiles(int count) {
    for (int i = 1; i <= count; ++i) {
        const QString path = m_dir->filePath(QStringLiteral("doc%1.pdf").arg(i));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("%PDF-1.4\n");
        file.close();
        m_form->Files().ImportFile(path);
    }
}

QLabel* MainFormTest::LabelWithText(const QString& text) const {
    for (QLabel* label : m_form->findChildren<QLabel*>()) {
        if (label->text() == text)
            return label;
    }
    return nullptr;
}

void MainFormTest::WorkedLayoutExample() {
    QCOMPARE(m_form->size(), QSize(640, 500));
    QCOMPARE(m_form->Grid()->geometry(), QRect(0, 0, 640, 206));
    QCOMPARE(m_form->Button(IdOpenFile)->geometry(), QRect(5, 214, 32, 32));
    QCOMPARE(m_form->Button(IdImportDirectory)->geometry(), QRect(57, 214, 32, 32));
    QCOMPARE(m_form->Button(IdRemoveSelected)->geometry(), QRect(109, 214, 32, 32));
    QCOMPARE(m_form->Button(IdClearAll)->geometry(), QRect(161, 214, 32, 32));
    QCOMPARE(m_form->InfoText()->geometry(), QRect(0, 254, 640, 198));
    QCOMPARE(m_form->Button(IdStartConvert)->geometry(), QRect(5, 460, 32, 32));
    QCOMPARE(m_form->Button(IdStopConvert)->geometry(), QRect(57, 460, 32, 32));
    QCOMPARE(LabelWithText(QStringLiteral("Current"))->geometry(), QRect(97, 460, 40, 12));
    QCOMPARE(LabelWithText(QStringLiteral("Total"))->geometry(), QRect(97, 480, 40, 12));
    QCOMPARE(m_form->CurrentBar()->geometry(), QRect(145, 460, 495, 12));
    QCOMPARE(m_form->TotalBar()->geometry(), QRect(145, 480, 495, 12));
}

void MainFormTest::OddHeightLayout() {
    m_form->resize(640, 501);
    QCOMPARE(m_form->InfoText()->geometry(), QRect(0, 255, 640, 198));
    QCOMPARE(m_form->Grid()->geometry(), QRect(0, 0, 640, 206));
    QCOMPARE(m_form->Button(IdStartConvert)->geometry().y(), 461);
    m_form->resize(900, 700);
    QCOMPARE(m_form->Grid()->geometry(), QRect(0, 0, 900, 306));
    QCOMPARE(m_form->TotalBar()->geometry(), QRect(145, 680, 755, 12));
}

void MainFormTest::TinyFormsClipToZero() {
    m_form->resize(100, 60);
    QCOMPARE(m_form->Grid()->height(), 0);
    QCOMPARE(m_form->InfoText()->height(), 0);
    QCOMPARE(m_form->CurrentBar()->width(), 0);
}

void MainFormTest::ButtonsIconsAndTips() {
    const std::pair<int, const char*> tips[] = {
        {IdOpenFile, "Open File (Ctrl+O)"},
        {IdImportDirectory, "Open Directory (Ctrl+D)"},
        {IdRemoveSelected, "Remove Current Selected Item (Del)"},
        {IdClearAll, "Clear All Selected (Ctrl+X)"},
        {IdStartConvert, "Start Convert (F5)"},
        {IdStopConvert, "Stop Convert (Shift+F5)"},
    };
    for (const auto& [id, tip] : tips) {
        IconButton* button = m_form->Button(id);
        QVERIFY(button);
        QCOMPARE(button->toolTip(), QString::fromLatin1(tip));
        QCOMPARE(button->size(), QSize(32, 32));
        QVERIFY(button->text().isEmpty());
        QVERIFY(button->isEnabled());
        // Our own pictures, with a grey disabled version.
        const QImage normal = button->icon().pixmap(QSize(28, 28)).toImage();
        const QImage grey = button->icon().pixmap(QSize(28, 28), QIcon::Disabled).toImage();
        QVERIFY(!normal.isNull());
        bool coloured = false, allGrey = true;
        for (int y = 0; y < normal.height(); ++y) {
            for (int x = 0; x < normal.width(); ++x) {
                const QColor c = normal.pixelColor(x, y), g = grey.pixelColor(x, y);
                coloured |= c.alpha() > 0 && (c.red() != c.green() || c.green() != c.blue());
                allGrey &= g.red() == g.green() && g.green() == g.blue();
            }
        }
        QVERIFY(coloured);
        QVERIFY(allGrey);
    }
    m_form->EnableCommandButtons(false);
    for (const int id :
         {IdStartConvert, IdClearAll, IdImportDirectory, IdOpenFile, IdRemoveSelected})
        QVERIFY(!m_form->Button(id)->isEnabled());
    QVERIFY(m_form->Button(IdStopConvert)->isEnabled());
    // The buttons do not follow availability: on an empty list they act on nothing.
    m_form->EnableCommandButtons(true);
    m_form->Button(IdRemoveSelected)->click();
    m_form->Button(IdClearAll)->click();
    QVERIFY(m_messages->Texts.isEmpty());
    m_form->Button(IdOpenFile)->click();
    QCOMPARE(m_openDialogs, 1);
}

void MainFormTest::ProgressDisplayThroughTheForm() {
    const QString waiting = QStringLiteral("Waiting for converting.");
    const QString stopped = QStringLiteral("Convert stopped.");
    QCOMPARE(m_form->CurrentBar()->Caption(), waiting);
    QCOMPARE(m_form->TotalBar()->Caption(), waiting);
    QCOMPARE(m_form->CurrentBar()->value(), 0);

    m_form->SetCurrentProgress(40, QStringLiteral("Page 2 of 5, 40%"));
    m_form->RunCommand(IdStopConvert);
    QCOMPARE(m_form->CurrentBar()->Caption(), stopped);
    QCOMPARE(m_form->TotalBar()->Caption(), stopped);
    QCOMPARE(m_form->CurrentBar()->value(), 0);

    // A drop leaves the bars alone; a confirmed Open File resets them.
    AddFiles(1);
    QCOMPARE(m_form->TotalBar()->Caption(), stopped);
    const QString path = m_dir->filePath(QStringLiteral("more.pdf"));
    QFile(path).open(QIODevice::WriteOnly);
    m_form->Files().SetOpenDialog([&](QWidget*) { return QStringList{path}; });
    m_form->RunCommand(IdOpenFile);
    QCOMPARE(m_form->CurrentBar()->Caption(), waiting);
    QCOMPARE(m_form->TotalBar()->Caption(), waiting);
    QCOMPARE(m_form->Files().FileCount(), 2);

    // Remove Selected and Remove All leave the captions as they are.
    m_form->RunCommand(IdStopConvert);
    m_form->Grid()->HighlightRow(1);
    m_form->RunCommand(IdRemoveSelected);
    m_form->RunCommand(IdRemoveAll);
    QCOMPARE(m_form->TotalBar()->Caption(), stopped);
}

void MainFormTest::KeyFilterTable_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("command");
    const int ctrl = Qt::ControlModifier;
    QTest::newRow("Ctrl+O") << int(Qt::Key_O) << ctrl << int(IdOpenFile);
    QTest::newRow("Ctrl+Shift+O") << int(Qt::Key_O) << int(ctrl | Qt::ShiftModifier)
                                  << int(IdOpenFile);
    QTest::newRow("Ctrl+E") << int(Qt::Key_E) << ctrl << int(IdOpenFileDirectory);
    QTest::newRow("Ctrl+W") << int(Qt::Key_W) << ctrl << int(IdOpenWithApp);
    QTest::newRow("Ctrl+D") << int(Qt::Key_D) << ctrl << int(IdImportDirectory);
    QTest::newRow("Ctrl+A") << int(Qt::Key_A) << ctrl << int(IdSelectAll);
    QTest::newRow("Ctrl+I") << int(Qt::Key_I) << ctrl << int(IdInvertSelect);
    QTest::newRow("Ctrl+X") << int(Qt::Key_X) << ctrl << int(IdClearAll);
    QTest::newRow("Ctrl+Delete") << int(Qt::Key_Delete) << ctrl << int(IdRemoveAll);
    QTest::newRow("Delete") << int(Qt::Key_Delete) << 0 << int(IdRemoveSelected);
    QTest::newRow("Shift+Delete") << int(Qt::Key_Delete) << int(Qt::ShiftModifier)
                                  << int(IdRemoveSelected);
    QTest::newRow("Space") << int(Qt::Key_Space) << 0 << int(IdSelectCurrent);
    QTest::newRow("Ctrl+Space") << int(Qt::Key_Space) << ctrl << int(IdSelectCurrent);
    QTest::newRow("F5") << int(Qt::Key_F5) << 0 << int(IdStartConvert);
    QTest::newRow("Ctrl+F5") << int(Qt::Key_F5) << ctrl << int(IdStartConvert);
    QTest::newRow("Shift+F5") << int(Qt::Key_F5) << int(Qt::ShiftModifier) << 0;
    QTest::newRow("O") << int(Qt::Key_O) << 0 << 0;
    QTest::newRow("Shift+O") << int(Qt::Key_O) << int(Qt::ShiftModifier) << 0;
    QTest::newRow("Ctrl+Alt+O") << int(Qt::Key_O) << int(ctrl | Qt::AltModifier) << 0;
    QTest::newRow("Alt+Delete") << int(Qt::Key_Delete) << int(Qt::AltModifier) << 0;
    QTest::newRow("Ctrl+B") << int(Qt::Key_B) << ctrl << 0;
    QTest::newRow("F1") << int(Qt::Key_F1) << 0 << 0;
}

void MainFormTest::KeyFilterTable() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, command);
    QCOMPARE(FilterCommand(key, Qt::KeyboardModifiers(modifiers)), command);
}

void MainFormTest::OWithoutCtrlDoesNothing() {
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    m_form->Grid()->setFocus();
    QTest::keyClick(m_form->Grid(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(m_openDialogs, 1);
    for (int i = 0; i < 3; ++i) {
        QTest::keyPress(m_form->Grid(), Qt::Key_Control);
        QTest::keyRelease(m_form->Grid(), Qt::Key_Control);
    }
    QTest::keyClick(m_form->Grid(), Qt::Key_O);
    QCOMPARE(m_openDialogs, 1);
    QTest::keyClick(m_form->Grid(), Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(m_folderDialogs, 1);
    // Keys reaching the form itself or a button are filtered too.
    QTest::keyClick(m_form->Button(IdClearAll), Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(m_form.get(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(m_openDialogs, 3);
}

void MainFormTest::KeysInTheGrid() {
    AddFiles(4);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    CheckBoxGrid* grid = m_form->Grid();
    grid->setFocus();
    FileList& files = m_form->Files();

    QTest::keyClick(grid, Qt::Key_X, Qt::ControlModifier);
    for (int row = 1; row <= 4; ++row)
        QVERIFY(!files.IsTicked(row));
    grid->HighlightRow(2);
    QTest::keyClick(grid, Qt::Key_Space);
    QVERIFY(files.IsTicked(2));
    QVERIFY(!files.IsTicked(1));
    QTest::keyClick(grid, Qt::Key_I, Qt::ControlModifier);
    QVERIFY(!files.IsTicked(2));
    QVERIFY(files.IsTicked(3));
    QTest::keyClick(grid, Qt::Key_A, Qt::ControlModifier);
    for (int row = 1; row <= 4; ++row)
        QVERIFY(files.IsTicked(row));

    const QString third = files.PathOfRow(3);
    grid->HighlightRow(2);
    QTest::keyClick(grid, Qt::Key_Delete);
    QCOMPARE(files.FileCount(), 3);
    QCOMPARE(files.PathOfRow(2), third);
    QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(files.FileCount(), 0);
}

void MainFormTest::PasswordEditorKeepsItsKeys() {
    AddFiles(2);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    CheckBoxGrid* grid = m_form->Grid();
    m_form->Files().ClearAll();
    grid->HighlightRow(1);
    grid->setCurrentCell(0, FileList::OwnerColumn);
    grid->editItem(grid->item(0, FileList::OwnerColumn));
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor);
    QTest::keyClicks(editor, QStringLiteral("a b"));
    QTest::keyClick(editor, Qt::Key_Left);
    QTest::keyClick(editor, Qt::Key_Delete);
    QTest::keyClick(editor, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(editor->text(), QStringLiteral("a "));
    QTest::keyClick(editor, Qt::Key_Return);
    // The editor commits on a queued call.
    QTRY_COMPARE(m_form->Files().OwnerPasswordOfRow(1), QStringLiteral("a "));
    QCOMPARE(m_form->Files().FileCount(), 2);
    QVERIFY(!m_form->Files().IsTicked(1)); // Space only typed
}

void MainFormTest::PasswordsShowAsDotsUntilShown() {
    AddFiles(2);
    CheckBoxGrid* grid = m_form->Grid();
    FileList& files = m_form->Files();
    grid->item(0, FileList::OwnerColumn)->setText(QStringLiteral("own er"));
    grid->HighlightRow(2);
    grid->setCurrentCell(1, FileList::UserColumn);
    grid->editItem(grid->item(1, FileList::UserColumn));
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor);
    QCOMPARE(editor->echoMode(), QLineEdit::Password);
    QTest::keyClicks(editor, QStringLiteral("pa ss"));
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(files.UserPasswordOfRow(2), QStringLiteral("pa ss"));

    const auto shown = [&](int row, int column) {
        const QModelIndex index = grid->model()->index(row - 1, column);
        auto* delegate = static_cast<QStyledItemDelegate*>(grid->itemDelegateForIndex(index));
        return delegate->displayText(index.data(), QLocale());
    };
    const QString dot(QChar(0x25CF));
    QCOMPARE(shown(1, FileList::OwnerColumn), dot.repeated(6));
    QCOMPARE(shown(2, FileList::UserColumn), dot.repeated(5));
    QCOMPARE(shown(2, FileList::OwnerColumn), QString());
    QCOMPARE(shown(1, FileList::NameColumn), QStringLiteral("doc1.pdf"));

    // The row's context menu reveals them while its item is checked.
    const QPoint overGrid = m_form->mapToGlobal(QPoint(100, 50));
    const auto showPasswords = [&](const QMenu& menu) -> QAction* {
        for (QAction* action : menu.actions()) {
            if (action->text() == QStringLiteral("Show Passwords"))
                return action;
        }
        return nullptr;
    };
    std::unique_ptr<QMenu> menu = m_form->BuildContextMenu(overGrid, true);
    QAction* reveal = showPasswords(*menu);
    QVERIFY(reveal && reveal->isCheckable() && !reveal->isChecked());
    reveal->trigger();
    QVERIFY(files.PasswordsShown());
    QCOMPARE(shown(1, FileList::OwnerColumn), QStringLiteral("own er"));
    QCOMPARE(shown(2, FileList::UserColumn), QStringLiteral("pa ss"));
    grid->editItem(grid->item(0, FileList::OwnerColumn));
    editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor);
    QCOMPARE(editor->echoMode(), QLineEdit::Normal);
    QTest::keyClick(editor, Qt::Key_Escape);
    menu = m_form->BuildContextMenu(overGrid, true);
    reveal = showPasswords(*menu);
    QVERIFY(reveal->isChecked());
    reveal->trigger();
    QVERIFY(!files.PasswordsShown());
    QCOMPARE(shown(1, FileList::OwnerColumn), dot.repeated(6));

    // What the run takes is the text as typed.
    const std::vector<RunEntry> entries = files.TickedEntries();
    QCOMPARE(entries.size(), size_t(2));
    QCOMPARE(entries[0].OwnerPassword, std::string("own er"));
    QCOMPARE(entries[1].UserPassword, std::string("pa ss"));
}

void MainFormTest::F5StartsARunShiftF5DoesNot() {
    AddFiles(1);
    m_form->Files().ClearAll(); // an empty run list: the run ends at once
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    m_form->Grid()->setFocus();
    QSignalSpy finished(m_form.get(), &MainForm::RunFinished);
    QTest::keyClick(m_form->Grid(), Qt::Key_F5, Qt::ShiftModifier);
    QVERIFY(!m_form->IsConverting());
    QTest::keyClick(m_form->Grid(), Qt::Key_F5);
    QVERIFY(m_form->IsConverting());
    QVERIFY(!m_form->Button(IdStartConvert)->isEnabled());
    QVERIFY(finished.wait(5000));
    QVERIFY(!m_form->IsConverting());
    QVERIFY(m_form->Button(IdStartConvert)->isEnabled());
    QVERIFY(m_shell->Requests.isEmpty());
    QCOMPARE(m_form->CurrentBar()->Caption(), QStringLiteral("Waiting for converting."));
}

void MainFormTest::ContextMenuPlaces() {
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    const QPoint overGrid = m_form->mapToGlobal(QPoint(100, 50));
    QVERIFY(!m_form->BuildContextMenu(overGrid, true)); // empty list
    AddFiles(2);
    std::unique_ptr<QMenu> menu = m_form->BuildContextMenu(overGrid, true);
    QVERIFY(menu);
    QStringList labels;
    for (QAction* action : menu->actions()) {
        labels << (action->isSeparator() ? QStringLiteral("-") : action->text());
        QVERIFY(action->isEnabled());
    }
    QCOMPARE(labels,
             (QStringList{"Open File\tCtrl+O", "Import Directory\tCtrl+D", "-",
                          "Open File Directory\tCtrl+E", "Open with Associated App\tCtrl+W", "-",
                          "Remove Selected\tDel", "Remove All\tCtrl+Del", "-",
                          "Select Current Item\tSpace", "Select All Items\tCtrl+A",
                          "Clear All Selected\tCtrl+X", "Invert Select\tCtrl+I", "-",
                          "Start Convert\tF5", "Stop Convert\tShift+F5", "-", "Show Passwords"}));
    QVERIFY(!m_form->BuildContextMenu(overGrid, false)); // from the keyboard
    QVERIFY(!m_form->BuildContextMenu(m_form->mapToGlobal(QPoint(100, 300)), true)); // info text
    QVERIFY(!m_form->BuildContextMenu(m_form->mapToGlobal(QPoint(20, 230)), true));  // a button
    QVERIFY(!m_form->BuildContextMenu(m_form->mapToGlobal(QPoint(300, 230)), true)); // background
}

void MainFormTest::DropAddsFiles() {
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    AddFiles(1);
    const QString pdf = m_dir->filePath(QStringLiteral("notes.xpdf"));
    QFile(pdf).open(QIODevice::WriteOnly);
    const QString folder = m_dir->filePath(QStringLiteral("x.pdf"));
    QDir().mkpath(folder);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(pdf), QUrl::fromLocalFile(folder),
                  QUrl::fromLocalFile(m_form->Files().PathOfRow(1)),
                  QUrl(QStringLiteral("https://talvore.example/a.pdf"))});
    const QPoint beside(300, 230); // the background beside the buttons
    QDragEnterEvent enter(beside, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_form.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(beside), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_form.get(), &drop);
    QCOMPARE(m_form->Files().FileCount(), 2);
    QCOMPARE(m_form->Files().PathOfRow(2), pdf);
    QCOMPARE(m_messages->Texts.size(), 1); // the one already listed
}

void MainFormTest::OpenFileDirectoryAndAssociatedApp() {
    m_form->RunCommand(IdOpenFileDirectory); // nothing listed: nothing asked
    AddFiles(2);
    m_form->RunCommand(IdOpenWithApp); // nothing highlighted
    QVERIFY(m_shell->Requests.isEmpty());
    m_form->Grid()->HighlightRow(2);
    m_form->RunCommand(IdOpenFileDirectory);
    m_form->RunCommand(IdOpenWithApp);
    QCOMPARE(m_shell->Requests,
             (QStringList{QStringLiteral("explore ") + m_dir->path() + QLatin1Char('/'),
                          QStringLiteral("open ") + m_dir->filePath(QStringLiteral("doc2.pdf"))}));
}

void MainFormTest::RemoveClearsTheInfoText() {
    AddFiles(2);
    m_form->InfoText()->setPlainText(QStringLiteral("summary"));
    m_form->RunCommand(IdRemoveSelected); // nothing highlighted: text stays
    QCOMPARE(m_form->InfoText()->toPlainText(), QStringLiteral("summary"));
    m_form->Grid()->HighlightRow(1);
    m_form->RunCommand(IdRemoveSelected);
    QVERIFY(m_form->InfoText()->toPlainText().isEmpty());
    m_form->InfoText()->setPlainText(QStringLiteral("summary"));
    m_form->RunCommand(IdRemoveAll);
    QVERIFY(m_form->InfoText()->toPlainText().isEmpty());
}

QTEST_MAIN(MainFormTest)
#include "tst_mainform.moc"
