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

    // What the measurer keeps gives exactly what measuring afresh gives: fonts used in turn,
    // more fonts than it keeps, the same text in several fonts, and after Forget.
    void keptWidthsAreFreshWidths() {
        QList<TQSFontSpec> fonts;
        for (int size = 6; size <= 26; size += 2) fonts.append(TQSFontSpec{QStringLiteral("Liberation Sans"), size});
        fonts.append(TQSFontSpec{QStringLiteral("Liberation Sans"), 10, true});
        fonts.append(TQSFontSpec{QStringLiteral("Liberation Sans"), 10, false, true});
        fonts.append(TQSFontSpec{QStringLiteral("DejaVu Sans"), 10});
        fonts.append(TQSFontSpec{QStringLiteral("DejaVu Sans"), 12, true});
        fonts.append(TQSFontSpec{QStringLiteral("Liberation Serif"), 10});
        fonts.append(TQSFontSpec{QStringLiteral("Liberation Mono"), 9});
        fonts.append(TQSFontSpec{QString(), 10});
        QVERIFY(fonts.size() > 16);
        const QStringList texts{QStringLiteral("Kontakt 0001 Åström"),
                                QStringLiteral("kontakt1@exempel.se"),
                                QStringLiteral("Svampstigen 1, 123 45 Älvsjö"),
                                QString(),
                                QStringLiteral(" "),
                                QStringLiteral("AV To WA")};
        const TQSFontMetricsMeasurer kept;
        for (int pass = 0; pass < 3; ++pass) {
            for (const QString& text : texts)
                for (const TQSFontSpec& font : fonts) {
                    const TQSFontMetricsMeasurer fresh;
                    QCOMPARE(kept.WidthMm(font, text), fresh.WidthMm(font, text));
                    QCOMPARE(kept.HeightMm(font), fresh.HeightMm(font));
                    if (!text.isEmpty()) QCOMPARE(kept.CharWidthMm(font, text[0]), fresh.CharWidthMm(font, text[0]));
                }
            if (pass == 1) kept.Forget();
        }
        // Lines cut with kept widths are those cut afresh.
        for (const TQSFontSpec& font : fonts) {
            QString keptRest = texts[2] + u' ' + texts[0], freshRest = keptRest;
            while (!keptRest.isEmpty()) {
                const TQSFontMetricsMeasurer fresh;
                QCOMPARE(WrapLine(kept, font, keptRest, 25), WrapLine(fresh, font, freshRest, 25));
                QCOMPARE(keptRest, freshRest);
            }
        }
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
