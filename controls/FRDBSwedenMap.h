#pragma once
// The map of Sweden's regions: a data-aware map cut into eight regions, each coloured by an
// intensity level (how common a species is there). The field holds eight characters
// "0".."9", one per region in the order of the region table, each an index into
// IntensityColors; a text of any other length means "no data". While the table is being
// edited a click on a region steps its level; with Ctrl held every region takes the level.
//
// The region pictures "P00I00".."P07I00" are drawn by the build from the outline of Sweden
// (outline dark grey; inside and outside black, the corner pixel outside).
#include <QImage>
#include <QList>
#include <QPoint>
#include <QSize>
#include <QWidget>
#include <array>

#include "controls/FRFieldLink.h"
#include "controls/FRGraphics.h"

struct TIntensityColor {
    TColor IntensityColor = 0;
    QString Caption;
};

// The intensity colours: level n is shown in the colour of item n.
class TIntensityColors {
public:
    int Count() const { return int(m_items.size()); }
    const TIntensityColor& Items(int index) const { return m_items.at(index); }
    TIntensityColor& Items(int index) { return m_items[index]; }
    TIntensityColor& Add(TColor color = 0, const QString& caption = QString());
    void Delete(int index) { m_items.removeAt(index); }
    void Clear() { m_items.clear(); }

private:
    QList<TIntensityColor> m_items;
};

struct TSwedenRegion {
    QString Name;
    QString Resource;  // the bitmap's resource name, "P%0.2dI00"
    QPoint Offset;  // within the map area
    QPoint Seed;  // within the bitmap
    QSize Size;
};

class TFRDBSwedenMap : public QWidget, public TDataAwareControl {
    Q_OBJECT
public:
    static constexpr int RegionCount = 8;
    // Where the map area starts within the control.
    static constexpr QPoint MapOrigin{10, 20};
    static const TSwedenRegion& Region(int index);
    // A region's bitmap; a missing one raises "Resource %s not found".
    static QImage RegionBitmap(int index);

    explicit TFRDBSwedenMap(QWidget* parent = nullptr);
    ~TFRDBSwedenMap() override;

    const TIntensityColors& IntensityColors() const { return m_colors; }
    void SetIntensityColors(const TIntensityColors& colors);
    TColor BackgroundColor() const { return m_backgroundColor; }
    void SetBackgroundColor(TColor color);
    TColor FrameColor() const { return m_frameColor; }
    void SetFrameColor(TColor color);
    // The frames of the colour list's swatches.
    TColor LineColor() const { return m_lineColor; }
    void SetLineColor(TColor color);
    int CaptionHeight() const { return m_captionHeight; }
    void SetCaptionHeight(int height);
    int ColorListMargin() const { return m_colorListMargin; }
    void SetColorListMargin(int margin);
    int MapMargin() const { return m_mapMargin; }
    void SetMapMargin(int margin);
    QString Caption() const { return m_caption; }
    void SetCaption(const QString& caption);
    QFont CaptionFont() const { return m_captionFont; }
    void SetCaptionFont(const QFont& font);

    // A region's level, -1 for none.
    int Level(int region) const { return m_levels.at(region); }
    bool HasData() const { return m_hasData; }
    // The field text of the levels shown ("" without data).
    QString RegionText() const;
    // The region under a point of the control, -1 for none.
    int RegionAt(QPoint pos) const;
    // The colour a region is painted in now.
    QColor RegionColor(int region) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void DataChange();
    void UpdateData();
    void Click(int region, bool all);

    std::array<int, RegionCount> m_levels;
    bool m_hasData = false;
    TIntensityColors m_colors;
    TColor m_backgroundColor = 0xFFFFFF;
    TColor m_frameColor = 0x000000;
    TColor m_lineColor = 0x000000;
    int m_captionHeight = 14;
    int m_colorListMargin = 16;
    int m_mapMargin = 8;
    QString m_caption;
    QFont m_captionFont;
};

// Fills the surface of one colour 4-connected to the seed with another colour, line by line.
// A seed outside the image, or a surface already of that colour, changes nothing.
void FloodFillSurface(QImage& image, QPoint seed, QRgb color);

// The pictures of Sweden drawn from the same outline: the eight regions numbered 1 to 8 (for
// the identification key) and the overview map of the maps screen.
QImage SwedenRegionNumbersPicture();
QImage SwedenOverviewPicture();
// The overview map: pixel (px, py) lies at X = West + MetresPerPixel * px and
// Y = North - MetresPerPixel * py (RT90 metres).
namespace SwedenOverview {
constexpr int West = 1135900;
constexpr int North = 7759000;
constexpr int MetresPerPixel = 3835;
}  // namespace SwedenOverview
