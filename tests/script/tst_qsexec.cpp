#include <QtTest>
#include "support/TestSupport.h"

#include <QSaveFile>

#include "platform/Clock.h"
#include "script/QSHandler.h"

namespace {

const TQSRegisteredObject& Rec(const char* className) { return *FindRegisteredClass(QLatin1String(className)); }

// An empty script loaded into the handler (current); tests add their objects to it.
TQSScript* NewScript(TQSHandler& handler, const QTemporaryDir& dir) {
    const QString path = dir.filePath(QStringLiteral("empty.qsf"));
    if (!QFile::exists(path)) {
        TQSScript script;
        QSaveFile file(path);
        file.open(QIODevice::WriteOnly);
        script.SaveToStream(file);
        file.commit();
    }
    return handler.AddScript(path);
}

TQSScriptObject* AddStatement(TQSContainer* container, const char* className) {
    return container->CreateChild(Rec(className));
}

TQSVariable* AddVariable(TQSScript* script, const QString& name, const QString& initial) {
    auto* v = static_cast<TQSVariable*>(script->Root()->Section(1)->CreateChild(Rec("TQSVariable")));
    v->SetName(name);
    v->SetValue("InitialValue", initial);
    return v;
}

QString Describe(const TQuillValue& v) {
    switch (QuillKind(v)) {
    case TQuillKind::Boolean: return std::get<bool>(v) ? "Boolean true" : "Boolean false";
    case TQuillKind::String: return "String \"" + std::get<QString>(v) + "\"";
    case TQuillKind::Integer: return "Integer " + QString::number(std::get<qint32>(v));
    case TQuillKind::Float: return "Float " + QString::number(std::get<double>(v), 'g', 17);
    default: return "empty";
    }
}

QStringList WrapAll(const QString& text, double width) {
    TQSFixedPitchMeasurer measurer;
    QString rest = text;
    QStringList lines;
    while (!rest.isEmpty() && lines.size() < 10000) lines.append(WrapLine(measurer, TQSFontSpec(), rest, width));
    return lines;
}

// A table of records with a "namn" field, as the application's tables answer a datasource.
class FakeTable : public TQSDataset {
public:
    explicit FakeTable(QStringList names) : m_names(std::move(names)) {}
    bool IsOpen() const override { return true; }
    int RecNo() const override { return m_rec; }
    int RecordCount() const override { return int(m_names.size()); }
    bool Bof() const override { return m_bof; }
    bool Eof() const override { return m_eof; }
    void MoveBy(int distance) override {
        const int target = m_rec + distance;
        m_bof = target < 1;
        m_eof = target > RecordCount();
        m_rec = std::clamp(target, 1, RecordCount());
    }
    void First() override { m_rec = 1, m_bof = true, m_eof = false; }
    void Last() override { m_rec = RecordCount(), m_eof = true, m_bof = false; }
    TQuillValue Field(const QString& name) const override {
        if (name != QLatin1String("namn")) throw Exception(QStringLiteral("Fältet %1 finns inte").arg(name));
        return m_names[m_rec - 1];
    }
    bool Locate(const QString& field, const TQuillValue& value) override {
        for (int i = 0; i < RecordCount(); ++i)
            if (field == QLatin1String("namn") && TQuillValue(m_names[i]) == value) {
                m_rec = i + 1;
                return true;
            }
        return false;
    }
    bool ControlsDisabled() const override { return m_disabled; }
    void SetControlsDisabled(bool disabled) override { m_disabled = disabled; }

private:
    QStringList m_names;
    int m_rec = 1;
    bool m_bof = true, m_eof = false, m_disabled = false;
};

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
        exec.GotoPage(4, 1);
        QCOMPARE(exec.DeviceX(10), 136);
        QCOMPARE(exec.DeviceY(25), 591);
        exec.GotoPage(3, 1);
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
        exec.GotoPage(4, 1);
        TQSRecordingCanvas canvas;
        const TQSBindData& body = script->Root()->ScriptObjects()->BindData();
        exec.DrawText(canvas, body, 0, 0, "Kantarell");
        exec.DrawText(canvas, script->Root()->Pagelayouts()->FindLayoutForPage(1)->Header()->BindData(), 0, 0, "Sida");
        exec.DrawRectangle(canvas, body, 10, 0, 10, 5, 0.5, 0, 0x0000FF, 0xFFFFFF);
        exec.DrawRectangle(canvas, body, 0, 0, 10, 5, 0, 2, 0, 0);
        exec.DrawLine(canvas, body, 0, 10, 25.4, 10, 0.5, 0);
        QCOMPARE(canvas.Calls, QStringList({
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
            if (c == u'h')
                AddStatement(script->Root()->Pagelayouts()->FindLayoutForPage(1)->Header(), "TQSPageBreak");
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
        exec.ExecutePage(3, rkRun);
        QVERIFY(exec.Compiled());
        QCOMPARE(exec.PreviewPage(), 1);
        QCOMPARE(exec.PC(), exec.Snapshots()[1].FirstPC);
        QCOMPARE(exec.RunKind(), int(rkRun));
        QVERIFY(events.contains(qePreviewPage));

        QStringList messages;
        exec.OnPageEnd = [&](const QString& m) { messages.append(m); };
        exec.Breakpoints.append(second);
        exec.GotoPage(3, 2);
        exec.ExecutePage(3, rkBreakpoints);
        QCOMPARE(exec.RunKind(), int(rkPaused));
        QCOMPARE(exec.CurrentObject(), second);
        exec.ExecutePage(3, rkPaused);
        exec.ExecutePage(3, rkPaused);
        QCOMPARE(exec.RunKind(), int(rkFinished));
        QVERIFY(messages.isEmpty());

        // Breakpoints stop only a debugging run.
        handler.SetMode(hmApplication);
        exec.GotoPage(3, 2);
        exec.ExecutePage(3, rkBreakpoints);
        QCOMPARE(exec.RunKind(), int(rkFinished));
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
        exec.GotoPage(3, 2);
        const int pc = exec.PC();
        QCOMPARE(testsupport::ExceptionText([&] { exec.GotoPage(4, page); }), QStringLiteral("Page index out of range"));
        QCOMPARE(exec.PC(), pc);
        QCOMPARE(exec.State(), 3);
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
        QCOMPARE(testsupport::ExceptionText([&] { exec.Compile(); }), QStringLiteral("Too many pages (more than 10000)"));
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
        exec.GotoPage(4, 2);
        QCOMPARE(v->CurrentValue, TQuillValue(qint32(42)));
        QCOMPARE(font->Working.Size, 12);
        QCOMPARE(exec.PrintPage(), 2);
    }

    void runValues() {
        TQSHandler handler;
        handler.RunValues.Page = 7;
        handler.RunValues.PageCount = 9;
        TQSScript* script = NewScript(handler, m_dir);
        QCOMPARE(handler.RunValues.Page, 0);
        QCOMPARE(handler.RunValues.PageCount, 0);
        AddStatement(script->Root()->ScriptObjects(), "TQSPageBreak");
        TQSExecData& exec = script->ExecData();
        exec.Compile();
        TQuillCalc& calc = handler.Calc();
        QCOMPARE(calc.EvaluateInteger("pagecount"), 2);
        QCOMPARE(calc.EvaluateFloat("clientwidth"), 170.0);
        QCOMPARE(calc.EvaluateFloat("clientheight"), 247.0);
        QCOMPARE(calc.EvaluateFloat("printtime"), calc.EvaluateFloat("now"));
        exec.GotoPage(4, 2);
        QCOMPARE(calc.EvaluateInteger("page"), 2);
        script->Reset();
        QCOMPARE(calc.EvaluateInteger("page"), 0);
        QCOMPARE(calc.EvaluateInteger("pagecount"), 0);
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
        QTest::newRow("name") << "rubrik.name" << "String \"Serif\"";
        QTest::newRow("size") << "rubrik.size" << "Integer 12";
        QTest::newRow("color") << "rubrik.color" << "Integer 255";
        QTest::newRow("bold") << "rubrik.bold" << "Boolean true";
        QTest::newRow("italic") << "RUBRIK.Italic" << "Boolean false";
        QTest::newRow("width") << "rubrik.width(\"Kantarell\")" << "Float 18";
        QTest::newRow("height") << "rubrik.height" << "Float 5";
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

    void datasourceByName() {
        TQSHandler handler;
        FakeTable table({"Kantarell", "Karljohan", "Trattkantarell"});
        handler.FindDataset = [&](const QString& module, const QString& source) -> TQSDataset* {
            return module == QLatin1String("ARTER") && source == QLatin1String("ARTLISTA") ? &table : nullptr;
        };
        handler.SetMode(hmApplication);
        TQSScript* script = NewScript(handler, m_dir);
        auto* ds = static_cast<TQSDataModuleDatasource*>(
            script->Root()->Section(3)->CreateChild(Rec("TQSDataModuleDatasource")));
        QCOMPARE(ds->Name(), QStringLiteral("datasource1"));
        ds->SetName("arter");
        ds->SetValue("Datamodule", "Arter");
        ds->SetValue("Datasource", "artLista");
        TQuillCalc& calc = handler.Calc();
        QCOMPARE(calc.EvaluateInteger("arter.recordcount"), 3);
        QCOMPARE(calc.EvaluateString("arter.field(\"namn\")"), QStringLiteral("Kantarell"));
        QVERIFY(calc.EvaluateBoolean("arter.locate(\"namn\", \"Karljohan\")"));
        QCOMPARE(calc.EvaluateInteger("arter.recno"), 2);
        QVERIFY(!calc.EvaluateBoolean("arter.locate(\"namn\", \"Flugsvamp\")"));
        ds->WriteProperty("recno", qint32(3));
        QCOMPARE(calc.EvaluateString("arter.field(\"namn\")"), QStringLiteral("Trattkantarell"));
        QCOMPARE(testsupport::ExceptionText([&] { ds->WriteProperty("recno", true); }),
                 QStringLiteral("Type mismatch for property \"recno\""));

        // A page that starts at the table's end restores to its last record.
        AddStatement(script->Root()->ScriptObjects(), "TQSPageBreak");
        table.Last();
        TQSExecData& exec = script->ExecData();
        exec.Compile();
        table.First();
        exec.GotoPage(4, 1);
        QCOMPARE(table.RecNo(), 3);
        QVERIFY(table.Eof());

        ds->SetValue("Datasource", "saknas");
        QCOMPARE(ds->RecNo(), -1);
        QCOMPARE(testsupport::ExceptionText([&] { calc.Evaluate("arter.recno"); }),
                 QStringLiteral("Datasource \"arter\" is not connected"));
        handler.SetMode(hmDebug);
        QCOMPARE(calc.EvaluateInteger("arter.recordcount"), -1);
        QCOMPARE(testsupport::ExceptionText([&] { calc.Evaluate("arter.field(\"namn\")"); }),
                 QStringLiteral("No valid connection to dataset"));
    }
};

QTEST_GUILESS_MAIN(TestQSExec)
#include "tst_qsexec.moc"
