// The packing module: takes one command record, gathers the files its file patterns name,
// and writes them into the archive with libzip. Everything it has to say goes through the
// caller's callback; nothing escapes as an exception.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStringList>
#include <QTemporaryDir>
#include <zip.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/Exception.h"
#include "platform/ziplibs/ZipLibApi.h"
#include "platform/ziplibs/common/ZipCommon.h"
#include "platform/ziplibs/common/ZipReporter.h"

using namespace ziplibs;
using zipcommon::RecText;

namespace {

struct TSourceFile {
    QString Path;  // on disk
    QString Name;  // stored name, "/" separated
    qint64 Size = 0;
    qint64 MTime = 0;
    uint Mode = 0644;
    bool Encrypt = false;
    QString Password;
};

// A function source over one file that reports its start and each block read, and stops
// the writing when the caller aborts.
struct TFileSource {
    const TSourceFile* File = nullptr;
    zipcommon::TReporter* Reporter = nullptr;
    int Handle = -1;  // read straight, without a buffer of its own: libzip asks for large blocks
    zip_error_t Error{};
    bool Opened = false;
    bool* ReadFailed = nullptr;
};

zip_int64_t FileSourceCallback(void* state, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    auto* s = static_cast<TFileSource*>(state);
    switch (cmd) {
        case ZIP_SOURCE_OPEN:
            s->Handle = ::open(QFile::encodeName(s->File->Path).constData(), O_RDONLY | O_CLOEXEC);
            if (s->Handle < 0) {
                zip_error_set(&s->Error, ZIP_ER_OPEN, 0);
                if (s->ReadFailed) *s->ReadFailed = true;
                return -1;
            }
            s->Opened = true;
            s->Reporter->Send(ActNewFile, 0, s->File->Size, s->File->Name);
            if (s->Reporter->Aborted()) {
                zip_error_set(&s->Error, ZIP_ER_CANCELLED, 0);
                return -1;
            }
            return 0;
        case ZIP_SOURCE_READ: {
            if (s->Reporter->Aborted()) {
                zip_error_set(&s->Error, ZIP_ER_CANCELLED, 0);
                return -1;
            }
            ssize_t n;
            do n = ::read(s->Handle, data, size_t(qMin<zip_uint64_t>(len, 1 << 30)));
            while (n < 0 && errno == EINTR);
            if (n < 0) {
                zip_error_set(&s->Error, ZIP_ER_READ, 0);
                if (s->ReadFailed) *s->ReadFailed = true;
                return -1;
            }
            if (n > 0) s->Reporter->Send(ActProgress, 0, n);
            if (s->Reporter->Aborted()) {
                zip_error_set(&s->Error, ZIP_ER_CANCELLED, 0);
                return -1;
            }
            return n;
        }
        case ZIP_SOURCE_CLOSE:
            if (s->Handle >= 0) ::close(s->Handle);
            s->Handle = -1;
            return 0;
        case ZIP_SOURCE_STAT: {
            auto* st = static_cast<zip_stat_t*>(data);
            zip_stat_init(st);
            st->size = zip_uint64_t(s->File->Size);
            st->mtime = time_t(s->File->MTime);
            st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME;
            return sizeof(*st);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&s->Error, data, len);
        case ZIP_SOURCE_FREE:
            if (s->Handle >= 0) ::close(s->Handle);
            delete s;
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                  ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
        default:
            zip_error_set(&s->Error, ZIP_ER_OPNOTSUPP, 0);
            return -1;
    }
}

// The archive of a small Add as libzip reads and writes it: the existing archive is read from
// its file, the new one is built in memory and written at libzip's commit through TAtomicFile,
// in one checked write. libzip goes back to complete each entry's local header, which costs
// no system call here; and no temporary file of libzip's own is made, whose name libzip draws
// from cryptographic random numbers that take longer to set up than packing a small folder.
class TMemoryArchiveSource {
public:
    TMemoryArchiveSource(const QString& path, qsizetype expected)
        : m_path(path), m_native(QFile::encodeName(path)), m_expected(expected) {
        zip_error_init(&m_error);
    }
    ~TMemoryArchiveSource() {
        if (m_readFd >= 0) ::close(m_readFd);
        zip_error_fini(&m_error);
    }
    TMemoryArchiveSource(const TMemoryArchiveSource&) = delete;
    TMemoryArchiveSource& operator=(const TMemoryArchiveSource&) = delete;

    static zip_int64_t Callback(void* state, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
        return static_cast<TMemoryArchiveSource*>(state)->Handle(data, len, cmd);
    }
    // Why the commit failed, in the writer's words; empty when it did not.
    QString Failure() const { return m_failure; }

private:
    zip_int64_t Fail(int zipError, int systemError) {
        zip_error_set(&m_error, zipError, systemError);
        return -1;
    }

    zip_int64_t Handle(void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
        switch (cmd) {
            case ZIP_SOURCE_STAT: {
                struct stat st;
                if (::stat(m_native.constData(), &st) != 0) return Fail(ZIP_ER_READ, errno);
                auto* zs = static_cast<zip_stat_t*>(data);
                zip_stat_init(zs);
                zs->size = zip_uint64_t(st.st_size);
                zs->mtime = st.st_mtime;
                zs->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME;
                return sizeof(*zs);
            }
            case ZIP_SOURCE_OPEN: {
                if (m_readFd < 0) m_readFd = ::open(m_native.constData(), O_RDONLY | O_CLOEXEC);
                if (m_readFd < 0) return Fail(ZIP_ER_OPEN, errno);
                struct stat st;
                if (::fstat(m_readFd, &st) != 0) return Fail(ZIP_ER_READ, errno);
                m_readSize = qint64(st.st_size);
                m_readPos = 0;
                return 0;
            }
            case ZIP_SOURCE_READ: {
                if (m_readPos >= m_readSize) return 0;
                const size_t want = size_t(qMin<zip_uint64_t>(len, zip_uint64_t(m_readSize - m_readPos)));
                ssize_t n;
                do n = ::pread(m_readFd, data, want, off_t(m_readPos));
                while (n < 0 && errno == EINTR);
                if (n < 0) return Fail(ZIP_ER_READ, errno);
                m_readPos += n;
                return n;
            }
            case ZIP_SOURCE_CLOSE:
                if (m_readFd >= 0) ::close(m_readFd);
                m_readFd = -1;
                return 0;
            case ZIP_SOURCE_SEEK: {
                const zip_int64_t at = zip_source_seek_compute_offset(zip_uint64_t(m_readPos), zip_uint64_t(m_readSize),
                                                                      data, len, &m_error);
                if (at < 0) return -1;
                m_readPos = at;
                return 0;
            }
            case ZIP_SOURCE_TELL:
                return m_readPos;
            case ZIP_SOURCE_BEGIN_WRITE:
                m_out.clear();
                m_out.reserve(m_expected);
                m_writePos = 0;
                m_failure.clear();
                return 0;
            case ZIP_SOURCE_WRITE: {
                const qsizetype at = qsizetype(m_writePos), n = qsizetype(len);
                if (at + n > m_out.size()) m_out.resize(at + n);
                std::memcpy(m_out.data() + at, data, size_t(n));
                m_writePos += n;
                return n;
            }
            case ZIP_SOURCE_SEEK_WRITE: {
                const zip_int64_t at = zip_source_seek_compute_offset(zip_uint64_t(m_writePos),
                                                                      zip_uint64_t(m_out.size()), data, len, &m_error);
                if (at < 0) return -1;
                m_writePos = at;
                return 0;
            }
            case ZIP_SOURCE_TELL_WRITE:
                return m_writePos;
            case ZIP_SOURCE_COMMIT_WRITE:
                return Commit();
            case ZIP_SOURCE_ROLLBACK_WRITE:
                m_out.clear();
                return 0;
            case ZIP_SOURCE_REMOVE:
                if (::unlink(m_native.constData()) != 0 && errno != ENOENT) return Fail(ZIP_ER_REMOVE, errno);
                return 0;
            case ZIP_SOURCE_ERROR:
                return zip_error_to_data(&m_error, data, len);
            case ZIP_SOURCE_FREE:
                delete this;
                return 0;
            case ZIP_SOURCE_SUPPORTS:
                return zip_source_make_command_bitmap(
                    ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR,
                    ZIP_SOURCE_FREE, ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL, ZIP_SOURCE_BEGIN_WRITE, ZIP_SOURCE_COMMIT_WRITE,
                    ZIP_SOURCE_ROLLBACK_WRITE, ZIP_SOURCE_WRITE, ZIP_SOURCE_SEEK_WRITE, ZIP_SOURCE_TELL_WRITE,
                    ZIP_SOURCE_REMOVE, -1);
            default:
                return Fail(ZIP_ER_OPNOTSUPP, 0);
        }
    }

    // As libzip's own file source does, a link at the archive's place is replaced, not
    // followed. A new archive can be made again from its files and is not forced to disk;
    // one that replaces an archive is.
    zip_int64_t Commit() {
        const bool replaces = QFileInfo::exists(m_path);
        try {
            TAtomicFile file(m_path, QStringLiteral("Arkivet kunde inte skrivas: %1"));
            file.SetFollowLink(false);
            file.SetSyncToDisk(replaces);
            file.Open();
            file.Write(m_out);
            file.Commit();
        } catch (const Exception& e) {
            m_failure = e.Message();
            m_out.clear();
            return Fail(ZIP_ER_WRITE, 0);
        }
        m_out.clear();
        return 0;
    }

    QString m_path;
    QByteArray m_native;
    qsizetype m_expected;
    zip_error_t m_error;
    QString m_failure;
    int m_readFd = -1;
    qint64 m_readPos = 0, m_readSize = 0;
    QByteArray m_out;  // the new archive
    qint64 m_writePos = 0;
};

// An 8.3 upper-case form of one name component.
QString DosComponent(const QString& part) {
    QString base = part, ext;
    const qsizetype dot = part.lastIndexOf(QLatin1Char('.'));
    if (dot > 0) {
        base = part.left(dot);
        ext = part.mid(dot + 1);
    }
    auto clean = [](const QString& s, int width) {
        QString out;
        for (QChar c : s) {
            if (c == QLatin1Char(' ') || c == QLatin1Char('.')) continue;
            out.append(QStringLiteral("+,;=[]").contains(c) ? QChar(u'_') : c);
        }
        return out.left(width).toUpper();
    };
    QString b = clean(base, 8);
    if (b.isEmpty()) b = QStringLiteral("_");
    const QString e = clean(ext, 3);
    return e.isEmpty() ? b : b + QLatin1Char('.') + e;
}

class TZipJob {
public:
    explicit TZipJob(ZipCommandRec* rec) : m_rec(rec), m_report(rec->Callback, rec->Component, true) {}

    int32_t Run() {
        ReadSwitches();
        if (m_archive.isEmpty()) {
            m_report.Message(ZipErrBadCommand, QStringLiteral("Inget arkiv angivet."));
            return 0;
        }
        Gather();
        if (m_report.Aborted()) return Abort();
        if (m_files.empty() && m_skippedErrors == 0 && !m_freshen && !m_update) {
            m_report.Message(ZipErrNothingMatched, QStringLiteral("Inga filer hittades att packa."));
            return 0;
        }
        return Write();
    }

private:
    void ReadSwitches() {
        m_archive = RecText(m_rec->ZipFileName);
        m_archivePath = QDir::cleanPath(QFileInfo(m_archive).absoluteFilePath());
        m_password = RecText(m_rec->Password).left(MaxPasswordLength);
        m_level = qBound(0, m_rec->Level, 9);
        m_hidden = m_rec->IncludeHidden != 0;
        m_junkDir = m_rec->StripFolderNames != 0;
        m_forceDOS = m_rec->ForceDOS != 0;
        m_move = m_rec->Move != 0;
        m_update = m_rec->Update != 0;
        m_freshen = !m_update && m_rec->Freshen != 0;
        m_dirEntries = m_rec->NoFolderEntries == 0;
        m_verbose = m_rec->Verbose != 0 || m_rec->Trace != 0;
        m_trash = m_rec->UseTrash != 0;
        m_latestTime = m_rec->ArchiveTakesNewestTime != 0;
        for (const QString& s : RecText(m_rec->StoreSuffixes).toLower().split(QLatin1Char(':'), Qt::SkipEmptyParts))
            m_storeSuffixes << (s.startsWith(QLatin1Char('.')) ? s : QLatin1Char('.') + s);
        if (m_rec->FromDate != 0) {
            const QString d = QString::fromLatin1(m_rec->Date, 8);
            bool okM = false, okD = false, okY = false;
            const int mm = d.mid(0, 2).trimmed().toInt(&okM);
            const int dd = d.mid(3, 2).trimmed().toInt(&okD);
            const int yy = d.mid(6, 2).trimmed().toInt(&okY);
            if (okM && okD && okY) m_fromDate = QDate(yy < 80 ? 2000 + yy : 1900 + yy, mm, dd);
        }
        for (int i = 0; i < m_rec->ExcludeCount && m_rec->ExcludeSpecs; ++i) {
            QString x = RecText(m_rec->ExcludeSpecs[i]);
            x.replace(QLatin1Char('\\'), QLatin1Char('/'));
            if (!x.isEmpty()) m_excl << x;
        }
    }

    bool Excluded(const QString& stored) const {
        const QString fileName = stored.section(QLatin1Char('/'), -1);
        for (const QString& x : m_excl) {
            const bool withPath = x.contains(QLatin1Char('/'));
            if (zipcommon::WildcardMatch(x, withPath ? stored : fileName)) return true;
        }
        return false;
    }

    QString StoredName(const QString& path, const QString& root) const {
        QString name;
        const QString r = QDir::cleanPath(root);
        if (!r.isEmpty() && (path.startsWith(r + QLatin1Char('/')) || (r == QLatin1String("/") && path.startsWith(r))))
            name = path.mid(r == QLatin1String("/") ? 1 : r.size() + 1);
        else
            name = path;
        while (name.startsWith(QLatin1Char('/'))) name.remove(0, 1);
        if (m_junkDir) name = name.section(QLatin1Char('/'), -1);
        if (m_forceDOS) {
            QStringList parts = name.split(QLatin1Char('/'));
            for (QString& p : parts) p = DosComponent(p);
            name = parts.join(QLatin1Char('/'));
        }
        return name;
    }

    // One look at the file (lstat) gives all that is kept of it: only a regular file, never
    // a link, is packed.
    void Consider(const QFileInfo& fi, const QString& root, const ZipFileSpecRec& spec) {
        Consider(QDir::cleanPath(fi.absoluteFilePath()), fi.fileName(), root, spec);
    }
    // path is absolute and clean.
    void Consider(const QString& path, const QString& fileName, const QString& root, const ZipFileSpecRec& spec) {
        if (!m_hidden && fileName.startsWith(QLatin1Char('.'))) return;
        struct stat st;
        if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode)) return;
        if (m_fromDate.isValid() && QDateTime::fromSecsSinceEpoch(qint64(st.st_mtim.tv_sec)).date() < m_fromDate)
            return;
        if (path == m_archivePath) return;  // the archive never packs itself
        const QString stored = StoredName(path, root);
        if (stored.isEmpty() || Excluded(stored) || m_seen.contains(stored)) return;
        m_seen.insert(stored);
        TSourceFile f;
        f.Path = path;
        f.Name = stored;
        f.Size = qint64(st.st_size);
        f.MTime = qint64(st.st_mtim.tv_sec);
        f.Mode = uint(st.st_mode & 0777);
        f.Encrypt = spec.Encrypt != 0;
        f.Password = spec.Password ? RecText(spec.Password).left(MaxPasswordLength) : m_password;
        if (f.Encrypt && f.Password.isEmpty() && !m_askedPassword) {
            // Asked once per batch; the answer serves every file without a password of its own.
            m_askedPassword = true;
            const CallbackRec& answer = m_report.Send(ActPassword, 1, 1, stored);
            if (answer.FirstValue == 1) m_password = QString::fromUtf8(answer.Text).left(MaxPasswordLength);
        }
        if (f.Encrypt && f.Password.isEmpty()) f.Password = m_password;
        if (f.Encrypt && f.Password.isEmpty()) {
            // Never store a file unencrypted that was meant to be encrypted.
            ++m_skippedErrors;
            m_report.Message(ZipErrPassword,
                             QStringLiteral("Inget lösenord för kryptering, filen packades inte: %1").arg(stored));
            return;
        }
        m_files.push_back(f);
        m_totalSize += f.Size;
    }

    // A folder's files in name order, then (when recursing) its folders in name order; links
    // are never followed. One pass over the folder: its entries' types come with the names
    // where the file system gives them, else from one lstat.
    void Walk(const QString& folder, const QString& pattern, bool recurse, const QString& root,
              const ZipFileSpecRec& spec, int depth) {
        if (depth > 256 || m_report.Aborted()) return;
        const QString dir = QDir::cleanPath(QDir(folder).absolutePath());
        const QString prefix = dir == QLatin1String("/") ? dir : dir + QLatin1Char('/');
        DIR* d = ::opendir(QFile::encodeName(dir).constData());
        if (!d) return;
        QStringList files, folders;
        while (const dirent* e = ::readdir(d)) {
            const char* raw = e->d_name;
            if (raw[0] == '.' && (raw[1] == '\0' || (raw[1] == '.' && raw[2] == '\0'))) continue;
            if (!m_hidden && raw[0] == '.') continue;
            unsigned char type = e->d_type;
            const QString name = QFile::decodeName(raw);
            if (type == DT_UNKNOWN) {
                struct stat st;
                if (::lstat(QFile::encodeName(prefix + name).constData(), &st) != 0) continue;
                type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISLNK(st.st_mode) ? DT_LNK : DT_REG;
            }
            if (type == DT_LNK) continue;
            if (type == DT_DIR)
                folders << name;
            else
                files << name;
        }
        ::closedir(d);
        const auto byName = [](const QString& a, const QString& b) { return a.compare(b) < 0; };
        std::sort(files.begin(), files.end(), byName);
        for (const QString& name : files)
            if (zipcommon::WildcardMatch(pattern, name)) Consider(prefix + name, name, root, spec);
        if (!recurse) return;
        std::sort(folders.begin(), folders.end(), byName);
        for (const QString& name : folders) Walk(prefix + name, pattern, recurse, root, spec, depth + 1);
    }

    void Gather() {
        for (int i = 0; i < m_rec->SpecCount && m_rec->FileSpecs; ++i) {
            const ZipFileSpecRec& spec = m_rec->FileSpecs[i];
            QString text = RecText(spec.FileSpec).trimmed();
            text.replace(QLatin1Char('\\'), QLatin1Char('/'));
            if (text.isEmpty()) continue;
            QString root = RecText(spec.RootDir);
            root.replace(QLatin1Char('\\'), QLatin1Char('/'));
            if (root.isEmpty()) root = QDir::currentPath();
            root = QDir::cleanPath(QDir(root).absolutePath());
            const QString full = QDir::cleanPath(QDir::isAbsolutePath(text) ? text : root + QLatin1Char('/') + text);
            const bool recurse = spec.Recurse != 0;
            const size_t before = m_files.size() + size_t(m_skippedErrors);
            const QFileInfo fi(full);
            if (!zipcommon::HasWildcards(text) && fi.isDir() && !fi.isSymLink())
                Walk(full, QStringLiteral("*"), recurse, root, spec, 0);
            else if (!zipcommon::HasWildcards(text) && !recurse)
                Consider(fi, root, spec);
            else
                Walk(fi.absolutePath(), fi.fileName(), recurse, root, spec, 0);
            if (m_files.size() + size_t(m_skippedErrors) == before && m_verbose)
                m_report.Message(0, QStringLiteral("Inga filer motsvarar: %1").arg(text));
        }
    }

    int32_t Abort() {
        m_report.Message(ZipErrAborted, QStringLiteral("Packningen avbröts."));
        return 0;
    }

    static QString LibzipError(zip_t* za) { return QString::fromUtf8(zip_strerror(za)); }

    // Data in front of the archive (a self-extractor's stub and settings) is set aside: the
    // archive is worked on without it and given it back, offsets moved, before anything else
    // (moving the sources) relies on the result.
    int32_t Write() {
        m_workPath = m_archive;
        m_prefix.clear();
        m_workDir.reset();
        QFile in(m_archive);
        if (in.open(QIODevice::ReadOnly)) {
            const zipcommon::TEndOfCentral end = zipcommon::FindEndOfCentral(in);
            const qint64 start = end.Found ? zipcommon::ZipDataStart(in, end) : 0;
            if (start > 0) {
                const QString tempDir = RecText(m_rec->TempDir);
                m_workDir = std::make_unique<QTemporaryDir>(
                    QDir(tempDir.isEmpty() ? QDir::tempPath() : tempDir).filePath(QStringLiteral("mykozip_XXXXXX")));
                if (!m_workDir->isValid()) {
                    m_report.Message(ZipErrWrite, QStringLiteral("En tillfällig fil kunde inte skapas."));
                    return 0;
                }
                const QString workPath = m_workDir->filePath(QStringLiteral("arkiv.zip"));
                TAtomicFileDevice work(workPath);
                zipcommon::TMoveResult r = zipcommon::MoveReadError;
                try {
                    work.Begin();
                    r = zipcommon::MoveZipData(in, end, start, work, 0);
                    if (r == zipcommon::MoveOk) work.File().Commit();
                } catch (const Exception& e) {
                    m_report.Message(ZipErrWrite, e.Message());
                    return 0;
                }
                if (r != zipcommon::MoveOk) {
                    if (!work.Failure().isEmpty())
                        m_report.Message(ZipErrWrite, work.Failure());
                    else
                        m_report.Message(
                            r == zipcommon::MoveNeedsZip64 || r == zipcommon::MoveNoZip ? ZipErrDamaged : ZipErrWrite,
                            QStringLiteral("Arkivet kunde inte öppnas: %1").arg(m_archive));
                    return 0;
                }
                if (!in.seek(0) || (m_prefix = in.read(start)).size() != start) {
                    m_report.Message(ZipErrRead, QStringLiteral("Arkivet kunde inte läsas: %1").arg(m_archive));
                    return 0;
                }
                m_workPath = workPath;
            }
            in.close();
        }
        const int32_t added = WriteArchive();
        m_workDir.reset();
        return added;
    }

    // Puts the set-aside data back in front of the written archive: one checked write, so
    // the archive stays as it was unless the whole new one arrived.
    bool RestorePrefix() {
        if (!m_workDir) return true;
        QFile work(m_workPath);
        TAtomicFileDevice save(m_archive, QStringLiteral("Arkivet kunde inte skrivas: %1"));
        zipcommon::TMoveResult r = zipcommon::MoveReadError;
        try {
            if (!work.open(QIODevice::ReadOnly)) {
                m_report.Message(ZipErrRead, QStringLiteral("Arkivet kunde inte läsas: %1").arg(m_workPath));
                return false;
            }
            save.Begin();
            if (save.write(m_prefix) == m_prefix.size()) {
                const zipcommon::TEndOfCentral end = zipcommon::FindEndOfCentral(work);
                r = zipcommon::MoveZipData(work, end, 0, save, m_prefix.size());
            }
            if (r == zipcommon::MoveOk) {
                save.File().Commit();
                return true;
            }
        } catch (const Exception& e) {
            m_report.Message(ZipErrWrite, e.Message());
            return false;
        }
        if (!save.Failure().isEmpty())
            m_report.Message(ZipErrWrite, save.Failure());
        else
            m_report.Message(r == zipcommon::MoveNeedsZip64 ? ZipErrDamaged : ZipErrWrite,
                             QStringLiteral("Arkivet kunde inte skrivas: %1").arg(m_archive));
        return false;
    }

    // An archive up to this size (estimated from the old archive and the files, with room for
    // each entry's headers) is built in memory and written through TAtomicFile; a larger one
    // is written by libzip's own file source.
    static constexpr qint64 kInMemory = 64 * 1024 * 1024;

    // Opens the archive with libzip; source gets the in-memory source where one is used.
    zip_t* OpenArchive(qint64 existingSize, int flags, int& err, TMemoryArchiveSource*& source) {
        source = nullptr;
        const qint64 expected = existingSize + m_totalSize + 512 * qint64(m_files.size()) + 64 * 1024;
        if (expected > kInMemory) return zip_open(QFile::encodeName(m_workPath).constData(), flags, &err);
        zip_error_t ze;
        zip_error_init(&ze);
        auto* state = new TMemoryArchiveSource(m_workPath, qsizetype(expected));
        zip_t* za = nullptr;
        zip_source_t* src = zip_source_function_create(TMemoryArchiveSource::Callback, state, &ze);
        if (!src) {
            delete state;
        } else {
            za = zip_open_from_source(src, flags, &ze);
            if (!za) zip_source_free(src);
        }
        err = za ? 0 : zip_error_code_zip(&ze);
        zip_error_fini(&ze);
        if (za) source = state;
        return za;
    }

    int32_t WriteArchive() {
        const QFileInfo archiveInfo(m_workPath);
        int err = 0;
        zip_t* za = nullptr;
        TMemoryArchiveSource* memory = nullptr;
        if (archiveInfo.exists() && archiveInfo.size() > 0) {
            za = OpenArchive(archiveInfo.size(), 0, err, memory);
            if (!za) {
                zip_error_t ze;
                zip_error_init_with_code(&ze, err);
                m_report.Message(err == ZIP_ER_NOZIP || err == ZIP_ER_INCONS ? ZipErrDamaged : ZipErrOpen,
                                 QStringLiteral("Arkivet kunde inte öppnas: %1 (%2)")
                                     .arg(m_archive, QString::fromUtf8(zip_error_strerror(&ze))));
                zip_error_fini(&ze);
                return 0;
            }
        } else {
            if (m_freshen) return 0;  // nothing to freshen
            za = OpenArchive(0, ZIP_CREATE | ZIP_TRUNCATE, err, memory);
            if (!za) {
                m_report.Message(ZipErrOpen, QStringLiteral("Arkivet kunde inte skapas: %1").arg(m_archive));
                return 0;
            }
            const QByteArray comment = RecText(m_rec->ArchiveComment).toUtf8();
            if (!comment.isEmpty())
                zip_set_archive_comment(za, comment.constData(), zip_uint16_t(qMin<qsizetype>(comment.size(), 0xFFFF)));
        }

        // Decide which files go in.
        std::vector<const TSourceFile*> chosen;
        qint64 chosenSize = 0;
        for (const TSourceFile& f : m_files) {
            const zip_int64_t idx = zip_name_locate(za, f.Name.toUtf8().constData(), 0);
            if (m_freshen || m_update) {
                if (idx >= 0) {
                    zip_stat_t st;
                    if (zip_stat_index(za, zip_uint64_t(idx), 0, &st) == 0 && (st.valid & ZIP_STAT_MTIME)) {
                        // DOS times have two-second steps; the stored time was cut down to one.
                        const qint64 fileTime = f.MTime / 2 * 2;
                        if (fileTime <= qint64(st.mtime)) continue;
                    }
                } else if (m_freshen) {
                    continue;
                }
            }
            chosen.push_back(&f);
            chosenSize += f.Size;
        }
        if (chosen.empty()) {
            zip_discard(za);
            return 0;
        }
        m_report.Send(ActTotalFiles, 0, qint64(chosen.size()));
        m_report.Send(ActTotalSize, 0, chosenSize);
        if (m_report.Aborted()) {
            zip_discard(za);
            return Abort();
        }

        int32_t added = 0;
        bool readFailed = false;
        QSet<QString> dirsAdded;
        for (const TSourceFile* f : chosen) {
            QString name = f->Name;
            // The caller may rename the entry.
            const CallbackRec& nn = m_report.Send(ActNewName, 0, 0, name);
            if (nn.FirstValue == 1) {
                QString changed = QString::fromUtf8(nn.Text);
                changed.replace(QLatin1Char('\\'), QLatin1Char('/'));
                if (!zipcommon::SafeRelativePath(changed).isEmpty()) name = zipcommon::SafeRelativePath(changed);
            }
            if (m_dirEntries) {
                QStringList parts = name.split(QLatin1Char('/'));
                parts.removeLast();
                QString dir;
                for (const QString& p : parts) {
                    dir += p + QLatin1Char('/');
                    if (dirsAdded.contains(dir)) continue;
                    dirsAdded.insert(dir);
                    if (zip_name_locate(za, dir.toUtf8().constData(), 0) < 0)
                        zip_dir_add(za, dir.toUtf8().constData(), ZIP_FL_ENC_UTF_8);
                }
            }
            auto* state = new TFileSource;
            state->File = f;
            state->Reporter = &m_report;
            state->ReadFailed = &readFailed;
            zip_error_init(&state->Error);
            zip_error_t createError;
            zip_error_init(&createError);
            zip_source_t* src = zip_source_function_create(FileSourceCallback, state, &createError);
            if (!src) {
                delete state;
                zip_discard(za);
                m_report.Message(ZipErrMemory, QStringLiteral("Minnet räckte inte."));
                return 0;
            }
            const QByteArray stored = name.toUtf8();
            const bool replaces = zip_name_locate(za, stored.constData(), 0) >= 0;
            const zip_int64_t idx = zip_file_add(za, stored.constData(), src, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
            if (idx < 0) {
                zip_source_free(src);
                m_report.Message(ZipErrGeneral,
                                 QStringLiteral("Filen kunde inte läggas till: %1 (%2)").arg(name, LibzipError(za)));
                continue;
            }
            const bool store = m_level == 0 ||
                std::any_of(m_storeSuffixes.begin(), m_storeSuffixes.end(),
                            [&](const QString& s) { return name.endsWith(s, Qt::CaseInsensitive); });
            zip_set_file_compression(za, zip_uint64_t(idx), store ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                     store ? 0 : zip_uint32_t(m_level));
            zip_file_set_external_attributes(za, zip_uint64_t(idx), 0, ZIP_OPSYS_UNIX,
                                             (zip_uint32_t(S_IFREG | (f->Mode & 0777))) << 16);
            if (zip_file_set_encryption(za, zip_uint64_t(idx), f->Encrypt ? ZIP_EM_TRAD_PKWARE : ZIP_EM_NONE,
                                        f->Encrypt ? f->Password.toUtf8().constData() : nullptr) < 0) {
                zip_delete(za, zip_uint64_t(idx));
                ++m_skippedErrors;
                m_report.Message(ZipErrPassword, QStringLiteral("Filen kunde inte krypteras: %1").arg(name));
                continue;
            }
            // A replaced entry keeps nothing of the old one: libzip would carry over its
            // extra fields (an old time stamp among them) and, without the explicit setting
            // above, its encryption. (After the other settings: libzip drops a setting equal
            // to the old entry's once the entry's fields have been changed.)
            if (replaces)
                zip_file_extra_field_delete(za, zip_uint64_t(idx), ZIP_EXTRA_FIELD_ALL, ZIP_FL_CENTRAL | ZIP_FL_LOCAL);
            const CallbackRec& fc = m_report.Send(ActFileComment, 0, 0, name);
            if (fc.FirstValue == 1) {
                const QByteArray comment = QString::fromUtf8(fc.Text).toUtf8();
                zip_file_set_comment(za, zip_uint64_t(idx), comment.constData(), zip_uint16_t(comment.size()),
                                     ZIP_FL_ENC_UTF_8);
            }
            if (m_verbose) m_report.Message(0, QStringLiteral("  lägger till: %1").arg(name));
            m_stored.push_back(f->Path);
            ++added;
            if (m_report.Aborted()) break;
        }
        if (m_report.Aborted()) {
            zip_discard(za);
            return Abort();
        }
        if (zip_close(za) != 0) {
            const QString why = LibzipError(za);
            // The writer's words name the file it wrote: used when that is the archive itself.
            const QString failure = memory && m_workPath == m_archive ? memory->Failure() : QString();
            const bool cancelled = m_report.Aborted();
            zip_discard(za);
            if (cancelled) return Abort();
            if (!failure.isEmpty())
                m_report.Message(ZipErrWrite, failure);
            else
                m_report.Message(readFailed ? ZipErrRead : ZipErrWrite,
                                 QStringLiteral("Arkivet kunde inte skrivas: %1 (%2)").arg(m_archive, why));
            return 0;
        }
        if (!RestorePrefix()) return 0;
        m_report.Send(ActEndBatch, 0, 0);
        if (m_latestTime) GiveNewestTime();
        // Sources are moved only once the archive is committed, and only those stored.
        if (m_move)
            for (const QString& path : m_stored) {
                if (!zipcommon::RemoveFile(path, m_trash))
                    m_report.Message(ZipErrWrite, QStringLiteral("Filen kunde inte tas bort: %1").arg(path));
            }
        return added;
    }

    // The archive takes the time of its newest entry.
    void GiveNewestTime() {
        int err = 0;
        zip_t* za = zip_open(QFile::encodeName(m_archive).constData(), ZIP_RDONLY, &err);
        if (!za) return;
        qint64 newest = 0;
        const zip_int64_t n = zip_get_num_entries(za, 0);
        for (zip_int64_t i = 0; i < n; ++i) {
            zip_stat_t st;
            if (zip_stat_index(za, zip_uint64_t(i), 0, &st) == 0 && (st.valid & ZIP_STAT_MTIME))
                newest = qMax<qint64>(newest, qint64(st.mtime));
        }
        zip_discard(za);
        if (newest <= 0) return;
        const struct timespec times[2] = {{0, UTIME_OMIT}, {time_t(newest), 0}};
        ::utimensat(AT_FDCWD, QFile::encodeName(m_archive).constData(), times, 0);
    }

    ZipCommandRec* m_rec;
    zipcommon::TReporter m_report;
    QString m_archive, m_archivePath, m_password;
    QString m_workPath;  // what libzip works on: the archive or a stub-less copy
    QByteArray m_prefix;  // the data set aside in front of the archive
    std::unique_ptr<QTemporaryDir> m_workDir;  // holds the stub-less copy while it is worked on
    int m_level = 9;
    bool m_hidden = false, m_junkDir = false, m_forceDOS = false, m_move = false, m_update = false, m_freshen = false,
         m_dirEntries = false, m_verbose = false, m_trash = false, m_latestTime = false;
    QStringList m_storeSuffixes, m_excl;
    QDate m_fromDate;
    std::vector<TSourceFile> m_files;
    QSet<QString> m_seen;
    qint64 m_totalSize = 0;
    int m_skippedErrors = 0;
    bool m_askedPassword = false;
    std::vector<QString> m_stored;
};

}  // namespace

extern "C" Q_DECL_EXPORT int32_t GetZipLibVersion() { return LibVersion; }

extern "C" Q_DECL_EXPORT int32_t ZipLibExec(ZipCommandRec* rec) {
    if (!rec || rec->CheckValue != RecordCheckValue || !rec->Callback) return 0;
    try {
        TZipJob job(rec);
        return job.Run();
    } catch (...) {
        // Nothing may unwind into the caller.
        zipcommon::TReporter report(rec->Callback, rec->Component, true);
        report.Message(ZipErrGeneral, QStringLiteral("Oväntat fel i packningen."));
        return 0;
    }
}
