// Feeds arbitrary bytes to the load path from memory: automatic recognition
// over every decoder, then the PNM decoder directly, then the conversions on
// whatever loaded. Built with libFuzzer (fuzz preset) and, for replaying the
// corpus and crasher files under CTest, with the normal compiler.
#include "FuzzChecks.h"
#include "image/ByteStream.h"
#include "image/RasterImage.h"

#include <cstdint>
#include <vector>

using namespace talvore;
using talvore::fuzz::CheckImage;

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
