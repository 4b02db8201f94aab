#include "content/species/FungiFieldItems.h"

#include "controls/FRDBSwedenMap.h"

const QStringList& FungiYesNoItems() {
    static const QStringList items = {QStringLiteral("Ja"), QStringLiteral("Nej")};
    return items;
}

const QStringList& FungiOftenItems() {
    static const QStringList items = {QStringLiteral("Ja"), QStringLiteral("Ofta"), QStringLiteral("Ibland"),
                                      QStringLiteral("Nej")};
    return items;
}

const QStringList& FungiFoodItems() {
    static const QStringList items = {
        QStringLiteral("Dödligt giftig"), QStringLiteral("Giftig"), QStringLiteral("Oätlig"),
        QStringLiteral("Mindre god"),     QStringLiteral("God"),    QStringLiteral("Mycket god")};
    return items;
}

const QStringList& FungiHatSubTypeItems() {
    static const QStringList items = {QStringLiteral("Skivor"), QStringLiteral("Rör"), QStringLiteral("Taggar"),
                                      QStringLiteral("Åsar")};
    return items;
}

const QStringList& FungiGillGrowthItems() {
    static const QStringList items = {QStringLiteral("Fria"), QStringLiteral("Urnupna"), QStringLiteral("Vidväxta"),
                                      QStringLiteral("Nedlöpande"), QStringLiteral("Sågtandade")};
    return items;
}

const QStringList& FungiPoreGrowthItems() {
    static const QStringList items = {QStringLiteral("Fria"), QStringLiteral("Urnupna"), QStringLiteral("Vidväxta"),
                                      QStringLiteral("Nedlöpande"), QStringLiteral("Ojämna")};
    return items;
}

const QStringList& FungiGillDensityItems() {
    static const QStringList items = {QStringLiteral("Täta"), QStringLiteral("Mellan"), QStringLiteral("Glesa")};
    return items;
}

const QStringList& FungiPoreDensityItems() {
    static const QStringList items = {QStringLiteral("Små"), QStringLiteral("Mellan"), QStringLiteral("Stora")};
    return items;
}

const QStringList& FungiHabitatItems() {
    static const QStringList items = {QStringLiteral("Barrskog"), QStringLiteral("Lövskog"), QStringLiteral("Gräs"),
                                      QStringLiteral("Gran"),     QStringLiteral("Tall"),    QStringLiteral("Lärk"),
                                      QStringLiteral("Bok"),      QStringLiteral("Björk"),   QStringLiteral("Ek"),
                                      QStringLiteral("Asp"),      QStringLiteral("Al"),      QStringLiteral("Hassel"),
                                      QStringLiteral("Poppel"),   QStringLiteral("Sand"),    QStringLiteral("Annat")};
    return items;
}

const QStringList& FungiGrowthMethodItems() {
    static const QStringList items = {QStringLiteral("Markväxande"), QStringLiteral("Vedbunden"),
                                      QStringLiteral("Rotbunden"),   QStringLiteral("Stubb-bunden"),
                                      QStringLiteral("Lövbunden"),   QStringLiteral("Parasiterande")};
    return items;
}

const QStringList& FungiSporePropItems() {
    static const QStringList items = {
        QStringLiteral("Hyalina"),       QStringLiteral("Släta"),        QStringLiteral("Ellipsoida"),
        QStringLiteral("Rundade"),       QStringLiteral("Cylindriska"),  QStringLiteral("Klotrunda"),
        QStringLiteral("Mandelformade"), QStringLiteral("Spolformade"),  QStringLiteral("Njurformade"),
        QStringLiteral("Vårtiga"),       QStringLiteral("Taggiga"),      QStringLiteral("Krökta"),
        QStringLiteral("Korvlika"),      QStringLiteral("Nätmönstrade"), QStringLiteral("Sönderfallande"),
        QStringLiteral("1-septerade"),   QStringLiteral("3-septerade"),  QStringLiteral("5-septerade")};
    return items;
}

TIntensityColors FungiOccurenceLevels() {
    TIntensityColors levels;
    levels.Add(0xE0E0E0, QStringLiteral("Saknas"));
    levels.Add(0x80FFFF, QStringLiteral("Sällsynt"));
    levels.Add(0x00A0FF, QStringLiteral("Vanlig"));
    levels.Add(0x0000E0, QStringLiteral("Allmän"));
    return levels;
}
