#include <QtTest>
#include "support/TestSupport.h"

#include <QImage>
#include <QPainter>

#include "script/qt/QSQtDevices.h"

class TestQSQtDevices : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void measurerScalesWithSize() {
        TQSFontMetricsMeasurer measurer;
        TQSFontSpec small{QString(), 10};
        TQSFontSpec large{QString(), 20};
        const QString text = QStringLiteral("Blodriska och åkerröksvamp");
        const double w10 = measurer.WidthMm(small, text), w20 = measurer.WidthMm(large, text);
        QVERIFY(w10 > 10 && w10 < 150);
        QVERIFY(qAbs(w20 / w10 - 2.0) < 0.03);
        QVERIFY(measurer.WidthMm(small, text + u'x') > w10);
        QVERIFY(measurer.HeightMm(small) > 3 && measurer.HeightMm(small) < 7);
        // A line cut with the real widths fits.
        QString rest = text;
        const QString line = WrapLine(measurer, small, rest, w10 / 2);
        QVERIFY(!line.isEmpty() && !rest.isEmpty());
        QVERIFY(measurer.WidthMm(small, line) <= w10 / 2);
    }

    void painterCanvas() {
        QImage image(200, 100, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            TQSPainterCanvas canvas(painter, 96);
            canvas.SetPen(false, 0, 0);
            canvas.SetBrush(0x0000FF);  // red in the lowest byte
            canvas.DrawRectangle(QRect(10, 10, 50, 30), 0, 0);
            canvas.SetFont(TQSFontSpec{QString(), 12}, 0xFF0000);
            canvas.DrawText(100, 10, QStringLiteral("Åäö"), QRect(100, 10, 10, 80));
        }
        QCOMPARE(image.pixelColor(30, 20), QColor(255, 0, 0));
        QCOMPARE(image.pixelColor(5, 5), QColor(Qt::white));
        // The clip keeps the text inside its area.
        for (int y = 0; y < 100; ++y)
            for (int x = 111; x < 200; ++x) QCOMPARE(image.pixelColor(x, y), QColor(Qt::white));
    }

    void pdfTarget() {
        const QString path = testsupport::ArtefactDir() + QStringLiteral("/qsqt_target.pdf");
        {
            TQSPdfTarget target(path);
            TQSDeviceMode mode;
            ApplyPaperSettings(mode, 1, 297, 210, 1);
            target.SetDeviceMode(mode);
            QCOMPARE(target.DpiX(), 600);
            QCOMPARE(target.PhysicalOffset(), QPoint());
            QCOMPARE(target.PrintableSizeMm().toSize(), QSize(297, 210));
            target.BeginDoc(QStringLiteral("Mykotekshallen - Test"));
            QVERIFY(target.Canvas());
            target.Canvas()->SetFont(TQSFontSpec{QString(), 12}, 0);
            target.Canvas()->DrawText(472, 591, QStringLiteral("Kantarell"), QRect(0, 0, 7000, 5000));
            target.NewPage();
            target.EndDoc();
            QCOMPARE(target.Canvas(), nullptr);
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.read(5) == "%PDF-");
    }
};

QTEST_MAIN(TestQSQtDevices)
#include "tst_qsqtdevices.moc"
