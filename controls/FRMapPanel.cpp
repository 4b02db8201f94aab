#include "controls/FRMapPanel.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>

#include "controls/FRGraphics.h"
#include "controls/FRGuard.h"

namespace {

constexpr int kBar = 16;  // scroll bar thickness and the corner square's side

// Tiles kept for panning back: room for a whole large view and the way back, within a
// memory budget that stays small for big blocks.
constexpr qint64 kTileBudgetBytes = 32 * 1024 * 1024;
constexpr int kMinTiles = 16;
constexpr int kMaxTiles = 4096;

int ToBarValue(qint64 v) {
    return int(std::clamp<qint64>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// The pixel under a mouse event: the whole pixel the point lies in.
QPoint EventPixel(const QMouseEvent* event) {
    const QPointF p = event->position();
    return QPoint(int(std::floor(p.x())), int(std::floor(p.y())));
}

// Left <= x < Right and Top <= y < Bottom; an empty or inverted rectangle holds nothing.
bool TagContains(const QRect& r, int x, int y) {
    return qint64(r.left()) <= x && x < qint64(r.left()) + r.width() && qint64(r.top()) <= y &&
        y < qint64(r.top()) + r.height();
}

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

// ---- tile cache ----

void TFRMapTileCache::SetTileSize(int width, int height) {
    const qint64 bytes = std::max<qint64>(1, qint64(width) * height * 4);
    m_capacity = int(std::clamp<qint64>(kTileBudgetBytes / bytes, kMinTiles, kMaxTiles));
    while (int(m_order.size()) > m_capacity) {
        m_byIndex.remove(m_order.back().Index);
        m_order.pop_back();
    }
}

const QImage* TFRMapTileCache::Find(int index) {
    const auto it = m_byIndex.constFind(index);
    if (it == m_byIndex.constEnd()) return nullptr;
    m_order.splice(m_order.begin(), m_order, it.value());
    return &m_order.front().Image;
}

const QImage& TFRMapTileCache::Insert(int index, QImage image) {
    const auto it = m_byIndex.constFind(index);
    if (it != m_byIndex.constEnd()) {
        m_order.erase(it.value());
        m_byIndex.remove(index);
    }
    while (int(m_order.size()) >= m_capacity && !m_order.empty()) {
        m_byIndex.remove(m_order.back().Index);
        m_order.pop_back();
    }
    m_order.push_front({index, std::move(image)});
    m_byIndex.insert(index, m_order.begin());
    return m_order.front().Image;
}

void TFRMapTileCache::Clear() {
    m_order.clear();
    m_byIndex.clear();
}

// ---- the drawing surface and the corner square ----

class TFRMapPanel::TSurface : public QWidget {
public:
    explicit TSurface(TFRMapPanel* panel) : QWidget(panel), m_panel(panel) {
        // Not marked opaque: a repaint asked of the panel then repaints the surface too.
        setMouseTracking(true);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        Guarded([&] { m_panel->PaintSurface(painter); });
    }
    void mousePressEvent(QMouseEvent* e) override {
        Guarded([&] { m_panel->SurfaceMouse(e); });
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        Guarded([&] { m_panel->SurfaceMouseRelease(e); });
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        Guarded([&] { m_panel->SurfaceMouseMove(e); });
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override {
        Guarded([&] { m_panel->SurfaceDoubleClick(e); });
    }

private:
    TFRMapPanel* m_panel;
};

// The square at the bottom right: it takes the keyboard focus after a scroll action, so that
// the focus leaves whatever edit had it and shows where it went.
class TFRMapPanel::TCorner : public QWidget {
public:
    explicit TCorner(QWidget* parent) : QWidget(parent) { setFocusPolicy(Qt::StrongFocus); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), ResolveColor(clBtnFace, this));
        if (hasFocus()) {
            QStyleOptionFocusRect option;
            option.initFrom(this);
            option.rect = rect().adjusted(2, 2, -2, -2);
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &p, this);
        }
    }
};

// ---- panel ----

TFRMapPanel::TFRMapPanel(QWidget* parent) : QWidget(parent), m_map(this) {
    setAutoFillBackground(true);
    m_surface = new TSurface(this);
    m_surface->setObjectName(QStringLiteral("pbMap"));
    m_surface->hide();
    m_vbar = new QScrollBar(Qt::Vertical, this);
    m_vbar->setObjectName(QStringLiteral("sbVertical"));
    m_bottom = new QWidget(this);
    m_bottom->setObjectName(QStringLiteral("panelBottom"));
    m_hbar = new QScrollBar(Qt::Horizontal, m_bottom);
    m_hbar->setObjectName(QStringLiteral("sbHorizontal"));
    m_corner = new TCorner(m_bottom);
    m_corner->setObjectName(QStringLiteral("panelCorner"));
    for (QScrollBar* bar : {m_hbar, m_vbar}) {
        // Only page steps and a released thumb move the view.
        bar->setTracking(false);
        bar->setEnabled(false);
        connect(bar, &QAbstractSlider::actionTriggered, this,
                [this, bar](int action) { Guarded([&] { Scrolled(bar, action); }); });
        connect(bar, &QAbstractSlider::sliderReleased, this, [this, bar] { Guarded([&] { ThumbReleased(bar); }); });
    }
    resize(400, 400);
    LayoutChildren();
}

TFRMapPanel::~TFRMapPanel() = default;

void TFRMapPanel::LayoutChildren() {
    const int w = width(), h = height();
    const int sw = std::max(0, w - kBar), sh = std::max(0, h - kBar);
    m_surface->setGeometry(0, 0, sw, sh);
    m_vbar->setGeometry(sw, 0, kBar, sh);
    m_bottom->setGeometry(0, sh, w, kBar);
    m_hbar->setGeometry(0, 0, sw, kBar);
    m_corner->setGeometry(sw, 0, kBar, kBar);
}

void TFRMapPanel::SyncSize() const {
    // The size follows the panel at once, before any resize event or paint, so conversions
    // made right after a resize already use it.
    const int sw = std::max(0, width() - kBar), sh = std::max(0, height() - kBar);
    if (sw != m_geometry.Width() || sh != m_geometry.Height()) m_geometry.SetSurfaceSize(sw, sh);
}

const TMapViewGeometry& TFRMapPanel::Geometry() const {
    SyncSize();
    return m_geometry;
}

void TFRMapPanel::resizeEvent(QResizeEvent*) {
    Guarded([this] {
        LayoutChildren();
        SyncSize();
        DropViewCache();
        UpdateBars();
    });
}

void TFRMapPanel::SetDraggingEnabled(bool enabled) {
    m_draggingEnabled = enabled;
    if (!enabled) m_dragging = false;
    if (enabled)
        m_surface->setCursor(Qt::SizeAllCursor);
    else
        m_surface->unsetCursor();
}

void TFRMapPanel::SetKeepOpen(bool keepOpen) { m_map.SetKeepOpen(keepOpen); }

void TFRMapPanel::SetCenter(int x, int y) {
    const int cx = std::max(m_map.XMin(), std::min(x, m_map.XMax()));
    const int cy = std::max(m_map.YMin(), std::min(y, m_map.YMax()));
    SyncSize();
    m_geometry.SetCenter(cx, cy);
    DropViewCache();
    UpdateBars();
    m_surface->update();
}

void TFRMapPanel::ShowPosition(int x, int y) {
    if (!m_map.Active()) m_map.SetActive(true);
    try {
        SyncSize();
        m_geometry.SetCenter(x, y);
        DropViewCache();
        UpdateBars();
        m_surface->update();
    } catch (...) {
        try {
            m_map.SetActive(false);
        } catch (...) {}
    }
}

int TFRMapPanel::PixelToMapX(int px) const { return Geometry().PixelToMapX(px); }
int TFRMapPanel::PixelToMapY(int py) const { return Geometry().PixelToMapY(py); }
int TFRMapPanel::MapXToPixel(int x) const { return Geometry().MapXToPixel(x); }
int TFRMapPanel::MapYToPixel(int y) const { return Geometry().MapYToPixel(y); }

void TFRMapPanel::DropViewCache() { m_viewCache = QImage(); }

void TFRMapPanel::RIKSetScrollRanges(int horizontal, int vertical) {
    const QSignalBlocker bh(m_hbar), bv(m_vbar);
    m_hbar->setRange(0, horizontal);
    m_vbar->setRange(0, vertical);
}

void TFRMapPanel::RIKDropViewCache() {
    // The map was activated or made inactive: its tiles, and perhaps its file, are new.
    DropViewCache();
    m_tiles.Clear();
    if (!m_map.Active()) m_geometry.ClearSheet();
}

void TFRMapPanel::RIKSetSurfaceVisible(bool visible) {
    if (visible) {
        m_geometry.SetSheet(TMapSheet::FromHeader(m_map.Header()));
        m_tiles.SetTileSize(m_map.BlockWidth(), m_map.BlockHeight());
        SyncSize();
        m_geometry.SetCenter(m_map.CentreX(), m_map.CentreY());
    } else {
        m_dragging = false;
    }
    UpdateBars();
    m_surface->setVisible(visible);
}

void TFRMapPanel::UpdateBars() {
    const QSignalBlocker bh(m_hbar), bv(m_vbar);
    const TMapViewGeometry& g = m_geometry;
    m_hbar->setEnabled(g.HorizontalEnabled());
    m_vbar->setEnabled(g.VerticalEnabled());
    if (!g.Active()) return;
    m_hbar->setPageStep(std::max(1, g.Right() - g.Left()));
    m_vbar->setPageStep(std::max(1, g.Top() - g.Bottom()));
    m_hbar->setValue(ToBarValue(g.HorizontalPosition()));
    m_vbar->setValue(ToBarValue(g.VerticalPosition()));
}

void TFRMapPanel::Scrolled(QScrollBar* bar, int action) {
    const bool vertical = bar == m_vbar;
    if (!m_map.Active() || action == QAbstractSlider::SliderMove) return;
    SyncSize();
    const int cx = m_geometry.CenterX(), cy = m_geometry.CenterY();
    if (action == QAbstractSlider::SliderPageStepSub || action == QAbstractSlider::SliderPageStepAdd) {
        const bool add = action == QAbstractSlider::SliderPageStepAdd;
        // The vertical bar counts southwards from the north edge: page up goes north.
        if (vertical)
            SetCenter(cx,
                      int(std::clamp<qint64>(qint64(cy) + (add ? -1 : 1) * qint64(m_geometry.PageStepY()),
                                             std::numeric_limits<int>::min(), std::numeric_limits<int>::max())));
        else
            SetCenter(int(std::clamp<qint64>(qint64(cx) + (add ? 1 : -1) * qint64(m_geometry.PageStepX()),
                                             std::numeric_limits<int>::min(), std::numeric_limits<int>::max())),
                      cy);
        bar->setSliderPosition(bar->value());
        m_corner->setFocus(Qt::OtherFocusReason);
        return;
    }
    // Line steps and jumps to an end do nothing: the thumb stays where the view is.
    bar->setSliderPosition(bar->value());
}

void TFRMapPanel::ThumbReleased(QScrollBar* bar) {
    if (!m_map.Active()) return;
    SyncSize();
    const qint64 position = bar->sliderPosition();
    if (bar == m_vbar)
        SetCenter(m_geometry.CenterX(), ToBarValue(qint64(m_map.YMax()) - position));
    else
        SetCenter(ToBarValue(qint64(m_map.XMin()) + position), m_geometry.CenterY());
    m_corner->setFocus(Qt::OtherFocusReason);
}

const QImage& TFRMapPanel::TileImage(int index, bool& failed) {
    static const QImage none;
    if (const QImage* kept = m_tiles.Find(index)) return *kept;
    if (!m_map.DecodeTile(index)) return none;
    ++m_tilesDecoded;
    if (m_map.TileFailed()) failed = true;
    return m_tiles.Insert(index, m_map.TileBitmap().convertToFormat(QImage::Format_RGB32));
}

void TFRMapPanel::BuildViewCache() {
    const int w = m_geometry.Width(), h = m_geometry.Height();
    WaitCursor wait;
    QImage cache(w, h, QImage::Format_RGB32);
    cache.fill(Qt::white);
    bool failed = false;
    {
        QPainter painter(&cache);
        try {
            for (const TMapTilePlace& t : m_geometry.VisibleTiles())
                painter.drawImage(QPoint(t.X, t.Y), TileImage(t.Index, failed));
        } catch (...) {
            // What was drawn is kept, so a fault is not raised again at every repaint.
            painter.end();
            m_viewCache = cache;
            throw;
        }
    }
    m_viewCache = cache;
    ++m_cacheBuilds;
    if (failed && !m_reportPending) {
        // A message box may not open inside a paint: the failed tiles are told once the
        // paint has returned.
        m_reportPending = true;
        QTimer::singleShot(0, this, [this] {
            m_reportPending = false;
            Guarded([this] { m_map.ReportFailedTiles(); });
        });
    }
}

void TFRMapPanel::PaintSurface(QPainter& painter) {
    if (!m_map.Active()) {
        painter.fillRect(m_surface->rect(), Qt::white);
        return;
    }
    m_map.MapObjects().Clear();
    SyncSize();
    UpdateBars();
    const QSize size(m_geometry.Width(), m_geometry.Height());
    if (size.isEmpty()) return;
    if (m_viewCache.size() != size) BuildViewCache();
    painter.drawImage(QPoint(0, 0), m_viewCache);
    if (OnPaintLayer) {
        painter.save();
        Guarded([&] { OnPaintLayer(this, painter); });
        painter.restore();
    }
}

void TFRMapPanel::SurfaceMouse(QMouseEvent* event) {
    if (!m_map.Active()) return;
    const QPoint p = EventPixel(event);
    const int x = PixelToMapX(p.x()), y = PixelToMapY(p.y());
    if (m_draggingEnabled) {
        m_dragging = true;
        m_pressPixel = p;
    }
    if (OnMouseDown) OnMouseDown(this, event->button(), event->modifiers(), x, y);
}

void TFRMapPanel::SurfaceMouseRelease(QMouseEvent* event) {
    if (!m_map.Active()) {
        m_dragging = false;
        return;
    }
    const QPoint p = EventPixel(event);
    // The owner hears of the release in the view it pressed in; the view moves afterwards.
    if (OnMouseUp)
        Guarded([&] { OnMouseUp(this, event->button(), event->modifiers(), PixelToMapX(p.x()), PixelToMapY(p.y())); });
    if (!m_dragging) return;
    m_dragging = false;
    SyncSize();
    TMapPoint target;
    if (m_geometry.DragTarget(m_pressPixel.x(), m_pressPixel.y(), p.x(), p.y(), target)) SetCenter(target.X, target.Y);
}

void TFRMapPanel::SurfaceMouseMove(QMouseEvent* event) {
    if (!m_map.Active()) return;
    const QPoint p = EventPixel(event);
    if (OnMouseMove)
        Guarded(
            [&] { OnMouseMove(this, event->buttons(), event->modifiers(), PixelToMapX(p.x()), PixelToMapY(p.y())); });
    TFRMapObjects& tags = m_map.MapObjects();
    if (tags.Count() == 0 || !OnTagInfo) return;
    for (int i = 0; i < tags.Count(); ++i)
        if (TagContains(tags[i].Rect, p.x(), p.y())) {
            OnTagInfo(this, p.x(), p.y(), tags[i].Tag, tags[i].Data);
            return;
        }
    OnTagInfo(this, p.x(), p.y(), QString(), QString());
}

void TFRMapPanel::SurfaceDoubleClick(QMouseEvent* event) {
    if (!m_map.Active()) return;
    if (OnDblClick) Guarded([&] { OnDblClick(this); });
    // The second press of a double click is a press like any other.
    SurfaceMouse(event);
}
