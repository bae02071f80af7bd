#include "convert/ImageDumpOutputDev.h"

#include "image/CheckedMath.h"

#include <Error.h>
#include <GfxState.h>
#include <Object.h>
#include <Stream.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <unistd.h>
#include <utility>

namespace talvore {
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

// Back to just after the header, for a second pass through the core.
bool Rewind(FILE* file, long position) {
    return position >= 0 && std::fflush(file) == 0 && ftruncate(fileno(file), position) == 0 &&
           std::fseek(file, position, SEEK_SET) == 0;
}

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

} // namespace

ImageDumpOutputDev::ImageDumpOutputDev(std::string fileRoot, bool jpegPassthrough,
                                       uint64_t maxFileBytes)
    : m_fileRoot(std::move(fileRoot)), m_jpegPassthrough(jpegPassthrough),
      m_maxFileBytes(maxFileBytes) {
    m_fileName.reserve(m_fileRoot.size() + 20);
}

ImageDumpOutputDev::~ImageDumpOutputDev() = default;

void ImageDumpOutputDev::FormName(const char* extension) {
    char number[16];
    std::snprintf(number, sizeof number, "-%03d", m_imageCounter);
    m_fileName = m_fileRoot;
    m_fileName += number;
    m_fileName += extension;
    ++m_imageCounter;
}

void ImageDumpOutputDev::Fail(const char* coreFormat, std::string reason) {
    error(errIO, -1, coreFormat, m_fileName.c_str());
    m_failures.push_back({m_fileName, std::move(reason)});
}

FILE* ImageDumpOutputDev::OpenNext(const char* extension) {
    FormName(extension);
    FILE* file = std::fopen(m_fileName.c_str(), "wb");
    if (!file) {
        Fail("Couldn't open image file '{0:s}'",
             std::string("cannot create the file: ") + std::strerror(errno));
        return nullptr;
    }
    static_cast<void>(std::setvbuf(file, nullptr, _IOFBF, 256 * 1024));
    return file;
}

bool ImageDumpOutputDev::RefuseTooLarge(const char* extension, uint64_t fileBytes) {
    if (fileBytes <= m_maxFileBytes)
        return false;
    FormName(extension);
    error(errIO, -1, "Image file '{0:s}' would exceed the limit of {1:ulld} bytes; image skipped",
          m_fileName.c_str(), static_cast<unsigned long long>(m_maxFileBytes));
    m_failures.push_back({m_fileName, LimitText(m_maxFileBytes)});
    return true;
}

void ImageDumpOutputDev::Finish(FILE* file, bool written, DumpKind kind) {
    // A failed write leaves its reason in errno, unless the data itself was
    // at fault (the core could not decode it).
    const int writeError = std::ferror(file) ? errno : 0;
    const bool closed = std::fclose(file) == 0;
    const int closeError = closed ? 0 : errno;
    if (written && closed) {
        m_written.push_back({m_fileName, kind});
        return;
    }
    std::remove(m_fileName.c_str());
    const int reason = writeError ? writeError : closeError;
    Fail("Couldn't write image file '{0:s}'",
         reason ? std::string("cannot write the file: ") + std::strerror(reason)
                : std::string("the image data cannot be decoded"));
}

void ImageDumpOutputDev::DumpRawJpeg(Stream* str) {
    FILE* file = OpenNext(".jpg");
    if (!file)
        return;
    Stream* raw = str->getNextStream();
    if (!raw) {
        Finish(file, false, DumpKind::Jpeg);
        return;
    }
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kCopyBlock]);
    uint64_t total = 0;
    bool ok = true;
    raw->reset();
    for (;;) {
        const int got = raw->doGetChars(static_cast<int>(kCopyBlock), buffer.get());
        if (got <= 0)
            break;
        total += static_cast<uint64_t>(got);
        if (total > m_maxFileBytes) {
            // Only a decompressing filter beneath DCT gets here (a bomb).
            raw->close();
            std::fclose(file);
            std::remove(m_fileName.c_str());
            error(errIO, -1,
                  "Image file '{0:s}' would exceed the limit of {1:ulld} bytes; image skipped",
                  m_fileName.c_str(), static_cast<unsigned long long>(m_maxFileBytes));
            m_failures.push_back({m_fileName, LimitText(m_maxFileBytes)});
            return;
        }
        ok = ok && std::fwrite(buffer.get(), 1, static_cast<size_t>(got), file) ==
                       static_cast<size_t>(got);
    }
    raw->close();
    Finish(file, ok, DumpKind::Jpeg);
}

bool ImageDumpOutputDev::WritePackedBits(FILE* file, Stream* str, int width, int height,
                                         uint8_t xorMask, bool inlineImg) {
    const size_t rowBytes = (static_cast<size_t>(width) + 7) / 8;
    const uint64_t total = uint64_t(rowBytes) * uint64_t(height); // checked by the caller
    // What a missing byte becomes: end of stream exclusive-ored with the mask.
    const uint8_t padding = static_cast<uint8_t>(0xFF ^ xorMask);
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kCopyBlock]);
    bool ok = std::fprintf(file, "P4\n%d %d\n", width, height) > 0;

    auto copy = [&](auto&& read) {
        uint64_t left = total;
        bool ended = false;
        while (left > 0) {
            const size_t want = static_cast<size_t>(std::min<uint64_t>(left, kCopyBlock));
            const size_t got = ended ? 0 : read(buffer.get(), want);
            if (got < want)
                ended = true;
            if (xorMask != 0) {
                for (size_t i = 0; i < got; ++i)
                    buffer[i] ^= xorMask;
            }
            std::memset(buffer.get() + got, padding, want - got);
            ok = ok && std::fwrite(buffer.get(), 1, want, file) == want;
            left -= want;
        }
    };

    if (FastInflate::Applies(str, inlineImg)) {
        const long dataStart = std::ftell(file);
        bool failed = false;
        {
            FastInflate inflater(str);
            copy([&](unsigned char* out, size_t size) { return inflater.Read(out, size); });
            failed = inflater.Failed();
        }
        if (!failed)
            return ok;
        if (!Rewind(file, dataStart))
            return false;
    }
    str->reset();
    copy([&](unsigned char* out, size_t size) {
        const int n = str->doGetChars(static_cast<int>(size), out);
        return n > 0 ? static_cast<size_t>(n) : size_t{0};
    });
    str->close();
    return ok;
}

bool ImageDumpOutputDev::WriteRgb(FILE* file, Stream* str, int width, int height,
                                  GfxImageColorMap* colorMap, bool inlineImg) {
    const int comps = colorMap->getNumPixelComps();
    const int bits = colorMap->getBits();
    bool ok = std::fprintf(file, "P6\n%d %d\n255\n", width, height) > 0;

    // Exact shortcuts: a 1-component pixel's colour depends on its one value,
    // and DeviceRGB converts each component on its own, so a table filled by
    // the core's own conversion gives the same bytes as asking per pixel.
    enum class Path { Table1, TableRgb, PerPixel } path = Path::PerPixel;
    std::array<std::array<uint8_t, 3>, 256> table{};
    if (bits >= 1 && bits <= 8 &&
        (comps == 1 || (comps == 3 && colorMap->getColorSpace()->getMode() == csDeviceRGB))) {
        const int values = 1 << bits;
        for (int v = 0; v < values; ++v) {
            const unsigned char pixel[3] = {static_cast<unsigned char>(v),
                                            static_cast<unsigned char>(v),
                                            static_cast<unsigned char>(v)};
            GfxRGB rgb;
            colorMap->getRGB(pixel, &rgb);
            table[v] = {ToByte(rgb.r), ToByte(rgb.g), ToByte(rgb.b)};
        }
        path = comps == 1 ? Path::Table1 : Path::TableRgb;
    }

    std::unique_ptr<uint8_t[]> row(new uint8_t[static_cast<size_t>(width) * 3]);
    auto convertRow = [&](const unsigned char* line) {
        uint8_t* out = row.get();
        if (path == Path::Table1) {
            for (int x = 0; x < width; ++x, out += 3)
                std::memcpy(out, table[line[x]].data(), 3);
        } else {
            for (int x = 0; x < width; ++x, out += 3, line += 3) {
                out[0] = table[line[0]][0];
                out[1] = table[line[1]][1];
                out[2] = table[line[2]][2];
            }
        }
    };

    // 8-bit samples are the decoded bytes themselves, row after row; a
    // missing byte reads as end of stream (0xFF), as the core's image
    // stream has it.
    if (bits == 8 && path != Path::PerPixel && FastInflate::Applies(str, inlineImg)) {
        const long dataStart = std::ftell(file);
        const size_t lineBytes = static_cast<size_t>(width) * static_cast<size_t>(comps);
        std::unique_ptr<unsigned char[]> line(new unsigned char[lineBytes]);
        bool failed = false;
        bool written = ok;
        {
            FastInflate inflater(str);
            for (int y = 0; y < height && !failed; ++y) {
                const size_t got = inflater.Read(line.get(), lineBytes);
                failed = inflater.Failed();
                std::memset(line.get() + got, 0xFF, lineBytes - got);
                convertRow(line.get());
                written = written &&
                          std::fwrite(row.get(), 1, width * size_t{3}, file) == width * size_t{3};
            }
        }
        if (!failed)
            return written;
        if (!Rewind(file, dataStart))
            return false;
    }

    ImageStream image(str, width, comps, bits);
    image.reset();
    std::array<unsigned char, gfxColorMaxComps> last{};
    std::array<uint8_t, 3> lastRgb{};
    bool haveLast = false;
    for (int y = 0; y < height; ++y) {
        const unsigned char* line = image.getLine();
        if (!line) {
            // The core could not set up the row buffers (absurd width).
            ok = false;
            break;
        }
        uint8_t* out = row.get();
        if (path != Path::PerPixel) {
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
        ok = ok && std::fwrite(row.get(), 1, static_cast<size_t>(width) * 3, file) ==
                       static_cast<size_t>(width) * 3;
    }
    image.close();
    return ok;
}

void ImageDumpOutputDev::drawImageMask(GfxState*, Object*, Stream* str, int width, int height, bool,
                                       bool, bool inlineImg) {
    if (m_jpegPassthrough && str->getKind() == strDCT && !inlineImg) {
        DumpRawJpeg(str);
        return;
    }
    const uint64_t data = PackedDataBytes(width, 1, 1, height);
    uint64_t fileBytes = UINT64_MAX;
    if (data != UINT64_MAX)
        fileBytes = data + 32;
    if (RefuseTooLarge(".pbm", fileBytes)) {
        if (inlineImg)
            ConsumeInlineData(str, data);
        return;
    }
    FILE* file = OpenNext(".pbm");
    if (!file) {
        if (inlineImg)
            ConsumeInlineData(str, data);
        return;
    }
    Finish(file, WritePackedBits(file, str, width, height, 0x00, inlineImg), DumpKind::Pbm);
}

void ImageDumpOutputDev::drawImage(GfxState*, Object*, Stream* str, int width, int height,
                                   GfxImageColorMap* colorMap, bool, const int*, bool inlineImg) {
    const int comps = colorMap->getNumPixelComps();
    const int bits = colorMap->getBits();
    if (m_jpegPassthrough && str->getKind() == strDCT && comps == 3 && !inlineImg) {
        DumpRawJpeg(str);
        return;
    }
    const uint64_t data = PackedDataBytes(width, comps, bits, height);
    const bool bilevel = comps == 1 && bits == 1;
    const char* extension = bilevel ? ".pbm" : ".ppm";
    uint64_t fileBytes = bilevel ? data : PackedDataBytes(width, 3, 8, height);
    if (fileBytes != UINT64_MAX)
        fileBytes += 32;
    if (RefuseTooLarge(extension, fileBytes)) {
        if (inlineImg)
            ConsumeInlineData(str, data);
        return;
    }
    FILE* file = OpenNext(extension);
    if (!file) {
        if (inlineImg)
            ConsumeInlineData(str, data);
        return;
    }
    if (bilevel) {
        Finish(file, WritePackedBits(file, str, width, height, 0xFF, inlineImg), DumpKind::Pbm);
    } else {
        const bool written = WriteRgb(file, str, width, height, colorMap, inlineImg);
        Finish(file, written, DumpKind::Ppm);
    }
}

} // namespace talvore
