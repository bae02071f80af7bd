// The main window: title, size limits, panes, the menu bar with its labels
// and keys, availability, the Help commands, the About box and the splash.
#include "app/CMainFrame.h"

#include "AppTestSupport.h"
#include "app/AppLinks.h"
#include "app/CAboutDialog.h"
#include "app/CRightView.h"
#include "app/CSplashScreen.h"
#include "app/CommandTable.h"
#include "app/MainForm.h"
#include "controls/CaptionProgressBar.h"
#include "controls/CheckBoxGrid.h"
#include "controls/HyperlinkLabel.h"
#include "controls/IconButton.h"
#include "controls/OptionTree.h"
#include "filelist/FileList.h"
#include "support/RecordingMessages.h"

#include <QAccessible>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QStyleOptionHeader>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <QUrlQuery>
#include <QtTest>

using namespace talvore;
using talvore::testing::RecordingMessages;
using talvore::testing::RecordingShell;

class MainFrameTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void TitleSizeAndPanes();
    void GridHeaderIsBold14PxInTheWindow();
    void UsableAtTheMinimumSize();
    void IconButtonsAndBarsHaveAccessibleNames();
    void MenuLabels();
    void TheTwelveShortcuts();
    void AvailabilityWhenIdle();
    void AcceleratorsAskTheForm();
    void EveryKeyRunsItsCommandOnce_data();
    void EveryKeyRunsItsCommandOnce();
    void HelpCommands();
    void ManualMissingDoesNothing();
    void AboutBox();
    void SplashGoesAfter750MsOrAKey();
    void ExitClosesTheWindow();
    void ManualAndTipsFromTheSharedFolder();
    void SettingsLoadedBeforeTheWindowSavedAfter();

private:
    void AddFile();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<RecordingMessages> m_messages;
    std::unique_ptr<RecordingShell> m_shell;
    std::unique_ptr<CConverterApp> m_app;
    CMainFrame* m_frame = nullptr;
};

void MainFrameTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_messages = std::make_unique<RecordingMessages>();
    m_shell = std::make_unique<RecordingShell>();
    m_app = talvore::testing::MakeTestApp(*m_dir);
    m_frame = m_app->CreateMainWindow();
    QVERIFY(QTest::qWaitForWindowExposed(m_frame));
    m_frame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_frame));
    m_frame->Form()->Files().SetOpenDialog([](QWidget*) { return QStringList(); });
}

void MainFrameTest::cleanup() {
    m_app.reset();
    m_shell.reset();
    m_messages.reset();
    m_dir.reset();
}

void MainFrameTest::AddFile() {
    const QString path = m_dir->filePath(QStringLiteral("listed.pdf"));
    QFile(path).open(QIODevice::WriteOnly);
    m_frame->Form()->Files().ImportFile(path);
}

void MainFrameTest::TitleSizeAndPanes() {
    QCOMPARE(m_frame->windowTitle(), QStringLiteral("Merrowind - Ostrael 2.1"));
    QCOMPARE(m_frame->minimumSize(), QSize(880, 565));
    m_frame->resize(500, 300);
    QVERIFY(m_frame->width() >= 880 && m_frame->height() >= 565);
    m_frame->resize(1100, 700);
    QTRY_COMPARE(m_frame->width(), 1100);
    QSplitter* splitter = m_frame->Splitter();
    QCOMPARE(splitter->count(), 2);
    QCOMPARE(splitter->widget(1), static_cast<QWidget*>(m_frame->RightView()));
    QCOMPARE(splitter->sizes().first(), 640);
    QCOMPARE(splitter->sizes().first() + splitter->handleWidth() + splitter->sizes().last(),
             splitter->width());
    // The form fills its pane.
    QCOMPARE(m_frame->Form()->size(), splitter->widget(0)->size());
    QCOMPARE(m_frame->palette().color(QPalette::Window), QColor(207, 234, 254));
}

// The header's font holds in the window, whatever the panes around it
// are styled with.
void MainFrameTest::GridHeaderIsBold14PxInTheWindow() {
    QHeaderView* header = m_frame->Form()->Grid()->horizontalHeader();
    QCOMPARE(header->font().pixelSize(), 14);
    QVERIFY(header->font().bold());
    // The drawn label of "File Name" is as wide as the bold 14 px font
    // makes it.
    const int column = FileList::NameColumn;
    const QImage picture = header->grab().toImage();
    const int left = header->sectionViewportPosition(column);
    const int right = left + header->sectionSize(column);
    const QColor ground = picture.pixelColor(left + 3, 2);
    int first = right, last = left;
    for (int x = left + 3; x < right - 3; ++x) {
        for (int y = 1; y < picture.height() - 1; ++y) {
            const QColor c = picture.pixelColor(x, y);
            if (qAbs(c.lightness() - ground.lightness()) > 100) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
        }
    }
    const int expected =
        QFontMetrics(header->font()).boundingRect(QStringLiteral("File Name")).width();
    QVERIFY2(
        qAbs((last - first + 1) - expected) <= 3,
        qPrintable(QStringLiteral("drawn %1, expected %2").arg(last - first + 1).arg(expected)));
}

// At 880 x 565 the values of the options panel and the grid's columns are
// all in view, and the rows just added are shown.
void MainFrameTest::UsableAtTheMinimumSize() {
    m_frame->resize(880, 565);
    QTRY_COMPARE(m_frame->size(), QSize(880, 565));
    CheckBoxGrid* grid = m_frame->Form()->Grid();
    FileList& files = m_frame->Form()->Files();
    for (int i = 1; i <= 100; ++i) {
        const QString path = m_dir->filePath(QStringLiteral("document-%1.pdf").arg(i));
        QFile(path).open(QIODevice::WriteOnly);
        files.ImportFile(path);
        if (i == 1 || i == 30 || i == 100) {
            QCoreApplication::processEvents();
            // The new row is in view, and so is every column.
            const QRect last = grid->visualItemRect(grid->item(i - 1, FileList::NameColumn));
            QVERIFY2(grid->viewport()->rect().contains(last), qPrintable(QString::number(i)));
            QVERIFY(!grid->horizontalScrollBar()->isVisible());
            const int lastColumn = FileList::ColumnCount - 1;
            QVERIFY(grid->columnViewportPosition(lastColumn) + grid->columnWidth(lastColumn) <=
                    grid->viewport()->width());
            for (int column = 0; column < FileList::ColumnCount; ++column)
                QVERIFY(grid->columnWidth(column) >= CheckBoxGrid::MinFittedWidth);
        }
    }
    QVERIFY(grid->verticalScrollBar()->isVisible());
    // The scroll bar took the room: the file names gave way.
    QVERIFY(grid->columnWidth(FileList::NameColumn) <
            FileList::DefaultWidths[FileList::NameColumn]);
    for (int column = 0; column < FileList::ColumnCount; ++column) {
        if (column != FileList::NameColumn)
            QCOMPARE(grid->columnWidth(column), FileList::DefaultWidths[column]);
    }

    // Every editor of the options panel, spinner buttons included, lies
    // inside the panel, and each list is as wide as its longest choice.
    OptionTree* tree = m_frame->RightView()->Tree();
    QTreeWidget* view = tree->findChild<QTreeWidget*>();
    QVERIFY(view);
    QVERIFY(!view->horizontalScrollBar()->isVisible());
    const QRect inside = view->viewport()->rect();
    int checked = 0;
    for (int id = 1; id <= tree->ItemCount(); ++id) {
        QList<QWidget*> parts;
        OptionItem* item = tree->FindItem(id);
        if (item->ItemKind() == OptionItem::Kind::List) {
            QComboBox* box = static_cast<OptionListItem*>(item)->Editor();
            QVERIFY(box->width() >= box->sizeHint().width());
            parts << box;
        } else if (item->ItemKind() == OptionItem::Kind::Spinner) {
            auto* spinner = static_cast<OptionSpinnerItem*>(item);
            parts << spinner->Editor() << spinner->UpButton() << spinner->DownButton();
        } else if (item->ItemKind() == OptionItem::Kind::Folder) {
            parts << static_cast<OptionFolderItem*>(item)->Field();
        }
        for (QWidget* part : parts) {
            const QRect placed(part->mapTo(view->viewport(), QPoint(0, 0)), part->size());
            QVERIFY2(inside.contains(placed), qPrintable(item->Label()));
            QVERIFY(part->width() > 0);
            ++checked;
        }
    }
    QCOMPARE(checked, 16); // six lists, three spinners, one folder
}

// Every button that shows only a picture, and each progress bar, has a
// name for assistive technology; the bars also tell their caption.
void MainFrameTest::IconButtonsAndBarsHaveAccessibleNames() {
    QStringList names;
    int buttons = 0;
    for (QToolButton* button : m_frame->findChildren<QToolButton*>()) {
        // Qt's own (the menu bar's overflow arrow) are Qt's to name.
        if (button->objectName().startsWith(QLatin1String("qt_")))
            continue;
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
        QVERIFY(accessible);
        const QString name = accessible->text(QAccessible::Name);
        QVERIFY2(!name.isEmpty(), qPrintable(button->objectName() + button->toolTip()));
        names << name;
        ++buttons;
    }
    // Six form buttons, two per spinner, the folder's browse button.
    QCOMPARE(buttons, 6 + 3 * 2 + 1);
    QVERIFY(names.contains(QStringLiteral("Remove Current Selected Item")));
    QVERIFY(names.contains(QStringLiteral("End Page: step up")));
    QVERIFY(names.contains(QStringLiteral("Choose a folder")));

    MainForm* form = m_frame->Form();
    const std::pair<CaptionProgressBar*, const char*> bars[] = {{form->CurrentBar(), "Current"},
                                                                {form->TotalBar(), "Total"}};
    for (const auto& [bar, name] : bars) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(bar);
        QVERIFY(accessible);
        QCOMPARE(accessible->text(QAccessible::Name), QString::fromLatin1(name));
        QCOMPARE(accessible->text(QAccessible::Description),
                 QStringLiteral("Waiting for converting."));
    }
}

void MainFrameTest::MenuLabels() {
    QStringList seen;
    for (QAction* top : m_frame->menuBar()->actions()) {
        seen << top->text();
        for (QAction* action : top->menu()->actions())
            seen << (action->isSeparator() ? QStringLiteral("-")
                                           : QStringLiteral("  ") + action->text());
    }
    const QStringList expected = {
        "&File",
        "  &Open File...\tCtrl+O",
        "  Open &Directory...\tCtrl+D",
        "-",
        "  E&xit\tAlt+F4",
        "&Edit",
        "  Open File Directory\tCtrl+E",
        "  Open with Associated App\tCtrl+W",
        "-",
        "  Remove Selected\tDel",
        "  Remove All\tCtrl+Del",
        "-",
        "  Select Current Item\tSpace",
        "  Select All Items\tCtrl+A",
        "  Clear All Selected\tCtrl+X",
        "  Invert Select\tCtrl+I",
        "-",
        "  Start Convert\tF5",
        "  Stop Convert\tShift+F5",
        "&Help",
        "  &Manual\tF1",
        "  &Show Tip of the Day...",
        "-",
        "  &Tell to Friend via E-mail...",
        "  &Check New Version...",
        "  &Visit talvore.example...",
        "-",
        "  &About Ostrael...",
    };
    QCOMPARE(seen, expected);
    QCOMPARE(m_frame->Action(IdExit)->data().toInt(), 57665);
    QCOMPARE(m_frame->Action(IdAbout)->data().toInt(), 57664);
}

void MainFrameTest::TheTwelveShortcuts() {
    const std::pair<int, const char*> keys[] = {
        {32770, "Ctrl+O"}, {32771, "Ctrl+D"},   {32773, "Ctrl+E"}, {32774, "Ctrl+W"},
        {32776, "Del"},    {32775, "Ctrl+Del"}, {32777, "Space"},  {57642, "Ctrl+A"},
        {32778, "Ctrl+X"}, {32779, "Ctrl+I"},   {32781, "F5"},     {32782, "Shift+F5"},
    };
    for (const auto& [id, key] : keys) {
        QAction* action = m_frame->Action(id);
        QVERIFY2(action, qPrintable(QString::number(id)));
        QCOMPARE(action->data().toInt(), id);
        QCOMPARE(action->shortcut(), QKeySequence::fromString(QString::fromLatin1(key)));
        QCOMPARE(action->shortcutContext(), Qt::WindowShortcut);
    }
    // Beside the twelve only F1, which the Manual label promises.
    int withKeys = 0;
    for (QAction* action : m_frame->actions())
        withKeys += action->shortcut().isEmpty() ? 0 : 1;
    QCOMPARE(withKeys, 13);
    QCOMPARE(m_frame->Action(IdManual)->shortcut(), QKeySequence(Qt::Key_F1));
}

void MainFrameTest::AvailabilityWhenIdle() {
    const QList<int> always = {IdOpenFile, IdImportDirectory};
    for (const FormCommand& command : FormCommands()) {
        m_frame->UpdateCommandStates();
        QCOMPARE(m_frame->Action(command.Id)->isEnabled(), always.contains(command.Id));
        QCOMPARE(m_frame->Form()->IsCommandEnabled(command.Id), always.contains(command.Id));
    }
    AddFile();
    for (const FormCommand& command : FormCommands()) {
        QVERIFY(m_frame->Action(command.Id)->isEnabled());
        QVERIFY(m_frame->Form()->IsCommandEnabled(command.Id));
    }
    m_frame->Form()->RunCommand(IdRemoveAll);
    QVERIFY(!m_frame->Action(IdStartConvert)->isEnabled());
    QVERIFY(!m_frame->Action(IdStopConvert)->isEnabled());
}

void MainFrameTest::AcceleratorsAskTheForm() {
    MainForm* form = m_frame->Form();
    int dialogs = 0;
    form->Files().SetOpenDialog([&](QWidget*) {
        ++dialogs;
        return QStringList();
    });
    // Focus outside the form: only the accelerators see the keys.
    m_frame->RightView()->setFocus();
    QTest::keyClick(m_frame, Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(dialogs, 1);
    // Shift+F5 on an empty list is unavailable: nothing changes.
    QTest::keyClick(m_frame, Qt::Key_F5, Qt::ShiftModifier);
    QCOMPARE(form->CurrentBar()->Caption(), QStringLiteral("Waiting for converting."));
    AddFile();
    form->Grid()->setFocus();
    QTest::keyClick(form->Grid(), Qt::Key_F5, Qt::ShiftModifier);
    QCOMPARE(form->CurrentBar()->Caption(), QStringLiteral("Convert stopped."));
    QCOMPARE(form->TotalBar()->Caption(), QStringLiteral("Convert stopped."));
    QVERIFY(!form->IsConverting());
    // Through the accelerator with the focus in the options panel, Delete
    // needs a highlighted row and Space too; nothing is highlighted.
    m_frame->RightView()->setFocus();
    QTest::keyClick(m_frame, Qt::Key_Delete);
    QCOMPARE(form->Files().FileCount(), 1);
    QTest::keyClick(m_frame, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(form->Files().FileCount(), 0);
}

void MainFrameTest::EveryKeyRunsItsCommandOnce_data() {
    QTest::addColumn<QString>("focus");
    QTest::newRow("grid") << QStringLiteral("grid");
    QTest::newRow("form button") << QStringLiteral("button");
    QTest::newRow("options panel") << QStringLiteral("panel");
}

// The form's key filter and the menu accelerators both know these keys;
// whichever acts, a press runs its command once.
void MainFrameTest::EveryKeyRunsItsCommandOnce() {
    QFETCH(QString, focus);
    MainForm* form = m_frame->Form();
    FileList& files = form->Files();
    int openDialogs = 0, folderDialogs = 0;
    files.SetOpenDialog([&](QWidget*) {
        ++openDialogs;
        return QStringList();
    });
    files.SetFolderDialog([&](QWidget*) {
        ++folderDialogs;
        return QString();
    });
    QStringList paths;
    for (int i = 1; i <= 4; ++i) {
        paths << m_dir->filePath(QStringLiteral("doc%1.pdf").arg(i));
        QFile(paths.last()).open(QIODevice::WriteOnly);
        files.ImportFile(paths.last());
    }
    files.ClearAll();
    QWidget* focused = focus == QLatin1String("grid") ? static_cast<QWidget*>(form->Grid())
                       : focus == QLatin1String("button")
                           ? static_cast<QWidget*>(form->Button(IdOpenFile))
                           : m_frame->RightView();
    const auto press = [&](QKeyCombination key) {
        form->Grid()->HighlightRow(2);
        focused->setFocus();
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : m_frame,
                        key.key(), key.keyboardModifiers());
    };
    QSignalSpy ran(form, &MainForm::CommandRan);
    // Removing comes last, as it changes the rows the others work on.
    for (const FormCommand& command : FormCommands()) {
        if (command.Id == IdRemoveSelected || command.Id == IdRemoveAll)
            continue;
        // A focused button is pressed by Space as well: the key still
        // reaches the control that has the focus.
        if (command.Id == IdSelectCurrent && focus == QLatin1String("button"))
            continue;
        ran.clear();
        const QList<bool> ticksBefore = {files.IsTicked(1), files.IsTicked(2), files.IsTicked(3)};
        const qsizetype requestsBefore = m_shell->Requests.size();
        press(command.Key);
        QCOMPARE(ran.size(), 1);
        QCOMPARE(ran.first().first().toInt(), command.Id);
        if (command.Id == IdOpenFileDirectory)
            QCOMPARE(m_shell->Requests.mid(requestsBefore),
                     QStringList(QStringLiteral("explore ") + m_dir->path() + QLatin1Char('/')));
        if (command.Id == IdOpenWithApp)
            QCOMPARE(m_shell->Requests.mid(requestsBefore),
                     QStringList(QStringLiteral("open ") + paths[1]));
        if (command.Id == IdInvertSelect) {
            for (int row = 1; row <= 3; ++row)
                QCOMPARE(files.IsTicked(row), !ticksBefore[row - 1]);
        }
        if (command.Id == IdStartConvert)
            QTRY_VERIFY(!form->IsConverting());
    }
    QCOMPARE(openDialogs, 1);
    QCOMPARE(folderDialogs, 1);

    ran.clear();
    press(CommandKey(IdRemoveSelected));
    QCOMPARE(ran.size(), 1);
    QCOMPARE(files.FileCount(), 3);
    QCOMPARE(files.PathOfRow(2), paths[2]);
    QCOMPARE(files.PathOfRow(3), paths[3]);
    ran.clear();
    press(CommandKey(IdRemoveAll));
    QCOMPARE(ran.size(), 1);
    QCOMPARE(files.FileCount(), 0);
}

void MainFrameTest::HelpCommands() {
    QFile manual(m_dir->filePath(QStringLiteral("manual.html")));
    QVERIFY(manual.open(QIODevice::WriteOnly));
    manual.close();
    m_frame->Action(IdManual)->trigger();
    m_frame->Action(IdTellFriend)->trigger();
    m_frame->Action(IdCheckNewVersion)->trigger();
    m_frame->Action(IdVisitWebSite)->trigger();
    QCOMPARE(m_shell->Requests.size(), 4);
    QCOMPARE(m_shell->Requests[0],
             QStringLiteral("open ") + m_dir->filePath(QStringLiteral("manual.html")));
    // The mail address as the desktop receives it: parsed strictly, with
    // the subject and the body intact.
    QVERIFY(m_shell->Requests[1].startsWith(QStringLiteral("url ")));
    const QUrl mail = ShellUrl(m_shell->Requests[1].mid(4));
    QVERIFY2(mail.isValid(), qPrintable(mail.errorString()));
    QCOMPARE(mail.scheme(), QStringLiteral("mailto"));
    QVERIFY(mail.path().isEmpty());
    const QUrlQuery query(mail);
    QCOMPARE(query.queryItems(QUrl::FullyDecoded).size(), 2);
    QCOMPARE(query.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded),
             QStringLiteral("Invitation from Merrowind - Ostrael"));
    const QString body = query.queryItemValue(QStringLiteral("Body"), QUrl::FullyDecoded);
    QVERIFY(body.startsWith(QStringLiteral("Hello!\n\rI have been using Ostrael, ")));
    QVERIFY(body.contains(QStringLiteral("Learn more by visiting\n") + HomePageUrl() +
                          QStringLiteral("\n\r")));
    QVERIFY(body.contains(QStringLiteral("To download it right now click here\n") +
                          DownloadPageUrl() + QStringLiteral("\n\r")));
    QVERIFY(body.endsWith(QStringLiteral("\n\r[please type your text here]\n\r")));
    QCOMPARE(body, InvitationMailText());
    // Nothing a mail client could read as a second field or a line break.
    const QString raw = m_shell->Requests[1].mid(4);
    QVERIFY(!raw.contains(u' ') && !raw.contains(u'\n') && !raw.contains(u'['));
    QCOMPARE(raw.count(u'&'), 1);
    QCOMPARE(m_shell->Requests[2], QStringLiteral("url ") + ProductPageUrl());
    QCOMPARE(m_shell->Requests[3], QStringLiteral("url ") + HomePageUrl());
    // F1 opens the manual as the label says.
    QTest::keyClick(m_frame, Qt::Key_F1);
    QCOMPARE(m_shell->Requests.size(), 5);
}

void MainFrameTest::ManualMissingDoesNothing() {
    m_frame->OpenManual();
    QVERIFY(m_shell->Requests.isEmpty());
}

void MainFrameTest::AboutBox() {
    CAboutDialog about(m_frame);
    QCOMPARE(about.TitleLine()->text(), QStringLiteral("Merrowind - Ostrael 2.1"));
    QCOMPARE(about.findChild<QGroupBox*>()->title(), QStringLiteral("Merrowind - Ostrael 2.1"));
    QCOMPARE(about.palette().color(QPalette::Window), QColor(207, 234, 254));
    QCOMPARE(about.WebsiteLink()->cursor().shape(), Qt::PointingHandCursor);
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QTest::mouseClick(about.WebsiteLink(), Qt::LeftButton);
    QTest::mouseClick(about.SupportLink(), Qt::LeftButton);
    QCOMPARE(m_shell->Requests, (QStringList{QStringLiteral("url ") + HomePageUrl(),
                                             QStringLiteral("url ") + SupportMailUrl()}));
    QVERIFY(about.isVisible());
    QTest::mouseClick(&about, Qt::RightButton, {}, QPoint(5, 5));
    QVERIFY(!about.isVisible());
    about.show();
    QTest::keyClick(&about, Qt::Key_Escape);
    QVERIFY(!about.isVisible());
}

void MainFrameTest::SplashGoesAfter750MsOrAKey() {
    CSplashScreen* splash = CSplashScreen::ShowOver(m_frame);
    QVERIFY(splash);
    QVERIFY(splash->isVisible());
    QCOMPARE(CSplashScreen::ShowOver(m_frame), splash); // one at a time
    QCOMPARE(splash->frameGeometry().center(), m_frame->frameGeometry().center());
    QTest::qWait(400);
    QVERIFY(CSplashScreen::Current());
    QTRY_VERIFY_WITH_TIMEOUT(!CSplashScreen::Current(), 2000);

    // A key closes it and does nothing else: Ctrl+O opens no dialog.
    int dialogs = 0;
    m_frame->Form()->Files().SetOpenDialog([&](QWidget*) {
        ++dialogs;
        return QStringList();
    });
    CSplashScreen::ShowOver(m_frame);
    QVERIFY(CSplashScreen::Current());
    m_frame->Form()->Grid()->setFocus();
    // One press, as a keyboard sends it (keyClick would press Ctrl first,
    // and that press is the one the splash takes).
    QKeyEvent press(QEvent::KeyPress, Qt::Key_O, Qt::ControlModifier);
    QApplication::sendEvent(m_frame->Form()->Grid(), &press);
    QCOMPARE(dialogs, 0);
    QTRY_VERIFY(!CSplashScreen::Current());
    QTest::keyClick(m_frame->Form()->Grid(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(dialogs, 1);

    CSplashScreen::ShowOver(m_frame);
    QTest::mouseClick(m_frame->Form()->Grid()->viewport(), Qt::LeftButton);
    QTRY_VERIFY(!CSplashScreen::Current());
}

void MainFrameTest::ExitClosesTheWindow() {
    m_frame->Action(IdExit)->trigger();
    QVERIFY(!m_frame->isVisible());
}

void MainFrameTest::ManualAndTipsFromTheSharedFolder() {
    // An install: bin/talvore with share/talvore/ beside bin/.
    QTemporaryDir prefix;
    QDir(prefix.path()).mkpath(QStringLiteral("bin"));
    QDir(prefix.path()).mkpath(QStringLiteral("share/talvore"));
    QFile(prefix.filePath(QStringLiteral("share/talvore/manual.html"))).open(QIODevice::WriteOnly);
    CConverterApp::Options options;
    options.InstanceName = QStringLiteral("talvore-share-test");
    options.ModuleDirectory = prefix.filePath(QStringLiteral("bin")) + QLatin1Char('/');
    options.SettingsPath = prefix.filePath(QStringLiteral("bin/Settings.ini"));
    CConverterApp installed(options);
    QCOMPARE(installed.ManualPath(),
             QFileInfo(prefix.filePath(QStringLiteral("share/talvore/manual.html")))
                 .canonicalFilePath());
    // Missing everywhere: the place beside the executable, which does not exist.
    QCOMPARE(installed.TipsPath(), options.ModuleDirectory + QStringLiteral("tips.txt"));
    // Beside the executable wins.
    QFile(options.ModuleDirectory + QStringLiteral("manual.html")).open(QIODevice::WriteOnly);
    QCOMPARE(installed.ManualPath(), options.ModuleDirectory + QStringLiteral("manual.html"));
}

void MainFrameTest::SettingsLoadedBeforeTheWindowSavedAfter() {
    QTemporaryDir folder;
    QFile ini(folder.filePath(QStringLiteral("Settings.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[Output Images]\nImages Format=4\n[Other]\nKeep=me\n");
    ini.close();
    auto app = talvore::testing::MakeTestApp(folder, QStringLiteral("talvore-settings-test"));
    app->LoadSettings();
    QCOMPARE(app->Settings().ImagesFormat, 4);
    app->CreateMainWindow();
    app->MainFrame()->RightView()->ReadAllOptions();
    QCOMPARE(app->Settings().ImagesFormat, 4); // the panel was built from the loaded record
    app->Settings().JpegQuality = 55;
    app->DestroyMainWindow();
    app->SaveSettings();
    QVERIFY(ini.open(QIODevice::ReadOnly));
    const QByteArray text = ini.readAll();
    QVERIFY(text.contains("Jpeg Quality=55") || text.contains("Jpeg Quality = 55"));
    QVERIFY(text.contains("Keep"));
}

QTEST_MAIN(MainFrameTest)
#include "tst_mainframe.moc"
