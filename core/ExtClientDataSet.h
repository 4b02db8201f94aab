#pragma once
// The one table class of the program: an internal dataset bound to the table file holds
// every record; this (visible) dataset holds the records that match Sel. Edits on the
// visible table are written through to the internal one by UKey and saved at once when
// AutoSave is on.
#include <QStringList>
#include <functional>
#include <memory>

#include "platform/ClientDataSet.h"

enum class TCDSWorkMode { wmMemSave, wmTimeSave };

class TExtClientDataSet;
using TEFEvent = std::function<void(TExtClientDataSet*)>;

class TExtClientDataSet : public TClientDataSet {
    Q_OBJECT
public:
    explicit TExtClientDataSet(QObject* owner = nullptr, const QString& name = QString());
    ~TExtClientDataSet() override;

    // ---- Properties ----
    bool AutoSave() const;
    // Setting it from False to True saves the internal table at once.
    void SetAutoSave(bool on);
    QString DatasetId() const;
    void SetDatasetId(const QString& id);
    TCDSWorkMode WorkMode() const;
    // wmMemSave closes the internal table at once.
    void SetWorkMode(TCDSWorkMode mode);
    QStringList& LockRelations();
    const QStringList& LockRelations() const;
    QStringList& Sel();
    const QStringList& Sel() const;
    void SetSel(const QStringList& lines);
    // The internal table's file name.
    QString Filename() const;
    void SetFilename(const QString& fileName);

    // While True, posting leaves Timestamp unchanged.
    bool NoTimestamp = false;

    // Why the table shows nothing and refuses writes: its file could not be read at
    // start-up (a text naming the file, for its screens to show); empty when it was read.
    QString LoadFailure;

    // Called with the table after each internal record is looked at during LoadData.
    std::function<void(TExtClientDataSet*)> AfterICDSScroll;
    // Record-exchange hooks, bound by the data module.
    TEFEvent OnEFAdded, OnEFDeleting, OnEFHeader, OnEFExport, OnEFImport;

    // ---- Operations ----
    // (Re)builds the visible table from the internal one, keeping the records that match Sel.
    void LoadData();
    // LoadData right after OpenInternal has read the file: the records in memory are known to
    // be those of the file, which is not asked again.
    void LoadDataAsRead();
    // Opens the internal table from Filename ("Dataset has no filename" when empty), or from
    // that file as read ahead.
    void OpenInternal(TTableFileRead* readAhead = nullptr);
    void CloseInternal();
    TClientDataSet* InternalDataSet();
    // Saves the internal table to its file, or, while a save unit is open, leaves the save
    // to the unit (core/SaveUnit).
    void SaveInternal();
    // Appends to the visible table a copy of the internal table's current record.
    void CopyRecord();
    // A key not yet used by the table (its stored and its visible records), nor one for
    // which alsoTaken says true (the rows of a working copy not yet stored, for instance).
    QString NewUKey(const std::function<bool(const QString&)>& alsoTaken = {}) const;
    bool Loading() const;

    // The component's name without its first three characters, plus ".dat".
    static QString GetDataFileName(const QObject* component);
    // Copies a record between two tables of like layout, field by field as text.
    static void CopyRecordTo(TClientDataSet* source, TClientDataSet* dest, bool asNew);

protected:
    void DoAfterInsert() override;
    void DoAfterOpen() override;
    void DoAfterPost() override;
    void DoBeforeClose() override;
    void DoBeforeDelete() override;
    void DoBeforePost() override;
    // Also taken over: the deletion of the internal record happens after the visible one,
    // the key of an edited record is remembered, and LoadData keeps these events quiet.
    void DoAfterDelete() override;
    void DoBeforeEdit() override;
    void DoBeforeInsert() override;
    void DoAfterScroll() override;

private:
    void BuildVisible(bool askFile);
    // In wmMemSave, closes the internal table after a use unless it holds unsaved changes.
    void ReleaseInternal();
    class TInternalLease;
    struct Impl;
    std::unique_ptr<Impl> d;
};

// ---- Record keys and time codes ----
// Value in base 26 with the letters A..Z, padded with "A" on the left to width; never cut.
QString LettersFromNumber(qint64 width, quint64 value);
// The time code of the current local time (Clock::Now()); raises
// "Check the date of your Operating System. Year < 2000" before the year 2000.
QString MakeTimeCode(int width);
QString GetUKey(TClientDataSet* dataSet);
[[nodiscard]] bool LocateUKey(TClientDataSet* dataSet, const QString& ukey);
void EditUKey(TClientDataSet* dataSet, const QString& ukey, bool disableControls);
QString GetMasterUKey(TClientDataSet* dataSet);
QString GetCreatedBy(TClientDataSet* dataSet);
// Whether a key has the table's key form: 18 letters and digits, beginning with the table's
// DatasetId. Only such keys become part of a file path.
bool IsValidRecordKey(const QString& key, const QString& datasetId);
// Raises "Ogiltig postnyckel "%s"" when the key does not have the table's key form.
void CheckRecordKey(const QString& key, const QString& datasetId);

// The random part of new keys comes from a generator seeded once from the clock. A test may
// put its own source in (its value is taken modulo 26^4); an empty function restores the
// built-in generator.
void SetUKeyRandomSource(std::function<quint32()> source);
// A value in 0..456,975 from the current source.
quint32 DrawUKeyRandom();
