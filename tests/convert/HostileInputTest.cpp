// Crafted PDFs of a few kilobytes that once cost gigabytes, hours or the
// file system. Each runs in a child process so that its peak memory and its
// time can be bounded and measured, and a hang is a failure, not a stuck
// suite.
#include "convert/ExtractionJob.h"

#include "support/HostilePdfs.h"
#include "support/PdfWriter.h"
#include "support/RecordingObserver.h"
#include "support/RunSettings.h"

#include <gtest/gtest.h>
#include <png.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace talvore {
namespace {

using namespace talvore::testing;

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer's shadow and quarantine take their share.
constexpr long kRssBoundMb = 1024;
constexpr int kTimeBoundSeconds = 120;
#else
constexpr long kRssBoundMb = 400;
constexpr int kTimeBoundSeconds = 30;
#endif

struct Outcome {
    bool Finished = false; // the child reported within the time bound
    int ExitStatus = -1;
    int Written = 0;
    int Failed = 0;
    int PagesRefused = 0;
    int Refused = 0;
    bool Stopped = false;
    std::string Texts; // every failure and message, one per line
    long PeakRssMb = 0;
    double Seconds = 0;
    size_t Files = 0; // left in the output folder
    uintmax_t LargestFile = 0;
    std::vector<std::string> Paths;
};

// Whether libpng reads the whole file.
bool PngIsWhole(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_RGBA;
    std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
    const bool read = png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) != 0;
    png_image_free(&image);
    return read;
}

struct Job {
    std::string Pdf;
    int Mode = OutputRaw;
    DeviceLimits Limits;
    int StopAfterMs = -1; // the stop event is set after this long
};

void WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}

// The child: one run, its summary written to the pipe as lines.
[[noreturn]] void RunChild(const Job& job, const std::string& out, int fd) {
    const ConversionSettings settings = SettingsFor(job.Mode, out);
    ExtractionJob extraction(settings);
    extraction.AddFile(job.Pdf);
    extraction.SetLimits(job.Limits);
    extraction.SetThreads(1);
    RecordingObserver observer;
    auto stop = std::make_shared<StopEvent>();
    std::thread stopper;
    if (job.StopAfterMs >= 0) {
        stopper = std::thread([stop, ms = job.StopAfterMs] {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            stop->Set();
        });
    }
    const RunSummary& summary = extraction.Run(observer, stop);
    if (stopper.joinable())
        stopper.join();
    std::string text =
        std::to_string(extraction.ExitStatus()) + " " + std::to_string(summary.ImagesWritten) +
        " " + std::to_string(summary.ImagesFailed) + " " + std::to_string(summary.PagesRefused) +
        " " + std::to_string(summary.Refused) + " " + (summary.Stopped ? "1" : "0") + "\n";
    for (const DocumentReport& report : observer.reports) {
        for (const std::string& failure : report.Failures)
            text += failure + "\n";
    }
    for (const std::string& message : observer.messages)
        text += message + "\n";
    WriteAll(fd, text);
    close(fd);
    _exit(0);
}

Outcome RunBounded(const Job& job, const std::string& out) {
    std::filesystem::create_directories(out);
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        RunChild(job, out, fds[1]);
    }
    close(fds[1]);
    std::string text;
    const auto deadline = start + std::chrono::seconds(kTimeBoundSeconds);
    bool eof = false;
    while (!eof) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n <= 0)
            eof = true;
        else
            text.append(buffer, static_cast<size_t>(n));
    }
    close(fds[0]);
    Outcome outcome;
    if (!eof)
        kill(pid, SIGKILL);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    outcome.Seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    outcome.PeakRssMb = usage.ru_maxrss / 1024;
    const size_t firstLine = text.find('\n');
    outcome.Finished = eof && WIFEXITED(status) && firstLine != std::string::npos;
    if (outcome.Finished) {
        int stopped = 0;
        std::sscanf(text.c_str(), "%d %d %d %d %d %d", &outcome.ExitStatus, &outcome.Written,
                    &outcome.Failed, &outcome.PagesRefused, &outcome.Refused, &stopped);
        outcome.Stopped = stopped != 0;
        outcome.Texts = text.substr(firstLine + 1);
    }
    for (const auto& entry : std::filesystem::recursive_directory_iterator(out)) {
        if (!entry.is_regular_file())
            continue;
        ++outcome.Files;
        outcome.Paths.push_back(entry.path());
        outcome.LargestFile = std::max(outcome.LargestFile, entry.file_size());
    }
    return outcome;
}

struct Case {
    const char* Name;
    std::function<std::string()> Make;
    int Mode;
    DeviceLimits Limits;
    int StopAfterMs;
    // What the run must give.
    int ExitStatus;
    int Written;      // -1: any number
    const char* Text; // in a failure or message; empty for none asked
    std::function<void(const Outcome&)> More;
};

DeviceLimits Images(uint64_t images) {
    DeviceLimits limits;
    limits.MaxImages = images;
    return limits;
}

TEST(HostileInput, EachCaseIsBoundedAndSaysWhatItCut) {
    const Case cases[] = {
        {"fan-out cut at the image limit", [] { return FanOutPdf(11, 4); }, OutputRaw, Images(300),
         -1, EXIT_FAILED, 300, "the document reached the limit of 300 images",
         [](const Outcome& o) { EXPECT_EQ(o.Files, 300u); }},
        {"fan-out stopped inside its page", [] { return FanOutPdf(11, 4); }, OutputPng,
         DeviceLimits{}, 300, EXIT_INTERRUPTED, -1, "",
         [](const Outcome& o) {
             EXPECT_TRUE(o.Stopped);
             EXPECT_GT(o.Written, 0);
             // Every image dumped before the stop is converted, whole; no
             // intermediate file is left.
             EXPECT_EQ(o.Written, static_cast<int>(o.Files));
             for (const std::string& path : o.Paths) {
                 EXPECT_EQ(std::filesystem::path(path).extension(), ".png") << path;
                 EXPECT_TRUE(PngIsWhole(path)) << path;
             }
         }},
        {"mostly missing data is not padded", [] { return PaddedImagePdf(20000, 20000, 1); },
         OutputRaw, DeviceLimits{}, -1, EXIT_FAILED, 0, "too little to pad the rest",
         [](const Outcome& o) { EXPECT_EQ(o.Files, 0u); }},
        {"a scan missing a few rows still comes out", [] { return PaddedImagePdf(200, 100, 90); },
         OutputRaw, DeviceLimits{}, -1, EXIT_EXTRACTED, 1, "",
         [](const Outcome& o) { EXPECT_EQ(o.LargestFile, 200u * 100 * 3 + 15); }},
        {"an RGB row of 2.1 GB",
         [] { return WideRowPdf(700000000, false); },
         OutputPng,
         DeviceLimits{},
         -1,
         EXIT_FAILED,
         0,
         "beyond the limit of",
         {}},
        // Within the device's row limit, so dumped; too wide for a PNG, so
        // the dump is kept and the failure said.
        {"a stencil row of 75 MB", [] { return WideRowPdf(600000000, true); }, OutputPng,
         DeviceLimits{}, -1, EXIT_FAILED, 1, "case-000.pbm: Error saving PNG file",
         [](const Outcome& o) { EXPECT_EQ(o.Files, 1u); }},
        {"three million nested q", [] { return DeepSavePdf(3000000); }, OutputRaw, DeviceLimits{},
         -1, EXIT_FAILED, 0, "its graphics states nest deeper than 4096",
         [](const Outcome& o) { EXPECT_EQ(o.PagesRefused, 1); }},
        {"an image the core refuses counts as failed",
         RefusedImagePdf,
         OutputRaw,
         DeviceLimits{},
         -1,
         EXIT_FAILED,
         1,
         "the PDF core refused an image",
         {}},
        {"an encryption no handler takes", CorruptEncryptPdf, OutputRaw, DeviceLimits{}, -1,
         EXIT_FAILED, 0, "", [](const Outcome& o) { EXPECT_EQ(o.Refused, 1); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TemporaryFolder folder;
        const std::string pdf = folder / "case.pdf";
        ASSERT_TRUE(WriteWholeFile(pdf, c.Make()));
        const Outcome o = RunBounded({pdf, c.Mode, c.Limits, c.StopAfterMs}, folder / "out");
        ASSERT_TRUE(o.Finished) << "no answer within " << kTimeBoundSeconds << " s";
        EXPECT_LE(o.PeakRssMb, kRssBoundMb);
        EXPECT_EQ(o.ExitStatus, c.ExitStatus) << o.Texts;
        if (c.Written >= 0) {
            EXPECT_EQ(o.Written, c.Written) << o.Texts;
        }
        if (*c.Text != '\0') {
            EXPECT_NE(o.Texts.find(c.Text), std::string::npos) << o.Texts;
        }
        if (c.More)
            c.More(o);
        std::printf("[ measured ] %s: %.2f s, peak RSS %ld MB\n", c.Name, o.Seconds, o.PeakRssMb);
    }
}

TEST(HostileInput, AFifoNamedLikeAPdfIsRefusedWithoutWaiting) {
    TemporaryFolder folder;
    const std::string fifo = folder / "z.pdf";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const Outcome o = RunBounded({fifo, OutputRaw, DeviceLimits{}, -1}, folder / "out");
    ASSERT_TRUE(o.Finished) << "the run waited for a writer";
    EXPECT_EQ(o.ExitStatus, EXIT_FAILED);
    EXPECT_EQ(o.Refused, 1);
    EXPECT_EQ(o.Files, 0u);
}

} // namespace
} // namespace talvore
