// The application's colours, taken from the palette in one place. Under a
// light palette the windows keep their light blue look (207, 234, 254) with
// black category text and a white grid; under a dark palette (its window
// darker than its text) the palette's own colours stand in, so backgrounds,
// category rows and captions stay readable.
#pragma once

#include <QColor>
#include <QPalette>

namespace talvore {

// The light blue of the windows, the splitter and the category rows.
inline const QColor LightBlueBackground(207, 234, 254);

bool IsDarkPalette(const QPalette& palette);

// The background of the main window, its form, the About box.
QColor WindowBackground(const QPalette& palette);
// Category rows of the option tree: background and text.
QColor CategoryBackground(const QPalette& palette);
QColor CategoryText(const QPalette& palette);
// The grid's cells.
QColor GridBase(const QPalette& palette);
// A text colour the program chose for a white page (the summary's black,
// blue and red): as it is under a light palette; under a dark one the same
// hue with the opposite lightness, so it reads on the dark base.
QColor TextOnBase(const QColor& chosen, const QPalette& palette);

// The palette with its window colour set to WindowBackground.
QPalette WithWindowBackground(QPalette palette);

} // namespace talvore
