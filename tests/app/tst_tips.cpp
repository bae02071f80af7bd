// Tip of the Day: reading the tips file, the "Tips" keys of the settings
// file, and the dialog's buttons.
#include "app/CTipDialog.h"
#include "controls/MessageBoxes.h"
#include "convert/PathParts.h"
#include "settings/ConversionSettings.h"
#include "settings/IniFile.h"
#include "settings/TipsSettings.h"
#include "support/RecordingMessages.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

using MessageRecorder = talvore::testing::RecordingMessages;

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// The value of a key of the settings file, or a null string when missing.
QString IniValue(const QString& path, const char* section, const char* key) {
    talvore::IniFile ini;
    ini.Load(QFile::encodeName(path).toStdString());
    const std::optional<std::string> value = ini.Text(section, key);
    return value ? QString::fromStdString(*value) : QString();
}

// What the dialog should store as the file's time stamp.
QString ExpectedStamp(const QString& path) {
    const int fd = open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    const std::optional<std::time_t> created = talvore::FileCreationTime(fd);
    if (fd >= 0)
        close(fd);
    return created ? QString::fromStdString(talvore::TimeStampText(*created)) : QString();
}

// On the box itself, where a user clicks.
void ClickCheckBox(QCheckBox* box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

} // namespace

class TipsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void firstStartShowsFirstTipAndStoresPosition();
    void laterStartsAndNextTipAdvanceAndWrap();
    void replacedTipsFileRestarts();
    void skippedLinesNeverShown();
    void closeVersusEscape();
    void startupOffStillAdvances();
    void longLineInPieces();
    void fileWithoutTipsDoesNotHang();
    void missingTipsFile();
    void storedPositionEdgeCases();
    void otherSectionsSurvive();

private:
    // Constructs, optionally lets the caller act, and destroys a dialog,
    // as one start of the application would; answers the tip it showed.
    QString Start() {
        CTipDialog dialog(m_settings, m_tips);
        return dialog.TipText();
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_settings;
    QString m_tips;
    MessageRecorder m_messages;
    talvore::MessagePresenter* m_oldPresenter = nullptr;
};

void TipsTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_settings = m_dir->filePath(QStringLiteral("Settings.ini"));
    m_tips = m_dir->filePath(QStringLiteral("tips.txt"));
    m_messages.Texts.clear();
    m_oldPresenter = talvore::SetMessagePresenter(&m_messages);
}

void TipsTest::cleanup() {
    talvore::SetMessagePresenter(m_oldPresenter);
    m_dir.reset();
}

void TipsTest::firstStartShowsFirstTipAndStoresPosition() {
    const QByteArray head = "; Talvore tips\n\n  indented note\n";
    WriteAll(m_tips, head + "First tip.\nSecond tip.\n");
    {
        CTipDialog dialog(m_settings, m_tips);
        QCOMPARE(dialog.TipText(), QStringLiteral("First tip.\n"));
        QCOMPARE(dialog.TipLabel()->text(), QStringLiteral("First tip."));
        QVERIFY(dialog.StartupCheckBox()->isChecked());
        QVERIFY(dialog.NextTipButton()->isEnabled());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Tip of the Day"));
        QCOMPARE(dialog.StartupCheckBox()->text(), QStringLiteral("&Show Tips on StartUp"));
        QCOMPARE(dialog.NextTipButton()->text(), QStringLiteral("&Next Tip"));
        QCOMPARE(dialog.CloseButton()->text(), QStringLiteral("&Close"));
        QVERIFY(dialog.CloseButton()->isDefault());
    }
    QCOMPARE(IniValue(m_settings, "Tips", "FilePos"), QString::number(head.size() + 11));
    const QString stamp = IniValue(m_settings, "Tips", "TimeStamp");
    QCOMPARE(stamp, ExpectedStamp(m_tips));
    // ctime's 24-character form, no line end.
    QVERIFY2(
        QRegularExpression(
            QStringLiteral("^[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]\\d \\d\\d:\\d\\d:\\d\\d \\d{4}$"))
            .match(stamp)
            .hasMatch(),
        qPrintable(stamp));
    // Never closed with "&Close": TipOfDay not written.
    QCOMPARE(IniValue(m_settings, "Tips", "TipOfDay"), QString());
}

void TipsTest::laterStartsAndNextTipAdvanceAndWrap() {
    WriteAll(m_tips, "Tip A\n;skip\nTip B\nTip C\n");
    QCOMPARE(Start(), QStringLiteral("Tip A\n"));
    QCOMPARE(Start(), QStringLiteral("Tip B\n"));
    {
        CTipDialog dialog(m_settings, m_tips);
        QCOMPARE(dialog.TipText(), QStringLiteral("Tip C\n"));
        QTest::mouseClick(dialog.NextTipButton(), Qt::LeftButton);
        QCOMPARE(dialog.TipText(), QStringLiteral("Tip A\n"));
        QCOMPARE(dialog.TipLabel()->text(), QStringLiteral("Tip A"));
        QTest::mouseClick(dialog.NextTipButton(), Qt::LeftButton);
        QCOMPARE(dialog.TipText(), QStringLiteral("Tip B\n"));
    }
    QCOMPARE(Start(), QStringLiteral("Tip C\n"));
    QCOMPARE(Start(), QStringLiteral("Tip A\n"));
}

void TipsTest::replacedTipsFileRestarts() {
    WriteAll(m_tips, "Old one\nOld two\nOld three\n");
    QCOMPARE(Start(), QStringLiteral("Old one\n"));
    QCOMPARE(Start(), QStringLiteral("Old two\n"));
    // The time stamp has a resolution of one second.
    QThread::msleep(1100);
    const QString replacement = m_dir->filePath(QStringLiteral("tips.new"));
    WriteAll(replacement, "New one\nNew two\n");
    QVERIFY(std::rename(QFile::encodeName(replacement).constData(),
                        QFile::encodeName(m_tips).constData()) == 0);
    QCOMPARE(Start(), QStringLiteral("New one\n"));
    QCOMPARE(IniValue(m_settings, "Tips", "TimeStamp"), ExpectedStamp(m_tips));
    QCOMPARE(Start(), QStringLiteral("New two\n"));
}

void TipsTest::skippedLinesNeverShown() {
    WriteAll(m_tips, ";comment\n shown never\n\tnor this\n\n\r\nOne\r\n;x\nTwo\n");
    CTipDialog dialog(m_settings, m_tips);
    QStringList shown{dialog.TipText()};
    for (int i = 0; i < 6; ++i) {
        QTest::mouseClick(dialog.NextTipButton(), Qt::LeftButton);
        shown << dialog.TipText();
    }
    // A CRLF line end reads as a line break, as in text mode.
    QCOMPARE(shown, (QStringList{"One\n", "Two\n", "One\n", "Two\n", "One\n", "Two\n", "One\n"}));
}

void TipsTest::closeVersusEscape() {
    WriteAll(m_tips, "A\nB\nC\nD\n");
    QVERIFY(CTipDialog::ShowAtStartup(m_settings));
    {
        CTipDialog dialog(m_settings, m_tips);
        dialog.show();
        ClickCheckBox(dialog.StartupCheckBox());
        QCOMPARE(dialog.ShowAtStartupValue(), 0);
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }
    QVERIFY(CTipDialog::ShowAtStartup(m_settings));
    {
        // The close box ends it without writing as well.
        CTipDialog dialog(m_settings, m_tips);
        dialog.show();
        ClickCheckBox(dialog.StartupCheckBox());
        dialog.close();
    }
    QVERIFY(CTipDialog::ShowAtStartup(m_settings));
    {
        CTipDialog dialog(m_settings, m_tips);
        dialog.show();
        ClickCheckBox(dialog.StartupCheckBox());
        QTest::mouseClick(dialog.CloseButton(), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
    QVERIFY(!CTipDialog::ShowAtStartup(m_settings));
    QCOMPARE(IniValue(m_settings, "Tips", "TipOfDay"), QStringLiteral("0"));
    {
        CTipDialog dialog(m_settings, m_tips);
        QVERIFY(!dialog.StartupCheckBox()->isChecked());
        dialog.show();
        ClickCheckBox(dialog.StartupCheckBox());
        QTest::mouseClick(dialog.CloseButton(), Qt::LeftButton);
    }
    QVERIFY(CTipDialog::ShowAtStartup(m_settings));
    QCOMPARE(IniValue(m_settings, "Tips", "TipOfDay"), QStringLiteral("1"));
}

void TipsTest::startupOffStillAdvances() {
    WriteAll(m_settings, "[Tips]\nTipOfDay=0\n");
    WriteAll(m_tips, "One\nTwo\n");
    QVERIFY(!CTipDialog::ShowAtStartup(m_settings));
    Start(); // constructed and destroyed, never shown
    QCOMPARE(IniValue(m_settings, "Tips", "FilePos"), QStringLiteral("4"));
    QCOMPARE(Start(), QStringLiteral("Two\n"));
    QCOMPARE(IniValue(m_settings, "Tips", "TipOfDay"), QStringLiteral("0"));
}

void TipsTest::longLineInPieces() {
    WriteAll(m_tips, QByteArray(1500, 'a') + "\nShort\n");
    CTipDialog dialog(m_settings, m_tips);
    QCOMPARE(dialog.TipText(), QString(999, u'a'));
    QTest::mouseClick(dialog.NextTipButton(), Qt::LeftButton);
    QCOMPARE(dialog.TipText(), QString(501, u'a') + u'\n');
    QTest::mouseClick(dialog.NextTipButton(), Qt::LeftButton);
    QCOMPARE(dialog.TipText(), QStringLiteral("Short\n"));
}

void TipsTest::fileWithoutTipsDoesNotHang() {
    for (const QByteArray& contents : {QByteArray(), QByteArray(";only\n  comments\n\n\t\n")}) {
        WriteAll(m_tips, contents);
        CTipDialog dialog(m_settings, m_tips);
        QCOMPARE(dialog.TipText(), CTipDialog::NoTipsText());
        QCOMPARE(dialog.TipLabel()->text(), CTipDialog::NoTipsText());
        QVERIFY(!dialog.NextTipButton()->isEnabled());
        QVERIFY(m_messages.Texts.isEmpty());
    }
    // A file that loses its tips while the dialog is open ends the same way.
    WriteAll(m_tips, "Only tip\n");
    CTipDialog dialog(m_settings, m_tips);
    QCOMPARE(dialog.TipText(), QStringLiteral("Only tip\n"));
    QVERIFY(QFile::resize(m_tips, 0));
    QTest::mouseClick(dialog.NextTipButton(), Qt::LeftButton);
    QCOMPARE(dialog.TipText(), CTipDialog::NoTipsText());
    QVERIFY(!dialog.NextTipButton()->isEnabled());
}

void TipsTest::missingTipsFile() {
    {
        CTipDialog dialog(m_settings, m_tips);
        QCOMPARE(dialog.TipText(),
                 QStringLiteral("Tips file does not exist in the prescribed directory"));
        QVERIFY(!dialog.NextTipButton()->isEnabled());
        dialog.show();
        QTest::mouseClick(dialog.CloseButton(), Qt::LeftButton);
    }
    QCOMPARE(IniValue(m_settings, "Tips", "FilePos"), QString());
    QCOMPARE(IniValue(m_settings, "Tips", "TimeStamp"), QString());
    QCOMPARE(IniValue(m_settings, "Tips", "TipOfDay"), QStringLiteral("1"));
}

void TipsTest::storedPositionEdgeCases() {
    WriteAll(m_tips, "One\nTwo\n");
    Start(); // stores the stamp
    const QString stamp = IniValue(m_settings, "Tips", "TimeStamp");

    // Beyond the end: rewinds and shows the first tip.
    WriteAll(m_settings, "[Tips]\nFilePos=99999\nTimeStamp=" + stamp.toLatin1() + "\n");
    QCOMPARE(Start(), QStringLiteral("One\n"));
    QVERIFY(m_messages.Texts.isEmpty());

    // A position that cannot be sought to: the message and no tip.
    WriteAll(m_settings, "[Tips]\nFilePos=-5\nTimeStamp=" + stamp.toLatin1() + "\n");
    QCOMPARE(Start(), QString());
    QCOMPARE(m_messages.Texts, QStringList{QStringLiteral("Trouble reading the tips file")});

    // Key names are matched without regard to case.
    WriteAll(m_settings, "[tips]\nfilepos=4\ntimestamp=" + stamp.toLatin1() + "\n");
    QCOMPARE(Start(), QStringLiteral("Two\n"));
}

void TipsTest::otherSectionsSurvive() {
    WriteAll(m_settings,
             "[Output General]\nPage Range=1\nStart Page=20\n[Output Images]\nImages Format=4\n"
             "[Other]\nKept=yes\n");
    WriteAll(m_tips, "One\nTwo\n");
    {
        CTipDialog dialog(m_settings, m_tips);
        dialog.show();
        QTest::mouseClick(dialog.CloseButton(), Qt::LeftButton);
    }
    QCOMPARE(IniValue(m_settings, "Output General", "Start Page"), QStringLiteral("20"));
    QCOMPARE(IniValue(m_settings, "Output Images", "Images Format"), QStringLiteral("4"));
    QCOMPARE(IniValue(m_settings, "Other", "Kept"), QStringLiteral("yes"));
    const QString position = IniValue(m_settings, "Tips", "FilePos");
    QCOMPARE(position, QStringLiteral("4"));

    // The settings written at exit keep the tip position.
    talvore::ConversionSettings settings;
    talvore::LoadSettings(settings, QFile::encodeName(m_settings).toStdString());
    QCOMPARE(settings.StartPage, 20);
    settings.EndPage = 30;
    QVERIFY(talvore::SaveSettings(settings, QFile::encodeName(m_settings).toStdString()));
    QCOMPARE(IniValue(m_settings, "Tips", "FilePos"), position);
    QCOMPARE(IniValue(m_settings, "Tips", "TipOfDay"), QStringLiteral("1"));
    QVERIFY(!IniValue(m_settings, "Tips", "TimeStamp").isEmpty());
    QCOMPARE(Start(), QStringLiteral("Two\n"));
    QCOMPARE(IniValue(m_settings, "Output General", "End Page"), QStringLiteral("30"));
    // Written as the profile functions write it.
    QVERIFY(ReadAll(m_settings).contains("FilePos=8"));
}

QTEST_MAIN(TipsTest)
#include "tst_tips.moc"
