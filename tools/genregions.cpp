// Draws the pictures of Sweden the program shows from the committed outline data:
//
//   genregions <sweden_outline.txt> <sweden_regions.txt> <output folder> [--report]
//
// (--report prints how much of each region falls outside its place and writes "debug.png",
// the regions over their places, for tuning the layout below.)
//
// - "P00I00.png" .. "P07I00.png": one picture per region of the region map, each at the
//   size of its place on the map. The outline is dark grey; inside it the region is black
//   and enclosed by the outline on every side; outside it is black as well, and the corner
//   pixel (0, 0) always lies outside.
// - "SwedenRegionNumbers.png": the eight regions, numbered 1 to 8, twice the map's size.
// - "SwedenOverview.png": 219 x 439 pixels at 3 835 metres per pixel, west edge 1 135 900
//   and north edge 7 759 000 (RT90): Sweden, the neighbouring land in grey, the sea.
//
// The region map is a schematic picture: south Sweden is drawn larger than Norrland, as the
// region table lays it out, so the distances of the map are bent. The overview is true to
// scale. Every file is written beside its final name and renamed over it, so a failed run
// leaves the previous pictures whole.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>
#include <QTextStream>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

struct Block {
    QString kind;  // "ring", "hole", "south <name>", "west <name>", "islands", "land"
    QPolygonF points;
};

[[noreturn]] void Fail(const QString& message) {
    std::fprintf(stderr, "genregions: %s\n", qPrintable(message));
    std::exit(1);
}

std::vector<Block> ReadBlocks(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) Fail(QString("%1 cannot be read").arg(path));
    QTextStream in(&file);
    std::vector<Block> blocks;
    int expected = 0;
    int lineNo = 0;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        ++lineNo;
        if (line.isEmpty() || line.startsWith('#')) continue;
        const QStringList words = line.split(' ', Qt::SkipEmptyParts);
        bool ok = false;
        if (expected > 0) {
            const double x = words.value(0).toDouble(&ok);
            bool ok2 = false;
            const double y = words.value(1).toDouble(&ok2);
            if (words.size() != 2 || !ok || !ok2)
                Fail(QString("%1:%2: a point \"X Y\" expected").arg(path).arg(lineNo));
            blocks.back().points << QPointF(x, y);
            --expected;
            continue;
        }
        expected = words.last().toInt(&ok);
        if (!ok || expected < 2 || words.size() < 2)
            Fail(QString("%1:%2: a block line \"<kind> <points>\" expected").arg(path).arg(lineNo));
        blocks.push_back({words.mid(0, words.size() - 1).join(' '), {}});
    }
    if (expected > 0) Fail(QString("%1: the last block ends early").arg(path));
    return blocks;
}

QPainterPath Closed(const QPolygonF& points) {
    QPainterPath path;
    path.addPolygon(points);
    path.closeSubpath();
    return path;
}

// Far beyond Sweden on every side, in RT90 metres.
constexpr double FarWest = 0, FarEast = 3e6, FarSouth = 5e6, FarNorth = 9e6;

// The land on the right-hand side of a border: south of a west-to-east line, west of a
// north-to-south line.
QPainterPath SouthOf(const QPolygonF& line) {
    QPolygonF p = line;
    p << QPointF(FarEast, line.last().y()) << QPointF(FarEast, FarSouth) << QPointF(FarWest, FarSouth)
      << QPointF(FarWest, line.first().y());
    return Closed(p);
}

QPainterPath WestOf(const QPolygonF& line) {
    QPolygonF p = line;
    p << QPointF(line.last().x(), FarSouth) << QPointF(FarWest, FarSouth) << QPointF(FarWest, FarNorth)
      << QPointF(line.first().x(), FarNorth);
    return Closed(p);
}

const QPolygonF& Find(const std::vector<Block>& blocks, const QString& kind) {
    for (const Block& b : blocks)
        if (b.kind == kind) return b.points;
    Fail(QString("the block \"%1\" is missing").arg(kind));
}

// ---- The region map's layout ----
// Rows of the bent map: at each RT90 northing, the map row, the metres per pixel across and
// the column of easting 1 500 000. Between rows all three go linearly. The rows follow the
// region table: Norrland is drawn at about eleven kilometres per pixel, the south at seven.
struct Row {
    double northing;
    double row;
    double metresAcross;
    double centreColumn;  // the column of RT90 easting 1 500 000
};
constexpr Row Rows[] = {
    {7680000, 0.3, 11000, 33.0},  // north of Treriksröset
    {6900000, 53.0, 10500, 42.0},  // Härjedalen and Hälsingland against Jämtland and Medelpad
    {6720000, 64.0, 8800, 37.5},  // Gästrikland and Dalarna
    {6520000, 99.0, 6900, 37.5},  // Götaland against Svealand
    {6260000, 148.0, 7400, 35.0},  // Skåne against Halland and Småland
    {6120000, 170.0, 7400, 35.0},  // south of Smygehuk
};

// The islands have rows of their own: they lie where the sea leaves room for them.
constexpr Row IslandRows[] = {
    {6520000, 99.0, 6900, 37.5},
    {6260000, 148.0, 6400, 39.0},
};

template <size_t N>
QPointF MapPoint(QPointF rt90, const Row (&rows)[N]) {
    const double y = rt90.y();
    size_t i = 0;
    while (i + 2 < N && y < rows[i + 1].northing) ++i;
    const Row& a = rows[i];
    const Row& b = rows[i + 1];
    const double t = (y - a.northing) / (b.northing - a.northing);  // beyond the ends: extended
    const double row = a.row + t * (b.row - a.row);
    const double across = a.metresAcross + t * (b.metresAcross - a.metresAcross);
    const double centre = a.centreColumn + t * (b.centreColumn - a.centreColumn);
    return {centre + (rt90.x() - 1500000) / across, row};
}

QPointF MapPoint(QPointF rt90) { return MapPoint(rt90, Rows); }
QPointF IslandMapPoint(QPointF rt90) { return MapPoint(rt90, IslandRows); }

// The islands are drawn a little further south than they lie, and Gotland (with Fårö and
// Gotska Sandön) smaller and nearer to Öland, so that both fit the place of their region.
const QPointF IslandShift(1.5, 10.0);
constexpr double GotlandWest = 1600000;
constexpr double GotlandScale = 0.6;
const QPointF GotlandCentreRT90(1660000, 6390000);
const QPointF GotlandCentreMap(51.5, 150.0);

// Öland, a few kilometres wide, is drawn wider about its length (from its southern to its
// northern tip) so that it has an inside to colour.
const QPointF OlandSouthRT90(1540000, 6225000);
const QPointF OlandNorthRT90(1582000, 6362000);
constexpr double OlandWidening = 2.2;

QPointF IslandPoint(QPointF rt90) {
    const QPointF p = IslandMapPoint(rt90);
    if (rt90.x() < GotlandWest) {
        const QPointF s = IslandMapPoint(OlandSouthRT90), n = IslandMapPoint(OlandNorthRT90);
        const double axis = s.x() + (p.y() - s.y()) / (n.y() - s.y()) * (n.x() - s.x());
        return QPointF(axis + (p.x() - axis) * OlandWidening, p.y()) + IslandShift;
    }
    return GotlandCentreMap + (p - IslandMapPoint(GotlandCentreRT90)) * GotlandScale;
}

// The schematic layout bends the map once more so that each mainland region lies centred on
// its place: every point moves by the distance-weighted mean of the moves that bring the
// regions' middles to their places' middles. The move is one smooth field over the whole
// map, so neighbouring regions keep their common border.
struct Anchor {
    QPointF from, move;
};
std::vector<Anchor> Anchors;

QPointF Bend(QPointF p) {
    if (Anchors.empty()) return p;
    QPointF sum(0, 0);
    double weights = 0;
    for (const Anchor& a : Anchors) {
        const QPointF d = p - a.from;
        const double w = 1.0 / (QPointF::dotProduct(d, d) + 1.0);
        sum += a.move * w;
        weights += w;
    }
    return p + sum / weights;
}

QPointF Middle(const QPainterPath& mapRegion);

QPainterPath ToMap(const QPainterPath& path, double scale, bool islands = false) {
    QPainterPath out;
    out.setFillRule(Qt::OddEvenFill);
    for (const QPolygonF& poly : path.toSubpathPolygons()) {
        QPolygonF mapped;
        mapped.reserve(poly.size());
        for (const QPointF& p : poly) mapped << (islands ? IslandPoint(p) : Bend(MapPoint(p))) * scale;
        out.addPolygon(mapped);
        out.closeSubpath();
    }
    return out;
}

struct RegionPlace {
    QPoint offset;
    QPoint seed;
    QSize size;
};
constexpr int RegionCount = 8;
const RegionPlace Places[RegionCount] = {
    {{6, 145}, {12, 10}, {29, 24}}, {{0, 93}, {13, 29}, {30, 57}},   {{20, 98}, {13, 22}, {34, 59}},
    {{9, 47}, {12, 26}, {35, 53}},  {{28, 51}, {9, 26}, {31, 53}},   {{25, 1}, {17, 26}, {37, 52}},
    {{42, 1}, {16, 34}, {34, 65}},  {{35, 133}, {11, 27}, {20, 34}},
};

// The eight regions in RT90, in the order of the region table.
std::vector<QPainterPath> Regions(const QPainterPath& land, const std::vector<Block>& borders) {
    const QPainterPath skane = SouthOf(Find(borders, "south skane"));
    const QPainterPath gotaland = SouthOf(Find(borders, "south gotaland"));
    const QPainterPath svealand = SouthOf(Find(borders, "south svealand"));
    const QPainterPath westGotaland = WestOf(Find(borders, "west gotaland"));
    const QPainterPath westSvealand = WestOf(Find(borders, "west svealand"));
    const QPainterPath westNorrland = WestOf(Find(borders, "west norrland"));
    const QPainterPath islands = Closed(Find(borders, "islands"));
    const QPainterPath mainland = land.subtracted(islands);
    const QPainterPath gota = mainland.intersected(gotaland).subtracted(skane);
    const QPainterPath svea = mainland.intersected(svealand).subtracted(gotaland);
    const QPainterPath norr = mainland.subtracted(svealand);
    return {
        mainland.intersected(skane),    gota.intersected(westGotaland), gota.subtracted(westGotaland),
        svea.intersected(westSvealand), svea.subtracted(westSvealand),  norr.intersected(westNorrland),
        norr.subtracted(westNorrland),  land.intersected(islands),
    };
}

// Pixels whose centre lies inside the path.
QImage Coverage(const QPainterPath& path, QSize size, QPointF shift) {
    QImage img(size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.translate(-shift);
    p.drawPath(path);
    return img;
}

bool Covered(const QImage& img, int x, int y) { return img.rect().contains(x, y) && qAlpha(img.pixel(x, y)) != 0; }

// The middle of a region's pixels.
QPointF Middle(const QPainterPath& mapRegion) {
    const QImage cover = Coverage(mapRegion, QSize(80, 180), QPointF(0, 0));
    double sx = 0, sy = 0;
    int n = 0;
    for (int y = 0; y < cover.height(); ++y)
        for (int x = 0; x < cover.width(); ++x)
            if (Covered(cover, x, y)) sx += x + 0.5, sy += y + 0.5, ++n;
    return n ? QPointF(sx / n, sy / n) : QPointF();
}

const QRgb OutlineColor = qRgb(64, 64, 64);

// The region picture: outline where a covered pixel meets an uncovered one or the edge.
QImage RegionBitmap(const QPainterPath& mapRegion, const RegionPlace& place) {
    QImage cover = Coverage(mapRegion, place.size, place.offset);
    // The corner pixel tells the outside; a coast that reaches it gives up that pixel.
    cover.setPixel(0, 0, qRgba(0, 0, 0, 0));
    QImage img(place.size, QImage::Format_RGB32);
    img.fill(Qt::black);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            if (!Covered(cover, x, y)) continue;
            const bool inner = Covered(cover, x - 1, y) && Covered(cover, x + 1, y) && Covered(cover, x, y - 1) &&
                Covered(cover, x, y + 1);
            if (!inner) img.setPixel(x, y, OutlineColor);
        }
    return img;
}

void Save(const QImage& img, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !img.save(&file, "PNG") || !file.commit())
        Fail(QString("%1 cannot be written").arg(path));
}

// How much of a region falls outside its place: what the picture loses.
void Report(int index, const QPainterPath& mapRegion, const RegionPlace& place) {
    const QRectF box = mapRegion.boundingRect();
    const QImage all = Coverage(mapRegion, QSize(120, 200), QPointF(-20, -10));
    const QImage inside = Coverage(mapRegion, place.size, place.offset);
    int n = 0, in = 0;
    for (int y = 0; y < all.height(); ++y)
        for (int x = 0; x < all.width(); ++x) n += Covered(all, x, y);
    for (int y = 0; y < inside.height(); ++y)
        for (int x = 0; x < inside.width(); ++x) in += Covered(inside, x, y);
    std::printf("region %d: map %.1f,%.1f - %.1f,%.1f, place %d,%d - %d,%d, %d of %d pixels inside\n", index,
                box.left(), box.top(), box.right(), box.bottom(), place.offset.x(), place.offset.y(),
                place.offset.x() + place.size.width(), place.offset.y() + place.size.height(), in, n);
}

QImage NumberedRegions(const std::vector<QPainterPath>& mapRegions) {
    constexpr int Scale = 2;
    const QSize size(78 * Scale, 172 * Scale);
    QImage img(size, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QColor fills[RegionCount] = {{246, 214, 160}, {196, 226, 170}, {244, 238, 160}, {178, 212, 236},
                                       {222, 196, 230}, {204, 232, 214}, {236, 200, 196}, {214, 214, 240}};
    for (int i = 0; i < RegionCount; ++i) {
        QPainterPath scaled = QTransform::fromScale(Scale, Scale).map(mapRegions[i]);
        p.setPen(QPen(QColor(64, 64, 64), 1));
        p.setBrush(fills[i]);
        p.drawPath(scaled);
    }
    QFont font("Liberation Sans");
    font.setPixelSize(15);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::black);
    // Each number stands at the middle of its region's pixels (between the two islands for
    // Öland/Gotland).
    for (int i = 0; i < RegionCount; ++i) {
        const QPointF at = Middle(mapRegions[i]) * Scale;
        p.drawText(QRectF(at.x() - 12, at.y() - 10, 24, 20), Qt::AlignCenter, QString::number(i + 1));
    }
    return img;
}

QImage Overview(const QPainterPath& sweden, const std::vector<Block>& borders) {
    constexpr double West = 1135900, North = 7759000, MetresPerPixel = 3835;
    QImage img(219, 439, QImage::Format_RGB32);
    img.fill(QColor(214, 232, 247));  // sea
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    // Pixel (px, py) covers X = West + 3835 px .. and Y = North - 3835 py ..: its centre is
    // half a pixel in.
    QTransform toPixels;
    toPixels.scale(1 / MetresPerPixel, -1 / MetresPerPixel);
    toPixels.translate(-West, -North);
    QPainterPath neighbours;
    for (const Block& b : borders)
        if (b.kind == "land") neighbours.addPolygon(b.points), neighbours.closeSubpath();
    p.setPen(QPen(QColor(150, 150, 150), 0.8));
    p.setBrush(QColor(204, 204, 204));
    p.drawPath(toPixels.map(neighbours));
    p.setPen(QPen(QColor(70, 70, 70), 0.8));
    p.setBrush(QColor(255, 255, 246));
    p.drawPath(toPixels.map(sweden));
    return img;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4 && !(args.size() == 5 && args[4] == "--report"))
        Fail("usage: genregions <sweden_outline.txt> <sweden_regions.txt> <output folder> [--report]");
    const std::vector<Block> outline = ReadBlocks(args[1]);
    const std::vector<Block> borders = ReadBlocks(args[2]);
    const QDir out(args[3]);
    if (!QDir().mkpath(out.path())) Fail(QString("%1 cannot be made").arg(out.path()));

    QPainterPath land;
    land.setFillRule(Qt::OddEvenFill);  // holes are rings inside their land
    for (const Block& b : outline) {
        if (b.kind != "ring" && b.kind != "hole") Fail(QString("%1: unknown block \"%2\"").arg(args[1], b.kind));
        land.addPolygon(b.points);
        land.closeSubpath();
    }
    land = land.simplified();

    const std::vector<QPainterPath> regions = Regions(land, borders);
    for (int i = 0; i < RegionCount - 1; ++i) {
        const QPointF middle = Middle(ToMap(regions[i], 1));
        Anchors.push_back({middle, QRectF(Places[i].offset, Places[i].size).center() - middle});
    }
    std::vector<QPainterPath> mapRegions;
    for (int i = 0; i < RegionCount; ++i) {
        mapRegions.push_back(ToMap(regions[i], 1, i == 7));
        if (args.size() == 5) Report(i, mapRegions[i], Places[i]);
        const QImage img = RegionBitmap(mapRegions[i], Places[i]);
        if (args.size() == 5) continue;
        const QPoint seed = Places[i].seed;
        if (img.pixel(seed) != qRgb(0, 0, 0) ||
            !Covered(Coverage(mapRegions[i], Places[i].size, Places[i].offset), seed.x(), seed.y()))
            Fail(QString("the seed of region %1 does not lie inside it").arg(i));
        Save(img, out.filePath(QString::asprintf("P%02dI00.png", i)));
    }
    if (args.size() == 5) {
        // The regions over their places, four times enlarged, for tuning the layout.
        QImage sheet(90 * 4, 180 * 4, QImage::Format_RGB32);
        sheet.fill(Qt::white);
        QPainter p(&sheet);
        p.scale(4, 4);
        const QColor fills[RegionCount] = {Qt::red,     Qt::green,  Qt::blue,      Qt::cyan,
                                           Qt::magenta, Qt::yellow, Qt::darkGreen, Qt::darkRed};
        for (int i = 0; i < RegionCount; ++i) {
            QColor c = fills[i];
            c.setAlpha(110);
            p.setPen(Qt::NoPen);
            p.setBrush(c);
            p.drawPath(mapRegions[i]);
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(fills[i], 0.25));
            p.drawRect(QRect(Places[i].offset, Places[i].size));
            p.setPen(QPen(Qt::black, 0.25));
            p.drawEllipse(QPointF(Places[i].offset + Places[i].seed) + QPointF(0.5, 0.5), 0.6, 0.6);
        }
        p.end();
        Save(sheet, out.filePath("debug.png"));
    }
    Save(NumberedRegions(mapRegions), out.filePath("SwedenRegionNumbers.png"));
    Save(Overview(land, borders), out.filePath("SwedenOverview.png"));
    return 0;
}
