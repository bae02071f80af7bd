// RasterImageTIF: the codec for TIFF files (byte-order mark II or MM and version 42), through
// libtiff. Decode reads from the stream's current position into this image's block and answers
// false with a last error when the data is not its format (it must refuse PNM data, which the
// recognition order offers it) or is damaged.
#pragma once

#include "image/RasterImage.h"

struct tiff; // libtiff's handle type

namespace talvore {

class RasterImageTIF : public RasterImage {
public:
    explicit RasterImageTIF(uint32_t formatId = FORMAT_TIF) : RasterImage(formatId) {}
    ~RasterImageTIF() override;

    bool Decode(ByteStream* file);

    // Writes this image (a shared view of the image being saved); append
    // adds a page to a multi-page file.
    bool Encode(ByteStream* file, bool append);

private:
    bool WritePage();
    void CloseHandle();

    ::tiff* handle_ = nullptr; // open only while pages are appended
    bool multiPage_ = false;
    int32_t pageCount_ = 0;
};

} // namespace talvore
