#include "controls/FRToolPanel.h"

#include <QMouseEvent>
#include <QPainter>

#include "controls/FRGraphics.h"
#include "controls/FRGuard.h"

TFRToolPanel::TFRToolPanel(QWidget* parent)
    : QWidget(parent), m_headerFont(ArialFont(12, true)), m_textFont(ArialFont(8)) {
    setMouseTracking(true);
    resize(617, 90);
}

void TFRToolPanel::SetGlyph(const QPixmap& glyph) {
    m_glyph = glyph;
    update();
}
void TFRToolPanel::SetHeaderCaption(const QString& caption) {
    m_header = caption;
    update();
}
void TFRToolPanel::SetHeaderFont(const QFont& font) {
    m_headerFont = font;
    update();
}
void TFRToolPanel::SetText(const QStringList& text) {
    m_text = text;
    update();
}
void TFRToolPanel::SetTextFont(const QFont& font) {
    m_textFont = font;
    update();
}
void TFRToolPanel::SetTextMaxWidth(int width) {
    m_textMaxWidth = std::max(0, width);
    update();
}

void TFRToolPanel::SetHot(bool hot) {
    if (hot == m_hot) return;
    m_hot = hot;
    update(ButtonRect().adjusted(-1, -1, 1, 1));
}

void TFRToolPanel::paintEvent(QPaintEvent*) {
    Guarded([this] {
        QPainter p(this);
        const QRect square = ButtonRect();
        // The square: raised, lit while the pointer is over it, sunk while pressed on it.
        const QColor face = ResolveColor(m_hot ? clHighlight : clBtnFace, this);
        p.fillRect(square, m_hot ? face.lighter(170) : face);
        const bool down = m_pressed && m_hot;
        p.setPen(down ? ResolveColor(clBtnShadow, this) : Qt::white);
        p.drawLine(square.topLeft(), square.topRight());
        p.drawLine(square.topLeft(), square.bottomLeft());
        p.setPen(down ? Qt::white : ResolveColor(clBtnShadow, this));
        p.drawLine(square.bottomLeft(), square.bottomRight());
        p.drawLine(square.topRight(), square.bottomRight());
        if (m_hot) {
            p.setPen(ResolveColor(clHighlight, this));
            p.drawRect(square.adjusted(-1, -1, 0, 0));
        }
        if (!m_glyph.isNull()) {
            const QSize size = m_glyph.width() > 46 || m_glyph.height() > 46
                ? m_glyph.size().scaled(46, 46, Qt::KeepAspectRatio)
                : m_glyph.size();
            const QPoint at =
                square.center() - QPoint(size.width() / 2, size.height() / 2) + (down ? QPoint(1, 1) : QPoint());
            p.drawPixmap(QRect(at, size), m_glyph);
        }

        const auto [left, right] = TextColumn(width());
        p.setPen(palette().color(QPalette::WindowText));
        p.setFont(m_headerFont);
        const QFontMetrics hm(m_headerFont);
        p.drawText(QRect(left, 8, right - left, hm.height()), Qt::AlignLeft | Qt::AlignVCenter,
                   hm.elidedText(m_header, Qt::ElideRight, right - left));
        p.setFont(m_textFont);
        const QFontMetrics tm(m_textFont);
        int y = 8 + hm.height() + 4;
        for (const QString& line : m_text) {
            const int lineHeight = LineHeight(tm, line, right - left);
            p.drawText(QRect(left, y, right - left, lineHeight), Qt::AlignLeft | Qt::TextWordWrap, line);
            y += lineHeight;
            if (y >= height()) break;
        }
    });
}

std::pair<int, int> TFRToolPanel::TextColumn(int width) const {
    const int left = ButtonRect().right() + 11;
    const int right = m_textMaxWidth > 0 ? std::min(width - 8, left + m_textMaxWidth) : width - 8;
    return {left, std::max(left + 1, right)};
}

int TFRToolPanel::LineHeight(const QFontMetrics& metrics, const QString& line, int width) {
    const QRect box = metrics.boundingRect(QRect(0, 0, width, 100000), Qt::TextWordWrap, line);
    return std::max(box.height(), metrics.height());
}

int TFRToolPanel::heightForWidth(int width) const {
    const auto [left, right] = TextColumn(width);
    const QFontMetrics hm(m_headerFont);
    const QFontMetrics tm(m_textFont);
    int y = 8 + hm.height() + 4;
    for (const QString& line : m_text) y += LineHeight(tm, line, right - left);
    return std::max(90, y + 8);
}

void TFRToolPanel::mouseMoveEvent(QMouseEvent* event) {
    SetHot(InButton(event->position().toPoint()));
    QWidget::mouseMoveEvent(event);
}

void TFRToolPanel::leaveEvent(QEvent* event) {
    SetHot(false);
    QWidget::leaveEvent(event);
}

void TFRToolPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && InButton(event->position().toPoint())) {
        m_pressed = true;
        SetHot(true);
        update(ButtonRect());
    }
}

void TFRToolPanel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = m_pressed && event->button() == Qt::LeftButton && InButton(event->position().toPoint());
    m_pressed = false;
    update(ButtonRect());
    if (click && OnClick) Guarded([this] { OnClick(this); });
}

void TFRToolPanels::Clear() {
    const auto panels = m_panels;
    m_panels.clear();
    for (const auto& p : panels)
        if (p) delete p.data();
}

#include "moc_FRToolPanel.cpp"
