#pragma once
// What the build-time generators share: a fault that stops the run, tables written beside
// their final name and moved over it only once everything is there, the installing of staged
// files into a program folder that never replaces a file in place, and the command line
//
//     <tool> generate <source folder> <staging folder>
//     <tool> install <staging folder> <program folder>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QVariant>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <system_error>

#include "core/unitDM.h"
#include "platform/ClientDataSet.h"
#include "platform/Exception.h"

namespace gensupport {

// A fault in the source or the output; the run stops with its message.
struct Fail {
    QString Message;
};
[[noreturn]] inline void Raise(const QString& message) { throw Fail{message}; }

// One table of the data module, filled in memory and saved beside its final name; Commit
// moves it into place, Discard leaves the final file as it was.
class TableWriter {
public:
    TableWriter(const char* tableName, const QString& folder) : m_folder(folder) {
        m_name = QString::fromLatin1(tableName).mid(3) + ".dat";
        const TDM::TTableInfo* info = TDM::FindTableInfo(QString::fromLatin1(tableName));
        if (!info) Raise(QString("the data module has no table %1").arg(tableName));
        m_table.SetFieldDefs(info->Fields);
        m_table.CreateDataSet();
        m_table.SetLogChanges(false);
    }
    void Append() { m_table.Append(); }
    // A text longer than its field stops the run instead of being cut.
    void Set(const char* field, const QVariant& value) {
        TField* f = m_table.FieldByName(QString::fromLatin1(field));
        if (value.typeId() == QMetaType::QString && f->DataType() == TFieldType::ftString &&
            value.toString().size() > f->Size())
            Raise(QString("%1.%2: \"%3\" is longer than %4 characters")
                      .arg(m_name, QString::fromLatin1(field), value.toString())
                      .arg(f->Size()));
        f->SetValue(value);
    }
    int Width(const char* field) { return m_table.FieldByName(QString::fromLatin1(field))->Size(); }
    void Post() { m_table.Post(); }
    void Save() {
        const QString temp = m_folder + "/" + m_name + ".new";
        QFile::remove(temp);
        m_table.SaveToFile(temp);
        m_table.Close();
        m_temp = temp;
    }
    // Moves the saved file over its final name.
    void Commit() {
        std::error_code ec;
        std::filesystem::rename(QFile::encodeName(m_temp).toStdString(),
                                QFile::encodeName(m_folder + "/" + m_name).toStdString(), ec);
        if (ec)
            Raise(QString("cannot write %1: %2").arg(m_folder + "/" + m_name, QString::fromStdString(ec.message())));
    }
    void Discard() {
        if (!m_temp.isEmpty()) QFile::remove(m_temp);
    }

private:
    QString m_folder, m_name, m_temp;
    TClientDataSet m_table;
};

// Gives a finished temporary file its final name, which must not exist yet, and removes the
// temporary name. A hard link never replaces a file that appeared meanwhile. True when the
// file was put in place.
inline bool LinkIntoPlace(const QString& temp, const QString& to) {
    std::error_code ec;
    std::filesystem::create_hard_link(QFile::encodeName(temp).toStdString(), QFile::encodeName(to).toStdString(), ec);
    QFile::remove(temp);
    if (ec && !QFileInfo::exists(to))
        Raise(QString("cannot write %1: %2").arg(to, QString::fromStdString(ec.message())));
    return !ec;
}

// Copies a file to a name that does not exist yet; an existing target is left alone. True
// when the file was installed.
inline bool InstallFile(const QString& from, const QString& to) {
    if (QFileInfo::exists(to)) return false;
    QDir().mkpath(QFileInfo(to).absolutePath());
    const QString temp = to + ".new";
    QFile::remove(temp);
    if (!QFile::copy(from, temp)) Raise(QString("cannot write %1").arg(temp));
    QFile::setPermissions(
        temp, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    return LinkIntoPlace(temp, to);
}

using Step = std::function<void(const QString& from, const QString& to)>;

// The tool's command line: generate or install, both given absolute folders. 0 when it went
// through, 1 after a fault (its message on stderr), 2 for a wrong command line.
inline int Run(const QStringList& args, const char* tool, const char* sourceFolder, const Step& generate,
               const Step& install) {
    if (args.size() != 4 || (args[1] != "generate" && args[1] != "install")) {
        std::fprintf(stderr,
                     "usage: %s generate <%s> <staging folder>\n"
                     "       %s install <staging folder> <program folder>\n",
                     tool, sourceFolder, tool);
        return 2;
    }
    try {
        const Step& step = args[1] == "generate" ? generate : install;
        step(QFileInfo(args[2]).absoluteFilePath(), QFileInfo(args[3]).absoluteFilePath());
    } catch (const Fail& f) {
        std::fprintf(stderr, "%s: %s\n", tool, qPrintable(f.Message));
        return 1;
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s: %s\n", tool, qPrintable(e.Message()));
        return 1;
    }
    return 0;
}

}  // namespace gensupport
