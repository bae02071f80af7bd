#include "convert/ExtractedImageConverter.h"

#include "convert/OutputFile.h"
#include "convert/OutputFormats.h"
#include "convert/PathParts.h"
#include "image/AlphaPixels.h"
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
                   const ConversionSettings& settings, const std::string& path,
                   std::string& error) {
    CompactImage(image, format.Lossless);
    format.Prepare(image, settings);
    OutputFile file;
    if (!file.Create(path)) {
        error = file.Error();
        return false;
    }
    if (!image.Encode(file.Stream(), format.ImageId)) {
        error = ErrorOf(image, "the writer refused the image");
        return false;
    }
    if (!file.Commit()) {
        error = file.Error();
        return false;
    }
    return true;
}

// The image's pixels with its alpha: grey images (and bilevel ones, 1
// meaning black) as grey and alpha, the rest as RGBA. Sizes that do not
// agree give pixels the writers refuse.
AlphaPixels WithAlpha(const DecodedImage& decoded) {
    AlphaPixels pixels;
    pixels.Width = decoded.Width;
    pixels.Height = decoded.Height;
    const size_t count = size_t{decoded.Width} * decoded.Height;
    const std::vector<uint8_t>& bytes = decoded.Bytes;
    const uint8_t* alpha = decoded.Alpha.data();
    if (decoded.Alpha.size() != count)
        return pixels;
    if (decoded.Kind == DecodedImage::Layout::Ppm) {
        if (bytes.size() < 3 * count)
            return pixels;
        pixels.Channels = 4;
        pixels.Samples.resize(4 * count);
        const uint8_t* in = bytes.data() + bytes.size() - 3 * count;
        uint8_t* out = pixels.Samples.data();
        for (size_t i = 0; i < count; ++i, in += 3, out += 4) {
            std::copy(in, in + 3, out);
            out[3] = alpha[i];
        }
        return pixels;
    }
    pixels.Channels = 2;
    if (decoded.Kind == DecodedImage::Layout::Grey) {
        if (bytes.size() != count)
            return pixels;
        pixels.Samples.resize(2 * count);
        for (size_t i = 0; i < count; ++i) {
            pixels.Samples[2 * i] = bytes[i];
            pixels.Samples[2 * i + 1] = alpha[i];
        }
        return pixels;
    }
    const size_t rowBytes = (size_t{decoded.Width} + 7) / 8;
    if (bytes.size() < rowBytes * decoded.Height)
        return pixels;
    const uint8_t* rows = bytes.data() + bytes.size() - rowBytes * decoded.Height;
    pixels.Samples.resize(2 * count);
    uint8_t* out = pixels.Samples.data();
    for (uint32_t y = 0; y < decoded.Height; ++y) {
        const uint8_t* row = rows + y * rowBytes;
        for (uint32_t x = 0; x < decoded.Width; ++x, out += 2) {
            out[0] = (row[x / 8] >> (7 - x % 8)) & 1 ? 0 : 255;
            out[1] = *alpha++;
        }
    }
    return pixels;
}

bool SaveWithAlpha(const DecodedImage& decoded, const OutputFormat& format,
                   ConversionOutcome& outcome) {
    const AlphaPixels pixels = WithAlpha(decoded);
    OutputFile file;
    if (!file.Create(outcome.OutputPath)) {
        outcome.Error = file.Error();
        return false;
    }
    // The writer's error, or the stream's when the writer saw none.
    std::string error;
    StdioStream stream(file.Stream());
    if (!format.WriteAlpha(pixels, &stream, &error)) {
        outcome.Error = error.empty() ? "the writer refused the image" : error;
        return false;
    }
    if (!file.Commit()) {
        outcome.Error = file.Error();
        return false;
    }
    return true;
}

// The alpha as an 8-bit grey image of the run's format.
bool SaveAlphaBeside(const DecodedImage& decoded, const OutputFormat& format,
                     const ConversionSettings& settings, ConversionOutcome& outcome) {
    const std::string path = AlphaPath(decoded.IntermediatePath, format.Extension);
    RasterImage image;
    if (decoded.Alpha.size() != size_t{decoded.Width} * decoded.Height ||
        !image.Create(decoded.Width, decoded.Height, 8, FORMAT_PNM)) {
        outcome.AlphaError = path + ": cannot hold the alpha";
        return false;
    }
    image.FillGrayPalette();
    const uint8_t* samples = decoded.Alpha.data();
    for (uint32_t r = 0; r < decoded.Height; ++r, samples += decoded.Width)
        std::copy(samples, samples + decoded.Width,
                  image.RowPointer(static_cast<int32_t>(decoded.Height - 1 - r)));
    // The grey scale of the JPEG choice is the alpha's anyway.
    std::string error;
    if (!SaveConverted(image, format, settings, path, error)) {
        outcome.AlphaError = path + ": " + error;
        return false;
    }
    outcome.AlphaPath = path;
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

// Not lost: the alpha stays as the intermediate file it would have been.
bool KeepAlphaIntermediate(const DecodedImage& decoded, ConversionOutcome& outcome,
                           std::string* error) {
    const std::string kept = AlphaPath(decoded.IntermediatePath, ".pgm");
    const std::vector<uint8_t> bytes = decoded.AlphaIntermediateBytes();
    if (!WriteOutputFile(kept, bytes.data(), bytes.size(), error))
        return false;
    outcome.AlphaPath = kept;
    return true;
}

} // namespace

std::string ConvertedPath(const std::string& intermediatePath, const OutputFormat& format) {
    const PathParts parts(intermediatePath);
    return parts.Location() + parts.Title() + format.Extension;
}

std::string AlphaPath(const std::string& imagePath, const char* extension) {
    const PathParts parts(imagePath);
    std::string path = parts.Location();
    path += parts.Title();
    path += "-alpha";
    path += extension;
    return path;
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
    if (!SaveConverted(image, *format, settings, outcome.OutputPath, outcome.Error))
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
    const bool alpha = !decoded.Alpha.empty();
    if (!format || !format->Extension) {
        outcome.Error = "no conversion for this output mode";
    } else if (alpha && format->WriteAlpha) {
        outcome.OutputPath = ConvertedPath(decoded.IntermediatePath, *format);
        outcome.Converted = SaveWithAlpha(decoded, *format, outcome);
    } else {
        outcome.OutputPath = ConvertedPath(decoded.IntermediatePath, *format);
        RasterImage image;
        if (!Load(decoded, format->Lossless, image))
            outcome.Error = ErrorOf(image, "cannot read the image");
        else
            outcome.Converted =
                SaveConverted(image, *format, settings, outcome.OutputPath, outcome.Error);
        if (outcome.Converted && alpha && !SaveAlphaBeside(decoded, *format, settings, outcome)) {
            std::string keptError;
            if (!KeepAlphaIntermediate(decoded, outcome, &keptError))
                outcome.AlphaError += "; it could not be kept: " + keptError;
        }
    }
    if (!outcome.Converted) {
        // Not lost: the image stays as the intermediate file it would have
        // been, and its alpha beside it.
        const std::vector<uint8_t> bytes = decoded.IntermediateBytes();
        outcome.IntermediateWritten = WriteOutputFile(decoded.IntermediatePath, bytes.data(),
                                                      bytes.size(), &outcome.IntermediateError);
        std::string keptError;
        if (alpha && !KeepAlphaIntermediate(decoded, outcome, &keptError))
            outcome.AlphaError = AlphaPath(decoded.IntermediatePath, ".pgm") + ": " + keptError;
    }
    return outcome;
}

} // namespace talvore
