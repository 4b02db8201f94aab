#include <QtTest>
#include "support/TestSupport.h"

#include "script/QSHandler.h"
#include "script/QSObjects.h"
#include "script/QSScript.h"

namespace {

const TQSRegisteredObject& Rec(const char* className) { return *FindRegisteredClass(QLatin1String(className)); }

QStringList ClassesOf(const TQSContainer& container) {
    QStringList names;
    for (const auto& child : container.Children()) names << child->ClassName();
    return names;
}

// Layouts with the given spans in a fresh script's layouts section.
TQSPagelayouts* Layouts(TQSScript& script, const QStringList& spans) {
    TQSPagelayouts* section = script.Root()->Pagelayouts();
    while (section->ChildCount() > 0) section->RemoveChild(section->Child(0));
    for (const QString& span : spans) {
        TQSScriptObject* layout = section->CreateChild(Rec("TQSPagelayout"), section->Children().back().get());
        layout->SetValue("PageSpan", span);
    }
    return section;
}

}  // namespace

class TestQSObjects : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void registryAfterStartUp() {
        QStringList entries;
        for (const TQSRegisteredObject& r : TQSRegisteredObjects())
            entries << QStringLiteral("%1 %2 %3 %4").arg(r.ID).arg(r.ClassName, r.ParentClassName).arg(r.Flags);
        QCOMPARE(entries,
                 QStringList({
                     "16 TQSDummy TQSContainer 4",
                     "14 TQSScriptSettings TQSBaseContainer 10",
                     "3 TQSFonts TQSBaseContainer 10",
                     "4 TQSFont TQSFonts 17",
                     "1 TQSVariables TQSBaseContainer 10",
                     "2 TQSVariable TQSVariables 17",
                     "5 TQSDatasources TQSBaseContainer 10",
                     "6 TQSDataModuleDatasource TQSDatasources 17",
                     "29 TQSCDSDatasource TQSDatasources 17",
                     "7 TQSPagelayouts TQSBaseContainer 10",
                     "8 TQSPagelayout TQSPagelayouts 17",
                     "17 TQSPageHeader TQSPagelayout 10",
                     "18 TQSPageFoot TQSPagelayout 10",
                     "9 TQSSubroutines TQSBaseContainer 10",
                     "10 TQSSubroutine TQSSubroutines 17",
                     "31 TQSExternalFunctions TQSBaseContainer 10",
                     "32 TQSExternalFunction TQSExternalFunctions 17",
                     "15 TQSBaseScriptContainer TQSBaseContainer 10",
                     "23 TQSFormula TQSFreeContainer 0",
                     "11 TQSIf TQSFreeContainer 0",
                     "12 TQSCase TQSFreeContainer 0",
                     "13 TQSCaseField TQSCase 1",
                     "21 TQSForLoop TQSFreeContainer 0",
                     "30 TQSPageBreak TQSFreeContainer 0",
                     "22 TQSText TQSFreeContainer 0",
                     "24 TQSRectangle TQSFreeContainer 0",
                     "25 TQSLine TQSFreeContainer 0",
                     "26 TQSPicture TQSFreeContainer 0",
                     "28 TQSColorBar TQSFreeContainer 0",
                     "27 TQSComment TQSFreeContainer 0",
                 }));
        QVERIFY(!FindRegisteredID(19));
        QVERIFY(!FindRegisteredID(20));
        QCOMPARE(FindRegisteredID(26)->DisplayName, QString("Picture"));
        QVERIFY(!FindRegisteredClass("tqsfont"));
    }

    void duplicateRegistrationsAreRefused_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("expected");
        QTest::newRow("id") << 16 << "TQSOther"
                            << "ERROR! Duplicate object IDs when registering script objects (ID: 16)";
        QTest::newRow("class") << 40 << "TQSFont"
                               << "Objectclass \"TQSFont\" already registered";
    }
    void duplicateRegistrationsAreRefused() {
        QFETCH(int, id);
        QFETCH(QString, className);
        QFETCH(QString, expected);
        TQSRegisteredObject record = Rec("TQSComment");
        record.ID = id;
        record.ClassName = className;
        QCOMPARE(testsupport::ExceptionText([&] { RegisterScriptObjectClass(record); }), expected);
        QCOMPARE(int(TQSRegisteredObjects().size()), 30);
        QCOMPARE(FindRegisteredID(16)->ClassName, QString("TQSDummy"));
    }

    void newScriptHasItsSections() {
        TQSScript script;
        QCOMPARE(ClassesOf(*script.Root()),
                 QStringList({"TQSScriptSettings", "TQSVariables", "TQSFonts", "TQSDatasources", "TQSPagelayouts",
                              "TQSSubroutines", "TQSExternalFunctions", "TQSBaseScriptContainer"}));
        QCOMPARE(script.Root()->GetScriptSettings()->DisplayText(), QString("Script settings, script \"New script\""));
        // The empty sections hold a placeholder that counts as no child.
        QCOMPARE(ClassesOf(*script.Root()->Section(1)), QStringList({"TQSDummy"}));
        QCOMPARE(script.Root()->Section(1)->ChildCount(), 0);
        QCOMPARE(script.Root()->Section(1)->DisplayText(), QString("Variables (0 items)"));
        // One default layout with its header and foot serves every page.
        TQSPagelayouts* layouts = script.Root()->Pagelayouts();
        QCOMPARE(layouts->DisplayText(), QString("Pagelayouts (1 items)"));
        auto* layout = static_cast<TQSPagelayout*>(layouts->Child(0));
        QCOMPARE(ClassesOf(*layout), QStringList({"TQSPageHeader", "TQSPageFoot"}));
        QCOMPARE(layout->DisplayText(), QString("Layout for all pages"));
        QCOMPARE(layouts->FindLayoutForPage(7), layout);
        QCOMPARE(QStringList({layout->Value("TopMargin"), layout->Value("BottomMargin"), layout->Value("LeftMargin"),
                              layout->Value("RightMargin"), layout->Value("HeaderSize"), layout->Value("FootSize")}),
                 QStringList({"15", "10", "20", "20", "10", "15"}));
        QCOMPARE(testsupport::ExceptionText([] { TQSBaseContainer::Create(nullptr); }),
                 QString("Error when creating Basecontainer. Script = nil!"));
    }

    void uniqueClassesReplaceInPlace() {
        TQSScript script;
        auto* layout = static_cast<TQSContainer*>(script.Root()->Pagelayouts()->Child(0));
        TQSScriptObject* oldHeader = layout->Child(0);
        TQSScriptObject* header = layout->CreateChild(Rec("TQSPageHeader"), layout->Child(1));
        QVERIFY(header != oldHeader);
        QCOMPARE(ClassesOf(*layout), QStringList({"TQSPageHeader", "TQSPageFoot"}));
        QCOMPARE(layout->Child(0), header);
        // Statements stand only where statements belong.
        QCOMPARE(testsupport::ExceptionText([&] { layout->CreateChild(Rec("TQSText")); }),
                 QString("Invalid class (TQSText) found in scriptfile!"));
        TQSContainer* body = script.Root()->ScriptObjects();
        TQSScriptObject* text = body->CreateChild(Rec("TQSText"));
        TQSScriptObject* line = body->CreateChild(Rec("TQSLine"));
        QCOMPARE(body->ChildCount(), 2);
        QCOMPARE(body->NextChild(text), line);
        QCOMPARE(body->PreviousChild(text), nullptr);
        body->RemoveChild(text);
        body->RemoveChild(line);
        QCOMPARE(ClassesOf(*body), QStringList({"TQSDummy"}));
    }

    void findingAndInserting() {
        TQSHandler handler;
        QList<QPair<int, TQSScriptObject*>> events;
        handler.OnEvent = [&](int type, TQSScript*, TQSScriptObject* object, const QVariant&) {
            events.append({type, object});
        };
        TQSScript script(&handler);
        TQSContainer* body = script.Root()->ScriptObjects();
        auto* rectangle = static_cast<TQSContainer*>(body->CreateChild(Rec("TQSRectangle")));
        TQSScriptObject* inner = rectangle->CreateChild(Rec("TQSLine"));
        TQSScriptObject* outer = body->CreateChild(Rec("TQSLine"), rectangle);
        // The container itself, then its own children, then deeper only when asked.
        QCOMPARE(body->FindFirstObject("TQSBaseScriptContainer", false), body);
        QCOMPARE(body->FindFirstObject("TQSLine", false), outer);
        QCOMPARE(rectangle->FindFirstObject("TQSLine", false), inner);
        QCOMPARE(script.Root()->FindFirstObject("TQSLine", false), nullptr);
        // A direct child wins over one further down.
        QCOMPARE(script.Root()->FindFirstObject("TQSLine", true), outer);
        QCOMPARE(script.Root()->FindFirstObject("TQSRectangle", true), rectangle);
        QCOMPARE(inner->FindFirstObject("TQSText", true), nullptr);
        // Inserting after a child places the new one behind it and announces it with its subtree.
        events.clear();
        auto* anIf = static_cast<TQSContainer*>(body->InsertChild(Rec("TQSIf"), rectangle));
        QCOMPARE(body->NextChild(rectangle), anIf);
        QCOMPARE(body->NextChild(anIf), outer);
        QCOMPARE(events.size(), 2);  // the IF and its placeholder
        QCOMPARE(events[0], qMakePair(int(qeAnnounce), static_cast<TQSScriptObject*>(anIf)));
        QCOMPARE(events[1].second->ClassName(), QString("TQSDummy"));
        body->InsertChild(Rec("TQSComment"), outer);
        QCOMPARE(body->Child(body->ChildCount() - 1)->ClassName(), QString("TQSComment"));
        events.clear();
        body->RemoveChild(rectangle);
        // Children are freed before their container.
        QCOMPARE(events.size(), 2);
        QCOMPARE(events[0], qMakePair(int(qeObjectFreed), inner));
        QCOMPARE(events[1], qMakePair(int(qeObjectFreed), static_cast<TQSScriptObject*>(rectangle)));
    }

    void namesAreUniqueInTheScript() {
        TQSScript script;
        TQSContainer* variables = script.Root()->Section(1);
        TQSContainer* fonts = script.Root()->Section(2);
        TQSScriptObject* v1 = variables->CreateChild(Rec("TQSVariable"));
        TQSScriptObject* v2 = variables->CreateChild(Rec("TQSVariable"), v1);
        QCOMPARE(v1->Name(), QString("variable1"));
        QCOMPARE(v2->Name(), QString("variable2"));
        v1->SetName("Total");
        QCOMPARE(variables->CreateChild(Rec("TQSVariable"), v2)->Name(), QString("variable1"));
        v1->SetName("TOTAL");  // its own name in another case
        TQSScriptObject* font = fonts->CreateChild(Rec("TQSFont"));
        QCOMPARE(font->Name(), QString("font1"));
        QCOMPARE(testsupport::ExceptionText([&] { font->SetName("total"); }),
                 QString("There is already an object (variable) by the name \"total\""));
        QCOMPARE(testsupport::ExceptionText([&] { v2->SetName("Font1"); }),
                 QString("There is already an object (font) by the name \"Font1\""));
        QCOMPARE(font->Name(), QString("font1"));
        QCOMPARE(script.FindNamedObject("FONT1"), font);
        QCOMPARE(static_cast<TQSDataContainer*>(variables)->FindByName("total"), v1);
        QCOMPARE(script.FindVariable("Total"), v1);
        variables->RemoveChild(v1);
        QCOMPARE(script.FindNamedObject("total"), nullptr);
    }

    void displayTexts() {
        TQSScript script;
        TQSContainer* body = script.Root()->ScriptObjects();
        auto make = [&](const char* cls, const QList<QPair<QString, QString>>& values) {
            TQSScriptObject* o = body->CreateChild(Rec(cls));
            for (const auto& [k, v] : values) o->SetValue(k, v);
            return o->DisplayText();
        };
        QCOMPARE(make("TQSText", {{"FontName", "\"rubrik\""}, {"Text", "\"Kantarell\""}}),
                 QString("Text with font \"rubrik\": \"Kantarell\""));
        QCOMPARE(make("TQSIf", {}), QString("If <expression> then"));
        QCOMPARE(make("TQSForLoop", {{"Variable", "i"}, {"StartValue", "1"}, {"EndValue", "3"}, {"Descending", "1"}}),
                 QString("For i = 1 downto 3"));
        QCOMPARE(make("TQSFormula", {}), QString("Empty formula"));
        QCOMPARE(make("TQSPageBreak", {}), QString("New page"));
        QCOMPARE(make("TQSComment", {{"Text", "Rubrik"}}), QString("******* Rubrik *******"));
        QCOMPARE(make("TQSRectangle", {}), QString("Rectangle, x: 0, y: 0, width: 0, height: 0"));
        QCOMPARE(make("TQSLine", {}), QString("Line, from: 0, 0, to: 0, 0, width: 0.5"));
        TQSScriptObject* font = script.Root()->Section(2)->CreateChild(Rec("TQSFont"));
        font->SetValue("FontItalic", "1");
        font->SetValue("FontStrikeout", "1");
        QCOMPARE(font->DisplayText(), QString("font1 = Liberation Sans, size: 10, attr:  Italic Strikeout"));
        TQSScriptObject* function = script.Root()->Section(6)->CreateChild(Rec("TQSExternalFunction"));
        function->SetValue("ParamCount", "2");
        QCOMPARE(function->DisplayText(), QString("function1 (2 parameters)"));
        QCOMPARE(script.Root()->Section(6)->DisplayText(), QString("External functions (1 items)"));
    }

    void paperSettings() {
        TQSScript script;
        TQSScriptSettings* settings = script.Root()->GetScriptSettings();
        QCOMPARE(settings->PaperSize(), 1);
        QCOMPARE(settings->PrintSizeX(), 210.0);
        QCOMPARE(settings->PrintSizeY(), 297.0);
        settings->SetOrientation(1);
        settings->SetPaperSize(0);
        QCOMPARE(settings->PrintSizeX(), 420.0);
        QCOMPARE(settings->PrintSizeY(), 297.0);
        settings->SetPaperSize(3);
        QCOMPARE(settings->PrintSizeX(), 420.0);
        settings->SetOrientation(0);
        QCOMPARE(settings->PrintSizeX(), 297.0);
        QCOMPARE(settings->PrintSizeY(), 420.0);
        settings->SetPaperSize(2);
        QCOMPARE(settings->PrintSizeX(), 148.5);
    }

    void layoutForPage_data() {
        QTest::addColumn<QStringList>("spans");
        QTest::addColumn<QString>("expected");  // layout index per page 1..6
        QTest::newRow("first, then all") << QStringList{"1", "*"} << "0 1 1 1 1 1";
        QTest::newRow("fallback to last") << QStringList{"1", "2-3"} << "0 1 1 1 1 1";
        QTest::newRow("lone star item") << QStringList{"2", "1,*"} << "1 0 1 1 1 1";
        QTest::newRow("blanks") << QStringList{"1, 3 - 5", "6"} << "0 1 0 0 0 1";
        QTest::newRow("even pages") << QStringList{"2*2", "1*2"} << "1 0 1 0 1 0";
        QTest::newRow("from ten every fifth") << QStringList{"10*5", "*"} << "1 1 1 1 1 1";
    }
    void layoutForPage() {
        QFETCH(QStringList, spans);
        QFETCH(QString, expected);
        TQSScript script;
        TQSPagelayouts* section = Layouts(script, spans);
        QStringList chosen;
        for (int page = 1; page <= 6; ++page) {
            TQSPagelayout* layout = section->FindLayoutForPage(page);
            for (int i = 0; i < section->ChildCount(); ++i)
                if (section->Child(i) == layout) chosen << QString::number(i);
        }
        QCOMPARE(chosen.join(u' '), expected);
    }

    void stepSpans() {
        TQSScript script;
        TQSPagelayouts* section = Layouts(script, {"10*5"});
        auto* layout = static_cast<TQSPagelayout*>(section->Child(0));
        QList<int> pages;
        for (int page = 1; page <= 21; ++page)
            if (layout->CoversPage(page)) pages << page;
        QCOMPARE(pages, QList<int>({10, 15, 20}));
        QCOMPARE(layout->DisplayText(), QString("Layout for pages: 10*5"));
    }

    void faultySpans_data() {
        QTest::addColumn<QString>("span");
        QTest::newRow("step zero") << "3*0";
        QTest::newRow("not a number") << "x";
        QTest::newRow("open range") << "2-";
        QTest::newRow("empty item") << "1,,3";
    }
    void faultySpans() {
        QFETCH(QString, span);
        TQSScript script;
        TQSPagelayouts* section = Layouts(script, {span, "*"});
        try {
            section->FindLayoutForPage(5);
            QFAIL("no error");
        } catch (const QSException& e) {
            QCOMPARE(e.Message(), QString("Error in Pagelayout. Invalid page span"));
            QCOMPARE(e.Object(), section->Child(0));
            QCOMPARE(e.PropertyPath(), QString("TQSPagelayout.PageSpan"));
        }
    }

    void defaultBandsOfA4() {
        TQSScript script;
        auto* layout = static_cast<TQSPagelayout*>(script.Root()->Pagelayouts()->Child(0));
        TQuillCalc calc;
        layout->CompileSizes(calc);
        QCOMPARE(layout->HeaderBand(210, 297), (TQSBand{15, 10, 20, 170}));
        QCOMPARE(layout->BodyBand(210, 297), (TQSBand{25, 247, 20, 170}));
        QCOMPARE(layout->FootBand(210, 297), (TQSBand{272, 15, 20, 170}));
        layout->SetBands(210, 297);
        QCOMPARE(layout->Foot()->BindData().Y, 272.0);
        QCOMPARE(layout->Header()->BindData().ClientWidth(), 170.0);
        script.Root()->SetPageAreas(*layout);
        QCOMPARE(script.Root()->BindData().Height, 297.0);
        QCOMPARE(script.Root()->ScriptObjects()->BindData().Y, 25.0);
        QCOMPARE(script.Root()->ScriptObjects()->BindData().Height, 247.0);
    }

    // The sizes are expressions, evaluated in their order; an error names its position.
    void layoutSizesAreExpressions() {
        TQSScript script;
        auto* layout = static_cast<TQSPagelayout*>(script.Root()->Pagelayouts()->Child(0));
        layout->SetValue("TopMargin", "10 + 2.5");
        layout->SetValue("FootSize", "top");
        QStringList asked;
        TQuillCalc calc;
        calc.OnVariable = [&](TQuillCalc&, const QString& name, TQuillValue& result) {
            asked << name;
            result = qint32(20);
        };
        layout->CompileSizes(calc);
        QCOMPARE(layout->TopMargin, 12.5);
        QCOMPARE(layout->FootSize, 20.0);
        QCOMPARE(asked, QStringList({"top"}));
        layout->SetValue("HeaderSize", "1 +");
        try {
            layout->CompileSizes(calc);
            QFAIL("no error");
        } catch (const EExpressionError& e) {
            QCOMPARE(e.Message(), QString("Operand expected"));
            QCOMPARE(e.Position(), 4);
        }
    }

    void areaGeometry() {
        TQSBindData outer;
        outer.SetArea(20, 25, 170, 247);
        outer.SetMargins(5);
        int overflows = 0;
        TQSBindData inner;
        inner.OnOverflow = [&] { ++overflows; };
        inner.SetAreaWithin(outer, 10, 10, 0, 500);
        QCOMPARE(inner.X, 35.0);
        QCOMPARE(inner.Y, 40.0);
        QCOMPARE(inner.Width, 160.0);
        QCOMPARE(inner.Height, 237.0);
        inner.SetAreaWithin(outer, 0, 0, 50, -1);
        QCOMPARE(inner.Width, 50.0);
        QCOMPARE(inner.Height, 237.0);
        inner.SetCurrentX(20);
        inner.SetCurrentY(237);
        QCOMPARE(overflows, 0);
        QCOMPARE(inner.RestWidth(10), 20.0);
        QCOMPARE(inner.RestHeight(0), 0.0);
        inner.SetCurrentY(237.5);
        inner.SetCurrentX(-1);
        QCOMPARE(overflows, 2);
        inner.SetArea(0, 0, 10, 10);
        QCOMPARE(inner.CurrentX(), 0.0);
        QCOMPARE(inner.CurrentY(), 0.0);
    }

    void newFontsTakeTheDefaultFont() {
        TQSHandler handler;
        handler.DefaultFont = TQSFontSpec{"DejaVu Serif", 12, true, false, false, false};
        TQSScript script(&handler);
        TQSScriptObject* font = script.Root()->Section(2)->CreateChild(Rec("TQSFont"));
        QCOMPARE(font->DisplayText(), QString("font1 = DejaVu Serif, size: 12, attr:  Bold"));
    }

    void noLayoutGivesNone() {
        TQSScript script;
        TQSPagelayouts* section = Layouts(script, {});
        QCOMPARE(section->FindLayoutForPage(1), nullptr);
    }
};

QTEST_GUILESS_MAIN(TestQSObjects)
#include "tst_qsobjects.moc"
