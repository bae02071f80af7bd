// Test helper: stands in for the application's message boxes, recording
// each text and answering questions from a queue (Yes when it is empty).
#pragma once

#include "controls/MessageBoxes.h"

#include <QList>
#include <QStringList>

namespace talvore::testing {

class RecordingMessages : public MessagePresenter {
public:
    RecordingMessages() { SetMessagePresenter(this); }
    ~RecordingMessages() override { SetMessagePresenter(nullptr); }

    void Inform(QWidget*, const QString& text, MessageIcon icon) override {
        Texts << text;
        Icons << icon;
    }
    bool AskYesNo(QWidget*, const QString& text) override {
        Questions << text;
        return Answers.isEmpty() ? true : Answers.takeFirst();
    }

    QStringList Texts;
    QList<MessageIcon> Icons;
    QStringList Questions;
    QList<bool> Answers;
};

} // namespace talvore::testing
