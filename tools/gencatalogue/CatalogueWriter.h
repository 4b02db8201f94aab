#pragma once
// Writing the catalogue into a staging folder: the tables Fungi.dat, SwedishNames.dat,
// LatinNames.dat, FungiTexts.dat, FungiMixups.dat, FungiGroups.dat and FungiPics.dat into
// <staging>/Db, each described species' illustration as its picture, thumbnail and main
// picture, the pictures first and then the tables, with stable record keys.
#include <QString>

namespace gencatalogue {

// Reads the catalogue of the source folder and writes it into the staging folder; on any
// fault nothing of the staging folder is replaced.
void Generate(const QString& sourceFolder, const QString& stagingFolder);

}  // namespace gencatalogue
