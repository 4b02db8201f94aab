// Self-extracting archives: a stub, the settings header and the zip data with moved offsets,
// made from an archive and turned back, checked with unzip and Python's zipfile.
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include "ZipTestSupport.h"
#include "platform/AtomicFile.h"
#include "zip/ZipSFXMaker.h"

using namespace Zip;  // the component's option bits

using namespace ziptest;

namespace {

const QByteArray kStub =
    "\x7f"
    "STUB" +
    Pattern(4096 - 5, 7);

quint32 U32(const QByteArray& b, qsizetype at) {
    return quint32(uchar(b[at])) | quint32(uchar(b[at + 1])) << 8 | quint32(uchar(b[at + 2])) << 16 |
        quint32(uchar(b[at + 3])) << 24;
}

struct TSetup {
    QTemporaryDir Tmp;
    std::unique_ptr<TZipArchiver> Zip = MakeArchiver();
    TZipSFXMaker Maker;
    QString Archive;
    QByteArray Original;

    // a.zip made by zip, the stub beside it as the master's SFXPath names it.
    bool Make() {
        testsupport::WriteBytes(Tmp.path() + "/src/a.txt", "innehåll");
        testsupport::WriteBytes(Tmp.path() + "/src/sub/b.htm", Text(50));
        Archive = Tmp.path() + "/a.zip";
        if (Run(QStringLiteral("zip"), {"-q", "-r", "-z", Archive, "a.txt", "sub"}, Tmp.path() + "/src",
                "Arkivets kommentar\n.\n")
                .Exit != 0)
            return false;
        Original = testsupport::ReadBytes(Archive);
        testsupport::WriteBytes(Tmp.path() + "/stubs/ZSTUBus.BIN", kStub);
        Zip->SFXPath = Tmp.path() + "/stubs/ZIPSTUB.BIN";
        Zip->SetHowToDelete(DeleteOpts::htdFinal);
        Zip->SFXMaker = &Maker;
        Zip->SetZipFileName(Archive);
        return Zip->GetCount() == 2;  // the folder entry is not listed
    }
};

}  // namespace

class TestZipSfx : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        ZIPTEST_REQUIRE_TOOL("zip");
        ZIPTEST_REQUIRE_TOOL("unzip");
        ZIPTEST_REQUIRE_TOOL("python3");
    }

    void makeAndTurnBack() {
        TSetup s;
        QVERIFY(s.Make());
        s.Zip->SFXCaption = QStringLiteral("Svampar");
        s.Zip->SFXDefaultDir = QStringLiteral("C:\\Svamp");
        s.Zip->SFXCommandLine = QStringLiteral("><\\läsmig.txt");
        s.Zip->SFXMessage = QChar(2) + QStringLiteral("Packa upp?");
        s.Zip->SFXOptions = SFXAskFiles | SFXNoSuccessMsg | SFXCheckSize;
        s.Zip->SFXOverWriteMode = OvrOpts::OvrNever;
        QCOMPARE(s.Maker.ConvertToSFX(s.Zip.get()), 0);
        const QString exe = s.Tmp.path() + "/a.exe";
        QCOMPARE(s.Zip->ZipFileName(), exe);
        QVERIFY(!QFileInfo::exists(s.Archive));
        const QByteArray b = testsupport::ReadBytes(exe);
        QCOMPARE(b.left(4096), kStub);
        QCOMPARE(b.mid(4096, 4), QByteArray("DZ\x00\x01", 4));
        const quint16 headerSize = quint16(uchar(b[4100]) | uchar(b[4101]) << 8);
        QCOMPARE(headerSize % 4, 0);
        QCOMPARE(quint16(uchar(b[4102]) | uchar(b[4103]) << 8), quint16(256 + 2 + 16));
        QCOMPARE(int(b[4104]), 1);
        QCOMPARE(U32(b, 4096 + 14), 36u);
        QCOMPARE(int(b[4096 + 13]), 10);  // the message without its leading character
        QCOMPARE(b.mid(4096 + headerSize, 4), QByteArray("DZ\x0a\x01", 4));
        QCOMPARE(U32(b, 4096 + headerSize + 4), quint32(headerSize));
        const qint64 lead = 4096 + headerSize + 8;
        QCOMPARE(b.mid(lead, 4), QByteArray("PK\x03\x04"));
        QCOMPARE(s.Zip->GetCount(), 2);
        QCOMPARE(s.Zip->SFXOffset(), lead);
        QVERIFY(!s.Zip->StructureWarning());
        QCOMPARE(s.Zip->ZipComment(), QStringLiteral("Arkivets kommentar"));
        const TToolRun t = Run(QStringLiteral("unzip"), {"-t", exe});
        QCOMPARE(t.Exit, 0);
        QVERIFY2(!t.Out.contains("extra bytes"), t.Out.constData());
        QCOMPARE(
            Run(QStringLiteral("python3"),
                {"-c",
                 "import zipfile,sys; z=zipfile.ZipFile(sys.argv[1]); assert z.testzip() is None and len(z.namelist())==3",
                 exe})
                .Exit,
            0);

        s.Zip->SFXCaption.clear();
        s.Zip->SFXMessage.clear();
        s.Zip->SFXOptions = {};
        s.Zip->SFXOverWriteMode = OvrOpts::OvrConfirm;
        QCOMPARE(s.Maker.ConvertToZip(s.Zip.get()), 0);
        QCOMPARE(s.Zip->ZipFileName(), s.Archive);
        QVERIFY(!QFileInfo::exists(exe));
        QCOMPARE(testsupport::ReadBytes(s.Archive), s.Original);
        QCOMPARE(s.Zip->SFXCaption, QStringLiteral("Svampar"));
        QCOMPARE(s.Zip->SFXDefaultDir, QStringLiteral("C:\\Svamp"));
        QCOMPARE(s.Zip->SFXCommandLine, QStringLiteral("><\\läsmig.txt"));
        QCOMPARE(s.Zip->SFXMessage, QChar(2) + QStringLiteral("Packa upp?"));
        QCOMPARE(s.Zip->SFXOptions, SFXOpts(SFXAskFiles | SFXNoSuccessMsg));
        QCOMPARE(s.Zip->SFXOverWriteMode, OvrOpts::OvrNever);
    }

    void headerValues_data() {
        QTest::addColumn<int>("options");
        QTest::addColumn<int>("overwrite");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("wantOptions");
        QTest::addColumn<int>("wantMode");
        QTest::addColumn<int>("wantType");
        QTest::addColumn<QString>("wantMessage");
        QTest::newRow("defaults") << int(SFXCheckSize) << int(OvrOpts::OvrConfirm) << "" << 256 << 2 << 0 << "";
        QTest::newRow("every option") << int(SFXAskCmdLine | SFXAskFiles | SFXAutoRun | SFXHideOverWriteBox |
                                             SFXNoSuccessMsg)
                                      << int(OvrOpts::OvrAlways) << "Hej" << 256 + 31 << 0 << 0 << "Hej";
        QTest::newRow("question") << 0 << int(OvrOpts::OvrNever) << QString(QChar(1)) + "Fråga?" << 256 << 1 << 65
                                  << "Fråga?";
        QTest::newRow("yes or no") << 0 << int(OvrOpts::OvrConfirm) << QString(QChar(2)) + "Ja/nej" << 256 << 2 << 36
                                   << "Ja/nej";
    }
    void headerValues() {
        QFETCH(int, options);
        QFETCH(int, overwrite);
        QFETCH(QString, message);
        auto z = MakeArchiver();
        z->SFXOptions = SFXOpts::fromInt(options);
        z->SFXOverWriteMode = OvrOpts(overwrite);
        z->SFXMessage = message;
        TZipSFXMaker maker;
        const TSFXProperties p = maker.Prepare(z.get());
        QTEST(int(p.Options), "wantOptions");
        QTEST(int(p.OverwriteMode), "wantMode");
        QTEST(int(p.MessageType), "wantType");
        QTEST(p.Message, "wantMessage");
        const QByteArray h = p.HeaderBytes();
        TSFXProperties back;
        QVERIFY(TSFXProperties::FromBytes(h, h.size(), back));
        QCOMPARE(back.Options, p.Options);
        QCOMPARE(back.MessageType, p.MessageType);
        QCOMPARE(back.Message, p.Message);
        QCOMPARE(back.Caption, z->SFXCaption);
        QVERIFY(!TSFXProperties::FromBytes(h, h.size() - 1, back));
    }

    void refusals_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("detail");
        QTest::newRow("long caption") << "caption" << -9 << 10801 << "SFXCaption";
        QTest::newRow("two long texts") << "two" << -9 << 10801 << "SFXCommandLine, SFXMessage";
        QTest::newRow("no stub") << "nostub" << -3 << 10802 << "";
        QTest::newRow("not a zip name") << "name" << -9 << 10803 << "";
        QTest::newRow("needs zip64") << "zip64" << -9 << 10184 << "zip64";
    }
    void refusals() {
        QFETCH(QString, field);
        TSetup s;
        QVERIFY(s.Make());
        if (field == "caption") s.Zip->SFXCaption = QString(256, 'k');
        if (field == "two") {
            s.Zip->SFXCommandLine = QString(300, 'c');
            s.Zip->SFXMessage = QString(256, 'm');
        }
        if (field == "nostub") {
            // Neither there nor in a folder of the search (the program folder has the stub).
            s.Zip->SFXPath = s.Tmp.path() + "/saknas/ZIPSTUB.BIN";
            s.Zip->SetDLLDirectory(s.Tmp.path() + "/saknas");
            s.Maker.SetLanguage(QStringLiteral("xx"));
        }
        if (field == "name") {
            QVERIFY(QFile::rename(s.Archive, s.Tmp.path() + "/a.arkiv"));
            s.Archive = s.Tmp.path() + "/a.arkiv";
            s.Zip->SetZipFileName(s.Archive);
        }
        if (field == "zip64") {
            QFile::remove(s.Archive);
            QVERIFY(QFile::copy(testsupport::SourceDir() + "/fuzz/corpus/zipdir/zip64end.zip", s.Archive));
            s.Original = testsupport::ReadBytes(s.Archive);
            s.Zip->SetZipFileName(s.Archive);
        }
        QTEST(s.Maker.ConvertToSFX(s.Zip.get()), "result");
        QTEST(s.Zip->ErrCode(), "code");
        QFETCH(QString, detail);
        QVERIFY2(s.Zip->Message().contains(detail), qPrintable(s.Zip->Message()));
        QVERIFY(!QFileInfo::exists(s.Tmp.path() + "/a.exe"));
        QCOMPARE(testsupport::ReadBytes(s.Archive), s.Original);
        QCOMPARE(s.Zip->ZipFileName(), s.Archive);
    }

    void stubSearch() {
        TSetup s;
        QVERIFY(s.Make());
        // The builder's own path comes first.
        testsupport::WriteBytes(s.Tmp.path() + "/own.bin", "EGEN");
        s.Maker.SetStubPath(s.Tmp.path() + "/own.bin");
        QCOMPARE(s.Maker.FindStub(s.Zip.get()), s.Tmp.path() + "/own.bin");
        s.Maker.SetStubPath(QString());
        QCOMPARE(s.Maker.FindStub(s.Zip.get()), s.Tmp.path() + "/stubs/ZSTUBus.BIN");
        // The stub name in the module folder when SFXPath names no file.
        s.Zip->SFXPath = s.Tmp.path() + "/tom/ZIPSTUB.BIN";
        s.Zip->SetDLLDirectory(s.Tmp.path() + "/stubs");
        QCOMPARE(s.Maker.FindStub(s.Zip.get()), s.Tmp.path() + "/stubs/ZSTUBus.BIN");
        s.Maker.SetLanguage(QStringLiteral("sv"));
        QCOMPARE(s.Maker.StubFileName(), QStringLiteral("ZSTUBsv.BIN"));
        QCOMPARE(s.Maker.FindStub(s.Zip.get()), QString());
        QCOMPARE(s.Zip->ErrCode(), 10802);
        QCOMPARE(s.Zip->Message(), QStringLiteral("Fel - ZIPSTUB.BIN hittades inte!"));
        QCOMPARE(s.Maker.VersionText(), QStringLiteral("10-23-2002 1.72.0.0"));
    }

    void addKeepsTheStub() {
        TSetup s;
        QVERIFY(s.Make());
        QCOMPARE(s.Maker.ConvertToSFX(s.Zip.get()), 0);
        const QString exe = s.Zip->ZipFileName();
        const qint64 lead = s.Zip->SFXOffset();
        const QByteArray front = testsupport::ReadBytes(exe).left(lead);
        testsupport::WriteBytes(s.Tmp.path() + "/src/c.txt", "trattkantarell");
        s.Zip->SetFSpecArgs({s.Tmp.path() + "/src/c.txt"});
        QVERIFY(QDir().mkpath(s.Tmp.path() + "/temp"));
        s.Zip->SetTempDir(s.Tmp.path() + "/temp");
        QCOMPARE(s.Zip->Add(), 0);
        QCOMPARE(QDir(s.Tmp.path() + "/temp").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());
        QCOMPARE(testsupport::ReadBytes(exe).left(lead), front);
        QCOMPARE(s.Zip->GetCount(), 3);
        QCOMPARE(s.Zip->SFXOffset(), lead);
        const TToolRun t = Run(QStringLiteral("unzip"), {"-t", exe});
        QCOMPARE(t.Exit, 0);
        QVERIFY2(!t.Out.contains("extra bytes"), t.Out.constData());
        s.Zip->SetExtrBaseDir(s.Tmp.path() + "/ut");
        QCOMPARE(s.Zip->Extract(), 0);
        QCOMPARE(testsupport::ReadBytes(s.Tmp.path() + "/ut/c.txt"), QByteArray("trattkantarell"));
    }

    void addOntoANewExecutable() {
        TSetup s;
        QVERIFY(s.Make());
        const QString exe = s.Tmp.path() + "/ny.EXE";
        s.Zip->SetZipFileName(exe);
        s.Zip->SetFSpecArgs({s.Tmp.path() + "/src/a.txt"});
        QCOMPARE(s.Zip->Add(), 0);
        const QByteArray b = testsupport::ReadBytes(exe);
        QCOMPARE(b.left(4096), kStub);
        QCOMPARE(s.Zip->GetCount(), 1);
        const TToolRun t = Run(QStringLiteral("unzip"), {"-t", exe});
        QCOMPARE(t.Exit, 0);
        QVERIFY2(!t.Out.contains("extra bytes"), t.Out.constData());
    }

    // A full disk: a write in the middle, or the last flush after every write went through
    // (what Qt's QSaveFile reported as success). The old file stays, the source is not
    // removed, nothing half-written is left, and the reason is told.
    void failedConversionKeepsTheOldFile_data() {
        QTest::addColumn<bool>("toSfx");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("skip");
        QTest::newRow("to executable, a write in the stub") << true << int(TWriteStep::Write) << 0;
        QTest::newRow("to executable, a write in the data") << true << int(TWriteStep::Write) << 2;
        QTest::newRow("to executable, the last flush") << true << int(TWriteStep::Flush) << 0;
        QTest::newRow("to executable, the rename") << true << int(TWriteStep::Rename) << 0;
        QTest::newRow("back to zip, a write") << false << int(TWriteStep::Write) << 1;
        QTest::newRow("back to zip, the last flush") << false << int(TWriteStep::Flush) << 0;
    }
    void failedConversionKeepsTheOldFile() {
        QFETCH(bool, toSfx);
        QFETCH(int, step);
        QFETCH(int, skip);
        TSetup s;
        QVERIFY(s.Make());
        const QString exe = s.Tmp.path() + "/a.exe";
        auto clear = qScopeGuard([] { AtomicFileFaults::Clear(); });
        if (toSfx) {
            testsupport::WriteBytes(exe, "gammal körbar fil");
            AtomicFileFaults::FailNext(TWriteStep(step), skip);
            QVERIFY(s.Maker.ConvertToSFX(s.Zip.get()) < 0);
            QCOMPARE(testsupport::ReadBytes(exe), QByteArray("gammal körbar fil"));
            QCOMPARE(testsupport::ReadBytes(s.Archive), s.Original);
            QCOMPARE(s.Zip->ZipFileName(), s.Archive);
        } else {
            QCOMPARE(s.Maker.ConvertToSFX(s.Zip.get()), 0);
            const QByteArray made = testsupport::ReadBytes(exe);
            AtomicFileFaults::FailNext(TWriteStep(step), skip);
            QVERIFY(s.Maker.ConvertToZip(s.Zip.get()) < 0);
            QCOMPARE(testsupport::ReadBytes(exe), made);
            QVERIFY(!QFileInfo::exists(s.Archive));
            QCOMPARE(s.Zip->ZipFileName(), exe);
        }
        QCOMPARE(s.Zip->ErrCode(), 11010);
        QVERIFY2(s.Zip->Message().contains(QStringLiteral("kunde inte sparas")), qPrintable(s.Zip->Message()));
        QVERIFY(!AtomicFileFaults::Armed());
        // No half-written file is left beside them.
        const QStringList expected = toSfx ? QStringList{"a.exe", "a.zip"} : QStringList{"a.exe"};
        QCOMPARE(QDir(s.Tmp.path()).entryList(QDir::Files | QDir::Hidden), expected);
    }

    void turningBackNeedsAnExecutable() {
        TSetup s;
        QVERIFY(s.Make());
        QCOMPARE(s.Maker.ConvertToZip(s.Zip.get()), -9);
        QCOMPARE(s.Zip->ErrCode(), 10902);
        s.Zip->SetZipFileName(QString());
        QCOMPARE(s.Maker.ConvertToZip(s.Zip.get()), -3);
        QCOMPARE(s.Zip->ErrCode(), 10901);
        QCOMPARE(testsupport::ExceptionText([&] { s.Maker.ConvertToZip(nullptr); }),
                 QStringLiteral("No TZipArchiver component assigned"));
    }
};

QTEST_MAIN(TestZipSfx)
#include "tst_zipsfx.moc"
