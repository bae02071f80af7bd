#include "app/DesktopShell.h"

#include <QDesktopServices>
#include <QUrl>

namespace talvore {
namespace {

class RealDesktopShell : public DesktopShell {
public:
    void ExploreFolder(const QString& folder) override {
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
    }
    void OpenFile(const QString& path) override {
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }
    void OpenUrl(const QString& url) override { QDesktopServices::openUrl(ShellUrl(url)); }
};

RealDesktopShell g_realShell;
DesktopShell* g_shell = &g_realShell;

} // namespace

DesktopShell& Shell() {
    return *g_shell;
}

QUrl ShellUrl(const QString& url) {
    return QUrl(url, QUrl::StrictMode);
}

void SetDesktopShell(DesktopShell* shell) {
    g_shell = shell ? shell : &g_realShell;
}

} // namespace talvore
