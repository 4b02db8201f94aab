#pragma once
// The pixel size of a picture file's bytes, read from its header: a JPEG or a BMP file (both
// the old and the Windows header). An empty size for anything else or a damaged header.
#include <QByteArray>
#include <QSize>

QSize QSPictureSize(const QByteArray& bytes);
