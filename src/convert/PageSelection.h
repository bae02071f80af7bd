// A list of pages and page ranges, as a command line gives them:
// "1,3,5-7,10-" (the last to the end of each document). Page numbers start
// at 1; a range runs upward.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace talvore {

class PageSelection {
public:
    // The selection a text names, or nothing when it is malformed: empty
    // parts, page 0, a range that runs downward, or anything but digits,
    // ',' and '-'. *error says what is wrong.
    static std::optional<PageSelection> Parse(const std::string& text, std::string* error);

    // The document's pages the selection names, ascending, each once.
    std::vector<int> PagesOf(int pageCount) const;

private:
    struct Range {
        int First;
        int Last; // INT_MAX: to the end
    };
    std::vector<Range> m_ranges;
};

} // namespace talvore
