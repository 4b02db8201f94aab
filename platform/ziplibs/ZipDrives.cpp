#include "ZipDrives.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

QString TStorageDrives::DriveOf(const QString& path) const {
    // A file or folder yet to be made lies on the drive of its nearest existing folder.
    QFileInfo at(QFileInfo(path).absoluteFilePath());
    while (!at.exists()) {
        const QString up = at.absolutePath();
        if (up == at.absoluteFilePath()) return QString();
        at = QFileInfo(up);
    }
    const QStorageInfo storage(at.absoluteFilePath());
    return storage.isValid() ? storage.rootPath() : QString();
}

bool TStorageDrives::Exists(const QString& drive) const { return !drive.isEmpty() && QStorageInfo(drive).isValid(); }

TDriveInfo TStorageDrives::Info(const QString& drive) const {
    TDriveInfo info;
    QStorageInfo storage(drive);
    storage.refresh();
    if (!storage.isValid() || !storage.isReady() || storage.bytesTotal() <= 0) return info;
    info.Ready = true;
    info.Label = storage.name();
    info.Free = storage.bytesAvailable();
    info.Size = storage.bytesTotal();
    return info;
}

TStorageDrives& TStorageDrives::Instance() {
    static TStorageDrives drives;
    return drives;
}
