#include "convert/ExtractedImageConverter.h"

#include "convert/OutputFormats.h"
#include "convert/PathParts.h"
#include "image/RasterImage.h"

#include <cstdio>
#include <unistd.h>

namespace talvore {

ConversionOutcome ConvertExtractedImage(const std::string& intermediatePath, int32_t outputMode,
                                        int32_t jpegQuality, int32_t jpegGrayScale) {
    ConversionOutcome outcome;
    const OutputFormat* format = FindOutputFormat(outputMode);
    if (!format || !format->Extension) {
        outcome.Error = "no conversion for this output mode";
        return outcome;
    }
    const PathParts parts(intermediatePath);
    outcome.OutputPath = parts.Location() + parts.Title() + format->Extension;

    // The BMP hint is refused by the PNM data and recognition by content
    // takes over.
    RasterImage image(intermediatePath.c_str(), FORMAT_BMP);
    if (!image.HasPixels()) {
        outcome.Error =
            image.LastErrorText()[0] ? image.LastErrorText() : "cannot read the intermediate file";
        return outcome;
    }
    ConversionSettings settings;
    settings.JpegQuality = jpegQuality;
    settings.JpegGrayScale = jpegGrayScale;
    format->Prepare(image, settings);

    const std::string temporary = outcome.OutputPath + ".tmp";
    if (!image.SaveFile(temporary.c_str(), format->ImageId)) {
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
