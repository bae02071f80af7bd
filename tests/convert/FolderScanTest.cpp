#include "convert/FolderScan.h"

#include "support/PdfWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>

namespace talvore {
namespace {

using namespace talvore::testing;

TEST(FolderScan, FindsEveryPdfOfTheTreeOnce) {
    TemporaryFolder folder;
    std::filesystem::create_directories(folder / "a/b");
    std::filesystem::create_directories(folder / "dir.pdf");
    for (const char* name : {"top.pdf", "a/UPPER.PDF", "a/b/deep.pdf", "a/notes.txt", "a/b/noext",
                             "a/x.xpdf", "dir.pdf/inner.pdf", ".hidden.pdf"}) {
        ASSERT_TRUE(WriteWholeFile(folder / name, "x"));
    }
    // A FIFO with a PDF's name is not a file to open.
    ASSERT_EQ(mkfifo((folder / "a/pipe.pdf").c_str(), 0600), 0);
    // A link back into the tree is walked once.
    std::filesystem::create_directory_symlink(folder.Path(), folder / "a/b/loop");
    std::vector<std::string> paths;
    ScanFolderForPdfs(folder.Path(), [&](const std::string& path) { paths.push_back(path); });
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::string>{folder / ".hidden.pdf", folder / "a/UPPER.PDF",
                                               folder / "a/b/deep.pdf",
                                               folder / "dir.pdf/inner.pdf", folder / "top.pdf"}));
}

TEST(FolderScan, NamesFollowTheFolderText) {
    TemporaryFolder folder;
    ASSERT_TRUE(WriteWholeFile(folder / "x.pdf", "x"));
    for (const std::string& given : {folder.Path(), folder.Path() + "/"}) {
        std::vector<std::string> paths;
        ScanFolderForPdfs(given, [&](const std::string& path) { paths.push_back(path); });
        EXPECT_EQ(paths, std::vector<std::string>{folder / "x.pdf"});
    }
    std::vector<std::string> none;
    ScanFolderForPdfs(folder / "missing", [&](const std::string& path) { none.push_back(path); });
    EXPECT_TRUE(none.empty());
}

TEST(FolderScan, PdfNameRule) {
    const std::pair<const char*, bool> cases[] = {
        {"a.pdf", true},      {"a.PDF", true},   {"a.Pdf", true},
        {".pdf", true},       {"a.xpdf", false}, {"apdf", false},
        {"a.pdf.txt", false}, {"a.pd", false},   {"a.pdfx", false},
    };
    for (const auto& [name, pdf] : cases)
        EXPECT_EQ(IsPdfFileName(name), pdf) << name;
}

} // namespace
} // namespace talvore
