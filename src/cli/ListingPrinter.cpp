#include "cli/ListingPrinter.h"

#include "cli/TerminalObserver.h"

#include <nlohmann/json.hpp>

namespace talvore {
namespace {

std::string NumberText(int number) {
    char text[16];
    std::snprintf(text, sizeof text, "-%03d", number);
    return text;
}

std::string KindText(const ListedImage& row) {
    std::string kind = ListedKindName(row.Kind);
    if (row.MaskOf >= 0)
        kind += " of " + NumberText(row.MaskOf);
    return kind;
}

std::string BecomesText(const ListedImage& row) {
    std::string text = ListedOutcomeName(row.Outcome);
    if (!row.Path.empty()) {
        text += ' '; // apart: " " + a temporary trips GCC 12's -Wrestrict at -O3
        text += EscapeControls(row.Path);
    }
    if (row.RepeatOf >= 0)
        text += ", repeat of " + NumberText(row.RepeatOf);
    return text;
}

} // namespace

void PrintListingHeading(std::FILE* out) {
    std::fprintf(out, "%5s %5s %9s %-20s %7s %7s %-24s %4s %3s %-24s %10s  %s\n", "page", "num",
                 "object", "kind", "width", "height", "colour space", "comp", "bpc", "filters",
                 "bytes", "becomes");
}

void PrintListingRows(std::FILE* out, const DocumentReport& report) {
    for (const ListedImage& row : report.Listing) {
        const std::string number = row.Number >= 0 ? NumberText(row.Number) : "";
        const std::string object =
            row.Inline ? "inline"
            : row.Kind == ListedKind::ColourKey
                ? "-"
                : std::to_string(row.Object) + " " + std::to_string(row.Generation);
        const std::string bytes = row.StoredBytes >= 0 ? std::to_string(row.StoredBytes) : "-";
        std::fprintf(out, "%5d %5s %9s %-20s %7d %7d %-24s %4d %3d %-24s %10s  %s\n", row.Page,
                     number.c_str(), object.c_str(), KindText(row).c_str(), row.Width, row.Height,
                     row.ColourSpace.empty() ? "-" : row.ColourSpace.c_str(), row.Components,
                     row.Bits, row.Filters.empty() ? "-" : row.Filters.c_str(), bytes.c_str(),
                     BecomesText(row).c_str());
    }
}

std::string ListingJson(const std::vector<DocumentReport>& reports) {
    nlohmann::ordered_json documents = nlohmann::ordered_json::array();
    for (const DocumentReport& report : reports) {
        nlohmann::ordered_json document;
        document["path"] = report.Path;
        document["pages"] = report.PageCount;
        document["version"] = report.PdfVersion;
        document["encrypted"] = report.Encrypted;
        document["permissions"] = {{"print", report.CanPrint},
                                   {"copy", report.CanCopy},
                                   {"change", report.CanChange},
                                   {"notes", report.CanAddNotes}};
        if (!report.Message.empty())
            document["refusal"] = report.Message;
        nlohmann::ordered_json images = nlohmann::ordered_json::array();
        for (const ListedImage& row : report.Listing) {
            nlohmann::ordered_json image;
            image["page"] = row.Page;
            image["number"] = row.Number >= 0 ? nlohmann::ordered_json(row.Number) : nullptr;
            if (row.Inline) {
                image["object"] = nullptr;
                image["inline"] = true;
            } else if (row.Kind == ListedKind::ColourKey) {
                image["object"] = nullptr; // an array in the image's dictionary
            } else {
                image["object"] = row.Object;
                image["generation"] = row.Generation;
            }
            image["kind"] = ListedKindName(row.Kind);
            if (row.MaskOf >= 0)
                image["mask_of"] = row.MaskOf;
            image["width"] = row.Width;
            image["height"] = row.Height;
            image["colour_space"] = row.ColourSpace.empty()
                                        ? nlohmann::ordered_json(nullptr)
                                        : nlohmann::ordered_json(row.ColourSpace);
            image["components"] = row.Components;
            image["bits_per_component"] = row.Bits;
            nlohmann::ordered_json filters = nlohmann::ordered_json::array();
            for (size_t at = 0; at < row.Filters.size();) {
                const size_t end = std::min(row.Filters.find(' ', at), row.Filters.size());
                filters.push_back(row.Filters.substr(at, end - at));
                at = end + 1;
            }
            image["filters"] = filters;
            image["stored_bytes"] =
                row.StoredBytes >= 0 ? nlohmann::ordered_json(row.StoredBytes) : nullptr;
            image["becomes"] = ListedOutcomeName(row.Outcome);
            image["file"] = row.Path.empty() ? nlohmann::ordered_json(nullptr)
                                             : nlohmann::ordered_json(row.Path);
            image["repeat_of"] = row.RepeatOf >= 0 ? nlohmann::ordered_json(row.RepeatOf) : nullptr;
            images.push_back(std::move(image));
        }
        document["images"] = std::move(images);
        documents.push_back(std::move(document));
    }
    // Invalid UTF-8 in a name is replaced, not a reason to fail.
    return nlohmann::ordered_json{{"documents", documents}}.dump(
               2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) +
           "\n";
}

} // namespace talvore
