// The map view: its arithmetic on its own (view rectangle, conversions, the tiles that meet the
// view and where they go, paging, dragging, clamping), and the panel over fixture sheets: the
// picture against the reader's own tiles, when the view cache and the tile cache are rebuilt,
// scroll bars, mouse events in map metres, tags, failed tiles, activation through
// ShowPosition, and screenshots of the sample sheet with overlays.
#include <QApplication>
#include <QPainter>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

#include "support/TestSupport.h"
#include "controls/FRGraphics.h"
#include "controls/FRMapGeometry.h"
#include "controls/FRMapPanel.h"
#include "platform/Exception.h"
#include "platform/Resources.h"
#include "platform/UIServices.h"
#include "tools/rik/RikWriter.h"

namespace {

// 8 x 8 tiles of 50 x 50 pixels at 2.5 metres per pixel: 125 m per tile, 1 000 m per side.
TMapSheet ExampleSheet(qint32 xmin = 1500000, double s = 2.5) {
    TMapSheet m;
    m.XMin = xmin;
    m.YMin = 6500000;
    m.YMax = 6501000;
    m.BlockWidth = m.BlockHeight = 50;
    m.TileColumns = m.TileRows = 8;
    m.MetresPerPixel = s;
    m.TileWidthM = m.TileHeightM = int(50 * s);
    m.XMax = xmin + 8 * m.TileWidthM;
    m.CentreX = (m.XMin + m.XMax) / 2;
    m.CentreY = (m.YMin + m.YMax) / 2;
    return m;
}

TMapViewGeometry Geometry(const TMapSheet& sheet, int w, int h, qint32 cx, qint32 cy) {
    TMapViewGeometry g;
    g.SetSheet(sheet);
    g.SetSurfaceSize(w, h);
    g.SetCenter(cx, cy);
    return g;
}

// "column,row@x,y" of every visible tile, in drawing order.
QString TileList(const std::vector<TMapTilePlace>& tiles) {
    QStringList out;
    for (const auto& t : tiles) out << QStringLiteral("%1,%2@%3,%4").arg(t.Column).arg(t.Row).arg(t.X).arg(t.Y);
    return out.join(QLatin1Char(' '));
}

std::array<uint8_t, 768> TestPalette() {
    std::array<uint8_t, 768> p{};
    for (int i = 0; i < 256; ++i) {
        p[size_t(3) * size_t(i)] = uint8_t(i);
        p[size_t(3) * size_t(i) + 1] = uint8_t(255 - i);
        p[size_t(3) * size_t(i) + 2] = uint8_t(i * 7);
    }
    return p;
}

// Every tile has its own pattern, so a tile drawn in the wrong place or a pixel off shows.
std::vector<uint8_t> TilePixels(int tile, int w, int h) {
    std::vector<uint8_t> px(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            px[size_t(y) * w + x] = uint8_t(tile * 37 + x / 5 + 3 * (y / 5) + (x == y ? 128 : 0));
    return px;
}

// The example sheet as a file; XMin as given, tiles coded as asked. broken: a tile whose code
// stream no alignment can explain.
rikwriter::Sheet FileSheet(bool lzw, double xmin = 1500000, int broken = -1) {
    rikwriter::Sheet s;
    s.Title = "Prov";
    s.YMin = 6500000;
    s.XMin = xmin;
    s.YMax = 6501000;
    s.XMax = xmin + 1000;
    s.ScaleDenominator = 10000;
    s.ScaleValue = 2.5f;
    s.BlockWidth = s.BlockHeight = 50;
    s.TileColumns = s.TileRows = 8;
    s.Palette = TestPalette();
    for (int i = 0; i < 64; ++i) {
        const auto px = TilePixels(i, 50, 50);
        if (i == broken)
            s.Tiles.push_back(QByteArray(5, '\0') + QByteArray(40, char(0xFF)));
        else
            s.Tiles.push_back(lzw ? rikwriter::EncodeLZW(px.data(), 50, 50) : rikwriter::EncodeRLE(px.data(), 50, 50));
    }
    return s;
}

struct Fixture {
    QTemporaryDir dir;
    QString Write(const rikwriter::Sheet& s, const QString& name = QStringLiteral("karta.rik")) {
        const QString path = dir.filePath(name);
        if (!testsupport::WriteBytes(path, rikwriter::Write(s))) qFatal("cannot write fixture");
        return path;
    }
};

// A panel whose surface is w x h, shown and painted.
void SizeSurface(TFRMapPanel& panel, int w, int h) { panel.resize(w + 16, h + 16); }

QImage SurfacePicture(TFRMapPanel& panel) {
    return panel.Surface()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

void Paint(TFRMapPanel& panel) {
    panel.Surface()->repaint();
    QCoreApplication::processEvents();
}

// A mouse move sent straight to the widget (the offscreen platform moves no real pointer).
void MouseMove(QWidget* w, const QPoint& at, Qt::MouseButtons buttons = Qt::NoButton) {
    QMouseEvent e(QEvent::MouseMove, QPointF(at), QPointF(w->mapToGlobal(at)), Qt::NoButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

QRect LTRB(int l, int t, int r, int b) { return QRect(QPoint(l, t), QPoint(r - 1, b - 1)); }

}  // namespace

class TestMapPanel : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    // arithmetic
    void viewRectangle_data();
    void viewRectangle();
    void conversions_data();
    void conversions();
    void inactiveConversions();
    void visibleTiles_data();
    void visibleTiles();
    void pagingDraggingClamping();

    // the panel
    void construction();
    void conversionsBeforeFirstPaint();
    void renderedView_data();
    void renderedView();
    void viewCache();
    void tileCache();
    void scrollBars();
    void mouseInMapMetres();
    void dragging();
    void tags_data();
    void tags();
    void failedTileToldOnce();
    void damagedTileToldOnce();
    void ownerErrorsStayInTheirEvent();
    void showPosition();
    void keepOpen();
    void sampleSheetScreenshots();
};

void TestMapPanel::init() {
    UIServices::SetMessageHook([](const UIServices::TShownMessage&) { return UIServices::TMsgResult::OK; });
    UIServices::ClearMessageLog();
}

void TestMapPanel::cleanup() { UIServices::SetMessageHook({}); }

void TestMapPanel::viewRectangle_data() {
    QTest::addColumn<double>("s");
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<int>("cx");
    QTest::addColumn<int>("cy");
    QTest::addColumn<QList<int>>("rect");  // left, right, bottom, top
    // right = Round(497.5 + left) and top = Round(247.5 + bottom) are ties, going to even.
    QTest::newRow("example") << 2.5 << 200 << 100 << 1500500 << 6500500
                             << QList<int>{1500250, 1500748, 6500375, 6500622};
    QTest::newRow("ties, one down and one up")
        << 2.5 << 200 << 100 << 1500501 << 6500501 << QList<int>{1500251, 1500748, 6500376, 6500624};
    QTest::newRow("odd size") << 2.5 << 201 << 101 << 1500500 << 6500500
                              << QList<int>{1500250, 1500750, 6500375, 6500625};
    QTest::newRow("s = 2") << 2.0 << 200 << 100 << 1500500 << 6500500 << QList<int>{1500300, 1500698, 6500400, 6500598};
    // The whole map fits across: the map's own centre stands for the centre on that axis.
    QTest::newRow("narrow map, off centre")
        << 2.5 << 1000 << 100 << 1500000 << 6500500 << QList<int>{1499250, 1501748, 6500375, 6500622};
}

void TestMapPanel::viewRectangle() {
    QFETCH(double, s);
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(int, cx);
    QFETCH(int, cy);
    QFETCH(QList<int>, rect);
    const auto g = Geometry(ExampleSheet(1500000, s), w, h, cx, cy);
    QCOMPARE((QList<int>{g.Left(), g.Right(), g.Bottom(), g.Top()}), rect);
}

void TestMapPanel::conversions_data() {
    QTest::addColumn<double>("s");
    QTest::addColumn<QString>("conversion");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("expected");
    // s = 2.5: left 1 500 250, right 1 500 748, bottom 6 500 375, top 6 500 622.
    QTest::newRow("px 0") << 2.5 << "PixelToMapX" << 0 << 1500250;
    QTest::newRow("px 1: 2.5 to 2") << 2.5 << "PixelToMapX" << 1 << 1500252;
    QTest::newRow("px 3: 7.5 to 8") << 2.5 << "PixelToMapX" << 3 << 1500258;
    QTest::newRow("px 5: 12.5 to 12") << 2.5 << "PixelToMapX" << 5 << 1500262;
    QTest::newRow("py 1") << 2.5 << "PixelToMapY" << 1 << 6500620;
    QTest::newRow("py 3") << 2.5 << "PixelToMapY" << 3 << 6500614;
    QTest::newRow("x at left edge") << 2.5 << "MapXToPixel" << 1500250 << -1;
    QTest::newRow("x left + 1") << 2.5 << "MapXToPixel" << 1500251 << 0;
    QTest::newRow("x right - 1") << 2.5 << "MapXToPixel" << 1500747 << 199;
    QTest::newRow("x at right edge") << 2.5 << "MapXToPixel" << 1500748 << -1;
    QTest::newRow("x west of view") << 2.5 << "MapXToPixel" << 1500000 << -1;
    QTest::newRow("y at top edge") << 2.5 << "MapYToPixel" << 6500622 << -1;
    QTest::newRow("y top - 1") << 2.5 << "MapYToPixel" << 6500621 << 0;
    QTest::newRow("y bottom + 1") << 2.5 << "MapYToPixel" << 6500376 << 98;
    QTest::newRow("y at bottom edge") << 2.5 << "MapYToPixel" << 6500375 << -1;
    // s = 2: left 1 500 300, top 6 500 598; odd distances halve to ties.
    QTest::newRow("s2 x 0.5 to 0") << 2.0 << "MapXToPixel" << 1500301 << 0;
    QTest::newRow("s2 x 1.5 to 2") << 2.0 << "MapXToPixel" << 1500303 << 2;
    QTest::newRow("s2 x 2.5 to 2") << 2.0 << "MapXToPixel" << 1500305 << 2;
    QTest::newRow("s2 x 3.5 to 4") << 2.0 << "MapXToPixel" << 1500307 << 4;
    QTest::newRow("s2 y 0.5 to 0") << 2.0 << "MapYToPixel" << 6500597 << 0;
    QTest::newRow("s2 y 2.5 to 2") << 2.0 << "MapYToPixel" << 6500593 << 2;
}

void TestMapPanel::conversions() {
    QFETCH(double, s);
    QFETCH(QString, conversion);
    QFETCH(int, value);
    QFETCH(int, expected);
    const auto g = Geometry(ExampleSheet(1500000, s), 200, 100, 1500500, 6500500);
    const int got = conversion == "PixelToMapX" ? g.PixelToMapX(value)
        : conversion == "PixelToMapY"           ? g.PixelToMapY(value)
        : conversion == "MapXToPixel"           ? g.MapXToPixel(value)
                                                : g.MapYToPixel(value);
    QCOMPARE(got, expected);
}

void TestMapPanel::inactiveConversions() {
    auto g = Geometry(ExampleSheet(), 200, 100, 1500500, 6500500);
    g.ClearSheet();
    TFRMapPanel panel;
    QCOMPARE((QList<int>{g.PixelToMapX(1), g.PixelToMapY(1), g.MapXToPixel(1500300), g.MapYToPixel(6500500)}),
             (QList<int>{-1, -1, -1, -1}));
    QCOMPARE((QList<int>{panel.PixelToMapX(1), panel.PixelToMapY(1), panel.MapXToPixel(1500300),
                         panel.MapYToPixel(6500500)}),
             (QList<int>{-1, -1, -1, -1}));
    QVERIFY(g.VisibleTiles().empty());
}

void TestMapPanel::visibleTiles_data() {
    QTest::addColumn<int>("xmin");
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<int>("cx");
    QTest::addColumn<int>("cy");
    QTest::addColumn<QString>("tiles");
    // left 1 500 250 lies 100 px east of the map's west edge; top 6 500 622 lies 151.2 px
    // south of its north edge: columns 2..5 from x 0, rows 3..5 from y -1.
    QTest::newRow("example") << 1500000 << 200 << 100 << 1500500 << 6500500
                             << "2,3@0,-1 3,3@50,-1 4,3@100,-1 5,3@150,-1 "
                                "2,4@0,49 3,4@50,49 4,4@100,49 5,4@150,49 "
                                "2,5@0,99 3,5@50,99 4,5@100,99 5,5@150,99";
    // The view reaches north of the map: row 0 starts 49 px down, nothing above it.
    QTest::newRow("north edge") << 1500000 << 200 << 100 << 1500500 << 6501000
                                << "2,0@0,49 3,0@50,49 4,0@100,49 5,0@150,49 2,1@0,99 3,1@50,99 4,1@100,99 5,1@150,99";
    // Wholly north of the map (a position shown without clamping): no tile, no negative row.
    QTest::newRow("north of the map") << 1500000 << 200 << 100 << 1500500 << 6502000 << "";
    QTest::newRow("west of the map") << 1500000 << 200 << 100 << 1499000 << 6500500 << "";
    // The map's west edge 40 m off the 125 m grid: the tiles follow the map, not the grid.
    QTest::newRow("XMin off the tile grid") << 1500040 << 200 << 50 << 1500540 << 6500875
                                            << "2,0@0,-26 3,0@50,-26 4,0@100,-26 5,0@150,-26 "
                                               "2,1@0,24 3,1@50,24 4,1@100,24 5,1@150,24";
    // top = 6 500 875, exactly one tile south of the north edge: row 1 at y 0.
    QTest::newRow("top on a tile edge") << 1500000 << 100 << 101 << 1500250 << 6500750
                                        << "1,1@0,0 2,1@50,0 1,2@0,50 2,2@50,50 1,3@0,100 2,3@50,100";
    // East and south edges: nothing past the last column and row.
    QTest::newRow("south-east corner") << 1500000 << 200 << 100 << 1501000 << 6500000 << "6,7@0,-1 7,7@50,-1";
    // The whole map fits: drawn centred, at the place of its metres (the first row and a
    // half of the 64 tiles listed).
    QTest::newRow("narrow and low map") << 1500000 << 1000 << 600 << 1500000 << 6500000
                                        << "0,0@300,99 1,0@350,99 2,0@400,99 3,0@450,99 4,0@500,99 5,0@550,99 "
                                           "6,0@600,99 7,0@650,99 0,1@300,149 ...";
}

void TestMapPanel::visibleTiles() {
    QFETCH(int, xmin);
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(int, cx);
    QFETCH(int, cy);
    QFETCH(QString, tiles);
    const auto g = Geometry(ExampleSheet(xmin), w, h, cx, cy);
    const QString got = TileList(g.VisibleTiles());
    if (tiles.endsWith(QStringLiteral(" ...")))
        QVERIFY2(got.startsWith(tiles.chopped(4)), qPrintable(got));
    else
        QCOMPARE(got, tiles);
    for (const auto& t : g.VisibleTiles()) {
        QVERIFY(t.Index >= 0 && t.Index < 64);
        QCOMPARE(t.Index, 8 * t.Row + t.Column);
        // Each tile lies where the conversions put its north-west corner.
        const qint64 west = qint64(xmin) + 125 * t.Column, north = 6501000 - 125 * t.Row;
        QCOMPARE(t.X, Round((west - g.Left()) / 2.5));
        QCOMPARE(t.Y, Round((g.Top() - north) / 2.5));
    }
}

void TestMapPanel::pagingDraggingClamping() {
    auto g = Geometry(ExampleSheet(), 200, 100, 1500500, 6500500);
    QCOMPARE(g.PageStepY(), 210);
    QCOMPARE(g.PageStepX(), 460);
    QVERIFY(g.HorizontalEnabled() && g.VerticalEnabled());
    QCOMPARE(g.HorizontalPosition(), 500);
    QCOMPARE(g.VerticalPosition(), 500);
    // A surface narrower or lower than 16 pixels still pages by one pixel, forwards.
    for (int size : {0, 5, 16}) {
        g.SetSurfaceSize(size, size);
        QCOMPARE(g.PageStepX(), 2);
        QCOMPARE(g.PageStepY(), 2);
    }
    g.SetSurfaceSize(200, 100);
    TMapPoint target;
    QVERIFY(g.DragTarget(100, 50, 90, 60, target));
    QCOMPARE(target, (TMapPoint{1500525, 6500525}));
    QVERIFY(g.DragTarget(100, 50, 101, 50, target));
    QCOMPARE(target, (TMapPoint{1500498, 6500500}));  // -2.5 rounds to -2
    QVERIFY(!g.DragTarget(100, 50, 100, 50, target));
    QCOMPARE(g.Clamped(1400000, 7000000), (TMapPoint{1500000, 6501000}));
    QCOMPARE(g.Clamped(1600000, 6000000), (TMapPoint{1501000, 6500000}));
    QCOMPARE(g.Clamped(1500321, 6500123), (TMapPoint{1500321, 6500123}));
    // The whole map within the view: no bar to scroll with.
    g.SetSurfaceSize(1000, 100);
    QVERIFY(!g.HorizontalEnabled() && g.VerticalEnabled());
}

void TestMapPanel::construction() {
    TFRMapPanel panel;
    QCOMPARE(panel.size(), QSize(400, 400));
    QVERIFY(!panel.DraggingEnabled());
    QVERIFY(!panel.KeepOpen());
    QVERIFY(panel.RIKMap().FileName().isEmpty());
    QVERIFY(panel.Surface()->isHidden());
    QCOMPARE(panel.Surface()->geometry(), QRect(0, 0, 384, 384));
    QCOMPARE(panel.VerticalBar()->geometry(), QRect(384, 0, 16, 384));
    QCOMPARE(panel.HorizontalBar()->geometry(), QRect(0, 0, 384, 16));
    QCOMPARE(panel.Corner()->geometry(), QRect(384, 0, 16, 16));
    QCOMPARE(panel.Corner()->parentWidget(), panel.HorizontalBar()->parentWidget());
    QCOMPARE(panel.Corner()->focusPolicy(), Qt::StrongFocus);
    QVERIFY(!panel.HorizontalBar()->isEnabled() && !panel.VerticalBar()->isEnabled());
}

void TestMapPanel::conversionsBeforeFirstPaint() {
    Fixture f;
    TFRMapPanel panel;
    SizeSurface(panel, 200, 100);
    panel.RIKMap().SetFileName(f.Write(FileSheet(false)));
    panel.RIKMap().SetActive(true);
    // Activation centres on the map and the view follows at once, before any paint.
    QCOMPARE(panel.CenterX(), 1500500);
    QCOMPARE(panel.CenterY(), 6500500);
    QVERIFY(!panel.Surface()->isHidden());
    QCOMPARE(panel.PixelToMapX(1), 1500252);
    QCOMPARE(panel.MapXToPixel(1500251), 0);
    panel.SetCenter(1500600, 6500400);
    QCOMPARE(panel.PixelToMapX(0), 1500350);
    QCOMPARE(panel.PixelToMapY(0), 6500522);
    // A resize changes the view at once as well.
    SizeSurface(panel, 100, 100);
    QCOMPARE(panel.PixelToMapX(0), 1500475);
    QCOMPARE(panel.HorizontalBar()->maximum(), 1000);
    panel.RIKMap().SetActive(false);
    QCOMPARE(panel.PixelToMapX(1), -1);
    QVERIFY(panel.Surface()->isHidden());
}

void TestMapPanel::renderedView_data() {
    QTest::addColumn<bool>("lzw");
    QTest::addColumn<int>("xmin");
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<int>("cx");
    QTest::addColumn<int>("cy");
    QTest::newRow("RLE, example view") << false << 1500000 << 200 << 100 << 1500500 << 6500500;
    QTest::newRow("LZW, example view") << true << 1500000 << 200 << 100 << 1500500 << 6500500;
    QTest::newRow("RLE, XMin off the grid, north-west corner") << false << 1500040 << 237 << 131 << 1500040 << 6501000;
    QTest::newRow("LZW, south-east corner") << true << 1500000 << 173 << 211 << 1501000 << 6500000;
    QTest::newRow("RLE, whole map centred") << false << 1500000 << 500 << 450 << 1500000 << 6500000;
}

void TestMapPanel::renderedView() {
    QFETCH(bool, lzw);
    QFETCH(int, xmin);
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(int, cx);
    QFETCH(int, cy);
    Fixture f;
    const QString path = f.Write(FileSheet(lzw, xmin));
    TFRMapPanel panel;
    SizeSurface(panel, w, h);
    panel.RIKMap().SetFileName(path);
    panel.RIKMap().SetActive(true);
    panel.SetCenter(cx, cy);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    const QImage got = SurfacePicture(panel);
    QCOMPARE(got.size(), QSize(w, h));

    // The expected picture: white, with the reader's tiles at the places the conversions give
    // their north-west corners.
    TRIKMap reader;
    reader.SetFileName(path);
    reader.SetActive(true);
    QImage expected(w, h, QImage::Format_RGB32);
    expected.fill(Qt::white);
    QPainter painter(&expected);
    int drawn = 0;
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c) {
            const int x = Round((double(xmin) + 125 * c - panel.Geometry().Left()) / 2.5);
            const int y = Round((panel.Geometry().Top() - (6501000.0 - 125 * r)) / 2.5);
            if (x >= w || y >= h || x + 50 <= 0 || y + 50 <= 0) continue;
            QVERIFY(reader.DecodeTile(8 * r + c));
            painter.drawImage(QPoint(x, y), reader.TileBitmap());
            ++drawn;
        }
    painter.end();
    QVERIFY(drawn > 0);
    QCOMPARE(panel.TilesDecoded(), drawn);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (got.pixel(x, y) != expected.pixel(x, y))
                QFAIL(qPrintable(QStringLiteral("pixel (%1, %2): %3, expected %4")
                                     .arg(x)
                                     .arg(y)
                                     .arg(got.pixel(x, y), 0, 16)
                                     .arg(expected.pixel(x, y), 0, 16)));
}

void TestMapPanel::viewCache() {
    Fixture f;
    TFRMapPanel panel;
    SizeSurface(panel, 200, 100);
    panel.RIKMap().SetFileName(f.Write(FileSheet(false)));
    int layers = 0;
    QRect drawnMark;
    panel.OnPaintLayer = [&](TFRMapPanel* sender, QPainter& canvas) {
        QCOMPARE(sender, &panel);
        ++layers;
        canvas.fillRect(drawnMark, Qt::black);
    };
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    Paint(panel);
    QCOMPARE(layers, 0);  // no map: white, no overlay
    QCOMPARE(QColor(SurfacePicture(panel).pixel(10, 10)), QColor(Qt::white));

    panel.RIKMap().SetActive(true);
    Paint(panel);
    QCOMPARE(panel.ViewCacheBuilds(), 1);
    QCOMPARE(panel.TilesDecoded(), 12);
    QVERIFY(layers >= 1);
    QVERIFY(!QApplication::overrideCursor());  // the wait cursor is gone again

    // An ordinary repaint, asked of the panel, draws the overlay over the same cache.
    drawnMark = QRect(20, 30, 5, 5);
    const int before = layers;
    panel.update();
    QTRY_VERIFY(layers > before);
    QCOMPARE(panel.ViewCacheBuilds(), 1);
    QCOMPARE(QColor(SurfacePicture(panel).pixel(22, 32)), QColor(Qt::black));
    // The transient shape is gone with the next paint that leaves it out.
    drawnMark = QRect();
    QVERIFY(QColor(SurfacePicture(panel).pixel(22, 32)) != QColor(Qt::black));
    QCOMPARE(panel.ViewCacheBuilds(), 1);

    // SetCenter, a resize, ShowPosition and an activation each rebuild it.
    panel.SetCenter(1500600, 6500500);
    QVERIFY(!panel.HasViewCache());
    Paint(panel);
    QCOMPARE(panel.ViewCacheBuilds(), 2);
    SizeSurface(panel, 210, 100);
    Paint(panel);
    QCOMPARE(panel.ViewCacheBuilds(), 3);
    panel.ShowPosition(1500700, 6500500);
    QVERIFY(!panel.HasViewCache());
    Paint(panel);
    QCOMPARE(panel.ViewCacheBuilds(), 4);
    QCOMPARE(panel.PixelToMapX(0), 1500438);
    panel.RIKMap().SetActive(false);
    panel.RIKMap().SetActive(true);
    QVERIFY(!panel.HasViewCache());
    QCOMPARE(panel.TileCache().Count(), 0);
    Paint(panel);
    QCOMPARE(panel.ViewCacheBuilds(), 5);
}

void TestMapPanel::tileCache() {
    Fixture f;
    TFRMapPanel panel;
    SizeSurface(panel, 200, 100);
    panel.RIKMap().SetFileName(f.Write(FileSheet(true)));
    panel.RIKMap().SetActive(true);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    Paint(panel);
    const QImage first = SurfacePicture(panel);
    const int decoded = panel.TilesDecoded();
    panel.SetCenter(1500500, 6500100);  // the southern part of the map
    Paint(panel);
    QVERIFY(panel.TilesDecoded() > decoded);
    const int afterSouth = panel.TilesDecoded();
    // Back north: the tiles come from the tile cache, the picture is the same.
    panel.SetCenter(1500500, 6500500);
    Paint(panel);
    QCOMPARE(panel.TilesDecoded(), afterSouth);
    QCOMPARE(SurfacePicture(panel), first);
    // The least recently used tile goes when the cache is full.
    TFRMapTileCache cache;
    cache.SetTileSize(1000, 1000);
    QCOMPARE(cache.Capacity(), 16);
    cache.SetTileSize(50, 50);  // a whole 1920 x 1080 view of small tiles, and the way back
    QVERIFY(cache.Capacity() >= 2 * 39 * 22);
    cache.SetTileSize(800, 800);
    const int n = cache.Capacity();
    for (int i = 0; i < n; ++i) cache.Insert(i, QImage(1, 1, QImage::Format_RGB32));
    QVERIFY(cache.Find(0));  // 0 is now the most recent
    cache.Insert(n, QImage(1, 1, QImage::Format_RGB32));
    QCOMPARE(cache.Count(), n);
    QVERIFY(cache.Find(0));
    QVERIFY(!cache.Find(1));
    QVERIFY(cache.Find(n));
}

void TestMapPanel::scrollBars() {
    Fixture f;
    TFRMapPanel panel;
    SizeSurface(panel, 200, 100);
    panel.RIKMap().SetFileName(f.Write(FileSheet(false)));
    panel.RIKMap().SetActive(true);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    panel.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&panel));
    QScrollBar* v = panel.VerticalBar();
    QScrollBar* h = panel.HorizontalBar();
    QCOMPARE(h->maximum(), 1000);
    QCOMPARE(v->maximum(), 1000);
    QVERIFY(h->isEnabled() && v->isEnabled());
    QCOMPARE(h->value(), 500);
    QCOMPARE(v->value(), 500);

    v->triggerAction(QAbstractSlider::SliderPageStepSub);  // page up
    QCOMPARE(panel.CenterY(), 6500500 + 210);
    QCOMPARE(v->value(), 500 - 210);
    QVERIFY(panel.Corner()->hasFocus());
    panel.SetCenter(1500500, 6500500);
    v->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QCOMPARE(panel.CenterY(), 6500500 - 210);
    h->triggerAction(QAbstractSlider::SliderPageStepAdd);  // page right
    QCOMPARE(panel.CenterX(), 1500500 + 460);
    h->triggerAction(QAbstractSlider::SliderPageStepSub);
    h->triggerAction(QAbstractSlider::SliderPageStepSub);
    QCOMPARE(panel.CenterX(), 1500040);
    // Paging past an edge stops at it.
    h->triggerAction(QAbstractSlider::SliderPageStepSub);
    QCOMPARE(panel.CenterX(), 1500000);
    QCOMPARE(h->value(), 0);

    // Line steps and jumps to the ends move nothing, not even the thumb.
    panel.SetCenter(1500500, 6500500);
    for (auto action : {QAbstractSlider::SliderSingleStepAdd, QAbstractSlider::SliderSingleStepSub,
                        QAbstractSlider::SliderToMinimum, QAbstractSlider::SliderToMaximum}) {
        h->triggerAction(action);
        v->triggerAction(action);
        QCOMPARE(panel.CenterX(), 1500500);
        QCOMPARE(panel.CenterY(), 6500500);
        QCOMPARE(h->sliderPosition(), 500);
        QCOMPARE(v->sliderPosition(), 500);
    }
    // The thumb moves the view only when it is let go.
    h->setSliderDown(true);
    h->setSliderPosition(300);
    QCOMPARE(panel.CenterX(), 1500500);
    h->setSliderDown(false);
    QCOMPARE(panel.CenterX(), 1500300);
    v->setSliderDown(true);
    v->setSliderPosition(800);
    v->setSliderDown(false);
    QCOMPARE(panel.CenterY(), 6500200);

    // The whole map fits across: the horizontal bar is off.
    SizeSurface(panel, 500, 100);
    Paint(panel);
    QVERIFY(!h->isEnabled());
    QVERIFY(v->isEnabled());
}

void TestMapPanel::mouseInMapMetres() {
    Fixture f;
    TFRMapPanel panel;
    SizeSurface(panel, 200, 100);
    panel.RIKMap().SetFileName(f.Write(FileSheet(false)));
    QStringList calls;
    panel.OnMouseDown = [&](TFRMapPanel*, Qt::MouseButton b, Qt::KeyboardModifiers m, int x, int y) {
        calls << QStringLiteral("down %1 %2 %3 %4").arg(int(b)).arg(m.testFlag(Qt::ShiftModifier)).arg(x).arg(y);
    };
    panel.OnMouseUp = [&](TFRMapPanel*, Qt::MouseButton b, Qt::KeyboardModifiers, int x, int y) {
        calls << QStringLiteral("up %1 %2 %3").arg(int(b)).arg(x).arg(y);
    };
    panel.OnMouseMove = [&](TFRMapPanel*, Qt::MouseButtons, Qt::KeyboardModifiers, int x, int y) {
        calls << QStringLiteral("move %1 %2").arg(x).arg(y);
    };
    panel.OnDblClick = [&](TFRMapPanel*) { calls << QStringLiteral("dblclick"); };
    QWidget* s = panel.Surface();
    // No map: nothing reaches the owner, even when events do reach the hidden surface.
    QTest::mousePress(s, Qt::LeftButton, {}, QPoint(1, 3));
    QTest::mouseRelease(s, Qt::LeftButton, {}, QPoint(1, 3));
    QTest::mouseDClick(s, Qt::LeftButton, {}, QPoint(1, 3));
    MouseMove(s, QPoint(2, 2));
    QVERIFY2(calls.isEmpty(), qPrintable(calls.join(", ")));

    panel.RIKMap().SetActive(true);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QTest::mousePress(s, Qt::LeftButton, Qt::ShiftModifier, QPoint(1, 3));
    QTest::mouseRelease(s, Qt::LeftButton, {}, QPoint(5, 1));
    MouseMove(s, QPoint(3, 1));
    QCOMPARE(calls, (QStringList{"down 1 1 1500252 6500614", "up 1 1500262 6500620", "move 1500258 6500620"}));
    calls.clear();
    QTest::mouseDClick(s, Qt::RightButton, {}, QPoint(2, 4));
    QVERIFY2(calls.contains("dblclick"), qPrintable(calls.join(", ")));
    QVERIFY(calls.contains(QStringLiteral("down %1 0 1500255 6500612").arg(int(Qt::RightButton))));
}

void TestMapPanel::dragging() {
    Fixture f;
    TFRMapPanel panel;
    SizeSurface(panel, 200, 100);
    panel.RIKMap().SetFileName(f.Write(FileSheet(false)));
    panel.RIKMap().SetActive(true);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QWidget* s = panel.Surface();
    QCOMPARE(s->cursor().shape(), Qt::ArrowCursor);
    // Without DraggingEnabled a drag moves nothing.
    QTest::mousePress(s, Qt::LeftButton, {}, QPoint(100, 50));
    QTest::mouseRelease(s, Qt::LeftButton, {}, QPoint(90, 60));
    QCOMPARE(panel.CenterX(), 1500500);

    panel.SetDraggingEnabled(true);
    QCOMPARE(s->cursor().shape(), Qt::SizeAllCursor);
    Paint(panel);
    QCOMPARE(panel.ViewCacheBuilds(), 1);
    // Nothing moves while the button is held; the view moves once, at the release.
    QTest::mousePress(s, Qt::LeftButton, {}, QPoint(100, 50));
    MouseMove(s, QPoint(90, 60), Qt::LeftButton);
    QCOMPARE(panel.CenterX(), 1500500);
    QVERIFY(panel.HasViewCache());
    QTest::mouseRelease(s, Qt::LeftButton, {}, QPoint(90, 60));
    QCOMPARE(panel.CenterX(), 1500525);
    QCOMPARE(panel.CenterY(), 6500525);
    QVERIFY(!panel.HasViewCache());
    Paint(panel);
    QCOMPARE(panel.ViewCacheBuilds(), 2);
    // A release at the press point keeps the view and its cache.
    QTest::mousePress(s, Qt::LeftButton, {}, QPoint(40, 40));
    QTest::mouseRelease(s, Qt::LeftButton, {}, QPoint(40, 40));
    QCOMPARE(panel.CenterX(), 1500525);
    QVERIFY(panel.HasViewCache());
    // A drag across the view, then beyond the map's north-west corner, where it stops.
    QTest::mousePress(s, Qt::LeftButton, {}, QPoint(1, 1));
    QTest::mouseRelease(s, Qt::LeftButton, {}, QPoint(199, 99));
    QCOMPARE(panel.CenterX(), 1500525 - 495);
    QCOMPARE(panel.CenterY(), 6500525 + 245);
    QTest::mousePress(s, Qt::LeftButton, {}, QPoint(1, 1));
    QTest::mouseRelease(s, Qt::LeftButton, {}, QPoint(199, 99));
    QCOMPARE(panel.CenterX(), 1500000);
    QCOMPARE(panel.CenterY(), 6501000);
    panel.SetDraggingEnabled(false);
    QCOMPARE(s->cursor().shape(), Qt::ArrowCursor);
}

void TestMapPanel::tags_data() {
    QTest::addColumn<bool>("withTags");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QString>("expected");  // "" when OnTagInfo is not called at all
    QTest::newRow("inside A only") << true << QPoint(12, 12) << "12 12 A Data A";
    QTest::newRow("A and B overlap: the first added") << true << QPoint(15, 15) << "15 15 A Data A";
    QTest::newRow("A's right and bottom are outside") << true << QPoint(20, 20) << "20 20 B Data B";
    QTest::newRow("B's last pixel") << true << QPoint(29, 29) << "29 29 B Data B";
    QTest::newRow("outside both") << true << QPoint(5, 5) << "5 5 <> <>";
    QTest::newRow("no tags: no call") << false << QPoint(15, 15) << "";
}

void TestMapPanel::tags() {
    QFETCH(bool, withTags);
    QFETCH(QPoint, at);
    QFETCH(QString, expected);
    Fixture f;
    TFRMapPanel panel;
    SizeSurface(panel, 200, 100);
    panel.RIKMap().SetFileName(f.Write(FileSheet(false)));
    panel.RIKMap().SetActive(true);
    panel.OnPaintLayer = [&](TFRMapPanel* p, QPainter&) {
        if (!withTags) return;
        p->MapObjects().Add(LTRB(10, 10, 20, 20), "A", "Data A");
        p->MapObjects().Add(LTRB(15, 15, 30, 30), "B", "Data B");
        p->MapObjects().Add(QRect(0, 0, 0, 0), "tom", "tom");  // empty: holds nothing
    };
    QStringList calls;
    panel.OnTagInfo = [&](TFRMapPanel*, int x, int y, const QString& tag, const QString& data) {
        calls << QStringLiteral("%1 %2 %3 %4")
                     .arg(x)
                     .arg(y)
                     .arg(tag.isEmpty() ? "<>" : tag, data.isEmpty() ? "<>" : data);
    };
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    Paint(panel);
    Paint(panel);  // the tags of the last paint only: each paint clears them first
    QCOMPARE(panel.MapObjects().Count(), withTags ? 3 : 0);
    MouseMove(panel.Surface(), at);
    QCOMPARE(calls.join(QLatin1Char('|')), expected);
}

void TestMapPanel::failedTileToldOnce() {
    Fixture f;
    TFRMapPanel panel;
    SizeSurface(panel, 200, 100);
    // Tile 8 * 3 + 2 lies in the example view.
    panel.RIKMap().SetFileName(f.Write(FileSheet(true, 1500000, 26)));
    panel.RIKMap().SetActive(true);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    Paint(panel);
    QTRY_COMPARE(UIServices::MessageLog().size(), 1);
    QCOMPARE(UIServices::MessageLog()[0].Text, QStringLiteral("Utanför området!"));
    // The rest of the view is drawn; the failed tile shows its red square where it reaches.
    const QImage got = SurfacePicture(panel);
    QVERIFY(QColor(got.pixel(60, 10)) != QColor(Qt::white));
    // Repaints and panning back over it tell nothing again.
    panel.update();
    panel.SetCenter(1500500, 6500100);
    Paint(panel);
    panel.SetCenter(1500500, 6500500);
    Paint(panel);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QCOMPARE(UIServices::MessageLog().size(), 1);
}

// An RLE tile whose data stops short (a damaged sheet) draws what it has and is told once,
// as a tile that cannot be read at all is.
void TestMapPanel::damagedTileToldOnce() {
    Fixture f;
    TFRMapPanel panel;
    SizeSurface(panel, 200, 100);
    rikwriter::Sheet sheet = FileSheet(false);
    sheet.Tiles[26] = sheet.Tiles[26].left(sheet.Tiles[26].size() / 2);
    panel.RIKMap().SetFileName(f.Write(sheet));
    panel.RIKMap().SetActive(true);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    Paint(panel);
    QTRY_COMPARE(UIServices::MessageLog().size(), 1);
    QCOMPARE(UIServices::MessageLog()[0].Text, QStringLiteral("Utanför området!"));
    panel.update();
    Paint(panel);
    QCoreApplication::processEvents();
    QCOMPARE(UIServices::MessageLog().size(), 1);
}

void TestMapPanel::ownerErrorsStayInTheirEvent() {
    Fixture f;
    TFRMapPanel panel;
    SizeSurface(panel, 200, 100);
    panel.RIKMap().SetFileName(f.Write(FileSheet(false)));
    panel.RIKMap().SetActive(true);
    panel.SetDraggingEnabled(true);
    panel.OnPaintLayer = [](TFRMapPanel*, QPainter&) { throw Exception(QStringLiteral("Fel i överlägget")); };
    panel.OnMouseUp = [](TFRMapPanel*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
        throw Exception(QStringLiteral("Fel vid släppet"));
    };
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    Paint(panel);
    // The overlay's error is shown; the map under it is drawn all the same.
    QVERIFY(!UIServices::MessageLog().isEmpty());
    QCOMPARE(UIServices::MessageLog()[0].Text, QStringLiteral("Fel i överlägget"));
    QCOMPARE(UIServices::MessageLog()[0].Icon, UIServices::TMsgIcon::Error);
    QVERIFY(QColor(SurfacePicture(panel).pixel(60, 10)) != QColor(Qt::white));
    panel.OnPaintLayer = {};
    UIServices::ClearMessageLog();
    // The owner's release handler fails: the drag still ends and moves the view.
    QTest::mousePress(panel.Surface(), Qt::LeftButton, {}, QPoint(100, 50));
    QTest::mouseRelease(panel.Surface(), Qt::LeftButton, {}, QPoint(90, 60));
    QCOMPARE(UIServices::MessageLog().size(), 1);
    QCOMPARE(UIServices::MessageLog()[0].Text, QStringLiteral("Fel vid släppet"));
    QCOMPARE(panel.CenterX(), 1500525);
    QCOMPARE(panel.CenterY(), 6500525);
}

void TestMapPanel::showPosition() {
    Fixture f;
    TFRMapPanel panel;
    SizeSurface(panel, 200, 100);
    // A file that cannot be read: the error reaches the caller, the map stays inactive.
    panel.RIKMap().SetFileName(f.dir.filePath("saknas.rik"));
    const QString error = testsupport::ExceptionText([&] { panel.ShowPosition(1500500, 6500500); });
    QVERIFY2(error.contains("kunde inte öppnas"), qPrintable(error));
    QVERIFY(!panel.RIKMap().Active());
    QVERIFY(panel.Surface()->isHidden());
    QByteArray bad = rikwriter::Write(FileSheet(false));
    bad.truncate(40);
    testsupport::WriteBytes(f.dir.filePath("trasig.rik"), bad);
    panel.RIKMap().SetFileName(f.dir.filePath("trasig.rik"));
    QVERIFY(testsupport::ExceptionText([&] {
                panel.ShowPosition(1500500, 6500500);
            }).startsWith("Invalid mapfile. Message: "));
    QVERIFY(!panel.RIKMap().Active());

    // A good file: activated and centred where asked, without clamping.
    panel.RIKMap().SetFileName(f.Write(FileSheet(false)));
    panel.ShowPosition(1400000, 6500500);
    QVERIFY(panel.RIKMap().Active());
    QVERIFY(!panel.Surface()->isHidden());
    QCOMPARE(panel.CenterX(), 1400000);
    QCOMPARE(panel.PixelToMapX(0), 1400000 - 250);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    Paint(panel);
    QCOMPARE(panel.TilesDecoded(), 0);  // nothing of the map lies in the view
    QCOMPARE(QColor(SurfacePicture(panel).pixel(100, 50)), QColor(Qt::white));
    // SetCenter clamps.
    panel.SetCenter(1400000, 7000000);
    QCOMPARE(panel.CenterX(), 1500000);
    QCOMPARE(panel.CenterY(), 6501000);
    // A centre no view can be made around: the map is made inactive, nothing is told.
    panel.ShowPosition(std::numeric_limits<int>::max(), 6500500);
    QVERIFY(!panel.RIKMap().Active());
    QVERIFY(UIServices::MessageLog().isEmpty());
}

void TestMapPanel::keepOpen() {
    Fixture f;
    TFRMapPanel panel;
    panel.RIKMap().SetFileName(f.Write(FileSheet(false)));
    panel.RIKMap().SetActive(true);
    QVERIFY(!panel.RIKMap().FileOpen());
    panel.SetKeepOpen(true);
    QVERIFY(panel.KeepOpen());
    QVERIFY(panel.RIKMap().FileOpen());
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    Paint(panel);
    QVERIFY(panel.TilesDecoded() > 0);
    QVERIFY(panel.RIKMap().TakeFailedTiles().isEmpty());
    panel.SetKeepOpen(false);
    QVERIFY(!panel.RIKMap().FileOpen());
}

void TestMapPanel::sampleSheetScreenshots() {
    const QString path = testsupport::ProgramDir() + QStringLiteral("/Data/Samples/Kalmarsund.rik");
    QVERIFY2(QFile::exists(path), qPrintable(path));
    const QImage flag = Resources::BitmapImage("MAPFLAG");
    struct Find {
        int X, Y;
        QString Name;
    };
    // Kalmar, Färjestaden and a point on Öland's west coast; a place with its ellipse near
    // Kalmar; a pending area mark.
    const QList<Find> finds{
        {1533822, 6281934, "Kantarell"}, {1541500, 6283500, "Karljohan"}, {1547000, 6300000, "Trattkantarell"}};
    struct Shot {
        QSize Size;
        bool Corner;  // centred on the sheet's north-west corner: white beyond the map
    };
    for (const Shot shot :
         {Shot{QSize(800, 600), false}, Shot{QSize(1280, 1024), false}, Shot{QSize(800, 600), true}}) {
        const QSize size = shot.Size;
        QWidget window;
        window.resize(size);
        auto* panel = new TFRMapPanel(&window);
        panel->setGeometry(QRect(QPoint(0, 0), size));
        panel->RIKMap().SetFileName(path);
        panel->RIKMap().SetActive(true);
        if (shot.Corner)
            panel->SetCenter(panel->RIKMap().XMin(), panel->RIKMap().YMax());
        else
            panel->SetCenter(1537000, 6285000);
        panel->SetDraggingEnabled(true);
        QString tagInfo;
        panel->OnTagInfo = [&](TFRMapPanel*, int, int, const QString&, const QString& data) { tagInfo = data; };
        panel->OnPaintLayer = [&](TFRMapPanel* p, QPainter& c) {
            c.setRenderHint(QPainter::Antialiasing, false);
            for (const Find& find : finds) {
                const int x = p->MapXToPixel(find.X), y = p->MapYToPixel(find.Y);
                if (x < 0 || y < 0) continue;
                c.setPen(QPen(Qt::black, 1));
                c.setBrush(find.Name == "Kantarell" ? QColor(0, 255, 0) : QColor(255, 0, 0));
                c.drawEllipse(QRect(x - 7, y - 7, 15, 15));
                p->MapObjects().Add(QRect(x - 7, y - 7, 15, 15), "FND" + find.Name,
                                    QStringLiteral("Fyndplats: ") + find.Name);
            }
            const int px = p->MapXToPixel(1529000), py = p->MapYToPixel(6287000);
            if (px >= 0 && py >= 0) {
                const double s = p->RIKMap().MetresPerPixel();
                c.setPen(QPen(QColor(0, 0, 255), 2));
                c.setBrush(Qt::NoBrush);
                c.drawEllipse(QPoint(px, py), Round(1500 / s), Round(900 / s));
                c.setPen(QPen(Qt::black, 1));
                c.setBrush(QColor(0, 0, 255));
                c.drawEllipse(QRect(px - 7, py - 7, 15, 15));
                p->MapObjects().Add(QRect(px - 7, py - 7, 15, 15), "PLCx", "Svampställe: Skälby hage");
            }
            const int mx = p->MapXToPixel(1545000), my = p->MapYToPixel(6279000);
            if (mx >= 0 && my >= 0) {
                c.drawImage(QPoint(mx - 1, my - 24), flag);
                c.setPen(QPen(QColor(255, 0, 0), 2));
                c.setBrush(Qt::NoBrush);
                c.drawEllipse(QPoint(mx, my), Round(2000 / 100.0), Round(1200 / 100.0));
            }
        };
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        Paint(*panel);
        QVERIFY(panel->RIKMap().TakeFailedTiles().isEmpty());
        QVERIFY(UIServices::MessageLog().isEmpty());
        QVERIFY(panel->HorizontalBar()->isEnabled() || panel->VerticalBar()->isEnabled());
        if (shot.Corner) {
            const QImage picture = SurfacePicture(*panel);
            QCOMPARE(QColor(picture.pixel(5, 5)), QColor(Qt::white));
            QVERIFY(QColor(picture.pixel(picture.width() - 5, picture.height() - 5)) != QColor(Qt::white));
            QVERIFY(window.grab().save(testsupport::ArtefactDir() + QStringLiteral("/mappanel_corner_800x600.png")));
            continue;
        }
        // Every find in view carries its tag.
        const int kx = panel->MapXToPixel(1533822), ky = panel->MapYToPixel(6281934);
        QVERIFY(kx >= 0 && ky >= 0);
        MouseMove(panel->Surface(), QPoint(kx, ky));
        QCOMPARE(tagInfo, QStringLiteral("Fyndplats: Kantarell"));
        const QString file = QStringLiteral("%1/mappanel_%2x%3.png")
                                 .arg(testsupport::ArtefactDir())
                                 .arg(size.width())
                                 .arg(size.height());
        QVERIFY(window.grab().save(file));
    }
}

QTEST_MAIN(TestMapPanel)
#include "tst_mappanel.moc"
