#include "convert/PageSelection.h"

#include <gtest/gtest.h>

namespace talvore {
namespace {

TEST(PageSelection, ListsAndRanges) {
    struct Case {
        const char* text;
        int pageCount;
        std::vector<int> pages;
    } cases[] = {
        {"1,3,5-7,10-", 12, {1, 3, 5, 6, 7, 10, 11, 12}},
        {"1,3,5-7,10-", 6, {1, 3, 5, 6}},
        {"4-", 3, {}},
        {"2", 2, {2}},
        {"3,1,3,2-3", 5, {1, 2, 3}}, // ascending, each once
        {"1-2147483647", 3, {1, 2, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string error;
        const auto selection = PageSelection::Parse(c.text, &error);
        ASSERT_TRUE(selection) << error;
        EXPECT_EQ(selection->PagesOf(c.pageCount), c.pages);
    }
}

TEST(PageSelection, MalformedTextIsRefusedWithAReason) {
    for (const char* text : {"", "0", "5-2", "0-3", "1,,2", "a", "1-2-3", "-4", "1 ,2", ",",
                             "99999999999", "3-x", "1,"}) {
        std::string error;
        EXPECT_FALSE(PageSelection::Parse(text, &error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

} // namespace
} // namespace talvore
