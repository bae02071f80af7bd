// The image-dumping output device: every image the PDF core meets on a page
// becomes a file of its own, named "<root>-NNN.jpg/.pbm/.ppm" with one
// counter for all three kinds (starting at 0 per device, i.e. per document).
//  - .jpg: with passthrough on, a non-inline DCT image of exactly 3
//    components, or a non-inline DCT stencil mask: the bytes beneath the DCT
//    decoder, copied as they are.
//  - .pbm: a stencil mask (its bytes as stored) or a 1-component 1-bit image
//    (its bytes exclusive-ored with 0xFF). Missing bytes are written as 0xFF
//    in a mask and 0x00 in an image.
//  - .ppm: everything else, through the core's RGB conversion, each
//    component written as (c * 255 + 0.5) truncated.
// Nothing else is drawn. Images drawn only inside tiling patterns or Type 3
// glyphs are not dumped.
//
// With an ImageSink (the converting modes), PBM and PPM images whose pixel
// area fits RASTER_MAX_MEMORY are not written: they go to the sink in
// memory, a grey one as its samples alone, and only JPEG copies and larger
// images become files.
//
// Every file is created under a temporary name and renamed into place when
// whole. A file that cannot be created or written, or that would exceed the
// size limit, is reported on the PDF core's error channel and among
// Failures(); the image is skipped, its number stays used, and no partial
// file is left behind.
#pragma once

#include "convert/DecodedImage.h"
#include "convert/ImageListing.h"
#include "convert/NamePattern.h"

#include <OutputDev.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace talvore {

// The largest intermediate file the device writes: 2 GiB. Above it a
// crafted PDF (huge dimensions over a few bytes of data) would fill the disk
// with padding.
inline constexpr uint64_t IMAGE_FILE_MAX_BYTES = uint64_t{1} << 31;
// The widest row the device decodes: 64 MiB. The row buffers are sized from
// the declared width alone, so a few bytes of PDF could ask for gigabytes.
inline constexpr uint64_t IMAGE_ROW_MAX_BYTES = uint64_t{64} << 20;
// Missing data is padded only up to the data there is, or this much.
inline constexpr uint64_t IMAGE_PADDING_FLOOR = uint64_t{1} << 20;

// What one document may make the device write. The defaults are far beyond
// any real document: they stop crafted ones (a form drawn millions of
// times, sizes declared over a few bytes of data).
struct DeviceLimits {
    uint64_t MaxImages = 100000;
    uint64_t MaxBytes = uint64_t{64} << 30;         // decoded bytes of all images
    uint64_t MaxPaddingBytes = uint64_t{256} << 20; // of all padding
};

// Jpeg: an RGB DCT stream copied; Stored: another stream's bytes copied
// (a grey or CMYK JPEG, JPEG 2000, fax data in a TIFF). Neither is converted.
// Alpha: the 8-bit grey mask ("<name>-alpha.pgm") beside an image written
// as a file, when transparency is kept; it is not an image of its own.
enum class DumpKind { Jpeg, Pbm, Ppm, Stored, Alpha };

inline bool IsCopiedKind(DumpKind kind) {
    return kind == DumpKind::Jpeg || kind == DumpKind::Stored;
}

struct DumpedFile {
    std::string Path;
    DumpKind Kind;
    int Number; // the image's -NNN
    int Page;   // the page it was drawn on
};

// An image that has no file: the name its number gave it and why.
struct ImageFailure {
    int Number; // the image's -NNN
    std::string Path;
    std::string Reason;
};

// Takes the images the device decodes in memory, on the device's thread.
class ImageSink {
public:
    virtual ~ImageSink();
    virtual void Accept(DecodedImage image) = 0;
};

class DumpTarget;
class OutputFile;

class ImageDumpOutputDev : public OutputDev {
public:
    ImageDumpOutputDev(std::string fileRoot, bool jpegPassthrough,
                       uint64_t maxFileBytes = IMAGE_FILE_MAX_BYTES, ImageSink* sink = nullptr);
    ~ImageDumpOutputDev() override;

    bool upsideDown() override { return true; }
    bool useDrawChar() override { return false; }
    bool interpretType3Chars() override { return false; }
    // True, or the core sends no image at all; patterns and shadings are then
    // answered below without drawing anything.
    bool needNonText() override { return true; }
    bool useTilingPatternFill() override { return true; }
    bool tilingPatternFill(GfxState*, Gfx*, Catalog*, GfxTilingPattern*, const double*, int, int,
                           int, int, double, double) override {
        return true;
    }
    bool useShadedFills(int) override { return true; }
    bool functionShadedFill(GfxState*, GfxFunctionShading*) override { return true; }
    bool axialShadedFill(GfxState*, GfxAxialShading*, double, double) override { return true; }
    bool radialShadedFill(GfxState*, GfxRadialShading*, double, double) override { return true; }
    bool gouraudTriangleShadedFill(GfxState*, GfxGouraudTriangleShading*) override { return true; }
    bool patchMeshShadedFill(GfxState*, GfxPatchMeshShading*) override { return true; }
    // Once a stop is asked for or a limit cut the document, forms are passed
    // over: the core polls its abort callback in each content loop only, and
    // a loop breaks out alone, so forms drawing each other would go on.
    bool useDrawForm() override { return m_limitReached || (m_stopCheck && m_stopCheck()); }
    void drawForm(Ref) override {}

    void drawImageMask(GfxState* state, Object* ref, Stream* str, int width, int height,
                       bool invert, bool interpolate, bool inlineImg) override;
    void drawImage(GfxState* state, Object* ref, Stream* str, int width, int height,
                   GfxImageColorMap* colorMap, bool interpolate, const int* maskColors,
                   bool inlineImg) override;
    // The image alone, as the core's default does; a listing also gets a row
    // for the mask.
    void drawMaskedImage(GfxState* state, Object* ref, Stream* str, int width, int height,
                         GfxImageColorMap* colorMap, bool interpolate, Stream* maskStr,
                         int maskWidth, int maskHeight, bool maskInvert,
                         bool maskInterpolate) override;
    void drawSoftMaskedImage(GfxState* state, Object* ref, Stream* str, int width, int height,
                             GfxImageColorMap* colorMap, bool interpolate, Stream* maskStr,
                             int maskWidth, int maskHeight, GfxImageColorMap* maskColorMap,
                             bool maskInterpolate) override;

    bool isOk() const { return m_ok; }

    // The page about to be interpreted, recorded with each image.
    void SetPage(int page) { m_page = page; }
    void SetLimits(const DeviceLimits& limits) { m_limits = limits; }
    // A limit cut the document short (said once among Failures()); the
    // interpreter may as well stop.
    bool LimitReached() const { return m_limitReached; }
    // Whether the run was asked to stop.
    void SetStopCheck(std::function<bool()> check) { m_stopCheck = std::move(check); }

    // Writes nothing: each image the run would dump becomes a row here, with
    // the number, the name and the limits of a run that writes.
    void ListInto(std::vector<ListedImage>* rows) { m_listing = rows; }
    // Each image object is dumped at its first draw only; a later draw uses
    // up its number all the same, so names match a run that writes every
    // draw.
    void SetUnique(bool unique) { m_unique = unique; }
    // Names files by the pattern, after the file root (then a folder ending
    // in '/'), instead of "<root>-NNN". The pattern must outlive the device.
    void SetNamePattern(const NamePattern* pattern, std::string title, int pageCount) {
        m_pattern = pattern;
        m_title = std::move(title);
        m_pageCount = pageCount;
    }
    // The stored bytes of grey and CMYK DCT images (".jpg"), of JPEG 2000
    // (".jp2" or ".j2k" by signature) and of CCITT fax images (".tif", one
    // strip with the fax parameters as tags) are copied instead of decoded.
    // An image whose Decode array inverts it is decoded as ever.
    void SetKeepEncoded(bool keep) { m_keepEncoded = keep; }
    // Masked images keep their transparency: an image for the sink carries
    // its alpha plane, and an image written as a file gets its mask beside
    // it as "<name>-alpha.pgm" (8-bit grey). Soft masks, stencil /Mask
    // streams and colour keys count; a colour key on inline data does not.
    void SetKeepAlpha(bool keep) { m_keepAlpha = keep; }
    // Draws of an object already dumped that a unique device passed over.
    int SkippedRepeats() const { return m_skippedRepeats; }

    // Images this device wrote as files, without alpha sidecars.
    int WrittenImages() const;
    // Number of the next file (numbers used so far).
    int ImageCounter() const { return m_imageCounter; }
    // The files this device wrote completely, in the order written.
    const std::vector<DumpedFile>& WrittenFiles() const { return m_written; }
    // Images handed to the sink.
    int HandedImages() const { return m_handed; }
    // Images skipped because their file could not be opened, written or
    // would have exceeded the limit, or whose data could not be decoded, in
    // the order met.
    const std::vector<ImageFailure>& Failures() const { return m_failures; }
    int FailedImages() const { return static_cast<int>(m_failures.size()); }

private:
    // Puts the next number into the file name and uses it up.
    void FormName(const char* extension);
    // Uses up a number and reports the image when its file would be larger
    // than the limit.
    bool RefuseTooLarge(const char* extension, uint64_t fileBytes);
    // Starts the file of the current name; false after reporting it.
    bool OpenFile(OutputFile& file);
    // Keeps the file when it was dumped and written whole; else removes it
    // and reports why.
    void FinishFile(OutputFile& file, bool dumped, DumpKind kind);
    // Reports the current name on the core's error channel and records it.
    void Fail(const char* coreFormat, std::string reason);
    // Whether one more image of about this size may be dumped; the first
    // time a limit is met it is said.
    bool WithinLimits(uint64_t expectedBytes);
    // Whether the missing part of an image may be padded; else the reason
    // is kept for the failure.
    bool AllowPadding(uint64_t padding, uint64_t real, uint64_t total);
    std::string RefusalReason() const;
    void DumpRawJpeg(Stream* str);
    // Copies the bytes beneath the stream's last filter into a file of this
    // extension; the header and trailer, when given, frame them.
    void DumpStoredBytes(Stream* str, const char* extension, DumpKind kind);
    // Which stored form, if any, a kept-encoded image is copied in; its
    // extension, or null to decode it.
    const char* KeptExtension(Stream* str, GfxImageColorMap* colorMap, int width, int height,
                              bool inlineImg) const;
    void DumpCcittTiff(Stream* str, int width, int height);
    // Copies the stream's bytes into the file, adding their count to total;
    // false (the file abandoned, the failure recorded) past the size limit.
    bool CopyStored(Stream* raw, OutputFile& file, uint64_t& total);
    // Forms the image's name and dumps it into memory for the sink or into
    // its file. False when the file could not be opened, so nothing of the
    // image's data was read.
    template <typename Dump>
    bool DumpDecoded(const char* extension, DumpKind kind, bool inMemory,
                     DecodedImage::Layout layout, int width, int height, size_t expectedBytes,
                     Dump&& dump);
    // The image's drawing without its mask; a colour key gets a listing row.
    void DrawImage(Object* ref, Stream* str, int width, int height, GfxImageColorMap* colorMap,
                   bool inlineImg, bool maskColors);
    // Keeps the transparency read for the image in work, or says on the
    // core's channel why it could not be read.
    void TakeAlpha(std::vector<uint8_t> alpha, int width, int height, const std::string& why);
    // Writes the alpha of the image just written as a file beside it.
    void WriteAlphaFile();
    bool DumpPackedBits(DumpTarget& target, Stream* str, int width, int height, uint8_t xorMask,
                        bool inlineImg);
    bool DumpColours(DumpTarget& target, Stream* str, int width, int height,
                     GfxImageColorMap* colorMap, bool inlineImg, bool grey);

    // The number the referenced object had at its first draw, or -1 (and it
    // is now remembered) when there was none.
    int FirstNumberOf(const Object* ref);
    // For a listing: the row of an image about to take the next number.
    // False when a limit cut it (the row says so).
    bool ListImage(const Object* ref, Stream* str, int width, int height,
                   GfxImageColorMap* colorMap, bool inlineImg, ListedOutcome outcome,
                   const char* extension, uint64_t expectedBytes);
    void ListMask(ListedKind kind, Stream* imageStr, Stream* maskStr, int width, int height,
                  GfxImageColorMap* colorMap);
    // Whether a unique device passes over this draw (its number used up).
    bool SkipRepeat(int firstNumber, const char* extension);

    std::string m_fileRoot;
    std::string m_fileName;
    std::vector<ListedImage>* m_listing = nullptr;
    const NamePattern* m_pattern = nullptr;
    std::string m_title;
    int m_pageCount = 0;
    int m_object = -1; // of the image in work; -1 inline
    bool m_unique = false;
    bool m_keepEncoded = false;
    bool m_keepAlpha = false;
    std::vector<uint8_t> m_pendingAlpha; // of the image in work, at its size
    uint32_t m_alphaWidth = 0;
    uint32_t m_alphaHeight = 0;
    std::string m_alphaRefusal; // why the image in work has none
    int m_skippedRepeats = 0;
    int m_lastNumber = -1; // of the image drawn last, for its mask's row
    std::map<std::pair<int, int>, int> m_firstNumbers;
    bool m_jpegPassthrough;
    int m_imageCounter = 0;
    int m_page = 0;
    bool m_ok = true;
    uint64_t m_maxFileBytes;
    ImageSink* m_sink;
    DeviceLimits m_limits;
    int m_handed = 0;
    uint64_t m_dumpedBytes = 0;
    uint64_t m_paddingBytes = 0;
    bool m_limitReached = false;
    std::function<bool()> m_stopCheck;
    std::string m_refusal; // why the image in work was given up
    std::vector<DumpedFile> m_written;
    std::vector<ImageFailure> m_failures;
};

} // namespace talvore
