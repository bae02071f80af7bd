#include "controls/IconButton.h"

#include <QImage>
#include <QPixmap>

namespace {
constexpr int ButtonSize = 32;
constexpr int IconSize = 28;
} // namespace

IconButton::IconButton(int commandId, QWidget* parent)
    : QToolButton(parent), m_commandId(commandId) {
    setFixedSize(ButtonSize, ButtonSize);
    setIconSize(QSize(IconSize, IconSize));
    setAutoRaise(true);
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setFocusPolicy(Qt::TabFocus);
    connect(this, &QToolButton::clicked, this, [this] { emit Pressed(m_commandId); });
}

QImage IconButton::GreyImage(const QImage& image) {
    QImage grey = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < grey.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(grey.scanLine(y));
        for (int x = 0; x < grey.width(); ++x) {
            const QRgb pixel = row[x];
            // Lift the grey towards white so the disabled icon reads as faded.
            const int level = 96 + qGray(pixel) * 5 / 8;
            row[x] = qRgba(level, level, level, qAlpha(pixel));
        }
    }
    return grey;
}

void IconButton::SetIcon(const QIcon& icon) {
    QIcon both;
    // Sizes for ordinary and high-density screens, so neither is scaled.
    for (const int scale : {1, 2, 3}) {
        const QPixmap colour = icon.pixmap(QSize(IconSize, IconSize) * scale);
        if (colour.isNull())
            continue;
        both.addPixmap(colour, QIcon::Normal);
        both.addPixmap(colour, QIcon::Active);
        both.addPixmap(QPixmap::fromImage(GreyImage(colour.toImage())), QIcon::Disabled);
    }
    setIcon(both);
}
