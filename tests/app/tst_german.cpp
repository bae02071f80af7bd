// The German catalogue: started under LANG=de_DE.UTF-8, the window shows
// its menus, grid header and captions in German; the English texts are the
// source strings, so without a catalogue nothing changes.
#include "AppTestSupport.h"
#include "app/AppTranslations.h"
#include "app/CMainFrame.h"
#include "app/CommandTable.h"
#include "app/MainForm.h"
#include "controls/CaptionProgressBar.h"
#include "controls/CheckBoxGrid.h"
#include "support/RecordingMessages.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QtTest>

class GermanTest : public QObject {
    Q_OBJECT
private slots:
    void WindowInGerman();
};

void GermanTest::WindowInGerman() {
    QVERIFY(InstallTranslations(*QCoreApplication::instance()));
    QTemporaryDir dir;
    talvore::testing::RecordingMessages messages;
    auto app = talvore::testing::MakeTestApp(dir);
    CMainFrame* frame = app->CreateMainWindow();
    QStringList menus;
    for (QAction* top : frame->menuBar()->actions())
        menus << top->text();
    QCOMPARE(menus, (QStringList{"&Datei", "&Bearbeiten", "&Hilfe"}));
    QCOMPARE(frame->Action(talvore::IdOpenFile)->text(),
             QStringLiteral("Datei ö&ffnen...\tCtrl+O"));
    QCOMPARE(frame->Action(talvore::IdExit)->text(), QStringLiteral("&Beenden\tAlt+F4"));
    MainForm* form = frame->Form();
    QCOMPARE(form->Grid()->horizontalHeaderItem(1)->text(), QStringLiteral("Dateiname"));
    QCOMPARE(form->CurrentBar()->Caption(), QStringLiteral("Warten auf Umwandlung."));
    form->StopConvert();
    QCOMPARE(form->TotalBar()->Caption(), QStringLiteral("Umwandlung angehalten."));
}

int main(int argc, char* argv[]) {
    // The language comes from the environment, as at a user's start.
    qunsetenv("LANGUAGE");
    qunsetenv("LC_ALL");
    qunsetenv("LC_MESSAGES");
    qputenv("LANG", "de_DE.UTF-8");
    QApplication application(argc, argv);
    GermanTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_german.moc"
