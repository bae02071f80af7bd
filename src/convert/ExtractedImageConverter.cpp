#include "convert/ExtractedImageConverter.h"

#include "convert/OutputFile.h"
#include "convert/OutputFormats.h"
#include "convert/PathParts.h"
#include "image/RasterImage.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace talvore {
namespace {

std::string ErrorOf(const RasterImage& image, const char* fallback) {
    return image.LastErrorText()[0] ? image.LastErrorText() : fallback;
}

// The writer's part, shared by both sources: compact, prepare, save.
bool SaveConverted(RasterImage& image, const OutputFormat& format,
                   const ConversionSettings& settings, ConversionOutcome& outcome) {
    CompactImage(image, format.Lossless);
    format.Prepare(image, settings);
    OutputFile file;
    if (!file.Create(outcome.OutputPath)) {
        outcome.Error = file.Error();
        return false;
    }
    if (!image.Encode(file.Stream(), format.ImageId)) {
        outcome.Error = ErrorOf(image, "the writer refused the image");
        return false;
    }
    if (!file.Commit()) {
        outcome.Error = file.Error();
        return false;
    }
    return true;
}

// An in-memory image as loading its intermediate file would give it; a grey
// one goes straight to 8-bit grey when the writer takes grey anyway.
bool Load(const DecodedImage& decoded, Compaction compaction, RasterImage& image) {
    if (decoded.Kind != DecodedImage::Layout::Grey) {
        // The intermediate file's own bytes through the loading it would
        // have had, so the image is the same to the last attribute.
        // MemoryStream takes a writable buffer, but decoding only reads it.
        MemoryStream stream(const_cast<uint8_t*>(decoded.Bytes.data()),
                            static_cast<uint32_t>(decoded.Bytes.size()));
        return image.Decode(&stream, FORMAT_UNKNOWN);
    }
    const bool grey = compaction != Compaction::None;
    if (!image.Create(decoded.Width, decoded.Height, grey ? 8 : 24, FORMAT_PNM))
        return false;
    if (grey)
        image.FillGrayPalette();
    const uint8_t* samples = decoded.Bytes.data();
    for (uint32_t r = 0; r < decoded.Height; ++r, samples += decoded.Width) {
        uint8_t* row = image.RowPointer(static_cast<int32_t>(decoded.Height - 1 - r));
        if (grey) {
            std::copy(samples, samples + decoded.Width, row);
            continue;
        }
        for (uint32_t x = 0; x < decoded.Width; ++x, row += 3)
            row[0] = row[1] = row[2] = samples[x];
    }
    return true;
}

} // namespace

std::string ConvertedPath(const std::string& intermediatePath, const OutputFormat& format) {
    const PathParts parts(intermediatePath);
    return parts.Location() + parts.Title() + format.Extension;
}

ConversionOutcome ConvertExtractedImage(const std::string& intermediatePath, int32_t outputMode,
                                        int32_t jpegQuality, int32_t jpegGrayScale) {
    ConversionOutcome outcome;
    const OutputFormat* format = FindOutputFormat(outputMode);
    if (!format || !format->Extension) {
        outcome.Error = "no conversion for this output mode";
        return outcome;
    }
    outcome.OutputPath = ConvertedPath(intermediatePath, *format);

    // The BMP hint is refused by the PNM data and recognition by content
    // takes over.
    RasterImage image(intermediatePath.c_str(), FORMAT_BMP);
    if (!image.HasPixels()) {
        outcome.Error = ErrorOf(image, "cannot read the intermediate file");
        return outcome;
    }
    ConversionSettings settings;
    settings.JpegQuality = jpegQuality;
    settings.JpegGrayScale = jpegGrayScale;
    if (!SaveConverted(image, *format, settings, outcome))
        return outcome;
    outcome.Converted = true;
    // A failed delete is not reported: the intermediate file just stays.
    unlink(intermediatePath.c_str());
    return outcome;
}

ConversionOutcome ConvertDecodedImage(const DecodedImage& decoded,
                                      const ConversionSettings& settings) {
    ConversionOutcome outcome;
    const OutputFormat* format = FindOutputFormat(settings.ImagesFormat);
    if (!format || !format->Extension) {
        outcome.Error = "no conversion for this output mode";
    } else {
        outcome.OutputPath = ConvertedPath(decoded.IntermediatePath, *format);
        RasterImage image;
        if (!Load(decoded, format->Lossless, image))
            outcome.Error = ErrorOf(image, "cannot read the image");
        else
            outcome.Converted = SaveConverted(image, *format, settings, outcome);
    }
    if (!outcome.Converted) {
        // Not lost: the image stays as the intermediate file it would have
        // been.
        const std::vector<uint8_t> bytes = decoded.IntermediateBytes();
        outcome.IntermediateWritten = WriteOutputFile(decoded.IntermediatePath, bytes.data(),
                                                      bytes.size(), &outcome.IntermediateError);
    }
    return outcome;
}

} // namespace talvore
