// The program's artwork: toolbar glyphs and tab icons, drawn at run time
// from a few lines and letters or taken from the style. No bitmaps are
// shipped. UI thread only (icons are pixmap-backed).
#pragma once

#include <QIcon>

namespace lorvex {

// The 16 x 16 toolbar icon of a command id; a blank icon for other ids.
QIcon commandIcon(int id);

// Tab icons of the docking bars' pages, by title ("Dir", "DB", "Class",
// "Album", "Search").
QIcon pageIcon(const QString& title);

}  // namespace lorvex
