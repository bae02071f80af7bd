// RasterImageTIF: the TIFF writer, through libtiff. It writes a shared view
// of the image being saved, one page or appended pages; a black-first bitmap
// is turned white-first in the image itself.
#pragma once

#include "image/RasterImage.h"

struct tiff; // libtiff's handle type

namespace talvore {

class RasterImageTIF : public RasterImage {
public:
    explicit RasterImageTIF(uint32_t formatId = FORMAT_TIF) : RasterImage(formatId) {}
    ~RasterImageTIF() override;

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
