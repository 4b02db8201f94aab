#include "script/QSCanvas.h"

TQSCanvas::~TQSCanvas() = default;

namespace {
QString Box(const QRect& r) {
    return QStringLiteral("%1,%2,%3,%4").arg(r.left()).arg(r.top()).arg(r.right() + 1).arg(r.bottom() + 1);
}
}  // namespace

void TQSRecordingCanvas::SetFont(const TQSFontSpec& font, qint32 color) {
    QString style;
    if (font.Bold) style += u'b';
    if (font.Italic) style += u'i';
    if (font.Underline) style += u'u';
    if (font.Strikeout) style += u's';
    Calls.append(QStringLiteral("font %1 %2 %3 %4")
                     .arg(font.Name)
                     .arg(font.Size)
                     .arg(style.isEmpty() ? QStringLiteral("-") : style)
                     .arg(color));
}

void TQSRecordingCanvas::SetPen(bool visible, qint32 color, int width) {
    Calls.append(visible ? QStringLiteral("pen %1 %2").arg(color).arg(width) : QStringLiteral("pen none"));
}

void TQSRecordingCanvas::SetBrush(qint32 color) { Calls.append(QStringLiteral("brush %1").arg(color)); }

void TQSRecordingCanvas::DrawText(int x, int y, const QString& text, const QRect& clip) {
    Calls.append(QStringLiteral("text %1,%2 \"%3\" clip %4").arg(x).arg(y).arg(text, Box(clip)));
}

void TQSRecordingCanvas::DrawRectangle(const QRect& box, int cornerWidth, int cornerHeight) {
    Calls.append(cornerWidth == 0 && cornerHeight == 0
                     ? QStringLiteral("rect %1").arg(Box(box))
                     : QStringLiteral("roundrect %1 %2x%3").arg(Box(box)).arg(cornerWidth).arg(cornerHeight));
}

void TQSRecordingCanvas::DrawLine(int x1, int y1, int x2, int y2) {
    Calls.append(QStringLiteral("line %1,%2 %3,%4").arg(x1).arg(y1).arg(x2).arg(y2));
}

void TQSRecordingCanvas::DrawPicture(const QRect& box, const QByteArray& picture, bool transparent) {
    Calls.append(QStringLiteral("picture %1 %2 bytes%3")
                     .arg(Box(box))
                     .arg(picture.size())
                     .arg(transparent ? QStringLiteral(" transparent") : QString()));
}
