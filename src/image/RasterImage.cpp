#include "image/RasterImage.h"

#include "image/CheckedMath.h"
#include "image/LittleEndian.h"
#include "image/PaletteSearch.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace talvore {

namespace {

constexpr uint32_t kHeaderSize = sizeof(BitmapInfoHeader);

constexpr RgbQuad Hex(uint32_t rgb) {
    return RgbQuad{static_cast<uint8_t>(rgb), static_cast<uint8_t>(rgb >> 8),
                   static_cast<uint8_t>(rgb >> 16), 0};
}

constexpr RgbQuad kPalette2[2] = {Hex(0x000000), Hex(0xFFFFFF)};

constexpr RgbQuad kPalette16[16] = {
    Hex(0x000000), Hex(0x800000), Hex(0x008000), Hex(0x808000), Hex(0x000080), Hex(0x800080),
    Hex(0x008080), Hex(0xC0C0C0), Hex(0x808080), Hex(0xFF0000), Hex(0x00FF00), Hex(0xFFFF00),
    Hex(0x0000FF), Hex(0xFF00FF), Hex(0x00FFFF), Hex(0xFFFFFF),
};

// Twenty system colours at 0..9 and 246..255, eighteen hue families of
// twelve from tint to shade at 10..225, twenty grays at 226..245.
constexpr uint32_t kPalette256Rgb[256] = {
#include "image/StandardPalette256.inc"
};

struct Palette256 {
    RgbQuad entries[256];
    constexpr Palette256() : entries{} {
        for (int i = 0; i < 256; ++i)
            entries[i] = Hex(kPalette256Rgb[i]);
    }
};
constexpr Palette256 kPalette256;

inline int Distance(const RgbQuad& a, const RgbQuad& b) {
    const int db = a.blue - b.blue;
    const int dg = a.green - b.green;
    const int dr = a.red - b.red;
    return db * db + dg * dg + dr * dr;
}

inline uint8_t Gray(uint32_t red, uint32_t green, uint32_t blue) {
    return static_cast<uint8_t>((117 * blue + 601 * green + 306 * red) >> 10);
}

int32_t PixelsPerMetre(int32_t dpi) {
    return static_cast<int32_t>(std::floor(static_cast<double>(dpi) * 10000.0 / 254.0 + 0.5));
}

} // namespace

const RgbQuad* StandardPalette256() {
    return kPalette256.entries;
}

uint8_t NearestPaletteEntry(const RgbQuad* entries, uint32_t count, RgbQuad colour) {
    int best = 200000;
    uint8_t bestIndex = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const int d = Distance(entries[i], colour);
        if (d < best) {
            best = d;
            bestIndex = static_cast<uint8_t>(i);
            if (d == 0)
                break;
        }
    }
    return bestIndex;
}

// ------------------------------------------------------------------ lifecycle

RasterImage::RasterImage(uint32_t formatId) {
    InitDefaults(formatId);
}

RasterImage::RasterImage(const char* path, uint32_t formatId) {
    InitDefaults(formatId);
    LoadFile(path, formatId);
}

RasterImage::RasterImage(const RasterImage& source) {
    InitDefaults(FORMAT_UNKNOWN);
    CopyFrom(source, true, true, true);
}

RasterImage::~RasterImage() {
    FreeFrames();
    FreeBuffers();
}

void RasterImage::InitDefaults(uint32_t formatId) {
    // Run again on a live image, it must not leak the block it owns.
    if (!IsSharedView())
        std::free(block_);
    block_ = nullptr;
    header_ = BitmapInfoHeader{};
    info_ = RasterInfo{};
    std::memset(static_cast<void*>(&info_), 0, sizeof info_);
    info_.formatId = formatId;
    info_.quality = 90.0f;
    info_.maximumAlpha = 255;
    info_.backgroundIndex = -1;
    info_.enabled = true;
    SetHorizontalDpi(96);
    SetVerticalDpi(96);
    info_.littleEndianHost = true;
}

uint8_t* RasterImage::Create(uint32_t width, uint32_t height, uint32_t bits, uint32_t formatId) {
    if (!FreeBuffers())
        return nullptr;
    if (width == 0 || height == 0) {
        SetLastError("RasterImage::Create : width and height must be greater than zero");
        return nullptr;
    }
    bits = bits <= 1 ? 1 : bits <= 4 ? 4 : bits <= 8 ? 8 : 24;

    // The stated limit is width × height × bits / 8; the stride's rounding can
    // make the real pixel area larger, so that is held to the limit as well.
    uint64_t area = 0;
    uint64_t stride = 0;
    uint64_t imageSize = 0;
    const bool fits = CheckedMul<uint64_t>(width, height, &area) &&
                      CheckedMul<uint64_t>(area, bits, &area) && area / 8 <= RASTER_MAX_MEMORY &&
                      CheckedRowStride(width, bits, &stride) &&
                      CheckedMul<uint64_t>(stride, height, &imageSize) &&
                      imageSize <= RASTER_MAX_MEMORY && width <= INT32_MAX && height <= INT32_MAX;
    if (!fits) {
        SetLastError("RASTER_MAX_MEMORY exceeded");
        return nullptr;
    }

    const uint32_t colours = bits == 1 ? 2 : bits == 4 ? 16 : bits == 8 ? 256 : 0;
    info_.rowStride = static_cast<uint32_t>(stride);
    info_.formatId = formatId;
    header_.size = kHeaderSize;
    header_.width = static_cast<int32_t>(width);
    header_.height = static_cast<int32_t>(height);
    header_.planes = 1;
    header_.bitCount = static_cast<uint16_t>(bits);
    header_.compression = 0;
    header_.sizeImage = static_cast<uint32_t>(imageSize);
    header_.clrUsed = colours;

    const size_t total = kHeaderSize + colours * 4 + static_cast<size_t>(imageSize);
    // calloc: fresh pixels read as zero, and large blocks come zeroed from mmap.
    block_ = static_cast<uint8_t*>(std::calloc(total, 1));
    if (block_ == nullptr) {
        SetLastError("RasterImage::Create can't allocate memory");
        return nullptr;
    }
    SyncBlockHeader();
    info_.pixelStart = block_ + kHeaderSize + colours * 4;
    info_.lastValid = false;
    return block_;
}

bool RasterImage::FreeBuffers() {
    if (IsSharedView())
        return false;
    info_.layerCount = 0;
    std::free(block_);
    block_ = nullptr;
    info_.pixelStart = nullptr;
    return true;
}

bool RasterImage::FreeFrames() {
    if (IsSharedView())
        return false;
    info_.frameCount = 0;
    return true;
}

bool RasterImage::TakeOver(RasterImage& source, bool withFrames) {
    if (&source == this || source.IsSharedView())
        return false;
    if (!FreeBuffers())
        return false;
    if (withFrames)
        FreeFrames();
    header_ = source.header_;
    info_ = source.info_;
    block_ = source.block_;
    source.block_ = nullptr;
    std::memset(static_cast<void*>(&source.header_), 0, sizeof source.header_);
    std::memset(static_cast<void*>(&source.info_), 0, sizeof source.info_);
    return true;
}

void RasterImage::ShareFrom(const RasterImage& source) {
    if (&source == this)
        return;
    FreeFrames();
    FreeBuffers();
    header_ = source.header_;
    info_ = source.info_;
    block_ = source.block_;
    info_.sharedFrom = &source;
}

void RasterImage::CopyAttributes(const RasterImage& source) {
    if (block_ != nullptr || &source == this)
        return;
    const RasterInfo own = info_;
    info_ = source.info_;
    // A blockless image must not point into another image's block or claim
    // to be a view of it; the nearest-index cache belongs to a palette.
    info_.rowStride = own.rowStride;
    info_.pixelStart = own.pixelStart;
    info_.sharedFrom = own.sharedFrom;
    info_.parent = own.parent;
    info_.lastValid = false;
}

void RasterImage::CopyFrom(const RasterImage& source, bool pixels, bool, bool) {
    if (&source == this)
        return;
    if (source.IsSharedView()) {
        ShareFrom(source);
        return;
    }
    if (!FreeBuffers())
        return;
    info_ = source.info_;
    info_.sharedFrom = nullptr;
    info_.pixelStart = nullptr;
    info_.lastValid = false;
    header_ = source.header_;
    if (Create(static_cast<uint32_t>(std::max(source.Width(), 0)),
               static_cast<uint32_t>(std::max(source.Height(), 0)), source.BitsPerPixel(),
               source.FormatId()) == nullptr)
        return;
    if (pixels && source.block_ != nullptr) {
        std::memcpy(block_, source.block_, source.BlockSize());
    } else if (source.block_ != nullptr && source.PaletteEntries() != nullptr) {
        std::memcpy(PaletteEntries(), source.PaletteEntries(),
                    std::min(PaletteByteSize(), source.PaletteByteSize()));
    }
}

// -------------------------------------------------------------------- queries

uint8_t* RasterImage::RowPointer(int32_t row) const {
    if (block_ == nullptr || row < 0 || row >= header_.height)
        return nullptr;
    return info_.pixelStart + static_cast<size_t>(row) * info_.rowStride;
}

void RasterImage::SetLastError(const char* text) {
    if (text == nullptr)
        text = "";
    const size_t length = std::min(std::strlen(text), sizeof info_.lastError - 1);
    // The text may come from this very buffer (a codec's error copied back).
    std::memmove(info_.lastError, text, length);
    info_.lastError[length] = '\0';
}

void RasterImage::SetColorsImportant(uint32_t count) {
    header_.clrImportant = count;
    SyncBlockHeader();
    info_.lastValid = false;
}

uint32_t RasterImage::BlockSize() const {
    if (block_ == nullptr)
        return 0;
    return kHeaderSize + PaletteByteSize() + header_.sizeImage;
}

void RasterImage::SyncBlockHeader() {
    if (block_ != nullptr && !IsSharedView())
        le::StoreFields(block_, {{4, header_.size},
                                 {4, static_cast<uint32_t>(header_.width)},
                                 {4, static_cast<uint32_t>(header_.height)},
                                 {2, header_.planes},
                                 {2, header_.bitCount},
                                 {4, header_.compression},
                                 {4, header_.sizeImage},
                                 {4, static_cast<uint32_t>(header_.xPelsPerMeter)},
                                 {4, static_cast<uint32_t>(header_.yPelsPerMeter)},
                                 {4, header_.clrUsed},
                                 {4, header_.clrImportant}});
}

void RasterImage::SetCompressionQuality(uint8_t quality) {
    info_.quality = quality;
}

uint8_t RasterImage::CompressionQuality() const {
    const float q = std::clamp(info_.quality + 0.5f, 0.0f, 255.0f);
    return static_cast<uint8_t>(q);
}

void RasterImage::SetHorizontalDpi(int32_t dpi) {
    if (dpi <= 0)
        dpi = 96;
    info_.horizontalDpi = dpi;
    header_.xPelsPerMeter = PixelsPerMetre(dpi);
    SyncBlockHeader();
}

void RasterImage::SetVerticalDpi(int32_t dpi) {
    if (dpi <= 0)
        dpi = 96;
    info_.verticalDpi = dpi;
    header_.yPelsPerMeter = PixelsPerMetre(dpi);
    SyncBlockHeader();
}

uint32_t RasterImage::CodecFlags(uint32_t id) const {
    uint32_t slot = FormatSlot(id);
    if (slot == 0)
        slot = FormatSlot(info_.formatId);
    return info_.codecOptions[slot];
}

void RasterImage::SetCodecFlags(uint32_t flags, uint32_t id) {
    uint32_t slot = FormatSlot(id);
    if (slot == 0)
        slot = FormatSlot(info_.formatId);
    info_.codecOptions[slot] = flags;
}

// -------------------------------------------------------------------- palette

RgbQuad* RasterImage::PaletteEntries() const {
    if (block_ == nullptr || header_.clrUsed == 0)
        return nullptr;
    return reinterpret_cast<RgbQuad*>(block_ + kHeaderSize);
}

RgbQuad RasterImage::PaletteColor(uint32_t index) const {
    const RgbQuad* palette = PaletteEntries();
    if (palette == nullptr || index >= header_.clrUsed)
        return RgbQuad{};
    return palette[index];
}

void RasterImage::StorePalette(const RgbQuad* entries, uint32_t count) {
    RgbQuad* palette = PaletteEntries();
    if (palette == nullptr || entries == nullptr)
        return;
    const uint64_t bytes = std::min<uint64_t>(uint64_t{count} * 4, PaletteByteSize());
    std::memcpy(palette, entries, static_cast<size_t>(bytes));
    info_.lastValid = false;
}

void RasterImage::FillGrayPalette() {
    RgbQuad* palette = PaletteEntries();
    if (palette == nullptr)
        return;
    const uint32_t n = header_.clrUsed;
    const uint32_t step = n > 1 ? 255 / (n - 1) : 0;
    for (uint32_t i = 0; i < n; ++i) {
        const uint8_t v = static_cast<uint8_t>(i * step);
        palette[i] = RgbQuad{v, v, v, 0};
    }
    info_.lastValid = false;
}

void RasterImage::FillStandardPalette() {
    RgbQuad* palette = PaletteEntries();
    if (palette == nullptr)
        return;
    switch (header_.bitCount) {
    case 1:
        std::memcpy(palette, kPalette2, sizeof kPalette2);
        break;
    case 4:
        std::memcpy(palette, kPalette16, sizeof kPalette16);
        break;
    case 8:
        std::memcpy(palette, kPalette256.entries, sizeof kPalette256.entries);
        break;
    default:
        return;
    }
    info_.lastValid = false;
}

bool RasterImage::HasIdentityGrayPalette() const {
    const RgbQuad* palette = PaletteEntries();
    if (palette == nullptr)
        return false;
    for (uint32_t i = 0; i < header_.clrUsed; ++i) {
        if (palette[i].blue != i || palette[i].green != i || palette[i].red != i)
            return false;
    }
    return true;
}

uint8_t RasterImage::NearestPaletteIndex(RgbQuad colour) {
    const RgbQuad* palette = PaletteEntries();
    if (palette == nullptr)
        return 0;
    if (info_.lastValid && info_.lastColour == colour)
        return info_.lastIndex;
    info_.lastColour = colour;
    info_.lastValid = true;
    uint32_t m = header_.clrImportant != 0 ? header_.clrImportant : header_.clrUsed;
    m = std::min(m, header_.clrUsed);
    info_.lastIndex = NearestPaletteEntry(palette, m, colour);
    return info_.lastIndex;
}

// --------------------------------------------------------------------- pixels

uint8_t RasterImage::ReadIndex(int32_t x, int32_t y) const {
    if (block_ == nullptr || header_.clrUsed == 0)
        return 0;
    if (x < 0 || y < 0 || x >= header_.width || y >= header_.height) {
        if (info_.backgroundIndex >= 0)
            return static_cast<uint8_t>(info_.backgroundIndex);
        return *info_.pixelStart;
    }
    const uint8_t* row = info_.pixelStart + static_cast<size_t>(y) * info_.rowStride;
    switch (header_.bitCount) {
    case 8:
        return row[x];
    case 4: {
        const uint8_t byte = row[x >> 1];
        return (x & 1) ? (byte & 0x0F) : (byte >> 4);
    }
    case 1:
        return (row[x >> 3] >> (7 - (x & 7))) & 1;
    default:
        return 0;
    }
}

void RasterImage::WriteIndex(int32_t x, int32_t y, uint8_t index) {
    if (block_ == nullptr || header_.clrUsed == 0)
        return;
    if (x < 0 || y < 0 || x >= header_.width || y >= header_.height)
        return;
    uint8_t* row = info_.pixelStart + static_cast<size_t>(y) * info_.rowStride;
    switch (header_.bitCount) {
    case 8:
        row[x] = index;
        break;
    case 4: {
        uint8_t& byte = row[x >> 1];
        if (x & 1)
            byte = static_cast<uint8_t>((byte & 0xF0) | (index & 0x0F));
        else
            byte = static_cast<uint8_t>((byte & 0x0F) | ((index & 0x0F) << 4));
        break;
    }
    case 1: {
        const uint8_t mask = static_cast<uint8_t>(0x80 >> (x & 7));
        if (index & 1)
            row[x >> 3] |= mask;
        else
            row[x >> 3] &= static_cast<uint8_t>(~mask);
        break;
    }
    default:
        break;
    }
}

RgbQuad RasterImage::ReadColorNoBounds(int32_t x, int32_t y) const {
    if (block_ == nullptr)
        return RgbQuad{};
    if (header_.clrUsed != 0)
        return PaletteColor(ReadIndex(x, y));
    if (header_.bitCount != 24 || x < 0 || y < 0 || x >= header_.width || y >= header_.height)
        return RgbQuad{};
    const uint8_t* p = info_.pixelStart + static_cast<size_t>(y) * info_.rowStride + x * 3;
    return RgbQuad{p[0], p[1], p[2], 0};
}

RgbQuad RasterImage::ReadColor(int32_t x, int32_t y) const {
    if (block_ == nullptr)
        return RgbQuad{};
    if (x < 0 || y < 0 || x >= header_.width || y >= header_.height) {
        if (info_.backgroundIndex >= 0) {
            if (header_.bitCount < 24)
                return PaletteColor(static_cast<uint32_t>(info_.backgroundIndex));
            return info_.backgroundColour;
        }
        return ReadColor(0, 0);
    }
    RgbQuad colour = ReadColorNoBounds(x, y);
    if (header_.bitCount == 24)
        colour.reserved = info_.backgroundColour.reserved;
    return colour;
}

void RasterImage::WriteColorNoBounds(int32_t x, int32_t y, RgbQuad colour) {
    if (block_ == nullptr)
        return;
    if (header_.clrUsed != 0) {
        WriteIndex(x, y, NearestPaletteIndex(colour));
        return;
    }
    if (header_.bitCount != 24 || x < 0 || y < 0 || x >= header_.width || y >= header_.height)
        return;
    uint8_t* p = info_.pixelStart + static_cast<size_t>(y) * info_.rowStride + x * 3;
    p[0] = colour.blue;
    p[1] = colour.green;
    p[2] = colour.red;
}

void RasterImage::WriteColor(int32_t x, int32_t y, RgbQuad colour) {
    if (block_ == nullptr || x < 0 || y < 0 || x >= header_.width || y >= header_.height)
        return;
    WriteColorNoBounds(x, y, colour);
}

void RasterImage::SwapRedBlue(uint8_t* row, uint32_t length) const {
    if (row == nullptr || header_.bitCount != 24)
        return;
    const uint64_t limit = std::min<uint64_t>(length, uint64_t{3} * std::max(header_.width, 0));
    for (uint64_t i = 0; i + 3 <= limit; i += 3)
        std::swap(row[i], row[i + 2]);
}

// ---------------------------------------------------------------- conversions

bool RasterImage::ConvertToGray() {
    if (block_ == nullptr)
        return false;
    const uint32_t width = static_cast<uint32_t>(header_.width);
    const uint32_t height = static_cast<uint32_t>(header_.height);

    if (header_.bitCount == 24) {
        auto gray = std::make_unique<RasterImage>(FORMAT_UNKNOWN);
        gray->CopyAttributes(*this);
        if (gray->Create(width, height, 8, info_.formatId) == nullptr)
            return false;
        gray->FillGrayPalette();
        for (uint32_t y = 0; y < height; ++y) {
            const uint8_t* src = RowPointer(static_cast<int32_t>(y));
            uint8_t* dst = gray->RowPointer(static_cast<int32_t>(y));
            for (uint32_t x = 0; x < width; ++x, src += 3)
                dst[x] = Gray(src[2], src[1], src[0]);
        }
        return TakeOver(*gray, true);
    }

    RgbQuad* palette = PaletteEntries();
    if (palette == nullptr)
        return false;
    uint8_t grayOf[256] = {};
    const uint32_t colours = std::min<uint32_t>(header_.clrUsed, 256);
    for (uint32_t i = 0; i < colours; ++i)
        grayOf[i] = Gray(palette[i].red, palette[i].green, palette[i].blue);

    if (header_.bitCount == 8) {
        uint8_t* pixels = info_.pixelStart;
        for (uint32_t i = 0; i < header_.sizeImage; ++i)
            pixels[i] = grayOf[pixels[i]];
    } else {
        // Build the 8-bit result first, so a failed allocation changes nothing.
        auto gray = std::make_unique<RasterImage>(FORMAT_UNKNOWN);
        gray->CopyAttributes(*this);
        if (gray->Create(width, height, 8, info_.formatId) == nullptr)
            return false;
        gray->FillGrayPalette();
        const bool nibbles = header_.bitCount == 4;
        for (uint32_t y = 0; y < height; ++y) {
            const uint8_t* src = RowPointer(static_cast<int32_t>(y));
            uint8_t* dst = gray->RowPointer(static_cast<int32_t>(y));
            if (nibbles) {
                for (uint32_t x = 0; x < width; ++x)
                    dst[x] = grayOf[(x & 1) ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4)];
            } else {
                for (uint32_t x = 0; x < width; ++x)
                    dst[x] = grayOf[(src[x >> 3] >> (7 - (x & 7))) & 1];
            }
        }
        if (info_.backgroundIndex >= 0 && static_cast<uint32_t>(info_.backgroundIndex) < colours)
            gray->info_.backgroundIndex = grayOf[info_.backgroundIndex];
        return TakeOver(*gray, true);
    }
    // The palette entries' blue bytes take the gray as well, as the
    // background index does, before the ramp replaces the palette.
    for (uint32_t i = 0; i < colours; ++i)
        palette[i].blue = grayOf[i];
    if (info_.backgroundIndex >= 0 && static_cast<uint32_t>(info_.backgroundIndex) < colours)
        info_.backgroundIndex = grayOf[info_.backgroundIndex];
    FillGrayPalette();
    return true;
}

bool RasterImage::DecreaseBpp(uint32_t bits, bool diffuse, const RgbQuad* palette,
                              uint32_t importantColours) {
    (void)diffuse; // error diffusion is never asked for; pixels map to the nearest entry
    if (block_ == nullptr)
        return false;
    if (header_.bitCount < bits) {
        SetLastError("DecreaseBpp: target BPP greater than source BPP");
        return false;
    }
    if (header_.bitCount == bits) {
        if (importantColours == 0)
            return true;
        if (header_.clrImportant != 0 && header_.clrImportant < importantColours)
            return true;
    }

    const uint32_t width = static_cast<uint32_t>(header_.width);
    const uint32_t height = static_cast<uint32_t>(header_.height);
    auto target = std::make_unique<RasterImage>(FORMAT_UNKNOWN);
    target->CopyAttributes(*this);
    target->Create(width, height, bits, info_.formatId);
    if (!target->HasPixels()) {
        SetLastError(target->LastErrorText());
        return false;
    }
    if (importantColours != 0) {
        const uint32_t depthColours = target->ColorsUsed();
        uint32_t important = importantColours > 256 ? 0 : importantColours;
        if (depthColours != 0)
            important = std::min(important, depthColours);
        target->SetColorsImportant(important);
    }
    if (palette != nullptr) {
        const uint32_t count =
            importantColours != 0 ? importantColours : (1u << target->BitsPerPixel());
        target->StorePalette(palette, count);
    } else {
        target->FillStandardPalette();
    }

    // Exact stand-in for WriteColorNoBounds(x, y, ReadColorNoBounds(x, y)):
    // the one-entry cache as NearestPaletteIndex keeps it, then a search that
    // answers the same index as the plain one, only faster.
    const RgbQuad* entries = target->PaletteEntries();
    uint32_t m = target->ColorsImportant() != 0 ? target->ColorsImportant() : target->ColorsUsed();
    m = std::min(m, target->ColorsUsed());
    // Small images are not worth the search structure; both give the same answers.
    const bool small = uint64_t{width} * height < 16384;
    PaletteSearch search(small ? nullptr : entries, small ? 0 : m);
    RasterInfo& cache = target->info_;
    const bool source24 = header_.bitCount == 24;
    if (target->BitsPerPixel() == 24) {
        // 24 to 24 (only with important colours asked): the pixels stay.
        std::memcpy(target->PixelStart(), PixelStart(), header_.sizeImage);
        return TakeOver(*target, true);
    }
    const bool target8 = target->BitsPerPixel() == 8;

    for (uint32_t y = 0; y < height; ++y) {
        if (info_.escape != 0)
            break;
        info_.progress = static_cast<int32_t>(uint64_t{100} * y / height);
        const uint8_t* src = RowPointer(static_cast<int32_t>(y));
        uint8_t* dst = target->RowPointer(static_cast<int32_t>(y));
        for (uint32_t x = 0; x < width; ++x) {
            const RgbQuad colour =
                source24 ? RgbQuad{src[3 * x], src[3 * x + 1], src[3 * x + 2], 0}
                         : ReadColorNoBounds(static_cast<int32_t>(x), static_cast<int32_t>(y));
            uint8_t index;
            if (cache.lastValid && cache.lastColour == colour) {
                index = cache.lastIndex;
            } else {
                index = small ? NearestPaletteEntry(entries, m, colour) : search.Nearest(colour);
                cache.lastColour = colour;
                cache.lastIndex = index;
                cache.lastValid = true;
            }
            if (target8)
                dst[x] = index;
            else
                target->WriteIndex(static_cast<int32_t>(x), static_cast<int32_t>(y), index);
        }
    }
    return TakeOver(*target, true);
}

} // namespace talvore
