#pragma once
// The pixel size of a picture file's bytes, read from its header: a JPEG or a BMP file (both
// the old and the Windows header). A picture of no pixels has a valid, empty size; anything
// else or a damaged header an invalid one.
#include <QByteArray>
#include <QSize>

QSize QSPictureSize(const QByteArray& bytes);
