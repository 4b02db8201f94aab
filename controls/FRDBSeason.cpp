#include "controls/FRDBSeason.h"

#include <QKeyEvent>
#include <algorithm>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>

#include "controls/FRGuard.h"

TFRDBSeason::TFRDBSeason(QWidget* parent) : QWidget(parent) {
    m_levels.fill(-1);
    m_captionFont = ArialFont(8, true);
    m_captionFont.setWeight(QFont::Black);
    m_letterFont = ArialFont(8);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    resize(240, 120);
    m_link.OnDataChange = [this] { DataChange(); };
    m_link.OnUpdateData = [this] { UpdateData(); };
}

TFRDBSeason::~TFRDBSeason() {
    m_link.OnDataChange = nullptr;
    m_link.OnUpdateData = nullptr;
}

void TFRDBSeason::SetBackgroundColor(TColor color) {
    m_backgroundColor = color;
    update();
}
void TFRDBSeason::SetFrameColor(TColor color) {
    m_frameColor = color;
    update();
}
void TFRDBSeason::SetHighColor(TColor color) {
    m_highColor = color;
    update();
}
void TFRDBSeason::SetLowColor(TColor color) {
    m_lowColor = color;
    update();
}
void TFRDBSeason::SetCaptionHeight(int height) {
    m_captionHeight = height;
    update();
}
void TFRDBSeason::SetGraphMargin(int margin) {
    m_graphMargin = margin;
    update();
}
void TFRDBSeason::SetMonthLetters(const QString& letters) {
    m_monthLetters = letters;
    update();
}
void TFRDBSeason::SetCaption(const QString& caption) {
    m_caption = caption;
    update();
}
void TFRDBSeason::SetCaptionFont(const QFont& font) {
    m_captionFont = font;
    update();
}
void TFRDBSeason::SetLetterFont(const QFont& font) {
    m_letterFont = font;
    update();
}

// ---- The field ----

void TFRDBSeason::DataChange() {
    m_levels.fill(-1);
    m_hasData = false;
    if (m_link.Active()) {
        const QString text = m_link.AsString();
        if (text.size() == MonthCount) {
            // A character that is no digit shows as level 0; the stored text stays as it is
            // until the user changes a level.
            for (int i = 0; i < MonthCount; ++i) {
                const char16_t c = text.at(i).unicode();
                m_levels[i] = (c >= u'0' && c <= u'9') ? c - u'0' : 0;
            }
            m_hasData = true;
        }
        // In edit state a season can be drawn from nothing.
        if (m_link.Editing() && m_levels[0] == -1) {
            m_levels.fill(0);
            m_hasData = true;
        }
    }
    if (!m_hasData || !m_link.Editing()) SetIdle();
    update();
}

QString TFRDBSeason::SeasonText() const {
    if (!m_hasData) return QString();
    QString text;
    for (int level : m_levels) text += QChar(u'0' + std::clamp(level, 0, MaxLevel));
    return text;
}

void TFRDBSeason::UpdateData() {
    if (m_hasData) m_link.SetAsString(SeasonText());
}

// ---- Geometry ----

QRect TFRDBSeason::GraphRect() const {
    return QRect(QPoint(m_graphMargin, m_captionHeight + m_graphMargin),
                 QPoint(width() - m_graphMargin - 1, height() - m_graphMargin - 1));
}

int TFRDBSeason::MonthAt(int x) const {
    const QRect g = GraphRect();
    const int w = g.right() - g.left();
    if (w <= 0) return -1;
    // Trunc((X - left) / (width / 12)), in whole numbers so that a column edge is exact.
    const long long n = static_cast<long long>(x - g.left()) * MonthCount;
    return static_cast<int>(n / w);  // C++ division truncates toward zero
}

int TFRDBSeason::LevelAt(int y) const {
    const QRect g = GraphRect();
    const int h = g.bottom() - g.top();
    if (h <= 0) return 0;
    // The product first: a tie such as 9 / 18 stays an exact half and goes to the even level.
    const double level = static_cast<double>(g.bottom() - y) * MaxLevel / h;
    if (level <= 0) return 0;
    if (level >= MaxLevel) return MaxLevel;
    return Round(level);
}

QRect TFRDBSeason::ColumnRect(int month) const {
    const QRect g = GraphRect();
    const int w = g.right() - g.left();
    // Column i holds the pixels x with Trunc((x - left) * 12 / w) = i.
    const int x0 = g.left() + (month * w + MonthCount - 1) / MonthCount;
    const int x1 = g.left() + ((month + 1) * w + MonthCount - 1) / MonthCount;
    return QRect(x0, g.top(), std::max(0, x1 - x0), g.bottom() - g.top() + 1);
}

QRect TFRDBSeason::BarRect(int month) const {
    const int level = m_levels.at(month);
    if (level < 0) return QRect();
    const QRect g = GraphRect();
    const QRect c = ColumnRect(month);
    const int top = g.bottom() - Round(static_cast<double>(level) * (g.bottom() - g.top()) / MaxLevel);
    const int inset = c.width() > 6 ? 2 : 0;
    return QRect(QPoint(c.left() + inset, top), QPoint(c.right() - inset, g.bottom()));
}

QRect TFRDBSeason::GripRect(int month) const {
    if (month < 0 || month >= MonthCount || m_levels.at(month) < 0) return QRect();
    const QRect bar = BarRect(month);
    const QRect c = ColumnRect(month);
    return QRect(c.left(), bar.top() - 3, c.width(), 7);
}

// ---- Mouse and keys ----

void TFRDBSeason::SetIdle() {
    if (m_dragState != TDragState::Idle) unsetCursor();
    m_dragState = TDragState::Idle;
    m_dragMonth = -1;
}

void TFRDBSeason::mouseMoveEvent(QMouseEvent* event) {
    Guarded([&] {
        if (!m_link.Editing() || !m_hasData) {
            SetIdle();
            return;
        }
        const QPoint pos = event->position().toPoint();
        if (m_dragState == TDragState::Dragging) {
            const int level = LevelAt(pos.y());
            if (level == m_levels[m_dragMonth]) return;
            if (event->modifiers() & Qt::ControlModifier)
                m_levels.fill(level);
            else
                m_levels[m_dragMonth] = level;
            m_link.SetModified();
            update();
            return;
        }
        const int month = MonthAt(pos.x());
        if (month >= 0 && month < MonthCount && GripRect(month).contains(pos)) {
            setCursor(Qt::SizeVerCursor);
            m_dragState = TDragState::AtGrip;
            m_dragMonth = month;
        } else {
            SetIdle();
        }
    });
}

void TFRDBSeason::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    Guarded([&] {
        setFocus(Qt::MouseFocusReason);
        if (m_dragState == TDragState::AtGrip && m_link.Editing() && m_hasData) m_dragState = TDragState::Dragging;
    });
}

void TFRDBSeason::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    SetIdle();
}

void TFRDBSeason::keyPressEvent(QKeyEvent* event) {
    Guarded([this] { m_link.Edit(); });
    update();
    QWidget::keyPressEvent(event);
}

void TFRDBSeason::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void TFRDBSeason::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

void TFRDBSeason::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    update();
}

void TFRDBSeason::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (m_dragState == TDragState::AtGrip) SetIdle();
    update();
}

// ---- Painting ----

void TFRDBSeason::paintEvent(QPaintEvent*) {
    Guarded([this] {
        QPainter p(this);
        const QColor frame = ColorFromNumber(m_frameColor);
        p.fillRect(rect(), ColorFromNumber(m_backgroundColor));
        p.setPen(frame);
        p.drawRect(rect().adjusted(0, 0, -1, -1));

        const QRect caption(0, 0, width(), m_captionHeight);
        p.fillRect(caption, frame);
        p.setFont(m_captionFont);
        p.setPen(Qt::white);
        p.drawText(caption, Qt::AlignCenter, m_caption);

        const QRect g = GraphRect();
        // The bars share the two colours by height: low at the base, high at the top.
        QLinearGradient shade(0, g.bottom(), 0, g.top());
        shade.setColorAt(0, ColorFromNumber(m_lowColor));
        shade.setColorAt(1, ColorFromNumber(m_highColor));
        for (int m = 0; m < MonthCount; ++m) {
            const QRect bar = BarRect(m);
            if (bar.isValid()) p.fillRect(bar, shade);
        }

        // The letters stand at the foot of their columns, black, and white where a bar lies
        // behind them.
        p.setFont(m_letterFont);
        const int letterHeight = QFontMetrics(m_letterFont).height();
        for (int m = 0; m < MonthCount && m < m_monthLetters.size(); ++m) {
            const QRect c = ColumnRect(m);
            const QRect box(c.left(), g.bottom() - 1 - letterHeight, c.width(), letterHeight);
            const QRect bar = BarRect(m);
            p.save();
            QRegion plain(box);
            if (bar.isValid()) plain -= QRegion(bar);
            p.setClipRegion(plain);
            p.setPen(Qt::black);
            p.drawText(box, Qt::AlignHCenter | Qt::AlignBottom, m_monthLetters.mid(m, 1));
            if (bar.isValid()) {
                p.setClipRect(box.intersected(bar));
                p.setPen(Qt::white);
                p.drawText(box, Qt::AlignHCenter | Qt::AlignBottom, m_monthLetters.mid(m, 1));
            }
            p.restore();
        }

        QPen base(frame, 3);
        base.setCapStyle(Qt::FlatCap);
        p.setPen(base);
        p.drawLine(QPointF(g.left(), g.bottom() + 0.5), QPointF(g.right() + 1, g.bottom() + 0.5));

        if (hasFocus()) {
            // A dotted rectangle that shows on the caption strip and on the background alike.
            p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            QPen dots(Qt::white, 1, Qt::DotLine);
            p.setPen(dots);
            p.setBrush(Qt::NoBrush);
            p.drawRect(rect().adjusted(4, 4, -5, -5));
        }
    });
}

#include "moc_FRDBSeason.cpp"
