#pragma once
// The binary interface between the zip component and its two library modules (libziplib.so
// and libunzlib.so): the command records, the callback record and the codes they exchange.
//
// The records keep the field order and meaning of the component's 32-bit layout; texts and
// addresses are pointer-sized here, so the offsets are those the compiler gives. Every text
// is a NUL-terminated UTF-8 copy owned by the caller; nullptr means absent. A flag is -1 for
// true and 0 for false (16-bit flags 0xFFFF / 0).
#include <cstdint>

extern "C" {

struct CallbackRec;
// The one entry through which a module reports back. Returns -1 when the caller wants the
// module to abort, else 0.
typedef int32_t (*ZipCallbackFn)(CallbackRec* rec);

// Size of the callback record's text area, NUL included.
enum { ZipCallbackTextSize = 512 };

struct CallbackRec {
    void* Reserved0;  // set by the module, not read
    void* Component;  // the component, as given in the command record
    int32_t Version;  // set by the module, not read
    int32_t FromZipLib;  // nonzero when the request comes from the packing module
    int32_t Action;  // 0-14; action 8 may answer 0 here
    int32_t FirstValue;  // error code, index or flags; the answer's status
    int64_t SecondValue;  // size, count, CRC or address; the answer's value
    char Text[ZipCallbackTextSize];
};

struct ZipFileSpecRec {
    const char* FileSpec;  // without its marker and password tail
    uint8_t Reserved1[8];
    const char* Password;  // this line's password or nullptr
    int32_t Encrypt;  // 0xFFFF with a password tail, 0 with an empty tail
    uint16_t Recurse;  // 0xFFFF recurse, 0 not
    uint8_t Reserved2[14];
    const char* RootDir;  // the folder the file pattern is taken against, or nullptr
    uint8_t Reserved3[64];
};

struct ZipCommandRec {
    void* WindowHandle;  // application window for the module's own dialogs; 0 unattended
    void* Component;
    int32_t Version;  // what GetZipLibVersion returned
    ZipCallbackFn Callback;
    int32_t Trace;
    const char* Password;  // at most 80 characters; nullptr when empty
    const char* StoreSuffixes;  // ".gif:.png:..." ; nullptr when empty
    int32_t Encrypt;
    int32_t IncludeHidden;  // take hidden (dot) files too
    int32_t Volume;
    int32_t Reserved40;
    int32_t NoFolderEntries;  // no separate folder entries
    int32_t FromDate;  // only files of Date or later
    int32_t Verbose;
    int32_t Quiet;
    int32_t Level;  // 0 stores, 1-9 deflate
    int32_t Reserved64;
    int32_t Reserved68;
    int32_t StripFolderNames;
    uint16_t Recurse;
    uint16_t Reserved78;
    int32_t GrowInPlace;  // grow the archive in place (else write a copy)
    int32_t ForceDOS;  // 8.3 upper-case names
    int32_t Move;  // delete the stored sources afterwards
    int32_t Reserved92;
    int32_t Update;
    int32_t Freshen;
    int32_t Reserved104;
    int32_t ArchiveTakesNewestTime;  // the archive gets the time of its newest entry
    char Date[8];  // "mm dd yy", no terminator
    int32_t SpecCount;  // number of FileSpecs
    const char* ZipFileName;
    const char* TempDir;
    const char* ArchiveComment;
    int16_t ArchiveOnly;
    int16_t ResetArchive;
    ZipFileSpecRec* FileSpecs;
    int32_t Reserved144;
    int32_t ExcludeCount;
    const char* const* ExcludeSpecs;
    uint8_t StreamFields[32];
    int32_t UseTrash;  // deleted sources go to the trash
    uint16_t CodePage;  // 2 = OEM names
    uint8_t Reserved194[18];
    int32_t CheckValue;  // always RecordCheckValue
};

struct UnzipFileSpecRec {
    const char* FileSpec;
    uint8_t Reserved[68];
};

struct UnzipCommandRec {
    void* WindowHandle;
    void* Component;
    int32_t Version;
    ZipCallbackFn Callback;
    int32_t Trace;
    int32_t Reserved20;
    const char* Password;  // never nullptr: empty text when there is none
    int32_t Test;  // check only, write nothing
    int32_t Reserved32;
    int32_t Reserved36;
    int32_t Quiet;
    int32_t Verbose;
    int32_t Update;
    int32_t Freshen;
    int32_t RecreateFolders;  // recreate stored folders
    int32_t Overwrite;
    int32_t SpecCount;  // 0 = every entry
    const char* ZipFileName;
    UnzipFileSpecRec* FileSpecs;
    int32_t Reserved76;
    uint8_t StreamFields[28];
    int32_t PasswordReqCount;
    const char* ExtrBaseDir;
    uint8_t Reserved112[32];
    int32_t CheckValue;
};

typedef int32_t (*ZipLibExecFn)(ZipCommandRec* rec);
typedef int32_t (*UnzLibExecFn)(UnzipCommandRec* rec);
typedef int32_t (*ZipLibVersionFn)();

}  // extern "C"

namespace ziplibs {

inline constexpr int32_t RecordCheckValue = 7;
inline constexpr int32_t LibVersion = 172;
// The longest password anywhere: the component refuses longer ones, the modules cut.
inline constexpr int MaxPasswordLength = 80;

// Action codes of the callback record.
enum TAction : int32_t {
    ActTick = 0,
    ActNewFile = 1,  // name, size
    ActProgress = 2,  // bytes done in the current file
    ActEndBatch = 3,
    ActMessage = 4,  // error code (0 = information), text
    ActTotalFiles = 5,  // count
    ActTotalSize = 6,  // total size
    ActNewName = 7,
    ActPassword = 8,  // first bit 0 set: for adding; second: repeat count
    ActCRCError = 9,  // first found CRC, second expected CRC
    ActOverwrite = 10,  // first: bit 16 older, low 16 bits index; second: default answer
    ActSkipped = 11,  // first: error code; second low byte: skip type + 1
    ActFileComment = 12,
    ActStream = 13,
    ActNone = 14,
};

// Error codes the modules report (1-255, so that the low byte never reads as success).
enum TZipError : int32_t {
    ZipErrNone = 0,
    ZipErrGeneral = 1,  // general failure
    ZipErrOpen = 2,  // a file or the archive cannot be opened
    ZipErrRead = 3,
    ZipErrWrite = 4,  // writing or committing failed
    ZipErrDamaged = 5,  // the archive is damaged
    ZipErrCRC = 6,
    ZipErrPassword = 7,  // no or wrong password
    ZipErrMemory = 8,
    ZipErrAborted = 9,  // cancelled
    ZipErrUnsafe = 10,  // an entry name or type that may not be written
    ZipErrNothingMatched = 11,  // nothing matched the file patterns
    ZipErrSize = 12,  // an entry larger than declared or too large for the disk
    ZipErrBadCommand = 13,  // a malformed command record
    ZipErrExists = 14,  // skipped, the file exists
};

// Skip reasons sent with ActSkipped (the ordinal; the record carries it plus one).
enum TSkipType : int32_t {
    SkipOnFreshen = 0,
    SkipNoOverwrite = 1,
    SkipFileExists = 2,
    SkipBadPassword = 3,
    SkipNoEncryptionPassword = 4,
    SkipCompressionUnknown = 5,
    SkipUnknown = 6,
    SkipCompressionError = 7,
    SkipEncryptionError = 8,
    SkipCRCError = 9,
    SkipUnsafeName = 10,
    SkipSize = 11,
};

}  // namespace ziplibs
