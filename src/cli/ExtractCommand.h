// talvore-extract: parses the command line into an extraction job, runs it
// on the calling thread with a TerminalObserver, and answers the job's exit
// status (EXIT_USAGE for a wrong command line).
#pragma once

#include "convert/ExtractionJob.h"

#include <cstdint>
#include <string>

namespace talvore {

struct ExtractOptions {
    // OpenResult 1 unless --open; the files of -r folders already added.
    ExtractionJob Job{ConversionSettings()};
    bool Quiet = false;
};

// Parses arguments; on --help or an error prints what CLI11 prints and
// answers the exit status to end with (0 or EXIT_USAGE) in *exitStatus.
bool ParseExtractCommandLine(int argc, const char* const* argv, ExtractOptions& options,
                             int* exitStatus);

// "A-B" or "A-" (to the last page) or "A"; false when malformed.
bool ParsePageRange(const std::string& text, int32_t* start, int32_t* end);

// The whole command: parse, run, report. argv as main receives it.
int RunExtractCommand(int argc, const char* const* argv);

} // namespace talvore
