#include "script/QSExecData.h"

#include <QDir>
#include <QFile>
#include <QVariant>
#include <algorithm>
#include <cmath>

#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/Exception.h"
#include "script/QSHandler.h"
#include "script/QSObjects.h"
#include "script/QSScript.h"

TQSExecData::TQSExecData(TQSScript& script)
    : m_script(script),
      m_measurer(script.Handler() && script.Handler()->Measurer ? script.Handler()->Measurer
                                                                : std::make_shared<TQSFixedPitchMeasurer>()) {
    PrinterData.Script = &script;
}

TQSExecData::~TQSExecData() = default;

void TQSExecData::SetMeasurer(std::shared_ptr<const TQSTextMeasurer> measurer) {
    if (measurer) m_measurer = std::move(measurer);
}

void TQSExecData::Fire(int eventType, TQSScriptObject* object, const QVariant& data) const {
    TQSHandler* handler = m_script.Handler();
    if (handler && handler->OnEvent) handler->OnEvent(eventType, &m_script, object, data);
}

void TQSExecData::Register(const TQSScriptObject* object) { m_registered.push_back(object); }

void TQSExecData::Unregister(const TQSScriptObject* object) {
    std::erase(m_registered, object);
    for (TQSSnapshot& snapshot : m_snapshots)
        std::erase_if(snapshot.States, [object](const auto& entry) { return entry.first == object; });
    std::erase_if(m_home, [object](const auto& entry) { return entry.first == object; });
    if (m_evaluating == object) m_evaluating = nullptr;
}

TQSExecData::EvaluatingScope::EvaluatingScope(TQSExecData* exec, const TQSScriptObject* object)
    : m_exec(exec), m_previous(exec ? exec->m_evaluating : nullptr) {
    if (m_exec) m_exec->m_evaluating = object;
}

TQSExecData::EvaluatingScope::~EvaluatingScope() {
    if (m_exec) m_exec->m_evaluating = m_previous;
}

TQSExecData::OpenScope::OpenScope(TQSExecData& exec, TQSContainer* container) : m_exec(exec) {
    m_exec.m_open.push_back(container);
}

TQSExecData::OpenScope::~OpenScope() { m_exec.m_open.pop_back(); }

bool TQSExecData::Emit(TQSScriptObject* object) {
    if (m_state != TQSExecState::Preparing) return false;
    if (qint64(m_instructions.size()) >= kMaxInstructions)
        throw QSException(object, QStringLiteral("Too many instructions (more than %1)").arg(kMaxInstructions));
    m_instructions.push_back(object);
    if (m_script.Mode() == hmDebug)
        m_listing.append(
            QStringLiteral("%1  %2").arg(int(m_instructions.size()), 4, 10, QChar(u'0')).arg(object->ClassName()));
    return true;
}

TQSScriptObject* TQSExecData::CurrentObject() const {
    return m_pc >= 0 && m_pc < int(m_instructions.size()) ? m_instructions[size_t(m_pc)] : nullptr;
}

void TQSExecData::LeaveTables() {
    m_home.clear();
    for (const TQSScriptObject* object : m_registered) {
        auto* datasource = dynamic_cast<TQSDatasource*>(const_cast<TQSScriptObject*>(object));
        TQSObjectState state;
        if (datasource && datasource->SaveState(state)) m_home.emplace_back(datasource, state);
    }
    m_tablesAway = true;
}

void TQSExecData::ReturnTables() {
    if (!m_tablesAway) return;
    m_tablesAway = false;
    for (const auto& [datasource, state] : m_home) {
        // Best effort: a table that cannot move now keeps its place, and the run's own
        // outcome stands.
        try {
            datasource->RestoreState(state);
        } catch (const Exception&) {}
        datasource->ReleaseControls();
    }
}

void TQSExecData::ResetRun() {
    Fire(qeStateChanged, nullptr);
    ReturnTables();
    m_home.clear();
    m_snapshots.clear();
    m_instructions.clear();
    m_listing.clear();
    m_pc = -1;
    m_pageEnd = 0;
    m_pageCount = -1;
    m_currentPage = 0;
    m_compiled = false;
    m_runKind = TQSRunKind::Run;
    m_state = TQSExecState::Idle;
    m_layout = nullptr;
    PrinterData.SetupPrinter();
}

void TQSExecData::Compile() {
    if (m_compiled) return;
    // A clean start: nothing of an earlier, failed attempt stays.
    ResetRun();
    m_measurer->Forget();
    PrinterData.PrintTime = QuillDayCount(Clock::Now());
    try {
        TQSBaseContainer* root = m_script.Root();
        TQuillCalc& calc = m_script.Calc();
        LeaveTables();
        m_state = TQSExecState::Compiling;
        root->Compile(calc);
        m_state = TQSExecState::Preparing;
        root->GetScriptSettings()->Execute(*this);
        for (int section : {1, 2, 3}) root->Section(section)->Execute(*this);
        NewPage(1);
        root->ScriptObjects()->Execute(*this);
    } catch (...) {
        ResetRun();
        throw;
    }
    ReturnTables();
    m_compiled = true;
    m_pc = 0;
    if (m_script.Mode() == hmDebug) WriteListing();
}

// The listing is a debugging aid: a failing write is no reason to refuse the run.
void TQSExecData::WriteListing() const {
    QStringList lines = m_listing;
    for (const TQSSnapshot& snapshot : m_snapshots) {
        lines.append(QStringLiteral("Page %1: %2 - %3").arg(snapshot.Page).arg(snapshot.FirstPC).arg(snapshot.LastPC));
        for (const auto& [object, state] : snapshot.States)
            lines.append(object->ClassName() + u'_' + object->Name() + u'=' + object->StateText(state));
    }
    try {
        TAtomicFile file(QDir(QDir::tempPath()).filePath(QStringLiteral("debug.txt")));
        file.SetSyncToDisk(false);
        file.Open();
        file.Write((lines.join(u'\n') + u'\n').toUtf8());
        file.Commit();
    } catch (const Exception&) {
        // The old listing stays as it was; the run goes on.
    }
}

void TQSExecData::ChooseLayout(int page) {
    TQSBaseContainer* root = m_script.Root();
    TQSPagelayouts* layouts = root->Pagelayouts();
    TQSPagelayout* layout = layouts ? layouts->FindLayoutForPage(page) : nullptr;
    if (!layout)
        throw QSException(nullptr, QStringLiteral("Error when producing page %1. No pagelayout found").arg(page));
    m_layout = layout;
    layout->CompileSizes(m_script.Calc());
    const TQSScriptSettings* settings = root->GetScriptSettings();
    layout->SetBands(settings->PrintSizeX(), settings->PrintSizeY());
    root->SetPageAreas(*layout);
    TQSBindData& body = root->ScriptObjects()->BindData();
    body.SetCurrentX(0);
    body.SetCurrentY(0);
}

void TQSExecData::NewPage(int page) {
    if (page > kMaxPages) throw QSException(nullptr, QStringLiteral("Too many pages (more than %1)").arg(kMaxPages));
    // The layout is checked before anything of the page is recorded.
    ChooseLayout(page);
    m_currentPage = page;
    m_pageCount = std::max(m_pageCount, page);
    TakeSnapshot(page);
    m_layout->Execute(*this);
}

void TQSExecData::TakeSnapshot(int page) {
    std::erase_if(m_snapshots, [page](const TQSSnapshot& s) { return s.Page == page; });
    TQSSnapshot snapshot;
    snapshot.Page = page;
    snapshot.FirstPC = int(m_instructions.size());
    if (!m_snapshots.empty()) m_snapshots.back().LastPC = int(m_instructions.size()) - 1;
    for (const TQSScriptObject* object : m_registered) {
        TQSObjectState state;
        if (object->SaveState(state)) snapshot.States.emplace_back(object, std::move(state));
    }
    for (TQSContainer* container : m_open) {
        if (!container->IsArea()) continue;
        const TQSBindData& area = container->BindData();
        snapshot.Areas.push_back({container, area.X, area.Y, area.Width, area.Height, area.MarginLeft, area.MarginTop,
                                  area.MarginRight, area.MarginBottom, area.CurrentX(), area.CurrentY()});
    }
    m_snapshots.push_back(std::move(snapshot));
}

void TQSExecData::RestoreSnapshot(const TQSSnapshot& snapshot) {
    for (const auto& [object, state] : snapshot.States) const_cast<TQSScriptObject*>(object)->RestoreState(state);
    for (const TQSAreaState& saved : snapshot.Areas) {
        TQSBindData& area = saved.Container->BindData();
        area.SetArea(saved.X, saved.Y, saved.Width, saved.Height);
        area.MarginLeft = saved.MarginLeft;
        area.MarginTop = saved.MarginTop;
        area.MarginRight = saved.MarginRight;
        area.MarginBottom = saved.MarginBottom;
        area.SetCurrentX(saved.CurrentX);
        area.SetCurrentY(saved.CurrentY);
    }
}

void TQSExecData::GotoPage(TQSExecState mode, int page) {
    if (page < 1 || page > m_pageCount) throw Exception(QStringLiteral("Page index out of range"));
    const auto it =
        std::find_if(m_snapshots.begin(), m_snapshots.end(), [page](const TQSSnapshot& s) { return s.Page == page; });
    if (it == m_snapshots.end()) throw Exception(QStringLiteral("Snapshot for page %1 not found").arg(page));
    ChooseLayout(page);
    if (mode == TQSExecState::Preview) {
        m_previewPage = page;
        Fire(qePreviewPage, nullptr, page);
    } else {
        m_printPage = page;
        Fire(qePrintPage, nullptr, page);
    }
    m_state = mode;
    m_pc = it->FirstPC;
    m_pageEnd = it->LastPC;
    m_tablesAway = true;
    RestoreSnapshot(*it);
}

void TQSExecData::Step() {
    TQSScriptObject* object = CurrentObject();
    if (!object) return;
    object->Execute(*this);
    ++m_pc;
    while (TQSScriptObject* slave = CurrentObject()) {
        if (!slave->IsSlave()) break;
        slave->Execute(*this);
        ++m_pc;
    }
}

void TQSExecData::ExecutePage(TQSExecState mode, TQSRunKind runKind) {
    if (!m_compiled) {
        Compile();
        GotoPage(mode, 1);
    }
    m_state = mode;
    m_runKind = runKind;
    if (runKind != TQSRunKind::Paused) Fire(qeStateChanged, nullptr);
    const bool debug = m_script.Mode() == hmDebug;
    try {
        do {
            Step();
            if (m_pc >= int(m_instructions.size())) {
                m_runKind = TQSRunKind::Finished;
                Fire(qeStateChanged, nullptr);
            }
            if (m_runKind == TQSRunKind::Breakpoints && debug && Breakpoints.contains(CurrentObject()))
                m_runKind = TQSRunKind::Paused;
            if (m_runKind == TQSRunKind::Paused) Fire(qeStateChanged, CurrentObject());
        } while (m_pc <= m_pageEnd && m_runKind != TQSRunKind::Paused && m_runKind != TQSRunKind::Finished);
    } catch (...) {
        ReturnTables();
        throw;
    }
    // A paused run goes on from where it stands; a finished page gives the tables back.
    if (m_runKind != TQSRunKind::Paused || m_pc > m_pageEnd) ReturnTables();
    if (m_runKind == TQSRunKind::Paused && m_pc > m_pageEnd) {
        if (OnPageEnd) OnPageEnd(QStringLiteral("You have reached the end of the page. Press OK to start next page."));
        if (m_previewPage + 1 <= m_pageCount) GotoPage(TQSExecState::Preview, m_previewPage + 1);
    }
}

TQSContainer* TQSExecData::CurrentArea() const {
    const TQSScriptObject* object = m_evaluating;
    if (!object && (m_state == TQSExecState::Preview || m_state == TQSExecState::Print)) object = CurrentObject();
    TQSContainer* area = object ? object->Area() : nullptr;
    return area ? area : m_script.Root()->ScriptObjects();
}

TQSRunValues TQSExecData::RunValues() const {
    TQSRunValues values;
    values.Page = m_state == TQSExecState::Preparing ? m_currentPage
        : m_state == TQSExecState::Preview           ? m_previewPage
        : m_state == TQSExecState::Print             ? m_printPage
                                                     : 0;
    values.PageCount = std::max(m_pageCount, 0);
    values.PrintTime = PrinterData.PrintTime;
    if (const TQSContainer* owner = CurrentArea()) {
        const TQSBindData& area = owner->BindData();
        values.ClientWidth = area.ClientWidth();
        values.ClientHeight = area.ClientHeight();
        values.ParentY = area.CurrentY();
    }
    return values;
}

namespace {

// A length in device pixels of a preview: scaled by the zoom and the screen's resolution.
int PreviewPixels(int printerPixels, const TQSHandler* handler, bool vertical, int printerDpi) {
    const double zoom = handler ? handler->PreviewZoom() : 100;
    const double dpi = handler ? (vertical ? handler->PreviewDPIY() : handler->PreviewDPIX()) : 96;
    return int(std::nearbyint(zoom / 100.0 * printerPixels * dpi / printerDpi));
}

}  // namespace

int TQSExecData::DeviceX(double mm) const {
    if (m_state == TQSExecState::Print) return MmToPixelX(mm - PrinterData.OffsetX);
    const int p = MmToPixelX(mm);
    if (m_state != TQSExecState::Preview || PrinterData.DPIX == 0) return p;
    return PreviewPixels(p, m_script.Handler(), false, PrinterData.DPIX);
}

int TQSExecData::DeviceY(double mm) const {
    if (m_state == TQSExecState::Print) return MmToPixelY(mm - PrinterData.OffsetY);
    const int p = MmToPixelY(mm);
    if (m_state != TQSExecState::Preview || PrinterData.DPIY == 0) return p;
    return PreviewPixels(p, m_script.Handler(), true, PrinterData.DPIY);
}

// Pen widths and corners scale in a preview by the horizontal resolutions, both ways.
int TQSExecData::DeviceLength(double mm) const {
    const int p = MmToPixelX(mm);
    if (m_state != TQSExecState::Preview || PrinterData.DPIX == 0) return p;
    return PreviewPixels(p, m_script.Handler(), false, PrinterData.DPIX);
}

int TQSExecData::DeviceLengthY(double mm) const {
    const int p = MmToPixelY(mm);
    if (m_state != TQSExecState::Preview || PrinterData.DPIX == 0) return p;
    return PreviewPixels(p, m_script.Handler(), false, PrinterData.DPIX);
}

void TQSExecData::DrawText(TQSCanvas& canvas, const TQSBindData& area, double x, double y, const QString& line) const {
    const QRect clip(QPoint(DeviceX(area.ClientX()), DeviceY(area.ClientY())),
                     QPoint(DeviceX(area.X + area.Width - area.MarginRight) - 1,
                            DeviceY(area.Y + area.Height - area.MarginBottom) - 1));
    canvas.DrawText(DeviceX(area.ClientX() + area.CurrentX() + x), DeviceY(area.ClientY() + area.CurrentY() + y), line,
                    clip);
}

void TQSExecData::DrawRectangle(TQSCanvas& canvas, const TQSBindData& area, double x, double y, double width,
                                double height, double borderWidth, double cornerRadius, qint32 borderColor,
                                qint32 backgroundColor) const {
    canvas.SetPen(borderWidth != 0, borderColor, borderWidth != 0 ? DeviceLength(borderWidth) : 0);
    canvas.SetBrush(backgroundColor);
    const double left = area.ClientX() + area.CurrentX() + x, top = area.ClientY() + area.CurrentY() + y;
    const QRect box(QPoint(DeviceX(left), DeviceY(top)), QPoint(DeviceX(left + width) - 1, DeviceY(top + height) - 1));
    if (cornerRadius == 0)
        canvas.DrawRectangle(box, 0, 0);
    else
        canvas.DrawRectangle(box, DeviceLength(cornerRadius), DeviceLengthY(cornerRadius));
}

void TQSExecData::DrawLine(TQSCanvas& canvas, const TQSBindData& area, double x1, double y1, double x2, double y2,
                           double lineWidth, qint32 color) const {
    canvas.SetPen(true, color, DeviceLength(lineWidth));
    const double left = area.ClientX() + area.CurrentX(), top = area.ClientY() + area.CurrentY();
    canvas.DrawLine(DeviceX(left + x1), DeviceY(top + y1), DeviceX(left + x2), DeviceY(top + y2));
}

void TQSExecData::DrawPicture(TQSCanvas& canvas, const TQSBindData& area, double x, double y, double width,
                              double height, const QByteArray& picture, bool transparent) const {
    const double left = area.ClientX() + area.CurrentX() + x, top = area.ClientY() + area.CurrentY() + y;
    const QRect box(QPoint(DeviceX(left), DeviceY(top)), QPoint(DeviceX(left + width) - 1, DeviceY(top + height) - 1));
    canvas.DrawPicture(box, picture, transparent);
}
