#include "settings/TipsSettings.h"

namespace talvore {
namespace {

constexpr const char* kSection = "Tips";

SaveResult SaveTipsKey(const std::string& settingsPath, const char* key, const std::string& value) {
    IniFile file;
    file.Load(settingsPath); // a file that cannot be read makes the save refuse
    file.Set(kSection, key, value);
    if (!file.Save())
        return {false, file.LastError()};
    return {true, {}};
}

} // namespace

TipsSettings ReadTipsSettings(const IniFile& file) {
    TipsSettings settings;
    settings.TipOfDay = file.Integer(kSection, "TipOfDay", 1);
    settings.FilePos = file.Integer(kSection, "FilePos", 0);
    settings.TimeStamp =
        file.Text(kSection, "TimeStamp").value_or("").substr(0, kMaxTipsTextLength);
    return settings;
}

TipsSettings LoadTipsSettings(const std::string& settingsPath) {
    IniFile file;
    file.Load(settingsPath);
    return ReadTipsSettings(file);
}

SaveResult SaveTipOfDay(const std::string& settingsPath, int32_t value) {
    return SaveTipsKey(settingsPath, "TipOfDay", std::to_string(value));
}

SaveResult SaveTipsFilePos(const std::string& settingsPath, int64_t position) {
    return SaveTipsKey(settingsPath, "FilePos", std::to_string(position));
}

SaveResult SaveTipsTimeStamp(const std::string& settingsPath, const std::string& stamp) {
    return SaveTipsKey(settingsPath, "TimeStamp", stamp);
}

std::string TimeStampText(std::time_t when) {
    char text[64] = {};
    if (!ctime_r(&when, text))
        return {};
    std::string stamp(text);
    while (!stamp.empty() && (stamp.back() == '\n' || stamp.back() == '\r' || stamp.back() == ' ' ||
                              stamp.back() == '\t'))
        stamp.pop_back();
    return stamp;
}

} // namespace talvore
