// A stand-in for either library module, for the tests of the component: it reports the
// version it was built with, may lack its entry point, writes down every command record it
// receives as "key=value" lines, and plays back a script of callbacks (all of it, whatever
// the answers, which it writes down too).
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstring>

#include "platform/ziplibs/ZipLibApi.h"

#ifndef FAKE_VERSION
#define FAKE_VERSION 172
#endif

namespace {
QByteArray g_dump;
struct TStep {
    int32_t Action;
    int32_t First;
    int64_t Second;
    QByteArray Text;
};
QList<TStep> g_script;
QByteArray g_answers;
int32_t g_result = 0;

[[maybe_unused]] QString T(const char* s) {
    return s ? QStringLiteral("\"") + QString::fromUtf8(s) + QLatin1Char('"') : QStringLiteral("nil");
}

[[maybe_unused]] void Play(ZipCallbackFn cb, void* caller, bool isZip) {
    QStringList answers;
    for (const TStep& s : g_script) {
        CallbackRec rec;
        std::memset(&rec, 0, sizeof rec);
        rec.Component = caller;
        rec.FromZipLib = isZip ? 1 : 0;
        rec.Action = s.Action;
        rec.FirstValue = s.First;
        rec.SecondValue = s.Second;
        std::memcpy(rec.Text, s.Text.constData(), size_t(qMin<qsizetype>(s.Text.size(), ZipCallbackTextSize - 1)));
        const int32_t r = cb(&rec);
        rec.Text[ZipCallbackTextSize - 1] = 0;
        answers << QStringLiteral("%1|%2|%3|%4|%5")
                       .arg(r)
                       .arg(rec.Action)
                       .arg(rec.FirstValue)
                       .arg(rec.SecondValue)
                       .arg(QString::fromUtf8(rec.Text));
    }
    g_answers = answers.join(QLatin1Char('\n')).toUtf8();
}
}  // namespace

extern "C" Q_DECL_EXPORT int32_t GetZipLibVersion() { return FAKE_VERSION; }
extern "C" Q_DECL_EXPORT int32_t GetUnzLibVersion() { return FAKE_VERSION; }

#ifndef FAKE_NO_EXEC
extern "C" Q_DECL_EXPORT int32_t ZipLibExec(ZipCommandRec* r) {
    QStringList d;
    d << QStringLiteral("Handle=%1").arg(r->WindowHandle ? 1 : 0) << QStringLiteral("Version=%1").arg(r->Version)
      << QStringLiteral("Trace=%1").arg(r->Trace) << QStringLiteral("Password=%1").arg(T(r->Password))
      << QStringLiteral("Suffixes=%1").arg(T(r->StoreSuffixes)) << QStringLiteral("Encrypt=%1").arg(r->Encrypt)
      << QStringLiteral("System=%1").arg(r->IncludeHidden) << QStringLiteral("Volume=%1").arg(r->Volume)
      << QStringLiteral("NoDirEntries=%1").arg(r->NoFolderEntries) << QStringLiteral("FromDate=%1").arg(r->FromDate)
      << QStringLiteral("Verbose=%1").arg(r->Verbose) << QStringLiteral("Quiet=%1").arg(r->Quiet)
      << QStringLiteral("Level=%1").arg(r->Level) << QStringLiteral("JunkDir=%1").arg(r->StripFolderNames)
      << QStringLiteral("Recurse=%1").arg(r->Recurse) << QStringLiteral("Grow=%1").arg(r->GrowInPlace)
      << QStringLiteral("ForceDOS=%1").arg(r->ForceDOS) << QStringLiteral("Move=%1").arg(r->Move)
      << QStringLiteral("Update=%1").arg(r->Update) << QStringLiteral("Freshen=%1").arg(r->Freshen)
      << QStringLiteral("LatestTime=%1").arg(r->ArchiveTakesNewestTime)
      << QStringLiteral("Date=%1").arg(QString::fromLatin1(r->Date, 8))
      << QStringLiteral("ArgCount=%1").arg(r->SpecCount) << QStringLiteral("ZipFileName=%1").arg(T(r->ZipFileName))
      << QStringLiteral("TempPath=%1").arg(T(r->TempDir)) << QStringLiteral("ArchComment=%1").arg(T(r->ArchiveComment))
      << QStringLiteral("ArchiveFilesOnly=%1").arg(r->ArchiveOnly)
      << QStringLiteral("ResetArchiveBit=%1").arg(r->ResetArchive)
      << QStringLiteral("ExclCount=%1").arg(r->ExcludeCount) << QStringLiteral("UseRecycleBin=%1").arg(r->UseTrash)
      << QStringLiteral("CodePage=%1").arg(r->CodePage) << QStringLiteral("CheckNo=%1").arg(r->CheckValue);
    for (int i = 0; i < r->SpecCount; ++i) {
        const ZipFileSpecRec& s = r->FileSpecs[i];
        d << QStringLiteral("Spec%1=%2|%3|%4|%5|%6")
                 .arg(i)
                 .arg(T(s.FileSpec), T(s.Password))
                 .arg(s.Encrypt)
                 .arg(s.Recurse)
                 .arg(T(s.RootDir));
    }
    for (int i = 0; i < r->ExcludeCount; ++i) d << QStringLiteral("Excl%1=%2").arg(i).arg(T(r->ExcludeSpecs[i]));
    g_dump = d.join(QLatin1Char('\n')).toUtf8();
    Play(r->Callback, r->Component, true);
    return g_result;
}
extern "C" Q_DECL_EXPORT int32_t UnzLibExec(UnzipCommandRec* r) {
    QStringList d;
    d << QStringLiteral("Handle=%1").arg(r->WindowHandle ? 1 : 0) << QStringLiteral("Version=%1").arg(r->Version)
      << QStringLiteral("Trace=%1").arg(r->Trace) << QStringLiteral("Password=%1").arg(T(r->Password))
      << QStringLiteral("Test=%1").arg(r->Test) << QStringLiteral("Quiet=%1").arg(r->Quiet)
      << QStringLiteral("Verbose=%1").arg(r->Verbose) << QStringLiteral("Update=%1").arg(r->Update)
      << QStringLiteral("Freshen=%1").arg(r->Freshen) << QStringLiteral("DirNames=%1").arg(r->RecreateFolders)
      << QStringLiteral("OverWrite=%1").arg(r->Overwrite) << QStringLiteral("ArgCount=%1").arg(r->SpecCount)
      << QStringLiteral("ZipFileName=%1").arg(T(r->ZipFileName))
      << QStringLiteral("PasswordReqCount=%1").arg(r->PasswordReqCount)
      << QStringLiteral("ExtrBaseDir=%1").arg(T(r->ExtrBaseDir)) << QStringLiteral("CheckNo=%1").arg(r->CheckValue);
    for (int i = 0; i < r->SpecCount; ++i) d << QStringLiteral("Spec%1=%2").arg(i).arg(T(r->FileSpecs[i].FileSpec));
    g_dump = d.join(QLatin1Char('\n')).toUtf8();
    Play(r->Callback, r->Component, false);
    return g_result;
}
#endif

// ---- Test controls ----
extern "C" Q_DECL_EXPORT const char* FakeDump() { return g_dump.constData(); }
extern "C" Q_DECL_EXPORT const char* FakeAnswers() { return g_answers.constData(); }
extern "C" Q_DECL_EXPORT void FakeReset(int32_t result) {
    g_dump.clear();
    g_answers.clear();
    g_script.clear();
    g_result = result;
}
extern "C" Q_DECL_EXPORT void FakeAddStep(int32_t action, int32_t first, int64_t second, const char* text) {
    g_script.append({action, first, second, QByteArray(text ? text : "")});
}
