#include "controls/CaptionProgressBar.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPalette>

CaptionProgressBar::CaptionProgressBar(QWidget* parent) : QProgressBar(parent) {
    setRange(0, 100);
    setValue(0);
    setTextVisible(true);
    m_fill = palette().color(QPalette::Highlight);
    m_background = palette().color(QPalette::Base);
}

void CaptionProgressBar::SetCaption(const QString& caption) {
    m_caption = caption;
    // What the bar says, for screen readers as for the eye.
    setAccessibleDescription(caption);
    update();
    emit CaptionChanged(caption);
}

QString CaptionProgressBar::ShownText() const {
    if (!m_caption.isEmpty())
        return m_caption;
    const int span = maximum() - minimum();
    const int percent = span > 0 ? (value() - minimum()) * 100 / span : 0;
    return QStringLiteral("%1%").arg(percent);
}

void CaptionProgressBar::SetFillColour(const QColor& colour) {
    m_fill = colour;
    update();
}

void CaptionProgressBar::SetBackgroundColour(const QColor& colour) {
    m_background = colour;
    update();
}

void CaptionProgressBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect whole = rect();
    painter.setPen(palette().color(QPalette::Mid));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(whole.adjusted(0, 0, -1, -1));

    const QRect inner = whole.adjusted(1, 1, -1, -1);
    if (inner.isEmpty())
        return;
    const int span = maximum() - minimum();
    const int done = span > 0 ? value() - minimum() : 0;
    const int filledWidth =
        span > 0 ? static_cast<int>(static_cast<long long>(inner.width()) * done / span) : 0;
    const QRect filled(inner.left(), inner.top(), filledWidth, inner.height());
    const QRect empty(inner.left() + filledWidth, inner.top(), inner.width() - filledWidth,
                      inner.height());

    painter.fillRect(empty, m_background);
    painter.fillRect(filled, m_fill);

    const QString shown = ShownText();
    const int flags = Qt::AlignCenter | Qt::TextSingleLine;
    painter.setFont(font());
    painter.save();
    painter.setClipRect(filled);
    painter.setPen(m_background);
    painter.drawText(inner, flags, shown);
    painter.restore();
    painter.setClipRect(empty);
    painter.setPen(m_fill);
    painter.drawText(inner, flags, shown);
}
