// Joining a set of volumes: the input's first two bytes give where the first volume ends,
// the rest are the volumes' bytes. Any input joins to a plain archive that the directory
// reader finds again, or stops with a reason; nothing is read outside the volumes. What
// joins, split again into small volumes, joins back to the same bytes.
#include <QBuffer>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/ziplibs/common/ZipCommon.h"

namespace {
// The volumes as a set: disk k is the k-th device, nothing beyond.
std::function<QIODevice*(int)> SetOf(const std::vector<QIODevice*>& devices) {
    return
        [devices](int k) -> QIODevice* { return k >= 0 && size_t(k) < devices.size() ? devices[size_t(k)] : nullptr; };
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const qsizetype split = qsizetype(data[0] | (data[1] << 8));
    QByteArray rest(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));
    QByteArray first = rest.left(split), second = rest.mid(qMin(split, rest.size()));
    QBuffer a(&first), b(&second);
    a.open(QIODevice::ReadOnly);
    b.open(QIODevice::ReadOnly);
    const zipcommon::TEndOfCentral lastEnd = zipcommon::FindEndOfCentral(b);
    QByteArray joined;
    QBuffer out(&joined);
    out.open(QIODevice::WriteOnly);
    // The end record names its own disk; only disks 0 and 1 exist.
    if (zipcommon::JoinVolumes(lastEnd, SetOf({&a, &b}), out) != zipcommon::TJoinError::None) return 0;
    out.close();
    QBuffer check(&joined);
    check.open(QIODevice::ReadOnly);
    const zipcommon::TEndOfCentral end = zipcommon::FindEndOfCentral(check);
    // A comment may itself hold something that reads as an end record; the checks hold
    // where the reader finds the end record the join wrote.
    if (end.Found && end.EndPos != joined.size() - 22 - lastEnd.Comment.size()) return 0;
    if (!end.Found || end.SfxOffset != 0 || end.ThisDisk != 0) abort();
    const qint64 room = 512 + (data[0] & 0x3F) * 16;
    std::vector<std::unique_ptr<QByteArray>> parts;
    std::vector<std::unique_ptr<QBuffer>> devices;
    int count = 0;
    const zipcommon::TJoinError cut = zipcommon::SplitArchive(
        check, end, [&](int) { return room; },
        [&](int) -> QIODevice* {
            if (parts.size() >= 2000) return nullptr;
            parts.push_back(std::make_unique<QByteArray>());
            devices.push_back(std::make_unique<QBuffer>(parts.back().get()));
            devices.back()->open(QIODevice::WriteOnly);
            return devices.back().get();
        },
        count);
    if (cut != zipcommon::TJoinError::None) return 0;
    std::vector<QIODevice*> volumes;
    for (auto& d : devices) {
        if (d->size() > room) abort();
        d->close();
        d->open(QIODevice::ReadOnly);
        volumes.push_back(d.get());
    }
    // The set's end record is found on its last volume, also when the directory began on
    // an earlier one.
    const zipcommon::TEndOfCentral setEnd = zipcommon::FindEndOfCentral(*volumes.back());
    if (setEnd.Found && setEnd.EndPos != volumes.back()->size() - 22 - end.Comment.size()) return 0;
    if (!setEnd.Found || setEnd.ThisDisk != count - 1) abort();
    QByteArray again;
    QBuffer back(&again);
    back.open(QIODevice::WriteOnly);
    if (zipcommon::JoinVolumes(setEnd, SetOf(volumes), back) != zipcommon::TJoinError::None || again != joined) abort();
    return 0;
}
