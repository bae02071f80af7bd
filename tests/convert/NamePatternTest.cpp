#include "convert/NamePattern.h"
#include "convert/ExtractionJob.h"

#include "support/PdfWriter.h"
#include "support/RecordingObserver.h"
#include "support/RunSettings.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace talvore {
namespace {

using namespace talvore::testing;

TEST(NamePattern, ParsingRefusesWhatCouldShareANameAndExpandsTokens) {
    struct Case {
        const char* Text;
        bool Common;
        const char* Error;    // empty: accepted
        const char* Expanded; // title "doc", page 7 of 120, number 5, object 42
    };
    const Case cases[] = {
        {"%t-%p-%n", true, "", "doc-007-005"},
        {"p%p_%n_o%o", false, "", "p007_005_o42"},
        {"%t %n 100%%", true, "", "doc 005 100%"},
        {"%n", false, "", "005"},
        {"%n", true, "with one output folder for every document the name pattern must hold %t", ""},
        {"%t-%p", false, "the name pattern must hold %n", ""},
        {"%o", false, "the name pattern must hold %n", ""},
        {"", false, "the name pattern is empty", ""},
        {"a/%n", false, "a name pattern cannot hold '/'", ""},
        {"%n%", false, "the name pattern ends in a lone '%'", ""},
        {"%n%x", false, "unknown token '%x' in the name pattern", ""},
        // Fields that cannot be told apart: a title and a number, two
        // numbers of varying width.
        {"%t%n", true, "%t and %n need something other than digits between them", ""},
        {"%n1%t", true, "%n and %t need something other than digits between them", ""},
        {"%t%p-%n", true, "%t and %p need something other than digits between them", ""},
        {"%o%n", false, "%o and %n need something other than digits between them", ""},
        {"%n%n", false, "%n and %n need something other than digits between them", ""},
        {"%t1x%n", true, "", "doc1x005"},
        {"%p%n", false, "", "007005"},
        {"%n%p_%o", false, "", "005007_42"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        std::string error;
        const std::optional<NamePattern> pattern = NamePattern::Parse(c.Text, c.Common, &error);
        if (*c.Error != '\0') {
            EXPECT_FALSE(pattern);
            EXPECT_NE(error.find(c.Error), std::string::npos) << error;
            continue;
        }
        ASSERT_TRUE(pattern) << error;
        EXPECT_EQ(pattern->Expand("doc", 7, 120, 5, 42), c.Expanded);
        EXPECT_GE(pattern->LongestName(3, 120), std::string(c.Expanded).size());
    }
    EXPECT_EQ(NamePattern::Parse("%o-%n", false, nullptr)->Expand("", 1, 9, 1000, -1),
              "inline-1000");
}

TEST(NamePattern, ARunNamesItsFilesByThePattern) {
    TemporaryFolder folder;
    PdfWriter writer;
    const int image = writer.AddImage(2, 2, "/DeviceGray", 8, "", "abcd");
    for (int page = 0; page < 10; ++page)
        writer.AddPage(page % 9 == 0 ? DrawXObject("I") : "", XObjectResources({{"I", image}}));
    writer.AddPage("q 10 0 0 10 0 0 cm BI /W 1 /H 1 /CS /G /BPC 8 ID a\nEI Q\n", "<< >>");
    ASSERT_TRUE(writer.WriteFile(folder / "doc.pdf"));

    auto run = [&](const std::string& out, const std::string& pattern, bool list) {
        const ConversionSettings settings = SettingsFor(OutputPng, out);
        ExtractionJob job(settings);
        job.AddFile(folder / "doc.pdf");
        std::string error;
        EXPECT_TRUE(job.SetNamePattern(pattern, &error)) << error;
        job.SetListOnly(list);
        RecordingObserver observer;
        job.Run(observer, std::make_shared<StopEvent>());
        EXPECT_EQ(job.ExitStatus(), EXIT_EXTRACTED);
        std::vector<std::string> names;
        for (const ListedImage& row : observer.reports.at(0).Listing)
            names.push_back(std::filesystem::path(row.Path).filename());
        return names;
    };
    std::filesystem::create_directories(folder / "out");
    const std::string object = std::to_string(image);
    const std::vector<std::string> expected{"doc_p01_n000_o" + object + ".png",
                                            "doc_p10_n001_o" + object + ".png",
                                            "doc_p11_n002_oinline.png"};
    EXPECT_EQ(run(folder / "out", "%t_p%p_n%n_o%o", false).size(), 0u);
    EXPECT_EQ(ListFolder(folder / "out"), expected);
    EXPECT_EQ(run(folder / "out", "%t_p%p_n%n_o%o", true), expected);

    // In the document's own folder the title is the folder's name already.
    run("", "page%p-%n", false);
    EXPECT_EQ(ListFolder(folder / "doc"),
              (std::vector<std::string>{"page01-000.png", "page10-001.png", "page11-002.png"}));
}

} // namespace
} // namespace talvore
