// The main window: the menu bar (File, Edit, Help) with the twelve
// file-list and conversion commands and their keys, a splitter with the
// main form on the left (640 pixels, ideal and minimum) and the options
// panel on the right, the title and the 880 x 565 minimum size. File-list
// and conversion commands go to the form, which answers their availability
// before a menu shows and before a command runs. Closing stops a run and
// waits for its worker to finish the document in hand.
#pragma once

#include <QMainWindow>

#include <map>

class CConverterApp;
class CLeftView;
class CRightView;
class MainForm;
class QAction;
class QSplitter;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(CConverterApp& app, QWidget* parent = nullptr);
    ~CMainFrame() override;

    MainForm* Form() const;
    CRightView* RightView() const { return m_rightView; }
    QSplitter* Splitter() const { return m_splitter; }
    // The action of a command of the menu bar, by identifier.
    QAction* Action(int commandId) const;

    // Sets every menu command's enabled state from the form.
    void UpdateCommandStates();
    // A second start asked for this window: restore, raise, activate, and
    // bring its modal dialog to the front.
    void RaiseFromOtherInstance();

    // Help commands.
    void OpenManual();
    void ShowTipOfTheDay();
    void TellFriend();
    void CheckNewVersion();
    void VisitWebSite();

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void OnRunFinished();

private:
    void BuildMenus();
    QAction* AddCommand(QMenu* menu, int id, const QString& label);

    CConverterApp& m_app;
    QSplitter* m_splitter = nullptr;
    CLeftView* m_leftView = nullptr;
    CRightView* m_rightView = nullptr;
    std::map<int, QAction*> m_actions;
    bool m_closeWhenRunEnds = false;
    bool m_waitCursor = false; // set while a close waits for the run
};
