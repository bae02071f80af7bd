// Feeds arbitrary bytes to the load path from memory: automatic recognition
// over every decoder, then the PNM decoder directly, then the conversions on
// whatever loaded. Built with libFuzzer (fuzz preset) and, for replaying the
// corpus and crasher files under CTest, with the normal compiler.
#include "image/ByteStream.h"
#include "image/RasterImage.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace talvore;

namespace {

void CheckImage(RasterImage& image) {
    if (!image.HasPixels())
        return;
    // Every row lies inside the block.
    const uint8_t* first = image.RowPointer(0);
    const uint8_t* last = image.RowPointer(image.Height() - 1);
    if (first == nullptr || last == nullptr ||
        last + image.RowStride() > image.BlockAddress() + image.BlockSize())
        std::abort();
    if (uint64_t{static_cast<uint32_t>(image.Width())} * static_cast<uint32_t>(image.Height()) >
        (1u << 16))
        return;
    RasterImage gray(image);
    gray.ConvertToGray();
    RasterImage reduced(image);
    reduced.DecreaseBpp(8, false);
    reduced.DecreaseBpp(4, false);
    reduced.DecreaseBpp(1, false);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 24))
        return 0;
    // A private copy: MemoryStream takes a writable buffer, and this keeps
    // reads past the input visible to the sanitizer.
    std::vector<uint8_t> bytes(data, data + size);
    {
        MemoryStream stream(bytes.empty() ? nullptr : bytes.data(), static_cast<uint32_t>(size));
        RasterImage image;
        image.Decode(&stream, FORMAT_UNKNOWN);
        CheckImage(image);
    }
    {
        MemoryStream stream(bytes.empty() ? nullptr : bytes.data(), static_cast<uint32_t>(size));
        RasterImage image;
        image.Decode(&stream, FORMAT_PNM);
        CheckImage(image);
    }
    return 0;
}
