// The application object: the conversion settings for the whole process,
// InstanceName (the executable's name without folder and extension),
// ModuleDirectory (the executable's folder, ending with '/') and
// SettingsPath. Run() is the whole life of the program: hand over to a
// running instance and end, or listen for later starts, load the settings,
// build the main window with its splash screen, show the start-up tip, run
// the event loop, and save the settings once the window is gone. PDF files
// named on the command line join the list (of the running instance, when
// there is one).
#pragma once

#include "settings/ConversionSettings.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class CMainFrame;
class QLocalServer;
class QWidget;

class CConverterApp : public QObject {
    Q_OBJECT
public:
    struct Options {
        QString InstanceName;
        QString ModuleDirectory;
        QString SettingsPath;
        bool ShowSplash = true;
        bool StartupTip = true;
        // PDF files named on the command line ("Open with" in a file
        // manager), as absolute paths.
        QStringList Files;
        // Where this start shows its window: the display (X11 or Wayland)
        // and the login session. One instance runs per user, display and
        // session; empty parts are left out of the name.
        QString Display;
        QString Session;
    };
    // The options of an ordinary start, worked out from the executable.
    static Options DefaultOptions();

    explicit CConverterApp(Options options);
    ~CConverterApp() override;

    int Run();

    // Start-up steps, also used by the tests.
    // A running instance was found, told to come to the front and given
    // the files of this start.
    bool HandOverToRunningInstance();
    // Starts listening for later starts; false when another instance turned
    // out to be running after all (it has been told).
    bool ListenForOtherInstances();
    void LoadSettings();
    void SaveSettings();
    CMainFrame* CreateMainWindow();
    void ShowStartupTip();
    void DestroyMainWindow();
    // Adds files named on a command line to the list, by the open dialog's
    // rule (name ending in ".pdf").
    void OpenFiles(const QStringList& files);

    talvore::ConversionSettings& Settings() { return m_settings; }
    const QString& InstanceName() const { return m_options.InstanceName; }
    const QString& ModuleDirectory() const { return m_options.ModuleDirectory; }
    const QString& SettingsPath() const { return m_options.SettingsPath; }
    // The socket name of the single instance: InstanceName, the user id, the
    // display and the session, reduced to characters safe in a file name.
    QString ServerName() const;
    // A data file beside the executable, else in the install's share folder.
    QString DataFilePath(const QString& name) const;
    QString ManualPath() const { return DataFilePath(QStringLiteral("manual.html")); }
    QString TipsPath() const { return DataFilePath(QStringLiteral("tips.txt")); }
    CMainFrame* MainFrame() const { return m_frame.get(); }

    void ShowAboutBox(QWidget* parent);

signals:
    // A later start asked this instance to come to the front.
    void RaiseRequested();

private:
    void OnNewConnection();

    Options m_options;
    talvore::ConversionSettings m_settings;
    QLocalServer* m_server = nullptr;
    std::unique_ptr<CMainFrame> m_frame;
};
