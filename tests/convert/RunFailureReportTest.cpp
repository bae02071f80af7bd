#include "convert/RunFailureReport.h"

#include <gtest/gtest.h>

namespace talvore {
namespace {

DocumentReport Report(const std::string& path, int failed, int unconverted, int pagesRefused,
                      std::vector<std::string> failures) {
    DocumentReport report;
    report.Path = path;
    report.ImagesFailed = failed;
    report.ConversionFailures = unconverted;
    report.PagesRefused = pagesRefused;
    report.Failures = std::move(failures);
    return report;
}

TEST(RunFailureReportTest, CleanDocumentsSayNothing) {
    RunFailureReport report;
    report.Add(Report("a.pdf", 0, 0, 0, {}));
    EXPECT_TRUE(report.Empty());
    EXPECT_EQ(report.Message(), "");
}

TEST(RunFailureReportTest, EachDocumentWithCountsAndFirstReason) {
    RunFailureReport report;
    report.Add(Report("/in/a.pdf", 1, 2, 0, {"/in/a/-000.ppm: disk full", "/in/a/-001.ppm: x"}));
    report.Add(Report("/in/clean.pdf", 0, 0, 0, {}));
    report.Add(Report("/in/b.pdf", 0, 0, 1, {"/in/b.pdf page 3: too deep"}));
    report.Add(Report("/in/c.pdf", 1, 0, 1, {"/in/c/-000.ppm: bad"}));
    report.Add(Report("/in/d.pdf", 0, 0, 0, {"the image limit cut the document"}));
    EXPECT_EQ(report.Message(),
              "Not every image could be saved:\n"
              "\n/in/a.pdf\n    3 images failed; the first: /in/a/-000.ppm: disk full\n"
              "\n/in/b.pdf\n    1 page not interpreted; the first: /in/b.pdf page 3: too deep\n"
              "\n/in/c.pdf\n    1 image failed, 1 page not interpreted; the first: "
              "/in/c/-000.ppm: bad\n"
              "\n/in/d.pdf\n    not every image was extracted; the first: the image limit cut "
              "the document\n");
}

TEST(RunFailureReportTest, LongRunsNameTheFirstDocumentsAndCountTheRest) {
    for (const size_t extra : {size_t(1), size_t(5)}) {
        RunFailureReport report;
        const size_t total = RunFailureReport::MaxNamedDocuments + extra;
        for (size_t i = 0; i < total; ++i)
            report.Add(Report("doc" + std::to_string(i) + ".pdf", 1, 0, 0, {"why"}));
        const std::string text = report.Message();
        EXPECT_NE(text.find("\ndoc9.pdf\n"), std::string::npos);
        EXPECT_EQ(text.find("\ndoc10.pdf\n"), std::string::npos);
        const std::string tail = extra == 1 ? "\n1 more document with failures.\n"
                                            : "\n5 more documents with failures.\n";
        EXPECT_TRUE(text.ends_with(tail)) << text;
    }
}

} // namespace
} // namespace talvore
