#pragma once
// The catalogue's source as it is read: the option lists of the species fields, the groups,
// the species with their descriptions and the look-alike pairs, and reading them from the
// catalogue folder (groups.json, colours.json, mixups.json and one file per species group),
// each entry checked, so that any fault stops the run with a message naming the file and the
// species.
#include <QList>
#include <QString>
#include <QStringList>

namespace gencatalogue {

// ---- Fixed vocabularies (the option lists of the species fields) ----

inline const QStringList kFoodValues = {"Dödligt giftig", "Giftig", "Oätlig", "Mindre god", "God", "Mycket god"};
inline const QStringList kYesNo = {"Ja", "Nej"};
inline const QStringList kFourValued = {"Ja", "Ofta", "Ibland", "Nej"};
inline const QStringList kUndersides = {"Skivor", "Rör", "Taggar", "Åsar"};
inline const QStringList kGillGrowth = {"Fria", "Urnupna", "Vidväxta", "Nedlöpande", "Sågtandade"};
inline const QStringList kPoreGrowth = {"Fria", "Urnupna", "Vidväxta", "Nedlöpande", "Ojämna"};
inline const QStringList kGillDensity = {"Täta", "Mellan", "Glesa"};
inline const QStringList kPoreDensity = {"Små", "Mellan", "Stora"};
inline const QStringList kHabitats = {"Barrskog", "Lövskog", "Gräs", "Gran",   "Tall",   "Lärk", "Bok",  "Björk",
                                      "Ek",       "Asp",     "Al",   "Hassel", "Poppel", "Sand", "Annat"};
inline const QStringList kGrowthMethods = {"Markväxande",  "Vedbunden", "Rotbunden",
                                           "Stubb-bunden", "Lövbunden", "Parasiterande"};
inline const QStringList kSporeProps = {"Hyalina",     "Släta",         "Ellipsoida",  "Rundade",      "Cylindriska",
                                        "Klotrunda",   "Mandelformade", "Spolformade", "Njurformade",  "Vårtiga",
                                        "Taggiga",     "Krökta",        "Korvlika",    "Nätmönstrade", "Sönderfallande",
                                        "1-septerade", "3-septerade",   "5-septerade"};
inline const QStringList kStates = {"CPLD", "CPNG", "UNCP"};
inline const QStringList kShapes = {"hatt",        "platt", "tratt", "klocka", "flugsvamp", "murkla",
                                    "hjärnmurkla", "ticka", "boll",  "krus",   "klubba",    "koral"};

// ---- The source ----

struct Range {
    int Min = 0;
    int Max = 0;
    bool Given = false;
};

struct Species {
    QString Where;  // file and species, for messages
    int Nr = 0;
    QString Latin, Swedish, Group, State;
    QStringList SwedishNames, LatinNames, Text;
    int Difficulty = 2;
    int Food = -1, Parboil = -1;  // Parboil: food value before parboiling, -1 when none is needed
    bool Cap = true;
    int Underside = -1, Density = -1;
    QString UndersideGrowth;
    int Scaled = 3, Lined = 3, Dotted = 3, Grouped = 3, Ring = -1, MeatJuice = 3;
    Range Size, Height, Foot, SporeWidth, SporeHeight;
    QList<quint32> Color, UndersideColor, FootColor, MeatColor, MeatJuiceColor, SporeColor;
    QString SporeProps, SporeNote, Regions, Season, Smell = "Mild", Taste = "Mild", Habitat, Substrate;
    QString Shape;
    QString Key;
    bool HasPic = false;
};

struct Mixup {
    QString A, B, Text;
};

struct Group {
    QString Name, Suffices, SignTemplate;
};

struct Catalogue {
    QList<Group> Groups;
    QList<Species> Species_;
    QList<Mixup> Mixups;
};

// The whole catalogue of the folder.
Catalogue ReadCatalogue(const QString& folder);

}  // namespace gencatalogue
