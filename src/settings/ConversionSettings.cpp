#include "settings/ConversionSettings.h"

// Byte strings in, byte strings out (no wide-character build), and the
// parser's templates compiled here rather than taken from its library.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <unistd.h>

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

// A present key reads like the profile functions read it: leading blanks,
// an optional sign, then decimal digits up to the first other character;
// no digits at all reads as 0. Values beyond 32 bits saturate.
int32_t ParseProfileInt(const char* text) {
    while (*text == ' ' || *text == '\t')
        ++text;
    bool negative = false;
    if (*text == '-' || *text == '+')
        negative = (*text++ == '-');
    int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1)
            break;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

bool WriteWholeFile(const std::string& path, const std::string& text) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    ok = (std::fclose(file) == 0) && ok;
    return ok;
}

} // namespace

void LoadSettings(ConversionSettings& settings, const std::string& path) {
    CSimpleIniA ini;
    const bool loaded = ini.LoadFile(path.c_str()) >= 0;
    for (const PersistedKey& key : kKeys) {
        const char* value = loaded ? ini.GetValue(key.Section, key.Key, nullptr) : nullptr;
        settings.*key.Field = value ? ParseProfileInt(value) : key.Default;
    }
}

bool SaveSettings(const ConversionSettings& settings, const std::string& path) {
    CSimpleIniA ini;
    ini.SetSpaces(false); // "Page Range=0", as the profile functions write it
    const SI_Error loaded = ini.LoadFile(path.c_str());
    if (loaded < 0 && loaded != SI_FILE)
        return false;
    // A file that exists but cannot be read must not be replaced by our two
    // sections alone: that would drop everything else in it.
    if (loaded == SI_FILE && access(path.c_str(), F_OK) == 0)
        return false;
    for (const PersistedKey& key : kKeys) {
        ini.SetValue(key.Section, key.Key, std::to_string(settings.*key.Field).c_str());
    }
    std::string text;
    if (ini.Save(text) < 0)
        return false;
    // The parser puts two blank lines before every section after the first;
    // one reads better and is what hand-edited files have.
    for (size_t at = text.find("\n\n\n["); at != std::string::npos; at = text.find("\n\n\n[", at)) {
        text.erase(at, 1);
    }

    // Written beside the old file and renamed over it, so a full disk never
    // leaves a truncated settings file (and the other sections with it).
    const std::string temporary = path + ".tmp";
    if (WriteWholeFile(temporary, text)) {
        if (std::rename(temporary.c_str(), path.c_str()) == 0)
            return true;
        std::remove(temporary.c_str());
    } else {
        std::remove(temporary.c_str());
    }
    return WriteWholeFile(path, text);
}

} // namespace talvore
