// The species catalogue shipped with the program.
//
//   gencatalogue generate <catalogue folder> <staging folder>
//       Reads the readable source (groups.json, colours.json, mixups.json and one file per
//       species group) and writes the tables Fungi.dat, SwedishNames.dat, LatinNames.dat,
//       FungiTexts.dat, FungiMixups.dat, FungiGroups.dat and FungiPics.dat into <staging>/Db.
//       Each described species gets a drawn illustration: as its picture record (photographer
//       "Mykotekshallen") with Pic<key>.jpg in <staging>/FungiPics and the thumbnail
//       Tn<key>.bmp in <staging>/FungiPicThumbs, and as its main picture MP<key>.jpg in
//       <staging>/MainPics. Any fault in the source stops the run with a message naming the
//       file and the species, and nothing of the staging folder is replaced.
//
//   gencatalogue install <staging folder> <program folder>
//       Gives the program folder the staged files that it does not have yet. A file that is
//       there is never touched: the species tables only come as a whole, when the program
//       folder has no Fungi.dat; a main picture only where the species table in place has a
//       species of that key with a main picture, and a picture or thumbnail only where the
//       picture table in place has a picture of that key, in both cases where the file is
//       missing.
//
// Record keys are stable: the time code of the catalogue's fixed creation time plus the
// species' number, so a species keeps its key when the catalogue grows.
//
// Reading the source (CatalogueReader), drawing the illustrations (CatalogueIllustrator) and
// writing the tables and pictures (CatalogueWriter) are units of their own beside this one,
// which installs and runs.
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSet>
#include <cstdio>

#include "platform/ClientDataSet.h"
#include "platform/Exception.h"
#include "tools/GenSupport.h"
#include "tools/gencatalogue/CatalogueWriter.h"

namespace {

using gensupport::InstallFile;
using gensupport::Raise;

// ---- Installing into a program folder ----

void Install(const QString& stagingFolder, const QString& programFolder) {
    const QString db = programFolder + "/Data/Db";
    const QString stagedDb = stagingFolder + "/Db";
    if (!QFileInfo::exists(stagedDb + "/Fungi.dat")) Raise("nothing staged in " + stagingFolder);

    // The species and their detail rows come together: detail rows without their species
    // would only be orphans in a user's own table.
    if (!QFileInfo::exists(db + "/Fungi.dat")) {
        for (const char* name :
             {"SwedishNames.dat", "LatinNames.dat", "FungiTexts.dat", "FungiMixups.dat", "FungiPics.dat"})
            InstallFile(stagedDb + "/" + name, db + "/" + name);
        InstallFile(stagedDb + "/Fungi.dat", db + "/Fungi.dat");
    }
    InstallFile(stagedDb + "/FungiGroups.dat", db + "/FungiGroups.dat");

    // Pictures of the species that the table in place has and shows with a main picture, and
    // of the pictures that the picture table in place has.
    const auto keysOf = [](const QString& file, const char* condition) {
        QSet<QString> keys;
        if (!QFileInfo::exists(file)) return keys;
        TClientDataSet table;
        table.LoadFromFile(file);
        TField* key = table.FieldByName("UKey");
        TField* flag = condition ? table.FieldByName(QString::fromLatin1(condition)) : nullptr;
        for (table.First(); !table.Eof(); table.Next())
            if (!flag || flag->AsBoolean()) keys.insert(key->AsString());
        table.Close();
        return keys;
    };
    QSet<QString> withPicture, pictures;
    try {
        withPicture = keysOf(db + "/Fungi.dat", "HasPic");
        pictures = keysOf(db + "/FungiPics.dat", nullptr);
    } catch (const Exception& e) {
        std::fprintf(stderr, "gencatalogue: pictures left out, a species table is not readable: %s\n",
                     qPrintable(e.Message()));
        return;
    }
    const struct {
        const char* Folder;
        const char* Prefix;
        const char* Suffix;
        const QSet<QString>& Keys;
    } kinds[] = {{"MainPics", "MP", ".jpg", withPicture},
                 {"FungiPics", "Pic", ".jpg", pictures},
                 {"FungiPicThumbs", "Tn", ".bmp", pictures}};
    for (const auto& kind : kinds) {
        const QString from = stagingFolder + "/" + kind.Folder;
        const QString pattern = QString::fromLatin1(kind.Prefix) + "*" + kind.Suffix;
        const int prefix = int(qstrlen(kind.Prefix)), suffix = int(qstrlen(kind.Suffix));
        for (const QString& name : QDir(from).entryList({pattern}, QDir::Files)) {
            const QString key = name.mid(prefix, name.size() - prefix - suffix);
            if (kind.Keys.contains(key))
                InstallFile(from + "/" + name, programFolder + "/Data/Pics/" + kind.Folder + "/" + name);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Pictures are drawn without a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    return gensupport::Run(app.arguments(), "gencatalogue", "catalogue folder", gencatalogue::Generate, Install);
}
