// Opens fuzz input as a PDF from memory, with the core's diagnostics kept
// quiet, for the targets that drive the PDF side.
#pragma once

#include "convert/PdfCore.h"

#include <PDFDoc.h>
#include <Stream.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace talvore::fuzzing {

// Inputs beyond this are not looked at: the core's parse time grows with
// them and the interesting structures fit in far less.
inline constexpr size_t kMaxPdfBytes = 1 << 20;
// Pages interpreted per input: enough for every structure, bounded time.
inline constexpr int kMaxPages = 4;

inline std::unique_ptr<PDFDoc> OpenPdf(const uint8_t* data, size_t size,
                                       const std::function<void()>& onRepair = {}) {
    EnsurePdfCore();
    // The stream does not own the bytes; they outlive the document.
    auto* stream = new MemStream(reinterpret_cast<const char*>(data), 0, static_cast<Goffset>(size),
                                 Object(objNull));
    auto document = std::make_unique<PDFDoc>(stream, std::nullopt, std::nullopt, nullptr, onRepair);
    if (!document->isOk())
        return nullptr;
    return document;
}

} // namespace talvore::fuzzing
