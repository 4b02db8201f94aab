// Writes the district table of the program folder (Data/Res/Districts.dat) from the text
// list of counties and municipalities: one line per municipality, the county and the
// municipality separated by a tab; empty lines and lines starting with "#" are skipped.
//
//   gendistricts <source.txt> <Districts.dat>
//
// The table has the string fields Province and District, ordered by province as the source
// lists them. The source must keep each county's lines together, so that the place menus
// list every county once. The file is written beside its final name and renamed over it, so
// a failed run leaves the previous table whole.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringList>
#include <QTextStream>
#include <cstdio>
#include <filesystem>

#include "platform/ClientDataSet.h"

namespace {

struct Row {
    QString Province;
    QString District;
};

int Fail(const QString& message) {
    std::fprintf(stderr, "gendistricts: %s\n", qPrintable(message));
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) return Fail("usage: gendistricts <source.txt> <Districts.dat>");
    const QString& source = args.at(1);
    const QString target = QFileInfo(args.at(2)).absoluteFilePath();

    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) return Fail(QString("cannot read %1").arg(source));
    const QByteArray bytes = in.readAll();
    const QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() != bytes) return Fail(QString("%1 is not valid UTF-8").arg(source));

    QList<Row> rows;
    QSet<QString> closedProvinces;
    QSet<QString> seen;
    const QStringList lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines.at(i);
        if (line.endsWith('\r')) line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith('#')) continue;
        const QStringList parts = line.split('\t');
        const QString where = QString("%1:%2").arg(source).arg(i + 1);
        if (parts.size() != 2 || parts.at(0).trimmed().isEmpty() || parts.at(1).trimmed().isEmpty())
            return Fail(where + ": expected <county><TAB><municipality>");
        Row row{parts.at(0).trimmed(), parts.at(1).trimmed()};
        if (!rows.isEmpty() && rows.last().Province != row.Province) {
            closedProvinces.insert(rows.last().Province);
            if (closedProvinces.contains(row.Province))
                return Fail(where + ": the lines of " + row.Province + " are not together");
        }
        const QString key = row.Province + '\t' + row.District;
        if (seen.contains(key)) return Fail(where + ": " + row.District + " is listed twice");
        seen.insert(key);
        rows.append(row);
    }
    if (rows.isEmpty()) return Fail(source + " lists no municipality");

    QDir().mkpath(QFileInfo(target).absolutePath());
    const QString temp = target + ".new";
    QFile::remove(temp);
    try {
        TClientDataSet table(nullptr, "cdsDistricts");
        table.SetFieldDefs({{"Province", TFieldType::ftString, 40}, {"District", TFieldType::ftString, 40}});
        table.CreateDataSet();
        for (const Row& row : rows) {
            if (row.Province.size() > 40 || row.District.size() > 40)
                return Fail(row.District + ": name longer than 40 characters");
            table.Append();
            table.FieldByName("Province")->SetAsString(row.Province);
            table.FieldByName("District")->SetAsString(row.District);
            table.Post();
        }
        table.SaveToFile(temp);
        table.Close();
    } catch (const Exception& e) {
        QFile::remove(temp);
        return Fail(e.Message());
    }
    std::error_code ec;
    std::filesystem::rename(temp.toStdString(), target.toStdString(), ec);
    if (ec) {
        QFile::remove(temp);
        return Fail(QString("cannot write %1: %2").arg(target, QString::fromStdString(ec.message())));
    }
    // A shipped file: readable by everyone who runs the program.
    QFile::setPermissions(
        target, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    return 0;
}
