// What a conversion run tells its front end, and the one signal back.
// The run calls the observer on its own worker thread; an implementation
// that drives widgets must hand each call to its GUI thread and, for
// ShowMessage, wait until the user has dismissed the box.
#pragma once

#include "convert/ImageListing.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace talvore {

// How one document of the run ended, for front ends that report per
// document (talvore-extract).
enum class DocumentStatus {
    Extracted,  // pages interpreted (and the conversion pass run)
    Refused,    // not valid, copying not allowed, or a path too long
    RangeError, // the page-range message; the run ends with it
    Failed      // the extraction broke off (out of memory and the like)
};

// Why a document was refused, for front ends that word it their own way.
enum class RefusalReason {
    None,
    NotRegularFile, // a folder, a FIFO, a device
    NeedsPassword,  // a user password is needed, or the one given is wrong
    Damaged,        // cannot be opened or parsed
    CopyForbidden,
    PathTooLong,
    NameTooLong, // an output name beyond the file system's limit
};

struct DocumentReport {
    int Index = 0; // 1-based position in the run list
    std::string Path;
    DocumentStatus Status = DocumentStatus::Extracted;
    std::string Message; // the text shown, when refused or failed
    RefusalReason Refusal = RefusalReason::None;
    bool Stopped = false;     // a stop ended its pages early
    std::string OutputFolder; // where its files went
    int Pages = 0;            // pages in range
    int PagesRefused = 0;     // too deeply nested to interpret
    int ImagesWritten = 0;    // files the device wrote
    int ImagesFailed = 0;     // images the device could not write
    int ConversionFailures = 0;
    // Every image without its final file, in the order met, from the device
    // and from the converter alike: "<file>: <reason>".
    std::vector<std::string> Failures;
    // A listing run's rows, in the run's order.
    std::vector<ListedImage> Listing;
    // What the document says of itself, once it is open.
    int PageCount = 0;
    std::string PdfVersion; // "1.7"
    bool Encrypted = false;
    bool CanPrint = true;
    bool CanCopy = true;
    bool CanChange = true;
    bool CanAddNotes = true;
};

class RunObserver {
public:
    virtual ~RunObserver() = default;

    // Captions drawn over the two progress bars (Current: the page of the
    // document; Total: the document of the run).
    virtual void SetCurrentCaption(const std::string& caption) = 0;
    virtual void SetTotalCaption(const std::string& caption) = 0;
    // Bar positions on a 0..100 scale.
    virtual void SetCurrentPosition(int position) = 0;
    virtual void SetTotalPosition(int position) = 0;
    // A modal message box with an OK button; returns once it is dismissed.
    virtual void ShowMessage(const std::string& text) = 0;
    // The output folder, opened in the desktop file browser at the end.
    virtual void OpenFolder(const std::string& folder) = 0;

    // Optional: called before a document is opened and after its last step.
    // The GUI shows these through the captions and need not override them.
    virtual void DocumentStarted(int /*index*/, int /*count*/, const std::string& /*path*/) {}
    virtual void DocumentFinished(const DocumentReport& /*report*/) {}
    // Every file a document left in its output folder, in the order of the
    // images' numbers, with the page the image was drawn on; called after the
    // document's last page, before DocumentFinished.
    virtual void FileWritten(const std::string& /*path*/, int /*page*/) {}

    // A line the PDF core wrote on its error channel while the run's thread
    // worked on the document ("Syntax Error (123): ..."). By default it goes
    // to the standard error stream after the document's path.
    virtual void CoreDiagnostic(const std::string& document, const std::string& line);

    // A document that needs a user password was given none: a front end that
    // can ask (a terminal) answers one to try once. None by default, and the
    // document is refused as before.
    virtual std::optional<std::string> AskUserPassword(const std::string& /*document*/) {
        return std::nullopt;
    }
};

// Manual-reset stop event: once set it stays set; each run makes a new one.
class StopEvent {
public:
    void Set() { m_set.store(true, std::memory_order_release); }
    bool IsSet() const { return m_set.load(std::memory_order_acquire); }

private:
    std::atomic<bool> m_set{false};
};

} // namespace talvore
