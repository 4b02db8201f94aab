#pragma once
// The zip archive component. It packs and unpacks nothing itself: for each Add or Extract it
// loads the packing or unpacking library module, hands it one command record describing the
// whole job, turns the module's callbacks into its events, and unloads the module again. It
// reads the archive's directory itself.
#include <QByteArray>
#include <QDate>
#include <QFlags>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "platform/ziplibs/ZipDrives.h"
#include "platform/ziplibs/common/ZipCommon.h"
#include "zip/ZipMsg.h"

class QDateTime;
class QFile;
class QIODevice;
class QLibrary;
struct CallbackRec;
class TZipArchiver;
namespace zipcommon {
enum class TNameCodePage;
enum class TJoinError;
struct TEndOfCentral;
struct TSpanObserver;
struct TCentralEntry;
}  // namespace zipcommon

// The one entry through which both library modules call back (the component arrives in the
// record); -1 tells the module to abort. Never lets an exception through.
extern "C" int32_t ZipCallbackEntry(CallbackRec* rec);

// ---- Option sets (bit n is member n) ----
// The option bits stay out of the global scope, as Qt::AlignLeft does: Zip::AddDirNames.
namespace Zip {

enum TAddOpt : quint32 {
    AddDirNames = 1u << 0,
    AddRecurseDirs = 1u << 1,
    AddMove = 1u << 2,
    AddFreshen = 1u << 3,
    AddUpdate = 1u << 4,
    AddZipTime = 1u << 5,
    AddForceDOS = 1u << 6,
    AddHiddenFiles = 1u << 7,
    AddArchiveOnly = 1u << 8,
    AddResetArchive = 1u << 9,
    AddEncrypt = 1u << 10,
    AddSeparateDirs = 1u << 11,
    AddVolume = 1u << 12,
    AddFromDate = 1u << 13,
    AddSafe = 1u << 14,
    AddDiskSpan = 1u << 15,
    AddDiskSpanErase = 1u << 16,
};
Q_DECLARE_FLAGS(AddOpts, TAddOpt)
Q_DECLARE_OPERATORS_FOR_FLAGS(AddOpts)

enum TExtrOpt : quint32 {
    ExtrDirNames = 1u << 0,
    ExtrOverWrite = 1u << 1,
    ExtrFreshen = 1u << 2,
    ExtrUpdate = 1u << 3,
    ExtrTest = 1u << 4,
};
Q_DECLARE_FLAGS(ExtrOpts, TExtrOpt)
Q_DECLARE_OPERATORS_FOR_FLAGS(ExtrOpts)

enum TAddStoreExt : quint32 {
    assGIF = 1u << 0,
    assPNG = 1u << 1,
    assZ = 1u << 2,
    assZIP = 1u << 3,
    assZOO = 1u << 4,
    assARC = 1u << 5,
    assLZH = 1u << 6,
    assARJ = 1u << 7,
    assTAZ = 1u << 8,
    assTGZ = 1u << 9,
    assLHA = 1u << 10,
    assRAR = 1u << 11,
    assACE = 1u << 12,
    assCAB = 1u << 13,
    assGZ = 1u << 14,
    assGZIP = 1u << 15,
    assJAR = 1u << 16,
    assEXE = 1u << 17,
    assEXT = 1u << 18,
};
Q_DECLARE_FLAGS(AddStoreExts, TAddStoreExt)
Q_DECLARE_OPERATORS_FOR_FLAGS(AddStoreExts)
// The members assGIF .. assJAR.
inline constexpr quint32 AddStoreDefault = (1u << 17) - 1;

enum TSpanOpt : quint32 {
    spNoVolumeName = 1u << 0,
    spCompatName = 1u << 1,
    spWipeFiles = 1u << 2,
    spTryFormat = 1u << 3,
};
Q_DECLARE_FLAGS(SpanOpts, TSpanOpt)
Q_DECLARE_OPERATORS_FOR_FLAGS(SpanOpts)

enum TSFXOpt : quint32 {
    SFXAskCmdLine = 1u << 0,
    SFXAskFiles = 1u << 1,
    SFXAutoRun = 1u << 2,
    SFXHideOverWriteBox = 1u << 3,
    SFXCheckSize = 1u << 4,
    SFXNoSuccessMsg = 1u << 5,
};
Q_DECLARE_FLAGS(SFXOpts, TSFXOpt)
Q_DECLARE_OPERATORS_FOR_FLAGS(SFXOpts)

}  // namespace Zip

enum class CodePageOpts { cpAuto, cpNone, cpOEM };
enum class DeleteOpts { htdFinal, htdAllowUndo };
enum class OvrOpts { OvrConfirm, OvrAlways, OvrNever };

// ---- Event types ----
enum class ProgressType { NewFile, ProgressUpdate, EndOfBatch, TotalFiles2Process, TotalSize2Process };
enum class TPasswordButton { mbOK, mbCancel, mbCancelAll, mbAbort };
enum class UnZipSkipTypes {
    stOnFreshen,
    stNoOverwrite,
    stFileExists,
    stBadPassword,
    stNoEncryptionDLL,
    stCompressionUnknown,
    stUnknownZipHost,
    stZipFileFormatWrong,
    stGeneralExtractError,
    stCRCError,
    stUnsafeName,
    stSizeError,
};

// One entry of the archive's directory.
struct ZipDirEntry {
    quint8 MadeByVersion = 0;
    quint8 HostVersionNo = 0;
    quint16 Version = 0;
    quint16 Flag = 0;
    quint16 CompressionMethod = 0;
    quint16 DateTime_Time = 0;
    quint16 DateTime_Date = 0;
    quint32 CRC32 = 0;
    quint64 CompressedSize = 0;
    quint64 UncompressedSize = 0;
    quint16 FileNameLength = 0;
    quint16 ExtraFieldLength = 0;
    quint16 FileCommentLen = 0;
    quint32 StartOnDisk = 0;
    quint16 IntFileAttrib = 0;
    quint32 ExtFileAttrib = 0;
    quint64 RelOffLocalHdr = 0;
    QString FileName;  // "\" separated
    QString FileComment;
    bool Encrypted = false;
    QByteArray ExtraData;
};

using TNotifyEvent = std::function<void(QObject* sender)>;
using TProgressEvent =
    std::function<void(QObject* sender, ProgressType progrType, const QString& fileName, quint32 fileSize)>;
using TMessageEvent = std::function<void(QObject* sender, int errCode, const QString& message)>;
using TSetNewNameEvent = std::function<void(QObject* sender, QString& oldFileName, bool& isChanged)>;
using TNewNameEvent = std::function<void(QObject* sender, int seqNo, const ZipDirEntry& zipEntry)>;
using TCRC32ErrorEvent = std::function<void(QObject* sender, const QString& forFile, quint32 foundCRC,
                                            quint32 expectedCRC, bool& doExtract)>;
using TPasswordErrorEvent = std::function<void(QObject* sender, bool isZipAction, QString& newPassword,
                                               const QString& forFile, quint32& repeatCount, TPasswordButton& action)>;
using TExtractOverwriteEvent =
    std::function<void(QObject* sender, const QString& forFile, bool isOlder, bool& doOverwrite, int dirIndex)>;
using TExtractSkippedEvent =
    std::function<void(QObject* sender, const QString& forFile, UnZipSkipTypes skipType, int extError)>;
using TCopyZipOverwriteEvent = std::function<void(QObject* sender, const QString& forFile, bool& doOverwrite)>;
using TFileCommentEvent =
    std::function<void(QObject* sender, const QString& forFile, QString& fileComment, bool& isChanged)>;
using TAfterCallbackEvent = std::function<void(QObject* sender, bool& abort)>;
using TTickEvent = std::function<void(QObject* sender)>;
using TGetNextDiskEvent =
    std::function<void(QObject* sender, int diskSeqNo, int diskTotal, const QString& drive, bool& abortAction)>;
using TStatusDiskEvent =
    std::function<void(QObject* sender, int previousDisk, const QString& previousFile, int status, int& action)>;

// What OnStatusDisk is told of a disk put in for a new volume (bits of its status) and
// what it answers. PreviousDisk is the number (from 1) that the disk's label gives, 0 for
// none; PreviousFile the volume's name when a file of that name is on the disk.
namespace Zip {
enum TZipDiskStatus : int {
    zdsEmpty = 1,
    zdsHasFiles = 2,
    zdsPreviousDisk = 4,  // labelled as an earlier disk of the set being written
    zdsSameFileName = 8,
    zdsNotEnoughSpace = 16,  // less room than MinFreeVolumeSize
};
enum TZipDiskAction : int {
    zdaOk = 0,  // write the volume on this disk
    zdaErase = 1,  // erase it first (with spWipeFiles)
    zdaReject = 2,  // ask for another disk
    zdaCancel = 3,  // stop the write
};
}  // namespace Zip

// The hourglass while the component works, where there is a screen to show it on.
class TZipWaitCursor {
public:
    TZipWaitCursor();
    ~TZipWaitCursor();
    TZipWaitCursor(const TZipWaitCursor&) = delete;
    TZipWaitCursor& operator=(const TZipWaitCursor&) = delete;
};

// The bookkeeping of one entry of a span copy: where its local header lies in the set and
// its name, from the record's eleventh byte on (at most 255 bytes of its UTF-8 form).
#pragma pack(push, 1)
struct TMZipData {
    quint16 DiskStart = 0;
    quint32 RelOffLocal = 0;
    quint32 Size = 0;  // local header, data and descriptor, as far as known
    char FileName[256] = {};
    char Reserved[18] = {};
};
#pragma pack(pop)
static_assert(sizeof(TMZipData) == 284);

class TMZipDataList {
public:
    explicit TMZipDataList(int count);
    int Count() const { return int(m_items.size()); }
    // An index outside 0 .. Count() - 1 raises "Index (%d) outside range 1..%d".
    TMZipData& Items(int index);
    // The record of that name, case ignored; EZipArchiver 11026 when there is none.
    TMZipData& FindByName(const QString& name);
    static void SetName(TMZipData& data, const QString& name);
    static QString Name(const TMZipData& data);

private:
    std::vector<TMZipData> m_items;
};

// The values of the settings header that a self-extracting archive carries in front of its
// zip data, as prepared from the component's settings or read back from an executable.
// The settings header of a self-extracting archive (shared with the extractor stub).
using TSFXProperties = zipcommon::TSfxSettings;

// The builder of self-extracting archives; the component only calls it. Results: 0 success,
// -1 a file couldn't be created, -2 a write fell short, -3 a file couldn't be opened, -9 any
// other failure, -101 a spanned archive, -102 no valid zip inside, -255 busy.
class TZipSFXBase : public QObject {
public:
    using QObject::QObject;
    // Makes an executable from the archive named by the master's ZipFileName.
    virtual int ConvertToSFX(TZipArchiver* master) = 0;
    // Turns the executable named by the master's ZipFileName back into a zip.
    virtual int ConvertToZip(TZipArchiver* master) = 0;
    // Makes an empty self-extracting archive under exeName.
    virtual int NewSFXFile(TZipArchiver* master, const QString& exeName) = 0;
    virtual QString VersionText() const = 0;
    virtual QString StubFileName() const = 0;
    virtual TSFXProperties Prepare(const TZipArchiver* master) const = 0;
};

class TZipArchiver : public QObject {
    Q_OBJECT
public:
    explicit TZipArchiver(QObject* owner = nullptr);
    // Destroying the component while a library call runs would pull the callback's target
    // away under the module; the call is cancelled and the deletion refused (see event()).
    ~TZipArchiver() override;

    // ---- Published properties ----
    bool Verbose() const { return m_verbose; }
    void SetVerbose(bool on) { m_verbose = on; }
    bool Trace() const { return m_trace; }
    void SetTrace(bool on) { m_trace = on; }
    int AddCompLevel() const { return m_addCompLevel; }
    void SetAddCompLevel(int level) { m_addCompLevel = level; }
    Zip::AddOpts AddOptions() const { return m_addOptions; }
    void SetAddOptions(Zip::AddOpts opts) { m_addOptions = opts; }
    QDate AddFrom() const { return m_addFrom; }
    void SetAddFrom(const QDate& date) { m_addFrom = date; }
    QString ExtrBaseDir() const { return m_extrBaseDir; }
    void SetExtrBaseDir(const QString& dir) { m_extrBaseDir = dir; }
    Zip::ExtrOpts ExtrOptions() const { return m_extrOptions; }
    void SetExtrOptions(Zip::ExtrOpts opts) { m_extrOptions = opts; }
    QStringList& FSpecArgs() { return m_fSpecArgs; }
    void SetFSpecArgs(const QStringList& lines) { m_fSpecArgs = lines; }
    bool Unattended() const { return m_unattended; }
    void SetUnattended(bool on) { m_unattended = on; }
    QString ZipFileName() const { return m_zipFileName; }
    // Re-reads the archive's directory.
    void SetZipFileName(const QString& name);
    QString Password() const { return m_password; }
    void SetPassword(const QString& password) { m_password = password; }
    QString DLLDirectory() const { return m_dllDirectory; }
    // One trailing separator is dropped.
    void SetDLLDirectory(const QString& dir);
    int MinZipLibVers() const { return m_minZipLibVers; }
    void SetMinZipLibVers(int version);  // values below 172 are ignored
    int MinUnzLibVers() const { return m_minUnzLibVers; }
    void SetMinUnzLibVers(int version);
    QString TempDir() const { return m_tempDir; }
    void SetTempDir(const QString& dir) { m_tempDir = dir; }
    CodePageOpts CodePage() const { return m_codePage; }
    void SetCodePage(CodePageOpts cp) { m_codePage = cp; }
    DeleteOpts HowToDelete() const { return m_howToDelete; }
    void SetHowToDelete(DeleteOpts how) { m_howToDelete = how; }
    QString VersionInfo() const { return QStringLiteral("1.72"); }
    void SetVersionInfo(const QString&) {}
    Zip::AddStoreExts AddStoreSuffixes() const { return m_addStoreSuffixes; }
    void SetAddStoreSuffixes(Zip::AddStoreExts exts) { m_addStoreSuffixes = exts; }
    QString ExtAddStoreSuffixes() const { return m_extAddStoreSuffixes; }
    // Normalised to ".a:.b:" in lower case; adds or removes assEXT.
    void SetExtAddStoreSuffixes(const QString& text);
    quint32 PasswordReqCount() const { return m_passwordReqCount; }
    void SetPasswordReqCount(quint32 count) { m_passwordReqCount = qMin<quint32>(count, 15); }
    QStringList& FSpecArgsExcl() { return m_fSpecArgsExcl; }
    void SetFSpecArgsExcl(const QStringList& lines) { m_fSpecArgsExcl = lines; }
    bool UseDirOnlyEntries() const { return m_useDirOnlyEntries; }
    void SetUseDirOnlyEntries(bool on) { m_useDirOnlyEntries = on; }
    QString RootDir() const { return m_rootDir; }
    void SetRootDir(const QString& dir) { m_rootDir = dir; }

    TNotifyEvent OnDirUpdate;
    TProgressEvent OnProgress;
    TMessageEvent OnMessage;
    TSetNewNameEvent OnSetNewName;
    TNewNameEvent OnNewName;
    TCRC32ErrorEvent OnCRC32Error;
    TPasswordErrorEvent OnPasswordError;
    TExtractOverwriteEvent OnExtractOverwrite;
    TExtractSkippedEvent OnExtractSkipped;
    TCopyZipOverwriteEvent OnCopyZipOverwrite;
    TFileCommentEvent OnFileComment;
    TAfterCallbackEvent OnAfterCallback;
    TTickEvent OnTick;

    // Spanning.
    Zip::SpanOpts SpanOptions;
    bool ConfirmErase = true;
    int KeepFreeOnDisk1 = 0;
    quint32 KeepFreeOnAllDisks = 0;
    int MaxVolumeSize = 0;
    int MinFreeVolumeSize = 65536;
    TGetNextDiskEvent OnGetNextDisk;
    TStatusDiskEvent OnStatusDisk;
    // Self-extracting archives.
    TZipSFXBase* SFXMaker = nullptr;
    QString SFXCaption = QStringLiteral("Self-extracting Archive");
    QString SFXCommandLine, SFXDefaultDir, SFXMessage, SFXPath;
    // The stub's icon in its saved form (the bytes of an icon file); empty: the stub's own.
    // Kept as bytes so that the component needs no window system.
    QByteArray SFXIcon;
    Zip::SFXOpts SFXOptions = Zip::SFXCheckSize;
    OvrOpts SFXOverWriteMode = OvrOpts::OvrConfirm;

    // ---- Public state ----
    int ErrCode() const { return m_errCode; }
    QString Message() const { return m_message; }
    // What the last library call returned: the number of files processed.
    int SuccessCnt() const { return m_successCnt; }
    // The full error code of the last library message (ErrCode holds its low byte).
    int FullErrCode() const { return m_fullErrCode; }
    QString ZipComment() const { return m_zipComment; }
    qint64 SFXOffset() const { return m_sfxOffset; }
    int DirOnlyCount() const { return m_dirOnlyCount; }
    bool StructureWarning() const { return m_structureWarning; }
    bool IsSpanned() const { return m_isSpanned; }
    int CurrentDisk() const { return m_currentDisk; }
    qint64 CentralDirOffset() const { return m_centralDirOffset; }
    const QList<ZipDirEntry>& ZipContents() const { return m_zipContents; }
    QByteArray& ZipStream() { return m_zipStream; }
    qint64 TotalSizeToProcess() const { return m_totalSizeToProcess; }

    // ---- Operations ----
    int Add();
    int Extract();
    bool IsBusy() const;
    QString GetZipLibPath();
    QString GetUnzLibPath();
    // Re-reads the directory of ZipFileName.
    void List();
    // Finds the end record of ZipFileName (its 22 bytes into endRecord). A failure raises
    // EZipArchiver with raiseError, else it is shown as message 11002; false then.
    bool ReadEndOfCentral(QByteArray& endRecord, bool raiseError);
    int GetCount() const;
    // Direction 0: OEM to the program's characters, 1 the other way.
    QString ConvertOEM(const QByteArray& text, int direction, int hostSystem = 0, int versionMadeBy = 0) const;
    // The volume files of the spanned set ZipFileName ends, in disk order.
    QStringList SpanVolumeNames() const;
    // The drive queries of spanning; the machine's own drives unless set (not owned).
    TZipDrives& Drives() const { return m_drives ? *m_drives : TStorageDrives::Instance(); }
    void SetDrives(TZipDrives* drives) { m_drives = drives; }
    // Asks the running library call to stop at its next callback.
    void Cancel() { m_cancel = true; }

    // The component's message path: text of id (or its fall-back) + detail; Message and
    // ErrCode; a box unless Unattended; then OnMessage with error code 0.
    void ShowZipMessage(int id, const QString& detail = QString());
    void ShowExceptionError(const EZipArchiver& e);
    // The same for information and warnings: ErrCode stays as it is.
    void ShowZipInfo(int id, const QString& detail = QString());

    // The callback target of both modules. Returns true when the module is to abort.
    bool HandleCallback(CallbackRec* rec);

    // ---- Library handling (public for the tests of loading) ----
    bool LoadZipLib();
    bool LoadUnzLib();
    void UnloadZipLib();
    void UnloadUnzLib();
    bool ZipLibLoaded() const;
    bool UnzLibLoaded() const;
    // The file names of the modules.
    static QString ZipLibFileName();
    static QString UnzLibFileName();

protected:
    bool event(QEvent* e) override;

private:
    struct TLib;
    bool LoadLib(TLib& lib);
    void UnloadLib(TLib& lib);
    bool EnsureLib(TLib& lib, bool& loadedHere);
    QString LibPath(TLib& lib);
    QString StoreSuffixList() const;
    int AddFiles();
    int ExtractFiles();
    QString GetAddPassword();
    QString GetExtrPassword(int& replyCode);
    QString PasswordDialog(const QString& prompt, int buttons, int& modalResult);
    void DoMessage(int errCode, const QString& text);
    // Joins the volumes of the set into one archive at target, the one the unzip library reads.
    bool ReadSpan(const QString& target);
    // Copies the library's temporary archive out as the volumes of a set; on a fixed drive
    // ZipFileName then names the last volume.
    bool WriteSpan(const QString& tempArchive);
    bool WriteFixedVolumes(QFile& in, const zipcommon::TEndOfCentral& end, const zipcommon::TSpanObserver& observer,
                           const QDateTime& stamp);
    bool WriteRemovableVolumes(QFile& in, const zipcommon::TEndOfCentral& end, const zipcommon::TSpanObserver& observer,
                               const QDateTime& stamp);
    // Reports why a span copy stopped; false.
    bool SpanFailed(int why, const QString& detail = QString());
    // Reports why splitting into volumes stopped, with what the volume being written told.
    bool SplitFailed(zipcommon::TJoinError why, const QIODevice* volume);
    // Runs a span copy; an error out of an event handler or the memory ends it with 11024.
    bool GuardSpan(const std::function<bool()>& copy);
    // The file of disk (from 0) in a set of count volumes named after ZipFileName.
    QString SpanVolumeName(int disk, int count) const;
    // ZipFileName without the number of the set's last volume.
    QString SpanStem() const;
    struct TEndInfo;
    bool ReadEnd(QFile& file, bool raiseError, TEndInfo& out);
    QString EntryName(const zipcommon::TCentralEntry& entry) const;
    zipcommon::TNameCodePage NameCodePage() const;

    // ---- Drives and disks ----
    enum class TDiskWanted { Read, Write, Last };
    class TDiskReader;
    // Notes the drive of ZipFileName and whether it is removable; raises 11003 or 11004.
    void NoteDrive();
    void CheckDrive() const;
    QString DriveText() const;
    // Reads the disk in the drive (label, free space); whether it can be used.
    bool DiskReady(TDriveInfo* seen = nullptr);
    // Asks for a disk (from 0) of a removable drive until one is ready; raises 11025
    // when unattended and 11007 when the user declines.
    void GetNewDisk(int disk, TDiskWanted wanted);
    // Whether disk (from 0) of the set being read is in the drive, and its volume's name.
    bool DiskInDrive(int disk, QString& volumeName);
    // Makes the disk in the drive ready for volume `disk` (asking for others as needed)
    // and returns the room it offers.
    qint64 PrepareDisk(int disk, const QString& volumeName);
    void EraseDisk(int disk);
    // What a disk with that much free space offers volume `disk`: less what is kept free,
    // and at most MaxVolumeSize.
    qint64 FreeRoom(qint64 free, int disk) const;
    qint64 VolumeRoom(qint64 free, int disk) const;

    bool m_verbose = false;
    bool m_trace = false;
    int m_addCompLevel = 9;
    Zip::AddOpts m_addOptions;
    QDate m_addFrom;
    QString m_extrBaseDir;
    Zip::ExtrOpts m_extrOptions;
    QStringList m_fSpecArgs;
    bool m_unattended = false;
    QString m_zipFileName;
    QString m_password;
    QString m_dllDirectory;
    int m_minZipLibVers = 172;
    int m_minUnzLibVers = 172;
    QString m_tempDir;
    CodePageOpts m_codePage = CodePageOpts::cpAuto;
    DeleteOpts m_howToDelete = DeleteOpts::htdAllowUndo;
    Zip::AddStoreExts m_addStoreSuffixes = Zip::AddStoreExts::fromInt(int(Zip::AddStoreDefault));
    QString m_extAddStoreSuffixes;
    quint32 m_passwordReqCount = 1;
    QStringList m_fSpecArgsExcl;
    bool m_useDirOnlyEntries = false;
    QString m_rootDir;

    int m_errCode = 0;
    int m_fullErrCode = 0;
    QString m_message;
    int m_successCnt = 0;
    QString m_zipComment;
    QList<ZipDirEntry> m_zipContents;
    QByteArray m_zipStream;
    qint64 m_sfxOffset = 0;
    int m_dirOnlyCount = 0;
    bool m_structureWarning = false;
    bool m_isSpanned = false;
    int m_currentDisk = 0;
    qint64 m_fileSize = 0;
    qint64 m_centralDirOffset = 0;
    qint64 m_totalSizeToProcess = 0;

    TZipDrives* m_drives = nullptr;
    QString m_drive;  // where ZipFileName lies
    bool m_driveRemovable = false;
    int m_diskNr = 0;  // the disk in use, from 0
    int m_totalDisks = 0;  // 0 while unknown
    qint64 m_freeOnDisk = 0;
    QString m_volumeLabel;

    bool m_zipBusy = false;
    bool m_unzBusy = false;
    bool m_opBusy = false;
    bool m_callRunning = false;
    bool m_cancel = false;
    bool m_deleteRefused = false;
    QString m_eventErr;
    int m_passwordReply = 0;
    std::unique_ptr<TLib> m_zipLib;
    std::unique_ptr<TLib> m_unzLib;
};
