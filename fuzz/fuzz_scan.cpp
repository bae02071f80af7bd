// The page skip's promise: a page the content scanner calls imageless hands
// no image to the extraction device when it is interpreted. Every page (up
// to a few) of the input PDF that the scanner passes over is interpreted
// with the real device; one image file or failed image aborts. A damaged
// cross-reference table that the core repairs while interpreting changes the
// document under the scan, which the run never sees (it does not interpret
// that page), so such pages are not judged.
#include "PdfFromBytes.h"

#include "convert/ImageDumpOutputDev.h"
#include "convert/PageImageScan.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

using namespace talvore;

namespace {

// Where a broken promise would write its files; normally left empty.
const std::string& Scratch() {
    static const std::string folder = [] {
        std::string base = std::filesystem::temp_directory_path().string() + "/talvore-fuzz-scan-";
        base += std::to_string(getpid()) + "/";
        std::filesystem::create_directories(base);
        return base;
    }();
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > fuzzing::kMaxPdfBytes)
        return 0;
    const CoreDiagnosticScope quiet([](const std::string&) {});
    const XRefRepairs repairs;
    const std::unique_ptr<PDFDoc> document = fuzzing::OpenPdf(data, size, repairs.Callback());
    if (!document)
        return 0;
    const int pages = std::min(document->getNumPages(), fuzzing::kMaxPages);
    // As a run scans: one cache for the document's pages, resources lent to
    // the core's table while its pages are interpreted.
    PageScanCache cache;
    for (int page = 1; page <= pages; ++page) {
        if (ScanPage(*document, page, repairs, cache).MayDrawImage)
            continue;
        const int before = repairs.Count();
        ImageDumpOutputDev device(Scratch(), true, 1 << 16);
        document->displayPage(&device, page, 72, 72, 0, true, false, false);
        if (device.ImageCounter() != 0 && repairs.Count() == before) {
            std::fprintf(stderr, "page %d was judged imageless but drew %d image(s)\n", page,
                         device.ImageCounter());
            std::abort();
        }
    }
    return 0;
}
