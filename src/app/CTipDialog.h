// Tip of the Day: shows one tip at a time from the tips file and keeps its
// place in the "Tips" section of the settings file (TipOfDay, FilePos,
// TimeStamp), changing no other key of that file. Constructing the dialog
// reads the settings and picks the next tip; destroying it stores the
// position, so every start of the application moves on by one tip whether
// or not the dialog is shown. The tips file is read line by line: lines
// beginning with a space, a tab or ';', and empty lines, are skipped; a
// longer line is read in pieces of 999 characters; after the last tip the
// file starts again from the top, and again from the top when the file's
// time stamp changes (the file was replaced).
#pragma once

#include "settings/TipsFile.h"

#include <QDialog>
#include <QPixmap>
#include <QString>

class QCheckBox;
class QLabel;
class QPushButton;

class CTipDialog : public QDialog {
    Q_OBJECT
public:
    CTipDialog(const QString& settingsPath, const QString& tipsPath, QWidget* parent = nullptr);
    ~CTipDialog() override;

    // "Tips"/"TipOfDay" of the settings file: false only when it holds 0.
    static bool ShowAtStartup(const QString& settingsPath);

    // The show-at-start-up choice as the dialog holds it (0 or 1).
    int ShowAtStartupValue() const { return m_showAtStartup; }
    // The tip on display, as read from the file (line end included).
    QString TipText() const { return m_tipText; }

    QLabel* TipLabel() const { return m_tipLabel; }
    QCheckBox* StartupCheckBox() const { return m_startup; }
    QPushButton* NextTipButton() const { return m_next; }
    QPushButton* CloseButton() const { return m_close; }

    // Texts of the dialog.
    static QString DidYouKnowText();
    static QString NoTipsFileText();
    static QString TroubleReadingText();
    static QString NoTipsText();

protected:
    void paintEvent(QPaintEvent* event) override;

private slots:
    void OnNextTip();
    void OnStartupClicked();
    void OnClose();

private:
    void ReadNextTip();
    void ShowTip();
    QRect DialogUnits(int x, int y, int width, int height) const;

    QString m_settingsPath;
    QString m_tipText;
    int m_showAtStartup = 1;
    talvore::TipsFile m_tips;
    // Set once the file turned out to hold no tip or could not be rewound;
    // "&Next Tip" stays disabled from then on.
    bool m_readingEnded = false;
    QPixmap m_bulb;
    QRect m_frameRect;
    QRect m_pictureRect;

    QLabel* m_tipLabel = nullptr;
    QCheckBox* m_startup = nullptr;
    QPushButton* m_next = nullptr;
    QPushButton* m_close = nullptr;
};
