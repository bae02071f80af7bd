// The save path: output file creation, the dispatch by format id to the
// codec's writer on a shared view, and the target check every writer starts
// with.
#include "image/RasterImage.h"

#include "image/ByteStream.h"
#include "image/RasterImageBMP.h"
#include "image/RasterImageGIF.h"
#include "image/RasterImageJPG.h"
#include "image/RasterImagePCX.h"
#include "image/RasterImagePNG.h"
#include "image/RasterImageTGA.h"
#include "image/RasterImageTIF.h"

#include <cstdio>

namespace talvore {

namespace {

// Runs one codec's writer on a non-owning view of `image`; the view frees
// nothing when it goes, and its error text comes back to the image.
template <typename Codec, typename... Args>
bool EncodeWith(RasterImage& image, uint32_t formatId, ByteStream* file, Args... args) {
    Codec codec(formatId);
    codec.ShareFrom(image);
    if (codec.Encode(file, args...))
        return true;
    image.SetLastError(codec.LastErrorText());
    return false;
}

} // namespace

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
    switch (formatId) {
    case FORMAT_BMP:
        return EncodeWith<RasterImageBMP>(*this, formatId, file);
    case FORMAT_GIF:
        return EncodeWith<RasterImageGIF>(*this, formatId, file);
    case FORMAT_JPG:
        return EncodeWith<RasterImageJPG>(*this, formatId, file);
    case FORMAT_PNG:
        return EncodeWith<RasterImagePNG>(*this, formatId, file);
    case FORMAT_TIF:
        return EncodeWith<RasterImageTIF>(*this, formatId, file, false);
    case FORMAT_TGA:
        return EncodeWith<RasterImageTGA>(*this, formatId, file);
    case FORMAT_PCX:
        return EncodeWith<RasterImagePCX>(*this, formatId, file);
    case FORMAT_ICO:
    case FORMAT_WBMP:
    case FORMAT_WMF:
    case FORMAT_JP2:
    case FORMAT_JPC:
    case FORMAT_PGX:
    case FORMAT_PNM:
    case FORMAT_RAS:
    case FORMAT_MNG:
    case FORMAT_SKA:
    case FORMAT_RAW:
        // Formats this library reads but never writes.
        SetLastError("Encode: no writer for this format");
        return false;
    default:
        SetLastError("Encode: Unknown format");
        return false;
    }
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
