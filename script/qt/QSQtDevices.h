#pragma once
// The engine's canvas, text measurer and print targets on Qt's painter, font metrics,
// printers and PDF writer.
#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <memory>
#include <optional>
#include <vector>

#include "script/QSCanvas.h"
#include "script/QSPrinter.h"
#include "script/QSText.h"

// Qt's font for the script's description at the given resolution, without hinting so that
// widths scale with the resolution.
QFont QSQtFont(const TQSFontSpec& spec, int dpi);
// Colours with red in the lowest byte.
QColor QSQtColor(qint32 color);

class TQSPainterCanvas : public TQSCanvas {
public:
    // The painter's device resolution sizes the fonts.
    TQSPainterCanvas(QPainter& painter, int dpi) : m_painter(painter), m_dpi(dpi) {}
    void SetFont(const TQSFontSpec& font, qint32 color) override;
    void SetPen(bool visible, qint32 color, int width) override;
    void SetBrush(qint32 color) override;
    void DrawText(int x, int y, const QString& text, const QRect& clip) override;
    void DrawRectangle(const QRect& box, int cornerWidth, int cornerHeight) override;
    void DrawLine(int x1, int y1, int x2, int y2) override;
    // Decoded by Qt; bytes that are no picture draw nothing.
    void DrawPicture(const QRect& box, const QByteArray& picture, bool transparent) override;

private:
    QPainter& m_painter;
    int m_dpi;
    QColor m_textColor;
    // The font set last, as given and as the painter holds it, and its ascent on the device.
    bool m_haveFont = false;
    TQSFontSpec m_fontSpec;
    QFont m_font;
    double m_ascent = 0;
};

// Measures on a fixed high-resolution reference, so every printer and the preview break
// lines alike. The widths of the texts measured since the last preparation began are kept: the
// print run measures what its preparation measured, line by line.
class TQSFontMetricsMeasurer : public TQSTextMeasurer {
public:
    static constexpr int kReferenceDpi = 1200;
    double WidthMm(const TQSFontSpec& font, const QString& text) const override;
    double HeightMm(const TQSFontSpec& font) const override;
    // Kept per character and font: text is shaped whole only to settle a line's end.
    double CharWidthMm(const TQSFontSpec& font, QChar c) const override;
    void Forget() const override;

private:
    struct TMeasuredFont {
        TQSFontSpec Spec;
        QFontMetricsF Metrics;
        QHash<char16_t, double> CharWidths;
        QHash<QString, double> Widths;
    };
    // Making font metrics costs far more than measuring with them: those of the fonts in use
    // are kept (a script has a few; texts in turn use different ones).
    TMeasuredFont& Font(const TQSFontSpec& font) const;
    mutable std::vector<std::unique_ptr<TMeasuredFont>> m_fonts;  // the one used last first
    mutable qsizetype m_keptWidths = 0;
};

// Pages painted on a paint device that a subclass opens.
class TQSPaintTarget : public TQSPrintTarget {
public:
    ~TQSPaintTarget() override;
    void BeginDoc(const QString& title) override;
    void NewPage() override;
    void EndDoc() override;
    void Abort() override;
    TQSCanvas* Canvas() override { return m_canvas.get(); }

protected:
    virtual QPagedPaintDevice& Device() = 0;
    virtual void SetTitle(const QString& title) = 0;
    // Called once the painter has let go of the device: the document is finished.
    virtual void Finished() {}
    // Called before the painter lets go of a dropped document.
    virtual void Dropping() {}
    // Applies a device mode to a paged device's layout.
    static void ApplyMode(QPagedPaintDevice& device, const TQSDeviceMode& mode);

private:
    void ClosePainter();
    std::unique_ptr<QPainter> m_painter;
    std::unique_ptr<TQSPainterCanvas> m_canvas;
};

// The printer of the given index among the system's printers (the default one for an index
// out of range).
class TQSPrinterTarget : public TQSPaintTarget {
public:
    explicit TQSPrinterTarget(int printerIndex);
    // A document still open is dropped before the printer goes.
    ~TQSPrinterTarget() override;
    TQSDeviceMode DeviceMode() const override { return m_mode; }
    void SetDeviceMode(const TQSDeviceMode& mode) override;
    int DpiX() const override { return m_printer.logicalDpiX(); }
    int DpiY() const override { return m_printer.logicalDpiY(); }
    QPoint PhysicalOffset() const override;
    QSizeF PrintableSizeMm() const override;

protected:
    QPagedPaintDevice& Device() override { return m_printer; }
    void SetTitle(const QString& title) override { m_printer.setDocName(title); }
    void Dropping() override { m_printer.abort(); }

private:
    QPrinter m_printer;
    TQSDeviceMode m_mode;
};

// A PDF file at 600 DPI without offset; always available. The document is made in memory and
// the file is written whole when it ends (an older file of the name stays until then); a
// dropped document writes nothing.
class TQSPdfTarget : public TQSPaintTarget {
public:
    explicit TQSPdfTarget(const QString& fileName);
    // A document still open is dropped: nothing is written.
    ~TQSPdfTarget() override;
    TQSDeviceMode DeviceMode() const override { return m_mode; }
    void SetDeviceMode(const TQSDeviceMode& mode) override;
    int DpiX() const override { return m_writer.resolution(); }
    int DpiY() const override { return m_writer.resolution(); }
    QPoint PhysicalOffset() const override { return QPoint(); }
    QSizeF PrintableSizeMm() const override;

protected:
    QPagedPaintDevice& Device() override { return m_writer; }
    void SetTitle(const QString& title) override { m_writer.setTitle(title); }
    void Finished() override;

private:
    QString m_fileName;
    // Made before the writer, which writes into it.
    std::unique_ptr<QBuffer> m_buffer;
    QPdfWriter m_writer;
    TQSDeviceMode m_mode;
};

// The printer data takes the system's printers by index, and the PDF file when a printer
// reports no resolution.
void QSUseQtPrinters(TQSPRNData& data, const QString& pdfFileName);
