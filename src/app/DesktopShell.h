// What the application asks of the desktop: show a folder in the file
// browser, open a file with the application the desktop associates with
// it, open a web or mail address. The real shell hands each request to
// QDesktopServices and ignores the result, as a failed open shows nothing;
// tests install a recorder instead, so no program is ever started.
#pragma once

#include <QString>

class QUrl;

namespace talvore {

class DesktopShell {
public:
    virtual ~DesktopShell() = default;
    virtual void ExploreFolder(const QString& folder) = 0;
    virtual void OpenFile(const QString& path) = 0;
    virtual void OpenUrl(const QString& url) = 0;
};

// The shell in use: the real one unless a test has set another.
DesktopShell& Shell();
// Replaces the shell (null restores the real one).
void SetDesktopShell(DesktopShell* shell);

// An address as the real shell parses it before handing it on (strictly:
// an address that breaks the rules comes out invalid and opens nothing).
QUrl ShellUrl(const QString& url);

} // namespace talvore
