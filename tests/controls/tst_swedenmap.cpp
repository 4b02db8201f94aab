#include <QtTest>

#include <QQueue>

#include "FakeFieldTable.h"
#include "controls/FRDBSwedenMap.h"
#include "support/TestSupport.h"

namespace {

const QRgb Black = qRgb(0, 0, 0);

// The pixels of a region picture reached from its edge through black: the outside.
QSet<QPoint> Outside(const QImage& img) {
    QSet<QPoint> seen;
    QQueue<QPoint> queue;
    for (int x = 0; x < img.width(); ++x)
        for (int y = 0; y < img.height(); ++y)
            if ((x == 0 || y == 0 || x == img.width() - 1 || y == img.height() - 1) && img.pixel(x, y) == Black)
                queue.enqueue(QPoint(x, y)), seen.insert(QPoint(x, y));
    while (!queue.isEmpty()) {
        const QPoint p = queue.dequeue();
        for (QPoint d : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)}) {
            const QPoint n = p + d;
            if (img.rect().contains(n) && img.pixel(n) == Black && !seen.contains(n)) seen.insert(n), queue.enqueue(n);
        }
    }
    return seen;
}

// The black pixels the outline encloses.
QList<QPoint> Inside(const QImage& img) {
    const QSet<QPoint> outside = Outside(img);
    QList<QPoint> inside;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) == Black && !outside.contains(QPoint(x, y))) inside << QPoint(x, y);
    return inside;
}

// How many separate surfaces the enclosed pixels form.
int Surfaces(const QList<QPoint>& inside) {
    QSet<QPoint> left(inside.begin(), inside.end());
    int count = 0;
    while (!left.isEmpty()) {
        ++count;
        QQueue<QPoint> queue;
        queue.enqueue(*left.begin());
        left.erase(left.begin());
        while (!queue.isEmpty()) {
            const QPoint p = queue.dequeue();
            for (QPoint d : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)})
                if (left.remove(p + d)) queue.enqueue(p + d);
        }
    }
    return count;
}

TIntensityColors Colors(int count) {
    const TColor palette[] = {0x00FFFF, 0x00A0FF, 0x0000FF, 0x800080};
    const char* captions[] = {"Saknas", "Sällsynt", "Vanlig", "Mycket vanlig"};
    TIntensityColors c;
    for (int i = 0; i < count; ++i) c.Add(palette[i % 4], QString::fromUtf8(captions[i % 4]));
    return c;
}

QPoint SeedOf(int region) {
    const TSwedenRegion& r = TFRDBSwedenMap::Region(region);
    return TFRDBSwedenMap::MapOrigin + r.Offset + r.Seed;
}

void Click(QWidget* w, QPoint pos, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::mouseClick(w, Qt::LeftButton, mods, pos);
}

struct Fixture {
    FakeFieldTable table;
    TFRDBSwedenMap map;
    Fixture(const QString& text, int colours) {
        map.SetIntensityColors(Colors(colours));
        map.SetDataField("Occurence");
        map.Link().SetTable(&table);
        table.Open({{"Occurence", text}});
    }
};

}  // namespace

class TestSwedenMap : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void defaults() {
        TFRDBSwedenMap m;
        QCOMPARE(m.size(), QSize(250, 250));
        QCOMPARE(m.focusPolicy(), Qt::StrongFocus);
        QCOMPARE(m.IntensityColors().Count(), 0);
        QCOMPARE(m.BackgroundColor(), TColor(0xFFFFFF));
        QCOMPARE(m.FrameColor(), TColor(0x000000));
        QCOMPARE(m.CaptionHeight(), 14);
        QCOMPARE(m.ColorListMargin(), 16);
        QCOMPARE(m.MapMargin(), 8);
        QCOMPARE(m.CaptionFont().family(), ArialFamily());
        QVERIFY(m.CaptionFont().weight() > QFont::Bold);
        QCOMPARE(TFRDBSwedenMap::Region(3).Name, QString("Västra Svealand"));
        QCOMPARE(TFRDBSwedenMap::Region(7).Name, QString("Öland/Gotland"));
        for (int i = 0; i < TFRDBSwedenMap::RegionCount; ++i)
            QCOMPARE(TFRDBSwedenMap::Region(i).Resource, QString::asprintf("P%02dI00", i));
    }

    // Each region picture: its size, the corner outside, a dark outline and a black inside
    // it encloses, the seed inside.
    void regionBitmaps_data() {
        QTest::addColumn<int>("index");
        for (int i = 0; i < TFRDBSwedenMap::RegionCount; ++i)
            QTest::newRow(qPrintable(TFRDBSwedenMap::Region(i).Name)) << i;
    }
    void regionBitmaps() {
        QFETCH(int, index);
        const TSwedenRegion& r = TFRDBSwedenMap::Region(index);
        const QImage img = TFRDBSwedenMap::RegionBitmap(index);
        QCOMPARE(img.size(), r.Size);
        QCOMPARE(img.pixel(0, 0), Black);
        QVERIFY(Outside(img).contains(QPoint(0, 0)));
        QCOMPARE(img.pixel(r.Seed), Black);
        const QList<QPoint> inside = Inside(img);
        QVERIFY2(inside.contains(r.Seed), "the seed is not enclosed");
        // The region is more than its outline, and nothing but black and the outline.
        QVERIFY(inside.size() > 30);
        // Öland and Gotland are two islands, each with its own inside.
        if (r.Name == "Öland/Gotland") QVERIFY(Surfaces(inside) >= 2);
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const QRgb px = img.pixel(x, y);
                QVERIFY(px == Black || (qGray(px) > 20 && qGray(px) < 160));
            }
    }

    void readsAndWrites_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("eight digits") << "01234567"
                                      << "01234567";
        QTest::newRow("7 characters") << "0123456"
                                      << "";
        QTest::newRow("9 characters") << "012345678"
                                      << "";
        QTest::newRow("a non-digit") << "01x34567"
                                     << "01034567";
    }
    void readsAndWrites() {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        Fixture f(text, 3);
        QCOMPARE(f.map.HasData(), !shown.isEmpty());
        QCOMPARE(f.map.RegionText(), shown);
        f.table.BeginEdit();
        f.table.Post();
        QCOMPARE(f.table.Writes("Occurence"), 0);
        QCOMPARE(f.table.Stored("Occurence").toString(), text);
    }

    // The colour of each region: its level's colour; the background without data, without a
    // level or with a level that has no colour.
    void regionColours_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("colours");
        QTest::addColumn<QString>("expected");  // per region: the colour's index, "b" background
        QTest::newRow("levels 0..2") << "01200000" << 3 << "01200000";
        QTest::newRow("beyond the colours") << "01234567" << 3 << "012bbbbb";
        QTest::newRow("level 9 of 3 colours") << "00900000" << 3 << "00b00000";
        QTest::newRow("4 characters") << "0120" << 3 << "bbbbbbbb";
        QTest::newRow("a non-digit") << "0-000000" << 3 << "0b000000";
        QTest::newRow("no colours") << "01200000" << 0 << "bbbbbbbb";
    }
    void regionColours() {
        QFETCH(QString, text);
        QFETCH(int, colours);
        QFETCH(QString, expected);
        Fixture f(text, colours);
        const TIntensityColors palette = Colors(colours);
        const QImage img = f.map.grab().toImage();
        for (int i = 0; i < TFRDBSwedenMap::RegionCount; ++i) {
            const QColor want = expected[i] == 'b'
                ? QColor(Qt::white)
                : ColorFromNumber(palette.Items(expected[i].digitValue()).IntensityColor);
            QCOMPARE(f.map.RegionColor(i), want);
            // Every enclosed pixel of the region is painted, on both islands of Öland/Gotland too.
            const TSwedenRegion& r = TFRDBSwedenMap::Region(i);
            for (const QPoint& p : Inside(TFRDBSwedenMap::RegionBitmap(i)))
                QCOMPARE(img.pixelColor(TFRDBSwedenMap::MapOrigin + r.Offset + p), want);
        }
    }

    void clicksStepLevels_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("colours");
        QTest::addColumn<int>("region");
        QTest::addColumn<bool>("ctrl");
        QTest::addColumn<QStringList>("written");  // after each click
        QTest::newRow("three clicks of three colours")
            << "00000000" << 3 << 2 << false << QStringList{"00100000", "00200000", "00000000"};
        QTest::newRow("Ctrl sets every region") << "01200000" << 3 << 0 << true << QStringList{"11111111"};
        QTest::newRow("an empty field") << "" << 3 << 1 << false << QStringList{"00000000", "01000000"};
        QTest::newRow("a level beyond the colours") << "00900000" << 3 << 2 << false << QStringList{"00000000"};
        QTest::newRow("a non-digit") << "0x000000" << 3 << 0 << false << QStringList{"10000000"};
        QTest::newRow("Öland/Gotland") << "00000000" << 2 << 7 << false << QStringList{"00000001", "00000000"};
        QTest::newRow("Nordöstra Norrland") << "00000000" << 2 << 6 << false << QStringList{"00000010"};
    }
    void clicksStepLevels() {
        QFETCH(QString, text);
        QFETCH(int, colours);
        QFETCH(int, region);
        QFETCH(bool, ctrl);
        QFETCH(QStringList, written);
        Fixture f(text, colours);
        QCOMPARE(f.map.RegionAt(SeedOf(region)), region);
        for (int n = 0; n < written.size(); ++n) {
            f.table.BeginEdit();
            Click(&f.map, SeedOf(region), ctrl ? Qt::ControlModifier : Qt::NoModifier);
            f.table.Post();
            QCOMPARE(f.table.Writes("Occurence"), n + 1);
            QCOMPARE(f.table.Stored("Occurence").toString(), written[n]);
        }
    }

    // Clicks that change nothing: in browse state, without colours, and inside a region's
    // rectangle but outside its outline.
    void clicksThatChangeNothing() {
        Fixture f("01200000", 3);
        Click(&f.map, SeedOf(2));
        QVERIFY(!f.table.Editing());
        QCOMPARE(f.map.RegionText(), QString("01200000"));

        f.table.BeginEdit();
        // A point of Skåne/Blekinge's rectangle that lies in no region (the sea off Skåne).
        const TSwedenRegion& skane = TFRDBSwedenMap::Region(0);
        const QImage bitmap = TFRDBSwedenMap::RegionBitmap(0);
        const QSet<QPoint> outside = Outside(bitmap);
        QPoint sea(-1, -1);
        for (int y = bitmap.height() - 1; y >= 0 && sea.x() < 0; --y)
            for (int x = 0; x < bitmap.width(); ++x) {
                const QPoint at = TFRDBSwedenMap::MapOrigin + skane.Offset + QPoint(x, y);
                if (outside.contains(QPoint(x, y)) && f.map.RegionAt(at) < 0) {
                    sea = at;
                    break;
                }
            }
        QVERIFY(sea.x() >= 0);
        Click(&f.map, sea);
        QVERIFY(!f.map.Link().Modified());

        Fixture none("01200000", 0);
        none.table.BeginEdit();
        Click(&none.map, SeedOf(1));
        QVERIFY(!none.map.Link().Modified());
        none.table.Post();
        QCOMPARE(none.table.Writes("Occurence"), 0);
        QCOMPARE(none.table.Stored("Occurence").toString(), QString("01200000"));
    }

    void floodFillFillsOneSurface() {
        QImage img(7, 5, QImage::Format_RGB32);
        img.fill(Qt::black);
        for (int y = 0; y < 5; ++y) img.setPixel(3, y, qRgb(64, 64, 64));  // a wall
        img.setPixel(1, 2, qRgb(64, 64, 64));
        FloodFillSurface(img, QPoint(0, 0), qRgb(255, 0, 0));
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x) {
                const QRgb want = x == 3 || (x == 1 && y == 2) ? qRgb(64, 64, 64) : x < 3 ? qRgb(255, 0, 0) : Black;
                QCOMPARE(img.pixel(x, y), want);
            }
        FloodFillSurface(img, QPoint(9, 9), qRgb(0, 255, 0));  // outside: nothing
        FloodFillSurface(img, QPoint(0, 0), qRgb(255, 0, 0));  // same colour: nothing
        QCOMPARE(img.pixel(0, 0), qRgb(255, 0, 0));
    }

    // The overview map of the maps screen, true to RT90: land where the towns are, sea in
    // the Baltic.
    void overviewPicture_data() {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<bool>("sweden");
        QTest::newRow("Stockholm") << 1628500 << 6580800 << true;
        QTest::newRow("Kiruna") << 1688000 << 7535000 << true;
        QTest::newRow("Lund") << 1335000 << 6177000 << true;
        QTest::newRow("Östersund") << 1435000 << 7006000 << true;
        QTest::newRow("Baltic east of Gotland") << 1800000 << 6360000 << false;
    }
    void overviewPicture() {
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(bool, sweden);
        const QImage img = SwedenOverviewPicture();
        QCOMPARE(img.size(), QSize(219, 439));
        const QPoint px((x - SwedenOverview::West) / SwedenOverview::MetresPerPixel,
                        (SwedenOverview::North - y) / SwedenOverview::MetresPerPixel);
        // Sweden is pale (the coast line may darken it a little), the sea blue, the
        // neighbouring land grey.
        const QColor c = img.pixelColor(px);
        const bool sea = c.blue() > c.red() + 20;
        const bool pale = c.red() > 215 && c.green() > 215 && c.blue() <= c.red();
        QVERIFY2(sweden ? pale : sea, qPrintable(c.name()));
        QCOMPARE(img.pixelColor(200, 20).red(), img.pixelColor(200, 20).blue());  // Finland
    }

    void picturesToTheBuildFolder() {
        const QImage numbers = SwedenRegionNumbersPicture();
        QVERIFY(!numbers.isNull());
        QVERIFY(numbers.save(testsupport::ArtefactDir() + "/sweden_region_numbers.png"));
        QVERIFY(SwedenOverviewPicture().save(testsupport::ArtefactDir() + "/sweden_overview.png"));
        Fixture f("01230123", 4);
        f.map.SetCaption("Förekomst");
        QVERIFY(f.map.grab().save(testsupport::ArtefactDir() + "/sweden_map.png"));
    }
};

QTEST_MAIN(TestSwedenMap)
#include "tst_swedenmap.moc"
