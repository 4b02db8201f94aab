#pragma once
// What the engine draws on, in device pixels: a printer page, a PDF page, a preview or a
// recording for tests.
#include <QByteArray>
#include <QRect>
#include <QString>
#include <QStringList>

#include "script/QSFontSpec.h"

class TQSCanvas {
public:
    virtual ~TQSCanvas();
    // Colours are numbers with red in the lowest byte.
    virtual void SetFont(const TQSFontSpec& font, qint32 color) = 0;
    // A width of 0 with `visible` false draws no outline.
    virtual void SetPen(bool visible, qint32 color, int width) = 0;
    virtual void SetBrush(qint32 color) = 0;
    // The text's cell has its top left at x, y; nothing outside the clip is drawn.
    virtual void DrawText(int x, int y, const QString& text, const QRect& clip) = 0;
    virtual void DrawRectangle(const QRect& box, int cornerWidth, int cornerHeight) = 0;
    virtual void DrawLine(int x1, int y1, int x2, int y2) = 0;
    // The picture (the bytes of a JPEG or BMP file) stretched into the box; transparent, the
    // colour of its bottom-left pixel is left out.
    virtual void DrawPicture(const QRect& box, const QByteArray& picture, bool transparent) = 0;
};

// Keeps every call as a line of text.
class TQSRecordingCanvas : public TQSCanvas {
public:
    void SetFont(const TQSFontSpec& font, qint32 color) override;
    void SetPen(bool visible, qint32 color, int width) override;
    void SetBrush(qint32 color) override;
    void DrawText(int x, int y, const QString& text, const QRect& clip) override;
    void DrawRectangle(const QRect& box, int cornerWidth, int cornerHeight) override;
    void DrawLine(int x1, int y1, int x2, int y2) override;
    void DrawPicture(const QRect& box, const QByteArray& picture, bool transparent) override;
    QStringList Calls;
};
