#include <QtTest>
#include <QHeaderView>
#include <QPainter>
#include <QStandardItemModel>
#include <QTableView>
#include <QWidget>

#include "shell/MyVisualUtils.h"
#include "platform/PictureFit.h"

class TestMyVisualUtils : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void wrappedLines_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("fits");  // the width is this text's width
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("rest");
        QTest::newRow("comma and blank") << "Kantarell, Trattkantarell"
                                         << "Kantarell, Tratt"
                                         << "Kantarell,"
                                         << "Trattkantarell";
        QTest::newRow("comma fits, blank does not") << "Kantarell, Trattkantarell"
                                                    << "Kantarell,"
                                                    << "Kantarell,"
                                                    << "Trattkantarell";
        QTest::newRow("blank") << "Stor svamp"
                               << "Stor sv"
                               << "Stor"
                               << "svamp";
        QTest::newRow("blank just past the width") << "Stor svamp"
                                                   << "Stor"
                                                   << "Stor"
                                                   << "svamp";
        QTest::newRow("last break wins") << "a b c dddd"
                                         << "a b c dd"
                                         << "a b c"
                                         << "dddd";
        QTest::newRow("dash stays") << "Rödbrun-gul hatt"
                                    << "Rödbrun-g"
                                    << "Rödbrun-"
                                    << "gul hatt";
        QTest::newRow("word wider than the width") << "Flugsvampsläktet"
                                                   << "Flugs"
                                                   << "Flugs"
                                                   << "vampsläktet";
        QTest::newRow("at least one character") << "Abc"
                                                << ""
                                                << "A"
                                                << "bc";
        QTest::newRow("everything fits") << "Kort rad"
                                         << "Kort rad"
                                         << "Kort rad"
                                         << "";
        QTest::newRow("line break") << "Rad ett\r\nRad två"
                                    << "Rad ett\r\nRad två"
                                    << "Rad ett"
                                    << "Rad två";
        QTest::newRow("bare line feed") << "Rad ett\nRad två"
                                        << "Rad ett\nRad två"
                                        << "Rad ett"
                                        << "Rad två";
        QTest::newRow("line break after the width") << "Rad ett\r\nRad två"
                                                    << "Rad e"
                                                    << "Rad"
                                                    << "ett\r\nRad två";
        QTest::newRow("empty") << ""
                               << ""
                               << ""
                               << "";
    }
    void wrappedLines() {
        QFETCH(QString, text);
        QFETCH(QString, fits);
        QFETCH(QString, line);
        QFETCH(QString, rest);
        QImage image(10, 10, QImage::Format_RGB32);
        QPainter painter(&image);
        painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 11));
        const QFontMetrics metrics = painter.fontMetrics();
        QString remaining = text;
        QString got;
        GetWrappedLine(painter, metrics.horizontalAdvance(fits), remaining, got);
        QCOMPARE(got, line);
        QCOMPARE(remaining, rest);
    }

    void wrappingAParagraphKeepsEveryWord() {
        const QString paragraph = QStringLiteral(
            "Hatten är 5-12 cm bred, först välvd, sedan utbredd och ofta med en trubbig puckel; ytan är torr, "
            "finfjällig och gulbrun-rödbrun.\r\nLukt och smak svag, mild. Förväxlingsarterna beskrivs nedan.");
        const QFontMetrics metrics(QFont(QStringLiteral("DejaVu Sans"), 10));
        for (const int width : {1, 30, 80, 200, 10000}) {
            QString text = paragraph;
            QStringList lines;
            while (!text.isEmpty()) {
                QString line;
                const qsizetype before = text.size();
                GetWrappedLine(metrics, width, text, line);
                QVERIFY(text.size() < before);
                QVERIFY(line.size() == 1 || metrics.horizontalAdvance(line) <= width);
                lines.append(line);
            }
            const auto words = [](const QString& s) {
                return QString(s).replace("\r\n", " ").split(QRegularExpression("[ ,\\-]+"), Qt::SkipEmptyParts);
            };
            QCOMPARE(words(lines.join(' ')).join(""), words(paragraph).join(""));
        }
    }

    void pictureFit_data() {
        QTest::addColumn<QSize>("source");
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("keepAspect");
        QTest::addColumn<int>("height");
        QTest::addColumn<QSize>("target");
        QTest::newRow("stretched") << QSize(200, 100) << 100 << false << 100 << QSize(100, 100);
        QTest::newRow("wide source") << QSize(200, 100) << 100 << true << 100 << QSize(100, 50);
        QTest::newRow("tall source") << QSize(100, 200) << 100 << true << 100 << QSize(50, 100);
        QTest::newRow("same aspect") << QSize(40, 30) << 80 << true << 60 << QSize(80, 60);
        QTest::newRow("half rounds to even, up") << QSize(3, 2) << 100 << true << 5 << QSize(8, 5);  // 7.5
        QTest::newRow("half rounds to even, down") << QSize(3, 2) << 100 << true << 3 << QSize(4, 3);  // 4.5
        QTest::newRow("user picture width") << QSize(640, 480) << 192 << true << 10000 << QSize(192, 144);
        QTest::newRow("no source width") << QSize(0, 10) << 100 << true << 100 << QSize();
        QTest::newRow("no source") << QSize() << 100 << false << 100 << QSize();
        QTest::newRow("no target size") << QSize(10, 10) << 0 << false << 100 << QSize();
    }
    void pictureFit() {
        QFETCH(QSize, source);
        QFETCH(int, width);
        QFETCH(bool, keepAspect);
        QFETCH(int, height);
        QFETCH(QSize, target);
        QImage picture;
        if (source.isValid() && !source.isEmpty()) {
            picture = QImage(source, QImage::Format_RGB32);
            picture.fill(QColor(200, 10, 10));
        } else if (source.isValid()) {
            picture = QImage(source, QImage::Format_RGB32);
        }
        QImage result(7, 7, QImage::Format_RGB32);
        DrawPictureFit(picture, result, width, keepAspect, height);
        if (!target.isValid()) {
            QVERIFY(result.isNull());
            return;
        }
        QCOMPARE(result.size(), target);
        QCOMPARE(result.pixelColor(target.width() / 2, target.height() / 2), QColor(200, 10, 10));
        QCOMPARE(result.pixelColor(target.width() - 1, target.height() - 1), QColor(200, 10, 10));
    }

    // Each column but the last is as wide as its widest cell wherever that cell lies (here in
    // the middle of 5,000 rows, past what a sample of the first and last rows would see), and as
    // its header; it follows a reset, new rows and a changed cell; the last takes the rest.
    void columnsFitTheirTexts() {
        QStandardItemModel model(5000, 3);
        model.setHorizontalHeaderLabels({"Svenskt namn", "Latinskt namn", "Grupp"});
        const auto fill = [&](int wide) {
            for (int row = 0; row < model.rowCount(); ++row) {
                model.setItem(row, 0, new QStandardItem(QString("Art %1").arg(row)));
                model.setItem(row, 1,
                              new QStandardItem(row == wide ? "Hygrocybe ceracea var. vitellinoides" : "Boletus"));
                model.setItem(row, 2, new QStandardItem("Sopp"));
            }
        };
        fill(2500);
        QTableView view;
        view.resize(700, 300);
        view.setModel(&model);
        FitColumnsToTexts(&view);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QHeaderView* header = view.horizontalHeader();
        const auto widest = [&](int column) {
            int width = header->sectionSizeHint(column);
            for (int row = 0; row < model.rowCount(); ++row)
                width = std::max(width, view.sizeHintForIndex(model.index(row, column)).width() + 1);
            return width;
        };
        QCOMPARE(header->sectionSize(0), widest(0));
        QCOMPARE(header->sectionSize(1), widest(1));
        QVERIFY(header->stretchLastSection());
        const int wideLatin = header->sectionSize(1);

        // A cell changed to a wider text widens its column.
        model.item(10, 0)->setText("Art med ett mycket långt svenskt namn, åäö");
        QCOMPARE(header->sectionSize(0), widest(0));
        // New rows, and a reset with the wide name gone.
        model.appendRow({new QStandardItem("Ny"), new QStandardItem("Cantharellus cibarius subsp. nova"),
                         new QStandardItem("Kantarell")});
        QCOMPARE(header->sectionSize(1), std::max(wideLatin, widest(1)));
        model.removeRows(0, model.rowCount());
        model.setRowCount(3);
        fill(-1);
        QCOMPARE(header->sectionSize(1), widest(1));
        QVERIFY(header->sectionSize(1) < wideLatin);
    }

    void tabKeyStateFollowsTheKeyEvents() {
        QWidget widget;
        QVERIFY(!IsTabDown());
        QTest::keyPress(&widget, Qt::Key_Tab);
        QVERIFY(IsTabDown());
        QTest::keyRelease(&widget, Qt::Key_Tab);
        QVERIFY(!IsTabDown());
        QTest::keyPress(&widget, Qt::Key_Backtab, Qt::ShiftModifier);
        QVERIFY(IsTabDown());
        QTest::keyRelease(&widget, Qt::Key_Backtab, Qt::ShiftModifier);
        QVERIFY(!IsTabDown());
    }
};

QTEST_MAIN(TestMyVisualUtils)
#include "tst_myvisualutils.moc"
