#include "convert/PageImageScan.h"

#include "convert/PdfCore.h"
#include "support/PdfWriter.h"

#include <PDFDoc.h>
#include <Page.h>
#include <XRef.h>
#include <goo/GooString.h>
#include <gtest/gtest.h>

namespace talvore {
namespace {

TEST(ContentScanner, NamesAndInlineImages) {
    struct Case {
        std::vector<std::string> pieces; // fed one after the other
        bool finishBetween;              // each piece its own content stream
        bool inlineImage;
        std::vector<std::string> named;
        std::vector<std::string> notNamed;
    } cases[] = {
        {{"q /Im1 Do Q"}, false, false, {"Im1"}, {"Im", "Do"}},
        {{"/A/B[/C]<</D 1>>"}, false, false, {"A", "B", "C", "D"}, {"A/B"}},
        {{"q BI /W 1 ID x EI"}, false, true, {"W"}, {}},
        {{"BIG (BI) Tj"}, false, true, {}, {}}, // in a string: a harmless yes
        {{"XBI BIX"}, false, false, {}, {}},
        {{"/Im", "1 Do"}, false, false, {"Im1"}, {"Im"}}, // pieces of one stream
        {{"/Im", "1 Do"}, true, false, {"Im"}, {"Im1"}},  // two streams: the token ends
        {{"0 0 m B", "I"}, true, false, {}, {}},
        {{"B", "I\n"}, false, true, {}, {}},
        {{"/Im#31 Do"}, false, false, {"Im1", "Anything"}, {}}, // an escape may stand for any name
        {{"%/Hidden\n/Shown"}, false, false, {"Hidden", "Shown"}, {}},
    };
    for (const Case& c : cases) {
        std::string trace;
        for (const std::string& piece : c.pieces)
            trace += "[" + piece + "]";
        SCOPED_TRACE(trace);
        ContentScanner scanner;
        for (const std::string& piece : c.pieces) {
            scanner.Feed(reinterpret_cast<const unsigned char*>(piece.data()), piece.size());
            if (c.finishBetween)
                scanner.Finish();
        }
        scanner.Finish();
        EXPECT_EQ(scanner.HasInlineImage(), c.inlineImage);
        for (const std::string& name : c.named)
            EXPECT_TRUE(scanner.NamesResource(name)) << name;
        for (const std::string& name : c.notNamed)
            EXPECT_FALSE(scanner.NamesResource(name)) << name;
    }
}

TEST(PageScanCache, SharedResourcesAreReadOnceAndGivenBack) {
    // Pages naming one resource dictionary by reference share the one the
    // first page read while the cache lives; a repair of the table, and the
    // cache's end, give the table back its file, and every answer stays the
    // page's own.
    using namespace talvore::testing;
    const CoreDiagnosticScope quiet([](const std::string&) {});
    TemporaryFolder folder;
    PdfWriter writer;
    const int image = writer.AddImage(2, 2, "/DeviceGray", 8, "", "abcd");
    const int shared = writer.Add(XObjectResources(
        {{"Im", image}}, "/Font << /F1 << /Type /Font /Subtype /Type1 /BaseFont /Courier >> >> "));
    const std::string sharedRef = std::to_string(shared) + " 0 R";
    const std::string text = "BT /F1 12 Tf 72 700 Td (text) Tj ET\n";
    writer.AddPage(text, sharedRef);                                      // 1
    writer.AddPage(DrawXObject("Im"), sharedRef);                         // 2
    writer.AddPage(text, sharedRef);                                      // 3
    writer.AddPage(DrawXObject("Im"), XObjectResources({{"Im", image}})); // 4, its own
    writer.AddPage(text, sharedRef);                                      // 5
    const std::string path = folder / "shared.pdf";
    ASSERT_TRUE(writer.WriteFile(path));

    for (const bool repairAfterFirst : {false, true}) {
        SCOPED_TRACE(repairAfterFirst ? "repaired after page 1" : "no repair");
        const XRefRepairs repairs;
        PDFDoc document(std::make_unique<GooString>(path), std::nullopt, std::nullopt, nullptr,
                        repairs.Callback());
        ASSERT_TRUE(document.isOk());
        // As the core calls back when it rebuilds the table.
        const std::function<void()> repaired = repairs.Callback();
        std::vector<bool> answers;
        {
            PageScanCache cache;
            for (int page = 1; page <= document.getNumPages(); ++page) {
                answers.push_back(ScanPage(document, page, repairs, cache).MayDrawImage);
                if (page == 1 && repairAfterFirst)
                    repaired();
            }
            Dict* first = document.getPage(1)->getResourceDict();
            Dict* second = document.getPage(2)->getResourceDict();
            EXPECT_EQ(first == second, !repairAfterFirst);
            EXPECT_EQ(document.getPage(3)->getResourceDict(), second);
            EXPECT_EQ(document.getPage(5)->getResourceDict(), second);
            EXPECT_NE(document.getPage(4)->getResourceDict(), second);
        }
        EXPECT_EQ(answers, (std::vector<bool>{false, true, false, true, false}));
        EXPECT_TRUE(document.getXRef()->getEntry(shared)->obj.isNull());
        const Object reread = document.getXRef()->fetch(shared, 0);
        ASSERT_TRUE(reread.isDict());
        EXPECT_NE(reread.getDict(), document.getPage(5)->getResourceDict());
    }
}

} // namespace
} // namespace talvore
