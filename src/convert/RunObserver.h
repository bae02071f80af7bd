// What a conversion run tells its front end, and the one signal back.
// The run calls the observer on its own worker thread; an implementation
// that drives widgets must hand each call to its GUI thread and, for
// ShowMessage, wait until the user has dismissed the box.
#pragma once

#include <atomic>
#include <memory>
#include <string>

namespace talvore {

class RunObserver {
public:
    virtual ~RunObserver() = default;

    // Captions drawn over the two progress bars (Current: the page of the
    // document; Total: the document of the run).
    virtual void SetCurrentCaption(const std::string& caption) = 0;
    virtual void SetTotalCaption(const std::string& caption) = 0;
    // Bar positions on a 0..100 scale.
    virtual void SetCurrentPosition(int position) = 0;
    virtual void SetTotalPosition(int position) = 0;
    // A modal message box with an OK button; returns once it is dismissed.
    virtual void ShowMessage(const std::string& text) = 0;
    // The output folder, opened in the desktop file browser at the end.
    virtual void OpenFolder(const std::string& folder) = 0;
};

// Manual-reset stop event: once set it stays set; each run makes a new one.
class StopEvent {
public:
    void Set() { m_set.store(true, std::memory_order_release); }
    bool IsSet() const { return m_set.load(std::memory_order_acquire); }

private:
    std::atomic<bool> m_set{false};
};

} // namespace talvore
