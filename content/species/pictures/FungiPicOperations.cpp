#include "content/species/pictures/FungiPicOperations.h"

#include "content/species/pictures/FungiPicImages.h"
#include "core/ExtClientDataSet.h"
#include "core/FRIConnection.h"
#include "core/PendingFile.h"
#include "core/ProgramFolders.h"
#include "core/SaveUnit.h"
#include "core/unitDMServices.h"
#include "platform/DataSetScopes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QStringList>

namespace fungipics {

namespace {
const QString kIsMainPic = QStringLiteral("IsMainPic");

void SetBoolean(TExtClientDataSet* table, const QString& field, bool value) {
    TEditScope edit(table);
    table->FieldByName(field)->SetAsBoolean(value);
    edit.Post();
}
}  // namespace

void MakeThumbnail(const QString& pictureKey) {
    TPendingFile thumbnail;
    thumbnail.Write(GetFungiPicThumbFile(pictureKey),
                    BmpBytes(ReadThumbnail(TSaveUnit::CurrentFile(GetFungiPicFile(pictureKey)))));
    thumbnail.Commit();
}

void MakeMainPicture(TExtClientDataSet* pics, TExtClientDataSet* fungi) {
    const QString pictureKey = GetUKey(pics);
    const QString speciesKey = GetUKey(fungi);
    // The new main picture waits beside the old one until the records say it is there.
    const int x1 = pics->FieldByName(QStringLiteral("MainPicX1"))->AsInteger();
    const int y1 = pics->FieldByName(QStringLiteral("MainPicY1"))->AsInteger();
    const int x2 = pics->FieldByName(QStringLiteral("MainPicX2"))->AsInteger();
    const int y2 = pics->FieldByName(QStringLiteral("MainPicY2"))->AsInteger();
    TPendingFile mainPicture;
    mainPicture.Write(GetMainPicFile(speciesKey),
                      JpegBytes(ReadMainPicture(TSaveUnit::CurrentFile(GetFungiPicFile(pictureKey)),
                                                QRect(x1, y1, x2 - x1, y2 - y1))));

    if (fungi->FieldByName(QStringLiteral("HasPic"))->AsBoolean()) {
        QStringList others;
        for (pics->First(); !pics->Eof(); pics->Next())
            if (pics->FieldByName(kIsMainPic)->AsBoolean() && GetUKey(pics) != pictureKey) others << GetUKey(pics);
        for (const QString& key : others)
            if (LocateUKey(pics, key)) SetBoolean(pics, kIsMainPic, false);
        if (!LocateUKey(pics, pictureKey)) return;
    }
    SetBoolean(fungi, QStringLiteral("HasPic"), true);
    SetBoolean(pics, kIsMainPic, true);
    mainPicture.Commit();
}

void MakeFirstMainPicture(TExtClientDataSet* pics, TExtClientDataSet* fungi) {
    const QString pictureKey = GetUKey(pics);
    const QString speciesKey = pics->FieldByName(QStringLiteral("MasterUKey"))->AsString();
    const int x1 = pics->FieldByName(QStringLiteral("MainPicX1"))->AsInteger();
    const int y1 = pics->FieldByName(QStringLiteral("MainPicY1"))->AsInteger();
    const int x2 = pics->FieldByName(QStringLiteral("MainPicX2"))->AsInteger();
    const int y2 = pics->FieldByName(QStringLiteral("MainPicY2"))->AsInteger();
    TPendingFile mainPicture;
    mainPicture.Write(GetMainPicFile(speciesKey),
                      JpegBytes(ReadMainPicture(TSaveUnit::CurrentFile(GetFungiPicFile(pictureKey)),
                                                QRect(x1, y1, x2 - x1, y2 - y1))));
    TDMServices::SetStoredValues(fungi, speciesKey, {{QStringLiteral("HasPic"), true}});
    SetBoolean(pics, kIsMainPic, true);
    mainPicture.Commit();
}

void DownloadWebPicture(TFRIConnection& connection, TExtClientDataSet* pics) {
    const QString pictureKey = GetUKey(pics);
    const QString file = GetFungiPicFile(pictureKey);
    QDir().mkpath(QFileInfo(file).absolutePath());
    connection.SetStatusText(QStringLiteral("Mykotekshallen - Nedladdning av WWW-bild"));
    connection.SetDetailText(QStringLiteral("Laddar ner WWW-bild..."));
    connection.DownloadToFile(pics->FieldByName(QStringLiteral("PicURL"))->AsString(), file, [](const QString& got) {
        QImageReader reader(got);
        reader.setAutoTransform(false);
        return reader.canRead() ? QString() : QStringLiteral("Den hämtade filen är ingen bild.");
    });
    try {
        MakeThumbnail(pictureKey);
    } catch (...) {
        // A body that only began like a picture is no download: the link stays pending.
        QFile::remove(file);
        throw;
    }
    SetBoolean(pics, QStringLiteral("PicDownloaded"), true);
}

}  // namespace fungipics
