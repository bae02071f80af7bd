#include "convert/ConversionRun.h"

#include "convert/ExtractedImageConverter.h"
#include "convert/ImageDumpOutputDev.h"
#include "convert/PageImageScan.h"
#include "convert/PathParts.h"

#include <PDFDoc.h>
#include <goo/GooString.h>

#include <climits>
#include <cstdio>
#include <memory>
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
    RunSummary summary;
    const int count = static_cast<int>(m_entries.size());
    if (count == 0)
        return summary;
    EnsurePdfCore();

    const ConversionSettings& settings = m_settings;

    for (int i = 1; i <= count; ++i) {
        if (m_stop->IsSet()) {
            summary.Stopped = true;
            return summary;
        }
        const RunEntry& entry = m_entries[static_cast<size_t>(i - 1)];
        m_observer.DocumentStarted(i, count, entry.Path);
        DocumentReport report;
        report.Index = i;
        report.Path = entry.Path;

        auto refuse = [&](const std::string& message) {
            m_observer.ShowMessage(message);
            report.Status = DocumentStatus::Refused;
            report.Message = message;
            ++summary.Refused;
        };

        if (!PathFitsLimit(entry.Path)) {
            refuse(Format("The path of '%s' is longer than %d bytes; the file was skipped.",
                          entry.Path.c_str(), PATH_MAX - 1));
        } else {
            // Both passwords always go to the core: with AES-256 a missing
            // user password makes an owner-restricted file fail to open.
            auto document =
                std::make_unique<PDFDoc>(std::make_unique<GooString>(entry.Path),
                                         std::optional<GooString>(GooString(entry.OwnerPassword)),
                                         std::optional<GooString>(GooString(entry.UserPassword)));
            if (!document->isOk()) {
                refuse(kNotValid);
            } else if (!document->okToCopy(false)) {
                refuse(kNoCopy);
            } else {
                const int pageCount = document->getNumPages();
                int first = 1;
                int last = pageCount;
                if (settings.PageRange == 1) {
                    first = settings.StartPage < 1 ? 1 : settings.StartPage;
                    last = settings.EndPage <= pageCount ? settings.EndPage : pageCount;
                }
                if (first > last) {
                    const std::string message =
                        Format("The '%s' file only contain %d pages, please correct the page range "
                               "in the setting dialog "
                               "and try again.",
                               entry.Path.c_str(), pageCount);
                    m_observer.ShowMessage(message);
                    report.Status = DocumentStatus::RangeError;
                    report.Message = message;
                    summary.RangeError = true;
                    m_observer.DocumentFinished(report);
                    return summary;
                }

                const PathParts parts(entry.Path);
                const bool commonFolder = PathExists(settings.OutputDirectory);
                std::string folder;
                std::string fileRoot;
                if (commonFolder) {
                    folder = settings.OutputDirectory;
                    if (folder.back() != '/')
                        folder += '/';
                    // The document's title keeps documents apart in one folder.
                    fileRoot = folder + parts.Title();
                } else {
                    folder = parts.Location() + parts.Title() + '/';
                    fileRoot = folder;
                }
                report.OutputFolder = folder;
                if (!PathFitsLimit(fileRoot + std::string(kDeviceNameRoom, 'x'))) {
                    refuse(Format(
                        "The output path for '%s' is longer than %d bytes; the file was skipped.",
                        entry.Path.c_str(), PATH_MAX - 1));
                } else {
                    // A failure shows up as one error line per image.
                    if (!PathExists(folder))
                        ::mkdir(folder.c_str(), 0777);

                    ImageDumpOutputDev device(fileRoot, settings.ImagesFormat != OutputRaw);
                    if (device.isOk()) {
                        m_observer.SetTotalCaption(
                            Format("File %d of %d, %d%%", i, count, (100 * i) / count));
                        m_observer.SetTotalPosition((100 * i) / count);
                        const int pages = last - first + 1;
                        report.Pages = pages;
                        for (int page = first; page <= last; ++page) {
                            if (m_interpretEveryPage || PageMayDrawImage(*document, page)) {
                                document->displayPage(&device, page, 72, 72, 0, true, false, false);
                                ++summary.PagesInterpreted;
                            } else {
                                ++summary.PagesSkipped;
                            }
                            const int inRange = page - first + 1;
                            const int position = (inRange * 100) / pages;
                            m_observer.SetCurrentPosition(position);
                            m_observer.SetCurrentCaption(
                                Format("Page %d of %d, %d%%", inRange, pages, position));
                        }
                    }
                    report.ImagesWritten = static_cast<int>(device.WrittenFiles().size());
                    report.ImagesFailed = device.FailedImages();
                    summary.ImagesWritten += report.ImagesWritten;
                    summary.ImagesFailed += report.ImagesFailed;
                    ++summary.Documents;

                    if (settings.ImagesFormat != OutputRaw) {
                        m_observer.SetTotalCaption("Images Coverting");
                        // Only what this document's device wrote: files that
                        // were in the folder before are not ours to convert.
                        for (const DumpedFile& file : device.WrittenFiles()) {
                            if (file.Kind == DumpKind::Jpeg)
                                continue;
                            const ConversionOutcome outcome =
                                ConvertExtractedImage(file.Path, settings.ImagesFormat,
                                                      settings.JpegQuality, settings.JpegGrayScale);
                            if (!outcome.Converted) {
                                ++report.ConversionFailures;
                                report.ConversionErrors.push_back(file.Path + ": " + outcome.Error);
                            }
                        }
                        summary.ConversionFailures += report.ConversionFailures;
                    }
                }
            }
        }

        m_observer.SetCurrentCaption("Convert Finished");
        if (i == count) {
            m_observer.SetTotalCaption("Convert Finished");
            if (settings.OpenResult != 1) {
                std::string opened = settings.OutputDirectory;
                if (!PathExists(opened))
                    opened = PathParts(m_entries.front().Path).Location();
                if (opened.empty())
                    opened = "."; // a run list of relative names
                m_observer.OpenFolder(opened);
            }
        }
        m_observer.DocumentFinished(report);
    }
    return summary;
}

} // namespace talvore
