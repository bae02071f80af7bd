// Image library throughput on full-page sizes (4000 × 3000): PNM loading from
// memory through automatic recognition, as the converter loads, and the two
// conversions on a photo-like 24-bit image. DecreaseBpp is measured against
// the plain pixel-by-pixel nearest-colour loop it must match exactly.
#include "image/ByteStream.h"
#include "image/RasterImage.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

using namespace talvore;

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

uint8_t Clamp(double v) {
    return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

// Smooth gradients with sensor-like noise: few equal neighbours, millions of
// distinct colours, as in a scanned photograph.
void PhotoPixel(std::mt19937& random, int x, int y, uint8_t* rgb) {
    const double noise = static_cast<double>(random() % 17) - 8.0;
    rgb[0] = Clamp(128 + 100 * std::sin(x / 310.0 + y / 520.0) + noise);
    rgb[1] = Clamp(120 + 90 * std::cos(x / 450.0 - y / 270.0) + noise * 0.7);
    rgb[2] = Clamp(110 + 80 * std::sin((x + y) / 390.0) - noise);
}

const std::vector<uint8_t>& PpmFile() {
    static const std::vector<uint8_t> file = [] {
        std::string header =
            "P6\n" + std::to_string(kWidth) + " " + std::to_string(kHeight) + "\n255\n";
        std::vector<uint8_t> data(header.begin(), header.end());
        data.resize(header.size() + size_t{kWidth} * kHeight * 3);
        std::mt19937 random(1);
        uint8_t* p = data.data() + header.size();
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x, p += 3)
                PhotoPixel(random, x, y, p);
        return data;
    }();
    return file;
}

const std::vector<uint8_t>& PbmFile() {
    static const std::vector<uint8_t> file = [] {
        std::string header = "P4\n" + std::to_string(kWidth) + " " + std::to_string(kHeight) + "\n";
        std::vector<uint8_t> data(header.begin(), header.end());
        std::mt19937 random(2);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < (kWidth + 7) / 8; ++x)
                data.push_back(static_cast<uint8_t>(random()));
        return data;
    }();
    return file;
}

const RasterImage& Photo() {
    static const RasterImage photo = [] {
        RasterImage image;
        std::vector<uint8_t> file = PpmFile();
        MemoryStream stream(file.data(), static_cast<uint32_t>(file.size()));
        image.Decode(&stream, FORMAT_UNKNOWN);
        return image;
    }();
    return photo;
}

void SetRates(benchmark::State& state, size_t bytes) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
    state.counters["Mpixel/s"] = benchmark::Counter(kWidth * double{kHeight} / 1e6,
                                                    benchmark::Counter::kIsIterationInvariantRate);
}

void LoadFromMemory(benchmark::State& state, const std::vector<uint8_t>& source) {
    std::vector<uint8_t> file = source;
    for (auto _ : state) {
        MemoryStream stream(file.data(), static_cast<uint32_t>(file.size()));
        RasterImage image;
        if (!image.Decode(&stream, FORMAT_UNKNOWN))
            state.SkipWithError(image.LastErrorText());
        benchmark::DoNotOptimize(image.BlockAddress());
    }
    SetRates(state, file.size());
}

void BM_LoadPnmP6(benchmark::State& state) {
    LoadFromMemory(state, PpmFile());
}
void BM_LoadPnmP4(benchmark::State& state) {
    LoadFromMemory(state, PbmFile());
}

void BM_ConvertToGray(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        RasterImage image(Photo());
        state.ResumeTiming();
        if (!image.ConvertToGray())
            state.SkipWithError("ConvertToGray failed");
        benchmark::DoNotOptimize(image.BlockAddress());
    }
    SetRates(state, Photo().ImageSize());
}

void BM_DecreaseBpp8(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        RasterImage image(Photo());
        state.ResumeTiming();
        if (!image.DecreaseBpp(8, false, nullptr, 0))
            state.SkipWithError(image.LastErrorText());
        benchmark::DoNotOptimize(image.BlockAddress());
    }
    SetRates(state, Photo().ImageSize());
}

// The plain rule, pixel by pixel: what DecreaseBpp must equal.
void BM_DecreaseBpp8Plain(benchmark::State& state) {
    const RasterImage& photo = Photo();
    for (auto _ : state) {
        RasterImage target;
        target.Create(kWidth, kHeight, 8, FORMAT_UNKNOWN);
        target.FillStandardPalette();
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                target.WriteColorNoBounds(x, y, photo.ReadColorNoBounds(x, y));
        benchmark::DoNotOptimize(target.BlockAddress());
    }
    SetRates(state, photo.ImageSize());
}

BENCHMARK(BM_LoadPnmP6)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadPnmP4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertToGray)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecreaseBpp8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecreaseBpp8Plain)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
