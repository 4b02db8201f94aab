#include <QtTest>

#include "core/PendingFile.h"
#include "platform/AtomicFile.h"
#include "support/TestSupport.h"

class TestPendingFile : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QStringList files(const QString& folder) const { return QDir(folder).entryList(QDir::Files | QDir::Hidden); }

private Q_SLOTS:
    void changeWaitsForCommit_data() {
        QTest::addColumn<bool>("remove");
        QTest::addColumn<bool>("commit");
        QTest::newRow("new content, committed") << false << true;
        QTest::newRow("new content, record not stored") << false << false;
        QTest::newRow("removal, committed") << true << true;
        QTest::newRow("removal, record not stored") << true << false;
    }
    void changeWaitsForCommit() {
        QFETCH(bool, remove);
        QFETCH(bool, commit);
        const QString folder = path(QTest::currentDataTag());
        const QString target = folder + "/US1.jpg";
        QVERIFY(testsupport::WriteBytes(target, "gammal bild"));
        {
            TPendingFile pending;
            if (remove)
                pending.Remove(target);
            else
                pending.Write(target, "ny bild");
            QVERIFY(pending.Pending());
            QCOMPARE(testsupport::ReadBytes(target), QByteArray("gammal bild"));
            if (commit) {
                pending.Commit();
                QVERIFY(!pending.Pending());
            }
        }
        if (!commit)
            QCOMPARE(testsupport::ReadBytes(target), QByteArray("gammal bild"));
        else if (remove)
            QVERIFY(!QFileInfo::exists(target));
        else
            QCOMPARE(testsupport::ReadBytes(target), QByteArray("ny bild"));
        // Nothing but the target is left in the folder.
        QCOMPARE(files(folder), QFileInfo::exists(target) ? QStringList{"US1.jpg"} : QStringList{});
    }

    void newFileInANewFolder() {
        TPendingFile pending;
        pending.Write(path("Data/Pics/ContactPics/US2.jpg"), QByteArray(100000, 'x'));
        QVERIFY(!QFileInfo::exists(path("Data/Pics/ContactPics/US2.jpg")));
        pending.Commit();
        QCOMPARE(QFileInfo(path("Data/Pics/ContactPics/US2.jpg")).size(), 100000);
    }

    void failedWriteOrRenameKeepsTheOldFile_data() {
        QTest::addColumn<TWriteStep>("step");
        QTest::newRow("write") << TWriteStep::Write;
        QTest::newRow("flush") << TWriteStep::Flush;
        QTest::newRow("commit") << TWriteStep::Commit;
        QTest::newRow("rename") << TWriteStep::Rename;
    }
    void failedWriteOrRenameKeepsTheOldFile() {
        QFETCH(TWriteStep, step);
        const QString folder = path(QStringLiteral("fault-%1").arg(QTest::currentDataTag()));
        const QString target = folder + "/US4.jpg";
        QVERIFY(testsupport::WriteBytes(target, "gammal bild"));
        TPendingFile pending;
        AtomicFileFaults::FailNext(step);
        const QString error = testsupport::ExceptionText([&] {
            pending.Write(target, QByteArray(70000, 'n'));
            pending.Commit();
        });
        AtomicFileFaults::Clear();
        QVERIFY2(error.startsWith(QStringLiteral("Filen \"%1\" kunde inte sparas").arg(target)), qPrintable(error));
        QVERIFY(!pending.Pending());
        QCOMPARE(testsupport::ReadBytes(target), QByteArray("gammal bild"));
        QCOMPARE(files(folder), QStringList{"US4.jpg"});
    }

    void unwritableTargetIsReported() {
        // A folder that cannot be made: a file stands where it would go.
        QVERIFY(testsupport::WriteBytes(path("blocked"), "fil"));
        TPendingFile pending;
        const QString target = path("blocked/US3.jpg");
        QCOMPARE(
            testsupport::ExceptionText([&] { pending.Write(target, "bild", "Bilden kunde inte sparas i \"%1\""); }),
            QStringLiteral("Bilden kunde inte sparas i \"%1\"").arg(QDir::toNativeSeparators(target)));
        QVERIFY(!pending.Pending());
        pending.Commit();  // nothing waits: nothing happens
        QCOMPARE(testsupport::ReadBytes(path("blocked")), QByteArray("fil"));
    }

    void laterWriteReplacesTheWaitingOne() {
        const QString target = path("twice.jpg");
        TPendingFile pending;
        pending.Write(target, "första");
        pending.Write(target, "andra");
        TPendingFile moved = std::move(pending);
        moved.Commit();
        QCOMPARE(testsupport::ReadBytes(target), QByteArray("andra"));
        QCOMPARE(files(m_dir.path()).filter("twice"), QStringList{"twice.jpg"});
    }
};

QTEST_GUILESS_MAIN(TestPendingFile)
#include "tst_pendingfile.moc"
