// The look of password cells: the text shows as dots, and the cell editor
// echoes dots, until the owner reveals them. Only what is drawn changes;
// the cell's text is the password as typed.
#pragma once

#include <QStyledItemDelegate>

class PasswordDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool IsRevealed() const { return m_revealed; }
    // Cells drawn after this, and editors opened after it, follow.
    void SetRevealed(bool revealed) { m_revealed = revealed; }

    // One dot per character: the length is no secret worth an extra rule.
    static QString Masked(const QString& text);

    QString displayText(const QVariant& value, const QLocale& locale) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;

private:
    bool m_revealed = false;
};
