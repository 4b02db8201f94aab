// Settings-file reader: any bytes as a settings file must open (or be reported), read,
// write and flush without harm, and what was read must read back the same after the flush.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

#include "core/FRIniFile.h"

namespace {

struct Probe {
    QString key;
    QString value;
    bool ok = false;
};

QList<Probe> probe(TFRIniFile& store, const QStringList& keys) {
    QList<Probe> result;
    for (const QString& key : keys) {
        Probe p{key, QString(), false};
        try {
            p.value = store.ReadString(key);
            p.ok = true;
        } catch (const Exception&) {}
        result.append(p);
    }
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Users/fuzz.ini"));
    QDir(dir.filePath(QStringLiteral("Users"))).removeRecursively();
    QDir().mkpath(dir.filePath(QStringLiteral("Users")));
    {
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly)) abort();
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }

    TFRIniFile store;
    store.SetDefaults(TFRIniFile::ProgramDefaults());
    store.SetFilename(file);
    try {
        store.Open();
    } catch (const Exception&) {}
    if (!store.IsOpen()) abort();

    // Keys from the file itself and a few of the program's own.
    QStringList keys = {QStringLiteral("Maps/PlaceColor"), QStringLiteral("Settings/LastVisitedScreen"),
                        QStringLiteral("Nowhere/Key")};
    QString section;
    for (const QString& line : store.Lines()) {
        if (line.startsWith(QLatin1Char('['))) {
            section = line.mid(1, line.indexOf(QLatin1Char(']')) - 1).trimmed();
        } else if (line.contains(QLatin1Char('=')) && !section.contains(QLatin1Char('/')) && keys.size() < 40) {
            keys.append(section + QLatin1Char('/') + line.left(line.indexOf(QLatin1Char('='))));
        }
    }
    for (const QString& key : keys) {
        try {
            store.ReadInteger(key);
        } catch (const Exception&) {}
        try {
            store.ReadBool(key);
        } catch (const Exception&) {}
    }
    store.WriteString(QStringLiteral("Fuzz/Value"),
                      QString::fromUtf8(reinterpret_cast<const char*>(data), qMin<qsizetype>(size, 64)));
    keys.append(QStringLiteral("Fuzz/Value"));
    const QList<Probe> before = probe(store, keys);
    store.Flush();
    if (store.IsOpen() || !QFile::exists(file)) abort();

    TFRIniFile again;
    again.SetDefaults(TFRIniFile::ProgramDefaults());
    again.SetFilename(file);
    again.Open();  // the flushed file is always readable
    const QList<Probe> after = probe(again, keys);
    for (qsizetype i = 0; i < before.size(); ++i)
        if (before[i].ok != after[i].ok || before[i].value != after[i].value) abort();
    return 0;
}
