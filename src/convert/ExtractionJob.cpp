#include "convert/ExtractionJob.h"

#include "convert/FolderScan.h"

#include <algorithm>
#include <exception>

namespace talvore {

void ExtractionJob::AddFile(const std::string& path, const std::string& ownerPassword,
                            const std::string& userPassword) {
    const bool listed = std::any_of(m_entries.begin(), m_entries.end(),
                                    [&](const RunEntry& entry) { return entry.Path == path; });
    if (listed)
        return;
    RunEntry entry;
    entry.Path = path;
    entry.OwnerPassword = ownerPassword;
    entry.UserPassword = userPassword;
    entry.Row = static_cast<int>(m_entries.size()) + 1;
    m_entries.push_back(std::move(entry));
}

void ExtractionJob::AddEntry(RunEntry entry) {
    m_entries.push_back(std::move(entry));
}

void ExtractionJob::AddFolder(const std::string& folder, const std::string& ownerPassword,
                              const std::string& userPassword) {
    ScanFolderForPdfs(folder,
                      [&](const std::string& path) { AddFile(path, ownerPassword, userPassword); });
}

const RunSummary& ExtractionJob::Run(RunObserver& observer, std::shared_ptr<StopEvent> stop) {
    m_summary = RunSummary();
    m_failure.clear();
    try {
        ConversionRun run(m_entries, m_settings, observer, std::move(stop));
        run.SetInterpretEveryPage(m_interpretEveryPage);
        run.SetThreads(m_threads);
        run.SetPageSelection(m_selection);
        run.SetLimits(m_limits);
        run.SetListOnly(m_listOnly);
        run.SetUnique(m_unique);
        run.SetNamePattern(m_pattern);
        m_summary = run.Run();
    } catch (const std::exception& broken) {
        m_failure = broken.what();
    } catch (...) {
        m_failure = "unknown error";
    }
    if (!m_failure.empty()) {
        try {
            observer.ShowMessage("The conversion broke off: " + m_failure);
        } catch (...) {
            // Nothing more can be said.
        }
    }
    return m_summary;
}

bool ExtractionJob::SetNamePattern(const std::string& pattern, std::string* error) {
    m_pattern = NamePattern::Parse(pattern, !m_settings.OutputDirectory.empty(), error);
    return m_pattern.has_value();
}

int ExtractionJob::ExitStatus() const {
    const RunSummary& s = m_summary;
    if (s.Stopped)
        return EXIT_INTERRUPTED;
    const bool allExtracted = m_failure.empty() &&
                              s.Documents == static_cast<int>(m_entries.size()) && s.Refused == 0 &&
                              s.Failed == 0 && !s.RangeError && s.PagesRefused == 0 &&
                              s.ImagesFailed == 0 && s.ConversionFailures == 0;
    return allExtracted ? EXIT_EXTRACTED : EXIT_FAILED;
}

} // namespace talvore
