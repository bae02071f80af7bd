#include "convert/ConversionRun.h"

#include "convert/ConversionPool.h"
#include "convert/ExtractedImageConverter.h"
#include "convert/ImageDumpOutputDev.h"
#include "convert/OutputFormats.h"
#include "convert/PageImageScan.h"
#include "convert/PathParts.h"
#include "convert/PdfFileStream.h"

#include <Error.h>
#include <ErrorCodes.h>
#include <OptionalContent.h>
#include <PDFDoc.h>
#include <Stream.h>
#include <goo/GooString.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <exception>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <utility>

namespace talvore {
namespace {

constexpr const char* kNotValid = "Not a valid pdf file!";
constexpr const char* kNoCopy = "Copying of images from this document is not allowed.";

template <typename... Args> std::string Format(const char* format, Args... args) {
    const int size = std::snprintf(nullptr, 0, format, args...);
    std::string text(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    std::snprintf(text.data(), text.size() + 1, format, args...);
    return text;
}

bool PathExists(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

// The device appends at most "-2147483647.ppm" to its file root.
constexpr size_t kDeviceNameRoom = 16;

// A title that would name the folder itself or its parent ("", ".", "..",
// from ".pdf", "..pdf", "...pdf") gets a stem of its own.
std::string SafeTitle(const std::string& title) {
    if (title.find_first_not_of('.') == std::string::npos)
        return "_" + title;
    return title;
}

} // namespace

bool PathFitsLimit(const std::string& path) {
    return path.size() < PATH_MAX;
}

ConversionRun::ConversionRun(std::vector<RunEntry> entries, ConversionSettings settings,
                             RunObserver& observer, std::shared_ptr<StopEvent> stop)
    : m_entries(std::move(entries)), m_settings(std::move(settings)), m_observer(observer),
      m_stop(std::move(stop)) {
    if (!m_stop)
        m_stop = std::make_shared<StopEvent>();
}

RunSummary ConversionRun::Run() {
    m_summary = RunSummary();
    if (m_entries.empty())
        return m_summary;
    // The core's lines of this thread go to the front end.
    const CoreDiagnosticScope diagnostics([this](const std::string& line) {
        // An image the core refuses never reaches the device: it counts as
        // failed, with the core's words.
        if (m_pageInWork > 0 && line.find("Bad image parameters") != std::string::npos)
            m_pageFailures.push_back(
                Format("page %d: the PDF core refused an image: %s", m_pageInWork, line.c_str()));
        m_observer.CoreDiagnostic(m_document, line);
    });

    const int count = static_cast<int>(m_entries.size());
    for (int i = 1; i <= count; ++i) {
        if (m_stop->IsSet()) {
            m_summary.Stopped = true;
            return m_summary;
        }
        const RunEntry& entry = m_entries[static_cast<size_t>(i - 1)];
        m_document = entry.Path;
        m_observer.DocumentStarted(i, count, entry.Path);
        DocumentReport report;
        report.Index = i;
        report.Path = entry.Path;
        bool goOn = true;
        try {
            goOn = RunDocument(i, report);
        } catch (const std::exception& broken) {
            // Everything of the document is released on the way out; what it
            // wrote so far stays, and the run goes on with the next one.
            const std::string message =
                std::string("The extraction of this document broke off: ") + broken.what();
            m_observer.ShowMessage(message);
            report.Status = DocumentStatus::Failed;
            report.Message = message;
            ++m_summary.Failed;
        }
        if (!goOn) {
            m_observer.DocumentFinished(report);
            return m_summary;
        }
        FinishDocument(i, report);
    }
    return m_summary;
}

bool ConversionRun::RunDocument(int index, DocumentReport& report) {
    const RunEntry& entry = m_entries[static_cast<size_t>(index - 1)];
    if (!PathFitsLimit(entry.Path)) {
        Refuse(Format("The path of '%s' is longer than %d bytes; the file was skipped.",
                      entry.Path.c_str(), PATH_MAX - 1),
               RefusalReason::PathTooLong, report);
        return true;
    }
    // A FIFO or a device would hang the core's reading, a folder would not
    // open anyway.
    struct stat info {};
    if (!entry.Data && ::stat(entry.Path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        Refuse(kNotValid, RefusalReason::NotRegularFile, report);
        return true;
    }
    std::shared_ptr<const std::string> bytes; // declared first: outlives the document
    const std::unique_ptr<PDFDoc> document = OpenDocument(entry, bytes, report);
    if (!document)
        return true;
    report.PageCount = document->getNumPages();
    report.PdfVersion = std::to_string(document->getPDFMajorVersion()) + "." +
                        std::to_string(document->getPDFMinorVersion());
    report.Encrypted = document->isEncrypted();
    report.CanPrint = document->okToPrint();
    report.CanCopy = document->okToCopy();
    report.CanChange = document->okToChange();
    report.CanAddNotes = document->okToAddNotes();

    const std::vector<int> pages = FormPageRange(*document);
    if (pages.empty()) {
        const std::string message = Format(
            "The '%s' file only contain %d pages, please correct the page range in the setting "
            "dialog and try again.",
            entry.Path.c_str(), document->getNumPages());
        m_observer.ShowMessage(message);
        report.Status = DocumentStatus::RangeError;
        report.Message = message;
        m_summary.RangeError = true;
        return false;
    }

    Output output;
    if (!PlaceOutput(entry, output, report))
        return true;

    // In the converting modes the images go to the pool in memory and are
    // converted while the device goes on with the next pages.
    const bool converting = m_settings.ImagesFormat != OutputRaw;
    if (m_listOnly) {
        ListImages(*document, pages, output, converting, index, report);
        return true;
    }
    std::unique_ptr<ConversionPool> pool;
    if (converting)
        pool = std::make_unique<ConversionPool>(m_settings, m_threads);
    ImageDumpOutputDev device(output.FileRoot, converting, IMAGE_FILE_MAX_BYTES, pool.get());
    SetUpDevice(device, output, report);
    if (device.isOk())
        DumpPages(*document, pages, device, index, report);
    report.ImagesWritten = device.WrittenImages() + device.HandedImages();
    const int refusedByCore = static_cast<int>(m_pageFailures.size()) - report.PagesRefused;
    report.ImagesFailed = device.FailedImages() + refusedByCore;
    m_summary.PagesRefused += report.PagesRefused;
    m_summary.ImagesWritten += report.ImagesWritten;
    m_summary.ImagesFailed += report.ImagesFailed;
    ++m_summary.Documents;

    std::vector<std::pair<int, std::string>> failures;
    std::vector<WrittenFile> written;
    for (const DumpedFile& file : device.WrittenFiles()) {
        if (!converting || IsCopiedKind(file.Kind))
            written.push_back({file.Number, file.Path, file.Page});
    }
    for (const ImageFailure& failure : device.Failures())
        failures.emplace_back(failure.Number, failure.Path + ": " + failure.Reason);
    if (converting)
        ConvertDumped(device, *pool, report, failures, written);
    // In the order the images were met, whichever step failed them.
    std::stable_sort(failures.begin(), failures.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& failure : failures)
        report.Failures.push_back(std::move(failure.second));
    for (std::string& failure : m_pageFailures)
        report.Failures.push_back(report.Path + " " + failure);
    m_pageFailures.clear();
    std::stable_sort(
        written.begin(), written.end(),
        [](const WrittenFile& a, const WrittenFile& b) { return a.Number < b.Number; });
    for (const WrittenFile& file : written)
        m_observer.FileWritten(file.Path, file.Page);
    return true;
}

void ConversionRun::SetUpDevice(ImageDumpOutputDev& device, const Output& output,
                                const DocumentReport& report) const {
    device.SetLimits(m_limits);
    device.SetUnique(m_unique);
    device.SetKeepEncoded(m_settings.KeepEncoded);
    device.SetKeepAlpha(m_settings.KeepAlpha);
    if (m_pattern)
        device.SetNamePattern(&*m_pattern, output.Title, report.PageCount);
    device.SetStopCheck([stop = m_stop] { return stop->IsSet(); });
}

void ConversionRun::ListImages(PDFDoc& document, const std::vector<int>& pages,
                               const Output& output, bool converting, int index,
                               DocumentReport& report) {
    ImageDumpOutputDev device(output.FileRoot, converting);
    SetUpDevice(device, output, report);
    device.ListInto(&report.Listing);
    DumpPages(document, pages, device, index, report);
    // What the converter makes of a dump: the chosen format's extension.
    const OutputFormat* format = FindOutputFormat(m_settings.ImagesFormat);
    if (converting && format && format->Extension) {
        const ListedImage* image = nullptr; // the row a mask row belongs to
        for (ListedImage& row : report.Listing) {
            if (row.Outcome == ListedOutcome::Pbm || row.Outcome == ListedOutcome::Ppm) {
                row.Path = ConvertedPath(row.Path, *format);
            } else if (row.Outcome == ListedOutcome::Alpha && image != nullptr) {
                // Into the image where the format holds alpha and the image
                // is converted, else beside it in the format.
                const bool decoded =
                    image->Outcome == ListedOutcome::Pbm || image->Outcome == ListedOutcome::Ppm;
                row.Path = decoded && format->WriteAlpha
                               ? image->Path
                               : AlphaPath(image->Path, format->Extension);
            }
            if (row.MaskOf < 0)
                image = &row;
        }
    }
    for (std::string& failure : m_pageFailures)
        report.Failures.push_back(report.Path + " " + failure);
    m_pageFailures.clear();
    for (const ImageFailure& failure : device.Failures())
        report.Failures.push_back(failure.Path + ": " + failure.Reason);
    ++m_summary.Documents;
}

std::unique_ptr<PDFDoc> ConversionRun::OpenDocument(const RunEntry& entry,
                                                    std::shared_ptr<const std::string>& bytes,
                                                    DocumentReport& report) {
    // Both passwords always go to the core: with AES-256 a missing user
    // password makes an owner-restricted file fail to open.
    const auto open = [&](const std::string& userPassword) {
        const std::optional<GooString> owner{GooString(entry.OwnerPassword)};
        const std::optional<GooString> user{GooString(userPassword)};
        if (entry.Data) {
            bytes = entry.Data;
            // The stream does not own the bytes.
            auto* stream = new MemStream(bytes->data(), 0, static_cast<Goffset>(bytes->size()),
                                         Object(objNull));
            return std::make_unique<PDFDoc>(stream, owner, user, nullptr, m_repairs.Callback());
        }
        if (PdfFileStream* stream = PdfFileStream::Open(entry.Path))
            return std::make_unique<PDFDoc>(stream, owner, user, nullptr, m_repairs.Callback());
        // The core tells why the file does not open.
        return std::make_unique<PDFDoc>(std::make_unique<GooString>(entry.Path), owner, user,
                                        nullptr, m_repairs.Callback());
    };
    std::unique_ptr<PDFDoc> document = open(entry.UserPassword);
    if (!document->isOk() && document->getErrorCode() == errEncrypted &&
        entry.UserPassword.empty() && entry.OwnerPassword.empty()) {
        if (const std::optional<std::string> asked = m_observer.AskUserPassword(entry.Path))
            document = open(*asked);
    }
    if (!document->isOk()) {
        Refuse(kNotValid,
               document->getErrorCode() == errEncrypted ? RefusalReason::NeedsPassword
                                                        : RefusalReason::Damaged,
               report);
        return nullptr;
    }
    if (!document->okToCopy(false)) {
        Refuse(kNoCopy, RefusalReason::CopyForbidden, report);
        return nullptr;
    }
    // Every image is wanted, also those of layers that are off: the groups
    // are switched on in the opened document, the file stays as it is.
    if (OCGs* layers = document->getCatalog()->getOptContentConfig()) {
        for (const auto& [ref, group] : layers->getOCGs())
            group->setState(OptionalContentGroup::On);
    }
    return document;
}

std::vector<int> ConversionRun::FormPageRange(PDFDoc& document) const {
    const int pageCount = document.getNumPages();
    if (m_selection)
        return m_selection->PagesOf(pageCount);
    int first = 1;
    int last = pageCount;
    if (m_settings.PageRange == 1) {
        first = m_settings.StartPage < 1 ? 1 : m_settings.StartPage;
        last = m_settings.EndPage <= pageCount ? m_settings.EndPage : pageCount;
    }
    std::vector<int> pages;
    for (int page = first; page <= last; ++page)
        pages.push_back(page);
    return pages;
}

bool ConversionRun::PlaceOutput(const RunEntry& entry, Output& output, DocumentReport& report) {
    const PathParts parts(entry.Path, PathParts::Quotes::Keep);
    const std::string title = SafeTitle(entry.Title.empty() ? parts.Title() : entry.Title);
    // A document from memory has no folder of its own: the current one.
    const std::string location = entry.Data ? std::string() : parts.Location();
    std::string name; // the last component the document's names add
    // A listing creates nothing: the folder its caller would create counts.
    if (PathExists(m_settings.OutputDirectory) ||
        (m_listOnly && !m_settings.OutputDirectory.empty())) {
        output.Folder = m_settings.OutputDirectory;
        if (output.Folder.back() != '/')
            output.Folder += '/';
        // The document's title keeps documents apart in one folder; a title
        // an earlier document of the run had gets a number.
        std::string stem = title;
        for (int n = 2; m_usedRoots.count(output.Folder + stem) != 0; ++n)
            stem = title + "_" + std::to_string(n);
        m_usedRoots.insert(output.Folder + stem);
        output.Title = stem;
        output.FileRoot = m_pattern ? output.Folder : output.Folder + stem;
        name = stem + std::string(kDeviceNameRoom, 'x');
    } else {
        // The document's own folder, unless its name is taken by something
        // that is not a folder (a PDF without extension beside it) or by an
        // earlier document of the run.
        std::string folder = location + title;
        const auto taken = [&](const std::string& candidate) {
            struct stat info {};
            return m_usedRoots.count(candidate + '/') != 0 ||
                   (::stat(candidate.c_str(), &info) == 0 && !S_ISDIR(info.st_mode));
        };
        if (taken(folder)) {
            const std::string base = location + title + "_images";
            folder = base;
            for (int n = 2; taken(folder); ++n)
                folder = base + "_" + std::to_string(n);
        }
        output.Folder = folder + '/';
        output.FileRoot = output.Folder;
        output.Title = title;
        name = folder.substr(location.size());
    }
    if (m_pattern)
        name = std::string(
            m_pattern->LongestName(output.Title.size(), report.PageCount) + kDeviceNameRoom, 'x');
    report.OutputFolder = output.Folder;
    if (!PathFitsLimit(output.FileRoot + std::string(kDeviceNameRoom, 'x'))) {
        Refuse(Format("The output path for '%s' is longer than %d bytes; the file was skipped.",
                      entry.Path.c_str(), PATH_MAX - 1),
               RefusalReason::PathTooLong, report);
        return false;
    }
    if (name.size() > NAME_MAX) {
        Refuse(Format("The output names for '%s' are longer than %d bytes; the file was skipped.",
                      entry.Path.c_str(), NAME_MAX),
               RefusalReason::NameTooLong, report);
        return false;
    }
    m_usedRoots.insert(output.FileRoot);
    // A failure shows up as one failed image per image.
    if (!m_listOnly && !PathExists(output.Folder))
        ::mkdir(output.Folder.c_str(), 0777);
    return true;
}

// Polled by the interpreter inside a page: a stop, or a limit that cut the
// document, ends the page early.
bool ConversionRun::AbortPage(void* data) {
    const auto* run = static_cast<const ConversionRun*>(data);
    return run->m_stop->IsSet() || (run->m_device && run->m_device->LimitReached());
}

void ConversionRun::DumpPages(PDFDoc& document, const std::vector<int>& pages,
                              ImageDumpOutputDev& device, int index, DocumentReport& report) {
    const int documents = static_cast<int>(m_entries.size());
    m_observer.SetTotalCaption(
        Format("File %d of %d, %d%%", index, documents, (100 * index) / documents));
    m_observer.SetTotalPosition((100 * index) / documents);
    const int count = static_cast<int>(pages.size());
    report.Pages = count;
    m_device = &device;
    PageScanCache scanCache; // the document's resources, shared by its pages
    for (int inRange = 1; inRange <= count; ++inRange) {
        // A stop takes effect between pages too; what was dumped so far is
        // still converted.
        if (m_stop->IsSet()) {
            report.Stopped = true;
            break;
        }
        if (device.LimitReached())
            break;
        const int page = pages[static_cast<size_t>(inRange - 1)];
        device.SetPage(page);
        const PageScan scan = ScanPage(document, page, m_repairs, scanCache);
        if (scan.SaveDepth > PAGE_MAX_SAVE_DEPTH) {
            ++report.PagesRefused;
            m_pageFailures.push_back(Format(
                "page %d: its graphics states nest deeper than %d; the page was not interpreted",
                page, PAGE_MAX_SAVE_DEPTH));
        } else if (m_interpretEveryPage || scan.MayDrawImage) {
            m_pageInWork = page;
            document.displayPage(&device, page, 72, 72, 0, true, false, false, AbortPage, this);
            m_pageInWork = 0;
            ++m_summary.PagesInterpreted;
        } else {
            ++m_summary.PagesSkipped;
        }
        if (m_stop->IsSet()) {
            report.Stopped = true;
            break;
        }
        const int position = (inRange * 100) / count;
        m_observer.SetCurrentPosition(position);
        m_observer.SetCurrentCaption(Format("Page %d of %d, %d%%", inRange, count, position));
    }
    m_device = nullptr;
}

void ConversionRun::ConvertDumped(const ImageDumpOutputDev& device, ConversionPool& pool,
                                  DocumentReport& report,
                                  std::vector<std::pair<int, std::string>>& failures,
                                  std::vector<WrittenFile>& written) {
    // "Convert stopped." stays the caption of a stopped run; what was dumped
    // is converted all the same.
    if (!m_stop->IsSet())
        m_observer.SetTotalCaption("Images Coverting");
    for (const PooledOutcome& done : pool.Drain()) {
        const ConversionOutcome& outcome = done.Outcome;
        // The alpha beside the image follows it in the report.
        const auto alphaToo = [&] {
            if (!outcome.AlphaPath.empty())
                written.push_back({done.Number, outcome.AlphaPath, done.Page});
            if (!outcome.AlphaError.empty()) {
                ++report.ConversionFailures;
                failures.emplace_back(done.Number, outcome.AlphaError);
            }
        };
        if (outcome.Converted) {
            written.push_back({done.Number, outcome.OutputPath, done.Page});
            alphaToo();
            continue;
        }
        if (outcome.IntermediateWritten)
            written.push_back({done.Number, done.IntermediatePath, done.Page});
        alphaToo();
        ++report.ConversionFailures;
        std::string text = done.IntermediatePath + ": " + outcome.Error;
        if (!outcome.IntermediateWritten) {
            // The file the device would have written could not be made
            // either: said as the device says it.
            error(errIO, -1, "Couldn't open image file '{0:s}'", done.IntermediatePath.c_str());
            if (outcome.IntermediateError != outcome.Error)
                text += "; the image could not be kept: " + outcome.IntermediateError;
        }
        failures.emplace_back(done.Number, std::move(text));
    }
    // Images too large to hold in memory were written as files: they take
    // the file's way, and keep their file when that fails too.
    for (const DumpedFile& file : device.WrittenFiles()) {
        if (IsCopiedKind(file.Kind))
            continue;
        const ConversionOutcome outcome = ConvertExtractedImage(
            file.Path, m_settings.ImagesFormat, m_settings.JpegQuality, m_settings.JpegGrayScale);
        if (!outcome.Converted) {
            ++report.ConversionFailures;
            failures.emplace_back(file.Number, file.Path + ": " + outcome.Error);
        }
        written.push_back(
            {file.Number, outcome.Converted ? outcome.OutputPath : file.Path, file.Page});
    }
    m_summary.ConversionFailures += report.ConversionFailures;
}

void ConversionRun::FinishDocument(int index, DocumentReport& report) {
    // "Convert stopped." stays the caption of a stopped run.
    if (m_stop->IsSet()) {
        m_summary.Stopped = true;
        m_observer.DocumentFinished(report);
        return;
    }
    m_observer.SetCurrentCaption("Convert Finished");
    if (index == static_cast<int>(m_entries.size())) {
        m_observer.SetTotalCaption("Convert Finished");
        if (m_settings.OpenResult != 1 && !m_listOnly) {
            std::string opened = m_settings.OutputDirectory;
            if (!PathExists(opened))
                opened = PathParts(m_entries.front().Path).Location();
            if (opened.empty())
                opened = "."; // a run list of relative names
            m_observer.OpenFolder(opened);
        }
    }
    m_observer.DocumentFinished(report);
}

void ConversionRun::Refuse(const std::string& message, RefusalReason reason,
                           DocumentReport& report) {
    m_observer.ShowMessage(message);
    report.Status = DocumentStatus::Refused;
    report.Message = message;
    report.Refusal = reason;
    ++m_summary.Refused;
}

} // namespace talvore
