#include "image/RasterImagePNG.h"

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <vector>

#include <png.h>

namespace talvore {
namespace {

constexpr uint32_t kPngInterlace = 1; // codec option of the PNG slot: Adam7

// libpng writes each chunk as length, type, data and CRC pieces; they are
// gathered here so the stream sees few large writes. The buffer belongs to
// the caller's frame, which a libpng error does not unwind.
struct PngOutput {
    ByteStream* file;
    uint8_t* buffer;
    size_t capacity;
    size_t used;
};

constexpr size_t kPngOutputBuffer = 65536;

void PngDrain(png_structp png, PngOutput& out) {
    if (out.used == 0)
        return;
    if (out.file == nullptr || out.file->Write(out.buffer, 1, out.used) != out.used)
        png_error(png, "Write Error");
    out.used = 0;
}

void PngWrite(png_structp png, png_bytep data, png_size_t length) {
    auto& out = *static_cast<PngOutput*>(png_get_io_ptr(png));
    if (length > out.capacity - out.used)
        PngDrain(png, out);
    if (length >= out.capacity) {
        if (out.file == nullptr || out.file->Write(data, 1, length) != length)
            png_error(png, "Write Error");
        return;
    }
    std::memcpy(out.buffer + out.used, data, length);
    out.used += length;
}

void PngFlush(png_structp png) {
    auto& out = *static_cast<PngOutput*>(png_get_io_ptr(png));
    PngDrain(png, out);
    if (out.file == nullptr || !out.file->Flush())
        png_error(png, "Flush Error");
}

// The palette copy and the row buffer are owned by the caller, so a libpng
// error that jumps back here skips no destructor.
struct PngJob {
    const RasterImage* image;
    ByteStream* file;
    png_color* palette;
    int paletteCount;
    uint8_t* row;
    size_t rowLength;
    PngOutput* output;
    int colourType;
    int bitDepth;
    bool swapRedBlue;
    png_color_16 background;
    bool transparentIndex;
    png_byte transparency[256];
    int transparencyCount;
};

bool WritePng(PngJob& job) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) {
        const_cast<RasterImage*>(job.image)->SetLastError("Failed to create PNG structure");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        const_cast<RasterImage*>(job.image)->SetLastError(
            "Failed to initialize PNG info structure");
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        const_cast<RasterImage*>(job.image)->SetLastError("Error saving PNG file");
        return false;
    }

    png_set_write_fn(png, job.output, PngWrite, PngFlush);
    const RasterImage& image = *job.image;
    const uint32_t width = static_cast<uint32_t>(image.Width());
    const uint32_t height = static_cast<uint32_t>(image.Height());
    const int interlace =
        (image.CodecFlags(FORMAT_PNG) & kPngInterlace) ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE;
    png_set_IHDR(png, info, width, height, job.bitDepth, job.colourType, interlace,
                 PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    png_set_bKGD(png, info, &job.background);
    if (job.transparentIndex) {
        if (job.colourType == PNG_COLOR_TYPE_PALETTE)
            png_set_tRNS(png, info, job.transparency, job.transparencyCount, nullptr);
        else
            png_set_tRNS(png, info, nullptr, 0, &job.background);
    }
    png_set_pHYs(png, info, static_cast<png_uint_32>(image.Header().xPelsPerMeter),
                 static_cast<png_uint_32>(image.Header().yPelsPerMeter), PNG_RESOLUTION_METER);
    if (job.colourType == PNG_COLOR_TYPE_PALETTE)
        png_set_PLTE(png, info, job.palette, job.paletteCount);

    png_write_info(png, info);
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass) {
        for (uint32_t r = 0; r < height; ++r) {
            const uint8_t* source = image.RowPointer(static_cast<int32_t>(height - 1 - r));
            std::memcpy(job.row, source, std::min<size_t>(image.RowStride(), job.rowLength));
            if (job.swapRedBlue)
                image.SwapRedBlue(job.row, static_cast<uint32_t>(job.rowLength));
            png_write_row(png, job.row);
        }
    }
    png_write_end(png, info);
    PngDrain(png, *job.output);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

bool RasterImagePNG::Encode(ByteStream* file) {
    if (CheckEncodeTarget(file))
        return false;

    const uint32_t bits = BitsPerPixel();
    const int channels = bits > 8 ? 3 : 1;
    PngJob job{};
    job.image = this;
    job.file = file;
    job.bitDepth = static_cast<int>(bits) / channels;

    const RgbQuad* entries = PaletteEntries();
    std::vector<png_color> palette;
    if (entries != nullptr) {
        job.colourType = HasIdentityGrayPalette() ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_PALETTE;
        const uint32_t count =
            ColorsImportant() != 0 ? std::min(ColorsImportant(), ColorsUsed()) : ColorsUsed();
        palette.resize(count);
        for (uint32_t i = 0; i < count; ++i)
            palette[i] = png_color{entries[i].red, entries[i].green, entries[i].blue};
        job.palette = palette.data();
        job.paletteCount = static_cast<int>(count);
    } else {
        job.colourType = PNG_COLOR_TYPE_RGB;
    }
    job.swapRedBlue = job.colourType == PNG_COLOR_TYPE_RGB;

    job.background = png_color_16{0, 255, 255, 255, 0};
    const int32_t backgroundIndex = BackgroundIndex();
    if (backgroundIndex >= 0) {
        const RgbQuad colour = entries != nullptr
                                   ? PaletteColor(static_cast<uint32_t>(backgroundIndex))
                                   : BackgroundColour();
        job.background =
            png_color_16{static_cast<png_byte>(entries != nullptr ? backgroundIndex : 0),
                         colour.red, colour.green, colour.blue, colour.blue};
        if (job.colourType == PNG_COLOR_TYPE_PALETTE && backgroundIndex < job.paletteCount) {
            std::fill(std::begin(job.transparency), std::end(job.transparency), png_byte{255});
            job.transparency[backgroundIndex] = 0;
            job.transparencyCount = backgroundIndex + 1;
            job.transparentIndex = true;
        } else if (job.colourType != PNG_COLOR_TYPE_PALETTE) {
            job.transparentIndex = true;
        }
    }

    const size_t packed = static_cast<size_t>(Width()) * channels * (job.bitDepth / 8);
    std::vector<uint8_t> row(std::max<size_t>(RowStride(), packed));
    job.row = row.data();
    job.rowLength = row.size();
    std::vector<uint8_t> outputBuffer(kPngOutputBuffer);
    PngOutput output{file, outputBuffer.data(), outputBuffer.size(), 0};
    job.output = &output;
    return WritePng(job);
}

} // namespace talvore
