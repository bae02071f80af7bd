#include "app/CAboutDialog.h"

#include "app/AppLinks.h"
#include "app/AppResources.h"
#include "app/DesktopShell.h"
#include "controls/HyperlinkLabel.h"
#include "controls/ThemeColours.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
    EnsureAppResources();
    setWindowTitle(tr("About Ostrael"));
    setAutoFillBackground(true);
    setPalette(talvore::WithWindowBackground(palette()));

    auto* picture = new QLabel(this);
    picture->setPixmap(QIcon(QStringLiteral(":/images/about.svg")).pixmap(QSize(400, 120)));
    picture->setAlignment(Qt::AlignCenter);

    m_title = new QLabel(this);
    QFont bold = m_title->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    m_title->setFont(bold);
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setText(talvore::WindowTitle());

    auto* group = new QGroupBox(talvore::WindowTitle(), this);
    m_website = new HyperlinkLabel(talvore::WebDomain(), group);
    m_support = new HyperlinkLabel(talvore::SupportAddress(), group);
    auto* links = new QGridLayout(group);
    links->addWidget(new QLabel(tr("Website:"), group), 0, 0);
    links->addWidget(m_website, 0, 1);
    links->addWidget(new QLabel(tr("Support:"), group), 1, 0);
    links->addWidget(m_support, 1, 1);
    links->setColumnStretch(1, 1);
    connect(m_website, &HyperlinkLabel::Clicked, this,
            [] { talvore::Shell().OpenUrl(talvore::HomePageUrl()); });
    connect(m_support, &HyperlinkLabel::Clicked, this,
            [] { talvore::Shell().OpenUrl(talvore::SupportMailUrl()); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(picture);
    layout->addWidget(m_title);
    layout->addWidget(group);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CAboutDialog::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton) {
        reject();
        return;
    }
    QDialog::mousePressEvent(event);
}
