#pragma once
// The one way the program writes a file. The new content goes to a temporary file beside
// the target; every step is checked (each write, the flush to disk, the size that arrived)
// and only then is the temporary file renamed over the target. A failure at any step
// raises a Swedish error naming the file and leaves the old file exactly as it was.
// (QSaveFile is not used: in Qt 6.4 its commit can report success after a buffered write
// failed on a full disk.)
//
//     TAtomicFile file(target);
//     file.Open();
//     file.Write(bytes);
//     file.Commit();              // or Finish() now and Rename() once the record is posted
//
// Tests make a step fail with AtomicFileFaults::FailNext.
#include <QByteArray>
#include <QDateTime>
#include <QFileDevice>
#include <QString>

enum class TWriteStep { Open, Write, Flush, Commit, Rename };

namespace AtomicFileFaults {
// The next time (after Skip passes) any atomic write reaches Step, that step fails as if
// the disk were full. One fault is armed at a time; Clear disarms it.
void FailNext(TWriteStep step, int skip = 0);
void Clear();
}  // namespace AtomicFileFaults

// The default failure text; "%1" is the target's name.
extern const char* const AtomicFileFailedText;

class TAtomicFile {
public:
    explicit TAtomicFile(const QString& target, const QString& failureText = QString::fromUtf8(AtomicFileFailedText));
    ~TAtomicFile();  // a file not renamed into place leaves nothing behind
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;

    // Creates the target's folder when needed and the temporary file.
    void Open();
    void Write(const QByteArray& bytes);
    void Write(const char* data, qint64 size);
    // Applied to the new file before it is renamed.
    void SetModificationTime(const QDateTime& when) { m_modified = when; }
    void SetPermissions(QFileDevice::Permissions permissions) {
        m_permissions = permissions;
        m_setPermissions = true;
    }
    // Flushes the content to disk, closes the temporary file and checks its size.
    void Finish();
    // Puts the finished file in place with one rename.
    void Rename();
    void Commit() {
        Finish();
        Rename();
    }
    // Drops the temporary file; the target stays as it was.
    void Cancel();

    QString Target() const { return m_target; }
    qint64 Written() const { return m_written; }
    bool IsOpen() const { return m_fd >= 0; }
    bool IsFinished() const { return m_finished; }

private:
    [[noreturn]] void fail(int error);

    QString m_target;
    QString m_failureText;
    QString m_temp;
    int m_fd = -1;
    qint64 m_written = 0;
    bool m_finished = false;
    QDateTime m_modified;
    QFileDevice::Permissions m_permissions;
    bool m_setPermissions = false;
};

// Writes Content as the whole of Target.
void WriteFileAtomically(const QString& target, const QByteArray& content,
                         const QString& failureText = QString::fromUtf8(AtomicFileFailedText));

// Copies From to To through TAtomicFile, keeping the modification time and permissions.
// An unreadable source raises "Filen "%1" kunde inte läsas." naming it.
void CopyFileAtomically(const QString& from, const QString& to,
                        const QString& failureText = QString::fromUtf8(AtomicFileFailedText));
