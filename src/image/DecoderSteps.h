// The state a decoder written as steps shares: the image it fills, the
// stream, a buffered reader over it, and Fail, which sets the last error
// and answers false so that a step can end with `return Fail(...)`.
#pragma once

#include "image/ByteStream.h"
#include "image/RasterImage.h"
#include "image/StreamReader.h"

namespace talvore {

class DecoderSteps {
protected:
    DecoderSteps(RasterImage& image, ByteStream* file) : image_(image), file_(file), in_(file) {}

    bool Fail(const char* text) {
        image_.SetLastError(text);
        return false;
    }
    bool HasFile() { return file_ != nullptr || Fail("null file handler"); }

    RasterImage& image_;
    ByteStream* file_;
    StreamReader in_;
};

} // namespace talvore
