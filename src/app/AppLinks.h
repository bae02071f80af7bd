// The application's names and outside addresses in one place: the title,
// the web pages opened from the Help menu and the About box, the support
// address and the invitation e-mail. The domain is the documentation
// domain reserved for this purpose until the project's own site is up;
// changing it here changes every menu label, link and mail text.
#pragma once

#include <QString>

namespace talvore {

inline QString WindowTitle() {
    return QStringLiteral("Merrowind - Ostrael 2.1");
}
inline QString WebDomain() {
    return QStringLiteral("talvore.example");
}
inline QString HomePageUrl() {
    return QStringLiteral("https://talvore.example/");
}
inline QString ProductPageUrl() {
    return QStringLiteral("https://talvore.example/talvore/");
}
inline QString DownloadPageUrl() {
    return QStringLiteral("https://talvore.example/talvore/download/");
}
inline QString SupportMailUrl() {
    return QStringLiteral("mailto:support@talvore.example");
}
inline QString SupportAddress() {
    return QStringLiteral("support@talvore.example");
}

// The invitation e-mail: its subject, its body (lines end with LF CR) and
// the "mailto:" address that carries both, without a recipient and
// percent-encoded.
QString InvitationMailSubject();
QString InvitationMailText();
QString InvitationMailUrl();

} // namespace talvore
