// The lossless compaction of a loaded image for writers that store grey and
// palette images as such: an image whose colours are all grey becomes 8-bit
// grey, one with few colours an exact palette of as few bits as the writer
// takes. The pixels stay exactly what they were.
#pragma once

namespace talvore {

class RasterImage;

enum class Compaction {
    None,       // the writer gets the image as loaded
    Palette8,   // grey, or an 8-bit exact palette
    AnyPalette, // grey, or an exact palette of 1, 4 or 8 bits
};

// Replaces the image by its compact form when there is one; 1-bit images and
// images of more than 256 colours that are not all grey stay as they are.
// Answers whether the image was replaced.
bool CompactImage(RasterImage& image, Compaction compaction);

} // namespace talvore
