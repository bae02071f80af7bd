// Two processes of one instance name: the second start hands over to the
// first, which restores and raises its window and its modal dialog, and
// exits at once without touching the settings file. The program runs itself
// as the two instances.
#include "app/CConverterApp.h"

#include "app/CMainFrame.h"
#include "app/MainForm.h"
#include "filelist/FileList.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

CConverterApp::Options InstanceOptions(const QString& folder, const QString& instance) {
    CConverterApp::Options options;
    options.InstanceName = instance;
    options.ModuleDirectory = folder + QLatin1Char('/');
    options.SettingsPath = folder + QStringLiteral("/Settings.ini");
    options.ShowSplash = false;
    options.StartupTip = false;
    return options;
}

void Say(const char* text) {
    std::printf("%s\n", text);
    std::fflush(stdout);
}

// The first instance: minimised, with a modal dialog up, until a later
// start raises it; then it reports what it sees, and closes once the test
// has put a file named "quit" in its folder.
int RunFirst(const QString& folder, const QString& instance) {
    CConverterApp app(InstanceOptions(folder, instance));
    QDialog* dialog = nullptr;
    QTimer::singleShot(0, &app, [&] {
        CMainFrame* frame = app.MainFrame();
        dialog = new QDialog(frame);
        dialog->setModal(true);
        dialog->show();
        frame->showMinimized();
        Say("ready");
    });
    QObject::connect(&app, &CConverterApp::RaiseRequested, &app, [&] {
        CMainFrame* frame = app.MainFrame();
        const bool restored = !frame->isMinimized() && frame->isVisible();
        const bool modalInFront =
            QApplication::activeModalWidget() == dialog && QApplication::activeWindow() == dialog;
        Say(restored ? "restored" : "still-minimised");
        Say(modalInFront ? "modal-in-front" : "modal-behind");
        dialog->close();
        auto* poll = new QTimer(frame);
        QObject::connect(poll, &QTimer::timeout, frame, [frame, folder, poll] {
            if (!QFileInfo::exists(folder + QStringLiteral("/quit")))
                return;
            poll->stop();
            Say(qPrintable(QStringLiteral("files %1").arg(frame->Form()->Files().FileCount())));
            frame->close();
        });
        poll->start(20);
    });
    return app.Run();
}

// The second start names a PDF file, as "Open with" does.
int RunSecond(const QString& folder, const QString& instance) {
    CConverterApp::Options options = InstanceOptions(folder, instance);
    options.Files = {folder + QStringLiteral("/handed.pdf"), folder + QStringLiteral("/notes.txt")};
    CConverterApp app(options);
    return app.Run();
}

} // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT
private slots:
    void SecondStartHandsOver();
    void LoneStartAfterACrashStillListens();
    void OneInstancePerDisplayAndSession();
};

void SingleInstanceTest::SecondStartHandsOver() {
    QTemporaryDir folder;
    const QString instance =
        QStringLiteral("talvore-tst-%1").arg(QCoreApplication::applicationPid());
    const QString settings = folder.filePath(QStringLiteral("Settings.ini"));
    for (const char* name : {"handed.pdf", "notes.txt"})
        QFile(folder.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly);

    QProcess first;
    first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    first.start(QCoreApplication::applicationFilePath(), {"--first", folder.path(), instance});
    QVERIFY(first.waitForStarted());
    QVERIFY(first.waitForReadyRead(15000));
    QCOMPARE(first.readLine().trimmed(), QByteArray("ready"));

    QElapsedTimer clock;
    clock.start();
    QProcess second;
    second.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    second.start(QCoreApplication::applicationFilePath(), {"--second", folder.path(), instance});
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QVERIFY(second.readAllStandardOutput().isEmpty());
    QVERIFY2(clock.elapsed() < 5000, "the second start must end at once");

    // The first comes to the front.
    QByteArray report;
    QTRY_VERIFY_WITH_TIMEOUT((report += first.readAllStandardOutput()).count('\n') >= 2, 10000);
    QCOMPARE(report.trimmed().split('\n'), (QList<QByteArray>{"restored", "modal-in-front"}));
    QVERIFY(!QFileInfo::exists(settings)); // neither instance has written it yet

    QFile(folder.filePath(QStringLiteral("quit"))).open(QIODevice::WriteOnly);
    QVERIFY(first.waitForFinished(15000));
    // The PDF named by the second start joined the first one's list.
    QCOMPARE(first.readAllStandardOutput().trimmed(), QByteArray("files 1"));
    QCOMPARE(first.exitCode(), 0);
    // The first instance saves on its way out.
    QVERIFY(QFileInfo::exists(settings));
}

void SingleInstanceTest::LoneStartAfterACrashStillListens() {
    // A socket file left by a crashed instance must not block a new start.
    QTemporaryDir folder;
    const QString instance =
        QStringLiteral("talvore-stale-%1").arg(QCoreApplication::applicationPid());
    CConverterApp app(InstanceOptions(folder.path(), instance));
    const QString socketPath = QDir::tempPath() + QLatin1Char('/') + app.ServerName();
    QFile stale(socketPath);
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.close();
    QVERIFY(!app.HandOverToRunningInstance());
    QVERIFY(app.ListenForOtherInstances());
    CConverterApp later(InstanceOptions(folder.path(), instance));
    QVERIFY(later.HandOverToRunningInstance());
}

// A start on another display or in another login session opens its own
// window; only a start where the running one is shown hands over.
void SingleInstanceTest::OneInstancePerDisplayAndSession() {
    QTemporaryDir folder;
    const QString instance =
        QStringLiteral("talvore-places-%1").arg(QCoreApplication::applicationPid());
    const auto at = [&](const QString& display, const QString& session) {
        CConverterApp::Options options = InstanceOptions(folder.path(), instance);
        options.Display = display;
        options.Session = session;
        return std::make_unique<CConverterApp>(options);
    };
    auto running = at(QStringLiteral(":1"), QStringLiteral("3"));
    QVERIFY(running->ListenForOtherInstances());
    QVERIFY(!at(QStringLiteral(":2"), QStringLiteral("3"))->HandOverToRunningInstance());
    QVERIFY(!at(QStringLiteral(":1"), QStringLiteral("4"))->HandOverToRunningInstance());
    QVERIFY(!at(QString(), QString())->HandOverToRunningInstance());
    QVERIFY(at(QStringLiteral(":1"), QStringLiteral("3"))->HandOverToRunningInstance());

    // The name tells the user, the display and the session, and a Wayland
    // socket path or a long value cannot break out of the socket folder.
    const QString name =
        at(QStringLiteral("/run/user/1000/wayland-0"), QString(120, u'x'))->ServerName();
    QVERIFY(name.startsWith(instance + QStringLiteral("-%1-d").arg(::getuid())));
    QVERIFY(!name.contains(u'/'));
    QVERIFY(name.size() < instance.size() + 80);
    QCOMPARE(at(QStringLiteral(":0"), QStringLiteral("c2"))->ServerName(),
             instance + QStringLiteral("-%1-d_0-sc2").arg(::getuid()));
}

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 4 && arguments[1] == QLatin1String("--first"))
        return RunFirst(arguments[2], arguments[3]);
    if (arguments.size() == 4 && arguments[1] == QLatin1String("--second"))
        return RunSecond(arguments[2], arguments[3]);
    SingleInstanceTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_single_instance.moc"
