#include "convert/PathParts.h"

#include "support/PdfWriter.h"

#include <gtest/gtest.h>

namespace talvore {
namespace {

TEST(PathParts, SplitsByThisPlatformsRules) {
    struct Case {
        const char* path;
        const char* directory;
        const char* title;
        const char* extension;
        const char* fileName;
    } cases[] = {
        {"/docs/report.pdf", "/docs/", "report", "pdf", "report.pdf"},
        {"\"/docs/my report.pdf\"", "/docs/", "my report", "pdf", "my report.pdf"},
        {"report.pdf", "", "report", "pdf", "report.pdf"},
        {"/out/a.b.ppm", "/out/", "a.b", "ppm", "a.b.ppm"},
        {"/out/-004.PBM", "/out/", "-004", "PBM", "-004.PBM"},
        {"/a.dir/noext", "/a.dir/", "noext", "", "noext"},
        {"/home/u/.profile", "/home/u/", "", "", ""},
        {"/docs/", "/docs/", "", "", ""},
        {"/docs/trailing.", "/docs/", "trailing", "", "trailing"},
        {"back\\slash.pdf", "", "back\\slash", "pdf", "back\\slash.pdf"},
        {"", "", "", "", ""},
        {"\"\"", "", "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const PathParts parts(c.path);
        EXPECT_EQ(parts.FullText(), c.path);
        EXPECT_EQ(parts.Drive(), "");
        EXPECT_EQ(parts.Directory(), c.directory);
        EXPECT_EQ(parts.Location(), c.directory);
        EXPECT_EQ(parts.Title(), c.title);
        EXPECT_EQ(parts.Extension(), c.extension);
        EXPECT_EQ(parts.FileName(), c.fileName);
        EXPECT_EQ(parts.FullPath(), std::string(c.directory) + c.fileName);
    }
}

TEST(PathParts, FileInformation) {
    testing::TemporaryFolder folder;
    const std::string path = folder / "f.bin";
    ASSERT_TRUE(testing::WriteWholeFile(path, std::string(5000, 'x')));
    const auto info = PathParts(path).GetFileInformation();
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->Size, 5000u);
    EXPECT_GT(info->CreationTime, 0);
    EXPECT_GE(info->CreationLocal.tm_year, 100);
    EXPECT_FALSE(PathParts(folder / "missing").GetFileInformation().has_value());
    EXPECT_FALSE(PathParts(folder.Path()).GetFileInformation().has_value());
}

} // namespace
} // namespace talvore
