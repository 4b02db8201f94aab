#pragma once
// Building small scripts in tests: a script in a handler, statements with their property
// texts, and pages run onto a recording canvas (600 DPI, no offset, the fixed-pitch measurer
// unless the handler has another: 2 mm a character, 5 mm a line).
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <initializer_list>
#include <utility>

#include "script/QSHandler.h"

namespace scripttest {

inline const TQSRegisteredObject& Rec(const char* className) { return *FindRegisteredClass(QLatin1String(className)); }

// An empty script (one layout for all pages) loaded into the handler, which makes it current.
inline TQSScript* NewScript(TQSHandler& handler, const QTemporaryDir& dir) {
    const QString path = dir.filePath(QStringLiteral("empty.qsf"));
    if (!QFile::exists(path)) {
        TQSScript script;
        QSaveFile file(path);
        file.open(QIODevice::WriteOnly);
        script.SaveToStream(file);
        file.commit();
    }
    return handler.AddScript(path);
}

using Values = std::initializer_list<std::pair<const char*, QString>>;

// An object of the class appended to the container, with property texts.
template <class T = TQSScriptObject>
T* Add(TQSContainer* container, const char* className, Values values = {}) {
    TQSScriptObject* object = container->CreateChild(Rec(className));
    for (const auto& [key, value] : values) object->SetValue(QLatin1String(key), value);
    return static_cast<T*>(object);
}

inline TQSContainer* Body(TQSScript* script) { return script->Root()->ScriptObjects(); }
inline TQSPagelayout* Layout(TQSScript* script) { return script->Root()->Pagelayouts()->FindLayoutForPage(1); }

inline TQSVariable* AddVariable(TQSScript* script, const QString& name, const QString& initial) {
    auto* v = Add<TQSVariable>(script->Root()->Section(1), "TQSVariable", {{"InitialValue", initial}});
    v->SetName(name);
    return v;
}

// A font named "f" of 10 points.
inline TQSFont* AddFont(TQSScript* script, const QString& name = QStringLiteral("f")) {
    auto* font =
        Add<TQSFont>(script->Root()->Section(2), "TQSFont", {{"FontName", "Liberation Sans"}, {"FontSize", "10"}});
    font->SetName(name);
    return font;
}

// A text row in font "f"; `text` is an expression.
inline TQSScriptObject* AddText(TQSContainer* container, const QString& text, bool linefeed = true, Values more = {}) {
    TQSScriptObject* row =
        Add(container, "TQSText", {{"FontName", "\"f\""}, {"Text", text}, {"Linefeed", linefeed ? "1" : "0"}});
    for (const auto& [key, value] : more) row->SetValue(QLatin1String(key), value);
    return row;
}

// A FOR-loop over the variable.
inline TQSContainer* AddFor(TQSContainer* container, const QString& variable, const QString& from, const QString& to,
                            bool descending = false) {
    return Add<TQSContainer>(
        container, "TQSForLoop",
        {{"Variable", variable}, {"StartValue", from}, {"EndValue", to}, {"Descending", descending ? "1" : "0"}});
}

// One page of a print run drawn on the canvas (compiled first when it is not).
inline void RunPageOn(TQSScript* script, int page, TQSCanvas& canvas) {
    TQSExecData& exec = script->ExecData();
    exec.PrintCanvas = &canvas;
    exec.Compile();
    exec.GotoPage(TQSExecState::Print, page);
    exec.ExecutePage(TQSExecState::Print, TQSRunKind::Run);
    exec.PrintCanvas = nullptr;
}

// The drawing calls of one page of a print run.
inline QStringList RunPage(TQSScript* script, int page) {
    TQSRecordingCanvas canvas;
    RunPageOn(script, page, canvas);
    return canvas.Calls;
}

// A value with its kind, as tests compare it.
inline QString Describe(const TQuillValue& v) {
    switch (QuillKind(v)) {
        case TQuillKind::Boolean:
            return std::get<bool>(v) ? "Boolean true" : "Boolean false";
        case TQuillKind::String:
            return "String \"" + std::get<QString>(v) + "\"";
        case TQuillKind::Integer:
            return "Integer " + QString::number(std::get<qint32>(v));
        case TQuillKind::Float:
            return "Float " + QString::number(std::get<double>(v), 'g', 17);
        default:
            return "empty";
    }
}

// Only the texts drawn, from calls of a recording canvas.
inline QStringList Texts(const QStringList& calls) {
    QStringList texts;
    for (const QString& call : calls)
        if (call.startsWith(QLatin1String("text "))) texts.append(call.section(u'"', 1, 1));
    return texts;
}

}  // namespace scripttest
