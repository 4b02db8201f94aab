#include "script/qt/QSQtDevices.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPageLayout>
#include <QPrinterInfo>
#include <cmath>

#include "platform/AtomicFile.h"

QFont QSQtFont(const TQSFontSpec& spec, int dpi) {
    QFont font(spec.Name.isEmpty() ? QFont().family() : spec.Name);
    font.setPixelSize(qMax(1, int(std::nearbyint(spec.Size * double(dpi) / 72.0))));
    font.setBold(spec.Bold);
    font.setItalic(spec.Italic);
    font.setUnderline(spec.Underline);
    font.setStrikeOut(spec.Strikeout);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(true);
    return font;
}

QColor QSQtColor(qint32 color) {
    const quint32 c = quint32(color);
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

// ---- Canvas ----

void TQSPainterCanvas::SetFont(const TQSFontSpec& font, qint32 color) {
    m_painter.setFont(QSQtFont(font, m_dpi));
    m_textColor = QSQtColor(color);
}

void TQSPainterCanvas::SetPen(bool visible, qint32 color, int width) {
    m_painter.setPen(visible ? QPen(QSQtColor(color), width) : QPen(Qt::NoPen));
}

void TQSPainterCanvas::SetBrush(qint32 color) { m_painter.setBrush(QSQtColor(color)); }

void TQSPainterCanvas::DrawText(int x, int y, const QString& text, const QRect& clip) {
    m_painter.save();
    m_painter.setBackgroundMode(Qt::TransparentMode);
    m_painter.setClipRect(clip);
    m_painter.setPen(m_textColor);
    const QFontMetricsF metrics(m_painter.font(), m_painter.device());
    m_painter.drawText(QPointF(x, y + metrics.ascent()), text);
    m_painter.restore();
}

void TQSPainterCanvas::DrawRectangle(const QRect& box, int cornerWidth, int cornerHeight) {
    if (cornerWidth == 0 && cornerHeight == 0) m_painter.drawRect(box);
    else m_painter.drawRoundedRect(box, cornerWidth / 2.0, cornerHeight / 2.0);
}

void TQSPainterCanvas::DrawLine(int x1, int y1, int x2, int y2) { m_painter.drawLine(x1, y1, x2, y2); }

void TQSPainterCanvas::DrawPicture(const QRect& box, const QByteArray& picture, bool transparent) {
    QImage image = QImage::fromData(picture);
    if (image.isNull() || box.isEmpty()) return;
    if (transparent) {
        // The picture's background is the colour of its bottom-left pixel.
        image = image.convertToFormat(QImage::Format_ARGB32);
        const QRgb background = image.pixel(0, image.height() - 1);
        for (int y = 0; y < image.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                if (row[x] == background) row[x] = qRgba(0, 0, 0, 0);
        }
    }
    m_painter.save();
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform);
    m_painter.drawImage(box, image);
    m_painter.restore();
}

// ---- Measurer ----

const QFontMetricsF& TQSFontMetricsMeasurer::Metrics(const TQSFontSpec& font) const {
    if (!m_spec || !(*m_spec == font)) {
        m_metrics.emplace(QSQtFont(font, kReferenceDpi));
        m_spec = font;
        m_charWidths.clear();
    }
    return *m_metrics;
}

double TQSFontMetricsMeasurer::WidthMm(const TQSFontSpec& font, const QString& text) const {
    return Metrics(font).horizontalAdvance(text) / kReferenceDpi * 25.4;
}

double TQSFontMetricsMeasurer::CharWidthMm(const TQSFontSpec& font, QChar c) const {
    const QFontMetricsF& metrics = Metrics(font);
    const auto it = m_charWidths.constFind(c.unicode());
    if (it != m_charWidths.constEnd()) return *it;
    const double width = metrics.horizontalAdvance(c) / kReferenceDpi * 25.4;
    m_charWidths.insert(c.unicode(), width);
    return width;
}

double TQSFontMetricsMeasurer::HeightMm(const TQSFontSpec& font) const {
    return Metrics(font).height() / kReferenceDpi * 25.4;
}

// ---- Paged devices ----

TQSPaintTarget::~TQSPaintTarget() = default;

void TQSPaintTarget::ApplyMode(QPagedPaintDevice& device, const TQSDeviceMode& mode) {
    QPageSize size;
    if (mode.PaperCode == TQSDeviceMode::kA3) size = QPageSize(QPageSize::A3);
    else if (mode.PaperCode == TQSDeviceMode::kA5) size = QPageSize(QPageSize::A5);
    else if (mode.PaperCode == TQSDeviceMode::kA4) size = QPageSize(QPageSize::A4);
    // The record's width and length hold the page in its orientation; the paper itself is
    // described upright.
    const bool landscape = mode.Orientation == TQSDeviceMode::kLandscape;
    const double w = mode.PaperWidth / 10.0, h = mode.PaperLength / 10.0;
    const QSizeF upright = landscape ? QSizeF(h, w) : QSizeF(w, h);
    if (!size.isValid() || size.size(QPageSize::Millimeter) != upright)
        size = QPageSize(upright, QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
    device.setPageLayout(QPageLayout(size, landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF()));
}

void TQSPaintTarget::BeginDoc(const QString& title) {
    SetTitle(title);
    m_painter = std::make_unique<QPainter>(&Device());
    m_canvas = std::make_unique<TQSPainterCanvas>(*m_painter, DpiY());
}

void TQSPaintTarget::NewPage() { Device().newPage(); }

void TQSPaintTarget::ClosePainter() {
    m_canvas.reset();
    if (m_painter) m_painter->end();
    m_painter.reset();
}

void TQSPaintTarget::EndDoc() {
    const bool open = m_painter != nullptr;
    ClosePainter();
    if (open) Finished();
}

void TQSPaintTarget::Abort() {
    if (m_painter) Dropping();
    ClosePainter();
}

TQSPrinterTarget::TQSPrinterTarget(int printerIndex) : m_printer(QPrinter::HighResolution) {
    const QList<QPrinterInfo> printers = QPrinterInfo::availablePrinters();
    if (printerIndex >= 0 && printerIndex < printers.size())
        m_printer.setPrinterName(printers[printerIndex].printerName());
}

TQSPrinterTarget::~TQSPrinterTarget() { Abort(); }

void TQSPrinterTarget::SetDeviceMode(const TQSDeviceMode& mode) {
    m_mode = mode;
    ApplyMode(m_printer, mode);
    // The painter's origin is the corner of what the printer can print; the engine subtracts
    // that offset itself.
    m_printer.setPageMargins(m_printer.pageLayout().minimumMargins(), QPageLayout::Millimeter);
}

QPoint TQSPrinterTarget::PhysicalOffset() const {
    const QPageLayout layout = m_printer.pageLayout();
    const int dpi = m_printer.resolution();
    const QPoint corner = layout.paintRectPixels(dpi).topLeft() - layout.fullRectPixels(dpi).topLeft();
    return corner;
}

QSizeF TQSPrinterTarget::PrintableSizeMm() const { return m_printer.pageLayout().paintRect(QPageLayout::Millimeter).size(); }

TQSPdfTarget::TQSPdfTarget(const QString& fileName)
    : m_fileName(fileName), m_buffer(std::make_unique<QBuffer>()), m_writer(m_buffer.get()) {
    m_buffer->open(QIODevice::WriteOnly);
    m_writer.setResolution(600);
}

TQSPdfTarget::~TQSPdfTarget() { Abort(); }

void TQSPdfTarget::Finished() {
    const QByteArray document = m_buffer->data();
    m_buffer->buffer().clear();
    m_buffer->seek(0);
    WriteFileAtomically(m_fileName, document);
}

void TQSPdfTarget::SetDeviceMode(const TQSDeviceMode& mode) {
    m_mode = mode;
    ApplyMode(m_writer, mode);
}

QSizeF TQSPdfTarget::PrintableSizeMm() const { return m_writer.pageLayout().fullRect(QPageLayout::Millimeter).size(); }

void QSUseQtPrinters(TQSPRNData& data, const QString& pdfFileName) {
    data.PrinterFactory = [](int index) { return std::make_unique<TQSPrinterTarget>(index); };
    data.FallbackTarget = [pdfFileName] { return std::make_unique<TQSPdfTarget>(pdfFileName); };
}
