#pragma once
// What the sources of the zip component share and nothing else includes: the library and end
// record of the component, its scratch archives, and the small texts and numbers of the
// command and callback records.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QRandomGenerator>
#include <QSet>
#include <QString>

#include <cstdint>
#include <deque>
#include <memory>

#include "platform/AtomicFile.h"
#include "platform/ziplibs/ZipLibApi.h"
#include "platform/ziplibs/common/ZipCommon.h"
#include "zip/ZipMsg.h"
#include "zip/ZipMstr.h"

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
            throw EZipArchiver::WithDetail(zipmsg::InputFileMissing,
                                           QStringLiteral(": ") + QDir::toNativeSeparators(name));
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

namespace zipmaster {

// The components alive, so that a callback naming anything else is refused.
QSet<const void*>& LiveComponents();

int32_t Flag(bool on);

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
void PrepareScratch(TAtomicFile& file);

// Joins a folder and a file name with exactly one separator at the seam.
QString PathConcat(const QString& path, const QString& tail);

QString ProgressText(int n);

// The text area as events see it: up to its NUL, trailing control characters and blanks
// removed, "/" as "\".
QString CallbackText(const CallbackRec* rec);

void WriteText(CallbackRec* rec, const QString& text, int maxBytes = ZipCallbackTextSize - 1);

quint32 Clamp32(int64_t v);

// The message id of a failure to join or read a spanned set.
int SpanErrorId(zipcommon::TJoinError why);

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

}  // namespace zipmaster
