#pragma once
// A program folder whose database has something to repair in every step of the check: two
// contacts, two users (one whose contact is gone), two species, four pictures (one of a
// species that is gone, a downloaded link whose file is missing, a personal picture whose
// file is missing, one without its thumbnail), two finds (one by a contact that is gone), a
// contact group with a row of a contact that is gone, a visit with a participant, and three
// picture files that no record owns.
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPair>
#include <QVariant>
#include <memory>

#include "core/ExtClientDataSet.h"
#include "core/ProgramFolders.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "shell/unitUserScreen.h"
#include "support/TestSupport.h"

namespace repairtest {

using Values = QList<QPair<QString, QVariant>>;

// Keys of records that are gone, and of files that no record owns.
inline const QString kGoneUserContact = QStringLiteral("060GONEUSERAAAAAAA");
inline const QString kGoneFindAuthor = QStringLiteral("060GONEFINDAAAAAAA");
inline const QString kGonePhotographer = QStringLiteral("060GONEPHOTOAAAAAA");
inline const QString kGoneMember = QStringLiteral("060GONEMEMBERAAAAA");
inline const QString kGoneSpecies = QStringLiteral("020GONESPECIESAAAA");
inline const QString kStrayPicture = QStringLiteral("02DSTRAYAAAAAAAAAA");
inline const QString kStrayMainPicture = QStringLiteral("020STRAYAAAAAAAAAA");
inline const QString kStrayContactPicture = QStringLiteral("060STRAYAAAAAAAAAA");
inline const QString kPlaceholder = QStringLiteral("060BBBBBBBBBBBBBBB");
inline const QString kRef = QStringLiteral(" UKEY=");

// Appends a record through the visible table and gives its key (drawn before the post, as
// a detail row of another master leaves the view once posted).
inline QString Add(TExtClientDataSet* table, const Values& values) {
    table->Append();
    for (const auto& [field, value] : values) table->FieldByName(field)->SetValue(value);
    const QString key = GetUKey(table);
    table->Post();
    return key;
}

// Changes stored values without touching the record's Timestamp.
inline void Change(TExtClientDataSet* table, const QString& key, const Values& values) {
    table->NoTimestamp = true;
    if (LocateUKey(table, key)) {
        table->Edit();
        for (const auto& [field, value] : values) table->FieldByName(field)->SetValue(value);
        table->Post();
    }
    table->NoTimestamp = false;
}

inline QByteArray JpegBytes() {
    QImage picture(120, 80, QImage::Format_RGB32);
    picture.fill(QColor(200, 120, 40));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "JPG");
    return bytes;
}

// The data module of a program folder, wired as the users' environment for as long as it
// lives.
struct TDatabase {
    QString Folder;
    std::unique_ptr<TDM> dm;

    explicit TDatabase(const QString& folder) : Folder(folder) {
        SetProgramFolder(folder);
        dm = std::make_unique<TDM>(folder);
        TDMServices::Install(dm.get());
        TUserEnvironment environment;
        environment.DM = dm.get();
        SetUserEnvironment(environment);
    }
    ~TDatabase() {
        SetUserEnvironment({});
        dm.reset();
        SetProgramFolder(QString());
    }
    QString File(TKeyFile kind, const QString& key) const { return KeyFilePath(Folder, kind, key); }
    QString TableFile(const QString& tableName) const {
        return dm->DatabaseFolder() + TExtClientDataSet::GetDataFileName(dm->Table(tableName));
    }
};

// The keys of the sample's records.
struct TSample {
    QString C1, C2, U1, U2, F1, F2;
    QString Orphan, Link, Personal, NoThumb;
    QString FindA, FindB, Group, LiveRow, DeadRow, Place, Visit, Person;
};

inline TSample BuildSample(TDatabase& db) {
    TDM* dm = db.dm.get();
    TSample s;
    s.C1 = Add(dm->cdsContacts, {{"UserName", "Anna Andersson"}});
    s.C2 = Add(dm->cdsContacts, {{"UserName", "Bertil Berg"}});
    s.U1 = Add(dm->cdsUsers,
               {{"UserName", "Anna"},
                {"UserData", QString::fromLatin1(AdministratorMark)},
                {"HasPic", true},
                {"ContactUKey", s.C1}});
    Change(dm->cdsContacts, s.C1, {{"UserUKey", s.U1}});
    s.U2 = Add(dm->cdsUsers, {{"UserName", "Cecilia"}, {"Password", "svamp"}, {"ContactUKey", kGoneUserContact}});

    s.F1 = Add(dm->cdsFungi, {{"SwedishName", "Kantarell"}, {"HasPic", true}, {"PicCount", 7}});
    s.F2 = Add(dm->cdsFungi, {{"SwedishName", "Karljohan"}, {"HasPic", true}, {"PicCount", 1}});
    TExtClientDataSet* pics = dm->cdsFungiPics;
    // Detail rows are added under their master's current record, as the screens add them.
    pics->SetMasterSource(nullptr);
    s.Orphan = Add(
        pics, {{"MasterUKey", kGoneSpecies}, {"PicType", "APP"}, {"IsMainPic", true}, {"Photographer", kRef + s.C2}});
    pics->SetMasterSource(dm->dsFungi);
    static_cast<void>(LocateUKey(dm->cdsFungi, s.F1));
    s.Link = Add(pics,
                 {{"MasterUKey", s.F1},
                  {"PicIndex", 1},
                  {"PicType", "LINK"},
                  {"PicDownloaded", true},
                  {"PicURL", "https://example.org/kantarell.jpg"},
                  {"Photographer", "Anna"}});
    s.Personal = Add(
        pics,
        {{"MasterUKey", s.F1}, {"PicIndex", 2}, {"PicType", "PERSONAL"}, {"Photographer", kRef + kGonePhotographer}});
    static_cast<void>(LocateUKey(dm->cdsFungi, s.F2));
    s.NoThumb = Add(pics,
                    {{"MasterUKey", s.F2},
                     {"PicIndex", 1},
                     {"PicType", "APP"},
                     {"IsMainPic", true},
                     {"Photographer", kRef + s.C2}});
    static_cast<void>(LocateUKey(dm->cdsFungi, s.F1));
    s.FindA = Add(dm->cdsFungiFinds, {{"MasterUKey", s.F1}, {"BodyCount", 3}, {"CreatedBy", s.C1}});
    s.FindB = Add(dm->cdsFungiFinds, {{"MasterUKey", s.F1}, {"BodyCount", 5}, {"CreatedBy", kGoneFindAuthor}});

    s.Group = Add(dm->cdsContactGroups, {{"GroupName", "Svampvänner"}});
    static_cast<void>(LocateUKey(dm->cdsContactGroups, s.Group));
    s.LiveRow = Add(dm->cdsContactGroupRows, {{"ContactUKey", s.C2}, {"ContactName", "Bertil Berg"}});
    s.DeadRow = Add(dm->cdsContactGroupRows, {{"ContactUKey", kGoneMember}, {"ContactName", "Doris"}});

    s.Place = Add(dm->cdsPlaces, {{"PlaceName", "Storskogen"}, {"CreatedBy", s.C1}});
    static_cast<void>(LocateUKey(dm->cdsPlaces, s.Place));
    s.Visit = Add(dm->cdsPlaceVisits, {{"VisitDate", QDate(2024, 9, 14)}, {"CreatedBy", s.C1}});
    static_cast<void>(LocateUKey(dm->cdsPlaceVisits, s.Visit));
    s.Person = Add(dm->cdsPlacePeople, {{"Individual", kRef + s.C2}});

    // Reference counts that the check must correct.
    Change(dm->cdsContacts, s.C1, {{"RefCount", 7}});
    Change(dm->cdsContacts, s.C2, {{"RefCount", 0}});

    const QByteArray jpeg = JpegBytes();
    testsupport::WriteBytes(db.File(TKeyFile::MainPic, s.F1), jpeg);
    testsupport::WriteBytes(db.File(TKeyFile::FungiPic, s.NoThumb), jpeg);
    testsupport::WriteBytes(db.File(TKeyFile::ContactPic, s.U1), jpeg);
    testsupport::WriteBytes(db.File(TKeyFile::FungiPic, kStrayPicture), jpeg);
    testsupport::WriteBytes(db.File(TKeyFile::MainPic, kStrayMainPicture), jpeg);
    testsupport::WriteBytes(db.File(TKeyFile::ContactPic, kStrayContactPicture), jpeg);
    // Not a file of a record at all.
    testsupport::WriteBytes(KeyFileFolder(db.Folder, TKeyFile::ContactPic) + "Läs mig.txt", "Kontaktbilder");

    static_cast<void>(LocateUKey(dm->cdsFungi, s.F1));
    return s;
}

// The keys a table file holds.
inline QStringList FileKeys(const QString& path) {
    TClientDataSet table;
    table.LoadFromFile(path);
    QStringList keys;
    for (table.First(); !table.Eof(); table.Next()) keys << table.FieldByName("UKey")->AsString();
    table.Close();
    return keys;
}

// A stored value of a record, read past any selection or master link.
inline QVariant Stored(TExtClientDataSet* table, const QString& key, const QString& field) {
    table->OpenInternal();
    TClientDataSet* internal = table->InternalDataSet();
    const int row = internal->FindRecordIndex(QStringLiteral("UKey"), key);
    return row < 0 ? QVariant() : internal->RecordValue(row, internal->FieldByName(field)->Index());
}

}  // namespace repairtest
