// The output formats a run can write: one row per `OutputMode` value. The
// converter, the settings check, the command line's parser and help, and the
// options panel's choice list all read this table, so a new format is one
// codec pair in the image library plus one row here (and one there).
#pragma once

#include "convert/CompactImage.h"

#include <cstdint>
#include <span>
#include <string>

namespace talvore {

class ByteStream;
class RasterImage;
struct AlphaPixels;
struct ConversionSettings;

struct OutputFormat {
    int32_t Mode;           // the value of ImagesFormat, the panel's list index
    const char* CliName;    // "png"
    const char* GuiName;    // the options panel's choice: "ppm/pbm", "jpg", ...
    const char* OtherNames; // further names the command line accepts, space-separated
    const char* Extension;  // ".png"; null: the raw dumps are kept
    uint32_t ImageId;       // the image library's format id for the writer
    // What the writer takes beside the image as loaded: grey images and
    // exact palettes, so nothing is lost to the colour reduction.
    Compaction Lossless;
    // Readies a loaded image for the writer. A step that cannot be made
    // leaves the image as it was, and the writer says what it makes of that.
    void (*Prepare)(RasterImage& image, const ConversionSettings& settings);
    // The writer of images with transparency; null: the format holds no
    // alpha, and the mask goes beside the image as "<name>-alpha<ext>".
    bool (*WriteAlpha)(const AlphaPixels& pixels, ByteStream* file, std::string* error);
};

std::span<const OutputFormat> OutputFormats();

// The row of an ImagesFormat value, or null for a value outside the table.
const OutputFormat* FindOutputFormat(int32_t mode);

// The row named by a command-line word: its CLI name, its GUI name, one of
// its other names or its mode number, in any case; null when none.
const OutputFormat* FindOutputFormat(const std::string& name);

// "raw|jpg|bmp|..." for help texts.
std::string OutputFormatNames(const char* separator);

} // namespace talvore
