// The zip component: the archive's directory, read from its central directory.
#include "zip/ZipMstr.h"
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

// ---- Directory ----

zipcommon::TNameCodePage TZipArchiver::NameCodePage() const {
    return m_codePage == CodePageOpts::cpOEM ? zipcommon::TNameCodePage::OEM
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
                case zipcommon::TCentralError::None:
                    break;
                case zipcommon::TCentralError::Seek:
                    throw EZipArchiver(DirectorySeekError);
                case zipcommon::TCentralError::ShortHeader:
                    throw EZipArchiver(CentralHeaderReadError);
                case zipcommon::TCentralError::Signature:
                    throw EZipArchiver(CentralHeaderBadSignature);
                case zipcommon::TCentralError::ShortName:
                    throw EZipArchiver(CentralNameReadError);
                case zipcommon::TCentralError::ShortExtra:
                    throw EZipArchiver(DirectorySeekError);
                case zipcommon::TCentralError::ShortComment:
                    throw EZipArchiver(FileCommentReadError);
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
