#include <QtTest>
#include "support/TestSupport.h"
#include <QBuffer>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/MyUtils.h"
#include "platform/AtomicFile.h"

namespace {

QByteArray readBytes(const QString& path) { return testsupport::ReadBytes(path); }

void writeBytes(const QString& path, const QByteArray& bytes) { QVERIFY(testsupport::WriteBytes(path, bytes)); }

void setModified(const QString& path, const QDateTime& when) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.setFileTime(when, QFileDevice::FileModificationTime));
}

QString failureOf(const std::function<void()>& action) { return testsupport::FailureText(action); }

QByteArray le32(qint32 v) {
    QByteArray b(4, 0);
    for (int i = 0; i < 4; ++i) b[i] = char((quint32(v) >> (8 * i)) & 0xFF);
    return b;
}

QByteArray stringRecord(const QByteArray& text) { return le32(qint32(text.size())) + text; }

QByteArray fileRecord(const QByteArray& content, qint32 stamp) {
    return stringRecord("BOFFILE") + le32(qint32(content.size())) + le32(stamp) + content + stringRecord("EOFFILE");
}

QStringList filesUnder(const QString& root) {
    QStringList all;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) all.append(it.next().mid(root.size() + 1));
    all.sort();
    return all;
}

// Runs the action as a user without special rights (a forked child that gives up root, so
// that folder permissions count) and gives its failure text, empty on success.
QString failureWithoutRoot(const std::function<void()>& action) {
    if (::geteuid() != 0) return failureOf(action);
    int fds[2];
    if (::pipe(fds) != 0) return QStringLiteral("<pipe>");
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        QByteArray text;
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            text = "<setuid>";
        else
            text = failureOf(action).toUtf8();
        if (::write(fds[1], text.constData(), size_t(text.size())) < 0) _exit(2);
        _exit(0);
    }
    ::close(fds[1]);
    QByteArray text;
    char buffer[512];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return QString::fromUtf8(text);
}

// Every file below Root with its content.
QMap<QString, QByteArray> contentsUnder(const QString& root) {
    QMap<QString, QByteArray> all;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        all.insert(file.mid(root.size() + 1), readBytes(file));
    }
    return all;
}

const QString kLoadFileError = QStringLiteral("Error in StreamLoadFile. \"BOFFILE\" / \"EOFFILE\" not found!");

}  // namespace

class TestMyUtils : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

    // src/ with a hidden file, two levels of subfolders and two links to things outside it.
    QString makeTree(const QString& name) {
        const QString root = path(name);
        QDir(root).removeRecursively();
        writeBytes(root + "/src/a.txt", "aaa");
        writeBytes(root + "/src/.hidden", "hh");
        writeBytes(root + "/src/sub/b.txt", "bbbb");
        writeBytes(root + "/src/sub/deep/c.txt", "ccccc");
        QDir().mkpath(root + "/src/empty");
        writeBytes(root + "/outside/o.txt", "outside");
        QFile::link(root + "/outside", root + "/src/linkdir");
        QFile::link(root + "/outside/o.txt", root + "/src/sub/linkfile");
        return root;
    }

private Q_SLOTS:
    // ---- Stream records ----

    void integersAreFourBytesLittleEndian_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("zero") << 0 << QByteArray::fromHex("00000000");
        QTest::newRow("order") << 0x01020304 << QByteArray::fromHex("04030201");
        QTest::newRow("negative") << -2 << QByteArray::fromHex("feffffff");
        QTest::newRow("lowest") << int(0x80000000) << QByteArray::fromHex("00000080");
    }
    void integersAreFourBytesLittleEndian() {
        QFETCH(int, value);
        QFETCH(QByteArray, bytes);
        QBuffer buffer;
        buffer.open(QIODevice::ReadWrite);
        StreamWriteInteger(buffer, value);
        QCOMPARE(buffer.data(), bytes);
        buffer.seek(0);
        QCOMPARE(StreamReadInteger(buffer), value);
    }

    void stringRecordsRead_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("failure");
        QTest::newRow("empty") << QByteArray::fromHex("00000000") << QString() << QString();
        QTest::newRow("text") << stringRecord("Kantarell") << "Kantarell" << QString();
        QTest::newRow("UTF-8") << stringRecord("Blödsopp") << "Blödsopp" << QString();
        QTest::newRow("65536 accepted") << stringRecord(QByteArray(65536, 'x')) << QString(65536, 'x') << QString();
        QTest::newRow("65537 refused") << stringRecord(QByteArray(65537, 'x')) << QString()
                                       << "Error in StreamLoadString. Invalid stringlength (65537)";
        QTest::newRow("negative") << le32(-1) + "abc" << QString()
                                  << "Error in StreamLoadString. Invalid stringlength (-1)";
        QTest::newRow("longer than the stream")
            << le32(10) + "abc" << QString() << "Error in StreamLoadString. Invalid stringlength (10)";
        QTest::newRow("huge") << le32(0x7fffffff) << QString()
                              << "Error in StreamLoadString. Invalid stringlength (2147483647)";
        QTest::newRow("length cut short")
            << QByteArray::fromHex("0100") << QString() << "Fel i StreamReadInteger. Oväntat slut på strömmen!";
    }
    void stringRecordsRead() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(QString, failure);
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QString got;
        QCOMPARE(failureOf([&] { got = StreamLoadString(buffer); }), failure);
        if (failure.isEmpty()) {
            QCOMPARE(got, text);
            QVERIFY(buffer.atEnd());
        }
    }

    void stringRecordsWrite() {
        QBuffer buffer;
        buffer.open(QIODevice::ReadWrite);
        StreamSaveString(buffer, QString());
        StreamSaveString(buffer, QStringLiteral("åä"));
        QCOMPARE(buffer.data(), QByteArray::fromHex("00000000") + stringRecord("åä"));
        // A record that could not be read back is not written at all.
        const qint64 before = buffer.size();
        QCOMPARE(failureOf([&] { StreamSaveString(buffer, QString(65537, 'x')); }),
                 QStringLiteral("Fel i StreamSaveString. Ogiltig stränglängd (65537)"));
        QCOMPARE(buffer.size(), before);
        StreamSaveString(buffer, QString(65536, 'y'));
        buffer.seek(before);
        QCOMPARE(StreamLoadString(buffer), QString(65536, 'y'));
    }

    void packedFileDate_data() {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<quint32>("stamp");
        QTest::addColumn<QDateTime>("back");
        const QDateTime summer(QDate(2021, 6, 15), QTime(10, 20, 31));
        QTest::newRow("two-second steps") << summer << 0x52CF528Fu << QDateTime(QDate(2021, 6, 15), QTime(10, 20, 30));
        QTest::newRow("first day") << QDateTime(QDate(1980, 1, 1), QTime(0, 0)) << 0x00210000u
                                   << QDateTime(QDate(1980, 1, 1), QTime(0, 0));
        QTest::newRow("before 1980 clamps")
            << QDateTime(QDate(1970, 5, 5), QTime(5, 5)) << 0x00210000u << QDateTime(QDate(1980, 1, 1), QTime(0, 0));
        QTest::newRow("last second") << QDateTime(QDate(2107, 12, 31), QTime(23, 59, 59)) << 0xFF9FBF7Du
                                     << QDateTime(QDate(2107, 12, 31), QTime(23, 59, 58));
    }
    void packedFileDate() {
        QFETCH(QDateTime, when);
        QFETCH(quint32, stamp);
        QFETCH(QDateTime, back);
        QCOMPARE(quint32(DateTimeToFileDate(when)), stamp);
        QCOMPARE(FileDateToDateTime(qint32(stamp)), back);
    }

    void invalidPackedDateGivesNoDate() {
        QVERIFY(!FileDateToDateTime(0).isValid());  // month 0
        QVERIFY(!FileDateToDateTime(0x0021C000).isValid());  // hour 24
    }

    void fileRecordRoundTripKeepsContentAndStamp() {
        QByteArray content;
        for (int i = 0; i < 200000; ++i) content += char(i * 7);
        const QString from = path("record/source.jpg");
        writeBytes(from, content);
        const QDateTime stamp(QDate(2019, 9, 7), QTime(14, 3, 12));
        setModified(from, stamp);

        QBuffer buffer;
        buffer.open(QIODevice::ReadWrite);
        StreamSaveFile(buffer, from);
        QCOMPARE(buffer.data(), fileRecord(content, DateTimeToFileDate(stamp)));
        QVERIFY(buffer.data().startsWith(QByteArray::fromHex("07000000") + "BOFFILE"));
        QVERIFY(buffer.data().endsWith(QByteArray::fromHex("07000000") + "EOFFILE"));

        buffer.seek(0);
        const QString to = path("record/copy.jpg");
        StreamLoadFile(buffer, to);
        QCOMPARE(readBytes(to), content);
        QCOMPARE(QFileInfo(to).lastModified(), stamp);
        QVERIFY(buffer.atEnd());
        QCOMPARE(filesUnder(path("record")), QStringList({"copy.jpg", "source.jpg"}));
    }

    void savingAMissingFileFails() {
        QBuffer buffer;
        buffer.open(QIODevice::ReadWrite);
        QCOMPARE(failureOf([&] { StreamSaveFile(buffer, path("no/such.file")); }),
                 QStringLiteral("Error in StreamSaveFile. File not found!"));
        QCOMPARE(failureOf([&] { StreamSaveFile(buffer, m_dir.path()); }),
                 QStringLiteral("Error in StreamSaveFile. File not found!"));
        QCOMPARE(buffer.size(), 0);
    }

    void damagedFileRecordLeavesTheTargetUntouched_data() {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = fileRecord("new content", 0x52CF528F);
        QTest::newRow("cut in the content") << good.left(11 + 8 + 5);
        QTest::newRow("cut before the end marker") << good.left(good.size() - 11);
        QTest::newRow("cut inside the end marker") << good.left(good.size() - 3);
        QTest::newRow("wrong end marker") << good.left(good.size() - 1) + "X";
        QTest::newRow("wrong begin marker") << stringRecord("BOFFILX") + good.mid(11);
        QTest::newRow("no begin marker") << QByteArray("garbage!garbage!garbage!");
        QTest::newRow("negative size") << stringRecord("BOFFILE") + le32(-5) + le32(0) + stringRecord("EOFFILE");
        QTest::newRow("size beyond the stream")
            << stringRecord("BOFFILE") + le32(1000000) + le32(0) + "abc" + stringRecord("EOFFILE");
        QTest::newRow("no stamp") << stringRecord("BOFFILE") + le32(0);
        QTest::newRow("empty stream") << QByteArray();
    }
    void damagedFileRecordLeavesTheTargetUntouched() {
        QFETCH(QByteArray, bytes);
        const QString folder = path("damaged");
        QDir(folder).removeRecursively();
        const QString target = folder + "/picture.jpg";
        writeBytes(target, "old content");
        const QDateTime stamp(QDate(2020, 2, 2), QTime(2, 2, 2));
        setModified(target, stamp);
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QCOMPARE(failureOf([&] { StreamLoadFile(buffer, target); }), kLoadFileError);
        QCOMPARE(readBytes(target), QByteArray("old content"));
        QCOMPARE(QFileInfo(target).lastModified(), stamp);
        QCOMPARE(filesUnder(folder), QStringList({"picture.jpg"}));
    }

    void fileRecordReplacesAnExistingTarget() {
        const QString target = path("replace/picture.jpg");
        writeBytes(target, "old content that is longer");
        QByteArray bytes = fileRecord("new", 0x52CF528F);
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        StreamLoadFile(buffer, target);
        QCOMPARE(readBytes(target), QByteArray("new"));
        QCOMPARE(QFileInfo(target).lastModified(), QDateTime(QDate(2021, 6, 15), QTime(10, 20, 30)));
    }

    void failedWriteOfAFileRecordLeavesTheTarget_data() {
        QTest::addColumn<TWriteStep>("step");
        QTest::newRow("write") << TWriteStep::Write;
        QTest::newRow("flush") << TWriteStep::Flush;
        QTest::newRow("commit") << TWriteStep::Commit;
        QTest::newRow("rename") << TWriteStep::Rename;
    }
    void failedWriteOfAFileRecordLeavesTheTarget() {
        QFETCH(TWriteStep, step);
        const QString folder = path("loadfail");
        QDir(folder).removeRecursively();
        const QString target = folder + "/picture.jpg";
        writeBytes(target, "old content");
        QByteArray bytes = fileRecord(QByteArray(100000, 'n'), 0x52CF528F);
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        AtomicFileFaults::FailNext(step);
        const QString error = failureOf([&] { StreamLoadFile(buffer, target); });
        AtomicFileFaults::Clear();
        QVERIFY2(error.startsWith(QString::fromUtf8(AtomicFileFailedText).arg(target)), qPrintable(error));
        QCOMPARE(readBytes(target), QByteArray("old content"));
        QCOMPARE(filesUnder(folder), QStringList({"picture.jpg"}));
    }

    // ---- Folder walker ----

    void countListsEveryFileAndChangesNothing() {
        const QString root = makeTree("count");
        const QStringList before = filesUnder(root);
        QStringList list;
        TFolderTotals totals;
        totals.List = &list;
        HandleFolders(root + "/src", QString(), totals, HF_COUNT | HF_RECURSIVE | HF_FOLDERS | HF_FILES);
        list.sort();
        QCOMPARE(list,
                 QStringList({root + "/src/.hidden", root + "/src/a.txt", root + "/src/sub/b.txt",
                              root + "/src/sub/deep/c.txt"}));
        QCOMPARE(totals.Files, 4);
        QCOMPARE(totals.Folders, 3);  // sub, sub/deep, empty; the linked folder is not one
        QCOMPARE(totals.Bytes, 14);
        QCOMPARE(filesUnder(root), before);

        TFolderTotals flat;
        HandleFolders(root + "/src/", QString(), flat, HF_COUNT | HF_FILES);
        QCOMPARE(flat.Files, 2);
        QCOMPARE(flat.Folders, 0);
        QCOMPARE(flat.Bytes, 5);

        TFolderTotals folders;
        HandleFolders(root + "/src", QString(), folders, HF_COUNT | HF_FOLDERS);
        QCOMPARE(folders.Files, 0);
        QCOMPARE(folders.Folders, 2);
    }

    void deleteEmptiesTheFolderAndNeverFollowsLinks() {
        const QString root = makeTree("delete");
        TFolderTotals totals;
        HandleFolders(root + "/src", QString(), totals, HF_DELETE | HF_RECURSIVE | HF_FOLDERS | HF_FILES);
        QVERIFY(QFileInfo(root + "/src").isDir());
        QCOMPARE(filesUnder(root + "/src"), QStringList());
        QCOMPARE(readBytes(root + "/outside/o.txt"), QByteArray("outside"));
        QCOMPARE(totals.Folders, 3);
        QCOMPARE(totals.Bytes, 14);
    }

    void deleteWithoutFilesLeavesFoldersThatHoldFiles() {
        const QString root = makeTree("deletefolders");
        TFolderTotals totals;
        HandleFolders(root + "/src", QString(), totals, HF_DELETE | HF_FOLDERS);
        QCOMPARE(filesUnder(root + "/src"),
                 QStringList({".hidden", "a.txt", "linkdir", "sub", "sub/b.txt", "sub/deep", "sub/deep/c.txt",
                              "sub/linkfile"}));
        QCOMPARE(readBytes(root + "/outside/o.txt"), QByteArray("outside"));
    }

    void copyCopiesTheTreeButNoLinks() {
        const QString root = makeTree("copy");
        writeBytes(root + "/dst/a.txt", "old and longer");
        const QDateTime stamp(QDate(2018, 3, 4), QTime(5, 6, 8));
        setModified(root + "/src/sub/b.txt", stamp);
        TFolderTotals totals;
        HandleFolders(root + "/src", root + "/dst", totals, HF_COPY | HF_RECURSIVE | HF_FOLDERS | HF_FILES);
        QCOMPARE(filesUnder(root + "/dst"),
                 QStringList({".hidden", "a.txt", "empty", "sub", "sub/b.txt", "sub/deep", "sub/deep/c.txt"}));
        QCOMPARE(readBytes(root + "/dst/a.txt"), QByteArray("aaa"));
        QCOMPARE(readBytes(root + "/dst/sub/deep/c.txt"), QByteArray("ccccc"));
        QCOMPARE(QFileInfo(root + "/dst/sub/b.txt").lastModified(), stamp);
        QCOMPARE(readBytes(root + "/src/a.txt"), QByteArray("aaa"));
        QCOMPARE(totals.Files, 4);
        QCOMPARE(totals.Folders, 3);

        // Without recursion only the top level's files and folders are made.
        TFolderTotals flat;
        HandleFolders(root + "/src", root + "/flat", flat, HF_COPY | HF_FOLDERS | HF_FILES);
        QCOMPARE(filesUnder(root + "/flat"), QStringList({".hidden", "a.txt", "empty", "sub"}));
    }

    void moveMovesTheTreeAndLeavesLinks() {
        const QString root = makeTree("move");
        TFolderTotals totals;
        HandleFolders(root + "/src", root + "/dst", totals, HF_MOVE | HF_RECURSIVE | HF_FOLDERS | HF_FILES);
        QCOMPARE(filesUnder(root + "/dst"),
                 QStringList({".hidden", "a.txt", "empty", "sub", "sub/b.txt", "sub/deep", "sub/deep/c.txt"}));
        // The links are skipped, so the folder holding one stays.
        QCOMPARE(filesUnder(root + "/src"), QStringList({"linkdir", "sub", "sub/linkfile"}));
        QCOMPARE(readBytes(root + "/outside/o.txt"), QByteArray("outside"));
    }

    void failedCopyNamesBothFiles() {
        const QString root = makeTree("copyfail");
        QDir().mkpath(root + "/dst/a.txt");  // a folder where the file should go
        TFolderTotals totals;
        const QString error =
            failureOf([&] { HandleFolders(root + "/src", root + "/dst", totals, HF_COPY | HF_FILES); });
        QCOMPARE(error,
                 QStringLiteral("Filen \"%1\" kunde inte kopieras till \"%2\"")
                     .arg(root + "/src/a.txt", root + "/dst/a.txt"));
        // A link standing where a file would be moved is never written through.
        QDir().mkpath(root + "/dst2");
        QFile::link(root + "/outside/o.txt", root + "/dst2/b.txt");
        const QString moveError =
            failureOf([&] { HandleFolders(root + "/src/sub", root + "/dst2", totals, HF_MOVE | HF_FILES); });
        QCOMPARE(moveError,
                 QStringLiteral("Filen \"%1\" kunde inte flyttas till \"%2\" (en symbolisk länk står där).")
                     .arg(root + "/src/sub/b.txt", root + "/dst2/b.txt"));
        QCOMPARE(readBytes(root + "/outside/o.txt"), QByteArray("outside"));
    }

    void copyThatFailsHalfwayKeepsEveryFile() {
        const QString root = makeTree("copyhalf");
        writeBytes(root + "/dst/sub/b.txt", "old b");
        const auto sourcesBefore = contentsUnder(root + "/src");
        TFolderTotals totals;
        // The second file copied fails in the middle of its write.
        AtomicFileFaults::FailNext(TWriteStep::Write, 1);
        const QString error = failureOf([&] {
            HandleFolders(root + "/src", root + "/dst", totals, HF_COPY | HF_RECURSIVE | HF_FOLDERS | HF_FILES);
        });
        AtomicFileFaults::Clear();
        QVERIFY2(error.startsWith(QStringLiteral("Filen \"%1/src/").arg(root)) &&
                     error.contains("kunde inte kopieras till") && error.endsWith("(disken är full)"),
                 qPrintable(error));
        QCOMPARE(contentsUnder(root + "/src"), sourcesBefore);
        // What arrived is whole; the file that failed is its old self; no temporary file.
        const auto arrived = contentsUnder(root + "/dst");
        for (auto it = arrived.cbegin(); it != arrived.cend(); ++it)
            if (it.key() != "sub/b.txt") QCOMPARE(it.value(), sourcesBefore.value(it.key()));
        QVERIFY(!arrived.contains("sub/b.txt") || arrived.value("sub/b.txt") == "old b" ||
                arrived.value("sub/b.txt") == "bbbb");
        for (const QString& name : arrived.keys()) QVERIFY2(!name.endsWith(".tmp"), qPrintable(name));
    }

    // A move to another file system copies; each source goes only after its copy is whole.
    void moveAcrossFileSystemsVerifiesEachCopy() {
        QTemporaryDir other(QStringLiteral("/dev/shm/myko-move-XXXXXX"));
        struct stat here {
        }, there{};
        if (!other.isValid() || ::stat(QFile::encodeName(m_dir.path()).constData(), &here) != 0 ||
            ::stat(QFile::encodeName(other.path()).constData(), &there) != 0 || here.st_dev == there.st_dev)
            QSKIP("no second file system (/dev/shm) to move to");
        for (int failing : {-1, 2}) {
            const QString root = makeTree(QStringLiteral("xmove%1").arg(failing));
            const QString dst = other.filePath(QStringLiteral("dst%1").arg(failing));
            const auto before = contentsUnder(root + "/src");
            TFolderTotals totals;
            if (failing >= 0) AtomicFileFaults::FailNext(TWriteStep::Flush, failing);
            const QString error = failureOf(
                [&] { HandleFolders(root + "/src", dst, totals, HF_MOVE | HF_RECURSIVE | HF_FOLDERS | HF_FILES); });
            AtomicFileFaults::Clear();
            QCOMPARE(error.isEmpty(), failing < 0);
            if (failing >= 0)
                QVERIFY2(error.contains("kunde inte flyttas till") && error.endsWith("(disken är full)"),
                         qPrintable(error));
            // Every file is whole in exactly one place.
            const auto left = contentsUnder(root + "/src");
            const auto arrived = contentsUnder(dst);
            for (auto it = before.cbegin(); it != before.cend(); ++it) {
                QVERIFY2(left.contains(it.key()) != arrived.contains(it.key()), qPrintable(it.key()));
                QCOMPARE(left.contains(it.key()) ? left.value(it.key()) : arrived.value(it.key()), it.value());
            }
            QCOMPARE(left.size() + arrived.size(), before.size());
            QCOMPARE(readBytes(root + "/outside/o.txt"), QByteArray("outside"));
        }
    }

    // A move to a file system that fills up: the move reports it, and no file is lost or
    // arrives cut short.
    void moveToAFullFileSystemLosesNothing() {
        QTemporaryDir target;
        if (::geteuid() != 0 ||
            ::mount("tmpfs", QFile::encodeName(target.path()).constData(), "tmpfs", 0, "size=96k") != 0)
            QSKIP("needs root and mount -t tmpfs for a small file system");
        const auto unmount = qScopeGuard([&] { ::umount2(QFile::encodeName(target.path()).constData(), MNT_DETACH); });
        const QString root = path("fullmove");
        QDir(root).removeRecursively();
        for (int i = 0; i < 6; ++i)
            writeBytes(root + QStringLiteral("/src/f%1.bin").arg(i), QByteArray(30000, char('a' + i)));
        const auto before = contentsUnder(root + "/src");
        TFolderTotals totals;
        const QString error =
            failureOf([&] { HandleFolders(root + "/src", target.path(), totals, HF_MOVE | HF_FILES); });
        QVERIFY2(error.contains("kunde inte flyttas till") && error.endsWith("(disken är full)"), qPrintable(error));
        const auto left = contentsUnder(root + "/src");
        const auto arrived = contentsUnder(target.path());
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            QVERIFY2(left.contains(it.key()) != arrived.contains(it.key()), qPrintable(it.key()));
            QCOMPARE(left.contains(it.key()) ? left.value(it.key()) : arrived.value(it.key()), it.value());
        }
        QVERIFY(!left.isEmpty() && !arrived.isEmpty());
    }

    // A folder the walk cannot list or remove is a failure, never an empty or handled folder.
    void unreadableOrStuckFoldersAreReported() {
        const QString root = makeTree("locked");
        for (const QString& folder : {root, root + "/src", root + "/src/sub", root + "/src/sub/deep", root + "/dst"}) {
            QDir().mkpath(folder);
            QVERIFY(QFile::setPermissions(folder, QFileDevice::Permissions(0x7777)));
        }
        QVERIFY(QFile::setPermissions(m_dir.path(), QFileDevice::Permissions(0x7755)));
        writeBytes(root + "/src/locked/secret.txt", "secret");
        QVERIFY(QFile::setPermissions(root + "/src/locked", QFileDevice::Permissions()));
        const QString unreadable = QStringLiteral("Mappen \"%1\" kunde inte läsas.").arg(root + "/src/locked/");
        for (const THandleFolderFlags op :
             {THandleFolderFlags(HF_COUNT), THandleFolderFlags(HF_COPY), THandleFolderFlags(HF_DELETE)}) {
            const QString error = failureWithoutRoot([&] {
                TFolderTotals totals;
                HandleFolders(root + "/src", root + "/dst", totals, op | HF_RECURSIVE | HF_FOLDERS | HF_FILES);
            });
            QCOMPARE(error, unreadable);
        }
        QVERIFY(QFile::setPermissions(root + "/src/locked", QFileDevice::Permissions(0x7777)));
        QCOMPARE(readBytes(root + "/src/locked/secret.txt"), QByteArray("secret"));

        // A folder that keeps a file it may not delete cannot be removed.
        writeBytes(root + "/src/stuck/kept.txt", "kept");
        QVERIFY(QFile::setPermissions(root + "/src/stuck", QFileDevice::Permissions(0x5555)));
        const QString error = failureWithoutRoot([&] {
            TFolderTotals totals;
            HandleFolders(root + "/src", QString(), totals, HF_DELETE | HF_RECURSIVE | HF_FOLDERS | HF_FILES);
        });
        QVERIFY(QFile::setPermissions(root + "/src/stuck", QFileDevice::Permissions(0x7777)));
        QCOMPARE(error, QStringLiteral("Mappen \"%1\" kunde inte tas bort.").arg(root + "/src/stuck"));
        QCOMPARE(readBytes(root + "/src/stuck/kept.txt"), QByteArray("kept"));
    }

    void linkGivenAsSourceIsRefused_data() {
        QTest::addColumn<int>("operation");
        QTest::newRow("delete") << int(HF_DELETE);
        QTest::newRow("move") << int(HF_MOVE);
    }
    void linkGivenAsSourceIsRefused() {
        QFETCH(int, operation);
        const QString root = makeTree(QStringLiteral("srclink%1").arg(operation));
        const QString link = root + "/link";
        QVERIFY(QFile::link(root + "/outside", link));
        TFolderTotals totals;
        const THandleFolderFlags flags = THandleFolderFlags(operation) | HF_RECURSIVE | HF_FOLDERS | HF_FILES;
        for (const QString& given : {link, link + "/"}) {
            QCOMPARE(failureOf([&] { HandleFolders(given, root + "/dst", totals, flags); }),
                     QStringLiteral("Mappen \"%1\" är en symbolisk länk och hanteras inte.").arg(given));
        }
        QCOMPARE(readBytes(root + "/outside/o.txt"), QByteArray("outside"));
        QVERIFY(QFileInfo(link).isSymLink());
    }

    void refusedCalls_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("dest");
        QTest::addColumn<int>("flags");
        QTest::addColumn<QString>("failure");
        const QString oneFlag =
            QStringLiteral("En mapp kan bara räknas, kopieras, raderas eller flyttas, en sak i taget.");
        const auto f = [](THandleFolderFlags flags) { return flags.toInt(); };
        // %1 is the source as given, %2 the destination.
        const QString equals = QStringLiteral("Mappen \"%1\" kan inte kopieras eller flyttas till sig själv.");
        const QString inside = QStringLiteral("Mappen \"%1\" kan inte kopieras eller flyttas in i sig själv (\"%2\").");
        QTest::newRow("copy and move") << "src"
                                       << "dst" << f(HF_COPY | HF_MOVE | HF_FILES) << oneFlag;
        QTest::newRow("delete and count") << "src"
                                          << "" << f(HF_DELETE | HF_COUNT) << oneFlag;
        QTest::newRow("no operation") << "src"
                                      << "dst" << f(HF_FILES | HF_FOLDERS) << oneFlag;
        QTest::newRow("copy onto itself") << "src"
                                          << "src/" << f(HF_COPY | HF_FILES) << equals;
        QTest::newRow("move onto itself") << "src/"
                                          << "src/sub/.." << f(HF_MOVE | HF_FILES) << equals;
        QTest::newRow("copy into itself") << "src"
                                          << "src/sub/new" << f(HF_COPY | HF_FILES) << inside;
        QTest::newRow("copy through a link into itself") << "src"
                                                         << "linkback/new" << f(HF_COPY | HF_FILES) << inside;
        QTest::newRow("no source") << ""
                                   << "dst" << f(HF_COUNT) << "Ingen mapp angavs att hantera.";
        QTest::newRow("count on itself") << "src"
                                         << "src" << f(HF_COUNT | HF_FILES) << "";
        QTest::newRow("delete on itself") << "src"
                                          << "src" << f(HF_DELETE) << "";
    }
    void refusedCalls() {
        QFETCH(QString, source);
        QFETCH(QString, dest);
        QFETCH(int, flags);
        QFETCH(QString, failure);
        const QString root = makeTree("refused");
        QFile::link(root + "/src", root + "/linkback");
        const QStringList before = filesUnder(root);
        const auto abs = [&](const QString& p) { return p.isEmpty() ? p : root + "/" + p; };
        TFolderTotals totals;
        failure = failure.contains("%2") ? failure.arg(abs(source), abs(dest))
            : failure.contains("%1")     ? failure.arg(abs(source))
                                         : failure;
        QCOMPARE(failureOf([&] { HandleFolders(abs(source), abs(dest), totals, THandleFolderFlags::fromInt(flags)); }),
                 failure);
        if (!failure.isEmpty()) QCOMPARE(filesUnder(root), before);
    }

    // ---- Names from outside ----

    void namesFoundWithoutRegardToCase_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("folder");
        QTest::addColumn<QString>("found");  // below the test folder, empty for none
        QTest::newRow("a CD's path") << "\\SVAMPAR\\BILDER\\" << true << "";
        QTest::newRow("below the drive") << "SVAMPAR\\BILDER\\" << true << "Svampar/Bilder";
        QTest::newRow("a file") << "svampar/bilder/KANT1.JPG" << false << "Svampar/Bilder/kant1.jpg";
        QTest::newRow("a file is no folder") << "svampar/bilder/kant1.jpg" << true << "";
        QTest::newRow("a folder is no file") << "svampar/bilder" << false << "";
        QTest::newRow("with a drive") << "D:\\SVAMPAR" << true << "";
        QTest::newRow("out of the folder") << "svampar/../../x" << true << "";
        QTest::newRow("through a link") << "genväg/kant1.jpg" << false << "";
    }
    void namesFoundWithoutRegardToCase() {
        QFETCH(QString, name);
        QFETCH(bool, folder);
        QFETCH(QString, found);
        QTemporaryDir dir;
        QVERIFY(testsupport::WriteBytes(dir.path() + "/Svampar/Bilder/kant1.jpg", "x"));
        QVERIFY(QFile::link(dir.path() + "/Svampar/Bilder", dir.path() + "/Genväg"));
        const QString expected = found.isEmpty() ? QString() : dir.path() + "/" + found;
        QCOMPARE(ResolvePathNoCase(dir.path(), name, folder ? TPathKind::Folder : TPathKind::File), expected);
    }

    // ---- Small helpers ----

    void timeTexts_data() {
        QTest::addColumn<quint64>("ms");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << quint64(0) << "00:00:00";
        QTest::newRow("h m s") << quint64(3723000) << "01:02:03";
        QTest::newRow("below a second") << quint64(999) << "00:00:00";
        QTest::newRow("a minute less a ms") << quint64(59999) << "00:00:59";
        QTest::newRow("25 hours") << quint64(90000000) << "25:00:00";
        QTest::newRow("largest tick") << quint64(4294967295u) << "1193:02:47";
    }
    void timeTexts() {
        QFETCH(quint64, ms);
        QFETCH(QString, text);
        QCOMPARE(MsToTimeStr(ms), text);
    }

    void urlEncoding_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("encoded");
        QTest::newRow("blank") << " "
                               << "%20";
        QTest::newRow("full stop") << "."
                                   << "%2E";
        QTest::newRow("comma") << ","
                               << "%2C";
        QTest::newRow("at-sign") << "@"
                                 << "%40";
        QTest::newRow("unreserved kept") << "Abc-xyz_09~"
                                         << "Abc-xyz_09~";
        QTest::newRow("query cannot be changed") << "a&user=x#y?z"
                                                 << "a%26user%3Dx%23y%3Fz";
        QTest::newRow("plus and percent") << "+%"
                                          << "%2B%25";
        QTest::newRow("Swedish letters as UTF-8") << "Blödsopp å"
                                                  << "Bl%C3%B6dsopp%20%C3%A5";
        QTest::newRow("line break") << "a\r\nb"
                                    << "a%0D%0Ab";
        QTest::newRow("empty") << ""
                               << "";
    }
    void urlEncoding() {
        QFETCH(QString, text);
        QFETCH(QString, encoded);
        QCOMPARE(EncodeUrlChars(text), encoded);
    }

    void versionInformationOfTheProgram() {
        const QString program = QCoreApplication::applicationFilePath();
        QCOMPARE(GetVersionInfoItem(program, 5), QStringLiteral(MYKO_VERSION));
        QCOMPARE(GetVersionInfoItem(QString(), 5), QStringLiteral(MYKO_VERSION));
        QCOMPARE(GetVersionInfoItem(program, 8), QStringLiteral("Mykotekshallen"));
        QVERIFY(QDate::fromString(GetVersionInfoItem(program, 9), QStringLiteral("yyyy-MM-dd")).isValid());
        QCOMPARE(GetVersionInfoItem(program, 10), QString());
        QCOMPARE(GetVersionInfoItem(program, -1), QString());
        // Another file carries no version information.
        writeBytes(path("other.exe"), "MZ");
        QCOMPARE(GetVersionInfoItem(path("other.exe"), 5), QString());
        QCOMPARE(GetVersionInfoItem(path("other.exe"), 9), QString());
        QCOMPARE(GetVersionInfoItem(path("missing.exe"), 5), QString());
    }

    void textHelpers_data() {
        QTest::addColumn<QString>("helper");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("output");
        QTest::newRow("slash added") << "trailing"
                                     << "Data/Db"
                                     << "Data/Db/";
        QTest::newRow("slash kept") << "trailing"
                                    << "Data/Db/"
                                    << "Data/Db/";
        QTest::newRow("backslash kept") << "trailing"
                                        << "Data\\Db\\"
                                        << "Data\\Db\\";
        QTest::newRow("empty path") << "trailing"
                                    << ""
                                    << "/";
        QTest::newRow("replace first only") << "replace"
                                            << "a-b-c"
                                            << "a+b-c";
        QTest::newRow("replace absent") << "replace"
                                        << "abc"
                                        << "abc";
        QTest::newRow("blanks everywhere") << "spaces"
                                           << " 1, 2 -3 "
                                           << "1,2-3";
        QTest::newRow("integer") << "integer"
                                 << "-42"
                                 << "true";
        QTest::newRow("integer with blanks") << "integer"
                                             << " 7 "
                                             << "true";
        QTest::newRow("too large") << "integer"
                                   << "2147483648"
                                   << "false";
        QTest::newRow("not integer") << "integer"
                                     << "4x"
                                     << "false";
        QTest::newRow("empty not integer") << "integer"
                                           << ""
                                           << "false";
    }
    void textHelpers() {
        QFETCH(QString, helper);
        QFETCH(QString, input);
        QFETCH(QString, output);
        QString got;
        if (helper == "trailing")
            got = AddTrailingBackslash(input);
        else if (helper == "replace")
            got = ReplaceFirst(input, "-", "+");
        else if (helper == "spaces")
            got = RemoveSpaces(input);
        else
            got = IsIntegerStr(input) ? "true" : "false";
        QCOMPARE(got, output);
    }

    void tokens_data() {
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("rest");
        QTest::newRow("first separator") << ","
                                         << "a,b,c"
                                         << "a"
                                         << "b,c";
        QTest::newRow("longer separator") << "||"
                                          << "a||b"
                                          << "a"
                                          << "b";
        QTest::newRow("none") << ","
                              << "abc"
                              << "abc"
                              << "";
        QTest::newRow("leading") << ","
                                 << ",b"
                                 << ""
                                 << "b";
        QTest::newRow("empty text") << ","
                                    << ""
                                    << ""
                                    << "";
        QTest::newRow("empty separator") << ""
                                         << "abc"
                                         << "abc"
                                         << "";
    }
    void tokens() {
        QFETCH(QString, separator);
        QFETCH(QString, text);
        QFETCH(QString, token);
        QFETCH(QString, rest);
        QString got = "old";
        NextToken(separator, text, got);
        QCOMPARE(got, token);
        QCOMPARE(text, rest);
    }
};

QTEST_GUILESS_MAIN(TestMyUtils)
#include "tst_myutils.moc"
