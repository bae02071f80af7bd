#include "convert/ExtractionJob.h"

#include "support/PdfWriter.h"
#include "support/RecordingObserver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

namespace talvore {
namespace {

using namespace talvore::testing;

void WriteRgbPdf(const std::string& path, int width = 3) {
    PdfWriter writer;
    const int image = writer.AddImage(width, 2, "/DeviceRGB", 8, "/FlateDecode",
                                      Deflate(GradientSamples(width, 2, 3)));
    writer.AddPage(DrawXObject("I"), XObjectResources({{"I", image}}));
    ASSERT_TRUE(writer.WriteFile(path));
}

ConversionSettings Format(int32_t mode) {
    ConversionSettings settings;
    settings.ImagesFormat = mode;
    settings.OpenResult = 1;
    return settings;
}

// Throws from the first caption that names `caption`, once.
class ThrowingObserver : public RecordingObserver {
public:
    explicit ThrowingObserver(std::string caption) : m_caption(std::move(caption)) {}
    void SetTotalCaption(const std::string& caption) override {
        if (!m_thrown && caption == m_caption) {
            m_thrown = true;
            throw std::runtime_error("no memory left");
        }
        RecordingObserver::SetTotalCaption(caption);
    }
    void DocumentStarted(int index, int count, const std::string& path) override {
        if (m_caption == "start")
            throw std::runtime_error("cannot start");
        RecordingObserver::DocumentStarted(index, count, path);
    }

private:
    std::string m_caption;
    bool m_thrown = false;
};

TEST(ExtractionJob, EveryFailedImageIsReportedWithItsReason) {
    TemporaryFolder folder;
    // The device cannot create its files: the common output folder is a file.
    WriteRgbPdf(folder / "doc.pdf");
    ASSERT_TRUE(WriteWholeFile(folder / "blocked", "x"));
    ConversionSettings blockedSettings = Format(OutputTga);
    blockedSettings.OutputDirectory = folder / "blocked";
    ExtractionJob blocked(blockedSettings);
    blocked.AddFile(folder / "doc.pdf");
    RecordingObserver blockedObserver;
    blocked.Run(blockedObserver, std::make_shared<StopEvent>());
    ASSERT_EQ(blockedObserver.reports.size(), 1u);
    EXPECT_EQ(blockedObserver.reports[0].Failures,
              std::vector<std::string>{folder / "blocked/doc-000.ppm" +
                                       ": cannot create the file: Not a directory"});
    // The core's own line reaches the observer, not the terminal.
    EXPECT_EQ(blockedObserver.coreLines,
              std::vector<std::string>{"I/O Error: Couldn't open image file '" +
                                       folder / "blocked/doc-000.ppm'"});
    EXPECT_EQ(blocked.ExitStatus(), EXIT_FAILED);

    // The converter cannot write a TGA wider than its 16-bit header field.
    PdfWriter wide;
    const int mask = wide.AddImageMask(70000, 1, "", std::string(8750, '\x55'));
    wide.AddPage(DrawXObject("M"), XObjectResources({{"M", mask}}));
    ASSERT_TRUE(wide.WriteFile(folder / "wide.pdf"));
    ExtractionJob job(Format(OutputTga));
    job.AddFile(folder / "wide.pdf");
    RecordingObserver observer;
    job.Run(observer, std::make_shared<StopEvent>());
    ASSERT_EQ(observer.reports.size(), 1u);
    ASSERT_EQ(observer.reports[0].Failures.size(), 1u);
    EXPECT_EQ(observer.reports[0].Failures[0].rfind(folder / "wide/-000.pbm: ", 0), 0u)
        << observer.reports[0].Failures[0];
    EXPECT_EQ(observer.reports[0].ConversionFailures, 1);
    // The intermediate file keeps the image.
    EXPECT_TRUE(std::filesystem::exists(folder / "wide/-000.pbm"));
    EXPECT_EQ(job.ExitStatus(), EXIT_FAILED);
}

TEST(ExtractionJob, ABrokenDocumentIsReportedAndTheRunGoesOn) {
    TemporaryFolder folder;
    WriteRgbPdf(folder / "a.pdf");
    WriteRgbPdf(folder / "b.pdf");
    ExtractionJob job(Format(OutputRaw));
    job.AddFile(folder / "a.pdf");
    job.AddFile(folder / "b.pdf");
    ThrowingObserver observer("File 1 of 2, 50%");
    const RunSummary& summary = job.Run(observer, std::make_shared<StopEvent>());
    EXPECT_EQ(summary.Failed, 1);
    EXPECT_EQ(summary.Documents, 1);
    ASSERT_EQ(observer.reports.size(), 2u);
    EXPECT_EQ(observer.reports[0].Status, DocumentStatus::Failed);
    EXPECT_EQ(observer.messages, std::vector<std::string>{
                                     "The extraction of this document broke off: no memory left"});
    EXPECT_EQ(ListFolder(folder / "b"), std::vector<std::string>{"-000.ppm"});
    EXPECT_EQ(job.ExitStatus(), EXIT_FAILED);
}

TEST(ExtractionJob, AnExceptionOutsideADocumentEndsTheRunWithAMessage) {
    TemporaryFolder folder;
    WriteRgbPdf(folder / "a.pdf");
    ExtractionJob job(Format(OutputRaw));
    job.AddFile(folder / "a.pdf");
    ThrowingObserver observer("start");
    job.Run(observer, std::make_shared<StopEvent>());
    EXPECT_EQ(job.Failure(), "cannot start");
    EXPECT_EQ(observer.messages,
              std::vector<std::string>{"The conversion broke off: cannot start"});
    EXPECT_EQ(job.ExitStatus(), EXIT_FAILED);
}

TEST(ExtractionJob, InputsAndExitStatus) {
    TemporaryFolder folder;
    std::filesystem::create_directories(folder / "tree/sub");
    WriteRgbPdf(folder / "tree/sub/x.pdf");
    WriteRgbPdf(folder / "y.pdf");
    ExtractionJob job(Format(OutputPng));
    job.AddFile(folder / "y.pdf", "owner", "user");
    job.AddFile(folder / "y.pdf");
    job.AddFolder(folder / "tree", "o2", "");
    ASSERT_EQ(job.Entries().size(), 2u);
    EXPECT_EQ(job.Entries()[0].OwnerPassword, "owner");
    EXPECT_EQ(job.Entries()[1].Path, folder / "tree/sub/x.pdf");
    EXPECT_EQ(job.Entries()[1].OwnerPassword, "o2");
    RecordingObserver observer;
    job.Run(observer, std::make_shared<StopEvent>());
    EXPECT_EQ(job.ExitStatus(), EXIT_EXTRACTED);
    EXPECT_EQ(ListFolder(folder / "y"), std::vector<std::string>{"-000.png"});

    // A stop before the first document: nothing extracted, interrupted.
    auto stop = std::make_shared<StopEvent>();
    stop->Set();
    job.Run(observer, stop);
    EXPECT_TRUE(job.Summary().Stopped);
    EXPECT_EQ(job.ExitStatus(), EXIT_INTERRUPTED);
}

} // namespace
} // namespace talvore
