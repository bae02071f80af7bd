// talvore: the desktop application.
#include "app/AppResources.h"
#include "app/AppTranslations.h"
#include "app/CConverterApp.h"

#include "TalvoreVersion.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <cstring>

int main(int argc, char* argv[]) {
    // Answered before the window system is touched, so they work without a
    // display (over ssh, in a package check).
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("talvore %s\n", TALVORE_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("Usage: talvore [PDF]...\n"
                        "Opens the Talvore window; the PDF files given are added to its list.\n"
                        "\n"
                        "  -h, --help   print this help and exit\n"
                        "  --version    print the version and exit\n"
                        "\n"
                        "For the command line without a window see talvore-extract(1).\n");
            return 0;
        }
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Talvore"));
    QApplication::setDesktopFileName(QStringLiteral("io.github.talvore.Talvore"));
    EnsureAppResources();
    InstallTranslations(application);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/talvore.svg")));
    CConverterApp app(CConverterApp::DefaultOptions());
    return app.Run();
}
