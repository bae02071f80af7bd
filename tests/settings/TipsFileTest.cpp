#include "settings/TipsFile.h"

#include "settings/TipsSettings.h"
#include "support/PdfWriter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace talvore {
namespace {

using testing::ReadWholeFile;
using testing::TemporaryFolder;
using testing::WriteWholeFile;

// The first count tips of a file, read one after the other.
std::vector<std::string> Tips(const std::string& content, size_t count) {
    TemporaryFolder folder;
    const std::string path = folder / "tips.txt";
    EXPECT_TRUE(WriteWholeFile(path, content));
    TipsFile file;
    EXPECT_TRUE(file.Open(path));
    std::vector<std::string> tips;
    std::string tip;
    while (tips.size() < count && file.ReadNext(tip) == TipsFile::Read::Tip)
        tips.push_back(tip);
    return tips;
}

TEST(TipsFile, SkipsWrapsAndSplitsLines) {
    const std::string longLine(1500, 'a');
    const struct {
        const char* Name;
        std::string Content;
        std::vector<std::string> Expected;
    } cases[] = {
        {"plain", "One\nTwo\n", {"One\n", "Two\n", "One\n"}},
        {"skipped lines",
         ";comment\n shown never\n\tnor this\n\n\r\nOne\r\n;x\nTwo\n",
         {"One\n", "Two\n", "One\n"}},
        {"no line end at the end", "One\nLast", {"One\n", "Last", "One\n"}},
        {"long line in pieces",
         longLine + "\nShort\n",
         {std::string(999, 'a'), std::string(501, 'a') + "\n", "Short\n", std::string(999, 'a')}},
        {"a piece may be skipped",
         std::string(999, 'b') + "\n\nTip\n",
         {std::string(999, 'b'), "Tip\n", std::string(999, 'b')}},
        {"a lone CR is kept", "Mac\rline\n", {"Mac\rline\n", "Mac\rline\n"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Tips(c.Content, c.Expected.size()), c.Expected) << c.Name;
}

TEST(TipsFile, FileWithoutTipsEndsTheReading) {
    for (const std::string content : {"", ";only\n  comments\n\n\t\n", "\n\n\n"}) {
        TemporaryFolder folder;
        ASSERT_TRUE(WriteWholeFile(folder / "tips.txt", content));
        TipsFile file;
        ASSERT_TRUE(file.Open(folder / "tips.txt"));
        std::string tip = "unchanged";
        EXPECT_EQ(file.ReadNext(tip), TipsFile::Read::NoTip);
        EXPECT_EQ(tip, "unchanged");
    }
}

TEST(TipsFile, PositionsAndSeeks) {
    TemporaryFolder folder;
    const std::string path = folder / "tips.txt";
    ASSERT_TRUE(WriteWholeFile(path, ";x\nOne\nTwo\n"));
    TipsFile file;
    ASSERT_TRUE(file.Open(path));
    std::string tip;
    ASSERT_EQ(file.ReadNext(tip), TipsFile::Read::Tip);
    EXPECT_EQ(file.Position(), 7);
    ASSERT_TRUE(file.Seek(7));
    ASSERT_EQ(file.ReadNext(tip), TipsFile::Read::Tip);
    EXPECT_EQ(tip, "Two\n");
    // Beyond the end is no error: the read rewinds to the first tip.
    ASSERT_TRUE(file.Seek(99999));
    ASSERT_EQ(file.ReadNext(tip), TipsFile::Read::Tip);
    EXPECT_EQ(tip, "One\n");
    EXPECT_FALSE(file.Seek(-1));
}

TEST(TipsFile, OnlyRegularFilesOpen) {
    TemporaryFolder folder;
    ASSERT_EQ(mkdir((folder / "folder").c_str(), 0755), 0);
    // A FIFO would block the open and a device would never end.
    ASSERT_EQ(mkfifo((folder / "fifo").c_str(), 0644), 0);
    for (const std::string& path :
         {folder / "missing", folder / "folder", folder / "fifo", std::string("/dev/zero")}) {
        TipsFile file;
        EXPECT_FALSE(file.Open(path)) << path;
        EXPECT_FALSE(file.IsOpen());
        EXPECT_EQ(file.Descriptor(), -1);
        EXPECT_EQ(file.Position(), std::nullopt);
    }
}

TEST(TipsSettings, DefaultsTextLimitAndOtherKeys) {
    TemporaryFolder folder;
    const std::string path = folder / "Settings.ini";
    const TipsSettings missing = LoadTipsSettings(path);
    EXPECT_EQ(missing.TipOfDay, 1);
    EXPECT_EQ(missing.FilePos, 0);
    EXPECT_EQ(missing.TimeStamp, "");

    ASSERT_TRUE(WriteWholeFile(path, "[Output General]\nPage Range=1\n\n[tips]\ntipofday=0\n"
                                     "FilePos=99999999999\nTimeStamp=" +
                                         std::string(200, 's') + "\n"));
    const TipsSettings stored = LoadTipsSettings(path);
    EXPECT_EQ(stored.TipOfDay, 0);
    EXPECT_EQ(stored.FilePos, INT32_MAX);
    EXPECT_EQ(stored.TimeStamp, std::string(kMaxTipsTextLength, 's'));

    ASSERT_TRUE(SaveTipsFilePos(path, 12));
    ASSERT_TRUE(SaveTipOfDay(path, 1));
    ASSERT_TRUE(SaveTipsTimeStamp(path, "Wed Jun 30 21:49:08 1993"));
    EXPECT_EQ(ReadWholeFile(path), "[Output General]\nPage Range=1\n\n[tips]\ntipofday=1\n"
                                   "FilePos=12\nTimeStamp=Wed Jun 30 21:49:08 1993\n");
}

TEST(TipsSettings, TimeStampInCtimeForm) {
    const char* zone = std::getenv("TZ");
    const std::string saved = zone ? zone : "";
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(TimeStampText(0), "Thu Jan  1 00:00:00 1970");
    EXPECT_EQ(TimeStampText(741476948), "Wed Jun 30 21:49:08 1993");
    // Years of more than four digits do not fit the form.
    EXPECT_EQ(TimeStampText(std::time_t{400000000000}), "");
    if (zone)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

} // namespace
} // namespace talvore
