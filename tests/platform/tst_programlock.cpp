#include <QtTest>
#include <QProcess>

#include <csignal>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/ProgramLock.h"
#include "support/TestSupport.h"

// Run with MYKO_LOCK_HOLDER=<folder>, this executable takes the lock, says "locked" (or
// "refused"), and holds the lock until its input closes: a second program for the tests.
static int holdLock(const QString& folder) {
    TProgramLock lock(folder);
    const bool ok = lock.TryLock() == TProgramLock::TResult::Locked;
    QTextStream out(stdout);
    out << (ok ? "locked" : "refused") << Qt::endl;
    if (!ok) return 3;
    QTextStream in(stdin);
    in.readLine();
    return 0;
}

class TestProgramLock : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString dbFolder() const { return m_dir.path() + "/Data/Db/"; }

    // Starts a holder on folder and waits for its first word.
    std::unique_ptr<QProcess> startHolder(const QString& folder, QByteArray* word) {
        auto proc = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("MYKO_LOCK_HOLDER", folder);
        proc->setProcessEnvironment(env);
        proc->start(QCoreApplication::applicationFilePath(), QStringList());
        if (!proc->waitForStarted(10000)) return proc;
        while (!proc->canReadLine() && proc->waitForReadyRead(10000)) {}
        *word = proc->readLine().trimmed();
        return proc;
    }

private Q_SLOTS:
    void firstCopyLocksSecondIsRefused() {
        TProgramLock first(dbFolder());
        QCOMPARE(first.TryLock(), TProgramLock::TResult::Locked);
        QVERIFY(QFileInfo::exists(dbFolder() + TProgramLock::LockFileName()));
        // Asking again in the copy that holds it is no refusal.
        QCOMPARE(first.TryLock(), TProgramLock::TResult::Locked);

        TProgramLock second(dbFolder());
        QCOMPARE(second.TryLock(), TProgramLock::TResult::HeldByOther);
        QVERIFY(!second.IsLocked());
        // The refused copy leaves the first one's lock alone, also when it is destroyed.
        QVERIFY(first.IsLocked());
        {
            TProgramLock third(dbFolder());
            QCOMPARE(third.TryLock(), TProgramLock::TResult::HeldByOther);
        }
        QVERIFY(QFileInfo::exists(dbFolder() + TProgramLock::LockFileName()));
        QCOMPARE(second.TryLock(), TProgramLock::TResult::HeldByOther);

        first.Unlock();
        QVERIFY(!QFileInfo::exists(dbFolder() + TProgramLock::LockFileName()));
        QCOMPARE(second.TryLock(), TProgramLock::TResult::Locked);
    }

    void anotherProgramHoldsTheLock() {
        const QString folder = m_dir.path() + "/other/Data/Db/";
        QByteArray word;
        auto holder = startHolder(folder, &word);
        QCOMPARE(word, QByteArray("locked"));

        TProgramLock mine(folder);
        QCOMPARE(mine.TryLock(), TProgramLock::TResult::HeldByOther);

        // When the other program ends normally the lock is free again.
        holder->closeWriteChannel();
        QVERIFY(holder->waitForFinished(10000));
        QCOMPARE(holder->exitCode(), 0);
        QCOMPARE(mine.TryLock(), TProgramLock::TResult::Locked);

        // And while this one holds it, another program is refused.
        auto refused = startHolder(folder, &word);
        QCOMPARE(word, QByteArray("refused"));
        QVERIFY(refused->waitForFinished(10000));
        QCOMPARE(refused->exitCode(), 3);
        QVERIFY(mine.IsLocked());
    }

    // A copy that crashed leaves its lock file behind; the next start takes it over.
    void lockOfACrashedCopyIsTakenOver() {
        const QString folder = m_dir.path() + "/crashed/Data/Db/";
        QByteArray word;
        auto holder = startHolder(folder, &word);
        QCOMPARE(word, QByteArray("locked"));
        ::kill(pid_t(holder->processId()), SIGKILL);
        QVERIFY(holder->waitForFinished(10000));
        QVERIFY(QFileInfo::exists(folder + TProgramLock::LockFileName()));

        TProgramLock next(folder);
        QCOMPARE(next.TryLock(), TProgramLock::TResult::Locked);
    }

    // Whatever a lock file holds, only a running program holds the lock.
    void leftOverLockFileNeverLocksOut_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("garbage") << QByteArray("\x01\xff garbage\nmore\n");
        QTest::newRow("dead process") << QByteArray("999999\nsomehost\nMykotekshallen\n");
        QTest::newRow("this process") << QByteArray::number(QCoreApplication::applicationPid()) + "\n";
    }
    void leftOverLockFileNeverLocksOut() {
        QFETCH(QByteArray, content);
        const QString folder = m_dir.path() + "/left/" + QTest::currentDataTag() + "/";
        QVERIFY(testsupport::WriteBytes(folder + TProgramLock::LockFileName(), content));
        TProgramLock lock(folder);
        QCOMPARE(lock.TryLock(), TProgramLock::TResult::Locked);
        // And held now: a second copy is refused until it is released.
        TProgramLock second(folder);
        QCOMPARE(second.TryLock(), TProgramLock::TResult::HeldByOther);
        lock.Unlock();
        QCOMPARE(second.TryLock(), TProgramLock::TResult::Locked);
    }

    void messagesNameTheFolderAndFile() {
        const QString refused = TProgramLock::RefusedMessage("/hem/greta/Mykotekshallen/");
        // The path on a line of its own, so that a box does not break it.
        QVERIFY(
            refused.startsWith("Mykotekshallen är redan startad från programmappen\n\"/hem/greta/Mykotekshallen/\"\n"));
        QVERIFY(refused.contains("låsfilen"));
        const QString notPossible = TProgramLock::NotPossibleMessage("/hem/greta/Data/Db/Mykotekshallen.lock");
        QVERIFY(notPossible.contains("\n\"/hem/greta/Data/Db/Mykotekshallen.lock\"\nkunde inte skapas"));
        QVERIFY(notPossible.contains("startas inte"));
    }

    // Needs a user whom file permissions bind. Run as root (as CI runs), the check runs in a
    // child process that has given root up for the user nobody.
    void unwritableFolderIsNotARefusal_asNonRootUser() {
        if (::geteuid() != 0) {
            QCOMPARE(lockInReadOnlyFolder(m_dir.path()), TProgramLock::TResult::NotPossible);
            return;
        }
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            const uid_t nobody = 65534;
            if (::setgroups(0, nullptr) != 0 || ::setresgid(nobody, nobody, nobody) != 0 ||
                ::setresuid(nobody, nobody, nobody) != 0 || ::geteuid() != nobody)
                ::_exit(2);
            QTemporaryDir own(QStringLiteral("/tmp/myko-lock-XXXXXX"));
            if (!own.isValid()) ::_exit(3);
            const bool refused = lockInReadOnlyFolder(own.path()) == TProgramLock::TResult::NotPossible;
            own.remove();
            ::_exit(refused ? 0 : 1);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        // 2: root could not be given up; 3: nobody has no temporary folder; 1: the lock was taken.
        QCOMPARE(WEXITSTATUS(status), 0);
    }

private:
    static TProgramLock::TResult lockInReadOnlyFolder(const QString& folder) {
        const QString parent = folder + "/readonly";
        if (!QDir().mkpath(parent)) return TProgramLock::TResult::Locked;
        QFile::setPermissions(parent, QFile::ReadOwner | QFile::ExeOwner);
        TProgramLock lock(parent + "/Data/Db/");
        const TProgramLock::TResult result = lock.TryLock();
        QFile::setPermissions(parent, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return result;
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString holder = qEnvironmentVariable("MYKO_LOCK_HOLDER");
    if (!holder.isEmpty()) return holdLock(holder);
    TestProgramLock test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_programlock.moc"
