// The settings most engine tests run with: one format, one output folder
// (empty: each document's own), and no file browser opened at the end.
#pragma once

#include "settings/ConversionSettings.h"

#include <string>

namespace talvore::testing {

inline ConversionSettings SettingsFor(int32_t mode, const std::string& outputFolder = {}) {
    ConversionSettings settings;
    settings.ImagesFormat = mode;
    settings.OutputDirectory = outputFolder;
    settings.OpenResult = 1;
    return settings;
}

} // namespace talvore::testing
