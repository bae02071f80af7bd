// The whole extraction device on a PDF from memory: the first pages of the
// input are interpreted with JPEG passthrough on and then off (and the
// transparency kept), writing into a scratch folder that is emptied after
// each input. The device's file limit
// is small, so a crafted size cannot fill the disk; libFuzzer's own time and
// memory limits bound the rest.
#include "PdfFromBytes.h"

#include "convert/ImageDumpOutputDev.h"

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <unistd.h>

using namespace talvore;

namespace {

constexpr uint64_t kFileLimit = 4 << 20;

const std::string& Scratch() {
    static const std::string folder = [] {
        std::string base =
            std::filesystem::temp_directory_path().string() + "/talvore-fuzz-device-";
        base += std::to_string(getpid()) + "/";
        std::filesystem::create_directories(base);
        return base;
    }();
    return folder;
}

void CheckAndClear(const ImageDumpOutputDev& device) {
    // Every number is used: by a file or by a failure (an alpha beside an
    // image shares the image's number).
    std::set<int> numbers;
    for (const DumpedFile& file : device.WrittenFiles())
        numbers.insert(file.Number);
    for (const ImageFailure& failure : device.Failures())
        numbers.insert(failure.Number);
    if (numbers.size() != static_cast<size_t>(device.ImageCounter()) ||
        device.WrittenImages() + device.FailedImages() < device.ImageCounter())
        std::abort();
    for (const DumpedFile& file : device.WrittenFiles()) {
        std::error_code error;
        if (std::filesystem::file_size(file.Path, error) > kFileLimit + 64 || error)
            std::abort();
    }
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(Scratch(), ignored))
        std::filesystem::remove(entry.path(), ignored);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > fuzzing::kMaxPdfBytes)
        return 0;
    const CoreDiagnosticScope quiet([](const std::string&) {});
    const std::unique_ptr<PDFDoc> document = fuzzing::OpenPdf(data, size);
    if (!document)
        return 0;
    const int pages = std::min(document->getNumPages(), fuzzing::kMaxPages);
    for (const bool passthrough : {true, false}) {
        ImageDumpOutputDev device(Scratch(), passthrough, kFileLimit);
        device.SetKeepAlpha(!passthrough); // the mask readers too
        for (int page = 1; page <= pages; ++page)
            document->displayPage(&device, page, 72, 72, 0, true, false, false);
        CheckAndClear(device);
    }
    return 0;
}
