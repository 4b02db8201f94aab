#include "core/unitDMServices.h"
// The files that travel with a record in the record exchange.

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QScopeGuard>
#include <QSet>

#include <algorithm>
#include <memory>

#include "core/DMServicesShared.h"
#include "core/ExtClientDataSet.h"
#include "core/FRIniFile.h"
#include "core/MyUtils.h"
#include "core/ProgramFolders.h"
#include "core/SelLanguage.h"
#include "core/unitDM.h"
#include "platform/DataSetScopes.h"

using namespace dmservices;

// ---- Record exchange ----

QString TDMServices::EFHeader(TExtClientDataSet* table) {
    if (!table || !table->Active() || table->IsEmpty()) return QString();
    auto text = [table](const char* field) {
        const TField* f = table->FindField(QLatin1String(field));
        return f ? f->AsString() : QString();
    };
    auto value = [table](const char* field) {
        const TField* f = table->FindField(QLatin1String(field));
        return f ? f->Value() : QVariant();
    };
    auto joined = [](const QString& a, const QString& b, const QString& separator) {
        if (a.isEmpty()) return b;
        if (b.isEmpty()) return a;
        return a + separator + b;
    };
    if (table == m_dm->cdsFungi) {
        const QString swedish = text("SwedishName");
        const QString latin = text("LatinName");
        return swedish.isEmpty() ? latin : latin.isEmpty() ? swedish : QStringLiteral("%1 (%2)").arg(swedish, latin);
    }
    if (table == m_dm->cdsContacts) return text("UserName");
    if (table == m_dm->cdsPlaces) return text("PlaceName");
    if (table == m_dm->cdsPlaceVisits) {
        const QString place = StoredRecord(m_dm->cdsPlaces, text("MasterUKey")).Str(QStringLiteral("PlaceName"));
        return joined(place, DateText(value("VisitDate")), QStringLiteral(", "));
    }
    if (table == m_dm->cdsPlacePeople) return GetRefText(text("Individual"));
    if (table == m_dm->cdsPlaceFinds) return text("FungiName");
    if (table == m_dm->cdsFoods) {
        const QString category =
            StoredRecord(m_dm->cdsFoodTypes, text("MasterUKey")).Str(QStringLiteral("CategoryName"));
        return category.isEmpty() ? text("FoodName") : QStringLiteral("%1 (%2)").arg(text("FoodName"), category);
    }
    if (table == m_dm->cdsKnowbase) {
        const bool article = value("ItemType").toInt() == 1;
        QString title = (article ? QStringLiteral("Artikel: ") : QStringLiteral("Artikelgrupp: ")) + text("ItemName");
        if (!text("Author").isEmpty()) title += QStringLiteral(" (%1)").arg(text("Author"));
        return title;
    }
    if (table == m_dm->cdsFungiFinds) return QStringLiteral("Fynd %1").arg(DateText(value("FindDate"))).trimmed();
    if (table == m_dm->cdsFungiPics)
        return joined(QStringLiteral("Bild %1").arg(DateText(value("PicDate"))).trimmed(),
                      GetRefText(text("Photographer")), QStringLiteral(", "));
    if (table == m_dm->cdsInternet) return text("Header");
    return QString();
}

QStringList TDMServices::EFFiles(TExtClientDataSet* table) {
    QStringList files;
    if (!table || !table->Active() || table->IsEmpty()) return files;
    const QString key = GetUKey(table);
    if (!IsValidPathName(key)) throw Exception(QStringLiteral("Ogiltig postnyckel \"%1\"").arg(key));
    auto flag = [table](const char* field) {
        const TField* f = table->FindField(QLatin1String(field));
        return f && f->AsBoolean();
    };
    if (table == m_dm->cdsFungiPics) {
        // A web picture that was never downloaded has no files.
        const bool link = table->FieldByName(QStringLiteral("PicType"))->AsString() == QLatin1String("LINK");
        if (!link || flag("PicDownloaded"))
            files << FileOf(TKeyFile::FungiPic, key) << FileOf(TKeyFile::FungiPicThumb, key);
    } else if (table == m_dm->cdsContacts) {
        if (flag("HasPic")) files << FileOf(TKeyFile::ContactPic, key);
    } else if (table == m_dm->cdsFoods) {
        if (flag("HasPic")) files << FileOf(TKeyFile::FoodPic, key) << FileOf(TKeyFile::FoodPicThumb, key);
    } else if (table == m_dm->cdsInternet) {
        if (flag("HasPic")) files << FileOf(TKeyFile::InternetPic, key);
    } else if (table == m_dm->cdsKnowbase) {
        if (table->FieldByName(QStringLiteral("ItemType"))->AsInteger() == 1) files << FileOf(TKeyFile::KnowBase, key);
    }
    return files;
}

void TDMServices::EFExport(TExtClientDataSet* table, QIODevice& stream) {
    for (const QString& file : EFFiles(table)) StreamSaveFile(stream, file);
}

void TDMServices::EFImport(TExtClientDataSet* table, QIODevice& stream) {
    for (const QString& file : EFFiles(table)) {
        QDir().mkpath(QFileInfo(file).absolutePath());
        StreamLoadFile(stream, file);
    }
    if (table == m_dm->cdsFungiPics && !table->IsEmpty() &&
        table->FieldByName(QStringLiteral("MainPicSource"))->AsBoolean()) {
        const QString fungiKey = table->FieldByName(kMasterUKey)->AsString();
        const TRecord fungi = StoredRecord(m_dm->cdsFungi, fungiKey);
        if (fungi.Found && !fungi.Bool(QStringLiteral("HasPic")) && Hooks.MakeMainPicture)
            Hooks.MakeMainPicture(fungiKey, GetUKey(table));
    }
}
