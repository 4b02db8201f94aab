#include "tools/gencatalogue/CatalogueWriter.h"
#include "platform/PictureFit.h"
// Writing the catalogue's tables and pictures.

#include <QDate>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QSet>
#include <QStringList>

#include "core/ExtClientDataSet.h"
#include "tools/GenSupport.h"
#include "tools/gencatalogue/CatalogueIllustrator.h"
#include "tools/gencatalogue/CatalogueReader.h"

namespace gencatalogue {

namespace {

// The time code of 2026-12-01 00:00:00.000, the catalogue's creation time.
constexpr quint64 kCatalogueTime = (26ull * 372 + 12 * 31 + 1) * 86400000ull;
constexpr int kTextRowWidth = 80;

const char* const kWarning =
    "Ät aldrig en svamp enbart på grund av vad det här programmet säger. Visa fyndet för en "
    "kunnig person, till exempel en svampkonsulent, och ät bara svamp som är säkert bestämd.";

using gensupport::Raise;
using gensupport::TableWriter;

QString Key(const char* datasetId, int nr, int row) {
    return QString::fromLatin1(datasetId) + LettersFromNumber(11, kCatalogueTime + quint64(nr)) +
        LettersFromNumber(4, quint64(row));
}

QString ColourText(const QList<quint32>& colours) {
    QStringList parts;
    for (quint32 c : colours) parts << QString::number(c);
    return parts.join('|');
}

// The free text as rows of at most the row width, cut between words; a blank row between
// paragraphs.
QStringList WrapText(const QStringList& paragraphs) {
    QStringList rows;
    for (const QString& paragraph : paragraphs) {
        if (!rows.isEmpty()) rows << QString();
        QString line;
        for (const QString& word : paragraph.split(' ', Qt::SkipEmptyParts)) {
            if (word.size() > kTextRowWidth) Raise(QString("the word \"%1\" does not fit a text row").arg(word));
            if (line.isEmpty())
                line = word;
            else if (line.size() + 1 + word.size() <= kTextRowWidth)
                line += ' ' + word;
            else {
                rows << line;
                line = word;
            }
        }
        if (!line.isEmpty()) rows << line;
    }
    return rows;
}

QStringList SpeciesText(const Species& s) {
    QStringList paragraphs;
    if (s.Food == 0)
        paragraphs << "DÖDLIGT GIFTIG! Arten kan döda. Plocka den aldrig till matsvamp och låt den inte "
                      "komma i samma korg som matsvamp.";
    else if (s.Food == 1)
        paragraphs << "GIFTIG! Arten ger förgiftning och ska aldrig ätas.";
    paragraphs << s.Text;
    if (s.Parboil >= 0)
        paragraphs << "Arten är ätlig först efter förvällning: koka bitarna i rikligt med vatten i minst fem "
                      "minuter, häll bort vattnet och tillaga sedan svampen som vanligt.";
    paragraphs << QString::fromUtf8(kWarning);
    return paragraphs;
}

// The species' picture record shows the illustration larger and wider; its main picture is
// the square in the middle.
constexpr int kPictureScale = 2;
constexpr int kPictureMargin = kPicSize / 2;
constexpr int kThumbnailSize = 90;

QString PictureKey(const Species& s) { return Key("02D", s.Nr, 0); }

// Writes the file beside its name and renames it over the name.
void WritePicture(const QImage& image, const QString& file, const char* format, int quality) {
    const QString temp = file + ".new";
    if (!image.save(temp, format, quality)) {
        QFile::remove(temp);
        Raise("cannot write " + temp);
    }
    QFile::remove(file);
    if (!QFile::rename(temp, file)) Raise("cannot write " + file);
}

}  // namespace

void Generate(const QString& sourceFolder, const QString& stagingFolder) {
    Catalogue c = ReadCatalogue(sourceFolder);
    QHash<QString, const Species*> byLatin;
    for (Species& s : c.Species_) s.Key = Key("020", s.Nr, 0);
    for (const Species& s : c.Species_) byLatin.insert(s.Latin, &s);

    const QString db = stagingFolder + "/Db";
    const QString pics = stagingFolder + "/MainPics";
    if (!QDir().mkpath(db) || !QDir().mkpath(pics)) Raise("cannot make " + stagingFolder);

    TableWriter fungi("cdsFungi", db), swedish("cdsSwedishNames", db), latin("cdsLatinNames", db),
        texts("cdsFungiTexts", db), mixups("cdsFungiMixups", db), groups("cdsFungiGroups", db),
        pictures("cdsFungiPics", db);
    QList<TableWriter*> all{&fungi, &swedish, &latin, &texts, &mixups, &groups, &pictures};
    try {
        for (int i = 0; i < c.Groups.size(); ++i) {
            groups.Append();
            groups.Set("UKey", Key("050", 0, i));
            groups.Set("FungiGroup", c.Groups[i].Name);
            groups.Set("Suffices", c.Groups[i].Suffices);
            groups.Set("SignTemplate", c.Groups[i].SignTemplate);
            groups.Post();
        }
        QHash<QString, int> mixupRows;
        for (const Species& s : c.Species_) {
            fungi.Append();
            fungi.Set("UKey", s.Key);
            fungi.Set("LatinName", s.Latin);
            fungi.Set("SwedishName", s.Swedish);
            fungi.Set("FungiData", s.State);
            fungi.Set("CompletedBy", QString());
            fungi.Set("HasPic", s.HasPic);
            fungi.Set("PicCount", s.HasPic ? 1 : 0);
            fungi.Set("FungiGroup", s.Group);
            if (s.State != "UNCP") {
                fungi.Set("Difficulty", s.Difficulty);
                fungi.Set("FoodValue1", s.Food);
                fungi.Set("CookingRequired", s.Parboil >= 0 ? 0 : 1);
                fungi.Set("FoodValue2", s.Parboil >= 0 ? s.Parboil : s.Food);
                fungi.Set("HatFungi", s.Cap ? 0 : 1);
                fungi.Set("HatSubType", s.Underside);
                fungi.Set("HatSubColor", ColourText(s.UndersideColor));
                fungi.Set("HatSubGrowth", s.UndersideGrowth);
                fungi.Set("HatSubDensity", s.Density);
                fungi.Set("ScaledHat", s.Scaled);
                fungi.Set("DottedHat", s.Dotted);
                fungi.Set("LinedHat", s.Lined);
                fungi.Set("GroupedGrowth", s.Grouped);
                fungi.Set("FootRing", s.Ring);
                fungi.Set("GrowthMethod", s.Substrate);
                fungi.Set("Habitat", s.Habitat);
                fungi.Set("BodyColor", ColourText(s.Color));
                if (s.Size.Given) {
                    fungi.Set("BodySizeMinimum", s.Size.Min);
                    fungi.Set("BodySizeMaximum", s.Size.Max);
                }
                if (s.Height.Given) {
                    fungi.Set("BodyHeightMinimum", s.Height.Min);
                    fungi.Set("BodyHeightMaximum", s.Height.Max);
                }
                fungi.Set("FootColor", ColourText(s.FootColor));
                if (s.Foot.Given) {
                    fungi.Set("FootSizeMinimum", s.Foot.Min);
                    fungi.Set("FootSizeMaximum", s.Foot.Max);
                }
                fungi.Set("MeatColor", ColourText(s.MeatColor));
                fungi.Set("VisibleMeatJuice", s.MeatJuice);
                fungi.Set("MeatJuiceColor", ColourText(s.MeatJuiceColor));
                fungi.Set("SporeColor", ColourText(s.SporeColor));
                if (s.SporeWidth.Given) {
                    fungi.Set("SporeWidthMin", s.SporeWidth.Min);
                    fungi.Set("SporeWidthMax", s.SporeWidth.Max);
                    fungi.Set("SporeHeightMin", s.SporeHeight.Min);
                    fungi.Set("SporeHeightMax", s.SporeHeight.Max);
                }
                fungi.Set("SporeProps", s.SporeProps);
                fungi.Set("SporeNote", s.SporeNote);
                fungi.Set("Occurence", s.Regions);
                fungi.Set("Season", s.Season);
                fungi.Set("Smell", s.Smell);
                fungi.Set("Taste", s.Taste);
            }
            fungi.Set("CreatedBy", QString());
            fungi.Set("Timestamp", LettersFromNumber(15, kCatalogueTime));
            fungi.Post();

            if (s.HasPic) {
                // The illustration as the species' one picture, giving its main picture.
                const int side = kPicSize * kPictureScale;
                pictures.Append();
                pictures.Set("MasterUKey", s.Key);
                pictures.Set("UKey", PictureKey(s));
                pictures.Set("PicIndex", 1);
                pictures.Set("IsMainPic", true);
                pictures.Set("PicType", "APP");
                pictures.Set("PicSource", "Illustration, Mykotekshallen");
                pictures.Set("PicLocked", false);
                pictures.Set("PicDownloaded", false);
                pictures.Set("Photographer", "Mykotekshallen");
                pictures.Set("PicDate", QDate(2026, 12, 1));
                pictures.Set("NoteTextLocked", false);
                pictures.Set("MainPicSource", true);
                pictures.Set("MainPicX1", kPictureMargin);
                pictures.Set("MainPicY1", 0);
                pictures.Set("MainPicX2", kPictureMargin + side);
                pictures.Set("MainPicY2", side);
                pictures.Set("CreatedBy", QString());
                pictures.Set("Timestamp", LettersFromNumber(15, kCatalogueTime));
                pictures.Post();
            }
            for (int i = 0; i < s.SwedishNames.size(); ++i) {
                swedish.Append();
                swedish.Set("MasterUKey", s.Key);
                swedish.Set("UKey", Key("02B", s.Nr, i));
                swedish.Set("SwedishName", s.SwedishNames[i]);
                swedish.Post();
            }
            for (int i = 0; i < s.LatinNames.size(); ++i) {
                latin.Append();
                latin.Set("MasterUKey", s.Key);
                latin.Set("UKey", Key("02A", s.Nr, i));
                latin.Set("LatinName", s.LatinNames[i]);
                latin.Post();
            }
            const QStringList rows = s.State == "UNCP" ? WrapText(s.Text) : WrapText(SpeciesText(s));
            for (int i = 0; i < rows.size(); ++i) {
                texts.Append();
                texts.Set("MasterUKey", s.Key);
                texts.Set("UKey", Key("02F", s.Nr, i));
                texts.Set("RowFlag", 0);
                texts.Set("RowNo", i);
                texts.Set("RowText", rows[i]);
                texts.Post();
            }
        }
        // Each pair is shown on both species.
        for (const Mixup& m : c.Mixups) {
            for (const auto& [from, to] : {std::pair{m.A, m.B}, std::pair{m.B, m.A}}) {
                const Species* a = byLatin.value(from);
                const Species* b = byLatin.value(to);
                int& row = mixupRows[a->Key];
                QString edible = b->State == "UNCP" ? QString("Ej beskriven") : kFoodValues[b->Food];
                if (b->Parboil >= 0) edible += ", efter förvällning";
                mixups.Append();
                mixups.Set("MasterUKey", a->Key);
                mixups.Set("UKey", Key("02E", a->Nr, row++));
                mixups.Set("MixupUKey", b->Key);
                mixups.Set("MixupName", b->Swedish.isEmpty() ? b->Latin : b->Swedish);
                mixups.Set("MixupEdible", edible);
                mixups.Set("DifferenceText", m.Text);
                mixups.Set("CreatedBy", QString());
                mixups.Set("Timestamp", LettersFromNumber(15, kCatalogueTime));
                mixups.Post();
            }
        }
        for (TableWriter* t : all) t->Save();
    } catch (...) {
        for (TableWriter* t : all) t->Discard();
        throw;
    }

    // Pictures first, then the tables: a table never names a picture that is not there.
    const QString large = stagingFolder + "/FungiPics", thumbs = stagingFolder + "/FungiPicThumbs";
    QSet<QString> wanted;
    try {
        if (!QDir().mkpath(large) || !QDir().mkpath(thumbs)) Raise("cannot make " + stagingFolder);
        for (const Species& s : c.Species_) {
            if (!s.HasPic) continue;
            const QString main = "MP" + s.Key + ".jpg", picture = "Pic" + PictureKey(s) + ".jpg",
                          thumbnail = "Tn" + PictureKey(s) + ".bmp";
            wanted << main << picture << thumbnail;
            WritePicture(DrawIllustration(s), pics + "/" + main, "JPG", 90);
            const QImage wide = DrawIllustration(s, kPictureScale, kPictureMargin);
            WritePicture(wide, large + "/" + picture, "JPG", 90);
            QImage small;
            DrawPictureFit(wide, small, kThumbnailSize, true, kThumbnailSize);
            WritePicture(small, thumbs + "/" + thumbnail, "BMP", -1);
        }
    } catch (...) {
        for (TableWriter* t : all) t->Discard();
        throw;
    }
    for (const auto& [folder, pattern] :
         {std::pair{pics, "MP*.jpg"}, std::pair{large, "Pic*.jpg"}, std::pair{thumbs, "Tn*.bmp"}})
        for (const QString& old : QDir(folder).entryList({pattern}, QDir::Files))
            if (!wanted.contains(old)) QFile::remove(folder + "/" + old);
    for (TableWriter* t : all) t->Commit();
}

}  // namespace gencatalogue
