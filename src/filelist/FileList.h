// The file list of the main form: the ordered list of imported paths and the
// grid rows, always changed together, so data row r belongs to path r - 1.
// No path is listed twice (exact, case-sensitive comparison). It fills the
// list three ways (open dialog, folder scan, drop), each with its own rule
// for what counts as a PDF (a dropped folder is scanned), and offers the row commands: remove,
// tick, untick, invert. GUI thread only; a run takes its entries at its start.
#pragma once

#include "convert/ConversionRun.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <vector>

class CheckBoxGrid;
class PasswordDelegate;
class QWidget;

// "1,234 KB": bytes div 1024, digits grouped by three.
QString FileSizeText(uint64_t bytes);

class FileList : public QObject {
    Q_OBJECT
public:
    enum Column { TickColumn, NameColumn, SizeColumn, DateColumn, OwnerColumn, UserColumn };
    static constexpr int ColumnCount = 6;
    static constexpr int RowHeight = 18;
    static const int DefaultWidths[ColumnCount];

    // The open dialog: the chosen paths, empty when cancelled.
    using OpenDialog = std::function<QStringList(QWidget* parent)>;
    // The folder chooser: the folder ending with '/', empty when cancelled.
    using FolderDialog = std::function<QString(QWidget* parent)>;

    // The grid belongs to the form; message boxes and dialogs are owned by
    // dialogParent.
    FileList(CheckBoxGrid* grid, QWidget* dialogParent, QObject* parent = nullptr);

    CheckBoxGrid* Grid() const { return m_grid; }
    void SetOpenDialog(OpenDialog dialog) { m_openDialog = std::move(dialog); }
    void SetFolderDialog(FolderDialog dialog) { m_folderDialog = std::move(dialog); }

    void SetUpGrid();
    bool IsAlreadyImported(const QString& path) const;
    void AddFileRow(const QString& path);
    void ImportFile(const QString& path);

    void OpenFiles();
    void ImportDirectory();
    void ScanFolder(const QString& folder);
    void DropFiles(const QStringList& paths);

    int FileCount() const;
    QString PathOfRow(int row) const;
    QString OwnerPasswordOfRow(int row) const;
    QString UserPasswordOfRow(int row) const;
    bool IsTicked(int row) const;
    // The run list: every ticked row in row order with its passwords.
    std::vector<talvore::RunEntry> TickedEntries() const;

    // The last highlighted data row, 0 when none.
    int LastHighlightedRow() const;
    // Removes every highlighted row; false when nothing was highlighted.
    bool RemoveSelected();
    void RemoveAll();
    void SelectCurrent();
    void SelectAll();
    void ClearAll();
    void InvertSelect();

    // Password cells show dots unless shown ("Show Passwords").
    bool PasswordsShown() const;
    void SetPasswordsShown(bool shown);

signals:
    // Open File or Import Directory confirmed: the progress display resets.
    void ProgressResetRequested();
    // Rows were added or removed.
    void RowsChanged();

private:
    CheckBoxGrid* m_grid;
    PasswordDelegate* m_passwords;
    QWidget* m_dialogParent;
    QStringList m_paths;
    OpenDialog m_openDialog;
    FolderDialog m_folderDialog;
};
