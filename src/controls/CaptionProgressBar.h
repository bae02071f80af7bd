// A progress bar (range 0..100) that draws a one-line caption centred over
// itself: over the filled part in the bar's background colour, over the
// empty part in its fill colour. An empty caption shows the percentage,
// "25%" at position 25 (fraction dropped).
#pragma once

#include <QColor>
#include <QProgressBar>
#include <QString>

class CaptionProgressBar : public QProgressBar {
    Q_OBJECT
public:
    explicit CaptionProgressBar(QWidget* parent = nullptr);

    void SetCaption(const QString& caption);
    QString Caption() const { return m_caption; }
    // The text actually drawn: the caption, or the percentage when empty.
    QString ShownText() const;

    void SetFillColour(const QColor& colour);
    void SetBackgroundColour(const QColor& colour);
    QColor FillColour() const { return m_fill; }
    QColor BackgroundColour() const { return m_background; }

    QString text() const override { return ShownText(); }

signals:
    void CaptionChanged(const QString& caption);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_caption;
    QColor m_fill;
    QColor m_background;
};
