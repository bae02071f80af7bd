// The codec table: for each format id, its reader, its writer and its place
// in the order in which automatic recognition offers a file. Decode, the
// recognition and Encode look a row up here and make one generic attempt;
// nothing else names a format's codec.
//
// A format this library recognises but does not read has no reader: its
// row's refusal says how many bytes its signature test reads, the test, and
// the two messages (signature not matched; matched but not supported).
#pragma once

#include "image/ByteStream.h"
#include "image/RasterImage.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace talvore {

// Decodes `file` into a fresh codec object that holds `attributes`' attribute
// record; `ok` tells whether it succeeded, and the object holds either the
// image or the last error.
using CodecReader = std::unique_ptr<RasterImage> (*)(const RasterImage& attributes,
                                                     ByteStream* file, uint32_t formatId, bool* ok);
// Writes `image` through a codec object that is a shared view of it; on
// failure the codec's last error is copied into `image`.
using CodecWriter = bool (*)(RasterImage& image, ByteStream* file, uint32_t formatId);

struct CodecRefusal {
    uint8_t headBytes = 0; // read before the test; 0 reads nothing
    // nullptr: every file passes.
    bool (*matches)(const uint8_t* head, size_t got) = nullptr;
    const char* notThisFormat = nullptr;
    bool quotesFirstBytes = false; // ": starts with 0x.. 0x.." follows notThisFormat
    const char* unsupported = nullptr;
};

struct CodecRow {
    uint32_t formatId = 0;
    const char* name = "";
    CodecReader read = nullptr; // nullptr: `refusal` answers
    CodecRefusal refusal{};
    CodecWriter write = nullptr;  // nullptr: "Encode: no writer for this format"
    uint8_t recognitionPlace = 0; // 1 is offered first; 0 is never offered
    // The id the decoder is given when recognition offers it a file.
    uint32_t recognitionId = 0;
    // A failed hinted decode copies the codec's frame count.
    bool reportsFrames = false;

    // Whether Decode takes this id: a reader, or a refusal that answers.
    constexpr bool Reads() const { return read != nullptr || refusal.unsupported != nullptr; }
};

// Every row, in format id order. Ids without a row are neither read nor
// written; a row that does not read is refused by Decode as an unknown id.
std::span<const CodecRow> CodecRows();
const CodecRow* FindCodecRow(uint32_t formatId);
// The rows recognition offers a file to, in that order.
std::span<const CodecRow* const> RecognitionOrder();

// One decode attempt with the row's reader or refusal.
std::unique_ptr<RasterImage> AttemptDecode(const CodecRow& row, const RasterImage& attributes,
                                           ByteStream* file, uint32_t formatId, bool* ok);

} // namespace talvore
