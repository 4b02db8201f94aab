#pragma once
// The recipes' thumbnails, without widgets: the check and repair makes them again as the
// recipe screen does.
#include <QImage>
#include <QString>

#include "core/PendingFile.h"

// The thumbnail of a picture: its longer side 90 pixels, the other in proportion.
QImage FoodThumbnail(const QImage& picture);
// The recipe's thumbnail bitmap, written beside its file and put in place by Commit once the
// recipe is posted.
TPendingFile MakeFoodThumbnail(const QImage& picture, const QString& key);
