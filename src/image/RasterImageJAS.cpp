#include "image/RasterImageJAS.h"

#include "image/CheckedMath.h"
#include "image/StreamReader.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

namespace talvore {

namespace {

constexpr const char* kUnknownFormat = "error: unknowm format";
constexpr const char* kCannotLoad = "error: cannot load image data";

using PnmInput = StreamReader;

bool IsSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// White space and '#' comments (to the end of the line).
void SkipSeparators(PnmInput& in) {
    for (;;) {
        const int c = in.Peek();
        if (IsSpace(c)) {
            in.Get();
        } else if (c == '#') {
            int d;
            do
                d = in.Get();
            while (d >= 0 && d != '\n' && d != '\r');
        } else {
            return;
        }
    }
}

// A decimal number after separators; false on anything else or past `limit`.
bool ReadNumber(PnmInput& in, uint32_t limit, uint32_t* value) {
    SkipSeparators(in);
    int c = in.Peek();
    if (c < '0' || c > '9')
        return false;
    uint64_t v = 0;
    while (c >= '0' && c <= '9') {
        v = v * 10 + static_cast<uint32_t>(c - '0');
        if (v > limit)
            return false;
        in.Get();
        c = in.Peek();
    }
    *value = static_cast<uint32_t>(v);
    return true;
}

uint32_t PrecisionOf(uint32_t maxval) {
    uint32_t bits = 0;
    while (maxval != 0) {
        ++bits;
        maxval >>= 1;
    }
    return bits;
}

struct PnmHeader {
    int kind = 0; // 1..6
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t maxval = 1;
    uint32_t precision = 1;
    uint32_t components = 1;
    bool raw() const { return kind >= 4; }
    bool bitmap() const { return kind == 1 || kind == 4; }
};

bool ReadHeader(PnmInput& in, PnmHeader* header) {
    if (in.Get() != 'P')
        return false;
    const int digit = in.Get();
    if (digit < '1' || digit > '6')
        return false;
    header->kind = digit - '0';
    if (!ReadNumber(in, INT32_MAX, &header->width) || !ReadNumber(in, INT32_MAX, &header->height))
        return false;
    if (header->width == 0 || header->height == 0)
        return false;
    if (!header->bitmap()) {
        if (!ReadNumber(in, 65535, &header->maxval) || header->maxval == 0)
            return false;
    }
    // One white-space byte ends the header; raw samples follow at once.
    if (!IsSpace(in.Get()))
        return false;
    header->precision = PrecisionOf(header->maxval);
    header->components = (header->kind == 3 || header->kind == 6) ? 3 : 1;
    return true;
}

} // namespace

bool RasterImageJAS::Decode(ByteStream* file, uint32_t formatId) {
    if (file == nullptr) {
        SetLastError("error: cannot open standard input");
        return false;
    }
    PnmInput in(file);

    // Recognition looks at two bytes only: "P" and a decimal digit.
    const int32_t start = file->Tell();
    uint8_t magic[2] = {0, 0};
    const bool recognised =
        file->Read(magic, 1, 2) == 2 && magic[0] == 'P' && magic[1] >= '0' && magic[1] <= '9';
    if (!recognised || !file->Seek(start, 0)) {
        SetLastError(kUnknownFormat);
        return false;
    }
    const uint32_t f = FORMAT_PNM;

    PnmHeader h;
    if (!ReadHeader(in, &h)) {
        SetLastError(kCannotLoad);
        return false;
    }

    if (info_.escape == -1) {
        header_.width = static_cast<int32_t>(h.width);
        header_.height = static_cast<int32_t>(h.height);
        info_.formatId = f;
        SetLastError("output dimensions returned");
        return true;
    }

    // Refuse short data before allocating anything for it.
    const uint32_t bytesPerSample = h.precision > 8 ? 2 : 1;
    uint64_t rowBytes = 0;
    uint64_t needed = 0;
    if (h.kind == 4) {
        rowBytes = (uint64_t{h.width} + 7) / 8;
    } else if (!CheckedMul<uint64_t>(h.width, uint64_t{h.components} * bytesPerSample, &rowBytes)) {
        SetLastError(kCannotLoad);
        return false;
    }
    uint64_t samples = 0;
    const bool sized = CheckedMul<uint64_t>(h.width, h.height, &samples) &&
                       CheckedMul<uint64_t>(samples, h.components, &samples) &&
                       CheckedMul<uint64_t>(rowBytes, h.height, &needed);
    const uint64_t minimum = h.raw() ? needed : samples; // a plain sample takes a byte at least
    const int64_t remaining = in.Remaining();
    if (!sized || (remaining >= 0 && minimum > static_cast<uint64_t>(remaining))) {
        SetLastError(kCannotLoad);
        return false;
    }

    const uint32_t shift = h.precision > 8 ? h.precision - 8 : 0;
    const int32_t height = static_cast<int32_t>(h.height);
    const uint32_t width = h.width;
    const uint32_t maxval = h.maxval;

    if (h.components == 3) {
        if (Create(width, h.height, 24, f) == nullptr)
            return false;
        std::vector<uint8_t> row(h.raw() ? static_cast<size_t>(rowBytes) : 0);
        for (int32_t r = 0; r < height; ++r) {
            uint8_t* dst = RowPointer(height - 1 - r);
            if (h.raw()) {
                if (in.ReadBytes(row.data(), row.size()) != row.size()) {
                    SetLastError(kCannotLoad);
                    return false;
                }
                const uint8_t* src = row.data();
                if (bytesPerSample == 1 && maxval == 255) {
                    for (uint32_t x = 0; x < width; ++x, src += 3, dst += 3) {
                        dst[0] = src[2];
                        dst[1] = src[1];
                        dst[2] = src[0];
                    }
                } else if (bytesPerSample == 1) {
                    for (uint32_t x = 0; x < width; ++x, src += 3, dst += 3) {
                        dst[0] = static_cast<uint8_t>(std::min<uint32_t>(src[2], maxval));
                        dst[1] = static_cast<uint8_t>(std::min<uint32_t>(src[1], maxval));
                        dst[2] = static_cast<uint8_t>(std::min<uint32_t>(src[0], maxval));
                    }
                } else {
                    for (uint32_t x = 0; x < width; ++x, src += 6, dst += 3) {
                        for (int c = 0; c < 3; ++c) {
                            const uint32_t v =
                                std::min<uint32_t>(src[2 * c] << 8 | src[2 * c + 1], maxval);
                            dst[2 - c] = static_cast<uint8_t>(v >> shift);
                        }
                    }
                }
            } else {
                for (uint32_t x = 0; x < width; ++x, dst += 3) {
                    for (int c = 0; c < 3; ++c) {
                        uint32_t v = 0;
                        if (!ReadNumber(in, UINT32_MAX, &v)) {
                            SetLastError(kCannotLoad);
                            return false;
                        }
                        dst[2 - c] = static_cast<uint8_t>(std::min(v, maxval) >> shift);
                    }
                }
            }
        }
        return true;
    }

    // One gray component: one frame.
    info_.frameCount = 1;
    if (info_.frame != 0) {
        SetLastError("wrong frame!");
        return false;
    }
    if (Create(width, h.height, std::min<uint32_t>(h.precision, 8), formatId) == nullptr)
        return false;
    FillGrayPalette();
    const uint32_t bits = BitsPerPixel();
    std::vector<uint8_t> row(h.raw() ? static_cast<size_t>(rowBytes) : 0);
    std::vector<uint8_t> values(width);
    for (int32_t r = 0; r < height; ++r) {
        const int32_t y = height - 1 - r;
        uint8_t* dst = RowPointer(y);
        if (h.kind == 4) {
            if (in.ReadBytes(row.data(), row.size()) != row.size()) {
                SetLastError(kCannotLoad);
                return false;
            }
            // A 1 bit of the file is black, index 0: the bits invert.
            for (size_t i = 0; i < row.size(); ++i)
                dst[i] = static_cast<uint8_t>(~row[i]);
            if (width % 8 != 0)
                dst[row.size() - 1] &= static_cast<uint8_t>(0xFF << (8 - width % 8));
            continue;
        }
        if (h.raw()) {
            if (in.ReadBytes(row.data(), row.size()) != row.size()) {
                SetLastError(kCannotLoad);
                return false;
            }
            if (bytesPerSample == 1) {
                for (uint32_t x = 0; x < width; ++x)
                    values[x] = static_cast<uint8_t>(std::min<uint32_t>(row[x], maxval));
            } else {
                for (uint32_t x = 0; x < width; ++x) {
                    const uint32_t v = std::min<uint32_t>(row[2 * x] << 8 | row[2 * x + 1], maxval);
                    values[x] = static_cast<uint8_t>(v >> shift);
                }
            }
        } else if (h.kind == 1) {
            for (uint32_t x = 0; x < width; ++x) {
                SkipSeparators(in);
                const int c = in.Get();
                if (c != '0' && c != '1') {
                    SetLastError(kCannotLoad);
                    return false;
                }
                values[x] = c == '0' ? 1 : 0;
            }
        } else {
            for (uint32_t x = 0; x < width; ++x) {
                uint32_t v = 0;
                if (!ReadNumber(in, UINT32_MAX, &v)) {
                    SetLastError(kCannotLoad);
                    return false;
                }
                values[x] = static_cast<uint8_t>(std::min(v, maxval) >> shift);
            }
        }
        if (bits == 8) {
            std::memcpy(dst, values.data(), width);
        } else {
            for (uint32_t x = 0; x < width; ++x)
                WriteIndex(static_cast<int32_t>(x), y, values[x]);
        }
    }
    return true;
}

} // namespace talvore
