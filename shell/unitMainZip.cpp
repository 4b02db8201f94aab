#include "shell/unitMain.h"
// The main window's zip service: the zip component it owns, packing a folder into an archive
// and unpacking an archive into a folder, with the checks of an archive's names and size
// before anything is written and the component's messages turned into the errors raised.

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "core/MyUtils.h"
#include "platform/Exception.h"
#include "zip/ZipMstr.h"

void TformFRMain::SetupZip() {
    zipMain = new TZipArchiver(this);
    zipMain->setObjectName(QStringLiteral("zipMain"));
    zipMain->SetAddCompLevel(9);
    zipMain->SetUnattended(true);
    zipMain->SetVerbose(false);
    zipMain->SetTrace(false);
    zipMain->SetMinZipLibVers(172);
    zipMain->SetMinUnzLibVers(172);
    zipMain->SetAddStoreSuffixes(Zip::AddStoreExts::fromInt(int(Zip::AddStoreDefault)));
    zipMain->OnMessage = [this](QObject* sender, int errCode, const QString& message) {
        zipMainMessage(sender, errCode, message);
    };
    zipMain->OnPasswordError = [this](QObject* sender, bool isZipAction, QString& newPassword, const QString& forFile,
                                      quint32& repeatCount, TPasswordButton& action) {
        zipMainPasswordError(sender, isZipAction, newPassword, forFile, repeatCount, action);
    };
}

namespace {

// Whether an archive name stays below the folder it is unpacked into.
bool IsSafeEntryName(const QString& entryName) {
    QString name = entryName;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (name.isEmpty() || name.startsWith(QLatin1Char('/')) || name.contains(QLatin1Char(':'))) return false;
    const QStringList parts = name.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.isEmpty()) return false;
    for (const QString& part : parts)
        if (part == QLatin1String("..") || part == QLatin1String(".")) return false;
    return true;
}

bool IsLinkEntry(const ZipDirEntry& e) {
    // Unix hosts keep the file type in the high half of the external attributes.
    constexpr quint32 TypeMask = 0170000, LinkType = 0120000;
    return e.HostVersionNo == 3 && ((e.ExtFileAttrib >> 16) & TypeMask) == LinkType;
}

// An extraction's failures are no compression's.
[[noreturn]] void RaiseUnzipError(const QString& message) {
    throw Exception(QStringLiteral("Fel vid uppackning av zip-arkiv. Meddelande: %1").arg(message));
}
}  // namespace

void TformFRMain::RaiseZipError(const QString& message) const {
    throw Exception(QStringLiteral("Fel vid Zip-komprimering. Meddelande: %1").arg(message));
}

void TformFRMain::zipMainMessage(QObject*, int errCode, const QString& message) {
    if (errCode == 0) return;
    // Raising here would cross the library module; the caller raises once the call returns.
    if (m_zipError.isEmpty()) m_zipError = message;
    zipMain->Cancel();
}

void TformFRMain::zipMainPasswordError(QObject*, bool, QString& newPassword, const QString&, quint32& repeatCount,
                                       TPasswordButton& action) {
    newPassword.clear();
    repeatCount = 0;
    action = TPasswordButton::mbCancelAll;
}

void TformFRMain::ZipFolder(const QString& folder, const QString& zipFileName) {
    if (zipMain->IsBusy()) RaiseZipError(QStringLiteral("Zip-komponenten är upptagen."));
    const QString root = FolderWithSlash(folder);
    const QStringList names = ArticleFolderFiles(root);
    // A fresh archive each time: adding to an old one would merge two folders.
    if (QFileInfo::exists(zipFileName) && !QFile::remove(zipFileName))
        RaiseZipError(QStringLiteral("Filen \"%1\" kunde inte ersättas.").arg(zipFileName));
    QDir().mkpath(QFileInfo(zipFileName).absolutePath());
    QStringList specs;
    specs.reserve(names.size());
    for (const QString& name : names) specs << root + name;
    m_zipError.clear();
    zipMain->SetZipFileName(zipFileName);
    zipMain->SetRootDir(root);
    zipMain->SetAddOptions(Zip::AddDirNames);
    zipMain->SetPassword(QString());
    zipMain->SetFSpecArgs(specs);
    const int result = zipMain->Add();
    if (result != 0 || !m_zipError.isEmpty()) {
        const QString message = m_zipError.isEmpty() ? zipMain->Message() : m_zipError;
        m_zipError.clear();
        zipMain->SetZipFileName(QString());
        QFile::remove(zipFileName);
        RaiseZipError(message);
    }
}

void TformFRMain::UnzipTo(const QString& zipFileName, const QString& folder) {
    if (zipMain->IsBusy()) RaiseUnzipError(QStringLiteral("Zip-komponenten är upptagen."));
    if (!QFileInfo(zipFileName).isFile())
        RaiseUnzipError(QStringLiteral("Filen \"%1\" finns inte.").arg(QDir::toNativeSeparators(zipFileName)));
    // An archive that is there but cannot be read says so, not that it is missing.
    {
        const int fd = ::open(QFile::encodeName(zipFileName).constData(), O_RDONLY | O_CLOEXEC);
        const int error = errno;
        if (fd < 0)
            RaiseUnzipError(QStringLiteral("Filen \"%1\" kunde inte läsas (%2).")
                                .arg(QDir::toNativeSeparators(zipFileName),
                                     error == EACCES || error == EPERM ? QStringLiteral("åtkomst nekad")
                                                                       : QStringLiteral("filen kan inte öppnas")));
        ::close(fd);
    }
    m_zipError.clear();
    zipMain->SetZipFileName(zipFileName);
    if (!m_zipError.isEmpty() || zipMain->ErrCode() != 0 || zipMain->ZipContents().isEmpty()) {
        m_zipError.clear();
        zipMain->SetZipFileName(QString());
        RaiseUnzipError(QStringLiteral("Filen \"%1\" är skadad eller ingen zip-fil och kan inte packas upp.")
                            .arg(QDir::toNativeSeparators(zipFileName)));
    }
    // The directory is judged before anything is written.
    qint64 total = 0;
    for (const ZipDirEntry& e : zipMain->ZipContents()) {
        if (!IsSafeEntryName(e.FileName) || IsLinkEntry(e))
            RaiseUnzipError(QStringLiteral("Arkivet innehåller ett otillåtet namn: \"%1\"").arg(e.FileName));
        total += qint64(qMin<quint64>(e.UncompressedSize, quint64(MaxUnpackedArticleSize) + 1));
        if (total > MaxUnpackedArticleSize) RaiseUnzipError(QStringLiteral("Arkivet är för stort för att packas upp."));
    }
    const QString base = FolderWithSlash(folder);
    QDir().mkpath(base);
    zipMain->SetExtrBaseDir(base);
    zipMain->SetExtrOptions(Zip::ExtrDirNames);
    zipMain->SetFSpecArgs({});
    const int result = zipMain->Extract();
    if (result != 0 || !m_zipError.isEmpty()) {
        const QString message = m_zipError.isEmpty() ? zipMain->Message() : m_zipError;
        m_zipError.clear();
        RaiseUnzipError(message);
    }
}
