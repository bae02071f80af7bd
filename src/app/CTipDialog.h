// Tip of the Day: shows one tip at a time from the tips file and keeps its
// place in the "Tips" section of the settings file (TipOfDay, FilePos,
// TimeStamp), touching no other key of that file. Constructing the dialog
// picks the next tip; destroying it stores the position, so every start of
// the application moves on by one tip whether or not the dialog is shown.
#pragma once

#include <QDialog>
#include <QString>

#include <cstdio>

class QCheckBox;
class QLabel;
class QPushButton;

class CTipDialog : public QDialog {
    Q_OBJECT
public:
    CTipDialog(const QString& settingsPath, const QString& tipsPath, QWidget* parent = nullptr);
    ~CTipDialog() override;

    // "Tips"/"TipOfDay" of the settings file; 1 (show) when missing.
    static bool ShowAtStartup(const QString& settingsPath);

    QString TipText() const { return m_tipText; }

private:
    QString m_settingsPath;
    QString m_tipText;
    int m_showAtStartup = 1;
    std::FILE* m_tips = nullptr;
};
