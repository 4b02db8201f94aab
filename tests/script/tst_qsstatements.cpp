#include <QtTest>
#include "support/TestSupport.h"

#include "platform/AtomicFile.h"

#include "ScriptTestSupport.h"

using namespace scripttest;
using testsupport::ExceptionText;

namespace {

// The integer value of a variable saved in a page's snapshot.
int SavedInteger(const TQSSnapshot& snapshot, const TQSVariable* variable) {
    for (const auto& [object, state] : snapshot.States)
        if (object == variable) return std::get<qint32>(state.Value);
    return -1;
}

}  // namespace

class TestQSStatements : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void caseChoosesRow_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("drawn");
        QTest::newRow("first") << "1"
                               << "ett";
        QTest::newRow("second") << "2"
                                << "två";
        QTest::newRow("else") << "5"
                              << "annat";
        QTest::newRow("float equals integer") << "2.0"
                                              << "två";
        QTest::newRow("text is no number") << "\"2\""
                                           << "annat";
    }
    void caseChoosesRow() {
        QFETCH(QString, value);
        QFETCH(QString, drawn);
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        AddFont(script);
        auto* choice = Add<TQSContainer>(Body(script), "TQSCase", {{"Expression", value}});
        AddText(Add<TQSContainer>(choice, "TQSCaseField", {{"CaseResult", "1"}}), "\"ett\"");
        AddText(Add<TQSContainer>(choice, "TQSCaseField", {{"CaseResult", "2"}}), "\"två\"");
        AddText(Add<TQSContainer>(choice, "TQSCaseField", {{"ElseCase", "1"}}), "\"annat\"");
        QCOMPARE(Texts(RunPage(script, 1)), QStringList{drawn});
        // The rows are no instructions; only the chosen row's statements are.
        int texts = 0;
        for (const TQSScriptObject* object : script->ExecData().Instructions()) {
            QVERIFY(object->ClassName() != QLatin1String("TQSCaseField"));
            texts += object->ClassName() == QLatin1String("TQSText");
        }
        QCOMPARE(texts, 1);
    }

    void caseWithTwoElseRows() {
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        auto* choice = Add<TQSContainer>(Body(script), "TQSCase", {{"Expression", "1"}});
        Add(choice, "TQSCaseField", {{"ElseCase", "1"}});
        TQSScriptObject* second = Add(choice, "TQSCaseField", {{"ElseCase", "1"}});
        try {
            script->ExecData().Compile();
            QFAIL("compiled");
        } catch (const QSException& e) {
            QCOMPARE(e.Message(), QStringLiteral("Only one ELSE field allowed in CASE statements"));
            QCOMPARE(e.Object(), second);
        }
        QVERIFY(!script->ExecData().Compiled());
    }

    void forAroundPageBreak() {
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        TQSVariable* i = AddVariable(script, "i", "0");
        Add(AddFor(Body(script), "i", "1", "3"), "TQSPageBreak");
        TQSExecData& exec = script->ExecData();
        exec.Compile();
        QCOMPARE(exec.PageCount(), 4);
        QCOMPARE(SavedInteger(exec.Snapshots()[0], i), 0);
        QCOMPARE(SavedInteger(exec.Snapshots()[1], i), 1);
        QCOMPARE(SavedInteger(exec.Snapshots()[2], i), 2);
        QCOMPARE(SavedInteger(exec.Snapshots()[3], i), 3);
        // The counter of each turn counts on in a run, in the same step as the statement before it.
        exec.GotoPage(TQSExecState::Print, 3);
        exec.ExecutePage(TQSExecState::Print, TQSRunKind::Run);
        QCOMPARE(i->CurrentValue, TQuillValue(qint32(3)));
    }

    void forTurns_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<bool>("descending");
        QTest::addColumn<QStringList>("drawn");
        QTest::newRow("up") << "1"
                            << "3" << false << QStringList{"1", "2", "3"};
        QTest::newRow("start past the end") << "3"
                                            << "1" << false << QStringList{};
        QTest::newRow("down") << "3"
                              << "1" << true << QStringList{"3", "2", "1"};
        QTest::newRow("one turn") << "7"
                                  << "7" << false << QStringList{"7"};
        QTest::newRow("at the edge of the integers")
            << "2147483646"
            << "2147483647" << false << QStringList{"2147483646", "2147483647"};
        QTest::newRow("down to the lowest integer")
            << "-2147483647"
            << "-2147483647 - 1" << true << QStringList{"-2147483647", "-2147483648"};
    }
    void forTurns() {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(bool, descending);
        QFETCH(QStringList, drawn);
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        AddFont(script);
        AddVariable(script, "i", "0");
        AddText(AddFor(Body(script), "i", from, to, descending), "inttostr(i)");
        QCOMPARE(Texts(RunPage(script, 1)), drawn);
    }

    void listBreaksPages_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<QList<int>>("perPage");
        QTest::newRow("60 rows") << 60 << QList<int>{49, 11};
        QTest::newRow("100 rows") << 100 << QList<int>{49, 49, 2};
        QTest::newRow("exactly one page") << 49 << QList<int>{49};
    }
    void listBreaksPages() {
        QFETCH(int, rows);
        QFETCH(QList<int>, perPage);
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        AddFont(script);
        AddVariable(script, "i", "0");
        // Loop, condition and choice lend their rows the page body: the list breaks as a list.
        TQSContainer* loop = AddFor(Body(script), "i", "1", QString::number(rows));
        auto* condition = Add<TQSContainer>(loop, "TQSIf", {{"Expression", "i > 0"}});
        auto* choice = Add<TQSContainer>(condition, "TQSCase", {{"Expression", "1"}});
        AddText(Add<TQSContainer>(choice, "TQSCaseField", {{"ElseCase", "1"}}), "\"Rad \" + inttostr(i)");
        TQSExecData& exec = script->ExecData();
        exec.Compile();
        QCOMPARE(exec.PageCount(), perPage.size());
        int row = 0;
        for (int page = 1; page <= perPage.size(); ++page) {
            const QStringList calls = RunPage(script, page);
            QCOMPARE(Texts(calls).size(), perPage[page - 1]);
            // Each page begins at the top of the body.
            QCOMPARE(Texts(calls).first(), QStringLiteral("Rad %1").arg(row + 1));
            QVERIFY(calls.contains(QStringLiteral("text 472,591 \"Rad %1\" clip 472,591,4488,6425").arg(row + 1)));
            row += perPage[page - 1];
        }
    }

    void ifDecidedInPreparation() {
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        AddVariable(script, "visa", "False");
        Add(Add<TQSContainer>(Body(script), "TQSIf", {{"Expression", "visa"}}), "TQSPageBreak");
        // Changing the variable afterwards brings nothing back.
        Add(Body(script), "TQSFormula", {{"Expression", "visa = True"}});
        TQSExecData& exec = script->ExecData();
        exec.Compile();
        QCOMPARE(exec.PageCount(), 1);
        for (const TQSScriptObject* object : exec.Instructions()) QVERIFY(object->ClassName() != "TQSPageBreak");

        // In debug mode the branch may be forced.
        handler.SetMode(hmDebug);
        static_cast<TQSContainer*>(Body(script)->Child(0))->SetValue("DebugResult", "2");
        script->Reset();
        exec.Compile();
        QCOMPARE(exec.PageCount(), 2);
        handler.SetMode(hmApplication);
        script->Reset();
        exec.Compile();
        QCOMPARE(exec.PageCount(), 1);
    }

    // The debug listing in the temporary folder: written whole, and a failing write (a full
    // disk) keeps the old listing and does not stop the run.
    void debugListing() {
        const QByteArray savedTmp = qgetenv("TMPDIR");
        const QString tmp = m_dir.filePath(QStringLiteral("tmp"));
        QVERIFY(QDir().mkpath(tmp));
        qputenv("TMPDIR", QFile::encodeName(tmp));
        auto restore = qScopeGuard([&] {
            AtomicFileFaults::Clear();
            if (savedTmp.isNull())
                qunsetenv("TMPDIR");
            else
                qputenv("TMPDIR", savedTmp);
        });
        const QString listing = QDir(tmp).filePath(QStringLiteral("debug.txt"));
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        AddFont(script);
        AddText(Body(script), "\"Kantarell\"");
        handler.SetMode(hmDebug);
        script->ExecData().Compile();
        QFile written(listing);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QVERIFY(written.readAll().contains("Page 1:"));
        written.close();

        QVERIFY(QFile::remove(listing));
        QFile old(listing);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("gammal lista\n");
        old.close();
        AtomicFileFaults::FailNext(TWriteStep::Flush);
        script->Reset();
        script->ExecData().Compile();
        QCOMPARE(script->ExecData().PageCount(), 1);
        QVERIFY(!AtomicFileFaults::Armed());
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("gammal lista\n"));
        QCOMPARE(QDir(tmp).entryList(QDir::Files), QStringList{QStringLiteral("debug.txt")});
    }

    void formulas_data() {
        QTest::addColumn<QString>("formula");
        QTest::addColumn<QString>("result");
        QTest::newRow("variable") << "total = total + 1"
                                  << "Integer 42";
        QTest::newRow("variable in other case") << "TOTAL=total*2"
                                                << "Integer 82";
        QTest::newRow("text") << "total = \"svamp\""
                              << "String \"svamp\"";
        QTest::newRow("font size") << "f.size = 14"
                                   << "Integer 14";
        QTest::newRow("font bold") << "F.Bold = true"
                                   << "Boolean true";
    }
    void formulas() {
        QFETCH(QString, formula);
        QFETCH(QString, result);
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        AddFont(script);
        AddVariable(script, "total", "41");
        Add(Body(script), "TQSFormula", {{"Expression", formula}});
        script->ExecData().Compile();
        QCOMPARE(Describe(handler.Calc().Evaluate(formula.section(u'=', 0, 0).trimmed())), result);
    }

    void parentLinePosition() {
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        AddFont(script);
        Add(Body(script), "TQSFormula", {{"Expression", "parent.y = 40"}});
        AddText(Body(script), "\"Kantarell\" + floattostr(parent.y)");
        const QStringList calls = RunPage(script, 1);
        QCOMPARE(calls.last(), QStringLiteral("text 472,1535 \"Kantarell40\" clip 472,591,4488,6425"));
    }

    void formulaErrors_data() {
        QTest::addColumn<QString>("formula");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("position");
        QTest::newRow("no equals sign") << "total + 1"
                                        << "Invalid expression" << -1;
        QTest::newRow("unknown object") << "summa = 1"
                                        << "Object \"summa\" not found in script" << -1;
        QTest::newRow("unknown property") << "total.x = 1"
                                          << "Unknown property \"x\"" << -1;
        QTest::newRow("font style needs a Boolean") << "f.bold = 1"
                                                    << "Type mismatch for property \"bold\"" << -1;
        QTest::newRow("error in the whole text") << "total =  1 + "
                                                 << "Operand expected" << 13;
        QTest::newRow("parent takes a number") << "parent = \"x\""
                                               << "Result type mismatch (should be Float)" << 12;
        QTest::newRow("empty value") << "total ="
                                     << "Empty expression" << 7;
    }
    void formulaErrors() {
        QFETCH(QString, formula);
        QFETCH(QString, message);
        QFETCH(int, position);
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        AddFont(script);
        AddVariable(script, "total", "1");
        TQSScriptObject* statement = Add(Body(script), "TQSFormula", {{"Expression", formula}});
        try {
            script->ExecData().Compile();
            QFAIL("compiled");
        } catch (const QSException& e) {
            QCOMPARE(e.Message(), message);
            QCOMPARE(e.Object(), statement);
            QCOMPARE(e.PropertyPath(), QStringLiteral("TQSFormula.Expression"));
            QCOMPARE(e.Position(), position);
        }
    }

    void subroutinesNeverRun() {
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        AddVariable(script, "n", "0");
        auto* sub = Add<TQSContainer>(script->Root()->Section(5), "TQSSubroutine");
        Add(sub, "TQSPageBreak");
        Add(sub, "TQSFormula", {{"Expression", "n = 7"}});
        script->ExecData().Compile();
        QCOMPARE(script->ExecData().PageCount(), 1);
        QCOMPARE(handler.Calc().EvaluateInteger("n"), 0);
        // It is compiled with the script.
        Add(sub, "TQSFormula", {{"Expression", "="}});
        script->Reset();
        QCOMPARE(ExceptionText([&] { script->ExecData().Compile(); }),
                 QStringLiteral("Object \"\" not found in script"));
    }

    void externalFunctionDebugValue() {
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        AddFont(script);
        TQSScriptObject* function = Add(script->Root()->Section(6), "TQSExternalFunction",
                                        {{"ParamCount", "1"}, {"DebugValue", "\"Kantarell\""}});
        function->SetName("artnamn");
        AddText(Body(script), "artnamn(3)");
        QCOMPARE(Texts(RunPage(script, 1)), QStringList{"Kantarell"});

        // The program answers the function itself: a debug value that does not evaluate is
        // no hindrance there.
        function->SetValue("DebugValue", "1 +");
        script->Reset();
        QCOMPARE(ExceptionText([&] { script->ExecData().Compile(); }), QStringLiteral("Operand expected"));
        handler.SetMode(hmApplication);
        handler.OnExternalFunction = [](TQSHandler& sender, const QString&, TQuillValue& result) {
            result = QStringLiteral("Cantharellus %1")
                         .arg(std::get<qint32>(sender.Calc().GetParam(TQuillKind::Integer, qpOnly)));
        };
        script->Reset();
        QCOMPARE(Texts(RunPage(script, 1)), QStringList{"Cantharellus 3"});
    }

    void displayTexts() {
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        TQSContainer* body = Body(script);
        QCOMPARE(Add(body, "TQSIf", {{"Expression", "a > 1"}})->DisplayText(), QStringLiteral("If a > 1 then"));
        auto* choice = Add<TQSContainer>(body, "TQSCase", {{"Expression", "a"}});
        QCOMPARE(choice->DisplayText(), QStringLiteral("Case a of"));
        QCOMPARE(Add(choice, "TQSCaseField", {{"CaseResult", "2"}})->DisplayText(), QStringLiteral("on 2:"));
        QCOMPARE(Add(choice, "TQSCaseField", {{"ElseCase", "1"}})->DisplayText(), QStringLiteral("else:"));
        QCOMPARE(AddFor(body, "i", "1", "n")->DisplayText(), QStringLiteral("For i = 1 to n"));
        QCOMPARE(AddFor(body, "i", "n", "1", true)->DisplayText(), QStringLiteral("For i = n downto 1"));
        QCOMPARE(Add(body, "TQSFormula")->DisplayText(), QStringLiteral("Empty formula"));
        QCOMPARE(Add(script->Root()->Section(6), "TQSExternalFunction", {{"ParamCount", "2"}})->DisplayText(),
                 QStringLiteral("function1 (2 parameters)"));
        QCOMPARE(script->Root()->Section(6)->DisplayText(), QStringLiteral("External functions (1 items)"));
    }

    // Scripts that would run without end, or that ask for what is not there, stop with a
    // message of their own and leave no half-made pages.
    void malformedScripts_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("endless loop") << "loop"
                                      << "Too many instructions (more than 2000000)";
        QTest::newRow("loop reset by a formula") << "reset"
                                                 << "Too many instructions (more than 2000000)";
        QTest::newRow("loop variable missing") << "novariable"
                                               << "For-loop variable not found";
        QTest::newRow("loop variable made text") << "textcounter"
                                                 << "Type mismatch for property \"i\"";
        QTest::newRow("missing font") << "font"
                                      << "Font \"rubrik\" not found in script";
        QTest::newRow("condition not Boolean") << "condition"
                                               << "Result type mismatch (should be Boolean)";
        QTest::newRow("recursive debug value") << "recursion"
                                               << "Parentheses nested too deeply";
    }
    void malformedScripts() {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        AddFont(script);
        AddVariable(script, "i", "0");
        TQSContainer* body = Body(script);
        if (kind == "loop") {
            handler.SetMode(hmApplication);  // no listing of two million lines
            AddFor(body, "i", "1", "2147483647");
        } else if (kind == "reset") {
            handler.SetMode(hmApplication);
            Add(AddFor(body, "i", "1", "3"), "TQSFormula", {{"Expression", "i = 1"}});
        } else if (kind == "novariable") {
            AddFor(body, "j", "1", "3");
        } else if (kind == "textcounter") {
            Add(AddFor(body, "i", "1", "3"), "TQSFormula", {{"Expression", "i = \"ett\""}});
        } else if (kind == "font") {
            AddText(body, "\"Rubrik\"", true, {{"FontName", "\"rubrik\""}});
        } else if (kind == "condition") {
            Add(body, "TQSIf", {{"Expression", "i + 1"}});
        } else if (kind == "recursion") {
            Add(script->Root()->Section(6), "TQSExternalFunction", {{"DebugValue", "function1"}});
        }
        TQSExecData& exec = script->ExecData();
        QCOMPARE(ExceptionText([&] { exec.Compile(); }), message);
        QVERIFY(!exec.Compiled());
        QVERIFY(exec.Instructions().empty());
        QVERIFY(exec.Snapshots().empty());
    }

    void pageBreakInHeaderOrFoot() {
        TQSHandler handler;
        TQSScript* script = NewScript(handler, m_dir);
        AddFont(script);
        Add(Layout(script)->Header(), "TQSPageBreak");
        Add(Layout(script)->Foot(), "TQSPageBreak");
        // A text taller than the foot asks no room of it either.
        AddText(Layout(script)->Foot(), "\"Sidfot\"", true, {{"Width", "1"}});
        Add(Body(script), "TQSPageBreak");
        script->ExecData().Compile();
        QCOMPARE(script->ExecData().PageCount(), 2);
        QCOMPARE(Texts(RunPage(script, 2)), QStringList({"S", "i", "d", "f", "o", "t"}));
    }
};

QTEST_GUILESS_MAIN(TestQSStatements)
#include "tst_qsstatements.moc"
