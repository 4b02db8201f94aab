#pragma once
// The table file: one SQLite database per table, holding the table's field definitions
// (position, name, type, size) and its records in file order. Records carry the
// dataset's internal record id as their row id, so a save can write exactly the records
// that changed.
//
// Every failure raises an Exception whose message names the file. Reading never modifies
// or creates the file.
#include <QString>
#include <QVariant>
#include <QVector>
#include <functional>
#include <memory>
#include <vector>

#include "platform/ClientDataSet.h"
#include "platform/RecordValues.h"

namespace TableFile {

struct Row {
    qint64 Id = 0;
    const TRecordValues* Values = nullptr;
};

// Reads the field definitions (defs holds them before the first record comes) and then every
// record in file order; onRecord receives the record id and its values (one per field,
// already of the field's type; a text longer than its field's width cut to the width).
// The file's generation (changed by every save) comes back in generation. What a killed
// save left beside the file (a temporary full copy, an empty journal) is removed first.
// Damage is found in the file's header (SQLite's and ours), its field definitions and record
// columns, and in every record and page as it is read.
void Read(const QString& fileName, TFieldDefs& defs,
          const std::function<void(qint64 id, TRecordValues&& values)>& onRecord, qint64* generation = nullptr);

// The file's generation as it is now, read without its records: every save gives a file a
// new generation, so a holder of the records of one generation can tell whether the file
// still holds exactly those. False when the file cannot be read as one of our table files.
// Never raises; reading never modifies the file but for rolling back a commit a killed
// process left, as Read does.
bool ReadGeneration(const QString& fileName, qint64* generation);

// Checks that the file is one of our table files and not damaged: as Read, and besides
// every page of the file, used or free, is checked.
// Raises like Read does.
void Check(const QString& fileName);

// Writes a complete table file atomically: a temporary file in the same folder, made
// durable, then renamed over the target. An existing target that is not one of our table
// files is refused and left alone. Returns the new file's generation.
qint64 WriteFull(const QString& fileName, const TFieldDefs& defs, const std::vector<Row>& rows);

// A connection kept open on a table file for its saves, with its statements prepared once.
// It follows the file by name: when another file has taken the name (a full copy written
// over it), the next commit opens that one.
class Writer {
public:
    Writer();
    ~Writer();
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // Commits the given changes to the existing table file in one transaction, durable when
    // it returns: deletes by id, inserts new ids, updates changed ids. The file's field
    // definitions must equal defs. The record ids only mean something in the file generation
    // they were read from or written to: when the file's generation is no longer
    // *generation (another table wrote the file meanwhile), nothing is written and false
    // comes back, so the caller writes a full copy instead. On success *generation holds the
    // file's new generation. A failure closes the connection.
    [[nodiscard]] bool Commit(const QString& fileName, const TFieldDefs& defs, qint64* generation,
                              const std::vector<qint64>& deleted, const std::vector<Row>& inserted,
                              const std::vector<Row>& changed);
    // Lets go of the file; the next commit opens it again.
    void Close();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Makes a save that was written down before it was made (a save journal's) once more: the
// same deletes, inserts and updates by record id as Writer::Commit, but only while the file
// is still in the generation the save was made against. False when it is not (the save
// reached the file, or the file was written since); then nothing is written.
[[nodiscard]] bool ApplySave(const QString& fileName, const TFieldDefs& defs, qint64 generation,
                             const std::vector<qint64>& deleted, const std::vector<Row>& inserted,
                             const std::vector<Row>& changed);

// The storage forms used in the file (also used by tests and tools).
QString DateText(const QDate& date);
QString DateTimeText(const QDateTime& dateTime);

}  // namespace TableFile
