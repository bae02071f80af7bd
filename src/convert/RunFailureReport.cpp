#include "convert/RunFailureReport.h"

#include <algorithm>

namespace talvore {
namespace {

std::string Counted(int count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

} // namespace

void RunFailureReport::Add(const DocumentReport& report) {
    const int images = report.ImagesFailed + report.ConversionFailures;
    if (images == 0 && report.PagesRefused == 0 && report.Failures.empty())
        return;
    Document document;
    document.Path = report.Path;
    document.Images = images;
    document.Pages = report.PagesRefused;
    if (!report.Failures.empty())
        document.FirstReason = report.Failures.front();
    m_documents.push_back(std::move(document));
}

std::string RunFailureReport::Message() const {
    if (m_documents.empty())
        return {};
    std::string text = "Not every image could be saved:\n";
    const size_t named = std::min(m_documents.size(), MaxNamedDocuments);
    for (size_t i = 0; i < named; ++i) {
        const Document& document = m_documents[i];
        text += "\n" + document.Path + "\n    ";
        std::string counts;
        if (document.Images > 0)
            counts = Counted(document.Images, "image failed", "images failed");
        if (document.Pages > 0) {
            if (!counts.empty())
                counts += ", ";
            counts += Counted(document.Pages, "page not interpreted", "pages not interpreted");
        }
        if (counts.empty())
            counts = "not every image was extracted";
        text += counts;
        if (!document.FirstReason.empty())
            text += "; the first: " + document.FirstReason;
        text += "\n";
    }
    if (m_documents.size() > named) {
        // Appended one by one: "\n" + a temporary meets GCC 12's -Wrestrict
        // false positive at -O3.
        text += '\n';
        text += Counted(static_cast<int>(m_documents.size() - named), "more document",
                        "more documents");
        text += " with failures.\n";
    }
    return text;
}

} // namespace talvore
