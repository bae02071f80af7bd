#include "controls/ThemeColours.h"

#include <algorithm>

namespace talvore {
namespace {
constexpr int MinDarkTextLightness = 190;
} // namespace

bool IsDarkPalette(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() <
           palette.color(QPalette::WindowText).lightness();
}

QColor WindowBackground(const QPalette& palette) {
    return IsDarkPalette(palette) ? palette.color(QPalette::Window) : LightBlueBackground;
}

QColor CategoryBackground(const QPalette& palette) {
    // A shade set off from the rows below it, as the light blue is.
    return IsDarkPalette(palette) ? palette.color(QPalette::AlternateBase).lighter(140)
                                  : LightBlueBackground;
}

QColor CategoryText(const QPalette& palette) {
    return IsDarkPalette(palette) ? palette.color(QPalette::Text) : QColor(Qt::black);
}

QColor GridBase(const QPalette& palette) {
    return IsDarkPalette(palette) ? palette.color(QPalette::Base) : QColor(Qt::white);
}

QColor TextOnBase(const QColor& chosen, const QPalette& palette) {
    if (!IsDarkPalette(palette))
        return chosen;
    // Saturated blues and reds are dark at any lightness: keep them well up.
    const QColor hsl = chosen.toHsl();
    return QColor::fromHsl(hsl.hslHue(), hsl.hslSaturation(),
                           std::max(255 - hsl.lightness(), MinDarkTextLightness));
}

QPalette WithWindowBackground(QPalette palette) {
    palette.setColor(QPalette::Window, WindowBackground(palette));
    return palette;
}

} // namespace talvore
