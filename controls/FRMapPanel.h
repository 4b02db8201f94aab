#pragma once
// TFRMapPanel: shows one land survey raster map sheet at its own resolution (one screen pixel
// is one map pixel), with scroll bars, panning by dragging, conversions between surface pixels
// and RT90 metres, an overlay hook and tag rectangles that tell what lies under the mouse.
//
// Layout: a drawing surface, a vertical scroll bar 16 pixels wide at the right, and a bottom
// strip 16 pixels high with the horizontal scroll bar and a focusable 16 x 16 corner square.
// The surface is shown only while a map is active.
//
// The surface keeps the drawn tiles in a view cache, rebuilt only after SetCenter, a resize or
// an activation; every other repaint draws the cache and then the overlay. Overlays are drawn
// only inside OnPaintLayer: an owner that draws something transient (an ellipse being dragged
// out) keeps it, calls update() and draws it there. Decoded tiles are also kept for a while, so
// panning back over a part already seen reads nothing from the file again.
#include <QHash>
#include <QImage>
#include <QWidget>

#include <functional>
#include <list>

#include "controls/FRMapGeometry.h"
#include "controls/FRRIKMap.h"

class QPainter;
class QScrollBar;
class TFRMapPanel;

using TFRPaintLayerEvent = std::function<void(TFRMapPanel* sender, QPainter& canvas)>;
using TFRTagInfoEvent = std::function<void(TFRMapPanel* sender, int x, int y, const QString& tag, const QString& data)>;
// Mouse events in map metres.
using TFRMapMouseEvent =
    std::function<void(TFRMapPanel* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)>;
using TFRMapMouseMoveEvent =
    std::function<void(TFRMapPanel* sender, Qt::MouseButtons buttons, Qt::KeyboardModifiers shift, int x, int y)>;
using TFRMapNotifyEvent = std::function<void(TFRMapPanel* sender)>;

// The decoded tiles last used, as 32-bit images ready to copy, up to a number of tiles and
// of bytes.
class TFRMapTileCache {
public:
    void SetTileSize(int width, int height);
    int Capacity() const { return m_capacity; }
    int Count() const { return int(m_order.size()); }
    // The tile, now the most recently used; null when it is not kept.
    const QImage* Find(int index);
    // Keeps the tile, forgetting the least recently used one when full.
    const QImage& Insert(int index, QImage image);
    void Clear();

private:
    struct Entry {
        int Index;
        QImage Image;
    };
    std::list<Entry> m_order;  // most recently used first
    QHash<int, std::list<Entry>::iterator> m_byIndex;
    int m_capacity = 64;
};

class TFRMapPanel : public QWidget, private TRIKMapOwner {
    Q_OBJECT
public:
    explicit TFRMapPanel(QWidget* parent = nullptr);
    ~TFRMapPanel() override;
    QSize sizeHint() const override { return QSize(400, 400); }

    // The map component: FileName and Active.
    TRIKMap& RIKMap() { return m_map; }
    const TRIKMap& RIKMap() const { return m_map; }
    TFRMapObjects& MapObjects() { return m_map.MapObjects(); }

    // Panning by dragging; the surface shows the size-all cursor while it is on.
    bool DraggingEnabled() const { return m_draggingEnabled; }
    void SetDraggingEnabled(bool enabled);
    // Keeps the map file open between tile reads.
    bool KeepOpen() const { return m_map.KeepOpen(); }
    void SetKeepOpen(bool keepOpen);

    // Clamps the centre to the map, drops the view cache and repaints.
    void SetCenter(int x, int y);
    // Activates the map if it is not active (its errors reach the caller), then centres on
    // (x, y) without clamping and repaints; if that fails the map is made inactive, silently.
    void ShowPosition(int x, int y);
    int CenterX() const { return m_geometry.CenterX(); }
    int CenterY() const { return m_geometry.CenterY(); }

    // Conversions with the current view; -1 without an active map, and for map points on or
    // beyond the view's edges.
    int PixelToMapX(int px) const;
    int PixelToMapY(int py) const;
    int MapXToPixel(int x) const;
    int MapYToPixel(int y) const;
    const TMapViewGeometry& Geometry() const;

    // The drawing surface (the overlay's canvas while OnPaintLayer runs).
    QWidget* Surface() const { return m_surface; }
    QScrollBar* HorizontalBar() const { return m_hbar; }
    QScrollBar* VerticalBar() const { return m_vbar; }
    QWidget* Corner() const { return m_corner; }

    TFRPaintLayerEvent OnPaintLayer;
    TFRTagInfoEvent OnTagInfo;
    TFRMapMouseEvent OnMouseDown;
    TFRMapMouseMoveEvent OnMouseMove;
    TFRMapMouseEvent OnMouseUp;
    TFRMapNotifyEvent OnDblClick;

    // What the view has done, for diagnostics: whether the view cache holds a picture, how
    // often it was built, how many tiles were read from the file.
    bool HasViewCache() const { return !m_viewCache.isNull(); }
    int ViewCacheBuilds() const { return m_cacheBuilds; }
    int TilesDecoded() const { return m_tilesDecoded; }
    // Forgets the decoded tiles kept for panning back.
    void ClearTileCache() { m_tiles.Clear(); }
    const TFRMapTileCache& TileCache() const { return m_tiles; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    class TSurface;
    class TCorner;
    friend class TSurface;

    // TRIKMapOwner
    void RIKSetScrollRanges(int horizontal, int vertical) override;
    void RIKDropViewCache() override;
    void RIKSetSurfaceVisible(bool visible) override;

    void LayoutChildren();
    void SyncSize() const;
    void DropViewCache();
    void UpdateBars();
    void Scrolled(QScrollBar* bar, int action);
    void ThumbReleased(QScrollBar* bar);
    void PaintSurface(QPainter& painter);
    void BuildViewCache();
    const QImage& TileImage(int index, bool& failed);
    void SurfaceMouse(QMouseEvent* event);
    void SurfaceMouseRelease(QMouseEvent* event);
    void SurfaceMouseMove(QMouseEvent* event);
    void SurfaceDoubleClick(QMouseEvent* event);

    TRIKMap m_map;
    mutable TMapViewGeometry m_geometry;
    bool m_draggingEnabled = false;
    bool m_dragging = false;
    QPoint m_pressPixel;
    QImage m_viewCache;
    TFRMapTileCache m_tiles;
    bool m_reportPending = false;
    int m_cacheBuilds = 0;
    int m_tilesDecoded = 0;
    QWidget* m_surface = nullptr;
    QWidget* m_bottom = nullptr;
    QScrollBar* m_hbar = nullptr;
    QScrollBar* m_vbar = nullptr;
    QWidget* m_corner = nullptr;
};
