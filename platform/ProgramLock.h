#pragma once
// Keeps a second running copy of the program off the same program folder: the first copy
// holds an operating-system lock (flock) on a lock file in the database folder for as long
// as it runs. The lock belongs to the running process, not to the file: a copy that crashed
// or was killed holds nothing, whatever its lock file still says, so an empty, damaged or
// left-over lock file never locks anybody out. A copy that finds the lock held is refused
// and must end without touching any file.
#include <QString>

class TProgramLock {
public:
    enum class TResult {
        Locked,  // this copy now holds the lock
        HeldByOther,  // another running copy holds it
        NotPossible,  // the lock file cannot be made or opened (read-only folder and the like)
    };

    // databaseFolder: the folder the tables live in (created when missing).
    explicit TProgramLock(const QString& databaseFolder);
    // Releases the lock when this copy holds it.
    ~TProgramLock();
    TProgramLock(const TProgramLock&) = delete;
    TProgramLock& operator=(const TProgramLock&) = delete;

    // Tries once, without waiting.
    [[nodiscard]] TResult TryLock();
    bool IsLocked() const { return m_fd >= 0; }
    void Unlock();

    QString FileName() const { return m_fileName; }

    // The name of the lock file inside the database folder.
    static QString LockFileName();
    // The message for a copy that is refused, naming the program folder.
    static QString RefusedMessage(const QString& programFolder);
    // The message when the lock file cannot be made, naming it.
    static QString NotPossibleMessage(const QString& lockFile);

private:
    QString m_folder;
    QString m_fileName;
    int m_fd = -1;
};
