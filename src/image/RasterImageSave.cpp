// The save path: output file creation, the writer of the format's row in
// the codec table, and the target check every writer starts with.
#include "image/RasterImage.h"

#include "image/ByteStream.h"
#include "image/CodecTable.h"

#include <cstdio>

namespace talvore {

bool RasterImage::SaveFile(const char* path, uint32_t formatId) {
    if (path == nullptr)
        return false;
    // Created (or truncated) before encoding: a failed save leaves it empty.
    FILE* stream = std::fopen(path, "wb");
    if (stream == nullptr)
        return false;
    const bool ok = Encode(stream, formatId);
    const bool closed = std::fclose(stream) == 0;
    return ok && closed;
}

bool RasterImage::Encode(FILE* stream, uint32_t formatId) {
    StdioStream file(stream);
    return Encode(stream != nullptr ? static_cast<ByteStream*>(&file) : nullptr, formatId);
}

bool RasterImage::Encode(ByteStream* file, uint32_t formatId) {
    const CodecRow* row = FindCodecRow(formatId);
    if (row == nullptr) {
        SetLastError("Encode: Unknown format");
        return false;
    }
    if (row->write == nullptr) {
        SetLastError("Encode: no writer for this format");
        return false;
    }
    return row->write(*this, file, formatId);
}

bool RasterImage::CheckEncodeTarget(ByteStream* file) {
    if (file == nullptr) {
        SetLastError("null file handler");
        return true;
    }
    if (!HasPixels()) {
        SetLastError("null image!!!");
        return true;
    }
    return false;
}

} // namespace talvore
