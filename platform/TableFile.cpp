#include "platform/TableFile.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QRandomGenerator>
#include <QTemporaryFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <limits>

namespace TableFile {
namespace {

// "MYKT": marks a database as one of our table files.
constexpr int kApplicationId = 0x4D594B54;
constexpr int kFormatVersion = 1;

QString Quoted(const QString& fileName) { return QStringLiteral("\"%1\"").arg(QDir::toNativeSeparators(fileName)); }

[[noreturn]] void FailOpen(const QString& fileName, const QString& why) {
    throw Exception(QStringLiteral("Tabellfilen %1 kunde inte öppnas: %2").arg(Quoted(fileName), why));
}
[[noreturn]] void FailDamaged(const QString& fileName, const QString& why) {
    throw Exception(QStringLiteral("Tabellfilen %1 är skadad: %2").arg(Quoted(fileName), why));
}
[[noreturn]] void FailForeign(const QString& fileName) {
    throw Exception(QStringLiteral("Filen %1 är ingen tabellfil för Mykotekshallen").arg(Quoted(fileName)));
}
[[noreturn]] void FailSave(const QString& fileName, const QString& why) {
    throw Exception(QStringLiteral("Tabellfilen %1 kunde inte sparas: %2").arg(Quoted(fileName), why));
}

// SQLite's reason in Swedish, its own words after it in parentheses for whoever needs them.
QString SqliteText(sqlite3* db) {
    const QString detail = QString::fromUtf8(sqlite3_errmsg(db));
    QString reason;
    switch (sqlite3_errcode(db) & 0xFF) {
        case SQLITE_READONLY:
            reason = QStringLiteral("filen eller mappen är skrivskyddad");
            break;
        case SQLITE_FULL:
            reason = QStringLiteral("disken är full");
            break;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            reason = QStringLiteral("filen är skadad eller ingen databas");
            break;
        case SQLITE_CANTOPEN:
            reason = QStringLiteral("filen kan inte öppnas");
            break;
        case SQLITE_IOERR:
            reason = QStringLiteral("läs- eller skrivfel på disken");
            break;
        case SQLITE_PERM:
        case SQLITE_AUTH:
            reason = QStringLiteral("åtkomst nekad");
            break;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            reason = QStringLiteral("filen är låst av ett annat program");
            break;
        case SQLITE_NOMEM:
            reason = QStringLiteral("minnet räcker inte");
            break;
        default:
            reason = QStringLiteral("databasfel");
            break;
    }
    return QStringLiteral("%1 (SQLite: %2)").arg(reason, detail);
}

// Owns one connection.
class Db {
public:
    Db() = default;
    ~Db() { Close(); }
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;
    int Open(const QString& fileName, int flags) {
        Close();
        // Without SQLite's count of its memory, which takes one lock for the whole process
        // at every allocation: tables are read side by side. Set before SQLite starts; later
        // it changes nothing.
        static const bool configured = [] {
            sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
            return true;
        }();
        (void)configured;
        const QByteArray path = QFile::encodeName(fileName);
        const int rc = sqlite3_open_v2(path.constData(), &m_db, flags, nullptr);
        if (m_db) {
            sqlite3_extended_result_codes(m_db, 1);
            sqlite3_busy_timeout(m_db, 5000);
        }
        return rc;
    }
    void Close() {
        if (m_db) sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    sqlite3* get() const { return m_db; }
    // Runs statements without a callback; returns the result code.
    int Exec(const char* sql) { return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr); }

private:
    sqlite3* m_db = nullptr;
};

// Owns one prepared statement.
class Stmt {
public:
    Stmt(sqlite3* db, const QString& sql) {
        const QByteArray text = sql.toUtf8();
        m_rc = sqlite3_prepare_v2(db, text.constData(), int(text.size()), &m_stmt, nullptr);
    }
    ~Stmt() {
        if (m_stmt) sqlite3_finalize(m_stmt);
    }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    bool Ok() const { return m_rc == SQLITE_OK && m_stmt; }
    int PrepareCode() const { return m_rc; }
    sqlite3_stmt* get() const { return m_stmt; }
    int Step() { return sqlite3_step(m_stmt); }
    void Reset() {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
    int m_rc = SQLITE_ERROR;
};

bool IsDamageCode(int rc) {
    const int primary = rc & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB || primary == SQLITE_FORMAT;
}

// The file must exist as a readable regular file that starts like an SQLite database.
void CheckPlainFile(const QString& fileName) {
    const QFileInfo info(fileName);
    if (!info.exists()) FailOpen(fileName, QStringLiteral("filen finns inte"));
    if (!info.isFile()) FailOpen(fileName, QStringLiteral("det är ingen vanlig fil"));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) FailOpen(fileName, QStringLiteral("filen kan inte läsas"));
    const QByteArray head = file.read(100);
    static const QByteArray magic("SQLite format 3\0", 16);
    if (head.size() < 100 || !head.startsWith(magic)) {
        if (head.isEmpty()) FailDamaged(fileName, QStringLiteral("filen är tom"));
        FailForeign(fileName);
    }
    // The application id sits big-endian at offset 68 of the header; checking it here
    // keeps SQLite away from other programs' databases altogether.
    const auto* p = reinterpret_cast<const uchar*>(head.constData()) + 68;
    const quint32 appId = (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
    if (appId != quint32(kApplicationId)) FailForeign(fileName);
}

int ScalarInt(Db& db, const char* sql, int* rcOut) {
    Stmt st(db.get(), QString::fromUtf8(sql));
    if (!st.Ok()) {
        *rcOut = st.PrepareCode();
        return 0;
    }
    const int rc = st.Step();
    if (rc != SQLITE_ROW) {
        *rcOut = rc;
        return 0;
    }
    *rcOut = SQLITE_OK;
    return sqlite3_column_int(st.get(), 0);
}

// Removes what an interrupted save of this table left beside it: temporary full copies
// ("<name>.XXXXXX.tmp", never renamed into place) and an empty rollback journal (a commit
// killed before it wrote one page; SQLite ignores it). A journal with content is a hot
// journal and stays for SQLite to roll back.
void SweepLitter(const QString& fileName) {
    const QFileInfo target(fileName);
    QDir folder = target.absoluteDir();
    const QString prefix = target.fileName() + QLatin1Char('.');
    // The folder's names are read straight, without a file's details each: start-up sweeps
    // beside every table of the folder.
    QStringList temps;
    if (DIR* listing = ::opendir(QFile::encodeName(folder.absolutePath()).constData())) {
        while (const dirent* entry = ::readdir(listing)) {
            const QString name = QFile::decodeName(entry->d_name);
            // Exactly the pattern of the temporary copies: prefix, six characters, ".tmp".
            if (name.size() == prefix.size() + 10 && name.startsWith(prefix) &&
                name.endsWith(QLatin1String(".tmp"), Qt::CaseInsensitive) &&
                !name.mid(prefix.size(), 6).contains(QLatin1Char('.')))
                temps.append(name);
        }
        ::closedir(listing);
    }
    for (const QString& name : temps)
        if (!QFileInfo(folder.filePath(name)).isDir()) folder.remove(name);
    const QFileInfo journal(target.absoluteFilePath() + QStringLiteral("-journal"));
    if (journal.isFile() && !journal.isSymLink() && journal.size() == 0) QFile::remove(journal.absoluteFilePath());
}

// Opens read-only. A hot journal left by a process that died in a commit must be rolled
// back before the file can be read; that needs a writable connection once, and brings
// the file back to its last commit.
void OpenForReading(Db& db, const QString& fileName) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        // The connection lives in one thread only: no locking of each call.
        int rc = db.Open(fileName, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX);
        if (rc != SQLITE_OK) {
            const QString why = db.get() ? SqliteText(db.get()) : QStringLiteral("minnet räcker inte");
            if (IsDamageCode(rc)) FailDamaged(fileName, why);
            FailOpen(fileName, why);
        }
        const int appId = ScalarInt(db, "PRAGMA application_id", &rc);
        if (rc == SQLITE_READONLY_ROLLBACK && attempt == 0) {
            db.Close();
            Db writer;
            if (writer.Open(fileName, SQLITE_OPEN_READWRITE) == SQLITE_OK)
                writer.Exec("SELECT count(*) FROM sqlite_master");
            continue;
        }
        if (rc != SQLITE_OK) {
            if (IsDamageCode(rc)) FailDamaged(fileName, SqliteText(db.get()));
            FailOpen(fileName, SqliteText(db.get()));
        }
        if (appId != kApplicationId) FailForeign(fileName);
        return;
    }
    FailOpen(fileName, QStringLiteral("en avbruten sparning kunde inte återställas"));
}

QString TypeColumn(TFieldType type) {
    switch (type) {
        case TFieldType::ftInteger:
        case TFieldType::ftBoolean:
            return QStringLiteral("INTEGER");
        // No affinity: a REAL column would store whole numbers as integers and lose -0.0.
        case TFieldType::ftFloat:
            return QString();
        default:
            return QStringLiteral("TEXT");
    }
}

TFieldType TypeFromName(const QString& name) {
    for (TFieldType t : {TFieldType::ftString, TFieldType::ftInteger, TFieldType::ftBoolean, TFieldType::ftDate,
                         TFieldType::ftDateTime, TFieldType::ftFloat})
        if (FieldTypeName(t) == name) return t;
    return TFieldType::ftUnknown;
}

QString ColumnText(sqlite3_stmt* st, int col) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
    return QString::fromUtf8(text, sqlite3_column_bytes(st, col));
}

// Reads and checks the field definitions of an open file.
TFieldDefs ReadDefs(Db& db, const QString& fileName) {
    Stmt st(db.get(), QStringLiteral("SELECT pos, name, type, size FROM fielddefs ORDER BY pos"));
    if (!st.Ok()) {
        if (IsDamageCode(st.PrepareCode())) FailDamaged(fileName, SqliteText(db.get()));
        FailDamaged(fileName, QStringLiteral("fältdefinitionerna saknas"));
    }
    TFieldDefs defs;
    QSet<QString> names;
    int rc;
    while ((rc = st.Step()) == SQLITE_ROW) {
        TFieldDef def;
        const qint64 pos = sqlite3_column_int64(st.get(), 0);
        def.Name = ColumnText(st.get(), 1);
        def.DataType = TypeFromName(ColumnText(st.get(), 2));
        const qint64 size = sqlite3_column_int64(st.get(), 3);
        if (pos != defs.size()) FailDamaged(fileName, QStringLiteral("fältens ordning är bruten"));
        if (def.Name.isEmpty() || names.contains(def.Name.toLower()))
            FailDamaged(fileName, QStringLiteral("felaktigt fältnamn på plats %1").arg(pos));
        if (def.DataType == TFieldType::ftUnknown)
            FailDamaged(fileName, QStringLiteral("okänd typ för fältet \"%1\"").arg(def.Name));
        if (size < 0 || size > 1000000 || (def.DataType != TFieldType::ftString && size != 0))
            FailDamaged(fileName, QStringLiteral("felaktig storlek för fältet \"%1\"").arg(def.Name));
        def.Size = int(size);
        names.insert(def.Name.toLower());
        defs.append(def);
    }
    if (rc != SQLITE_DONE) FailDamaged(fileName, SqliteText(db.get()));
    if (defs.isEmpty()) FailDamaged(fileName, QStringLiteral("fältdefinitionerna saknas"));
    return defs;
}

void CheckRecordColumns(Db& db, const QString& fileName, int fieldCount) {
    Stmt st(db.get(), QStringLiteral("PRAGMA table_info(records)"));
    if (!st.Ok()) FailDamaged(fileName, SqliteText(db.get()));
    int n = 0;
    int rc;
    while ((rc = st.Step()) == SQLITE_ROW) {
        const QString name = ColumnText(st.get(), 1);
        const QString expected = n == 0 ? QStringLiteral("rid") : QStringLiteral("f%1").arg(n);
        if (name != expected) FailDamaged(fileName, QStringLiteral("unexpected record column '%1'").arg(name));
        ++n;
    }
    if (rc != SQLITE_DONE) FailDamaged(fileName, SqliteText(db.get()));
    if (n != fieldCount + 1) FailDamaged(fileName, QStringLiteral("posterna stämmer inte med fältdefinitionerna"));
}

void QuickCheck(Db& db, const QString& fileName) {
    Stmt st(db.get(), QStringLiteral("PRAGMA quick_check"));
    if (!st.Ok()) FailDamaged(fileName, SqliteText(db.get()));
    const int rc = st.Step();
    if (rc != SQLITE_ROW) FailDamaged(fileName, SqliteText(db.get()));
    const QString result = ColumnText(st.get(), 0);
    if (result == QLatin1String("ok")) return;
    // The first problem found is enough for the message.
    for (const QString& line : result.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        if (!line.startsWith(QLatin1String("***")))
            FailDamaged(fileName, QStringLiteral("sidorna hänger inte ihop (SQLite: %1)").arg(line.trimmed()));
    FailDamaged(fileName, QStringLiteral("sidorna hänger inte ihop (SQLite: %1)").arg(result.trimmed()));
}

qint64 NewGeneration() { return qint64(QRandomGenerator::global()->generate64() & 0x7fffffffffffffffULL); }

// The generation of an open file; false when the file has none (damaged).
bool ReadGeneration(Db& db, qint64* generation) {
    Stmt st(db.get(), QStringLiteral("SELECT generation FROM fileinfo WHERE id=1"));
    if (!st.Ok() || st.Step() != SQLITE_ROW) return false;
    *generation = sqlite3_column_int64(st.get(), 0);
    return true;
}

// Reads one column of a record into the field's slot; false when the stored value does not
// fit the field's type.
bool DecodeInto(TRecordValues::Builder& out, int field, sqlite3_stmt* st, int col, const TFieldDef& def) {
    const int kind = sqlite3_column_type(st, col);
    if (kind == SQLITE_NULL) return true;
    switch (def.DataType) {
        case TFieldType::ftString: {
            if (kind == SQLITE_BLOB) return false;
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
            out.SetUtf8(field, text, sqlite3_column_bytes(st, col), def.Size);
            return true;
        }
        case TFieldType::ftInteger: {
            if (kind != SQLITE_INTEGER) return false;
            const qint64 v = sqlite3_column_int64(st, col);
            if (v < INT32_MIN || v > INT32_MAX) return false;
            out.SetNumber(field, v);
            return true;
        }
        case TFieldType::ftBoolean: {
            if (kind != SQLITE_INTEGER) return false;
            const qint64 v = sqlite3_column_int64(st, col);
            if (v != 0 && v != 1) return false;
            out.SetNumber(field, v);
            return true;
        }
        case TFieldType::ftFloat:
            if (kind != SQLITE_FLOAT && kind != SQLITE_INTEGER) return false;
            out.SetFloat(field, sqlite3_column_double(st, col));
            return true;
        case TFieldType::ftDate: {
            if (kind != SQLITE_TEXT) return false;
            const QDate d = QDate::fromString(ColumnText(st, col), Qt::ISODate);
            if (!d.isValid()) return false;
            out.SetNumber(field, d.toJulianDay());
            return true;
        }
        case TFieldType::ftDateTime: {
            if (kind != SQLITE_TEXT) return false;
            const QDateTime dt = QDateTime::fromString(ColumnText(st, col), Qt::ISODateWithMs);
            if (!dt.isValid()) return false;
            out.SetNumber(field, dt.toMSecsSinceEpoch());
            return true;
        }
        case TFieldType::ftUnknown:
            break;
    }
    return false;
}

// Binds one text; SQLite copies it.
int BindText(sqlite3_stmt* st, int param, QStringView text) {
    const QByteArray utf8 = text.toUtf8();
    return sqlite3_bind_text(st, param, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

// Binds one record value; texts are copied by SQLite.
int BindValue(sqlite3_stmt* st, int param, const TRecordValues& values, int field, TFieldType type) {
    if (values.IsNull(field)) return sqlite3_bind_null(st, param);
    switch (type) {
        case TFieldType::ftString:
            return BindText(st, param, values.Text(field));
        case TFieldType::ftInteger:
            return sqlite3_bind_int(st, param, int(values.Number(field)));
        case TFieldType::ftBoolean:
            return sqlite3_bind_int(st, param, values.Number(field) != 0 ? 1 : 0);
        case TFieldType::ftFloat:
            return sqlite3_bind_double(st, param, values.Float(field));
        case TFieldType::ftDate:
            return BindText(st, param, DateText(QDate::fromJulianDay(values.Number(field))));
        case TFieldType::ftDateTime:
            return BindText(st, param,
                            DateTimeText(QDateTime::fromMSecsSinceEpoch(values.Number(field), Qt::LocalTime)));
        case TFieldType::ftUnknown:
            break;
    }
    return sqlite3_bind_null(st, param);
}

QString InsertSql(int fieldCount) {
    QString cols = QStringLiteral("rid");
    QString params = QStringLiteral("?");
    for (int i = 1; i <= fieldCount; ++i) {
        cols += QStringLiteral(",f%1").arg(i);
        params += QStringLiteral(",?");
    }
    return QStringLiteral("INSERT INTO records(%1) VALUES(%2)").arg(cols, params);
}

QString UpdateSql(int fieldCount) {
    QString sets;
    for (int i = 1; i <= fieldCount; ++i) {
        if (i > 1) sets += QLatin1Char(',');
        sets += QStringLiteral("f%1=?").arg(i);
    }
    return QStringLiteral("UPDATE records SET %1 WHERE rid=?").arg(sets);
}

// Binds the id and the values of a row for the insert statement (id first) or the update
// statement (id last).
int BindRow(Stmt& st, const TFieldDefs& defs, const Row& row, bool idFirst) {
    const int n = int(defs.size());
    int rc = sqlite3_bind_int64(st.get(), idFirst ? 1 : n + 1, row.Id);
    for (int i = 0; i < n && rc == SQLITE_OK; ++i) {
        rc = BindValue(st.get(), idFirst ? i + 2 : i + 1, *row.Values, i, defs.at(i).DataType);
    }
    return rc;
}

void SyncPath(const QByteArray& path, bool directory) {
    const int fd = ::open(path.constData(), directory ? O_RDONLY | O_DIRECTORY : O_RDONLY);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

QString DateText(const QDate& date) { return date.toString(Qt::ISODate); }

QString DateTimeText(const QDateTime& dateTime) {
    return dateTime.toLocalTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"));
}

namespace {

void ReadFile(const QString& fileName, TFieldDefs& defs,
              const std::function<void(qint64 id, TRecordValues&& values)>& onRecord, qint64* generation,
              bool checkEveryPage) {
    CheckPlainFile(fileName);
    SweepLitter(fileName);
    Db db;
    OpenForReading(db, fileName);
    // SQLite checks each page it reads the more closely, so that damage met while reading
    // is reported rather than read.
    if (db.Exec("PRAGMA cell_size_check=ON") != SQLITE_OK) FailDamaged(fileName, SqliteText(db.get()));
    int rc;
    const int version = ScalarInt(db, "PRAGMA user_version", &rc);
    if (rc != SQLITE_OK) FailDamaged(fileName, SqliteText(db.get()));
    if (version != kFormatVersion) FailOpen(fileName, QStringLiteral("okänd filversion %1").arg(version));
    if (checkEveryPage) QuickCheck(db, fileName);
    qint64 fileGeneration = 0;
    if (!ReadGeneration(db, &fileGeneration)) FailDamaged(fileName, QStringLiteral("filinformationen saknas"));
    TFieldDefs fileDefs = ReadDefs(db, fileName);
    const int n = int(fileDefs.size());
    CheckRecordColumns(db, fileName, n);
    // Known to the caller before its first record.
    defs = fileDefs;

    {
        QString cols = QStringLiteral("rid");
        for (int i = 1; i <= n; ++i) cols += QStringLiteral(",f%1").arg(i);
        Stmt st(db.get(), QStringLiteral("SELECT %1 FROM records ORDER BY rid").arg(cols));
        if (!st.Ok()) FailDamaged(fileName, SqliteText(db.get()));
        qint64 lastId = std::numeric_limits<qint64>::min();
        TRecordValues::Builder builder;
        while ((rc = st.Step()) == SQLITE_ROW) {
            const qint64 id = sqlite3_column_int64(st.get(), 0);
            // Ids in rising order, each once: anything else is a damaged b-tree.
            if (id <= lastId) FailDamaged(fileName, QStringLiteral("posternas ordning är bruten vid post %1").arg(id));
            lastId = id;
            builder.Start(n);
            for (int i = 0; i < n; ++i) {
                if (!DecodeInto(builder, i, st.get(), i + 1, fileDefs.at(i)))
                    FailDamaged(
                        fileName,
                        QStringLiteral("felaktigt värde i fältet \"%1\" i post %2").arg(fileDefs.at(i).Name).arg(id));
            }
            onRecord(id, builder.Finish());
        }
        if (rc != SQLITE_DONE) FailDamaged(fileName, SqliteText(db.get()));
        if (generation) *generation = fileGeneration;
    }
    db.Close();
    // A journal that is still there now was no hot journal (opening would have rolled that
    // back): a commit killed while it began its journal left it, and nothing will read it.
    const QFileInfo journal(QFileInfo(fileName).absoluteFilePath() + QStringLiteral("-journal"));
    if (journal.isFile() && !journal.isSymLink()) QFile::remove(journal.absoluteFilePath());
}

}  // namespace

void Read(const QString& fileName, TFieldDefs& defs,
          const std::function<void(qint64 id, TRecordValues&& values)>& onRecord, qint64* generation) {
    ReadFile(fileName, defs, onRecord, generation, false);
}

bool ReadGeneration(const QString& fileName, qint64* generation) {
    try {
        CheckPlainFile(fileName);
        Db db;
        OpenForReading(db, fileName);
        int rc;
        const int version = ScalarInt(db, "PRAGMA user_version", &rc);
        if (rc != SQLITE_OK || version != kFormatVersion) return false;
        return ReadGeneration(db, generation);
    } catch (...) {
        return false;
    }
}

void Check(const QString& fileName) {
    TFieldDefs defs;
    ReadFile(
        fileName, defs, [](qint64, TRecordValues&&) {}, nullptr, true);
}

qint64 WriteFull(const QString& fileName, const TFieldDefs& defs, const std::vector<Row>& rows) {
    const qint64 generation = NewGeneration();
    const QFileInfo target(fileName);
    if (!target.absoluteDir().exists()) FailSave(fileName, QStringLiteral("mappen finns inte"));
    // Only a sound table file of ours is replaced: a damaged or foreign file is kept for
    // the user to rescue.
    if (target.exists()) {
        try {
            Check(fileName);
        } catch (const Exception& e) {
            FailSave(fileName, QStringLiteral("filen som finns där skrivs inte över: %1").arg(e.Message()));
        }
    }

    QTemporaryFile temp(target.absolutePath() + QLatin1Char('/') + target.fileName() + QStringLiteral(".XXXXXX.tmp"));
    temp.setAutoRemove(true);
    if (!temp.open()) FailSave(fileName, temp.errorString());
    const QString tempName = temp.fileName();
    temp.close();
    // The new file keeps the old one's permissions (a temporary file is private to its owner).
    temp.setPermissions(target.exists() ? QFile::permissions(fileName)
                                        : QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                QFileDevice::ReadOther);

    {
        Db db;
        if (db.Open(tempName, SQLITE_OPEN_READWRITE) != SQLITE_OK)
            FailSave(fileName, db.get() ? SqliteText(db.get()) : QStringLiteral("minnet räcker inte"));
        auto check = [&](int rc) {
            if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) FailSave(fileName, SqliteText(db.get()));
        };
        // The temporary file is made durable as a whole before the rename, so it needs no journal.
        check(db.Exec("PRAGMA journal_mode=OFF"));
        check(db.Exec("PRAGMA synchronous=OFF"));
        check(db.Exec(QStringLiteral("PRAGMA application_id=%1; PRAGMA user_version=%2")
                          .arg(kApplicationId)
                          .arg(kFormatVersion)
                          .toUtf8()
                          .constData()));
        check(db.Exec("BEGIN"));
        check(db.Exec("CREATE TABLE fileinfo(id INTEGER PRIMARY KEY CHECK (id = 1), generation INTEGER NOT NULL)"));
        check(db.Exec(
            QStringLiteral("INSERT INTO fileinfo(id, generation) VALUES(1, %1)").arg(generation).toUtf8().constData()));
        check(
            db.Exec("CREATE TABLE fielddefs(pos INTEGER PRIMARY KEY, name TEXT NOT NULL, type TEXT NOT NULL, "
                    "size INTEGER NOT NULL)"));
        QString create = QStringLiteral("CREATE TABLE records(rid INTEGER PRIMARY KEY");
        for (int i = 0; i < defs.size(); ++i)
            create += QStringLiteral(", f%1 %2").arg(i + 1).arg(TypeColumn(defs.at(i).DataType)).trimmed();
        create += QLatin1Char(')');
        check(db.Exec(create.toUtf8().constData()));
        {
            Stmt st(db.get(), QStringLiteral("INSERT INTO fielddefs(pos, name, type, size) VALUES(?,?,?,?)"));
            if (!st.Ok()) FailSave(fileName, SqliteText(db.get()));
            for (int i = 0; i < defs.size(); ++i) {
                const QByteArray name = defs.at(i).Name.toUtf8();
                const QByteArray type = FieldTypeName(defs.at(i).DataType).toUtf8();
                sqlite3_bind_int(st.get(), 1, i);
                sqlite3_bind_text(st.get(), 2, name.constData(), int(name.size()), SQLITE_TRANSIENT);
                sqlite3_bind_text(st.get(), 3, type.constData(), int(type.size()), SQLITE_TRANSIENT);
                sqlite3_bind_int(st.get(), 4, defs.at(i).Size);
                check(st.Step());
                st.Reset();
            }
        }
        {
            Stmt st(db.get(), InsertSql(int(defs.size())));
            if (!st.Ok()) FailSave(fileName, SqliteText(db.get()));
            for (const Row& row : rows) {
                check(BindRow(st, defs, row, true));
                check(st.Step());
                st.Reset();
            }
        }
        check(db.Exec("COMMIT"));
    }
    const QByteArray tempPath = QFile::encodeName(tempName);
    SyncPath(tempPath, false);
    if (::rename(tempPath.constData(), QFile::encodeName(target.absoluteFilePath()).constData()) != 0)
        FailSave(fileName,
                 QStringLiteral("filen kunde inte läggas på plats (%1)").arg(QString::fromLocal8Bit(strerror(errno))));
    temp.setAutoRemove(false);
    SyncPath(QFile::encodeName(target.absolutePath()), true);
    return generation;
}

// ---- The kept connection ----

struct Writer::Impl {
    Db db;
    QString fileName;
    dev_t device = 0;
    ino_t inode = 0;
    // The statements are prepared for these field definitions.
    TFieldDefs defs;
    // The file's identity and field definitions were found right, as of this data version.
    bool checked = false;
    qint64 dataVersion = -1;
    std::unique_ptr<Stmt> begin, commit, rollback, dataVersionQuery, readGeneration, writeGeneration, remove, insert,
        update;

    void Close() {
        for (auto* st : {&begin, &commit, &rollback, &dataVersionQuery, &readGeneration, &writeGeneration, &remove,
                         &insert, &update})
            st->reset();
        db.Close();
        checked = false;
        dataVersion = -1;
    }

    std::unique_ptr<Stmt> Prepare(const QString& sql, const QString& name) {
        auto st = std::make_unique<Stmt>(db.get(), sql);
        if (!st->Ok()) FailSave(name, SqliteText(db.get()));
        return st;
    }

    // Opens the file that bears the name now, set up for durable commits.
    void Open(const QString& name, const struct stat& info) {
        Close();
        if (db.Open(name, SQLITE_OPEN_READWRITE) != SQLITE_OK) {
            const QString why = db.get() ? SqliteText(db.get()) : QStringLiteral("minnet räcker inte");
            db.Close();
            FailSave(name, why);
        }
        fileName = name;
        device = info.st_dev;
        inode = info.st_ino;
        // A rollback journal with full syncs: a killed process or a power loss leaves the file
        // as of its last commit. Between saves the folder holds the table file, and after a
        // kill perhaps a journal (rolled back, or empty and swept, at the next open) or a
        // temporary full copy (swept at the next open).
        if (db.Exec("PRAGMA journal_mode=DELETE") != SQLITE_OK || db.Exec("PRAGMA synchronous=FULL") != SQLITE_OK) {
            const QString why = SqliteText(db.get());
            Close();
            FailSave(name, why);
        }
        begin = Prepare(QStringLiteral("BEGIN IMMEDIATE"), name);
        commit = Prepare(QStringLiteral("COMMIT"), name);
        rollback = Prepare(QStringLiteral("ROLLBACK"), name);
        dataVersionQuery = Prepare(QStringLiteral("PRAGMA data_version"), name);
        readGeneration = Prepare(QStringLiteral("SELECT generation FROM fileinfo WHERE id=1"), name);
        writeGeneration = Prepare(QStringLiteral("UPDATE fileinfo SET generation=? WHERE id=1"), name);
        remove = Prepare(QStringLiteral("DELETE FROM records WHERE rid=?"), name);
    }

    // Runs a statement that gives one integer or none; false when it failed.
    bool Scalar(Stmt& st, qint64* value) {
        const int rc = st.Step();
        const bool ok = rc == SQLITE_ROW;
        if (ok) *value = sqlite3_column_int64(st.get(), 0);
        st.Reset();
        return ok;
    }
};

Writer::Writer() : d(std::make_unique<Impl>()) {}
Writer::~Writer() = default;

void Writer::Close() { d->Close(); }

bool Writer::Commit(const QString& fileName, const TFieldDefs& defs, qint64* generation,
                    const std::vector<qint64>& deleted, const std::vector<Row>& inserted,
                    const std::vector<Row>& changed) {
    struct stat info;
    if (::stat(QFile::encodeName(fileName).constData(), &info) != 0)
        FailSave(fileName, QStringLiteral("filen finns inte"));
    if (!S_ISREG(info.st_mode)) FailSave(fileName, QStringLiteral("det är ingen vanlig fil"));
    // Another file under the name (a full copy put in place) is opened afresh.
    if (!d->db.get() || d->fileName != fileName || d->device != info.st_dev || d->inode != info.st_ino)
        d->Open(fileName, info);
    if (d->defs != defs) {
        d->defs = defs;
        d->insert.reset();
        d->update.reset();
        d->checked = false;
    }
    Db& db = d->db;
    bool inTransaction = false;
    auto fail = [&](const QString& why) {
        if (inTransaction) d->rollback->Step();
        d->Close();
        FailSave(fileName, why);
    };
    auto check = [&](int rc) {
        if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) fail(SqliteText(db.get()));
    };
    auto run = [&](Stmt& st) {
        check(st.Step());
        st.Reset();
    };
    if (!d->insert) d->insert = d->Prepare(InsertSql(int(defs.size())), fileName);
    if (!d->update) d->update = d->Prepare(UpdateSql(int(defs.size())), fileName);

    run(*d->begin);
    inTransaction = true;

    // What another connection committed since this one last looked may have made the file
    // something else: then its identity and field definitions are checked again.
    qint64 version = -1;
    if (!d->Scalar(*d->dataVersionQuery, &version)) fail(SqliteText(db.get()));
    if (!d->checked || version != d->dataVersion) {
        int rc;
        const int appId = ScalarInt(db, "PRAGMA application_id", &rc);
        if (rc != SQLITE_OK) fail(SqliteText(db.get()));
        if (appId != kApplicationId) fail(QStringLiteral("filen är ingen tabellfil för Mykotekshallen"));
        TFieldDefs fileDefs;
        try {
            fileDefs = ReadDefs(db, fileName);
        } catch (const Exception& e) {
            fail(e.Message());
        }
        if (fileDefs != defs) fail(QStringLiteral("filens fältdefinitioner skiljer sig från tabellens"));
        d->checked = true;
        d->dataVersion = version;
    }
    qint64 fileGeneration = 0;
    if (!d->Scalar(*d->readGeneration, &fileGeneration)) fail(QStringLiteral("filinformationen saknas"));
    if (fileGeneration != *generation) {
        d->rollback->Step();
        d->rollback->Reset();
        return false;
    }
    const qint64 next = NewGeneration();
    check(sqlite3_bind_int64(d->writeGeneration->get(), 1, next));
    run(*d->writeGeneration);

    for (qint64 id : deleted) {
        check(sqlite3_bind_int64(d->remove->get(), 1, id));
        run(*d->remove);
    }
    for (const Row& row : inserted) {
        check(BindRow(*d->insert, defs, row, true));
        run(*d->insert);
    }
    for (const Row& row : changed) {
        check(BindRow(*d->update, defs, row, false));
        check(d->update->Step());
        const bool one = sqlite3_changes(db.get()) == 1;
        d->update->Reset();
        if (!one) fail(QStringLiteral("post %1 saknas i filen").arg(row.Id));
    }
    run(*d->commit);
    inTransaction = false;
    *generation = next;
    return true;
}

bool ApplySave(const QString& fileName, const TFieldDefs& defs, qint64 generation, const std::vector<qint64>& deleted,
               const std::vector<Row>& inserted, const std::vector<Row>& changed) {
    // A kill in the middle of an earlier commit left a journal of SQLite's own: the file is
    // brought back to its last commit (and its generation with it) before anything else.
    CheckPlainFile(fileName);
    SweepLitter(fileName);
    Writer writer;
    qint64 at = generation;
    return writer.Commit(fileName, defs, &at, deleted, inserted, changed);
}

}  // namespace TableFile
