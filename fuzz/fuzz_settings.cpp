// Reads arbitrary bytes as the settings file: the conversion settings and
// the "Tips" keys, then sets new values, writes the file text and reads it
// back. The values set must come back, every other key must keep its
// value, and repeated saves must settle on one text.
#include "settings/ConversionSettings.h"
#include "settings/IniFile.h"
#include "settings/TipsSettings.h"

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>
#include <strings.h>
#include <vector>

using namespace talvore;

namespace {

bool SameName(const std::string& a, const char* b) {
    return strcasecmp(a.c_str(), b) == 0;
}

bool IsOurs(const IniFile::Entry& entry) {
    static const char* const general[] = {"Page Range", "Start Page", "End Page", "Open Result"};
    static const char* const images[] = {"Images Format", "Jpeg Quality", "Jpeg Gray Scale"};
    static const char* const tips[] = {"FilePos", "TimeStamp"};
    const auto any = [&](const char* section, const auto& keys) {
        if (!SameName(entry.Section, section))
            return false;
        for (const char* key : keys) {
            if (SameName(entry.Key, key))
                return true;
        }
        return false;
    };
    return any("Output General", general) || any("Output Images", images) || any("Tips", tips);
}

bool Contains(const std::vector<IniFile::Entry>& entries, const IniFile::Entry& wanted) {
    for (const IniFile::Entry& entry : entries) {
        if (SameName(entry.Section, wanted.Section.c_str()) &&
            SameName(entry.Key, wanted.Key.c_str()))
            return entry.Value == wanted.Value;
    }
    return false;
}

uint32_t Hash(std::string_view bytes) {
    uint32_t hash = 2166136261u;
    for (const char c : bytes)
        hash = (hash ^ static_cast<uint8_t>(c)) * 16777619u;
    return hash;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 16))
        return 0;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    IniFile ini;
    const bool loaded = ini.LoadText(text);
    ConversionSettings settings;
    const std::vector<std::string> warnings = ReadSettings(settings, ini);
    // Whatever the file holds, what is read is what the options panel offers.
    if (settings.PageRange < 0 || settings.PageRange > 1 || settings.OpenResult < 0 ||
        settings.OpenResult > 1 || settings.ImagesFormat < 0 ||
        settings.ImagesFormat >= OutputModeCount || settings.JpegQuality < 1 ||
        settings.JpegQuality > 100 || settings.JpegGrayScale < 0 || settings.JpegGrayScale > 1 ||
        warnings.size() > 5)
        std::abort();
    const TipsSettings tips = ReadTipsSettings(ini);
    if (!loaded)
        return 0;
    const std::vector<IniFile::Entry> before = ini.Entries();

    // New values that vary with the input: any page, extremes included, and
    // the others within what the panel offers, so that they read back.
    const uint32_t hash = Hash(text);
    ConversionSettings changed = settings;
    changed.PageRange = static_cast<int32_t>(hash & 1);
    changed.StartPage = -settings.StartPage;
    changed.EndPage = hash % 3 == 0 ? INT32_MIN : static_cast<int32_t>(hash >> 3);
    changed.JpegQuality = 1 + static_cast<int32_t>(hash % 100);
    WriteSettings(changed, ini);
    const int64_t position = static_cast<int64_t>(hash % 100000);
    const std::string stamp = TimeStampText(static_cast<std::time_t>(hash));
    ini.SetInteger("Tips", "FilePos", position);
    ini.Set("Tips", "TimeStamp", stamp);

    const std::string saved = ini.ToText();
    IniFile again;
    if (!again.LoadText(saved))
        std::abort();
    ConversionSettings reread;
    if (!ReadSettings(reread, again).empty())
        std::abort();
    if (reread.PageRange != changed.PageRange || reread.StartPage != changed.StartPage ||
        reread.EndPage != changed.EndPage || reread.OpenResult != changed.OpenResult ||
        reread.ImagesFormat != changed.ImagesFormat || reread.JpegQuality != changed.JpegQuality ||
        reread.JpegGrayScale != changed.JpegGrayScale)
        std::abort();
    const TipsSettings tipsAgain = ReadTipsSettings(again);
    if (tipsAgain.FilePos != position || tipsAgain.TimeStamp != stamp ||
        tipsAgain.TipOfDay != tips.TipOfDay)
        std::abort();

    const std::vector<IniFile::Entry> after = again.Entries();
    for (const IniFile::Entry& entry : before) {
        if (!IsOurs(entry) && !Contains(after, entry))
            std::abort();
    }
    // The parser may lay comments out anew once (a comment that a save
    // moves to the top becomes the file's own), but from then on saving
    // must change nothing, or every start would grow the file.
    const std::string second = again.ToText();
    IniFile third;
    if (!third.LoadText(second) || third.ToText() != second)
        std::abort();
    return 0;
}
