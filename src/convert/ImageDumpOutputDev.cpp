#include "convert/ImageDumpOutputDev.h"

#include "image/CheckedMath.h"

#include <Error.h>
#include <GfxState.h>
#include <Stream.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
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
        if (got <= 0) break;
        bytes -= static_cast<uint64_t>(got);
    }
    str->close();
}

uint64_t PackedDataBytes(int width, int comps, int bits, int height) {
    uint64_t rowBits = 0, rowBytes = 0, total = 0;
    if (!CheckedMul(uint64_t(width), uint64_t(comps) * uint64_t(bits), &rowBits)) return UINT64_MAX;
    rowBytes = rowBits / 8 + (rowBits % 8 != 0);
    if (!CheckedMul(rowBytes, uint64_t(height), &total)) return UINT64_MAX;
    return total;
}

uint8_t ToByte(GfxColorComp component) {
    // The core's components are fixed point; the file takes c * 255 + 0.5
    // with the fraction dropped, computed on the real value.
    const double value = colToDbl(component) * 255.0 + 0.5;
    if (value <= 0) return 0;
    if (value >= 255) return 255;
    return static_cast<uint8_t>(value);
}

} // namespace

ImageDumpOutputDev::ImageDumpOutputDev(std::string fileRoot, bool jpegPassthrough, uint64_t maxFileBytes)
    : m_fileRoot(std::move(fileRoot)), m_jpegPassthrough(jpegPassthrough), m_maxFileBytes(maxFileBytes) {
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

FILE* ImageDumpOutputDev::OpenNext(const char* extension) {
    FormName(extension);
    FILE* file = std::fopen(m_fileName.c_str(), "wb");
    if (!file) {
        error(errIO, -1, "Couldn't open image file '{0:s}'", m_fileName.c_str());
        ++m_failed;
        return nullptr;
    }
    static_cast<void>(std::setvbuf(file, nullptr, _IOFBF, 256 * 1024));
    return file;
}

bool ImageDumpOutputDev::RefuseTooLarge(const char* extension, uint64_t fileBytes) {
    if (fileBytes <= m_maxFileBytes) return false;
    FormName(extension);
    error(errIO, -1, "Image file '{0:s}' would exceed the limit of {1:ulld} bytes; image skipped", m_fileName.c_str(),
          static_cast<unsigned long long>(m_maxFileBytes));
    ++m_failed;
    return true;
}

void ImageDumpOutputDev::Finish(FILE* file, bool written, DumpKind kind) {
    const bool closed = std::fclose(file) == 0;
    if (written && closed) {
        m_written.push_back({m_fileName, kind});
        return;
    }
    std::remove(m_fileName.c_str());
    error(errIO, -1, "Couldn't write image file '{0:s}'", m_fileName.c_str());
    ++m_failed;
}

void ImageDumpOutputDev::DumpRawJpeg(Stream* str) {
    FILE* file = OpenNext(".jpg");
    if (!file) return;
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
        if (got <= 0) break;
        total += static_cast<uint64_t>(got);
        if (total > m_maxFileBytes) {
            // Only a decompressing filter beneath DCT gets here (a bomb).
            raw->close();
            std::fclose(file);
            std::remove(m_fileName.c_str());
            error(errIO, -1, "Image file '{0:s}' would exceed the limit of {1:ulld} bytes; image skipped",
                  m_fileName.c_str(), static_cast<unsigned long long>(m_maxFileBytes));
            ++m_failed;
            return;
        }
        ok = ok && std::fwrite(buffer.get(), 1, static_cast<size_t>(got), file) == static_cast<size_t>(got);
    }
    raw->close();
    Finish(file, ok, DumpKind::Jpeg);
}

bool ImageDumpOutputDev::WritePackedBits(FILE* file, Stream* str, int width, int height, uint8_t xorMask) {
    const size_t rowBytes = (static_cast<size_t>(width) + 7) / 8;
    const uint64_t total = uint64_t(rowBytes) * uint64_t(height); // checked by the caller
    // What a missing byte becomes: end of stream exclusive-ored with the mask.
    const uint8_t padding = static_cast<uint8_t>(0xFF ^ xorMask);
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kCopyBlock]);
    bool ok = std::fprintf(file, "P4\n%d %d\n", width, height) > 0;
    str->reset();
    uint64_t left = total;
    bool ended = false;
    while (left > 0) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(left, kCopyBlock));
        size_t got = 0;
        if (!ended) {
            const int n = str->doGetChars(static_cast<int>(want), buffer.get());
            got = n > 0 ? static_cast<size_t>(n) : 0;
            if (got < want) ended = true;
        }
        if (xorMask != 0) {
            for (size_t i = 0; i < got; ++i) buffer[i] ^= xorMask;
        }
        std::memset(buffer.get() + got, padding, want - got);
        ok = ok && std::fwrite(buffer.get(), 1, want, file) == want;
        left -= want;
    }
    str->close();
    return ok;
}

bool ImageDumpOutputDev::WriteRgb(FILE* file, Stream* str, int width, int height, GfxImageColorMap* colorMap) {
    const int comps = colorMap->getNumPixelComps();
    const int bits = colorMap->getBits();
    bool ok = std::fprintf(file, "P6\n%d %d\n255\n", width, height) > 0;

    // Exact shortcuts: a 1-component pixel's colour depends on its one value,
    // and DeviceRGB converts each component on its own, so a table filled by
    // the core's own conversion gives the same bytes as asking per pixel.
    enum class Path { Table1, TableRgb, PerPixel } path = Path::PerPixel;
    std::array<std::array<uint8_t, 3>, 256> table{};
    if (bits >= 1 && bits <= 8 && (comps == 1 || (comps == 3 && colorMap->getColorSpace()->getMode() == csDeviceRGB))) {
        const int values = 1 << bits;
        for (int v = 0; v < values; ++v) {
            const unsigned char pixel[3] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v),
                                            static_cast<unsigned char>(v)};
            GfxRGB rgb;
            colorMap->getRGB(pixel, &rgb);
            table[v] = {ToByte(rgb.r), ToByte(rgb.g), ToByte(rgb.b)};
        }
        path = comps == 1 ? Path::Table1 : Path::TableRgb;
    }

    ImageStream image(str, width, comps, bits);
    image.reset();
    std::unique_ptr<uint8_t[]> row(new uint8_t[static_cast<size_t>(width) * 3]);
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
        switch (path) {
        case Path::Table1:
            for (int x = 0; x < width; ++x, out += 3) std::memcpy(out, table[line[x]].data(), 3);
            break;
        case Path::TableRgb:
            for (int x = 0; x < width; ++x, out += 3, line += 3) {
                out[0] = table[line[0]][0];
                out[1] = table[line[1]][1];
                out[2] = table[line[2]][2];
            }
            break;
        case Path::PerPixel:
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
            break;
        }
        ok = ok && std::fwrite(row.get(), 1, static_cast<size_t>(width) * 3, file) == static_cast<size_t>(width) * 3;
    }
    image.close();
    return ok;
}

void ImageDumpOutputDev::drawImageMask(GfxState*, Object*, Stream* str, int width, int height, bool, bool,
                                       bool inlineImg) {
    if (m_jpegPassthrough && str->getKind() == strDCT && !inlineImg) {
        DumpRawJpeg(str);
        return;
    }
    const uint64_t data = PackedDataBytes(width, 1, 1, height);
    uint64_t fileBytes = UINT64_MAX;
    if (data != UINT64_MAX) fileBytes = data + 32;
    if (RefuseTooLarge(".pbm", fileBytes)) {
        if (inlineImg) ConsumeInlineData(str, data);
        return;
    }
    FILE* file = OpenNext(".pbm");
    if (!file) {
        if (inlineImg) ConsumeInlineData(str, data);
        return;
    }
    Finish(file, WritePackedBits(file, str, width, height, 0x00), DumpKind::Pbm);
}

void ImageDumpOutputDev::drawImage(GfxState*, Object*, Stream* str, int width, int height, GfxImageColorMap* colorMap,
                                   bool, const int*, bool inlineImg) {
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
    if (fileBytes != UINT64_MAX) fileBytes += 32;
    if (RefuseTooLarge(extension, fileBytes)) {
        if (inlineImg) ConsumeInlineData(str, data);
        return;
    }
    FILE* file = OpenNext(extension);
    if (!file) {
        if (inlineImg) ConsumeInlineData(str, data);
        return;
    }
    if (bilevel) {
        Finish(file, WritePackedBits(file, str, width, height, 0xFF), DumpKind::Pbm);
    } else {
        const bool written = WriteRgb(file, str, width, height, colorMap);
        Finish(file, written, DumpKind::Ppm);
    }
}

} // namespace talvore
