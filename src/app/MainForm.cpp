#include "app/MainForm.h"

#include "app/AppResources.h"
#include "app/CRightView.h"
#include "app/CommandTable.h"
#include "app/DesktopShell.h"
#include "app/GuiRunObserver.h"
#include "app/PdfSummaryView.h"
#include "controls/CaptionProgressBar.h"
#include "controls/CheckBoxGrid.h"
#include "controls/IconButton.h"
#include "controls/ThemeColours.h"
#include "convert/ExtractionJob.h"
#include "convert/PathParts.h"
#include "filelist/FileList.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPalette>
#include <QPointer>
#include <QTextEdit>
#include <QUrl>

#include <algorithm>
#include <system_error>

using namespace talvore;

namespace {

// Functions, not constants: the translation is loaded after static start-up.
QString WaitingCaption() {
    return MainForm::tr("Waiting for converting.");
}
QString StoppedCaption() {
    return MainForm::tr("Convert stopped.");
}
QString ShowPasswordsText() {
    return MainForm::tr("Show Passwords");
}
QString ClosingCaption() {
    return MainForm::tr("Convert stopped. Finishing the current page...");
}

IconButton* MakeButton(int id, const char* icon, QWidget* parent) {
    auto* button = new IconButton(id, parent);
    button->SetIcon(QIcon(QString::fromLatin1(icon)));
    button->setToolTip(ButtonToolTip(*FindFormCommand(id)));
    // The picture alone names nothing to a screen reader.
    button->setAccessibleName(ButtonName(*FindFormCommand(id)));
    return button;
}

void Place(QWidget* widget, int x, int y, int width, int height) {
    // Very small forms give negative sizes in the formulas: clip them to 0.
    if (widget)
        widget->setGeometry(x, y, std::max(0, width), std::max(0, height));
}

} // namespace

MainForm::MainForm(ConversionSettings& settings, QWidget* parent)
    : QWidget(parent), m_settings(settings) {
    EnsureAppResources();
    setObjectName(QStringLiteral("MainForm"));
    setAutoFillBackground(true);
    setPalette(WithWindowBackground(palette()));
    setAcceptDrops(true);

    m_grid = new CheckBoxGrid(this);
    m_grid->setObjectName(QStringLiteral("FileGrid"));
    m_grid->setFocusPolicy(Qt::StrongFocus);
    m_grid->setAcceptDrops(false);
    m_grid->viewport()->setAcceptDrops(false);
    m_grid->setContextMenuPolicy(Qt::DefaultContextMenu);

    m_openFile = MakeButton(IdOpenFile, ":/icons/open-file.svg", this);
    m_importDirectory = MakeButton(IdImportDirectory, ":/icons/open-directory.svg", this);
    m_removeSelected = MakeButton(IdRemoveSelected, ":/icons/remove-selected.svg", this);
    m_clearAll = MakeButton(IdClearAll, ":/icons/clear-all.svg", this);
    m_startConvert = MakeButton(IdStartConvert, ":/icons/start-convert.svg", this);
    m_stopConvert = MakeButton(IdStopConvert, ":/icons/stop-convert.svg", this);
    for (IconButton* button : {m_openFile, m_importDirectory, m_removeSelected, m_clearAll,
                               m_startConvert, m_stopConvert}) {
        button->setContextMenuPolicy(Qt::NoContextMenu);
        connect(button, &IconButton::Pressed, this, &MainForm::RunCommand);
    }

    m_info = new QTextEdit(this);
    m_info->setObjectName(QStringLiteral("InfoText"));
    m_info->setReadOnly(true);
    m_info->setAcceptRichText(true);
    m_info->setLineWrapMode(QTextEdit::NoWrap);
    m_info->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_info->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_info->setTabChangesFocus(true);
    // The summary indents its lines with tabs: a modest tab keeps them close.
    m_info->setTabStopDistance(32);
    m_info->setContextMenuPolicy(Qt::NoContextMenu);
    m_info->setAcceptDrops(false);
    m_info->viewport()->setAcceptDrops(false);

    m_currentLabel = new QLabel(tr("Current"), this);
    m_totalLabel = new QLabel(tr("Total"), this);
    m_currentBar = new CaptionProgressBar(this);
    m_totalBar = new CaptionProgressBar(this);
    m_currentBar->setAccessibleName(m_currentLabel->text());
    m_totalBar->setAccessibleName(m_totalLabel->text());
    // The bars and their labels are 12 pixels high: a font that fits them.
    QFont small = font();
    small.setPixelSize(10);
    for (QWidget* widget :
         std::initializer_list<QWidget*>{m_currentLabel, m_totalLabel, m_currentBar, m_totalBar})
        widget->setFont(small);
    m_currentBar->SetCaption(WaitingCaption());
    m_totalBar->SetCaption(WaitingCaption());

    m_files = new FileList(m_grid, this, this);
    connect(m_files, &FileList::ProgressResetRequested, this,
            [this] { ResetProgress(WaitingCaption()); });
    connect(m_files, &FileList::RowsChanged, this, &MainForm::AvailabilityChanged);
    connect(m_grid, &CheckBoxGrid::CellClicked, this, &MainForm::OnGridClicked);
    m_files->SetUpGrid();

    setTabOrder(m_grid, m_openFile);
    setTabOrder(m_openFile, m_importDirectory);
    setTabOrder(m_importDirectory, m_removeSelected);
    setTabOrder(m_removeSelected, m_clearAll);
    setTabOrder(m_clearAll, m_info);
    setTabOrder(m_info, m_startConvert);
    setTabOrder(m_startConvert, m_stopConvert);

    qApp->installEventFilter(this);
    LayOut();
}

MainForm::~MainForm() {
    qApp->removeEventFilter(this);
    // The window normally waits for the run to end before it closes; if the
    // form goes regardless, cut the worker off and let it finish its
    // document without us.
    if (m_observer) {
        if (m_stop)
            m_stop->Set();
        m_observer->Detach();
    }
    if (m_worker.joinable())
        m_worker.join();
}

IconButton* MainForm::Button(int commandId) const {
    for (IconButton* button : {m_openFile, m_importDirectory, m_removeSelected, m_clearAll,
                               m_startConvert, m_stopConvert}) {
        if (button->CommandId() == commandId)
            return button;
    }
    return nullptr;
}

void MainForm::ResetProgress(const QString& caption) {
    m_currentBar->setValue(0);
    m_totalBar->setValue(0);
    m_currentBar->SetCaption(caption);
    m_totalBar->SetCaption(caption);
}

void MainForm::SetCurrentProgress(int position, const QString& caption) {
    m_currentBar->setValue(std::clamp(position, 0, 100));
    m_currentBar->SetCaption(caption);
}

void MainForm::SetCurrentCaption(const QString& caption) {
    m_currentBar->SetCaption(caption);
}

void MainForm::SetTotalCaption(const QString& caption) {
    m_totalBar->SetCaption(caption);
}

void MainForm::SetCurrentPosition(int position) {
    m_currentBar->setValue(std::clamp(position, 0, 100));
}

void MainForm::SetTotalPosition(int position) {
    m_totalBar->setValue(std::clamp(position, 0, 100));
}

void MainForm::EnableCommandButtons(bool enable) {
    for (IconButton* button :
         {m_startConvert, m_clearAll, m_importDirectory, m_openFile, m_removeSelected})
        button->setEnabled(enable);
}

void MainForm::ClearInfoText() {
    m_info->clear();
}

bool MainForm::IsCommandEnabled(int commandId) const {
    const bool hasFiles = m_files->FileCount() >= 1;
    switch (commandId) {
    case IdOpenFile:
    case IdImportDirectory:
        return !m_converting;
    case IdRemoveSelected:
    case IdRemoveAll:
    case IdSelectCurrent:
    case IdSelectAll:
    case IdClearAll:
    case IdInvertSelect:
    case IdStartConvert:
        return hasFiles && !m_converting;
    case IdOpenFileDirectory:
    case IdOpenWithApp:
    case IdStopConvert:
        return hasFiles;
    default:
        return false;
    }
}

void MainForm::RunCommand(int commandId) {
    switch (commandId) {
    case IdOpenFile:
        m_files->OpenFiles();
        break;
    case IdImportDirectory:
        m_files->ImportDirectory();
        break;
    case IdOpenFileDirectory:
        OpenFileDirectory();
        break;
    case IdOpenWithApp:
        OpenWithAssociatedApp();
        break;
    case IdRemoveSelected:
        if (m_files->RemoveSelected()) {
            ClearInfoText();
            m_grid->viewport()->update();
        }
        break;
    case IdRemoveAll:
        m_files->RemoveAll();
        ClearInfoText();
        break;
    case IdSelectCurrent:
        m_files->SelectCurrent();
        break;
    case IdSelectAll:
        m_files->SelectAll();
        break;
    case IdClearAll:
        m_files->ClearAll();
        break;
    case IdInvertSelect:
        m_files->InvertSelect();
        break;
    case IdStartConvert:
        StartConvert();
        break;
    case IdStopConvert:
        StopConvert();
        break;
    default:
        return;
    }
    emit CommandRan(commandId);
}

void MainForm::RunCommandIfEnabled(int commandId) {
    if (IsCommandEnabled(commandId))
        RunCommand(commandId);
}

void MainForm::OpenFileDirectory() {
    const int row = m_files->LastHighlightedRow();
    if (row < 1)
        return;
    const PathParts parts(QFile::encodeName(m_files->PathOfRow(row)).toStdString());
    Shell().ExploreFolder(QFile::decodeName(parts.Location().c_str()));
}

void MainForm::OpenWithAssociatedApp() {
    const int row = m_files->LastHighlightedRow();
    if (row < 1)
        return;
    Shell().OpenFile(m_files->PathOfRow(row));
}

void MainForm::StartConvert() {
    // One run at a time, whichever way the command arrives.
    if (m_converting || m_worker.joinable())
        return;
    EnableCommandButtons(false);
    m_converting = true;
    m_stopShown = false;
    emit AvailabilityChanged();

    std::vector<RunEntry> entries = m_files->TickedEntries();
    if (m_panel)
        m_panel->ReadAllOptions();
    // The run works on its own copy, so options edited during the run
    // cannot reach it half-way.
    ConversionSettings copy = m_settings;
    m_stop = std::make_shared<StopEvent>();
    m_observer = std::make_unique<GuiRunObserver>(this);
    ExtractionJob job(copy);
    for (RunEntry& entry : entries)
        job.AddEntry(std::move(entry));
    try {
        m_worker = std::thread(
            [job = std::move(job), observer = m_observer.get(), stop = m_stop]() mutable {
                // The job reports whatever breaks off the run; the buttons return.
                job.Run(*observer, stop);
                observer->RunEnded();
            });
    } catch (const std::system_error&) {
        m_observer.reset();
        m_converting = false;
        EnableCommandButtons(true);
        emit AvailabilityChanged();
    }
}

void MainForm::StopConvert() {
    ResetProgress(StoppedCaption());
    m_stopShown = true;
    if (m_stop)
        m_stop->Set();
    if (!m_converting) {
        EnableCommandButtons(true);
        emit AvailabilityChanged();
    }
}

void MainForm::ShowClosingCaption() {
    m_currentBar->SetCaption(ClosingCaption());
}

void MainForm::OnRunEnded() {
    if (m_worker.joinable())
        m_worker.join();
    m_observer.reset();
    m_converting = false;
    EnableCommandButtons(true);
    emit AvailabilityChanged();
    emit RunFinished();
}

void MainForm::OnGridClicked(int row, int column) {
    if (m_files->FileCount() == 0 || !m_grid->IsInHighlightedRange(row, column))
        return;
    const int last = m_files->LastHighlightedRow();
    if (last >= 1)
        ShowPdfSummary(m_info, m_files->PathOfRow(last), m_panel);
}

void MainForm::LayOut() {
    const int L = 0, T = 0, R = width(), B = height();
    const int H = (B - T) / 2;
    Place(m_grid, L, T, R - L, H - 44);
    Place(m_openFile, L + 5, T + H - 36, 32, 32);
    Place(m_importDirectory, L + 57, T + H - 36, 32, 32);
    Place(m_removeSelected, L + 109, T + H - 36, 32, 32);
    Place(m_clearAll, L + 161, T + H - 36, 32, 32);
    Place(m_info, L, B - H + 4, R - L, H - 52);
    Place(m_startConvert, L + 5, B - 40, 32, 32);
    Place(m_stopConvert, L + 57, B - 40, 32, 32);
    Place(m_currentLabel, L + 97, B - 40, 40, 12);
    Place(m_currentBar, L + 145, B - 40, R - L - 145, 12);
    Place(m_totalLabel, L + 97, B - 20, 40, 12);
    Place(m_totalBar, L + 145, B - 20, R - L - 145, 12);
    update();
}

void MainForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayOut();
}

bool MainForm::IsEditingCell(const QWidget* widget) const {
    QWidget* viewport = m_grid->viewport();
    return widget != viewport && viewport->isAncestorOf(widget);
}

bool MainForm::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (m_redispatching) {
        // The copy we hand on is not spontaneous, so Qt offers it to the
        // shortcuts first: keep it from the menu accelerator, whose command
        // has just run.
        if (type == QEvent::ShortcutOverride)
            event->accept();
        return type == QEvent::ShortcutOverride;
    }
    if (!widget || (widget != this && !isAncestorOf(widget)))
        return false;
    // A password being typed keeps its Space and Delete.
    if (IsEditingCell(widget))
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const int command = FilterCommand(key->key(), key->modifiers());
    if (command == 0)
        return false;
    // During a run only what is available acts (Stop Convert among them).
    if (m_converting && !IsCommandEnabled(command))
        return false;
    const QPointer<QWidget> target = widget;
    if (type == QEvent::ShortcutOverride) {
        // Ours, not the menu accelerator's: the command runs on the press.
        event->accept();
        return true;
    }
    RunCommand(command);
    // Then the key goes on as usual, so the focused control still gets it;
    // the copy passes the filter untouched and the original stops here, so
    // neither runs the command twice on its way up to the parents.
    if (target) {
        QKeyEvent copy(key->type(), key->key(), key->modifiers(), key->nativeScanCode(),
                       key->nativeVirtualKey(), key->nativeModifiers(), key->text(),
                       key->isAutoRepeat(), key->count());
        copy.setTimestamp(key->timestamp());
        m_redispatching = true;
        QCoreApplication::sendEvent(target, &copy);
        m_redispatching = false;
    }
    return true;
}

std::unique_ptr<QMenu> MainForm::BuildContextMenu(const QPoint& globalPos, bool fromMouse) {
    if (m_files->FileCount() == 0 || !fromMouse)
        return nullptr;
    const QPoint local = mapFromGlobal(globalPos);
    if (!m_grid->geometry().contains(local))
        return nullptr;
    auto menu = std::make_unique<QMenu>(this);
    menu->setObjectName(QStringLiteral("_popup_"));
    for (const int id : ContextMenuOrder()) {
        if (id == 0) {
            menu->addSeparator();
            continue;
        }
        const FormCommand* command = FindFormCommand(id);
        QAction* action = menu->addAction(ContextLabel(*command));
        action->setData(id);
        action->setEnabled(IsCommandEnabled(id));
    }
    menu->addSeparator();
    QAction* reveal = menu->addAction(ShowPasswordsText());
    reveal->setCheckable(true);
    reveal->setChecked(m_files->PasswordsShown());
    connect(reveal, &QAction::toggled, this,
            [this](bool shown) { m_files->SetPasswordsShown(shown); });
    return menu;
}

void MainForm::contextMenuEvent(QContextMenuEvent* event) {
    std::unique_ptr<QMenu> menu =
        BuildContextMenu(event->globalPos(), event->reason() == QContextMenuEvent::Mouse);
    if (!menu)
        return;
    event->accept();
    activateWindow();
    // The menu's right edge at the pointer.
    const QPoint at = event->globalPos() - QPoint(menu->sizeHint().width(), 0);
    QAction* chosen = menu->exec(at);
    // "Show Passwords" acts through its toggle and has no command id.
    if (chosen && chosen->data().isValid())
        RunCommandIfEnabled(chosen->data().toInt());
}

void MainForm::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void MainForm::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void MainForm::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    m_files->DropFiles(paths);
}
