// The GIF writer against giflib: a small palette image derived from the
// input (depth 1, 4 or 8, size, palette, pixels) is encoded to memory and
// decoded with giflib; any difference in size, palette or pixels aborts.
#include "image/ByteStream.h"
#include "image/RasterImage.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace talvore;

namespace {

// The input read as a stream of bytes that turns to zeros at its end.
class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t Next() { return at_ < size_ ? data_[at_++] : 0; }
    size_t Left() const { return size_ - at_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

struct Source {
    const uint8_t* data;
    size_t size;
    size_t at;
};

int ReadMemory(GifFileType* gif, GifByteType* buffer, int length) {
    auto* source = static_cast<Source*>(gif->UserData);
    const size_t n = std::min(static_cast<size_t>(length), source->size - source->at);
    std::memcpy(buffer, source->data + source->at, n);
    source->at += n;
    return static_cast<int>(n);
}

void Check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    static const uint32_t kDepths[3] = {1, 4, 8};
    const uint32_t bits = kDepths[in.Next() % 3];
    const uint32_t width = 1 + in.Next() % 128;
    const uint32_t height = 1 + in.Next() % 64;
    const bool background = (in.Next() & 1) != 0;

    RasterImage image;
    Check(image.Create(width, height, bits, 0) != nullptr);
    const uint32_t colours = 1u << bits;
    std::vector<RgbQuad> palette(colours);
    for (RgbQuad& entry : palette)
        entry = MakeRgb(in.Next(), in.Next(), in.Next());
    image.StorePalette(palette.data(), colours);
    if (background)
        image.SetBackgroundIndex(static_cast<int32_t>(in.Next() % colours));
    // Pixels come from the rest of the input, repeated when it runs short,
    // so long runs and LZW table resets both occur.
    const size_t start = size - in.Left();
    for (uint32_t i = 0; i < width * height; ++i) {
        const uint8_t v = start < size ? data[start + i % (size - start)] : 0;
        image.WriteIndex(static_cast<int32_t>(i % width), static_cast<int32_t>(i / width),
                         static_cast<uint8_t>(v % colours));
    }

    MemoryStream stream;
    Check(stream.Open());
    Check(image.Encode(&stream, FORMAT_GIF));
    Source source{stream.BufferAddress(false), static_cast<size_t>(stream.Size()), 0};

    int error = 0;
    GifFileType* gif = DGifOpen(&source, ReadMemory, &error);
    Check(gif != nullptr);
    Check(DGifSlurp(gif) == GIF_OK);
    Check(gif->ImageCount == 1 && gif->SColorMap != nullptr);
    Check(gif->SColorMap->ColorCount == static_cast<int>(colours));
    for (uint32_t i = 0; i < colours; ++i) {
        const GifColorType c = gif->SColorMap->Colors[i];
        Check(c.Red == palette[i].red && c.Green == palette[i].green && c.Blue == palette[i].blue);
    }
    const SavedImage& frame = gif->SavedImages[0];
    Check(frame.ImageDesc.Width == static_cast<int>(width) &&
          frame.ImageDesc.Height == static_cast<int>(height));
    for (uint32_t top = 0; top < height; ++top)
        for (uint32_t x = 0; x < width; ++x)
            Check(frame.RasterBits[size_t{top} * width + x] ==
                  image.ReadIndex(static_cast<int32_t>(x), static_cast<int32_t>(height - 1 - top)));
    DGifCloseFile(gif, &error);
    return 0;
}
