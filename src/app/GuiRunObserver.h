// The run's observer for the desktop: every call from the worker is queued
// to the GUI thread, where it reaches the main form; ShowMessage waits until
// the user has pressed OK. Detach() (GUI thread) cuts the form off: later
// calls do nothing and a waiting ShowMessage returns, so a worker never
// touches a form that is going away and never waits for one.
//
// A message box about a document shows the document's path under the
// text; at the end of the run one message names the documents that lost
// images. Captions and positions that arrive after a stop was shown are
// dropped, so "Convert stopped." stays.
#pragma once

#include "convert/RunFailureReport.h"
#include "convert/RunObserver.h"

#include <condition_variable>
#include <memory>
#include <mutex>

class MainForm;

class GuiRunObserver : public talvore::RunObserver {
public:
    explicit GuiRunObserver(MainForm* form) : m_form(form) {}

    void SetCurrentCaption(const std::string& caption) override;
    void SetTotalCaption(const std::string& caption) override;
    void SetCurrentPosition(int position) override;
    void SetTotalPosition(int position) override;
    void ShowMessage(const std::string& text) override;
    void OpenFolder(const std::string& folder) override;
    void DocumentStarted(int index, int count, const std::string& path) override;
    void DocumentFinished(const talvore::DocumentReport& report) override;

    // Worker: the run is over. Says which documents lost images (and waits
    // for OK), then the form joins the worker and restores the buttons.
    void RunEnded();
    void Detach();

private:
    template <typename Call> void Post(Call call);

    // Shared with the queued message-box calls, which may outlive a wait.
    struct State {
        std::mutex Mutex;
        std::condition_variable Answered;
        bool Detached = false;
        unsigned MessagesAnswered = 0;
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
    MainForm* m_form;
    // Worker thread only.
    std::string m_document; // between DocumentStarted and DocumentFinished
    talvore::RunFailureReport m_failures;
};
