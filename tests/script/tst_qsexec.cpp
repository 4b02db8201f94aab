#include <QtTest>
#include "support/TestSupport.h"

#include "platform/Clock.h"
#include "ScriptTestSupport.h"

namespace {

using namespace scripttest;

TQSScriptObject* AddStatement(TQSContainer* container, const char* className) { return Add(container, className); }

QStringList WrapAll(const QString& text, double width) {
    TQSFixedPitchMeasurer measurer;
    QString rest = text;
    QStringList lines;
    while (!rest.isEmpty() && lines.size() < 10000) lines.append(WrapLine(measurer, TQSFontSpec(), rest, width));
    return lines;
}

}  // namespace

class TestQSExec : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase() { Clock::SetFixedNow(QDateTime(QDate(2004, 3, 5), QTime(18, 0))); }
    void cleanupTestCase() { Clock::SetFixedNow(std::nullopt); }

    void wrapLine_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("width");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("blank dropped") << "abc def" << 10.0 << QStringList{"abc", "def"};
        QTest::newRow("hyphen kept") << "abc-def" << 9.0 << QStringList{"abc-", "def"};
        QTest::newRow("line break") << "ab\r\ncd" << 100.0 << QStringList{"ab", "cd"};
        QTest::newRow("hard cut") << "abcdefgh" << 9.0 << QStringList{"abcd", "efgh"};
        QTest::newRow("one character at least") << "abc" << 1.0 << QStringList{"a", "b", "c"};
        QTest::newRow("last character over") << "abc de" << 11.5 << QStringList{"abc", "de"};
        QTest::newRow("comma the first over") << "ab, cd" << 4.0 << QStringList{"ab,", "cd"};
        QTest::newRow("whole text fits") << "ab cd" << 10.0 << QStringList{"ab cd"};
        QTest::newRow("long word") << "abcdefghij" << 7.0 << QStringList{"abc", "def", "ghi", "j"};
    }
    void wrapLine() {
        QFETCH(QString, text);
        QFETCH(double, width);
        QFETCH(QStringList, lines);
        QCOMPARE(WrapAll(text, width), lines);
    }

    void longTextWrapsWhole() {
        // Nothing of a long row is dropped.
        QString text;
        for (int i = 0; i < 3000; ++i) text += QStringLiteral("svamp ");
        const QStringList lines = WrapAll(text.trimmed(), 100.0);
        QCOMPARE(lines.join(u' '), text.trimmed());
        QCOMPARE(lines.first(), QStringLiteral("svamp svamp svamp svamp svamp svamp svamp svamp"));
    }

    void mmToPixel_data() {
        QTest::addColumn<double>("mm");
        QTest::addColumn<int>("dpi");
        QTest::addColumn<int>("pixels");
        QTest::newRow("inch") << 25.4 << 600 << 600;
        QTest::newRow("10 mm") << 10.0 << 600 << 236;
        QTest::newRow("body left") << 20.0 << 600 << 472;
        QTest::newRow("body top") << 25.0 << 600 << 591;
        QTest::newRow("header top") << 15.0 << 600 << 354;
        QTest::newRow("foot top") << 272.0 << 600 << 6425;
        QTest::newRow("border pen") << 0.5 << 600 << 12;
        QTest::newRow("tie down") << 0.25 << 254 << 2;
        QTest::newRow("tie up") << 0.35 << 254 << 4;
        QTest::newRow("tie to even") << 1.25 << 254 << 12;
    }
    void mmToPixel() {
        QFETCH(double, mm);
        QFETCH(int, dpi);
        QFETCH(int, pixels);
        QCOMPARE(MmToPixel(mm, dpi), pixels);
    }

    void deviceCoordinates() {
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        TQSExecData& exec = script->ExecData();
        exec.PrinterData.DPIX = exec.PrinterData.DPIY = 600;
        exec.PrinterData.OffsetX = exec.PixelToMmX(100);
        exec.Compile();
        exec.GotoPage(TQSExecState::Print, 1);
        QCOMPARE(exec.DeviceX(10), 136);
        QCOMPARE(exec.DeviceY(25), 591);
        exec.GotoPage(TQSExecState::Preview, 1);
        QCOMPARE(exec.DeviceX(20), 76);
        QCOMPARE(exec.DeviceY(25), 95);
        handler.SetPreviewZoom(200);
        QCOMPARE(exec.DeviceX(20), 151);
        QCOMPARE(exec.DeviceLength(0.5), 4);
    }

    void drawing() {
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        TQSExecData& exec = script->ExecData();
        exec.PrinterData.SetTarget(std::make_unique<TQSRecordingTarget>(600));
        exec.Compile();
        exec.GotoPage(TQSExecState::Print, 1);
        TQSRecordingCanvas canvas;
        const TQSBindData& body = script->Root()->ScriptObjects()->BindData();
        exec.DrawText(canvas, body, 0, 0, "Kantarell");
        exec.DrawText(canvas, script->Root()->Pagelayouts()->FindLayoutForPage(1)->Header()->BindData(), 0, 0, "Sida");
        exec.DrawRectangle(canvas, body, 10, 0, 10, 5, 0.5, 0, 0x0000FF, 0xFFFFFF);
        exec.DrawRectangle(canvas, body, 0, 0, 10, 5, 0, 2, 0, 0);
        exec.DrawLine(canvas, body, 0, 10, 25.4, 10, 0.5, 0);
        QCOMPARE(canvas.Calls,
                 QStringList({
                     "text 472,591 \"Kantarell\" clip 472,591,4488,6425",
                     "text 472,354 \"Sida\" clip 472,354,4488,591",
                     "pen 255 12",
                     "brush 16777215",
                     "rect 709,591,945,709",
                     "pen none",
                     "brush 0",
                     "roundrect 472,591,709,709 47x47",
                     "pen 0 12",
                     "line 472,827 1072,827",
                 }));
    }

    void pageCount_data() {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<int>("pages");
        QTest::newRow("no break") << "t" << 1;
        QTest::newRow("break last") << "tb" << 2;
        QTest::newRow("two breaks") << "tbtbt" << 3;
        QTest::newRow("break in a rectangle") << "tr" << 2;
        QTest::newRow("break in the header") << "th" << 1;
    }
    void pageCount() {
        QFETCH(QString, layout);
        QFETCH(int, pages);
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        TQSContainer* body = script->Root()->ScriptObjects();
        for (const QChar c : layout) {
            if (c == u't') AddStatement(body, "TQSComment");
            if (c == u'b') AddStatement(body, "TQSPageBreak");
            if (c == u'r') AddStatement(static_cast<TQSContainer*>(AddStatement(body, "TQSRectangle")), "TQSPageBreak");
            if (c == u'h') AddStatement(script->Root()->Pagelayouts()->FindLayoutForPage(1)->Header(), "TQSPageBreak");
        }
        TQSExecData& exec = script->ExecData();
        exec.Compile();
        QVERIFY(exec.Compiled());
        QCOMPARE(exec.PageCount(), pages);
        QCOMPARE(int(exec.Snapshots().size()), pages);
        // Every page begins with the layout's statements.
        for (const TQSSnapshot& snapshot : exec.Snapshots())
            QCOMPARE(exec.Instructions()[size_t(snapshot.FirstPC)]->ClassName(), QStringLiteral("TQSPagelayout"));
        QCOMPARE(exec.Snapshots().back().LastPC, TQSSnapshot::kOpenEnd);
    }

    void compileOnceAndAfterReset() {
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        AddStatement(script->Root()->ScriptObjects(), "TQSComment");
        AddStatement(script->Root()->ScriptObjects(), "TQSPageBreak");
        TQSExecData& exec = script->ExecData();
        exec.Compile();
        const std::vector<TQSScriptObject*> first = exec.Instructions();
        const QStringList listing = exec.Listing();
        QCOMPARE(listing.size(), int(first.size()));
        QCOMPARE(listing.first(), QStringLiteral("0001  TQSScriptSettings"));
        exec.Compile();
        QCOMPARE(exec.Instructions(), first);
        script->Reset();
        QVERIFY(!exec.Compiled());
        QVERIFY(exec.Instructions().empty());
        QCOMPARE(exec.PageCount(), -1);
        exec.Compile();
        QCOMPARE(exec.Instructions(), first);
        QCOMPARE(exec.PageCount(), 2);
        // The listing is a debugging aid only.
        handler.SetMode(hmApplication);
        script->Reset();
        exec.Compile();
        QCOMPARE(exec.Instructions(), first);
        QVERIFY(exec.Listing().isEmpty());
    }

    void executePage() {
        QList<int> events;  // outlives the handler, whose scripts report their end
        TQSHandler handler;
        handler.OnEvent = [&](int type, TQSScript*, TQSScriptObject*, const QVariant&) { events.append(type); };
        TQSScript* script = NewScript(handler, m_dir);
        TQSContainer* body = script->Root()->ScriptObjects();
        AddStatement(body, "TQSComment");
        AddStatement(body, "TQSPageBreak");
        TQSScriptObject* second = AddStatement(body, "TQSComment");
        AddStatement(body, "TQSComment");
        TQSExecData& exec = script->ExecData();
        // Running before compiling compiles first.
        exec.ExecutePage(TQSExecState::Preview, TQSRunKind::Run);
        QVERIFY(exec.Compiled());
        QCOMPARE(exec.PreviewPage(), 1);
        QCOMPARE(exec.PC(), exec.Snapshots()[1].FirstPC);
        QCOMPARE(exec.RunKind(), TQSRunKind::Run);
        QVERIFY(events.contains(qePreviewPage));

        QStringList messages;
        exec.OnPageEnd = [&](const QString& m) { messages.append(m); };
        exec.Breakpoints.append(second);
        exec.GotoPage(TQSExecState::Preview, 2);
        exec.ExecutePage(TQSExecState::Preview, TQSRunKind::Breakpoints);
        QCOMPARE(exec.RunKind(), TQSRunKind::Paused);
        QCOMPARE(exec.CurrentObject(), second);
        exec.ExecutePage(TQSExecState::Preview, TQSRunKind::Paused);
        exec.ExecutePage(TQSExecState::Preview, TQSRunKind::Paused);
        QCOMPARE(exec.RunKind(), TQSRunKind::Finished);
        QVERIFY(messages.isEmpty());

        // Breakpoints stop only a debugging run.
        handler.SetMode(hmApplication);
        exec.GotoPage(TQSExecState::Preview, 2);
        exec.ExecutePage(TQSExecState::Preview, TQSRunKind::Breakpoints);
        QCOMPARE(exec.RunKind(), TQSRunKind::Finished);
    }

    void gotoPageOutOfRange_data() {
        QTest::addColumn<int>("page");
        QTest::newRow("zero") << 0;
        QTest::newRow("past the last") << 3;
    }
    void gotoPageOutOfRange() {
        QFETCH(int, page);
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        AddStatement(script->Root()->ScriptObjects(), "TQSPageBreak");
        TQSExecData& exec = script->ExecData();
        exec.Compile();
        exec.GotoPage(TQSExecState::Preview, 2);
        const int pc = exec.PC();
        QCOMPARE(testsupport::ExceptionText([&] { exec.GotoPage(TQSExecState::Print, page); }),
                 QStringLiteral("Page index out of range"));
        QCOMPARE(exec.PC(), pc);
        QCOMPARE(exec.State(), TQSExecState::Preview);
        QCOMPARE(exec.PreviewPage(), 2);
    }

    void failedCompileLeavesNothing() {
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        AddStatement(script->Root()->ScriptObjects(), "TQSPageBreak");
        TQSVariable* v = AddVariable(script, "summa", "1 +");
        TQSExecData& exec = script->ExecData();
        try {
            exec.Compile();
            QFAIL("compiled");
        } catch (const QSException& e) {
            QCOMPARE(e.Object(), v);
            QCOMPARE(e.PropertyPath(), QStringLiteral("TQSVariable.InitialValue"));
        }
        QVERIFY(!exec.Compiled());
        QVERIFY(exec.Instructions().empty());
        QVERIFY(exec.Snapshots().empty());
        QCOMPARE(exec.PageCount(), -1);

        v->SetValue("InitialValue", "1");
        TQSPagelayouts* layouts = script->Root()->Pagelayouts();
        while (layouts->ChildCount() > 0 && dynamic_cast<TQSPagelayout*>(layouts->Child(0)))
            layouts->RemoveChild(layouts->Child(0));
        QCOMPARE(testsupport::ExceptionText([&] { exec.Compile(); }),
                 QStringLiteral("Error when producing page 1. No pagelayout found"));
        QVERIFY(exec.Instructions().empty());
    }

    void runawayScriptStops() {
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        TQSContainer* body = script->Root()->ScriptObjects();
        for (int i = 0; i < TQSExecData::kMaxPages; ++i) AddStatement(body, "TQSPageBreak");
        TQSExecData& exec = script->ExecData();
        QCOMPARE(testsupport::ExceptionText([&] { exec.Compile(); }),
                 QStringLiteral("Too many pages (more than 10000)"));
        QVERIFY(!exec.Compiled());
        QVERIFY(exec.Snapshots().empty());
        body->RemoveChild(body->Child(0));
        exec.Compile();
        QCOMPARE(exec.PageCount(), TQSExecData::kMaxPages);
    }

    void snapshotsRestoreTypedValues() {
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        AddStatement(script->Root()->ScriptObjects(), "TQSPageBreak");
        TQSVariable* v = AddVariable(script, "summa", "41 + 1");
        auto* font = static_cast<TQSFont*>(script->Root()->Section(2)->CreateChild(Rec("TQSFont")));
        font->SetValue("FontSize", "12");
        TQSExecData& exec = script->ExecData();
        exec.Compile();
        v->CurrentValue = QStringLiteral("ändrad");
        font->WriteProperty("size", qint32(30));
        exec.GotoPage(TQSExecState::Print, 2);
        QCOMPARE(v->CurrentValue, TQuillValue(qint32(42)));
        QCOMPARE(font->Working.Size, 12);
        QCOMPARE(exec.PrintPage(), 2);
    }

    void runValues() {
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        TQuillCalc& calc = handler.Calc();
        QCOMPARE(calc.EvaluateInteger("page"), 0);
        QCOMPARE(calc.EvaluateInteger("pagecount"), 0);
        AddStatement(script->Root()->ScriptObjects(), "TQSPageBreak");
        TQSExecData& exec = script->ExecData();
        exec.Compile();
        QCOMPARE(calc.EvaluateInteger("pagecount"), 2);
        QCOMPARE(calc.EvaluateFloat("clientwidth"), 170.0);
        QCOMPARE(calc.EvaluateFloat("clientheight"), 247.0);
        QCOMPARE(calc.EvaluateFloat("printtime"), calc.EvaluateFloat("now"));
        exec.GotoPage(TQSExecState::Print, 2);
        QCOMPARE(calc.EvaluateInteger("page"), 2);
        script->Reset();
        QCOMPARE(calc.EvaluateInteger("page"), 0);
        QCOMPARE(calc.EvaluateInteger("pagecount"), 0);
    }

    void emptyInitialValueIsReportedAtTheVariable_data() {
        QTest::addColumn<QString>("initial");
        QTest::newRow("empty") << "";
        QTest::newRow("blanks") << "   ";
    }
    void emptyInitialValueIsReportedAtTheVariable() {
        // Not later, as an unknown name where the variable is read.
        QFETCH(QString, initial);
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        TQSVariable* v = AddVariable(script, "summa", initial);
        Add(script->Root()->ScriptObjects(), "TQSFormula", {{"Expression", "summa = summa + 1"}});
        try {
            script->ExecData().Compile();
            QFAIL("compiled");
        } catch (const QSException& e) {
            QCOMPARE(e.Message(), QStringLiteral("Empty expression"));
            QCOMPARE(e.Object(), v);
            QCOMPARE(e.PropertyPath(), QStringLiteral("TQSVariable.InitialValue"));
        }
    }

    void variableByName() {
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        TQSVariable* v = AddVariable(script, "Summa", "\"svamp\"");
        script->ExecData().Compile();
        TQuillCalc& calc = handler.Calc();
        QCOMPARE(calc.EvaluateString("summa + \"ar\""), QStringLiteral("svampar"));
        v->WriteProperty(QString(), qint32(3));
        QCOMPARE(calc.EvaluateInteger("SUMMA * 2"), 6);
        QCOMPARE(testsupport::ExceptionText([&] { v->WriteProperty("x", qint32(1)); }),
                 QStringLiteral("Unknown property \"x\""));
        TQSVariable* other = AddVariable(script, "andra", "");
        QCOMPARE(other->Name(), QStringLiteral("andra"));
        QCOMPARE(testsupport::ExceptionText([&] { other->SetName("SUMMA"); }),
                 QStringLiteral("There is already an object (variable) by the name \"SUMMA\""));
    }

    void fontProperties_data() {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("expected");
        QTest::newRow("name") << "rubrik.name"
                              << "String \"Serif\"";
        QTest::newRow("size") << "rubrik.size"
                              << "Integer 12";
        QTest::newRow("color") << "rubrik.color"
                               << "Integer 255";
        QTest::newRow("bold") << "rubrik.bold"
                              << "Boolean true";
        QTest::newRow("italic") << "RUBRIK.Italic"
                                << "Boolean false";
        QTest::newRow("width") << "rubrik.width(\"Kantarell\")"
                               << "Float 18";
        QTest::newRow("height") << "rubrik.height"
                                << "Float 5";
    }
    void fontProperties() {
        QFETCH(QString, expression);
        QFETCH(QString, expected);
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        auto* font = static_cast<TQSFont*>(script->Root()->Section(2)->CreateChild(Rec("TQSFont")));
        font->SetName("Rubrik");
        font->SetValue("FontName", "Serif");
        font->SetValue("FontSize", "12");
        font->SetValue("FontBold", "1");
        font->SetValue("FontColor", "255");
        script->ExecData().Compile();
        QCOMPARE(Describe(handler.Calc().Evaluate(expression)), expected);
    }

    void fontAssignment() {
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        auto* font = static_cast<TQSFont*>(script->Root()->Section(2)->CreateChild(Rec("TQSFont")));
        QCOMPARE(font->Name(), QStringLiteral("font1"));
        script->ExecData().Compile();
        font->WriteProperty("italic", true);
        font->WriteProperty("size", qint32(14));
        QVERIFY(font->Working.Italic);
        QCOMPARE(font->Working.Size, 14);
        QVERIFY(!font->Described().Italic);
        QCOMPARE(testsupport::ExceptionText([&] { font->WriteProperty("bold", qint32(1)); }),
                 QStringLiteral("Type mismatch for property \"bold\""));
        QCOMPARE(testsupport::ExceptionText([&] { font->WriteProperty("height", 2.0); }),
                 QStringLiteral("Property \"height\" is readonly"));
        QCOMPARE(testsupport::ExceptionText([&] { handler.Calc().Evaluate("font1.slant"); }),
                 QStringLiteral("Unknown property \"slant\""));
    }
};

QTEST_GUILESS_MAIN(TestQSExec)
#include "tst_qsexec.moc"
