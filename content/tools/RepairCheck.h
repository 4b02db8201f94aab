#pragma once
// The check and repair of the whole database, without widgets: seven steps in a fixed order
// (the contact list, broken master-detail links, references to contacts that no longer
// exist, the contacts' reference counts, files that no record owns, the species' picture
// counts and records whose files are missing). Each step writes its lines to a report
// through OnReportLine; a line that begins with "*" replaces the report's last line
// (ApplyReportLine). The repair wizard shows the report; tests read ReportLines().
//
// Every walked table gets back its master link, AutoSave, NoTimestamp and order when its
// walk ends, however it ends. A table whose file could not be read is passed over with a
// line of its own: no row of it is deleted and no file is taken for one of its orphans.
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

#include "core/ProgramFolders.h"

class TDM;
class TExtClientDataSet;
class TField;

// Applies one report line: a text that begins with "*" loses it and replaces the last line
// (or becomes the first one); any other text is appended. True when a line was replaced.
bool ApplyReportLine(QStringList& lines, const QString& text);

class TRepairCheck {
public:
    // The contact that takes the place of every reference to a contact that is gone.
    static const QString PlaceholderContactKey;  // "060BBBBBBBBBBBBBBB"
    static const QString PlaceholderContactName;  // "Borttagen kontakt"
    // The built-in author of the shipped species, no contact of the database.
    static const QString BuiltInContactKey;  // "060AAAAAAAAAAAAAAA"

    enum class TOutcome { Completed, Stopped, Failed };

    // The numbers of the summary, one per step.
    struct TCounters {
        int Contacts = 0;  // contacts when the run began
        int BrokenDetails = 0;  // detail rows without their master, deleted
        int MissingContacts = 0;  // references to contacts that could not be found
        int CorrectedRefCounts = 0;  // contacts whose RefCount was corrected
        int OrphanFiles = 0;  // files no record owns, deleted
        int CorrectedPicCounts = 0;  // species whose PicCount was corrected
        int MissingFiles = 0;  // records whose file was missing
    };

    explicit TRepairCheck(TDM* dm);
    ~TRepairCheck();
    TRepairCheck(const TRepairCheck&) = delete;
    TRepairCheck& operator=(const TRepairCheck&) = delete;

    // Receives every report line as it is written (the wizard shows it and lets the window
    // repaint; a request to stop may arrive there).
    std::function<void(const QString& line)> OnReportLine;

    // Runs the seven steps and writes the result. A stop request ends the run after the row,
    // file or table at hand; an error ends it too. Either way the report says so, with the
    // results collected until then, and every table is restored.
    TOutcome Run();
    // Asks a running check to stop at the next row, file or table.
    void RequestStop() { m_stop = true; }
    bool StopRequested() const { return m_stop; }

    const TCounters& Counters() const { return m_counters; }
    // The report as it stands (replaced lines applied).
    const QStringList& ReportLines() const { return m_report; }
    // The message of the error that ended the run, empty when none did.
    QString FailureMessage() const { return m_failure; }

private:
    class TProgress;
    class TTableGuard;
    struct TStopped {};

    void Report(const QString& line);
    void CheckStop() const;

    // The steps, in their order.
    void LoadContactList();
    void CheckMasterDetail();
    void CheckContactReferences();
    void FixContactRefCounts();
    void DeleteOrphanFiles();
    void FixPicCounts();
    void CheckMissingFiles();
    void WriteResult(const QString& heading, const QString& closing);

    // Visits every row of the table's view once; a row that the action deleted is not
    // stepped over, and a delete that did not happen cannot hold the walk.
    void Walk(TExtClientDataSet* table, TProgress& progress, const std::function<void()>& row);
    // Walk over a whole table with its saving off and its Timestamps kept; a table whose file
    // cannot be read is passed over with the line given. With keepPosition the table goes
    // back to its record afterwards.
    void WalkTable(TExtClientDataSet* table, TProgress& progress, const QString& skipped, bool keepPosition,
                   const std::function<void()>& row);
    // Clears the table's selection and master link and reloads every row of its file;
    // false when the file cannot be read.
    static bool Prepare(TExtClientDataSet* table);
    static bool Unreadable(TExtClientDataSet* table);
    // Whether the table's file holds a record with the key.
    static bool HasStoredKey(TExtClientDataSet* table, const QString& key);
    // Edits the current record, sets the field and posts; a failure cancels the edit and is
    // reported as false.
    static bool SetFieldAndPost(TField* field, const QVariant& value);

    // Step 3: one reference field of the current row. Counts a known contact; replaces an
    // unknown one by the placeholder contact.
    void CheckReference(TExtClientDataSet* table, const QString& fieldName, bool asReference);
    bool CountContact(const QString& key);
    bool EnsurePlaceholderContact();
    void RepairUserContact(TExtClientDataSet* users);
    // Step 6 and 7: the species' pictures counted by MasterUKey, and the current species'
    // PicCount set to its count; true when it was corrected.
    QHash<QString, int> PicCountsBySpecies() const;
    bool CorrectPicCount(TExtClientDataSet* fungi, const QHash<QString, int>& counts);
    void CheckFungiPicFiles();
    QString FileOf(TKeyFile kind, const QString& key) const;

    TDM* m_dm;
    TCounters m_counters;
    QStringList m_report;
    QStringList m_summary;
    // Every contact key with the references found to it, in list order.
    QStringList m_contactKeys;
    QHash<QString, int> m_refCounts;
    bool m_contactsReadable = true;
    bool m_currentUserRepaired = false;
    // Species whose main picture was found missing, and species that lost pictures.
    QSet<QString> m_mainPicCleared;
    QSet<QString> m_speciesLostPictures;
    QString m_failure;
    bool m_stop = false;
};
