#include <QtTest>
#include "support/TestSupport.h"

#include <QBuffer>
#include <QImage>
#include <QProcess>

#include "platform/Clock.h"
#include "script/QSAnsi.h"
#include "script/QSObjects.h"
#include "script/QSScript.h"

namespace {

const QByteArray kHeader = "***** ZADUZORURER scriptfile, DO NOT ALTER MANUALLY! *****";
const QString kDamaged = QStringLiteral("Invalid or damaged ZaduzOrurer scriptfile!");
const QString kNoMarker = QStringLiteral("Error in StreamLoadFile. \"BOFFILE\" / \"EOFFILE\" not found!");

QByteArray Le32(qint64 v) {
    QByteArray b(4, 0);
    for (int i = 0; i < 4; ++i) b[i] = char((quint64(v) >> (8 * i)) & 0xFF);
    return b;
}
QByteArray Str(const QByteArray& s) { return Le32(s.size()) + s; }
// A file block; a given size replaces the data's own in the record.
QByteArray Block(const QByteArray& data, std::optional<qint64> size = std::nullopt) {
    return Str("BOFFILE") + Le32(size.value_or(data.size())) + Le32(0) + data + Str("EOFFILE");
}
QByteArray Text(const QStringList& lines) { return StringToAnsi(lines.join("\r\n") + "\r\n"); }
QByteArray File(const QByteArray& text, const QByteArray& pictures = {}) {
    return Str(kHeader) + Block(text) + Block(pictures);
}
// A BMP file of the given total size as its header states it.
QByteArray Bmp(int size) {
    QByteArray b = "BM" + Le32(size) + QByteArray(size - 6, '\x11');
    return b;
}

void Load(TQSScript& script, const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    script.LoadFromStream(buffer);
}

QByteArray Save(const TQSScript& script) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    script.SaveToStream(buffer);
    return buffer.data();
}

const TQSRegisteredObject& Rec(const char* className) { return *FindRegisteredClass(QLatin1String(className)); }

// The lines of a valid script around the statements given.
QStringList Script(const QStringList& statements, const QStringList& variables = {}) {
    QStringList lines{"[TQSScriptSettings]", "ScriptName=Test", "[End]", "[TQSVariables]"};
    lines << variables << "[End]"
          << "[TQSBaseScriptContainer]" << statements << "[End]";
    return lines;
}

QString Error(const QByteArray& bytes) {
    TQSScript script;
    return testsupport::ExceptionText([&] { Load(script, bytes); });
}

}  // namespace

class TestQSScriptFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { Clock::SetFixedNow(QDateTime(QDate(2024, 5, 17), QTime(10, 30))); }
    void cleanupTestCase() { Clock::SetFixedNow(std::nullopt); }

    // Every class written, read and written again gives the same bytes.
    void roundTripKeepsEveryClass() {
        TQSScript script;
        TQSBaseContainer* root = script.Root();
        TQSScriptSettings* settings = root->GetScriptSettings();
        settings->SetValue("ScriptName", "Faktablad å");
        settings->SetOrientation(1);
        settings->SetPaperSize(2);
        settings->SetListValue("Params", {"Group=Fakta", "Label=Art"});
        TQSScriptObject* variable = root->Section(1)->CreateChild(Rec("TQSVariable"));
        variable->SetValue("InitialValue", "\"Kantarell\"");
        TQSScriptObject* font = root->Section(2)->CreateChild(Rec("TQSFont"));
        font->SetValue("FontBold", "1");
        root->Section(3)
            ->CreateChild(Rec("TQSDataModuleDatasource"))
            ->SetListValue("TestQuery", {"select *", "from x"});
        root->Section(3)->CreateChild(Rec("TQSCDSDatasource"))->SetValue("DebugFilename", "test.cds");
        TQSContainer* layouts = root->Section(4);
        layouts->CreateChild(Rec("TQSPagelayout"), layouts->Child(0))->SetValue("PageSpan", "2*2");
        static_cast<TQSContainer*>(root->Section(5)->CreateChild(Rec("TQSSubroutine")))->CreateChild(Rec("TQSComment"));
        root->Section(6)->CreateChild(Rec("TQSExternalFunction"))->SetValue("ParamCount", "2");
        TQSContainer* body = root->ScriptObjects();
        TQSScriptObject* text = body->CreateChild(Rec("TQSText"));
        text->SetValue("Text", "\"rad ett\r\nrad två\"");
        auto* rectangle = static_cast<TQSContainer*>(body->CreateChild(Rec("TQSRectangle"), text));
        rectangle->CreateChild(Rec("TQSLine"));
        auto* picture = static_cast<TQSPicture*>(rectangle->CreateChild(Rec("TQSPicture")));
        picture->Bitmap = Bmp(40);
        rectangle->CreateChild(Rec("TQSPicture"));  // no embedded picture
        auto* anIf = static_cast<TQSContainer*>(body->CreateChild(Rec("TQSIf"), rectangle));
        anIf->CreateChild(Rec("TQSFormula"))->SetValue("Expression", "variable1 = \"x\"");
        auto* aCase = static_cast<TQSContainer*>(body->CreateChild(Rec("TQSCase"), anIf));
        aCase->CreateChild(Rec("TQSCaseField"))->SetValue("ElseCase", "1");
        static_cast<TQSContainer*>(body->CreateChild(Rec("TQSForLoop"), aCase))->CreateChild(Rec("TQSPageBreak"));
        body->CreateChild(Rec("TQSColorBar"), body->Children().back().get());

        const QByteArray first = Save(script);
        TQSScript again;
        Load(again, first);
        QCOMPARE(Save(again), first);

        const QString textPart = AnsiToString(first);
        QVERIFY(textPart.contains("Text=\"rad ett|#13#10|rad två\"\r\n"));
        QVERIFY(textPart.contains("Params000=Group=Fakta\r\nParams001=Label=Art\r\n"));
        QVERIFY(textPart.contains("PrintSizeX=210\r\nPrintSizeY=148.5\r\n"));
        auto* readBody = again.Root()->ScriptObjects();
        QCOMPARE(readBody->Child(0)->Value("Text"), QString("\"rad ett\r\nrad två\""));
        auto* readRectangle = static_cast<TQSContainer*>(readBody->Child(1));
        QCOMPARE(static_cast<TQSPicture*>(readRectangle->Child(1))->Bitmap, Bmp(40));
        QVERIFY(static_cast<TQSPicture*>(readRectangle->Child(2))->Bitmap.isEmpty());
        QCOMPARE(again.Root()->GetScriptSettings()->PrintSizeY(), 148.5);
        QCOMPARE(again.FindNamedObject("variable1")->Value("InitialValue"), QString("\"Kantarell\""));
        QCOMPARE(again.Root()->Pagelayouts()->ChildCount(), 2);
    }

    void readsValues() {
        QLocale::setDefault(QLocale(QLocale::Swedish, QLocale::Sweden));
        TQSScript script;
        Load(script,
             File(Text(
                 Script({"[TQSText]", "Text=a|#13#10|b", "[End]", "[TQSText]", "Alignment=2", "PositionX=5.5", "[End]"},
                        {"[TQSVariable]", "Name=sum", "[End]"}) +
                 QStringList{"[TQSFonts]", "[End]"} +
                 QStringList{"[TQSScriptSettings]", "Params000=a=1", "Params001=b=2", "Params003=d=4", "[End]"})));
        QLocale::setDefault(QLocale::c());
        TQSContainer* body = script.Root()->ScriptObjects();
        QCOMPARE(body->Child(0)->Value("Text"), QString("a\r\nb"));
        // A key missing from a block keeps its default, whatever later blocks hold.
        QCOMPARE(body->Child(0)->Value("Alignment"), QString("0"));
        QCOMPARE(body->Child(1)->Value("Alignment"), QString("2"));
        QCOMPARE(body->Child(1)->Value("PositionX"), QString("5.5"));
        // The second settings block replaced the first; the list stops at the gap.
        QCOMPARE(script.Root()->GetScriptSettings()->ListValue("Params"), QStringList({"a=1", "b=2"}));
        QCOMPARE(script.Root()->GetScriptSettings()->Value("ScriptName"), QString("New script"));
        TQSContainer* fonts = script.Root()->Section(2);
        QCOMPARE(fonts->Children().size(), size_t(1));
        QCOMPARE(fonts->Children().front()->ClassName(), QString("TQSDummy"));
        QCOMPARE(script.FindVariable("SUM")->Name(), QString("sum"));
        // A file's layouts section without layouts stays without.
        Load(script, File(Text({"[TQSPagelayouts]", "[End]"})));
        QCOMPARE(script.Root()->Pagelayouts()->ChildCount(), 0);
        // Lines may end in LF alone; a written placeholder beside real children is dropped.
        Load(script, File("[TQSVariables]\n[TQSDummy]\n[End]\n[TQSVariable]\nName=x\n[End]\n[End]\n"));
        QCOMPARE(script.Root()->Section(1)->Children().size(), size_t(1));
        QCOMPARE(script.Root()->Section(1)->Child(0)->Name(), QString("x"));
    }

    // Orientation is applied first, then the paper size; stored sizes count for a custom paper only.
    void readsPaperSettings_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("height");
        QTest::newRow("A4 ignores stored sizes")
            << QStringList{"PaperSize=1", "PrintSizeX=5", "PrintSizeY=6"} << 210.0 << 297.0;
        QTest::newRow("A3 landscape") << QStringList{"PaperSize=0", "Orientation=1"} << 420.0 << 297.0;
        QTest::newRow("custom keeps sizes")
            << QStringList{"PaperSize=3", "Orientation=1", "PrintSizeX=100.5", "PrintSizeY=50"} << 100.5 << 50.0;
        QTest::newRow("defaults") << QStringList{} << 210.0 << 297.0;
    }
    void readsPaperSettings() {
        QFETCH(QStringList, lines);
        QFETCH(double, width);
        QFETCH(double, height);
        TQSScript script;
        Load(script, File(Text(QStringList{"[TQSScriptSettings]"} + lines + QStringList{"[End]"})));
        QCOMPARE(script.Root()->GetScriptSettings()->PrintSizeX(), width);
        QCOMPARE(script.Root()->GetScriptSettings()->PrintSizeY(), height);
    }

    void refusesMalformedFiles_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        const QByteArray good = Text(Script({"[TQSComment]", "Text=x", "[End]"}));
        QByteArray header = kHeader;
        header[7] = 'X';
        QTest::newRow("header changed") << Str(header) + Block(good) + Block({}) << kDamaged;
        QTest::newRow("empty file") << QByteArray() << kDamaged;
        QTest::newRow("header too long") << Le32(70000) + QByteArray(70000, '*') + Block(good) + Block({}) << kDamaged;
        QTest::newRow("truncated") << File(good).left(80) << kNoMarker;
        QTest::newRow("no picture block") << Str(kHeader) + Block(good) << kNoMarker;
        QTest::newRow("negative length") << Str(kHeader) + Block(good, -5) + Block({}) << kNoMarker;
        QTest::newRow("oversized length") << Str(kHeader) + Block(good, 1 << 30) + Block({}) << kNoMarker;
        QTest::newRow("marker string too long") << Str(kHeader) + Le32(65537) + QByteArray(65537, 'B') << kNoMarker;
        QByteArray badMarker = File(good);
        badMarker.replace("BOFFILE", "BOFFILX");
        QTest::newRow("missing marker") << badMarker << kNoMarker;
        const QByteArray picture = Text(Script({"[TQSPicture]", "PicType=1", "[End]"}));
        QTest::newRow("bmp size beyond block") << File(picture, Le32(1) + Bmp(40).left(30)) << kDamaged;
        QTest::newRow("bmp size too small") << File(picture, Le32(1) + "BM" + Le32(3) + QByteArray(30, 0)) << kDamaged;
        QTest::newRow("not a bmp") << File(picture, Le32(1) + "XX" + Le32(40) + QByteArray(34, 0)) << kDamaged;
        QTest::newRow("picture flag missing") << File(picture, QByteArray(2, 0)) << kDamaged;
        QTest::newRow("class in lower case") << File(Text({"[TQSFonts]", "[tqsfont]", "[End]", "[End]"}))
                                             << "Invalid class (tqsfont) found in scriptfile!";
        QTest::newRow("class in wrong parent") << File(Text({"[TQSFonts]", "[TQSVariable]", "[End]", "[End]"}))
                                               << "Invalid class (TQSVariable) found in scriptfile!";
        QTest::newRow("statement outside statements")
            << File(Text({"[TQSText]", "[End]"})) << "Invalid class (TQSText) found in scriptfile!";
        QTest::newRow("child of a plain object") << File(Text(Script({"[TQSText]", "[TQSLine]", "[End]", "[End]"})))
                                                 << "Invalid class (TQSLine) found in scriptfile!";
        QTest::newRow("root class in file")
            << File(Text({"[TQSBaseContainer]", "[End]"})) << "Invalid class (TQSBaseContainer) found in scriptfile!";
        QTest::newRow("placeholder with children")
            << File(Text({"[TQSFonts]", "[TQSDummy]", "[TQSFont]", "[End]", "[End]", "[End]"}))
            << "Invalid class (TQSFont) found in scriptfile!";
        QTest::newRow("missing end") << File(Text({"[TQSFonts]", "[TQSFont]", "[End]"})) << kDamaged;
        QTest::newRow("extra end") << File(Text({"[TQSFonts]", "[End]", "[End]", "[End]"})) << kDamaged;
        QTest::newRow("children after properties")
            << File(Text(Script({"[TQSRectangle]", "Margin=2", "[TQSLine]", "[End]", "[End]"}))) << kDamaged;
        QStringList deep;
        for (int i = 0; i < 64; ++i) deep << "[TQSRectangle]";
        for (int i = 0; i < 64; ++i) deep << "[End]";
        QTest::newRow("nested too deeply") << File(Text(Script(deep))) << kDamaged;
        QTest::newRow("integer that does not parse") << File(Text(Script({"[TQSIf]", "DebugResult=x1", "[End]"})))
                                                     << "Invalid value of key \"DebugResult\" found in scriptfile!";
        QTest::newRow("float that does not parse")
            << File(Text({"[TQSScriptSettings]", "PaperSize=3", "PrintSizeX=2,5", "[End]"}))
            << "Invalid value of key \"PrintSizeX\" found in scriptfile!";
        QTest::newRow("one name twice")
            << File(Text(Script({}, {"[TQSVariable]", "Name=a", "[End]", "[TQSVariable]", "Name=A", "[End]"})))
            << "There is already an object (variable) by the name \"A\"";
    }
    void refusesMalformedFiles() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        QCOMPARE(Error(bytes), expected);
    }

    // Objects the file leaves unnamed take the first free default names beside the named ones.
    void unnamedObjectsGetFreeNames() {
        TQSScript script;
        Load(script,
             File(Text(Script({},
                              {"[TQSVariable]", "Name=Variable2", "[End]", "[TQSVariable]", "[End]", "[TQSVariable]",
                               "[End]", "[TQSVariable]", "Name=variable1x", "[End]"}))));
        TQSContainer* variables = script.Root()->Section(1);
        QStringList names;
        for (int i = 0; i < variables->ChildCount(); ++i) names << variables->Child(i)->Name();
        QCOMPARE(names, QStringList({"Variable2", "variable1", "variable3", "variable1x"}));
        QCOMPARE(script.FindNamedObject("VARIABLE3"), variables->Child(2));
    }

    // Nesting up to the limit is read.
    void readsDeepNesting() {
        QStringList deep;
        for (int i = 0; i < 62; ++i) deep << "[TQSRectangle]";
        for (int i = 0; i < 62; ++i) deep << "[End]";
        TQSScript script;
        Load(script, File(Text(Script(deep))));
        int depth = 0;
        for (TQSScriptObject* o = script.Root()->ScriptObjects()->Child(0); o;
             o = static_cast<TQSContainer*>(o)->Child(0))
            ++depth;
        QCOMPARE(depth, 62);
    }

    // A file that fails to load leaves the script as it was.
    void failedLoadKeepsTheScript() {
        TQSScript script;
        Load(script, File(Text(Script({"[TQSComment]", "Text=kvar", "[End]"}, {"[TQSVariable]", "Name=a", "[End]"}))));
        const QByteArray before = Save(script);
        QCOMPARE(Error(File(Text(
                     Script({"[TQSComment]", "[End]"}, {"[TQSVariable]", "Name=b", "[End]", "[TQSFont]", "[End]"})))),
                 QString("Invalid class (TQSFont) found in scriptfile!"));
        QCOMPARE(testsupport::ExceptionText([&] {
                     Load(script, File(Text(Script({}, {"[TQSVariable]", "Name=b", "[End]", "[TQSFont]", "[End]"}))));
                 }),
                 QString("Invalid class (TQSFont) found in scriptfile!"));
        QCOMPARE(Save(script), before);
        QVERIFY(script.FindNamedObject("a"));
        QVERIFY(!script.FindNamedObject("b"));
    }

    void loadsFromFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath("fakta.qsf");
        QVERIFY(testsupport::WriteBytes(path, File(Text(Script({"[TQSComment]", "Text=å", "[End]"})))));
        TQSScript script;
        script.LoadFromFile(path);
        QCOMPARE(script.FileName(), path);
        QCOMPARE(script.Root()->ScriptObjects()->Child(0)->Value("Text"), QString("å"));
        QCOMPARE(testsupport::ExceptionText([&] { script.LoadFromFile(dir.filePath("saknas.qsf")); }),
                 QString("Skriptfilen \"%1\" kunde inte öppnas.").arg(dir.filePath("saknas.qsf")));
    }

    // The writer tool turns a readable script and its pictures into a file the engine reads.
    void writerToolMakesScriptFiles() {
        QTemporaryDir dir;
        QImage dot(3, 2, QImage::Format_RGB32);
        dot.fill(Qt::red);
        QVERIFY(dot.save(dir.filePath("dot.png")));
        QVERIFY(testsupport::WriteBytes(dir.filePath("script.txt"),
                                        "[TQSBaseScriptContainer]\n[TQSPicture]\nPicType=1\n@Bitmap=dot.png\n[End]\n"
                                        "[TQSText]\nText=\"Svamp å\"\n[End]\n[End]\n"));
        QVERIFY(testsupport::WriteBytes(dir.filePath("bad.txt"), "[TQSFoo]\n[End]\n"));
        QVERIFY(testsupport::WriteBytes(dir.filePath("arrow.txt"), "[TQSScriptSettings]\nScriptName=a → b\n[End]\n"));
        const QString tool = qEnvironmentVariable("MYKO_BUILD_DIR") + "/tools/qsfwrite";
        QProcess run;
        run.start(tool, {dir.filePath("script.txt"), dir.filePath("script.qsf")});
        QVERIFY(run.waitForFinished());
        QCOMPARE(run.exitCode(), 0);
        TQSScript script;
        script.LoadFromFile(dir.filePath("script.qsf"));
        TQSContainer* body = script.Root()->ScriptObjects();
        const QByteArray bitmap = static_cast<TQSPicture*>(body->Child(0))->Bitmap;
        QVERIFY(bitmap.startsWith("BM"));
        QCOMPARE(QImage::fromData(bitmap, "BMP").size(), QSize(3, 2));
        QCOMPARE(body->Child(1)->Value("Text"), QString("\"Svamp å\""));

        run.start(tool, {dir.filePath("bad.txt"), dir.filePath("bad.qsf")});
        QVERIFY(run.waitForFinished());
        QCOMPARE(run.exitCode(), 1);
        QVERIFY(QString::fromUtf8(run.readAllStandardError()).contains("Invalid class (TQSFoo) found in scriptfile!"));
        QVERIFY(!QFile::exists(dir.filePath("bad.qsf")));
        run.start(tool, {dir.filePath("arrow.txt"), dir.filePath("arrow.qsf")});
        QVERIFY(run.waitForFinished());
        QCOMPARE(run.exitCode(), 1);
        QVERIFY(QString::fromUtf8(run.readAllStandardError()).contains("text outside Windows-1252"));
    }
};

QTEST_MAIN(TestQSScriptFile)
#include "tst_qsscriptfile.moc"
