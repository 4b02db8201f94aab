#pragma once
// TRIKMap: one land survey raster map file (*.rik). It reads the header, decodes the tiles
// the map view asks for and copies them onto the view's painter. The map view owns one; the
// map import uses a free-standing one only to read a header.
#include <QImage>
#include <QList>
#include <QRect>
#include <QString>

#include <memory>
#include <vector>

#include "controls/FRRIKDecode.h"

class QFile;
class QPainter;

// What the map knows of the panel that owns it.
class TRIKMapOwner {
public:
    virtual ~TRIKMapOwner() = default;
    // The scroll bars' ranges, 0..horizontal and 0..vertical, set while the header is read.
    virtual void RIKSetScrollRanges(int horizontal, int vertical) = 0;
    virtual void RIKDropViewCache() = 0;
    virtual void RIKSetSurfaceVisible(bool visible) = 0;
};

// A tag rectangle of the map view: a pixel rectangle on the drawing surface (QRect semantics:
// x from left() up to but not including left() + width()) with its Tag and Data.
struct TFRMapObject {
    QRect Rect;
    QString Tag;
    QString Data;
};

// The map view's tag rectangles, in the order added.
class TFRMapObjects {
public:
    void Add(const QRect& rect, const QString& tag, const QString& data) { m_items.push_back({rect, tag, data}); }
    void Clear() { m_items.clear(); }
    int Count() const { return int(m_items.size()); }
    const TFRMapObject& operator[](int i) const { return m_items[size_t(i)]; }

private:
    std::vector<TFRMapObject> m_items;
};

class TRIKMap {
public:
    explicit TRIKMap(TRIKMapOwner* owner = nullptr);
    ~TRIKMap();
    TRIKMap(const TRIKMap&) = delete;
    TRIKMap& operator=(const TRIKMap&) = delete;

    QString FileName() const { return m_fileName; }
    // A different name while active first makes the map inactive.
    void SetFileName(const QString& fileName);

    bool Active() const { return m_active; }
    // True opens the file and reads its header (errors reach the caller, the map stays
    // inactive); False forgets the header and closes the file.
    void SetActive(bool active);

    // The owning panel's KeepOpen: the file stays open between tiles. Changing it while
    // active opens or closes the file.
    bool KeepOpen() const { return m_keepOpen; }
    void SetKeepOpen(bool keepOpen);

    // Raises "Filen ... kunde inte öppnas." when the file cannot be opened.
    void OpenFile();
    void CloseFile();
    bool FileOpen() const;

    // Reads the header from the open file. Errors raise "Invalid mapfile. Message: " and the
    // cause. Closes the file at the end unless the owner keeps it open; without an owner the
    // file stays open for the caller to close.
    void ReadHeader();

    qint64 TileCount() const { return m_header.TileCount(); }

    // Decodes tile index and copies the tile bitmap onto canvas with its top-left at (x, y).
    // Does nothing while inactive or for an index outside the map. A tile that cannot be read
    // is marked and noted for ReportFailedTiles; nothing is shown from inside a paint.
    void DrawTile(QPainter& canvas, int index, int x, int y);
    // Decodes tile index into the tile bitmap without drawing it; false when inactive or the
    // index is outside the map.
    bool DecodeTile(int index);
    const TRIKTile& Tile() const { return m_tile; }
    // Whether the tile last decoded could not be read whole: every attempt failed, or its
    // data ended before the tile was full (a sheet cut off or damaged). Such a tile is noted
    // for ReportFailedTiles.
    bool TileFailed() const { return m_tileFailed; }
    const QImage& TileBitmap() const { return m_bitmap; }

    // The tiles that failed since the last call, in the order drawn.
    QList<int> TakeFailedTiles();
    // After a paint: shows "Utanför området!" once if any tile failed, and forgets them.
    void ReportFailedTiles();

    const TRIKHeader& Header() const { return m_header; }
    // The title as text (8-bit Windows text).
    QString Title() const;
    qint32 YMin() const { return m_header.YMin; }
    qint32 XMin() const { return m_header.XMin; }
    qint32 YMax() const { return m_header.YMax; }
    qint32 XMax() const { return m_header.XMax; }
    qint32 ScaleDenominator() const { return m_header.ScaleDenominator; }
    double MetresPerPixel() const { return m_header.MetresPerPixel; }
    qint32 BlockWidth() const { return m_header.BlockWidth; }
    qint32 BlockHeight() const { return m_header.BlockHeight; }
    qint32 TileColumns() const { return m_header.TileColumns; }
    qint32 TileRows() const { return m_header.TileRows; }
    qint32 TileWidthM() const { return m_header.TileWidthM; }
    qint32 TileHeightM() const { return m_header.TileHeightM; }
    qint32 CentreX() const { return m_header.CentreX; }
    qint32 CentreY() const { return m_header.CentreY; }
    qint32 CodedRowLength() const { return m_header.CodedRowLength; }
    TRIKCoding Coding() const { return m_header.Coding; }

    TFRMapObjects& MapObjects() { return m_mapObjects; }

private:
    bool ReadTileBytes(int index, QByteArray& bytes);

    TRIKMapOwner* m_owner;
    QString m_fileName;
    bool m_active = false;
    bool m_keepOpen = false;
    std::unique_ptr<QFile> m_file;
    TRIKHeader m_header;
    TRIKTileDecoder m_decoder;
    TRIKTile m_tile;
    QImage m_bitmap;
    QByteArray m_tileBytes;
    QList<int> m_failed;
    bool m_tileFailed = false;
    TFRMapObjects m_mapObjects;
};

// Paints a decoded tile into a 24-bit bitmap of the tile's size: reached pixels in their
// palette colour, the rest white (or red for LZW), and the red square of a failed tile.
void RIKTileToImage(const TRIKTile& tile, const std::array<uint8_t, 768>& palette, QImage& image);
// The text of an 8-bit Windows title.
QString RIKTitleText(const QByteArray& title);
