#include "settings/ConversionSettings.h"

#include <array>

namespace talvore {
namespace {

struct PersistedKey {
    const char* Section;
    const char* Key;
    int32_t ConversionSettings::*Field;
    int32_t Default;
};

// Load and save order; the file text follows it.
constexpr std::array<PersistedKey, 7> kKeys{{
    {"Output General", "Page Range", &ConversionSettings::PageRange, 0},
    {"Output General", "Start Page", &ConversionSettings::StartPage, 1},
    {"Output General", "End Page", &ConversionSettings::EndPage, 1000},
    {"Output General", "Open Result", &ConversionSettings::OpenResult, 0},
    {"Output Images", "Images Format", &ConversionSettings::ImagesFormat, OutputJpg},
    {"Output Images", "Jpeg Quality", &ConversionSettings::JpegQuality, 70},
    {"Output Images", "Jpeg Gray Scale", &ConversionSettings::JpegGrayScale, 1},
}};

} // namespace

void ReadSettings(ConversionSettings& settings, const IniFile& file) {
    for (const PersistedKey& key : kKeys)
        settings.*key.Field = file.Integer(key.Section, key.Key, key.Default);
}

void WriteSettings(const ConversionSettings& settings, IniFile& file) {
    for (const PersistedKey& key : kKeys)
        file.SetInteger(key.Section, key.Key, settings.*key.Field);
}

void LoadSettings(ConversionSettings& settings, const std::string& path) {
    IniFile file;
    file.Load(path); // an unreadable file reads as an empty one: the defaults
    ReadSettings(settings, file);
}

SaveResult SaveSettings(const ConversionSettings& settings, const std::string& path) {
    IniFile file;
    file.Load(path); // a file that cannot be read makes the save refuse
    WriteSettings(settings, file);
    if (!file.Save())
        return {false, file.LastError()};
    return {true, {}};
}

} // namespace talvore
