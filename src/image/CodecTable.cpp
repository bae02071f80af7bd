#include "image/CodecTable.h"

#include "image/RasterImageBMP.h"
#include "image/RasterImageGIF.h"
#include "image/RasterImageJAS.h"
#include "image/RasterImageJPG.h"
#include "image/RasterImagePCX.h"
#include "image/RasterImagePNG.h"
#include "image/RasterImageTGA.h"
#include "image/RasterImageTIF.h"
#include "image/RasterImageWBMP.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace talvore {

namespace {

template <typename Codec>
std::unique_ptr<RasterImage> ReadAs(const RasterImage& attributes, ByteStream* file,
                                    uint32_t formatId, bool* ok) {
    auto codec = std::make_unique<Codec>(formatId);
    codec->CopyAttributes(attributes);
    *ok = codec->Decode(file);
    return codec;
}

// One decoder serves the JPEG 2000 family's ids; the id asked for becomes
// the format id of its gray results.
std::unique_ptr<RasterImage> ReadJas(const RasterImage& attributes, ByteStream* file,
                                     uint32_t formatId, bool* ok) {
    auto codec = std::make_unique<RasterImageJAS>(FORMAT_UNKNOWN);
    codec->CopyAttributes(attributes);
    *ok = codec->Decode(file, formatId);
    return codec;
}

template <typename Codec, auto... Extra>
bool WriteAs(RasterImage& image, ByteStream* file, uint32_t formatId) {
    Codec codec(formatId);
    codec.ShareFrom(image);
    if (codec.Encode(file, Extra...))
        return true;
    image.SetLastError(codec.LastErrorText());
    return false;
}

bool IsIcon(const uint8_t* h, size_t got) {
    return got == 6 && h[0] == 0 && h[1] == 0 && h[3] == 0 && (h[2] == 1 || h[2] == 2);
}

bool IsGif(const uint8_t* h, size_t got) {
    return got == 13 && std::memcmp(h, "GIF8", 4) == 0;
}

bool IsJpeg(const uint8_t* h, size_t) {
    return h[0] == 0xFF && h[1] == 0xD8;
}

constexpr uint8_t kPngTail[7] = {'N', 'G', '\r', '\n', 0x1A, '\n', 0};

bool IsPng(const uint8_t* h, size_t got) {
    return got == 8 && h[0] == 0x89 && h[1] == 'P' && std::memcmp(h + 2, kPngTail, 6) == 0;
}

// MNG, PNG or JNG.
bool IsMng(const uint8_t* h, size_t got) {
    return got == 8 && (h[0] == 0x8A || h[0] == 0x89 || h[0] == 0x8B) &&
           (h[1] == 'M' || h[1] == 'P' || h[1] == 'J') && std::memcmp(h + 2, kPngTail, 6) == 0;
}

bool IsTiff(const uint8_t* h, size_t got) {
    return got == 4 && ((h[0] == 'I' && h[1] == 'I' && (h[2] == 42 || h[2] == 43) && h[3] == 0) ||
                        (h[0] == 'M' && h[1] == 'M' && h[2] == 0 && (h[3] == 42 || h[3] == 43)));
}

// A placeable metafile, or an enhanced one: record type 1 (the header
// record) and the signature " EMF" at 40.
bool IsMetafile(const uint8_t* h, size_t got) {
    static const uint8_t kPlaceable[4] = {0xD7, 0xCD, 0xC6, 0x9A};
    const bool placeable = got >= 22 && std::memcmp(h, kPlaceable, 4) == 0;
    const bool enhanced = got == 44 && h[0] == 1 && h[1] == 0 && h[2] == 0 && h[3] == 0 &&
                          std::memcmp(h + 40, " EMF", 4) == 0;
    return placeable || enhanced;
}

constexpr size_t kMaxHeadBytes = 44;

// A new format is one codec (reader and/or writer) and one row here. The
// recognition places follow the order in which files are offered.
constexpr CodecRow kRows[] = {
    {.formatId = FORMAT_BMP,
     .name = "BMP",
     .read = ReadAs<RasterImageBMP>,
     .write = WriteAs<RasterImageBMP>,
     .recognitionPlace = 1,
     .recognitionId = FORMAT_BMP},
    {.formatId = FORMAT_GIF,
     .name = "GIF",
     .refusal = {13, IsGif, "Not a GIF", false, "GIF decoding is not supported"},
     .write = WriteAs<RasterImageGIF>,
     .recognitionPlace = 4,
     .recognitionId = FORMAT_GIF,
     .reportsFrames = true},
    {.formatId = FORMAT_JPG,
     .name = "JPEG",
     .refusal = {2, IsJpeg, "Not a JPEG file", true, "JPEG decoding is not supported"},
     .write = WriteAs<RasterImageJPG>,
     .recognitionPlace = 2,
     .recognitionId = FORMAT_JPG},
    {.formatId = FORMAT_PNG,
     .name = "PNG",
     .refusal = {8, IsPng, "Not a PNG", false, "PNG decoding is not supported"},
     .write = WriteAs<RasterImagePNG>,
     .recognitionPlace = 5,
     .recognitionId = FORMAT_PNG},
    {.formatId = FORMAT_ICO,
     .name = "ICO",
     .refusal = {6, IsIcon, "Not an ICO", false, "ICO decoding is not supported"},
     .recognitionPlace = 3,
     .recognitionId = FORMAT_ICO,
     .reportsFrames = true},
    {.formatId = FORMAT_TIF,
     .name = "TIFF",
     .refusal = {4, IsTiff, "Not a TIFF file", false, "TIFF decoding is not supported"},
     .write = WriteAs<RasterImageTIF, false>,
     .recognitionPlace = 6,
     .recognitionId = FORMAT_TIF,
     .reportsFrames = true},
    {.formatId = FORMAT_TGA,
     .name = "TGA",
     .read = ReadAs<RasterImageTGA>,
     .write = WriteAs<RasterImageTGA>,
     .recognitionPlace = 8,
     .recognitionId = FORMAT_TGA},
    {.formatId = FORMAT_PCX,
     .name = "PCX",
     .read = ReadAs<RasterImagePCX>,
     .write = WriteAs<RasterImagePCX>,
     .recognitionPlace = 9,
     .recognitionId = FORMAT_PCX},
    {.formatId = FORMAT_WBMP,
     .name = "WBMP",
     .read = ReadAs<RasterImageWBMP>,
     .recognitionPlace = 10,
     .recognitionId = FORMAT_WBMP},
    {.formatId = FORMAT_WMF,
     .name = "WMF",
     .refusal = {44, IsMetafile, "corrupted WMF", false, "WMF decoding is not supported"},
     .recognitionPlace = 11,
     .recognitionId = FORMAT_WMF},
    {.formatId = FORMAT_JP2, .name = "JP2", .read = ReadJas},
    {.formatId = FORMAT_JPC, .name = "JPC", .read = ReadJas},
    {.formatId = FORMAT_PGX, .name = "PGX", .read = ReadJas},
    // Recognition runs the family's decoder once, with id 0: gray results
    // then carry no format id.
    {.formatId = FORMAT_PNM,
     .name = "PNM",
     .read = ReadJas,
     .recognitionPlace = 12,
     .recognitionId = FORMAT_UNKNOWN},
    {.formatId = FORMAT_RAS, .name = "RAS", .read = ReadJas},
    {.formatId = FORMAT_MNG,
     .name = "MNG",
     .refusal = {8, IsMng, "Not an MNG file", false, "MNG decoding is not supported"},
     .recognitionPlace = 7,
     .recognitionId = FORMAT_MNG,
     .reportsFrames = true},
    {.formatId = FORMAT_SKA,
     .name = "SKA",
     .refusal = {0, nullptr, nullptr, false, "SKA decoding is not supported"},
     .recognitionPlace = 13,
     .recognitionId = FORMAT_SKA},
    {.formatId = FORMAT_RAW,
     .name = "camera raw",
     .refusal = {0, nullptr, nullptr, false, "camera raw decoding is not supported"},
     .recognitionPlace = 14,
     .recognitionId = FORMAT_RAW},
};

constexpr size_t kOffered =
    std::count_if(std::begin(kRows), std::end(kRows),
                  [](const CodecRow& row) { return row.recognitionPlace != 0; });

// Refusals read into a fixed buffer.
static_assert(std::all_of(std::begin(kRows), std::end(kRows), [](const CodecRow& row) {
    return row.refusal.headBytes <= kMaxHeadBytes;
}));

void Refuse(const CodecRefusal& refusal, ByteStream* file, RasterImage& codec) {
    uint8_t head[kMaxHeadBytes] = {};
    const size_t got = refusal.headBytes != 0 ? file->Read(head, 1, refusal.headBytes) : 0;
    if (refusal.matches == nullptr || refusal.matches(head, got)) {
        codec.SetLastError(refusal.unsupported);
        return;
    }
    if (!refusal.quotesFirstBytes) {
        codec.SetLastError(refusal.notThisFormat);
        return;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%s: starts with 0x%02x 0x%02x", refusal.notThisFormat,
                  head[0], head[1]);
    codec.SetLastError(text);
}

} // namespace

std::span<const CodecRow> CodecRows() {
    return kRows;
}

const CodecRow* FindCodecRow(uint32_t formatId) {
    for (const CodecRow& row : kRows)
        if (row.formatId == formatId)
            return &row;
    return nullptr;
}

std::span<const CodecRow* const> RecognitionOrder() {
    static const std::array<const CodecRow*, kOffered> order = [] {
        std::array<const CodecRow*, kOffered> rows{};
        size_t n = 0;
        for (const CodecRow& row : kRows)
            if (row.recognitionPlace != 0)
                rows[n++] = &row;
        std::sort(rows.begin(), rows.end(), [](const CodecRow* a, const CodecRow* b) {
            return a->recognitionPlace < b->recognitionPlace;
        });
        return rows;
    }();
    return order;
}

std::unique_ptr<RasterImage> AttemptDecode(const CodecRow& row, const RasterImage& attributes,
                                           ByteStream* file, uint32_t formatId, bool* ok) {
    if (row.read != nullptr)
        return row.read(attributes, file, formatId, ok);
    auto codec = std::make_unique<RasterImage>(formatId);
    codec->CopyAttributes(attributes);
    Refuse(row.refusal, file, *codec);
    *ok = false;
    return codec;
}

} // namespace talvore
