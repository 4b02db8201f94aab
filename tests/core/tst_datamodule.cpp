#include <QtTest>
#include "support/TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <memory>

#include "core/unitDM.h"

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
    case TFieldType::ftInteger: return r * 10 + 1;
    case TFieldType::ftBoolean: return r % 2 == 0;
    case TFieldType::ftDate: return QDate(2020, 1, 1).addDays(r);
    case TFieldType::ftDateTime: return QDateTime(QDate(2021, 2, 3), QTime(4, 5, 6)).addSecs(r);
    case TFieldType::ftFloat: return 1.0 / (r + 3);
    case TFieldType::ftUnknown: break;
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
    void cleanup() { m_dir.reset(); }

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
        if (order.startsWith(QLatin1String("fields:"))) QCOMPARE(table->IndexFieldNames(), order.mid(7));
        else QCOMPARE(table->IndexName(), order);
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
        QTest::addColumn<int>("cut");
        // kind: the change from the design that the old file has in the field.
        QTest::newRow("field more") << "cdsFungi" << "more" << "Obsolete" << 0 << 0;
        QTest::newRow("field fewer") << "cdsFungi" << "fewer" << "Taste" << 0 << 0;
        QTest::newRow("renamed field") << "cdsFungi" << "renamed" << "Smell" << 0 << 0;
        QTest::newRow("name in other case") << "cdsFungi" << "case" << "LatinName" << 0 << 0;
        QTest::newRow("integer was text") << "cdsFungi" << "text" << "PicCount" << 1 << 0;
        QTest::newRow("group widened") << "cdsFungi" << "width" << "FungiGroup" << 0 << 0;
        QTest::newRow("text narrowed") << "cdsFungi" << "narrow" << "SporeNote" << 0 << 7;
        QTest::newRow("detail: field fewer") << "cdsFungiPics" << "fewer" << "Photographer" << 0 << 0;
        QTest::newRow("detail: Boolean was integer") << "cdsFungiPics" << "integer" << "IsMainPic" << 1 << 0;
        QTest::newRow("float was text") << "cdsMaps" << "text" << "MeterPerPixelX" << 1 << 0;
        QTest::newRow("integer was float") << "cdsMaps" << "float" << "Scale" << 3 << 0;
        QTest::newRow("float became text") << "cdsFungi" << "fromfloat" << "HatSubColor" << 0 << 0;
        QTest::newRow("date was date-time") << "cdsPlaceVisits" << "datetime" << "VisitDate" << 1 << 0;
    }
    void migration() {
        QFETCH(QString, table);
        QFETCH(QString, kind);
        QFETCH(QString, field);
        QFETCH(int, leftEmpty);
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
            for (QVariantList& row : oldRows) row.insert(2, QStringLiteral("gone"));
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
            setExpected([](int r) { return QVariant(QString::number(0.1 + 0.2 * r, 'g', QLocale::FloatingPointShortest)); });
        } else if (kind == "datetime") {
            oldDefs[at] = Def(field, TFieldType::ftDateTime);
            setOld([&](int r) { return QDateTime(expected0[r][at].toDate(), r == 1 ? QTime(12, 0) : QTime(0, 0)); });
            setExpected([&](int r) { return r == 1 ? QVariant() : expected0[r][at]; });
        } else {
            QFAIL("unknown kind");
        }
        WriteTable(DbFile(table), oldDefs, oldRows);
        const QString master = TDM::FindTableInfo(table)->Master;
        if (!master.isEmpty()) WriteMasters(master);
        if (kind == "fromfloat") QCOMPARE(expected[1][at].toString(), QStringLiteral("0.30000000000000004"));

        {
            TDM dm(ProgramFolder());
            const TDM::TStartupResult result = dm.StartupResult(table);
            QCOMPARE(result.Outcome, TDM::TStartupOutcome::Migrated);
            QCOMPARE(result.Records, count);
            QCOMPARE(result.ValuesLeftEmpty, leftEmpty);
            QCOMPARE(result.TextsCut, cut);
            QCOMPARE(result.RecordsLost, 0);
            QVERIFY(dm.StartupErrors().isEmpty());
            QCOMPARE(dm.StartupNotes().size(), 1);
            QVERIFY(dm.StartupNotes().first().contains(FileOf(table)));
            QVERIFY(dm.StartupNotes().first().contains(QStringLiteral("%1 värden").arg(leftEmpty)));

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
                QVERIFY2(content.Records[r][i] == expected[r][i],
                         qPrintable(QStringLiteral("record %1 field %2: %3 instead of %4")
                                        .arg(r)
                                        .arg(design[i].Name, content.Records[r][i].toString(),
                                             expected[r][i].toString())));
        QVERIFY(!QFileInfo::exists(DbFile(table) + ".bak"));
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
            } catch (const Exception&) {
            }

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

    // A migration that cannot make its backup stops before the old file is touched.
    void failedMigrationLeavesOldFile() {
        TFieldDefs oldDefs = Design("cdsFungi");
        oldDefs.removeLast();
        Rows rows = DesignRows(Design("cdsFungi"), 4);
        for (QVariantList& row : rows) row.removeLast();
        WriteTable(DbFile("cdsFungi"), oldDefs, rows);
        const QByteArray before = FileBytes(DbFile("cdsFungi"));
        // Something that is no file stands where the backup goes.
        QVERIFY(QDir().mkpath(DbFile("cdsFungi") + ".bak/inside"));
        {
            TDM dm(ProgramFolder());
            QCOMPARE(dm.StartupResult("cdsFungi").Outcome, TDM::TStartupOutcome::Failed);
            QCOMPARE(dm.StartupErrors().size(), 1);
            QVERIFY(dm.StartupErrors().first().contains("Fungi.dat"));
            QVERIFY(dm.cdsFungi->ReadOnly());
            QCOMPARE(dm.cdsFungi->RecordCount(), 0);
            QCOMPARE(dm.StartupResult("cdsFungiGroups").Outcome, TDM::TStartupOutcome::Created);
        }
        QCOMPARE(FileBytes(DbFile("cdsFungi")), before);
        QCOMPARE(ReadTable(DbFile("cdsFungi")).Records, rows);
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
