// The conversion run: opens each PDF of the run list through the PDF core,
// refuses invalid or copy-protected documents, forms the page range, picks
// and creates the output folder, dumps every image of every page in range,
// and for output modes 1..7 converts the dumped PPM/PBM files.
//
// The run has no Qt in it. It reports through a RunObserver and polls a
// StopEvent before each document; both front ends (GUI, talvore-extract)
// start it through an ExtractionJob.
//
// Output names: with an existing OutputDirectory every document's files go
// there as "<dir>/<title>-000.jpg", so documents do not overwrite each
// other; otherwise into "<pdf folder>/<title>/-000.jpg". The conversion pass
// converts only the files this document's device wrote. OpenResult 1 ("No")
// keeps the output folder closed. The Current caption counts pages within
// the range ("Page 1 of 4" for pages 5 to 8); the Total bar's position
// follows the file percentage. Paths of PATH_MAX bytes or more are refused
// with a message, like an invalid document. A document whose extraction
// breaks off (an exception from the core, out of memory) is reported as
// failed and the run goes on with the next one.
#pragma once

#include "convert/ImageDumpOutputDev.h"
#include "convert/NamePattern.h"
#include "convert/PageImageScan.h"
#include "convert/PageSelection.h"
#include "convert/PdfCore.h"
#include "convert/RunObserver.h"
#include "settings/ConversionSettings.h"

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class PDFDoc;

namespace talvore {

class ConversionPool;

// One ticked row of the file list, taken when the run starts.
struct RunEntry {
    std::string Path;
    std::string OwnerPassword; // empty when none was typed
    std::string UserPassword;
    int Row = 0; // the grid row the entry came from (informational)
    // A document read into memory (standard input): opened from these bytes,
    // with Path only naming it in messages. Null for a file.
    std::shared_ptr<const std::string> Data;
    // The title its output is named after; empty: the path's title.
    std::string Title;
};

// What the run did, for the exit status and the closing report.
struct RunSummary {
    int Documents = 0;       // entries whose pages were interpreted
    int Refused = 0;         // "Not a valid pdf file!" / copying not allowed
    int Failed = 0;          // extractions that broke off
    bool RangeError = false; // ended at the page-range message
    bool Stopped = false;    // ended by the stop event
    int ImagesWritten = 0;   // files the device wrote
    int ConversionFailures = 0;
    int ImagesFailed = 0; // images the device could not write
    int PagesInterpreted = 0;
    int PagesSkipped = 0; // pages that can reach no image, not interpreted
    int PagesRefused = 0; // pages too deeply nested to interpret
};

class ConversionRun {
public:
    // settings is a copy taken on the caller's thread when the run starts.
    ConversionRun(std::vector<RunEntry> entries, ConversionSettings settings, RunObserver& observer,
                  std::shared_ptr<StopEvent> stop);

    // Runs every document on the calling thread (the worker) and returns
    // when the run has ended, whichever way it ended.
    RunSummary Run();

    // Interpret every page, also those that can reach no image. The output
    // is the same either way; this only costs time (for measurements).
    void SetInterpretEveryPage(bool every) { m_interpretEveryPage = every; }
    // Conversion threads; 0 (the default) means one per core. The files do
    // not depend on it.
    void SetThreads(unsigned threads) { m_threads = threads; }
    // What one document may make the device write.
    void SetLimits(const DeviceLimits& limits) { m_limits = limits; }
    // Pages chosen by a list instead of the settings' page range.
    void SetPageSelection(std::optional<PageSelection> pages) { m_selection = std::move(pages); }
    // Writes nothing and creates no folder: each document's report lists
    // the images a run would write, in its order, with their final names.
    void SetListOnly(bool list) { m_listOnly = list; }
    // Each image object is written at its first draw only (see the device).
    void SetUnique(bool unique) { m_unique = unique; }
    // File names by a pattern instead of "<title>-NNN"; parsed for this
    // run's output folder rule.
    void SetNamePattern(std::optional<NamePattern> pattern) { m_pattern = std::move(pattern); }

private:
    // Where one document's files go.
    struct Output {
        std::string Folder;   // ends with '/'
        std::string FileRoot; // the device's name prefix
        std::string Title;    // what %t gives
    };

    // The steps of one document, in order; each that can end the document
    // early says so by its result. Answers false when the run must end.
    bool RunDocument(int index, DocumentReport& report);
    // Opens the entry from its file, or from memory for an entry read into
    // memory; `bytes` then keeps it and must outlive the document.
    std::unique_ptr<PDFDoc> OpenDocument(const RunEntry& entry,
                                         std::shared_ptr<const std::string>& bytes,
                                         DocumentReport& report);
    // The pages to interpret, ascending; none when the range is empty.
    std::vector<int> FormPageRange(PDFDoc& document) const;
    bool PlaceOutput(const RunEntry& entry, Output& output, DocumentReport& report);
    void DumpPages(PDFDoc& document, const std::vector<int>& pages, ImageDumpOutputDev& device,
                   int index, DocumentReport& report);
    // A file the document left, for the observer.
    struct WrittenFile {
        int Number;
        std::string Path;
        int Page;
    };
    void ConvertDumped(const ImageDumpOutputDev& device, ConversionPool& pool,
                       DocumentReport& report, std::vector<std::pair<int, std::string>>& failures,
                       std::vector<WrittenFile>& written);
    // The run's options for the document's device, writing or listing.
    void SetUpDevice(ImageDumpOutputDev& device, const Output& output,
                     const DocumentReport& report) const;
    // The dump step of a listing: rows instead of files.
    void ListImages(PDFDoc& document, const std::vector<int>& pages, const Output& output,
                    bool converting, int index, DocumentReport& report);
    void FinishDocument(int index, DocumentReport& report);
    void Refuse(const std::string& message, RefusalReason reason, DocumentReport& report);
    static bool AbortPage(void* data);

    std::vector<RunEntry> m_entries;
    ConversionSettings m_settings;
    RunObserver& m_observer;
    std::shared_ptr<StopEvent> m_stop;
    bool m_interpretEveryPage = false;
    bool m_listOnly = false;
    bool m_unique = false;
    std::optional<NamePattern> m_pattern;
    XRefRepairs m_repairs;
    unsigned m_threads = 0;
    std::optional<PageSelection> m_selection;
    RunSummary m_summary;
    std::string m_document; // the path of the document in work
    // Output folders and file roots the run gave out: a later document never
    // gets an earlier one's.
    std::set<std::string> m_usedRoots;
    DeviceLimits m_limits;
    // Set while a page is interpreted: the core's refusals of images count.
    int m_pageInWork = 0;
    // What went wrong with pages of the document in work: pages refused,
    // images the core refused ("page N: ...").
    std::vector<std::string> m_pageFailures;
    ImageDumpOutputDev* m_device = nullptr; // while pages are interpreted
};

// Whether a path fits the platform's limit: shorter than PATH_MAX bytes.
bool PathFitsLimit(const std::string& path);

} // namespace talvore
