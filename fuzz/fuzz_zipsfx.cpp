// Self-extracting archives: any bytes taken as an executable or an archive are moved to a
// new place and back, and their settings header is read, without reading or writing outside
// the buffers; whatever moves cleanly is an archive the directory reader finds again.
#include <QBuffer>

#include <cstdint>
#include <cstdlib>

#include "platform/ziplibs/common/ZipCommon.h"
#include "zip/ZipMstr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    // The settings header that ends at any place.
    TSFXProperties props;
    for (qsizetype end : {bytes.size(), bytes.size() / 2, qsizetype(8)}) {
        if (TSFXProperties::FromBytes(bytes, end, props)) {
            // What was read is written back the same way.
            const QByteArray again = props.HeaderBytes();
            TSFXProperties back;
            if (!TSFXProperties::FromBytes(again, again.size(), back) || back.Caption != props.Caption ||
                back.Message != props.Message || back.Options != props.Options)
                abort();
        }
    }
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    const zipcommon::TEndOfCentral end = zipcommon::FindEndOfCentral(in);
    if (!end.Found) return 0;
    const qint64 start = zipcommon::ZipDataStart(in, end);
    if (start > end.CentralStart) abort();
    if (start < 0) return 0;
    for (qint64 lead : {qint64(0), qint64(4133)}) {
        QByteArray moved;
        QBuffer out(&moved);
        out.open(QIODevice::WriteOnly);
        out.write(QByteArray(lead, 'S'));
        if (zipcommon::MoveZipData(in, end, start, out, lead) != zipcommon::MoveOk) continue;
        // Nothing beyond the archive itself is written.
        if (moved.size() > lead + (end.DataEnd - start)) abort();
        out.close();
        QBuffer check(&moved);
        check.open(QIODevice::ReadOnly);
        const zipcommon::TEndOfCentral again = zipcommon::FindEndOfCentral(check);
        if (again.Found && again.TotalEntries == end.TotalEntries && again.SfxOffset != 0 &&
            again.EndPos == moved.size() - 22 - end.Comment.size())
            abort();  // the moved directory offset must agree with where it stands
    }
    return 0;
}
