#pragma once
// Fixtures of the zip tests: a component wired to the built modules, the outside tools
// (zip, unzip, zipinfo, python3) and small file helpers.
#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTest>
#include <memory>

#include "support/TestSupport.h"
#include "zip/ZipMstr.h"

namespace ziptest {

struct TToolRun {
    int Exit = -1;
    QByteArray Out;
};

// Runs an outside tool; an empty optional result means the tool is not installed.
inline QString ToolPath(const QString& tool) { return QStandardPaths::findExecutable(tool); }

inline TToolRun Run(const QString& tool, const QStringList& args, const QString& cwd = QString(),
                    const QByteArray& input = QByteArray()) {
    TToolRun r;
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    if (!cwd.isEmpty()) p.setWorkingDirectory(cwd);
    p.start(ToolPath(tool), args);
    if (!p.waitForStarted()) return r;
    if (!input.isEmpty()) p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(120000);
    r.Exit = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.Out = p.readAll();
    return r;
}

// Fails the test with a clear message when a tool is missing (./dev installs them).
#define ZIPTEST_REQUIRE_TOOL(tool)                                                                         \
    do {                                                                                                   \
        if (ziptest::ToolPath(QStringLiteral(tool)).isEmpty())                                             \
            QFAIL("Verktyget '" tool "' saknas; installera det med ./dev (paketen zip, unzip, python3)."); \
    } while (0)

// A component as the program uses it, with the modules of the build.
inline std::unique_ptr<TZipArchiver> MakeArchiver() {
    auto z = std::make_unique<TZipArchiver>();
    z->SetUnattended(true);
    z->SetDLLDirectory(testsupport::ProgramDir());
    return z;
}

inline QByteArray Pattern(qsizetype size, quint32 seed) {
    QByteArray b(size, Qt::Uninitialized);
    quint32 x = seed * 2654435761u + 1;
    for (qsizetype i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b[i] = char(x);
    }
    return b;
}

inline QByteArray Text(int lines) {
    QByteArray b;
    for (int i = 0; i < lines; ++i)
        b += "<p>Kantarellen växer i mossig barrskog, rad " + QByteArray::number(i) + ".</p>\n";
    return b;
}

inline QByteArray Md5(const QByteArray& b) { return QCryptographicHash::hash(b, QCryptographicHash::Md5).toHex(); }

// Every file below a folder, relative, sorted, symbolic links included.
inline QStringList Tree(const QString& dir) {
    QStringList out;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) out << QDir(dir).relativeFilePath(it.next());
    out.sort();
    return out;
}

}  // namespace ziptest
