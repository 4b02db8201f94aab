#pragma once
// The import of the species pictures of a CD edition of SMF's program "Sveriges svampar":
// the editions of cdsSSImportHeader, the search for an edition's CD among the mounted
// volumes, the disk-space check, and the import of the edition's records of cdsSSImport
// into the species pictures. No widgets: the wizard shows what this does.
//
// An imported picture's key is the pictures table's id followed by the last 15 characters of
// its index record's key, so the same CD picture always lands on the same record and a
// second run finds it. Each picture's file and thumbnail are written beside their targets
// and put in place only once the record is posted; a failure leaves an existing picture as
// it was and takes back a record appended for it.
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class TDM;
class TExtClientDataSet;
class TUKeyStringlist;

// One CD edition.
struct TSSRelease {
    QString Name;
    int PicCount = 0;
    int HdSpace = 0;  // MB needed on the disk
    QString CDIdentPaths;  // below the drive: a file that identifies the CD
    QString CDPath;  // below the drive: the picture folder
};

// The editions in the order of their table.
class TSSReleases : public QList<TSSRelease> {
public:
    void Load(TExtClientDataSet* header);
};

// The mounted volumes, as the CD search and the disk-space check see them. Tests give
// their own folders.
class TSSVolumes {
public:
    virtual ~TSSVolumes() = default;
    // The roots of the mounted volumes that can be read, in a fixed order.
    virtual QStringList Roots() const;
    // The bytes free for the program on the volume that holds the path (or would hold it).
    virtual qint64 BytesFree(const QString& path) const;
};

// The disk space an edition needs: (HdSpace + 20) MB.
qint64 SSRequiredBytes(const TSSRelease& release);
// The edition's picture folder on the first volume whose CDIdentPaths file exists (each part
// found without regard to case); empty when no volume holds the CD.
QString SSFindCD(const TSSVolumes& volumes, const TSSRelease& release);
// The identifying file of the edition (the file name of CDIdentPaths) in the folder, found
// without regard to case; empty when it is not there.
QString SSIdentFile(const TSSRelease& release, const QString& folder);
// The key of the picture imported from an index record: the pictures table's id and the last
// 15 characters of the record's key.
QString SSPictureKey(const QString& picturesId, const QString& indexKey);
// Datum of an index record as a date; invalid when it is no date.
QDate SSPictureDate(const QString& text);

// One run of the import over the records of one edition.
class TSSImport {
public:
    // The species are found by name in fungiNames (Swedish, Latin and other names).
    TSSImport(TDM* dm, const TUKeyStringlist& fungiNames);

    // The number of index records of the edition.
    int CountRecords(const QString& release) const;
    // Imports the edition's pictures from the folder. Forced: pictures already imported are
    // copied again and their records rewritten; otherwise they are skipped. Only what the
    // tables and files do not take raises; a record that fails gives a failure line.
    void Run(const TSSRelease& release, const QString& folder, bool forced);
    // The run stops after the record in hand.
    void Abort() { Aborted = true; }

    bool Importing = false;
    bool Aborted = false;
    int Imported = 0;
    int Skipped = 0;
    QStringList Failures;
    // After each record: its running number and the number of records of the edition.
    std::function<void(int current, int total)> OnProgress;

    // The society's address, written into PicSourceURL.
    static const QString SocietyUrl;

private:
    struct TIndexRecord;
    void ImportRecord(const TIndexRecord& record, int number, const TSSRelease& release, const QString& folder,
                      bool forced);

    TDM* m_dm;
    const TUKeyStringlist& m_names;
};
