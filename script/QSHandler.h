#pragma once
// The component through which the program uses the page-layout engine: it holds the loaded
// scripts (one of them current), owns the calculator that all of their expressions go through
// and answers its questions about variables and functions.
#include <QObject>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "script/QSDataRegistry.h"
#include "script/QSFontSpec.h"
#include "script/QSScript.h"
#include "script/QuillCalc.h"

using TQSHandlerEvent =
    std::function<void(int eventType, TQSScript* script, TQSScriptObject* object, const QVariant& data)>;
// Serves an external function of a script: the handler reads the arguments with the
// calculator's GetParam and sets the result.
using TQSExternalFunctionEvent = std::function<void(TQSHandler& sender, const QString& name, TQuillValue& result)>;

class TQSHandler : public QObject {
    Q_OBJECT

public:
    explicit TQSHandler(QObject* owner = nullptr);
    ~TQSHandler() override;

    TFSHandlerMode Mode() const { return m_mode; }
    void SetMode(TFSHandlerMode mode) { m_mode = mode; }

    int ScriptCount() const { return int(m_scripts.size()); }
    TQSScript* Script(int index) const;
    int ScriptIndex() const { return m_scriptIndex; }
    // Raises "Script index out of range" for an index outside the list, which keeps the
    // current script.
    void SetScriptIndex(int index);
    TQSScript* GetCurrentScript() const;
    // Loads the file into a new script, appends it and makes it current; a file that fails to
    // load leaves the handler as it was.
    TQSScript* AddScript(const QString& fileName);

    int PreviewDPIX() const { return m_previewDPIX; }
    int PreviewDPIY() const { return m_previewDPIY; }
    int PreviewZoom() const { return m_previewZoom; }
    void SetPreviewDPIX(int dpi) { m_previewDPIX = dpi; }
    void SetPreviewDPIY(int dpi) { m_previewDPIY = dpi; }
    void SetPreviewZoom(int zoom) { m_previewZoom = zoom; }

    // The face and size new fonts take; unset, they take the program's default.
    std::optional<TQSFontSpec> DefaultFont;
    TQSHandlerEvent OnEvent;
    TQSExternalFunctionEvent OnExternalFunction;
    // What the scripts measure their text with (Qt's font metrics in the program); unset, a
    // fixed pitch.
    std::shared_ptr<const TQSTextMeasurer> Measurer;
    // The program's data sources that the scripts' datasources bind to in application mode.
    TQSDataRegistry DataSources;

    TQuillCalc& Calc() { return m_calc; }

private:
    void HandleFunction(const QString& name, TQuillValue& result);
    void HandleVariable(const QString& name, TQuillValue& result);
    // An external function of the current script; false when the script declares none of
    // that name.
    bool HandleExternal(const QString& name, TQuillValue& result);

    TFSHandlerMode m_mode = hmDebug;
    std::vector<std::unique_ptr<TQSScript>> m_scripts;
    int m_scriptIndex = -1;
    int m_previewDPIX = 96, m_previewDPIY = 96, m_previewZoom = 100;
    TQuillCalc m_calc;
};

// The text cut at each delimiter: the piece of the 0-based index, empty when there are fewer
// pieces; an empty delimiter leaves the whole text as piece 0.
QString SplitSection(const QString& text, const QString& delimiter, int index);
// The pieces of the ";"-separated text whose mask character is above "0", joined.
QString PickSections(const QString& text, const QString& mask, const QString& separator);
