// Converts one intermediate file written by the extraction device (.ppm,
// .pbm, .pgm) into the output mode's format beside it, then deletes the
// intermediate file. The new name is the intermediate's location and title
// with the mode's extension in lower case ("-003.PPM" in mode 2 becomes
// "-003.bmp"); an existing file of that name is replaced.
//
// The new file is written under a temporary name and renamed into place, so
// a failed load or save leaves neither an empty nor a partial file; the
// intermediate file is then kept. A mode without a row in OutputFormats, or
// the raw mode, leaves the file alone.
#pragma once

#include "settings/ConversionSettings.h"

#include <cstdint>
#include <string>

namespace talvore {

struct ConversionOutcome {
    bool Converted = false;
    std::string OutputPath; // the new file's name (also when not converted)
    std::string Error;      // why not, when not converted
};

// quality: JpegQuality (mode 1); grayScale: JpegGrayScale, 0 meaning grey.
ConversionOutcome ConvertExtractedImage(const std::string& intermediatePath, int32_t outputMode,
                                        int32_t jpegQuality, int32_t jpegGrayScale);

} // namespace talvore
