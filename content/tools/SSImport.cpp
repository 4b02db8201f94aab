#include "content/tools/SSImport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <algorithm>
#include <utility>

#include "content/species/pictures/FungiPicImages.h"
#include "core/ExtClientDataSet.h"
#include "core/MyUtils.h"
#include "core/PendingFile.h"
#include "core/ProgramFolders.h"
#include "core/UKeyStringlist.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "platform/DataSetScopes.h"

namespace {

QString Text(const TClientDataSet* table, int row, const QString& field) {
    const TField* f = table->FindField(field);
    return f ? table->RecordValue(row, f->Index()).toString() : QString();
}

// A path below a drive as the index tables give it ("\BILDER\"), relative to a volume's root.
QString BelowRoot(const QString& path) {
    QString relative = path.trimmed();
    relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (relative.startsWith(QLatin1Char('/'))) relative.remove(0, 1);
    return relative;
}

QString Shown(const QString& path) { return QDir::toNativeSeparators(path); }

}  // namespace

// ---- Editions and volumes ----

void TSSReleases::Load(TExtClientDataSet* header) {
    clear();
    if (!header->Active()) return;
    for (int row = 0; row < header->RecordCount(); ++row) {
        TSSRelease release;
        release.Name = Text(header, row, QStringLiteral("Release"));
        release.PicCount = Text(header, row, QStringLiteral("PicCount")).toInt();
        release.HdSpace = Text(header, row, QStringLiteral("HdSpace")).toInt();
        release.CDIdentPaths = Text(header, row, QStringLiteral("CDIdentPaths"));
        release.CDPath = Text(header, row, QStringLiteral("CDPath"));
        append(release);
    }
}

QStringList TSSVolumes::Roots() const {
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady()) roots << volume.rootPath();
    roots.removeDuplicates();
    std::sort(roots.begin(), roots.end());
    return roots;
}

qint64 TSSVolumes::BytesFree(const QString& path) const {
    // A folder that is not made yet lies on the volume of its nearest existing parent.
    QDir dir(QFileInfo(path).absoluteFilePath());
    while (!dir.exists() && !dir.isRoot())
        if (!dir.cdUp()) break;
    const QStorageInfo volume(dir.absolutePath());
    return volume.isValid() ? volume.bytesAvailable() : -1;
}

qint64 SSRequiredBytes(const TSSRelease& release) { return (qint64(release.HdSpace) + 20) * 1048576; }

QString SSFindCD(const TSSVolumes& volumes, const TSSRelease& release) {
    const QString ident = BelowRoot(release.CDIdentPaths);
    const QString pictures = BelowRoot(release.CDPath);
    if (ident.isEmpty()) return QString();
    for (const QString& root : volumes.Roots()) {
        if (ResolvePathNoCase(root, ident, TPathKind::File).isEmpty()) continue;
        const QString base = FolderWithSlash(root);
        if (pictures.isEmpty()) return base;
        const QString folder = ResolvePathNoCase(root, pictures, TPathKind::Folder);
        return folder.isEmpty() ? base + pictures : FolderWithSlash(folder);
    }
    return QString();
}

QString SSIdentFile(const TSSRelease& release, const QString& folder) {
    const QString name = BelowRoot(release.CDIdentPaths).section(QLatin1Char('/'), -1);
    return name.isEmpty() ? QString() : ResolvePathNoCase(folder, name, TPathKind::File);
}

QString SSPictureKey(const QString& picturesId, const QString& indexKey) {
    return picturesId + indexKey.trimmed().right(15);
}

QDate SSPictureDate(const QString& text) {
    const QString trimmed = text.trimmed();
    for (const char* format : {"yyyy-M-d", "yyyyMMdd"}) {
        const QDate date = QDate::fromString(trimmed, QLatin1String(format));
        if (date.isValid()) return date;
    }
    return QDate();
}

// ---- The import ----

const QString TSSImport::SocietyUrl = QStringLiteral("https://www.svampar.se/");

struct TSSImport::TIndexRecord {
    QString Key, Art, Lokal, Datum, Filnamn, Arr, Substrat, Anteckning;
};

TSSImport::TSSImport(TDM* dm, const TUKeyStringlist& fungiNames) : m_dm(dm), m_names(fungiNames) {}

int TSSImport::CountRecords(const QString& release) const {
    const TExtClientDataSet* index = m_dm->cdsSSImport;
    int count = 0;
    if (index->Active())
        for (int row = 0; row < index->RecordCount(); ++row)
            if (Text(index, row, QStringLiteral("CD")) == release) ++count;
    return count;
}

void TSSImport::Run(const TSSRelease& release, const QString& folder, bool forced) {
    Importing = true;
    Aborted = false;
    Imported = 0;
    Skipped = 0;
    Failures.clear();
    struct TDone {
        bool& flag;
        ~TDone() { flag = false; }
    } done{Importing};

    // The edition's records, compared here rather than put into a selection text.
    QList<TIndexRecord> records;
    const TExtClientDataSet* index = m_dm->cdsSSImport;
    if (index->Active())
        for (int row = 0; row < index->RecordCount(); ++row) {
            if (Text(index, row, QStringLiteral("CD")) != release.Name) continue;
            auto field = [&](const char* name) { return Text(index, row, QLatin1String(name)); };
            records.append(TIndexRecord{field("UKey"), field("Art"), field("Lokal"), field("Datum"), field("Filnamn"),
                                        field("Arr"), field("Substrat"), field("Anteckning")});
        }

    // Every species and every picture is within reach while the run lasts: the species
    // table without its selection, the pictures table without its master.
    TExtClientDataSet* fungi = m_dm->cdsFungi;
    TExtClientDataSet* pics = m_dm->cdsFungiPics;
    struct TReach {
        TExtClientDataSet* fungi;
        TExtClientDataSet* pics;
        QStringList sel = fungi->Sel();
        TDataSource* master = pics->MasterSource();
        bool widened = false;
        bool restoreSel = true;
        ~TReach() {
            try {
                pics->SetMasterSource(master);
                if (widened && restoreSel) {
                    fungi->SetSel(sel);
                    fungi->LoadData();
                }
            } catch (...) {
                // Nothing more to do while another failure unwinds.
            }
        }
    } reach{fungi, pics};
    if (!reach.sel.isEmpty()) {
        reach.widened = true;
        fungi->SetSel(QStringList());
        fungi->LoadData();
    }
    pics->SetMasterSource(nullptr);

    const int total = int(records.size());
    for (int i = 0; i < total && !Aborted; ++i) {
        try {
            ImportRecord(records[i], i + 1, release, folder, forced);
        } catch (const Exception& e) {
            Failures << e.Message();
        }
        if (OnProgress) OnProgress(i + 1, total);
    }

    pics->SetMasterSource(reach.master);
    // New pictures change what the quick selection picks (pictures or not).
    if (Imported > 0) {
        if (TDMServices* services = TDMServices::Of(m_dm)) {
            reach.restoreSel = false;
            services->BuildQuickSelection(false);
        }
    }
}

void TSSImport::ImportRecord(const TIndexRecord& record, int number, const TSSRelease& release, const QString& folder,
                             bool forced) {
    TExtClientDataSet* fungi = m_dm->cdsFungi;
    TExtClientDataSet* pics = m_dm->cdsFungiPics;

    const int name = m_names.IndexOf(record.Art.trimmed());
    const QString fungiKey = name >= 0 ? m_names.GetUKey(name) : QString();
    if (fungiKey.isEmpty() || !LocateUKey(fungi, fungiKey)) {
        Failures << QStringLiteral("Kunde ej hitta art %1 (post %2)").arg(record.Art).arg(number);
        return;
    }

    const QString key = SSPictureKey(pics->DatasetId(), record.Key);
    const bool exists = LocateUKey(pics, key);
    if (exists && !forced) {
        ++Skipped;
        return;
    }

    const QString target = GetFungiPicFile(key);
    const QString copyFailed = QStringLiteral("Filkopiering \"%1\" -> \"%2\" misslyckades")
                                   .arg(Shown(AddTrailingBackslash(folder) + record.Filnamn), Shown(target));
    const QString source = ResolvePathNoCase(folder, record.Filnamn, TPathKind::File);
    QFile in(source);
    if (source.isEmpty() || !in.open(QIODevice::ReadOnly)) {
        Failures << copyFailed;
        return;
    }
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError) {
        Failures << copyFailed;
        return;
    }
    in.close();
    // A picture that cannot be read is refused before anything is written.
    const QByteArray thumbnail = fungipics::BmpBytes(fungipics::ReadThumbnail(source));

    // The copy waits beside its target (as a plain, writable file) until the record is in.
    TPendingFile picture;
    TPendingFile thumb;
    try {
        picture.Write(target, bytes);
        thumb.Write(GetFungiPicThumbFile(key), thumbnail);
    } catch (const Exception&) {
        Failures << copyFailed;
        return;
    }

    QString note;
    const std::pair<const char*, const QString*> lines[] = {{"Lokal: %1\r\n", &record.Lokal},
                                                            {"Arr.: %1\r\n", &record.Arr},
                                                            {"Substrat: %1\r\n", &record.Substrat},
                                                            {"Anteckning: %1\r\n", &record.Anteckning}};
    for (const auto& [line, value] : lines)
        if (!value->trimmed().isEmpty()) note += QString::fromUtf8(line).arg(*value);
    {
        TEditScope edit(pics, exists ? TEditScope::Edit : TEditScope::Append);
        if (!exists) {
            pics->FieldByName(QStringLiteral("UKey"))->SetAsString(key);
            pics->FieldByName(QStringLiteral("MasterUKey"))->SetAsString(fungiKey);
        }
        pics->FieldByName(QStringLiteral("PicType"))->SetAsString(QStringLiteral("EXTERN"));
        const QDate date = SSPictureDate(record.Datum);
        if (date.isValid())
            pics->FieldByName(QStringLiteral("PicDate"))->SetAsDate(date);
        else
            pics->FieldByName(QStringLiteral("PicDate"))->Clear();
        pics->FieldByName(QStringLiteral("PicIndex"))->SetAsInteger(2000 + number);
        pics->FieldByName(QStringLiteral("PicSource"))
            ->SetAsString(QStringLiteral("Sveriges svampar, utgåva %1").arg(release.Name));
        pics->FieldByName(QStringLiteral("PicSourceURL"))->SetAsString(SocietyUrl);
        pics->FieldByName(QStringLiteral("Photographer"))->SetAsString(QStringLiteral("-"));
        pics->FieldByName(QStringLiteral("NoteText"))->SetAsString(note);
        pics->FieldByName(QStringLiteral("NoteTextLocked"))->SetAsBoolean(true);
        pics->FieldByName(QStringLiteral("MainPicSource"))->SetAsBoolean(false);
        edit.Post();
    }

    try {
        picture.Commit();
        thumb.Commit();
    } catch (const Exception&) {
        // Only a record of this run goes again; its delete takes whatever file got in place.
        if (!exists && LocateUKey(pics, key)) pics->Delete();
        Failures << copyFailed;
        return;
    }
    // A picture file that was there keeps its permissions on replacement; it must not stay
    // read-only as a CD's files are.
    QFile::setPermissions(target, QFile::permissions(target) | QFileDevice::WriteOwner);
    ++Imported;
}
