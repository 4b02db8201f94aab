#include "content/species/pictures/FungiPicImages.h"

#include "core/MyUtils.h"
#include "platform/PictureFit.h"
#include "core/ProgramFolders.h"
#include "platform/Exception.h"

#include <QBuffer>
#include <QDir>
#include <QImageReader>
#include <QImageWriter>
#include <algorithm>

namespace fungipics {

namespace {

QString Shown(const QString& fileName) { return QDir::toNativeSeparators(fileName); }

QImageReader& Prepared(QImageReader& reader) {
    // The marker's coordinates are pixels of the file as stored.
    reader.setAutoTransform(false);
    return reader;
}

QImage Read(QImageReader& reader, const QString& fileName) {
    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        const QSize size = reader.size();
        // Qt refuses a picture beyond its allocation limit rather than run out of memory.
        if (size.isValid() &&
            qint64(size.width()) * size.height() * 4 > qint64(QImageReader::allocationLimit()) * 1024 * 1024)
            throw Exception(QStringLiteral("Bilden \"%1\" är för stor för att visas (%2 x %3 bildpunkter).")
                                .arg(Shown(fileName))
                                .arg(size.width())
                                .arg(size.height()));
        throw Exception(QStringLiteral("Bilden \"%1\" kunde inte läsas.").arg(Shown(fileName)));
    }
    return image;
}

}  // namespace

QImage ReadPicture(const QString& fileName) {
    QImageReader reader(fileName);
    return Read(Prepared(reader), fileName);
}

QImage ReadThumbnail(const QString& fileName) {
    QImageReader reader(fileName);
    Prepared(reader);
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > ThumbnailSize || size.height() > ThumbnailSize) &&
        reader.supportsOption(QImageIOHandler::ScaledSize)) {
        // Decoding at about twice the final size keeps the smoothing of the last step.
        const QSize scaled = size.scaled(2 * ThumbnailSize, 2 * ThumbnailSize, Qt::KeepAspectRatio);
        if (scaled.width() < size.width()) reader.setScaledSize(scaled.expandedTo(QSize(1, 1)));
    }
    return Thumbnail(Read(reader, fileName));
}

QImage Thumbnail(const QImage& picture) {
    QImage result;
    DrawPictureFit(picture, result, ThumbnailSize, true, ThumbnailSize);
    return result;
}

QRect LargestCentredSquare(const QSize& picture) {
    const int side = std::max(0, std::min(picture.width(), picture.height()));
    return QRect((picture.width() - side) / 2, (picture.height() - side) / 2, side, side);
}

QRect MainPictureSquare(const QRect& stored, const QSize& picture) {
    const QRect square = stored.normalized();
    if (square.width() <= 0 || square.height() <= 0 || !QRect(QPoint(0, 0), picture).contains(square))
        return LargestCentredSquare(picture);
    return square;
}

QImage MainPicture(const QImage& picture, const QRect& stored) {
    const QRect square = MainPictureSquare(stored, picture.size());
    if (square.isEmpty()) return {};
    const QImage cut = picture.copy(square).convertToFormat(QImage::Format_RGB888);
    return cut.scaled(MainPictureSize, MainPictureSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage ReadMainPicture(const QString& fileName, const QRect& stored) {
    QImageReader reader(fileName);
    Prepared(reader);
    const QSize size = reader.size();
    if (!size.isValid()) return MainPicture(Read(reader, fileName), stored);
    const QRect square = MainPictureSquare(stored, size);
    if (square.isEmpty()) return {};
    reader.setClipRect(square);
    // Decoding at about twice the final size keeps the smoothing of the last step.
    if (square.width() > 2 * MainPictureSize && reader.supportsOption(QImageIOHandler::ScaledSize))
        reader.setScaledSize(QSize(2 * MainPictureSize, 2 * MainPictureSize));
    const QImage cut = Read(reader, fileName).convertToFormat(QImage::Format_RGB888);
    return cut.scaled(MainPictureSize, MainPictureSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QRect MoveMarker(const QRect& marker, const QPoint& offset, const QRect& picture) {
    QRect moved = marker.translated(offset);
    moved.moveLeft(
        std::clamp(moved.left(), picture.left(), std::max(picture.left(), picture.right() + 1 - moved.width())));
    moved.moveTop(
        std::clamp(moved.top(), picture.top(), std::max(picture.top(), picture.bottom() + 1 - moved.height())));
    return moved;
}

QRect ResizeMarker(const QRect& marker, const QPoint& offset, const QRect& picture) {
    const int grow = std::max(offset.x(), offset.y());
    const int room = std::min(picture.right() + 1 - marker.left(), picture.bottom() + 1 - marker.top());
    const int side = std::clamp(marker.width() + grow, 1, std::max(1, room));
    return QRect(marker.topLeft(), QSize(side, side));
}

QRect FittedPictureRect(const QSize& picture, const QSize& panel) {
    const qint64 pw = picture.width(), ph = picture.height(), w = panel.width(), h = panel.height();
    if (pw <= 0 || ph <= 0 || w <= 0 || h <= 0) return {};
    if (pw <= w && ph <= h) return QRect(int((w - pw) / 2), int((h - ph) / 2), int(pw), int(ph));
    if (pw * h >= w * ph) {
        const qint64 sw = std::max<qint64>(1, w - 8);
        const qint64 sh = std::max<qint64>(1, Round(double(ph) * double(sw) / double(pw)));
        return QRect(4, int((h - sh) / 2), int(sw), int(sh));
    }
    const qint64 sh = std::max<qint64>(1, h - 8);
    const qint64 sw = std::max<qint64>(1, Round(double(pw) * double(sh) / double(ph)));
    return QRect(int((w - sw) / 2), 4, int(sw), int(sh));
}

QImage StockPicture(const QString& name) {
    QImage picture;
    if (!picture.load(GetPicsPath(name)) || picture.isNull())
        throw Exception(QStringLiteral("Filen \"BrokenPic.bmp\" kunde inte hittas. Programmet måste installeras om"));
    return picture;
}

namespace {
QByteArray Encoded(const QImage& picture, const char* format, int quality) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (quality >= 0) writer.setQuality(quality);
    if (picture.isNull() || !writer.write(picture))
        throw Exception(QStringLiteral("Bilden kunde inte sparas som %1.").arg(QString::fromLatin1(format).toUpper()));
    return bytes;
}
}  // namespace

QByteArray JpegBytes(const QImage& picture) {
    return Encoded(picture.hasAlphaChannel() ? picture.convertToFormat(QImage::Format_RGB32) : picture, "jpg",
                   JpegQuality);
}

QByteArray BmpBytes(const QImage& picture) { return Encoded(picture, "bmp", -1); }

}  // namespace fungipics
