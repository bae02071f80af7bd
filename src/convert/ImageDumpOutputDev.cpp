#include "convert/ImageDumpOutputDev.h"

#include "convert/ExtractedImageConverter.h"
#include "convert/MaskAlpha.h"
#include "convert/OutputFile.h"
#include "image/CheckedMath.h"
#include "image/RasterImage.h"

#include <Error.h>
#include <GfxState.h>
#include <Object.h>
#include <Stream.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>
#include <utility>

namespace talvore {

// Where one image's bytes go while it is dumped: its intermediate file, or
// memory. Both can go back to a position, for a second pass through the
// core after the fast inflater gave up.
class DumpTarget {
public:
    virtual ~DumpTarget() = default;
    virtual bool Write(const void* data, size_t size) = 0;
    virtual bool Rewind(size_t position) = 0;
    virtual size_t Position() const = 0;
};

namespace {

constexpr size_t kCopyBlock = 64 * 1024;

// Reads and drops exactly `bytes` decoded bytes. An inline image's data must
// be read completely, or the content parser hunts for "EI" inside it; its
// stream does not end at the image's end, so "until end of stream" would eat
// the rest of the page.
void ConsumeInlineData(Stream* str, uint64_t bytes) {
    std::array<unsigned char, kCopyBlock> buffer;
    str->reset();
    while (bytes > 0) {
        const int want = static_cast<int>(std::min<uint64_t>(bytes, buffer.size()));
        const int got = str->doGetChars(want, buffer.data());
        if (got <= 0)
            break;
        bytes -= static_cast<uint64_t>(got);
    }
    str->close();
}

uint64_t PackedDataBytes(int width, int comps, int bits, int height) {
    uint64_t rowBits = 0, rowBytes = 0, total = 0;
    if (!CheckedMul(uint64_t(width), uint64_t(comps) * uint64_t(bits), &rowBits))
        return UINT64_MAX;
    rowBytes = rowBits / 8 + (rowBits % 8 != 0);
    if (!CheckedMul(rowBytes, uint64_t(height), &total))
        return UINT64_MAX;
    return total;
}

// The core's own inflater is several times slower than zlib. The bytes
// beneath a Flate filter without predictor go through zlib instead; any
// complaint from zlib (a bad header, bad data, data ending before the
// deflate end, a bad checksum) sends the image back through the core's
// stream from the start, so the file comes out the same byte for byte.
class FastInflate {
public:
    // Inline data is left to the core: zlib would read past the image.
    static bool Applies(Stream* str, bool inlineImg) {
        if (inlineImg || str->getKind() != strFlate || !str->getNextStream())
            return false;
        Dict* dict = str->getDict();
        if (!dict)
            return false;
        return dict->lookup("DecodeParms").isNull() && dict->lookup("DP").isNull();
    }

    explicit FastInflate(Stream* flate)
        : m_below(flate->getNextStream()), m_input(new unsigned char[kCopyBlock]) {
        m_below->reset();
        m_failed = inflateInit(&m_z) != Z_OK;
    }
    ~FastInflate() {
        inflateEnd(&m_z);
        m_below->close();
    }
    FastInflate(const FastInflate&) = delete;
    FastInflate& operator=(const FastInflate&) = delete;

    // Up to size decoded bytes; fewer only at the end of the data.
    size_t Read(unsigned char* out, size_t size) {
        m_z.next_out = out;
        m_z.avail_out = static_cast<uInt>(size);
        while (m_z.avail_out > 0 && !m_end && !m_failed) {
            if (m_z.avail_in == 0) {
                const int got = m_below->doGetChars(static_cast<int>(kCopyBlock), m_input.get());
                if (got <= 0) {
                    m_failed = true; // the data ends before the deflate end
                    break;
                }
                m_z.next_in = m_input.get();
                m_z.avail_in = static_cast<uInt>(got);
            }
            const int result = inflate(&m_z, Z_NO_FLUSH);
            if (result == Z_STREAM_END) {
                m_end = true;
            } else if (result != Z_OK && result != Z_BUF_ERROR) {
                m_failed = true;
            }
        }
        return size - m_z.avail_out;
    }
    bool Failed() const { return m_failed; }

private:
    Stream* m_below;
    std::unique_ptr<unsigned char[]> m_input;
    z_stream m_z{};
    bool m_end = false;
    bool m_failed = false;
};

std::string LimitText(uint64_t limit) {
    return "the file would exceed the limit of " + std::to_string(limit) + " bytes";
}

uint8_t ToByte(GfxColorComp component) {
    // The core's components are fixed point; the file takes c * 255 + 0.5
    // with the fraction dropped, computed on the real value.
    const double value = colToDbl(component) * 255.0 + 0.5;
    if (value <= 0)
        return 0;
    if (value >= 255)
        return 255;
    return static_cast<uint8_t>(value);
}

class FileTarget : public DumpTarget {
public:
    explicit FileTarget(FILE* stream) : m_stream(stream) {}
    bool Write(const void* data, size_t size) override {
        m_position += size;
        return std::fwrite(data, 1, size, m_stream) == size;
    }
    bool Rewind(size_t position) override {
        m_position = position;
        return std::fflush(m_stream) == 0 &&
               ftruncate(fileno(m_stream), static_cast<off_t>(position)) == 0 &&
               std::fseek(m_stream, static_cast<long>(position), SEEK_SET) == 0;
    }
    size_t Position() const override { return m_position; }

private:
    FILE* m_stream;
    size_t m_position = 0;
};

class MemoryTarget : public DumpTarget {
public:
    MemoryTarget(std::vector<uint8_t>& bytes, size_t expected) : m_bytes(bytes) {
        m_bytes.reserve(expected);
    }
    bool Write(const void* data, size_t size) override {
        const auto* bytes = static_cast<const uint8_t*>(data);
        m_bytes.insert(m_bytes.end(), bytes, bytes + size);
        return true;
    }
    bool Rewind(size_t position) override {
        m_bytes.resize(std::min(position, m_bytes.size()));
        return true;
    }
    size_t Position() const override { return m_bytes.size(); }

private:
    std::vector<uint8_t>& m_bytes;
};

bool WriteText(DumpTarget& target, const char* format, int width, int height) {
    char text[64];
    const int length = std::snprintf(text, sizeof text, format, width, height);
    return length > 0 && target.Write(text, static_cast<size_t>(length));
}

// How a non-stencil image is dumped.
enum class Form {
    Pbm, // its packed bits, exclusive-ored with the mask
    Ppm, // RGB through the colour map
};

// What the colour map makes of each value of a 1-component pixel, and of
// each component of a DeviceRGB pixel: exact tables, since the core
// converts those without regard to the other components.
struct ColourTable {
    enum class Path { Table1, TableRgb, PerPixel } path = Path::PerPixel;
    std::array<std::array<uint8_t, 3>, 256> entries{};
    // Every entry a grey: the picture is grey whatever its pixels.
    bool grey = false;
};

ColourTable MakeColourTable(GfxImageColorMap* colorMap) {
    ColourTable table;
    const int comps = colorMap->getNumPixelComps();
    const int bits = colorMap->getBits();
    if (bits < 1 || bits > 8 ||
        !(comps == 1 || (comps == 3 && colorMap->getColorSpace()->getMode() == csDeviceRGB)))
        return table;
    const int values = 1 << bits;
    table.grey = comps == 1;
    for (int v = 0; v < values; ++v) {
        const unsigned char pixel[3] = {static_cast<unsigned char>(v),
                                        static_cast<unsigned char>(v),
                                        static_cast<unsigned char>(v)};
        GfxRGB rgb;
        colorMap->getRGB(pixel, &rgb);
        table.entries[v] = {ToByte(rgb.r), ToByte(rgb.g), ToByte(rgb.b)};
        table.grey = table.grey && table.entries[v][0] == table.entries[v][1] &&
                     table.entries[v][1] == table.entries[v][2];
    }
    table.path = comps == 1 ? ColourTable::Path::Table1 : ColourTable::Path::TableRgb;
    return table;
}

// The core's library does not export the type information of its colour
// space and stream classes, so nothing here casts down to them (the
// sanitizer's check of such a cast would not link): what they hold is read
// from the stream's dictionary.

// The entry of a filter's parameters in a dictionary whose /Filter may be
// an array.
Object FilterParameters(Stream* str, const char* filter) {
    Dict* dict = str->getDict();
    if (dict == nullptr)
        return Object(objNull);
    Object filters = dict->lookup("Filter");
    Object parameters = dict->lookup("DecodeParms");
    if (filters.isNull()) {
        filters = dict->lookup("F");
        parameters = dict->lookup("DP");
    }
    if (filters.isArray()) {
        for (int i = 0; i < filters.arrayGetLength(); ++i) {
            const Object name = filters.arrayGet(i);
            if (name.isName(filter))
                return parameters.isArray() && i < parameters.arrayGetLength()
                           ? parameters.arrayGet(i)
                           : Object(objNull);
        }
        return Object(objNull);
    }
    return parameters;
}

struct FaxParameters {
    int K = 0;
    int Columns = 1728;
    bool ByteAlign = false;
    bool EndOfLine = false;
    bool BlackIs1 = false;
};

FaxParameters ParametersOfFax(Stream* str) {
    FaxParameters fax;
    Object parameters = FilterParameters(str, "CCITTFaxDecode");
    if (parameters.isNull())
        parameters = FilterParameters(str, "CCF");
    if (!parameters.isDict())
        return fax;
    auto integer = [&](const char* key, int fallback) {
        const Object value = parameters.dictLookup(key);
        return value.isInt() ? value.getInt() : fallback;
    };
    auto boolean = [&](const char* key) {
        const Object value = parameters.dictLookup(key);
        return value.isBool() && value.getBool();
    };
    fax.K = integer("K", 0);
    fax.Columns = integer("Columns", 1728);
    fax.ByteAlign = boolean("EncodedByteAlign");
    fax.EndOfLine = boolean("EndOfLine");
    fax.BlackIs1 = boolean("BlackIs1");
    return fax;
}

// The base and the highest index of an Indexed colour space written out in
// the dictionary; "Indexed" alone when it is named from the resources.
std::string DescribeIndexed(Stream* str) {
    Dict* dict = str->getDict();
    if (dict == nullptr)
        return "Indexed";
    Object space = dict->lookup("ColorSpace");
    if (space.isNull())
        space = dict->lookup("CS");
    if (!space.isArray() || space.arrayGetLength() < 3)
        return "Indexed";
    Object base = space.arrayGet(1);
    if (base.isArray() && base.arrayGetLength() > 0)
        base = base.arrayGet(0);
    const Object high = space.arrayGet(2);
    std::string name = "Indexed";
    // Appended one by one: " " + a temporary meets GCC 12's -Wrestrict
    // false positive at -O3.
    if (base.isName()) {
        name += ' ';
        name += base.getName();
    }
    if (high.isInt()) {
        name += ' ';
        name += std::to_string(high.getInt());
    }
    return name;
}

std::string DescribeColourSpace(GfxColorSpace* space, Stream* str) {
    if (space->getMode() == csIndexed)
        return DescribeIndexed(str);
    return GfxColorSpace::getColorSpaceModeName(space->getMode());
}
// The stream's filters in decoding order, as the dictionary names them.
std::string FilterChain(Stream* str) {
    Dict* dict = str->getDict();
    if (dict == nullptr)
        return {};
    Object filter = dict->lookup("Filter");
    if (filter.isNull())
        filter = dict->lookup("F"); // inline images abbreviate
    if (filter.isName())
        return filter.getName();
    std::string chain;
    if (filter.isArray()) {
        for (int i = 0; i < filter.arrayGetLength(); ++i) {
            const Object name = filter.arrayGet(i);
            if (!name.isName())
                continue;
            if (!chain.empty())
                chain += ' ';
            chain += name.getName();
        }
    }
    return chain;
}

// The pixel area RasterImage would allocate for the intermediate file is
// within its limit: only then is it worth holding in memory.
// A listing row's picture of the samples; a stencil (no colour map) is one
// bit of one component.
void DescribePixels(ListedImage& row, Stream* str, int width, int height,
                    GfxImageColorMap* colorMap) {
    row.Width = width;
    row.Height = height;
    row.Components = colorMap ? colorMap->getNumPixelComps() : 1;
    row.Bits = colorMap ? colorMap->getBits() : 1;
    if (colorMap)
        row.ColourSpace = DescribeColourSpace(colorMap->getColorSpace(), str);
    row.Filters = FilterChain(str);
}

bool FitsRasterLimit(int width, int height, uint64_t bits) {
    uint64_t area = 0;
    return CheckedMul(uint64_t(width) * uint64_t(height), bits, &area) &&
           area / 8 <= RASTER_MAX_MEMORY;
}

} // namespace

ImageSink::~ImageSink() = default;

ImageDumpOutputDev::ImageDumpOutputDev(std::string fileRoot, bool jpegPassthrough,
                                       uint64_t maxFileBytes, ImageSink* sink)
    : m_fileRoot(std::move(fileRoot)), m_jpegPassthrough(jpegPassthrough),
      m_maxFileBytes(maxFileBytes), m_sink(sink) {
    m_fileName.reserve(m_fileRoot.size() + 20);
}

ImageDumpOutputDev::~ImageDumpOutputDev() = default;

void ImageDumpOutputDev::FormName(const char* extension) {
    m_fileName = m_fileRoot;
    if (m_pattern) {
        m_fileName += m_pattern->Expand(m_title, m_page, m_pageCount, m_imageCounter, m_object);
    } else {
        char number[16];
        std::snprintf(number, sizeof number, "-%03d", m_imageCounter);
        m_fileName += number;
    }
    m_fileName += extension;
    ++m_imageCounter;
}

void ImageDumpOutputDev::Fail(const char* coreFormat, std::string reason) {
    error(errIO, -1, coreFormat, m_fileName.c_str());
    m_failures.push_back({m_imageCounter - 1, m_fileName, std::move(reason)});
}

bool ImageDumpOutputDev::RefuseTooLarge(const char* extension, uint64_t fileBytes) {
    if (fileBytes <= m_maxFileBytes)
        return false;
    FormName(extension);
    error(errIO, -1, "Image file '{0:s}' would exceed the limit of {1:ulld} bytes; image skipped",
          m_fileName.c_str(), static_cast<unsigned long long>(m_maxFileBytes));
    m_failures.push_back({m_imageCounter - 1, m_fileName, LimitText(m_maxFileBytes)});
    return true;
}

bool ImageDumpOutputDev::AllowPadding(uint64_t padding, uint64_t real, uint64_t total) {
    // A damaged scan that lost its last rows still comes out; an image that
    // is mostly missing does not, and neither does one more than the
    // document's share of padding allows.
    if (padding <= std::max(real, IMAGE_PADDING_FLOOR) &&
        m_paddingBytes + padding <= m_limits.MaxPaddingBytes) {
        m_paddingBytes += padding;
        return true;
    }
    m_refusal = "its data ends after " + std::to_string(real) + " of " + std::to_string(total) +
                " bytes, too little to pad the rest";
    return false;
}

std::string ImageDumpOutputDev::RefusalReason() const {
    return m_refusal.empty() ? std::string("the image data cannot be decoded") : m_refusal;
}

bool ImageDumpOutputDev::WithinLimits(uint64_t expectedBytes) {
    if (m_limitReached)
        return false;
    std::string cut;
    if (static_cast<uint64_t>(m_imageCounter) >= m_limits.MaxImages) {
        cut = "the document reached the limit of " + std::to_string(m_limits.MaxImages) +
              " images; the images after it were not extracted";
    } else if (m_dumpedBytes + std::min(expectedBytes, m_limits.MaxBytes) > m_limits.MaxBytes) {
        cut = "the document reached the limit of " + std::to_string(m_limits.MaxBytes) +
              " bytes of images; the images from here on were not extracted";
    } else {
        return true;
    }
    m_limitReached = true;
    error(errIO, -1, "{0:s}", cut.c_str());
    m_failures.push_back({m_imageCounter, m_fileRoot, cut});
    return false;
}

bool ImageDumpOutputDev::OpenFile(OutputFile& file) {
    if (file.Create(m_fileName))
        return true;
    Fail("Couldn't open image file '{0:s}'", file.Error());
    return false;
}

void ImageDumpOutputDev::FinishFile(OutputFile& file, bool dumped, DumpKind kind) {
    // A failed write leaves the stream's error set, for the commit to say
    // why; without one the data itself was at fault.
    if (!dumped && !std::ferror(file.Stream())) {
        file.Abandon();
        Fail("Couldn't write image file '{0:s}'", RefusalReason());
        return;
    }
    if (!file.Commit()) {
        Fail("Couldn't write image file '{0:s}'", file.Error());
        return;
    }
    m_written.push_back({m_fileName, kind, m_imageCounter - 1, m_page});
    WriteAlphaFile();
}

int ImageDumpOutputDev::WrittenImages() const {
    return static_cast<int>(std::count_if(m_written.begin(), m_written.end(),
                                          [](const auto& f) { return f.Kind != DumpKind::Alpha; }));
}

void ImageDumpOutputDev::TakeAlpha(std::vector<uint8_t> alpha, int width, int height,
                                   const std::string& why) {
    m_pendingAlpha = std::move(alpha);
    m_alphaWidth = static_cast<uint32_t>(width);
    m_alphaHeight = static_cast<uint32_t>(height);
    m_alphaRefusal = m_pendingAlpha.empty() ? why : std::string();
}

void ImageDumpOutputDev::WriteAlphaFile() {
    if (m_pendingAlpha.empty())
        return;
    const std::vector<uint8_t> alpha = std::move(m_pendingAlpha);
    m_pendingAlpha.clear();
    const std::string path = AlphaPath(m_fileName, ".pgm");
    // Bound as the image files are: a bilevel image's plane is eight times
    // its file.
    if (alpha.size() + 32 > m_maxFileBytes) {
        error(errIO, -1,
              "Image file '{0:s}' would exceed the limit of {1:ulld} bytes; image skipped",
              path.c_str(), static_cast<unsigned long long>(m_maxFileBytes));
        m_failures.push_back({m_imageCounter - 1, path, LimitText(m_maxFileBytes)});
        return;
    }
    OutputFile file;
    if (!file.Create(path)) {
        error(errIO, -1, "Couldn't open image file '{0:s}'", path.c_str());
        m_failures.push_back({m_imageCounter - 1, path, file.Error()});
        return;
    }
    std::fprintf(file.Stream(), "P5\n%u %u\n255\n", m_alphaWidth, m_alphaHeight);
    std::fwrite(alpha.data(), 1, alpha.size(), file.Stream());
    if (!file.Commit()) {
        error(errIO, -1, "Couldn't write image file '{0:s}'", path.c_str());
        m_failures.push_back({m_imageCounter - 1, path, file.Error()});
        return;
    }
    m_written.push_back({path, DumpKind::Alpha, m_imageCounter - 1, m_page});
}

void ImageDumpOutputDev::DumpRawJpeg(Stream* str) {
    DumpStoredBytes(str, ".jpg", DumpKind::Jpeg);
}

const char* ImageDumpOutputDev::KeptExtension(Stream* str, GfxImageColorMap* colorMap, int width,
                                              int height, bool inlineImg) const {
    if (!m_keepEncoded || inlineImg || colorMap == nullptr)
        return nullptr;
    // A copy would show the stored samples, not what the Decode array makes
    // of them.
    for (int i = 0; i < colorMap->getNumPixelComps(); ++i) {
        if (colorMap->getDecodeLow(i) > colorMap->getDecodeHigh(i))
            return nullptr;
    }
    const int comps = colorMap->getNumPixelComps();
    switch (str->getKind()) {
    case strDCT:
        return comps == 1 || comps == 3 || comps == 4 ? ".jpg" : nullptr;
    case strJPX: {
        // A JP2 file starts with its signature box; else a bare codestream.
        Stream* raw = str->getNextStream();
        if (!raw)
            return nullptr;
        unsigned char head[12] = {};
        raw->reset();
        const int got = raw->doGetChars(sizeof head, head);
        raw->close();
        static const unsigned char kSignature[12] = {0,   0,   0,    12,   'j',  'P',
                                                     ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A};
        return got == 12 && std::memcmp(head, kSignature, 12) == 0 ? ".jp2" : ".j2k";
    }
    case strCCITTFax: {
        const GfxColorSpaceMode mode = colorMap->getColorSpace()->getMode();
        const FaxParameters fax = ParametersOfFax(str);
        // What a TIFF cannot say is decoded: rows aligned to bytes without
        // end-of-line codes, and a width other than the image's.
        if (comps != 1 || colorMap->getBits() != 1 || (mode != csDeviceGray && mode != csCalGray) ||
            fax.Columns != width || height <= 0 || (fax.ByteAlign && (fax.K < 0 || !fax.EndOfLine)))
            return nullptr;
        return ".tif";
    }
    default:
        return nullptr;
    }
}

void ImageDumpOutputDev::DumpCcittTiff(Stream* str, int width, int height) {
    const FaxParameters fax = ParametersOfFax(str);
    FormName(".tif");
    OutputFile file;
    if (!OpenFile(file))
        return;
    Stream* raw = str->getNextStream();
    if (!raw) {
        FinishFile(file, false, DumpKind::Stored);
        return;
    }
    std::FILE* out = file.Stream();
    // The header points at the directory, which follows the data.
    unsigned char header[8] = {'I', 'I', 42, 0, 0, 0, 0, 0};
    std::fwrite(header, 1, sizeof header, out);
    uint64_t total = 0;
    if (!CopyStored(raw, file, total))
        return;
    if (total & 1)
        std::fputc(0, out); // the directory starts on a word boundary
    const uint32_t directory = static_cast<uint32_t>(8 + total + (total & 1));
    const int k = fax.K;
    // T4Options: 2-D coding when K > 0, fill bits before each end of line
    // when rows are byte-aligned.
    const uint32_t t4 = (k > 0 ? 1u : 0u) | (fax.ByteAlign ? 4u : 0u);
    struct Entry {
        uint16_t Tag, Type;
        uint32_t Value;
    };
    const Entry entries[] = {
        {256, 4, static_cast<uint32_t>(width)},
        {257, 4, static_cast<uint32_t>(height)},
        {258, 3, 1},
        {259, 3, k < 0 ? 4u : 3u},
        // The coded runs are white and black; which one shows as black in
        // the PDF depends on BlackIs1.
        {262, 3, fax.BlackIs1 ? 1u : 0u},
        {273, 4, 8},
        {277, 3, 1},
        {278, 4, static_cast<uint32_t>(height)},
        {279, 4, static_cast<uint32_t>(total)},
        {k < 0 ? uint16_t{293} : uint16_t{292}, 4, k < 0 ? 0u : t4},
    };
    unsigned char ifd[2 + sizeof entries / sizeof entries[0] * 12 + 4];
    size_t at = 0;
    auto put16 = [&](uint32_t v) {
        ifd[at++] = static_cast<unsigned char>(v);
        ifd[at++] = static_cast<unsigned char>(v >> 8);
    };
    auto put32 = [&](uint32_t v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    put16(std::size(entries));
    for (const Entry& entry : entries) {
        put16(entry.Tag);
        put16(entry.Type);
        put32(1);
        if (entry.Type == 3) {
            put16(entry.Value);
            put16(0);
        } else {
            put32(entry.Value);
        }
    }
    put32(0); // no further directory
    std::fwrite(ifd, 1, at, out);
    if (std::fseek(out, 4, SEEK_SET) == 0) {
        const unsigned char offset[4] = {static_cast<unsigned char>(directory),
                                         static_cast<unsigned char>(directory >> 8),
                                         static_cast<unsigned char>(directory >> 16),
                                         static_cast<unsigned char>(directory >> 24)};
        std::fwrite(offset, 1, sizeof offset, out);
    }
    m_dumpedBytes += total;
    FinishFile(file, total > 0 && total <= UINT32_MAX - 16, DumpKind::Stored);
}

void ImageDumpOutputDev::DumpStoredBytes(Stream* str, const char* extension, DumpKind kind) {
    FormName(extension);
    OutputFile file;
    if (!OpenFile(file))
        return;
    Stream* raw = str->getNextStream();
    if (!raw) {
        FinishFile(file, false, kind);
        return;
    }
    uint64_t total = 0;
    if (!CopyStored(raw, file, total))
        return;
    m_dumpedBytes += total;
    FinishFile(file, true, kind);
}

bool ImageDumpOutputDev::CopyStored(Stream* raw, OutputFile& file, uint64_t& total) {
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kCopyBlock]);
    raw->reset();
    for (;;) {
        const int got = raw->doGetChars(static_cast<int>(kCopyBlock), buffer.get());
        if (got <= 0)
            break;
        total += static_cast<uint64_t>(got);
        if (total > m_maxFileBytes) {
            // Only a decompressing filter beneath the copied one gets here
            // (a bomb).
            raw->close();
            file.Abandon();
            error(errIO, -1,
                  "Image file '{0:s}' would exceed the limit of {1:ulld} bytes; image skipped",
                  m_fileName.c_str(), static_cast<unsigned long long>(m_maxFileBytes));
            m_failures.push_back({m_imageCounter - 1, m_fileName, LimitText(m_maxFileBytes)});
            return false;
        }
        static_cast<void>(std::fwrite(buffer.get(), 1, static_cast<size_t>(got), file.Stream()));
    }
    raw->close();
    return true;
}

bool ImageDumpOutputDev::DumpPackedBits(DumpTarget& target, Stream* str, int width, int height,
                                        uint8_t xorMask, bool inlineImg) {
    const size_t rowBytes = (static_cast<size_t>(width) + 7) / 8;
    const uint64_t total = uint64_t(rowBytes) * uint64_t(height); // checked by the caller
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kCopyBlock]);
    if (!WriteText(target, "P4\n%d %d\n", width, height))
        return false;
    const size_t dataStart = target.Position();
    bool ok = true;

    // Copies what the stream holds, up to the image's size; answers how much.
    auto copy = [&](auto&& read) {
        uint64_t copied = 0;
        while (copied < total && ok) {
            const size_t want = static_cast<size_t>(std::min<uint64_t>(total - copied, kCopyBlock));
            const size_t got = read(buffer.get(), want);
            if (xorMask != 0) {
                for (size_t i = 0; i < got; ++i)
                    buffer[i] ^= xorMask;
            }
            ok = target.Write(buffer.get(), got);
            copied += got;
            if (got < want)
                break;
        }
        return copied;
    };

    uint64_t copied = 0;
    bool done = false;
    if (FastInflate::Applies(str, inlineImg)) {
        bool failed = false;
        {
            FastInflate inflater(str);
            copied =
                copy([&](unsigned char* out, size_t size) { return inflater.Read(out, size); });
            failed = inflater.Failed();
        }
        done = !failed || !ok;
        if (!done && !target.Rewind(dataStart))
            return false;
    }
    if (!done) {
        str->reset();
        copied = copy([&](unsigned char* out, size_t size) {
            const int n = str->doGetChars(static_cast<int>(size), out);
            return n > 0 ? static_cast<size_t>(n) : size_t{0};
        });
        str->close();
    }
    if (!ok || copied == total)
        return ok;
    // What a missing byte becomes: end of stream exclusive-ored with the mask.
    if (!AllowPadding(total - copied, copied, total))
        return false;
    std::memset(buffer.get(), 0xFF ^ xorMask, kCopyBlock);
    for (uint64_t left = total - copied; left > 0 && ok;) {
        const size_t block = static_cast<size_t>(std::min<uint64_t>(left, kCopyBlock));
        ok = target.Write(buffer.get(), block);
        left -= block;
    }
    return ok;
}

bool ImageDumpOutputDev::DumpColours(DumpTarget& target, Stream* str, int width, int height,
                                     GfxImageColorMap* colorMap, bool inlineImg, bool grey) {
    const int comps = colorMap->getNumPixelComps();
    const int bits = colorMap->getBits();
    // Grey pictures in memory keep one sample a pixel; the file has three.
    const ColourTable table = MakeColourTable(colorMap);
    const size_t outBytes = grey ? 1 : 3;
    if (!grey && !WriteText(target, "P6\n%d %d\n255\n", width, height))
        return false;
    const size_t dataStart = target.Position();
    const size_t rowBytes = static_cast<size_t>(width) * outBytes;
    const size_t lineBytes = static_cast<size_t>(width) * static_cast<size_t>(comps);
    // The row buffers here and in the core's image stream come from the
    // image's declared width alone.
    if (std::max(rowBytes, lineBytes) > IMAGE_ROW_MAX_BYTES) {
        m_refusal = "its rows of " + std::to_string(std::max(rowBytes, lineBytes)) +
                    " bytes are beyond the limit of " + std::to_string(IMAGE_ROW_MAX_BYTES);
        return false;
    }
    const uint64_t totalBytes = uint64_t(rowBytes) * uint64_t(height);
    // Once the data has ended, the rest of the rows are padding: allowed only
    // within bounds, so a few bytes cannot fill a disk.
    auto paddingFrom = [&](int row) {
        const uint64_t real = uint64_t(row) * rowBytes;
        return AllowPadding(totalBytes - real, real, totalBytes);
    };

    std::unique_ptr<uint8_t[]> row(new uint8_t[rowBytes]);
    auto convertRow = [&](const unsigned char* line) {
        uint8_t* out = row.get();
        if (grey) {
            for (int x = 0; x < width; ++x)
                out[x] = table.entries[line[x]][0];
        } else if (table.path == ColourTable::Path::Table1) {
            for (int x = 0; x < width; ++x, out += 3)
                std::memcpy(out, table.entries[line[x]].data(), 3);
        } else {
            for (int x = 0; x < width; ++x, out += 3, line += 3) {
                out[0] = table.entries[line[0]][0];
                out[1] = table.entries[line[1]][1];
                out[2] = table.entries[line[2]][2];
            }
        }
    };

    // 8-bit samples are the decoded bytes themselves, row after row; a
    // missing byte reads as end of stream (0xFF), as the core's image
    // stream has it.
    if (bits == 8 && table.path != ColourTable::Path::PerPixel &&
        FastInflate::Applies(str, inlineImg)) {
        std::unique_ptr<unsigned char[]> line(new unsigned char[lineBytes]);
        bool failed = false;
        bool written = true;
        bool ended = false;
        {
            FastInflate inflater(str);
            for (int y = 0; y < height && !failed && written; ++y) {
                const size_t got = ended ? 0 : inflater.Read(line.get(), lineBytes);
                failed = inflater.Failed();
                if (got < lineBytes && !ended && !failed) {
                    ended = true;
                    if (!paddingFrom(got > 0 ? y + 1 : y))
                        return false;
                }
                std::memset(line.get() + got, 0xFF, lineBytes - got);
                convertRow(line.get());
                written = target.Write(row.get(), rowBytes);
            }
        }
        if (!failed || !written)
            return written;
        if (!target.Rewind(dataStart))
            return false;
    }

    ImageStream image(str, width, comps, bits);
    image.reset();
    std::array<unsigned char, gfxColorMaxComps> last{};
    std::array<uint8_t, 3> lastRgb{};
    bool haveLast = false;
    bool ok = true;
    bool ended = false;
    for (int y = 0; y < height && ok; ++y) {
        const unsigned char* line = image.getLine();
        if (!line) {
            // The core could not set up the row buffers (absurd width).
            ok = false;
            break;
        }
        if (!ended && y + 1 < height && str->lookChar() == EOF) {
            ended = true;
            if (!paddingFrom(y + 1)) {
                ok = false;
                break;
            }
        }
        uint8_t* out = row.get();
        if (table.path != ColourTable::Path::PerPixel) {
            convertRow(line);
        } else {
            for (int x = 0; x < width; ++x, out += 3, line += comps) {
                // Runs of one colour are common; the conversion is not cheap.
                if (!haveLast || std::memcmp(line, last.data(), static_cast<size_t>(comps)) != 0) {
                    GfxRGB rgb;
                    colorMap->getRGB(line, &rgb);
                    lastRgb = {ToByte(rgb.r), ToByte(rgb.g), ToByte(rgb.b)};
                    std::memcpy(last.data(), line, static_cast<size_t>(comps));
                    haveLast = true;
                }
                std::memcpy(out, lastRgb.data(), 3);
            }
        }
        ok = target.Write(row.get(), rowBytes);
    }
    image.close();
    return ok;
}

template <typename Dump>
bool ImageDumpOutputDev::DumpDecoded(const char* extension, DumpKind kind, bool inMemory,
                                     DecodedImage::Layout layout, int width, int height,
                                     size_t expectedBytes, Dump&& dump) {
    FormName(extension);
    m_refusal.clear();
    if (inMemory) {
        DecodedImage image;
        image.Number = m_imageCounter - 1;
        image.Page = m_page;
        image.IntermediatePath = m_fileName;
        image.Kind = layout;
        image.Width = static_cast<uint32_t>(width);
        image.Height = static_cast<uint32_t>(height);
        MemoryTarget target(image.Bytes, expectedBytes);
        if (!dump(target)) {
            Fail("Couldn't write image file '{0:s}'", RefusalReason());
            return true;
        }
        image.Alpha = std::move(m_pendingAlpha);
        m_pendingAlpha.clear();
        ++m_handed;
        m_dumpedBytes += image.Bytes.size();
        m_sink->Accept(std::move(image));
        return true;
    }
    OutputFile file;
    if (!OpenFile(file))
        return false;
    FileTarget target(file.Stream());
    const bool dumped = dump(target);
    if (dumped)
        m_dumpedBytes += target.Position();
    FinishFile(file, dumped, kind);
    return true;
}

int ImageDumpOutputDev::FirstNumberOf(const Object* ref) {
    m_object = ref != nullptr && ref->isRef() ? ref->getRef().num : -1;
    if (m_object < 0)
        return -1;
    const auto [at, fresh] =
        m_firstNumbers.try_emplace({ref->getRef().num, ref->getRef().gen}, m_imageCounter);
    return fresh ? -1 : at->second;
}

bool ImageDumpOutputDev::SkipRepeat(int firstNumber, const char* extension) {
    if (!m_unique || firstNumber < 0)
        return false;
    FormName(extension);
    ++m_skippedRepeats;
    return true;
}

bool ImageDumpOutputDev::ListImage(const Object* ref, Stream* str, int width, int height,
                                   GfxImageColorMap* colorMap, bool inlineImg,
                                   ListedOutcome outcome, const char* extension,
                                   uint64_t expectedBytes) {
    const int firstNumber = FirstNumberOf(ref);
    ListedImage row;
    row.Page = m_page;
    row.Kind = colorMap ? ListedKind::Image : ListedKind::StencilMask;
    row.Inline = inlineImg;
    if (ref != nullptr && ref->isRef()) {
        row.Object = ref->getRef().num;
        row.Generation = ref->getRef().gen;
    }
    DescribePixels(row, str, width, height, colorMap);
    if (!inlineImg)
        row.StoredBytes = str->getBaseStream()->getLength();
    row.RepeatOf = firstNumber;
    m_lastNumber = -1;
    if (!WithinLimits(expectedBytes)) {
        row.Outcome = ListedOutcome::Cut;
    } else {
        FormName(extension);
        row.Number = m_imageCounter - 1;
        m_lastNumber = row.Number;
        if (m_unique && firstNumber >= 0) {
            row.Outcome = ListedOutcome::Repeat;
        } else {
            row.Outcome = outcome;
            row.Path = m_fileName;
            m_dumpedBytes += expectedBytes;
        }
    }
    m_listing->push_back(std::move(row));
    if (inlineImg)
        ConsumeInlineData(str, PackedDataBytes(width, colorMap ? colorMap->getNumPixelComps() : 1,
                                               colorMap ? colorMap->getBits() : 1, height));
    return m_lastNumber >= 0;
}

void ImageDumpOutputDev::ListMask(ListedKind kind, Stream* imageStr, Stream* maskStr, int width,
                                  int height, GfxImageColorMap* colorMap) {
    ListedImage row;
    row.Page = m_page;
    row.Kind = kind;
    row.MaskOf = m_lastNumber;
    if (kind == ListedKind::ColourKey) {
        row.Width = width;
        row.Height = height;
    } else {
        if (Dict* dict = imageStr->getDict()) {
            const Object& ref = dict->lookupNF(kind == ListedKind::SoftMask ? "SMask" : "Mask");
            if (ref.isRef()) {
                row.Object = ref.getRef().num;
                row.Generation = ref.getRef().gen;
            }
        }
        DescribePixels(row, maskStr, width, height, colorMap);
        row.StoredBytes = maskStr->getBaseStream()->getLength();
    }
    row.Outcome = ListedOutcome::NotWritten;
    // The image's row is the last one; its alpha goes where its file goes.
    const ListedImage* image = m_listing->empty() ? nullptr : &m_listing->back();
    const bool written = image != nullptr && image->Number == m_lastNumber && !image->Path.empty();
    if (m_keepAlpha && written && !(kind == ListedKind::ColourKey && image->Inline)) {
        row.Outcome = ListedOutcome::Alpha;
        row.Path = AlphaPath(image->Path, ".pgm");
    }
    m_listing->push_back(std::move(row));
}

void ImageDumpOutputDev::drawMaskedImage(GfxState*, Object* ref, Stream* str, int width, int height,
                                         GfxImageColorMap* colorMap, bool, Stream* maskStr,
                                         int maskWidth, int maskHeight, bool maskInvert, bool) {
    if (m_keepAlpha && !m_listing) {
        std::string why;
        std::vector<uint8_t> alpha =
            StencilMaskAlpha(maskStr, maskWidth, maskHeight, maskInvert, width, height, &why);
        TakeAlpha(std::move(alpha), width, height, why);
    }
    DrawImage(ref, str, width, height, colorMap, false, false);
    if (m_listing)
        ListMask(ListedKind::ExplicitMask, str, maskStr, maskWidth, maskHeight, nullptr);
}

void ImageDumpOutputDev::drawSoftMaskedImage(GfxState*, Object* ref, Stream* str, int width,
                                             int height, GfxImageColorMap* colorMap, bool,
                                             Stream* maskStr, int maskWidth, int maskHeight,
                                             GfxImageColorMap* maskColorMap, bool) {
    if (m_keepAlpha && !m_listing) {
        std::string why;
        std::vector<uint8_t> alpha =
            SoftMaskAlpha(maskStr, maskWidth, maskHeight, maskColorMap, width, height, &why);
        TakeAlpha(std::move(alpha), width, height, why);
    }
    DrawImage(ref, str, width, height, colorMap, false, false);
    if (m_listing)
        ListMask(ListedKind::SoftMask, str, maskStr, maskWidth, maskHeight, maskColorMap);
}

void ImageDumpOutputDev::drawImageMask(GfxState*, Object* ref, Stream* str, int width, int height,
                                       bool, bool, bool inlineImg) {
    const uint64_t data = PackedDataBytes(width, 1, 1, height);
    const bool passthrough = m_jpegPassthrough && str->getKind() == strDCT && !inlineImg;
    if (m_listing) {
        ListImage(ref, str, width, height, nullptr, inlineImg,
                  passthrough ? ListedOutcome::Jpeg : ListedOutcome::Pbm,
                  passthrough ? ".jpg" : ".pbm", passthrough ? 0 : data);
        return;
    }
    const int firstNumber = FirstNumberOf(ref);
    if (!WithinLimits(m_jpegPassthrough && str->getKind() == strDCT ? 0 : data)) {
        if (inlineImg)
            ConsumeInlineData(str, data);
        return;
    }
    if (SkipRepeat(firstNumber, passthrough ? ".jpg" : ".pbm"))
        return;
    if (passthrough) {
        DumpRawJpeg(str);
        return;
    }
    uint64_t fileBytes = UINT64_MAX;
    if (data != UINT64_MAX)
        fileBytes = data + 32;
    if (RefuseTooLarge(".pbm", fileBytes)) {
        if (inlineImg)
            ConsumeInlineData(str, data);
        return;
    }
    const bool inMemory = m_sink && FitsRasterLimit(width, height, 1);
    const bool read =
        DumpDecoded(".pbm", DumpKind::Pbm, inMemory, DecodedImage::Layout::Pbm, width, height,
                    static_cast<size_t>(fileBytes), [&](DumpTarget& target) {
                        return DumpPackedBits(target, str, width, height, 0x00, inlineImg);
                    });
    // A file that could not be opened left the data unread.
    if (inlineImg && !read)
        ConsumeInlineData(str, data);
}

void ImageDumpOutputDev::drawImage(GfxState*, Object* ref, Stream* str, int width, int height,
                                   GfxImageColorMap* colorMap, bool, const int* maskColors,
                                   bool inlineImg) {
    // Inline data cannot be read a second time for its key.
    if (m_keepAlpha && !m_listing && maskColors != nullptr && !inlineImg) {
        std::string why;
        std::vector<uint8_t> alpha = ColourKeyAlpha(str, width, height, colorMap, maskColors, &why);
        TakeAlpha(std::move(alpha), width, height, why);
    }
    DrawImage(ref, str, width, height, colorMap, inlineImg, maskColors != nullptr);
}

void ImageDumpOutputDev::DrawImage(Object* ref, Stream* str, int width, int height,
                                   GfxImageColorMap* colorMap, bool inlineImg, bool maskColors) {
    // Whatever becomes of the image, its alpha goes with it or not at all.
    struct AlphaDone {
        ImageDumpOutputDev& device;
        int numberBefore;
        ~AlphaDone() {
            if (!device.m_alphaRefusal.empty() && device.m_imageCounter > numberBefore)
                error(errSyntaxWarning, -1, "The transparency of image '{0:s}' was not kept: {1:s}",
                      device.m_fileName.c_str(), device.m_alphaRefusal.c_str());
            device.m_pendingAlpha.clear();
            device.m_alphaRefusal.clear();
        }
    } alphaDone{*this, m_imageCounter};
    const int comps = colorMap->getNumPixelComps();
    const int bits = colorMap->getBits();
    const uint64_t data = PackedDataBytes(width, comps, bits, height);
    const bool passthrough =
        m_jpegPassthrough && str->getKind() == strDCT && comps == 3 && !inlineImg;
    // A grey of one bit is a PBM, 1 meaning black: the stored bits inverted
    // unless the Decode array inverts them already. Every other colour
    // space of one bit goes through its colour map, so its colours stay.
    const GfxColorSpaceMode mode = colorMap->getColorSpace()->getMode();
    const bool bilevel = comps == 1 && bits == 1 &&
                         (mode == csDeviceGray || mode == csCalGray || mode == csICCBased);
    const char* kept =
        passthrough ? nullptr : KeptExtension(str, colorMap, width, height, inlineImg);
    const uint64_t limitBytes = passthrough || kept ? 0
                                : bilevel           ? data
                                                    : PackedDataBytes(width, 3, 8, height);
    const char* extension = passthrough ? ".jpg" : kept ? kept : bilevel ? ".pbm" : ".ppm";
    if (m_listing) {
        ListImage(ref, str, width, height, colorMap, inlineImg,
                  passthrough ? ListedOutcome::Jpeg
                  : kept      ? ListedOutcome::Stored
                  : bilevel   ? ListedOutcome::Pbm
                              : ListedOutcome::Ppm,
                  extension, limitBytes);
        if (maskColors)
            ListMask(ListedKind::ColourKey, str, nullptr, width, height, colorMap);
        return;
    }
    const int firstNumber = FirstNumberOf(ref);
    if (!WithinLimits(limitBytes)) {
        if (inlineImg)
            ConsumeInlineData(str, data);
        return;
    }
    if (SkipRepeat(firstNumber, extension))
        return;
    if (passthrough) {
        DumpRawJpeg(str);
        return;
    }
    if (kept) {
        if (str->getKind() == strCCITTFax)
            DumpCcittTiff(str, width, height);
        else
            DumpStoredBytes(str, kept, DumpKind::Stored);
        return;
    }
    const uint8_t xorMask = colorMap->getDecodeLow(0) > colorMap->getDecodeHigh(0) ? 0x00 : 0xFF;
    uint64_t fileBytes = bilevel ? data : PackedDataBytes(width, 3, 8, height);
    if (fileBytes != UINT64_MAX)
        fileBytes += 32;
    if (RefuseTooLarge(extension, fileBytes)) {
        if (inlineImg)
            ConsumeInlineData(str, data);
        return;
    }
    const bool inMemory = m_sink && FitsRasterLimit(width, height, bilevel ? 1 : 24);
    bool read = true;
    if (bilevel) {
        read =
            DumpDecoded(".pbm", DumpKind::Pbm, inMemory, DecodedImage::Layout::Pbm, width, height,
                        static_cast<size_t>(fileBytes), [&](DumpTarget& target) {
                            return DumpPackedBits(target, str, width, height, xorMask, inlineImg);
                        });
    } else {
        const bool grey = inMemory && MakeColourTable(colorMap).grey;
        const size_t expected =
            grey ? static_cast<size_t>(width) * static_cast<size_t>(height) : fileBytes;
        read = DumpDecoded(".ppm", DumpKind::Ppm, inMemory,
                           grey ? DecodedImage::Layout::Grey : DecodedImage::Layout::Ppm, width,
                           height, expected, [&](DumpTarget& target) {
                               return DumpColours(target, str, width, height, colorMap, inlineImg,
                                                  grey);
                           });
    }
    if (inlineImg && !read)
        ConsumeInlineData(str, data);
}

} // namespace talvore
