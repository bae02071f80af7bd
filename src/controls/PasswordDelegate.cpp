#include "controls/PasswordDelegate.h"

#include <QLineEdit>

QString PasswordDelegate::Masked(const QString& text) {
    return QString(text.size(), QChar(0x25CF));
}

QString PasswordDelegate::displayText(const QVariant& value, const QLocale& locale) const {
    const QString shown = QStyledItemDelegate::displayText(value, locale);
    return m_revealed ? shown : Masked(shown);
}

QWidget* PasswordDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                        const QModelIndex& index) const {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor))
        line->setEchoMode(m_revealed ? QLineEdit::Normal : QLineEdit::Password);
    return editor;
}
