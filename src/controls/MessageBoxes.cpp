#include "controls/MessageBoxes.h"

#include <QMessageBox>

namespace talvore {
namespace {

class RealMessageBoxes : public MessagePresenter {
public:
    void Inform(QWidget* parent, const QString& text, MessageIcon icon) override {
        QMessageBox box(icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::NoIcon,
                        ApplicationName(), text, QMessageBox::Ok, parent);
        box.exec();
    }

    bool AskYesNo(QWidget* parent, const QString& text) override {
        QMessageBox box(QMessageBox::Question, ApplicationName(), text,
                        QMessageBox::Yes | QMessageBox::No, parent);
        return box.exec() == QMessageBox::Yes;
    }
};

RealMessageBoxes g_real;
MessagePresenter* g_presenter = &g_real;

} // namespace

QString ApplicationName() {
    return QStringLiteral("Talvore");
}

void ShowMessage(QWidget* parent, const QString& text, MessageIcon icon) {
    g_presenter->Inform(parent, text, icon);
}

bool AskYesNo(QWidget* parent, const QString& text) {
    return g_presenter->AskYesNo(parent, text);
}

MessagePresenter* SetMessagePresenter(MessagePresenter* presenter) {
    MessagePresenter* old = g_presenter == &g_real ? nullptr : g_presenter;
    g_presenter = presenter ? presenter : &g_real;
    return old;
}

} // namespace talvore
