#include <QtTest>
#include "support/TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QCryptographicHash>

#include <sqlite3.h>

#include <memory>

#include "core/unitDM.h"
#include "platform/AtomicFile.h"

namespace {

using Rows = QList<QVariantList>;

TFieldDef Def(const QString& name, TFieldType type, int size = 0) { return TFieldDef{name, type, size}; }

void WriteTable(const QString& path, const TFieldDefs& defs, const Rows& rows) {
    TClientDataSet t;
    t.SetFieldDefs(defs);
    t.CreateDataSet();
    for (const QVariantList& row : rows) {
        t.Append();
        for (int i = 0; i < row.size(); ++i)
            if (!row[i].isNull()) t.Fields(i)->SetValue(row[i]);
        t.Post();
    }
    t.SaveToFile(path);
    t.Close();
}

struct TableContent {
    TFieldDefs Defs;
    Rows Records;
};

TableContent ReadTable(const QString& path) {
    TClientDataSet t;
    t.LoadFromFile(path);
    TableContent c;
    c.Defs = t.FieldDefs();
    for (t.First(); !t.Eof(); t.Next()) {
        QVariantList row;
        for (int i = 0; i < t.FieldCount(); ++i) row.append(t.Fields(i)->Value());
        c.Records.append(row);
    }
    t.Close();
    return c;
}

QByteArray FileBytes(const QString& path) { return testsupport::ReadBytes(path); }

// The bytes and modification time of every file of a folder.
QMap<QString, QPair<QByteArray, QDateTime>> Snapshot(const QString& folder) {
    QMap<QString, QPair<QByteArray, QDateTime>> files;
    for (const QFileInfo& fi : QDir(folder).entryInfoList(QDir::Files))
        files.insert(fi.fileName(), {FileBytes(fi.filePath()), fi.lastModified()});
    return files;
}

// A value for a field of the design in record r. Strings are made from the name in lower
// case, so that a field whose name only changed case gets the same values.
QVariant Value(const TFieldDef& def, int r) {
    switch (def.DataType) {
        case TFieldType::ftString:
            if (def.Name == QLatin1String("MasterUKey")) return QStringLiteral("020MASTER%1").arg(r % 3);
            return QStringLiteral("%1 %2").arg(def.Name.toLower()).arg(r).left(def.Size);
        case TFieldType::ftInteger:
            return r * 10 + 1;
        case TFieldType::ftBoolean:
            return r % 2 == 0;
        case TFieldType::ftDate:
            return QDate(2020, 1, 1).addDays(r);
        case TFieldType::ftDateTime:
            return QDateTime(QDate(2021, 2, 3), QTime(4, 5, 6)).addSecs(r);
        case TFieldType::ftFloat:
            return 1.0 / (r + 3);
        case TFieldType::ftUnknown:
            break;
    }
    return {};
}

Rows DesignRows(const TFieldDefs& defs, int count) {
    Rows rows;
    for (int r = 0; r < count; ++r) {
        QVariantList row;
        for (const TFieldDef& def : defs) row.append(Value(def, r));
        rows.append(row);
    }
    return rows;
}

int IndexOf(const TFieldDefs& defs, const QString& name) {
    for (int i = 0; i < defs.size(); ++i)
        if (defs[i].Name == name) return i;
    return -1;
}

const TFieldDefs& Design(const QString& table) { return TDM::FindTableInfo(table)->Fields; }

QString FileOf(const QString& table) { return table.mid(3) + QStringLiteral(".dat"); }

// Runs SQL on a file straight through SQLite, past the table layer.
bool RunSql(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
        sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close_v2(db);
    return ok;
}

QString LayoutFingerprint(const TFieldDefs& defs) {
    QByteArray text;
    for (const TFieldDef& def : defs)
        text +=
            def.Name.toUtf8() + '|' + QByteArray::number(int(def.DataType)) + '|' + QByteArray::number(def.Size) + '\n';
    return QString::fromLatin1(QCryptographicHash::hash(text, QCryptographicHash::Sha1).toHex().left(12));
}

// The present field lists of the tables, as fingerprints.
QMap<QString, QString> KnownLayoutFingerprints() {
    return {
        {"cdsFungi", "a83ccddb8be8"},
        {"cdsSwedishNames", "7f79ebcd3afc"},
        {"cdsLatinNames", "94710f4c62a5"},
        {"cdsFungiPics", "50469ba3b80f"},
        {"cdsFungiFinds", "ffb23218534b"},
        {"cdsFungiMixups", "e8bc1459e2f0"},
        {"cdsFungiGroups", "d3d658c6f289"},
        {"cdsUsers", "c819c98af073"},
        {"cdsCurrentUser", "091e1c1a6767"},
        {"cdsContacts", "8e722874d414"},
        {"cdsFungiTexts", "460b953a6016"},
        {"cdsContactGroups", "ab4a44d13d6b"},
        {"cdsContactGroupRows", "b13765c34632"},
        {"cdsSSImportHeader", "417607afb6b0"},
        {"cdsSSImport", "30fac9b47af8"},
        {"cdsFoodTypes", "ac29b9cef2f9"},
        {"cdsFoods", "e439c8cb39c3"},
        {"cdsFoodTexts", "b96dd6390c81"},
        {"cdsFoodFungi", "ef42e3c678ce"},
        {"cdsMaps", "bf415a117b23"},
        {"cdsMapNamePresets", "1ea7b6cceef9"},
        {"cdsInternet", "137a5e6a1875"},
        {"cdsInternetTexts", "b96dd6390c81"},
        {"cdsPlaces", "fa55e8aa9bb1"},
        {"cdsPlaceVisits", "8e5ada06c3e1"},
        {"cdsPlacePeople", "a9458fc2508f"},
        {"cdsPlaceFinds", "81acd54524be"},
        {"cdsKnowbase", "9f9e503943da"},
        {"cdsFungiSubPlaces", "9e828814db4f"},
        {"cdsFungiPrivateTexts", "460b953a6016"},
        {"cdsInstalledUpdates", "7bbb772b4537"},
    };
}

}  // namespace

class TestDataModule : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString ProgramFolder() const { return m_dir->path() + QLatin1Char('/'); }
    QString DbFolder() const { return ProgramFolder() + QStringLiteral("Data/Db/"); }
    QString DbFile(const QString& table) const { return DbFolder() + FileOf(table); }

    // Three master records, with the keys that the detail rows of Value() point to.
    void WriteMasters(const QString& table) const {
        const TFieldDefs& defs = Design(table);
        Rows rows = DesignRows(defs, 3);
        for (int r = 0; r < 3; ++r) rows[r][IndexOf(defs, "UKey")] = QStringLiteral("020MASTER%1").arg(r);
        WriteTable(DbFile(table), defs, rows);
    }

private Q_SLOTS:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QVERIFY(QDir().mkpath(DbFolder()));
    }
    void cleanup() {
        m_dir.reset();
        TDM::ClearAddedLayouts();
        AtomicFileFaults::Clear();
    }

    void catalogue_data() {
        QTest::addColumn<QString>("id");
        QTest::addColumn<bool>("autoSave");
        QTest::addColumn<QString>("master");
        QTest::addColumn<bool>("autoEdit");
        QTest::addColumn<QString>("order");  // index name, or "fields:" and a field list

        const struct {
            const char *table, *id;
            bool autoSave;
            const char* master;
            bool autoEdit;
            const char* order;
        } rows[] = {
            {"cdsFungi", "020", true, "", false, ""},
            {"cdsSwedishNames", "02B", true, "dsFungi", true, "main"},
            {"cdsLatinNames", "02A", true, "dsFungi", true, "main"},
            {"cdsFungiPics", "02D", true, "dsFungi", false, "main"},
            {"cdsFungiFinds", "02C", true, "dsFungi", false, "main"},
            {"cdsFungiMixups", "02E", true, "dsFungi", false, "main"},
            {"cdsFungiGroups", "050", true, "", true, "fields:FungiGroup"},
            {"cdsUsers", "010", true, "", false, "fields:UserName"},
            {"cdsCurrentUser", "010", false, "", false, "fields:UserName"},
            {"cdsContacts", "060", true, "", false, ""},
            {"cdsFungiTexts", "02F", true, "dsFungi", false, "fields:MasterUKey;RowNo"},
            {"cdsContactGroups", "070", true, "", true, "fields:GroupName"},
            {"cdsContactGroupRows", "07A", true, "dsContactGroups", true, "fields:MasterUKey"},
            {"cdsSSImportHeader", "99A", true, "", true, "main"},
            {"cdsSSImport", "99B", true, "", true, "main"},
            {"cdsFoodTypes", "100", true, "", true, "main"},
            {"cdsFoods", "10A", true, "dsFoodTypes", true, "main"},
            {"cdsFoodTexts", "10C", true, "dsFoods", true, "main"},
            {"cdsFoodFungi", "10D", false, "", true, ""},
            {"cdsMaps", "110", true, "", false, "main"},
            {"cdsMapNamePresets", "120", true, "", false, "main"},
            {"cdsInternet", "130", true, "", false, "main"},
            {"cdsInternetTexts", "13A", true, "dsInternet", true, "main"},
            {"cdsPlaces", "140", true, "", false, "name"},
            {"cdsPlaceVisits", "14A", true, "dsPlaces", false, "main"},
            {"cdsPlacePeople", "14B", true, "dsPlaceVisits", false, "main"},
            {"cdsPlaceFinds", "14C", true, "dsPlaceVisits", false, "main"},
            {"cdsKnowbase", "150", true, "", false, "main"},
            {"cdsFungiSubPlaces", "02G", false, "dsFungi", true, "main"},
            {"cdsFungiPrivateTexts", "02F", true, "dsFungi", false, "fields:MasterUKey;RowNo"},
            {"cdsInstalledUpdates", "200", true, "", true, "main"},
        };
        for (const auto& r : rows)
            QTest::newRow(r.table) << QString::fromLatin1(r.id) << r.autoSave << QString::fromLatin1(r.master)
                                   << r.autoEdit << QString::fromLatin1(r.order);
    }
    void catalogue() {
        QFETCH(QString, id);
        QFETCH(bool, autoSave);
        QFETCH(QString, master);
        QFETCH(bool, autoEdit);
        QFETCH(QString, order);
        const QString name = QString::fromLatin1(QTest::currentDataTag());

        TDM dm(ProgramFolder());
        TExtClientDataSet* table = dm.findChild<TExtClientDataSet*>(name, Qt::FindDirectChildrenOnly);
        QVERIFY(table);
        QCOMPARE(dm.Table(name), table);
        QCOMPARE(table->DatasetId(), id);
        QCOMPARE(table->AutoSave(), autoSave);
        QCOMPARE(table->WorkMode(), TCDSWorkMode::wmTimeSave);
        QCOMPARE(table->Filename(), DbFile(name));
        QCOMPARE(table->FieldDefs(), Design(name));
        QCOMPARE(QFileInfo::exists(DbFile(name)), autoSave);

        // The data source: "ds" + the name without "cds", with Knowbase spelt KnowBase.
        QString sourceName = QStringLiteral("ds") + name.mid(3);
        if (name == QLatin1String("cdsKnowbase")) sourceName = QStringLiteral("dsKnowBase");
        TDataSource* source = dm.findChild<TDataSource*>(sourceName, Qt::FindDirectChildrenOnly);
        QVERIFY(source);
        QCOMPARE(source->DataSet(), static_cast<TClientDataSet*>(table));
        QCOMPARE(source->AutoEdit(), autoEdit);

        if (master.isEmpty()) {
            QVERIFY(!table->MasterSource());
        } else {
            QVERIFY(table->MasterSource());
            QCOMPARE(table->MasterSource()->objectName(), master);
            QCOMPARE(table->MasterFields(), QStringLiteral("UKey"));
            QCOMPARE(table->LinkField(), QStringLiteral("MasterUKey"));
        }
        if (order.startsWith(QLatin1String("fields:")))
            QCOMPARE(table->IndexFieldNames(), order.mid(7));
        else
            QCOMPARE(table->IndexName(), order);
    }

    void catalogueDetails() {
        QCOMPARE(TDM::Catalogue().size(), 31);
        TDM dm(ProgramFolder());
        QCOMPARE(dm.Tables().size(), 31);
        QCOMPARE(dm.WorkingFile(), ProgramFolder() + QStringLiteral("Temp/re.tmp"));
        QCOMPARE(dm.cdsFungi->FieldByName(QStringLiteral("FungiGroup"))->Size(), 40);
        QCOMPARE(dm.cdsFungi->FieldCount(), 50);
        QCOMPARE(dm.cdsFungiFinds->LockRelations(),
                 QStringList({"PositionX=PositionLocked", "PositionY=PositionLocked", "RouteNote=RouteNoteLocked",
                              "NoteText=NoteTextLocked"}));
        QCOMPARE(dm.cdsContacts->LockRelations().last(), QStringLiteral("UserUKey=exclude_always"));
        QCOMPARE(dm.cdsFungi->IndexNames(), QStringList({"swedish", "latin", "group"}));
        QCOMPARE(dm.cdsInternet->IndexNames(), QStringList({"main", "main_inv"}));
        QCOMPARE(dm.cdsFoodFungi->MasterFields(), QStringLiteral("UKey"));
        QVERIFY(!dm.cdsFoodFungi->MasterSource());
        QVERIFY(dm.StartupErrors().isEmpty());
    }

    // A file equal to the design is loaded as it stands, and a start rewrites no file.
    void equalFileLoadsAndNothingIsRewritten() {
        WriteMasters("cdsFungi");
        WriteTable(DbFile("cdsFungiPics"), Design("cdsFungiPics"), DesignRows(Design("cdsFungiPics"), 6));
        const auto before = Snapshot(DbFolder());
        QTest::qWait(20);  // a rewrite would show in the modification time
        {
            TDM dm(ProgramFolder());
            QCOMPARE(dm.StartupResult("cdsFungi").Outcome, TDM::TStartupOutcome::Loaded);
            QCOMPARE(dm.cdsFungi->RecordCount(), 3);
            QCOMPARE(dm.cdsFungi->InternalDataSet()->RecordCount(), 3);
            QCOMPARE(dm.cdsFungiPics->InternalDataSet()->RecordCount(), 6);
            dm.cdsFungi->First();
            // The detail view follows the species it stands on.
            QCOMPARE(dm.cdsFungiPics->RecordCount(), 2);
            QVERIFY(dm.StartupErrors().isEmpty());
            QVERIFY(dm.StartupNotes().isEmpty());
        }
        auto after = Snapshot(DbFolder());
        for (auto it = before.begin(); it != before.end(); ++it) {
            QVERIFY2(after.contains(it.key()), qPrintable(it.key()));
            QVERIFY2(after[it.key()].first == it.value().first, qPrintable(it.key()));
            QVERIFY2(after[it.key()].second == it.value().second, qPrintable(it.key()));
        }
        // The second start finds every file as the first left it.
        const auto created = Snapshot(DbFolder());
        QTest::qWait(20);
        { TDM dm(ProgramFolder()); }
        QCOMPARE(Snapshot(DbFolder()), created);
    }

    void missingFilesAreCreatedEmpty() {
        TDM dm(ProgramFolder());
        for (const TDM::TTableInfo& info : TDM::Catalogue()) {
            const QString path = DbFile(info.TableName);
            if (!info.AutoSave) {
                // Working tables have no file of their own.
                QVERIFY2(!QFileInfo::exists(path), qPrintable(path));
                QCOMPARE(dm.StartupResult(info.TableName).Outcome, TDM::TStartupOutcome::NotHandled);
                continue;
            }
            QCOMPARE(dm.StartupResult(info.TableName).Outcome, TDM::TStartupOutcome::Created);
            const TableContent content = ReadTable(path);
            QCOMPARE(content.Defs, info.Fields);
            QCOMPARE(content.Records.size(), 0);
            QVERIFY((dm.*info.Table)->Active());
        }
        QVERIFY(dm.StartupErrors().isEmpty());
        // Only the table files are left in the folder.
        QCOMPARE(QDir(DbFolder()).entryList(QDir::Files).size(), 28);
    }

    void migration_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("leftEmpty");
        QTest::addColumn<int>("dropped");
        QTest::addColumn<int>("cut");
        // kind: the change from the design that the old file has in the field. A migration
        // that loses anything (dropped, left empty, cut) keeps the old file as its backup.
        QTest::newRow("field more") << "cdsFungi"
                                    << "more"
                                    << "Obsolete" << 0 << 6 << 0;
        QTest::newRow("field fewer") << "cdsFungi"
                                     << "fewer"
                                     << "Taste" << 0 << 0 << 0;
        QTest::newRow("renamed field") << "cdsFungi"
                                       << "renamed"
                                       << "Smell" << 0 << 7 << 0;
        QTest::newRow("name in other case") << "cdsFungi"
                                            << "case"
                                            << "LatinName" << 0 << 0 << 0;
        QTest::newRow("integer was text") << "cdsFungi"
                                          << "text"
                                          << "PicCount" << 1 << 0 << 0;
        QTest::newRow("group widened") << "cdsFungi"
                                       << "width"
                                       << "FungiGroup" << 0 << 0 << 0;
        QTest::newRow("text narrowed") << "cdsFungi"
                                       << "narrow"
                                       << "SporeNote" << 0 << 0 << 7;
        QTest::newRow("detail: field fewer") << "cdsFungiPics"
                                             << "fewer"
                                             << "Photographer" << 0 << 0 << 0;
        QTest::newRow("detail: Boolean was integer") << "cdsFungiPics"
                                                     << "integer"
                                                     << "IsMainPic" << 1 << 0 << 0;
        QTest::newRow("float was text") << "cdsMaps"
                                        << "text"
                                        << "MeterPerPixelX" << 1 << 0 << 0;
        QTest::newRow("integer was float") << "cdsMaps"
                                           << "float"
                                           << "Scale" << 3 << 0 << 0;
        QTest::newRow("float became text") << "cdsFungi"
                                           << "fromfloat"
                                           << "HatSubColor" << 0 << 0 << 0;
        QTest::newRow("date was date-time") << "cdsPlaceVisits"
                                            << "datetime"
                                            << "VisitDate" << 1 << 0 << 0;
    }
    void migration() {
        QFETCH(QString, table);
        QFETCH(QString, kind);
        QFETCH(QString, field);
        QFETCH(int, leftEmpty);
        QFETCH(int, dropped);
        QFETCH(int, cut);
        const int count = 7;
        const TFieldDefs design = Design(table);
        const Rows expected0 = DesignRows(design, count);
        const int at = IndexOf(design, field);

        // The old file: the design changed in one field, with the values that change implies.
        TFieldDefs oldDefs = design;
        Rows oldRows = expected0;
        Rows expected = expected0;
        auto setOld = [&](const std::function<QVariant(int)>& f) {
            for (int r = 0; r < count; ++r) oldRows[r][at] = f(r);
        };
        auto setExpected = [&](const std::function<QVariant(int)>& f) {
            for (int r = 0; r < count; ++r) expected[r][at] = f(r);
        };
        if (kind == "more") {
            oldDefs.insert(2, Def(field, TFieldType::ftString, 12));
            // An empty value of the dropped field is no loss.
            for (int r = 0; r < count; ++r)
                oldRows[r].insert(2, r == 3 ? QVariant() : QVariant(QStringLiteral("gone")));
        } else if (kind == "fewer" || kind == "renamed") {
            if (kind == "fewer") {
                oldDefs.removeAt(at);
                for (QVariantList& row : oldRows) row.removeAt(at);
            } else {
                oldDefs[at].Name = field + QStringLiteral("Text");
            }
            setExpected([](int) { return QVariant(); });
        } else if (kind == "case") {
            oldDefs[at].Name = field.toLower();
        } else if (kind == "text") {
            oldDefs[at] = Def(field, TFieldType::ftString, 30);
            setOld([&](int r) {
                return r == 1 ? QVariant(QStringLiteral("ingen siffra"))
                              : QVariant(FieldValueText(expected0[r][at], design[at].DataType));
            });
            setExpected([&](int r) { return r == 1 ? QVariant() : expected0[r][at]; });
        } else if (kind == "width") {
            oldDefs[at].Size = 25;
            setOld([](int r) { return QVariant(QString(24, QLatin1Char('a' + r)) + QLatin1Char('z')); });
            setExpected([&](int r) { return oldRows[r][at]; });
        } else if (kind == "narrow") {
            oldDefs[at].Size = 60;
            setOld([](int r) { return QVariant(QString(55, QLatin1Char('a' + r))); });
            setExpected([](int r) { return QVariant(QString(50, QLatin1Char('a' + r))); });
        } else if (kind == "integer") {
            oldDefs[at] = Def(field, TFieldType::ftInteger);
            setOld([&](int r) { return r == 1 ? 7 : (expected0[r][at].toBool() ? 1 : 0); });
            setExpected([&](int r) { return r == 1 ? QVariant() : expected0[r][at]; });
        } else if (kind == "float") {
            oldDefs[at] = Def(field, TFieldType::ftFloat);
            setOld([&](int r) { return expected0[r][at].toInt() + (r % 2 ? 0.5 : 0.0); });
            setExpected([&](int r) { return r % 2 ? QVariant() : expected0[r][at]; });
        } else if (kind == "fromfloat") {
            oldDefs[at] = Def(field, TFieldType::ftFloat);
            setOld([](int r) { return 0.1 + 0.2 * r; });
            // The shortest text that reads back as the same number.
            setExpected(
                [](int r) { return QVariant(QString::number(0.1 + 0.2 * r, 'g', QLocale::FloatingPointShortest)); });
        } else if (kind == "datetime") {
            oldDefs[at] = Def(field, TFieldType::ftDateTime);
            setOld([&](int r) { return QDateTime(expected0[r][at].toDate(), r == 1 ? QTime(12, 0) : QTime(0, 0)); });
            setExpected([&](int r) { return r == 1 ? QVariant() : expected0[r][at]; });
        } else {
            QFAIL("unknown kind");
        }
        WriteTable(DbFile(table), oldDefs, oldRows);
        TDM::AddEarlierLayout(table, oldDefs);
        const QByteArray oldBytes = FileBytes(DbFile(table));
        // A backup that an earlier migration kept stays as it is.
        const QByteArray earlierBackup("what an earlier migration kept");
        {
            QFile f(DbFile(table) + ".bak");
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(earlierBackup);
        }
        const bool lost = leftEmpty + dropped + cut > 0;
        const QString master = TDM::FindTableInfo(table)->Master;
        if (!master.isEmpty()) WriteMasters(master);
        if (kind == "fromfloat") QCOMPARE(expected[1][at].toString(), QStringLiteral("0.30000000000000004"));

        {
            TDM dm(ProgramFolder());
            const TDM::TStartupResult result = dm.StartupResult(table);
            QCOMPARE(result.Outcome, TDM::TStartupOutcome::Migrated);
            QCOMPARE(result.Records, count);
            QCOMPARE(result.ValuesLeftEmpty, leftEmpty);
            QCOMPARE(result.ValuesDropped, dropped);
            QCOMPARE(result.TextsCut, cut);
            QCOMPARE(result.RecordsLost, 0);
            QCOMPARE(result.Backup, lost ? DbFile(table) + ".bak2" : QString());
            QVERIFY(dm.StartupErrors().isEmpty());
            QCOMPARE(dm.StartupNotes().size(), 1);
            const QString note = dm.StartupNotes().first();
            QVERIFY2(note.contains(FileOf(table)), qPrintable(note));
            // Each loss is told with its true count, and where the old values are kept.
            QCOMPARE(note.contains(QStringLiteral("%1 värden kunde inte tas emot").arg(leftEmpty)), leftEmpty > 1);
            QCOMPARE(note.contains(QStringLiteral("1 värde kunde inte tas emot")), leftEmpty == 1);
            QCOMPARE(note.contains(QStringLiteral("%1 värden i fältet \"").arg(dropped)), dropped > 0);
            QCOMPARE(note.contains(QStringLiteral("%1 texter kortades").arg(cut)), cut > 0);
            QCOMPARE(
                note.contains(
                    QStringLiteral("finns kvar som \"%1\"").arg(QDir::toNativeSeparators(DbFile(table) + ".bak2"))),
                lost);

            TExtClientDataSet* t = dm.Table(table);
            QCOMPARE(t->InternalDataSet()->FieldDefs(), design);
            QCOMPARE(t->InternalDataSet()->RecordCount(), count);
            QCOMPARE(t->FieldDefs(), design);
            if (!master.isEmpty()) {
                // All rows reached the new file, whatever master the view stands on.
                dm.Table(master)->First();
                QCOMPARE(dm.Table(master)->FieldByName("UKey")->AsString(), QStringLiteral("020MASTER0"));
                QCOMPARE(t->RecordCount(), 3);
            } else {
                QCOMPARE(t->RecordCount(), count);
            }
        }

        // The file holds every record in the new layout, with its key and time stamp kept.
        const TableContent content = ReadTable(DbFile(table));
        QCOMPARE(content.Defs, design);
        QCOMPARE(content.Records.size(), count);
        for (int r = 0; r < count; ++r)
            for (int i = 0; i < design.size(); ++i)
                QVERIFY2(
                    content.Records[r][i] == expected[r][i],
                    qPrintable(QStringLiteral("record %1 field %2: %3 instead of %4")
                                   .arg(r)
                                   .arg(design[i].Name, content.Records[r][i].toString(), expected[r][i].toString())));
        QCOMPARE(FileBytes(DbFile(table) + ".bak"), earlierBackup);
        if (lost)
            QCOMPARE(FileBytes(DbFile(table) + ".bak2"), oldBytes);
        else
            QVERIFY(!QFileInfo::exists(DbFile(table) + ".bak2"));
        QVERIFY(!QFileInfo::exists(DbFile(table) + ".new"));

        // Migrated once: the next start loads it as it is.
        TDM again(ProgramFolder());
        QCOMPARE(again.StartupResult(table).Outcome, TDM::TStartupOutcome::Loaded);
        QVERIFY(again.StartupNotes().isEmpty());
    }

    void damagedFile_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("garbage") << QByteArray("this is not a table file\n\x01\x02\xff", 28);
        QTest::newRow("empty file") << QByteArray();
        // A real table file cut in half.
        {
            QTemporaryDir dir;
            const QString path = dir.path() + "/half.dat";
            WriteTable(path, Design("cdsFungiGroups"), DesignRows(Design("cdsFungiGroups"), 200));
            const QByteArray whole = FileBytes(path);
            QTest::newRow("cut in half") << whole.left(whole.size() / 2);
        }
        // A database file of some other program.
        {
            QTemporaryDir dir;
            const QString path = dir.path() + "/other.db";
            {
                TClientDataSet t;  // any valid table file, then its header overwritten in part
                t.SetFieldDefs({Def("A", TFieldType::ftString, 10)});
                t.CreateDataSet();
                t.SaveToFile(path);
                t.Close();
            }
            QByteArray bytes = FileBytes(path);
            for (int i = 100; i < qMin<int>(bytes.size(), 1000); ++i) bytes[i] = char(0xA5);
            QTest::newRow("scrambled pages") << bytes;
        }
    }
    void damagedFile() {
        QFETCH(QByteArray, bytes);
        const QString damaged = DbFile("cdsFungiGroups");
        {
            QFile f(damaged);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
        // Tables before and after it in the catalogue.
        WriteTable(DbFile("cdsFungi"), Design("cdsFungi"), DesignRows(Design("cdsFungi"), 2));
        WriteTable(DbFile("cdsUsers"), Design("cdsUsers"), DesignRows(Design("cdsUsers"), 2));
        WriteTable(DbFile("cdsInstalledUpdates"), Design("cdsInstalledUpdates"),
                   DesignRows(Design("cdsInstalledUpdates"), 4));
        {
            TDM dm(ProgramFolder());
            QCOMPARE(dm.StartupErrors().size(), 1);
            QVERIFY(dm.StartupErrors().first().contains("FungiGroups.dat"));
            QCOMPARE(dm.StartupResult("cdsFungiGroups").Outcome, TDM::TStartupOutcome::Failed);

            // The damaged table is empty, keeps its design and refuses writes.
            QVERIFY(dm.cdsFungiGroups->Active());
            QCOMPARE(dm.cdsFungiGroups->RecordCount(), 0);
            QCOMPARE(dm.cdsFungiGroups->FieldDefs(), Design("cdsFungiGroups"));
            QVERIFY(dm.cdsFungiGroups->ReadOnly());
            QVERIFY_THROWS_EXCEPTION(Exception, dm.cdsFungiGroups->Append());
            // A service that switches saving off and on again saves nothing over it.
            dm.cdsFungiGroups->SetAutoSave(false);
            try {
                dm.cdsFungiGroups->SetAutoSave(true);
            } catch (const Exception&) {}

            QCOMPARE(dm.StartupResult("cdsFungi").Outcome, TDM::TStartupOutcome::Loaded);
            QCOMPARE(dm.StartupResult("cdsUsers").Outcome, TDM::TStartupOutcome::Loaded);
            QCOMPARE(dm.cdsUsers->RecordCount(), 2);
            QCOMPARE(dm.cdsInstalledUpdates->RecordCount(), 4);
            QCOMPARE(dm.StartupResult("cdsContacts").Outcome, TDM::TStartupOutcome::Created);
        }
        QCOMPARE(FileBytes(damaged), bytes);
        // It is reported again at the next start, still untouched.
        TDM again(ProgramFolder());
        QCOMPARE(again.StartupErrors().size(), 1);
        QCOMPARE(FileBytes(damaged), bytes);
    }

    // A migration that cannot make its backup (a full disk) stops before the old file is touched.
    void failedMigrationLeavesOldFile() {
        TFieldDefs oldDefs = Design("cdsFungi");
        oldDefs.removeLast();
        Rows rows = DesignRows(Design("cdsFungi"), 4);
        for (QVariantList& row : rows) row.removeLast();
        WriteTable(DbFile("cdsFungi"), oldDefs, rows);
        TDM::AddEarlierLayout("cdsFungi", oldDefs);
        const QByteArray before = FileBytes(DbFile("cdsFungi"));
        AtomicFileFaults::FailNext(TWriteStep::Flush);
        {
            TDM dm(ProgramFolder());
            QCOMPARE(dm.StartupResult("cdsFungi").Outcome, TDM::TStartupOutcome::Failed);
            QCOMPARE(dm.StartupErrors().size(), 1);
            QVERIFY(dm.StartupErrors().first().contains("Fungi.dat"));
            QVERIFY2(dm.StartupErrors().first().contains("disken är full"), qPrintable(dm.StartupErrors().first()));
            QVERIFY(dm.cdsFungi->ReadOnly());
            QCOMPARE(dm.cdsFungi->RecordCount(), 0);
            QCOMPARE(dm.StartupResult("cdsFungiGroups").Outcome, TDM::TStartupOutcome::Created);
        }
        QCOMPARE(FileBytes(DbFile("cdsFungi")), before);
        QCOMPARE(ReadTable(DbFile("cdsFungi")).Records, rows);
        QCOMPARE(QDir(DbFolder()).entryList({"Fungi.dat*"}, QDir::Files), QStringList({"Fungi.dat"}));
    }

    // A field list that no version of the program gave the table is damage, not a change of
    // design: one flipped bit in a field name must not make start-up drop that field's values.
    void damagedFieldList_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<QString>("told");
        // 'K' 0x4B -> 'C' 0x43 and 'o' 0x6F -> '?' 0x3F: one bit each.
        QTest::newRow("finds: species key") << "cdsPlaceFinds" << QByteArray("FungiUKey") << QByteArray("FungiUCey")
                                            << "fält 3 är \"FungiUCey\" (text, 20 tecken) i filen men \"FungiUKey\"";
        QTest::newRow("recipe texts: Broken") << "cdsFoodTexts" << QByteArray("Broken") << QByteArray("Br?ken")
                                              << "fält 6 är \"Br?ken\" (ja/nej) i filen men \"Broken\"";
        // A type name that is still a type: Integer read as String.
        QTest::newRow("places: a type") << "cdsPlaces" << QByteArray() << QByteArray("type")
                                        << "fält 3 är \"PositionX\" (text, 0 tecken) i filen";
        QTest::newRow("species: a width")
            << "cdsFungi" << QByteArray() << QByteArray("width")
            << "fält 2 är \"LatinName\" (text, 56 tecken) i filen men \"LatinName\" (text, 40";
    }
    void damagedFieldList() {
        QFETCH(QString, table);
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(QString, told);
        const TDM::TTableInfo* info = TDM::FindTableInfo(table);
        const QString master = info->Master;
        if (!master.isEmpty()) WriteMasters(master);
        WriteTable(DbFile(table), Design(table), DesignRows(Design(table), 5));
        QByteArray bytes = FileBytes(DbFile(table));
        if (!from.isEmpty()) {
            QCOMPARE(bytes.count(from), 1);
            bytes.replace(from, to);
        } else {
            // The field definitions sit in their own small table of the file; its rows are
            // changed the way damage would change them, in place.
            QTemporaryDir scratch;
            const QString copy = scratch.path() + "/copy.dat";
            {
                QFile f(copy);
                QVERIFY(f.open(QIODevice::WriteOnly));
                f.write(bytes);
            }
            const char* sql = to == "type" ? "UPDATE fielddefs SET type='String' WHERE pos=2"
                                           : "UPDATE fielddefs SET size=56 WHERE pos=1";
            QVERIFY(RunSql(copy, sql));
            bytes = FileBytes(copy);
        }
        {
            QFile f(DbFile(table));
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(bytes);
        }
        for (int start = 0; start < 2; ++start) {
            TDM dm(ProgramFolder());
            const TDM::TStartupResult result = dm.StartupResult(table);
            QCOMPARE(result.Outcome, TDM::TStartupOutcome::Failed);
            QVERIFY(dm.StartupNotes().isEmpty());
            QCOMPARE(dm.StartupErrors().size(), 1);
            const QString error = dm.StartupErrors().first();
            QVERIFY2(error.contains(FileOf(table)) && error.contains("kunde inte läsas och har lämnats orörd") &&
                         error.contains("är skadad") && error.contains(told),
                     qPrintable(error));
            QVERIFY(dm.Table(table)->ReadOnly());
            if (!master.isEmpty()) QCOMPARE(dm.StartupResult(master).Outcome, TDM::TStartupOutcome::Loaded);
            // Untouched, byte for byte, and no backup or migrated copy beside it.
            QCOMPARE(FileBytes(DbFile(table)), bytes);
            QCOMPARE(QDir(DbFolder()).entryList({FileOf(table) + "*"}, QDir::Files), QStringList({FileOf(table)}));
        }
    }

    // The earlier layouts are what lets the files of older versions migrate. A change to a
    // table's fields without its old list among them would make every such file count as
    // damaged: this catches the change.
    void layoutChangesKeepTheirHistory() {
        QStringList changed;
        const QMap<QString, QString> known = KnownLayoutFingerprints();
        for (const TDM::TTableInfo& info : TDM::Catalogue()) {
            const QString print = LayoutFingerprint(info.Fields);
            if (known.value(info.TableName) != print)
                changed << QStringLiteral("%1 (now %2)").arg(info.TableName, print);
            QVERIFY(!TDM::EarlierLayouts(info.TableName).contains(info.Fields));
        }
        QVERIFY2(changed.isEmpty(),
                 qPrintable(QStringLiteral("The fields of %1 changed: put the former field list among the table's "
                                           "earlier layouts in core/unitDM.cpp, so that existing files migrate, and "
                                           "then give the new fingerprint here.")
                                .arg(changed.join(", "))));
    }

    // Saving a detail table after an edit keeps the rows of the other masters.
    void detailSaveKeepsAllRows() {
        WriteMasters("cdsFungi");
        WriteTable(DbFile("cdsFungiMixups"), Design("cdsFungiMixups"), DesignRows(Design("cdsFungiMixups"), 9));
        {
            TDM dm(ProgramFolder());
            dm.cdsFungi->First();
            QCOMPARE(dm.cdsFungiMixups->RecordCount(), 3);
            dm.cdsFungiMixups->First();
            dm.cdsFungiMixups->Edit();
            dm.cdsFungiMixups->FieldByName("DifferenceText")->SetAsString("ny text");
            dm.cdsFungiMixups->Post();
        }
        const TableContent content = ReadTable(DbFile("cdsFungiMixups"));
        QCOMPARE(content.Records.size(), 9);
        int changed = 0;
        for (const QVariantList& row : content.Records) changed += row[5] == QVariant(QStringLiteral("ny text"));
        QCOMPARE(changed, 1);
    }
};

QTEST_GUILESS_MAIN(TestDataModule)
#include "tst_datamodule.moc"
