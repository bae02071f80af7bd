// Each image reader by its format id: the first byte picks a row of the
// codec table that Decode takes (readers and refusals alike, modulo their
// count), the rest is the file, decoded with that id from memory; whatever
// loads must pass the checks of FuzzChecks.h.
#include "FuzzChecks.h"
#include "image/ByteStream.h"
#include "image/CodecTable.h"
#include "image/RasterImage.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

using namespace talvore;

namespace {

std::vector<uint32_t> ReadableIds() {
    std::vector<uint32_t> ids;
    for (const CodecRow& row : CodecRows())
        if (row.Reads())
            ids.push_back(row.formatId);
    return ids;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<uint32_t> ids = ReadableIds();
    if (size == 0 || size > (1u << 24))
        return 0;
    const uint32_t id = ids[data[0] % ids.size()];
    std::vector<uint8_t> bytes(data + 1, data + size);
    MemoryStream stream(bytes.empty() ? nullptr : bytes.data(), static_cast<uint32_t>(size - 1));
    RasterImage image;
    const bool ok = image.Decode(&stream, id);
    if (ok != image.HasPixels())
        std::abort();
    if (!ok && image.LastErrorText()[0] == '\0')
        std::abort();
    fuzz::CheckImage(image);
    return 0;
}
