#include <QtTest>
#include "support/TestSupport.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include "../script/ScriptTestSupport.h"
#include "script/qt/QSQtDevices.h"

using namespace scripttest;

namespace {

constexpr int kDpi = 100;

// A page of the script drawn by Qt's painter on white paper at 100 DPI, A4 portrait.
QImage RenderPage(TQSScript* script, int page) {
    QImage image(MmToPixel(210, kDpi), MmToPixel(297, kDpi), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    TQSPainterCanvas canvas(painter, kDpi);
    RunPageOn(script, page, canvas);
    return image;
}

// A mushroom on white, as a BMP file.
QByteArray MushroomBmp() {
    QImage image(120, 100, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(235, 220, 190));
        painter.drawRect(50, 40, 20, 55);
        painter.setBrush(QColor(150, 80, 30));
        painter.drawChord(QRect(10, 5, 100, 70), 0, 180 * 16);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

// Whether some pixel of the rectangle (in pixels) is darker than light grey.
bool Inked(const QImage& image, const QRect& area) {
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) < 160) return true;
    return false;
}

}  // namespace

class TestQSRender : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    void Prepare(TQSHandler& handler) {
        handler.SetMode(hmApplication);
        handler.Measurer = std::make_shared<TQSFontMetricsMeasurer>();
    }

private Q_SLOTS:
    // Texts in turn with one font, another, the first again, and after the painter was given
    // another font behind the canvas: each row lies where the font it is drawn in puts it
    // (its top at the row's y), as drawn straight with QPainter.
    void textRowsFollowTheirFonts() {
        const TQSFontSpec small{QStringLiteral("Liberation Sans"), 10, false, false, false, false};
        const TQSFontSpec large{QStringLiteral("Liberation Sans"), 24, true, false, false, false};
        QImage canvasImage(400, 300, QImage::Format_RGB32), straight(400, 300, QImage::Format_RGB32);
        canvasImage.fill(Qt::white);
        straight.fill(Qt::white);
        {
            QPainter painter(&canvasImage);
            TQSPainterCanvas canvas(painter, kDpi);
            const QRect all(0, 0, 400, 300);
            canvas.SetFont(small, 0);
            canvas.DrawText(10, 10, QStringLiteral("Kantarell"), all);
            canvas.SetFont(large, 0);
            canvas.DrawText(10, 60, QStringLiteral("Karljohan"), all);
            canvas.SetFont(small, 0);
            canvas.DrawText(10, 140, QStringLiteral("Trattkantarell"), all);
            painter.setFont(QSQtFont(large, kDpi));  // behind the canvas's back
            canvas.DrawText(10, 200, QStringLiteral("Åkerfrö"), all);
        }
        {
            QPainter painter(&straight);
            const auto row = [&](const TQSFontSpec& spec, int y, const QString& text) {
                painter.setFont(QSQtFont(spec, kDpi));
                painter.setPen(Qt::black);
                painter.drawText(QPointF(10, y + QFontMetricsF(painter.font(), painter.device()).ascent()), text);
            };
            row(small, 10, QStringLiteral("Kantarell"));
            row(large, 60, QStringLiteral("Karljohan"));
            row(small, 140, QStringLiteral("Trattkantarell"));
            row(large, 200, QStringLiteral("Åkerfrö"));
        }
        QCOMPARE(canvasImage, straight);
    }

    void minimalScript() {
        TQSHandler handler;
        Prepare(handler);
        TQSScript* script = NewScript(handler, m_dir);
        script->ExecData().PrinterData.SetTarget(std::make_unique<TQSRecordingTarget>(kDpi));
        AddFont(script)->SetValue("FontSize", "24");
        AddText(Body(script), "\"Hello\"", false);
        Add(Body(script), "TQSRectangle",
            {{"PositionY", "20"}, {"Width", "100"}, {"Height", "40"}, {"BackgroundColor", "14745599"}});
        const QImage page = RenderPage(script, 1);
        QCOMPARE(script->ExecData().PageCount(), 1);
        QVERIFY(page.save(testsupport::ArtefactDir() + "/qsrender_minimal.png"));
        // "Hello" at the body's corner (20, 25 mm), the box 20 mm below it with its border.
        QVERIFY(Inked(page, QRect(79, 98, 80, 30)));
        QVERIFY(!Inked(page, QRect(0, 0, 78, 97)));
        QCOMPARE(qGray(page.pixel(MmToPixel(20, kDpi), MmToPixel(60, kDpi))) < 100, true);  // left border
        QCOMPARE(page.pixelColor(MmToPixel(70, kDpi), MmToPixel(65, kDpi)), QColor(255, 255, 224));
    }

    void listScript() {
        TQSHandler handler;
        Prepare(handler);
        TQSScript* script = NewScript(handler, m_dir);
        script->ExecData().PrinterData.SetTarget(std::make_unique<TQSRecordingTarget>(kDpi));
        script->Root()->GetScriptSettings()->SetValue("ScriptName", "Svamplista");
        TQSFont* heading = AddFont(script, "rubrik");
        heading->SetValue("FontSize", "16");
        heading->SetValue("FontBold", "1");
        heading->SetValue("FontColor", "2121760");  // dark green, red in the lowest byte
        AddFont(script);
        AddVariable(script, "i", "0");
        AddVariable(script, "namn",
                    "\"Kantarell;Karljohan;Trattkantarell;Fårticka;Rödgul trumpetsvamp;Blodriska;"
                    "Sandsopp;Smörsopp;Stolt fjällskivling;Svart trumpetsvamp;Toppmurkla;Vårmusseron\"");

        TQSContainer* header = Layout(script)->Header();
        AddText(header, "\"Svampar i Sverige\"", false, {{"FontName", "\"rubrik\""}});
        AddText(header, "\"Sida \" + inttostr(page) + \" av \" + inttostr(pagecount)", false, {{"Alignment", "2"}});
        TQSContainer* foot = Layout(script)->Foot();
        Add(foot, "TQSLine", {{"StartY", "2"}, {"EndX", "170"}, {"EndY", "2"}, {"LineWidth", "0.3"}});
        AddText(foot, "\"Mykotekshallen – en svensk fälthandbok\"", false, {{"PositionY", "4"}, {"Alignment", "1"}});

        auto* intro = Add<TQSContainer>(
            Body(script), "TQSRectangle",
            {{"Height", "45"}, {"Margin", "4"}, {"CornerRadius", "4"}, {"BackgroundColor", "14745599"}});
        Add<TQSPicture>(intro, "TQSPicture",
                        {{"PositionX", "122"},
                         {"Width", "40"},
                         {"Height", "37"},
                         {"PicType", "1"},
                         {"Transparent", "1"},
                         {"HorizAlignment", "1"},
                         {"VertiAlignment", "1"}})
            ->Bitmap = MushroomBmp();
        AddText(intro,
                "\"Listan tar upp vanliga matsvampar och några förväxlingsarter. Plocka bara svampar du känner "
                "igen säkert, och rensa dem samma dag. Färgerna intill varje namn visar hattens färgskala, "
                "från ung till gammal fruktkropp.\"",
                true, {{"Width", "115"}});
        Add(Body(script), "TQSFormula", {{"Expression", "parent.y = 50"}});
        // A row: its text asks for the room and stays on its line, the bar beside it, then an
        // empty text moves on to the next line.
        TQSContainer* loop = AddFor(Body(script), "i", "1", "60");
        AddText(loop, "inttostr(i) + \". \" + splitsection(namn, \";\", (i - 1) mod 12)", false, {{"PositionX", "25"}});
        Add(loop, "TQSColorBar",
            {{"PositionY", "0.5"},
             {"Width", "20"},
             {"Height", "3"},
             {"BorderWidth", "0.2"},
             {"ColorInfo", "\"1879160|3381759|14745599\""}});
        AddText(loop, "\"\"");

        TQSExecData& exec = script->ExecData();
        exec.Compile();
        QCOMPARE(exec.PageCount(), 2);
        for (int p = 1; p <= 2; ++p) {
            const QImage page = RenderPage(script, p);
            QVERIFY(page.save(testsupport::ArtefactDir() + QStringLiteral("/qsrender_list_%1.png").arg(p)));
            // Header on every page; the list continues at the top of the body on page 2.
            QVERIFY(Inked(page, QRect(MmToPixel(20, kDpi), MmToPixel(16, kDpi), 200, 25)));
            QVERIFY(Inked(page, QRect(MmToPixel(45, kDpi), MmToPixel(25, kDpi), 100, 12)));
        }
    }

    void qtPrinters() {
        TQSScript script;
        TQSPRNData& data = script.ExecData().PrinterData;
        QSUseQtPrinters(data, m_dir.filePath("utskrift.pdf"));
        data.SetPrinterIndex(0);
        QVERIFY(data.Target());
        QVERIFY(data.DPIX > 0 && data.DPIY > 0);
        QCOMPARE(data.Target()->DeviceMode().PaperCode, TQSDeviceMode::kA4);
    }
};

QTEST_MAIN(TestQSRender)
#include "tst_qsrender.moc"
