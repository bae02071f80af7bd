#include "image/RasterImagePCX.h"

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
    if (bits == 1 && planes == 1) target = 1;
    else if ((bits == 1 && planes == 4) || (bits == 4 && planes == 1)) target = 4;
    else if (bits == 8 && planes == 1) target = 8;
    else if (bits == 8 && planes == 3) target = 24;
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
    if (Create(width, height, target, FORMAT_PCX) == nullptr) return false;
    if (hDpi > 0) SetHorizontalDpi(hDpi);
    if (vDpi > 0) SetVerticalDpi(vDpi);

    if (target == 1) {
        FillStandardPalette(); // black, white
    } else if (target == 4) {
        RgbQuad palette[16];
        for (int i = 0; i < 16; ++i) palette[i] = RgbQuad{head[18 + 3 * i], head[17 + 3 * i], head[16 + 3 * i], 0};
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
                    index |= static_cast<uint8_t>(((scan[p * lineBytes + x / 8] >> (7 - x % 8)) & 1) << p);
                WriteIndex(static_cast<int32_t>(x), y, index);
            }
        } else {
            std::memcpy(dst, scan.data(), std::min<size_t>(RowStride(), (uint64_t{width} * bits + 7) / 8));
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

} // namespace talvore
