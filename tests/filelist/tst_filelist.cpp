// The file list: rows, size and date texts, the three ways of importing with
// their PDF rules, duplicates, the folder walk, and the row commands.
#include "filelist/FileList.h"

#include "controls/CheckBoxGrid.h"
#include "support/RecordingMessages.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

#include <dirent.h>
#include <unistd.h>

using talvore::testing::RecordingMessages;

namespace {

void MakeFile(const QString& path, qint64 size = 100) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.resize(size));
}

// Depth-first, in the order readdir gives, every name ending in .pdf
// (any case): what the walk must produce, found independently.
void ExpectedWalk(const QString& folder, QStringList& out) {
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (name == QLatin1String(".") || name == QLatin1String(".."))
            continue;
        const QString path = folder + QLatin1Char('/') + name;
        if (QFileInfo(path).isDir() && !QFileInfo(path).isSymLink())
            ExpectedWalk(path, out);
        else if (!QFileInfo(path).isDir() && name.toLower().endsWith(QLatin1String(".pdf")) &&
                 name.contains(QLatin1Char('.')))
            out << path;
    }
    ::closedir(dir);
}

} // namespace

class FileListTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void NewRowIsTickedWithNameSizeDate();
    void SizeTexts_data();
    void SizeTexts();
    void SizeTextsOfRealFiles();
    void UnreadableFileStillAdded();
    void ImportRules_data();
    void ImportRules();
    void DroppedFolderAddsItsPdfs();
    void DuplicatesShowTheirMessage();
    void OpenFileResetsProgressOnceWhenConfirmed();
    void ImportDirectoryWalksDepthFirst();
    void WalkSurvivesFolderLoops();
    void RemoveSelectedKeepsLaterRows();
    void RemoveSelectedTakesEveryHighlightedRow();
    void RemoveAllRestoresWidths();
    void CheckBoxCommands();
    void TickedEntriesInRowOrder();

private:
    void AddFiles(int count);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QWidget> m_owner;
    CheckBoxGrid* m_grid = nullptr;
    std::unique_ptr<FileList> m_list;
    std::unique_ptr<RecordingMessages> m_messages;
    QStringList m_paths;
};

void FileListTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_owner = std::make_unique<QWidget>();
    m_grid = new CheckBoxGrid(m_owner.get());
    m_list = std::make_unique<FileList>(m_grid, m_owner.get());
    m_list->SetUpGrid();
    m_messages = std::make_unique<RecordingMessages>();
    m_paths.clear();
}

void FileListTest::cleanup() {
    m_list.reset();
    m_owner.reset();
    m_messages.reset();
    m_dir.reset();
}

void FileListTest::AddFiles(int count) {
    for (int i = 1; i <= count; ++i) {
        const QString path = m_dir->filePath(QStringLiteral("file%1.pdf").arg(i));
        MakeFile(path, i * 1024);
        m_list->ImportFile(path);
        m_paths << path;
    }
}

void FileListTest::NewRowIsTickedWithNameSizeDate() {
    const QString path = m_dir->filePath(QStringLiteral("report.pdf"));
    MakeFile(path, 2048);
    m_list->ImportFile(path);
    QCOMPARE(m_list->FileCount(), 1);
    QCOMPARE(m_list->PathOfRow(1), path);
    QVERIFY(m_list->IsTicked(1));
    QCOMPARE(m_grid->item(0, FileList::NameColumn)->text(), QStringLiteral("report.pdf"));
    QCOMPARE(m_grid->item(0, FileList::SizeColumn)->text(), QStringLiteral("2 KB"));
    const QString date = m_grid->item(0, FileList::DateColumn)->text();
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d \\d\\d/\\d\\d/\\d{4}$"))
                 .match(date)
                 .hasMatch(),
             qPrintable(date));
    QVERIFY(date.endsWith(QDate::currentDate().toString(QStringLiteral("MM/dd/yyyy"))));
    QCOMPARE(m_list->OwnerPasswordOfRow(1), QString());
    QCOMPARE(m_list->UserPasswordOfRow(1), QString());
    QCOMPARE(m_grid->rowHeight(0), 18);
    // Only the password cells are editable.
    for (int column = 0; column < FileList::ColumnCount; ++column) {
        const bool editable = m_grid->item(0, column)->flags() & Qt::ItemIsEditable;
        QCOMPARE(editable, column >= FileList::OwnerColumn);
    }
    QCOMPARE(m_grid->item(0, FileList::SizeColumn)->textAlignment() & Qt::AlignHorizontal_Mask,
             int(Qt::AlignRight));
    QCOMPARE(m_grid->item(0, FileList::NameColumn)->textAlignment() & Qt::AlignHorizontal_Mask,
             int(Qt::AlignLeft));
}

void FileListTest::SizeTexts_data() {
    QTest::addColumn<quint64>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << quint64(0) << "0 KB";
    QTest::newRow("1023") << quint64(1023) << "0 KB";
    QTest::newRow("2048") << quint64(2048) << "2 KB";
    QTest::newRow("999 KB") << quint64(999 * 1024 + 1023) << "999 KB";
    QTest::newRow("1000 KB") << quint64(1000 * 1024) << "1,000 KB";
    QTest::newRow("1 MiB") << quint64(1048576) << "1,024 KB";
    QTest::newRow("123456789") << quint64(123456789) << "120,563 KB";
    QTest::newRow("1288490188") << quint64(1288490188) << "1,258,291 KB";
    QTest::newRow("huge") << quint64(1) << "0 KB";
    QTest::newRow("max") << ~quint64(0) << "18,014,398,509,481,983 KB";
}

void FileListTest::SizeTexts() {
    QFETCH(quint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(FileSizeText(bytes), text);
}

void FileListTest::SizeTextsOfRealFiles() {
    const std::pair<qint64, const char*> cases[] = {
        {1023, "0 KB"}, {1048576, "1,024 KB"}, {123456789, "120,563 KB"}};
    int row = 0;
    for (const auto& [size, text] : cases) {
        const QString path = m_dir->filePath(QStringLiteral("sized%1.pdf").arg(size));
        MakeFile(path, size); // sparse: costs no disk
        m_list->ImportFile(path);
        QCOMPARE(m_grid->item(row++, FileList::SizeColumn)->text(), QString::fromLatin1(text));
    }
}

void FileListTest::UnreadableFileStillAdded() {
    const QString path = m_dir->filePath(QStringLiteral("gone.pdf"));
    m_list->DropFiles({path});
    QCOMPARE(m_list->FileCount(), 1);
    QCOMPARE(m_grid->item(0, FileList::SizeColumn)->text(), QStringLiteral("0 KB"));
    QCOMPARE(m_grid->item(0, FileList::DateColumn)->text(), QString());
    QVERIFY(m_messages->Texts.isEmpty());
}

void FileListTest::ImportRules_data() {
    QTest::addColumn<QString>("way");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("folder");
    QTest::addColumn<bool>("taken");
    const struct {
        const char* name;
        bool folder;
        bool open, scan, drop;
    } rules[] = {
        {"report.PDF", false, true, true, true},        {"report.pdf", false, true, true, true},
        {"report.xpdf", false, false, false, true},     {"reportpdf", false, false, false, true},
        {"report.pdf.txt", false, false, false, false}, {"x.pdf", true, false, false, false},
    };
    for (const auto& rule : rules) {
        if (!rule.folder)
            QTest::addRow("open %s", rule.name) << "open" << rule.name << false << rule.open;
        QTest::addRow("scan %s", rule.name) << "scan" << rule.name << rule.folder << rule.scan;
        QTest::addRow("drop %s", rule.name) << "drop" << rule.name << rule.folder << rule.drop;
    }
}

void FileListTest::ImportRules() {
    QFETCH(QString, way);
    QFETCH(QString, name);
    QFETCH(bool, folder);
    QFETCH(bool, taken);
    const QString root = m_dir->filePath(QStringLiteral("root"));
    const QString path = root + QLatin1Char('/') + name;
    if (folder)
        QVERIFY(QDir().mkpath(path));
    else
        MakeFile(path);

    if (way == QLatin1String("open")) {
        m_list->SetOpenDialog([&](QWidget*) { return QStringList{path}; });
        m_list->OpenFiles();
    } else if (way == QLatin1String("scan")) {
        m_list->SetFolderDialog([&](QWidget*) { return root + QLatin1Char('/'); });
        m_list->ImportDirectory();
    } else {
        m_list->DropFiles({path});
    }
    QCOMPARE(m_list->FileCount(), taken ? 1 : 0);
    if (taken)
        QCOMPARE(m_list->PathOfRow(1), path);
    QVERIFY(m_messages->Texts.isEmpty());
}

// A dropped folder is scanned as Import Directory scans one, in the order
// of the drop, beside dropped files.
void FileListTest::DroppedFolderAddsItsPdfs() {
    const QString tree = m_dir->filePath(QStringLiteral("tree"));
    QVERIFY(QDir().mkpath(tree + QStringLiteral("/sub")));
    MakeFile(tree + QStringLiteral("/UPPER.PDF"));
    MakeFile(tree + QStringLiteral("/sub/nested.pdf"));
    MakeFile(tree + QStringLiteral("/notes.txt"));
    MakeFile(tree + QStringLiteral("/reportpdf")); // the drop's own rule, not the scan's
    const QString before = m_dir->filePath(QStringLiteral("before.pdf"));
    const QString after = m_dir->filePath(QStringLiteral("after.pdf"));
    MakeFile(before);
    MakeFile(after);
    QSignalSpy resets(m_list.get(), &FileList::ProgressResetRequested);
    m_list->DropFiles({before, tree, after});
    QStringList listed;
    for (int row = 1; row <= m_list->FileCount(); ++row)
        listed << m_list->PathOfRow(row);
    QCOMPARE(listed.size(), 4);
    QCOMPARE(listed.first(), before);
    QCOMPARE(listed.last(), after);
    QVERIFY(listed.contains(tree + QStringLiteral("/UPPER.PDF")));
    QVERIFY(listed.contains(tree + QStringLiteral("/sub/nested.pdf")));
    QCOMPARE(resets.size(), 0);
    QVERIFY(m_messages->Texts.isEmpty());
}

void FileListTest::DuplicatesShowTheirMessage() {
    const QString a = m_dir->filePath(QStringLiteral("a.pdf"));
    const QString upper = m_dir->filePath(QStringLiteral("A.PDF"));
    const QString b = m_dir->filePath(QStringLiteral("b.pdf"));
    MakeFile(a);
    MakeFile(upper);
    MakeFile(b);
    m_list->SetOpenDialog([&](QWidget*) { return QStringList{a}; });
    m_list->OpenFiles();
    QVERIFY(m_messages->Texts.isEmpty());
    m_list->OpenFiles();
    QCOMPARE(m_messages->Texts,
             QStringList{QStringLiteral("File: ") + a + QStringLiteral(" have been imported!")});
    QCOMPARE(m_list->FileCount(), 1);

    // Case matters; one duplicate among several dropped gives one box.
    m_messages->Texts.clear();
    m_list->DropFiles({upper, a, b});
    QCOMPARE(m_list->FileCount(), 3);
    QCOMPARE(m_messages->Texts.size(), 1);
    QCOMPARE(m_list->PathOfRow(2), upper);
    QCOMPARE(m_list->PathOfRow(3), b);

    // A folder of files already listed: one box for each.
    m_messages->Texts.clear();
    m_list->ScanFolder(m_dir->path());
    QCOMPARE(m_messages->Texts.size(), 3);
    QCOMPARE(m_list->FileCount(), 3);
}

void FileListTest::OpenFileResetsProgressOnceWhenConfirmed() {
    QSignalSpy resets(m_list.get(), &FileList::ProgressResetRequested);
    const QString text = m_dir->filePath(QStringLiteral("notes.txt"));
    MakeFile(text);
    m_list->SetOpenDialog([](QWidget*) { return QStringList(); });
    m_list->OpenFiles();
    QCOMPARE(resets.count(), 0);
    m_list->SetOpenDialog([&](QWidget*) { return QStringList{text, text}; });
    m_list->OpenFiles();
    QCOMPARE(resets.count(), 1);
    QCOMPARE(m_list->FileCount(), 0);

    m_list->SetFolderDialog([](QWidget*) { return QString(); });
    m_list->ImportDirectory();
    QCOMPARE(resets.count(), 1);
    const QString empty = m_dir->filePath(QStringLiteral("empty"));
    QDir().mkpath(empty);
    m_list->SetFolderDialog([&](QWidget*) { return empty + QLatin1Char('/'); });
    m_list->ImportDirectory();
    QCOMPARE(resets.count(), 2);

    // Dropping does not reset.
    m_list->DropFiles({text});
    QCOMPARE(resets.count(), 2);
}

void FileListTest::ImportDirectoryWalksDepthFirst() {
    const QString root = m_dir->filePath(QStringLiteral("tree"));
    for (const char* name : {"a.pdf", "b/c.pdf", "b/d/e.PDF", "b/f.pdf", ".hidden.pdf",
                             ".secret/g.pdf", "h.pdf", "skip.txt", "nodot", "i/j.xpdf", "k.pdf"})
        MakeFile(root + QLatin1Char('/') + QString::fromLatin1(name));
    QStringList expected;
    ExpectedWalk(root, expected);
    QCOMPARE(expected.size(), 8);

    m_list->SetFolderDialog([&](QWidget*) { return root + QLatin1Char('/'); });
    m_list->ImportDirectory();
    QStringList listed;
    for (int row = 1; row <= m_list->FileCount(); ++row)
        listed << m_list->PathOfRow(row);
    // The folder text ends with '/', so paths have a single separator.
    QCOMPARE(listed, expected);
}

void FileListTest::WalkSurvivesFolderLoops() {
    const QString root = m_dir->filePath(QStringLiteral("loop"));
    MakeFile(root + QStringLiteral("/a.pdf"));
    MakeFile(root + QStringLiteral("/sub/b.pdf"));
    QVERIFY(QFile::link(root, root + QStringLiteral("/sub/back")));
    m_list->ScanFolder(root);
    QCOMPARE(m_list->FileCount(), 2);
    QVERIFY(m_messages->Texts.isEmpty());
}

void FileListTest::RemoveSelectedKeepsLaterRows() {
    AddFiles(5);
    m_grid->item(3, FileList::OwnerColumn)->setText(QStringLiteral("owner4"));
    m_grid->item(4, FileList::UserColumn)->setText(QStringLiteral("user5"));
    m_grid->SetChecked(4, FileList::TickColumn, false);

    QVERIFY(!m_list->RemoveSelected()); // nothing highlighted
    QCOMPARE(m_list->FileCount(), 5);

    m_grid->HighlightRow(3);
    QVERIFY(m_list->RemoveSelected());
    QCOMPARE(m_list->FileCount(), 4);
    QCOMPARE(m_list->PathOfRow(1), m_paths[0]);
    QCOMPARE(m_list->PathOfRow(2), m_paths[1]);
    QCOMPARE(m_list->PathOfRow(3), m_paths[3]);
    QCOMPARE(m_list->PathOfRow(4), m_paths[4]);
    QVERIFY(!m_list->IsTicked(3));
    QVERIFY(m_list->IsTicked(4));
    QCOMPARE(m_list->OwnerPasswordOfRow(3), QStringLiteral("owner4"));
    QCOMPARE(m_list->UserPasswordOfRow(4), QStringLiteral("user5"));
    QCOMPARE(m_grid->item(2, FileList::NameColumn)->text(), QStringLiteral("file4.pdf"));
}

void FileListTest::RemoveSelectedTakesEveryHighlightedRow() {
    AddFiles(5);
    m_grid->setSelectionMode(QAbstractItemView::ContiguousSelection);
    m_grid->setRangeSelected(QTableWidgetSelectionRange(1, 0, 3, FileList::ColumnCount - 1), true);
    QCOMPARE(m_list->LastHighlightedRow(), 4);
    QVERIFY(m_list->RemoveSelected());
    QCOMPARE(m_list->FileCount(), 2);
    QCOMPARE(m_list->PathOfRow(1), m_paths[0]);
    QCOMPARE(m_list->PathOfRow(2), m_paths[4]);

    m_grid->HighlightRow(2);
    QVERIFY(m_list->RemoveSelected());
    QCOMPARE(m_list->PathOfRow(1), m_paths[0]);
    m_grid->HighlightRow(1);
    QVERIFY(m_list->RemoveSelected());
    QCOMPARE(m_list->FileCount(), 0);
    QVERIFY(!m_list->RemoveSelected());
}

void FileListTest::RemoveAllRestoresWidths() {
    AddFiles(3);
    for (int column = 0; column < FileList::ColumnCount; ++column)
        m_grid->setColumnWidth(column, 60 + column);
    m_list->RemoveAll();
    QCOMPARE(m_list->FileCount(), 0);
    QCOMPARE(m_grid->columnCount(), 6);
    const int widths[] = {25, 144, 100, 154, 110, 100};
    const char* headers[] = {
        "", "File Name", "File Size", "Creation Date", "Owner Password", "User Password"};
    for (int column = 0; column < FileList::ColumnCount; ++column) {
        QCOMPARE(m_grid->columnWidth(column), widths[column]);
        QCOMPARE(m_grid->horizontalHeaderItem(column)->text(),
                 QString::fromLatin1(headers[column]));
    }
    QVERIFY(m_grid->horizontalHeader()->font().bold());
    QCOMPARE(m_grid->horizontalHeader()->font().pixelSize(), 14);
    QVERIFY(!m_grid->isSortingEnabled());

    // The first new file is row 1 and entry 0 again.
    m_list->ImportFile(m_paths[2]);
    QCOMPARE(m_list->FileCount(), 1);
    QCOMPARE(m_list->PathOfRow(1), m_paths[2]);
    QVERIFY(m_messages->Texts.isEmpty());
}

void FileListTest::CheckBoxCommands() {
    AddFiles(4);
    const auto ticks = [&] {
        QString text;
        for (int row = 1; row <= m_list->FileCount(); ++row)
            text += m_list->IsTicked(row) ? QLatin1Char('x') : QLatin1Char('.');
        return text;
    };
    QCOMPARE(ticks(), QStringLiteral("xxxx"));
    m_list->SelectAll();
    m_list->InvertSelect();
    QCOMPARE(ticks(), QStringLiteral("...."));
    m_grid->HighlightRow(2);
    m_list->SelectCurrent();
    QCOMPARE(ticks(), QStringLiteral(".x.."));
    m_list->SelectCurrent(); // a ticked row stays ticked
    QCOMPARE(ticks(), QStringLiteral(".x.."));
    m_list->InvertSelect();
    QCOMPARE(ticks(), QStringLiteral("x.xx"));
    m_list->InvertSelect();
    QCOMPARE(ticks(), QStringLiteral(".x.."));
    m_list->SelectAll();
    QCOMPARE(ticks(), QStringLiteral("xxxx"));
    m_list->ClearAll();
    QCOMPARE(ticks(), QStringLiteral("...."));
    m_grid->clearSelection();
    m_list->SelectCurrent(); // nothing highlighted: nothing happens
    QCOMPARE(ticks(), QStringLiteral("...."));
}

void FileListTest::TickedEntriesInRowOrder() {
    AddFiles(4);
    m_grid->SetChecked(2, FileList::TickColumn, false);
    m_grid->item(2, FileList::OwnerColumn)->setText(QStringLiteral("own"));
    m_grid->item(2, FileList::UserColumn)->setText(QStringLiteral("usé"));
    const std::vector<talvore::RunEntry> entries = m_list->TickedEntries();
    QCOMPARE(entries.size(), size_t(3));
    QCOMPARE(entries[0].Row, 1);
    QCOMPARE(entries[1].Row, 3);
    QCOMPARE(entries[2].Row, 4);
    QCOMPARE(QString::fromStdString(entries[1].Path), m_paths[2]);
    QCOMPARE(entries[1].OwnerPassword, std::string("own"));
    QCOMPARE(QString::fromStdString(entries[1].UserPassword), QStringLiteral("usé"));
    QCOMPARE(entries[0].OwnerPassword, std::string());
}

QTEST_MAIN(FileListTest)
#include "tst_filelist.moc"
