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

// Recognition looks at two bytes only, "P" and a decimal digit, and puts
// them back.
bool LooksLikePnm(ByteStream* file) {
    const int32_t start = file->Tell();
    uint8_t magic[2] = {0, 0};
    const bool recognised =
        file->Read(magic, 1, 2) == 2 && magic[0] == 'P' && magic[1] >= '0' && magic[1] <= '9';
    return recognised && file->Seek(start, 0);
}

// The samples after the header, in steps: the data length check, then the
// rows of a colour or a gray image, each kind of row its own step. Each
// step answers false with the last error set.
class PnmReader {
public:
    PnmReader(RasterImageJAS& image, PnmInput& in, const PnmHeader& h)
        : image_(image), in_(in), h_(h), width_(h.width), height_(static_cast<int32_t>(h.height)),
          bytesPerSample_(h.precision > 8 ? 2 : 1), shift_(h.precision > 8 ? h.precision - 8 : 0) {}

    // Refuses short data before anything is allocated for it.
    bool CheckLength() {
        uint64_t needed = 0;
        if (h_.kind == 4) {
            rowBytes_ = (uint64_t{h_.width} + 7) / 8;
        } else if (!CheckedMul<uint64_t>(h_.width, uint64_t{h_.components} * bytesPerSample_,
                                         &rowBytes_)) {
            return Fail();
        }
        uint64_t samples = 0;
        const bool sized = CheckedMul<uint64_t>(h_.width, h_.height, &samples) &&
                           CheckedMul<uint64_t>(samples, h_.components, &samples) &&
                           CheckedMul<uint64_t>(rowBytes_, h_.height, &needed);
        // A plain sample takes a byte at least.
        const uint64_t minimum = h_.raw() ? needed : samples;
        const int64_t remaining = in_.Remaining();
        if (!sized || (remaining >= 0 && minimum > static_cast<uint64_t>(remaining)))
            return Fail();
        row_.resize(h_.raw() ? static_cast<size_t>(rowBytes_) : 0);
        return true;
    }

    bool DecodeColour() {
        if (image_.Create(width_, h_.height, 24, FORMAT_PNM) == nullptr)
            return false;
        for (int32_t r = 0; r < height_; ++r) {
            uint8_t* dst = image_.RowPointer(height_ - 1 - r);
            if (!(h_.raw() ? ReadRawColourRow(dst) : ReadPlainColourRow(dst)))
                return false;
        }
        return true;
    }

    // One gray component: one frame, of min(precision, 8) bits.
    bool DecodeGray(uint32_t formatId) {
        image_.SetFrameCount(1);
        if (image_.Frame() != 0) {
            image_.SetLastError("wrong frame!");
            return false;
        }
        if (image_.Create(width_, h_.height, std::min<uint32_t>(h_.precision, 8), formatId) ==
            nullptr)
            return false;
        image_.FillGrayPalette();
        // Raw bitmaps go straight into the packed rows: a byte a pixel would
        // be eight times the image.
        if (h_.kind != 4)
            values_.resize(width_);
        for (int32_t r = 0; r < height_; ++r) {
            const int32_t y = height_ - 1 - r;
            if (h_.kind == 4) {
                if (!ReadRawBitmapRow(image_.RowPointer(y)))
                    return false;
                continue;
            }
            const bool read = h_.raw()       ? ReadRawGrayRow()
                              : h_.kind == 1 ? ReadPlainBitmapRow()
                                             : ReadPlainGrayRow();
            if (!read)
                return false;
            StoreGrayRow(y);
        }
        return true;
    }

private:
    bool Fail() {
        image_.SetLastError(kCannotLoad);
        return false;
    }

    uint32_t Sample16(const uint8_t* p) const {
        return std::min<uint32_t>(p[0] << 8 | p[1], h_.maxval) >> shift_;
    }

    bool ReadRawColourRow(uint8_t* dst) {
        if (in_.ReadBytes(row_.data(), row_.size()) != row_.size())
            return Fail();
        const uint8_t* src = row_.data();
        const uint32_t maxval = h_.maxval;
        if (bytesPerSample_ == 1 && maxval == 255) {
            for (uint32_t x = 0; x < width_; ++x, src += 3, dst += 3) {
                dst[0] = src[2];
                dst[1] = src[1];
                dst[2] = src[0];
            }
        } else if (bytesPerSample_ == 1) {
            for (uint32_t x = 0; x < width_; ++x, src += 3, dst += 3) {
                dst[0] = static_cast<uint8_t>(std::min<uint32_t>(src[2], maxval));
                dst[1] = static_cast<uint8_t>(std::min<uint32_t>(src[1], maxval));
                dst[2] = static_cast<uint8_t>(std::min<uint32_t>(src[0], maxval));
            }
        } else {
            for (uint32_t x = 0; x < width_; ++x, src += 6, dst += 3)
                for (int c = 0; c < 3; ++c)
                    dst[2 - c] = static_cast<uint8_t>(Sample16(src + 2 * c));
        }
        return true;
    }

    bool ReadPlainColourRow(uint8_t* dst) {
        for (uint32_t x = 0; x < width_; ++x, dst += 3) {
            for (int c = 0; c < 3; ++c) {
                uint32_t v = 0;
                if (!ReadNumber(in_, UINT32_MAX, &v))
                    return Fail();
                dst[2 - c] = static_cast<uint8_t>(std::min(v, h_.maxval) >> shift_);
            }
        }
        return true;
    }

    // A 1 bit of the file is black, index 0: the bits invert.
    bool ReadRawBitmapRow(uint8_t* dst) {
        if (in_.ReadBytes(row_.data(), row_.size()) != row_.size())
            return Fail();
        for (size_t i = 0; i < row_.size(); ++i)
            dst[i] = static_cast<uint8_t>(~row_[i]);
        if (width_ % 8 != 0)
            dst[row_.size() - 1] &= static_cast<uint8_t>(0xFF << (8 - width_ % 8));
        return true;
    }

    bool ReadRawGrayRow() {
        if (in_.ReadBytes(row_.data(), row_.size()) != row_.size())
            return Fail();
        for (uint32_t x = 0; x < width_; ++x)
            values_[x] =
                static_cast<uint8_t>(bytesPerSample_ == 1 ? std::min<uint32_t>(row_[x], h_.maxval)
                                                          : Sample16(row_.data() + 2 * x));
        return true;
    }

    bool ReadPlainBitmapRow() {
        for (uint32_t x = 0; x < width_; ++x) {
            SkipSeparators(in_);
            const int c = in_.Get();
            if (c != '0' && c != '1')
                return Fail();
            values_[x] = c == '0' ? 1 : 0;
        }
        return true;
    }

    bool ReadPlainGrayRow() {
        for (uint32_t x = 0; x < width_; ++x) {
            uint32_t v = 0;
            if (!ReadNumber(in_, UINT32_MAX, &v))
                return Fail();
            values_[x] = static_cast<uint8_t>(std::min(v, h_.maxval) >> shift_);
        }
        return true;
    }

    void StoreGrayRow(int32_t y) {
        if (image_.BitsPerPixel() == 8) {
            std::memcpy(image_.RowPointer(y), values_.data(), width_);
            return;
        }
        for (uint32_t x = 0; x < width_; ++x)
            image_.WriteIndex(static_cast<int32_t>(x), y, values_[x]);
    }

    RasterImageJAS& image_;
    PnmInput& in_;
    const PnmHeader& h_;
    const uint32_t width_;
    const int32_t height_;
    const uint32_t bytesPerSample_;
    const uint32_t shift_;
    uint64_t rowBytes_ = 0;
    std::vector<uint8_t> row_;
    std::vector<uint8_t> values_;
};

} // namespace

bool RasterImageJAS::Decode(ByteStream* file, uint32_t formatId) {
    if (file == nullptr) {
        SetLastError("error: cannot open standard input");
        return false;
    }
    if (!LooksLikePnm(file)) {
        SetLastError(kUnknownFormat);
        return false;
    }
    PnmInput in(file);
    PnmHeader h;
    if (!ReadHeader(in, &h)) {
        SetLastError(kCannotLoad);
        return false;
    }
    if (info_.escape == -1) {
        header_.width = static_cast<int32_t>(h.width);
        header_.height = static_cast<int32_t>(h.height);
        info_.formatId = FORMAT_PNM;
        SetLastError("output dimensions returned");
        return true;
    }
    PnmReader reader(*this, in, h);
    if (!reader.CheckLength())
        return false;
    return h.components == 3 ? reader.DecodeColour() : reader.DecodeGray(formatId);
}

} // namespace talvore
