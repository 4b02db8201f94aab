#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Exception.h"

const char* const AtomicFileFailedText = "Filen \"%1\" kunde inte sparas.";

namespace {

constexpr qint64 kChunk = 64 * 1024;

// The armed fault lives in the process environment, so that it reaches every copy of this
// code in the process: the program's, and those of the zip library modules it loads (and
// of a program the test starts). "step:skip"; absent when none is armed.
constexpr const char* kFaultVariable = "MYKO_TEST_WRITE_FAULT";

// Whether an armed fault hits this step now.
bool faultAt(TWriteStep step) {
    const char* armed = ::getenv(kFaultVariable);
    if (!armed) return false;
    int armedStep = -1, skip = 0;
    if (std::sscanf(armed, "%d:%d", &armedStep, &skip) != 2 || armedStep != int(step)) return false;
    if (skip > 0) {
        ::setenv(kFaultVariable,
                 QByteArray::number(armedStep).append(':').append(QByteArray::number(skip - 1)).constData(), 1);
        return false;
    }
    ::unsetenv(kFaultVariable);
    return true;
}

// A short Swedish reason for the usual causes; other errors get none.
QString reason(int error) {
    switch (error) {
        case ENOSPC:
            return QStringLiteral("disken är full");
#ifdef EDQUOT
        case EDQUOT:
            return QStringLiteral("diskutrymmet är slut");
#endif
        case EACCES:
        case EPERM:
            return QStringLiteral("åtkomst nekad");
        case EROFS:
            return QStringLiteral("skrivskyddat filsystem");
        case EIO:
            return QStringLiteral("skrivfel på disken");
        default:
            return QString();
    }
}

// The file a write replaces: a symbolic link is followed, so the link stays a link.
QString realTarget(const QString& target) {
    const QFileInfo info(target);
    if (info.isSymLink()) {
        const QString canonical = info.canonicalFilePath();
        return canonical.isEmpty() ? info.symLinkTarget() : canonical;
    }
    return info.absoluteFilePath();
}

mode_t ModeOf(QFileDevice::Permissions p) {
    mode_t m = 0;
    if (p & QFileDevice::ReadOwner) m |= S_IRUSR;
    if (p & QFileDevice::WriteOwner) m |= S_IWUSR;
    if (p & QFileDevice::ExeOwner) m |= S_IXUSR;
    if (p & QFileDevice::ReadGroup) m |= S_IRGRP;
    if (p & QFileDevice::WriteGroup) m |= S_IWGRP;
    if (p & QFileDevice::ExeGroup) m |= S_IXGRP;
    if (p & QFileDevice::ReadOther) m |= S_IROTH;
    if (p & QFileDevice::WriteOther) m |= S_IWOTH;
    if (p & QFileDevice::ExeOther) m |= S_IXOTH;
    return m;
}

void syncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

namespace AtomicFileFaults {
void FailNext(TWriteStep step, int skip) {
    ::setenv(kFaultVariable,
             QByteArray::number(int(step)).append(':').append(QByteArray::number(qMax(0, skip))).constData(), 1);
}
void Clear() { ::unsetenv(kFaultVariable); }
bool Armed() { return ::getenv(kFaultVariable) != nullptr; }
}  // namespace AtomicFileFaults

TAtomicFile::TAtomicFile(const QString& target, const QString& failureText)
    : m_target(target), m_failureText(failureText) {}

TAtomicFile::~TAtomicFile() { Cancel(); }

void TAtomicFile::fail(int error) {
    Cancel();
    QString text = QString(m_failureText).arg(QDir::toNativeSeparators(m_target));
    const QString why = reason(error);
    if (!why.isEmpty()) text += QStringLiteral(" (%1)").arg(why);
    throw Exception(text);
}

void TAtomicFile::Open() {
    Cancel();
    m_written = 0;
    m_finished = false;
    m_inPlace = false;
    const QString real = m_followLink ? realTarget(m_target) : QFileInfo(m_target).absoluteFilePath();
    m_real = real;
    const QFileInfo info(real);
    if (!m_folderReady && !QDir().mkpath(info.absolutePath())) fail(errno);
    if (faultAt(TWriteStep::Open)) fail(EACCES);
    if (m_createInPlace) {
        // O_EXCL: only where nothing is, not even a link, so nothing is replaced or followed.
        m_fd = ::open(QFile::encodeName(real).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0) {
            m_temp = real;
            m_inPlace = true;
            return;
        }
        if (errno != EEXIST) fail(errno);
    }
    // An existing file's permissions are kept; a new one gets the usual ones (the umask).
    if (!m_setPermissions && info.exists() && (m_followLink || !info.isSymLink())) {
        m_permissions = QFile::permissions(real);
        m_setPermissions = true;
    }
    for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
        QString suffix;
        for (int i = 0; i < 6; ++i)
            suffix += QLatin1Char(
                "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"[QRandomGenerator::global()->bounded(
                    62)]);
        const QString name = real + QLatin1Char('.') + suffix + QStringLiteral(".tmp");
        m_fd = ::open(QFile::encodeName(name).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0) {
            m_temp = name;
        } else if (errno != EEXIST) {
            fail(errno);
        }
    }
    if (m_fd < 0) fail(EEXIST);
}

void TAtomicFile::SetMode(unsigned mode) {
    QFileDevice::Permissions p;
    if (mode & S_IRUSR) p |= QFileDevice::ReadOwner;
    if (mode & S_IWUSR) p |= QFileDevice::WriteOwner;
    if (mode & S_IXUSR) p |= QFileDevice::ExeOwner;
    if (mode & S_IRGRP) p |= QFileDevice::ReadGroup;
    if (mode & S_IWGRP) p |= QFileDevice::WriteGroup;
    if (mode & S_IXGRP) p |= QFileDevice::ExeGroup;
    if (mode & S_IROTH) p |= QFileDevice::ReadOther;
    if (mode & S_IWOTH) p |= QFileDevice::WriteOther;
    if (mode & S_IXOTH) p |= QFileDevice::ExeOther;
    SetPermissions(p);
}

void TAtomicFile::Write(const QByteArray& bytes) { Write(bytes.constData(), bytes.size()); }

void TAtomicFile::Write(const char* data, qint64 size) {
    if (m_fd < 0 || m_finished) fail(EBADF);
    if (faultAt(TWriteStep::Write)) fail(ENOSPC);
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::write(m_fd, data + done, size_t(std::min(size - done, kChunk)));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) fail(n < 0 ? errno : ENOSPC);
        done += n;
    }
    m_written += size;
}

void TAtomicFile::Finish() {
    if (m_fd < 0) fail(EBADF);
    if (m_finished) return;
    if (faultAt(TWriteStep::Flush)) fail(ENOSPC);
    if (m_syncToDisk && ::fsync(m_fd) != 0 && errno != EINVAL) fail(errno);
    struct stat st {};
    const bool sizeOk = ::fstat(m_fd, &st) == 0 && st.st_size == m_written;
    if (faultAt(TWriteStep::Commit) || !sizeOk) fail(ENOSPC);
    // Only the owner, group and other bits: Qt sets the owner's bits from the "user" ones
    // too, and those describe what the running user may do (root: always write).
    const QFileDevice::Permissions fileBits =
        m_permissions & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
    if (m_setPermissions && ::fchmod(m_fd, ModeOf(fileBits)) != 0) fail(errno);
    if (m_modified.isValid()) {
        const qint64 ms = std::max<qint64>(0, m_modified.toMSecsSinceEpoch());
        struct timespec times[2] = {{0, UTIME_OMIT}, {time_t(ms / 1000), long(ms % 1000) * 1000000L}};
        ::futimens(m_fd, times);
    }
    if (::close(m_fd) != 0) {
        m_fd = -1;
        fail(errno);
    }
    m_fd = -2;  // closed but not yet in place: the temporary file is still ours
    m_finished = true;
}

void TAtomicFile::Rename() {
    if (!m_finished) Finish();
    const QString real = m_real;
    if (faultAt(TWriteStep::Rename)) fail(EACCES);
    if (!m_inPlace && ::rename(QFile::encodeName(m_temp).constData(), QFile::encodeName(real).constData()) != 0)
        fail(errno);
    m_inPlace = false;
    m_temp.clear();
    m_fd = -1;
    m_finished = false;
    if (m_syncToDisk) syncFolder(QFileInfo(real).absolutePath());
}

void TAtomicFile::Cancel() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_finished = false;
    if (!m_temp.isEmpty()) ::unlink(QFile::encodeName(m_temp).constData());
    m_temp.clear();
    m_inPlace = false;
}

TAtomicFileDevice::TAtomicFileDevice(const QString& target, const QString& failureText) : m_file(target, failureText) {}

void TAtomicFileDevice::Begin() {
    m_failure.clear();
    m_file.Open();
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

qint64 TAtomicFileDevice::writeData(const char* data, qint64 len) {
    try {
        m_file.Write(data, len);
        return len;
    } catch (const Exception& e) {
        if (m_failure.isEmpty()) m_failure = e.Message();
        return -1;
    }
}

void WriteFileAtomically(const QString& target, const QByteArray& content, const QString& failureText) {
    TAtomicFile file(target, failureText);
    file.Open();
    file.Write(content);
    file.Commit();
}

void CopyFileAtomically(const QString& from, const QString& to, const QString& failureText) {
    QFile in(from);
    const auto unreadable = [&] {
        return Exception(QStringLiteral("Filen \"%1\" kunde inte läsas.").arg(QDir::toNativeSeparators(from)));
    };
    if (!in.open(QIODevice::ReadOnly)) throw unreadable();
    TAtomicFile out(to, failureText);
    out.SetPermissions(in.permissions());
    out.SetModificationTime(QFileInfo(from).lastModified());
    out.Open();
    for (;;) {
        const QByteArray part = in.read(kChunk);
        if (part.isEmpty()) break;
        out.Write(part);
    }
    if (in.error() != QFileDevice::NoError || out.Written() != in.size()) throw unreadable();
    out.Commit();
}
