#pragma once
// The services of the data module that several screens share: the species selection built
// from the quick selection, long texts kept as rows, the place selection, the places of each
// species, the contacts' reference counts and the cascading deletes of dependent rows and
// files, with the record-exchange hooks of the tables.
//
// The data layer knows no screen: what it needs of the main window (the quick-selection
// state, the settings store, the path builders, the calls that tell screens to update) comes
// in through TDMServiceHooks, which the main window fills. A hook left empty does nothing.
// Files named by records are built by ProgramFolders below the data module's program folder.
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

#include "core/ProgramFolders.h"
#include "core/QuickSelectionHandler.h"

class QIODevice;
class TClientDataSet;
class TDM;
class TExtClientDataSet;
class TFRIniFile;

// What the data module takes from the main window.
struct TDMServiceHooks {
    // The main window's quick selection; while unset the services keep their own.
    TQuickSelectionHandler* QuickSelection = nullptr;
    // The settings store the quick selection is loaded from.
    TFRIniFile* Settings = nullptr;

    // The hour-glass cursor on (True) and off again.
    std::function<void(bool busy)> SetBusyCursor;
    // The species table was reloaded by the quick selection: the species screen and its
    // frame update.
    std::function<void()> UpdateFungiScreen;
    // A picture was posted or deleted: the species screen writes the picture count.
    std::function<void()> FungiPicsChanged;
    // The species table moved to another record: the species frame, when one exists,
    // updates itself.
    std::function<void()> FungiScrolled;
    // An imported picture marked as the source of the main picture, of a species that has
    // none: the picture screen makes the main picture (arguments: species key, picture key).
    std::function<void(const QString& fungiKey, const QString& picKey)> MakeMainPicture;
};

// A field of a table that names a contact.
struct TRefField {
    enum TKind {
        Key,  // holds a contact's key
        Reference,  // holds " UKEY=" and a contact's key, or a free name that is no use
    };
    QString Field;
    TKind Kind;
};

// The fields of one table that count as uses of a contact.
struct TTableRefFields {
    QString Table;  // "cdsFungi"
    QList<TRefField> Fields;
};

class TDMServices : public QObject {
    Q_OBJECT
public:
    // The prefix of a contact reference.
    static const QString RefPrefix;  // " UKEY="

    // Binds the services' hooks to the tables of the data module, once; later calls give
    // the same object. It lives as long as the data module.
    static TDMServices* Install(TDM* dm);
    // The services of a data module, or nullptr before Install.
    static TDMServices* Of(const TDM* dm);

    TDM* DM() const { return m_dm; }
    // A file a record names, below the data module's program folder.
    QString FileOf(TKeyFile kind, const QString& key) const;
    TDMServiceHooks Hooks;
    // The quick selection in use: the main window's, or the services' own.
    TQuickSelectionHandler& QuickSelection();

    // ---- Quick selection ----
    // Reads the section "QuickSelection" of the settings store into the handler; without
    // that section, or without a store, the handler stays as it is. A value that cannot be
    // read leaves its part of the handler as it was.
    void LoadQuickSelection(TQuickSelectionHandler& handler);
    // Rebuilds the species table's selection from the quick selection (or clears it) and
    // reloads the species table.
    void BuildQuickSelection(bool clearOnly);
    // The selection lines for a quick selection (empty: every species).
    static QStringList QuickSelectionLines(const TQuickSelectionHandler& handler);

    // ---- Text rows ----
    // Replaces the rows of RowFlag of the current parent record by the text's lines, cut
    // into rows of RowWidth characters. The new rows are written first and the old ones
    // removed after, and the table's file is saved once; a failure leaves the old rows.
    void SaveTextRows(const QStringList& lines, TExtClientDataSet* dataSet, int rowWidth, int rowFlag);
    // The lines stored in the rows of RowFlag of the current parent record.
    QStringList LoadTextRows(TExtClientDataSet* dataSet, int rowFlag);
    void LoadTextRows(TExtClientDataSet* dataSet, QStringList& lines, int rowFlag);

    // ---- Species descriptions ----
    // What a description stores besides the species record: its Swedish and Latin synonyms,
    // one per row, and the rows of its free text (each at most as wide as RowText).
    struct TFungiDescription {
        QStringList SwedishNames;
        QStringList LatinNames;
        QStringList TextRows;
    };
    // Posts the species being edited in cdsFungi together with its description: the species'
    // name rows are replaced, and of its free-text rows those of RowFlag 0 (rows of other
    // flags stay). Each table saves its file once. A failure anywhere leaves the names and
    // texts as they were, the species still being edited with what was typed, and raises.
    void SaveFungiDescription(const TFungiDescription& description);

    // ---- Places ----
    // Shows the places of a district, else of a province, else all places.
    void SetPlaceSelection(const QString& province, const QString& district);
    // Fills the places of each species: one row per species and place where a find of
    // the species was made on a visit to the place, over every stored place and visit.
    void BuildPlacesPerFungi();

    // ---- Contact references ----
    // The fields that count as uses of a contact, per table, in the tables' order.
    static const QList<TTableRefFields>& ReferenceFields();
    static const TTableRefFields* ReferenceFieldsOf(const QString& tableName);
    // The contact key that a value of a reference field names, or empty when none.
    static QString ReferencedKey(const TRefField& field, const QString& value);
    enum TRefOp { roAdd = 0, roSubtract = 1 };
    // Adds (Op 0) or subtracts (Op 1) one use of the contact that Ref names (" UKEY=" and
    // a key, or a bare key); the count never goes below 0 and the contact's Timestamp stays
    // as it is. The new count, or -1 when Ref is empty or no contact has the key.
    int ChangeRefCount(TRefOp op, const QString& ref);
    // The contact's name for a reference " UKEY=" + key (empty when no contact has the key,
    // "Mykotekshallen" for an empty key); any other text unchanged.
    QString GetRefText(const QString& ref);
    // The contact's UserName; "Mykotekshallen" for an empty key, empty when none has it.
    QString GetContactName(const QString& contactKey);

    // ---- Record exchange ----
    // A one-line title of the table's current record.
    QString EFHeader(TExtClientDataSet* table);
    // The files that travel with the current record, in stream order (those that exist
    // are written, see EFExport).
    QStringList EFFiles(TExtClientDataSet* table);
    // Writes the current record's files into the exchange stream.
    void EFExport(TExtClientDataSet* table, QIODevice& stream);
    // Reads them back into the current record's files.
    void EFImport(TExtClientDataSet* table, QIODevice& stream);

    // ---- Stored records ----
    // Changes fields of a stored record whatever the table's selection shows (its visible
    // copy follows when there is one), stamps it and saves the table.
    static void SetStoredValues(TExtClientDataSet* table, const QString& key,
                                const QList<QPair<QString, QVariant>>& values) {
        UpdateStored(table, key, values, true);
    }

private:
    explicit TDMServices(TDM* dm);
    class TBatch;
    struct TCascadeRule;
    // One stored record, its values by field name (without regard to case).
    struct TRecord {
        bool Found = false;
        QHash<QString, QVariant> Values;
        QVariant Value(const QString& field) const { return Values.value(field.toLower()); }
        QString Str(const QString& field) const { return Value(field).toString(); }
        bool Bool(const QString& field) const { return Value(field).toBool(); }
        int Int(const QString& field) const { return Value(field).toInt(); }
        QString Key() const { return Str(QStringLiteral("UKey")); }
    };
    struct TRefChange {
        QString Key;
        TRefOp Op;
    };

    void BindHooks();
    TExtClientDataSet* Table(const QString& name) const;
    static const QList<TCascadeRule>& CascadeRules();
    static const TCascadeRule* CascadeRuleOf(const QString& tableName);

    // Table events.
    void OnBeforeEdit(TExtClientDataSet* table);
    void OnBeforePost(TExtClientDataSet* table);
    void OnAfterPost(TExtClientDataSet* table);
    void OnBeforeDelete(TExtClientDataSet* table);
    void OnAfterDelete(TExtClientDataSet* table);

    // Cascades.
    void CheckWritable(const QString& tableName, QStringList& seen);
    void DeleteDetails(const QString& tableName, const QString& masterKey, TBatch& batch);
    void DeleteRow(const QString& tableName, const TRecord& row, TBatch& batch);
    QStringList FilesOf(const QString& tableName, const TRecord& row) const;
    QList<TRefChange> UsesOf(const QString& tableName, const TRecord& row, TRefOp op) const;
    void AfterFungiPicDeleted(const TRecord& pic);
    void AfterUserDeleted(const TRecord& user);

    // Stored records, read and written past the visible table's cursor and events.
    static TRecord StoredRecord(TExtClientDataSet* table, const QString& key);
    static void UpdateStored(TExtClientDataSet* table, const QString& key,
                             const QList<QPair<QString, QVariant>>& values, bool stamp);

    TDM* m_dm;
    TQuickSelectionHandler m_ownQuickSelection;
    // Values of the reference fields when an edit began, per table, with the record's key.
    QHash<TExtClientDataSet*, QPair<QString, QStringList>> m_editMemory;
    // Uses to count once a post has reached the table's file.
    QHash<TExtClientDataSet*, QList<TRefChange>> m_pendingUses;
    // The record being deleted, from before its delete to after it.
    QHash<TExtClientDataSet*, TRecord> m_pendingDelete;
};
