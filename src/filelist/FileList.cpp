#include "filelist/FileList.h"

#include "controls/CheckBoxGrid.h"
#include "controls/MessageBoxes.h"
#include "controls/PasswordDelegate.h"
#include "controls/ThemeColours.h"
#include "convert/FolderScan.h"
#include "convert/PathParts.h"
#include "filelist/FolderChooserDialog.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QHeaderView>

#include <algorithm>
#include <climits>

const int FileList::DefaultWidths[FileList::ColumnCount] = {25, 144, 100, 154, 110, 100};

namespace {

const char* const HeaderTexts[FileList::ColumnCount] = {
    "",
    QT_TRANSLATE_NOOP("FileList", "File Name"),
    QT_TRANSLATE_NOOP("FileList", "File Size"),
    QT_TRANSLATE_NOOP("FileList", "Creation Date"),
    QT_TRANSLATE_NOOP("FileList", "Owner Password"),
    QT_TRANSLATE_NOOP("FileList", "User Password")};

constexpr Qt::Alignment LeftCell = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment RightCell = Qt::AlignRight | Qt::AlignVCenter;

std::string ToNative(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString DateText(const std::tm& local) {
    char text[64];
    if (std::strftime(text, sizeof text, "%H:%M:%S %m/%d/%Y", &local) == 0)
        return QString();
    return QString::fromUtf8(text);
}

QStringList RunOpenDialog(QWidget* parent) {
    return QFileDialog::getOpenFileNames(parent, QString(), QString(),
                                         FileList::tr("PDF Files (*.pdf)"), nullptr,
                                         QFileDialog::DontResolveSymlinks);
}

} // namespace

QString FileSizeText(uint64_t bytes) {
    const QString digits = QString::number(bytes / 1024);
    QString grouped;
    const int count = static_cast<int>(digits.size());
    for (int i = 0; i < count; ++i) {
        if (i > 0 && (count - i) % 3 == 0)
            grouped += QLatin1Char(',');
        grouped += digits[i];
    }
    return grouped + QStringLiteral(" KB");
}

FileList::FileList(CheckBoxGrid* grid, QWidget* dialogParent, QObject* parent)
    : QObject(parent), m_grid(grid), m_passwords(new PasswordDelegate(this)),
      m_dialogParent(dialogParent), m_openDialog(RunOpenDialog),
      m_folderDialog([](QWidget* owner) { return FolderChooserDialog::ChooseFolder(owner); }) {}

void FileList::SetUpGrid() {
    m_grid->clear();
    m_grid->setRowCount(0);
    m_grid->setColumnCount(ColumnCount);
    QStringList headers;
    for (const char* text : HeaderTexts)
        headers << (*text ? tr(text) : QString());
    m_grid->setHorizontalHeaderLabels(headers);

    QHeaderView* header = m_grid->horizontalHeader();
    QFont bold = m_grid->font();
    bold.setPixelSize(14);
    bold.setBold(true);
    header->setFont(bold);
    header->setDefaultAlignment(Qt::AlignCenter);
    header->setTextElideMode(Qt::ElideRight);
    header->setFixedHeight(RowHeight);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(8);
    m_grid->FitColumns(std::vector<int>(std::begin(DefaultWidths), std::end(DefaultWidths)),
                       NameColumn);

    m_grid->setItemDelegateForColumn(OwnerColumn, m_passwords);
    m_grid->setItemDelegateForColumn(UserColumn, m_passwords);
    m_grid->verticalHeader()->setDefaultSectionSize(RowHeight);
    m_grid->verticalHeader()->setMinimumSectionSize(RowHeight);
    m_grid->setShowGrid(true);
    m_grid->setWordWrap(false);
    m_grid->setTextElideMode(Qt::ElideRight);
    m_grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                            QAbstractItemView::EditKeyPressed);
    QPalette colours = m_grid->palette();
    colours.setColor(QPalette::Base, talvore::GridBase(colours));
    m_grid->setPalette(colours);
    emit RowsChanged();
}

bool FileList::IsAlreadyImported(const QString& path) const {
    for (const QString& listed : m_paths) {
        if (listed == path) {
            talvore::ShowMessage(m_dialogParent, tr("File: %1 have been imported!").arg(path));
            return true;
        }
    }
    return false;
}

void FileList::AddFileRow(const QString& path) {
    const int row = m_grid->rowCount() + 1; // data row of the new line
    m_grid->setRowCount(row);
    m_grid->SetCheckBoxCell(row, TickColumn, true);

    const talvore::PathParts parts(ToNative(path));
    const auto information = parts.GetFileInformation();
    const QString texts[ColumnCount] = {
        QString(),
        QFile::decodeName(parts.FileName().c_str()),
        FileSizeText(information ? information->Size : 0),
        information ? DateText(information->CreationLocal) : QString(),
        QString(),
        QString(),
    };
    for (int column = 0; column < ColumnCount; ++column) {
        QTableWidgetItem* cell = m_grid->item(row - 1, column);
        if (!cell) {
            cell = new QTableWidgetItem;
            m_grid->setItem(row - 1, column, cell);
        }
        cell->setText(texts[column]);
        const bool left = column == NameColumn || column == OwnerColumn || column == UserColumn;
        cell->setTextAlignment(left ? LeftCell : RightCell);
        Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (column >= OwnerColumn)
            flags |= Qt::ItemIsEditable;
        cell->setFlags(flags);
        if (column == NameColumn)
            cell->setToolTip(path);
    }
    m_grid->setRowHeight(row - 1, RowHeight);
}

void FileList::ImportFile(const QString& path) {
    // Longer paths cannot be opened on this platform; say so instead of
    // listing a file the run would fail on.
    if (QFile::encodeName(path).size() >= PATH_MAX) {
        talvore::ShowMessage(m_dialogParent, tr("File: %1 has too long a path!").arg(path));
        return;
    }
    if (IsAlreadyImported(path))
        return;
    m_paths.append(path);
    AddFileRow(path);
    // The new row is the one the user wants to see.
    m_grid->scrollToBottom();
    emit RowsChanged();
}

void FileList::OpenFiles() {
    const QStringList chosen = m_openDialog(m_dialogParent);
    if (chosen.isEmpty())
        return;
    emit ProgressResetRequested();
    for (const QString& path : chosen) {
        const talvore::PathParts parts(ToNative(path));
        const QString extension =
            parts.Extension().empty()
                ? QString()
                : QStringLiteral(".") + QFile::decodeName(parts.Extension().c_str());
        if (extension.toLower() == QStringLiteral(".pdf"))
            ImportFile(path);
    }
}

void FileList::ImportDirectory() {
    const QString folder = m_folderDialog(m_dialogParent);
    if (folder.isEmpty())
        return;
    emit ProgressResetRequested();
    ScanFolder(folder);
}

void FileList::ScanFolder(const QString& folder) {
    talvore::ScanFolderForPdfs(ToNative(folder), [this](const std::string& path) {
        ImportFile(QFile::decodeName(path.c_str()));
    });
}

void FileList::DropFiles(const QStringList& paths) {
    for (const QString& path : paths) {
        // A dropped folder adds its tree's PDFs as Import Directory does.
        if (QFileInfo(path).isDir()) {
            ScanFolder(path);
            continue;
        }
        if (path.right(3).toLower() == QStringLiteral("pdf"))
            ImportFile(path);
    }
}

int FileList::FileCount() const {
    return m_grid->rowCount();
}

QString FileList::PathOfRow(int row) const {
    return row >= 1 && row <= m_paths.size() ? m_paths[row - 1] : QString();
}

QString FileList::OwnerPasswordOfRow(int row) const {
    const QTableWidgetItem* cell = m_grid->item(row - 1, OwnerColumn);
    return cell ? cell->text() : QString();
}

QString FileList::UserPasswordOfRow(int row) const {
    const QTableWidgetItem* cell = m_grid->item(row - 1, UserColumn);
    return cell ? cell->text() : QString();
}

bool FileList::IsTicked(int row) const {
    return m_grid->IsChecked(row, TickColumn);
}

std::vector<talvore::RunEntry> FileList::TickedEntries() const {
    std::vector<talvore::RunEntry> entries;
    for (int row = 1; row <= FileCount(); ++row) {
        if (!IsTicked(row))
            continue;
        talvore::RunEntry entry;
        entry.Path = ToNative(PathOfRow(row));
        entry.OwnerPassword = OwnerPasswordOfRow(row).toStdString();
        entry.UserPassword = UserPasswordOfRow(row).toStdString();
        entry.Row = row;
        entries.push_back(std::move(entry));
    }
    return entries;
}

int FileList::LastHighlightedRow() const {
    int first = 0, last = 0;
    if (!m_grid->HighlightedRows(first, last))
        return 0;
    return last;
}

bool FileList::RemoveSelected() {
    int first = 0, last = 0;
    if (!m_grid->HighlightedRows(first, last))
        return false;
    // From the bottom up, so the rows still to test keep their numbers.
    for (int row = last; row >= first; --row) {
        if (!m_grid->IsRowHighlighted(row))
            continue;
        m_grid->removeRow(row - 1);
        m_paths.removeAt(row - 1);
    }
    m_grid->viewport()->update();
    emit RowsChanged();
    return true;
}

void FileList::RemoveAll() {
    m_paths.clear();
    SetUpGrid();
}

void FileList::SelectCurrent() {
    const int row = LastHighlightedRow();
    if (row >= 1)
        m_grid->SetChecked(row, TickColumn, true);
}

void FileList::SelectAll() {
    for (int row = 1; row <= FileCount(); ++row)
        m_grid->SetChecked(row, TickColumn, true);
}

void FileList::ClearAll() {
    for (int row = 1; row <= FileCount(); ++row)
        m_grid->SetChecked(row, TickColumn, false);
}

bool FileList::PasswordsShown() const {
    return m_passwords->IsRevealed();
}

void FileList::SetPasswordsShown(bool shown) {
    m_passwords->SetRevealed(shown);
    m_grid->viewport()->update();
}

void FileList::InvertSelect() {
    for (int row = 1; row <= FileCount(); ++row)
        m_grid->SetChecked(row, TickColumn, !IsTicked(row));
}
