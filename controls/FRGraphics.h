#pragma once
// What every control of the program draws with: colour numbers, the system colours and the
// fonts the forms are designed in, and the one rounding rule of the pixel arithmetic.
//
// A colour number holds red in its lowest byte, green in the next and blue in the third
// (255 is red, 16711680 blue). A system colour number (clWindow, clBtnFace, ...) stands
// for a role of the widget's palette and follows the desktop's colours.
#include <QColor>
#include <QFont>
#include <QPalette>
#include <QString>

#include "core/MyUtils.h"  // Round

class QWidget;

using TColor = qint64;

// The system colours the controls use, as colour numbers of their own (the high bit set).
constexpr TColor clSystemColor = 0x80000000LL;
constexpr TColor clWindow = clSystemColor | 5;
constexpr TColor clWindowText = clSystemColor | 8;
constexpr TColor clBtnFace = clSystemColor | 15;
constexpr TColor clBtnShadow = clSystemColor | 16;
constexpr TColor clGrayText = clSystemColor | 17;
constexpr TColor clBtnText = clSystemColor | 18;
constexpr TColor clHighlight = clSystemColor | 13;
constexpr TColor clHighlightText = clSystemColor | 14;
constexpr TColor clInfoBk = clSystemColor | 24;
constexpr TColor clInfoText = clSystemColor | 23;

// A plain colour number of its low 24 bits as a colour (anything above is ignored).
QColor ColorFromNumber(TColor number);
// The colour number of a colour (its alpha is dropped).
TColor ColorToNumber(const QColor& color);

bool IsSystemColor(TColor color);
// The palette role a system colour stands for; QPalette::NoRole for any other number.
QPalette::ColorRole SystemColorRole(TColor color);
// A colour number of either kind, system colours taken from the widget's palette (the
// application's palette without a widget).
QColor ResolveColor(TColor color, const QWidget* widget = nullptr);

// Sets the colour a control fills its background with (edits, memos, lists: the base
// role; panels: the window role), keeping the colour when the control is disabled.
void SetControlColor(QWidget* widget, TColor color);

// The fonts the forms are designed in. "Arial" is drawn with the installed Liberation Sans,
// which has its metrics; sizes are points at 96 dots per inch, held as pixels so that
// painted controls keep their pixels.
QString ArialFamily();
QFont ArialFont(int pointSize = 8, bool bold = false);
// Points at 96 dots per inch as pixels, rounded.
int PointsToPixels(int pointSize);
