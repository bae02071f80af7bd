// The main form in the left pane: the file grid, the four list buttons, the
// summary text, Start and Stop Convert and the Current and Total captioned
// bars. It owns the file list and the run's control state (converting
// flag, stop event, the one worker), carries out the twelve file-list and
// conversion commands and answers their availability, lays its controls out
// on every resize, turns its keys into commands, and accepts dropped files.
// GUI thread only; the worker reaches it through GuiRunObserver.
#pragma once

#include "convert/RunObserver.h"
#include "settings/ConversionSettings.h"

#include <QPoint>
#include <QWidget>

#include <memory>
#include <thread>

class CaptionProgressBar;
class CheckBoxGrid;
class CRightView;
class FileList;
class IconButton;
class QLabel;
class QMenu;
class QTextEdit;
class GuiRunObserver;

class MainForm : public QWidget {
    Q_OBJECT
public:
    MainForm(talvore::ConversionSettings& settings, QWidget* parent = nullptr);
    ~MainForm() override;

    // The options panel, asked for ReadAllOptions at each start and told the
    // page count by the summary report. May stay null.
    void SetOptionsPanel(CRightView* panel) { m_panel = panel; }

    FileList& Files() const { return *m_files; }
    CheckBoxGrid* Grid() const { return m_grid; }
    QTextEdit* InfoText() const { return m_info; }
    CaptionProgressBar* CurrentBar() const { return m_currentBar; }
    CaptionProgressBar* TotalBar() const { return m_totalBar; }
    IconButton* Button(int commandId) const;

    // Progress and button operations used by the list and the run.
    void ResetProgress(const QString& caption);
    void SetCurrentProgress(int position, const QString& caption);
    void SetCurrentCaption(const QString& caption);
    void SetTotalCaption(const QString& caption);
    void SetCurrentPosition(int position);
    void SetTotalPosition(int position);
    void EnableCommandButtons(bool enable);
    void ClearInfoText();
    bool IsConverting() const { return m_converting; }

    // Availability of a file-list or conversion command.
    bool IsCommandEnabled(int commandId) const;
    // Runs the command without asking its availability (buttons, keys).
    void RunCommand(int commandId);
    // Runs it only when available (menus, accelerators, context menu).
    void RunCommandIfEnabled(int commandId);

    void StartConvert();
    void StopConvert();
    // "Convert stopped." is on the bars: what the run still reports is not
    // shown until the next run starts.
    bool IsStopShown() const { return m_stopShown; }
    // The window is waiting for the run to end before it closes: the page in
    // hand is finishing.
    void ShowClosingCaption();

    // The context menu for a request at a screen point; null when none is
    // shown there (empty list, point outside the grid, keyboard request).
    std::unique_ptr<QMenu> BuildContextMenu(const QPoint& globalPos, bool fromMouse);

    void LayOut();

signals:
    // The list's row count or the converting flag changed.
    void AvailabilityChanged();
    // A run has ended and its worker is gone.
    void RunFinished();
    // A file-list or conversion command was carried out, however it came
    // (button, key, menu): one signal per command run.
    void CommandRan(int commandId);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    friend class GuiRunObserver;
    void OnRunEnded();
    void OnGridClicked(int row, int column);
    void OpenFileDirectory();
    void OpenWithAssociatedApp();
    bool IsEditingCell(const QWidget* widget) const;

    talvore::ConversionSettings& m_settings;
    CRightView* m_panel = nullptr;
    CheckBoxGrid* m_grid = nullptr;
    FileList* m_files = nullptr;
    QTextEdit* m_info = nullptr;
    IconButton* m_openFile = nullptr;
    IconButton* m_importDirectory = nullptr;
    IconButton* m_removeSelected = nullptr;
    IconButton* m_clearAll = nullptr;
    IconButton* m_startConvert = nullptr;
    IconButton* m_stopConvert = nullptr;
    QLabel* m_currentLabel = nullptr;
    QLabel* m_totalLabel = nullptr;
    CaptionProgressBar* m_currentBar = nullptr;
    CaptionProgressBar* m_totalBar = nullptr;

    bool m_converting = false;
    bool m_stopShown = false;
    std::shared_ptr<talvore::StopEvent> m_stop;
    std::unique_ptr<GuiRunObserver> m_observer;
    std::thread m_worker;

    // Set while the filter hands a key on to its control.
    bool m_redispatching = false;
};
