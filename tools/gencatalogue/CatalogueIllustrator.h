#pragma once
// The drawn illustration of a described species: its cap fungus or other fungus in its
// colours and shape on wooden or green ground, a warning band on a poisonous one.
#include <QImage>

#include "tools/gencatalogue/CatalogueReader.h"

namespace gencatalogue {

// The side of the illustration's square.
constexpr int kPicSize = 211;

// The illustration of a species: the fungus on its ground in a square of kPicSize pixels
// times the scale, widened on both sides by the margin with more of the same sky and ground.
QImage DrawIllustration(const Species& s, int scale = 1, int margin = 0);

}  // namespace gencatalogue
