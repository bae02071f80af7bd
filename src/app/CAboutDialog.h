// The About box: the product picture across the top, the title line, and a
// group with the web site and support links. No buttons: a left or right
// click outside the links, or Escape, closes it.
#pragma once

#include <QDialog>

class HyperlinkLabel;
class QLabel;

class CAboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDialog(QWidget* parent = nullptr);

    QLabel* TitleLine() const { return m_title; }
    HyperlinkLabel* WebsiteLink() const { return m_website; }
    HyperlinkLabel* SupportLink() const { return m_support; }

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    QLabel* m_title;
    HyperlinkLabel* m_website;
    HyperlinkLabel* m_support;
};
