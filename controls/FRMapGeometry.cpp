#include "controls/FRMapGeometry.h"

#include <algorithm>
#include <limits>

#include "controls/FRGraphics.h"
#include "controls/FRRIKDecode.h"

namespace {

int ToInt(qint64 v) {
    return int(std::clamp<qint64>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// Integer division rounding toward minus infinity.
qint64 FloorDiv(qint64 a, qint64 b) {
    qint64 q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

// The tiles of one axis that meet 0..size-1: first index and surface positions.
template <class Emit>
void AxisTiles(qint64 origin, qint64 block, qint64 count, qint64 size, Emit emit) {
    qint64 first = std::max<qint64>(0, FloorDiv(-origin, block));
    for (qint64 i = first, p = origin + first * block; i < count && p < size; ++i, p += block) emit(int(i), int(p));
}

}  // namespace

TMapSheet TMapSheet::FromHeader(const TRIKHeader& h) {
    TMapSheet s;
    s.XMin = h.XMin;
    s.YMin = h.YMin;
    s.XMax = h.XMax;
    s.YMax = h.YMax;
    s.CentreX = h.CentreX;
    s.CentreY = h.CentreY;
    s.TileWidthM = h.TileWidthM;
    s.TileHeightM = h.TileHeightM;
    s.TileColumns = h.TileColumns;
    s.TileRows = h.TileRows;
    s.BlockWidth = h.BlockWidth;
    s.BlockHeight = h.BlockHeight;
    s.MetresPerPixel = h.MetresPerPixel;
    return s;
}

void TMapViewGeometry::SetSheet(const TMapSheet& sheet) {
    m_sheet = sheet;
    // A sheet the reader would refuse shows nothing rather than dividing by zero.
    m_active = sheet.MetresPerPixel > 0 && sheet.TileWidthM > 0 && sheet.TileHeightM > 0 && sheet.BlockWidth > 0 &&
        sheet.BlockHeight > 0 && sheet.TileColumns > 0 && sheet.TileRows > 0;
    Recompute();
}

void TMapViewGeometry::ClearSheet() {
    m_sheet = TMapSheet();
    m_active = false;
    Recompute();
}

void TMapViewGeometry::SetSurfaceSize(int width, int height) {
    m_width = std::max(0, width);
    m_height = std::max(0, height);
    Recompute();
}

void TMapViewGeometry::SetCenter(qint32 x, qint32 y) {
    m_cx = x;
    m_cy = y;
    Recompute();
}

TMapPoint TMapViewGeometry::Clamped(qint32 x, qint32 y) const {
    return {std::max(m_sheet.XMin, std::min(x, m_sheet.XMax)), std::max(m_sheet.YMin, std::min(y, m_sheet.YMax))};
}

void TMapViewGeometry::Recompute() {
    if (!m_active) {
        m_left = m_right = m_bottom = m_top = 0;
        return;
    }
    const double s = m_sheet.MetresPerPixel;
    auto span = [s](qint32 centre, int size, qint32& low, qint32& high) {
        // Half the view in whole pixels: the pixel arithmetic of the map keeps integer halves.
        low = Round(double(centre) - double(size / 2) * s);  // NOLINT(bugprone-integer-division)
        high = Round(double(size - 1) * s + double(low));
    };
    span(m_cx, m_width, m_left, m_right);
    span(m_cy, m_height, m_bottom, m_top);
    if (MapNarrowerThanView()) span(m_sheet.CentreX, m_width, m_left, m_right);
    if (MapLowerThanView()) span(m_sheet.CentreY, m_height, m_bottom, m_top);
}

bool TMapViewGeometry::MapNarrowerThanView() const {
    return m_active && qint64(m_right) - m_left >= qint64(m_sheet.TileWidthM) * m_sheet.TileColumns;
}

bool TMapViewGeometry::MapLowerThanView() const {
    return m_active && qint64(m_top) - m_bottom >= qint64(m_sheet.TileHeightM) * m_sheet.TileRows;
}

int TMapViewGeometry::PixelToMapX(int px) const {
    if (!m_active) return -1;
    return ToInt(qint64(Round(px * m_sheet.MetresPerPixel)) + m_left);
}

int TMapViewGeometry::PixelToMapY(int py) const {
    if (!m_active) return -1;
    return ToInt(qint64(m_top) - Round(py * m_sheet.MetresPerPixel));
}

int TMapViewGeometry::MapXToPixel(qint32 x) const {
    if (!m_active || !(m_left < x && x < m_right)) return -1;
    return Round((double(x) - m_left) / m_sheet.MetresPerPixel);
}

int TMapViewGeometry::MapYToPixel(qint32 y) const {
    if (!m_active || !(m_bottom < y && y < m_top)) return -1;
    return Round((double(m_top) - y) / m_sheet.MetresPerPixel);
}

int TMapViewGeometry::OriginX() const {
    if (!m_active) return 0;
    return Round((double(m_sheet.XMin) - m_left) / m_sheet.MetresPerPixel);
}

int TMapViewGeometry::OriginY() const {
    if (!m_active) return 0;
    return Round((double(m_top) - m_sheet.YMax) / m_sheet.MetresPerPixel);
}

std::vector<TMapTilePlace> TMapViewGeometry::VisibleTiles() const {
    std::vector<TMapTilePlace> tiles;
    if (!m_active || m_width == 0 || m_height == 0) return tiles;
    const int ox = OriginX(), oy = OriginY();
    std::vector<std::pair<int, int>> columns;
    AxisTiles(ox, m_sheet.BlockWidth, m_sheet.TileColumns, m_width, [&](int c, int x) { columns.emplace_back(c, x); });
    AxisTiles(oy, m_sheet.BlockHeight, m_sheet.TileRows, m_height, [&](int r, int y) {
        for (const auto& [c, x] : columns) tiles.push_back({m_sheet.TileColumns * r + c, c, r, x, y});
    });
    return tiles;
}

qint64 TMapViewGeometry::HorizontalPosition() const { return qint64(m_cx) - m_sheet.XMin; }

qint64 TMapViewGeometry::VerticalPosition() const { return qint64(m_sheet.YMax) - m_cy; }

qint32 TMapViewGeometry::PageStepX() const { return Round(std::max(1, m_width - 16) * m_sheet.MetresPerPixel); }

qint32 TMapViewGeometry::PageStepY() const { return Round(std::max(1, m_height - 16) * m_sheet.MetresPerPixel); }

bool TMapViewGeometry::DragTarget(int pressX, int pressY, int releaseX, int releaseY, TMapPoint& target) const {
    const qint64 dx = qint64(pressX) - releaseX, dy = qint64(releaseY) - pressY;
    if (dx == 0 && dy == 0) return false;
    const double s = m_sheet.MetresPerPixel;
    target = {ToInt(qint64(m_cx) + Round(double(dx) * s)), ToInt(qint64(m_cy) + Round(double(dy) * s))};
    return true;
}
