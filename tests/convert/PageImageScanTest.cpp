#include "convert/PageImageScan.h"

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

} // namespace
} // namespace talvore
