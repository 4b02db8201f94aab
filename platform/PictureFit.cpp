#include "platform/PictureFit.h"

#include <QImage>
#include <QPainter>
#include <QRect>

#include <algorithm>

namespace {
// Round(a / b) with ties to even, for b > 0 and a >= 0.
qint64 roundDiv(qint64 a, qint64 b) {
    qint64 q = a / b;
    const qint64 twice = 2 * (a % b);
    if (twice > b || (twice == b && (q & 1))) ++q;
    return q;
}
}  // namespace

void DrawPictureFit(const QImage& source, QImage& target, int width, bool keepAspect, int height) {
    target = QImage();
    const qint64 sw = source.width(), sh = source.height();
    if (source.isNull() || sw <= 0 || sh <= 0 || width <= 0 || height <= 0) return;
    qint64 w = width, h = height;
    if (keepAspect) {
        if (qint64(width) * sh >= qint64(height) * sw)
            w = std::max<qint64>(1, roundDiv(qint64(height) * sw, sh));
        else
            h = std::max<qint64>(1, roundDiv(qint64(width) * sh, sw));
    }
    QImage image(int(w), int(h), QImage::Format_RGB32);
    if (image.isNull()) return;
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(0, 0, int(w), int(h)), source);
    }
    target = image;
}
