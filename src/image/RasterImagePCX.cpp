#include "image/RasterImagePCX.h"

#include "image/ByteStream.h"
#include "image/CheckedMath.h"
#include "image/DecoderSteps.h"
#include "image/LittleEndian.h"
#include "image/StreamReader.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace talvore {

namespace {

constexpr const char* kTruncated = "Error: PCX file truncated";

// The decode in steps: the header and its layout, the palette of the
// header, the run-length coded scan lines, then the 256-colour palette at
// the end of the file. Each step answers false with the last error set.
class PcxReader : private DecoderSteps {
public:
    PcxReader(RasterImagePCX& image, ByteStream* file) : DecoderSteps(image, file) {}

    bool Decode() {
        return HasFile() && ReadHeader() && CheckLayout() && CreateImage() && ReadScanLines() &&
               (target_ != 8 || ReadTrailerPalette());
    }

private:
    bool ReadHeader() {
        start_ = file_->Tell();
        if (in_.ReadBytes(head_, sizeof head_) != sizeof head_ || head_[0] != 10 || head_[2] != 1)
            return Fail("Error: Not a PCX file");
        const int32_t xMin = le::LoadU16(head_ + 4);
        const int32_t yMin = le::LoadU16(head_ + 6);
        const int32_t xMax = le::LoadU16(head_ + 8);
        const int32_t yMax = le::LoadU16(head_ + 10);
        if (xMax < xMin || yMax < yMin)
            return Fail("Error: Invalid PCX image dimensions");
        width_ = static_cast<uint32_t>(xMax - xMin + 1);
        height_ = static_cast<uint32_t>(yMax - yMin + 1);
        bits_ = head_[3];
        planes_ = head_[65];
        lineBytes_ = le::LoadU16(head_ + 66);
        return true;
    }

    // The layouts in use: 1-bit mono, 4-bit as one plane or four bit
    // planes, 8-bit with a 256-colour palette, 24-bit as three 8-bit planes.
    bool CheckLayout() {
        if (bits_ == 1 && planes_ == 1)
            target_ = 1;
        else if ((bits_ == 1 && planes_ == 4) || (bits_ == 4 && planes_ == 1))
            target_ = 4;
        else if (bits_ == 8 && planes_ == 1)
            target_ = 8;
        else if (bits_ == 8 && planes_ == 3)
            target_ = 24;
        if (target_ == 0)
            return Fail("Error: Unsupported PCX bit depth");
        if (uint64_t{lineBytes_} * 8 < uint64_t{width_} * bits_)
            return Fail("Error: Invalid PCX line length");
        // Every byte of run-length data stands for at most 63 decoded bytes.
        scanBytes_ = uint64_t{lineBytes_} * planes_;
        uint64_t decoded = 0;
        const int64_t remaining = in_.Remaining();
        if (!CheckedMul<uint64_t>(scanBytes_, height_, &decoded) ||
            (remaining >= 0 && (decoded + 62) / 63 > static_cast<uint64_t>(remaining)))
            return Fail(kTruncated);
        return true;
    }

    bool CreateImage() {
        if (image_.Create(width_, height_, target_, FORMAT_PCX) == nullptr)
            return false;
        const int32_t hDpi = le::LoadU16(head_ + 12);
        const int32_t vDpi = le::LoadU16(head_ + 14);
        if (hDpi > 0)
            image_.SetHorizontalDpi(hDpi);
        if (vDpi > 0)
            image_.SetVerticalDpi(vDpi);
        if (target_ == 1) {
            image_.FillStandardPalette(); // black, white
        } else if (target_ == 4) {
            RgbQuad palette[16];
            for (int i = 0; i < 16; ++i)
                palette[i] = RgbQuad{head_[18 + 3 * i], head_[17 + 3 * i], head_[16 + 3 * i], 0};
            image_.StorePalette(palette, 16);
        }
        return true;
    }

    // Runs may continue from one scan line into the next.
    bool ReadScanLine(std::vector<uint8_t>& scan) {
        for (size_t i = 0; i < scan.size();) {
            if (runLeft_ == 0) {
                const int c = in_.Get();
                if (c < 0)
                    return Fail(kTruncated);
                runLeft_ = 1;
                runValue_ = static_cast<uint8_t>(c);
                if ((c & 0xC0) == 0xC0) {
                    const int v = in_.Get();
                    if (v < 0)
                        return Fail(kTruncated);
                    runLeft_ = static_cast<uint32_t>(c & 0x3F); // 0 stands for nothing
                    runValue_ = static_cast<uint8_t>(v);
                }
                continue;
            }
            scan[i++] = runValue_;
            --runLeft_;
        }
        return true;
    }

    void StoreScanLine(const std::vector<uint8_t>& scan, uint32_t r) {
        const int32_t y = static_cast<int32_t>(height_ - 1 - r);
        uint8_t* dst = image_.RowPointer(y);
        if (target_ == 24) {
            for (uint32_t x = 0; x < width_; ++x) {
                dst[3 * x] = scan[2 * lineBytes_ + x];
                dst[3 * x + 1] = scan[lineBytes_ + x];
                dst[3 * x + 2] = scan[x];
            }
        } else if (target_ == 4 && planes_ == 4) {
            for (uint32_t x = 0; x < width_; ++x) {
                uint8_t index = 0;
                for (uint32_t p = 0; p < 4; ++p)
                    index |= static_cast<uint8_t>(
                        ((scan[p * lineBytes_ + x / 8] >> (7 - x % 8)) & 1) << p);
                image_.WriteIndex(static_cast<int32_t>(x), y, index);
            }
        } else {
            std::memcpy(dst, scan.data(),
                        std::min<size_t>(image_.RowStride(), (uint64_t{width_} * bits_ + 7) / 8));
        }
    }

    bool ReadScanLines() {
        std::vector<uint8_t> scan(static_cast<size_t>(scanBytes_));
        for (uint32_t r = 0; r < height_; ++r) {
            if (!ReadScanLine(scan))
                return false;
            StoreScanLine(scan, r);
        }
        return true;
    }

    // Version 5 keeps it in the last 769 bytes: 12, then red, green, blue.
    // Without it the image is taken for gray; either way the decode stands.
    bool ReadTrailerPalette() {
        uint8_t tail[769];
        if (head_[1] >= 5 && file_->Seek(-769, 2) && file_->Tell() >= start_ + 128 &&
            file_->Read(tail, 1, sizeof tail) == sizeof tail && tail[0] == 12) {
            RgbQuad palette[256];
            for (int i = 0; i < 256; ++i)
                palette[i] = RgbQuad{tail[3 + 3 * i], tail[2 + 3 * i], tail[1 + 3 * i], 0};
            image_.StorePalette(palette, 256);
            return true;
        }
        image_.FillGrayPalette();
        return true;
    }

    int32_t start_ = 0;
    uint8_t head_[128] = {};
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    uint32_t bits_ = 0;
    uint32_t planes_ = 0;
    uint32_t lineBytes_ = 0;
    uint32_t target_ = 0;
    uint64_t scanBytes_ = 0;
    uint32_t runLeft_ = 0;
    uint8_t runValue_ = 0;
};

} // namespace

bool RasterImagePCX::Decode(ByteStream* file) {
    return PcxReader(*this, file).Decode();
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
    // The rounding to even can take an odd width past the 16-bit field.
    if (bytesPerLine > 65535) {
        SetLastError("PCX bytes per line must be at most 65535");
        return false;
    }
    const uint32_t planes = bits == 24 ? 3 : (bits == 4 ? 4 : 1);

    uint8_t header[128] = {};
    le::StoreFields(header, {{1, 10},
                             {1, 5},
                             {1, 1},
                             {1, bytePlanes ? 8u : 1u},
                             {2, 0},
                             {2, 0},
                             {2, width - 1},
                             {2, height - 1},
                             {2, static_cast<uint32_t>(HorizontalDpi())},
                             {2, static_cast<uint32_t>(VerticalDpi())}});
    if (bits == 1) {
        header[19] = header[20] = header[21] = 255;
    } else if (bits == 4 && palette != nullptr) {
        for (uint32_t i = 0; i < 16; ++i) {
            header[16 + i * 3] = palette[i].red;
            header[17 + i * 3] = palette[i].green;
            header[18 + i * 3] = palette[i].blue;
        }
    }
    le::StoreFields(header + 64,
                    {{1, 0}, {1, planes}, {2, bytesPerLine}, {2, bits == 24 ? 1u : 0u}});
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
