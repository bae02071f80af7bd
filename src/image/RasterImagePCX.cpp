#include "image/RasterImagePCX.h"

#include "image/ByteStream.h"
#include "image/CheckedMath.h"
#include "image/StreamReader.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace talvore {

bool RasterImagePCX::Decode(ByteStream* file) {
    if (file == nullptr) {
        SetLastError("null file handler");
        return false;
    }
    const int32_t start = file->Tell();
    StreamReader in(file);
    uint8_t head[128];
    if (in.ReadBytes(head, sizeof head) != sizeof head || head[0] != 10 || head[2] != 1) {
        SetLastError("Error: Not a PCX file");
        return false;
    }
    const uint32_t version = head[1];
    const uint32_t bits = head[3];
    const int32_t xMin = head[4] | head[5] << 8;
    const int32_t yMin = head[6] | head[7] << 8;
    const int32_t xMax = head[8] | head[9] << 8;
    const int32_t yMax = head[10] | head[11] << 8;
    const int32_t hDpi = head[12] | head[13] << 8;
    const int32_t vDpi = head[14] | head[15] << 8;
    const uint32_t planes = head[65];
    const uint32_t lineBytes = head[66] | head[67] << 8;
    if (xMax < xMin || yMax < yMin) {
        SetLastError("Error: Invalid PCX image dimensions");
        return false;
    }
    const uint32_t width = static_cast<uint32_t>(xMax - xMin + 1);
    const uint32_t height = static_cast<uint32_t>(yMax - yMin + 1);

    // The layouts in use: 1-bit mono, 4-bit as one plane or four bit
    // planes, 8-bit with a 256-colour palette, 24-bit as three 8-bit planes.
    uint32_t target = 0;
    if (bits == 1 && planes == 1)
        target = 1;
    else if ((bits == 1 && planes == 4) || (bits == 4 && planes == 1))
        target = 4;
    else if (bits == 8 && planes == 1)
        target = 8;
    else if (bits == 8 && planes == 3)
        target = 24;
    if (target == 0) {
        SetLastError("Error: Unsupported PCX bit depth");
        return false;
    }
    if (uint64_t{lineBytes} * 8 < uint64_t{width} * bits) {
        SetLastError("Error: Invalid PCX line length");
        return false;
    }
    const uint64_t scanBytes = uint64_t{lineBytes} * planes;
    // Every byte of run-length data stands for at most 63 decoded bytes.
    uint64_t decoded = 0;
    const int64_t remaining = in.Remaining();
    if (!CheckedMul<uint64_t>(scanBytes, height, &decoded) ||
        (remaining >= 0 && (decoded + 62) / 63 > static_cast<uint64_t>(remaining))) {
        SetLastError("Error: PCX file truncated");
        return false;
    }
    if (Create(width, height, target, FORMAT_PCX) == nullptr)
        return false;
    if (hDpi > 0)
        SetHorizontalDpi(hDpi);
    if (vDpi > 0)
        SetVerticalDpi(vDpi);

    if (target == 1) {
        FillStandardPalette(); // black, white
    } else if (target == 4) {
        RgbQuad palette[16];
        for (int i = 0; i < 16; ++i)
            palette[i] = RgbQuad{head[18 + 3 * i], head[17 + 3 * i], head[16 + 3 * i], 0};
        StorePalette(palette, 16);
    }

    std::vector<uint8_t> scan(static_cast<size_t>(scanBytes));
    uint32_t runLeft = 0;
    uint8_t runValue = 0;
    for (uint32_t r = 0; r < height; ++r) {
        // Runs may continue from one scan line into the next.
        for (size_t i = 0; i < scan.size(); ++i) {
            if (runLeft == 0) {
                const int c = in.Get();
                if (c < 0) {
                    SetLastError("Error: PCX file truncated");
                    return false;
                }
                if ((c & 0xC0) == 0xC0) {
                    runLeft = static_cast<uint32_t>(c & 0x3F);
                    const int v = in.Get();
                    if (v < 0) {
                        SetLastError("Error: PCX file truncated");
                        return false;
                    }
                    runValue = static_cast<uint8_t>(v);
                    if (runLeft == 0) {
                        --i; // an empty run stands for nothing
                        continue;
                    }
                } else {
                    runLeft = 1;
                    runValue = static_cast<uint8_t>(c);
                }
            }
            scan[i] = runValue;
            --runLeft;
        }
        const int32_t y = static_cast<int32_t>(height - 1 - r);
        uint8_t* dst = RowPointer(y);
        if (target == 24) {
            for (uint32_t x = 0; x < width; ++x) {
                dst[3 * x] = scan[2 * lineBytes + x];
                dst[3 * x + 1] = scan[lineBytes + x];
                dst[3 * x + 2] = scan[x];
            }
        } else if (target == 4 && planes == 4) {
            for (uint32_t x = 0; x < width; ++x) {
                uint8_t index = 0;
                for (uint32_t p = 0; p < 4; ++p)
                    index |= static_cast<uint8_t>(((scan[p * lineBytes + x / 8] >> (7 - x % 8)) & 1)
                                                  << p);
                WriteIndex(static_cast<int32_t>(x), y, index);
            }
        } else {
            std::memcpy(dst, scan.data(),
                        std::min<size_t>(RowStride(), (uint64_t{width} * bits + 7) / 8));
        }
    }

    if (target == 8) {
        // Version 5 keeps the palette in the last 769 bytes: 12, then RGB.
        RgbQuad palette[256];
        uint8_t tail[769];
        bool found = false;
        if (version >= 5 && file->Seek(-769, 2) && file->Tell() >= start + 128 &&
            file->Read(tail, 1, sizeof tail) == sizeof tail && tail[0] == 12) {
            for (int i = 0; i < 256; ++i)
                palette[i] = RgbQuad{tail[3 + 3 * i], tail[2 + 3 * i], tail[1 + 3 * i], 0};
            found = true;
        }
        if (found) {
            StorePalette(palette, 256);
        } else {
            FillGrayPalette();
        }
    }
    return true;
}

// ---- writer

namespace {

// Gray level by the weights the conversions use; decides which of a bitmap's
// two entries is the dark one.
uint32_t GrayOf(const RgbQuad& c) {
    return (117u * c.blue + 601u * c.green + 306u * c.red) >> 10;
}

void PutRun(std::vector<uint8_t>& out, uint8_t value, uint32_t count) {
    if (count > 1 || value >= 192)
        out.push_back(static_cast<uint8_t>(192 + count));
    out.push_back(value);
}

// Codes one line of `count` values read every `step` bytes from `src`, then
// the end marker; an odd-width line gets the 0 byte that pads it to the even
// bytes-per-line count.
void PackPixelLine(const uint8_t* src, uint32_t count, uint32_t step, bool oddWidth,
                   std::vector<uint8_t>& out) {
    int c = 0;
    uint32_t n = 0;
    for (uint32_t i = 0; i <= count; ++i) {
        const int v = (i < count) ? src[static_cast<size_t>(i) * step] : (oddWidth ? -2 : -1);
        if (v != c && n != 0) {
            if (n == 1 && c < 192) {
                out.push_back(static_cast<uint8_t>(c));
            } else {
                out.push_back(static_cast<uint8_t>(192 + n));
                out.push_back(static_cast<uint8_t>(c));
            }
            n = 0;
        }
        if (n == 63) {
            out.push_back(255);
            out.push_back(static_cast<uint8_t>(c));
            n = 0;
        }
        if (v == -2)
            out.push_back(0);
        c = static_cast<uint8_t>(v);
        ++n;
    }
}

// Codes a whole plane line of `length` bytes.
void PackPlaneLine(const uint8_t* line, uint32_t length, std::vector<uint8_t>& out) {
    if (length == 0)
        return;
    uint8_t previous = line[0];
    uint32_t count = 1;
    for (uint32_t i = 1; i < length; ++i) {
        if (line[i] == previous && count < 63) {
            ++count;
        } else {
            PutRun(out, previous, count);
            previous = line[i];
            count = 1;
        }
    }
    PutRun(out, previous, count);
}

} // namespace

bool RasterImagePCX::Encode(ByteStream* file) {
    if (CheckEncodeTarget(file))
        return false;
    const uint32_t bits = BitsPerPixel();
    const uint32_t width = static_cast<uint32_t>(Width());
    const uint32_t height = static_cast<uint32_t>(Height());
    const bool bytePlanes = bits >= 8;
    const RgbQuad* palette = PaletteEntries();
    // The header holds 16-bit sizes; a larger image would come out garbled.
    if (width > 65535 || height > 65535) {
        SetLastError("PCX width and height must be at most 65535");
        return false;
    }

    uint32_t bytesPerLine = bytePlanes ? width : (width + 7) / 8;
    bytesPerLine += bytesPerLine & 1;
    const uint32_t planes = bits == 24 ? 3 : (bits == 4 ? 4 : 1);

    uint8_t header[128] = {};
    header[0] = 10;
    header[1] = 5;
    header[2] = 1;
    header[3] = bytePlanes ? 8 : 1;
    auto put16 = [&header](size_t at, uint32_t value) {
        header[at] = static_cast<uint8_t>(value);
        header[at + 1] = static_cast<uint8_t>(value >> 8);
    };
    put16(8, width - 1);
    put16(10, height - 1);
    put16(12, static_cast<uint32_t>(HorizontalDpi()));
    put16(14, static_cast<uint32_t>(VerticalDpi()));
    if (bits == 1) {
        header[19] = header[20] = header[21] = 255;
    } else if (bits == 4 && palette != nullptr) {
        for (uint32_t i = 0; i < 16; ++i) {
            header[16 + i * 3] = palette[i].red;
            header[17 + i * 3] = palette[i].green;
            header[18 + i * 3] = palette[i].blue;
        }
    }
    header[65] = static_cast<uint8_t>(planes);
    put16(66, bytesPerLine);
    put16(68, bits == 24 ? 1 : 0);
    if (file->Write(header, 1, sizeof header) == 0) {
        SetLastError("cannot write PCX header");
        return false;
    }

    MemoryStream coded;
    if (!coded.Open()) {
        SetLastError("PCX: cannot allocate the memory file");
        return false;
    }
    // Worst case of one coded row: two bytes per input byte plus the pad.
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(planes) * (2 * static_cast<size_t>(bytesPerLine) + 1));
    std::vector<uint8_t> plane(bytePlanes ? 0 : static_cast<size_t>(bytesPerLine) * planes);
    const bool oddWidth = (width & 1) != 0;
    const bool invertBitmap =
        bits == 1 && palette != nullptr && GrayOf(palette[0]) > GrayOf(palette[1]);

    for (uint32_t done = 0; done < height; ++done) {
        const uint8_t* row = RowPointer(static_cast<int32_t>(height - 1 - done));
        out.clear();
        if (bits == 24) {
            for (int channel = 2; channel >= 0; --channel)
                PackPixelLine(row + channel, width, 3, oddWidth, out);
        } else if (bits == 8) {
            PackPixelLine(row, width, 1, oddWidth, out);
        } else if (bits == 1) {
            const uint32_t used = (width + 7) / 8;
            for (uint32_t i = 0; i < used; ++i)
                plane[i] = invertBitmap ? static_cast<uint8_t>(~row[i]) : row[i];
            if ((width & 7) != 0)
                plane[used - 1] &= static_cast<uint8_t>(0xFF00u >> (width & 7));
            for (uint32_t i = used; i < bytesPerLine; ++i)
                plane[i] = 0;
            PackPlaneLine(plane.data(), bytesPerLine, out);
        } else {
            std::fill(plane.begin(), plane.end(), uint8_t{0});
            for (uint32_t x = 0; x < width; ++x) {
                const uint8_t index = (x & 1) ? (row[x / 2] & 0x0F) : (row[x / 2] >> 4);
                const uint8_t mask = static_cast<uint8_t>(0x80u >> (x & 7));
                for (uint32_t p = 0; p < 4; ++p)
                    if (index & (1u << p))
                        plane[p * bytesPerLine + x / 8] |= mask;
            }
            for (uint32_t p = 0; p < 4; ++p)
                PackPlaneLine(plane.data() + static_cast<size_t>(p) * bytesPerLine, bytesPerLine,
                              out);
        }
        if (coded.Write(out.data(), 1, out.size()) != out.size()) {
            SetLastError("PCX: cannot grow the memory file");
            return false;
        }
    }

    if (bits == 8) {
        uint8_t trailer[1 + 256 * 3] = {12};
        for (uint32_t i = 0; palette != nullptr && i < std::min<uint32_t>(ColorsUsed(), 256); ++i) {
            trailer[1 + i * 3] = palette[i].red;
            trailer[2 + i * 3] = palette[i].green;
            trailer[3 + i * 3] = palette[i].blue;
        }
        if (coded.Write(trailer, 1, sizeof trailer) != sizeof trailer) {
            SetLastError("PCX: cannot grow the memory file");
            return false;
        }
    }

    const auto codedSize = static_cast<size_t>(coded.Tell());
    if (file->Write(coded.BufferAddress(false), 1, codedSize) != codedSize) {
        SetLastError("Error writing PCX file");
        return false;
    }
    return true;
}

} // namespace talvore
