#include "convert/ExtractedImageConverter.h"

#include "convert/PathParts.h"
#include "image/RasterImage.h"

#include <cstdio>
#include <unistd.h>

namespace talvore {
namespace {

struct ModeTable {
    const char* Extension;
    uint32_t FormatId;
};

constexpr ModeTable kModes[8] = {
    {nullptr, 0},         {".jpg", FORMAT_JPG}, {".bmp", FORMAT_BMP}, {".gif", FORMAT_GIF},
    {".png", FORMAT_PNG}, {".tif", FORMAT_TIF}, {".tga", FORMAT_TGA}, {".pcx", FORMAT_PCX},
};

} // namespace

const char* OutputExtension(int32_t outputMode) {
    if (outputMode < 1 || outputMode > 7)
        return nullptr;
    return kModes[outputMode].Extension;
}

ConversionOutcome ConvertExtractedImage(const std::string& intermediatePath, int32_t outputMode,
                                        int32_t jpegQuality, int32_t jpegGrayScale) {
    ConversionOutcome outcome;
    const char* extension = OutputExtension(outputMode);
    if (!extension) {
        outcome.Error = "no conversion for this output mode";
        return outcome;
    }
    const PathParts parts(intermediatePath);
    outcome.OutputPath = parts.Location() + parts.Title() + extension;

    // The BMP hint is refused by the PNM data and recognition by content
    // takes over.
    RasterImage image(intermediatePath.c_str(), FORMAT_BMP);
    if (!image.HasPixels()) {
        outcome.Error =
            image.LastErrorText()[0] ? image.LastErrorText() : "cannot read the intermediate file";
        return outcome;
    }

    switch (outputMode) {
    case OutputJpg:
        image.SetCompressionQuality(static_cast<uint8_t>(jpegQuality));
        // The JPEG writer takes 24-bit colour and 8-bit grey only: a 1-bit
        // image goes to grey in colour mode too, as nothing is lost.
        if (jpegGrayScale == 0 || image.BitsPerPixel() < 8)
            image.ConvertToGray();
        break;
    case OutputGif:
        image.DecreaseBpp(8, false, nullptr, 0);
        break;
    case OutputTga:
        // The TGA writer refuses 1-bit images.
        if (image.BitsPerPixel() < 8)
            image.ConvertToGray();
        break;
    default:
        break;
    }

    const std::string temporary = outcome.OutputPath + ".tmp";
    if (!image.SaveFile(temporary.c_str(), kModes[outputMode].FormatId)) {
        outcome.Error =
            image.LastErrorText()[0] ? image.LastErrorText() : "the writer refused the image";
        std::remove(temporary.c_str());
        return outcome;
    }
    if (std::rename(temporary.c_str(), outcome.OutputPath.c_str()) != 0) {
        outcome.Error = "cannot rename the converted file into place";
        std::remove(temporary.c_str());
        return outcome;
    }
    outcome.Converted = true;
    // A failed delete is not reported: the intermediate file just stays.
    unlink(intermediatePath.c_str());
    return outcome;
}

} // namespace talvore
