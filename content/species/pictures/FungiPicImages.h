#pragma once
// The picture arithmetic of the species pictures: reading a stored picture, its 90-pixel
// thumbnail, the 211 x 211 main picture cut from the square marker, and keeping the marker
// inside the picture while it is moved or resized. Coordinates are pixels of the stored file
// (pictures are read without EXIF rotation, so they mean the same pixels on every read).
#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

namespace fungipics {

constexpr int ThumbnailSize = 90;
constexpr int MainPictureSize = 211;
constexpr int JpegQuality = 75;

// The picture of the file, as stored; raises a Swedish message when it cannot be read or is
// too large to hold.
QImage ReadPicture(const QString& fileName);
// The thumbnail of the file, decoded at reduced size where the format allows it.
QImage ReadThumbnail(const QString& fileName);
// The picture fitted into the thumbnail square, keeping its aspect.
QImage Thumbnail(const QImage& picture);

// The largest square centred in a picture of this size.
QRect LargestCentredSquare(const QSize& picture);
// The stored marker square when it is a non-empty rectangle inside the picture, else the
// largest centred square.
QRect MainPictureSquare(const QRect& stored, const QSize& picture);
// The 211 x 211 main picture cut from the square.
QImage MainPicture(const QImage& picture, const QRect& stored);
// The same from the file, decoding only the square, at reduced size where the format allows;
// raises as ReadPicture.
QImage ReadMainPicture(const QString& fileName, const QRect& stored);

// The marker moved by the offset and stopped at the picture's edges.
QRect MoveMarker(const QRect& marker, const QPoint& offset, const QRect& picture);
// The marker grown or shrunk at its lower-right corner by the larger of the two offsets,
// both sides alike, kept inside the picture and at least one pixel.
QRect ResizeMarker(const QRect& marker, const QPoint& offset, const QRect& picture);

// Where a picture is shown in a panel: scaled down to the panel less a border of 4 on each
// side, keeping its aspect and centred, when it is larger than the panel either way; else
// centred at its own size.
QRect FittedPictureRect(const QSize& picture, const QSize& panel);

// A stock picture of Data/Pics ("_WebPic_sml.bmp", "_WebPic_lrg.bmp", "_BrokenPic_sml.bmp",
// "_PicMissing.bmp"); a missing one means a damaged installation and raises.
QImage StockPicture(const QString& name);

// The bytes of the picture as JPEG (quality 75) and of a thumbnail as BMP; raise on failure.
QByteArray JpegBytes(const QImage& picture);
QByteArray BmpBytes(const QImage& picture);

}  // namespace fungipics
