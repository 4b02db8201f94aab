#include <QtTest>
#include "support/TestSupport.h"

#include <QtEndian>

#include "ScriptTestSupport.h"
#include "script/QSPictureInfo.h"

using namespace scripttest;
using testsupport::ExceptionText;

namespace {

// The headers of a 24-bit BMP file of that size and its (white) rows.
QByteArray Bmp(int width, int height) {
    const int row = (width * 3 + 3) / 4 * 4;
    QByteArray bytes(54 + row * height, '\xFF');
    auto put32 = [&](int at, quint32 v) { qToLittleEndian(v, bytes.data() + at); };
    auto put16 = [&](int at, quint16 v) { qToLittleEndian(v, bytes.data() + at); };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(2, quint32(bytes.size()));
    put32(6, 0);
    put32(10, 54);
    put32(14, 40);
    put32(18, quint32(width));
    put32(22, quint32(height));
    put16(26, 1);
    put16(28, 24);
    for (int at = 30; at < 54; at += 4) put32(at, 0);
    return bytes;
}

// The beginning of a JPEG file up to its frame header.
QByteArray JpegHead(int width, int height) {
    QByteArray bytes("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00", 20);
    bytes += QByteArray("\xFF\xC0\x00\x11\x08", 5);
    bytes += char(height >> 8);
    bytes += char(height & 0xFF);
    bytes += char(width >> 8);
    bytes += char(width & 0xFF);
    bytes += QByteArray("\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01", 10);
    return bytes;
}

// The brush colours set, in order.
QList<int> Brushes(const QStringList& calls) {
    QList<int> colors;
    for (const QString& call : calls)
        if (call.startsWith(QLatin1String("brush "))) colors.append(call.mid(6).toInt());
    return colors;
}

}  // namespace

class TestQSGraphics : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void minimalScript() {
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        AddFont(script);
        AddText(Body(script), "\"Hello\"", false);
        Add(Body(script), "TQSRectangle", {{"PositionY", "10"}, {"Width", "50"}, {"Height", "20"}});
        script->ExecData().Compile();
        QCOMPARE(script->ExecData().PageCount(), 1);
        QCOMPARE(RunPage(script, 1),
                 QStringList({
                     "font Liberation Sans 10 - 0",
                     "text 472,591 \"Hello\" clip 472,591,4488,6425",
                     "pen 0 12",
                     "brush 16777215",
                     "rect 472,827,1654,1299",
                 }));
    }

    void textAlignment_data() {
        QTest::addColumn<int>("alignment");
        QTest::addColumn<int>("x");
        QTest::newRow("left") << 0 << 472;
        QTest::newRow("centred") << 1 << 1583;  // 20 + 50 - 3 mm
        QTest::newRow("right") << 2 << 2693;  // 20 + 100 - 6 mm
    }
    void textAlignment() {
        QFETCH(int, alignment);
        QFETCH(int, x);
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        AddFont(script);
        AddText(Body(script), "\"abc\"", false, {{"Width", "100"}, {"Alignment", QString::number(alignment)}});
        QCOMPARE(RunPage(script, 1).last(), QStringLiteral("text %1,591 \"abc\" clip 472,591,4488,6425").arg(x));
    }

    void textWrapsAtTheAreaWidth() {
        // Width 0 at PositionX 20 in the 170 mm body: 150 mm, 75 characters.
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        AddFont(script);
        AddText(Body(script), "\"" + QString(80, u'a') + "\"", true, {{"PositionX", "20"}});
        QCOMPARE(Texts(RunPage(script, 1)), QStringList({QString(75, u'a'), QString(5, u'a')}));
    }

    void linefeedMovesTheLinePosition_data() {
        QTest::addColumn<bool>("linefeed");
        QTest::addColumn<int>("nextY");
        QTest::newRow("off: two line heights") << false << 827;  // 25 + 10 mm
        QTest::newRow("on: three line heights") << true << 945;  // 25 + 15 mm
    }
    void linefeedMovesTheLinePosition() {
        QFETCH(bool, linefeed);
        QFETCH(int, nextY);
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        AddFont(script);
        AddText(Body(script), "\"aaaa bbbb cccc\"", linefeed, {{"Width", "9"}});
        AddText(Body(script), "\"nästa\"");
        const QStringList calls = RunPage(script, 1);
        QCOMPARE(Texts(calls), QStringList({"aaaa", "bbbb", "cccc", "nästa"}));
        QVERIFY(calls.contains("text 472,709 \"bbbb\" clip 472,591,4488,6425"));
        QCOMPARE(calls.last(), QStringLiteral("text 472,%1 \"nästa\" clip 472,591,4488,6425").arg(nextY));
    }

    void tallTextStartsNoBlankPage() {
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        AddFont(script);
        AddText(Body(script), "\"först\"");
        // 60 lines of 5 mm: taller than the 247 mm body.
        AddText(Body(script), "\"" + QString(60, u'x') + "\"", true, {{"Width", "2"}});
        AddText(Body(script), "\"sist\"");
        TQSExecData& exec = script->ExecData();
        exec.Compile();
        QCOMPARE(exec.PageCount(), 3);
        QCOMPARE(Texts(RunPage(script, 1)), QStringList{"först"});
        QCOMPARE(Texts(RunPage(script, 2)).size(), 60);
        QCOMPARE(Texts(RunPage(script, 3)), QStringList{"sist"});
    }

    void headerAndFootDrawInTheirBands() {
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        AddFont(script);
        AddText(Layout(script)->Header(), "\"Sida \" + inttostr(page) + \" av \" + inttostr(pagecount)");
        AddText(Layout(script)->Foot(), "\"Fot\"");
        Add(Body(script), "TQSPageBreak");
        const QStringList calls = RunPage(script, 2);
        QCOMPARE(calls[1], QStringLiteral("text 472,354 \"Sida 2 av 2\" clip 472,354,4488,591"));
        QCOMPARE(calls[3], QStringLiteral("text 472,6425 \"Fot\" clip 472,6425,4488,6780"));
    }

    void rectangleHoldsItsStatements() {
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        AddFont(script);
        auto* box = Add<TQSContainer>(Body(script), "TQSRectangle",
                                      {{"PositionX", "10"},
                                       {"PositionY", "5"},
                                       {"Width", "100"},
                                       {"Height", "50"},
                                       {"Margin", "2"},
                                       {"CornerRadius", "3"},
                                       {"BorderColor", "255"}});
        AddText(box, "\"inuti\"");
        // A rectangle's area goes as high as its box; parent is the rectangle.
        Add(box, "TQSFormula", {{"Expression", "parent.y = clientheight - 5"}});
        AddText(box, "\"botten\"");
        Add(Body(script), "TQSLine", {{"EndX", "170"}});
        QCOMPARE(RunPage(script, 1),
                 QStringList({
                     "pen 255 12",
                     "brush 16777215",
                     "roundrect 709,709,3071,1890 71x71",
                     "font Liberation Sans 10 - 0",
                     "text 756,756 \"inuti\" clip 756,756,3024,1843",
                     "font Liberation Sans 10 - 0",
                     "text 756,1724 \"botten\" clip 756,756,3024,1843",
                     "pen 0 12",
                     "line 472,591 4488,591",
                 }));
    }

    void rectangleKeepsWithinItsArea() {
        // 300 x 400 mm on the 170 x 247 mm body of A4: the box and its statements' area are the body.
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        AddFont(script);
        auto* box = Add<TQSContainer>(Body(script), "TQSRectangle", {{"Width", "300"}, {"Height", "400"}});
        AddText(box, "\"" + QString(100, u'a') + "\"");
        const QStringList calls = RunPage(script, 1);
        QCOMPARE(script->ExecData().PageCount(), 1);
        QCOMPARE(calls[2], QStringLiteral("rect 472,591,4488,6425"));
        QCOMPARE(Texts(calls), QStringList({QString(85, u'a'), QString(15, u'a')}));
        QVERIFY(calls.contains("text 472,591 \"" + QString(85, u'a') + "\" clip 472,591,4488,6425"));
    }

    void statementThatFillsTheBodyStaysOnItsPage_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("pages");
        // A top margin of 17 mm leaves a body of 245 mm: 49 rows of 5 mm.
        QTest::newRow("exactly full") << 49 << 1;
        QTest::newRow("one row more") << 50 << 2;
    }
    void statementThatFillsTheBodyStaysOnItsPage() {
        QFETCH(int, rows);
        QFETCH(int, pages);
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        AddFont(script);
        Layout(script)->SetValue("TopMargin", "17");
        AddVariable(script, "i", "0");
        AddText(AddFor(Body(script), "i", "1", QString::number(rows)), "inttostr(i)");
        script->ExecData().Compile();
        QCOMPARE(script->ExecData().PageCount(), pages);
        QCOMPARE(Texts(RunPage(script, 1)).size(), 49);
    }

    void emptyBoxesDrawNothing_data() {
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("rectangle of no height") << "TQSRectangle"
                                                << "Height"
                                                << "-5";
        QTest::newRow("rectangle at the right edge") << "TQSRectangle"
                                                     << "PositionX"
                                                     << "170";
        QTest::newRow("colour bar at the bottom") << "TQSColorBar"
                                                  << "PositionY"
                                                  << "247";
        QTest::newRow("colour bar of negative width") << "TQSColorBar"
                                                      << "Width"
                                                      << "-1";
        QTest::newRow("picture of no width") << "TQSPicture"
                                             << "PositionX"
                                             << "170";
        QTest::newRow("text of negative width") << "TQSText"
                                                << "Width"
                                                << "-3";
    }
    void emptyBoxesDrawNothing() {
        QFETCH(QString, className);
        QFETCH(QString, key);
        QFETCH(QString, value);
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        AddFont(script);
        TQSScriptObject* object =
            Add(Body(script), className.toLatin1().constData(),
                {{"ColorInfo", "\"255|65280\""}, {"FontName", "\"f\""}, {"Text", "\"x\""}, {"PicType", "1"}});
        if (auto* picture = dynamic_cast<TQSPicture*>(object)) picture->Bitmap = Bmp(20, 10);
        object->SetValue(key, value);
        QCOMPARE(RunPage(script, 1), QStringList());
    }

    void pictureKeepsItsProportions_data() {
        QTest::addColumn<QSize>("pixels");
        QTest::addColumn<bool>("stretch");
        QTest::addColumn<int>("horizontal");
        QTest::addColumn<int>("vertical");
        QTest::addColumn<QString>("box");
        QTest::newRow("wide, centred: 40 x 20 mm, 10 mm down")
            << QSize(200, 100) << false << 0 << 1 << "472,827,1417,1299";
        QTest::newRow("wide, at the top") << QSize(200, 100) << false << 0 << 0 << "472,591,1417,1063";
        QTest::newRow("wide, at the bottom") << QSize(200, 100) << false << 0 << 2 << "472,1063,1417,1535";
        QTest::newRow("tall, at the right") << QSize(100, 200) << false << 2 << 0 << "945,591,1417,1535";
        QTest::newRow("tall, centred") << QSize(100, 200) << false << 1 << 0 << "709,591,1181,1535";
        QTest::newRow("stretched") << QSize(200, 100) << true << 0 << 1 << "472,591,1417,1535";
    }
    void pictureKeepsItsProportions() {
        QFETCH(QSize, pixels);
        QFETCH(bool, stretch);
        QFETCH(int, horizontal);
        QFETCH(int, vertical);
        QFETCH(QString, box);
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        auto* picture = Add<TQSPicture>(Body(script), "TQSPicture",
                                        {{"Width", "40"},
                                         {"Height", "40"},
                                         {"PicType", "1"},
                                         {"Transparent", "1"},
                                         {"Stretch", stretch ? "True" : "False"},
                                         {"HorizAlignment", QString::number(horizontal)},
                                         {"VertiAlignment", QString::number(vertical)}});
        picture->Bitmap = Bmp(pixels.width(), pixels.height());
        QCOMPARE(RunPage(script, 1),
                 QStringList{QStringLiteral("picture %1 %2 bytes transparent").arg(box).arg(picture->Bitmap.size())});
    }

    void pictureFromFile() {
        const QString path = m_dir.filePath("bild.jpg");
        QVERIFY(testsupport::WriteBytes(path, JpegHead(300, 150)));
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        AddVariable(script, "bild", "\"" + path + "\"");
        TQSScriptObject* picture =
            Add(Body(script), "TQSPicture", {{"Width", "30"}, {"Height", "30"}, {"Filename", "bild"}});
        QCOMPARE(RunPage(script, 1), QStringList{"picture 472,591,1181,945 39 bytes"});

        // A file that is not there, no picture, a folder or a device stops the run with its name.
        const QString text = m_dir.filePath("text.jpg");
        QVERIFY(testsupport::WriteBytes(text, "Kantarell"));
        for (const QString& file : {m_dir.filePath("saknas.jpg"), text, m_dir.path(), QStringLiteral("/dev/zero")}) {
            picture->SetValue("Filename", "\"" + file + "\"");
            script->Reset();
            try {
                RunPage(script, 1);
                QFAIL("drawn");
            } catch (const QSException& e) {
                QCOMPARE(e.Message(), QStringLiteral("Picture file \"%1\" could not be loaded").arg(file));
                QCOMPARE(e.Object(), picture);
            }
        }
        // A picture of no pixels, no file name, or no embedded picture: nothing to draw.
        QVERIFY(testsupport::WriteBytes(path, JpegHead(300, 0)));
        picture->SetValue("Filename", "bild");
        script->Reset();
        QCOMPARE(RunPage(script, 1), QStringList());
        picture->SetValue("Filename", "\"\"");
        script->Reset();
        QCOMPARE(RunPage(script, 1), QStringList());
        picture->SetValue("PicType", "1");
        script->Reset();
        QCOMPARE(RunPage(script, 1), QStringList());
    }

    void pictureSizeFromHeader_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("size");
        QTest::newRow("bmp") << Bmp(200, 100) << QSize(200, 100);
        QByteArray topDown = Bmp(3, 4);
        qToLittleEndian(qint32(-4), topDown.data() + 22);
        QTest::newRow("bmp top-down") << topDown << QSize(3, 4);
        QTest::newRow("jpeg") << JpegHead(640, 480) << QSize(640, 480);
        QTest::newRow("jpeg cut short") << JpegHead(640, 480).left(25) << QSize();
        QTest::newRow("bmp cut short") << Bmp(2, 2).left(20) << QSize();
        QTest::newRow("bmp of no pixels") << Bmp(0, 5) << QSize(0, 5);
        QTest::newRow("jpeg of no pixels") << JpegHead(0, 0) << QSize(0, 0);
        QTest::newRow("png") << QByteArray("\x89PNG\r\n\x1A\n", 8) << QSize();
        QTest::newRow("empty") << QByteArray() << QSize();
    }
    void pictureSizeFromHeader() {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, size);
        QCOMPARE(QSPictureSize(bytes), size);
    }

    void colorBarGradient() {
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        Add(Body(script), "TQSColorBar",
            {{"Width", "10"}, {"Height", "5"}, {"BorderWidth", "0"}, {"ColorInfo", "\"255|65280\""}});
        const QStringList calls = RunPage(script, 1);
        // Filled with the last colour, then six strips from red on towards green.
        QCOMPARE(
            Brushes(calls),
            QList<int>({65280, 255, 212 + 42 * 256, 170 + 85 * 256, 128 + 128 * 256, 85 + 170 * 256, 42 + 212 * 256}));
        QCOMPARE(calls[2], QStringLiteral("rect 472,591,709,709"));
        QVERIFY(calls.contains("rect 472,591,524,709"));  // the first strip overlaps the second
        QCOMPARE(calls.last(), QStringLiteral("rect 669,591,709,709"));  // the last one ends at the edge
        QVERIFY(!calls.join(u' ').contains("pen 0"));
    }

    void colorBarStripsNoNarrowerThanAPixel() {
        // 100 mm at 10 DPI are 39 pixels: not 51 strips, but 39.
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        script->ExecData().PrinterData.DPIX = script->ExecData().PrinterData.DPIY = 10;
        Add(Body(script), "TQSColorBar",
            {{"Width", "100"}, {"Height", "5"}, {"BorderWidth", "0"}, {"ColorInfo", "\"0|255\""}});
        QCOMPARE(Brushes(RunPage(script, 1)).size(), 1 + 39);
    }

    void colorBarKinds_data() {
        QTest::addColumn<QString>("info");
        QTest::addColumn<QString>("border");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("no number: only the border")
            << "255|x"
            << "0.5"
            << QStringList({"pen 0 12", "line 472,591 709,591", "pen 0 12", "line 709,591 709,709", "pen 0 12",
                            "line 709,709 472,709", "pen 0 12", "line 472,709 472,591"});
        QTest::newRow("one colour, no border")
            << "16711680"
            << "0" << QStringList({"pen none", "brush 16711680", "rect 472,591,709,709"});
        QTest::newRow("empty") << ""
                               << "0" << QStringList();
    }
    void colorBarKinds() {
        QFETCH(QString, info);
        QFETCH(QString, border);
        QFETCH(QStringList, calls);
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        Add(Body(script), "TQSColorBar",
            {{"Width", "10"}, {"Height", "5"}, {"BorderWidth", border}, {"ColorInfo", "\"" + info + "\""}});
        QCOMPARE(RunPage(script, 1), calls);
    }

    void colorPoints_data() {
        QTest::addColumn<QString>("info");
        QTest::addColumn<QList<qint32>>("points");
        QTest::newRow("two") << "255|65280" << QList<qint32>{255, 65280};
        QTest::newRow("piece not a number") << "255|x|3" << QList<qint32>{};
        QTest::newRow("trailing bar") << "255|" << QList<qint32>{};
        QList<qint32> twenty;
        QStringList pieces;
        for (int i = 1; i <= 25; ++i) {
            pieces << QString::number(i);
            if (i <= 20) twenty << i;
        }
        QTest::newRow("at most twenty") << pieces.join(u'|') << twenty;
    }
    void colorPoints() {
        QFETCH(QString, info);
        QFETCH(QList<qint32>, points);
        QCOMPARE(TQSColorBar::ParseColorInfo(info), points);
    }

    void commentDrawsNothing() {
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        TQSScriptObject* comment = Add(Body(script), "TQSComment", {{"Text", "Rubrik"}});
        QCOMPARE(comment->DisplayText(), QStringLiteral("******* Rubrik *******"));
        QCOMPARE(RunPage(script, 1), QStringList());
    }

    // A page that starts inside a rectangle draws with that rectangle's area, whichever page
    // ran before it.
    void pagesRunInAnyOrder() {
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        AddFont(script);
        AddVariable(script, "i", "0");
        AddVariable(script, "n", "0");
        TQSContainer* loop = AddFor(Body(script), "i", "1", "2");
        auto* box =
            Add<TQSContainer>(loop, "TQSRectangle", {{"PositionY", "i * 10"}, {"Height", "20"}, {"BorderWidth", "0"}});
        Add(box, "TQSPageBreak");
        Add(box, "TQSFormula", {{"Expression", "n = n + 1"}});
        AddText(box, "\"Ruta \" + inttostr(i) + \", \" + inttostr(n)");
        TQSContainer* list = AddFor(Body(script), "i", "1", "60");
        AddText(list, "inttostr(i)");
        TQSExecData& exec = script->ExecData();
        exec.Compile();
        QCOMPARE(exec.PageCount(), 4);
        QList<QStringList> inOrder;
        for (int page = 1; page <= 4; ++page) inOrder.append(RunPage(script, page));
        QVERIFY(inOrder[1].contains("text 472,827 \"Ruta 1, 1\" clip 472,827,4488,1299"));
        QVERIFY(inOrder[2].contains("text 472,1063 \"Ruta 2, 2\" clip 472,1063,4488,1535"));
        for (int page : {3, 2, 4, 1, 2}) QCOMPARE(RunPage(script, page), inOrder[page - 1]);
    }
};

QTEST_GUILESS_MAIN(TestQSGraphics)
#include "tst_qsgraphics.moc"
