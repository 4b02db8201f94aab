// The main window's printing service: the scripts of the script folder, the print menu of a
// group, printing a page range through the print dialog, the values and functions the scripts
// get from the program, and a run that fails.
#include <QAction>
#include <QBuffer>
#include <QMenu>
#include <QPrintDialog>
#include <QPrinter>
#include <QToolButton>
#include <QtTest>

#include "script/ScriptTestSupport.h"
#include "shell/UserTestSupport.h"
#include "shell/unitMain.h"
#include "platform/AtomicFile.h"
#include "script/QSHandler.h"
#include "support/FileAccess.h"
#include "support/TestSupport.h"

using namespace scripttest;

namespace {

// A script made in memory and written as a file of the script folder.
struct ScriptFile {
    TQSScript script;
    explicit ScriptFile(const QString& title, const QString& group, const QString& label = QString()) {
        TQSScriptSettings* settings = script.Root()->GetScriptSettings();
        settings->SetValue("ScriptName", title);
        QStringList params{"Group=" + group};
        if (!label.isEmpty()) params << "Label=" + label;
        settings->SetListValue("Params", params);
        AddFont(&script);
    }
    TQSContainer* body() { return Body(&script); }
    void variable(const QString& name, const QString& initial) { AddVariable(&script, name, initial); }
    void external(const QString& name, int params, const QString& debugValue) {
        auto* f = Add(script.Root()->Section(6), "TQSExternalFunction",
                      {{"ParamCount", QString::number(params)}, {"DebugValue", debugValue}});
        f->SetName(name);
    }
    void datasource(const QString& name, const QString& source) {
        auto* d =
            Add(script.Root()->Section(3), "TQSDataModuleDatasource", {{"Datamodule", "DM"}, {"Datasource", source}});
        d->SetName(name);
    }
    // A text row for each expression.
    void rows(const QStringList& expressions) {
        for (const QString& e : expressions) AddText(body(), e);
    }
    void save(const QString& path) {
        QBuffer bytes;
        bytes.open(QIODevice::WriteOnly);
        script.SaveToStream(bytes);
        WriteFileAtomically(path, bytes.data());
    }
};

struct PrintFixture : UserFixture {
    std::unique_ptr<TformFRMain> window;
    QPointer<QObject> frame = new QObject;  // stands in for a frame that answers the scripts
    // The jobs of the recording targets made for the dialog's printer, in order.
    QList<TQSRecordingTarget*> targets;

    PrintFixture() {
        QDir().mkpath(Folder() + "Data/Res");
        QFile::copy(testsupport::ProgramDir() + "/Data/Res/Districts.dat", Folder() + "Data/Res/Districts.dat");
        QDir().mkpath(Folder() + "Data/Scripts");
        window = std::make_unique<TformFRMain>();
        window->SetDataModule(dm.get());
        window->PrintTargetFactory = [this](const QPrinter&) {
            auto target = std::make_unique<TQSRecordingTarget>(600);
            targets.append(target.get());
            return target;
        };
    }
    ~PrintFixture() { delete frame.data(); }

    QString scriptPath(const QString& name) const { return Folder() + "Data/Scripts/" + name; }
    TQSRecordingTarget& lastTarget() const { return *targets.last(); }
    // The print dialog is answered: a page range (0, 0 for all pages) or a PDF file.
    void answerDialog(int from, int to, const QString& pdf = QString(), bool accept = true) {
        ui.Dialogs([=](QDialog* dialog) {
            auto* print = qobject_cast<QPrintDialog*>(dialog);
            QVERIFY(print);
            QPrinter* printer = print->printer();
            if (from > 0) {
                printer->setPrintRange(QPrinter::PageRange);
                printer->setFromTo(from, to);
            }
            if (!pdf.isEmpty()) {
                printer->setOutputFormat(QPrinter::PdfFormat);
                printer->setOutputFileName(pdf);
            }
            print->done(accept ? QDialog::Accepted : QDialog::Rejected);
        });
    }
    int scriptIndex(const QString& title) const {
        TQSHandler* handler = window->ScriptHandler();
        for (int i = 0; i < handler->ScriptCount(); ++i)
            if (handler->Script(i)->Root()->GetScriptSettings()->Value("ScriptName") == title) return i;
        return -1;
    }
    // The texts drawn, quotes inside them kept.
    QStringList printed() const {
        QStringList texts;
        for (const QString& call : lastTarget().Page.Calls) {
            if (!call.startsWith("text ")) continue;
            const qsizetype from = call.indexOf(u'"'), to = call.lastIndexOf(u'"');
            texts << call.mid(from + 1, to - from - 1);
        }
        return texts;
    }
    QString addSpecies(const QString& swedish, const QString& latin) {
        TExtClientDataSet* t = dm->cdsFungi;
        t->Append();
        t->FieldByName("SwedishName")->SetAsString(swedish);
        t->FieldByName("LatinName")->SetAsString(latin);
        t->Post();
        return t->FieldByName("UKey")->AsString();
    }
};

QStringList MenuCaptions(const QMenu* menu) {
    QStringList captions;
    for (const QAction* a : menu->actions()) captions << a->text();
    return captions;
}

// Five pages, "Sida 1" to "Sida 5".
void WriteFivePages(const QString& path) {
    ScriptFile f("Fem sidor", "FungiMain");
    f.variable("i", "0");
    TQSContainer* loop = AddFor(f.body(), "i", "1", "5");
    AddText(loop, "\"Sida \" + inttostr(i)");
    Add(Add<TQSContainer>(loop, "TQSIf", {{"Expression", "i < 5"}}), "TQSPageBreak");
    f.save(path);
}

}  // namespace

class TestPrinting : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void menuHoldsTheScriptsOfTheGroup() {
        PrintFixture p;
        ScriptFile("Faktablad", "FungiMain").save(p.scriptPath("a.qsf"));
        ScriptFile("Kontaktlista", "ContactMain").save(p.scriptPath("b.qsf"));
        ScriptFile("Artlista", "fungimain").save(p.scriptPath("c.QSF"));
        testsupport::WriteBytes(p.scriptPath("inte ett skript.txt"), "text");
        p.window->LoadScripts();
        QCOMPARE(p.window->ScriptCount(), 3);
        QToolButton button(p.window.get());

        p.window->ShowScriptMenu(&button, "FungiMain");
        QCOMPARE(MenuCaptions(p.window->popupPrint), QStringList({"Faktablad", "Artlista"}));
        p.window->ShowScriptMenu(&button, "ContactMain");
        QCOMPARE(MenuCaptions(p.window->popupPrint), QStringList({"Kontaktlista"}));
        // A group without scripts: an empty menu, which does not open.
        p.window->ShowScriptMenu(&button, "FoodsMain");
        QVERIFY(p.window->popupPrint->actions().isEmpty());
        QVERIFY(!p.window->popupPrint->isVisible());
        QVERIFY(UIServices::MessageLog().isEmpty());
    }

    void damagedScriptFileIsSkippedAndToldOnce() {
        PrintFixture p;
        p.ui.AnswerBoxes(UIServices::TMsgResult::OK);
        ScriptFile("Första", "FungiMain").save(p.scriptPath("1.qsf"));
        testsupport::WriteBytes(p.scriptPath("2.qsf"), "inget skript");
        QByteArray cut = [&] {
            QBuffer b;
            b.open(QIODevice::WriteOnly);
            ScriptFile("Avklippt", "FungiMain").script.SaveToStream(b);
            return b.data();
        }();
        cut.chop(20);
        testsupport::WriteBytes(p.scriptPath("3.qsf"), cut);
        ScriptFile("Fjärde", "FungiMain").save(p.scriptPath("4.qsf"));
        // A script file that may not be read is told too, not passed over.
        ScriptFile("Låst", "FungiMain").save(p.scriptPath("5.qsf"));
        QVERIFY(QFile::setPermissions(p.scriptPath("5.qsf"), QFileDevice::Permissions()));
        {
            testsupport::TFileAccessAsUser asUser;
            p.window->LoadScripts();
        }
        QVERIFY(QFile::setPermissions(p.scriptPath("5.qsf"), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QCOMPARE(p.window->ScriptCount(), 2);
        QCOMPARE(p.scriptIndex("Första"), 0);
        QCOMPARE(p.scriptIndex("Fjärde"), 1);
        QCOMPARE(UIServices::MessageLog().size(), 1);
        const QString told = UIServices::MessageLog().first().Text;
        QVERIFY2(told.contains("2.qsf: Invalid or damaged ZaduzOrurer scriptfile!"), qPrintable(told));
        QVERIFY2(told.contains("3.qsf"), qPrintable(told));
        QVERIFY2(
            told.contains(QStringLiteral("5.qsf: Skriptfilen \"%1\" kunde inte öppnas.").arg(p.scriptPath("5.qsf"))),
            qPrintable(told));
        QVERIFY(!told.contains("1.qsf") && !told.contains("4.qsf"));
    }

    // Pages 2 to 3 of five: two sheets, one new page between them, in a job of the script's title.
    void printsTheChosenPages() {
        PrintFixture p;
        WriteFivePages(p.scriptPath("fem.qsf"));
        p.window->LoadScripts();
        int shownFrom = 0, shownTo = 0, shownMax = 0;
        p.ui.Dialogs([&](QDialog* dialog) {
            auto* print = qobject_cast<QPrintDialog*>(dialog);
            QVERIFY(print);
            shownFrom = print->printer()->fromPage();
            shownTo = print->printer()->toPage();
            shownMax = print->maxPage();
            QVERIFY(print->testOption(QAbstractPrintDialog::PrintToFile));
            print->printer()->setPrintRange(QPrinter::PageRange);
            print->printer()->setFromTo(2, 3);
            print->done(QDialog::Accepted);
        });
        p.window->RunScript(0);
        QCOMPARE(shownFrom, 1);
        QCOMPARE(shownTo, 5);
        QCOMPARE(shownMax, 5);
        QCOMPARE(p.lastTarget().Job, QStringList({"begin Mykotekshallen - Fem sidor", "page", "end"}));
        QCOMPARE(p.printed(), QStringList({"Sida 2", "Sida 3"}));
        QVERIFY(!p.window->ScriptHandler()->Script(0)->ExecData().Compiled());

        // All pages; and a cancelled dialog prints nothing and leaves the script reset.
        p.answerDialog(0, 0);
        p.window->RunScript(0);
        QCOMPARE(p.printed(), QStringList({"Sida 1", "Sida 2", "Sida 3", "Sida 4", "Sida 5"}));
        QCOMPARE(p.lastTarget().Job.count("page"), 4);
        p.answerDialog(0, 0, QString(), false);
        p.targets.clear();
        p.window->RunScript(0);
        QVERIFY(p.targets.isEmpty());
        QVERIFY(!p.window->ScriptHandler()->Script(0)->ExecData().Compiled());
    }

    void printsToAPdfFileWholeOrNotAtAll() {
        PrintFixture p;
        p.window->PrintTargetFactory = nullptr;
        WriteFivePages(p.scriptPath("fem.qsf"));
        ScriptFile broken("Trasig", "FungiMain");
        AddText(broken.body(), "\"Första raden\"");
        Add(broken.body(), "TQSPicture", {{"Width", "20"}, {"Height", "20"}, {"Filename", "\"/saknas/bild.jpg\""}});
        broken.save(p.scriptPath("trasig.qsf"));
        p.window->LoadScripts();
        const QString pdf = p.Folder() + "utskrift.pdf";

        p.answerDialog(0, 0, pdf);
        p.window->RunScript(p.scriptIndex("Fem sidor"));
        QVERIFY(testsupport::ReadBytes(pdf).startsWith("%PDF-"));

        QVERIFY(testsupport::WriteBytes(pdf, "den förra utskriften"));
        const QStringList before = QDir(p.Folder()).entryList(QDir::Files);
        const QString error = testsupport::ExceptionText([&] { p.window->RunScript(p.scriptIndex("Trasig")); });
        QVERIFY2(
            error.startsWith("Fel vid utskrift. Meddelande: \"Picture file \"/saknas/bild.jpg\" could not be loaded"),
            qPrintable(error));
        QCOMPARE(testsupport::ReadBytes(pdf), QByteArray("den förra utskriften"));
        QCOMPARE(QDir(p.Folder()).entryList(QDir::Files), before);
    }

    // A failing run gives the species table its record back and enables its controls again;
    // the job begun is dropped.
    void failingRunRestoresTheTable() {
        PrintFixture p;
        for (const char* name : {"Kantarell", "Karljohan", "Fårticka"}) p.addSpecies(name, name);
        ScriptFile f("Trasig", "FungiMain");
        f.datasource("art", "dsFungi");
        Add(f.body(), "TQSFormula", {{"Expression", "art.controlsdisabled = true"}});
        Add(f.body(), "TQSFormula", {{"Expression", "art.recno = 3"}});
        AddText(f.body(), "art.field(\"SwedishName\")");
        Add(f.body(), "TQSPicture", {{"Width", "20"}, {"Height", "20"}, {"Filename", "\"/saknas/bild.jpg\""}});
        f.save(p.scriptPath("trasig.qsf"));
        p.window->LoadScripts();
        p.dm->cdsFungi->SetRecNo(2);
        p.answerDialog(0, 0);
        const QString error = testsupport::ExceptionText([&] { p.window->RunScript(0); });
        QVERIFY2(error.startsWith("Fel vid utskrift. Meddelande:"), qPrintable(error));
        QCOMPARE(p.printed(), QStringList({"Fårticka"}));
        QCOMPARE(p.lastTarget().Job, QStringList({"begin Mykotekshallen - Trasig", "abort"}));
        QCOMPARE(p.dm->cdsFungi->RecNo(), 2);
        QVERIFY(!p.dm->cdsFungi->ControlsDisabled());
        QVERIFY(!p.window->ScriptHandler()->Script(0)->ExecData().Compiled());
    }

    void factSheetTakesTheNotesAndThePicture_data() {
        QTest::addColumn<bool>("frame");
        QTest::addColumn<QString>("notes");
        QTest::addColumn<bool>("picture");
        QTest::addColumn<QStringList>("printed");
        QTest::newRow("no species frame") << false << "" << false << QStringList({"ingen anteckning", ""});
        // The notes are a typed value: quotes and line breaks print as written.
        QTest::newRow("quotes and line breaks")
            << true << "Han sa \"mycket god\" om den.\nVäxte vid \"stora stenen\"." << false
            << QStringList({"Han sa \"mycket god\" om den.", "Växte vid \"stora stenen\".", ""});
        QTest::newRow("a main picture") << true << "Se bilden" << true << QStringList({"Se bilden", "MP"});
    }
    void factSheetTakesTheNotesAndThePicture() {
        QFETCH(bool, frame);
        QFETCH(QString, notes);
        QFETCH(bool, picture);
        QFETCH(QStringList, printed);
        PrintFixture p;
        const QString key = p.addSpecies("Kantarell", "Cantharellus cibarius");
        if (picture) QVERIFY(testsupport::WriteBytes(GetMainPicFile(key), "jpeg"));
        ScriptFile f("Faktablad", "FungiMain", "FungiFactSheet");
        f.variable("othernotes", "\"ingen anteckning\"");
        f.variable("mainpicfilename", "\"fel\"");
        f.rows({"othernotes", "strcopy(mainpicfilename, length(mainpicfilename) - 23, 2)"});
        f.save(p.scriptPath("fakta.qsf"));
        p.window->LoadScripts();
        if (frame) p.window->SetScriptAnswer("othernotes", p.frame, [notes] { return QVariant(notes); });
        p.answerDialog(0, 0);
        p.window->RunScript(0);
        QCOMPARE(p.printed(), printed);

        // The values held for that run only: the file's initial values come back.
        delete p.frame.data();
        p.window->RunScript(0);
        QCOMPARE(p.printed().first(), QString("ingen anteckning"));
    }

    // A recipe sheet gets its picture's file only where the file is there: a lost picture
    // leaves the sheet without it instead of failing the print.
    void recipeSheetTakesItsPictureWhereItIs_data() {
        QTest::addColumn<bool>("hasPic");
        QTest::addColumn<bool>("file");
        QTest::addColumn<bool>("expected");
        QTest::newRow("no picture") << false << false << false;
        QTest::newRow("picture file gone") << true << false << false;
        QTest::newRow("picture there") << true << true << true;
    }
    void recipeSheetTakesItsPictureWhereItIs() {
        QFETCH(bool, hasPic);
        QFETCH(bool, file);
        QFETCH(bool, expected);
        PrintFixture p;
        TExtClientDataSet* types = p.dm->cdsFoodTypes;
        types->Append();
        types->FieldByName("CategoryName")->SetAsString("Soppor");
        types->Post();
        TExtClientDataSet* foods = p.dm->cdsFoods;
        foods->Append();
        foods->FieldByName("MasterUKey")->SetAsString(types->FieldByName("UKey")->AsString());
        foods->FieldByName("FoodName")->SetAsString("Kantarellsoppa");
        foods->FieldByName("HasPic")->SetAsBoolean(hasPic);
        foods->Post();
        const QString picture = GetFoodPicFile(foods->FieldByName("UKey")->AsString());
        if (file) QVERIFY(testsupport::WriteBytes(picture, "jpeg"));
        ScriptFile f("Recept", "FoodsMain", "FoodRecipe");
        f.variable("foodpicfilename", "\"ingen\"");
        f.rows({"foodpicfilename"});
        f.save(p.scriptPath("recept.qsf"));
        p.window->LoadScripts();
        p.answerDialog(0, 0);
        p.window->RunScript(0);
        QCOMPARE(p.printed(), QStringList({expected ? picture : QString()}));
    }

    void picOverviewTakesThePictureFolder() {
        PrintFixture p;
        ScriptFile f("Bilder", "FungiMain", "FungiPicOverview");
        f.variable("picfolder", "\"\"");
        f.rows({"picfolder"});
        f.save(p.scriptPath("bilder.qsf"));
        p.window->LoadScripts();
        p.answerDialog(0, 0);
        p.window->RunScript(0);
        QCOMPARE(p.printed(), QStringList({GetFungiPicFolder()}));
    }

    void externalFunctionsAnswer() {
        PrintFixture p;
        p.addSpecies("", "Boletus edulis");
        TExtClientDataSet* contacts = p.dm->cdsContacts;
        contacts->Append();
        contacts->FieldByName("UserName")->SetAsString("Åsa Ek");
        contacts->Post();
        const QString contactKey = contacts->FieldByName("UKey")->AsString();
        ScriptFile f("Frågor", "ContactMain");
        f.external("contactorname", 1, "\"namn\"");
        f.external("swedishorlatin", 0, "\"art\"");
        f.external("foodpicfolder", 0, "\"mapp\"");
        f.external("showingallcontacts", 0, "true");
        f.external("matingredienser", 0, "\"\"");
        f.rows({"contactorname(\" UKEY=" + contactKey + "\")", "contactorname(\"Fri text\")", "swedishorlatin",
                "foodpicfolder", "inttobool(booltoint(showingallcontacts))", "matingredienser"});
        f.save(p.scriptPath("fragor.qsf"));
        p.window->LoadScripts();
        p.window->SetScriptAnswer("showingallcontacts", p.frame, [] { return QVariant(true); });
        p.window->SetScriptAnswer("matingredienser", p.frame, [] { return QVariant("2 dl grädde\n1 lök"); });
        p.answerDialog(0, 0);
        p.window->RunScript(0);
        QCOMPARE(
            p.printed(),
            QStringList({"Åsa Ek", "Fri text", "Boletus edulis", GetFoodPicFolder(), "true", "2 dl grädde", "1 lök"}));

        // Without the frame that answers, the function has no value and the run says so.
        delete p.frame.data();
        const QString error = testsupport::ExceptionText([&] { p.window->RunScript(0); });
        QVERIFY2(error.contains("Custom function not implemented (\"showingallcontacts\")"), qPrintable(error));
    }
};

QTEST_MAIN(TestPrinting)
#include "tst_printing.moc"
