// Test helpers for the application: a desktop shell that records what it
// is asked to open, a temporary installation folder for CConverterApp, and
// small PDF files for runs.
#pragma once

#include "app/CConverterApp.h"
#include "app/DesktopShell.h"
#include "support/PdfWriter.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace talvore::testing {

class RecordingShell : public DesktopShell {
public:
    RecordingShell() { SetDesktopShell(this); }
    ~RecordingShell() override { SetDesktopShell(nullptr); }
    void ExploreFolder(const QString& folder) override {
        Requests << QStringLiteral("explore ") + folder;
    }
    void OpenFile(const QString& path) override { Requests << QStringLiteral("open ") + path; }
    void OpenUrl(const QString& url) override { Requests << QStringLiteral("url ") + url; }
    QStringList Requests;
};

// A CConverterApp over a temporary module folder, with no splash and no
// start-up tip, so a test can build the main window.
inline std::unique_ptr<CConverterApp>
MakeTestApp(const QTemporaryDir& folder, const QString& instance = QStringLiteral("talvore-test")) {
    CConverterApp::Options options;
    options.InstanceName = instance;
    options.ModuleDirectory = folder.path() + QLatin1Char('/');
    options.SettingsPath = folder.filePath(QStringLiteral("Settings.ini"));
    options.ShowSplash = false;
    options.StartupTip = false;
    return std::make_unique<CConverterApp>(options);
}

// A PDF of the given number of pages, each showing one small Flate RGB image.
inline bool WriteImagePdf(const QString& path, int pages) {
    PdfWriter writer;
    for (int page = 0; page < pages; ++page) {
        const std::string samples = GradientSamples(8, 6, 3, page);
        const int image = writer.AddImage(8, 6, "/DeviceRGB", 8, "/FlateDecode", Deflate(samples));
        writer.AddPage("q 80 0 0 60 10 10 cm /Im0 Do Q",
                       "<< /XObject << /Im0 " + std::to_string(image) + " 0 R >> >>");
    }
    return writer.WriteFile(QFile::encodeName(path).toStdString());
}

} // namespace talvore::testing
