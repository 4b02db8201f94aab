#include <QtTest>
#include <QProcess>

#include <sys/mount.h>
#include <unistd.h>

#include "platform/AtomicFile.h"
#include "support/TestSupport.h"

namespace {

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QString failureText(const QString& file) {
    return QString::fromUtf8(AtomicFileFailedText).arg(QDir::toNativeSeparators(file));
}

// A small tmpfs for as long as it lives, when the machine allows one (root, mount works).
struct SmallTmpfs {
    QTemporaryDir dir;
    bool mounted = false;
    QString why;
    explicit SmallTmpfs(const char* size) {
        if (::geteuid() != 0) {
            why = QStringLiteral("a tmpfs can only be mounted as root");
            return;
        }
        const QByteArray options = QByteArray("size=") + size;
        mounted = ::mount("tmpfs", QFile::encodeName(dir.path()).constData(), "tmpfs", 0, options.constData()) == 0;
        if (!mounted) why = QStringLiteral("mount -t tmpfs failed: %1").arg(QString::fromLocal8Bit(strerror(errno)));
    }
    ~SmallTmpfs() {
        if (mounted) ::umount2(QFile::encodeName(dir.path()).constData(), MNT_DETACH);
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    // Fills the file system up to its last byte.
    void fill() const {
        QFile filler(path("filler"));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return;
        const QByteArray block(4096, 'f');
        while (filler.write(block) > 0) {}
        const QByteArray one(1, 'f');
        while (filler.write(one) > 0) {}
    }
};

}  // namespace

class TestAtomicFile : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    void cleanup() { AtomicFileFaults::Clear(); }

    void writesAndReplaces() {
        const QString file = path("new/folder/a.txt");
        WriteFileAtomically(file, "första");
        QCOMPARE(testsupport::ReadBytes(file), QByteArray("första"));
        QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        WriteFileAtomically(file, "andra");
        QCOMPARE(testsupport::ReadBytes(file), QByteArray("andra"));
        QCOMPARE(QFile::permissions(file),
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser);
        QCOMPARE(entries(path("new/folder")), QStringList{"a.txt"});
    }

    void linkStaysALink() {
        const QString real = path("real.txt");
        const QString link = path("link.txt");
        QVERIFY(testsupport::WriteBytes(real, "gammal"));
        QVERIFY(QFile::link(real, link));
        WriteFileAtomically(link, "ny");
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(testsupport::ReadBytes(real), QByteArray("ny"));
    }

    void failedStepLeavesTheOldFile_data() {
        QTest::addColumn<TWriteStep>("step");
        QTest::addColumn<int>("skip");
        QTest::newRow("open") << TWriteStep::Open << 0;
        QTest::newRow("first write") << TWriteStep::Write << 0;
        QTest::newRow("third write") << TWriteStep::Write << 2;
        QTest::newRow("flush") << TWriteStep::Flush << 0;
        QTest::newRow("commit") << TWriteStep::Commit << 0;
        QTest::newRow("rename") << TWriteStep::Rename << 0;
    }
    void failedStepLeavesTheOldFile() {
        QFETCH(TWriteStep, step);
        QFETCH(int, skip);
        const QString folder = path(QTest::currentDataTag());
        const QString file = folder + "/data.bin";
        const QByteArray old(5000, 'o');
        QVERIFY(testsupport::WriteBytes(file, old));

        AtomicFileFaults::FailNext(step, skip);
        const QString error = testsupport::ExceptionText([&] {
            TAtomicFile out(file);
            out.Open();
            for (int i = 0; i < 4; ++i) out.Write(QByteArray(3000, char('a' + i)));
            out.Commit();
        });
        QVERIFY2(error.startsWith(failureText(file)), qPrintable(error));
        QCOMPARE(testsupport::ReadBytes(file), old);
        QCOMPARE(entries(folder), QStringList{"data.bin"});  // no temporary file left
        // The fault was used up: the next write goes through.
        WriteFileAtomically(file, "ny");
        QCOMPARE(testsupport::ReadBytes(file), QByteArray("ny"));
    }

    // Made in place where nothing is: no temporary file, the target itself is written; where
    // anything is (a file, a link), the usual temporary file, and a link is not followed.
    void createInPlace_data() {
        QTest::addColumn<QString>("present");
        QTest::addColumn<bool>("inPlace");
        QTest::newRow("nothing") << QString() << true;
        QTest::newRow("a file") << QStringLiteral("file") << false;
        QTest::newRow("a link") << QStringLiteral("link") << false;
        QTest::newRow("a dangling link") << QStringLiteral("dangling") << false;
    }
    void createInPlace() {
        QFETCH(QString, present);
        QFETCH(bool, inPlace);
        const QString folder = path(QStringLiteral("inplace-") + QTest::currentDataTag());
        QVERIFY(QDir().mkpath(folder));
        const QString file = folder + "/entry.txt";
        const QString other = folder + "/other.txt";
        if (present == "file") QVERIFY(testsupport::WriteBytes(file, "gammal"));
        if (present == "link") {
            QVERIFY(testsupport::WriteBytes(other, "annan"));
            QVERIFY(QFile::link(other, file));
        }
        if (present == "dangling") QVERIFY(QFile::link(folder + "/gone.txt", file));

        TAtomicFile out(file);
        out.SetFollowLink(false);
        out.SetCreateInPlace(true);
        out.SetModificationTime(QDateTime(QDate(2020, 5, 17), QTime(12, 0), Qt::UTC));
        out.Open();
        QCOMPARE(out.TemporaryName() == QFileInfo(file).absoluteFilePath(), inPlace);
        out.Write("ny");
        out.Commit();
        QCOMPARE(testsupport::ReadBytes(file), QByteArray("ny"));
        QVERIFY(!QFileInfo(file).isSymLink());
        QCOMPARE(QFileInfo(file).lastModified().toUTC(), QDateTime(QDate(2020, 5, 17), QTime(12, 0), Qt::UTC));
        if (present == "link") QCOMPARE(testsupport::ReadBytes(other), QByteArray("annan"));
        QStringList expected{"entry.txt"};
        if (present == "link") expected << "other.txt";
        QCOMPARE(entries(folder), expected);
    }

    // A file made in place goes again at any failed step, and when it is dropped.
    void failedStepRemovesAFileMadeInPlace_data() {
        QTest::addColumn<TWriteStep>("step");
        QTest::addColumn<bool>("cancel");
        QTest::newRow("write") << TWriteStep::Write << false;
        QTest::newRow("flush") << TWriteStep::Flush << false;
        QTest::newRow("commit") << TWriteStep::Commit << false;
        QTest::newRow("rename") << TWriteStep::Rename << false;
        QTest::newRow("dropped") << TWriteStep::Open << true;
    }
    void failedStepRemovesAFileMadeInPlace() {
        QFETCH(TWriteStep, step);
        QFETCH(bool, cancel);
        const QString folder = path(QStringLiteral("inplace-fault-") + QTest::currentDataTag());
        QVERIFY(QDir().mkpath(folder));
        const QString file = folder + "/entry.bin";
        if (cancel) {
            TAtomicFile out(file);
            out.SetCreateInPlace(true);
            out.Open();
            out.Write(QByteArray(3000, 'a'));
        } else {
            AtomicFileFaults::FailNext(step);
            const QString error = testsupport::ExceptionText([&] {
                TAtomicFile out(file);
                out.SetCreateInPlace(true);
                out.Open();
                out.Write(QByteArray(3000, 'a'));
                out.Commit();
            });
            QVERIFY2(error.startsWith(failureText(file)), qPrintable(error));
        }
        QCOMPARE(entries(folder), QStringList());
    }

    void ownFailureTextNamesTheFile() {
        const QString file = path("own.txt");
        AtomicFileFaults::FailNext(TWriteStep::Flush);
        QCOMPARE(testsupport::ExceptionText([&] { WriteFileAtomically(file, "x", "Bilden \"%1\" sparades inte"); }),
                 QStringLiteral("Bilden \"%1\" sparades inte (disken är full)").arg(QDir::toNativeSeparators(file)));
        QVERIFY(!QFileInfo::exists(file));
    }

    void copyKeepsTimeAndPermissions() {
        const QString from = path("copy/source.bin");
        const QString to = path("copy/target.bin");
        QVERIFY(testsupport::WriteBytes(from, QByteArray(200000, 's')));
        const QDateTime when(QDate(2019, 5, 17), QTime(10, 20, 30));
        {
            QFile f(from);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(when, QFileDevice::FileModificationTime));
        }
        QVERIFY(QFile::setPermissions(from, QFileDevice::ReadOwner | QFileDevice::ReadUser | QFileDevice::ReadGroup));
        CopyFileAtomically(from, to);
        QCOMPARE(testsupport::ReadBytes(to), QByteArray(200000, 's'));
        QCOMPARE(QFileInfo(to).lastModified(), when);
        QCOMPARE(QFile::permissions(to), QFile::permissions(from));
        QCOMPARE(testsupport::ExceptionText([&] { CopyFileAtomically(path("copy/missing"), to); }),
                 QStringLiteral("Filen \"%1\" kunde inte läsas.").arg(QDir::toNativeSeparators(path("copy/missing"))));
    }

    // A real full disk: the write is refused and the file keeps every byte.
    void fullDiskLeavesTheOldFile() {
        SmallTmpfs fs("64k");
        if (!fs.mounted) QSKIP(qPrintable(fs.why));
        const QString file = fs.path("settings.ini");
        const QByteArray old(3000, 'o');
        WriteFileAtomically(file, old);
        fs.fill();
        const QString error = testsupport::ExceptionText([&] { WriteFileAtomically(file, QByteArray(20000, 'n')); });
        QCOMPARE(error, failureText(file) + " (disken är full)");
        QCOMPARE(testsupport::ReadBytes(file), old);
        QCOMPARE(entries(fs.dir.path()), (QStringList{"filler", "settings.ini"}));
    }
};

QTEST_GUILESS_MAIN(TestAtomicFile)
#include "tst_atomicfile.moc"
