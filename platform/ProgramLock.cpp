#include "platform/ProgramLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSysInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

TProgramLock::TProgramLock(const QString& databaseFolder) : m_folder(databaseFolder) {
    QString folder = databaseFolder;
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    m_fileName = folder + LockFileName();
}

TProgramLock::~TProgramLock() { Unlock(); }

QString TProgramLock::LockFileName() { return QStringLiteral("Mykotekshallen.lock"); }

QString TProgramLock::RefusedMessage(const QString& programFolder) {
    // The path stands on a line of its own, so that the box does not break it where a line
    // of the sentence happens to end.
    return QStringLiteral(
               "Mykotekshallen är redan startad från programmappen\n\"%1\"\n(ett program som körs håller "
               "låsfilen i databasmappen). Två program kan inte arbeta med samma databas samtidigt, så "
               "det här startas inte. Använd fönstret som redan är öppet, eller avsluta det och starta om.")
        .arg(QDir::toNativeSeparators(programFolder));
}

QString TProgramLock::NotPossibleMessage(const QString& lockFile) {
    return QStringLiteral(
               "Låsfilen\n\"%1\"\nkunde inte skapas, så Mykotekshallen kan inte skydda databasen mot att "
               "två program arbetar med den samtidigt. Programmet startas inte. Kontrollera att "
               "databasmappen finns och att du får skriva i den, och starta sedan om.")
        .arg(QDir::toNativeSeparators(lockFile));
}

TProgramLock::TResult TProgramLock::TryLock() {
    if (m_fd >= 0) return TResult::Locked;
    QDir().mkpath(m_folder);
    const QByteArray name = QFile::encodeName(m_fileName);
    // A holder that ends removes its file; a file opened just before that is no longer the
    // lock file, so the lock is taken again on the file that stands there now.
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) return TResult::NotPossible;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            return error == EWOULDBLOCK ? TResult::HeldByOther : TResult::NotPossible;
        }
        struct stat opened {
        }, current{};
        if (::fstat(fd, &opened) == 0 && ::stat(name.constData(), &current) == 0 && opened.st_dev == current.st_dev &&
            opened.st_ino == current.st_ino) {
            // Who holds it, for a person who looks; the lock itself does not depend on it.
            const QByteArray info = QByteArray::number(qint64(::getpid())) + '\n' +
                QSysInfo::machineHostName().toUtf8() + '\n' + QCoreApplication::applicationName().toUtf8() + '\n';
            if (::ftruncate(fd, 0) == 0 && ::write(fd, info.constData(), size_t(info.size())) < 0) {}
            m_fd = fd;
            return TResult::Locked;
        }
        ::close(fd);
    }
    return TResult::NotPossible;
}

void TProgramLock::Unlock() {
    if (m_fd < 0) return;
    // Removed while still held, so nobody can take a lock on a file that is going.
    ::unlink(QFile::encodeName(m_fileName).constData());
    ::close(m_fd);
    m_fd = -1;
}
