#include "convert/ConversionRun.h"

#include <GlobalParams.h>

#include <memory>

namespace talvore {
namespace {

// The parameters are read by every document on every thread: made once,
// never replaced while the core may be in use, released with the process.
struct PdfCoreParameters {
    PdfCoreParameters() {
        if (!globalParams)
            globalParams = std::make_unique<GlobalParams>();
    }
    ~PdfCoreParameters() { globalParams.reset(); }
};

} // namespace

void EnsurePdfCore() {
    static PdfCoreParameters parameters;
}

} // namespace talvore
