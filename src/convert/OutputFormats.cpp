#include "convert/OutputFormats.h"

#include "image/AlphaPixels.h"
#include "image/RasterImage.h"
#include "settings/ConversionSettings.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <sstream>

namespace talvore {
namespace {

void AsItIs(RasterImage&, const ConversionSettings&) {}

void ForJpeg(RasterImage& image, const ConversionSettings& settings) {
    image.SetCompressionQuality(static_cast<uint8_t>(settings.JpegQuality));
    // The JPEG writer takes 24-bit colour and 8-bit grey only: a 1-bit image
    // goes to grey in colour mode too, as nothing is lost.
    if (settings.JpegGrayScale == 0 || image.BitsPerPixel() < 8)
        image.ConvertToGray();
}

void ForGif(RasterImage& image, const ConversionSettings&) {
    // A 1-bit image stays 1-bit: the reduction refuses to raise a depth.
    image.DecreaseBpp(8, false, nullptr, 0);
}

void ForTga(RasterImage& image, const ConversionSettings&) {
    // The TGA writer refuses 1-bit images.
    if (image.BitsPerPixel() < 8)
        image.ConvertToGray();
}

constexpr std::array<OutputFormat, OutputModeCount> kFormats{{
    {OutputRaw, "raw", "ppm/pbm", "ppm pbm", nullptr, FORMAT_UNKNOWN, Compaction::None, AsItIs,
     nullptr},
    {OutputJpg, "jpg", "jpg", "jpeg", ".jpg", FORMAT_JPG, Compaction::None, ForJpeg, nullptr},
    {OutputBmp, "bmp", "bmp", "", ".bmp", FORMAT_BMP, Compaction::None, AsItIs, nullptr},
    {OutputGif, "gif", "gif", "", ".gif", FORMAT_GIF, Compaction::AnyPalette, ForGif, nullptr},
    {OutputPng, "png", "png", "", ".png", FORMAT_PNG, Compaction::AnyPalette, AsItIs,
     EncodePngAlpha},
    // A TIFF palette's colour map has 256 entries: 8-bit palettes only.
    {OutputTif, "tif", "tif", "tiff", ".tif", FORMAT_TIF, Compaction::Palette8, AsItIs,
     EncodeTiffAlpha},
    {OutputTga, "tga", "tga", "", ".tga", FORMAT_TGA, Compaction::None, ForTga, EncodeTgaAlpha},
    {OutputPcx, "pcx", "pcx", "", ".pcx", FORMAT_PCX, Compaction::None, AsItIs, nullptr},
}};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The options panel and the settings file take a mode as a list index; a
// row left out of the initialiser would be a zero row, caught here too.
constexpr bool ModesAreIndices() {
    for (size_t i = 0; i < kFormats.size(); ++i) {
        if (kFormats[i].Mode != static_cast<int32_t>(i))
            return false;
    }
    return true;
}
static_assert(ModesAreIndices());

} // namespace

std::span<const OutputFormat> OutputFormats() {
    return kFormats;
}

const OutputFormat* FindOutputFormat(int32_t mode) {
    for (const OutputFormat& format : kFormats) {
        if (format.Mode == mode)
            return &format;
    }
    return nullptr;
}

const OutputFormat* FindOutputFormat(const std::string& name) {
    const std::string wanted = Lower(name);
    for (const OutputFormat& format : kFormats) {
        if (wanted == format.CliName || wanted == format.GuiName ||
            wanted == std::to_string(format.Mode))
            return &format;
        std::istringstream others(format.OtherNames);
        for (std::string other; others >> other;) {
            if (wanted == other)
                return &format;
        }
    }
    return nullptr;
}

std::string OutputFormatNames(const char* separator) {
    std::string names;
    for (const OutputFormat& format : kFormats) {
        if (!names.empty())
            names += separator;
        names += format.CliName;
    }
    return names;
}

} // namespace talvore
