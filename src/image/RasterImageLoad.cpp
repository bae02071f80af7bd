// Loading: the hinted attempt, the fall-back to recognition, and the
// attempts themselves, each a row of the codec table.
#include "image/RasterImage.h"

#include "image/CodecTable.h"

#include <cstring>
#include <memory>

namespace talvore {

namespace {

constexpr const char* kUnknownFormat = "Decode: Unknown or wrong format";

} // namespace

bool RasterImage::LoadFile(const char* path, uint32_t formatId) {
    if (path == nullptr)
        return false;
    if (FormatSlot(formatId) != 0) {
        FILE* stream = std::fopen(path, "rb");
        if (stream == nullptr)
            return false;
        const bool ok = Decode(stream, formatId);
        std::fclose(stream);
        if (ok)
            return true;
    }
    char hintedError[sizeof info_.lastError];
    std::memcpy(hintedError, info_.lastError, sizeof hintedError);

    FILE* stream = std::fopen(path, "rb");
    if (stream == nullptr)
        return false;
    const bool ok = Decode(stream, FORMAT_UNKNOWN);
    std::fclose(stream);
    if (!ok && formatId != FORMAT_UNKNOWN)
        SetLastError(hintedError);
    return ok;
}

bool RasterImage::Decode(FILE* stream, uint32_t formatId) {
    if (stream == nullptr) {
        SetLastError("null file handler");
        return false;
    }
    StdioStream file(stream);
    return Decode(&file, formatId);
}

bool RasterImage::Decode(ByteStream* file, uint32_t formatId) {
    if (file == nullptr) {
        SetLastError("null file handler");
        return false;
    }
    if (formatId == FORMAT_UNKNOWN)
        return DecodeAutomatic(file);
    const CodecRow* row = FindCodecRow(formatId);
    if (row == nullptr || !row->Reads()) {
        SetLastError(kUnknownFormat);
        return false;
    }
    bool ok = false;
    const std::unique_ptr<RasterImage> codec = AttemptDecode(*row, *this, file, formatId, &ok);
    if (ok)
        return TakeOver(*codec, true);
    SetLastError(codec->LastErrorText());
    if (row->reportsFrames)
        info_.frameCount = codec->FrameCount();
    return false;
}

bool RasterImage::DecodeAutomatic(ByteStream* file) {
    const int32_t start = file->Tell();
    for (const CodecRow* row : RecognitionOrder()) {
        bool ok = false;
        const std::unique_ptr<RasterImage> codec =
            AttemptDecode(*row, *this, file, row->recognitionId, &ok);
        if (ok)
            return TakeOver(*codec, true);
        // Each refusal rewinds to where recognition began.
        file->Seek(start, 0);
    }
    SetLastError(kUnknownFormat);
    return false;
}

} // namespace talvore
