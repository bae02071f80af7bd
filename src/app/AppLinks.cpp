#include "app/AppLinks.h"

#include <QUrl>

namespace talvore {

QString InvitationMailText() {
    // A line ends with LF CR; a web address stands alone after an LF.
    const QString lineEnd = QStringLiteral("\n\r");
    const QString beforeAddress = QStringLiteral("\n");
    return QStringLiteral("Hello!") + lineEnd +
           QStringLiteral("I have been using Ostrael, the PDF image extractor of the Merrowind "
                          "family from ") +
           WebDomain() +
           QStringLiteral(": it lifts every picture out of a stack of PDF files in one run and "
                          "saves them in the format I need, and it is a pleasure to use.") +
           lineEnd + QStringLiteral("Learn more by visiting") + beforeAddress + HomePageUrl() +
           lineEnd + QStringLiteral("To download it right now click here") + beforeAddress +
           DownloadPageUrl() + lineEnd + QStringLiteral("[please type your text here]") + lineEnd;
}

QString InvitationMailSubject() {
    return QStringLiteral("Invitation from Merrowind - Ostrael");
}

QString InvitationMailUrl() {
    // Everything but the unreserved characters is percent-encoded, so a
    // strict parser (the desktop shell's) takes the address as it is.
    return QStringLiteral("mailto:?subject=") +
           QString::fromLatin1(QUrl::toPercentEncoding(InvitationMailSubject())) +
           QStringLiteral("&Body=") +
           QString::fromLatin1(QUrl::toPercentEncoding(InvitationMailText()));
}

} // namespace talvore
