// The folder chooser's "&Select" rules.
#include "filelist/FolderChooserDialog.h"

#include "support/RecordingMessages.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using talvore::MessageIcon;
using talvore::testing::RecordingMessages;

class FolderChooserTest : public QObject {
    Q_OBJECT
private slots:
    void LabelsAndTitle();
    void Rules_data();
    void Rules();
    void EmptyTextTakesTheOpenFolder();
    void CreationFailureKeepsTheDialogOpen();
};

void FolderChooserTest::LabelsAndTitle() {
    FolderChooserDialog dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Please Select a Folder"));
    QCOMPARE(dialog.SelectButton()->text(), QStringLiteral("&Select"));
    QStringList labels;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        labels << label->text();
    QVERIFY(labels.contains(QStringLiteral("Please Select the File Type:")));
    QVERIFY(labels.contains(QStringLiteral("Current Folder:")));
}

void FolderChooserTest::Rules_data() {
    QTest::addColumn<QString>("typed"); // {} stands for the temporary folder
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("created");

    QTest::newRow("existing") << "{}/here" << QList<bool>{} << true << "{}/here/"
                              << "" << false << true;
    QTest::newRow("one trailing slash") << "{}/here/" << QList<bool>{} << true << "{}/here/"
                                        << "" << false << true;
    QTest::newRow("network-like path") << "//server/share" << QList<bool>{} << false << ""
                                       << "Invalid directory" << false << false;
    QTest::newRow("double slash inside") << "{}//here" << QList<bool>{} << false << ""
                                         << "Invalid directory" << false << false;
    QTest::newRow("missing, Yes creates")
        << "{}/new/deeper" << QList<bool>{true} << true << "{}/new/deeper/"
        << "" << true << true;
    QTest::newRow("missing, No goes on")
        << "{}/absent" << QList<bool>{false} << true << "{}/absent/"
        << "" << true << false;
}

void FolderChooserTest::Rules() {
    QFETCH(QString, typed);
    QFETCH(QList<bool>, answers);
    QFETCH(bool, accepted);
    QFETCH(QString, result);
    QFETCH(QString, message);
    QFETCH(bool, asked);
    QFETCH(bool, created);

    QTemporaryDir temporary;
    QDir().mkpath(temporary.filePath(QStringLiteral("here")));
    const auto fill = [&](QString text) {
        return text.replace(QStringLiteral("{}"), temporary.path());
    };
    RecordingMessages messages;
    messages.Answers = answers;
    FolderChooserDialog dialog;
    dialog.FolderEdit()->setText(fill(typed));
    QCOMPARE(dialog.TrySelect(), accepted);
    QCOMPARE(dialog.result(), accepted ? int(QDialog::Accepted) : int(QDialog::Rejected));
    QCOMPARE(dialog.SelectedFolder(), fill(result));
    QCOMPARE(messages.Texts, message.isEmpty() ? QStringList() : QStringList{message});
    if (!message.isEmpty())
        QCOMPARE(messages.Icons.first(), MessageIcon::Error);
    QCOMPARE(messages.Questions.size(), asked ? 1 : 0);
    if (asked) {
        QString folder = fill(typed);
        QCOMPARE(messages.Questions.first(),
                 folder + QStringLiteral("\n\nThe selected path isn't exist, create it?"));
    }
    if (accepted)
        QCOMPARE(QFileInfo(dialog.SelectedFolder()).isDir(), created);
}

void FolderChooserTest::EmptyTextTakesTheOpenFolder() {
    QTemporaryDir temporary;
    RecordingMessages messages;
    FolderChooserDialog dialog;
    dialog.SetCurrentFolder(temporary.path());
    dialog.FolderEdit()->clear();
    QVERIFY(dialog.TrySelect());
    QCOMPARE(dialog.SelectedFolder(), temporary.path() + QLatin1Char('/'));
}

void FolderChooserTest::CreationFailureKeepsTheDialogOpen() {
    QTemporaryDir temporary;
    const QString file = temporary.filePath(QStringLiteral("plain"));
    QFile(file).open(QIODevice::WriteOnly);
    RecordingMessages messages;
    messages.Answers = {true};
    FolderChooserDialog dialog;
    dialog.FolderEdit()->setText(file + QStringLiteral("/inside"));
    QVERIFY(!dialog.TrySelect());
    QCOMPARE(messages.Texts, QStringList{QStringLiteral("Can not create directory\n") + file +
                                         QStringLiteral("/inside")});
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

QTEST_MAIN(FolderChooserTest)
#include "tst_folder_chooser.moc"
