#include "pdfinfo/PdfSummary.h"

#include "support/PdfWriter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
namespace support = talvore::testing;
using namespace talvore;

namespace {

class SummaryFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/talvore-summary-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string WritePdf(const std::string& name, const support::PageLayout& layout) {
        const std::string path = (m_dir / name).string();
        EXPECT_TRUE(support::WriteWholeFile(path, support::BuildPagesPdf(layout)));
        return path;
    }

    // A copy of plain encrypted by qpdf; empty when qpdf fails.
    std::string Encrypt(const std::string& plain, const std::string& name,
                        const std::string& userPassword, int keyBits,
                        const std::vector<std::string>& permissions = {}) {
        const std::string path = (m_dir / name).string();
        if (!support::EncryptWithQpdf(plain, path, userPassword, "owner", keyBits, permissions))
            return {};
        return path;
    }

    fs::path m_dir;
};

// Piece 6 holds version, page size and page count.
std::string DescriptionOf(const PdfSummary& summary) {
    return summary.Pieces.size() > 5 ? summary.Pieces[5].Text : std::string();
}

} // namespace

TEST(SummaryText, GroupsThousands) {
    const struct {
        uint64_t Value;
        const char* Text;
    } cases[] = {
        {0, "0"},
        {999, "999"},
        {1000, "1,000"},
        {1024, "1,024"},
        {123456, "123,456"},
        {1263616, "1,263,616"},
        {18446744073709551615ull, "18,446,744,073,709,551,615"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GroupThousands(c.Value), c.Text) << c.Value;
}

TEST(SummaryText, SizeLineInKilobytesAndBytes) {
    EXPECT_EQ(FileSizeLine(1263616), "\tFile Size: 1,234 KB (1,263,616 Bytes)\n");
    EXPECT_EQ(FileSizeLine(1024), "\tFile Size: 1 KB (1,024 Bytes)\n");
    EXPECT_EQ(FileSizeLine(999), "\tFile Size: 0 KB (999 Bytes)\n");
    // Past 4 GiB the full 64-bit value is written.
    EXPECT_EQ(FileSizeLine(5368709120ull), "\tFile Size: 5,242,880 KB (5,368,709,120 Bytes)\n");
    EXPECT_EQ(FileSizeLine(std::nullopt), "\tFile Size: unknown\n");
}

TEST(SummaryText, CreationTimeIsClockThenMonthFirstDate) {
    std::tm when{};
    when.tm_year = 2024 - 1900;
    when.tm_mon = 0;
    when.tm_mday = 2;
    when.tm_hour = 21;
    when.tm_min = 5;
    when.tm_sec = 3;
    EXPECT_EQ(CreationTimeLine(when), "\tCreation Time: 21:05:03 01/02/2024\n");
    EXPECT_EQ(CreationTimeLine(std::nullopt), "\tCreation Time: unknown\n");
}

TEST(SummaryText, ReleaseTable) {
    const struct {
        int Major, Minor;
        const char* Release;
    } cases[] = {
        {1, 0, " (Acrobat 1.x) "},
        {1, 1, " (Acrobat 2.x) "},
        {1, 2, " (Acrobat 3.x) "},
        {1, 3, " (Acrobat 4.x) "},
        {1, 4, " (Acrobat 5.x) "},
        {1, 5, " (Acrobat 6.x) "},
        {1, 6, " (Acrobat 7.x) "},
        {1, 7, " (Unknown Acrobat Version) "},
        {2, 0, " (Unknown Acrobat Version) "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReleaseText(VersionText(c.Major, c.Minor)), c.Release)
            << c.Major << "." << c.Minor;
    EXPECT_EQ(VersionText(1, 7), "1.7");
}

TEST(SummaryText, PageSizeQuarterExcessRule) {
    const PageBox letter{0, 0, 612, 792};
    EXPECT_EQ(PageSizeText(612, 792), "816 x 1056");
    // 20 points of excess against a quarter of 592: the media box.
    EXPECT_FALSE(CropBoxLimitsPage(letter, PageBox{10, 10, 602, 782}, true));
    // 306 points against a quarter of 306: the crop box.
    EXPECT_TRUE(CropBoxLimitsPage(letter, PageBox{0, 0, 306, 792}, true));
    // Height alone can decide it.
    EXPECT_TRUE(CropBoxLimitsPage(letter, PageBox{0, 0, 612, 396}, true));
    // Exactly a quarter is not beyond it.
    EXPECT_FALSE(CropBoxLimitsPage(PageBox{0, 0, 500, 400}, PageBox{0, 0, 400, 400}, true));
    EXPECT_FALSE(CropBoxLimitsPage(letter, PageBox{0, 0, 306, 792}, false));
}

TEST(SummaryText, PermissionLinesLastWithoutLineEnd) {
    EXPECT_EQ(PermissionLines(true, true, true, true),
              "\tPrinting: Allowed\n\tDocument Assembly: Allowed\n"
              "\tContent Copying or Extraction: Allowed\n\tCommenting: Allowed");
    EXPECT_EQ(PermissionLines(false, true, false, true),
              "\tPrinting: Not Allowed\n\tDocument Assembly: Allowed\n"
              "\tContent Copying or Extraction: Not Allowed\n\tCommenting: Allowed");
    EXPECT_EQ(PermissionLines(true, false, true, false),
              "\tPrinting: Allowed\n\tDocument Assembly: Not Allowed\n"
              "\tContent Copying or Extraction: Allowed\n\tCommenting: Not Allowed");
}

TEST_F(SummaryFiles, LetterPageFullReport) {
    const std::string path = WritePdf("letter.pdf", support::PageLayout{});
    const PdfSummary summary = MakePdfSummary(path);
    ASSERT_TRUE(summary.Valid);
    ASSERT_EQ(summary.Pieces.size(), 8u);
    EXPECT_EQ(summary.PageCount, 1);

    EXPECT_EQ(summary.Pieces[0].Text, path + "\n");
    EXPECT_EQ(summary.Pieces[0].Mask, unsigned(SummaryMaskColour | SummaryMaskBold));
    EXPECT_TRUE(summary.Pieces[0].Bold);
    EXPECT_EQ(summary.Pieces[0].Colour, (TextColour{0, 0, 192}));
    EXPECT_EQ(summary.Pieces[1].Text, "Summary:\n");
    EXPECT_EQ(summary.Pieces[1].Mask, unsigned(SummaryMaskColour | SummaryMaskUnderline));
    EXPECT_TRUE(summary.Pieces[1].Underline);
    const uint64_t size = fs::file_size(path);
    EXPECT_EQ(summary.Pieces[2].Text, FileSizeLine(size));
    EXPECT_FALSE(summary.Pieces[2].Bold);
    EXPECT_EQ(summary.Pieces[3].Text.rfind("\tCreation Time: ", 0), 0u);
    EXPECT_EQ(summary.Pieces[3].Text.size(),
              std::string("\tCreation Time: hh:mm:ss mm/dd/yyyy\n").size());
    EXPECT_EQ(summary.Pieces[4].Text, "PDF Description:\n");
    EXPECT_TRUE(summary.Pieces[4].Bold && summary.Pieces[4].Underline);
    EXPECT_EQ(
        DescriptionOf(summary),
        "\tPDF Version: 1.4 (Acrobat 5.x) \n\tPage Size: 816 x 1056 Pixel\n\tNumber of Pages: 1\n");
    EXPECT_EQ(summary.Pieces[6].Text, "PDF Security:\n");
    EXPECT_EQ(summary.Pieces[7].Text, PermissionLines(true, true, true, true));
}

TEST_F(SummaryFiles, FirstPageMeasuredByTheRightBox) {
    const struct {
        const char* Name;
        std::optional<support::PdfBox> PageCrop;
        std::optional<support::PdfBox> InheritedCrop;
        const char* Size;
    } cases[] = {
        {"no-crop.pdf", std::nullopt, std::nullopt, "816 x 1056"},
        {"inset.pdf", support::PdfBox{10, 10, 602, 782}, std::nullopt, "816 x 1056"},
        {"half.pdf", support::PdfBox{0, 0, 306, 792}, std::nullopt, "408 x 1056"},
        {"inherited.pdf", std::nullopt, support::PdfBox{0, 0, 306, 792}, "408 x 1056"},
        // Poppler clips the crop box to the media box; nothing is beyond it.
        {"outside.pdf", support::PdfBox{-100, -100, 900, 900}, std::nullopt, "816 x 1056"},
    };
    for (const auto& c : cases) {
        support::PageLayout layout;
        layout.PageCrop = c.PageCrop;
        layout.InheritedCrop = c.InheritedCrop;
        layout.Pages = 3;
        const PdfSummary summary = MakePdfSummary(WritePdf(c.Name, layout));
        ASSERT_TRUE(summary.Valid) << c.Name;
        EXPECT_NE(DescriptionOf(summary).find(std::string("\tPage Size: ") + c.Size + " Pixel\n"),
                  std::string::npos)
            << c.Name << ": " << DescriptionOf(summary);
        EXPECT_NE(DescriptionOf(summary).find("\tNumber of Pages: 3\n"), std::string::npos)
            << c.Name;
    }
}

TEST_F(SummaryFiles, VersionFromTheHeader) {
    support::PageLayout layout;
    layout.MinorVersion = 7;
    const PdfSummary summary = MakePdfSummary(WritePdf("v17.pdf", layout));
    ASSERT_TRUE(summary.Valid);
    EXPECT_EQ(DescriptionOf(summary).rfind("\tPDF Version: 1.7 (Unknown Acrobat Version) \n", 0),
              0u);
}

TEST_F(SummaryFiles, NotAPdfKeepsFirstFivePieces) {
    const std::string path = (m_dir / "text.pdf").string();
    ASSERT_TRUE(support::WriteWholeFile(path, "this is not a PDF file at all\n"));
    const PdfSummary summary = MakePdfSummary(path);
    EXPECT_FALSE(summary.Valid);
    ASSERT_EQ(summary.Pieces.size(), 5u);
    EXPECT_EQ(summary.Pieces[2].Text, FileSizeLine(fs::file_size(path)));
    EXPECT_EQ(summary.Pieces[4].Text, "PDF Description:\n");
}

TEST_F(SummaryFiles, MissingFileShowsPlaceholders) {
    const std::string path = (m_dir / "gone.pdf").string();
    const PdfSummary summary = MakePdfSummary(path);
    EXPECT_FALSE(summary.Valid);
    ASSERT_EQ(summary.Pieces.size(), 5u);
    EXPECT_EQ(summary.Pieces[0].Text, path + "\n");
    EXPECT_EQ(summary.Pieces[2].Text, "\tFile Size: unknown\n");
    EXPECT_EQ(summary.Pieces[3].Text, "\tCreation Time: unknown\n");
}

TEST_F(SummaryFiles, NoFirstPageToMeasure) {
    support::PageLayout layout;
    layout.Pages = 0;
    const std::string empty = support::BuildPagesPdf(layout);
    // A page tree that promises a page it does not have.
    std::string broken = empty;
    broken.replace(broken.find("/Count 0"), 8, "/Count 1");
    const struct {
        const char* Name;
        const std::string& Bytes;
        const char* Count;
    } cases[] = {{"empty.pdf", empty, "0"}, {"promised.pdf", broken, "1"}};
    for (const auto& c : cases) {
        const std::string path = (m_dir / c.Name).string();
        ASSERT_TRUE(support::WriteWholeFile(path, c.Bytes));
        const PdfSummary summary = MakePdfSummary(path);
        ASSERT_TRUE(summary.Valid) << c.Name;
        EXPECT_EQ(DescriptionOf(summary), std::string("\tPDF Version: 1.4 (Acrobat 5.x) \n"
                                                      "\tPage Size: unknown (no first page)\n"
                                                      "\tNumber of Pages: ") +
                                              c.Count + "\n")
            << c.Name;
    }
}

TEST_F(SummaryFiles, UserPasswordNeededKeepsFirstFivePieces) {
    const std::string plain = WritePdf("plain.pdf", support::PageLayout{});
    const std::string locked = Encrypt(plain, "locked.pdf", "secret", 256);
    ASSERT_FALSE(locked.empty()) << "qpdf could not encrypt the fixture";
    const PdfSummary summary = MakePdfSummary(locked);
    EXPECT_FALSE(summary.Valid);
    ASSERT_EQ(summary.Pieces.size(), 5u);
    EXPECT_EQ(summary.Pieces[0].Text, locked + "\n");
}

TEST_F(SummaryFiles, OwnerRestrictedPermissions) {
    const std::string plain = WritePdf("plain.pdf", support::PageLayout{});
    const struct {
        const char* Name;
        int KeyBits;
        std::vector<std::string> Permissions;
        bool Print, Change, Copy, Notes;
    } cases[] = {
        {"none.pdf",
         256,
         {"--print=none", "--modify=none", "--extract=n", "--annotate=n"},
         false,
         false,
         false,
         false},
        {"copy-only.pdf",
         256,
         {"--print=none", "--modify=none", "--extract=y", "--annotate=n"},
         false,
         false,
         true,
         false},
        {"print-notes.pdf",
         128,
         {"--use-aes=y", "--print=full", "--modify=annotate", "--extract=n"},
         true,
         false,
         false,
         true},
    };
    for (const auto& c : cases) {
        const std::string path = Encrypt(plain, c.Name, "", c.KeyBits, c.Permissions);
        ASSERT_FALSE(path.empty()) << c.Name;
        const PdfSummary summary = MakePdfSummary(path);
        ASSERT_TRUE(summary.Valid) << c.Name;
        ASSERT_EQ(summary.Pieces.size(), 8u);
        EXPECT_EQ(summary.Pieces[7].Text, PermissionLines(c.Print, c.Change, c.Copy, c.Notes))
            << c.Name;
    }
}

TEST_F(SummaryFiles, DamagedFilesNeverCrash) {
    support::PageLayout layout;
    layout.PageCrop = support::PdfBox{0, 0, 306, 792};
    layout.Pages = 2;
    const std::string good = support::BuildPagesPdf(layout);
    const std::string path = (m_dir / "damaged.pdf").string();
    // Truncated at every length, then single bytes overwritten.
    for (size_t length = 0; length < good.size(); length += 7) {
        ASSERT_TRUE(support::WriteWholeFile(path, good.substr(0, length)));
        const PdfSummary summary = MakePdfSummary(path);
        ASSERT_TRUE(summary.Pieces.size() == 5 || summary.Pieces.size() == 8) << length;
        EXPECT_GE(summary.PageCount, 0);
    }
    for (size_t at = 0; at < good.size(); at += 5) {
        std::string bytes = good;
        bytes[at] = static_cast<char>(bytes[at] ^ 0x5A);
        ASSERT_TRUE(support::WriteWholeFile(path, bytes));
        const PdfSummary summary = MakePdfSummary(path);
        ASSERT_TRUE(summary.Pieces.size() == 5 || summary.Pieces.size() == 8) << at;
    }
}

TEST_F(SummaryFiles, ReportsOnSeveralThreadsAtOnce) {
    // A report asked for while a run uses the core on its worker thread.
    support::PageLayout layout;
    layout.Pages = 4;
    const std::string path = WritePdf("shared.pdf", layout);
    const PdfSummary expected = MakePdfSummary(path);
    ASSERT_TRUE(expected.Valid);
    std::vector<std::thread> threads;
    std::atomic<int> mismatches{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 25; ++i) {
                const PdfSummary summary = MakePdfSummary(path);
                if (!summary.Valid || summary.Pieces.size() != 8 ||
                    summary.Pieces[5].Text != expected.Pieces[5].Text)
                    ++mismatches;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(mismatches.load(), 0);
}
