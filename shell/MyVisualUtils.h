#pragma once
// The visual half of the shared routines: the keyboard state, text wrapping by pixel width
// and fitting dialogs to the screen (picture fitting is platform/PictureFit.h).
#include <QRect>
#include <QSize>
#include <QString>

class QTableView;
class QWidget;

class QFontMetrics;
class QPainter;

bool IsCtrlDown();
bool IsShiftDown();
// Tracked from the key events the application receives; False while no window of the
// program has seen the Tab key go down.
bool IsTabDown();
// Takes from Text the first line that fits MaxWidth pixels and puts it in Line.
void GetWrappedLine(const QFontMetrics& metrics, int maxWidth, QString& text, QString& line);
void GetWrappedLine(QPainter& canvas, int maxWidth, QString& text, QString& line);

// Sizes a dialog to its preferred size (Preferred, else its size hint), never below what its
// layout needs nor beyond the available screen area (room left for the window frame), and
// centres it there.
void FitDialogToScreen(QWidget* dialog, const QRect& available, QSize preferred = QSize());
// The same on the screen the dialog will show on.
void FitDialogToScreen(QWidget* dialog, QSize preferred = QSize());

// Sizes the columns of a table view to their texts, the last column taking the room that is
// left, and keeps them so as the model changes (reset, rows added or changed) and as the view
// gets its font and style. Each column is as wide as its header and its widest cell, measured
// on the cells with the longest texts: a table of thousands of rows sizes in a few
// milliseconds, where measuring each cell at every change of the view cost far more.
void FitColumnsToTexts(QTableView* view);
