#include "core/DatasetNames.h"

#include <QList>

#include <utility>

QString GetDatasetDisplayName(const QString& name) {
    static const QList<std::pair<const char*, const char*>> names = {
        {"cdsFungi", "Artbeskrivningar"},       {"cdsFungiPics", "Svampbilder"},
        {"cdsFungiFinds", "Fyndplatser"},       {"cdsFungiMixups", "Förväxlingssvampar"},
        {"cdsFungiTexts", "Arttexter"},         {"cdsFungiPrivateTexts", "Fria texter"},
        {"cdsSwedishNames", "Svenska namn"},    {"cdsLatinNames", "Latinska namn"},
        {"cdsPlaces", "Svampställen"},          {"cdsPlaceVisits", "Svamputflykter"},
        {"cdsPlaceFinds", "Utflyktsfynd"},      {"cdsPlacePeople", "Utflyktsdeltagare"},
        {"cdsContactGroups", "Kontaktgrupper"}, {"cdsContactGroupRows", "Kontaktgruppsrader"},
        {"cdsContacts", "Kontakter"},           {"cdsMaps", "Kartor"},
        {"cdsKnowbase", "Svampvetenskap"},      {"cdsUsers", "Användare"},
        {"cdsInternet", "Internet-resurser"},   {"cdsInternetTexts", "Internet-resurstexter"},
        {"cdsFoodTypes", "Receptkategorier"},   {"cdsFoods", "Recept"},
        {"cdsFoodTexts", "Receptrader"},
    };
    for (const auto& [table, display] : names)
        if (name.compare(QLatin1String(table), Qt::CaseInsensitive) == 0) return QString::fromUtf8(display);
    return QString();
}
