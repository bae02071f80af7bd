// talvore: the desktop application.
#include "app/AppResources.h"
#include "app/AppTranslations.h"
#include "app/CConverterApp.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Talvore"));
    QApplication::setDesktopFileName(QStringLiteral("talvore"));
    EnsureAppResources();
    InstallTranslations(application);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/talvore.svg")));
    CConverterApp app(CConverterApp::DefaultOptions());
    return app.Run();
}
