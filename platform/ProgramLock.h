#pragma once
// Keeps a second running copy of the program off the same program folder: the first copy
// holds a lock file in the database folder for as long as it runs. A copy that finds the
// lock held by a running program is refused and must end without touching any file; a lock
// left behind by a copy that crashed is taken over.
#include <QString>
#include <memory>

class QLockFile;

class TProgramLock {
public:
    enum class TResult {
        Locked,        // this copy now holds the lock
        HeldByOther,   // another running copy holds it
        NotPossible,   // the lock file cannot be made (read-only folder and the like)
    };

    // databaseFolder: the folder the tables live in (created when missing).
    explicit TProgramLock(const QString& databaseFolder);
    // Releases the lock when this copy holds it.
    ~TProgramLock();
    TProgramLock(const TProgramLock&) = delete;
    TProgramLock& operator=(const TProgramLock&) = delete;

    // Tries once, without waiting.
    [[nodiscard]] TResult TryLock();
    bool IsLocked() const;
    void Unlock();

    QString FileName() const { return m_fileName; }

    // The name of the lock file inside the database folder.
    static QString LockFileName();
    // The message for a copy that is refused.
    static QString RefusedMessage();

private:
    QString m_folder;
    QString m_fileName;
    std::unique_ptr<QLockFile> m_lock;
};
