#include "ZipMstr.h"
#include "zip/ZipMstrShared.h"

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
using namespace zipmaster;

namespace zipmaster {

// The components alive, so that a callback naming anything else is refused.
QSet<const void*>& LiveComponents() {
    static QSet<const void*> live;
    return live;
}

int32_t Flag(bool on) { return on ? -1 : 0; }

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

void WriteText(CallbackRec* rec, const QString& text, int maxBytes) {
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
}  // namespace zipmaster

TZipWaitCursor::TZipWaitCursor() { Zip::Prompts().SetBusy(true); }

TZipWaitCursor::~TZipWaitCursor() { Zip::Prompts().SetBusy(false); }

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
    static const char* const suffixes[] = {"gif", "png", "z",   "zip", "zoo", "arc", "lzh",  "arj", "taz",
                                           "tgz", "lha", "rar", "ace", "cab", "gz",  "gzip", "jar", "exe"};
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
