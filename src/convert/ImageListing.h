// One row of a listing: what a run would make of one image it meets, in the
// run's order, without writing anything.
#pragma once

#include <cstdint>
#include <string>

namespace talvore {

enum class ListedKind {
    Image,
    StencilMask,
    SoftMask,     // the /SMask of the image numbered MaskOf
    ExplicitMask, // the /Mask stream of the image numbered MaskOf
    ColourKey     // the /Mask array of the image numbered MaskOf
};

enum class ListedOutcome {
    Jpeg,   // the stored DCT bytes, copied
    Stored, // kept encoded: the stored bytes, copied as JPEG, JPEG 2000 or a fax TIFF
    Pbm,
    Ppm,
    NotWritten, // a mask row: the run writes its image only
    Alpha,      // a mask row with transparency kept: in Path, the image or the mask beside it
    Repeat,     // drawn before, and the run writes each object once
    Cut,        // a limit of the document stopped here
};

struct ListedImage {
    int Page = 0;
    int Number = -1; // the image's -NNN; for a mask row, -1
    int MaskOf = -1; // for a mask row, the number of its image
    ListedKind Kind = ListedKind::Image;
    bool Inline = false;
    int Object = 0; // with Generation, when not inline
    int Generation = 0;
    int Width = 0;
    int Height = 0;
    std::string ColourSpace; // "DeviceRGB", "Indexed DeviceRGB 255"; empty for a stencil
    int Components = 0;
    int Bits = 0;
    std::string Filters;      // space-separated, in decoding order; empty for none
    int64_t StoredBytes = -1; // -1: not known (inline data)
    ListedOutcome Outcome = ListedOutcome::Ppm;
    std::string Path;  // the file the run would leave, in the chosen format
    int RepeatOf = -1; // the number this object had when first drawn
};

const char* ListedKindName(ListedKind kind);
const char* ListedOutcomeName(ListedOutcome outcome);

} // namespace talvore
