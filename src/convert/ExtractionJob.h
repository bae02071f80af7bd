// An extraction job, the one way both front ends start a run: gather the
// inputs (PDF files with their passwords, folders whose PDFs join them),
// run them, and read the summary and the exit status. The job never throws:
// whatever escapes the run becomes a reported failure.
//
// Exit status: 0 every document extracted and every image written (and
// converted); 1 a document was refused or broke off, an image failed, or
// the page range was beyond a document; 130 the run was stopped (an
// interrupt).
#pragma once

#include "convert/ConversionRun.h"
#include "convert/RunObserver.h"
#include "settings/ConversionSettings.h"

#include <memory>
#include <string>
#include <vector>

namespace talvore {

inline constexpr int EXIT_EXTRACTED = 0;
inline constexpr int EXIT_FAILED = 1;
inline constexpr int EXIT_USAGE = 2;
inline constexpr int EXIT_INTERRUPTED = 130;

class ExtractionJob {
public:
    explicit ExtractionJob(ConversionSettings settings) : m_settings(std::move(settings)) {}

    // A file named by the caller, taken as it is. The same path text twice
    // is listed once.
    void AddFile(const std::string& path, const std::string& ownerPassword = {},
                 const std::string& userPassword = {});
    // A row of the file list, kept as given (the list refuses duplicates
    // itself).
    void AddEntry(RunEntry entry);
    // Every PDF of the folder's tree (ScanFolderForPdfs), with the passwords.
    void AddFolder(const std::string& folder, const std::string& ownerPassword = {},
                   const std::string& userPassword = {});

    const std::vector<RunEntry>& Entries() const { return m_entries; }
    const ConversionSettings& Settings() const { return m_settings; }
    void SetInterpretEveryPage(bool every) { m_interpretEveryPage = every; }
    // Conversion threads; 0 means one per core.
    void SetThreads(unsigned threads) { m_threads = threads; }
    // Pages chosen by a list instead of the settings' page range.
    void SetPageSelection(std::optional<PageSelection> pages) { m_selection = std::move(pages); }
    const std::optional<PageSelection>& Selection() const { return m_selection; }
    // Bounds on what one document may make the device write.
    void SetLimits(const DeviceLimits& limits) { m_limits = limits; }
    const DeviceLimits& Limits() const { return m_limits; }
    // A listing writes nothing; the reports hold the rows (ConversionRun).
    void SetListOnly(bool list) { m_listOnly = list; }
    // Each image object written once, at its first draw.
    void SetUnique(bool unique) { m_unique = unique; }
    // File names by a pattern (NamePattern); false with the reason when the
    // pattern could give two images of the run one name. Call it after the
    // settings' output folder is final.
    bool SetNamePattern(const std::string& pattern, std::string* error);

    // Runs every entry on the calling thread. An exception that escapes the
    // run ends it and is told to the observer as a message.
    const RunSummary& Run(RunObserver& observer, std::shared_ptr<StopEvent> stop);

    const RunSummary& Summary() const { return m_summary; }
    // Why the run broke off, when an exception ended it; empty otherwise.
    const std::string& Failure() const { return m_failure; }
    int ExitStatus() const;

private:
    ConversionSettings m_settings;
    std::vector<RunEntry> m_entries;
    bool m_interpretEveryPage = false;
    unsigned m_threads = 0;
    std::optional<PageSelection> m_selection;
    DeviceLimits m_limits;
    bool m_listOnly = false;
    bool m_unique = false;
    std::optional<NamePattern> m_pattern;
    RunSummary m_summary;
    std::string m_failure;
};

} // namespace talvore
