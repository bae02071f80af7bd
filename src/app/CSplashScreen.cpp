#include "app/CSplashScreen.h"

#include "app/AppResources.h"

#include <QApplication>
#include <QIcon>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QSvgRenderer>
#include <QTimer>

namespace {
CSplashScreen* g_current = nullptr;

QPixmap SplashPicture(const QWidget* owner) {
    EnsureAppResources();
    QSvgRenderer renderer(QStringLiteral(":/images/splash.svg"));
    if (!renderer.isValid())
        return QPixmap();
    const qreal ratio = owner ? owner->devicePixelRatioF() : 1.0;
    const QSize size = renderer.defaultSize();
    QPixmap picture(size * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return picture;
}
} // namespace

CSplashScreen* CSplashScreen::ShowOver(QWidget* owner) {
    if (g_current)
        return g_current;
    const QPixmap picture = SplashPicture(owner);
    if (picture.isNull())
        return nullptr;
    auto* splash = new CSplashScreen(picture, owner);
    if (owner) {
        const QRect area = owner->frameGeometry();
        splash->move(area.center() - splash->rect().center());
    }
    splash->show();
    return splash;
}

CSplashScreen* CSplashScreen::Current() {
    return g_current;
}

CSplashScreen::CSplashScreen(const QPixmap& picture, QWidget* owner)
    : QSplashScreen(picture, Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint), m_owner(owner) {
    g_current = this;
    setAttribute(Qt::WA_DeleteOnClose);
    qApp->installEventFilter(this);
    QTimer::singleShot(DisplayMs, this, &CSplashScreen::Dismiss);
}

CSplashScreen::~CSplashScreen() {
    qApp->removeEventFilter(this);
    if (g_current == this)
        g_current = nullptr;
}

void CSplashScreen::Dismiss() {
    if (m_dismissed)
        return;
    m_dismissed = true;
    qApp->removeEventFilter(this);
    QPointer<QWidget> owner = m_owner;
    close();
    if (owner)
        owner->update();
}

bool CSplashScreen::eventFilter(QObject*, QEvent* event) {
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Accepted, so no accelerator acts on the key; the press follows.
        event->accept();
        return true;
    case QEvent::KeyPress:
        Dismiss();
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::NonClientAreaMouseButtonPress: {
        const auto button = static_cast<QMouseEvent*>(event)->button();
        if (button == Qt::LeftButton || button == Qt::RightButton || button == Qt::MiddleButton) {
            Dismiss();
            return true;
        }
        return false;
    }
    default:
        return false;
    }
}
