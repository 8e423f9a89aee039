// Glyphs the icon themes have no picture for, drawn in code: the window
// arrangement commands, cell selection, background colour, and the table
// window's own icon. Each is asked for by a name beginning "qvx-".
#pragma once

#include <QIcon>
#include <QString>

namespace qvx::ui {

// The glyph of that name at the usual tool bar and menu sizes; a null icon
// for a name this set does not draw.
QIcon drawnGlyph(const QString &name);

} // namespace qvx::ui
