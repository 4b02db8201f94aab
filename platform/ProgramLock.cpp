#include "platform/ProgramLock.h"

#include <QDir>
#include <QLockFile>

TProgramLock::TProgramLock(const QString& databaseFolder) : m_folder(databaseFolder) {
    QString folder = databaseFolder;
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    m_fileName = folder + LockFileName();
    m_lock = std::make_unique<QLockFile>(m_fileName);
    // Held for the whole run: only a lock whose program no longer runs counts as stale,
    // never one that is merely old.
    m_lock->setStaleLockTime(0);
}

TProgramLock::~TProgramLock() = default;  // QLockFile unlocks when destroyed

QString TProgramLock::LockFileName() { return QStringLiteral("Mykotekshallen.lock"); }

QString TProgramLock::RefusedMessage() {
    return QStringLiteral(
        "Mykotekshallen är redan startat från den här programmappen. Två program kan inte "
        "arbeta med samma databas samtidigt, så det här startas inte. Använd fönstret som "
        "redan är öppet, eller avsluta det och starta om.");
}

TProgramLock::TResult TProgramLock::TryLock() {
    if (m_lock->isLocked()) return TResult::Locked;
    QDir().mkpath(m_folder);
    if (m_lock->tryLock(0)) return TResult::Locked;
    return m_lock->error() == QLockFile::LockFailedError ? TResult::HeldByOther : TResult::NotPossible;
}

bool TProgramLock::IsLocked() const { return m_lock->isLocked(); }

void TProgramLock::Unlock() { m_lock->unlock(); }
