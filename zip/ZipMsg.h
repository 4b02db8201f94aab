#pragma once
// The zip component's messages: Swedish texts by id (10101-11047), the fall-back texts for
// ids without one, and the component's exception.
#include <QString>

#include "platform/Exception.h"

namespace zipmsg {
// Every message id, by the area its hundreds tell. The numbers are those of the stored
// texts; ids marked "no text" have only a fall-back (or none).
enum : int {
    // General, passwords and copying (101xx)
    ZipLibFatalError = 10101,
    NoZipFileGiven = 10102,
    OutOfMemory = 10103,
    PasswordsDiffer = 10104,
    CopyingFile = 10105,
    PasswordTooLong = 10106,
    SFXHeaderCopyError = 10140,
    SpannedRenameNotSupported = 10141,
    ProcessingFile = 10142,
    RenamedTo = 10143,
    UnattendedAddWithoutPassword = 10150,
    UnattendedExtractWithoutPassword = 10151,
    PasswordOkButton = 10152,
    PasswordCancelButton = 10153,
    PasswordCaption = 10154,
    PasswordPrompt = 10155,
    PasswordConfirmPrompt = 10156,
    PasswordCancelAllButton = 10157,  // no text
    PasswordAbortButton = 10158,  // no text
    CopySourceIsTarget = 10180,
    CopyAskReplace = 10181,
    CopyFailed = 10182,
    CopyFileMissing = 10183,
    SFXDataCopyError = 10184,
    CopyTargetNotOpened = 10185,
    // Reading the directory (102xx)
    DirectorySeekError = 10201,
    DirectoryUnknownError = 10202,
    DirectoryStructureWarning = 10203,
    TrailingDataWarning = 10204,
    // Adding (103xx)
    NothingToAdd = 10301,
    UnattendedEncryptWithoutPassword = 10302,
    SpannedFreshenOrUpdate = 10303,
    AutomaticSFXFailed = 10304,
    // Deleting (104xx)
    NothingToDelete = 10401,
    // Extracting (105xx)
    UnzLibFatalError = 10501,
    UnattendedExtractMayMissFiles = 10502,
    UnzLibNoMemoryStreams = 10503,
    // Loading the packing library (106xx)
    ZipLibLoaded = 10601,
    ZipLibExecMissing = 10602,
    ZipLibVersionMissing = 10603,
    ZipLibNotFound = 10604,
    ZipLibTooOld = 10605,  // no text, fall-back
    // Loading the unpacking library (107xx)
    UnzLibLoaded = 10701,
    UnzLibExecMissing = 10702,
    UnzLibVersionMissing = 10703,
    UnzLibNotFound = 10704,
    UnzLibTooOld = 10705,  // no text, fall-back
    // Making a self-extracting archive (108xx)
    SFXTextTooLong = 10801,
    SFXStubNotFound = 10802,
    SFXInputNotZip = 10803,
    SFXNotSupported = 10804,  // no text, fall-back
    // Turning it back into a zip (109xx)
    NoExeFileGiven = 10901,
    InputNotExe = 10902,
    SFXTypeUnknown = 10903,
    // Spanned sets and the archive format (110xx)
    InputFileMissing = 11001,
    ZipFileNotOpened = 11002,
    NotAValidDrive = 11003,
    DriveNotDefined = 11004,
    VolumeLabelNotSet = 11005,
    NoMemoryForMessageBox = 11006,
    UserCancelled = 11007,
    InputSeekError = 11008,
    OutputNotCreated = 11009,
    OutputWriteError = 11010,
    EndRecordReadError = 11011,
    LocalHeaderReadError = 11012,
    CentralHeaderReadError = 11013,
    LocalHeaderBadSignature = 11014,
    CentralHeaderBadSignature = 11015,
    LocalNameReadError = 11016,
    CentralNameReadError = 11017,
    LocalExtraReadError = 11018,
    CentralExtraReadError = 11019,
    DataDescriptorError = 11020,
    PackedDataReadError = 11021,
    FileCommentReadError = 11022,
    ArchiveCommentReadError = 11023,
    SpanUnknownError = 11024,
    UnattendedSpanning = 11025,
    LocalHeaderNotListed = 11026,
    TempFileNotCreated = 11027,
    LocalHeaderWriteError = 11028,
    CentralHeaderWriteError = 11029,
    EndRecordWriteError = 11030,
    SpanSignatureReadError = 11031,
    NotEnoughDiskSpace = 11032,
    InsertLastDisk = 11033,
    InsertVolumeOf = 11034,
    InDrive = 11035,
    NotAValidZip = 11036,
    FirstDiskOfSet = 11037,
    NotLastDiskOfSet = 11038,
    AskReplaceVolumeFile = 11039,
    AskOverwritePreviousDisk = 11040,
    ExeCannotSpan = 11041,
    CentralNameCopyError = 11042,
    EndRecordSkipSeekError = 11043,
    ArchiveCommentCopyError = 11044,
    FirstFileOfSet = 11045,
    InsertVolume = 11046,
    CopyingCentralDirectory = 11047,
    SpanNotSupported = 11048,  // no text, fall-back
};

// The resource text of an id; empty when there is none.
QString ResourceText(int id);
// The text shown for an id when the resources have none.
QString ZipMsgFallback(int id);
// The resource text, or the fall-back.
QString ZipMessage(int id);
// The text with its first field ("%s", "%d", "%.1d") filled with arg.
QString FormatMessage(int id, const QString& arg);
// The text with its first two fields filled.
QString FormatMessage(int id, const QString& arg1, const QString& arg2);
}  // namespace zipmsg

// The component's exception: a text, whether it is to be shown in a box, and its id.
class EZipArchiver : public Exception {
public:
    explicit EZipArchiver(int id, bool display = true);
    EZipArchiver(int id, int arg, bool display = true);
    EZipArchiver(int id, const QString& arg, bool display = true);
    // The text of id with a detail behind it (a file's name, say).
    static EZipArchiver WithDetail(int id, const QString& detail, bool display = true);

    bool DisplayMsg() const { return m_display; }
    int ResId() const { return m_id; }

private:
    struct TText {};
    EZipArchiver(TText, int id, const QString& text, bool display);

    bool m_display;
    int m_id;
};
