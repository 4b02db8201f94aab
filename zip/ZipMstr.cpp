#include "ZipMstr.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QSet>
#include <QRandomGenerator>

#include <dlfcn.h>

#include <cstring>
#include <deque>
#include <optional>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/ziplibs/ZipLibApi.h"
#include "platform/ziplibs/common/ZipCommon.h"
#include "zip/ZipPrompts.h"

using namespace Zip;  // the component's option bits

using namespace zipmsg;

namespace {

// The components alive, so that a callback naming anything else is refused.
QSet<const void*>& LiveComponents() {
    static QSet<const void*> live;
    return live;
}

int32_t Flag(bool on) { return on ? -1 : 0; }

// A scratch archive of one operation in the temporary folder: a name no file has yet, whose
// file is written through the checked writer and removed when the operation ends.
class TScratchArchive {
public:
    explicit TScratchArchive(const QString& folder) {
        const QDir dir(folder.isEmpty() ? QDir::tempPath() : folder);
        do {
            QString suffix;
            for (int i = 0; i < 8; ++i)
                suffix += QLatin1Char("abcdefghijklmnopqrstuvwxyz0123456789"[QRandomGenerator::global()->bounded(36)]);
            m_name = dir.absoluteFilePath(QStringLiteral("mykospan_%1.zip").arg(suffix));
        } while (QFileInfo(m_name).exists() || QFileInfo(m_name).isSymLink());
    }
    ~TScratchArchive() { QFile::remove(m_name); }
    TScratchArchive(const TScratchArchive&) = delete;
    TScratchArchive& operator=(const TScratchArchive&) = delete;
    QString FileName() const { return m_name; }

private:
    QString m_name;
};

// The writer of a scratch archive: a link put at its name meanwhile is replaced, not followed,
// and it need not reach the disk before the operation reads it.
void PrepareScratch(TAtomicFile& file) {
    file.SetFollowLink(false);
    file.SetSyncToDisk(false);
}

// Joins a folder and a file name with exactly one separator at the seam.
QString PathConcat(const QString& path, const QString& tail) {
    if (path.isEmpty() || path.endsWith(QLatin1Char(':')) || tail.isEmpty()) return path + tail;
    const bool a = path.endsWith(QLatin1Char('/')) || path.endsWith(QLatin1Char('\\'));
    const bool b = tail.startsWith(QLatin1Char('/')) || tail.startsWith(QLatin1Char('\\'));
    if (!a && !b) return path + QLatin1Char('/') + tail;
    if (a && b) return path.left(path.size() - 1) + tail;
    return path + tail;
}

QString ProgressText(int n) {
    if (n <= 0) return QString();
    if (n == 1) return QStringLiteral("Resetting Archive Bit");
    if (n == 2) return QStringLiteral("Copy file");
    return QStringLiteral("Progress ") + QString::number(n);
}

// The text area as events see it: up to its NUL, trailing control characters and blanks
// removed, "/" as "\".
QString CallbackText(const CallbackRec* rec) {
    const char* t = rec->Text;
    const size_t len = strnlen(t, ZipCallbackTextSize);
    QString s = QString::fromUtf8(t, qsizetype(len));
    while (!s.isEmpty() && s.back().unicode() <= 32) s.chop(1);
    s.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return s;
}

void WriteText(CallbackRec* rec, const QString& text, int maxBytes = ZipCallbackTextSize - 1) {
    QByteArray b = text.toUtf8();
    if (b.size() > maxBytes) {
        b.truncate(maxBytes);
        // Never leave half a character behind.
        while (!b.isEmpty() && (uchar(b.back()) & 0xC0) == 0x80) b.chop(1);
        if (!b.isEmpty() && uchar(b.back()) >= 0xC0) b.chop(1);
    }
    std::memset(rec->Text, 0, ZipCallbackTextSize);
    std::memcpy(rec->Text, b.constData(), size_t(b.size()));
}

quint32 Clamp32(int64_t v) { return v < 0 ? 0 : v > 0xFFFFFFFFll ? 0xFFFFFFFFu : quint32(v); }

// Owns the texts of one command record for the length of the call.
class TRecTexts {
public:
    const char* Add(const QString& text) {
        m_texts.push_back(text.toUtf8());
        return m_texts.back().constData();
    }
    const char* AddOrNull(const QString& text) { return text.isEmpty() ? nullptr : Add(text); }

private:
    std::deque<QByteArray> m_texts;  // a deque never moves its elements
};

}  // namespace

TZipWaitCursor::TZipWaitCursor() { Zip::Prompts().SetBusy(true); }

TZipWaitCursor::~TZipWaitCursor() { Zip::Prompts().SetBusy(false); }

extern "C" int32_t ZipCallbackEntry(CallbackRec* rec) {
    // Nothing may unwind into the library.
    try {
        if (!rec || !LiveComponents().contains(rec->Component)) return -1;
        return static_cast<TZipArchiver*>(rec->Component)->HandleCallback(rec) ? -1 : 0;
    } catch (...) {
        return -1;
    }
}

struct TZipArchiver::TLib {
    bool IsZip = true;
    QLibrary Library;
    void* Exec = nullptr;
    ZipLibVersionFn VersionFn = nullptr;
    int Version = 0;
    QString Path;
    int MsgBase() const { return IsZip ? 10600 : 10700; }
    QString FileName() const { return IsZip ? ZipLibFileName() : UnzLibFileName(); }
    const char* ExecName() const { return IsZip ? "ZipLibExec" : "UnzLibExec"; }
    const char* VersionName() const { return IsZip ? "GetZipLibVersion" : "GetUnzLibVersion"; }
};

struct TZipArchiver::TEndInfo {
    zipcommon::TEndOfCentral End;
};

TZipArchiver::TZipArchiver(QObject* owner)
    : QObject(owner), m_zipLib(std::make_unique<TLib>()), m_unzLib(std::make_unique<TLib>()) {
    m_zipLib->IsZip = true;
    m_unzLib->IsZip = false;
    LiveComponents().insert(this);
}

TZipArchiver::~TZipArchiver() {
    LiveComponents().remove(this);
    if (m_zipLib->Library.isLoaded()) UnloadLib(*m_zipLib);
    if (m_unzLib->Library.isLoaded()) UnloadLib(*m_unzLib);
}

bool TZipArchiver::event(QEvent* e) {
    // A deferred deletion that arrives while a library call runs would free the component
    // under the module: cancel the call and delete once it has returned.
    if (e->type() == QEvent::DeferredDelete && IsBusy()) {
        m_deleteRefused = true;
        m_cancel = true;
        return true;
    }
    return QObject::event(e);
}

QString TZipArchiver::ZipLibFileName() { return QStringLiteral("libziplib.so"); }
QString TZipArchiver::UnzLibFileName() { return QStringLiteral("libunzlib.so"); }

void TZipArchiver::SetZipFileName(const QString& name) {
    m_zipFileName = name;
    List();
}

void TZipArchiver::SetDLLDirectory(const QString& dir) {
    QString d = dir;
    if (d.endsWith(QLatin1Char('\\')) || (d.size() > 1 && d.endsWith(QLatin1Char('/')))) d.chop(1);
    m_dllDirectory = d;
}

void TZipArchiver::SetMinZipLibVers(int version) {
    if (version >= ziplibs::LibVersion) m_minZipLibVers = version;
}

void TZipArchiver::SetMinUnzLibVers(int version) {
    if (version >= ziplibs::LibVersion) m_minUnzLibVers = version;
}

void TZipArchiver::SetExtAddStoreSuffixes(const QString& text) {
    if (text.isEmpty()) {
        m_extAddStoreSuffixes.clear();
        m_addStoreSuffixes &= ~AddStoreExts(assEXT);
        return;
    }
    QString out;
    QString item;
    auto flush = [&](bool withSeparator) {
        if (!item.isEmpty()) {
            if (!item.startsWith(QLatin1Char('.'))) item.prepend(QLatin1Char('.'));
            out += item;
        }
        if (withSeparator) out += QLatin1Char(':');
        item.clear();
    };
    for (QChar c : text) {
        if (c == QLatin1Char(';') || c == QLatin1Char(':') || c == QLatin1Char(','))
            flush(true);
        else
            item += c;
    }
    flush(false);
    if (!out.endsWith(QLatin1Char(':'))) out += QLatin1Char(':');
    m_extAddStoreSuffixes = out.toLower();
    m_addStoreSuffixes |= assEXT;
}

QString TZipArchiver::StoreSuffixList() const {
    static const char* const suffixes[] = {"gif", "png", "z",   "zip", "zoo", "arc",  "lzh", "arj", "taz",
                                           "tgz", "lha", "rar", "ace", "cab", "gz",   "gzip", "jar", "exe"};
    QString list;
    for (int i = 0; i < 18; ++i)
        if (m_addStoreSuffixes.testFlag(TAddStoreExt(1u << i)))
            list += QLatin1Char('.') + QLatin1String(suffixes[i]) + QLatin1Char(':');
    if (m_addStoreSuffixes.testFlag(assEXT)) list += m_extAddStoreSuffixes;
    if (!list.isEmpty()) list.chop(1);
    return list;
}

bool TZipArchiver::IsBusy() const { return m_opBusy || m_zipBusy || m_unzBusy || m_callRunning; }

// ---- Messages ----

void TZipArchiver::ShowZipMessage(int id, const QString& detail) {
    const QString text = ZipMessage(id) + detail;
    m_message = text;
    m_errCode = id;
    if (!m_unattended) Zip::Prompts().ShowError(text);
    if (OnMessage) OnMessage(this, 0, text);
}

void TZipArchiver::ShowZipInfo(int id, const QString& detail) {
    // Information leaves ErrCode alone, so it cannot turn success into failure.
    const QString text = ZipMessage(id) + detail;
    m_message = text;
    if (!m_unattended) Zip::Prompts().ShowInformation(text);
    if (OnMessage) OnMessage(this, 0, text);
}

void TZipArchiver::ShowExceptionError(const EZipArchiver& e) {
    if (e.DisplayMsg() && !m_unattended) Zip::Prompts().ShowError(e.Message());
    m_errCode = e.ResId();
    m_message = e.Message();
    if (OnMessage) OnMessage(this, e.ResId(), e.Message());
}

void TZipArchiver::DoMessage(int errCode, const QString& text) {
    m_message = text;
    if (OnMessage) OnMessage(this, errCode, text);
}

// ---- Libraries ----

bool TZipArchiver::ZipLibLoaded() const { return m_zipLib->Library.isLoaded(); }
bool TZipArchiver::UnzLibLoaded() const { return m_unzLib->Library.isLoaded(); }
bool TZipArchiver::LoadZipLib() { return LoadLib(*m_zipLib); }
bool TZipArchiver::LoadUnzLib() { return LoadLib(*m_unzLib); }
void TZipArchiver::UnloadZipLib() { UnloadLib(*m_zipLib); }
void TZipArchiver::UnloadUnzLib() { UnloadLib(*m_unzLib); }

bool TZipArchiver::LoadLib(TLib& lib) {
    if (lib.Library.isLoaded()) UnloadLib(lib);
    const QString appDir = QCoreApplication::applicationDirPath();
    QString path;
    if (!m_dllDirectory.isEmpty()) {
        path = PathConcat(m_dllDirectory, lib.FileName());
        if (!QFileInfo::exists(path)) {
            const QString underProgram = PathConcat(appDir, path);
            path = m_dllDirectory.startsWith(QLatin1Char('.')) && QFileInfo::exists(underProgram) ? underProgram : QString();
        }
    }
    // Without a folder the program's own folder comes first, then the system's search.
    if (path.isEmpty() && QFileInfo::exists(PathConcat(appDir, lib.FileName()))) path = PathConcat(appDir, lib.FileName());
    if (path.isEmpty()) path = lib.FileName();
    else path = QFileInfo(path).absoluteFilePath();
    lib.Library.setFileName(path);
    lib.Library.setLoadHints(QLibrary::ResolveAllSymbolsHint);
    if (!lib.Library.load()) {
        lib.Exec = nullptr;
        lib.VersionFn = nullptr;
        ShowZipMessage(lib.MsgBase() + 4);
    } else {
        lib.Path = path;
        lib.Exec = reinterpret_cast<void*>(lib.Library.resolve(lib.ExecName()));
        lib.VersionFn = reinterpret_cast<ZipLibVersionFn>(lib.Library.resolve(lib.VersionName()));
        // The module's real file, as the system loaded it.
        Dl_info info;
        void* any = lib.Exec ? lib.Exec : reinterpret_cast<void*>(lib.VersionFn);
        if (any && dladdr(any, &info) && info.dli_fname) lib.Path = QFileInfo(QFile::decodeName(info.dli_fname)).absoluteFilePath();
        if (m_trace) ShowZipInfo(lib.MsgBase() + 1, QStringLiteral(" ") + lib.Path);
        if (!lib.Exec) ShowZipMessage(lib.MsgBase() + 2);
        if (!lib.VersionFn) ShowZipMessage(lib.MsgBase() + 3);
    }
    lib.Version = (lib.Library.isLoaded() && lib.Exec && lib.VersionFn) ? lib.VersionFn() : 0;
    if (lib.Version == 0) {
        UnloadLib(lib);
        ShowZipMessage(lib.MsgBase() + 4, QStringLiteral(" unloaded"));
        return false;
    }
    return true;
}

void TZipArchiver::UnloadLib(TLib& lib) {
    if (lib.Library.isLoaded()) lib.Library.unload();
    lib.Exec = nullptr;
    lib.VersionFn = nullptr;
    lib.Version = 0;
}

QString TZipArchiver::LibPath(TLib& lib) {
    if (lib.Library.isLoaded()) return lib.Path;
    if (!LoadLib(lib)) return QString();
    const QString path = lib.Path;
    UnloadLib(lib);
    return path;
}

QString TZipArchiver::GetZipLibPath() { return LibPath(*m_zipLib); }
QString TZipArchiver::GetUnzLibPath() { return LibPath(*m_unzLib); }

bool TZipArchiver::EnsureLib(TLib& lib, bool& loadedHere) {
    loadedHere = false;
    if (lib.Library.isLoaded() && lib.VersionFn) {
        lib.Version = lib.VersionFn();
    } else {
        if (!LoadLib(lib)) return false;
        loadedHere = true;
    }
    const int minimum = lib.IsZip ? m_minZipLibVers : m_minUnzLibVers;
    if (lib.Version < minimum) {
        ShowZipMessage(lib.MsgBase() + 5, lib.Path);
        UnloadLib(lib);
        loadedHere = false;
        return false;
    }
    if (m_verbose || m_trace)
        DoMessage(0, (lib.IsZip ? QStringLiteral("Loaded ZipLib ver: ") : QStringLiteral("Loaded UnzLib ver: ")) +
                         QString::number(lib.Version) + QStringLiteral(" from ") + lib.Path);
    return true;
}

// ---- Add ----

int TZipArchiver::Add() {
    if (IsBusy()) return -255;
    m_opBusy = true;
    // Every Add starts clean, so an error of an earlier call is not reported again.
    m_errCode = 0;
    m_fullErrCode = 0;
    m_message.clear();
    try {
        AddFiles();
    } catch (const EZipArchiver& e) {
        ShowExceptionError(e);
    }
    m_fSpecArgs.clear();
    m_fSpecArgsExcl.clear();
    m_opBusy = false;
    if (m_deleteRefused) deleteLater();
    return m_errCode;
}

int TZipArchiver::AddFiles() {
    m_successCnt = 0;
    if (m_fSpecArgs.isEmpty()) {
        ShowZipMessage(NothingToAdd);
        return m_errCode;
    }
    if (m_addOptions.testFlag(AddDiskSpanErase)) {
        m_addOptions |= AddDiskSpan;
        SpanOptions |= spWipeFiles;
    }
    if (m_zipFileName.isEmpty()) {
        ShowZipMessage(NoZipFileGiven);
        return m_errCode;
    }
    if (m_unattended && m_addOptions.testFlag(AddEncrypt) && m_password.isEmpty()) {
        ShowZipMessage(UnattendedEncryptWithoutPassword);
        return m_errCode;
    }
    // One limit for every password, so that what is written can also be read back.
    bool tooLong = m_password.size() > ziplibs::MaxPasswordLength;
    for (const QString& line : m_fSpecArgs) {
        const qsizetype lt = line.indexOf(QLatin1Char('<'));
        if (lt >= 0 && line.size() - lt - 1 > ziplibs::MaxPasswordLength) tooLong = true;
    }
    if (tooLong) {
        ShowZipMessage(PasswordTooLong);
        return m_errCode;
    }
    const bool isExe = m_zipFileName.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive);
    if (m_addOptions.testFlag(AddDiskSpan)) {
        if (m_addOptions.testFlag(AddFreshen) || m_addOptions.testFlag(AddUpdate)) {
            ShowZipMessage(SpannedFreshenOrUpdate);
            return m_errCode;
        }
        if (isExe) {
            ShowZipMessage(ExeCannotSpan);
            return m_errCode;
        }
    }
    // A set of volumes: the library writes one whole temporary archive, split afterwards.
    const bool span = m_addOptions.testFlag(AddDiskSpan);
    TScratchArchive spanTemp(m_tempDir);
    if (span) {
        // What the archive already holds goes into the temporary one first, so the new set
        // keeps it: a set is joined, a single archive copied.
        if (QFileInfo::exists(m_zipFileName) && m_isSpanned) {
            if (!ReadSpan(spanTemp.FileName())) return m_errCode;
        } else {
            TAtomicFile copy(spanTemp.FileName());
            PrepareScratch(copy);
            try {
                copy.Open();
            } catch (const Exception&) {
                ShowZipMessage(TempFileNotCreated);
                return m_errCode;
            }
            try {
                QFile old(m_zipFileName);
                if (old.open(QIODevice::ReadOnly)) {
                    while (!old.atEnd()) {
                        const QByteArray block = old.read(196608);
                        if (block.isEmpty()) throw Exception(old.errorString());
                        copy.Write(block);
                    }
                }
                copy.Commit();
            } catch (const Exception& e) {
                ShowZipMessage(OutputWriteError, QStringLiteral("\n") + e.Message());
                return m_errCode;
            }
        }
        if (m_verbose && OnMessage) OnMessage(this, 0, QStringLiteral("Temporary zipfile: ") + spanTemp.FileName());
    }
    if (m_zipBusy) return m_errCode;
    if (isExe && !QFileInfo::exists(m_zipFileName)) {
        if (!SFXMaker) throw EZipArchiver(SFXNotSupported);
        const int n = SFXMaker->NewSFXFile(this, m_zipFileName);
        if (n != 0) throw EZipArchiver(AutomaticSFXFailed, n);
    }
    bool loadedHere = false;
    if (!EnsureLib(*m_zipLib, loadedHere)) return m_errCode;

    m_zipBusy = true;
    m_cancel = false;
    TRecTexts texts;
    ZipCommandRec rec;
    std::memset(&rec, 0, sizeof rec);
    rec.WindowHandle = m_unattended ? nullptr : Zip::Prompts().WindowHandle();
    rec.Component = this;
    rec.Version = m_zipLib->Version;
    rec.Callback = ZipCallbackEntry;
    rec.Trace = Flag(m_trace);
    rec.Password = texts.AddOrNull(m_password.left(ziplibs::MaxPasswordLength));
    rec.StoreSuffixes = texts.AddOrNull(StoreSuffixList());
    rec.Encrypt = Flag(m_addOptions.testFlag(AddEncrypt));
    rec.IncludeHidden = Flag(m_addOptions.testFlag(AddHiddenFiles));
    rec.Volume = Flag(m_addOptions.testFlag(AddVolume));
    rec.NoFolderEntries = Flag(!m_addOptions.testFlag(AddSeparateDirs));
    rec.FromDate = Flag(m_addOptions.testFlag(AddFromDate));
    rec.Verbose = Flag(m_verbose || m_trace);
    rec.Quiet = Flag(true);
    rec.Level = m_addCompLevel;
    rec.StripFolderNames = Flag(!m_addOptions.testFlag(AddDirNames));
    rec.Recurse = m_addOptions.testFlag(AddRecurseDirs) ? 0xFFFF : 0;
    rec.GrowInPlace = Flag(!m_addOptions.testFlag(AddSafe));
    rec.ForceDOS = Flag(m_addOptions.testFlag(AddForceDOS));
    rec.Move = Flag(m_addOptions.testFlag(AddMove));
    rec.Update = Flag(m_addOptions.testFlag(AddUpdate));
    rec.Freshen = Flag(m_addOptions.testFlag(AddFreshen) && !m_addOptions.testFlag(AddUpdate));
    rec.ArchiveTakesNewestTime = Flag(m_addOptions.testFlag(AddZipTime));
    const QDate from = m_addFrom.isValid() ? m_addFrom : QDate(1899, 12, 30);
    const QByteArray date = from.toString(QStringLiteral("MM dd yy")).toLatin1().leftJustified(8, ' ', true);
    std::memcpy(rec.Date, date.constData(), 8);
    rec.SpecCount = int32_t(m_fSpecArgs.size());
    rec.ZipFileName = texts.Add(span ? spanTemp.FileName() : m_zipFileName);
    rec.TempDir = texts.AddOrNull(m_tempDir);
    rec.ArchiveComment = texts.AddOrNull(m_zipComment);
    rec.ArchiveOnly = m_addOptions.testFlag(AddArchiveOnly) ? 1 : 0;
    rec.ResetArchive = m_addOptions.testFlag(AddResetArchive) ? 1 : 0;
    std::vector<ZipFileSpecRec> specs(size_t(m_fSpecArgs.size()));
    const QString root = m_rootDir.isEmpty() ? QString() : QFileInfo(m_rootDir).absoluteFilePath();
    for (qsizetype i = 0; i < m_fSpecArgs.size(); ++i) {
        ZipFileSpecRec& s = specs[size_t(i)];
        std::memset(&s, 0, sizeof s);
        QString line = m_fSpecArgs[i];
        s.Recurse = rec.Recurse;
        if (line.startsWith(QLatin1Char('>'))) {
            s.Recurse = 0xFFFF;
            line.remove(0, 1);
        } else if (line.startsWith(QLatin1Char('|'))) {
            s.Recurse = 0;
            line.remove(0, 1);
        }
        s.Encrypt = rec.Encrypt;
        s.Password = rec.Password ? texts.Add(QString::fromUtf8(rec.Password)) : nullptr;
        const qsizetype lt = line.indexOf(QLatin1Char('<'));
        if (lt >= 0) {
            const QString tail = line.mid(lt + 1);
            if (tail.isEmpty()) {
                s.Encrypt = 0;
                s.Password = nullptr;
            } else {
                s.Encrypt = 0xFFFF;
                s.Password = texts.Add(tail);
            }
            line.truncate(lt);
        }
        s.FileSpec = texts.Add(line);
        s.RootDir = texts.AddOrNull(root);
    }
    rec.FileSpecs = specs.data();
    std::vector<const char*> excl;
    for (const QString& x : m_fSpecArgsExcl) excl.push_back(texts.Add(x));
    rec.ExcludeCount = int32_t(excl.size());
    rec.ExcludeSpecs = excl.empty() ? nullptr : excl.data();
    rec.UseTrash = Flag(m_howToDelete == DeleteOpts::htdAllowUndo);
    rec.CodePage = m_codePage == CodePageOpts::cpOEM ? 2 : 0;
    rec.CheckValue = ziplibs::RecordCheckValue;

    m_eventErr.clear();
    m_totalSizeToProcess = 0;
    m_callRunning = true;
    try {
        m_successCnt = reinterpret_cast<ZipLibExecFn>(m_zipLib->Exec)(&rec);
    } catch (...) {
        ShowZipMessage(ZipLibFatalError);
    }
    m_callRunning = false;
    if (loadedHere) UnloadLib(*m_zipLib);
    m_cancel = false;
    m_zipBusy = false;
    if (span && m_successCnt > 0) {
        bool written = false;
        try {
            written = WriteSpan(spanTemp.FileName());
        } catch (const EZipArchiver& e) {
            ShowExceptionError(e);
        }
        if (!written) m_successCnt = 0;
    }
    if (m_successCnt > 0) {
        // Re-reading the directory must not hide what went wrong in the Add itself.
        const int addErr = m_errCode, addFull = m_fullErrCode;
        const QString addMsg = m_message;
        List();
        if (addErr != 0) {
            m_errCode = addErr;
            m_fullErrCode = addFull;
            m_message = addMsg;
        }
    }
    return m_errCode;
}

// ---- Extract ----

int TZipArchiver::Extract() {
    if (IsBusy()) return -255;
    m_opBusy = true;
    try {
        ExtractFiles();
    } catch (const EZipArchiver& e) {
        ShowExceptionError(e);
    }
    m_fSpecArgs.clear();
    m_opBusy = false;
    if (m_deleteRefused) deleteLater();
    return m_errCode;
}

int TZipArchiver::ExtractFiles() {
    m_successCnt = 0;
    m_errCode = 0;
    m_fullErrCode = 0;
    m_message.clear();
    if (m_zipFileName.isEmpty() || !QFileInfo::exists(m_zipFileName)) {
        ShowZipMessage(NoZipFileGiven);
        return m_errCode;
    }
    if (m_zipContents.isEmpty()) {
        List();
        if (m_zipContents.isEmpty()) {
            ShowZipMessage(ZipFileNotOpened);
            return m_errCode;
        }
        m_errCode = 0;
    }
    if (m_unzBusy) return m_errCode;
    // A set of volumes is joined into one temporary archive, removed on every path.
    TScratchArchive joined(m_tempDir);
    QString source = m_zipFileName;
    if (m_isSpanned) {
        if (!ReadSpan(joined.FileName())) return m_errCode;
        source = joined.FileName();
    }
    const quint32 savedReqCount = m_passwordReqCount;
    if (m_unattended && m_password.isEmpty() && !OnPasswordError) {
        m_passwordReqCount = 0;
        // A warning: the text is kept, the result stays that of the extraction.
        ShowZipInfo(UnattendedExtractMayMissFiles);
    }
    m_cancel = false;
    m_unzBusy = true;
    bool loadedHere = false;
    if (!EnsureLib(*m_unzLib, loadedHere)) {
        m_unzBusy = false;
        m_passwordReqCount = savedReqCount;
        return m_errCode;
    }
    TRecTexts texts;
    UnzipCommandRec rec;
    std::memset(&rec, 0, sizeof rec);
    rec.WindowHandle = m_unattended ? nullptr : Zip::Prompts().WindowHandle();
    rec.Component = this;
    rec.Version = m_unzLib->Version;
    rec.Callback = ZipCallbackEntry;
    rec.Trace = Flag(m_trace);
    rec.Password = texts.Add(m_password.left(ziplibs::MaxPasswordLength));
    rec.Test = Flag(m_extrOptions.testFlag(ExtrTest));
    rec.Quiet = Flag(true);
    rec.Verbose = Flag(m_verbose || m_trace);
    rec.Update = Flag(m_extrOptions.testFlag(ExtrUpdate));
    rec.Freshen = Flag(m_extrOptions.testFlag(ExtrFreshen) && !m_extrOptions.testFlag(ExtrUpdate));
    rec.RecreateFolders = Flag(m_extrOptions.testFlag(ExtrDirNames));
    rec.Overwrite = Flag(m_extrOptions.testFlag(ExtrOverWrite));
    rec.ZipFileName = texts.Add(source);
    std::vector<UnzipFileSpecRec> specs(size_t(qMax<qsizetype>(1, m_fSpecArgs.size())));
    std::memset(specs.data(), 0, specs.size() * sizeof(UnzipFileSpecRec));
    if (!m_fSpecArgs.isEmpty() && m_fSpecArgs.first() != QLatin1String("*.*")) {
        for (qsizetype i = 0; i < m_fSpecArgs.size(); ++i) specs[size_t(i)].FileSpec = texts.Add(m_fSpecArgs[i]);
        rec.SpecCount = int32_t(m_fSpecArgs.size());
    }
    rec.FileSpecs = specs.data();
    rec.PasswordReqCount = int32_t(m_passwordReqCount);
    rec.ExtrBaseDir = texts.AddOrNull(m_extrBaseDir);
    rec.CheckValue = ziplibs::RecordCheckValue;

    m_eventErr.clear();
    m_totalSizeToProcess = 0;
    m_callRunning = true;
    try {
        m_successCnt = reinterpret_cast<UnzLibExecFn>(m_unzLib->Exec)(&rec);
    } catch (...) {
        ShowZipMessage(UnzLibFatalError);
    }
    m_callRunning = false;
    m_passwordReqCount = savedReqCount;
    if (loadedHere) UnloadLib(*m_unzLib);
    m_cancel = false;
    m_unzBusy = false;
    return m_errCode;
}

// ---- Volumes ----

TMZipDataList::TMZipDataList(int count) : m_items(size_t(qMax(0, count))) {}

TMZipData& TMZipDataList::Items(int index) {
    if (index < 0 || index >= Count())
        throw Exception(QStringLiteral("Index (%1) outside range 1..%2").arg(index).arg(Count() - 1));
    return m_items[size_t(index)];
}

TMZipData& TMZipDataList::FindByName(const QString& name) {
    for (TMZipData& d : m_items)
        if (Name(d).compare(name, Qt::CaseInsensitive) == 0) return d;
    throw EZipArchiver(LocalHeaderNotListed);
}

void TMZipDataList::SetName(TMZipData& data, const QString& name) {
    QByteArray b = name.toUtf8();
    if (b.size() > 255) {
        b.truncate(255);
        // Never half a character.
        while (!b.isEmpty() && (uchar(b.back()) & 0xC0) == 0x80) b.chop(1);
        if (!b.isEmpty() && uchar(b.back()) >= 0xC0) b.chop(1);
    }
    std::memset(data.FileName, 0, sizeof data.FileName);
    std::memcpy(data.FileName, b.constData(), size_t(b.size()));
}

QString TMZipDataList::Name(const TMZipData& data) {
    return QString::fromUtf8(data.FileName, qsizetype(strnlen(data.FileName, sizeof data.FileName)));
}

namespace {

QString SpanLabel(int disk) { return QStringLiteral("PKBACK# %1").arg(disk + 1, 3, 10, QLatin1Char('0')); }

// The disk (from 1) that a set's label names; 0 for any other label.
int DiskOfLabel(const QString& label) {
    if (!label.startsWith(QLatin1String("PKBACK# "))) return 0;
    bool ok = false;
    const int n = label.mid(8, 3).toInt(&ok);
    return ok ? n : 0;
}

// A volume written through the atomic file helper, as the device the splitter writes to.
class TVolumeDevice : public QIODevice {
public:
    TVolumeDevice(const QString& target, const QDateTime& stamp) : m_file(target) {
        m_file.SetModificationTime(stamp);
        m_file.Open();
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    // The steps of the atomic file; a failure is a write error of the component.
    void Finish() {
        Step([&] { m_file.Finish(); });
    }
    void Rename() {
        Step([&] { m_file.Rename(); });
    }
    void Commit() {
        Step([&] { m_file.Commit(); });
    }
    // Why the last write failed.
    QString Failure() const { return m_failure; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 len) override {
        try {
            m_file.Write(data, len);
            return len;
        } catch (const Exception& e) {
            m_failure = e.Message();
            return -1;
        }
    }

private:
    template <class TStep>
    void Step(TStep step) {
        try {
            step();
        } catch (const Exception& e) {
            throw EZipArchiver::WithDetail(OutputWriteError, QStringLiteral("\n") + e.Message());
        }
    }

    TAtomicFile m_file;
    QString m_failure;
};

// A volume file begun beside its place; 11009 when it can't be made.
std::unique_ptr<TVolumeDevice> OpenVolume(const QString& name, const QDateTime& stamp) {
    try {
        return std::make_unique<TVolumeDevice>(name, stamp);
    } catch (const Exception& e) {
        throw EZipArchiver::WithDetail(OutputNotCreated, QStringLiteral("\n") + e.Message());
    }
}

// A device that only counts, for working out how many volumes a set takes.
class TCountingDevice : public QIODevice {
public:
    TCountingDevice() { open(QIODevice::WriteOnly | QIODevice::Unbuffered); }
    qint64 Total() const { return m_total; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 len) override {
        m_total += len;
        return len;
    }

private:
    qint64 m_total = 0;
};

// Stops a span write the user declined to erase a disk for.
struct TEraseDeclined {};

int SpanErrorId(zipcommon::TJoinError why) {
    using zipcommon::TJoinError;
    switch (why) {
        case TJoinError::None: return 0;
        case TJoinError::EndRecord: return EndRecordReadError;
        case TJoinError::FirstSignature: return SpanSignatureReadError;
        case TJoinError::CentralRead: return CentralHeaderReadError;
        case TJoinError::CentralSignature: return CentralHeaderBadSignature;
        case TJoinError::CentralName: return CentralNameReadError;
        case TJoinError::CentralExtra: return CentralExtraReadError;
        case TJoinError::CentralComment: return FileCommentReadError;
        case TJoinError::LocalRead: return LocalHeaderReadError;
        case TJoinError::LocalSignature: return LocalHeaderBadSignature;
        case TJoinError::LocalName: return LocalNameReadError;
        case TJoinError::LocalExtra: return LocalExtraReadError;
        case TJoinError::Data: return PackedDataReadError;
        case TJoinError::Descriptor: return DataDescriptorError;
        case TJoinError::Comment: return ArchiveCommentReadError;
        case TJoinError::WriteLocal: return LocalHeaderWriteError;
        case TJoinError::WriteCentral: return CentralHeaderWriteError;
        case TJoinError::WriteEnd: return EndRecordWriteError;
        case TJoinError::Write: return OutputWriteError;
        case TJoinError::NoVolume:
        case TJoinError::Zip64: return SpanUnknownError;
    }
    return SpanUnknownError;
}

// What stands behind message 11024 for a set that would need zip64 fields.
QString SpanDetail(zipcommon::TJoinError why) {
    return why == zipcommon::TJoinError::Zip64
               ? QStringLiteral("Arkivet är för stort för en volymuppsättning (zip64 stöds inte för volymer).")
               : QString();
}

}  // namespace

QString TZipArchiver::SpanStem() const {
    const QFileInfo fi(m_zipFileName);
    QString stem = fi.completeBaseName();
    // The last volume of a numbered set carries its number: name003.zip.
    if (!SpanOptions.testFlag(spCompatName) && m_isSpanned && stem.size() > 3 &&
        stem.right(3) == QStringLiteral("%1").arg(m_currentDisk + 1, 3, 10, QLatin1Char('0')))
        stem.chop(3);
    return stem;
}

QString TZipArchiver::SpanVolumeName(int disk, int count) const {
    const QFileInfo fi(m_zipFileName);
    if (SpanOptions.testFlag(spCompatName)) {
        // name.z01, name.z02, ... and name.zip last.
        if (disk == count - 1) return m_zipFileName;
        return fi.dir().filePath(fi.completeBaseName() + QStringLiteral(".z%1").arg(disk + 1, 2, 10, QLatin1Char('0')));
    }
    // name001.zip, name002.zip, ...
    const QString dot = fi.suffix().isEmpty() ? QString() : QLatin1Char('.') + fi.suffix();
    return fi.dir().filePath(SpanStem() + QStringLiteral("%1").arg(disk + 1, 3, 10, QLatin1Char('0')) + dot);
}

QStringList TZipArchiver::SpanVolumeNames() const {
    const int count = m_currentDisk + 1;
    QStringList names;
    for (int k = 0; k < count; ++k) names << SpanVolumeName(k, count);
    return names;
}

QString TZipArchiver::EntryName(const zipcommon::TCentralEntry& c) const {
    QString name = zipcommon::DecodeName(c.RawName, c.Flags, c.HostSystem, c.VersionMadeBy, NameCodePage());
    return name.replace(QLatin1Char('/'), QLatin1Char('\\'));
}

// ---- Drives and disks ----

QString TZipArchiver::DriveText() const { return QDir::toNativeSeparators(m_drive); }

void TZipArchiver::NoteDrive() {
    m_drive = Drives().DriveOf(m_zipFileName);
    CheckDrive();
    m_driveRemovable = Drives().IsRemovable(m_drive);
    m_volumeLabel.clear();
}

void TZipArchiver::CheckDrive() const {
    if (m_drive.isEmpty())
        throw EZipArchiver(NotAValidDrive, QDir::toNativeSeparators(QFileInfo(m_zipFileName).absolutePath()));
    if (!Drives().Exists(m_drive)) throw EZipArchiver(DriveNotDefined, DriveText());
}

bool TZipArchiver::DiskReady(TDriveInfo* seen) {
    const TDriveInfo info = Drives().Info(m_drive);
    if (seen) *seen = info;
    m_volumeLabel = info.Label;
    m_freeOnDisk = info.Free;
    // A disk without a file system is ready to be erased.
    return info.Ready || (info.Unformatted && m_addOptions.testFlag(AddDiskSpanErase));
}

void TZipArchiver::GetNewDisk(int disk, TDiskWanted wanted) {
    if (!m_driveRemovable) return;
    if (m_unattended) throw EZipArchiver(UnattendedSpanning);
    for (;;) {
        QString text;
        if (wanted == TDiskWanted::Last)
            text = ZipMessage(InsertLastDisk);
        else if (wanted == TDiskWanted::Write && m_totalDisks <= disk)
            text = FormatMessage(InsertVolume, QString::number(disk + 1));
        else
            text = FormatMessage(InsertVolumeOf, QString::number(disk + 1), QString::number(m_totalDisks));
        text += FormatMessage(InDrive, DriveText());
        if (OnGetNextDisk) {
            bool abort = false;
            OnGetNextDisk(this, disk + 1, m_totalDisks, m_drive, abort);
            if (abort) throw EZipArchiver(UserCancelled);
        } else {
            const Zip::TPromptIcon icon = wanted == TDiskWanted::Last ? Zip::TPromptIcon::Error : Zip::TPromptIcon::Information;
            if (Zip::Prompts().Message(icon, Zip::TPromptButtons::OKCancel, QString(), text) != Zip::TPromptAnswer::OK)
                throw EZipArchiver(UserCancelled);
        }
        CheckDrive();
        if (DiskReady()) return;
    }
}

bool TZipArchiver::DiskInDrive(int disk, QString& volumeName) {
    if (!DiskReady()) return false;
    // A labelled disk holds the volume under the archive's own name; without labels the
    // volume's name tells the disk.
    if (m_volumeLabel.startsWith(QLatin1String("PKBACK# "))) {
        volumeName = m_zipFileName;
        return DiskOfLabel(m_volumeLabel) == disk + 1 && QFileInfo::exists(volumeName);
    }
    volumeName = SpanVolumeName(disk, m_currentDisk + 1);
    return QFileInfo::exists(volumeName);
}

// Opens the disks of a set being read: the volume files by name on a fixed drive; on a
// removable drive the disk is asked for until the right one is in.
class TZipArchiver::TDiskReader {
public:
    explicit TDiskReader(TZipArchiver& z) : m_z(z) {}
    QIODevice* operator()(int disk) {
        if (m_file && m_disk == disk) return m_file.get();
        m_file.reset();
        QString name = m_z.SpanVolumeName(disk, m_z.m_currentDisk + 1);
        if (m_z.m_driveRemovable)
            while (!m_z.DiskInDrive(disk, name)) m_z.GetNewDisk(disk, TDiskWanted::Read);
        auto f = std::make_unique<QFile>(name);
        if (!f->open(QIODevice::ReadOnly))
            throw EZipArchiver::WithDetail(InputFileMissing, QStringLiteral(": ") + QDir::toNativeSeparators(name));
        m_file = std::move(f);
        m_disk = disk;
        m_z.m_diskNr = disk;
        return m_file.get();
    }

private:
    TZipArchiver& m_z;
    std::unique_ptr<QFile> m_file;
    int m_disk = -1;
};

qint64 TZipArchiver::FreeRoom(qint64 free, int disk) const {
    return free - qint64(KeepFreeOnAllDisks) - (disk == 0 ? qint64(KeepFreeOnDisk1) : 0);
}

qint64 TZipArchiver::VolumeRoom(qint64 free, int disk) const {
    const qint64 room = FreeRoom(free, disk);
    return MaxVolumeSize > 0 ? qMin<qint64>(room, MaxVolumeSize) : room;
}

void TZipArchiver::EraseDisk(int disk) {
    const bool labels = !SpanOptions.testFlag(spNoVolumeName);
    const QString label = labels ? SpanLabel(disk) : QStringLiteral("ZipSet_") + QString::number(disk + 1);
    const bool formatted = SpanOptions.testFlag(spTryFormat) && Drives().Format(m_drive, label);
    if (!formatted) {
        if (m_unattended) throw EZipArchiver(UnattendedSpanning);
        if (Zip::Prompts().Message(Zip::TPromptIcon::Warning, Zip::TPromptButtons::YesNo, QStringLiteral("Confirm"),
                                   QStringLiteral("Erase ") + DriveText()) != Zip::TPromptAnswer::Yes)
            throw TEraseDeclined();
        Drives().EraseAll(m_drive);
    }
    if (labels && !Drives().SetLabel(m_drive, label)) throw EZipArchiver(VolumeLabelNotSet);
}

qint64 TZipArchiver::PrepareDisk(int disk, const QString& volumeName) {
    const bool labels = !SpanOptions.testFlag(spNoVolumeName);
    const QString finalName = m_zipFileName;
    // A disk is erased once; what then stays on it is not erased again and again.
    bool erased = false;
    auto another = [&] {
        GetNewDisk(disk, TDiskWanted::Write);
        erased = false;
    };
    for (;;) {
        TDriveInfo info;
        if (!DiskReady(&info)) {
            another();
            continue;
        }
        const int labelDisk = DiskOfLabel(info.Label);
        const bool hasFiles =
            info.Unformatted ||
            !QDir(m_drive).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System).isEmpty();
        // Unlabelled compatible names end as the archive's own name on the last disk.
        const bool sameName = QFileInfo::exists(volumeName) ||
                              (!labels && SpanOptions.testFlag(spCompatName) && QFileInfo::exists(finalName));
        const bool previous = labels && labelDisk >= 1 && labelDisk <= disk;
        const qint64 room = info.Unformatted ? 0 : VolumeRoom(info.Free, disk);
        // What the disk offers counts, not what MaxVolumeSize lets a volume take.
        const bool tooSmall = info.Unformatted || FreeRoom(info.Free, disk) < MinFreeVolumeSize;
        const int status = (hasFiles ? zdsHasFiles : zdsEmpty) | (previous ? zdsPreviousDisk : 0) |
                           (sameName ? zdsSameFileName : 0) | (tooSmall ? zdsNotEnoughSpace : 0);
        int action = zdaOk;
        if (OnStatusDisk) OnStatusDisk(this, labelDisk, sameName ? volumeName : QString(), status, action);
        if (action == zdaCancel) throw EZipArchiver(UserCancelled);
        if (action == zdaReject) {
            another();
            continue;
        }
        if (SpanOptions.testFlag(spWipeFiles) && hasFiles && !erased && (!OnStatusDisk || action == zdaErase)) {
            EraseDisk(disk);
            erased = true;
            continue;
        }
        if (!OnStatusDisk) {
            auto confirm = [&](const QString& question) {
                const Zip::TPromptAnswer answer = Zip::Prompts().Message(
                    Zip::TPromptIcon::Question, Zip::TPromptButtons::YesNoCancel, QStringLiteral("Confirm"), question);
                if (answer == Zip::TPromptAnswer::Cancel) throw EZipArchiver(UserCancelled);
                return answer == Zip::TPromptAnswer::Yes;
            };
            // An earlier disk of this set is the graver case; once the user agrees to write
            // over it, its file needs no question of its own. A file of the volume's name is
            // replaced unasked when nobody can be asked, as on a fixed drive.
            if (previous) {
                if (m_unattended) throw EZipArchiver(UnattendedSpanning);
                if (!confirm(FormatMessage(AskOverwritePreviousDisk, QString::number(labelDisk)))) {
                    another();
                    continue;
                }
            } else if (sameName && !m_unattended &&
                       !confirm(FormatMessage(AskReplaceVolumeFile, QDir::toNativeSeparators(QFileInfo::exists(volumeName) ? volumeName : finalName)))) {
                another();
                continue;
            }
        }
        if (tooSmall) {
            if (!OnStatusDisk) {
                if (m_unattended) throw EZipArchiver(UnattendedSpanning);
                if (Zip::Prompts().Message(Zip::TPromptIcon::Warning, Zip::TPromptButtons::RetryCancel, QString(),
                                           ZipMessage(NotEnoughDiskSpace)) != Zip::TPromptAnswer::Retry)
                    throw EZipArchiver(UserCancelled);
            }
            another();
            continue;
        }
        m_freeOnDisk = info.Free;
        return room;
    }
}

bool TZipArchiver::SpanFailed(int why, const QString& detail) {
    ShowZipMessage(why, detail);
    return false;
}

bool TZipArchiver::SplitFailed(zipcommon::TJoinError why, const QIODevice* volume) {
    const QString failure = volume ? static_cast<const TVolumeDevice*>(volume)->Failure() : QString();
    return SpanFailed(SpanErrorId(why), failure.isEmpty() ? SpanDetail(why) : QStringLiteral("\n") + failure);
}

bool TZipArchiver::WriteSpan(const QString& tempArchive) {
    const TZipWaitCursor wait;
    QFile in(tempArchive);
    if (!in.open(QIODevice::ReadOnly)) throw EZipArchiver(InputFileMissing);
    const zipcommon::TEndOfCentral end = zipcommon::FindEndOfCentral(in);
    if (!end.Found) throw EZipArchiver(EndRecordReadError);
    if (end.Zip64 || end.TotalEntries >= 0xFFFF)
        return SpanFailed(SpanUnknownError, SpanDetail(zipcommon::TJoinError::Zip64));
    NoteDrive();
    TMZipDataList entries(int(end.TotalEntries));
    zipcommon::TSpanObserver observer;
    observer.Entry = [&](qsizetype i, const zipcommon::TCentralEntry& c, int disk, qint64 offset, qint64 size) {
        TMZipData& d = entries.Items(int(i));
        const QString name = EntryName(c);
        d.DiskStart = quint16(disk);
        d.RelOffLocal = quint32(offset);
        d.Size = Clamp32(size);
        TMZipDataList::SetName(d, name);
        if (OnMessage) OnMessage(this, 0, ZipMessage(CopyingFile) + name);
        if (OnProgress) OnProgress(this, ProgressType::NewFile, name, d.Size);
    };
    observer.Central = [&] {
        if (OnMessage) OnMessage(this, 0, ZipMessage(CopyingCentralDirectory));
    };
    const QDateTime stamp = QFileInfo(tempArchive).lastModified();
    try {
        return GuardSpan([&] {
            return m_driveRemovable ? WriteRemovableVolumes(in, end, observer, stamp)
                                    : WriteFixedVolumes(in, end, observer, stamp);
        });
    } catch (const TEraseDeclined&) {
        m_errCode = -2;
        m_message = ZipMessage(UserCancelled);
        if (OnMessage) OnMessage(this, 0, m_message);
        return false;
    }
}

bool TZipArchiver::GuardSpan(const std::function<bool()>& copy) {
    try {
        return copy();
    } catch (const EZipArchiver&) {
        throw;
    } catch (const Exception& e) {
        // An event handler that failed, say.
        return SpanFailed(SpanUnknownError, e.Message());
    } catch (const std::exception& e) {
        return SpanFailed(SpanUnknownError, QString::fromUtf8(e.what()));
    }
}

bool TZipArchiver::WriteFixedVolumes(QFile& in, const zipcommon::TEndOfCentral& end,
                                     const zipcommon::TSpanObserver& observer, const QDateTime& stamp) {
    const TDriveInfo info = Drives().Info(m_drive);
    m_freeOnDisk = info.Ready ? info.Free : 0;
    const auto room = [&](int k) { return VolumeRoom(m_freeOnDisk, k); };
    if (FreeRoom(m_freeOnDisk, 0) < MinFreeVolumeSize) return SpanFailed(NotEnoughDiskSpace);
    // A dry run tells how many volumes there will be, and so their names, and whether the
    // drive can hold them all.
    TCountingDevice counter;
    int count = 0;
    zipcommon::TJoinError r = zipcommon::SplitArchive(in, end, room, [&](int) { return &counter; }, count);
    if (r != zipcommon::TJoinError::None) return SpanFailed(SpanErrorId(r), SpanDetail(r));
    if (counter.Total() > m_freeOnDisk - qint64(KeepFreeOnAllDisks) - KeepFreeOnDisk1) return SpanFailed(NotEnoughDiskSpace);
    m_totalDisks = count;
    for (int k = 0; k < count && !m_unattended; ++k) {
        const QString name = SpanVolumeName(k, count);
        if (QFileInfo::exists(name) &&
            Zip::Prompts().Message(Zip::TPromptIcon::Question, Zip::TPromptButtons::YesNoCancel, QStringLiteral("Confirm"),
                                   FormatMessage(AskReplaceVolumeFile, QDir::toNativeSeparators(name))) != Zip::TPromptAnswer::Yes)
            throw EZipArchiver(UserCancelled);
    }
    // Every volume is finished beside its place and only then are all put in place, so a
    // failure leaves the files of an older set as they were.
    std::vector<std::unique_ptr<TVolumeDevice>> volumes;
    int written = 0;
    r = zipcommon::SplitArchive(in, end, room, [&](int k) -> QIODevice* {
        if (!volumes.empty()) volumes.back()->Finish();
        volumes.push_back(OpenVolume(SpanVolumeName(k, count), stamp));
        return volumes.back().get();
    }, written, observer);
    if (r == zipcommon::TJoinError::None && written != count) r = zipcommon::TJoinError::Write;
    if (r != zipcommon::TJoinError::None) return SplitFailed(r, volumes.empty() ? nullptr : volumes.back().get());
    for (auto& v : volumes) v->Rename();
    // Higher-numbered volumes of an older set would be read as part of this one.
    for (int k = count;; ++k) {
        const QString stale = SpanOptions.testFlag(spCompatName) ? SpanVolumeName(k - 1, k + 1) : SpanVolumeName(k, k + 1);
        if (!QFileInfo::exists(stale) || stale == m_zipFileName) break;
        QFile::remove(stale);
    }
    m_zipFileName = SpanVolumeName(count - 1, count);
    return true;
}

bool TZipArchiver::WriteRemovableVolumes(QFile& in, const zipcommon::TEndOfCentral& end,
                                         const zipcommon::TSpanObserver& observer, const QDateTime& stamp) {
    const bool labels = !SpanOptions.testFlag(spNoVolumeName);
    // While writing, no volume is known to be the last; an unlabelled compatible set gets
    // its last name once it is complete.
    const auto nameOf = [&](int k) { return labels ? m_zipFileName : SpanVolumeName(k, k + 2); };
    m_diskNr = 0;
    m_totalDisks = 0;
    qint64 room = 0;
    std::unique_ptr<TVolumeDevice> current;
    const auto close = [&] {
        current->Commit();
        current.reset();
        if (labels && !Drives().SetLabel(m_drive, SpanLabel(m_diskNr))) throw EZipArchiver(VolumeLabelNotSet);
    };
    // A disk not yet in is taken to offer what this one offers.
    const auto roomOf = [&](int k) { return k == m_diskNr ? room : VolumeRoom(m_freeOnDisk, 1); };
    const auto volume = [&](int k) -> QIODevice* {
        if (k > 0) {
            // Nobody can change the disk: the volume in hand is dropped, the disk keeps what
            // it held.
            if (m_unattended) throw EZipArchiver(UnattendedSpanning);
            close();
            GetNewDisk(k, TDiskWanted::Write);
        }
        m_diskNr = k;
        room = PrepareDisk(k, nameOf(k));
        // The number of disks, estimated from the first one.
        if (k == 0 && room > 0) m_totalDisks = int((in.size() + room - 1) / room);
        current = OpenVolume(nameOf(k), stamp);
        return current.get();
    };
    int written = 0;
    const zipcommon::TJoinError r = zipcommon::SplitArchive(in, end, roomOf, volume, written, observer);
    if (r != zipcommon::TJoinError::None) return SplitFailed(r, current.get());
    close();
    m_totalDisks = written;
    if (!labels && SpanOptions.testFlag(spCompatName)) {
        const QString last = nameOf(written - 1);
        QFile::remove(m_zipFileName);
        if (!QFile::rename(last, m_zipFileName)) return SpanFailed(OutputWriteError);
    }
    if (!labels) m_zipFileName = SpanVolumeName(m_totalDisks - 1, m_totalDisks);
    return true;
}

bool TZipArchiver::ReadSpan(const QString& target) {
    const TZipWaitCursor wait;
    TAtomicFileDevice out(target);
    PrepareScratch(out.File());
    try {
        out.Begin();
    } catch (const Exception&) {
        return SpanFailed(TempFileNotCreated);
    }
    NoteDrive();
    // The end record lies on the last disk; on a removable drive it is asked for when the
    // disk in the drive doesn't hold it.
    if (m_driveRemovable) {
        bool there = false;
        if (DiskReady()) {
            QFile probe(m_zipFileName);
            there = probe.open(QIODevice::ReadOnly) && zipcommon::FindEndOfCentral(probe).Found;
        }
        if (!there) GetNewDisk(m_currentDisk, TDiskWanted::Last);
    }
    TEndInfo info;
    QFile last(m_zipFileName);
    ReadEnd(last, true, info);
    last.close();
    m_currentDisk = info.End.ThisDisk;
    m_totalDisks = m_currentDisk + 1;
    TMZipDataList entries(int(qMin<quint64>(info.End.TotalEntries, 0xFFFF)));
    zipcommon::TSpanObserver observer;
    observer.Entry = [&](qsizetype i, const zipcommon::TCentralEntry& c, int disk, qint64 offset, qint64 size) {
        TMZipData& d = entries.Items(int(i));
        d.DiskStart = quint16(disk);
        d.RelOffLocal = quint32(offset);
        d.Size = Clamp32(size);
        TMZipDataList::SetName(d, EntryName(c));
    };
    observer.Piece = [&](qint64 bytes) {
        if (OnProgress) OnProgress(this, ProgressType::ProgressUpdate, QString(), Clamp32(bytes));
    };
    TDiskReader reader(*this);
    return GuardSpan([&] {
        const zipcommon::TJoinError r = zipcommon::JoinVolumes(info.End, std::ref(reader), out, observer);
        if (r != zipcommon::TJoinError::None) {
            if (!out.Failure().isEmpty()) return SpanFailed(OutputWriteError, QStringLiteral("\n") + out.Failure());
            return SpanFailed(SpanErrorId(r), SpanDetail(r));
        }
        try {
            out.File().Commit();
        } catch (const Exception& e) {
            return SpanFailed(OutputWriteError, QStringLiteral("\n") + e.Message());
        }
        return true;
    });
}

// ---- Callback ----

bool TZipArchiver::HandleCallback(CallbackRec* rec) {
    const int action = rec->Action;
    const int first = rec->FirstValue;
    const int64_t second = rec->SecondValue;
    try {
        const QString text = CallbackText(rec);
        switch (action) {
            case ziplibs::ActTick:
                if (OnTick) OnTick(this);
                break;
            case ziplibs::ActNewFile:
                if (OnProgress) OnProgress(this, ProgressType::NewFile, text, Clamp32(second));
                break;
            case ziplibs::ActProgress:
                if (OnProgress) OnProgress(this, ProgressType::ProgressUpdate, QString(), Clamp32(second));
                break;
            case ziplibs::ActEndBatch:
                if (OnProgress) OnProgress(this, ProgressType::EndOfBatch, ProgressText(first), 0);
                break;
            case ziplibs::ActMessage: {
                m_message = text;
                if (first != 0) {
                    m_errCode = first & 255;
                    m_fullErrCode = first;
                    if (m_errCode == ziplibs::ZipErrAborted && !m_eventErr.isEmpty())
                        m_message = QStringLiteral("Exception in Event ") + m_eventErr;
                }
                if (OnMessage) OnMessage(this, first, m_message);
                break;
            }
            case ziplibs::ActTotalFiles:
                if (OnProgress) OnProgress(this, ProgressType::TotalFiles2Process, ProgressText(first), Clamp32(second));
                break;
            case ziplibs::ActTotalSize:
                m_totalSizeToProcess = second;
                if (OnProgress) OnProgress(this, ProgressType::TotalSize2Process, ProgressText(first), Clamp32(second));
                break;
            case ziplibs::ActNewName:
                if (OnSetNewName) {
                    QString name = text;
                    bool changed = false;
                    OnSetNewName(this, name, changed);
                    if (changed) {
                        WriteText(rec, name);
                        rec->FirstValue = 1;
                    } else {
                        rec->FirstValue = 0;
                    }
                }
                break;
            case ziplibs::ActPassword: {
                const bool forAdd = first & 1;
                QString password;
                quint32 repeat = Clamp32(second);
                TPasswordButton button = TPasswordButton::mbOK;
                int reply = 0;
                if (OnPasswordError) {
                    OnPasswordError(this, rec->FromZipLib != 0, password, text, repeat, button);
                    if (button != TPasswordButton::mbOK) password.clear();
                    if (button == TPasswordButton::mbCancelAll) reply = Zip::PasswordNoToAll;
                    if (button == TPasswordButton::mbAbort) reply = Zip::PasswordAbort;
                } else if (forAdd) {
                    password = GetAddPassword();
                    reply = m_passwordReply;
                } else {
                    password = GetExtrPassword(reply);
                }
                m_passwordReply = reply;
                if (!password.isEmpty()) {
                    WriteText(rec, password.left(ziplibs::MaxPasswordLength));
                    rec->FirstValue = 1;
                } else {
                    WriteText(rec, QString());
                    rec->FirstValue = 0;
                    repeat = 0;
                }
                rec->SecondValue = qMin<quint32>(repeat, 15);
                if (reply == Zip::PasswordNoToAll) rec->Action = 0;
                if (reply == Zip::PasswordAbort) m_cancel = true;
                break;
            }
            case ziplibs::ActCRCError:
                if (OnCRC32Error) {
                    bool doExtract = true;
                    OnCRC32Error(this, text, quint32(first), Clamp32(second), doExtract);
                    rec->FirstValue = doExtract ? 1 : 0;
                } else {
                    rec->FirstValue = 2;
                }
                break;
            case ziplibs::ActOverwrite:
                if (OnExtractOverwrite) {
                    bool doOverwrite = (second & 0xFF) != 0;
                    OnExtractOverwrite(this, text, (first & 0x10000) != 0, doOverwrite, first & 0xFFFF);
                    rec->SecondValue = doOverwrite ? 1 : 0;
                }
                break;
            case ziplibs::ActSkipped:
                if (first != 0) {
                    m_errCode = first & 255;
                    m_fullErrCode = first;
                }
                if (OnExtractSkipped) OnExtractSkipped(this, text, UnZipSkipTypes(int(second & 0xFF) - 1), first);
                break;
            case ziplibs::ActFileComment:
                if (OnFileComment) {
                    const char c = rec->Text[256];
                    QString comment = c ? QString(QChar(uchar(c))) : QString();
                    bool changed = false;
                    OnFileComment(this, text, comment, changed);
                    WriteText(rec, changed && !comment.isEmpty() ? comment : QString());
                    rec->FirstValue = changed ? 1 : 0;
                    rec->SecondValue = qMin<qsizetype>(comment.toUtf8().size(), ZipCallbackTextSize - 1);
                }
                break;
            case ziplibs::ActStream:
                try {
                    if (second < 0 || second > (int64_t(1) << 31)) throw std::bad_alloc();
                    m_zipStream.resize(qsizetype(second));
                    rec->SecondValue = int64_t(reinterpret_cast<quintptr>(m_zipStream.data()));
                } catch (const std::bad_alloc&) {
                    rec->FirstValue = 1;
                    rec->SecondValue = 0;
                }
                break;
            default:
                break;
        }
    } catch (const Exception& e) {
        if (m_eventErr.isEmpty())
            m_eventErr = QStringLiteral(" #") + QString::number(action) + QStringLiteral(" \"") + e.Message() + QLatin1Char('"');
        m_cancel = true;
    } catch (const std::exception& e) {
        if (m_eventErr.isEmpty())
            m_eventErr = QStringLiteral(" #") + QString::number(action) + QStringLiteral(" \"") +
                         QString::fromUtf8(e.what()) + QLatin1Char('"');
        m_cancel = true;
    } catch (...) {
        if (m_eventErr.isEmpty()) m_eventErr = QStringLiteral(" #") + QString::number(action) + QStringLiteral(" \"\"");
        m_cancel = true;
    }
    if (OnAfterCallback) {
        bool abort = m_cancel;
        try {
            OnAfterCallback(this, abort);
        } catch (...) {
            abort = true;
        }
        if (abort) m_cancel = true;
    } else {
        // Keeps the window alive without paying for a pump on every block.
        static QElapsedTimer pump;
        if (!pump.isValid() || pump.elapsed() >= 30) {
            pump.start();
            QCoreApplication::processEvents();
        }
    }
    return m_cancel;
}

// ---- Passwords ----

QString TZipArchiver::PasswordDialog(const QString& prompt, int buttons, int& modalResult) {
    QString title = ResourceText(PasswordCaption);
    if (title.isEmpty()) title = ZipMsgFallback(PasswordCaption);
    return Zip::Prompts().Password(title, prompt, buttons, modalResult);
}

QString TZipArchiver::GetAddPassword() {
    if (m_unattended) {
        ShowZipMessage(UnattendedAddWithoutPassword);
        m_passwordReply = 1;
        return QString();
    }
    int result = 0;
    const QString first = PasswordDialog(ZipMessage(PasswordPrompt), Zip::PasswordCancelButton, result);
    m_passwordReply = result == Zip::PasswordAccepted ? 0 : 1;
    if (result != Zip::PasswordAccepted || first.isEmpty()) return QString();
    const QString second = PasswordDialog(ZipMessage(PasswordConfirmPrompt), Zip::PasswordCancelButton, result);
    m_passwordReply = result == Zip::PasswordAccepted ? 0 : 1;
    if (result != Zip::PasswordAccepted || second.isEmpty()) return QString();
    if (first != second) {
        ShowZipMessage(PasswordsDiffer);
        return QString();
    }
    return first;
}

QString TZipArchiver::GetExtrPassword(int& replyCode) {
    if (m_unattended) {
        ShowZipMessage(UnattendedExtractWithoutPassword);
        replyCode = 1;
        return QString();
    }
    int result = 0;
    const QString entry = PasswordDialog(ZipMessage(PasswordPrompt), Zip::PasswordCancelButton | Zip::PasswordCancelAllButton, result);
    replyCode = result == Zip::PasswordAccepted ? 0 : result == Zip::PasswordRejected ? 1 : result;
    return result == Zip::PasswordAccepted ? entry : QString();
}

// ---- Directory ----

zipcommon::TNameCodePage TZipArchiver::NameCodePage() const {
    return m_codePage == CodePageOpts::cpOEM    ? zipcommon::TNameCodePage::OEM
           : m_codePage == CodePageOpts::cpNone ? zipcommon::TNameCodePage::None
                                                : zipcommon::TNameCodePage::Auto;
}

QString TZipArchiver::ConvertOEM(const QByteArray& text, int direction, int hostSystem, int versionMadeBy) const {
    const zipcommon::TNameCodePage cp = NameCodePage();
    if (direction == 1) {
        // The program's characters (UTF-8) to OEM bytes, each as a character code.
        const QString s = QString::fromUtf8(text);
        if (!zipcommon::IsOEMName(cp, hostSystem, versionMadeBy)) return s;
        return QString::fromLatin1(zipcommon::ToCP850(s));
    }
    if (!zipcommon::IsOEMName(cp, hostSystem, versionMadeBy)) return zipcommon::DecodeName(text, 0, -1, 0, cp);
    return zipcommon::FromCP850(text);
}

int TZipArchiver::GetCount() const { return m_zipFileName.isEmpty() ? 0 : int(m_zipContents.size()); }

bool TZipArchiver::ReadEnd(QFile& file, bool raiseError, TEndInfo& out) {
    m_zipComment.clear();
    const QString fileName = file.fileName();
    if (!file.isOpen() && !file.open(QIODevice::ReadOnly)) {
        if (raiseError) throw EZipArchiver(InputFileMissing);
        ShowZipMessage(ZipFileNotOpened);
        return false;
    }
    // The disk number the disk's label or the volume's name carries.
    const QFileInfo fi(fileName);
    QString number;
    if (m_driveRemovable && m_volumeLabel.startsWith(QLatin1String("PKBACK# ")))
        number = m_volumeLabel.mid(8, 3);
    else if (SpanOptions.testFlag(spCompatName))
        number = fi.suffix().mid(1, 2);
    else
        number = fi.completeBaseName().right(3);
    bool isNumber = false;
    int diskFromName = number.toInt(&isNumber);
    if (!isNumber) diskFromName = 0;
    // The first disk of a spanned set starts with the spanning and a local header signature.
    bool firstDisk = false;
    if (file.seek(0)) {
        const QByteArray head = file.read(8);
        firstDisk = head.size() == 8 && head.startsWith(QByteArray("PK\x07\x08PK\x03\x04", 8));
    }
    m_isSpanned = firstDisk;
    out.End = zipcommon::FindEndOfCentral(file);
    if (!out.End.Found) {
        if (raiseError) {
            if (!firstDisk && diskFromName > 0) throw EZipArchiver(NotLastDiskOfSet, diskFromName);
            if (!firstDisk) throw EZipArchiver(NotAValidZip);
            throw EZipArchiver(diskFromName == 1 ? FirstDiskOfSet : FirstFileOfSet);
        }
        ShowZipMessage(ZipFileNotOpened);
        return false;
    }
    if (out.End.ThisDisk > 0) m_isSpanned = true;
    m_fileSize = out.End.DataEnd;
    m_zipComment = zipcommon::DecodeName(out.End.Comment, 0, -1, 0, NameCodePage());
    if (out.End.TrailingData) ShowZipInfo(TrailingDataWarning);
    return true;
}

bool TZipArchiver::ReadEndOfCentral(QByteArray& endRecord, bool raiseError) {
    QFile file(m_zipFileName);
    TEndInfo info;
    if (!ReadEnd(file, raiseError, info)) return false;
    endRecord = info.End.Record;
    return true;
}

void TZipArchiver::List() {
    m_zipContents.clear();
    m_zipComment.clear();
    m_sfxOffset = 0;
    m_centralDirOffset = 0;
    m_dirOnlyCount = 0;
    m_structureWarning = false;
    m_isSpanned = false;
    m_currentDisk = 0;
    m_errCode = 0;
    if (m_zipFileName.isEmpty() || !QFileInfo::exists(m_zipFileName)) {
        if (OnDirUpdate) OnDirUpdate(this);
        return;
    }
    const zipcommon::TNameCodePage cp = NameCodePage();
    std::optional<TZipWaitCursor> wait;
    wait.emplace();
    QFile file(m_zipFileName);
    try {
        NoteDrive();
        if (m_driveRemovable) DiskReady();
        TEndInfo info;
        ReadEnd(file, true, info);
        const zipcommon::TEndOfCentral& end = info.End;
        m_currentDisk = end.ThisDisk;
        m_totalDisks = m_currentDisk + 1;
        m_centralDirOffset = end.CentralStart < 0 ? qint64(end.CentralOffset) : end.CentralStart;
        if (end.SfxOffset != 0) {
            m_structureWarning = true;
            ShowZipInfo(DirectoryStructureWarning);
        }
        QList<zipcommon::TCentralEntry> central;
        if (end.CentralStart < 0) {
            // The directory begins on an earlier disk of the set.
            file.close();
            TDiskReader reader(*this);
            const zipcommon::TJoinError r = zipcommon::ReadSpannedCentral(end, std::ref(reader), central);
            if (r != zipcommon::TJoinError::None) throw EZipArchiver(SpanErrorId(r));
        } else {
            switch (zipcommon::ReadCentralDirectory(file, end, central)) {
                case zipcommon::TCentralError::None: break;
                case zipcommon::TCentralError::Seek: throw EZipArchiver(DirectorySeekError);
                case zipcommon::TCentralError::ShortHeader: throw EZipArchiver(CentralHeaderReadError);
                case zipcommon::TCentralError::Signature: throw EZipArchiver(CentralHeaderBadSignature);
                case zipcommon::TCentralError::ShortName: throw EZipArchiver(CentralNameReadError);
                case zipcommon::TCentralError::ShortExtra: throw EZipArchiver(DirectorySeekError);
                case zipcommon::TCentralError::ShortComment: throw EZipArchiver(FileCommentReadError);
            }
        }
        quint64 smallest = ~quint64(0);
        int seq = 0;
        for (const zipcommon::TCentralEntry& c : central) {
            ++seq;
            ZipDirEntry e;
            e.MadeByVersion = c.VersionMadeBy;
            e.HostVersionNo = c.HostSystem;
            e.Version = c.VersionNeeded;
            e.Flag = c.Flags;
            e.CompressionMethod = c.Method;
            e.DateTime_Time = c.Time;
            e.DateTime_Date = c.Date;
            e.CRC32 = c.Crc;
            e.CompressedSize = c.CompressedSize;
            e.UncompressedSize = c.UncompressedSize;
            e.FileNameLength = c.NameLength;
            e.ExtraFieldLength = c.ExtraLength;
            e.FileCommentLen = c.CommentLength;
            e.StartOnDisk = c.DiskStart;
            e.IntFileAttrib = c.InternalAttributes;
            e.ExtFileAttrib = c.ExternalAttributes;
            e.RelOffLocalHdr = c.LocalHeaderOffset;
            e.FileName = EntryName(c);
            e.FileComment = zipcommon::DecodeName(c.RawComment, c.Flags, c.HostSystem, c.VersionMadeBy, cp);
            e.Encrypted = c.Flags & 1;
            e.ExtraData = c.Extra;
            smallest = qMin(smallest, c.LocalHeaderOffset);
            // A folder entry has no file part.
            if (e.FileName.endsWith(QLatin1Char('\\')) && !m_useDirOnlyEntries) {
                ++m_dirOnlyCount;
                continue;
            }
            m_zipContents.append(e);
            if (OnNewName) OnNewName(this, seq, m_zipContents.last());
        }
        // The data in front of the archive: where its first entry really starts.
        // A damaged header offset cannot place it outside the file.
        m_sfxOffset = central.isEmpty() ? (end.FileSize == 22 ? 0 : end.SfxOffset)
                                        : qint64(qMin<quint64>(smallest, quint64(end.FileSize))) + end.SfxOffset;
        m_sfxOffset = qBound<qint64>(0, m_sfxOffset, end.FileSize);
    } catch (const EZipArchiver& e) {
        m_zipContents.clear();
        m_zipComment.clear();
        ShowExceptionError(e);
        m_zipFileName.clear();
        m_sfxOffset = 0;
    } catch (const std::bad_alloc&) {
        m_zipContents.clear();
        ShowZipMessage(OutOfMemory);
        m_zipFileName.clear();
        m_sfxOffset = 0;
    } catch (const std::exception& e) {
        m_zipContents.clear();
        ShowZipMessage(DirectoryUnknownError, QString::fromUtf8(e.what()));
        m_zipFileName.clear();
        m_sfxOffset = 0;
    }
    file.close();
    wait.reset();
    if (OnDirUpdate) OnDirUpdate(this);
}
