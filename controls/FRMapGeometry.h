#pragma once
// The arithmetic of the map view, kept apart from the widgets: the view rectangle in RT90
// metres around a centre, the conversions between surface pixels and map metres, which tiles
// meet the view and where they go, the scroll bars' state and the moves of paging and
// dragging. One screen pixel is one map pixel; there is no zoom.
//
// The tile grid is anchored at the map's own north-west corner, so a tile lands exactly where
// the pixel conversions put its metres, whatever the corner's alignment to the tile size.
#include <QtGlobal>

#include <vector>

struct TRIKHeader;

// What the view needs of a map sheet.
struct TMapSheet {
    qint32 XMin = 0, YMin = 0, XMax = 0, YMax = 0;
    qint32 CentreX = 0, CentreY = 0;
    qint32 TileWidthM = 0, TileHeightM = 0;
    qint32 TileColumns = 0, TileRows = 0;
    qint32 BlockWidth = 0, BlockHeight = 0;
    double MetresPerPixel = 0;

    static TMapSheet FromHeader(const TRIKHeader& header);
};

// One tile that meets the view: its index in the sheet and its top-left on the surface.
struct TMapTilePlace {
    int Index = 0;
    int Column = 0;
    int Row = 0;
    int X = 0;
    int Y = 0;
    bool operator==(const TMapTilePlace&) const = default;
};

// A point in map metres.
struct TMapPoint {
    qint32 X = 0;
    qint32 Y = 0;
    bool operator==(const TMapPoint&) const = default;
};

class TMapViewGeometry {
public:
    // The sheet shown, or none (inactive): every conversion then gives -1.
    void SetSheet(const TMapSheet& sheet);
    void ClearSheet();
    bool Active() const { return m_active; }
    const TMapSheet& Sheet() const { return m_sheet; }

    // The drawing surface's client size in pixels; negative sizes count as 0.
    void SetSurfaceSize(int width, int height);
    int Width() const { return m_width; }
    int Height() const { return m_height; }

    // The centre as set, without clamping.
    void SetCenter(qint32 x, qint32 y);
    qint32 CenterX() const { return m_cx; }
    qint32 CenterY() const { return m_cy; }
    // A point clamped to the sheet: X to XMin..XMax, Y to YMin..YMax.
    TMapPoint Clamped(qint32 x, qint32 y) const;

    // The view rectangle in metres. Recomputed whenever the sheet, the size or the centre
    // changes. On an axis where the whole map fits inside the view the map's own centre
    // stands for the centre, so that the centred picture and the conversions agree.
    qint32 Left() const { return m_left; }
    qint32 Right() const { return m_right; }
    qint32 Bottom() const { return m_bottom; }
    qint32 Top() const { return m_top; }
    bool MapNarrowerThanView() const;
    bool MapLowerThanView() const;

    // px * s + left and top - py * s, rounded; -1 without a sheet.
    int PixelToMapX(int px) const;
    int PixelToMapY(int py) const;
    // The pixel of a map point strictly inside the view; -1 on or beyond an edge or without
    // a sheet.
    int MapXToPixel(qint32 x) const;
    int MapYToPixel(qint32 y) const;

    // The tiles that meet the surface, row by row from the north, each row west to east.
    // Only columns 0..TileColumns-1 and rows 0..TileRows-1 appear.
    std::vector<TMapTilePlace> VisibleTiles() const;
    // The surface position of the map's north-west corner.
    int OriginX() const;
    int OriginY() const;

    // The scroll bars: enabled while the map is wider (higher) than the view; the positions
    // are cx - XMin and YMax - cy.
    bool HorizontalEnabled() const { return m_active && !MapNarrowerThanView(); }
    bool VerticalEnabled() const { return m_active && !MapLowerThanView(); }
    qint64 HorizontalPosition() const;
    qint64 VerticalPosition() const;

    // The metres one page moves: (surface size - 16) pixels, at least one pixel.
    qint32 PageStepX() const;
    qint32 PageStepY() const;
    // The centre after a drag from the press pixel to the release pixel; false when the
    // release is at the press point.
    bool DragTarget(int pressX, int pressY, int releaseX, int releaseY, TMapPoint& target) const;

private:
    void Recompute();
    TMapSheet m_sheet;
    bool m_active = false;
    int m_width = 0, m_height = 0;
    qint32 m_cx = 0, m_cy = 0;
    qint32 m_left = 0, m_right = 0, m_bottom = 0, m_top = 0;
};
