#include "filelist/FolderChooserDialog.h"

#include "controls/MessageBoxes.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>

FolderChooserDialog::FolderChooserDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Please Select a Folder"));
    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden |
                       QDir::System);
    m_model->setNameFilters({QStringLiteral("*.pdf"), QStringLiteral("*.PDF")});
    m_model->setNameFilterDisables(false);
    m_model->setReadOnly(true);
    m_model->setRootPath(QDir::rootPath());

    m_view = new QTreeView(this);
    m_view->setModel(m_model);
    m_view->setRootIndex(m_model->index(QDir::rootPath()));
    m_view->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_view->header()->setStretchLastSection(false);
    for (int column = 1; column < m_model->columnCount(); ++column)
        m_view->setColumnHidden(column, column != 1);

    auto* typeLabel = new QLabel(tr("Please Select the File Type:"), this);
    m_types = new QComboBox(this);
    m_types->addItem(tr("PDF Files (*.pdf)"));
    auto* folderLabel = new QLabel(tr("Current Folder:"), this);
    m_edit = new QLineEdit(this);
    folderLabel->setBuddy(m_edit);

    auto* buttons = new QDialogButtonBox(this);
    m_select = buttons->addButton(tr("&Select"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    m_select->setDefault(true);

    auto* layout = new QGridLayout(this);
    layout->addWidget(m_view, 0, 0, 1, 2);
    layout->addWidget(folderLabel, 1, 0);
    layout->addWidget(m_edit, 1, 1);
    layout->addWidget(typeLabel, 2, 0);
    layout->addWidget(m_types, 2, 1);
    layout->addWidget(buttons, 3, 0, 1, 2);
    resize(520, 460);

    connect(m_view->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                const QString path = m_model->filePath(current);
                SetCurrentFolder(m_model->isDir(current) ? path : QFileInfo(path).path());
            });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { TrySelect(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    SetCurrentFolder(QDir::homePath());
    const QModelIndex home = m_model->index(QDir::homePath());
    m_view->setCurrentIndex(home);
    m_view->scrollTo(home);
    m_view->expand(home);
}

void FolderChooserDialog::SetCurrentFolder(const QString& folder) {
    m_currentFolder = folder;
    m_edit->setText(folder);
}

bool FolderChooserDialog::TrySelect() {
    QString folder = m_edit->text();
    if (folder.isEmpty())
        folder = m_currentFolder;
    if (folder.contains(QStringLiteral("//"))) {
        talvore::ShowMessage(this, tr("Invalid directory"), talvore::MessageIcon::Error);
        return false;
    }
    if (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    if (!QFileInfo(folder).isDir()) {
        const QString question = folder + tr("\n\nThe selected path isn't exist, create it?");
        if (talvore::AskYesNo(this, question)) {
            QDir().mkpath(folder);
            if (!QFileInfo(folder).isDir()) {
                talvore::ShowMessage(this, tr("Can not create directory\n") + folder);
                return false;
            }
        }
    }
    m_selected = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    accept();
    return true;
}

QString FolderChooserDialog::ChooseFolder(QWidget* parent) {
    FolderChooserDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.SelectedFolder();
}
