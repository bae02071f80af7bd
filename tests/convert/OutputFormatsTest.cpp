#include "convert/OutputFormats.h"

#include "settings/ConversionSettings.h"

#include <gtest/gtest.h>

#include <set>

namespace talvore {
namespace {

TEST(OutputFormats, EveryRowIsFoundByEachOfItsNames) {
    std::set<std::string> extensions;
    for (const OutputFormat& format : OutputFormats()) {
        SCOPED_TRACE(format.CliName);
        EXPECT_EQ(FindOutputFormat(format.Mode), &format);
        EXPECT_EQ(FindOutputFormat(std::string(format.CliName)), &format);
        EXPECT_EQ(FindOutputFormat(std::string(format.GuiName)), &format);
        EXPECT_EQ(FindOutputFormat(std::to_string(format.Mode)), &format);
        if (format.Extension) {
            EXPECT_TRUE(extensions.insert(format.Extension).second) << "extension used twice";
        }
        EXPECT_EQ(format.Extension == nullptr, format.Mode == OutputRaw);
    }
    EXPECT_EQ(FindOutputFormat(static_cast<int32_t>(OutputFormats().size())), nullptr);
    EXPECT_EQ(FindOutputFormat(-1), nullptr);
    EXPECT_EQ(OutputFormatNames("|"), "raw|jpg|bmp|gif|png|tif|tga|pcx");
}

} // namespace
} // namespace talvore
