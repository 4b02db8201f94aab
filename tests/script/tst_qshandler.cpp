#include <QtTest>
#include "support/TestSupport.h"

#include "ScriptTestSupport.h"

#include <QSaveFile>

#include "platform/Clock.h"
#include "script/QSHandler.h"

using scripttest::Describe;

namespace {

const TQSRegisteredObject& Rec(const char* className) { return *FindRegisteredClass(QLatin1String(className)); }

// A script file made by the engine's writer after `fill` has built its objects.
QString WriteScript(const QTemporaryDir& dir, const QString& name, const std::function<void(TQSScript&)>& fill) {
    TQSScript script;
    fill(script);
    const QString path = dir.filePath(name);
    QSaveFile file(path);
    file.open(QIODevice::WriteOnly);
    script.SaveToStream(file);
    file.commit();
    return path;
}

TQSScriptObject* AddExternal(TQSScript& script, const QString& name, int params, const QString& debugValue) {
    TQSScriptObject* f = script.Root()->Section(6)->CreateChild(Rec("TQSExternalFunction"));
    f->SetName(name);
    f->SetValue("ParamCount", QString::number(params));
    f->SetValue("DebugValue", debugValue);
    return f;
}

}  // namespace

class TestQSHandler : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase() { Clock::SetFixedNow(QDateTime(QDate(2004, 3, 5), QTime(18, 0))); }
    void cleanupTestCase() { Clock::SetFixedNow(std::nullopt); }

    void newHandler() {
        TQSHandler handler;
        QCOMPARE(handler.Mode(), hmDebug);
        QCOMPARE(handler.ScriptIndex(), -1);
        QCOMPARE(handler.GetCurrentScript(), nullptr);
        QCOMPARE(handler.PreviewDPIX(), 96);
        QCOMPARE(handler.PreviewDPIY(), 96);
        QCOMPARE(handler.PreviewZoom(), 100);
        QCOMPARE(handler.Calc().CustomFunctions(), QStringList({"splitsection", "picksections"}));
    }

    void scriptsAndTheCurrentOne() {
        const QString a = WriteScript(m_dir, "a.qsf",
                                      [](TQSScript& s) { s.Root()->GetScriptSettings()->SetValue("ScriptName", "A"); });
        const QString b = WriteScript(m_dir, "b.qsf",
                                      [](TQSScript& s) { s.Root()->GetScriptSettings()->SetValue("ScriptName", "B"); });
        QVERIFY(testsupport::WriteBytes(m_dir.filePath("bad.qsf"), "not a script"));
        QList<QPair<int, TQSScriptObject*>> events;  // outlives the handler, whose scripts report their end
        TQSHandler handler;
        handler.OnEvent = [&](int type, TQSScript*, TQSScriptObject* object, const QVariant&) {
            events.append({type, object});
        };
        TQSScript* first = handler.AddScript(a);
        QCOMPARE(handler.ScriptIndex(), 0);
        // Created, each object read, reset, then every object announced, root first.
        QCOMPARE(events.first().first, int(qeScriptCreated));
        int announced = 0, read = 0;
        for (const auto& [type, object] : events) {
            if (type == qeAnnounce) ++announced;
            if (type == qeObjectRead) ++read;
        }
        const auto firstAnnounce =
            std::find_if(events.begin(), events.end(), [](const auto& e) { return e.first == qeAnnounce; });
        QCOMPARE(firstAnnounce->second, first->Root());
        QCOMPARE(std::prev(firstAnnounce)->first, int(qeReset));
        QCOMPARE(read, 11);  // the eight sections, the default layout, its header and foot
        std::function<int(const TQSScriptObject&)> count = [&](const TQSScriptObject& o) {
            int n = 1;
            if (const auto* c = dynamic_cast<const TQSContainer*>(&o))
                for (const auto& child : c->Children()) n += count(*child);
            return n;
        };
        QCOMPARE(announced, count(*first->Root()));
        TQSScript* second = handler.AddScript(b);
        QCOMPARE(handler.ScriptIndex(), 1);
        QCOMPARE(handler.GetCurrentScript(), second);
        QCOMPARE(second->FileName(), b);

        QCOMPARE(testsupport::ExceptionText([&] { handler.SetScriptIndex(2); }), QString("Script index out of range"));
        QCOMPARE(testsupport::ExceptionText([&] { handler.SetScriptIndex(-1); }), QString("Script index out of range"));
        QCOMPARE(handler.GetCurrentScript(), second);
        handler.SetScriptIndex(0);
        QCOMPARE(handler.GetCurrentScript(), first);
        QCOMPARE(first->Root()->GetScriptSettings()->Value("ScriptName"), QString("A"));

        QCOMPARE(testsupport::ExceptionText([&] { handler.AddScript(m_dir.filePath("bad.qsf")); }),
                 QString("Invalid or damaged ZaduzOrurer scriptfile!"));
        QCOMPARE(handler.ScriptCount(), 2);
        QCOMPARE(handler.GetCurrentScript(), first);
    }

    void sectionFunctions_data() {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("expected");
        QTest::newRow("split") << "splitsection(\"a;b;c\", \";\", 1)"
                               << "b";
        QTest::newRow("split first") << "splitsection(\"a;b;c\", \";\", 0)"
                                     << "a";
        QTest::newRow("split last") << "splitsection(\"a;b;c\", \";\", 2)"
                                    << "c";
        QTest::newRow("split beyond") << "splitsection(\"a;b;c\", \";\", 5)"
                                      << "";
        QTest::newRow("split long delimiter") << "splitsection(\"a<>b<>c\", \"<>\", 2)"
                                              << "c";
        QTest::newRow("split empty delimiter") << "splitsection(\"a;b\", \"\", 0)"
                                               << "a;b";
        QTest::newRow("split empty delimiter beyond") << "splitsection(\"a;b\", \"\", 1)"
                                                      << "";
        QTest::newRow("split empty text") << "splitsection(\"\", \";\", 0)"
                                          << "";
        QTest::newRow("pick") << "picksections(\"red;green;blue\", \"101\", \", \")"
                              << "red, blue";
        QTest::newRow("pick none") << "picksections(\"red;green;blue\", \"000\", \", \")"
                                   << "";
        QTest::newRow("pick long mask") << "picksections(\"red;green;blue\", \"0011\", \"+\")"
                                        << "blue+";
        QTest::newRow("pick digits above zero") << "picksections(\"a;b;c\", \"920\", \"\")"
                                                << "ab";
    }
    void sectionFunctions() {
        QFETCH(QString, expression);
        QFETCH(QString, expected);
        TQSHandler handler;
        QCOMPARE(handler.Calc().EvaluateString(expression), expected);
    }

    void variables() {
        const QString path = WriteScript(m_dir, "vars.qsf", [](TQSScript& s) {
            TQSScriptObject* total = s.Root()->Section(1)->CreateChild(Rec("TQSVariable"));
            total->SetName("Total");
            total->SetValue("InitialValue", "0");
            for (int i = 0; i < 4; ++i) s.Root()->ScriptObjects()->CreateChild(Rec("TQSPageBreak"));
        });
        TQSHandler handler;
        TQSScript* script = handler.AddScript(path);
        script->ExecData().Compile();
        script->ExecData().GotoPage(TQSExecState::Print, 2);
        script->Root()->ScriptObjects()->BindData().SetCurrentY(12.5);
        TQuillCalc& calc = handler.Calc();
        QCOMPARE(calc.EvaluateString("inttostr(Page) + \"/\" + inttostr(PageCount) + \" \" + inttostr(pagecount)"),
                 QString("2/5 5"));
        QCOMPARE(calc.EvaluateFloat("clientwidth - parent.y"), 157.5);
        QCOMPARE(calc.EvaluateString("date(\"D MMMM ÅÅÅÅ\", now) + \" \" + time(\"\", now)"),
                 QString("5 MARS 2004 18.00:00"));
        auto* total = static_cast<TQSVariable*>(script->FindVariable("total"));
        total->CurrentValue = qint32(41);
        QCOMPARE(calc.EvaluateInteger("TOTAL + 1"), 41 + 1);
        QCOMPARE(testsupport::ExceptionText([&] { calc.Evaluate("missing.x"); }),
                 QString("Object \"missing.x\" not found in script"));
        QCOMPARE(testsupport::ExceptionText([&] { calc.Evaluate("total.size"); }),
                 QString("Unknown property \"size\""));
    }

    void externalFunctions() {
        const QString withFunction = WriteScript(m_dir, "ext.qsf", [](TQSScript& s) {
            AddExternal(s, "artnamn", 2, "\"Kantarell\" + \"!\"");
            AddExternal(s, "nu", 0, "7");
        });
        const QString withVariable = WriteScript(m_dir, "other.qsf", [](TQSScript& s) {
            s.Root()->Section(1)->CreateChild(Rec("TQSVariable"))->SetName("artnamn");
        });
        TQSHandler handler;
        handler.AddScript(withFunction);
        TQuillCalc& calc = handler.Calc();
        // Debug mode: the declared arguments are read and the debug value answers.
        QCOMPARE(calc.EvaluateString("artnamn(1, \"x\") + inttostr(nu)"), QString("Kantarell!7"));
        QCOMPARE(testsupport::ExceptionText([&] { calc.Evaluate("artnamn(1)"); }),
                 QString("Function-parameter delimiter \",\" expected"));

        handler.SetMode(hmApplication);
        QCOMPARE(testsupport::ExceptionText([&] { calc.Evaluate("nu"); }),
                 QString("External function \"nu\" has no implementation"));
        QStringList calls;
        handler.OnExternalFunction = [&](TQSHandler& sender, const QString& name, TQuillValue& result) {
            if (name == "nu") return;  // leaves the result empty
            const qint32 id = std::get<qint32>(sender.Calc().GetParam(TQuillKind::Integer, qpFirst));
            const QString lang = std::get<QString>(sender.Calc().GetParam(TQuillKind::String, qpLast));
            calls << QStringLiteral("%1 %2 %3").arg(name).arg(id).arg(lang);
            result = QStringLiteral("Cantharellus");
        };
        QCOMPARE(calc.EvaluateString("ArtNamn(3, \"la\")"), QString("Cantharellus"));
        QCOMPARE(calls, QStringList({"artnamn 3 la"}));
        QCOMPARE(testsupport::ExceptionText([&] { calc.Evaluate("1 + nu"); }),
                 QString("Custom function not implemented (\"nu\")"));

        // Another script's variable of the same name is not shadowed by the function.
        TQSScript* other = handler.AddScript(withVariable);
        static_cast<TQSVariable*>(other->FindVariable("artnamn"))->CurrentValue = QStringLiteral("variabel");
        QCOMPARE(Describe(calc.Evaluate("artnamn")), QString("String \"variabel\""));
        QCOMPARE(calls.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestQSHandler)
#include "tst_qshandler.moc"
