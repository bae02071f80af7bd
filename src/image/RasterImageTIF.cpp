#include "image/RasterImageTIF.h"

#include "image/AlphaPixels.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include <tiffio.h>

namespace talvore {
namespace {

tmsize_t TiffRead(thandle_t handle, void* buffer, tmsize_t size) {
    return static_cast<tmsize_t>(
        static_cast<ByteStream*>(handle)->Read(buffer, 1, static_cast<size_t>(size)));
}

tmsize_t TiffWrite(thandle_t handle, void* buffer, tmsize_t size) {
    return static_cast<tmsize_t>(
        static_cast<ByteStream*>(handle)->Write(buffer, 1, static_cast<size_t>(size)));
}

toff_t TiffSeek(thandle_t handle, toff_t offset, int origin) {
    auto* file = static_cast<ByteStream*>(handle);
    const auto failed = static_cast<toff_t>(-1);
    // Our streams address 32-bit offsets; anything beyond fails cleanly.
    if (offset == failed || offset > 0x7FFFFFFF)
        return failed;
    if (!file->Seek(static_cast<int32_t>(offset), origin))
        return failed;
    if (origin == SEEK_SET)
        return offset;
    const int32_t position = file->Tell();
    return position < 0 ? failed : static_cast<toff_t>(position);
}

int TiffClose(thandle_t) {
    return 0;
}

toff_t TiffSize(thandle_t handle) {
    const int32_t size = static_cast<ByteStream*>(handle)->Size();
    return size < 0 ? 0 : static_cast<toff_t>(size);
}

int TiffMap(thandle_t, void**, toff_t*) {
    return 0;
}
void TiffUnmap(thandle_t, void*, toff_t) {}

constexpr int Gray(const RgbQuad& c) {
    return (117 * c.blue + 601 * c.green + 306 * c.red) >> 10;
}

} // namespace

RasterImageTIF::~RasterImageTIF() {
    CloseHandle();
}

void RasterImageTIF::CloseHandle() {
    if (handle_ != nullptr)
        TIFFClose(handle_);
    handle_ = nullptr;
}

bool RasterImageTIF::Encode(ByteStream* file, bool append) {
    if (file == nullptr) {
        SetLastError("null file handler");
        return false;
    }
    if (!HasPixels()) {
        SetLastError("null image!!!");
        return false;
    }
    if (handle_ == nullptr) {
        handle_ = TIFFClientOpen("TIFF IMAGE", "a", static_cast<thandle_t>(file), TiffRead,
                                 TiffWrite, TiffSeek, TiffClose, TiffSize, TiffMap, TiffUnmap);
        if (handle_ == nullptr) {
            SetLastError("initialization fail");
            return false;
        }
    }
    if (append || pageCount_ > 0)
        multiPage_ = true;
    ++pageCount_;

    if (!WritePage()) {
        CloseHandle();
        SetLastError("Error saving TIFF file");
        return false;
    }
    if (!append) {
        // TIFFClose writes the directory but reports nothing; flush first so
        // a failed directory write is not taken for a saved file.
        const bool flushed = TIFFFlush(handle_) == 1;
        CloseHandle();
        multiPage_ = false;
        pageCount_ = 0;
        if (!flushed) {
            SetLastError("Error saving TIFF file");
            return false;
        }
        return true;
    }
    if (!TIFFWriteDirectory(handle_)) {
        CloseHandle();
        SetLastError("Error saving TIFF directory");
        return false;
    }
    return true;
}

bool RasterImageTIF::WritePage() {
    TIFF* tif = handle_;
    const uint32_t width = static_cast<uint32_t>(Width());
    const uint32_t height = static_cast<uint32_t>(Height());
    const uint32_t bits = BitsPerPixel();
    const uint16_t samples = bits == 24 ? 3 : 1;
    const uint16_t bitsPerSample = static_cast<uint16_t>(bits / samples);

    uint16_t photometric = PHOTOMETRIC_RGB;
    RgbQuad* palette = PaletteEntries();
    if (bits == 1 && palette != nullptr) {
        photometric = PHOTOMETRIC_MINISWHITE;
        // In the file a 1 bit is black: swap a dark-first palette and invert
        // the bits. This changes the image being saved, as callers expect.
        if (Gray(palette[0]) < Gray(palette[1])) {
            std::swap(palette[0], palette[1]);
            uint8_t* pixels = PixelStart();
            for (uint32_t i = 0; i < ImageSize(); ++i)
                pixels[i] = static_cast<uint8_t>(~pixels[i]);
        }
    } else if (bits == 4 || bits == 8) {
        photometric = PHOTOMETRIC_MINISBLACK;
        for (uint32_t i = 0; i < ColorsUsed(); ++i) {
            const RgbQuad& c = palette[i];
            if (c.red != i || c.green != i || c.blue != i) {
                photometric = PHOTOMETRIC_PALETTE;
                break;
            }
        }
    }

    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bitsPerSample);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    const uint32_t rowsPerStrip = TIFFDefaultStripSize(tif, 0);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, static_cast<float>(HorizontalDpi()));
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, static_cast<float>(VerticalDpi()));
    if (multiPage_) {
        char name[32];
        std::snprintf(name, sizeof name, "Page %d", pageCount_);
        TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        TIFFSetField(tif, TIFFTAG_PAGENUMBER, static_cast<uint16_t>(pageCount_),
                     static_cast<uint16_t>(pageCount_));
        TIFFSetField(tif, TIFFTAG_PAGENAME, name);
    } else {
        TIFFSetField(tif, TIFFTAG_SUBFILETYPE, 0);
    }

    if (photometric == PHOTOMETRIC_PALETTE) {
        std::vector<uint16_t> map(3 * 256, 0);
        for (uint32_t i = 0; i < ColorsUsed() && i < 256; ++i) {
            map[i] = static_cast<uint16_t>(palette[i].red * 257);
            map[256 + i] = static_cast<uint16_t>(palette[i].green * 257);
            map[512 + i] = static_cast<uint16_t>(palette[i].blue * 257);
        }
        TIFFSetField(tif, TIFFTAG_COLORMAP, map.data(), map.data() + 256, map.data() + 512);
    }

    uint32_t compression = CodecFlags(FORMAT_TIF);
    if (compression == 0) {
        switch (bits) {
        case 1:
            compression = COMPRESSION_CCITTFAX4;
            break;
        case 4:
        case 8:
            compression = COMPRESSION_LZW;
            break;
        case 24:
            compression = COMPRESSION_JPEG;
            break;
        default:
            compression = COMPRESSION_NONE;
            break;
        }
    }
    TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
    if (compression == COMPRESSION_LZW && bits >= 8)
        TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    if (compression == COMPRESSION_JPEG) {
        TIFFSetField(tif, TIFFTAG_JPEGQUALITY, static_cast<int>(CompressionQuality()));
        // JPEG strips must hold whole 8-row blocks, or every write fails.
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, (rowsPerStrip + 7) / 8 * 8);
    }

    if (bits != 1 && bits != 4 && bits != 8 && bits != 24)
        return true;
    // The codecs may work on the row in place (the predictor does), so each
    // row is copied out of the image first.
    std::vector<uint8_t> row(RowStride());
    for (uint32_t r = 0; r < height; ++r) {
        std::memcpy(row.data(), RowPointer(static_cast<int32_t>(height - 1 - r)), row.size());
        if (bits == 24)
            SwapRedBlue(row.data(), static_cast<uint32_t>(row.size()));
        if (TIFFWriteScanline(tif, row.data(), r, 0) == -1)
            return false;
    }
    return true;
}

bool EncodeTiffAlpha(const AlphaPixels& pixels, ByteStream* file, std::string* error) {
    if (file == nullptr) {
        *error = "null file handler";
        return false;
    }
    if (!pixels.IsWhole() || (pixels.Channels != 2 && pixels.Channels != 4)) {
        *error = "the pixels do not match their sizes";
        return false;
    }
    TIFF* tif = TIFFClientOpen("TIFF IMAGE", "w", static_cast<thandle_t>(file), TiffRead, TiffWrite,
                               TiffSeek, TiffClose, TiffSize, TiffMap, TiffUnmap);
    if (tif == nullptr) {
        *error = "initialization fail";
        return false;
    }
    const uint16_t unassociated[1] = {EXTRASAMPLE_UNASSALPHA};
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, pixels.Width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, pixels.Height);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, static_cast<uint16_t>(pixels.Channels));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t{8});
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC,
                 pixels.Channels == 2 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, uint16_t{1}, unassociated);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    // The predictor works on the row in place.
    const size_t rowBytes = size_t{pixels.Width} * pixels.Channels;
    std::vector<uint8_t> row(rowBytes);
    bool ok = true;
    for (uint32_t r = 0; r < pixels.Height && ok; ++r) {
        std::memcpy(row.data(), pixels.Samples.data() + r * rowBytes, rowBytes);
        ok = TIFFWriteScanline(tif, row.data(), r, 0) != -1;
    }
    // TIFFClose writes the directory but reports nothing.
    ok = ok && TIFFFlush(tif) == 1;
    TIFFClose(tif);
    if (!ok)
        *error = "Error saving TIFF file";
    return ok;
}

} // namespace talvore
