// The application's modal message boxes: a fixed text, an OK button (or Yes
// and No for a question) and the caption "Talvore". Everything that shows a
// box goes through here, so tests can put a recorder in place of the real
// boxes. GUI thread only.
#pragma once

#include <QString>

class QWidget;

namespace talvore {

enum class MessageIcon { None, Error, Question };

class MessagePresenter {
public:
    virtual ~MessagePresenter() = default;
    virtual void Inform(QWidget* parent, const QString& text, MessageIcon icon) = 0;
    // True for Yes.
    virtual bool AskYesNo(QWidget* parent, const QString& text) = 0;
};

// The caption of every box.
QString ApplicationName();

void ShowMessage(QWidget* parent, const QString& text, MessageIcon icon = MessageIcon::None);
bool AskYesNo(QWidget* parent, const QString& text);

// Replaces the presenter (null restores the real boxes); returns the old one.
MessagePresenter* SetMessagePresenter(MessagePresenter* presenter);

} // namespace talvore
