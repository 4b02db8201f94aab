#include "core/SaveUnit.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDataStream>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

#include "core/ExtClientDataSet.h"
#include "core/MyUtils.h"
#include "core/ProgramFolders.h"
#include "core/unitDM.h"
#include "platform/AtomicFile.h"
#include "platform/DataSetTypes.h"
#include "platform/Exception.h"
#include "platform/TableFile.h"

const char* const TSaveUnit::JournalPattern = "*.journal";
std::function<void(int step)> TSaveUnit::StepHook;

namespace {

TSaveUnit* g_current = nullptr;

const QByteArray kMagic("MYKOSAVEJOURNAL1");
constexpr int kStreamVersion = QDataStream::Qt_6_4;

const char* const kJournalNotWritten = "Sparningen kunde inte påbörjas: journalfilen \"%1\" kunde inte skrivas.";
const char* const kNotAllWritten =
    "Sparningen är gjord men kunde inte skrivas färdigt till alla filer: %1 Det som saknas skrivs när programmet "
    "startar nästa gång.";

QString Native(const QString& path) { return QDir::toNativeSeparators(path); }

void SyncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// Renames the staged file over its target; the reason of a failure, empty on success.
QString PutInPlace(const QString& staged, const QString& target) {
    QDir().mkpath(QFileInfo(target).absolutePath());
    if (::rename(QFile::encodeName(staged).constData(), QFile::encodeName(target).constData()) != 0)
        return SystemReason(errno);
    SyncFolder(QFileInfo(target).absolutePath());
    return QString();
}

// ---- The journal ----

struct TJournalRow {
    qint64 Id = 0;
    QVector<QVariant> Values;
};

struct TJournalPart {
    QString File;  // absolute
    TFieldDefs Defs;
    qint64 Generation = 0;
    std::vector<qint64> Deleted;
    std::vector<TJournalRow> Inserted, Changed;
};

enum class TOpKind : qint8 { Place = 1, Remove = 2 };

struct TJournalOp {
    TOpKind Kind = TOpKind::Place;
    QString Staged;  // absolute; Place only
    QString Target;  // absolute
    QString FailureText;
};

struct TJournal {
    QList<TJournalPart> Parts;
    QList<TJournalOp> Ops;
};

QString Relative(const QString& folder, const QString& path) { return QDir(folder).relativeFilePath(path); }

QByteArray EncodeJournal(const TJournal& journal, const QString& folder) {
    QByteArray payload;
    {
        QBuffer payloadBuffer(&payload);
        payloadBuffer.open(QIODevice::WriteOnly);
        QDataStream out(&payloadBuffer);
        out.setVersion(kStreamVersion);
        out << qint32(journal.Parts.size());
        for (const TJournalPart& part : journal.Parts) {
            out << Relative(folder, part.File) << qint32(part.Defs.size());
            for (const TFieldDef& def : part.Defs) out << def.Name << qint32(def.DataType) << qint32(def.Size);
            out << part.Generation << qint32(part.Deleted.size());
            for (qint64 id : part.Deleted) out << id;
            for (const std::vector<TJournalRow>* rows : {&part.Inserted, &part.Changed}) {
                out << qint32(rows->size());
                for (const TJournalRow& row : *rows) {
                    out << row.Id << qint32(row.Values.size());
                    for (const QVariant& value : row.Values) out << value;
                }
            }
        }
        out << qint32(journal.Ops.size());
        for (const TJournalOp& op : journal.Ops)
            out << qint8(op.Kind) << (op.Staged.isEmpty() ? QString() : Relative(folder, op.Staged))
                << Relative(folder, op.Target);
    }
    QByteArray bytes = kMagic;
    QBuffer bytesBuffer(&bytes);
    bytesBuffer.open(QIODevice::Append);
    QDataStream out(&bytesBuffer);
    out.setVersion(kStreamVersion);
    out << payload << QCryptographicHash::hash(payload, QCryptographicHash::Sha256);
    return bytes;
}

// A path of the journal that must lie below the program folder.
bool Resolve(const QString& folder, const QString& programFolder, const QString& relative, QString& path) {
    if (relative.isEmpty()) return false;
    path = QDir::cleanPath(QDir(folder).absoluteFilePath(relative));
    const QString root = QDir::cleanPath(programFolder) + QLatin1Char('/');
    return path.startsWith(root) && !path.contains(QLatin1String("/../"));
}

bool DecodeJournal(const QByteArray& bytes, const QString& folder, const QString& programFolder, TJournal& journal) {
    if (!bytes.startsWith(kMagic)) return false;
    QByteArray payload, hash;
    {
        QDataStream in(bytes.mid(kMagic.size()));
        in.setVersion(kStreamVersion);
        in >> payload >> hash;
        if (in.status() != QDataStream::Ok || !in.atEnd()) return false;
    }
    if (hash != QCryptographicHash::hash(payload, QCryptographicHash::Sha256)) return false;
    QDataStream in(payload);
    in.setVersion(kStreamVersion);
    // No count may promise more than the bytes that are left could hold.
    const auto plausible = [&](qint32 count) { return count >= 0 && count <= payload.size(); };
    qint32 parts = 0;
    in >> parts;
    if (!plausible(parts)) return false;
    for (qint32 p = 0; p < parts && in.status() == QDataStream::Ok; ++p) {
        TJournalPart part;
        QString relative;
        qint32 fields = 0;
        in >> relative >> fields;
        if (!Resolve(folder, programFolder, relative, part.File) || !plausible(fields) || fields == 0) return false;
        for (qint32 f = 0; f < fields; ++f) {
            TFieldDef def;
            qint32 type = 0, size = 0;
            in >> def.Name >> type >> size;
            if (type < int(TFieldType::ftString) || type > int(TFieldType::ftFloat) || size < 0) return false;
            def.DataType = TFieldType(type);
            def.Size = size;
            part.Defs.append(def);
        }
        qint32 deleted = 0;
        in >> part.Generation >> deleted;
        if (!plausible(deleted)) return false;
        for (qint32 i = 0; i < deleted; ++i) {
            qint64 id = 0;
            in >> id;
            part.Deleted.push_back(id);
        }
        for (std::vector<TJournalRow>* rows : {&part.Inserted, &part.Changed}) {
            qint32 count = 0;
            in >> count;
            if (!plausible(count)) return false;
            for (qint32 r = 0; r < count && in.status() == QDataStream::Ok; ++r) {
                TJournalRow row;
                qint32 values = 0;
                in >> row.Id >> values;
                if (values != fields) return false;
                row.Values.resize(values);
                for (QVariant& value : row.Values) in >> value;
                rows->push_back(std::move(row));
            }
        }
        journal.Parts.append(std::move(part));
    }
    qint32 ops = 0;
    in >> ops;
    if (!plausible(ops)) return false;
    for (qint32 o = 0; o < ops && in.status() == QDataStream::Ok; ++o) {
        qint8 kind = 0;
        QString staged, target;
        in >> kind >> staged >> target;
        TJournalOp op;
        op.Kind = TOpKind(kind);
        if (op.Kind != TOpKind::Place && op.Kind != TOpKind::Remove) return false;
        if (!Resolve(folder, programFolder, target, op.Target)) return false;
        if (op.Kind == TOpKind::Place && !Resolve(folder, programFolder, staged, op.Staged)) return false;
        journal.Ops.append(op);
    }
    return in.status() == QDataStream::Ok && in.atEnd();
}

QString NewJournalName(const QString& folder) {
    // In the order they were made, also within one millisecond.
    static qint64 last = 0;
    last = std::max(QDateTime::currentMSecsSinceEpoch(), last + 1);
    return folder + QStringLiteral("Save%1.journal").arg(last, 16, 10, QLatin1Char('0'));
}

// The rows point into keep, which must not grow afterwards.
std::vector<TableFile::Row> RowsOf(const std::vector<TJournalRow>& rows, const TFieldDefs& defs,
                                   std::vector<TRecordValues>& keep) {
    keep.clear();
    keep.reserve(rows.size());
    std::vector<TableFile::Row> out;
    out.reserve(rows.size());
    for (const TJournalRow& row : rows) {
        keep.push_back(TRecordValues::FromVariants(row.Values, defs));
        out.push_back({row.Id, &keep.back()});
    }
    return out;
}

// The temporary files of the program's own patterns: a checked write's "<name>.XXXXXX.tmp"
// and a waiting file's "<name>.XXXXXX.new".
const QRegularExpression& LeftOverPattern() {
    static const QRegularExpression pattern(QStringLiteral("^.+\\.[A-Za-z0-9]{6}\\.(tmp|new)$"));
    return pattern;
}

}  // namespace

// ---- The unit ----

struct TSaveUnit::Impl {
    TDM* dm = nullptr;
    TSaveUnit* outer = nullptr;
    QList<QPointer<TExtClientDataSet>> tables;  // those whose saves wait, in order
    QSet<const TExtClientDataSet*> dirtyAtStart;
    QList<TJournalOp> ops;
    bool done = false;  // Commit has run
    bool committed = false;  // and the save stands

    void Rollback() {
        QList<QPointer<TExtClientDataSet>> candidates = tables;
        if (dm)
            for (TExtClientDataSet* table : dm->Tables()) candidates.append(table);
        QSet<TExtClientDataSet*> seen;
        for (const QPointer<TExtClientDataSet>& pointer : candidates) {
            TExtClientDataSet* table = pointer.data();
            if (!table || seen.contains(table)) continue;
            seen.insert(table);
            // A table that held unsaved changes before the unit keeps what memory holds.
            if (dirtyAtStart.contains(table) || !table->AutoSave()) continue;
            TClientDataSet* internal = table->InternalDataSet();
            if (!internal->Active() || !internal->HasUnsavedChanges()) continue;
            try {
                if (table->Active() && table->State() == TDataSetState::dsBrowse) {
                    const QString key = table->IsEmpty() ? QString() : GetUKey(table);
                    table->CloseInternal();
                    table->LoadData();
                    if (!key.isEmpty()) static_cast<void>(LocateUKey(table, key));
                } else {
                    // A record being edited stays in edit; the stored records come back from the file.
                    table->CloseInternal();
                }
            } catch (...) {}
        }
        for (const TJournalOp& op : ops)
            if (op.Kind == TOpKind::Place) QFile::remove(op.Staged);
        ops.clear();
        tables.clear();
    }
};

TSaveUnit::TSaveUnit(TDM* dm) : d(std::make_unique<Impl>()) {
    d->dm = dm;
    if (g_current) {
        d->outer = g_current;
        return;
    }
    g_current = this;
    if (dm)
        for (TExtClientDataSet* table : dm->Tables()) {
            TClientDataSet* internal = table->InternalDataSet();
            if (internal->Active() && internal->HasUnsavedChanges()) d->dirtyAtStart.insert(table);
        }
}

TSaveUnit::~TSaveUnit() {
    if (d->outer) return;
    // What was changed after a failed commit (a caller putting things back) goes too.
    if (!d->committed) d->Rollback();
    if (g_current == this) g_current = nullptr;
}

TSaveUnit* TSaveUnit::Current() { return g_current; }

bool TSaveUnit::Committed() const { return d->outer ? d->outer->Committed() : d->committed; }

bool TSaveUnit::Defer(TExtClientDataSet* table) {
    if (!g_current || !table) return false;
    Impl& unit = *g_current->d;
    if (!unit.tables.contains(table)) unit.tables.append(table);
    return true;
}

QString TSaveUnit::StagedName(const QString& target) {
    QString suffix;
    for (int i = 0; i < 6; ++i)
        suffix += QLatin1Char(
            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"[QRandomGenerator::global()->bounded(62)]);
    return target + QLatin1Char('.') + suffix + QStringLiteral(".new");
}

void TSaveUnit::PlaceFile(const QString& staged, const QString& target, const QString& failureText) {
    if (g_current) {
        TJournalOp op;
        op.Kind = TOpKind::Place;
        op.Staged = QFileInfo(staged).absoluteFilePath();
        op.Target = QFileInfo(target).absoluteFilePath();
        op.FailureText = failureText;
        g_current->d->ops.append(op);
        return;
    }
    const QString why = PutInPlace(staged, target);
    if (!why.isEmpty()) {
        QFile::remove(staged);
        throw Exception(QString(failureText).arg(Native(target)) + QStringLiteral(" (%1)").arg(why));
    }
}

void TSaveUnit::RemoveFile(const QString& target) {
    if (g_current) {
        TJournalOp op;
        op.Kind = TOpKind::Remove;
        op.Target = QFileInfo(target).absoluteFilePath();
        g_current->d->ops.append(op);
        return;
    }
    QFile::remove(target);
}

QString TSaveUnit::CurrentFile(const QString& target) {
    if (!g_current) return target;
    const QString absolute = QFileInfo(target).absoluteFilePath();
    const QList<TJournalOp>& ops = g_current->d->ops;
    for (auto op = ops.crbegin(); op != ops.crend(); ++op) {
        if (op->Target != absolute) continue;
        return op->Kind == TOpKind::Place ? op->Staged : target;
    }
    return target;
}

void TSaveUnit::RemoveFiles(const QStringList& targets) {
    for (const QString& target : targets) RemoveFile(target);
}

void TSaveUnit::Commit() {
    if (d->outer || d->done) return;
    struct TWaiting {
        TExtClientDataSet* Table;
        TJournalPart Part;
    };
    std::vector<TWaiting> waiting;
    for (const QPointer<TExtClientDataSet>& pointer : std::as_const(d->tables)) {
        TExtClientDataSet* table = pointer.data();
        // A table whose saving is off again keeps its changes for when it is switched on.
        if (!table || !table->AutoSave()) continue;
        TClientDataSet* internal = table->InternalDataSet();
        if (!internal->Active() || !internal->HasUnsavedChanges()) continue;
        TClientDataSet::TUnsavedChanges changes = internal->UnsavedChanges();
        TJournalPart part;
        part.File = changes.FileName;
        part.Defs = changes.Defs;
        part.Generation = changes.Generation;
        part.Deleted = std::move(changes.Deleted);
        for (auto& [id, values] : changes.Inserted) part.Inserted.push_back({id, std::move(values)});
        for (auto& [id, values] : changes.Changed) part.Changed.push_back({id, std::move(values)});
        waiting.push_back({table, std::move(part)});
    }
    const QList<TJournalOp> ops = d->ops;

    // One table file alone is written in one commit of its own: it needs no journal.
    QString journalPath;
    QString folder;
    if (waiting.size() > 1 || !ops.isEmpty()) {
        folder = d->dm ? d->dm->DatabaseFolder()
                       : (!waiting.empty() ? FolderWithSlash(QFileInfo(waiting.front().Part.File).absolutePath())
                                           : GetDatabaseFolder());
        TJournal journal;
        for (const TWaiting& w : waiting) journal.Parts.append(w.Part);
        journal.Ops = ops;
        journalPath = NewJournalName(folder);
        try {
            WriteFileAtomically(journalPath, EncodeJournal(journal, folder), QString::fromUtf8(kJournalNotWritten));
        } catch (...) {
            d->done = true;
            d->Rollback();
            throw;
        }
    }

    // From here on the save stands.
    const auto step = [](int n) {
        if (StepHook) StepHook(n);
    };
    QStringList failures;
    TJournal rest;
    int written = 0;
    step(1);
    for (TWaiting& w : waiting) {
        try {
            if (written > 0) step(1 + written);
            ++written;
            w.Table->InternalDataSet()->SaveToFile();
        } catch (const Exception& e) {
            if (journalPath.isEmpty()) {
                d->done = true;
                d->Rollback();
                throw;
            }
            failures << e.Message();
            rest.Parts.append(w.Part);
        }
    }
    if (written > 0) step(1 + written);
    for (const TJournalOp& op : ops) {
        if (op.Kind == TOpKind::Remove) {
            QFile::remove(op.Target);
            continue;
        }
        const QString why = PutInPlace(op.Staged, op.Target);
        if (!why.isEmpty()) {
            failures << QString(op.FailureText).arg(Native(op.Target)) + QStringLiteral(" (%1)").arg(why);
            rest.Ops.append(op);
        }
    }
    step(-1);
    d->ops.clear();
    d->tables.clear();
    d->done = true;
    d->committed = true;
    // Saves made after this are no longer the unit's.
    g_current = nullptr;
    if (journalPath.isEmpty()) return;
    if (failures.isEmpty()) {
        QFile::remove(journalPath);
        return;
    }
    // The journal keeps only what is still to be written.
    try {
        WriteFileAtomically(journalPath, EncodeJournal(rest, folder), QString::fromUtf8(kJournalNotWritten));
    } catch (const Exception&) {
        // The whole journal stays; what it holds of the rest is written again harmlessly.
    }
    throw Exception(QString::fromUtf8(kNotAllWritten).arg(failures.join(QLatin1Char(' '))));
}

// ---- Start-up ----

TSaveUnit::TRecovery TSaveUnit::Recover(const QString& programFolder) {
    TRecovery result;
    const QString root = FolderWithSlash(programFolder);
    const QString folder = DatabaseFolderOf(root);

    struct TFound {
        QString Path;
        TJournal Journal;
        bool Keep = false;
        TJournal Rest;
    };
    std::vector<TFound> journals;
    const QStringList names =
        QDir(folder).entryList({QString::fromLatin1(JournalPattern)}, QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString& name : names) {
        const QString path = folder + name;
        ++result.Journals;
        QFile file(path);
        QByteArray bytes;
        if (file.open(QIODevice::ReadOnly)) bytes = file.readAll();
        TJournal journal;
        if (!file.isOpen() || file.error() != QFileDevice::NoError) {
            result.Errors << QStringLiteral(
                                 "Journalfilen \"%1\" från en sparning som avbröts kunde inte läsas. Den "
                                 "har lämnats kvar och förs in när programmet startar nästa gång.")
                                 .arg(Native(path));
            continue;
        }
        if (!DecodeJournal(bytes, folder, root, journal)) {
            QString aside = path + QStringLiteral(".damaged");
            for (int n = 2; QFileInfo::exists(aside); ++n) aside = path + QStringLiteral(".damaged%1").arg(n);
            const bool moved = QFile::rename(path, aside);
            result.Errors << QStringLiteral(
                                 "Journalfilen \"%1\" från en sparning som avbröts är skadad och har inte "
                                 "förts in. %2")
                                 .arg(Native(path),
                                      moved ? QStringLiteral("Den finns kvar som \"%1\".").arg(Native(aside))
                                            : QStringLiteral("Den har lämnats kvar."));
            continue;
        }
        journals.push_back({path, std::move(journal), false, {}});
    }
    // Files waiting for a journal that could not be read may be what it names: they stay.
    const bool keepWaiting = journals.size() < size_t(result.Journals);

    // Each table file takes the newest part that was made against its present generation:
    // that part holds every change the file had not got, the older ones only some of them.
    QStringList files;
    for (const TFound& j : journals)
        for (const TJournalPart& part : j.Journal.Parts)
            if (!files.contains(part.File)) files << part.File;
    for (const QString& file : std::as_const(files)) {
        bool settled = false;
        QString failure;
        for (auto j = journals.rbegin(); j != journals.rend() && !settled && failure.isEmpty(); ++j) {
            for (const TJournalPart& part : j->Journal.Parts) {
                if (part.File != file) continue;
                try {
                    std::vector<TRecordValues> insertedValues, changedValues;
                    const auto inserted = RowsOf(part.Inserted, part.Defs, insertedValues);
                    const auto changed = RowsOf(part.Changed, part.Defs, changedValues);
                    if (TableFile::ApplySave(file, part.Defs, part.Generation, part.Deleted, inserted, changed)) {
                        ++result.TablesWritten;
                        settled = true;
                        break;
                    }
                } catch (const Exception& e) {
                    failure = e.Message();
                    break;
                }
            }
        }
        if (failure.isEmpty()) continue;
        result.Errors << QStringLiteral(
                             "En sparning som avbröts kunde inte föras in i tabellfilen \"%1\": %2 Den "
                             "förs in när programmet startar nästa gång.")
                             .arg(Native(file), failure);
        // Every journal with a part for this file stays, with that part.
        for (TFound& j : journals)
            for (const TJournalPart& part : j.Journal.Parts)
                if (part.File == file) {
                    j.Keep = true;
                    j.Rest.Parts.append(part);
                }
    }

    for (TFound& j : journals) {
        for (const TJournalOp& op : j.Journal.Ops) {
            if (op.Kind == TOpKind::Remove) {
                if (QFileInfo::exists(op.Target) && !QFile::remove(op.Target)) {
                    j.Keep = true;
                    j.Rest.Ops.append(op);
                    result.Errors << QStringLiteral(
                                         "Filen \"%1\" skulle tas bort av en sparning som avbröts men "
                                         "kunde inte tas bort.")
                                         .arg(Native(op.Target));
                }
                continue;
            }
            // A waiting file that is gone was put in place before the stop.
            if (!QFileInfo::exists(op.Staged)) continue;
            const QString why = PutInPlace(op.Staged, op.Target);
            if (why.isEmpty()) {
                ++result.FilesPlaced;
                continue;
            }
            j.Keep = true;
            j.Rest.Ops.append(op);
            result.Errors << QStringLiteral(
                                 "Filen \"%1\" från en sparning som avbröts kunde inte läggas på plats "
                                 "(%2). Den läggs på plats när programmet startar nästa gång.")
                                 .arg(Native(op.Target), why);
        }
    }
    QSet<QString> waitingFiles;
    for (const TFound& j : journals) {
        if (!j.Keep) {
            QFile::remove(j.Path);
            continue;
        }
        for (const TJournalOp& op : j.Rest.Ops)
            if (op.Kind == TOpKind::Place) waitingFiles.insert(op.Staged);
        try {
            WriteFileAtomically(j.Path, EncodeJournal(j.Rest, folder), QString::fromUtf8(kJournalNotWritten));
        } catch (const Exception&) {
            // The journal stays as it was: what it holds is made again harmlessly.
            for (const TJournalOp& op : j.Journal.Ops)
                if (op.Kind == TOpKind::Place) waitingFiles.insert(op.Staged);
        }
    }
    if (!journals.empty()) SyncFolder(folder);

    // What killed writes left behind: checked writes never renamed, files that waited for a
    // unit that never committed.
    const QString data = root + QStringLiteral("Data");
    QDirIterator it(data, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        if (info.isSymLink() || !LeftOverPattern().match(info.fileName()).hasMatch()) continue;
        if (waitingFiles.contains(info.absoluteFilePath())) continue;
        if (keepWaiting && info.fileName().endsWith(QLatin1String(".new"))) continue;
        if (QFile::remove(path)) ++result.Swept;
    }
    return result;
}
