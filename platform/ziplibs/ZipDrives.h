#pragma once
// The drive queries of the zip component's multi-volume archives: where a path lies, whether
// its drive takes removable disks, a disk's readiness, label, free space and size, and what
// can be done to a removable disk (label it, format it, erase it).
//
// The real drives (TStorageDrives) come from QStorageInfo. On Linux labelling and formatting
// need the system's own tools and rights, so every path counts as lying on a fixed drive;
// tests drive the removable-disk logic through a fake of their own.
#include <QString>

struct TDriveInfo {
    bool Ready = false;  // a disk is in and its size could be read
    bool Unformatted = false;  // a disk is in but carries no file system
    QString Label;
    qint64 Free = 0;
    qint64 Size = 0;
};

class TZipDrives {
public:
    virtual ~TZipDrives() = default;
    // The drive a path lies on, as messages name it; empty when it lies on none.
    virtual QString DriveOf(const QString& path) const = 0;
    virtual bool Exists(const QString& drive) const = 0;
    virtual bool IsRemovable(const QString& drive) const = 0;
    // The disk in the drive now.
    virtual TDriveInfo Info(const QString& drive) const = 0;
    virtual bool SetLabel(const QString& drive, const QString& label) = 0;
    // Offers the disk a quick format with that label; true when one took place.
    virtual bool Format(const QString& drive, const QString& label) = 0;
    // Deletes every file and folder on the disk; false when something stayed.
    virtual bool EraseAll(const QString& drive) = 0;
};

// The machine's own drives, every one of them fixed.
class TStorageDrives : public TZipDrives {
public:
    QString DriveOf(const QString& path) const override;
    bool Exists(const QString& drive) const override;
    bool IsRemovable(const QString&) const override { return false; }
    TDriveInfo Info(const QString& drive) const override;
    // A fixed drive is never labelled, formatted or erased.
    bool SetLabel(const QString&, const QString&) override { return false; }
    bool Format(const QString&, const QString&) override { return false; }
    bool EraseAll(const QString&) override { return false; }

    static TStorageDrives& Instance();
};
