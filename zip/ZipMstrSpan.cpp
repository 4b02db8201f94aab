// The zip component: spanned sets, their volumes, drives and disks.
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

namespace zipmaster {
int SpanErrorId(zipcommon::TJoinError why) {
    using zipcommon::TJoinError;
    switch (why) {
        case TJoinError::None:
            return 0;
        case TJoinError::EndRecord:
            return EndRecordReadError;
        case TJoinError::FirstSignature:
            return SpanSignatureReadError;
        case TJoinError::CentralRead:
            return CentralHeaderReadError;
        case TJoinError::CentralSignature:
            return CentralHeaderBadSignature;
        case TJoinError::CentralName:
            return CentralNameReadError;
        case TJoinError::CentralExtra:
            return CentralExtraReadError;
        case TJoinError::CentralComment:
            return FileCommentReadError;
        case TJoinError::LocalRead:
            return LocalHeaderReadError;
        case TJoinError::LocalSignature:
            return LocalHeaderBadSignature;
        case TJoinError::LocalName:
            return LocalNameReadError;
        case TJoinError::LocalExtra:
            return LocalExtraReadError;
        case TJoinError::Data:
            return PackedDataReadError;
        case TJoinError::Descriptor:
            return DataDescriptorError;
        case TJoinError::Comment:
            return ArchiveCommentReadError;
        case TJoinError::WriteLocal:
            return LocalHeaderWriteError;
        case TJoinError::WriteCentral:
            return CentralHeaderWriteError;
        case TJoinError::WriteEnd:
            return EndRecordWriteError;
        case TJoinError::Write:
            return OutputWriteError;
        case TJoinError::NoVolume:
        case TJoinError::Zip64:
            return SpanUnknownError;
    }
    return SpanUnknownError;
}
}  // namespace zipmaster

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
            const Zip::TPromptIcon icon =
                wanted == TDiskWanted::Last ? Zip::TPromptIcon::Error : Zip::TPromptIcon::Information;
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
        const bool hasFiles = info.Unformatted ||
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
                       !confirm(FormatMessage(
                           AskReplaceVolumeFile,
                           QDir::toNativeSeparators(QFileInfo::exists(volumeName) ? volumeName : finalName)))) {
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
    zipcommon::TJoinError r = zipcommon::SplitArchive(
        in, end, room, [&](int) { return &counter; }, count);
    if (r != zipcommon::TJoinError::None) return SpanFailed(SpanErrorId(r), SpanDetail(r));
    if (counter.Total() > m_freeOnDisk - qint64(KeepFreeOnAllDisks) - KeepFreeOnDisk1)
        return SpanFailed(NotEnoughDiskSpace);
    m_totalDisks = count;
    for (int k = 0; k < count && !m_unattended; ++k) {
        const QString name = SpanVolumeName(k, count);
        if (QFileInfo::exists(name) &&
            Zip::Prompts().Message(
                Zip::TPromptIcon::Question, Zip::TPromptButtons::YesNoCancel, QStringLiteral("Confirm"),
                FormatMessage(AskReplaceVolumeFile, QDir::toNativeSeparators(name))) != Zip::TPromptAnswer::Yes)
            throw EZipArchiver(UserCancelled);
    }
    // Every volume is finished beside its place and only then are all put in place, so a
    // failure leaves the files of an older set as they were.
    std::vector<std::unique_ptr<TVolumeDevice>> volumes;
    int written = 0;
    r = zipcommon::SplitArchive(
        in, end, room,
        [&](int k) -> QIODevice* {
            if (!volumes.empty()) volumes.back()->Finish();
            volumes.push_back(OpenVolume(SpanVolumeName(k, count), stamp));
            return volumes.back().get();
        },
        written, observer);
    if (r == zipcommon::TJoinError::None && written != count) r = zipcommon::TJoinError::Write;
    if (r != zipcommon::TJoinError::None) return SplitFailed(r, volumes.empty() ? nullptr : volumes.back().get());
    for (auto& v : volumes) v->Rename();
    // Higher-numbered volumes of an older set would be read as part of this one.
    for (int k = count;; ++k) {
        const QString stale =
            SpanOptions.testFlag(spCompatName) ? SpanVolumeName(k - 1, k + 1) : SpanVolumeName(k, k + 1);
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
