#include "content/recipes/FoodPictures.h"

#include <QBuffer>
#include <QByteArray>
#include <QSize>
#include <cmath>

#include "core/ProgramFolders.h"
#include "platform/Exception.h"

QImage FoodThumbnail(const QImage& picture) {
    if (picture.isNull()) return {};
    const int w = picture.width(), h = picture.height();
    QSize size = w >= h ? QSize(90, int(std::nearbyint(double(h) * 90 / w)))
                        : QSize(int(std::nearbyint(double(w) * 90 / h)), 90);
    size = size.expandedTo(QSize(1, 1));
    return picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

TPendingFile MakeFoodThumbnail(const QImage& picture, const QString& key) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!FoodThumbnail(picture).save(&buffer, "BMP"))
        throw Exception(QStringLiteral("Miniatyrbilden kunde inte skapas"));
    TPendingFile file;
    file.Write(GetFoodPicThumbFile(key), bytes);
    return file;
}
