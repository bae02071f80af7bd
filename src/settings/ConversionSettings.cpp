#include "settings/ConversionSettings.h"

#include <array>
#include <limits>

namespace talvore {
namespace {

struct PersistedKey {
    const char* Section;
    const char* Key;
    int32_t ConversionSettings::*Field;
    int32_t Default;
    // Values outside are not the panel's and would mean nothing to a run.
    int32_t Min;
    int32_t Max;
};

constexpr int32_t kAny = std::numeric_limits<int32_t>::max();

// Load and save order; the file text follows it.
constexpr std::array<PersistedKey, 7> kKeys{{
    {"Output General", "Page Range", &ConversionSettings::PageRange, 0, 0, 1},
    // The run checks pages against each document; a reversed range is its
    // message to give.
    {"Output General", "Start Page", &ConversionSettings::StartPage, 1, -kAny - 1, kAny},
    {"Output General", "End Page", &ConversionSettings::EndPage, 1000, -kAny - 1, kAny},
    {"Output General", "Open Result", &ConversionSettings::OpenResult, 0, 0, 1},
    {"Output Images", "Images Format", &ConversionSettings::ImagesFormat, OutputJpg, OutputRaw,
     OutputModeCount - 1},
    {"Output Images", "Jpeg Quality", &ConversionSettings::JpegQuality, 70, 1, 100},
    {"Output Images", "Jpeg Gray Scale", &ConversionSettings::JpegGrayScale, 1, 0, 1},
}};

struct PersistedFlag {
    const char* Section;
    const char* Key;
    bool ConversionSettings::*Field;
};

constexpr std::array<PersistedFlag, 2> kFlags{{
    {"Output Images", "Keep Alpha", &ConversionSettings::KeepAlpha},
    {"Output Images", "Keep Encoded", &ConversionSettings::KeepEncoded},
}};

// "[Section] Key=value is outside min to max; fallback is used". Appended
// piece by piece: a chain of + starting from a literal meets GCC 12's
// -Wrestrict false positive at -O3.
std::string OutsideWarning(const char* section, const char* key, int32_t value, int32_t min,
                           int32_t max, int32_t fallback) {
    std::string warning = "[";
    warning += section;
    warning += "] ";
    warning += key;
    warning += '=';
    warning += std::to_string(value);
    warning += " is outside ";
    warning += std::to_string(min);
    warning += " to ";
    warning += std::to_string(max);
    warning += "; ";
    warning += std::to_string(fallback);
    warning += " is used";
    return warning;
}

} // namespace

std::vector<std::string> ReadSettings(ConversionSettings& settings, const IniFile& file) {
    std::vector<std::string> warnings;
    for (const PersistedKey& key : kKeys) {
        const int32_t value = file.Integer(key.Section, key.Key, key.Default);
        if (value >= key.Min && value <= key.Max) {
            settings.*key.Field = value;
            continue;
        }
        settings.*key.Field = key.Default;
        warnings.push_back(
            OutsideWarning(key.Section, key.Key, value, key.Min, key.Max, key.Default));
    }
    for (const PersistedFlag& flag : kFlags) {
        const int32_t value = file.Integer(flag.Section, flag.Key, 0);
        settings.*flag.Field = value == 1;
        if (value != 0 && value != 1)
            warnings.push_back(OutsideWarning(flag.Section, flag.Key, value, 0, 1, 0));
    }
    return warnings;
}

void WriteSettings(const ConversionSettings& settings, IniFile& file) {
    for (const PersistedKey& key : kKeys)
        file.SetInteger(key.Section, key.Key, settings.*key.Field);
    for (const PersistedFlag& flag : kFlags) {
        if (settings.*flag.Field || file.Text(flag.Section, flag.Key))
            file.SetInteger(flag.Section, flag.Key, settings.*flag.Field ? 1 : 0);
    }
}

std::vector<std::string> LoadSettings(ConversionSettings& settings, const std::string& path) {
    IniFile file;
    file.Load(path); // an unreadable file reads as an empty one: the defaults
    return ReadSettings(settings, file);
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
