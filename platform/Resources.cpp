#include "platform/Resources.h"

#include <QHash>
#include <QMap>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <functional>

#include "platform/Exception.h"

namespace {

using Painter = std::function<QImage()>;

QImage Transparent(int w, int h) {
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

QPolygonF Poly(std::initializer_list<QPointF> pts) { return QPolygonF(QList<QPointF>(pts)); }

// ---- Map flag: a pole whose foot is at (1, 24), the point a mark stands on ----
QImage DrawMapFlag() {
    QImage img = Transparent(18, 25);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath cloth;
    cloth.moveTo(2, 1.5);
    cloth.cubicTo(6, -0.5, 10, 4, 16.5, 2);
    cloth.lineTo(16.5, 10);
    cloth.cubicTo(10, 12, 6, 7.5, 2, 9.5);
    cloth.closeSubpath();
    p.setPen(QPen(QColor(120, 0, 0), 1));
    p.setBrush(QColor(220, 20, 20));
    p.drawPath(cloth);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 40));
    p.drawRect(0, 0, 2, 25);
    return img;
}

// ---- Regions of Sweden ----
// One outline of the mainland and the two big islands, cut into eight regions by the cells
// below, in one coordinate space; each bitmap is its region moved to its own offset.
struct RegionDef {
    QPoint offset;
    QSize size;
    QPolygonF cell;
};

QPolygonF Mainland() {
    return Poly({{54, 1},   {60, 6},   {66, 14},  {70, 22},  {74, 28},  {76, 32},  {72, 38},  {66, 44},  {62, 50},
                 {58, 56},  {55, 62},  {52, 70},  {50, 78},  {54, 86},  {58, 94},  {58, 100}, {54, 104}, {47, 109},
                 {43, 117}, {41, 125}, {38, 133}, {37, 141}, {36, 146}, {35, 150}, {34, 158}, {31, 166}, {24, 168},
                 {16, 168}, {10, 164}, {8, 156},  {6, 148},  {4, 140},  {2, 130},  {1, 118},  {0, 106},  {4, 96},
                 {9, 90},   {11, 80},  {14, 64},  {19, 54},  {24, 46},  {32, 30},  {40, 18},  {47, 8}});
}

QPainterPath Islands() {
    QPainterPath path;
    path.addPolygon(Poly({{41, 136}, {43, 137}, {42, 150}, {40, 157}, {39, 155}, {40, 145}}));  // Öland
    path.closeSubpath();
    path.addPolygon(
        Poly({{45, 142}, {50, 140}, {53, 146}, {52, 156}, {49, 164}, {44, 165}, {43, 156}, {44, 148}}));  // Gotland
    path.closeSubpath();
    return path;
}

const RegionDef& Region(int index) {
    static const RegionDef regions[8] = {
        // Skåne/Blekinge
        {{6, 145}, {29, 24}, Poly({{-10, 147}, {90, 147}, {90, 190}, {-10, 190}})},
        // Västra Götaland
        {{0, 93}, {30, 57}, Poly({{-10, 90}, {9, 90}, {28, 97}, {22, 147}, {-10, 147}})},
        // Östra Götaland
        {{20, 98}, {34, 59}, Poly({{28, 97}, {56, 103}, {90, 103}, {90, 147}, {22, 147}})},
        // Västra Svealand
        {{9, 47}, {35, 53}, Poly({{-10, 46}, {24, 46}, {36, 51}, {28, 97}, {9, 90}, {-10, 90}})},
        // Östra Svealand
        {{28, 51}, {31, 53}, Poly({{36, 51}, {46, 54}, {62, 62}, {90, 62}, {90, 103}, {56, 103}, {28, 97}})},
        // Nordvästra Norrland
        {{25, 1}, {37, 52}, Poly({{-10, -10}, {54, -10}, {50, 20}, {50, 40}, {46, 54}, {36, 51}, {24, 46}, {-10, 46}})},
        // Nordöstra Norrland
        {{42, 1}, {34, 65}, Poly({{54, -10}, {90, -10}, {90, 62}, {62, 62}, {46, 54}, {50, 40}, {50, 20}})},
        // Öland/Gotland: the islands only
        {{35, 133}, {20, 34}, QPolygonF()},
    };
    return regions[index];
}

QImage DrawRegion(int index) {
    const RegionDef& r = Region(index);
    QPainterPath shape;
    if (r.cell.isEmpty()) {
        shape = Islands();
    } else {
        QPainterPath land;
        land.addPolygon(Mainland());
        land.closeSubpath();
        QPainterPath cell;
        cell.addPolygon(r.cell);
        cell.closeSubpath();
        shape = land.intersected(cell);
    }
    shape.translate(-r.offset);
    QPainterPath frame;
    frame.addRect(0, 0, r.size.width() - 1, r.size.height() - 1);
    shape = shape.intersected(frame).simplified();

    QImage img(r.size, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    // Crisp edges: the interior is filled by flood fill from a seed, so it must be one
    // solid black surface enclosed by the outline.
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(QColor(64, 64, 64), 1));
    p.setBrush(Qt::black);
    p.drawPath(shape);
    return img;
}

// ---- Info icons, 32 x 32 ----
QImage DrawRoundIcon(const QColor& fill, const QColor& rim, const QString& sign) {
    QImage img = Transparent(32, 32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    QRadialGradient grad(QPointF(12, 10), 20);
    grad.setColorAt(0, fill.lighter(150));
    grad.setColorAt(1, fill);
    p.setPen(QPen(rim, 1.5));
    p.setBrush(grad);
    p.drawEllipse(QRectF(1.5, 1.5, 29, 29));
    QFont font("DejaVu Sans");
    font.setPixelSize(22);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 0, 32, 31), Qt::AlignCenter, sign);
    return img;
}

QImage DrawInfoIcon() { return DrawRoundIcon(QColor(30, 90, 200), QColor(20, 50, 120), "i"); }
QImage DrawQuestionIcon() { return DrawRoundIcon(QColor(40, 120, 60), QColor(20, 70, 30), "?"); }

QImage DrawErrorIcon() {
    QImage img = DrawRoundIcon(QColor(210, 30, 30), QColor(120, 10, 10), QString());
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10.5, 10.5), QPointF(21.5, 21.5));
    p.drawLine(QPointF(21.5, 10.5), QPointF(10.5, 21.5));
    return img;
}

QImage DrawWarningIcon() {
    QImage img = Transparent(32, 32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath tri;
    tri.moveTo(16, 2);
    tri.lineTo(30.5, 29);
    tri.lineTo(1.5, 29);
    tri.closeSubpath();
    p.setPen(QPen(QColor(120, 90, 0), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(250, 200, 30));
    p.drawPath(tri);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawRoundedRect(QRectF(14, 10, 4, 11), 1.5, 1.5);
    p.drawEllipse(QRectF(13.8, 22.5, 4.4, 4.4));
    return img;
}

// ---- Lock glyphs, 14 x 14 ----
QImage DrawLock(int kind) {  // 0 undefined, 1 open, 2 closed
    QImage img = Transparent(14, 14);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QColor body = kind == 0 ? QColor(170, 170, 170) : kind == 1 ? QColor(60, 150, 60) : QColor(200, 150, 20);
    const QColor dark = kind == 0 ? QColor(120, 120, 120) : kind == 1 ? QColor(30, 90, 30) : QColor(120, 80, 0);
    p.setPen(QPen(dark, 1.6));
    p.setBrush(Qt::NoBrush);
    QPainterPath shackle;
    if (kind == 1) {
        shackle.moveTo(8.5, 7);
        shackle.lineTo(8.5, 4);
        shackle.arcTo(QRectF(8.5, 0.8, 5, 6), 180, -180);
        shackle.lineTo(13.5, 5);
    } else {
        shackle.moveTo(4, 7);
        shackle.lineTo(4, 4.5);
        shackle.arcTo(QRectF(4, 1, 6, 7), 180, -180);
        shackle.lineTo(10, 7);
    }
    p.drawPath(shackle);
    p.setPen(QPen(dark, 1));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(1.5, 6.5, 11, 7), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(dark);
    if (kind == 0) {
        QFont font("DejaVu Sans");
        font.setPixelSize(7);
        font.setBold(true);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRectF(1.5, 6.5, 11, 7), Qt::AlignCenter, "?");
    } else {
        p.drawEllipse(QRectF(6, 8.5, 2, 2));
        p.drawRect(QRectF(6.5, 9.5, 1, 2.5));
    }
    return img;
}

// ---- Small signs and arrows ----
QImage DrawSign(bool plus) {
    QImage img = Transparent(10, 10);
    QPainter p(&img);
    p.setPen(Qt::NoPen);
    p.setBrush(plus ? QColor(0, 110, 0) : QColor(170, 0, 0));
    p.drawRect(1, 4, 8, 2);
    if (plus) p.drawRect(4, 1, 2, 8);
    return img;
}

QImage DrawArrow(int w, int h, bool up) {
    QImage img = Transparent(w, h);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    if (up)
        p.drawPolygon(Poly({{w / 2.0, 0}, {double(w), double(h)}, {0, double(h)}}));
    else
        p.drawPolygon(Poly({{0, 0}, {double(w), 0}, {w / 2.0, double(h)}}));
    return img;
}

QImage DrawSearchGlyph() {
    QImage img = Transparent(16, 16);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(QColor(40, 40, 40), 1.8));
    p.setBrush(QColor(200, 225, 250));
    p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
    p.setPen(QPen(QColor(40, 40, 40), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10, 10), QPointF(14, 14));
    return img;
}

const QMap<QString, Painter>& Painters() {
    static const QMap<QString, Painter> painters = [] {
        QMap<QString, Painter> m;
        m.insert("MAPFLAG", DrawMapFlag);
        for (int i = 0; i < 8; ++i) m.insert(QString::asprintf("P%02dI00", i), [i] { return DrawRegion(i); });
        m.insert("ICONINFO", DrawInfoIcon);
        m.insert("ICONWARNING", DrawWarningIcon);
        m.insert("ICONQUESTION", DrawQuestionIcon);
        m.insert("ICONERROR", DrawErrorIcon);
        m.insert("UNDEFINED", [] { return DrawLock(0); });
        m.insert("UNLOCKED", [] { return DrawLock(1); });
        m.insert("LOCKED", [] { return DrawLock(2); });
        m.insert("MINUSSIGN", [] { return DrawSign(false); });
        m.insert("PLUSSIGN", [] { return DrawSign(true); });
        m.insert("ARROWUP", [] { return DrawArrow(9, 6, true); });
        m.insert("SPOREARROWUP", [] { return DrawArrow(11, 7, true); });
        m.insert("SPOREARROWDN", [] { return DrawArrow(11, 7, false); });
        m.insert("BTNBITMAP", DrawSearchGlyph);
        return m;
    }();
    return painters;
}

QHash<QString, QImage>& Cache() {
    static QHash<QString, QImage> cache;
    return cache;
}

QHash<int, QCursor>& CursorTable() {
    static QHash<int, QCursor> table;
    return table;
}

Exception NotFound(const QString& name) { return Exception(QString("Resource %1 not found").arg(name)); }

}  // namespace

namespace Resources {

QStringList BitmapNames() { return Painters().keys(); }

bool HasBitmap(const QString& name) { return Painters().contains(name.toUpper()); }

QImage BitmapImage(const QString& name) {
    const QString key = name.toUpper();
    auto& cache = Cache();
    auto it = cache.constFind(key);
    if (it != cache.constEnd()) return *it;
    auto painter = Painters().constFind(key);
    if (painter == Painters().constEnd()) throw NotFound(name);
    QImage img = (*painter)();
    cache.insert(key, img);
    return img;
}

QPixmap Bitmap(const QString& name) { return QPixmap::fromImage(BitmapImage(name)); }

QCursor LoadCursor(const QString& name) {
    if (name.compare("Flag", Qt::CaseInsensitive) != 0) throw NotFound(name);
    // The flag's foot is the hot spot, so a click marks where the pole stands.
    QImage img = Transparent(32, 32);
    QPainter p(&img);
    p.drawImage(0, 0, BitmapImage("MAPFLAG"));
    p.end();
    return QCursor(QPixmap::fromImage(img), 1, 24);
}

void SetScreenCursor(int id, const QCursor& cursor) { CursorTable().insert(id, cursor); }

bool HasScreenCursor(int id) { return CursorTable().contains(id); }

QCursor ScreenCursor(int id) { return CursorTable().value(id, QCursor(Qt::ArrowCursor)); }

}  // namespace Resources
