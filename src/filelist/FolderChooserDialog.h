// "Please Select a Folder": a folder chooser with its own "Current Folder:"
// edit box that follows the folder open in the view and accepts a typed
// path. "&Select" refuses a text with two consecutive '/' ("Invalid
// directory"), offers to create a missing folder with its parents, and
// confirms with the folder text ending in '/'.
#pragma once

#include <QDialog>
#include <QString>

class QComboBox;
class QFileSystemModel;
class QLineEdit;
class QPushButton;
class QTreeView;

class FolderChooserDialog : public QDialog {
    Q_OBJECT
public:
    explicit FolderChooserDialog(QWidget* parent = nullptr);

    // Runs the dialog; the chosen folder ending with '/', empty when cancelled.
    static QString ChooseFolder(QWidget* parent);

    QString CurrentFolder() const { return m_currentFolder; }
    void SetCurrentFolder(const QString& folder);
    QLineEdit* FolderEdit() const { return m_edit; }
    QPushButton* SelectButton() const { return m_select; }
    // The confirmed folder, ending with '/'.
    QString SelectedFolder() const { return m_selected; }

    // The "&Select" rules; true when the dialog was confirmed.
    bool TrySelect();

private:
    QFileSystemModel* m_model;
    QTreeView* m_view;
    QComboBox* m_types;
    QLineEdit* m_edit;
    QPushButton* m_select;
    QString m_currentFolder;
    QString m_selected;
};
