// The conversion options and their INI file. One record for the whole
// process; a run works on a copy taken when it starts.
#pragma once

#include "settings/IniFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace talvore {

// Value of ConversionSettings::ImagesFormat: the position in the options
// panel's list.
enum OutputMode : int32_t {
    OutputRaw = 0, // "ppm/pbm": raw dumps kept, no JPEG passthrough
    OutputJpg = 1,
    OutputBmp = 2,
    OutputGif = 3,
    OutputPng = 4,
    OutputTif = 5,
    OutputTga = 6,
    OutputPcx = 7,
    // One past the last: the output-format table has a row for each mode,
    // and a settings file may hold no other.
    OutputModeCount,
};

struct ConversionSettings {
    int32_t PageRange = 0; // 0 all pages, 1 StartPage..EndPage
    int32_t StartPage = 1;
    int32_t EndPage = 1000;
    int32_t OpenResult = 0;      // list index: 0 "Yes", 1 "No"
    std::string OutputDirectory; // never persisted
    int32_t ImagesFormat = OutputJpg;
    int32_t JpegQuality = 70;
    int32_t JpegGrayScale = 1; // list index: 0 "True" (grey), 1 "False" (colour)
    // Additions, off by default so the default outputs stay as they were:
    // masked images are written with their transparency, and grey and CMYK
    // JPEG, JPEG 2000 and fax streams are copied as stored.
    bool KeepAlpha = false;
    bool KeepEncoded = false;
};

// Fills the persisted fields from the INI file at path; missing file,
// section or key gives the default. OutputDirectory is left alone. A value
// outside what the options panel offers (a format 99, a quality 0) gives the
// default too, and a warning naming the key is returned for it; the pages
// are taken as they are, for the run to check against each document.
std::vector<std::string> LoadSettings(ConversionSettings& settings, const std::string& path);

// Writes the persisted fields into their two sections, leaving every other
// section and key of the file as it was. The additions ("Keep Alpha", "Keep
// Encoded") are written when on or already in the file, so a default file
// holds the seven keys it always held. The caller may ignore a
// failure (the application does); the old file is then untouched.
SaveResult SaveSettings(const ConversionSettings& settings, const std::string& path);

// The same on a file already read, for callers that hold one.
std::vector<std::string> ReadSettings(ConversionSettings& settings, const IniFile& file);
void WriteSettings(const ConversionSettings& settings, IniFile& file);

} // namespace talvore
