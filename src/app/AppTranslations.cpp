#include "app/AppTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool InstallTranslations(QCoreApplication& application) {
    const QLocale locale;
    // Qt's dialogs and buttons (OK, Cancel) in the same language, when the
    // system has Qt's catalogue.
    auto* qt = new QTranslator(&application);
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    else
        delete qt;
    auto* ours = new QTranslator(&application);
    if (!ours->load(locale, QStringLiteral("talvore"), QStringLiteral("_"),
                    QStringLiteral(":/i18n"))) {
        delete ours;
        return false;
    }
    QCoreApplication::installTranslator(ours);
    return true;
}
