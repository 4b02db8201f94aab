#include <QtTest>

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>

#include "content/species/pictures/FungiPicImages.h"
#include "support/TestSupport.h"

using namespace fungipics;

namespace {

// A picture whose quarters have their own colours, so a cut can be told by its colour.
QImage Quarters(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y,
                           x < width / 2 ? (y < height / 2 ? qRgb(255, 0, 0) : qRgb(0, 255, 0))
                                         : (y < height / 2 ? qRgb(0, 0, 255) : qRgb(255, 255, 0)));
    return image;
}

bool Near(QRgb a, QRgb b) {
    return qAbs(qRed(a) - qRed(b)) < 40 && qAbs(qGreen(a) - qGreen(b)) < 40 && qAbs(qBlue(a) - qBlue(b)) < 40;
}

}  // namespace

class TestFungiPicImages : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private Q_SLOTS:
    void mainPictureSquare_data() {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QRect>("stored");
        QTest::addColumn<QRect>("square");
        QTest::newRow("portrait: side is the width") << QSize(300, 500) << QRect() << QRect(0, 100, 300, 300);
        QTest::newRow("landscape: side is the height") << QSize(500, 300) << QRect() << QRect(100, 0, 300, 300);
        QTest::newRow("stored square inside") << QSize(500, 300) << QRect(10, 20, 50, 50) << QRect(10, 20, 50, 50);
        QTest::newRow("zero-width rectangle") << QSize(500, 300) << QRect(10, 20, 0, 50) << QRect(100, 0, 300, 300);
        QTest::newRow("outside the picture") << QSize(500, 300) << QRect(400, 200, 200, 200) << QRect(100, 0, 300, 300);
        QTest::newRow("negative corner") << QSize(500, 300) << QRect(-5, 0, 100, 100) << QRect(100, 0, 300, 300);
    }
    void mainPictureSquare() {
        QFETCH(QSize, picture);
        QFETCH(QRect, stored);
        QFETCH(QRect, square);
        QCOMPARE(MainPictureSquare(stored, picture), square);
    }

    void mainPictureIsCutFromTheSquare() {
        const QImage picture = Quarters(400, 300);
        // The lower-right quarter, yellow.
        const QImage main = MainPicture(picture, QRect(220, 170, 100, 100));
        QCOMPARE(main.size(), QSize(MainPictureSize, MainPictureSize));
        QVERIFY(Near(main.pixel(105, 105), qRgb(255, 255, 0)));
        // A degenerate rectangle gives the centred square: all four colours meet in its middle.
        const QImage centred = MainPicture(picture, QRect(5, 5, 0, 0));
        QCOMPARE(centred.size(), QSize(MainPictureSize, MainPictureSize));
        QVERIFY(Near(centred.pixel(10, 10), qRgb(255, 0, 0)));
        QVERIFY(Near(centred.pixel(200, 200), qRgb(255, 255, 0)));
    }

    void mainPictureFromTheFileDecodesOnlyTheSquare_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QRect>("stored");
        QTest::newRow("small, a stored square") << QSize(400, 300) << QRect(220, 170, 100, 100);
        QTest::newRow("large, the centred square") << QSize(3000, 2000) << QRect();
        QTest::newRow("large, outside the picture") << QSize(2000, 3000) << QRect(1900, 0, 500, 500);
    }
    void mainPictureFromTheFileDecodesOnlyTheSquare() {
        QFETCH(QSize, size);
        QFETCH(QRect, stored);
        const QString file = m_dir.filePath(QStringLiteral("main%1.jpg").arg(size.width()));
        QVERIFY(testsupport::WriteBytes(file, JpegBytes(Quarters(size.width(), size.height()))));
        // The same picture as cutting from the whole decoded file.
        const QImage whole = MainPicture(ReadPicture(file), stored);
        const QImage read = ReadMainPicture(file, stored);
        QCOMPARE(read.size(), QSize(MainPictureSize, MainPictureSize));
        for (const QPoint p : {QPoint(10, 10), QPoint(200, 10), QPoint(10, 200), QPoint(200, 200), QPoint(105, 105)})
            QVERIFY2(Near(read.pixel(p), whole.pixel(p)), qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));
    }

    void markerStaysInsideThePicture_data() {
        QTest::addColumn<bool>("resize");
        QTest::addColumn<QPoint>("offset");
        QTest::addColumn<QRect>("result");
        // The picture is 200 x 100, the marker 50 x 50 at (100, 20).
        QTest::newRow("moved inside") << false << QPoint(10, -10) << QRect(110, 10, 50, 50);
        QTest::newRow("moved past the right edge") << false << QPoint(500, 0) << QRect(150, 20, 50, 50);
        QTest::newRow("moved past the top-left") << false << QPoint(-500, -500) << QRect(0, 0, 50, 50);
        QTest::newRow("grown by the larger offset") << true << QPoint(20, 5) << QRect(100, 20, 70, 70);
        QTest::newRow("grown past the bottom") << true << QPoint(0, 200) << QRect(100, 20, 80, 80);
        QTest::newRow("grown past the right") << true << QPoint(300, 0) << QRect(100, 20, 80, 80);
        QTest::newRow("shrunk to a pixel at least") << true << QPoint(-100, -100) << QRect(100, 20, 1, 1);
    }
    void markerStaysInsideThePicture() {
        QFETCH(bool, resize);
        QFETCH(QPoint, offset);
        QFETCH(QRect, result);
        const QRect picture(0, 0, 200, 100);
        const QRect marker(100, 20, 50, 50);
        QCOMPARE(resize ? ResizeMarker(marker, offset, picture) : MoveMarker(marker, offset, picture), result);
    }

    void thumbnailFitsTheSquare_data() {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("thumbnail");
        QTest::newRow("large landscape") << QSize(4000, 3000) << QSize(90, 68);
        QTest::newRow("large portrait") << QSize(300, 600) << QSize(45, 90);
        QTest::newRow("small picture") << QSize(60, 30) << QSize(90, 45);
    }
    void thumbnailFitsTheSquare() {
        QFETCH(QSize, picture);
        QFETCH(QSize, thumbnail);
        const QString file = m_dir.filePath(QString("Pic%1.jpg").arg(QTest::currentDataTag()));
        QVERIFY(testsupport::WriteBytes(file, JpegBytes(Quarters(picture.width(), picture.height()))));
        const QImage made = ReadThumbnail(file);
        QCOMPARE(made.size(), thumbnail);
        QVERIFY(Near(made.pixel(2, 2), qRgb(255, 0, 0)));
        // The thumbnail is kept as a bitmap that reads back the same size.
        QImage back;
        QVERIFY(back.loadFromData(BmpBytes(made), "BMP"));
        QCOMPARE(back.size(), thumbnail);
    }

    void readIgnoresRotationAndRefusesDamage() {
        // A JPEG that carries an EXIF orientation of 90 degrees keeps its stored pixels.
        const QString rotated = m_dir.filePath("rotated.jpg");
        {
            const QByteArray jpeg = JpegBytes(Quarters(120, 60));
            const QByteArray tiff = QByteArray("MM\0*\0\0\0\x08\0\x01", 10) +
                QByteArray("\x01\x12\0\x03\0\0\0\x01\0\x06\0\0", 12) + QByteArray(4, '\0');
            const QByteArray exif = QByteArray("Exif\0\0", 6) + tiff;
            const int length = exif.size() + 2;
            const QByteArray segment = QByteArray("\xff\xe1", 2) + char(length >> 8) + char(length & 0xff) + exif;
            QVERIFY(testsupport::WriteBytes(rotated, jpeg.left(2) + segment + jpeg.mid(2)));
            QImageReader check(rotated);
            QCOMPARE(check.transformation(), QImageIOHandler::TransformationRotate90);
        }
        QCOMPARE(ReadPicture(rotated).size(), QSize(120, 60));

        const QString damaged = m_dir.filePath("damaged.jpg");
        QVERIFY(testsupport::WriteBytes(damaged, "ingen bild alls"));
        QCOMPARE(testsupport::ExceptionText([&] { ReadPicture(damaged); }),
                 QString("Bilden \"%1\" kunde inte läsas.").arg(QDir::toNativeSeparators(damaged)));

        // Beyond the allocation limit the picture is refused with its size.
        const QString huge = m_dir.filePath("huge.bmp");
        QVERIFY(testsupport::WriteBytes(huge, BmpBytes(Quarters(1200, 1000))));
        const int limit = QImageReader::allocationLimit();
        QImageReader::setAllocationLimit(1);
        const QString message = testsupport::ExceptionText([&] { ReadPicture(huge); });
        QImageReader::setAllocationLimit(limit);
        QVERIFY2(message.contains("1200 x 1000 bildpunkter"), qPrintable(message));
    }

    void jpegUsesQualityOfTheProgram() {
        // Quality 75: smaller than a near-lossless encoding of the same picture.
        QImage noise(300, 200, QImage::Format_RGB32);
        quint32 seed = 1;
        for (int y = 0; y < noise.height(); ++y)
            for (int x = 0; x < noise.width(); ++x) noise.setPixel(x, y, (seed = seed * 1664525u + 1013904223u) >> 8);
        QByteArray best;
        QBuffer buffer(&best);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpg");
        writer.setQuality(98);
        QVERIFY(writer.write(noise));
        const QByteArray made = JpegBytes(noise);
        QVERIFY(made.startsWith("\xff\xd8"));
        QVERIFY(made.size() < best.size());
    }
};

QTEST_MAIN(TestFungiPicImages)
#include "tst_fungipicimages.moc"
