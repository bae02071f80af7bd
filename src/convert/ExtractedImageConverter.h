// Converts one extracted image into the output mode's format beside its
// intermediate file's name: "-003.PPM" in mode 2 becomes "-003.bmp" (the
// location and title of the intermediate name with the mode's extension in
// lower case); an existing file of that name is replaced.
//
// The image comes either as the intermediate file the device wrote (.ppm,
// .pbm, .pgm), which is deleted once converted, or straight from the device
// in memory, in which case no intermediate file is written unless the
// conversion fails: then it is, so the image is not lost. Writers that take
// grey and palette images get them losslessly (OutputFormat::Lossless).
//
// The new file is written under a temporary name and renamed into place, so
// a failed load or save leaves neither an empty nor a partial file. A mode
// without a row in OutputFormats, or the raw mode, converts nothing.
#pragma once

#include "convert/DecodedImage.h"
#include "settings/ConversionSettings.h"

#include <cstdint>
#include <string>

namespace talvore {

struct ConversionOutcome {
    bool Converted = false;
    std::string OutputPath; // the new file's name (also when not converted)
    std::string Error;      // why not, when not converted
    // An in-memory image that could not be converted: whether its
    // intermediate file now holds it, and why not.
    bool IntermediateWritten = false;
    std::string IntermediateError;
    // An image with alpha in a format without: the mask written beside it
    // ("<name>-alpha<ext>"), or, when that failed, its "-alpha.pgm"
    // intermediate file; AlphaError names the file that failed and why.
    std::string AlphaPath;
    std::string AlphaError;
};

struct OutputFormat;

// The name the converter gives the file made from an intermediate file.
std::string ConvertedPath(const std::string& intermediatePath, const OutputFormat& format);
// The name of the alpha beside an image: "-003.ppm" gives "-003-alpha<ext>".
std::string AlphaPath(const std::string& imagePath, const char* extension);

// quality: JpegQuality (mode 1); grayScale: JpegGrayScale, 0 meaning grey.
ConversionOutcome ConvertExtractedImage(const std::string& intermediatePath, int32_t outputMode,
                                        int32_t jpegQuality, int32_t jpegGrayScale);

// The same for an image held in memory, in settings.ImagesFormat. An image
// with alpha is written with it where the format holds alpha (PNG, TIFF,
// TGA), and otherwise as the image plus its alpha as an 8-bit grey image of
// the same format beside it.
ConversionOutcome ConvertDecodedImage(const DecodedImage& image,
                                      const ConversionSettings& settings);

} // namespace talvore
