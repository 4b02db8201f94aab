#include "zip/ZipSFXMaker.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/AtomicFile.h"
#include "platform/Exception.h"
#include "platform/ziplibs/common/ZipCommon.h"

using namespace Zip;  // the component's option bits

namespace {

// The builder works for one master at a time.
class TBusy {
public:
    explicit TBusy(bool& flag) : m_flag(flag) { m_flag = true; }
    ~TBusy() { m_flag = false; }
    TBusy(const TBusy&) = delete;
    TBusy& operator=(const TBusy&) = delete;

private:
    bool& m_flag;
};

QString WithSuffix(const QString& path, const QString& suffix) {
    const QFileInfo fi(path);
    return fi.dir().filePath(fi.completeBaseName() + suffix);
}

// The offsets of a self-extracting archive are 32-bit.
const QString kNoZip64 = QStringLiteral("\nArkivet är för stort (zip64) för ett självuppackande arkiv.");

int MoveResultCode(zipcommon::TMoveResult r) {
    switch (r) {
        case zipcommon::MoveOk:
            return 0;
        case zipcommon::MoveShortWrite:
            return -2;
        case zipcommon::MoveReadError:
            return -3;
        case zipcommon::MoveNoZip:
            return -102;
        case zipcommon::MoveNeedsZip64:
            return -9;
    }
    return -9;
}

}  // namespace

// ---- Builder ----

namespace {

// Puts a written file in place when everything went well; else it is dropped and the
// reason of a failed write is told. True when the file is in place.
bool CommitOutput(TZipArchiver* master, TAtomicFileDevice& out, int result) {
    if (result == 0) {
        try {
            out.File().Commit();
            return true;
        } catch (const Exception& e) {
            master->ShowZipMessage(zipmsg::OutputWriteError, QLatin1Char('\n') + e.Message());
            return false;
        }
    }
    if (!out.Failure().isEmpty()) master->ShowZipMessage(zipmsg::OutputWriteError, QLatin1Char('\n') + out.Failure());
    out.File().Cancel();
    return false;
}

}  // namespace

TZipSFXMaker::TZipSFXMaker(QObject* owner) : TZipSFXBase(owner) {}

void TZipSFXMaker::Begin(TZipArchiver* master) {
    if (!master) throw Exception(QStringLiteral("No TZipArchiver component assigned"));
    m_master = master;
}

TSFXProperties TZipSFXMaker::Prepare(const TZipArchiver* master) const {
    TSFXProperties p;
    if (!master) return p;
    const SFXOpts o = master->SFXOptions;
    p.Options = quint16(256 | (o.testFlag(SFXAskCmdLine) ? 1 : 0) | (o.testFlag(SFXAskFiles) ? 2 : 0) |
                        (o.testFlag(SFXAutoRun) ? 8 : 0) | (o.testFlag(SFXHideOverWriteBox) ? 4 : 0) |
                        (o.testFlag(SFXNoSuccessMsg) ? 16 : 0));
    p.OverwriteMode = master->SFXOverWriteMode == OvrOpts::OvrAlways ? 0
        : master->SFXOverWriteMode == OvrOpts::OvrNever              ? 1
                                                                     : 2;
    p.Message = master->SFXMessage;
    if (p.Message.startsWith(QChar(1))) {
        p.MessageType = 65;
        p.Message.remove(0, 1);
    } else if (p.Message.startsWith(QChar(2))) {
        p.MessageType = 36;
        p.Message.remove(0, 1);
    }
    p.Caption = master->SFXCaption;
    p.DefaultDir = master->SFXDefaultDir;
    p.CommandLine = master->SFXCommandLine;
    return p;
}

QString TZipSFXMaker::FindStub(TZipArchiver* master) {
    if (!m_stubPath.isEmpty() && QFileInfo(m_stubPath).isFile()) return m_stubPath;
    QString name = StubFileName();
    if (master && !master->SFXPath.isEmpty()) {
        QFileInfo fi(master->SFXPath);
        QString path = master->SFXPath;
        if (fi.fileName().compare(QLatin1String("ZIPSTUB.BIN"), Qt::CaseInsensitive) == 0)
            path = fi.dir().filePath(StubFileName());
        if (QFileInfo(path).isFile()) return path;
        name = QFileInfo(path).fileName();
    }
    QStringList folders{QDir::currentPath()};
    if (master && !master->DLLDirectory().isEmpty()) folders << master->DLLDirectory();
    folders << QCoreApplication::applicationDirPath();
    for (const QString& folder : folders) {
        const QString path = QDir(folder).filePath(name);
        if (QFileInfo(path).isFile()) return path;
    }
    if (master) master->ShowZipMessage(zipmsg::SFXStubNotFound);
    return QString();
}

void TZipSFXMaker::RemoveSource(TZipArchiver* master, const QString& path) {
    zipcommon::RemoveFile(path, master->HowToDelete() == DeleteOpts::htdAllowUndo);
}

int TZipSFXMaker::ConvertToSFX(TZipArchiver* master) {
    if (m_busy) return -255;
    Begin(master);
    TBusy busy(m_busy);
    const QString archive = master->ZipFileName();
    if (archive.isEmpty() || !QFileInfo(archive).isFile()) {
        master->ShowZipMessage(zipmsg::NoZipFileGiven);
        return -3;
    }
    if (!archive.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive)) {
        master->ShowZipMessage(zipmsg::SFXInputNotZip);
        return -9;
    }
    return Make(master, WithSuffix(archive, QStringLiteral(".exe")), false);
}

int TZipSFXMaker::NewSFXFile(TZipArchiver* master, const QString& exeName) {
    if (m_busy) return -255;
    Begin(master);
    TBusy busy(m_busy);
    return Make(master, exeName, true);
}

int TZipSFXMaker::Make(TZipArchiver* master, const QString& exeName, bool empty) {
    const TSFXProperties props = Prepare(master);
    const QString stub = FindStub(master);
    if (stub.isEmpty()) return -3;
    QStringList tooLong;
    if (master->SFXCaption.size() > 255) tooLong << QStringLiteral("SFXCaption");
    if (master->SFXCommandLine.size() > 255) tooLong << QStringLiteral("SFXCommandLine");
    if (master->SFXDefaultDir.size() > 255) tooLong << QStringLiteral("SFXDefaultDir");
    if (master->SFXMessage.size() > 255) tooLong << QStringLiteral("SFXMessage");
    if (!tooLong.isEmpty()) {
        master->ShowZipMessage(zipmsg::SFXTextTooLong, QLatin1Char('\n') + tooLong.join(QStringLiteral(", ")));
        return -9;
    }
    const QString archive = master->ZipFileName();
    QFile in(archive);
    zipcommon::TEndOfCentral end;
    if (!empty) {
        if (!in.open(QIODevice::ReadOnly)) return -3;
        end = zipcommon::FindEndOfCentral(in);
        if (!end.Found) return -102;
        if (end.ThisDisk != 0 || end.CentralDisk != 0) return -101;
    }
    QFile stubFile(stub);
    if (!stubFile.open(QIODevice::ReadOnly)) return -3;

    const TZipWaitCursor wait;
    // The executable is written under a temporary name and takes its place only when
    // complete and checked, so an old executable or the archive is never lost to a failed
    // conversion. It is made executable.
    TAtomicFileDevice out(exeName);
    out.File().SetPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                              QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther |
                              QFileDevice::ExeOther);
    int result = 0;
    try {
        out.Begin();
    } catch (const Exception& e) {
        master->ShowZipMessage(zipmsg::OutputWriteError, QLatin1Char('\n') + e.Message());
        return -1;
    }
    qint64 lead = 0;
    while (result == 0 && !stubFile.atEnd()) {
        const QByteArray block = stubFile.read(8192);
        if (block.isEmpty()) {
            result = -3;
            break;
        }
        if (out.write(block) != block.size()) result = -2;
        lead += block.size();
        QCoreApplication::processEvents();
    }
    const QByteArray header = props.HeaderBytes();
    if (result == 0 && out.write(header) != header.size()) result = -2;
    lead += header.size();
    if (result == 0) {
        if (empty) {
            QByteArray rec("PK\x05\x06", 4);
            rec.append(QByteArray(12, '\0'));
            for (int i = 0; i < 4; ++i) rec.append(char((quint32(lead) >> (8 * i)) & 0xFF));
            rec.append(QByteArray(2, '\0'));
            if (out.write(rec) != rec.size()) result = -2;
        } else {
            result = MoveResultCode(zipcommon::MoveZipData(in, end, 0, out, lead));
            if (result == -9) master->ShowZipMessage(zipmsg::SFXDataCopyError, kNoZip64);
        }
    }
    if (!CommitOutput(master, out, result)) return result != 0 ? result : -2;
    in.close();
    if (!empty) {
        if (QFileInfo(archive) != QFileInfo(exeName)) RemoveSource(master, archive);
        master->SetZipFileName(exeName);
    }
    return 0;
}

int TZipSFXMaker::ConvertToZip(TZipArchiver* master) {
    if (m_busy) return -255;
    Begin(master);
    TBusy busy(m_busy);
    return BackToZip(master);
}

int TZipSFXMaker::BackToZip(TZipArchiver* master) {
    const QString exe = master->ZipFileName();
    if (exe.isEmpty() || !QFileInfo(exe).isFile()) {
        master->ShowZipMessage(zipmsg::NoExeFileGiven);
        return -3;
    }
    if (!exe.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive)) {
        master->ShowZipMessage(zipmsg::InputNotExe);
        return -9;
    }
    QFile in(exe);
    if (!in.open(QIODevice::ReadOnly)) return -3;
    const zipcommon::TEndOfCentral end = zipcommon::FindEndOfCentral(in);
    if (!end.Found) return -102;
    if (end.ThisDisk != 0 || end.CentralDisk != 0) return -101;
    const qint64 start = zipcommon::ZipDataStart(in, end);
    if (start < 0) return -102;
    const TZipWaitCursor wait;
    // The settings that stand in front of the zip data.
    TSFXProperties props;
    const qint64 headAt = qMax<qint64>(0, start - 8 - 65536);
    if (!in.seek(headAt)) return -3;
    const QByteArray head = in.read(start - headAt);
    const bool hasSettings = TSFXProperties::FromBytes(head, head.size(), props);

    const QString zipName = WithSuffix(exe, QStringLiteral(".zip"));
    TAtomicFileDevice out(zipName);
    try {
        out.Begin();
    } catch (const Exception& e) {
        master->ShowZipMessage(zipmsg::OutputWriteError, QLatin1Char('\n') + e.Message());
        return -1;
    }
    const int result = MoveResultCode(zipcommon::MoveZipData(in, end, start, out, 0));
    if (result == -9) master->ShowZipMessage(zipmsg::SFXDataCopyError, kNoZip64);
    if (!CommitOutput(master, out, result)) return result != 0 ? result : -2;
    in.close();
    if (hasSettings) {
        master->SFXCaption = props.Caption;
        master->SFXCommandLine = props.CommandLine;
        master->SFXDefaultDir = props.DefaultDir;
        master->SFXMessage = props.MessageType == 65 ? QChar(1) + props.Message
            : props.MessageType == 36                ? QChar(2) + props.Message
                                                     : props.Message;
        SFXOpts o = master->SFXOptions & SFXCheckSize;
        if (props.Options & 1) o |= SFXAskCmdLine;
        if (props.Options & 2) o |= SFXAskFiles;
        if (props.Options & 8) o |= SFXAutoRun;
        if (props.Options & 4) o |= SFXHideOverWriteBox;
        if (props.Options & 16) o |= SFXNoSuccessMsg;
        master->SFXOptions = o;
        master->SFXOverWriteMode = props.OverwriteMode == 0 ? OvrOpts::OvrAlways
            : props.OverwriteMode == 1                      ? OvrOpts::OvrNever
                                                            : OvrOpts::OvrConfirm;
    }
    if (QFileInfo(exe) != QFileInfo(zipName)) RemoveSource(master, exe);
    master->SetZipFileName(zipName);
    return 0;
}
