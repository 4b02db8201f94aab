#include <QPainter>
#include <QtTest>

#include "support/TestSupport.h"
#include "platform/Exception.h"
#include "platform/Resources.h"

class TestResources : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyStockBitmapIsDrawn() {
        const QStringList names = {"MAPFLAG",     "P00I00",       "P01I00",    "P02I00",    "P03I00",
                                   "P04I00",      "P05I00",       "P06I00",    "P07I00",    "ICONINFO",
                                   "ICONWARNING", "ICONQUESTION", "ICONERROR", "UNDEFINED", "UNLOCKED",
                                   "LOCKED",      "MINUSSIGN",    "PLUSSIGN",  "ARROWUP",   "BTNBITMAP"};
        for (const QString& name : names) {
            QVERIFY2(Resources::HasBitmap(name), qPrintable(name));
            const QImage img = Resources::BitmapImage(name);
            QVERIFY2(!img.isNull(), qPrintable(name));
            // Something is drawn: not every pixel equals the first one.
            bool varied = false;
            for (int y = 0; y < img.height() && !varied; ++y)
                for (int x = 0; x < img.width() && !varied; ++x) varied = img.pixel(x, y) != img.pixel(0, 0);
            QVERIFY2(varied, qPrintable(name));
        }
        QVERIFY(Resources::HasBitmap("mapflag"));
    }

    void unknownNamesRaise() {
        try {
            Resources::BitmapImage("NOSUCHBITMAP");
            QFAIL("no exception");
        } catch (const Exception& e) {
            QCOMPARE(e.Message(), QString("Resource NOSUCHBITMAP not found"));
        }
        QVERIFY_THROWS_EXCEPTION(Exception, Resources::LoadCursor("Hand"));
    }

    // The region map fills each region from a seed point: the seed must lie on the black
    // interior and the corner must be background, not outline or interior.
    void regionBitmaps_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("seed");
        QTest::newRow("Skåne/Blekinge") << 0 << QSize(29, 24) << QPoint(12, 10);
        QTest::newRow("Västra Götaland") << 1 << QSize(30, 57) << QPoint(13, 29);
        QTest::newRow("Östra Götaland") << 2 << QSize(34, 59) << QPoint(13, 22);
        QTest::newRow("Västra Svealand") << 3 << QSize(35, 53) << QPoint(12, 26);
        QTest::newRow("Östra Svealand") << 4 << QSize(31, 53) << QPoint(9, 26);
        QTest::newRow("Nordvästra Norrland") << 5 << QSize(37, 52) << QPoint(17, 26);
        QTest::newRow("Nordöstra Norrland") << 6 << QSize(34, 65) << QPoint(16, 34);
        QTest::newRow("Öland/Gotland") << 7 << QSize(20, 34) << QPoint(11, 27);
    }
    void regionBitmaps() {
        QFETCH(int, index);
        QFETCH(QSize, size);
        QFETCH(QPoint, seed);
        const QImage img = Resources::BitmapImage(QString::asprintf("P%02dI00", index));
        QCOMPARE(img.size(), size);
        QCOMPARE(img.pixel(seed) & 0xFFFFFF, 0u);
        QVERIFY(img.pixel(0, 0) != img.pixel(seed));
        // The interior is enclosed: no black pixel touches the background directly.
        const QRgb background = img.pixel(0, 0);
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                if ((img.pixel(x, y) & 0xFFFFFF) != 0) continue;
                for (QPoint d : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)}) {
                    const QPoint n(x + d.x(), y + d.y());
                    if (img.rect().contains(n))
                        QVERIFY2(img.pixel(n) != background, qPrintable(QString("%1,%2").arg(x).arg(y)));
                }
            }
    }

    void cursorTableKeepsRegisteredCursors() {
        QVERIFY(!Resources::HasScreenCursor(77));
        QCOMPARE(Resources::ScreenCursor(77).shape(), Qt::ArrowCursor);
        const QCursor flag = Resources::LoadCursor("Flag");
        QCOMPARE(flag.hotSpot(), QPoint(1, 24));
        Resources::SetScreenCursor(77, flag);
        QVERIFY(Resources::HasScreenCursor(77));
        QCOMPARE(Resources::ScreenCursor(77).shape(), Qt::BitmapCursor);
    }

    // A sheet of every bitmap, the regions put together as the map shows them, for looking at.
    void sheet() {
        // Drawn three times enlarged so that single pixels can be seen.
        QImage sheet(1260, 600, QImage::Format_RGB32);
        sheet.fill(QColor(236, 236, 236));
        QPainter p(&sheet);
        p.scale(3, 3);
        const QPoint offsets[8] = {{6, 145}, {0, 93}, {20, 98}, {9, 47}, {28, 51}, {25, 1}, {42, 1}, {35, 133}};
        const QColor fills[8] = {Qt::red,     Qt::green,  Qt::blue,      Qt::cyan,
                                 Qt::magenta, Qt::yellow, Qt::darkGreen, Qt::darkRed};
        for (int i = 0; i < 8; ++i) {
            QImage region =
                Resources::BitmapImage(QString::asprintf("P%02dI00", i)).convertToFormat(QImage::Format_ARGB32);
            for (int y = 0; y < region.height(); ++y)
                for (int x = 0; x < region.width(); ++x) {
                    const QRgb px = region.pixel(x, y) & 0xFFFFFF;
                    if (px == 0xFFFFFF)
                        region.setPixel(x, y, 0);
                    else if (px == 0)
                        region.setPixel(x, y, fills[i].rgb());
                }
            p.drawImage(offsets[i] + QPoint(10, 20), region);
        }
        int x = 110;
        for (const QString& name : Resources::BitmapNames()) {
            if (name.startsWith("P0")) continue;
            const QImage img = Resources::BitmapImage(name);
            p.drawImage(x, 30, img);
            x += img.width() + 10;
            if (x > 380) {
                x = 110;
                p.translate(0, 50);
            }
        }
        p.end();
        QVERIFY(sheet.save(testsupport::ArtefactDir() + "/resources.png"));
    }
};
QTEST_MAIN(TestResources)
#include "tst_resources.moc"
