#pragma once
// The shipped species catalogue made a number of times larger, for the searches at scale:
// the catalogue's species and their detail rows (Swedish and Latin synonyms, text rows,
// look-alikes, picture records) written that many times over into a program folder's
// "Data/Db/", each copy with keys of its own, the species groups once. Copy 0 keeps the
// shipped keys; copy c moves every key's time code on by c * kKeyStride, so that the keys of
// all copies differ and every detail row still points to its own copy's species. The main
// pictures come along for the first copy.
//
// The catalogue is read from the build's staging folder (MYKO_CATALOGUE_DIR, given by the
// build or the environment), never from a program folder a user may have changed.
#include <QDir>
#include <QFileInfo>
#include <QString>

#include <cstdio>

#include "core/ExtClientDataSet.h"
#include "platform/ClientDataSet.h"

namespace benchcatalogue {

// The species tables of the catalogue, details first as the catalogue installs them.
inline const char* const kSpeciesTables[] = {"SwedishNames", "LatinNames", "FungiTexts",
                                             "FungiMixups",  "FungiPics",  "Fungi"};

// Far more than the catalogue's species numbers span, so copies never meet.
constexpr quint64 kKeyStride = 1'000'000;

inline QString StagingFolder() {
    const QString given = qEnvironmentVariable("MYKO_CATALOGUE_DIR");
    if (!given.isEmpty()) return given;
#ifdef MYKO_CATALOGUE_DIR
    return QStringLiteral(MYKO_CATALOGUE_DIR);
#else
    return QString();
#endif
}

// The number a key's letters stand for (base 26, "A" is 0); -1 when they are not letters.
inline qint64 NumberFromLetters(QStringView letters) {
    qint64 value = 0;
    for (const QChar c : letters) {
        if (c < u'A' || c > u'Z') return -1;
        value = value * 26 + (c.unicode() - u'A');
    }
    return value;
}

// The key of copy c: the dataset id, the time code moved on, the same random part.
inline QString CopyKey(const QString& key, int copy) {
    if (copy == 0 || key.size() != 18) return key;
    const qint64 time = NumberFromLetters(QStringView(key).mid(3, 11));
    if (time < 0) return key;
    return key.left(3) + LettersFromNumber(11, quint64(time) + quint64(copy) * kKeyStride) + key.right(4);
}

// Writes the catalogue `copies` times into programFolder + "Data/Db/"; the number of species
// written, 0 when the catalogue is not there (a message says why).
inline int WriteCatalogueCopies(const QString& programFolder, int copies) {
    const QString from = StagingFolder() + QStringLiteral("/Db/");
    const QString to = programFolder + QStringLiteral("/Data/Db/");
    if (!QFileInfo::exists(from + QStringLiteral("Fungi.dat"))) {
        std::fprintf(stderr, "No species catalogue at %s (build the target \"catalogue\" or set MYKO_CATALOGUE_DIR)\n",
                     qPrintable(from));
        return 0;
    }
    QDir().mkpath(to);
    QDir().mkpath(programFolder + QStringLiteral("/Data/Pics/MainPics"));
    int species = 0;
    for (const char* name : kSpeciesTables) {
        TClientDataSet shipped;
        shipped.LoadFromFile(from + QLatin1String(name) + QStringLiteral(".dat"));
        // Every field that holds a record key: the record's own and those it points to.
        QList<int> keyFields;
        for (int i = 0; i < shipped.FieldCount(); ++i)
            if (shipped.Fields(i)->FieldName().endsWith(QLatin1String("UKey"), Qt::CaseInsensitive)) keyFields << i;
        QList<QVariantList> rows;
        rows.reserve(shipped.RecordCount() * copies);
        for (int copy = 0; copy < copies; ++copy)
            for (int r = 0; r < shipped.RecordCount(); ++r) {
                QVariantList row;
                row.reserve(shipped.FieldCount());
                for (int f = 0; f < shipped.FieldCount(); ++f) row << shipped.RecordValue(r, f);
                for (int f : keyFields)
                    if (!row[f].isNull()) row[f] = CopyKey(row[f].toString(), copy);
                rows << row;
            }
        TClientDataSet copied;
        copied.SetFieldDefs(shipped.FieldDefs());
        copied.CreateDataSet();
        copied.SetLogChanges(false);
        copied.AppendRecords(rows);
        copied.SaveToFile(to + QLatin1String(name) + QStringLiteral(".dat"));
        if (qstrcmp(name, "Fungi") == 0) species = copied.RecordCount();
        copied.Close();
    }
    QFile::remove(to + QStringLiteral("FungiGroups.dat"));
    QFile::copy(from + QStringLiteral("FungiGroups.dat"), to + QStringLiteral("FungiGroups.dat"));
    // The stock pictures of the build's program folder, and the main pictures of the first
    // copy, whose species come first among equal names.
#ifdef MYKO_PROGRAM_DIR
    const QDir stock(QStringLiteral(MYKO_PROGRAM_DIR "/Data/Pics"));
    for (const QString& name : stock.entryList(QDir::Files))
        QFile::copy(stock.filePath(name), programFolder + QStringLiteral("/Data/Pics/") + name);
#endif
    const QString pictures = programFolder + QStringLiteral("/Data/Pics/MainPics/");
    const QDir shippedPictures(StagingFolder() + QStringLiteral("/MainPics"));
    for (const QString& name : shippedPictures.entryList(QDir::Files))
        QFile::copy(shippedPictures.filePath(name), pictures + name);
    return species;
}

}  // namespace benchcatalogue
