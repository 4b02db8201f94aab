// The callback bridge: what a library module sends reaches the component's events, and what
// they answer goes back through the record. A stand-in module plays the callbacks.
#include <QTemporaryDir>
#include <QTest>
#include <dlfcn.h>

#include "ZipTestSupport.h"
#include "platform/UIServices.h"
#include "zip/ZipPasswordDlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace ziptest;

namespace {

QString FakeDir() { return QString::fromLocal8Bit(qgetenv("MYKO_BUILD_DIR")) + "/tests/zipfakes/rec"; }

struct TStep {
    int Action;
    int First;
    qint64 Second;
    QByteArray Text;
};
// One answer of the component: result, action field, first, second, text.
struct TAnswer {
    int Result = 0, Action = 0, First = 0;
    qint64 Second = 0;
    QString Text;
};

class TScript {
public:
    TScript() {
        m_handle = dlopen(QFile::encodeName(FakeDir() + "/libziplib.so").constData(), RTLD_NOW);
        if (!m_handle) return;
        m_reset = reinterpret_cast<void (*)(int32_t)>(dlsym(m_handle, "FakeReset"));
        m_add = reinterpret_cast<void (*)(int32_t, int32_t, int64_t, const char*)>(dlsym(m_handle, "FakeAddStep"));
        m_answers = reinterpret_cast<const char* (*)()>(dlsym(m_handle, "FakeAnswers"));
    }
    ~TScript() {
        if (m_handle) dlclose(m_handle);
    }
    bool Ok() const { return m_reset && m_add && m_answers; }
    void Set(const QList<TStep>& steps, int result = 1) {
        m_reset(result);
        for (const TStep& s : steps) m_add(s.Action, s.First, s.Second, s.Text.constData());
    }
    QList<TAnswer> Answers() const {
        QList<TAnswer> out;
        for (const QString& line : QString::fromUtf8(m_answers()).split('\n', Qt::SkipEmptyParts)) {
            const QStringList f = line.split('|');
            TAnswer a;
            a.Result = f.value(0).toInt();
            a.Action = f.value(1).toInt();
            a.First = f.value(2).toInt();
            a.Second = f.value(3).toLongLong();
            a.Text = f.mid(4).join('|');
            out << a;
        }
        return out;
    }

private:
    void* m_handle = nullptr;
    void (*m_reset)(int32_t) = nullptr;
    void (*m_add)(int32_t, int32_t, int64_t, const char*) = nullptr;
    const char* (*m_answers)() = nullptr;
};

// Runs the script through an Add with the stand-in packing module.
std::unique_ptr<TZipArchiver> Archiver() {
    auto z = MakeArchiver();
    z->SetDLLDirectory(FakeDir());
    z->SetZipFileName(QDir::tempPath() + "/finns-inte-" + QString::number(QCoreApplication::applicationPid()) + ".zip");
    z->FSpecArgs() << "a";
    return z;
}

}  // namespace

class TestZipCallback : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY(TScript().Ok()); }
    void cleanup() {
        UIServices::SetMessageHook({});
        UIServices::SetDialogHook({});
    }

    void messages_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("errCode");
        QTest::newRow("error with a high part") << 0x1234 << 0x34;
        QTest::newRow("information") << 0 << 0;
        QTest::newRow("abort") << 9 << 9;
    }
    void messages() {
        QFETCH(int, code);
        QFETCH(int, errCode);
        TScript script;
        script.Set({{4, code, 0, "Något hände /där  \n"}});
        auto z = Archiver();
        QList<int> codes;
        z->OnMessage = [&](QObject*, int c, const QString& m) {
            codes << c;
            QCOMPARE(m, QStringLiteral("Något hände \\där"));
        };
        QCOMPARE(z->Add(), errCode);
        QCOMPARE(z->ErrCode(), errCode);
        QCOMPARE(z->FullErrCode(), code);
        QCOMPARE(z->Message(), QStringLiteral("Något hände \\där"));
        QCOMPARE(codes, QList<int>{code});
        QCOMPARE(script.Answers().value(0).Result, 0);
    }

    void exceptionInEventAbortsTheLibrary() {
        TScript script;
        script.Set({{4, 0, 0, "information"}, {1, 0, 10, "a.txt"}, {4, 9, 0, "Avbrutet"}});
        auto z = Archiver();
        int calls = 0;
        z->OnMessage = [&](QObject*, int, const QString&) {
            if (++calls == 1) throw Exception(QStringLiteral("boom"));
        };
        z->OnProgress = [&](QObject*, ProgressType, const QString&, quint32) { throw Exception("andra"); };
        QCOMPARE(z->Add(), 9);
        const QList<TAnswer> a = script.Answers();
        QCOMPARE(a.size(), 3);
        QCOMPARE(a[0].Result, -1);
        QCOMPARE(a[1].Result, -1);
        // Only the first exception is kept.
        QCOMPARE(z->Message(), QStringLiteral("Exception in Event  #4 \"boom\""));
        QVERIFY(!z->IsBusy());
    }

    void passwordAnswers_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("given");
        QTest::addColumn<int>("repeatGiven");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("status");
        QTest::addColumn<qint64>("repeat");
        QTest::addColumn<QString>("text");
        QTest::newRow("use") << int(TPasswordButton::mbOK) << "nytt" << 3 << 0 << 8 << 1 << qint64(3) << "nytt";
        QTest::newRow("repeat capped") << int(TPasswordButton::mbOK) << "nytt" << 20 << 0 << 8 << 1 << qint64(15)
                                       << "nytt";
        QTest::newRow("too long") << int(TPasswordButton::mbOK) << QString(90, 'x') << 1 << 0 << 8 << 1 << qint64(1)
                                  << QString(80, 'x');
        QTest::newRow("cancel") << int(TPasswordButton::mbCancel) << "nytt" << 3 << 0 << 8 << 0 << qint64(0) << "";
        QTest::newRow("cancel all") << int(TPasswordButton::mbCancelAll) << "nytt" << 3 << 0 << 0 << 0 << qint64(0)
                                    << "";
        QTest::newRow("abort") << int(TPasswordButton::mbAbort) << "" << 3 << -1 << 8 << 0 << qint64(0) << "";
    }
    void passwordAnswers() {
        QFETCH(int, button);
        QFETCH(QString, given);
        QFETCH(int, repeatGiven);
        QFETCH(int, result);
        QFETCH(int, action);
        QFETCH(int, status);
        QFETCH(qint64, repeat);
        QFETCH(QString, text);
        TScript script;
        script.Set({{8, 0, 2, "sub/fil.txt"}});
        auto z = Archiver();
        z->OnPasswordError = [&](QObject*, bool isZip, QString& pw, const QString& file, quint32& count,
                                 TPasswordButton& b) {
            QVERIFY(isZip);
            QCOMPARE(file, QStringLiteral("sub\\fil.txt"));
            QCOMPARE(count, 2u);
            pw = given;
            count = quint32(repeatGiven);
            b = TPasswordButton(button);
        };
        z->Add();
        const TAnswer a = script.Answers().value(0);
        QCOMPARE(a.Result, result);
        QCOMPARE(a.Action, action);
        QCOMPARE(a.First, status);
        QCOMPARE(a.Second, repeat);
        QCOMPARE(a.Text, text);
    }

    void unattendedPasswordRequests_data() {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("code");
        QTest::newRow("for adding") << 1 << 10150;
        QTest::newRow("for extracting") << 0 << 10151;
    }
    void unattendedPasswordRequests() {
        QFETCH(int, first);
        QFETCH(int, code);
        TScript script;
        script.Set({{8, first, 1, "a"}});
        auto z = Archiver();
        QCOMPARE(z->Add(), code);
        const TAnswer a = script.Answers().value(0);
        QCOMPARE(a.First, 0);
        QCOMPARE(a.Second, qint64(0));
        QCOMPARE(a.Text, QString());
    }

    void passwordDialog() {
        TScript script;
        script.Set({{8, 1, 1, "a"}, {8, 1, 1, "b"}, {8, 0, 1, "c"}});
        auto z = Archiver();
        z->SetUnattended(false);
        QStringList entries{"hemlig", "hemlig", "x", "y", "ut"};
        QStringList prompts;
        UIServices::SetMessageHook([](const UIServices::TShownMessage&) { return UIServices::TMsgResult::OK; });
        UIServices::SetDialogHook([&](QDialog* d) {
            auto* dlg = qobject_cast<TPasswordDlg*>(d);
            QVERIFY(dlg);
            QCOMPARE(dlg->windowTitle(), QStringLiteral("Lösenord"));
            QCOMPARE(dlg->btnOK->text(), QStringLiteral("&Ja"));
            prompts << dlg->labelPrompt->text();
            QCOMPARE(dlg->editPassword->maxLength(), 80);
            dlg->editPassword->setText(entries.takeFirst());
            dlg->btnOK->click();
        });
        z->Add();
        const QList<TAnswer> a = script.Answers();
        QCOMPARE(prompts,
                 (QStringList{"Ange lösenord ", "Bekräfta lösenord ", "Ange lösenord ", "Bekräfta lösenord ",
                              "Ange lösenord "}));
        QCOMPARE(a.value(0).Text, QStringLiteral("hemlig"));
        QCOMPARE(a.value(1).Text, QString());  // the two entries differ
        QCOMPARE(a.value(2).Text, QStringLiteral("ut"));
        QCOMPARE(z->ErrCode(), 10104);
    }

    void passwordDialogScreenshot() {
        TPasswordDlg dlg(nullptr, TPasswordDlg::pwbCancel | TPasswordDlg::pwbCancelAll);
        dlg.setWindowTitle("Lösenord");
        dlg.labelPrompt->setText("Ange lösenord ");
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        const QImage shot = dlg.grab().toImage();
        QVERIFY(shot.save(testsupport::ArtefactDir() + "/zip_password_dialog.png"));
        for (QPushButton* b : {dlg.btnOK, dlg.btnCancel, dlg.btnCancelAll}) QVERIFY(dlg.rect().contains(b->geometry()));
    }

    void decisions() {
        TScript script;
        script.Set({{9, 0x1111, 0x2222, "a.txt"},
                    {10, 0x10005, 1, "b.txt"},
                    {11, 0x0107, 4, "c.txt"},
                    {7, 0, 0, "d.txt"},
                    {12, 0, 0, "e.txt"},
                    {13, 0, 1000, ""},
                    {3, 7, 0, ""},
                    {5, 2, 3, ""},
                    {6, 0, qint64(6) << 32, ""},
                    {14, 0, 0, ""},
                    {99, 0, 0, ""}});
        auto z = Archiver();
        QStringList seen;
        z->OnCRC32Error = [&](QObject*, const QString& f, quint32 found, quint32 expected, bool& doExtract) {
            seen << QString("crc %1 %2 %3").arg(f).arg(found, 0, 16).arg(expected, 0, 16);
            doExtract = false;
        };
        z->OnExtractOverwrite = [&](QObject*, const QString& f, bool older, bool& doOverwrite, int index) {
            seen << QString("overwrite %1 %2 %3 %4").arg(f).arg(older).arg(doOverwrite).arg(index);
            doOverwrite = false;
        };
        z->OnExtractSkipped = [&](QObject*, const QString& f, UnZipSkipTypes t, int err) {
            seen << QString("skipped %1 %2 %3").arg(f).arg(int(t)).arg(err);
        };
        z->OnSetNewName = [&](QObject*, QString& name, bool& changed) {
            name = "nytt/" + name;
            changed = true;
        };
        z->OnFileComment = [&](QObject*, const QString&, QString& comment, bool& changed) {
            comment = "kommentar";
            changed = true;
        };
        z->OnProgress = [&](QObject*, ProgressType t, const QString& text, quint32 size) {
            seen << QString("progress %1 '%2' %3").arg(int(t)).arg(text).arg(size);
        };
        QCOMPARE(z->Add(), 7);
        QCOMPARE(seen,
                 (QStringList{"crc a.txt 1111 2222", "overwrite b.txt 1 1 5", "skipped c.txt 3 263",
                              "progress 2 'Progress 7' 0", "progress 3 'Copy file' 3", "progress 4 '' 4294967295"}));
        QCOMPARE(z->TotalSizeToProcess(), qint64(6) << 32);
        const QList<TAnswer> a = script.Answers();
        QCOMPARE(a[0].First, 0);
        QCOMPARE(a[1].Second, qint64(0));
        QCOMPARE(a[3].First, 1);
        QCOMPARE(a[3].Text, QStringLiteral("nytt/d.txt"));
        QCOMPARE(a[4].First, 1);
        QCOMPARE(a[4].Second, qint64(9));
        QCOMPARE(a[4].Text, QStringLiteral("kommentar"));
        QCOMPARE(a[5].Second, qint64(reinterpret_cast<quintptr>(z->ZipStream().data())));
        QCOMPARE(z->ZipStream().size(), 1000);
    }

    void defaultsWithoutHandlers() {
        TScript script;
        script.Set({{9, 1, 2, "a"}, {10, 5, 1, "b"}, {7, 0, 0, "c"}});
        auto z = Archiver();
        QCOMPARE(z->Add(), 0);
        const QList<TAnswer> a = script.Answers();
        QCOMPARE(a[0].First, 2);  // no CRC handler
        QCOMPARE(a[1].Second, qint64(1));  // the module's default stays
        QCOMPARE(a[2].First, 0);
    }

    void afterCallbackCanAbort() {
        TScript script;
        script.Set({{0, 0, 0, ""}, {0, 0, 0, ""}});
        auto z = Archiver();
        int ticks = 0, after = 0;
        z->OnTick = [&](QObject*) { ++ticks; };
        z->OnAfterCallback = [&](QObject*, bool& abort) {
            QVERIFY(!abort || after == 1);
            abort = ++after == 1;
        };
        z->Add();
        QCOMPARE(ticks, 2);
        QCOMPARE(script.Answers().value(0).Result, -1);
    }

    void messageTexts_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("text");
        QTest::newRow("resource") << 10204 << "Varning - Skräp i slutet av zipfilen!";
        QTest::newRow("old library") << 10705 << "Old Dll from ";
        QTest::newRow("no sfx") << 10804 << "SFX not supported";
        QTest::newRow("no span") << 11048 << "Span not supported";
        QTest::newRow("missing")
            << 10999 << "ZipMsgXX.res is probably not linked to the executable\nMissing String ID is: 10999";
    }
    void messageTexts() {
        QFETCH(int, id);
        QFETCH(QString, text);
        QCOMPARE(zipmsg::ZipMessage(id), text);
        QCOMPARE(EZipArchiver(id).Message(), text);
        QCOMPARE(EZipArchiver(id).ResId(), id);
        auto z = MakeArchiver();
        z->ShowZipMessage(id, "!");
        QCOMPARE(z->Message(), text + "!");
        QCOMPARE(z->ErrCode(), id);
    }

    void resourceTable() {
        // Every id of the table has its Swedish text; the formatted ones fill their field.
        QList<int> ids{10101, 10102, 10103, 10104, 10105, 10140, 10141, 10142, 10143, 10150, 10151, 10152,
                       10153, 10154, 10155, 10156, 10180, 10181, 10182, 10183, 10184, 10185, 10201, 10202,
                       10203, 10204, 10301, 10302, 10303, 10304, 10401, 10501, 10502, 10503, 10601, 10602,
                       10603, 10604, 10701, 10702, 10703, 10704, 10801, 10802, 10803, 10901, 10902, 10903};
        for (int id = 11001; id <= 11047; ++id) ids << id;
        for (int id : ids) QVERIFY2(!zipmsg::ResourceText(id).isEmpty(), qPrintable(QString::number(id)));
        for (int id : {10605, 10705, 10804, 10157, 10158}) QVERIFY(zipmsg::ResourceText(id).isEmpty());
        QCOMPARE(EZipArchiver(10304, 5).Message(),
                 QStringLiteral("Fel 5 inträffade vid ett automatiskt skapande av SFX."));
        QCOMPARE(EZipArchiver(11038, 3).Message(),
                 QStringLiteral("Det här är den 3 disketten i en samling,\nsätt in den sista i samlingen"));
    }
};

QTEST_MAIN(TestZipCallback)
#include "tst_zipcallback.moc"
