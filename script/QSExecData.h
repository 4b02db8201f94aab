#pragma once
// The execution state of one script: the flat instruction list that preparation emits, the
// pages with a snapshot of the data objects at each page start, the program counter of a
// run, and the unit conversions between millimetres and the device.
#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "script/QSCanvas.h"
#include "script/QSFontSpec.h"
#include "script/QSPrinter.h"
#include "script/QSText.h"
#include "script/QuillCalc.h"

class TQSScript;
class TQSScriptObject;
class TQSPagelayout;
class TQSContainer;
class TQSDatasource;
struct TQSBindData;

// What the variables page, pagecount, printtime, clientwidth, clientheight and parent.y answer.
struct TQSRunValues {
    int Page = 0;
    int PageCount = 0;
    double PrintTime = 0;
    double ClientWidth = 0, ClientHeight = 0;
    double ParentY = 0;
};

// The saved state of one data object at a page start, typed.
struct TQSObjectState {
    TQuillValue Value;
    TQSFontSpec Font;
    qint32 Color = 0;
    int RecNo = -1;
    int Marker = 0;  // 0 within, 1 at the beginning, 2 at the end
};

// The area of a container open at a page start.
struct TQSAreaState {
    TQSContainer* Container = nullptr;
    double X = 0, Y = 0, Width = 0, Height = 0;
    double MarginLeft = 0, MarginTop = 0, MarginRight = 0, MarginBottom = 0;
    double CurrentX = 0, CurrentY = 0;
};

struct TQSSnapshot {
    int Page = 0;
    int FirstPC = 0;
    int LastPC = kOpenEnd;
    std::vector<std::pair<const TQSScriptObject*, TQSObjectState>> States;
    // The areas of the containers that the page starts inside (a rectangle broken by the page).
    std::vector<TQSAreaState> Areas;
    static constexpr int kOpenEnd = 100000000;
};

enum class TQSExecState : int { Idle = 0, Compiling = 1, Preparing = 2, Preview = 3, Print = 4 };
enum class TQSRunKind : int { Run = 0, Breakpoints = 1, Paused = 2, Finished = 4 };

class TQSExecData {
public:
    explicit TQSExecData(TQSScript& script);
    ~TQSExecData();
    TQSExecData(const TQSExecData&) = delete;
    TQSExecData& operator=(const TQSExecData&) = delete;

    TQSExecState State() const { return m_state; }
    TQSRunKind RunKind() const { return m_runKind; }
    bool Compiled() const { return m_compiled; }
    int PageCount() const { return m_pageCount; }
    int CurrentPage() const { return m_currentPage; }
    int PrintPage() const { return m_printPage; }
    int PreviewPage() const { return m_previewPage; }
    int PC() const { return m_pc; }
    int PageEnd() const { return m_pageEnd; }
    TQSPagelayout* CurrentLayout() const { return m_layout; }
    const std::vector<TQSScriptObject*>& Instructions() const { return m_instructions; }
    const std::vector<TQSSnapshot>& Snapshots() const { return m_snapshots; }
    // The listing of the last compilation in debug mode ("0001  TQSText" per instruction).
    const QStringList& Listing() const { return m_listing; }
    QList<const TQSScriptObject*> Breakpoints;
    // Shows the message that a paused run has reached the end of its page (the caller's
    // modal box); the run then goes on with the next page.
    std::function<void(const QString& message)> OnPageEnd;

    // Compilation and preparation, once; a failure of any kind resets the run.
    void Compile();
    // Positions the run (3 preview, 4 print) at the start of a produced page; a page outside
    // 1 to PageCount raises "Page index out of range" and changes nothing.
    void GotoPage(TQSExecState mode, int page);
    void ExecutePage(TQSExecState mode, TQSRunKind runKind);
    void Step();
    // Starts a page during preparation.
    void NewPage(int page);
    // During preparation appends the object to the instruction list and answers true; else false.
    bool Emit(TQSScriptObject* object);
    void ResetRun();
    TQSScriptObject* CurrentObject() const;

    // Data objects whose state every page start saves.
    void Register(const TQSScriptObject* object);
    void Unregister(const TQSScriptObject* object);

    // The object whose expressions are being evaluated, while it lives.
    class EvaluatingScope {
    public:
        EvaluatingScope(TQSExecData* exec, const TQSScriptObject* object);
        ~EvaluatingScope();
        EvaluatingScope(const EvaluatingScope&) = delete;
        EvaluatingScope& operator=(const EvaluatingScope&) = delete;

    private:
        TQSExecData* m_exec;
        const TQSScriptObject* m_previous;
    };
    // A container whose statements preparation is executing, while it lives.
    class OpenScope {
    public:
        OpenScope(TQSExecData& exec, TQSContainer* container);
        ~OpenScope();
        OpenScope(const OpenScope&) = delete;
        OpenScope& operator=(const OpenScope&) = delete;

    private:
        TQSExecData& m_exec;
    };

    TQSPRNData PrinterData;
    const TQSTextMeasurer& Measurer() const { return *m_measurer; }
    void SetMeasurer(std::shared_ptr<const TQSTextMeasurer> measurer);

    int MmToPixelX(double mm) const { return MmToPixel(mm, PrinterData.DPIX); }
    int MmToPixelY(double mm) const { return MmToPixel(mm, PrinterData.DPIY); }
    double PixelToMmX(int px) const { return PixelToMm(px, PrinterData.DPIX); }
    double PixelToMmY(int px) const { return PixelToMm(px, PrinterData.DPIY); }
    // Millimetres from the page's left or top edge to the device of the current run.
    int DeviceX(double mm) const;
    int DeviceY(double mm) const;
    // A pen width or corner in device pixels of the current run.
    int DeviceLength(double mm) const;
    int DeviceLengthY(double mm) const;
    double TextWidthMm(const TQSFontSpec& font, const QString& text) const { return m_measurer->WidthMm(font, text); }
    double TextHeightMm(const TQSFontSpec& font) const { return m_measurer->HeightMm(font); }
    QString WrapLine(const TQSFontSpec& font, QString& rest, double widthMm) const {
        return ::WrapLine(*m_measurer, font, rest, widthMm);
    }

    // The canvases of a print run and of a preview run; the one of the current run draws.
    TQSCanvas* PrintCanvas = nullptr;
    TQSCanvas* PreviewCanvas = nullptr;
    TQSCanvas* Canvas() const {
        if (m_state == TQSExecState::Preview) return PreviewCanvas;
        return PrintCanvas ? PrintCanvas : PrinterData.Target() ? PrinterData.Target()->Canvas() : nullptr;
    }

    // One line at x, y mm from the area's origin and current position, clipped to the area.
    void DrawText(TQSCanvas& canvas, const TQSBindData& area, double x, double y, const QString& line) const;
    void DrawRectangle(TQSCanvas& canvas, const TQSBindData& area, double x, double y, double width, double height,
                       double borderWidth, double cornerRadius, qint32 borderColor, qint32 backgroundColor) const;
    void DrawLine(TQSCanvas& canvas, const TQSBindData& area, double x1, double y1, double x2, double y2,
                  double lineWidth, qint32 color) const;
    // A picture (the bytes of a JPEG or BMP file) stretched into the box.
    void DrawPicture(TQSCanvas& canvas, const TQSBindData& area, double x, double y, double width, double height,
                     const QByteArray& picture, bool transparent) const;

    // The values of page, pagecount, printtime, clientwidth, clientheight and parent.y now:
    // the area ones for the statement being evaluated or run.
    TQSRunValues RunValues() const;

    // Guards against runaway scripts.
    static constexpr qint64 kMaxInstructions = 2000000;
    static constexpr int kMaxPages = 10000;

private:
    void TakeSnapshot(int page);
    void RestoreSnapshot(const TQSSnapshot& snapshot);
    // The layout for the page with the body area set from it; raises when there is none.
    void ChooseLayout(int page);
    void Fire(int eventType, TQSScriptObject* object, const QVariant& data = QVariant()) const;
    // The area of the statement being evaluated or run; the page body otherwise.
    TQSContainer* CurrentArea() const;
    // The datasources' tables as they stood before preparation moved them, and taking them
    // back there once the engine has moved them.
    void LeaveTables();
    void ReturnTables();
    void WriteListing() const;

    TQSScript& m_script;
    TQSExecState m_state = TQSExecState::Idle;
    TQSRunKind m_runKind = TQSRunKind::Run;
    bool m_compiled = false;
    int m_pageCount = -1;
    int m_currentPage = 0, m_printPage = 0, m_previewPage = 0;
    int m_pc = -1, m_pageEnd = 0;
    TQSPagelayout* m_layout = nullptr;
    std::vector<TQSScriptObject*> m_instructions;
    std::vector<TQSSnapshot> m_snapshots;
    std::vector<const TQSScriptObject*> m_registered;
    QStringList m_listing;
    std::shared_ptr<const TQSTextMeasurer> m_measurer;
    const TQSScriptObject* m_evaluating = nullptr;
    std::vector<TQSContainer*> m_open;
    std::vector<std::pair<TQSDatasource*, TQSObjectState>> m_home;
    bool m_tablesAway = false;
};
