#pragma once
// The data module: owns every table of the personal database and one data source per
// table, points each table at its file in the database folder and, at start-up, loads
// each file or migrates it to the table's designed field list.
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include "core/ExtClientDataSet.h"
#include "platform/ClientDataSet.h"

class TDM : public QObject {
    Q_OBJECT
public:
    // One index of a table: its fields separated by ";", the descending ones in DescFields.
    struct TIndexInfo {
        QString Name;
        QString Fields;
        QString DescFields;
    };

    // The design of one table.
    struct TTableInfo {
        TExtClientDataSet* TDM::*Table;
        TDataSource* TDM::*Source;
        QString TableName;  // "cdsFungi"
        QString SourceName;  // "dsFungi"
        QString DatasetId;
        bool AutoSave;
        QString Master;  // the master table's name, empty when none
        QString MasterFields;  // the master's field the link field follows
        QString OrderIndex;  // the index that orders the visible table, or empty
        QString OrderFields;  // or the field list that orders it, or empty
        bool AutoEdit;
        QList<TIndexInfo> Indexes;
        TFieldDefs Fields;
        QStringList LockRelations;
    };

    // What start-up did with a table.
    enum class TStartupOutcome {
        NotHandled,  // a working table without a file of its own
        Loaded,  // the file matched the design and was loaded as it is
        Created,  // there was no file; an empty one with the designed fields was made
        Migrated,  // the file had another field list and was rewritten in the new one
        Failed,  // the file could not be read or migrated; the table is empty and read-only
    };
    struct TStartupResult {
        TStartupOutcome Outcome = TStartupOutcome::NotHandled;
        int Records = 0;  // records in the table after start-up
        int ValuesLeftEmpty = 0;  // migration: old values the new field could not take
        int ValuesDropped = 0;  // migration: old values of fields the new layout no longer has
        int TextsCut = 0;  // migration: texts cut to a narrower field
        int RecordsLost = 0;  // migration: old records that could not be copied
        QString Backup;  // migration: the old file kept beside the new one, when anything was lost
        // A failure: what start-up was doing with the file, and why it failed.
        enum class TStep { Reading, Creating, Migrating } FailedStep = TStep::Reading;
        QString Cause;
        QString Message;  // what the user is told, empty when nothing to tell
    };

    // The program folder ends with "/"; one is added when missing.
    explicit TDM(const QString& programFolder, QObject* parent = nullptr);
    ~TDM() override;

    // The tables in the order they are handled at start-up.
    static const QList<TTableInfo>& Catalogue();
    static const TTableInfo* FindTableInfo(const QString& tableName);

    // The field lists a table had in earlier versions of the program. Only a file in one of
    // them is migrated at start-up; a file with any other field list than these and the
    // design is damaged (or written by a newer version) and is left as it is. A change to a
    // table's fields in the catalogue adds the old list here.
    static QList<TFieldDefs> EarlierLayouts(const QString& tableName);
    // Tests and benchmarks make earlier layouts of their own; they count until cleared.
    static void AddEarlierLayout(const QString& tableName, const TFieldDefs& fields);
    static void ClearAddedLayouts();

    QString ProgramFolder() const { return m_programFolder; }
    QString DatabaseFolder() const { return m_databaseFolder; }
    // The working file of the text-row services.
    QString WorkingFile() const { return m_workingFile; }

    // Files that could not be read or migrated, one line each, to be shown once.
    QStringList StartupErrors() const { return m_startupErrors; }
    // Notes about migrated files (how many values had to be left empty).
    QStringList StartupNotes() const { return m_startupNotes; }
    TStartupResult StartupResult(const QString& tableName) const { return m_results.value(tableName); }

    // All tables and data sources in catalogue order.
    QList<TExtClientDataSet*> Tables() const;
    TExtClientDataSet* Table(const QString& tableName) const;
    TDataSource* Source(const QString& tableName) const;

    TExtClientDataSet* cdsFungi = nullptr;
    TExtClientDataSet* cdsSwedishNames = nullptr;
    TExtClientDataSet* cdsLatinNames = nullptr;
    TExtClientDataSet* cdsFungiPics = nullptr;
    TExtClientDataSet* cdsFungiFinds = nullptr;
    TExtClientDataSet* cdsFungiMixups = nullptr;
    TExtClientDataSet* cdsFungiGroups = nullptr;
    TExtClientDataSet* cdsUsers = nullptr;
    TExtClientDataSet* cdsCurrentUser = nullptr;
    TExtClientDataSet* cdsContacts = nullptr;
    TExtClientDataSet* cdsFungiTexts = nullptr;
    TExtClientDataSet* cdsContactGroups = nullptr;
    TExtClientDataSet* cdsContactGroupRows = nullptr;
    TExtClientDataSet* cdsSSImportHeader = nullptr;
    TExtClientDataSet* cdsSSImport = nullptr;
    TExtClientDataSet* cdsFoodTypes = nullptr;
    TExtClientDataSet* cdsFoods = nullptr;
    TExtClientDataSet* cdsFoodTexts = nullptr;
    TExtClientDataSet* cdsFoodFungi = nullptr;
    TExtClientDataSet* cdsMaps = nullptr;
    TExtClientDataSet* cdsMapNamePresets = nullptr;
    TExtClientDataSet* cdsInternet = nullptr;
    TExtClientDataSet* cdsInternetTexts = nullptr;
    TExtClientDataSet* cdsPlaces = nullptr;
    TExtClientDataSet* cdsPlaceVisits = nullptr;
    TExtClientDataSet* cdsPlacePeople = nullptr;
    TExtClientDataSet* cdsPlaceFinds = nullptr;
    TExtClientDataSet* cdsKnowbase = nullptr;
    TExtClientDataSet* cdsFungiSubPlaces = nullptr;
    TExtClientDataSet* cdsFungiPrivateTexts = nullptr;
    TExtClientDataSet* cdsInstalledUpdates = nullptr;

    TDataSource* dsFungi = nullptr;
    TDataSource* dsSwedishNames = nullptr;
    TDataSource* dsLatinNames = nullptr;
    TDataSource* dsFungiPics = nullptr;
    TDataSource* dsFungiFinds = nullptr;
    TDataSource* dsFungiMixups = nullptr;
    TDataSource* dsFungiGroups = nullptr;
    TDataSource* dsUsers = nullptr;
    TDataSource* dsCurrentUser = nullptr;
    TDataSource* dsContacts = nullptr;
    TDataSource* dsFungiTexts = nullptr;
    TDataSource* dsContactGroups = nullptr;
    TDataSource* dsContactGroupRows = nullptr;
    TDataSource* dsSSImportHeader = nullptr;
    TDataSource* dsSSImport = nullptr;
    TDataSource* dsFoodTypes = nullptr;
    TDataSource* dsFoods = nullptr;
    TDataSource* dsFoodTexts = nullptr;
    TDataSource* dsFoodFungi = nullptr;
    TDataSource* dsMaps = nullptr;
    TDataSource* dsMapNamePresets = nullptr;
    TDataSource* dsInternet = nullptr;
    TDataSource* dsInternetTexts = nullptr;
    TDataSource* dsPlaces = nullptr;
    TDataSource* dsPlaceVisits = nullptr;
    TDataSource* dsPlacePeople = nullptr;
    TDataSource* dsPlaceFinds = nullptr;
    TDataSource* dsKnowBase = nullptr;
    TDataSource* dsFungiSubPlaces = nullptr;
    TDataSource* dsFungiPrivateTexts = nullptr;
    TDataSource* dsInstalledUpdates = nullptr;

private:
    void CreateComponents();
    void StartUp();
    // The table hooks of the data module's services are bound here, once every table has
    // been loaded, so that loading and migrating run without them.
    void BindTableEvents();

    TStartupResult OpenTable(const TTableInfo& info, TTableFileRead* readAhead = nullptr);
    TStartupResult CreateEmptyFile(const TTableInfo& info, TExtClientDataSet* table);
    TStartupResult MigrateTable(const TTableInfo& info, TExtClientDataSet* table);
    void RefuseTable(const TTableInfo& info, TExtClientDataSet* table);

    QString m_programFolder;
    QString m_databaseFolder;
    QString m_workingFile;
    QStringList m_startupErrors;
    QStringList m_startupNotes;
    QHash<QString, TStartupResult> m_results;
};
