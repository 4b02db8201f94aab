#pragma once
// The zip component's messages: Swedish texts by id (10101-11047), the fall-back texts for
// ids without one, and the component's exception.
#include <QString>

#include "platform/Exception.h"

namespace zipmsg {
// Message ids the component itself uses.
enum : int {
    GE_FatalZip = 10101,
    GE_NoZipSpecified = 10102,
    GE_NoMem = 10103,
    GE_WrongPassword = 10104,
    GE_CopyFile = 10105,
    GE_PasswordTooLong = 10106,
    PW_UnatAddPWMiss = 10150,
    PW_UnatExtPWMiss = 10151,
    PW_Ok = 10152,
    PW_Cancel = 10153,
    PW_Caption = 10154,
    PW_MessageEnter = 10155,
    PW_MessageConfirm = 10156,
    PW_CancelAll = 10157,
    PW_Abort = 10158,
    LI_ReadZipError = 10201,
    LI_ErrorUnknown = 10202,
    LI_WrongZipStruct = 10203,
    LI_GarbageAtEOF = 10204,
    AD_NothingToZip = 10301,
    AD_UnattPassword = 10302,
    AD_NoFreshenUpdate = 10303,
    AD_AutoSFXWrong = 10304,
    EX_FatalUnZip = 10501,
    EX_UnAttPassword = 10502,
    LZ_ZipDllLoaded = 10601,
    LZ_NoZipDllExec = 10602,
    LZ_NoZipDllVers = 10603,
    LZ_NoZipDll = 10604,
    LZ_OldZipDll = 10605,
    LU_UnzDllLoaded = 10701,
    LU_NoUnzDllExec = 10702,
    LU_NoUnzDllVers = 10703,
    LU_NoUnzDll = 10704,
    LU_OldUnzDll = 10705,
    SF_StringTooLong = 10801,
    SF_StubNotFound = 10802,
    SF_InputIsNoZip = 10803,
    SF_NoSFXSupport = 10804,
    SF_NoExeSpecified = 10901,
    SF_InputIsNoExe = 10902,
    SF_CopyData = 10184,
    DS_NoInFile = 11001,
    DS_FileOpen = 11002,
    DS_NotaDrive = 11003,
    DS_DriveNoMount = 11004,
    DS_NoVolume = 11005,
    DS_NoMem = 11006,
    DS_Canceled = 11007,
    DS_SeekError = 11008,
    DS_NoOutFile = 11009,
    DS_WriteError = 11010,
    DS_EOCBadRead = 11011,
    DS_LOHBadRead = 11012,
    DS_CEHBadRead = 11013,
    DS_LOHWrongSig = 11014,
    DS_CEHWrongSig = 11015,
    DS_LONameLen = 11016,
    DS_CENameLen = 11017,
    DS_LOExtraLen = 11018,
    DS_CEExtraLen = 11019,
    DS_DataDesc = 11020,
    DS_DataRead = 11021,
    DS_CECommentLen = 11022,
    DS_ECommentLen = 11023,
    DS_SpanUnknown = 11024,
    DS_Unattended = 11025,
    DS_NoInStruct = 11026,
    DS_NoTempFile = 11027,
    DS_LOHWriteError = 11028,
    DS_CEHWriteError = 11029,
    DS_EOCWriteError = 11030,
    DS_BadFirstSig = 11031,
    DS_NoDiskSpace = 11032,
    DS_InsertDisk = 11033,
    DS_InsertVolume = 11034,
    DS_InDrive = 11035,
    DS_NoValidZip = 11036,
    DS_FirstInSet = 11037,
    DS_NotLastInSet = 11038,
    DS_AskDeleteFile = 11039,
    DS_AskPrevFile = 11040,
    DS_NoExeSpan = 11041,
    DS_FirstFileOnHD = 11045,
    DS_InsertAVolume = 11046,
    DS_CopyCentral = 11047,
    DS_NoSpanSupport = 11048,
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
