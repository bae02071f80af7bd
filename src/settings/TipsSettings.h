// The Tip of the Day's section "Tips" of the settings file: whether the tip
// shows at start-up ("TipOfDay"), where in the tips file the next tip is
// searched for ("FilePos") and the tips file's creation time when that
// position was stored ("TimeStamp"). Each write changes its one key and
// leaves the rest of the file as it was.
#pragma once

#include "settings/IniFile.h"

#include <cstdint>
#include <ctime>
#include <string>

namespace talvore {

struct TipsSettings {
    int32_t TipOfDay = 1; // as read: anything but 0 means show
    int32_t FilePos = 0;
    std::string TimeStamp; // empty when missing
};

// The profile functions read text keys into a buffer of 128 characters.
inline constexpr size_t kMaxTipsTextLength = 127;

TipsSettings ReadTipsSettings(const IniFile& file);
// Missing or unreadable file, section or key: the defaults.
TipsSettings LoadTipsSettings(const std::string& settingsPath);

SaveResult SaveTipOfDay(const std::string& settingsPath, int32_t value);
SaveResult SaveTipsFilePos(const std::string& settingsPath, int64_t position);
SaveResult SaveTipsTimeStamp(const std::string& settingsPath, const std::string& stamp);

// A file time in ctime's fixed 24-character form without its line end:
// "Wed Jun 30 21:49:08 1993"; empty when the time cannot be formatted.
std::string TimeStampText(std::time_t when);

} // namespace talvore
