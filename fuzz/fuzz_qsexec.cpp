// Random text as the object tree of a script: what reads is compiled in the program's mode and
// every page is run onto a recording canvas. Only the program's Exception may come out; the
// engine's guards end every script, however it loops.
#include <cstdint>

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include "core/MyUtils.h"
#include "platform/Clock.h"
#include "script/QSAnsi.h"
#include "script/QSHandler.h"

namespace {

// The text as a script file: the header, the text block and a picture block that says "no
// embedded picture" for each of the first 64 picture objects.
QByteArray ScriptFile(const QByteArray& text) {
    QBuffer file;
    file.open(QIODevice::WriteOnly);
    StreamSaveString(file, QStringLiteral("***** ZADUZORURER scriptfile, DO NOT ALTER MANUALLY! *****"));
    for (const QByteArray& block : {text, QByteArray(4 * 64, '\0')}) {
        StreamSaveString(file, QStringLiteral("BOFFILE"));
        StreamWriteInteger(file, qint32(block.size()));
        StreamWriteInteger(file, 0);
        file.write(block);
        StreamSaveString(file, QStringLiteral("EOFFILE"));
    }
    return file.data();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool fixed = (Clock::SetFixedNow(QDateTime(QDate(2024, 1, 1), QTime(12, 0))), true);
    (void)fixed;
    TQSHandler handler;
    handler.SetMode(hmApplication);
    // External functions read their declared arguments and answer 1.
    handler.OnExternalFunction = [](TQSHandler& sender, const QString& name, TQuillValue& result) {
        const int count =
            sender.GetCurrentScript()->FindExternalFunction(name)->Value(QStringLiteral("ParamCount")).toInt();
        for (int i = 0; i < count; ++i)
            sender.Calc().GetParam(TQuillKind::Any,
                                   count == 1           ? qpOnly
                                       : i == 0         ? qpFirst
                                       : i == count - 1 ? qpLast
                                                        : qpMiddle);
        result = qint32(1);
    };
    // The handler serves names from the scripts it holds.
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fuzz.qsf"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
        file.write(ScriptFile(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size))));
    }
    TQSScript* script = nullptr;
    try {
        script = handler.AddScript(path);
    } catch (const Exception&) {
        return 0;
    }
    TQSRecordingCanvas canvas;
    TQSExecData& exec = script->ExecData();
    exec.PrintCanvas = &canvas;
    try {
        exec.Compile();
        for (int page = 1; page <= exec.PageCount(); ++page) {
            exec.GotoPage(TQSExecState::Print, page);
            exec.ExecutePage(TQSExecState::Print, TQSRunKind::Run);
        }
    } catch (const Exception&) {}
    return 0;
}
