// Throughput of every image writer on a 4000 × 3000 picture, written to
// memory: bytes/s counts the input pixel bytes (width × height × bits / 8).
// 24-bit for BMP, TGA, PCX, JPEG, PNG and TIFF (JPEG); 8-bit after
// DecreaseBpp for GIF; 1-bit for TIFF (Group 4) and PCX.
#include "image/ByteStream.h"
#include "image/RasterImage.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>

using namespace talvore;

namespace {

constexpr uint32_t kWidth = 4000;
constexpr uint32_t kHeight = 3000;

// Smooth gradients with a little noise and some flat areas, roughly what a
// scanned page or photo in a PDF looks like.
std::unique_ptr<RasterImage> MakePhoto() {
    auto image = std::make_unique<RasterImage>();
    image->Create(kWidth, kHeight, 24, 0);
    std::mt19937 random(42);
    for (uint32_t y = 0; y < kHeight; ++y) {
        uint8_t* row = image->RowPointer(static_cast<int32_t>(y));
        for (uint32_t x = 0; x < kWidth; ++x) {
            const bool flat = (x / 500 + y / 500) % 3 == 0;
            const uint32_t noise = flat ? 0 : random() % 8;
            row[x * 3] = static_cast<uint8_t>(x * 255 / kWidth + noise);
            row[x * 3 + 1] = static_cast<uint8_t>(y * 255 / kHeight + noise);
            row[x * 3 + 2] = static_cast<uint8_t>((x + y) * 255 / (kWidth + kHeight) + noise);
        }
    }
    return image;
}

const RasterImage& Photo() {
    static const std::unique_ptr<RasterImage> photo = MakePhoto();
    return *photo;
}

std::unique_ptr<RasterImage> MakeIndexed() {
    auto image = std::make_unique<RasterImage>(Photo());
    image->DecreaseBpp(8, false);
    return image;
}

// Text-like bitmap: short dark strokes on white.
std::unique_ptr<RasterImage> MakeBitmap() {
    auto image = std::make_unique<RasterImage>();
    image->Create(kWidth, kHeight, 1, 0);
    image->FillGrayPalette();
    for (uint32_t y = 0; y < kHeight; ++y) {
        uint8_t* row = image->RowPointer(static_cast<int32_t>(y));
        for (uint32_t b = 0; b < image->RowStride(); ++b) {
            const bool ink = (y % 24) < 14 && ((b * 7 + y / 24) % 5) < 3;
            row[b] = ink ? static_cast<uint8_t>(0x0F ^ (b * 13 + y)) : 0xFF;
        }
    }
    return image;
}

void RunWriter(benchmark::State& state, RasterImage& image, uint32_t formatId) {
    size_t written = 0;
    for (auto _ : state) {
        MemoryStream out;
        out.Open();
        if (!image.Encode(&out, formatId)) {
            state.SkipWithError(image.LastErrorText());
            return;
        }
        written = static_cast<size_t>(out.Size());
        benchmark::DoNotOptimize(out.BufferAddress(false));
    }
    const double pixelBytes = double(kWidth) * kHeight * image.BitsPerPixel() / 8;
    state.SetBytesProcessed(static_cast<int64_t>(pixelBytes * state.iterations()));
    state.counters["output_MB"] = double(written) / 1e6;
}

void BM_Rgb(benchmark::State& state, uint32_t formatId) {
    RasterImage image(Photo());
    RunWriter(state, image, formatId);
}

void BM_Gif8(benchmark::State& state) {
    static const std::unique_ptr<RasterImage> indexed = MakeIndexed();
    RunWriter(state, *indexed, FORMAT_GIF);
}

void BM_Bitmap(benchmark::State& state, uint32_t formatId) {
    static const std::unique_ptr<RasterImage> bitmap = MakeBitmap();
    RunWriter(state, *bitmap, formatId);
}

} // namespace

BENCHMARK_CAPTURE(BM_Rgb, Bmp24, FORMAT_BMP)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Rgb, Tga24, FORMAT_TGA)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Rgb, Pcx24, FORMAT_PCX)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Rgb, Jpeg24, FORMAT_JPG)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Rgb, Png24, FORMAT_PNG)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Rgb, TiffJpeg24, FORMAT_TIF)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Gif8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Bitmap, TiffG4_1, FORMAT_TIF)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Bitmap, Pcx1, FORMAT_PCX)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
