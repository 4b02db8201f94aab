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
// Tests make a step fail with AtomicFileFaults::FailNext: the open, any write, or the last
// flush after every write went through (what a full disk does to buffered writes).
#include <QByteArray>
#include <QDateTime>
#include <QFileDevice>
#include <QIODevice>
#include <QString>

enum class TWriteStep { Open, Write, Flush, Commit, Rename };

namespace AtomicFileFaults {
// The next time (after Skip passes) any atomic write reaches Step, that step fails as if
// the disk were full. One fault is armed at a time; Clear disarms it. The fault reaches the
// library modules the process loads, and the programs it starts, too.
void FailNext(TWriteStep step, int skip = 0);
void Clear();
bool Armed();
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
    // The permission bits of a mode (0755 and the like).
    void SetMode(unsigned mode);
    void SetPermissions(QFileDevice::Permissions permissions) {
        m_permissions = permissions;
        m_setPermissions = true;
    }
    // A file that a crash may lose without loss of data (it can be made again from what is
    // still there, as an unpacked entry from its archive) need not be forced to disk: every
    // step is still checked. Default: forced.
    void SetSyncToDisk(bool sync) { m_syncToDisk = sync; }
    // By default a symbolic link at the target stays a link and the file it points to is
    // replaced; without following, the link itself is replaced by the new file.
    void SetFollowLink(bool follow) { m_followLink = follow; }
    // The caller has made the target's folder: Open does not look for it.
    void SetFolderReady(bool ready) { m_folderReady = ready; }
    // For content that is whole and checked before the file is opened, and then written in
    // one go (an unpacked entry read into memory and its CRC compared): when nothing is at
    // the target, the file is made there at once, with no temporary file and no rename. Each
    // step is checked as before, and a failure or a Cancel removes the file again; a process
    // killed between the file's making and its one write leaves it empty. When anything is at
    // the target (a file, a link, a folder), Open takes the usual temporary file. Default: off.
    void SetCreateInPlace(bool inPlace) { m_createInPlace = inPlace; }
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

    // The text of the next failure ("%1" is the target's name), for a caller whose steps
    // are reported in words of their own.
    void SetFailureText(const QString& text) { m_failureText = text; }

    QString Target() const { return m_target; }
    // The temporary file while it is open or finished and not yet renamed (the target itself
    // when it was made in place); empty otherwise.
    QString TemporaryName() const { return m_temp; }
    qint64 Written() const { return m_written; }
    bool IsOpen() const { return m_fd >= 0; }
    bool IsFinished() const { return m_finished; }

private:
    [[noreturn]] void fail(int error);

    QString m_target;
    QString m_failureText;
    QString m_temp;
    QString m_real;  // the file the rename replaces
    int m_fd = -1;
    qint64 m_written = 0;
    bool m_finished = false;
    QDateTime m_modified;
    QFileDevice::Permissions m_permissions;
    bool m_setPermissions = false;
    bool m_syncToDisk = true;
    bool m_followLink = true;
    bool m_folderReady = false;
    bool m_createInPlace = false;
    bool m_inPlace = false;  // this file was made at the target itself
};

// A TAtomicFile as a write-only device, for code that writes to a QIODevice. A failed write
// returns -1 and keeps the reason; the file is put in place only by File().Commit().
class TAtomicFileDevice : public QIODevice {
public:
    explicit TAtomicFileDevice(const QString& target,
                               const QString& failureText = QString::fromUtf8(AtomicFileFailedText));
    // Opens the temporary file (raises as TAtomicFile::Open does) and the device.
    void Begin();
    TAtomicFile& File() { return m_file; }
    // The text of the write that failed, empty when none did.
    QString Failure() const { return m_failure; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 len) override;

private:
    TAtomicFile m_file;
    QString m_failure;
};

// Writes Content as the whole of Target.
void WriteFileAtomically(const QString& target, const QByteArray& content,
                         const QString& failureText = QString::fromUtf8(AtomicFileFailedText));

// Copies From to To through TAtomicFile, keeping the modification time and permissions.
// An unreadable source raises "Filen "%1" kunde inte läsas." naming it.
void CopyFileAtomically(const QString& from, const QString& to,
                        const QString& failureText = QString::fromUtf8(AtomicFileFailedText));
