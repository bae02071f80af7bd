// The closing word of a run on the images it could not deliver: every
// document that left an image without its final file (not written, not
// converted, refused by the core) or pages uninterpreted, each with its
// counts and the first reason. The desktop shows it once, after the run,
// where "Convert Finished" alone would hide the loss.
#pragma once

#include "convert/RunObserver.h"

#include <string>
#include <vector>

namespace talvore {

class RunFailureReport {
public:
    // Documents named in full; the rest are counted in one closing line, so
    // the message stays readable for a long run.
    static constexpr size_t MaxNamedDocuments = 10;

    // Takes note of a finished document; one without failures is ignored.
    void Add(const DocumentReport& report);
    bool Empty() const { return m_documents.empty(); }
    // The message text; empty when no document failed anything.
    std::string Message() const;

private:
    struct Document {
        std::string Path;
        int Images = 0; // images without their final file
        int Pages = 0;  // pages refused
        std::string FirstReason;
    };
    std::vector<Document> m_documents;
};

} // namespace talvore
