// Loading: the hinted attempt, the fall-back to recognition, and the fixed
// order in which recognition offers a stream to the decoders.
#include "image/RasterImage.h"

#include "image/RasterImageBMP.h"
#include "image/RasterImageGIF.h"
#include "image/RasterImageICO.h"
#include "image/RasterImageJAS.h"
#include "image/RasterImageJPG.h"
#include "image/RasterImageMNG.h"
#include "image/RasterImagePCX.h"
#include "image/RasterImagePNG.h"
#include "image/RasterImageRAW.h"
#include "image/RasterImageSKA.h"
#include "image/RasterImageTGA.h"
#include "image/RasterImageTIF.h"
#include "image/RasterImageWBMP.h"
#include "image/RasterImageWMF.h"

#include <cstring>
#include <memory>

namespace talvore {

namespace {

constexpr const char* kUnknownFormat = "Decode: Unknown or wrong format";

// One decode attempt in a fresh codec object. On success the codec object
// holds the image; on failure its last error says why.
template <typename Codec, typename... Args>
std::unique_ptr<Codec> Attempt(const RasterImage& attributes, uint32_t codecId, ByteStream* file,
                               bool* ok, Args... args) {
    auto codec = std::make_unique<Codec>(codecId);
    codec->CopyAttributes(attributes);
    *ok = codec->Decode(file, args...);
    return codec;
}

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

    bool ok = false;
    std::unique_ptr<RasterImage> codec;
    bool copyFrames = false;
    switch (formatId) {
    case FORMAT_BMP:
        codec = Attempt<RasterImageBMP>(*this, formatId, file, &ok);
        break;
    case FORMAT_GIF:
        codec = Attempt<RasterImageGIF>(*this, formatId, file, &ok);
        copyFrames = true;
        break;
    case FORMAT_JPG:
        codec = Attempt<RasterImageJPG>(*this, formatId, file, &ok);
        break;
    case FORMAT_PNG:
        codec = Attempt<RasterImagePNG>(*this, formatId, file, &ok);
        break;
    case FORMAT_ICO:
        codec = Attempt<RasterImageICO>(*this, formatId, file, &ok);
        copyFrames = true;
        break;
    case FORMAT_TIF:
        codec = Attempt<RasterImageTIF>(*this, formatId, file, &ok);
        copyFrames = true;
        break;
    case FORMAT_TGA:
        codec = Attempt<RasterImageTGA>(*this, formatId, file, &ok);
        break;
    case FORMAT_PCX:
        codec = Attempt<RasterImagePCX>(*this, formatId, file, &ok);
        break;
    case FORMAT_WBMP:
        codec = Attempt<RasterImageWBMP>(*this, formatId, file, &ok);
        break;
    case FORMAT_WMF:
        codec = Attempt<RasterImageWMF>(*this, formatId, file, &ok, int32_t{0}, int32_t{0});
        break;
    case FORMAT_JP2:
    case FORMAT_JPC:
    case FORMAT_PGX:
    case FORMAT_PNM:
    case FORMAT_RAS:
        codec = Attempt<RasterImageJAS>(*this, FORMAT_UNKNOWN, file, &ok, formatId);
        break;
    case FORMAT_MNG:
        codec = Attempt<RasterImageMNG>(*this, formatId, file, &ok);
        copyFrames = true;
        break;
    case FORMAT_SKA:
        codec = Attempt<RasterImageSKA>(*this, formatId, file, &ok);
        break;
    case FORMAT_RAW:
        codec = Attempt<RasterImageRAW>(*this, formatId, file, &ok);
        break;
    default:
        SetLastError(kUnknownFormat);
        return false;
    }
    if (ok)
        return TakeOver(*codec, true);
    SetLastError(codec->LastErrorText());
    if (copyFrames)
        info_.frameCount = codec->FrameCount();
    return false;
}

bool RasterImage::DecodeAutomatic(ByteStream* file) {
    const int32_t start = file->Tell();
    bool ok = false;
    std::unique_ptr<RasterImage> codec;

    // Each refusal rewinds to where recognition began.
    auto tried = [&](std::unique_ptr<RasterImage> attempt) {
        codec = std::move(attempt);
        if (!ok)
            file->Seek(start, 0);
        return ok;
    };
    if (tried(Attempt<RasterImageBMP>(*this, FORMAT_BMP, file, &ok)) ||
        tried(Attempt<RasterImageJPG>(*this, FORMAT_JPG, file, &ok)) ||
        tried(Attempt<RasterImageICO>(*this, FORMAT_ICO, file, &ok)) ||
        tried(Attempt<RasterImageGIF>(*this, FORMAT_GIF, file, &ok)) ||
        tried(Attempt<RasterImagePNG>(*this, FORMAT_PNG, file, &ok)) ||
        tried(Attempt<RasterImageTIF>(*this, FORMAT_TIF, file, &ok)) ||
        tried(Attempt<RasterImageMNG>(*this, FORMAT_MNG, file, &ok)) ||
        tried(Attempt<RasterImageTGA>(*this, FORMAT_TGA, file, &ok)) ||
        tried(Attempt<RasterImagePCX>(*this, FORMAT_PCX, file, &ok)) ||
        tried(Attempt<RasterImageWBMP>(*this, FORMAT_WBMP, file, &ok)) ||
        tried(Attempt<RasterImageWMF>(*this, FORMAT_WMF, file, &ok, int32_t{0}, int32_t{0})) ||
        tried(
            Attempt<RasterImageJAS>(*this, FORMAT_UNKNOWN, file, &ok, uint32_t{FORMAT_UNKNOWN})) ||
        tried(Attempt<RasterImageSKA>(*this, FORMAT_SKA, file, &ok)) ||
        tried(Attempt<RasterImageRAW>(*this, FORMAT_RAW, file, &ok))) {
        return TakeOver(*codec, true);
    }
    SetLastError(kUnknownFormat);
    return false;
}

} // namespace talvore
