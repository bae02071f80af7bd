#include "app/AppLinks.h"

namespace talvore {

QString InvitationMailUrl() {
    // Already escaped for the address: "%0A%0D" ends a line, "%0A" alone
    // comes before a web address.
    const QString lineEnd = QStringLiteral("%0A%0D");
    const QString beforeAddress = QStringLiteral("%0A");
    return QStringLiteral("mailto:?subject=Invitation from Merrowind - Ostrael&Body=") +
           QStringLiteral("Hello!") + lineEnd +
           QStringLiteral("I have been using Ostrael, the PDF image extractor of the Merrowind "
                          "family from ") +
           WebDomain() +
           QStringLiteral(": it lifts every picture out of a stack of PDF files in one run and "
                          "saves them in the format I need, and it is a pleasure to use.") +
           lineEnd + QStringLiteral("Learn more by visiting") + beforeAddress + HomePageUrl() +
           lineEnd + QStringLiteral("To download it right now click here") + beforeAddress +
           DownloadPageUrl() + lineEnd + QStringLiteral("[please type your text here]") + lineEnd;
}

} // namespace talvore
