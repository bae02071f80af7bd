// Small readers for BMP, TGA and PCX files written from the file formats'
// own rules (not from our writers' code), so the writer tests can read back
// what was written. Each answers the picture top row first as colours, or an
// empty Picture with `error` set when the file breaks the format.
#pragma once

#include "image/RasterImage.h"

#include <cstdint>
#include <string>
#include <vector>

namespace talvore::reference {

struct Picture {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<RgbQuad> pixels; // top row first, left to right
    std::string error;

    RgbQuad At(uint32_t x, uint32_t top) const { return pixels[size_t{top} * width + x]; }
};

namespace detail {

inline uint32_t Le16(const std::vector<uint8_t>& d, size_t at) {
    return d[at] | (uint32_t{d[at + 1]} << 8);
}
inline uint32_t Le32(const std::vector<uint8_t>& d, size_t at) {
    return Le16(d, at) | (Le16(d, at + 2) << 16);
}
inline Picture Fail(const char* why) {
    Picture p;
    p.error = why;
    return p;
}

} // namespace detail

// Uncompressed BMP (BITMAPINFOHEADER) of 1, 4, 8 or 24 bits, bottom-up.
inline Picture ReadBmp(const std::vector<uint8_t>& d) {
    using namespace detail;
    if (d.size() < 54 || d[0] != 'B' || d[1] != 'M')
        return Fail("no BM header");
    if (Le32(d, 2) != d.size())
        return Fail("file size field differs from the file");
    const uint32_t offset = Le32(d, 10);
    if (Le32(d, 14) != 40)
        return Fail("not a 40-byte information header");
    const auto width = static_cast<int32_t>(Le32(d, 18));
    const auto height = static_cast<int32_t>(Le32(d, 22));
    const uint32_t bits = Le16(d, 28);
    if (width <= 0 || height <= 0 || Le16(d, 26) != 1 || Le32(d, 30) != 0)
        return Fail("unsupported header");
    uint32_t colours = Le32(d, 46);
    if (bits <= 8 && colours == 0)
        colours = 1u << bits;
    if (54 + size_t{colours} * 4 > offset)
        return Fail("palette overlaps the pixels");
    const size_t stride = ((size_t{bits} * width + 31) / 32) * 4;
    if (offset + stride * height > d.size())
        return Fail("pixel rows cut short");
    Picture p;
    p.width = static_cast<uint32_t>(width);
    p.height = static_cast<uint32_t>(height);
    p.pixels.resize(size_t{p.width} * p.height);
    for (uint32_t top = 0; top < p.height; ++top) {
        const uint8_t* row = d.data() + offset + stride * (p.height - 1 - top);
        for (uint32_t x = 0; x < p.width; ++x) {
            RgbQuad c;
            if (bits == 24) {
                c = RgbQuad{row[x * 3], row[x * 3 + 1], row[x * 3 + 2], 0};
            } else {
                uint32_t index = 0;
                if (bits == 8)
                    index = row[x];
                if (bits == 4)
                    index = (row[x / 2] >> (x % 2 ? 0 : 4)) & 15;
                if (bits == 1)
                    index = (row[x / 8] >> (7 - x % 8)) & 1;
                if (index >= colours)
                    return Fail("index outside the palette");
                const uint8_t* e = d.data() + 54 + index * 4;
                c = RgbQuad{e[0], e[1], e[2], 0};
            }
            p.pixels[size_t{top} * p.width + x] = c;
        }
    }
    return p;
}

// Uncompressed TGA, types 1 (colour-mapped, 24-bit map) and 2 (24-bit).
inline Picture ReadTga(const std::vector<uint8_t>& d) {
    using namespace detail;
    if (d.size() < 18)
        return Fail("short header");
    const uint32_t idLength = d[0], mapType = d[1], type = d[2];
    const uint32_t mapFirst = Le16(d, 3), mapLength = Le16(d, 5), mapEntry = d[7];
    const uint32_t width = Le16(d, 12), height = Le16(d, 14), depth = d[16];
    const bool topDown = (d[17] & 0x20) != 0;
    if (width == 0 || height == 0)
        return Fail("empty picture");
    size_t at = 18 + idLength;
    std::vector<RgbQuad> map;
    if (mapType == 1) {
        if (mapEntry != 24)
            return Fail("colour map entry size");
        if (at + size_t{mapLength} * 3 > d.size())
            return Fail("colour map cut short");
        for (uint32_t i = 0; i < mapLength; ++i, at += 3)
            map.push_back(RgbQuad{d[at], d[at + 1], d[at + 2], 0});
    }
    if (!((type == 1 && mapType == 1 && depth == 8) || (type == 2 && depth == 24)))
        return Fail("unsupported type");
    const size_t bpp = depth / 8;
    if (at + size_t{width} * height * bpp != d.size())
        return Fail("pixel data size");
    Picture p;
    p.width = width;
    p.height = height;
    p.pixels.resize(size_t{width} * height);
    for (uint32_t fileRow = 0; fileRow < height; ++fileRow) {
        const uint32_t top = topDown ? fileRow : height - 1 - fileRow;
        for (uint32_t x = 0; x < width; ++x, at += bpp) {
            RgbQuad c;
            if (depth == 24) {
                c = RgbQuad{d[at], d[at + 1], d[at + 2], 0};
            } else {
                const uint32_t index = d[at];
                if (index < mapFirst || index - mapFirst >= map.size())
                    return Fail("index outside the colour map");
                c = map[index - mapFirst];
            }
            p.pixels[size_t{top} * width + x] = c;
        }
    }
    return p;
}

// Version 5 run-length PCX: 1 plane of 1 or 8 bits, 4 planes of 1 bit, or 3
// planes of 8 bits. Every scan line holds planes × bytes-per-line decoded
// bytes; a count byte (top two bits set) repeats the next byte.
inline Picture ReadPcx(const std::vector<uint8_t>& d) {
    using namespace detail;
    if (d.size() < 128 || d[0] != 10 || d[2] != 1)
        return Fail("not a run-length PCX");
    const uint32_t bitsPerPlane = d[3];
    const uint32_t width = Le16(d, 8) - Le16(d, 4) + 1;
    const uint32_t height = Le16(d, 10) - Le16(d, 6) + 1;
    const uint32_t planes = d[65];
    const uint32_t bytesPerLine = Le16(d, 66);
    if (bytesPerLine % 2 != 0)
        return Fail("odd bytes per line");
    const bool ok = (bitsPerPlane == 8 && (planes == 1 || planes == 3)) ||
                    (bitsPerPlane == 1 && (planes == 1 || planes == 4));
    if (!ok)
        return Fail("unsupported plane layout");
    if (bytesPerLine * 8 / bitsPerPlane < width)
        return Fail("lines too short");

    std::vector<RgbQuad> palette(256);
    size_t end = d.size();
    if (bitsPerPlane == 8 && planes == 1) {
        if (d.size() < 128 + 769 || d[d.size() - 769] != 12)
            return Fail("no 256-colour trailer");
        end = d.size() - 769;
        for (uint32_t i = 0; i < 256; ++i) {
            const size_t e = end + 1 + i * 3;
            palette[i] = RgbQuad{d[e + 2], d[e + 1], d[e], 0};
        }
    } else if (bitsPerPlane == 1) {
        for (uint32_t i = 0; i < 16; ++i)
            palette[i] = RgbQuad{d[18 + i * 3], d[17 + i * 3], d[16 + i * 3], 0};
    }

    Picture p;
    p.width = width;
    p.height = height;
    p.pixels.resize(size_t{width} * height);
    size_t at = 128;
    std::vector<uint8_t> line(size_t{planes} * bytesPerLine);
    for (uint32_t top = 0; top < height; ++top) {
        size_t filled = 0;
        while (filled < line.size()) {
            if (at >= end)
                return Fail("data cut short");
            uint32_t count = 1;
            uint8_t value = d[at++];
            if ((value & 0xC0) == 0xC0) {
                count = value & 0x3F;
                if (at >= end)
                    return Fail("run cut short");
                value = d[at++];
            }
            if (filled + count > line.size())
                return Fail("run crosses the scan line");
            for (uint32_t i = 0; i < count; ++i)
                line[filled++] = value;
        }
        for (uint32_t x = 0; x < width; ++x) {
            RgbQuad c;
            if (bitsPerPlane == 8 && planes == 3) {
                c = RgbQuad{line[2 * bytesPerLine + x], line[bytesPerLine + x], line[x], 0};
            } else if (bitsPerPlane == 8) {
                c = palette[line[x]];
            } else {
                uint32_t index = 0;
                for (uint32_t plane = 0; plane < planes; ++plane)
                    index |= ((line[plane * bytesPerLine + x / 8] >> (7 - x % 8)) & 1u) << plane;
                c = palette[index];
            }
            p.pixels[size_t{top} * width + x] = c;
        }
    }
    if (at != end)
        return Fail("bytes left after the last scan line");
    return p;
}

} // namespace talvore::reference
