// The conversion run: opens each PDF of the run list through the PDF core,
// refuses invalid or copy-protected documents, forms the page range, picks
// and creates the output folder, dumps every image of every page in range,
// and for output modes 1..7 converts the dumped PPM/PBM files.
//
// The run has no Qt in it. It reports through a RunObserver and polls a
// StopEvent before each document; both front ends (GUI, talvore-extract)
// start it the same way.
//
// Output names: with an existing OutputDirectory every document's files go
// there as "<dir>/<title>-000.jpg", so documents do not overwrite each
// other; otherwise into "<pdf folder>/<title>/-000.jpg". The conversion pass
// converts only the files this document's device wrote. OpenResult 1 ("No")
// keeps the output folder closed. The Current caption counts pages within
// the range ("Page 1 of 4" for pages 5 to 8); the Total bar's position
// follows the file percentage. Paths of PATH_MAX bytes or more are refused
// with a message, like an invalid document.
#pragma once

#include "convert/RunObserver.h"
#include "settings/ConversionSettings.h"

#include <memory>
#include <string>
#include <vector>

namespace talvore {

// One ticked row of the file list, taken when the run starts.
struct RunEntry {
    std::string Path;
    std::string OwnerPassword; // empty when none was typed
    std::string UserPassword;
    int Row = 0; // the grid row the entry came from (informational)
};

// What the run did, for the command-line front end's exit status.
struct RunSummary {
    int Documents = 0;       // entries whose pages were interpreted
    int Refused = 0;         // "Not a valid pdf file!" / copying not allowed
    bool RangeError = false; // ended at the page-range message
    bool Stopped = false;    // ended by the stop event
    int ImagesWritten = 0;   // files the device wrote
    int ConversionFailures = 0;
    int ImagesFailed = 0; // images the device could not write
    int PagesInterpreted = 0;
    int PagesSkipped = 0; // pages that can reach no image, not interpreted
};

// Creates the PDF core's process-wide parameters once; safe to call from
// any thread, any number of times. The front ends call it at start-up; a
// run calls it too. They are destroyed at process exit, after main has
// returned, when every thread that used the core has been joined.
void EnsurePdfCore();

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

private:
    std::vector<RunEntry> m_entries;
    ConversionSettings m_settings;
    RunObserver& m_observer;
    std::shared_ptr<StopEvent> m_stop;
    bool m_interpretEveryPage = false;
};

// Whether a path fits the platform's limit: shorter than PATH_MAX bytes.
bool PathFitsLimit(const std::string& path);

} // namespace talvore
