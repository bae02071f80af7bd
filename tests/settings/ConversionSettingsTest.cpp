#include "settings/ConversionSettings.h"
#include "settings/SettingsLocation.h"

#include "support/PdfWriter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace talvore {
namespace {

using testing::ReadWholeFile;
using testing::TemporaryFolder;
using testing::WriteWholeFile;

constexpr const char* kDefaultFileText = "[Output General]\n"
                                         "Page Range=0\n"
                                         "Start Page=1\n"
                                         "End Page=1000\n"
                                         "Open Result=0\n"
                                         "\n"
                                         "[Output Images]\n"
                                         "Images Format=1\n"
                                         "Jpeg Quality=70\n"
                                         "Jpeg Gray Scale=1\n";

ConversionSettings Scrambled() {
    ConversionSettings s;
    s.PageRange = 9;
    s.StartPage = 9;
    s.EndPage = 9;
    s.OpenResult = 9;
    s.ImagesFormat = 9;
    s.JpegQuality = 9;
    s.JpegGrayScale = 9;
    s.OutputDirectory = "/kept";
    return s;
}

TEST(ConversionSettings, MissingFileGivesDefaultsAndSavesTheSevenKeys) {
    TemporaryFolder folder;
    const std::string path = folder / "Settings.ini";
    ConversionSettings settings = Scrambled();
    LoadSettings(settings, path);
    EXPECT_EQ(settings.PageRange, 0);
    EXPECT_EQ(settings.StartPage, 1);
    EXPECT_EQ(settings.EndPage, 1000);
    EXPECT_EQ(settings.OpenResult, 0);
    EXPECT_EQ(settings.ImagesFormat, 1);
    EXPECT_EQ(settings.JpegQuality, 70);
    EXPECT_EQ(settings.JpegGrayScale, 1);
    EXPECT_EQ(settings.OutputDirectory, "/kept");

    settings.OutputDirectory = "/never/written";
    ASSERT_TRUE(SaveSettings(settings, path));
    EXPECT_EQ(ReadWholeFile(path), kDefaultFileText);
}

// The additions appear in the file once turned on, and then stay, so a
// default file keeps its seven keys and a user's choice is not forgotten.
TEST(ConversionSettings, AdditionsAreWrittenOnceOnAndStay) {
    TemporaryFolder folder;
    const std::string path = folder / "Settings.ini";
    ConversionSettings settings;
    settings.KeepAlpha = true;
    ASSERT_TRUE(SaveSettings(settings, path));
    EXPECT_EQ(ReadWholeFile(path), std::string(kDefaultFileText) + "Keep Alpha=1\n");

    ConversionSettings loaded;
    EXPECT_TRUE(LoadSettings(loaded, path).empty());
    EXPECT_TRUE(loaded.KeepAlpha);
    EXPECT_FALSE(loaded.KeepEncoded);

    loaded.KeepAlpha = false;
    loaded.KeepEncoded = true;
    ASSERT_TRUE(SaveSettings(loaded, path));
    EXPECT_EQ(ReadWholeFile(path),
              std::string(kDefaultFileText) + "Keep Alpha=0\nKeep Encoded=1\n");

    ASSERT_TRUE(WriteWholeFile(path, "[Output Images]\nKeep Alpha=2\nKeep Encoded=1\n"));
    const std::vector<std::string> warnings = LoadSettings(loaded, path);
    EXPECT_EQ(warnings, std::vector<std::string>{
                            "[Output Images] Keep Alpha=2 is outside 0 to 1; 0 is used"});
    EXPECT_FALSE(loaded.KeepAlpha);
    EXPECT_TRUE(loaded.KeepEncoded);
}

TEST(ConversionSettings, ValuesAreReadAsTheyAreCaseInsensitively) {
    TemporaryFolder folder;
    const std::string path = folder / "Settings.ini";
    ASSERT_TRUE(WriteWholeFile(path, "[output general]\n"
                                     "START PAGE=20\n"
                                     "End Page=10\n"
                                     "Page Range=1\n"
                                     "Open Result=1\n"
                                     "[Output Images]\n"
                                     "Images Format=0\n"
                                     "Jpeg Quality=12abc\n"
                                     "Jpeg Gray Scale=\n"));
    ConversionSettings settings = Scrambled();
    EXPECT_TRUE(LoadSettings(settings, path).empty());
    EXPECT_EQ(settings.PageRange, 1);
    EXPECT_EQ(settings.StartPage, 20); // no check against End Page
    EXPECT_EQ(settings.EndPage, 10);
    EXPECT_EQ(settings.OpenResult, 1);
    EXPECT_EQ(settings.ImagesFormat, 0);
    EXPECT_EQ(settings.JpegQuality, 12);  // leading digits, like the profile functions
    EXPECT_EQ(settings.JpegGrayScale, 0); // present but empty reads as 0
}

TEST(ConversionSettings, ValuesThePanelDoesNotOfferFallBackWithAWarning) {
    struct Case {
        const char* Line; // under its section
        const char* Section;
        int32_t ConversionSettings::*Field;
        int32_t Expected;
        const char* Warning; // empty when the value is taken
    };
    const Case cases[] = {
        {"Images Format=99", "Output Images", &ConversionSettings::ImagesFormat, 1,
         "[Output Images] Images Format=99 is outside 0 to 7; 1 is used"},
        {"Images Format=-1", "Output Images", &ConversionSettings::ImagesFormat, 1,
         "[Output Images] Images Format=-1 is outside 0 to 7; 1 is used"},
        {"Images Format=7", "Output Images", &ConversionSettings::ImagesFormat, 7, ""},
        {"Jpeg Quality=0", "Output Images", &ConversionSettings::JpegQuality, 70,
         "[Output Images] Jpeg Quality=0 is outside 1 to 100; 70 is used"},
        {"Jpeg Quality=100", "Output Images", &ConversionSettings::JpegQuality, 100, ""},
        {"Jpeg Gray Scale=2", "Output Images", &ConversionSettings::JpegGrayScale, 1,
         "[Output Images] Jpeg Gray Scale=2 is outside 0 to 1; 1 is used"},
        {"Page Range=5", "Output General", &ConversionSettings::PageRange, 0,
         "[Output General] Page Range=5 is outside 0 to 1; 0 is used"},
        {"Open Result=-3", "Output General", &ConversionSettings::OpenResult, 0,
         "[Output General] Open Result=-3 is outside 0 to 1; 0 is used"},
        // Pages are the run's to check, against each document.
        {"Start Page=-5", "Output General", &ConversionSettings::StartPage, -5, ""},
        {"End Page=0", "Output General", &ConversionSettings::EndPage, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Line);
        TemporaryFolder folder;
        const std::string path = folder / "Settings.ini";
        std::string text = "[";
        text += c.Section;
        text += "]\n";
        text += c.Line;
        text += '\n';
        ASSERT_TRUE(WriteWholeFile(path, text));
        ConversionSettings settings = Scrambled();
        const std::vector<std::string> warnings = LoadSettings(settings, path);
        EXPECT_EQ(settings.*c.Field, c.Expected);
        if (*c.Warning == '\0')
            EXPECT_TRUE(warnings.empty());
        else
            EXPECT_EQ(warnings, std::vector<std::string>{c.Warning});
        // The file is left as it was until the next save.
        EXPECT_NE(ReadWholeFile(path).find(c.Line), std::string::npos);
    }
}

TEST(ConversionSettings, SaveKeepsOtherSectionsAndReplacesValues) {
    TemporaryFolder folder;
    const std::string path = folder / "Settings.ini";
    ASSERT_TRUE(WriteWholeFile(path, "[Tips]\n"
                                     "FilePos=1234\n"
                                     "StartUp=1\n"
                                     "\n"
                                     "[Output Images]\n"
                                     "Jpeg Quality=55\n"
                                     "Custom=kept\n"));
    ConversionSettings settings;
    settings.JpegQuality = 90;
    settings.StartPage = -5;
    ASSERT_TRUE(SaveSettings(settings, path));
    EXPECT_EQ(ReadWholeFile(path), "[Tips]\n"
                                   "FilePos=1234\n"
                                   "StartUp=1\n"
                                   "\n"
                                   "[Output Images]\n"
                                   "Jpeg Quality=90\n"
                                   "Custom=kept\n"
                                   "Images Format=1\n"
                                   "Jpeg Gray Scale=1\n"
                                   "\n"
                                   "[Output General]\n"
                                   "Page Range=0\n"
                                   "Start Page=-5\n"
                                   "End Page=1000\n"
                                   "Open Result=0\n");

    ConversionSettings reloaded = Scrambled();
    LoadSettings(reloaded, path);
    EXPECT_EQ(reloaded.JpegQuality, 90);
    EXPECT_EQ(reloaded.StartPage, -5);
}

TEST(ConversionSettings, FailedSaveIsReportedAndLeavesNothingBehind) {
    TemporaryFolder folder;
    // A folder that cannot hold the file: its "parent" is a plain file.
    ASSERT_TRUE(WriteWholeFile(folder / "plain", "x"));
    EXPECT_FALSE(SaveSettings(ConversionSettings{}, folder / "plain/Settings.ini"));
    EXPECT_EQ(testing::ListFolder(folder.Path()), std::vector<std::string>{"plain"});
}

TEST(SettingsLocation, PerUserUnlessAFileIsAlreadyBesideTheExecutable) {
    TemporaryFolder folder;
    // A writable folder without the file is no portable install.
    const std::string module = folder.Path() + "/";
    EXPECT_EQ(ChooseSettingsPath(module, "/xdg", "/home/u"), "/xdg/talvore/Settings.ini");
    const std::string missing = folder.Path() + "/missing/";
    EXPECT_EQ(ChooseSettingsPath(missing, "/xdg", "/home/u"), "/xdg/talvore/Settings.ini");
    EXPECT_EQ(ChooseSettingsPath(missing, "", "/home/u"), "/home/u/.config/talvore/Settings.ini");
    EXPECT_EQ(ChooseSettingsPath(missing, "relative", "/home/u"),
              "/home/u/.config/talvore/Settings.ini");
    // No place at all: nothing, rather than the executable's folder.
    EXPECT_EQ(ChooseSettingsPath(module, "", ""), "");
    EXPECT_EQ(ChooseSettingsPath(module, "relative", "also-relative"), "");
    // A folder named Settings.ini is not a settings file.
    ASSERT_EQ(::mkdir((folder / "Settings.ini").c_str(), 0777), 0);
    EXPECT_EQ(ChooseSettingsPath(module, "/xdg", "/home/u"), "/xdg/talvore/Settings.ini");
    ::rmdir((folder / "Settings.ini").c_str());
    // Portable mode: the file that is there wins over every other place.
    ASSERT_TRUE(WriteWholeFile(folder / "Settings.ini", "[Output General]\n"));
    EXPECT_EQ(ChooseSettingsPath(module, "/xdg", "/home/u"), module + "Settings.ini");
    EXPECT_EQ(ChooseSettingsPath(module, "", ""), module + "Settings.ini");

    const std::string executable = ModuleDirectory();
    ASSERT_FALSE(executable.empty());
    EXPECT_EQ(executable.back(), '/');
}

// The whole way, as a start takes it: the file is written under
// XDG_CONFIG_HOME and nothing appears beside the executable.
TEST(SettingsLocation, WrittenToTheConfigHomeNeverBesideTheExecutable) {
    const std::string beside = ModuleDirectory() + "Settings.ini";
    struct stat info {};
    if (::stat(beside.c_str(), &info) == 0)
        GTEST_SKIP() << beside << " exists: this build runs in portable mode";
    TemporaryFolder config;
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    ::setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
    const std::string path = SettingsPath();
    EXPECT_EQ(path, config.Path() + "/talvore/Settings.ini");
    ConversionSettings settings;
    settings.JpegQuality = 42;
    EXPECT_TRUE(SaveSettings(settings, path).Ok);
    ConversionSettings reloaded;
    LoadSettings(reloaded, path);
    EXPECT_EQ(reloaded.JpegQuality, 42);
    EXPECT_NE(::stat(beside.c_str(), &info), 0);
    if (old)
        ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}

} // namespace
} // namespace talvore
