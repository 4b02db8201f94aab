// Spanned sets on removable disks, through a fake drive whose disks are folders: the disks
// asked for and labelled, the prompts and questions, erasing and formatting, the checks of a
// disk put in, and a set read back disk by disk.
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "ZipTestSupport.h"
#include "platform/UIServices.h"

using namespace Zip;  // the component's option bits

using namespace ziptest;

namespace {

// A drive for removable disks: each disk is a folder, and the drive's root is a symbolic
// link to the folder of the disk in it.
class TFakeDisks : public TZipDrives {
public:
    struct TDisk {
        QString Label;
        qint64 Capacity = 80000;
        bool Formatted = true;
    };

    TFakeDisks(const QString& base, int disks) : m_base(base), Root(base + "/drive") {
        for (int k = 0; k < disks; ++k) {
            QDir().mkpath(Folder(k));
            Disks << TDisk();
        }
        Insert(0);
    }
    QString Folder(int k) const { return m_base + QStringLiteral("/disk%1").arg(k); }
    // Puts disk k in the drive; -1 takes the disk out.
    void Insert(int k) {
        QFile::remove(Root);
        InDrive = k;
        if (k >= 0) QFile::link(Folder(k), Root);
    }
    QStringList Files(int k) const {
        return QDir(Folder(k)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }

    QString DriveOf(const QString& path) const override {
        return path.startsWith(Root + QLatin1Char('/')) ? Root : QString();
    }
    bool Exists(const QString& drive) const override { return drive == Root; }
    bool IsRemovable(const QString&) const override { return true; }
    TDriveInfo Info(const QString&) const override {
        TDriveInfo info;
        if (InDrive < 0) return info;
        const TDisk& d = Disks[InDrive];
        if (!d.Formatted) {
            info.Unformatted = true;
            return info;
        }
        qint64 used = 0;
        QDirIterator it(Folder(InDrive), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) used += QFileInfo(it.next()).size();
        info.Ready = true;
        info.Label = d.Label;
        info.Size = d.Capacity;
        info.Free = qMax<qint64>(0, d.Capacity - used);
        return info;
    }
    bool SetLabel(const QString&, const QString& label) override {
        if (InDrive < 0 || !Disks[InDrive].Formatted) return false;
        Disks[InDrive].Label = label;
        return true;
    }
    bool Format(const QString&, const QString& label) override {
        ++Formats;
        if (!CanFormat || InDrive < 0) return false;
        FormatLabel = label;
        Empty();
        Disks[InDrive].Formatted = true;
        Disks[InDrive].Label.clear();
        return true;
    }
    bool EraseAll(const QString&) override {
        ++Erases;
        if (InDrive < 0 || !Disks[InDrive].Formatted) return false;
        Empty();
        return true;
    }

    QString m_base;
    QString Root;
    QList<TDisk> Disks;
    int InDrive = -1;
    bool CanFormat = false;
    int Formats = 0, Erases = 0;
    QString FormatLabel;

private:
    void Empty() {
        for (const QString& f : Files(InDrive)) {
            const QString path = Folder(InDrive) + "/" + f;
            if (QFileInfo(path).isDir())
                QDir(path).removeRecursively();
            else
                QFile::remove(path);
        }
    }
};

// What a set is made of: four files, three of about 60 KB that don't compress, so that the
// set takes three disks of 80,000 bytes.
struct TSource {
    QTemporaryDir Tmp;
    QString Src, TempDir;
    QStringList Files{"A.txt", "a.txt", "mapp/c.bin", "mapp/d.htm"};
    TSource() {
        Src = Tmp.path() + "/src";
        TempDir = Tmp.path() + "/temp";
        QDir().mkpath(TempDir);
        for (int i = 0; i < Files.size(); ++i)
            testsupport::WriteBytes(Src + "/" + Files[i], i == 3 ? Text(100) : Pattern(60000, quint32(i + 1)));
    }
    QStringList Specs() const {
        QStringList specs;
        for (const QString& f : Files) specs << f;
        return specs;
    }
};

QStringList Entries(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

std::unique_ptr<TZipArchiver> MakeSpanner(TFakeDisks& disks, const TSource& source, AddOpts extra = {}) {
    auto z = MakeArchiver();
    z->SetDrives(&disks);
    z->SetTempDir(source.TempDir);
    z->SetRootDir(source.Src);
    z->SetZipFileName(disks.Root + "/sp.zip");
    z->SetAddOptions(AddDiskSpan | AddDirNames | extra);
    z->SetFSpecArgs(source.Specs());
    return z;
}

// Answers a disk prompt by putting in the disk it asks for, the set's three disks lying
// from disk `first` on; other boxes get `other`.
UIServices::TMessageHook PromptHook(TFakeDisks& disks, int first = 0,
                                    UIServices::TMsgResult other = UIServices::TMsgResult::Yes) {
    return [&disks, first, other](const UIServices::TShownMessage& m) {
        if (m.Buttons != UIServices::TMsgButtons::OKCancel) return other;
        if (m.Text.startsWith(QStringLiteral("Sätt in den senaste disketten"))) {
            disks.Insert(first + 2);
        } else {
            const QRegularExpressionMatch n = QRegularExpression(QStringLiteral("volym (\\d+)")).match(m.Text);
            if (n.hasMatch()) disks.Insert(first + n.captured(1).toInt() - 1);
        }
        return UIServices::TMsgResult::OK;
    };
}

// An archive already on disk k under the set's name, of a file of its own.
void OldArchive(TFakeDisks& disks, int k, const TSource& source) {
    testsupport::WriteBytes(source.Tmp.path() + "/gammal/gammal.txt", "från förra året");
    Run(QStringLiteral("zip"), {"-q", disks.Folder(k) + "/sp.zip", "gammal.txt"}, source.Tmp.path() + "/gammal");
}

QStringList BoxTexts() {
    QStringList texts;
    for (const UIServices::TShownMessage& m : UIServices::MessageLog()) texts << m.Text;
    return texts;
}

}  // namespace

class TestZipSpanDisks : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() {
        UIServices::SetMessageHook({});
        UIServices::ClearMessageLog();
    }

    void writesAndReadsThreeDisks_data() {
        QTest::addColumn<bool>("labels");
        QTest::newRow("labelled disks") << true;
        QTest::newRow("no labels, compatible names") << false;
    }
    void writesAndReadsThreeDisks() {
        QFETCH(bool, labels);
        TSource source;
        TFakeDisks disks(source.Tmp.path(), 4);
        UIServices::SetMessageHook([](const UIServices::TShownMessage&) { return UIServices::TMsgResult::Cancel; });
        auto z = MakeSpanner(disks, source);
        z->SetUnattended(false);
        if (!labels) z->SpanOptions = spNoVolumeName | spCompatName;
        const QStringList names =
            labels ? QStringList{"sp.zip", "sp.zip", "sp.zip"} : QStringList{"sp.z01", "sp.z02", "sp.zip"};
        QList<QPair<int, int>> asked;
        z->OnGetNextDisk = [&](QObject*, int seq, int total, const QString& drive, bool&) {
            QCOMPARE(drive, disks.Root);
            asked << qMakePair(seq, total);
            disks.Insert(seq - 1);
        };
        QCOMPARE(z->Add(), 0);
        QCOMPARE(z->SuccessCnt(), 4);
        QCOMPARE(asked, (QList<QPair<int, int>>{{2, 3}, {3, 3}}));
        // Every disk holds the archive's name, labelled with its number, or without labels
        // the volume's own name.
        for (int k = 0; k < 3; ++k) {
            QCOMPARE(disks.Disks[k].Label, labels ? QStringLiteral("PKBACK# 00%1").arg(k + 1) : QString());
            QCOMPARE(disks.Files(k), QStringList{names[k]});
            QVERIFY(QFileInfo(disks.Folder(k) + "/" + names[k]).size() <= 80000);
        }
        QCOMPARE(testsupport::ReadBytes(disks.Folder(0) + "/" + names[0]).left(4), QByteArray("PK\x07\x08"));
        QCOMPARE(disks.Disks[3].Label, QString());
        QCOMPARE(z->ZipFileName(), disks.Root + "/sp.zip");
        QVERIFY(z->IsSpanned());
        QCOMPARE(z->GetCount(), 4);
        QCOMPARE(Entries(source.TempDir), QStringList());

        // Read back: the last disk is in; the others are asked for in order.
        asked.clear();
        z->SetExtrBaseDir(source.Tmp.path() + "/ut");
        z->SetExtrOptions(ExtrDirNames);
        QCOMPARE(z->Extract(), 0);
        QCOMPARE(z->SuccessCnt(), 4);
        QCOMPARE(asked, (QList<QPair<int, int>>{{1, 3}, {2, 3}, {3, 3}}));
        for (const QString& f : source.Files)
            QCOMPARE(Md5(testsupport::ReadBytes(source.Tmp.path() + "/ut/" + f)),
                     Md5(testsupport::ReadBytes(source.Src + "/" + f)));
        QCOMPARE(Entries(source.TempDir), QStringList());
        QCOMPARE(UIServices::MessageLog().size(), 0);

        // A disk other than the last one is no archive of its own.
        for (int k : {0, 1}) {
            disks.Insert(k);
            z->SetZipFileName(disks.Root + "/" + names[k]);
            QCOMPARE(z->ErrCode(), k == 0 ? 11037 : 11038);
            QCOMPARE(
                z->Message(),
                k == 0 ? QStringLiteral("Det här är den första disketten i en samling,\nsätt in den sista i samlingen")
                       : QStringLiteral("Det här är den 2 disketten i en samling,\nsätt in den sista i samlingen"));
        }
    }

    void promptsInBoxes() {
        TSource source;
        TFakeDisks disks(source.Tmp.path(), 3);
        UIServices::SetMessageHook(PromptHook(disks));
        auto z = MakeSpanner(disks, source);
        z->SetUnattended(false);
        QCOMPARE(z->Add(), 0);
        const QString drive = QStringLiteral("\ni enhet: ") + QDir::toNativeSeparators(disks.Root);
        QCOMPARE(BoxTexts(),
                 (QStringList{"Sätt in diskett med volym 2 av 3" + drive, "Sätt in diskett med volym 3 av 3" + drive}));
        for (const UIServices::TShownMessage& m : UIServices::MessageLog()) {
            QCOMPARE(m.Caption, UIServices::DefaultCaption());
            QCOMPARE(m.Icon, UIServices::TMsgIcon::Information);
        }
        // Reading with the first disk in: the last one is asked for first.
        UIServices::ClearMessageLog();
        disks.Insert(0);
        z->SetExtrBaseDir(source.Tmp.path() + "/ut");
        QCOMPARE(z->Extract(), 0);
        QCOMPARE(BoxTexts(),
                 (QStringList{"Sätt in den senaste disketten" + drive, "Sätt in diskett med volym 1 av 3" + drive,
                              "Sätt in diskett med volym 2 av 3" + drive, "Sätt in diskett med volym 3 av 3" + drive}));
        QCOMPARE(UIServices::MessageLog().first().Icon, UIServices::TMsgIcon::Error);
    }

    // Unattended, a disk can't be changed: the Add fails when the second disk is wanted,
    // and the first keeps what it held.
    void unattended_data() {
        QTest::addColumn<bool>("fits");
        QTest::newRow("needs a second disk") << false;
        QTest::newRow("fits on one disk") << true;
    }
    void unattended() {
        QFETCH(bool, fits);
        TSource source;
        TFakeDisks disks(source.Tmp.path(), 2);
        disks.Disks[0].Label = QStringLiteral("Svampar");
        QCOMPARE(Run(QStringLiteral("zip"), {"-q", disks.Folder(0) + "/sp.zip", "mapp/d.htm"}, source.Src).Exit, 0);
        const QByteArray before = testsupport::ReadBytes(disks.Folder(0) + "/sp.zip");
        auto z = MakeSpanner(disks, source);
        QCOMPARE(z->GetCount(), 1);
        bool asked = false;
        z->OnGetNextDisk = [&](QObject*, int, int, const QString&, bool&) { asked = true; };
        if (fits) z->SetFSpecArgs({"A.txt"});
        QCOMPARE(z->Add(), fits ? 0 : 11025);
        QVERIFY(!asked);
        if (fits) {
            QCOMPARE(z->SuccessCnt(), 1);
            QCOMPARE(disks.Disks[0].Label, QStringLiteral("PKBACK# 001"));
            QCOMPARE(z->GetCount(), 2);
        } else {
            QCOMPARE(z->SuccessCnt(), 0);
            QCOMPARE(z->Message(), QStringLiteral("Obemannad disk spanning stöds ej"));
            QCOMPARE(disks.Disks[0].Label, QStringLiteral("Svampar"));
            QCOMPARE(disks.Files(0), QStringList{"sp.zip"});
            QVERIFY(testsupport::ReadBytes(disks.Folder(0) + "/sp.zip") == before);
        }
        QCOMPARE(disks.Files(1), QStringList());
        QCOMPARE(Entries(source.TempDir), QStringList());
    }

    void declinedPrompt_data() {
        QTest::addColumn<bool>("handler");
        QTest::newRow("OnGetNextDisk aborts") << true;
        QTest::newRow("the box is cancelled") << false;
    }
    void declinedPrompt() {
        QFETCH(bool, handler);
        TSource source;
        TFakeDisks disks(source.Tmp.path(), 3);
        auto z = MakeSpanner(disks, source);
        z->SetUnattended(false);
        if (handler) z->OnGetNextDisk = [](QObject*, int, int, const QString&, bool& abort) { abort = true; };
        UIServices::SetMessageHook([](const UIServices::TShownMessage& m) {
            return m.Buttons == UIServices::TMsgButtons::OKCancel ? UIServices::TMsgResult::Cancel
                                                                  : UIServices::TMsgResult::OK;
        });
        QCOMPARE(z->Add(), 11007);
        QCOMPARE(z->SuccessCnt(), 0);
        QCOMPARE(z->Message(), QStringLiteral("Användaren avbröt behandlingen"));
        QCOMPARE(Entries(source.TempDir), QStringList());
    }

    // AddDiskSpanErase empties a disk before its volume: a format where the platform offers
    // one, else every file after the user agrees.
    void erasing_data() {
        QTest::addColumn<bool>("tryFormat");
        QTest::addColumn<bool>("canFormat");
        QTest::addColumn<bool>("unformatted");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("confirmShown");
        QTest::newRow("erase agreed") << false << false << false << int(UIServices::TMsgResult::Yes) << 0 << true;
        QTest::newRow("erase declined") << false << false << false << int(UIServices::TMsgResult::No) << -2 << true;
        QTest::newRow("formatted") << true << true << false << int(UIServices::TMsgResult::No) << 0 << false;
        QTest::newRow("no format to be had") << true << false << false << int(UIServices::TMsgResult::Yes) << 0 << true;
        QTest::newRow("unformatted disk formatted")
            << true << true << true << int(UIServices::TMsgResult::No) << 0 << false;
    }
    void erasing() {
        QFETCH(bool, tryFormat);
        QFETCH(bool, canFormat);
        QFETCH(bool, unformatted);
        QFETCH(int, answer);
        TSource source;
        TFakeDisks disks(source.Tmp.path(), 1);
        disks.CanFormat = canFormat;
        disks.Disks[0].Formatted = !unformatted;
        if (!unformatted) {
            testsupport::WriteBytes(disks.Folder(0) + "/brev.txt", "gammalt");
            testsupport::WriteBytes(disks.Folder(0) + "/mapp/bild.jpg", "gammalt");
        }
        QStringList confirms;
        UIServices::SetMessageHook([&](const UIServices::TShownMessage& m) {
            if (m.Buttons == UIServices::TMsgButtons::YesNo) confirms << m.Caption + ": " + m.Text;
            return UIServices::TMsgResult(answer);
        });
        auto z = MakeSpanner(disks, source, AddDiskSpanErase);
        z->SetUnattended(false);
        if (tryFormat) z->SpanOptions |= spTryFormat;
        z->SetFSpecArgs({"mapp/d.htm"});
        QTEST(z->Add(), "code");
        QCOMPARE(disks.Formats, tryFormat ? 1 : 0);
        QFETCH(bool, confirmShown);
        QCOMPARE(confirms,
                 confirmShown ? QStringList{"Confirm: Erase " + QDir::toNativeSeparators(disks.Root)} : QStringList());
        if (z->ErrCode() == 0) {
            QCOMPARE(disks.Files(0), QStringList{"sp.zip"});
            QCOMPARE(disks.Disks[0].Label, QStringLiteral("PKBACK# 001"));
            if (tryFormat && canFormat) QCOMPARE(disks.FormatLabel, QStringLiteral("PKBACK# 001"));
        } else {
            QCOMPARE(z->SuccessCnt(), 0);
            QCOMPARE(disks.Files(0), (QStringList{"brev.txt", "mapp"}));
        }
        QCOMPARE(Entries(source.TempDir), QStringList());
    }

    // The checks of a disk put in for a volume, answered in boxes.
    void diskChecks_data() {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("question");
        QTest::addColumn<int>("firstDisk");
        const QString exists = QStringLiteral("Det finns redan en fil med namnet <sp.zip>\nVill du ersätta den filen");
        const QString earlier = QStringLiteral(
            "OBS: Det här är tidigare diskett nummer 1!!!\nÄr du säker på att du vill skriva över innehållet");
        const QString noRoom = QStringLiteral("This disk has not enough free space available");
        QTest::newRow("a file of the name, replaced") << "file" << int(UIServices::TMsgResult::Yes) << 0 << exists << 0;
        QTest::newRow("a file of the name, another disk")
            << "file" << int(UIServices::TMsgResult::No) << 0 << exists << 1;
        QTest::newRow("a file of the name, cancelled")
            << "file" << int(UIServices::TMsgResult::Cancel) << 11007 << exists << -1;
        QTest::newRow("an earlier disk again, another disk")
            << "earlier" << int(UIServices::TMsgResult::No) << 0 << earlier << 0;
        QTest::newRow("an earlier disk again, cancelled")
            << "earlier" << int(UIServices::TMsgResult::Cancel) << 11007 << earlier << -1;
        QTest::newRow("too little room, another disk")
            << "room" << int(UIServices::TMsgResult::Retry) << 0 << noRoom << 1;
        QTest::newRow("too little room, cancelled")
            << "room" << int(UIServices::TMsgResult::Cancel) << 11007 << noRoom << -1;
    }
    void diskChecks() {
        QFETCH(QString, situation);
        QFETCH(int, answer);
        QFETCH(QString, question);
        QFETCH(int, firstDisk);
        TSource source;
        TFakeDisks disks(source.Tmp.path(), 4);
        if (situation == "file") OldArchive(disks, 0, source);
        const QByteArray before = testsupport::ReadBytes(disks.Folder(0) + "/sp.zip");
        if (situation == "room") disks.Disks[0].Capacity = 30000;
        // The first time the second disk is wanted, the first one is put in again.
        bool fooled = situation != "earlier";
        QStringList questions;
        const UIServices::TMessageHook prompts = PromptHook(disks, qMax(0, firstDisk));
        UIServices::SetMessageHook([&](const UIServices::TShownMessage& m) {
            if (m.Buttons == UIServices::TMsgButtons::OKCancel && !fooled &&
                m.Text.contains(QStringLiteral("volym 2"))) {
                fooled = true;
                disks.Insert(0);
                return UIServices::TMsgResult::OK;
            }
            if (m.Buttons == UIServices::TMsgButtons::OKCancel) return prompts(m);
            if (m.Buttons == UIServices::TMsgButtons::YesNoCancel ||
                m.Buttons == UIServices::TMsgButtons::RetryCancel) {
                questions << m.Text;
                return UIServices::TMsgResult(answer);
            }
            return UIServices::TMsgResult::OK;
        });
        auto z = MakeSpanner(disks, source);
        z->SetUnattended(false);
        QTEST(z->Add(), "code");
        QVERIFY(!questions.isEmpty());
        QCOMPARE(questions.first(),
                 question.replace(QStringLiteral("<sp.zip>"), QDir::toNativeSeparators(disks.Root + "/sp.zip")));
        if (firstDisk >= 0) {
            // The set begins on the disk that was taken, labelled as its first, and holds
            // what the old archive held besides.
            QCOMPARE(disks.Disks[firstDisk].Label, QStringLiteral("PKBACK# 001"));
            QCOMPARE(testsupport::ReadBytes(disks.Folder(firstDisk) + "/sp.zip").left(4), QByteArray("PK\x07\x08"));
            QCOMPARE(z->GetCount(), situation == "file" ? 5 : 4);
            z->SetExtrBaseDir(source.Tmp.path() + "/ut");
            z->SetExtrOptions(ExtrDirNames);
            QCOMPARE(z->Extract(), 0);
            for (const QString& f : source.Files)
                QCOMPARE(Md5(testsupport::ReadBytes(source.Tmp.path() + "/ut/" + f)),
                         Md5(testsupport::ReadBytes(source.Src + "/" + f)));
        } else {
            QCOMPARE(z->SuccessCnt(), 0);
        }
        if (firstDisk != 0)
            QVERIFY(testsupport::ReadBytes(disks.Folder(0) + "/sp.zip") == before || situation == "earlier");
        QCOMPARE(Entries(source.TempDir), QStringList());
    }

    // With OnStatusDisk assigned, it decides about a disk instead of the boxes.
    void statusHandler_data() {
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("firstDisk");
        QTest::newRow("write on it") << int(zdaOk) << 0 << 0;
        QTest::newRow("erase it") << int(zdaErase) << 0 << 0;
        QTest::newRow("another disk") << int(zdaReject) << 0 << 1;
        QTest::newRow("cancel") << int(zdaCancel) << 11007 << -1;
    }
    void statusHandler() {
        QFETCH(int, action);
        QFETCH(int, firstDisk);
        TSource source;
        TFakeDisks disks(source.Tmp.path(), 5);
        disks.Disks[0].Label = QStringLiteral("PKBACK# 001");
        OldArchive(disks, 0, source);
        testsupport::WriteBytes(disks.Folder(0) + "/brev.txt", "gammalt");
        disks.Disks[4].Capacity = 1000;
        UIServices::SetMessageHook(PromptHook(disks));
        auto z = MakeSpanner(disks, source);
        z->SetUnattended(false);
        z->SpanOptions = spWipeFiles;
        QList<QVariantList> told;
        z->OnStatusDisk = [&](QObject*, int previousDisk, const QString& previousFile, int status, int& answer) {
            told << QVariantList{disks.InDrive, previousDisk, previousFile, status};
            answer = disks.InDrive == 0 ? action : zdaOk;
        };
        // The second disk wanted is first a full one.
        bool fullShown = false;
        z->OnGetNextDisk = [&](QObject*, int seq, int, const QString&, bool&) {
            if (seq == 2 && !fullShown) {
                fullShown = true;
                disks.Insert(4);
                return;
            }
            disks.Insert(qMax(0, firstDisk) + seq - 1);
        };
        QTEST(z->Add(), "code");
        QVERIFY(!told.isEmpty());
        QCOMPARE(told.first(), (QVariantList{0, 1, disks.Root + "/sp.zip", int(zdsHasFiles | zdsSameFileName)}));
        if (firstDisk < 0) return;
        QVERIFY(told.contains(QVariantList{4, 0, QString(), int(zdsEmpty | zdsNotEnoughSpace)}));
        QCOMPARE(disks.Disks[firstDisk].Label, QStringLiteral("PKBACK# 001"));
        // Only the answer "erase" empties the disk.
        QCOMPARE(disks.Files(0).contains(QStringLiteral("brev.txt")), action != zdaErase);
        QCOMPARE(z->GetCount(), 5);
    }
};

QTEST_MAIN(TestZipSpanDisks)
#include "tst_zipspandisks.moc"
