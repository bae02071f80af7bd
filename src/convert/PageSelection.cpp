#include "convert/PageSelection.h"

#include <climits>
#include <cstdint>

namespace talvore {
namespace {

// A page number: 1 to INT_MAX, decimal digits only.
bool ParsePage(const std::string& text, int* page) {
    if (text.empty() || text.size() > 10)
        return false;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > INT_MAX)
        return false;
    *page = static_cast<int>(value);
    return true;
}

} // namespace

std::optional<PageSelection> PageSelection::Parse(const std::string& text, std::string* error) {
    PageSelection selection;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        const std::string part =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const size_t dash = part.find('-');
        Range range{0, 0};
        bool ok = false;
        if (dash == std::string::npos) {
            ok = ParsePage(part, &range.First);
            range.Last = range.First;
        } else if (part.find('-', dash + 1) == std::string::npos) {
            ok = ParsePage(part.substr(0, dash), &range.First);
            if (ok && dash + 1 == part.size())
                range.Last = INT_MAX;
            else
                ok = ok && ParsePage(part.substr(dash + 1), &range.Last);
        }
        if (!ok) {
            *error = "'" + part + "' is not a page or a range of pages (pages count from 1)";
            return std::nullopt;
        }
        if (range.Last < range.First) {
            *error = "the range '" + part + "' runs downward";
            return std::nullopt;
        }
        selection.m_ranges.push_back(range);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return selection;
}

std::vector<int> PageSelection::PagesOf(int pageCount) const {
    std::vector<bool> chosen(static_cast<size_t>(pageCount > 0 ? pageCount : 0) + 1, false);
    for (const Range& range : m_ranges) {
        for (int page = range.First; page <= pageCount && page <= range.Last; ++page)
            chosen[static_cast<size_t>(page)] = true;
    }
    std::vector<int> pages;
    for (int page = 1; page <= pageCount; ++page) {
        if (chosen[static_cast<size_t>(page)])
            pages.push_back(page);
    }
    return pages;
}

} // namespace talvore
