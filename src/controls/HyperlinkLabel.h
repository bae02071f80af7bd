// A label that reads like a web link: underlined, in link colour, with the
// hand cursor while the pointer is over it. A left click emits Clicked();
// what to open is the owner's business.
#pragma once

#include <QLabel>

class HyperlinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit HyperlinkLabel(const QString& text, QWidget* parent = nullptr);

signals:
    void Clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};
