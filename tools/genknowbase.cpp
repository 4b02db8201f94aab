// The knowledge-base articles shipped with the program.
//
//   genknowbase generate <knowbase folder> <staging folder>
//       Reads index.json (the groups and articles with their fixed keys) and packs each
//       article's folder into <staging>/KnowBase/<key>.dat; the records go into
//       <staging>/Db/Knowbase.dat. Any fault stops the run with a message and nothing staged
//       before is replaced.
//
//   genknowbase install <staging folder> <program folder>
//       Gives the program folder what it lacks and never touches what is there: the table
//       only when the program folder has no Knowbase.dat, and an article file only where the
//       table in place has an article of that key and its file is missing.
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <cstdio>
#include <filesystem>
#include <zip.h>

#include "core/ExtClientDataSet.h"
#include "core/MyUtils.h"
#include "core/unitDM.h"
#include "platform/ClientDataSet.h"
#include "platform/Exception.h"
#include "tools/GenSupport.h"

namespace {

using gensupport::InstallFile;
using gensupport::Raise;

// A fresh archive of every file below folder (dot names skipped), names relative to it.
void PackFolder(const QString& folder, const QString& archive) {
    QFile::remove(archive);
    int error = 0;
    zip_t* z = zip_open(QFile::encodeName(archive).constData(), ZIP_CREATE | ZIP_EXCL, &error);
    if (!z) Raise(QString("cannot create %1").arg(archive));
    const QStringList files = ArticleFolderFiles(folder);
    if (files.isEmpty() || !files.contains("main.htm")) {
        zip_discard(z);
        Raise(QString("%1 has no main.htm").arg(folder));
    }
    for (const QString& name : files) {
        zip_source_t* src = zip_source_file(z, QFile::encodeName(folder + "/" + name).constData(), 0, -1);
        if (!src) {
            zip_discard(z);
            Raise(QString("cannot read %1/%2").arg(folder, name));
        }
        const zip_int64_t index = zip_file_add(z, name.toUtf8().constData(), src, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
        if (index < 0) {
            zip_source_free(src);
            zip_discard(z);
            Raise(QString("cannot add %1").arg(name));
        }
        zip_set_file_compression(z, zip_uint64_t(index), ZIP_CM_DEFLATE, 9);
    }
    if (zip_close(z) != 0) {
        zip_discard(z);
        Raise(QString("cannot write %1").arg(archive));
    }
}

void Generate(const QString& source, const QString& staging) {
    QFile indexFile(source + "/index.json");
    if (!indexFile.open(QIODevice::ReadOnly)) Raise("cannot read " + indexFile.fileName());
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(indexFile.readAll(), &parseError);
    if (!doc.isArray()) Raise(QString("index.json: %1").arg(parseError.errorString()));
    const TDM::TTableInfo* info = TDM::FindTableInfo("cdsKnowbase");
    if (!info) Raise("the data module has no table cdsKnowbase");

    QDir().mkpath(staging + "/Db");
    QDir().mkpath(staging + "/KnowBase");
    TClientDataSet table;
    table.SetFieldDefs(info->Fields);
    table.CreateDataSet();
    table.SetLogChanges(false);
    QSet<QString> keys;
    for (const auto& v : doc.array()) {
        const QJsonObject o = v.toObject();
        const QString key = o.value("key").toString();
        const int type = o.value("type").toInt(-1);
        if (!IsValidRecordKey(key, "150") || keys.contains(key))
            Raise(QString("index.json: bad or repeated key %1").arg(key));
        if (type != 0 && type != 1) Raise(QString("index.json: %1 has no type 0 or 1").arg(key));
        keys.insert(key);
        table.Append();
        auto set = [&](const char* field, const QString& value) {
            TField* f = table.FieldByName(QString::fromLatin1(field));
            if (value.size() > f->Size())
                Raise(QString("index.json: %1.%2 is longer than %3").arg(key, field).arg(f->Size()));
            f->SetAsString(value);
        };
        set("UKey", key);
        set("MasterUKey", o.value("master").toString());
        set("ItemName", o.value("name").toString());
        table.FieldByName("ItemType")->SetAsInteger(type);
        set("Source", o.value("source").toString());
        set("Author", o.value("author").toString());
        set("Description", o.value("description").toString());
        table.Post();
        if (type == 1) {
            const QString folder = source + "/" + o.value("folder").toString();
            if (!QFileInfo(folder).isDir()) Raise(QString("index.json: %1 has no folder %2").arg(key, folder));
            PackFolder(folder, staging + "/KnowBase/" + key + ".dat");
        }
    }
    const QString target = staging + "/Db/Knowbase.dat";
    QFile::remove(target + ".new");
    table.SaveToFile(target + ".new");
    table.Close();
    std::error_code ec;
    std::filesystem::rename(QFile::encodeName(target + ".new").toStdString(), QFile::encodeName(target).toStdString(),
                            ec);
    if (ec) Raise(QString("cannot write %1").arg(target));
}

void Install(const QString& staging, const QString& program) {
    const QString table = program + "/Data/Db/Knowbase.dat";
    if (!QFileInfo::exists(staging + "/Db/Knowbase.dat")) Raise("nothing staged in " + staging);
    InstallFile(staging + "/Db/Knowbase.dat", table);
    QSet<QString> articles;
    try {
        TClientDataSet t;
        t.LoadFromFile(table);
        for (t.First(); !t.Eof(); t.Next())
            if (t.FieldByName("ItemType")->AsInteger() == 1) articles.insert(t.FieldByName("UKey")->AsString());
        t.Close();
    } catch (const Exception& e) {
        std::fprintf(stderr, "genknowbase: articles left out, the table is not readable: %s\n",
                     qPrintable(e.Message()));
        return;
    }
    for (const QString& name : QDir(staging + "/KnowBase").entryList({"*.dat"}, QDir::Files)) {
        const QString key = name.left(name.size() - 4);
        if (articles.contains(key)) InstallFile(staging + "/KnowBase/" + name, program + "/Data/KnowBase/" + name);
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return gensupport::Run(app.arguments(), "genknowbase", "knowbase folder", Generate, Install);
}
