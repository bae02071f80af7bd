// RasterImage: an in-memory raster held as one packed bottom-up bitmap block
// (a 40-byte BMP information header, a palette of BGR0 entries, then pixel
// rows of ((bits × width + 31) / 32) × 4 bytes, row 0 at the bottom), plus an
// attribute record and a last-error text.
//
// Depths are 1, 4, 8 (palette) and 24 (blue, green, red). Nothing throws:
// operations answer false, nullptr or 0 and leave a readable message in
// LastErrorText(). No block is ever larger than RASTER_MAX_MEMORY.
//
// Loading goes through Decode (automatic recognition for id 0); saving
// through Encode / SaveFile. Both find the format's codec in the codec table
// (CodecTable.h). Each codec class derives from RasterImage and works on this
// object's block directly; for saving it works on a non-owning ShareFrom view
// of the image being saved.
//
// The model carries no selection mask, alpha plane, layers or sub-frames:
// nothing in this system creates them, so the conversions have none to carry.
#pragma once

#include "image/ByteStream.h"

#include <cstdint>
#include <cstdio>

namespace talvore {

class RasterImage;

// Numeric format ids shared by loading and saving.
enum ImageFormat : uint32_t {
    FORMAT_UNKNOWN = 0, // load: recognise automatically
    FORMAT_BMP = 1,
    FORMAT_GIF = 2,
    FORMAT_JPG = 3,
    FORMAT_PNG = 4,
    FORMAT_ICO = 5,
    FORMAT_TIF = 6,
    FORMAT_TGA = 7,
    FORMAT_PCX = 8,
    FORMAT_WBMP = 9,
    FORMAT_WMF = 10,
    FORMAT_JP2 = 11,
    FORMAT_JPC = 12,
    FORMAT_PGX = 13,
    FORMAT_PNM = 14,
    FORMAT_RAS = 15,
    FORMAT_NO_CODEC = 16, // both dispatchers refuse it
    FORMAT_MNG = 17,
    FORMAT_SKA = 18,
    FORMAT_RAW = 19,
};

// Number of per-format option words.
inline constexpr uint32_t FORMAT_SLOT_COUNT = 19;

// Index of a format's option word: 0..15 map to themselves, 17..19 to 16..18,
// anything else to 0.
constexpr uint32_t FormatSlot(uint32_t id) {
    if (id <= 15)
        return id;
    if (id >= 17 && id <= 19)
        return id - 1;
    return 0;
}

// Largest pixel area RasterImage::Create allocates (256 MiB).
inline constexpr uint64_t RASTER_MAX_MEMORY = 268435456;

// One palette entry or colour, in the block's byte order.
struct RgbQuad {
    uint8_t blue = 0;
    uint8_t green = 0;
    uint8_t red = 0;
    uint8_t reserved = 0;

    friend bool operator==(const RgbQuad&, const RgbQuad&) = default;
};
static_assert(sizeof(RgbQuad) == 4);

constexpr RgbQuad MakeRgb(uint8_t red, uint8_t green, uint8_t blue) {
    return RgbQuad{blue, green, red, 0};
}

// The header copy of the 40-byte information header at the start of the
// block; the block holds it little-endian, as the BMP format stores it.
struct BitmapInfoHeader {
    uint32_t size = 0;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t planes = 0;
    uint16_t bitCount = 0;
    uint32_t compression = 0;
    uint32_t sizeImage = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t clrUsed = 0;
    uint32_t clrImportant = 0;
};
static_assert(sizeof(BitmapInfoHeader) == 40);

// The attribute record. Fields of layered and animated images are kept so
// codecs that read them find them, though nothing here fills them.
struct RasterInfo {
    uint32_t rowStride = 0;
    uint8_t* pixelStart = nullptr;
    const RasterImage* sharedFrom = nullptr;
    RasterImage* parent = nullptr;
    uint32_t formatId = 0;
    char lastError[256] = {};
    int32_t progress = 0;
    int32_t escape = 0; // 0 run; -1 decoders report dimensions only; else stop row loops
    int32_t backgroundIndex = -1;
    RgbQuad backgroundColour{};
    float quality = 90.0f;
    uint8_t jpegScale = 0;
    int32_t frame = 0;
    int32_t frameCount = 0;
    uint32_t frameDelay = 0;
    int32_t horizontalDpi = 96;
    int32_t verticalDpi = 96;
    int32_t selectionBox[4] = {};
    uint8_t maximumAlpha = 255;
    bool paletteAlpha = false;
    bool enabled = true;
    int32_t xOffset = 0;
    int32_t yOffset = 0;
    uint32_t codecOptions[FORMAT_SLOT_COUNT] = {};
    RgbQuad lastColour{};
    uint8_t lastIndex = 0;
    bool lastValid = false;
    int32_t layerCount = 0;
    uint32_t flags = 0;
    uint8_t disposal = 0;
    bool getAllFrames = false;
    bool littleEndianHost = true;
};

class RasterImage {
public:
    explicit RasterImage(uint32_t formatId = FORMAT_UNKNOWN);
    // Loads the file; the caller learns the result from HasPixels().
    RasterImage(const char* path, uint32_t formatId);
    RasterImage(const RasterImage& source); // CopyFrom(source, true, true, true)
    RasterImage& operator=(const RasterImage&) = delete;
    virtual ~RasterImage();

    // ---- lifecycle
    void InitDefaults(uint32_t formatId);
    // A new block of width × height at bits (rounded up to 1, 4, 8 or 24);
    // nullptr with a last error on a zero size, RASTER_MAX_MEMORY or a failed
    // allocation. Palette zeroed; pixel bytes zeroed too.
    uint8_t* Create(uint32_t width, uint32_t height, uint32_t bits, uint32_t formatId);
    bool FreeBuffers(); // false on a shared view
    bool FreeFrames();  // false on a shared view
    // Moves source's block and attributes into this image and empties source.
    // False when this image is a shared view or source is one (or is this).
    bool TakeOver(RasterImage& source, bool withFrames);
    // Becomes a non-owning view of source's block.
    void ShareFrom(const RasterImage& source);
    // Copies the attribute record while this image holds no block; this
    // image's own block location and shared-view link are kept.
    void CopyAttributes(const RasterImage& source);
    void CopyFrom(const RasterImage& source, bool pixels, bool selection, bool alpha);

    // ---- queries
    bool HasPixels() const { return block_ != nullptr; }
    bool IsSharedView() const { return info_.sharedFrom != nullptr; }
    // Storage row `row` (0 = bottom), or nullptr outside 0..height-1.
    uint8_t* RowPointer(int32_t row) const;
    const char* LastErrorText() const { return info_.lastError; }
    // Stores at most 255 characters. Codecs report their failures with it.
    void SetLastError(const char* text);

    int32_t Width() const { return header_.width; }
    int32_t Height() const { return header_.height; }
    uint32_t BitsPerPixel() const { return header_.bitCount; }
    uint32_t RowStride() const { return info_.rowStride; }
    uint32_t ImageSize() const { return header_.sizeImage; }
    uint32_t ColorsUsed() const { return header_.clrUsed; }
    uint32_t ColorsImportant() const { return header_.clrImportant; }
    void SetColorsImportant(uint32_t count);
    uint32_t FormatId() const { return info_.formatId; }
    void SetFormatId(uint32_t id) { info_.formatId = id; }
    const BitmapInfoHeader& Header() const { return header_; }
    const RasterInfo& Info() const { return info_; }
    // The whole block (header, palette, pixels) as the BMP format stores it.
    const uint8_t* BlockAddress() const { return block_; }
    uint32_t BlockSize() const;

    void SetCompressionQuality(uint8_t quality);
    uint8_t CompressionQuality() const;
    float Quality() const { return info_.quality; }
    void SetQuality(float quality) { info_.quality = quality; }
    void SetHorizontalDpi(int32_t dpi);
    void SetVerticalDpi(int32_t dpi);
    int32_t HorizontalDpi() const { return info_.horizontalDpi; }
    int32_t VerticalDpi() const { return info_.verticalDpi; }
    uint32_t CodecFlags(uint32_t id = FORMAT_UNKNOWN) const;
    void SetCodecFlags(uint32_t flags, uint32_t id = FORMAT_UNKNOWN);

    int32_t Escape() const { return info_.escape; }
    void SetEscape(int32_t escape) { info_.escape = escape; }
    int32_t Progress() const { return info_.progress; }
    void SetProgress(int32_t progress) { info_.progress = progress; }
    int32_t Frame() const { return info_.frame; }
    void SetFrame(int32_t frame) { info_.frame = frame; }
    int32_t FrameCount() const { return info_.frameCount; }
    void SetFrameCount(int32_t count) { info_.frameCount = count; }
    int32_t BackgroundIndex() const { return info_.backgroundIndex; }
    void SetBackgroundIndex(int32_t index) { info_.backgroundIndex = index; }
    RgbQuad BackgroundColour() const { return info_.backgroundColour; }
    void SetBackgroundColour(RgbQuad colour) { info_.backgroundColour = colour; }

    // ---- palette
    uint32_t PaletteByteSize() const { return header_.clrUsed * 4; }
    RgbQuad* PaletteEntries() const;
    RgbQuad PaletteColor(uint32_t index) const; // black outside the palette
    void StorePalette(const RgbQuad* entries, uint32_t count);
    void FillGrayPalette();
    void FillStandardPalette();
    bool HasIdentityGrayPalette() const;
    // Nearest of the first ColorsImportant() (or ColorsUsed()) entries by
    // squared distance, ties to the lowest index; one-entry cache in front.
    uint8_t NearestPaletteIndex(RgbQuad colour);

    // ---- pixels (x from the left, y the storage row, 0 at the bottom)
    uint8_t ReadIndex(int32_t x, int32_t y) const;
    void WriteIndex(int32_t x, int32_t y, uint8_t index);
    RgbQuad ReadColor(int32_t x, int32_t y) const;
    RgbQuad ReadColorNoBounds(int32_t x, int32_t y) const;
    void WriteColor(int32_t x, int32_t y, RgbQuad colour);
    void WriteColorNoBounds(int32_t x, int32_t y, RgbQuad colour);
    // Exchanges red and blue in a 24-bit row of `length` bytes.
    void SwapRedBlue(uint8_t* row, uint32_t length) const;

    // ---- conversions (the image is replaced in one step or left as it was)
    bool ConvertToGray();
    bool DecreaseBpp(uint32_t bits, bool diffuse, const RgbQuad* palette = nullptr,
                     uint32_t importantColours = 0);

    // ---- loading
    // Tries the hinted decoder first, then automatic recognition. A path
    // that cannot be opened answers false and leaves the last error alone.
    bool LoadFile(const char* path, uint32_t formatId);
    bool Decode(FILE* stream, uint32_t formatId);     // the stream stays open
    bool Decode(ByteStream* file, uint32_t formatId); // 0: recognise

    // ---- saving (RasterImageSave.cpp)
    bool SaveFile(const char* path, uint32_t formatId);
    bool Encode(FILE* stream, uint32_t formatId); // the stream stays open
    bool Encode(ByteStream* file, uint32_t formatId);
    // True means refuse: no file ("null file handler") or no pixels
    // ("null image!!!"). Every writer starts with it.
    bool CheckEncodeTarget(ByteStream* file);

protected:
    // Copies the header copy into the block's header.
    void SyncBlockHeader();
    // The pixel area as one span of ImageSize() bytes.
    uint8_t* PixelStart() const { return info_.pixelStart; }

    uint8_t* block_ = nullptr;
    BitmapInfoHeader header_{};
    RasterInfo info_{};

private:
    bool DecodeAutomatic(ByteStream* file);
};

// The plain nearest-colour search: first strictly smaller squared distance
// among entries[0..count-1] wins, ties to the lowest index, a distance of 0
// ends the search. Exposed so faster searches can be checked against it.
uint8_t NearestPaletteEntry(const RgbQuad* entries, uint32_t count, RgbQuad colour);

// The fixed 256-entry palette of FillStandardPalette at 8 bits.
const RgbQuad* StandardPalette256();

} // namespace talvore
