// A RunObserver for tests: records every call in order, and can set a stop
// event when a given document starts.
#pragma once

#include "convert/RunObserver.h"

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace talvore::testing {

class RecordingObserver : public RunObserver {
public:
    void SetCurrentCaption(const std::string& caption) override { Record("current: " + caption); }
    void SetTotalCaption(const std::string& caption) override { Record("total: " + caption); }
    void SetCurrentPosition(int position) override {
        Record("current position: " + std::to_string(position));
        currentPositions.push_back(position);
    }
    void SetTotalPosition(int position) override {
        Record("total position: " + std::to_string(position));
        totalPositions.push_back(position);
    }
    void ShowMessage(const std::string& text) override {
        Record("message: " + text);
        messages.push_back(text);
    }
    void OpenFolder(const std::string& folder) override {
        Record("open: " + folder);
        openedFolders.push_back(folder);
    }
    void DocumentStarted(int index, int, const std::string& path) override {
        startedDocuments.push_back(path);
        if (stopWhenStarting == index && stop)
            stop->Set();
    }
    void DocumentFinished(const DocumentReport& report) override { reports.push_back(report); }
    void FileWritten(const std::string& path, int page) override {
        writtenFiles.emplace_back(path, page);
    }
    void CoreDiagnostic(const std::string&, const std::string& line) override {
        coreLines.push_back(line);
    }

    // Every caption call in order, "current: ..." or "total: ...".
    std::vector<std::string> Captions() const {
        std::vector<std::string> out;
        for (const std::string& event : events) {
            if (event.rfind("current: ", 0) == 0 || event.rfind("total: ", 0) == 0)
                out.push_back(event);
        }
        return out;
    }

    std::vector<std::string> events;
    std::vector<int> currentPositions;
    std::vector<int> totalPositions;
    std::vector<std::string> messages;
    std::vector<std::string> openedFolders;
    std::vector<std::string> startedDocuments;
    std::vector<DocumentReport> reports;
    std::vector<std::pair<std::string, int>> writtenFiles; // path, page
    std::vector<std::string> coreLines;
    // Stop Convert pressed while this document (1-based) is being processed.
    int stopWhenStarting = 0;
    std::shared_ptr<StopEvent> stop;

private:
    void Record(const std::string& event) {
        std::lock_guard<std::mutex> lock(m_mutex);
        events.push_back(event);
    }
    std::mutex m_mutex;
};

} // namespace talvore::testing
