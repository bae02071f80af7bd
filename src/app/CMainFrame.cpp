#include "app/CMainFrame.h"

#include "app/AppLinks.h"
#include "app/AppResources.h"
#include "app/CConverterApp.h"
#include "app/CLeftView.h"
#include "app/CRightView.h"
#include "app/CTipDialog.h"
#include "app/CommandTable.h"
#include "app/DesktopShell.h"
#include "app/MainForm.h"
#include "controls/ThemeColours.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>

using namespace talvore;

namespace {
constexpr int LeftPaneWidth = 640;
} // namespace

CMainFrame::CMainFrame(CConverterApp& app, QWidget* parent) : QMainWindow(parent), m_app(app) {
    EnsureAppResources();
    setObjectName(QStringLiteral("MainFrame"));
    setPalette(WithWindowBackground(palette()));
    setAutoFillBackground(true);
    setWindowIcon(QIcon(QStringLiteral(":/icons/talvore.svg")));

    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setChildrenCollapsible(false);
    m_splitter->setHandleWidth(6);
    // The handle shows the window's background through it. No style sheet:
    // one here would put every widget below under the style-sheet style,
    // which draws the grid header without its font.
    m_leftView = new CLeftView(app.Settings(), m_splitter);
    m_leftView->setMinimumWidth(LeftPaneWidth);
    m_rightView = new CRightView(app.Settings(), m_splitter);
    m_splitter->addWidget(m_leftView);
    m_splitter->addWidget(m_rightView);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    setCentralWidget(m_splitter);
    m_leftView->Form()->SetOptionsPanel(m_rightView);

    BuildMenus();
    connect(Form(), &MainForm::AvailabilityChanged, this, &CMainFrame::UpdateCommandStates);
    connect(Form(), &MainForm::RunFinished, this, &CMainFrame::OnRunFinished);

    setWindowTitle(WindowTitle());
    setMinimumSize(880, 565);
    m_splitter->setSizes({LeftPaneWidth, 1});
    UpdateCommandStates();
}

CMainFrame::~CMainFrame() {
    if (m_waitCursor)
        QApplication::restoreOverrideCursor();
}

MainForm* CMainFrame::Form() const {
    return m_leftView->Form();
}

QAction* CMainFrame::Action(int commandId) const {
    const auto found = m_actions.find(commandId);
    return found == m_actions.end() ? nullptr : found->second;
}

QAction* CMainFrame::AddCommand(QMenu* menu, int id, const QString& label) {
    QAction* action = menu->addAction(label);
    action->setData(id);
    m_actions[id] = action;
    return action;
}

void CMainFrame::BuildMenus() {
    QMenuBar* bar = menuBar();
    bar->setAutoFillBackground(true);
    bar->setPalette(palette());

    const auto addForm = [this](QMenu* menu, int id) {
        const FormCommand* command = FindFormCommand(id);
        QAction* action = AddCommand(menu, id, MenuLabel(*command));
        action->setShortcut(QKeySequence(command->Key));
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, [this, id] {
            // Asked again now: the state may have changed since the menu showed.
            Form()->RunCommandIfEnabled(id);
            UpdateCommandStates();
        });
        addAction(action);
    };

    QMenu* file = bar->addMenu(tr("&File"));
    addForm(file, IdOpenFile);
    addForm(file, IdImportDirectory);
    file->addSeparator();
    connect(AddCommand(file, IdExit, tr("E&xit\tAlt+F4")), &QAction::triggered, this,
            &QWidget::close);

    QMenu* edit = bar->addMenu(tr("&Edit"));
    addForm(edit, IdOpenFileDirectory);
    addForm(edit, IdOpenWithApp);
    edit->addSeparator();
    addForm(edit, IdRemoveSelected);
    addForm(edit, IdRemoveAll);
    edit->addSeparator();
    addForm(edit, IdSelectCurrent);
    addForm(edit, IdSelectAll);
    addForm(edit, IdClearAll);
    addForm(edit, IdInvertSelect);
    edit->addSeparator();
    addForm(edit, IdStartConvert);
    addForm(edit, IdStopConvert);

    QMenu* help = bar->addMenu(tr("&Help"));
    QAction* manual =
        AddCommand(help, IdManual, tr("&Manual") + u'\t' + KeyText(CommandKey(IdManual)));
    manual->setShortcut(QKeySequence(CommandKey(IdManual)));
    manual->setShortcutContext(Qt::WindowShortcut);
    addAction(manual);
    connect(manual, &QAction::triggered, this, &CMainFrame::OpenManual);
    connect(AddCommand(help, IdTipOfTheDay, tr("&Show Tip of the Day...")), &QAction::triggered,
            this, &CMainFrame::ShowTipOfTheDay);
    help->addSeparator();
    connect(AddCommand(help, IdTellFriend, tr("&Tell to Friend via E-mail...")),
            &QAction::triggered, this, &CMainFrame::TellFriend);
    connect(AddCommand(help, IdCheckNewVersion, tr("&Check New Version...")), &QAction::triggered,
            this, &CMainFrame::CheckNewVersion);
    connect(AddCommand(help, IdVisitWebSite, tr("&Visit %1...").arg(WebDomain())),
            &QAction::triggered, this, &CMainFrame::VisitWebSite);
    help->addSeparator();
    connect(AddCommand(help, IdAbout, tr("&About Ostrael...")), &QAction::triggered, this,
            [this] { m_app.ShowAboutBox(this); });

    for (QMenu* menu : {file, edit, help})
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
}

void CMainFrame::UpdateCommandStates() {
    for (const FormCommand& command : FormCommands())
        m_actions[command.Id]->setEnabled(Form()->IsCommandEnabled(command.Id));
}

void CMainFrame::RaiseFromOtherInstance() {
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
    }
}

void CMainFrame::OpenManual() {
    const QString path = m_app.ManualPath();
    // No manual installed: nothing to show, and no error either.
    if (QFileInfo(path).isFile())
        Shell().OpenFile(path);
}

void CMainFrame::ShowTipOfTheDay() {
    CTipDialog dialog(m_app.SettingsPath(), m_app.TipsPath(), this);
    dialog.exec();
}

void CMainFrame::TellFriend() {
    Shell().OpenUrl(InvitationMailUrl());
}

void CMainFrame::CheckNewVersion() {
    Shell().OpenUrl(ProductPageUrl());
}

void CMainFrame::VisitWebSite() {
    Shell().OpenUrl(HomePageUrl());
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    MainForm* form = Form();
    form->StopConvert();
    if (form->IsConverting()) {
        // The worker finishes the page it is on and converts what it
        // dumped; the window closes when the run has ended.
        m_closeWhenRunEnds = true;
        form->ShowClosingCaption();
        if (!m_waitCursor) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            m_waitCursor = true;
        }
        event->ignore();
        return;
    }
    event->accept();
}

void CMainFrame::OnRunFinished() {
    if (m_waitCursor) {
        QApplication::restoreOverrideCursor();
        m_waitCursor = false;
    }
    if (m_closeWhenRunEnds)
        close();
}
