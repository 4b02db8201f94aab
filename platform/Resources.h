#pragma once
// The program's stock bitmaps and cursors. They are drawn in code on first use (no
// binary resource files), then kept for the rest of the run.
//
// Bitmaps: "MAPFLAG"; the region outlines "P00I00" to "P07I00" (white background, black
// interior, a dark outline); the info icons "ICONINFO", "ICONWARNING", "ICONQUESTION",
// "ICONERROR"; the lock glyphs "UNDEFINED", "UNLOCKED", "LOCKED"; "MINUSSIGN",
// "PLUSSIGN", "ARROWUP", "SPOREARROWUP", "SPOREARROWDN" and "BTNBITMAP".
// Cursors: "Flag" (the map-marking cursor).
#include <QCursor>
#include <QImage>
#include <QPixmap>
#include <QString>
#include <QStringList>

namespace Resources {

// The names of every stock bitmap.
QStringList BitmapNames();
// Names are matched without regard to case.
bool HasBitmap(const QString& name);
// The bitmap as an image (a copy the caller may change). An unknown name raises
// "Resource %s not found".
QImage BitmapImage(const QString& name);
QPixmap Bitmap(const QString& name);

// A stock cursor; an unknown name raises "Resource %s not found".
QCursor LoadCursor(const QString& name);

// The program's cursor table: cursors registered under a number (the map-marking cursor
// is number 5). An unregistered number gives the arrow cursor.
void SetScreenCursor(int id, const QCursor& cursor);
bool HasScreenCursor(int id);
QCursor ScreenCursor(int id);

}  // namespace Resources
