#include "controls/FRDBSwedenMap.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <optional>
#include <vector>

#include "controls/FRGuard.h"
#include "platform/Exception.h"

// The pictures are resources of this library, made by the build (data/generated.cmake).
static void InitGeoResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(swedengeo);
        return true;
    }();
    (void)done;
}

namespace {

QImage GeoPicture(const QString& name, const QString& file) {
    InitGeoResources();
    QImage img(QStringLiteral(":/geo/") + file);
    if (img.isNull()) throw Exception(QStringLiteral("Resource %1 not found").arg(name));
    return img.convertToFormat(QImage::Format_RGB32);
}

// What a region's picture gives once: the pixels that belong to the region (the outline and
// every inside surface enclosed by it, whatever colour it is painted in later) and one
// pixel of each inside surface to fill from, the seed first.
struct TRegionShape {
    QImage Bitmap;
    std::vector<bool> Mask;
    QList<QPoint> FillStarts;
    bool Contains(QPoint p) const { return Bitmap.rect().contains(p) && Mask[size_t(p.y()) * Bitmap.width() + p.x()]; }
};

const TRegionShape& Shape(int index) {
    static std::array<std::optional<TRegionShape>, TFRDBSwedenMap::RegionCount> shapes;
    std::optional<TRegionShape>& slot = shapes.at(index);
    if (slot) return *slot;
    TRegionShape s;
    s.Bitmap = TFRDBSwedenMap::RegionBitmap(index);
    const int w = s.Bitmap.width(), h = s.Bitmap.height();
    const QRgb outside = s.Bitmap.pixel(0, 0);
    const QRgb mark = qRgb(255, 0, 255);
    // The outside: every surface of the corner's colour that reaches the picture's edge.
    QImage work = s.Bitmap.copy();
    for (int x = 0; x < w; ++x)
        for (int y : {0, h - 1})
            if (work.pixel(x, y) == outside) FloodFillSurface(work, QPoint(x, y), mark);
    for (int y = 0; y < h; ++y)
        for (int x : {0, w - 1})
            if (work.pixel(x, y) == outside) FloodFillSurface(work, QPoint(x, y), mark);
    s.Mask.resize(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) s.Mask[size_t(y) * w + x] = work.pixel(x, y) != mark;
    // The inside surfaces: what is left of the corner's colour (two islands give two).
    const QRgb black = qRgb(0, 0, 0);
    const QPoint seed = TFRDBSwedenMap::Region(index).Seed;
    if (work.rect().contains(seed) && work.pixel(seed) == black) {
        s.FillStarts << seed;
        FloodFillSurface(work, seed, mark);
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (work.pixel(x, y) == black) {
                s.FillStarts << QPoint(x, y);
                FloodFillSurface(work, QPoint(x, y), mark);
            }
    slot = std::move(s);
    return *slot;
}

}  // namespace

void FloodFillSurface(QImage& image, QPoint seed, QRgb color) {
    if (!image.rect().contains(seed)) return;
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
        image = image.convertToFormat(QImage::Format_ARGB32);
    if (image.format() == QImage::Format_RGB32) color |= 0xFF000000u;
    const QRgb target = image.pixel(seed);
    if (target == color) return;
    const int w = image.width(), h = image.height();
    std::vector<QPoint> pending{seed};
    while (!pending.empty()) {
        const QPoint p = pending.back();
        pending.pop_back();
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(p.y()));
        if (line[p.x()] != target) continue;
        int left = p.x(), right = p.x();
        while (left > 0 && line[left - 1] == target) --left;
        while (right + 1 < w && line[right + 1] == target) ++right;
        std::fill(line + left, line + right + 1, color);
        // One start per run of the surface on the rows above and below.
        for (int y : {p.y() - 1, p.y() + 1}) {
            if (y < 0 || y >= h) continue;
            const QRgb* next = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            bool inRun = false;
            for (int x = left; x <= right; ++x) {
                const bool match = next[x] == target;
                if (match && !inRun) pending.push_back(QPoint(x, y));
                inRun = match;
            }
        }
    }
}

QImage SwedenRegionNumbersPicture() {
    return GeoPicture(QStringLiteral("SwedenRegionNumbers"), QStringLiteral("SwedenRegionNumbers.png"));
}

QImage SwedenOverviewPicture() {
    return GeoPicture(QStringLiteral("SwedenOverview"), QStringLiteral("SwedenOverview.png"));
}

TIntensityColor& TIntensityColors::Add(TColor color, const QString& caption) {
    m_items.append(TIntensityColor{color, caption});
    return m_items.last();
}

// ---- TFRDBSwedenMap ----

const TSwedenRegion& TFRDBSwedenMap::Region(int index) {
    static const TSwedenRegion regions[RegionCount] = {
        {QStringLiteral("Skåne/Blekinge"), QStringLiteral("P00I00"), {6, 145}, {12, 10}, {29, 24}},
        {QStringLiteral("Västra Götaland"), QStringLiteral("P01I00"), {0, 93}, {13, 29}, {30, 57}},
        {QStringLiteral("Östra Götaland"), QStringLiteral("P02I00"), {20, 98}, {13, 22}, {34, 59}},
        {QStringLiteral("Västra Svealand"), QStringLiteral("P03I00"), {9, 47}, {12, 26}, {35, 53}},
        {QStringLiteral("Östra Svealand"), QStringLiteral("P04I00"), {28, 51}, {9, 26}, {31, 53}},
        {QStringLiteral("Nordvästra Norrland"), QStringLiteral("P05I00"), {25, 1}, {17, 26}, {37, 52}},
        {QStringLiteral("Nordöstra Norrland"), QStringLiteral("P06I00"), {42, 1}, {16, 34}, {34, 65}},
        {QStringLiteral("Öland/Gotland"), QStringLiteral("P07I00"), {35, 133}, {11, 27}, {20, 34}},
    };
    return regions[index];
}

QImage TFRDBSwedenMap::RegionBitmap(int index) {
    const QString name = Region(index).Resource;
    return GeoPicture(name, name + QStringLiteral(".png"));
}

TFRDBSwedenMap::TFRDBSwedenMap(QWidget* parent) : QWidget(parent) {
    m_levels.fill(-1);
    m_captionFont = ArialFont(8, true);
    m_captionFont.setWeight(QFont::Black);
    setFocusPolicy(Qt::StrongFocus);
    resize(250, 250);
    m_link.OnDataChange = [this] { DataChange(); };
    m_link.OnUpdateData = [this] { UpdateData(); };
}

TFRDBSwedenMap::~TFRDBSwedenMap() {
    m_link.OnDataChange = nullptr;
    m_link.OnUpdateData = nullptr;
}

void TFRDBSwedenMap::SetIntensityColors(const TIntensityColors& colors) {
    m_colors = colors;
    update();
}
void TFRDBSwedenMap::SetBackgroundColor(TColor color) {
    m_backgroundColor = color;
    update();
}
void TFRDBSwedenMap::SetFrameColor(TColor color) {
    m_frameColor = color;
    update();
}
void TFRDBSwedenMap::SetLineColor(TColor color) {
    m_lineColor = color;
    update();
}
void TFRDBSwedenMap::SetCaptionHeight(int height) {
    m_captionHeight = height;
    update();
}
void TFRDBSwedenMap::SetColorListMargin(int margin) {
    m_colorListMargin = margin;
    update();
}
void TFRDBSwedenMap::SetMapMargin(int margin) {
    m_mapMargin = margin;
    update();
}
void TFRDBSwedenMap::SetCaption(const QString& caption) {
    m_caption = caption;
    update();
}
void TFRDBSwedenMap::SetCaptionFont(const QFont& font) {
    m_captionFont = font;
    update();
}

void TFRDBSwedenMap::DataChange() {
    m_levels.fill(-1);
    m_hasData = false;
    if (m_link.Active()) {
        const QString text = m_link.AsString();
        if (text.size() == RegionCount) {
            // A character that is no digit gives no level: the region shows the background.
            for (int i = 0; i < RegionCount; ++i) {
                const char16_t c = text.at(i).unicode();
                m_levels[i] = (c >= u'0' && c <= u'9') ? c - u'0' : -1;
            }
            m_hasData = true;
        }
    }
    update();
}

QString TFRDBSwedenMap::RegionText() const {
    if (!m_hasData) return QString();
    QString text;
    for (int level : m_levels) text += QChar(u'0' + (level >= 0 && level <= 9 ? level : 0));
    return text;
}

void TFRDBSwedenMap::UpdateData() {
    if (m_hasData) m_link.SetAsString(RegionText());
}

int TFRDBSwedenMap::RegionAt(QPoint pos) const {
    for (int i = 0; i < RegionCount; ++i) {
        const TSwedenRegion& r = Region(i);
        if (Shape(i).Contains(pos - MapOrigin - r.Offset)) return i;
    }
    return -1;
}

QColor TFRDBSwedenMap::RegionColor(int region) const {
    const int level = m_levels.at(region);
    // No data, no level or a level without a colour: the background shows.
    if (!m_hasData || level < 0 || level >= m_colors.Count()) return ColorFromNumber(m_backgroundColor);
    return ColorFromNumber(m_colors.Items(level).IntensityColor);
}

void TFRDBSwedenMap::Click(int region, bool all) {
    // Without colours there is no level to step to.
    if (m_colors.Count() == 0) return;
    int level = m_levels[region] + 1;
    if (level < 0 || level >= m_colors.Count()) level = 0;
    if (all)
        m_levels.fill(level);
    else
        m_levels[region] = level;
    // A region without a level (the field had none, or no digit there) now has level 0, as
    // the field will be written.
    for (int& l : m_levels)
        if (l < 0 || l > 9) l = 0;
    m_link.SetModified();
    m_hasData = true;
    update();
}

void TFRDBSwedenMap::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    Guarded([&] {
        setFocus(Qt::MouseFocusReason);
        if (!m_link.Editing()) return;
        const int region = RegionAt(event->position().toPoint());
        if (region >= 0) Click(region, event->modifiers() & Qt::ControlModifier);
    });
}

void TFRDBSwedenMap::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void TFRDBSwedenMap::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

void TFRDBSwedenMap::paintEvent(QPaintEvent*) {
    Guarded([this] {
        QPainter p(this);
        const QColor frame = ColorFromNumber(m_frameColor);
        p.fillRect(rect(), ColorFromNumber(m_backgroundColor));

        const QRect caption(0, 0, width(), m_captionHeight);
        p.fillRect(caption, frame);
        p.setFont(m_captionFont);
        p.setPen(Qt::white);
        p.drawText(caption, Qt::AlignCenter, m_caption);

        int mapRight = 0;
        for (int i = 0; i < RegionCount; ++i) {
            const TSwedenRegion& r = Region(i);
            const TRegionShape& s = Shape(i);
            QImage img = s.Bitmap.copy();
            const QRgb fill = RegionColor(i).rgb();
            for (const QPoint& start : s.FillStarts) FloodFillSurface(img, start, fill);
            img = img.convertToFormat(QImage::Format_ARGB32);
            for (int y = 0; y < img.height(); ++y) {
                QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
                for (int x = 0; x < img.width(); ++x)
                    if (!s.Contains(QPoint(x, y))) line[x] = 0;
            }
            p.drawImage(MapOrigin + r.Offset, img);
            mapRight = std::max(mapRight, MapOrigin.x() + r.Offset.x() + r.Size.width());
        }

        // The colour list beside the map: a swatch and its caption per level.
        const QFont listFont = ArialFont(8);
        p.setFont(listFont);
        const int rowHeight = std::max(16, QFontMetrics(listFont).height() + 3);
        const int x0 = mapRight + m_colorListMargin;
        const int textLeft = x0 + 18;
        const int textWidth = width() - m_mapMargin - textLeft;
        for (int i = 0; i < m_colors.Count(); ++i) {
            const int y = m_captionHeight + m_mapMargin + i * rowHeight;
            p.setPen(ColorFromNumber(m_lineColor));
            p.setBrush(ColorFromNumber(m_colors.Items(i).IntensityColor));
            p.drawRect(x0, y, 12, 12);
            p.setPen(Qt::black);
            const QString text =
                QFontMetrics(listFont).elidedText(m_colors.Items(i).Caption, Qt::ElideRight, std::max(0, textWidth));
            p.drawText(QRect(textLeft, y - 2, std::max(0, textWidth), rowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                       text);
        }

        p.setBrush(Qt::NoBrush);
        p.setPen(frame);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
        if (hasFocus()) {
            p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            p.setPen(QPen(Qt::white, 1, Qt::DotLine));
            p.drawRect(rect().adjusted(4, 4, -5, -5));
        }
    });
}

#include "moc_FRDBSwedenMap.cpp"
