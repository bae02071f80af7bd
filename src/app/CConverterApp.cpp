#include "app/CConverterApp.h"

#include "app/CAboutDialog.h"
#include "app/CMainFrame.h"
#include "app/CSplashScreen.h"
#include "app/CTipDialog.h"
#include "app/MainForm.h"
#include "convert/ConversionRun.h"
#include "filelist/FileList.h"
#include "settings/SettingsLocation.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QScreen>

#include <unistd.h>

namespace {
constexpr int HandOverTimeoutMs = 1000;
constexpr int MaxNamePart = 32;
const QByteArray RaiseRequest = QByteArrayLiteral("raise\n");
const QByteArray OpenPrefix = QByteArrayLiteral("open ");
} // namespace

CConverterApp::Options CConverterApp::DefaultOptions() {
    Options options;
    options.InstanceName = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    if (options.InstanceName.isEmpty())
        options.InstanceName = QStringLiteral("talvore");
    options.ModuleDirectory = QFile::decodeName(talvore::ModuleDirectory().c_str());
    options.SettingsPath = QFile::decodeName(talvore::SettingsPath().c_str());
    options.Display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (options.Display.isEmpty())
        options.Display = qEnvironmentVariable("DISPLAY");
    options.Session = qEnvironmentVariable("XDG_SESSION_ID");
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (!arguments[i].startsWith(QLatin1Char('-')))
            options.Files << QFileInfo(arguments[i]).absoluteFilePath();
    }
    return options;
}

CConverterApp::CConverterApp(Options options) : m_options(std::move(options)) {}

CConverterApp::~CConverterApp() {
    m_frame.reset();
}

QString CConverterApp::ServerName() const {
    // A part of the name may hold anything the environment gave ("/" in a
    // Wayland socket path): only safe characters, and not too many of them,
    // as the socket's path has a small limit.
    const auto part = [](const QString& text) {
        QString safe;
        for (const QChar c : text.left(MaxNamePart)) {
            const bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                               (c >= u'0' && c <= u'9') || c == u'.' || c == u'_';
            safe += plain ? c : QChar(u'_');
        }
        return safe;
    };
    QString name = m_options.InstanceName + QStringLiteral("-") + QString::number(::getuid());
    if (!m_options.Display.isEmpty())
        name += QStringLiteral("-d") + part(m_options.Display);
    if (!m_options.Session.isEmpty())
        name += QStringLiteral("-s") + part(m_options.Session);
    return name;
}

QString CConverterApp::DataFilePath(const QString& name) const {
    const QString beside = m_options.ModuleDirectory + name;
    if (QFileInfo::exists(beside))
        return beside;
    const QString shared = m_options.ModuleDirectory + QStringLiteral("../share/talvore/") + name;
    if (QFileInfo::exists(shared))
        return QFileInfo(shared).canonicalFilePath();
    return beside;
}

bool CConverterApp::HandOverToRunningInstance() {
    QLocalSocket socket;
    socket.connectToServer(ServerName());
    if (!socket.waitForConnected(HandOverTimeoutMs))
        return false;
    QByteArray request = RaiseRequest;
    for (const QString& file : m_options.Files) {
        if (!file.contains(QLatin1Char('\n')))
            request += OpenPrefix + file.toUtf8() + '\n';
    }
    socket.write(request);
    socket.waitForBytesWritten(HandOverTimeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(HandOverTimeoutMs);
    return true;
}

bool CConverterApp::ListenForOtherInstances() {
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &CConverterApp::OnNewConnection);
    if (m_server->listen(ServerName()))
        return true;
    // Another start got there first, or a crashed one left its socket.
    if (HandOverToRunningInstance())
        return false;
    QLocalServer::removeServer(ServerName());
    m_server->listen(ServerName());
    return true;
}

void CConverterApp::OnNewConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            while (socket->canReadLine()) {
                const QByteArray line = socket->readLine();
                if (line == RaiseRequest) {
                    // Still starting: no window yet, nothing to raise.
                    if (m_frame)
                        m_frame->RaiseFromOtherInstance();
                    emit RaiseRequested();
                } else if (line.startsWith(OpenPrefix) && line.endsWith('\n')) {
                    OpenFiles({QString::fromUtf8(line.mid(OpenPrefix.size()).chopped(1))});
                }
            }
        });
    }
}

void CConverterApp::OpenFiles(const QStringList& files) {
    if (!m_frame)
        return;
    FileList& list = m_frame->Form()->Files();
    for (const QString& file : files) {
        if (file.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive) && QFileInfo(file).isFile())
            list.ImportFile(file);
    }
}

void CConverterApp::LoadSettings() {
    // The window shows the defaults it fell back to; the log says why.
    for (const std::string& warning :
         talvore::LoadSettings(m_settings, QFile::encodeName(m_options.SettingsPath).toStdString()))
        qWarning("%s: %s", qPrintable(m_options.SettingsPath), warning.c_str());
}

void CConverterApp::SaveSettings() {
    // A failed save is silent: this run's values are lost, the old file stays.
    talvore::SaveSettings(m_settings, QFile::encodeName(m_options.SettingsPath).toStdString());
}

CMainFrame* CConverterApp::CreateMainWindow() {
    m_frame = std::make_unique<CMainFrame>(*this);
    QSize size(1040, 680);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        size = size.boundedTo(available.size()).expandedTo(m_frame->minimumSize());
        m_frame->resize(size);
        m_frame->move(available.center() - QPoint(size.width() / 2, size.height() / 2));
    } else {
        m_frame->resize(size);
    }
    m_frame->show();
    if (m_options.ShowSplash)
        CSplashScreen::ShowOver(m_frame.get());
    m_frame->repaint();
    return m_frame.get();
}

void CConverterApp::ShowStartupTip() {
    if (!m_options.StartupTip)
        return;
    // The tip comes after the splash, so it does not hide it.
    if (CSplashScreen* splash = CSplashScreen::Current()) {
        QEventLoop wait;
        connect(splash, &QObject::destroyed, &wait, &QEventLoop::quit);
        wait.exec();
    }
    // Constructing the dialog moves on to the next tip even when it is not
    // shown; destroying it stores the place.
    CTipDialog tip(m_options.SettingsPath, TipsPath(), m_frame.get());
    if (CTipDialog::ShowAtStartup(m_options.SettingsPath))
        tip.exec();
}

void CConverterApp::DestroyMainWindow() {
    m_frame.reset();
}

void CConverterApp::ShowAboutBox(QWidget* parent) {
    CAboutDialog about(parent);
    about.exec();
}

int CConverterApp::Run() {
    if (HandOverToRunningInstance())
        return 0;
    if (!ListenForOtherInstances())
        return 0;
    talvore::EnsurePdfCore();
    LoadSettings();
    CreateMainWindow();
    OpenFiles(m_options.Files);
    ShowStartupTip();
    const int result = QApplication::exec();
    // The window has closed after its run (if any) ended; the form and the
    // options panel go before the settings they edited are written.
    DestroyMainWindow();
    SaveSettings();
    return result;
}
