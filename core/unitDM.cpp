#include "core/unitDM.h"

#include "core/ProgramFolders.h"
#include "core/SaveUnit.h"

#include <QDate>
#include <QScopeGuard>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QPointer>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <limits>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "platform/AtomicFile.h"

namespace {

TFieldDef S(const char* name, int size) { return TFieldDef{QString::fromLatin1(name), TFieldType::ftString, size}; }
TFieldDef I(const char* name) { return TFieldDef{QString::fromLatin1(name), TFieldType::ftInteger, 0}; }
TFieldDef B(const char* name) { return TFieldDef{QString::fromLatin1(name), TFieldType::ftBoolean, 0}; }
TFieldDef D(const char* name) { return TFieldDef{QString::fromLatin1(name), TFieldType::ftDate, 0}; }
TFieldDef DT(const char* name) { return TFieldDef{QString::fromLatin1(name), TFieldType::ftDateTime, 0}; }
TFieldDef F(const char* name) { return TFieldDef{QString::fromLatin1(name), TFieldType::ftFloat, 0}; }

using TI = TDM::TTableInfo;
using TX = TDM::TIndexInfo;

// One table a statement, its layout packed as it reads best.
// clang-format off
QList<TI> BuildCatalogue() {
    // Detail tables follow their master's UKey through MasterUKey.
    const QString ukey = QStringLiteral("UKey");
    QList<TI> c;
    c.append(TI{&TDM::cdsFungi, &TDM::dsFungi, "cdsFungi", "dsFungi", "020", true, {}, {}, {}, {}, false,
                {TX{"swedish", "SwedishName;LatinName", {}}, TX{"latin", "LatinName;SwedishName", {}},
                 TX{"group", "FungiGroup;SwedishName;LatinName", {}}},
                {S("UKey", 20), S("LatinName", 40), S("SwedishName", 40), S("FungiData", 5),
                 S("ExportFileUKey", 20), S("CompletedBy", 20), B("HasPic"), I("PicCount"), S("Signature", 10),
                 // As wide as the group names of FungiGroups, so that every group name fits.
                 S("FungiGroup", 40), I("Difficulty"), I("FoodValue1"), I("CookingRequired"), I("FoodValue2"),
                 I("HatFungi"), I("HatSubType"), S("HatSubColor", 50), S("HatSubGrowth", 6), I("HatSubDensity"),
                 I("ScaledHat"), I("DottedHat"), I("LinedHat"), I("GroupedGrowth"), I("FootRing"),
                 S("GrowthMethod", 6), S("Habitat", 30), S("BodyColor", 50), I("BodySizeMinimum"),
                 I("BodySizeMaximum"), I("BodyHeightMinimum"), I("BodyHeightMaximum"), S("FootColor", 50),
                 I("FootSizeMinimum"), I("FootSizeMaximum"), S("MeatColor", 50), I("VisibleMeatJuice"),
                 S("MeatJuiceColor", 50), S("SporeColor", 50), I("SporeWidthMin"), I("SporeWidthMax"),
                 I("SporeHeightMin"), I("SporeHeightMax"), S("SporeProps", 25), S("SporeNote", 50),
                 S("Occurence", 15), S("Season", 15), S("Smell", 50), S("Taste", 50), S("CreatedBy", 20),
                 S("Timestamp", 20)},
                {}});
    c.append(TI{&TDM::cdsSwedishNames, &TDM::dsSwedishNames, "cdsSwedishNames", "dsSwedishNames", "02B", true,
                "cdsFungi", ukey, "main", {}, true, {TX{"main", "MasterUKey;SwedishName", {}}},
                {S("MasterUKey", 20), S("UKey", 20), S("SwedishName", 50)}, {}});
    c.append(TI{&TDM::cdsLatinNames, &TDM::dsLatinNames, "cdsLatinNames", "dsLatinNames", "02A", true, "cdsFungi",
                ukey, "main", {}, true, {TX{"main", "MasterUKey;LatinName", {}}},
                {S("MasterUKey", 20), S("UKey", 20), S("LatinName", 50)}, {}});
    c.append(TI{&TDM::cdsFungiPics, &TDM::dsFungiPics, "cdsFungiPics", "dsFungiPics", "02D", true, "cdsFungi", ukey,
                "main", {}, false, {TX{"main", "MasterUKey;PicIndex", {}}},
                {S("MasterUKey", 20), S("UKey", 20), I("PicIndex"), S("ExportFileUKey", 20), B("IsMainPic"),
                 S("PicType", 10), S("PicSource", 80), S("PicSourceURL", 255), B("PicLocked"), B("PicDownloaded"),
                 S("Photographer", 40), S("PicURL", 255), D("PicDate"), S("NoteText", 255), B("NoteTextLocked"),
                 B("MainPicSource"), I("MainPicX1"), I("MainPicY1"), I("MainPicX2"), I("MainPicY2"),
                 S("CreatedBy", 20), S("Timestamp", 20)},
                {"NoteText=NoteTextLocked"}});
    c.append(TI{&TDM::cdsFungiFinds, &TDM::dsFungiFinds, "cdsFungiFinds", "dsFungiFinds", "02C", true, "cdsFungi",
                ukey, "main", {}, false,
                {TX{"main", "MasterUKey;FindDate", "FindDate"}, TX{"position", "MasterUKey;PositionY", {}}},
                {S("MasterUKey", 20), S("UKey", 20), S("ExportFileUKey", 20), D("FindDate"), I("BodyCount"),
                 I("BodyAge"), I("PositionX"), I("PositionY"), B("PositionLocked"), S("Province", 30),
                 S("District", 30), S("RouteNote", 255), B("RouteNoteLocked"), S("NoteText", 255),
                 B("NoteTextLocked"), S("CreatedBy", 20), S("Timestamp", 20)},
                {"PositionX=PositionLocked", "PositionY=PositionLocked", "RouteNote=RouteNoteLocked",
                 "NoteText=NoteTextLocked"}});
    c.append(TI{&TDM::cdsFungiMixups, &TDM::dsFungiMixups, "cdsFungiMixups", "dsFungiMixups", "02E", true,
                "cdsFungi", ukey, "main", {}, false, {TX{"main", "MasterUKey;MixupName", {}}},
                {S("MasterUKey", 20), S("UKey", 20), S("MixupUKey", 20), S("MixupName", 40), S("MixupEdible", 40),
                 S("DifferenceText", 255), S("CreatedBy", 20), S("Timestamp", 20)},
                {}});
    c.append(TI{&TDM::cdsFungiGroups, &TDM::dsFungiGroups, "cdsFungiGroups", "dsFungiGroups", "050", true, {}, {},
                {}, "FungiGroup", true, {},
                {S("UKey", 20), S("FungiGroup", 40), S("Suffices", 80), S("SignTemplate", 10)}, {}});
    c.append(TI{&TDM::cdsUsers, &TDM::dsUsers, "cdsUsers", "dsUsers", "010", true, {}, {}, {}, "UserName", false, {},
                {S("UKey", 20), S("UserData", 5), S("UserName", 30), S("Password", 15), B("HasPic"),
                 B("ImageLocked"), I("FungiKnowledge"), I("BirthYear"), B("BirthYearLocked"), I("Gender"),
                 S("Address", 30), S("PostalAddress", 30), S("Country", 30), B("AddressLocked"), S("EMail", 80),
                 S("TelephoneMobile", 20), B("MobileTelLocked"), S("TelephonePrivate", 20),
                 B("PrivateTelLocked"), S("ContactUKey", 20)},
                {}});
    c.append(TI{&TDM::cdsCurrentUser, &TDM::dsCurrentUser, "cdsCurrentUser", "dsCurrentUser", "010", false, {}, {},
                {}, "UserName", false, {},
                {S("UKey", 20), S("UserData", 5), S("UserName", 30), S("Password", 15), B("HasImage"),
                 B("ImageLocked"), I("FungiKnowledge"), I("BirthYear"), B("BirthYearLocked"), I("Gender"),
                 S("Address", 30), S("PostalAddress", 30), S("Country", 30), B("AddressLocked"), S("EMail", 80),
                 B("EMailLocked"), S("TelephoneMobile", 20), B("MobileTelLocked"), S("TelephonePrivate", 20),
                 B("PrivateTelLocked"), S("ContactUKey", 20)},
                {}});
    c.append(TI{&TDM::cdsContacts, &TDM::dsContacts, "cdsContacts", "dsContacts", "060", true, {}, {}, {}, {}, false,
                {},
                {S("UKey", 20), S("UserName", 30), B("HasPic"), I("FungiKnowledge"), I("BirthYear"),
                 B("BirthYearLocked"), I("Gender"), S("Address", 30), S("PostalAddress", 30), S("Country", 30),
                 B("AddressLocked"), S("EMail", 80), S("TelephoneMobile", 20), B("MobileTelLocked"),
                 S("TelephonePrivate", 20), B("PrivateTelLocked"), B("Imported"), I("RefCount"),
                 S("UserUKey", 20), S("CreatedBy", 20), S("Timestamp", 20)},
                {"BirthYear=BirthYearLocked", "Address=AddressLocked", "PostalAddress=AddressLocked",
                 "Country=AddressLocked", "TelephoneMobile=MobileTelLocked", "TelephonePrivate=PrivateTelLocked",
                 "UserUKey=exclude_always"}});
    c.append(TI{&TDM::cdsFungiTexts, &TDM::dsFungiTexts, "cdsFungiTexts", "dsFungiTexts", "02F", true, "cdsFungi",
                ukey, {}, "MasterUKey;RowNo", false, {TX{"main", "MasterUKey;RowNo", {}}},
                {S("MasterUKey", 20), S("UKey", 20), I("RowFlag"), I("RowNo"), S("RowText", 80)}, {}});
    c.append(TI{&TDM::cdsContactGroups, &TDM::dsContactGroups, "cdsContactGroups", "dsContactGroups", "070", true,
                {}, {}, {}, "GroupName", true, {},
                {S("UKey", 20), S("GroupName", 30), S("CreatedBy", 20), S("Timestamp", 20)}, {}});
    c.append(TI{&TDM::cdsContactGroupRows, &TDM::dsContactGroupRows, "cdsContactGroupRows", "dsContactGroupRows",
                "07A", true, "cdsContactGroups", ukey, {}, "MasterUKey", true, {},
                {S("MasterUKey", 20), S("UKey", 20), S("ContactUKey", 30), S("ContactName", 110)}, {}});
    c.append(TI{&TDM::cdsSSImportHeader, &TDM::dsSSImportHeader, "cdsSSImportHeader", "dsSSImportHeader", "99A",
                true, {}, {}, "main", {}, true, {TX{"main", "Release", {}}},
                {S("UKey", 20), S("Release", 20), I("PicCount"), I("HdSpace"), S("CDIdentPaths", 100),
                 S("CDPath", 80)},
                {}});
    c.append(TI{&TDM::cdsSSImport, &TDM::dsSSImport, "cdsSSImport", "dsSSImport", "99B", true, {}, {}, "main", {},
                true, {TX{"main", "Art", {}}},
                {S("UKey", 20), S("Art", 50), S("Svnamn", 50), S("Lokal", 50), S("Datum", 20), S("Filnamn", 50),
                 S("CD", 10), S("Arr", 100), S("Substrat", 100), S("Anteckning", 255), I("nr"), I("nyttnamn")},
                {}});
    c.append(TI{&TDM::cdsFoodTypes, &TDM::dsFoodTypes, "cdsFoodTypes", "dsFoodTypes", "100", true, {}, {}, "main", {},
                true, {TX{"main", "CatIndex", {}}},
                {S("UKey", 20), I("CatIndex"), S("CategoryName", 40), S("InsertHeader", 40), S("EditHeader", 40)},
                {}});
    c.append(TI{&TDM::cdsFoods, &TDM::dsFoods, "cdsFoods", "dsFoods", "10A", true, "cdsFoodTypes", ukey, "main", {},
                true, {TX{"main", "MasterUKey;FoodName", {}}},
                {S("MasterUKey", 20), S("UKey", 20), S("FoodName", 80), I("Difficulty"), B("HasPic"),
                 I("PrepTime"), I("CookingTime"), I("ServeCount"), S("CreatedBy", 20), S("Timestamp", 20)},
                {}});
    c.append(TI{&TDM::cdsFoodTexts, &TDM::dsFoodTexts, "cdsFoodTexts", "dsFoodTexts", "10C", true, "cdsFoods", ukey,
                "main", {}, true, {TX{"main", "MasterUKey;RowFlag;RowNo", {}}},
                {S("MasterUKey", 20), S("UKey", 20), I("RowFlag"), I("RowNo"), S("RowText", 120), B("Broken")},
                {}});
    // A working table: the link field is named, but no master is set.
    c.append(TI{&TDM::cdsFoodFungi, &TDM::dsFoodFungi, "cdsFoodFungi", "dsFoodFungi", "10D", false, {}, ukey, {}, {},
                true, {}, {S("MasterUKey", 20), S("UKey", 20), S("FungiUKey", 20)}, {}});
    c.append(TI{&TDM::cdsMaps, &TDM::dsMaps, "cdsMaps", "dsMaps", "110", true, {}, {}, "main", {}, false,
                {TX{"main", "MapName", {}}},
                {S("UKey", 20), S("MapName", 40), S("Filename", 255), I("Scale"), I("MapArea"), I("CoordULX"),
                 I("CoordULY"), I("CoordLRX"), I("CoordLRY"), F("MeterPerPixelX"), F("MeterPerPixelY")},
                {}});
    c.append(TI{&TDM::cdsMapNamePresets, &TDM::dsMapNamePresets, "cdsMapNamePresets", "dsMapNamePresets", "120",
                true, {}, {}, "main", {}, false, {TX{"main", "PresetName", {}}},
                {S("UKey", 20), S("NormalFilename", 40), S("MatchStrings", 40), S("PresetName", 40)}, {}});
    c.append(TI{&TDM::cdsInternet, &TDM::dsInternet, "cdsInternet", "dsInternet", "130", true, {}, {}, "main", {},
                false,
                {TX{"main", "MasterUKey;ItemIndex;Header", {}},
                 TX{"main_inv", "MasterUKey;ItemIndex;Header", "Header"}},
                {S("MasterUKey", 20), S("UKey", 20), I("ItemIndex"), S("Header", 50), B("HasPic"), S("Hint", 255),
                 I("Action"), B("SortDesc"), S("RowData", 255)},
                {}});
    c.append(TI{&TDM::cdsInternetTexts, &TDM::dsInternetTexts, "cdsInternetTexts", "dsInternetTexts", "13A", true,
                "cdsInternet", ukey, "main", {}, true, {TX{"main", "MasterUKey;RowFlag;RowNo", {}}},
                {S("MasterUKey", 20), S("UKey", 20), I("RowFlag"), I("RowNo"), S("RowText", 120), B("Broken")},
                {}});
    c.append(TI{&TDM::cdsPlaces, &TDM::dsPlaces, "cdsPlaces", "dsPlaces", "140", true, {}, {}, "name", {}, false,
                {TX{"name", "PlaceName", {}}, TX{"place", "Province;District", {}}},
                {S("UKey", 20), S("PlaceName", 40), I("PositionX"), I("PositionY"), I("SizeX"), I("SizeY"),
                 B("PositionLocked"), S("Province", 30), S("District", 30), S("RouteNote", 255),
                 B("RouteNoteLocked"), S("NoteText", 255), B("NoteTextLocked"), S("CreatedBy", 20),
                 S("Timestamp", 20)},
                {"PositionX=PositionLocked", "PositionY=PositionLocked", "SizeX=PositionLocked",
                 "SizeY=PositionLocked", "RouteNote=RouteNoteLocked", "NoteText=NoteTextLocked"}});
    c.append(TI{&TDM::cdsPlaceVisits, &TDM::dsPlaceVisits, "cdsPlaceVisits", "dsPlaceVisits", "14A", true,
                "cdsPlaces", ukey, "main", {}, false, {TX{"main", "MasterUKey;VisitDate", "VisitDate"}},
                {S("MasterUKey", 20), S("UKey", 20), D("VisitDate"), S("Weather", 80), S("NoteText", 255),
                 S("CreatedBy", 20), S("Timestamp", 20)},
                {}});
    c.append(TI{&TDM::cdsPlacePeople, &TDM::dsPlacePeople, "cdsPlacePeople", "dsPlacePeople", "14B", true,
                "cdsPlaceVisits", ukey, "main", {}, false, {TX{"main", "MasterUKey;Individual", {}}},
                {S("MasterUKey", 20), S("UKey", 20), S("Individual", 40)}, {}});
    c.append(TI{&TDM::cdsPlaceFinds, &TDM::dsPlaceFinds, "cdsPlaceFinds", "dsPlaceFinds", "14C", true,
                "cdsPlaceVisits", ukey, "main", {}, false, {TX{"main", "MasterUKey;FungiName", {}}},
                {S("MasterUKey", 20), S("UKey", 20), S("FungiUKey", 20), S("FungiName", 40), I("BodyCount"),
                 I("BodyAge")},
                {}});
    c.append(TI{&TDM::cdsKnowbase, &TDM::dsKnowBase, "cdsKnowbase", "dsKnowBase", "150", true, {}, {}, "main", {},
                false, {TX{"main", "MasterUKey;ItemType;ItemName", {}}},
                {S("MasterUKey", 20), S("UKey", 20), S("ItemName", 40), I("ItemType"), S("Source", 40),
                 S("Author", 40), S("Description", 255), S("CreatedBy", 20), S("Timestamp", 20)},
                {}});
    c.append(TI{&TDM::cdsFungiSubPlaces, &TDM::dsFungiSubPlaces, "cdsFungiSubPlaces", "dsFungiSubPlaces", "02G",
                false, "cdsFungi", ukey, "main", {}, true, {TX{"main", "MasterUKey;PlaceName", {}}},
                {S("MasterUKey", 20), S("UKey", 20), S("PlaceUKey", 20), S("PlaceName", 40)}, {}});
    c.append(TI{&TDM::cdsFungiPrivateTexts, &TDM::dsFungiPrivateTexts, "cdsFungiPrivateTexts", "dsFungiPrivateTexts",
                "02F", true, "cdsFungi", ukey, {}, "MasterUKey;RowNo", false, {TX{"main", "MasterUKey;RowNo", {}}},
                {S("MasterUKey", 20), S("UKey", 20), I("RowFlag"), I("RowNo"), S("RowText", 80)}, {}});
    c.append(TI{&TDM::cdsInstalledUpdates, &TDM::dsInstalledUpdates, "cdsInstalledUpdates", "dsInstalledUpdates",
                "200", true, {}, {}, "main", {}, true, {TX{"main", "UKey;DownloadName", {}}},
                {S("UKey", 20), S("DownloadName", 30), I("FileStatus"), DT("FileDate")}, {}});
    return c;
}
// clang-format on

// ---- Migration of values between field types ----

struct TValueCounts {
    int LeftEmpty = 0;
    int Cut = 0;
};

QVariant FitText(QString text, int size, TValueCounts& counts) {
    if (size > 0 && text.size() > size) {
        text.truncate(size);
        ++counts.Cut;
    }
    return text;
}

// The value of a text for a field of another type; null when the text does not convert.
QVariant ParseText(const QString& raw, TFieldType type) {
    const QString text = raw.trimmed();
    const QLocale c = QLocale::c();
    bool ok = false;
    switch (type) {
        case TFieldType::ftInteger: {
            const qlonglong n = c.toLongLong(text, &ok);
            if (ok && n >= std::numeric_limits<int>::min() && n <= std::numeric_limits<int>::max())
                return QVariant(int(n));
            return {};
        }
        case TFieldType::ftFloat: {
            const double v = c.toDouble(text, &ok);
            return ok ? QVariant(v) : QVariant();
        }
        case TFieldType::ftBoolean:
            if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 || text == QLatin1String("1"))
                return QVariant(true);
            if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0 || text == QLatin1String("0"))
                return QVariant(false);
            return {};
        case TFieldType::ftDate: {
            QDate d = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
            if (!d.isValid()) {
                // A date-time fits a date only when it carries no time of day.
                const QDateTime dt = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd hh:mm:ss"));
                if (dt.isValid() && dt.time() == QTime(0, 0)) d = dt.date();
            }
            return d.isValid() ? QVariant(d) : QVariant();
        }
        case TFieldType::ftDateTime: {
            QDateTime dt = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd hh:mm:ss"));
            if (!dt.isValid()) {
                const QDate d = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
                if (d.isValid()) dt = QDateTime(d, QTime(0, 0));
            }
            return dt.isValid() ? QVariant(dt) : QVariant();
        }
        case TFieldType::ftString:
        case TFieldType::ftUnknown:
            break;
    }
    return {};
}

// An old stored value in the new field's type: raw when the types agree, through its text
// form (C locale, floats in full precision) when they differ.
QVariant ConvertValue(const QVariant& value, TFieldType from, const TFieldDef& to, TValueCounts& counts) {
    if (value.isNull() || !value.isValid()) return {};
    if (from == to.DataType) {
        if (from == TFieldType::ftString) return FitText(value.toString(), to.Size, counts);
        return value;
    }
    const QString text = FieldValueText(value, from);
    if (to.DataType == TFieldType::ftString) return FitText(text, to.Size, counts);
    if (text.trimmed().isEmpty()) return {};  // nothing was there to lose
    QVariant converted = ParseText(text, to.DataType);
    if (converted.isNull()) ++counts.LeftEmpty;
    return converted;
}

}  // namespace

// ---- Catalogue ----

const QList<TDM::TTableInfo>& TDM::Catalogue() {
    static const QList<TTableInfo> catalogue = BuildCatalogue();
    return catalogue;
}

const TDM::TTableInfo* TDM::FindTableInfo(const QString& tableName) {
    for (const TTableInfo& info : Catalogue())
        if (info.TableName == tableName) return &info;
    return nullptr;
}

namespace {

// The layouts the program's tables had before the present catalogue, by table. No table has
// changed its fields since the first version, so there are none yet; when one does, its
// former field list goes here, so that the files written by earlier versions migrate.
const QHash<QString, QList<TFieldDefs>>& ProgramLayouts() {
    static const QHash<QString, QList<TFieldDefs>> layouts;
    return layouts;
}

QHash<QString, QList<TFieldDefs>>& AddedLayouts() {
    static QHash<QString, QList<TFieldDefs>> layouts;
    return layouts;
}

QString TypeText(TFieldType type) {
    switch (type) {
        case TFieldType::ftString:
            return QStringLiteral("text");
        case TFieldType::ftInteger:
            return QStringLiteral("heltal");
        case TFieldType::ftBoolean:
            return QStringLiteral("ja/nej");
        case TFieldType::ftDate:
            return QStringLiteral("datum");
        case TFieldType::ftDateTime:
            return QStringLiteral("datum och tid");
        case TFieldType::ftFloat:
            return QStringLiteral("decimaltal");
        case TFieldType::ftUnknown:
            break;
    }
    return QStringLiteral("okänd typ");
}

QString FieldText(const TFieldDef& def) {
    if (def.DataType == TFieldType::ftString)
        return QStringLiteral("\"%1\" (%2, %3 tecken)").arg(def.Name, TypeText(def.DataType)).arg(def.Size);
    return QStringLiteral("\"%1\" (%2)").arg(def.Name, TypeText(def.DataType));
}

// Where a file's field list first parts from the design, for the message.
QString FirstDifference(const TFieldDefs& file, const TFieldDefs& design) {
    const qsizetype common = std::min(file.size(), design.size());
    for (qsizetype i = 0; i < common; ++i) {
        if (file[i] == design[i]) continue;
        return QStringLiteral("fält %1 är %2 i filen men %3 i tabellen")
            .arg(i + 1)
            .arg(FieldText(file[i]), FieldText(design[i]));
    }
    return QStringLiteral("filen har %1 fält, tabellen %2").arg(file.size()).arg(design.size());
}

// A value that holds something: a migration that cannot carry it loses it.
bool HasContent(const QVariant& value) {
    if (!value.isValid() || value.isNull()) return false;
    if (value.typeId() == QMetaType::QString) return !value.toString().isEmpty();
    return true;
}

// The first name beside the file that is free for a backup: an older backup that holds
// values an earlier migration could not take is never replaced.
QString FreeBackupName(const QString& path) {
    QString name = path + QStringLiteral(".bak");
    for (int n = 2; QFileInfo::exists(name) || QFileInfo(name).isSymLink(); ++n)
        name = path + QStringLiteral(".bak%1").arg(n);
    return name;
}

}  // namespace

QList<TFieldDefs> TDM::EarlierLayouts(const QString& tableName) {
    return ProgramLayouts().value(tableName) + AddedLayouts().value(tableName);
}

void TDM::AddEarlierLayout(const QString& tableName, const TFieldDefs& fields) {
    AddedLayouts()[tableName].append(fields);
}

void TDM::ClearAddedLayouts() { AddedLayouts().clear(); }

// ---- Construction ----

TDM::TDM(const QString& programFolder, QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("DM"));
    m_programFolder = FolderWithSlash(programFolder);
    m_databaseFolder = DatabaseFolderOf(m_programFolder);
    CreateComponents();
    StartUp();
    BindTableEvents();
}

TDM::~TDM() {
    // Teardown posts nothing and tells nobody. The helpers bound to the tables (the services
    // with their counts and cascades) go first, while every table still stands. Then each
    // table goes before the tables it is a detail of: a detail still being edited would post
    // its edit as its master went away; that edit is dropped, as closing a table saves nothing.
    QSet<const QObject*> own;
    for (const TTableInfo& info : Catalogue()) {
        own.insert(this->*info.Table);
        own.insert(this->*info.Source);
    }
    QList<QPointer<QObject>> helpers;
    for (QObject* child : children())
        if (!own.contains(child)) helpers.prepend(child);
    for (const QPointer<QObject>& helper : helpers) delete helper.data();

    const auto depth = [](const TTableInfo& info) {
        int levels = 0;
        for (const TTableInfo* t = &info; t && !t->Master.isEmpty() && levels <= Catalogue().size();
             t = FindTableInfo(t->Master))
            ++levels;
        return levels;
    };
    QList<const TTableInfo*> order;
    for (const TTableInfo& info : Catalogue()) order.append(&info);
    std::stable_sort(order.begin(), order.end(),
                     [&](const TTableInfo* a, const TTableInfo* b) { return depth(*a) > depth(*b); });
    for (const TTableInfo* info : order) {
        delete std::exchange(this->*info->Table, nullptr);
        delete std::exchange(this->*info->Source, nullptr);
    }
}

void TDM::CreateComponents() {
    for (const TTableInfo& info : Catalogue()) {
        auto* table = new TExtClientDataSet(this, info.TableName);
        auto* source = new TDataSource(this, info.SourceName);
        this->*info.Table = table;
        this->*info.Source = source;
        table->SetDatasetId(info.DatasetId);
        table->SetAutoSave(info.AutoSave);
        table->SetWorkMode(TCDSWorkMode::wmTimeSave);
        table->LockRelations() = info.LockRelations;
        table->SetFieldDefs(info.Fields);
        for (const TIndexInfo& index : info.Indexes) table->AddIndex(index.Name, index.Fields, index.DescFields);
        if (!info.OrderIndex.isEmpty())
            table->SetIndexName(info.OrderIndex);
        else if (!info.OrderFields.isEmpty())
            table->SetIndexFieldNames(info.OrderFields);
        source->SetDataSet(table);
        source->SetAutoEdit(info.AutoEdit);
    }
    // Links after all sources exist: a master may come later in the catalogue than its detail.
    for (const TTableInfo& info : Catalogue()) {
        TExtClientDataSet* table = this->*info.Table;
        if (!info.MasterFields.isEmpty()) {
            table->SetLinkField(QStringLiteral("MasterUKey"));
            table->SetMasterFields(info.MasterFields);
        }
        if (!info.Master.isEmpty()) table->SetMasterSource(Source(info.Master));
    }
}

QList<TExtClientDataSet*> TDM::Tables() const {
    QList<TExtClientDataSet*> list;
    for (const TTableInfo& info : Catalogue()) list.append(this->*info.Table);
    return list;
}

TExtClientDataSet* TDM::Table(const QString& tableName) const {
    const TTableInfo* info = FindTableInfo(tableName);
    return info ? this->*info->Table : nullptr;
}

TDataSource* TDM::Source(const QString& tableName) const {
    const TTableInfo* info = FindTableInfo(tableName);
    return info ? this->*info->Source : nullptr;
}

void TDM::BindTableEvents() {
    // The services of the data module install their table hooks here.
}

// ---- Start-up ----

namespace {

// Reads the table files side by side, the largest first, on a few threads besides this one:
// start-up reads every record of every table, and the files are independent of each other.
std::vector<std::unique_ptr<TTableFileRead>> ReadSideBySide(const QStringList& files) {
    std::vector<std::unique_ptr<TTableFileRead>> reads(size_t(files.size()));
    std::vector<std::pair<qint64, size_t>> order;
    for (qsizetype i = 0; i < files.size(); ++i) order.emplace_back(QFileInfo(files.at(i)).size(), size_t(i));
    std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::atomic<size_t> next{0};
    const auto work = [&] {
        for (size_t i = next++; i < order.size(); i = next++)
            reads[order[i].second] = std::make_unique<TTableFileRead>(files.at(qsizetype(order[i].second)));
    };
    const int helpers = std::clamp(QThread::idealThreadCount(), 1, 4) - 1;
    std::vector<std::thread> pool;
    for (int i = 0; i < helpers && size_t(i) + 1 < order.size(); ++i) pool.emplace_back(work);
    work();
    for (std::thread& t : pool) t.join();
    return reads;
}

}  // namespace

void TDM::StartUp() {
    m_workingFile = m_programFolder + QStringLiteral("Temp/re.tmp");
    if (!QDir().mkpath(m_databaseFolder))
        m_startupErrors.append(
            QStringLiteral("Databasmappen \"%1\" kunde inte skapas.").arg(QDir::toNativeSeparators(m_databaseFolder)));
    // A save that was cut off between its files is made whole before any table is read.
    m_startupErrors.append(TSaveUnit::Recover(m_programFolder).Errors);
    for (const TTableInfo& info : Catalogue()) {
        TExtClientDataSet* table = this->*info.Table;
        table->SetFilename(m_databaseFolder + TExtClientDataSet::GetDataFileName(table));
    }

    QStringList files;
    for (const TTableInfo& info : Catalogue())
        if (info.AutoSave && QFileInfo::exists((this->*info.Table)->Filename()))
            files << (this->*info.Table)->Filename();
    std::vector<std::unique_ptr<TTableFileRead>> reads = ReadSideBySide(files);
    for (const TTableInfo& info : Catalogue()) {
        if (!info.AutoSave) continue;  // working tables are filled by their own users
        const qsizetype read = files.indexOf((this->*info.Table)->Filename());
        TStartupResult result = OpenTable(info, read >= 0 ? reads[size_t(read)].get() : nullptr);
        if (read >= 0) reads[size_t(read)].reset();
        if (result.Outcome == TStartupOutcome::Failed)
            m_startupErrors.append(result.Message);
        else if (result.Outcome == TStartupOutcome::Migrated)
            m_startupNotes.append(result.Message);
        m_results.insert(info.TableName, result);
    }

    // Only what start-up itself changed is written; an unchanged file keeps its bytes. The
    // internal table is what gets saved, never a filtered view of it.
    for (const TTableInfo& info : Catalogue()) {
        if (!info.AutoSave || m_results.value(info.TableName).Outcome == TStartupOutcome::Failed) continue;
        TClientDataSet* internal = (this->*info.Table)->InternalDataSet();
        try {
            if (internal->Active() && internal->HasUnsavedChanges()) internal->SaveToFile();
        } catch (const Exception& e) {
            m_startupErrors.append(QStringLiteral("Tabellfilen \"%1\" kunde inte sparas: %2")
                                       .arg(QDir::toNativeSeparators(internal->FileName()), e.Message()));
        }
    }
}

TDM::TStartupResult TDM::OpenTable(const TTableInfo& info, TTableFileRead* readAhead) {
    TExtClientDataSet* table = this->*info.Table;
    const QString path = table->Filename();
    enum class Step { Reading, Creating, Migrating } step = Step::Reading;
    QString cause;
    try {
        if (!QFileInfo::exists(path)) {
            step = Step::Creating;
            return CreateEmptyFile(info, table);
        }
        table->OpenInternal(readAhead);
        const TFieldDefs& found = table->InternalDataSet()->FieldDefs();
        if (found != info.Fields) {
            // Only a layout the table really had is migrated: a field name or type changed by
            // damage would otherwise pass for a change of design, and its values be dropped.
            if (!EarlierLayouts(info.TableName).contains(found))
                throw Exception(
                    QStringLiteral("Tabellfilen \"%1\" är skadad: dess fältlista är ingen som tabellen har haft "
                                   "(%2). Filen kan också vara skriven av en nyare version av programmet.")
                        .arg(QDir::toNativeSeparators(path), FirstDifference(found, info.Fields)));
            step = Step::Migrating;
            return MigrateTable(info, table);
        }
        table->LoadDataAsRead();
        TStartupResult result;
        result.Outcome = TStartupOutcome::Loaded;
        result.Records = table->InternalDataSet()->RecordCount();
        return result;
    } catch (const Exception& e) {
        cause = e.Message();
    } catch (const std::exception& e) {
        cause = QString::fromLocal8Bit(e.what());
    }
    RefuseTable(info, table);
    table->LoadFailure = QStringLiteral(
                             "Tabellfilen \"%1\" kunde inte läsas när programmet startade. Filen har "
                             "lämnats orörd; det som finns i den visas inte och kan inte ändras under den "
                             "här körningen.")
                             .arg(QDir::toNativeSeparators(path));
    TStartupResult result;
    result.Outcome = TStartupOutcome::Failed;
    result.FailedStep = step == Step::Creating ? TStartupResult::TStep::Creating
        : step == Step::Migrating              ? TStartupResult::TStep::Migrating
                                               : TStartupResult::TStep::Reading;
    result.Cause = cause;
    QString what;
    switch (step) {
        case Step::Reading:
            what = QStringLiteral("Tabellfilen \"%1\" kunde inte läsas och har lämnats orörd.");
            break;
        case Step::Creating:
            what = QStringLiteral("Tabellfilen \"%1\" saknas och kunde inte skapas.");
            break;
        case Step::Migrating:
            what = QStringLiteral(
                "Tabellfilen \"%1\" kunde inte föras över till tabellens nya fältlista och har "
                "lämnats orörd.");
            break;
    }
    result.Message = what.arg(QDir::toNativeSeparators(path)) +
        QStringLiteral(" Tabellen är tom och kan inte ändras under den här körningen. Orsak: %1").arg(cause);
    return result;
}

TDM::TStartupResult TDM::CreateEmptyFile(const TTableInfo& info, TExtClientDataSet* table) {
    {
        TClientDataSet empty;
        empty.SetFieldDefs(info.Fields);
        empty.CreateDataSet();
        empty.SaveToFile(table->Filename());
        empty.Close();
    }
    table->LoadData();
    TStartupResult result;
    result.Outcome = TStartupOutcome::Created;
    return result;
}

TDM::TStartupResult TDM::MigrateTable(const TTableInfo& info, TExtClientDataSet* table) {
    const QString path = table->Filename();
    TStartupResult result;
    TValueCounts counts;
    TClientDataSet* old = table->InternalDataSet();

    // The records are copied as stored values straight into a table of the new layout:
    // no table of the module posts anything, so no event, key or time stamp is touched,
    // and detail rows of every master are taken since the internal table has no master link.
    TClientDataSet migrated;
    migrated.SetFieldDefs(info.Fields);
    migrated.CreateDataSet();
    migrated.SetLogChanges(false);

    struct TMap {
        int From;
        TFieldType FromType;
        int To;
    };
    QList<TMap> map;
    QList<int> dropped;  // old fields the new layout does not have
    QStringList droppedNames;
    for (int i = 0; i < old->FieldCount(); ++i) {
        TField* source = old->Fields(i);
        if (TField* target = migrated.FindField(source->FieldName())) {
            map.append(TMap{i, source->DataType(), target->Index()});
        } else {
            dropped.append(i);
            droppedNames.append(source->FieldName());
        }
    }
    old->First();
    while (!old->Eof()) {
        for (int i : dropped)
            if (HasContent(old->Fields(i)->Value())) ++result.ValuesDropped;
        try {
            migrated.Append();
            for (const TMap& m : map) {
                const QVariant converted =
                    ConvertValue(old->Fields(m.From)->Value(), m.FromType, info.Fields[m.To], counts);
                if (converted.isNull()) continue;
                try {
                    migrated.Fields(m.To)->SetValue(converted);
                } catch (const Exception&) {
                    ++counts.LeftEmpty;
                }
            }
            migrated.Post();
            ++result.Records;
        } catch (const Exception&) {
            if (migrated.State() != TDataSetState::dsBrowse) migrated.Cancel();
            ++result.RecordsLost;
        }
        old->Next();
    }
    result.ValuesLeftEmpty = counts.LeftEmpty;
    result.TextsCut = counts.Cut;
    const bool lost =
        result.ValuesLeftEmpty > 0 || result.ValuesDropped > 0 || result.TextsCut > 0 || result.RecordsLost > 0;

    // The old file stays as a backup beside the new one until the new one is in place and
    // reads back, and for good when the new one could not take all of it. The new file
    // replaces the old one in one rename, so a crash on the way leaves either the old file
    // or the new one whole, and the backup beside it.
    table->CloseInternal();
    const QString backupPath = FreeBackupName(path);
    // Checked at every step: a backup cut short by a full disk would be no backup.
    CopyFileAtomically(path, backupPath, QStringLiteral("säkerhetskopian \"%1\" kunde inte skrivas"));
    migrated.SaveToFile(path);
    migrated.Close();
    {
        // A new file that does not read back gives way to the old one again.
        auto putBack = qScopeGuard([&] {
            try {
                table->CloseInternal();
            } catch (...) {}
            std::rename(QFile::encodeName(backupPath).constData(), QFile::encodeName(path).constData());
        });
        table->LoadData();
        if (table->InternalDataSet()->RecordCount() != result.Records)
            throw Exception(QStringLiteral("den nya filen har fel antal poster"));
        putBack.dismiss();
    }
    if (lost)
        result.Backup = backupPath;
    else
        QFile::remove(backupPath);

    result.Outcome = TStartupOutcome::Migrated;
    const auto count = [](int n, const char* one, const char* many) {
        return QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(n == 1 ? one : many));
    };
    QStringList message;
    message << QStringLiteral("Tabellfilen \"%1\" har förts över till tabellens nya fältlista (%2).")
                   .arg(QDir::toNativeSeparators(path), count(result.Records, "post", "poster"));
    if (result.ValuesDropped > 0) {
        QStringList quoted;
        for (const QString& name : droppedNames) quoted << QStringLiteral("\"%1\"").arg(name);
        message << QStringLiteral("%1 i %2 %3, som tabellen inte längre har, kunde inte föras över.")
                       .arg(count(result.ValuesDropped, "värde", "värden"),
                            droppedNames.size() == 1 ? QStringLiteral("fältet") : QStringLiteral("fälten"),
                            quoted.join(QStringLiteral(", ")));
    }
    if (result.ValuesLeftEmpty > 0)
        message << QStringLiteral("%1 kunde inte tas emot av de nya fälten och lämnades tomma.")
                       .arg(count(result.ValuesLeftEmpty, "värde", "värden"));
    if (result.TextsCut > 0)
        message << QStringLiteral("%1 kortades till fältets bredd.").arg(count(result.TextsCut, "text", "texter"));
    if (result.RecordsLost > 0)
        message << QStringLiteral("%1 kunde inte föras över.").arg(count(result.RecordsLost, "post", "poster"));
    if (lost)
        message << QStringLiteral("Den gamla filen finns kvar som \"%1\".").arg(QDir::toNativeSeparators(backupPath));
    result.Message = message.join(QLatin1Char(' '));
    return result;
}

void TDM::RefuseTable(const TTableInfo& info, TExtClientDataSet* table) {
    // The table shows no records and takes no writes; its internal table is never opened,
    // so nothing can be saved over the file.
    try {
        table->CloseInternal();
        table->Close();
        table->SetFieldDefs(info.Fields);
        table->CreateDataSet();
    } catch (const Exception&) {}
    table->SetReadOnly(true);
    table->InternalDataSet()->SetReadOnly(true);
}
