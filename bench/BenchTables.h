#pragma once
// The tables the benchmarks of the table store share: 10,000 records shaped like the species
// table (the fields a selection reads, filled as a real guide fills them), a species table
// file holding them with the species table's full field list, and the database of a
// well-used installation (3,000 species, 10,000 pictures, 60,000 text rows, 5,000 finds,
// 2,000 places with their visits, finds and people).
#include <QDate>
#include <QDir>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <functional>
#include <random>
#include <vector>

#include "core/ExtClientDataSet.h"
#include "core/unitDM.h"
#include "platform/ClientDataSet.h"

namespace benchtables {

// ---- 10,000 species ----

constexpr int kSpeciesRecords = 10000;

struct Column {
    const char* name;
    TFieldType type;
};

// The species fields that are filled, roughly in the table's order.
inline const std::vector<Column>& SpeciesColumns() {
    static const std::vector<Column> columns{
        {"UKey", TFieldType::ftString},
        {"LatinName", TFieldType::ftString},
        {"SwedishName", TFieldType::ftString},
        {"FungiGroup", TFieldType::ftString},
        {"FungiData", TFieldType::ftString},
        {"Difficulty", TFieldType::ftInteger},
        {"FoodValue1", TFieldType::ftInteger},
        {"FoodValue2", TFieldType::ftInteger},
        {"BodySizeMinimum", TFieldType::ftInteger},
        {"BodySizeMaximum", TFieldType::ftInteger},
        {"MeatColor", TFieldType::ftString},
        {"Habitat", TFieldType::ftString},
        {"Season", TFieldType::ftString},
        {"Occurence", TFieldType::ftString},
        {"HasPic", TFieldType::ftBoolean},
        {"PicCount", TFieldType::ftInteger},
        {"Timestamp", TFieldType::ftString},
    };
    return columns;
}

// One value per column of SpeciesColumns() for each record.
inline const std::vector<QVariantList>& SpeciesRows() {
    static const std::vector<QVariantList> rows = [] {
        static const char* const groups[] = {"Soppar",      "Skivlingar",    "Kremlor", "Riskor",
                                             "Taggsvampar", "Fingersvampar", "Tickor",  "Buksvampar"};
        std::mt19937 rng(20240601);
        auto pick = [&](int n) { return int(rng() % unsigned(n)); };
        auto digits = [&](int count, int zeroPercent, int top) {
            QString s;
            for (int i = 0; i < count; ++i) s += QChar(u'0' + (pick(100) < zeroPercent ? 0 : 1 + pick(top)));
            return s;
        };
        std::vector<QVariantList> out;
        out.reserve(kSpeciesRecords);
        for (int i = 0; i < kSpeciesRecords; ++i) {
            const int pics = pick(4);
            out.push_back(QVariantList{
                QStringLiteral("AAAB%1").arg(i, 11, 10, QLatin1Char('0')),
                QStringLiteral("Species latinus %1").arg(i),
                pick(100) < 85 ? QStringLiteral("Svamp %1").arg(i) : QString(""),
                QString::fromLatin1(groups[pick(3) == 0 ? 0 : pick(8)]),
                pick(100) < 80 ? QStringLiteral("CPLD") : QString(""),
                pick(5),
                pick(6),
                pick(6),
                pick(10),
                10 + pick(20),
                QStringLiteral("%1|%2").arg(pick(0xFFFFFF)).arg(pick(0xFFFFFF)),
                digits(15, 70, 1),
                digits(12, 50, 9),
                digits(8, 30, 3),
                pics > 0,
                pics,
                QStringLiteral("AAAAAAAAAAAAAAA"),
            });
        }
        return out;
    }();
    return rows;
}

// The 10,000 species as a species table file with the species table's full field list.
struct SpeciesFile {
    QTemporaryDir dir;
    QString fileName;
    SpeciesFile() {
        fileName = dir.path() + QStringLiteral("/Fungi.dat");
        const TDM::TTableInfo* info = TDM::FindTableInfo(QStringLiteral("cdsFungi"));
        TClientDataSet table;
        table.SetFieldDefs(info->Fields);
        table.CreateDataSet();
        const auto& columns = SpeciesColumns();
        for (const QVariantList& row : SpeciesRows()) {
            table.Append();
            for (int i = 0; i < int(columns.size()); ++i)
                if (TField* field = table.FindField(QLatin1String(columns[size_t(i)].name))) field->SetValue(row[i]);
            table.Post();
        }
        table.SaveToFile(fileName);
    }
};

inline const SpeciesFile& Species() {
    static const SpeciesFile file;
    return file;
}

// The species file loaded by the table class through a selection, as the species table is:
// the table made, loaded and dropped again. The number of records it showed.
inline int LoadSpecies(const QStringList& sel = {}) {
    TExtClientDataSet table(nullptr, QStringLiteral("cdsFungi"));
    table.SetDatasetId(QStringLiteral("020"));
    table.SetFilename(Species().fileName);
    table.SetSel(sel);
    table.LoadData();
    return table.RecordCount();
}

// ---- The database of a well-used installation ----

constexpr int kSpecies = 3000;
constexpr int kPictures = 10000;
constexpr int kTextRows = 60000;
constexpr int kFinds = 5000;
constexpr int kPlaces = 2000;
constexpr int kVisitsPerPlace = 3;
constexpr int kContacts = 200;

inline QString Key(const char* id, int n) {
    return QStringLiteral("%1KEY%2").arg(QLatin1String(id)).arg(n, 11, 10, QLatin1Char('0'));
}

// Fills a table of the design with generated records and writes its file.
inline void Generate(const QString& folder, const QString& table, int count,
                     const std::function<void(TClientDataSet&, int)>& fill) {
    const TDM::TTableInfo* info = TDM::FindTableInfo(table);
    TClientDataSet t;
    t.SetFieldDefs(info->Fields);
    t.CreateDataSet();
    t.SetLogChanges(false);
    for (int r = 0; r < count; ++r) {
        t.Append();
        t.FieldByName(QStringLiteral("UKey"))->SetAsString(Key(info->DatasetId.toLatin1().constData(), r));
        if (TField* stamp = t.FindField(QStringLiteral("Timestamp")))
            stamp->SetAsString(QStringLiteral("AAAABCDEFGHIJKL"));
        fill(t, r);
        t.Post();
    }
    t.SaveToFile(folder + table.mid(3) + QStringLiteral(".dat"));
    t.Close();
}

inline QString Words(QRandomGenerator& rng, int length) {
    static const char* words[] = {"svamp",    "hatt",    "fot",   "skivor", "porer", "ring", "gul",  "brun", "vit",
                                  "barrskog", "lövskog", "ätlig", "giftig", "lukt",  "smak", "mild", "kant"};
    QString text;
    while (text.size() < length) {
        if (!text.isEmpty()) text += QLatin1Char(' ');
        text += QString::fromUtf8(words[rng.bounded(int(sizeof words / sizeof *words))]);
    }
    return text.left(length);
}

// Writes the database's table files into the program folder's "Data/Db/" (the other tables
// are made empty by the data module's start-up).
inline void GenerateDatabase(const QString& programFolder) {
    const QString db = programFolder + QStringLiteral("Data/Db/");
    QDir().mkpath(db);
    QRandomGenerator rng(4711);
    Generate(db, QStringLiteral("cdsFungi"), kSpecies, [&](TClientDataSet& t, int r) {
        t.FieldByName("LatinName")->SetAsString(QStringLiteral("Species latinus %1").arg(r));
        t.FieldByName("SwedishName")->SetAsString(QStringLiteral("Svamp %1").arg(r));
        t.FieldByName("FungiData")->SetAsString(r % 3 ? QStringLiteral("CPLD") : QString());
        t.FieldByName("HasPic")->SetAsBoolean(true);
        t.FieldByName("PicCount")->SetAsInteger(3);
        t.FieldByName("FungiGroup")->SetAsString(QStringLiteral("Grupp %1").arg(r % 40));
        for (const char* f : {"Difficulty", "FoodValue1", "FoodValue2", "HatFungi", "HatSubType", "ScaledHat",
                              "BodySizeMinimum", "BodySizeMaximum", "FootSizeMinimum", "FootSizeMaximum"})
            t.FieldByName(f)->SetAsInteger(rng.bounded(10));
        for (const char* f : {"HatSubColor", "BodyColor", "FootColor", "MeatColor", "SporeColor"})
            t.FieldByName(f)->SetAsString(QStringLiteral("%1|%2").arg(rng.bounded(1 << 24)).arg(rng.bounded(1 << 24)));
        t.FieldByName("Season")->SetAsString(QStringLiteral("000012345000"));
        t.FieldByName("Occurence")->SetAsString(QStringLiteral("12340000"));
        t.FieldByName("Habitat")->SetAsString(QStringLiteral("100100000000010"));
        t.FieldByName("Smell")->SetAsString(Words(rng, 30));
        t.FieldByName("Taste")->SetAsString(Words(rng, 30));
    });
    auto species = [&](int r) { return Key("020", r % kSpecies); };
    Generate(db, QStringLiteral("cdsSwedishNames"), kSpecies, [&](TClientDataSet& t, int r) {
        t.FieldByName("MasterUKey")->SetAsString(species(r));
        t.FieldByName("SwedishName")->SetAsString(QStringLiteral("Annat namn %1").arg(r));
    });
    Generate(db, QStringLiteral("cdsLatinNames"), kSpecies, [&](TClientDataSet& t, int r) {
        t.FieldByName("MasterUKey")->SetAsString(species(r));
        t.FieldByName("LatinName")->SetAsString(QStringLiteral("Synonymus %1").arg(r));
    });
    Generate(db, QStringLiteral("cdsFungiPics"), kPictures, [&](TClientDataSet& t, int r) {
        t.FieldByName("MasterUKey")->SetAsString(species(r));
        t.FieldByName("PicIndex")->SetAsInteger(r / kSpecies);
        t.FieldByName("IsMainPic")->SetAsBoolean(r < kSpecies);
        t.FieldByName("PicType")->SetAsString(QStringLiteral("JPG"));
        t.FieldByName("PicSource")->SetAsString(QStringLiteral("Egen bild"));
        t.FieldByName("Photographer")->SetAsString(QStringLiteral("Fotograf %1").arg(r % 50));
        t.FieldByName("PicDate")->SetAsDate(QDate(2015, 1, 1).addDays(r % 3000));
        t.FieldByName("NoteText")->SetAsString(Words(rng, 120));
    });
    Generate(db, QStringLiteral("cdsFungiTexts"), kTextRows, [&](TClientDataSet& t, int r) {
        t.FieldByName("MasterUKey")->SetAsString(species(r / 20));
        t.FieldByName("RowFlag")->SetAsInteger(r % 4);
        t.FieldByName("RowNo")->SetAsInteger(r % 20);
        t.FieldByName("RowText")->SetAsString(Words(rng, 80));
    });
    Generate(db, QStringLiteral("cdsFungiFinds"), kFinds, [&](TClientDataSet& t, int r) {
        t.FieldByName("MasterUKey")->SetAsString(species(r * 7));
        t.FieldByName("FindDate")->SetAsDate(QDate(2010, 8, 1).addDays(r % 4000));
        t.FieldByName("BodyCount")->SetAsInteger(rng.bounded(30));
        t.FieldByName("PositionX")->SetAsInteger(1300000 + rng.bounded(500000));
        t.FieldByName("PositionY")->SetAsInteger(6100000 + rng.bounded(1500000));
        t.FieldByName("Province")->SetAsString(QStringLiteral("Uppland"));
        t.FieldByName("RouteNote")->SetAsString(Words(rng, 100));
    });
    Generate(db, QStringLiteral("cdsPlaces"), kPlaces, [&](TClientDataSet& t, int r) {
        t.FieldByName("PlaceName")->SetAsString(QStringLiteral("Ställe %1").arg(r));
        t.FieldByName("PositionX")->SetAsInteger(1300000 + rng.bounded(500000));
        t.FieldByName("PositionY")->SetAsInteger(6100000 + rng.bounded(1500000));
        t.FieldByName("SizeX")->SetAsInteger(200);
        t.FieldByName("SizeY")->SetAsInteger(300);
        t.FieldByName("Province")->SetAsString(QStringLiteral("Småland"));
        t.FieldByName("District")->SetAsString(QStringLiteral("Växjö"));
        t.FieldByName("NoteText")->SetAsString(Words(rng, 150));
    });
    const int visits = kPlaces * kVisitsPerPlace;
    Generate(db, QStringLiteral("cdsPlaceVisits"), visits, [&](TClientDataSet& t, int r) {
        t.FieldByName("MasterUKey")->SetAsString(Key("140", r / kVisitsPerPlace));
        t.FieldByName("VisitDate")->SetAsDate(QDate(2012, 9, 1).addDays(r % 3000));
        t.FieldByName("Weather")->SetAsString(QStringLiteral("Mulet"));
        t.FieldByName("NoteText")->SetAsString(Words(rng, 100));
    });
    Generate(db, QStringLiteral("cdsPlaceFinds"), visits * 2, [&](TClientDataSet& t, int r) {
        t.FieldByName("MasterUKey")->SetAsString(Key("14A", r / 2));
        t.FieldByName("FungiUKey")->SetAsString(species(r * 13));
        t.FieldByName("FungiName")->SetAsString(QStringLiteral("Svamp %1").arg((r * 13) % kSpecies));
        t.FieldByName("BodyCount")->SetAsInteger(rng.bounded(20));
    });
    Generate(db, QStringLiteral("cdsPlacePeople"), visits, [&](TClientDataSet& t, int r) {
        t.FieldByName("MasterUKey")->SetAsString(Key("14A", r));
        t.FieldByName("Individual")->SetAsString(QStringLiteral(" UKEY=%1").arg(Key("060", r % kContacts)));
    });
    Generate(db, QStringLiteral("cdsContacts"), kContacts, [&](TClientDataSet& t, int r) {
        t.FieldByName("UserName")->SetAsString(QStringLiteral("Person %1").arg(r));
        t.FieldByName("EMail")->SetAsString(QStringLiteral("person%1@example.se").arg(r));
        t.FieldByName("RefCount")->SetAsInteger(rng.bounded(100));
    });
    Generate(db, QStringLiteral("cdsFungiGroups"), 40, [&](TClientDataSet& t, int r) {
        t.FieldByName("FungiGroup")->SetAsString(QStringLiteral("Grupp %1").arg(r));
    });
}

}  // namespace benchtables
