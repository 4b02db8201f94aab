#include "script/qt/QSQtDevices.h"

#include <algorithm>

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
    m_textColor = QSQtColor(color);
    // Texts in turn often keep their font: it and its ascent are made once for it.
    if (m_haveFont && font == m_fontSpec && m_painter.font() == m_font) return;
    m_painter.setFont(QSQtFont(font, m_dpi));
    m_font = m_painter.font();
    m_ascent = QFontMetricsF(m_painter.font(), m_painter.device()).ascent();
    m_fontSpec = font;
    m_haveFont = true;
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
    // The ascent of the font set last, unless the painter was given another one since.
    const double ascent = m_haveFont && m_painter.font() == m_font
        ? m_ascent
        : QFontMetricsF(m_painter.font(), m_painter.device()).ascent();
    m_painter.drawText(QPointF(x, y + ascent), text);
    m_painter.restore();
}

void TQSPainterCanvas::DrawRectangle(const QRect& box, int cornerWidth, int cornerHeight) {
    if (cornerWidth == 0 && cornerHeight == 0)
        m_painter.drawRect(box);
    else
        m_painter.drawRoundedRect(box, cornerWidth / 2.0, cornerHeight / 2.0);
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

namespace {
// Beyond these the oldest font, or every kept width, goes: memory stays bounded whatever runs.
constexpr size_t kKeptFonts = 16;
constexpr qsizetype kKeptWidths = 200000;
}  // namespace

TQSFontMetricsMeasurer::TMeasuredFont& TQSFontMetricsMeasurer::Font(const TQSFontSpec& font) const {
    if (!m_fonts.empty() && m_fonts.front()->Spec == font) return *m_fonts.front();
    auto it = std::find_if(m_fonts.begin(), m_fonts.end(), [&](const auto& f) { return f->Spec == font; });
    if (it == m_fonts.end()) {
        if (m_fonts.size() >= kKeptFonts) {
            m_keptWidths -= m_fonts.back()->Widths.size();
            m_fonts.pop_back();
        }
        m_fonts.insert(
            m_fonts.begin(),
            std::make_unique<TMeasuredFont>(TMeasuredFont{font, QFontMetricsF(QSQtFont(font, kReferenceDpi)), {}, {}}));
    } else {
        std::rotate(m_fonts.begin(), it, it + 1);
    }
    return *m_fonts.front();
}

double TQSFontMetricsMeasurer::WidthMm(const TQSFontSpec& font, const QString& text) const {
    TMeasuredFont& f = Font(font);
    const auto it = f.Widths.constFind(text);
    if (it != f.Widths.constEnd()) return *it;
    const double width = f.Metrics.horizontalAdvance(text) / kReferenceDpi * 25.4;
    if (m_keptWidths >= kKeptWidths) Forget();
    f.Widths.insert(text, width);
    ++m_keptWidths;
    return width;
}

double TQSFontMetricsMeasurer::CharWidthMm(const TQSFontSpec& font, QChar c) const {
    TMeasuredFont& f = Font(font);
    const auto it = f.CharWidths.constFind(c.unicode());
    if (it != f.CharWidths.constEnd()) return *it;
    const double width = f.Metrics.horizontalAdvance(c) / kReferenceDpi * 25.4;
    f.CharWidths.insert(c.unicode(), width);
    return width;
}

void TQSFontMetricsMeasurer::Forget() const {
    for (const auto& f : m_fonts) f->Widths.clear();
    m_keptWidths = 0;
}

double TQSFontMetricsMeasurer::HeightMm(const TQSFontSpec& font) const {
    return Font(font).Metrics.height() / kReferenceDpi * 25.4;
}

// ---- Paged devices ----

TQSPaintTarget::~TQSPaintTarget() = default;

void TQSPaintTarget::ApplyMode(QPagedPaintDevice& device, const TQSDeviceMode& mode) {
    QPageSize size;
    if (mode.PaperCode == TQSDeviceMode::kA3)
        size = QPageSize(QPageSize::A3);
    else if (mode.PaperCode == TQSDeviceMode::kA5)
        size = QPageSize(QPageSize::A5);
    else if (mode.PaperCode == TQSDeviceMode::kA4)
        size = QPageSize(QPageSize::A4);
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

QSizeF TQSPrinterTarget::PrintableSizeMm() const {
    return m_printer.pageLayout().paintRect(QPageLayout::Millimeter).size();
}

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
