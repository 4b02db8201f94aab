#pragma once
// A save that spans several files lands whole or not at all.
//
// While a unit is open, the tables of the program do not write their files at each post or
// delete: they wait, and the files that follow their records (pictures, thumbnails) wait
// beside their targets under a name of their own. Commit then writes down the whole save in
// one checked write, a journal file in the database folder, before it writes any table file;
// then it writes the tables' files, puts the waiting files in place and removes the journal.
// A unit that is not committed (an exception on the way) puts every table back as its file
// holds it and drops the waiting files.
//
// A kill between the journal and the end leaves the journal; the next start makes its saves
// again before any table is opened (Recover). Each table's part names the generation of the
// file it was made against, so a part whose file already took it (or was written since) is
// passed over: applying a journal twice, or after a later save of the same table, changes
// nothing.
//
//     TSaveUnit unit(dm);
//     ... posts and deletes on any tables, TPendingFile::Commit ...
//     unit.Commit();
//
// Units nest: an inner unit is part of the outer one, and only the outer one commits.
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class TDM;
class TExtClientDataSet;

class TSaveUnit {
public:
    // The tables of the data module (when given) whose files hold everything now are the
    // ones a unit that fails puts back as their files hold them.
    explicit TSaveUnit(TDM* dm = nullptr);
    ~TSaveUnit();
    TSaveUnit(const TSaveUnit&) = delete;
    TSaveUnit& operator=(const TSaveUnit&) = delete;

    // Writes the unit's tables and files. A failure before any table file was written puts
    // everything back and raises; after the journal, the save stands: what could not be
    // written now is written at the next start, and the failure is raised saying so.
    void Commit();
    // Whether the save stands: Commit got past its journal (or wrote everything).
    bool Committed() const;

    // Called at the steps of a commit, for tests that stop or fail it there: 1 once the
    // journal is written (or, without one, before the one table file), 1 + n once n table
    // files are written, -1 once the waiting files are in place.
    static std::function<void(int step)> StepHook;

    // The unit that collects the saves now, or nullptr.
    static TSaveUnit* Current();
    // A table that would save its file: true when an open unit takes the save over.
    static bool Defer(TExtClientDataSet* table);
    // Puts a finished file (its staged copy) in place, now or, in a unit, at its commit.
    // A failure raises failureText (with "%1" the target).
    static void PlaceFile(const QString& staged, const QString& target, const QString& failureText);
    // Removes a file (one that is not there is no failure), now or at the unit's commit.
    static void RemoveFile(const QString& target);
    static void RemoveFiles(const QStringList& targets);
    // Where the target's content is to be read while the open unit has not yet put it in
    // place: its waiting file, when the unit has one for it; else the target itself.
    static QString CurrentFile(const QString& target);

    // The name a file waits under beside its target until it is put in place; start-up
    // removes such files that no journal names.
    static QString StagedName(const QString& target);

    // At start-up, before any table file is opened: makes again the saves of the journals
    // left in the database folder, then removes them; then removes the temporary files of the
    // program's own patterns left under the program's Data folder. What could not be done is
    // told in Errors (a journal that could not be applied stays for the next start; a damaged
    // one is moved aside).
    struct TRecovery {
        QStringList Errors;
        int Journals = 0;  // journals found
        int TablesWritten = 0;  // table files that took a part
        int FilesPlaced = 0;  // waiting files put in place
        int Swept = 0;  // left-over temporary files removed
    };
    static TRecovery Recover(const QString& programFolder);

    // The journal files' pattern in the database folder.
    static const char* const JournalPattern;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
