#include "app/GuiRunObserver.h"

#include "app/DesktopShell.h"
#include "app/MainForm.h"
#include "controls/MessageBoxes.h"

#include <QFile>
#include <QMetaObject>
#include <QString>

template <typename Call> void GuiRunObserver::Post(Call call) {
    std::lock_guard<std::mutex> lock(m_state->Mutex);
    if (m_state->Detached)
        return;
    // The form is the context: Qt drops the call if the form is gone first.
    QMetaObject::invokeMethod(m_form, std::move(call), Qt::QueuedConnection);
}

void GuiRunObserver::SetCurrentCaption(const std::string& caption) {
    Post([form = m_form, text = QString::fromStdString(caption)] {
        if (!form->IsStopShown())
            form->SetCurrentCaption(text);
    });
}

void GuiRunObserver::SetTotalCaption(const std::string& caption) {
    Post([form = m_form, text = QString::fromStdString(caption)] {
        if (!form->IsStopShown())
            form->SetTotalCaption(text);
    });
}

void GuiRunObserver::SetCurrentPosition(int position) {
    Post([form = m_form, position] {
        if (!form->IsStopShown())
            form->SetCurrentPosition(position);
    });
}

void GuiRunObserver::SetTotalPosition(int position) {
    Post([form = m_form, position] {
        if (!form->IsStopShown())
            form->SetTotalPosition(position);
    });
}

void GuiRunObserver::ShowMessage(const std::string& text) {
    QString message = QString::fromStdString(text);
    if (!m_document.empty())
        message += QLatin1Char('\n') + QFile::decodeName(m_document.c_str());
    std::unique_lock<std::mutex> lock(m_state->Mutex);
    if (m_state->Detached)
        return;
    const unsigned ticket = m_state->MessagesAnswered + 1;
    QMetaObject::invokeMethod(
        m_form,
        [state = m_state, form = m_form, message = std::move(message)] {
            // Runs only while the form lives (it is the context); after the
            // box only the shared state is touched.
            talvore::ShowMessage(form->window(), message);
            std::lock_guard<std::mutex> answered(state->Mutex);
            ++state->MessagesAnswered;
            state->Answered.notify_all();
        },
        Qt::QueuedConnection);
    m_state->Answered.wait(
        lock, [&] { return m_state->Detached || m_state->MessagesAnswered >= ticket; });
}

void GuiRunObserver::OpenFolder(const std::string& folder) {
    Post([path = QFile::decodeName(folder.c_str())] { talvore::Shell().ExploreFolder(path); });
}

void GuiRunObserver::DocumentStarted(int, int, const std::string& path) {
    m_document = path;
}

void GuiRunObserver::DocumentFinished(const talvore::DocumentReport& report) {
    m_document.clear();
    m_failures.Add(report);
}

void GuiRunObserver::RunEnded() {
    m_document.clear();
    if (!m_failures.Empty())
        ShowMessage(m_failures.Message());
    Post([form = m_form] { form->OnRunEnded(); });
}

void GuiRunObserver::Detach() {
    std::lock_guard<std::mutex> lock(m_state->Mutex);
    m_state->Detached = true;
    m_state->Answered.notify_all();
}
