// The unpacking job: reads the archive named by one command record and writes its entries
// below the base folder with its own loop over libzip's reading. Nothing is ever written
// outside the base folder, through a symbolic link, or over an existing file before the new
// content is complete and checked.
#include "platform/ziplibs/unzlib/UnzJob.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageAuthenticationCode>
#include <QSet>
#include <QStorageInfo>
#include <QStringList>
#include <zip.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/Exception.h"
#include "platform/ziplibs/ZipLibApi.h"
#include "platform/ziplibs/common/ZipCommon.h"
#include "platform/ziplibs/common/ZipReporter.h"

using namespace ziplibs;
using zipcommon::RecText;

namespace {

struct TEntry {
    zip_uint64_t Index = 0;
    zipcommon::TCentralEntry Central;
    QString Name;  // decoded, "/" separated
    QString Relative;  // where it goes below the base folder
    bool IsDir = false;
};

// The size of the one buffer of a run.
constexpr size_t kBufferSize = 256 * 1024;

// The AES strength of an entry (1, 2 or 3 for 128, 192 or 256 bits); 0 without one.
int AesStrength(const zipcommon::TCentralEntry& c) {
    const QByteArray& x = c.Extra;
    for (qsizetype at = 0; at + 4 <= x.size();) {
        const quint16 tag = quint16(uchar(x[at]) | uchar(x[at + 1]) << 8);
        const quint16 len = quint16(uchar(x[at + 2]) | uchar(x[at + 3]) << 8);
        if (at + 4 + len > x.size()) break;
        if (tag == 0x9901 && len >= 7) return uchar(x[at + 8]);
        at += 4 + len;
    }
    return 0;
}

// PBKDF2 with HMAC-SHA1, as the AES entries of zip derive their keys.
QByteArray Pbkdf2Sha1(const QByteArray& password, const QByteArray& salt, int rounds, int length) {
    QMessageAuthenticationCode mac(QCryptographicHash::Sha1, password);
    QByteArray out;
    for (quint32 block = 1; out.size() < length; ++block) {
        QByteArray number(4, '\0');
        number[0] = char(block >> 24);
        number[1] = char(block >> 16);
        number[2] = char(block >> 8);
        number[3] = char(block);
        mac.reset();
        mac.addData(salt + number);
        QByteArray u = mac.result(), t = u;
        for (int i = 1; i < rounds; ++i) {
            mac.reset();
            mac.addData(u);
            u = mac.result();
            for (qsizetype k = 0; k < t.size(); ++k) t[k] = char(t[k] ^ u[k]);
        }
        out += t;
    }
    return out.left(length);
}

// Whether the authentication code of an AES entry matches its encrypted data under the
// password. (libzip 1.7 reports a wrong code and the CRC field of 0 that AE-2 entries carry
// by design in the same way, as a CRC error, so the code is checked here.)
bool AuthenticationCodeMatches(zip_t* za, zip_uint64_t index, const zipcommon::TCentralEntry& c,
                               const QString& password) {
    const int strength = AesStrength(c);
    if (strength < 1 || strength > 3) return false;
    const int keyLength = 8 + 8 * strength, saltLength = 4 + 4 * strength;
    const qint64 raw = qint64(c.CompressedSize);
    const qint64 dataLength = raw - saltLength - 2 - 10;
    if (dataLength < 0) return false;
    zip_file_t* f = zip_fopen_index(za, index, ZIP_FL_COMPRESSED | ZIP_FL_ENCRYPTED);
    if (!f) return false;
    auto readExactly = [&](char* to, qint64 n) {
        for (qint64 done = 0; done < n;) {
            const zip_int64_t got = zip_fread(f, to + done, zip_uint64_t(n - done));
            if (got <= 0) return false;
            done += got;
        }
        return true;
    };
    QByteArray head(saltLength + 2, '\0');
    bool ok = readExactly(head.data(), head.size());
    if (ok) {
        const QByteArray keys = Pbkdf2Sha1(password.toUtf8(), head.left(saltLength), 1000, 2 * keyLength + 2);
        ok = keys.right(2) == head.right(2);  // the password verifier
        QMessageAuthenticationCode mac(QCryptographicHash::Sha1, keys.mid(keyLength, keyLength));
        std::vector<char> buffer(64 * 1024);
        for (qint64 left = dataLength; ok && left > 0;) {
            const qint64 n = qMin<qint64>(left, qint64(buffer.size()));
            ok = readExactly(buffer.data(), n);
            mac.addData(buffer.data(), n);
            left -= n;
        }
        QByteArray code(10, '\0');
        ok = ok && readExactly(code.data(), code.size()) && mac.result().left(10) == code;
    }
    zip_fclose(f);
    return ok;
}

// The archive as libzip reads it: the part of the file from the zip data's start to the end
// of its end record, read through a buffer of its own with pread. (libzip's file source seeks
// its stream before each entry: three system calls per entry for nothing on a large archive.)
class TWindowSource {
public:
    TWindowSource(const QString& path, qint64 start, qint64 length)
        : m_path(QFile::encodeName(path)), m_start(start), m_length(length) {
        zip_error_init(&m_error);
    }
    ~TWindowSource() {
        if (m_fd >= 0) ::close(m_fd);
        zip_error_fini(&m_error);
    }
    TWindowSource(const TWindowSource&) = delete;
    TWindowSource& operator=(const TWindowSource&) = delete;

    static zip_int64_t Callback(void* state, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
        return static_cast<TWindowSource*>(state)->Handle(data, len, cmd);
    }

private:
    static constexpr qint64 kBlock = 256 * 1024;

    zip_int64_t Fail(int zipError, int systemError) {
        zip_error_set(&m_error, zipError, systemError);
        return -1;
    }

    // Reads at the window's offset at; 0 at its end.
    qint64 ReadAt(char* to, qint64 at, qint64 n) {
        n = qMin(n, m_length - at);
        if (n <= 0) return 0;
        ssize_t got;
        do got = ::pread(m_fd, to, size_t(n), off_t(m_start + at));
        while (got < 0 && errno == EINTR);
        return got;
    }

    zip_int64_t Read(char* to, qint64 len) {
        qint64 done = 0;
        while (done < len && m_pos < m_length) {
            if (m_pos >= m_bufferAt && m_pos < m_bufferAt + m_bufferLength) {
                const qint64 n = qMin(len - done, m_bufferAt + m_bufferLength - m_pos);
                std::memcpy(to + done, m_buffer.data() + (m_pos - m_bufferAt), size_t(n));
                done += n;
                m_pos += n;
                continue;
            }
            const bool direct = len - done >= kBlock;
            if (!direct && m_buffer.empty()) m_buffer.resize(size_t(kBlock));
            const qint64 got = direct ? ReadAt(to + done, m_pos, len - done) : ReadAt(m_buffer.data(), m_pos, kBlock);
            if (got < 0) return Fail(ZIP_ER_READ, errno);
            if (got == 0) break;
            if (direct) {
                done += got;
                m_pos += got;
            } else {
                m_bufferAt = m_pos;
                m_bufferLength = got;
            }
        }
        return done;
    }

    zip_int64_t Handle(void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
        switch (cmd) {
            case ZIP_SOURCE_OPEN:
                if (m_fd < 0) m_fd = ::open(m_path.constData(), O_RDONLY | O_CLOEXEC);
                if (m_fd < 0) return Fail(ZIP_ER_OPEN, errno);
                m_pos = 0;
                return 0;
            case ZIP_SOURCE_READ:
                return Read(static_cast<char*>(data), qint64(qMin<zip_uint64_t>(len, zip_uint64_t(1) << 40)));
            case ZIP_SOURCE_CLOSE:
                if (m_fd >= 0) ::close(m_fd);
                m_fd = -1;
                m_bufferLength = 0;
                return 0;
            case ZIP_SOURCE_SEEK: {
                const zip_int64_t at =
                    zip_source_seek_compute_offset(zip_uint64_t(m_pos), zip_uint64_t(m_length), data, len, &m_error);
                if (at < 0) return -1;
                m_pos = at;
                return 0;
            }
            case ZIP_SOURCE_TELL:
                return m_pos;
            case ZIP_SOURCE_STAT: {
                // Asked for again with every entry opened: the file is looked at once.
                if (!m_statDone) {
                    struct stat st;
                    if (::stat(m_path.constData(), &st) != 0) return Fail(ZIP_ER_READ, errno);
                    m_mtime = st.st_mtime;
                    m_statDone = true;
                }
                auto* zs = static_cast<zip_stat_t*>(data);
                zip_stat_init(zs);
                zs->size = zip_uint64_t(m_length);
                zs->mtime = m_mtime;
                zs->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME;
                return sizeof(*zs);
            }
            case ZIP_SOURCE_ERROR:
                return zip_error_to_data(&m_error, data, len);
            case ZIP_SOURCE_FREE:
                delete this;
                return 0;
            case ZIP_SOURCE_SUPPORTS:
                return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                                      ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
                                                      ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL, -1);
            default:
                return Fail(ZIP_ER_OPNOTSUPP, 0);
        }
    }

    QByteArray m_path;
    qint64 m_start, m_length;
    zip_error_t m_error;
    int m_fd = -1;
    qint64 m_pos = 0;
    std::vector<char> m_buffer;
    qint64 m_bufferAt = 0, m_bufferLength = 0;  // what the buffer holds, in window offsets
    bool m_statDone = false;
    time_t m_mtime = 0;
};

class TUnzipJob {
public:
    explicit TUnzipJob(UnzipCommandRec* rec) : m_rec(rec), m_report(rec->Callback, rec->Component, false) {}
    ~TUnzipJob() {
        if (m_za) zip_discard(m_za);
    }

    int32_t Run() {
        m_archive = RecText(m_rec->ZipFileName);
        m_base = RecText(m_rec->ExtrBaseDir);
        m_base.replace(QLatin1Char('\\'), QLatin1Char('/'));
        if (m_base.isEmpty()) m_base = QDir::currentPath();
        m_base = QDir::cleanPath(QDir(m_base).absolutePath());
        m_password = RecText(m_rec->Password).left(MaxPasswordLength);
        m_test = m_rec->Test != 0;
        m_update = m_rec->Update != 0;
        m_freshen = !m_update && m_rec->Freshen != 0;
        m_dirNames = m_rec->RecreateFolders != 0;
        m_overwrite = m_rec->Overwrite != 0;
        m_verbose = m_rec->Verbose != 0 || m_rec->Trace != 0;
        m_passwordTries = qBound(0, m_rec->PasswordReqCount, 15);
        for (int i = 0; i < m_rec->SpecCount && m_rec->FileSpecs; ++i) {
            QString s = RecText(m_rec->FileSpecs[i].FileSpec).trimmed();
            s.replace(QLatin1Char('\\'), QLatin1Char('/'));
            if (!s.isEmpty()) m_specs << s;
        }
        if (!Open()) return 0;
        if (!Select()) return 0;
        return ExtractAll();
    }

private:
    bool Open() {
        QFile file(m_archive);
        if (!file.open(QIODevice::ReadOnly)) {
            m_report.Message(ZipErrOpen, QStringLiteral("Arkivet kunde inte öppnas: %1").arg(m_archive));
            return false;
        }
        m_end = zipcommon::FindEndOfCentral(file);
        if (!m_end.Found || zipcommon::ReadCentralDirectory(file, m_end, m_central) != zipcommon::TCentralError::None) {
            m_report.Message(ZipErrDamaged, QStringLiteral("Arkivet är inte ett giltigt zip-arkiv: %1").arg(m_archive));
            return false;
        }
        file.close();
        // The archive proper starts after any prefix (a self-extractor stub) and ends with
        // its comment, so trailing bytes do not confuse the reading.
        zip_error_t err;
        zip_error_init(&err);
        auto* window = new TWindowSource(m_archive, m_end.SfxOffset, m_end.DataEnd - m_end.SfxOffset);
        zip_source_t* src = zip_source_function_create(TWindowSource::Callback, window, &err);
        if (!src) delete window;
        if (src) {
            m_za = zip_open_from_source(src, ZIP_RDONLY, &err);
            if (!m_za) zip_source_free(src);
        }
        if (!m_za) {
            m_report.Message(ZipErrDamaged,
                             QStringLiteral("Arkivet kunde inte läsas: %1 (%2)")
                                 .arg(m_archive, QString::fromUtf8(zip_error_strerror(&err))));
            zip_error_fini(&err);
            return false;
        }
        zip_error_fini(&err);
        if (zip_int64_t(m_central.size()) != zip_get_num_entries(m_za, 0)) {
            m_report.Message(ZipErrDamaged, QStringLiteral("Arkivets katalog är skadad: %1").arg(m_archive));
            return false;
        }
        return true;
    }

    bool Wanted(const QString& name) const {
        if (m_specs.isEmpty()) return true;
        const QString fileName = name.section(QLatin1Char('/'), -1);
        for (const QString& s : m_specs) {
            if (zipcommon::WildcardMatch(s, name)) return true;
            if (!s.contains(QLatin1Char('/')) && zipcommon::WildcardMatch(s, fileName)) return true;
        }
        return false;
    }

    void Skip(const QString& name, int32_t code, TSkipType type, const QString& why) {
        if (code != 0) m_failed = true;
        m_report.Send(ActSkipped, code, int64_t(type) + 1, name);
        if (code != 0 && !why.isEmpty()) m_report.Message(code, why);
    }

    bool Select() {
        qint64 total = 0;
        for (qsizetype i = 0; i < m_central.size(); ++i) {
            const zipcommon::TCentralEntry& c = m_central[i];
            TEntry e;
            e.Index = zip_uint64_t(i);
            e.Central = c;
            e.Name = zipcommon::DecodeName(c.RawName, c.Flags, c.HostSystem, c.VersionMadeBy);
            e.Name.replace(QLatin1Char('\\'), QLatin1Char('/'));
            e.IsDir = e.Name.endsWith(QLatin1Char('/'));
            if (!Wanted(e.Name)) continue;
            e.Relative = zipcommon::SafeEntryPath(c, e.Name);
            if (e.Relative.isEmpty()) {
                Skip(e.Name, ZipErrUnsafe, SkipUnsafeName,
                     QStringLiteral("Otillåtet namn i arkivet, packades inte upp: %1").arg(e.Name));
                continue;
            }
            if (e.IsDir && !m_dirNames) continue;
            if (!m_dirNames) e.Relative = e.Relative.section(QLatin1Char('/'), -1);
            if (!e.IsDir) total += qint64(qMin<quint64>(c.UncompressedSize, quint64(1) << 62));
            m_entries.push_back(e);
        }
        m_totalSize = total;
        if (!m_test && total > 0) {
            QString probe = m_base;
            while (!QFileInfo::exists(probe) && probe != QLatin1String("/")) probe = QFileInfo(probe).absolutePath();
            const QStorageInfo storage(probe);
            if (storage.isValid() && storage.bytesAvailable() >= 0 && storage.bytesAvailable() < total) {
                m_report.Message(
                    ZipErrSize, QStringLiteral("Det finns inte plats på disken för att packa upp %1 byte.").arg(total));
                return false;
            }
        }
        return true;
    }

    // Creates the folders of rel below the base, refusing to pass through a link or a file.
    // A folder found or made once is not looked at again in the same run.
    bool EnsureFolders(const QString& rel, bool lastIsDir) {
        if (!m_baseReady) {
            if (!QDir().mkpath(m_base)) return false;
            m_baseReady = true;
        }
        const qsizetype cut = lastIsDir ? rel.size() : rel.lastIndexOf(QLatin1Char('/'));
        if (cut <= 0) return true;
        const QString folder = rel.left(cut);
        if (m_folders.contains(folder)) return true;
        QString path = m_base;
        qsizetype from = 0;
        while (from < folder.size()) {
            qsizetype slash = folder.indexOf(QLatin1Char('/'), from);
            if (slash < 0) slash = folder.size();
            const QString sub = folder.left(slash);
            path = m_base + QLatin1Char('/') + sub;
            from = slash + 1;
            if (m_folders.contains(sub)) continue;
            const QByteArray native = QFile::encodeName(path);
            if (::mkdir(native.constData(), 0755) != 0) {
                struct stat st;
                // Only a real folder may stand there: never a link or a file.
                if (errno != EEXIST || ::lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
            }
            m_folders.insert(sub);
        }
        return true;
    }

    // Methods and encryptions libzip cannot read are refused before it is asked: its
    // failing open of such an entry does not free what it set up.
    static bool Readable(const TEntry& e) {
        const quint16 m = e.Central.Method;
        if ((e.Central.Flags & 1) && (e.Central.Flags & 0x40)) return false;  // strong encryption
        if (m == 99) return (e.Central.Flags & 1) != 0;  // AES
        return zip_compression_method_supported(m, 0) != 0;
    }

    zip_file_t* OpenEntry(const TEntry& e) {
        if (!Readable(e)) {
            zip_error_set(zip_get_error(m_za), ZIP_ER_COMPNOTSUPP, 0);
            return nullptr;
        }
        const bool encrypted = e.Central.Flags & 1;
        if (!encrypted) return zip_fopen_index(m_za, e.Index, 0);
        QString pw = m_password;
        int tries = m_passwordTries;
        for (;;) {
            if (!pw.isEmpty()) {
                zip_file_t* f = zip_fopen_index_encrypted(m_za, e.Index, 0, pw.toUtf8().constData());
                if (f) {
                    m_password = pw;
                    return f;
                }
                const int code = zip_error_code_zip(zip_get_error(m_za));
                if (code != ZIP_ER_WRONGPASSWD && code != ZIP_ER_NOPASSWD) return nullptr;
            }
            if (m_noMorePasswords || tries <= 0 || m_report.Aborted()) return nullptr;
            const CallbackRec& answer = m_report.Send(ActPassword, 0, tries, e.Name);
            if (answer.Action == 0) m_noMorePasswords = true;  // cancel all
            if (answer.FirstValue != 1 || m_report.Aborted()) return nullptr;
            pw = QString::fromUtf8(answer.Text).left(MaxPasswordLength);
            tries = answer.SecondValue > 0 ? int(qMin<int64_t>(answer.SecondValue, 15)) - 1 : tries - 1;
        }
    }

    // Modes from an archive never carry setuid, setgid, sticky or write for others.
    uint SafeMode(const TEntry& e) const {
        if (e.Central.HostSystem == 3) {
            const uint mode = (e.Central.ExternalAttributes >> 16) & 0777;
            if (mode != 0) return (mode & ~uint(S_IWOTH)) | 0600;
        }
        return 0644;
    }

    qint64 EntryTime(const TEntry& e) {
        const quint32 stamp = (quint32(e.Central.Date) << 16) | e.Central.Time;
        if (!m_haveLastTime || stamp != m_lastDosStamp) {
            m_lastUnixTime = zipcommon::DosToUnixTime(e.Central.Date, e.Central.Time);
            m_lastDosStamp = stamp;
            m_haveLastTime = true;
        }
        return m_lastUnixTime;
    }

    int32_t ExtractOne(const TEntry& e) {
        const QString target = m_base + QLatin1Char('/') + e.Relative;
        if (e.IsDir) {
            if (!m_test && !EnsureFolders(e.Relative, true))
                Skip(e.Name, ZipErrWrite, SkipUnknown, QStringLiteral("Mappen kunde inte skapas: %1").arg(target));
            return 0;
        }
        const qint64 entryTime = EntryTime(e);
        bool targetAbsent = false;
        if (!m_test) {
            if (!EnsureFolders(e.Relative, false)) {
                Skip(e.Name, ZipErrUnsafe, SkipUnsafeName, QStringLiteral("Mappen kunde inte skapas: %1").arg(target));
                return 0;
            }
            struct stat st;
            if (::lstat(QFile::encodeName(target).constData(), &st) == 0) {
                if (S_ISDIR(st.st_mode)) {
                    Skip(e.Name, ZipErrExists, SkipFileExists,
                         QStringLiteral("En mapp har samma namn: %1").arg(target));
                    return 0;
                }
                const bool older = !S_ISLNK(st.st_mode) && qint64(st.st_mtime) < entryTime;
                if (m_freshen || m_update) {
                    if (!older) {
                        Skip(e.Name, 0, SkipOnFreshen, {});
                        return 0;
                    }
                } else if (!m_overwrite) {
                    const CallbackRec& answer =
                        m_report.Send(ActOverwrite, (older ? 0x10000 : 0) | int32_t(e.Index & 0xFFFF), 0, e.Name);
                    if (answer.SecondValue != 1) {
                        Skip(e.Name, 0, SkipNoOverwrite, {});
                        return 0;
                    }
                }
            } else if (m_freshen) {
                Skip(e.Name, 0, SkipOnFreshen, {});
                return 0;
            } else {
                targetAbsent = errno == ENOENT;
            }
        }
        if (m_report.Aborted()) return 0;

        zip_file_t* zf = OpenEntry(e);
        if (!zf) {
            if (m_report.Aborted()) return 0;
            const int code = zip_error_code_zip(zip_get_error(m_za));
            if (code == ZIP_ER_COMPNOTSUPP || code == ZIP_ER_ENCRNOTSUPP)
                Skip(e.Name, ZipErrDamaged, SkipCompressionUnknown,
                     QStringLiteral("Okänd packningsmetod: %1").arg(e.Name));
            else if (code == ZIP_ER_WRONGPASSWD || code == ZIP_ER_NOPASSWD || (e.Central.Flags & 1))
                Skip(e.Name, ZipErrPassword, SkipBadPassword,
                     QStringLiteral("Fel eller inget lösenord: %1").arg(e.Name));
            else
                Skip(e.Name, ZipErrDamaged, SkipUnknown,
                     QStringLiteral("Posten kunde inte läsas: %1 (%2)")
                         .arg(e.Name, QString::fromUtf8(zip_strerror(m_za))));
            return 0;
        }

        m_report.Send(ActNewFile, 0, qint64(qMin<quint64>(e.Central.UncompressedSize, quint64(1) << 62)), e.Name);
        // The content goes to a temporary file beside the target, put in place only when
        // complete and checked. A link at the target is replaced, never followed. An entry
        // that fits the buffer, for a target where nothing is yet, is read whole and checked
        // first and then written once to a file made in place: no temporary file to rename.
        if (m_buffer.empty()) m_buffer.resize(kBufferSize);
        const bool whole = targetAbsent && e.Central.UncompressedSize < m_buffer.size();
        std::optional<TAtomicFile> out;
        QString writeFailure;
        const auto openOut = [&]() -> bool {
            out.emplace(target);
            out->SetFollowLink(false);
            out->SetFolderReady(true);
            out->SetSyncToDisk(false);
            out->SetCreateInPlace(whole);
            out->SetMode(SafeMode(e));
            out->SetModificationTime(QDateTime::fromSecsSinceEpoch(entryTime, Qt::UTC));
            try {
                out->Open();
            } catch (const Exception& x) {
                Skip(e.Name, ZipErrWrite, SkipUnknown, x.Message());
                return false;
            }
            return true;
        };
        if (!m_test && !whole && !openOut()) {
            zip_fclose(zf);
            return 0;
        }
        quint32 crc = 0;
        quint64 done = 0;
        bool readError = false, tooLarge = false, writeError = false;
        for (;;) {
            // Read whole, each part goes after the one before (the buffer has room for one byte
            // more than the entry's size, so a longer entry is caught).
            char* const at = whole ? m_buffer.data() + done : m_buffer.data();
            const zip_int64_t n = zip_fread(zf, at, whole ? m_buffer.size() - done : m_buffer.size());
            if (n < 0) {
                readError = true;
                break;
            }
            if (n == 0) break;
            done += quint64(n);
            if (done > e.Central.UncompressedSize) {
                tooLarge = true;
                break;
            }
            crc = zipcommon::Crc32(crc, at, n);
            if (out) {
                try {
                    out->Write(m_buffer.data(), n);
                } catch (const Exception& x) {
                    writeError = true;
                    writeFailure = x.Message();
                    break;
                }
            }
            m_report.Send(ActProgress, 0, n);
            if (m_report.Aborted()) break;
        }
        const int libError = readError ? zip_error_code_zip(zip_file_get_error(zf)) : 0;
        zip_fclose(zf);
        if (m_report.Aborted()) return 0;
        if (writeError) {
            Skip(e.Name, ZipErrWrite, SkipUnknown, writeFailure);
            return 0;
        }
        if (tooLarge || (!readError && done != e.Central.UncompressedSize)) {
            Skip(e.Name, ZipErrSize, SkipSize, QStringLiteral("Posten har inte den angivna storleken: %1").arg(e.Name));
            return 0;
        }
        // An AE-2 entry whose data arrived whole: libzip's CRC error stands for the
        // authentication code or for the CRC field of 0; the code tells which.
        const bool ae2 = zipcommon::IsAE2Entry(e.Central);
        if (readError && libError == ZIP_ER_CRC && ae2 && done == e.Central.UncompressedSize &&
            AuthenticationCodeMatches(m_za, e.Index, e.Central, m_password))
            readError = false;
        if (readError && libError != ZIP_ER_CRC) {
            Skip(e.Name, ZipErrDamaged, SkipCompressionError, QStringLiteral("Posten är skadad: %1").arg(e.Name));
            return 0;
        }
        // An AE-2 entry carries no CRC by design: its authentication code, which libzip
        // checks while reading, vouches for it instead.
        const bool crcCarried = !ae2;
        if (readError || (crcCarried && crc != e.Central.Crc)) {
            const CallbackRec& answer = m_report.Send(ActCRCError, int32_t(crc), e.Central.Crc, e.Name);
            const bool keep = answer.FirstValue == 1 && !readError;
            if (!keep) {
                Skip(e.Name, ZipErrCRC, SkipCRCError,
                     QStringLiteral("CRC-fel, filen packades inte upp: %1").arg(e.Name));
                return 0;
            }
        }
        if (whole) {
            if (!openOut()) return 0;
            try {
                out->Write(m_buffer.data(), qint64(done));
            } catch (const Exception& x) {
                Skip(e.Name, ZipErrWrite, SkipUnknown, x.Message());
                return 0;
            }
        }
        if (out) {
            try {
                out->Commit();
            } catch (const Exception& x) {
                Skip(e.Name, ZipErrWrite, SkipUnknown, x.Message());
                return 0;
            }
        }
        if (m_verbose) m_report.Message(0, QStringLiteral("  packar upp: %1").arg(e.Relative));
        return 1;
    }

    int32_t ExtractAll() {
        int32_t count = 0;
        qint64 files = 0;
        for (const TEntry& e : m_entries) files += e.IsDir ? 0 : 1;
        m_report.Send(ActTotalFiles, 0, files);
        m_report.Send(ActTotalSize, 0, m_totalSize);
        for (const TEntry& e : m_entries) {
            if (m_report.Aborted()) break;
            count += ExtractOne(e);
        }
        if (m_report.Aborted()) {
            m_report.Message(ZipErrAborted, QStringLiteral("Uppackningen avbröts."));
            return count;
        }
        m_report.Send(ActEndBatch, 0, 0);
        return count;
    }

    UnzipCommandRec* m_rec;
    zipcommon::TReporter m_report;
    QString m_archive, m_base, m_password;
    QStringList m_specs;
    bool m_test = false, m_update = false, m_freshen = false, m_dirNames = false, m_overwrite = false,
         m_verbose = false, m_failed = false, m_noMorePasswords = false;
    int m_passwordTries = 0;
    zipcommon::TEndOfCentral m_end;
    QList<zipcommon::TCentralEntry> m_central;
    std::vector<TEntry> m_entries;
    qint64 m_totalSize = 0;
    zip_t* m_za = nullptr;
    std::vector<char> m_buffer;  // one for the whole run
    // The last DOS time turned into a Unix time: the entries of an archive mostly share a
    // few, and each local-time conversion asks the system for its time zone file again.
    quint32 m_lastDosStamp = 0;
    qint64 m_lastUnixTime = 0;
    bool m_haveLastTime = false;
    QSet<QString> m_folders;  // folders below the base known to be real folders
    bool m_baseReady = false;
};

}  // namespace

namespace unzlib {

int32_t RunUnzipJob(UnzipCommandRec* rec) {
    if (!rec || rec->CheckValue != RecordCheckValue || !rec->Callback) return 0;
    try {
        TUnzipJob job(rec);
        return job.Run();
    } catch (...) {
        zipcommon::TReporter report(rec->Callback, rec->Component, false);
        report.Message(ZipErrGeneral, QStringLiteral("Oväntat fel i uppackningen."));
        return 0;
    }
}

}  // namespace unzlib
