// talvore-extract: parses the command line into an extraction job, runs it
// on the calling thread with a TerminalObserver, and answers the job's exit
// status (EXIT_USAGE for a wrong command line).
#pragma once

#include "convert/ExtractionJob.h"

#include <string>

namespace talvore {

struct ExtractOptions {
    // OpenResult 1 unless --open; the files of -r folders already added, in
    // the order of the command line.
    ExtractionJob Job{ConversionSettings()};
    bool Quiet = false;
    bool Verbose = false;
    bool List = false; // --list: rows on stdout, nothing written
    bool Json = false; // with List: one JSON document
};

// Parses arguments (and reads a password file and a PDF from standard input
// when they are named); on --help, --version or an error prints what is to
// be printed and answers the exit status to end with (0 or EXIT_USAGE) in
// *exitStatus.
bool ParseExtractCommandLine(int argc, const char* const* argv, ExtractOptions& options,
                             int* exitStatus);

// The whole command: parse, run, report. argv as main receives it.
int RunExtractCommand(int argc, const char* const* argv);

} // namespace talvore
