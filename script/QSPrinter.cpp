#include "script/QSPrinter.h"

#include <QDateTime>
#include <cmath>

#include "platform/Clock.h"
#include "script/QSObjects.h"
#include "script/QSScript.h"
#include "script/QuillCalc.h"

TQSPrintTarget::~TQSPrintTarget() = default;

void ApplyPaperSettings(TQSDeviceMode& mode, int paperSize, double sizeXMm, double sizeYMm, int orientation) {
    if (paperSize == 0)
        mode.PaperCode = TQSDeviceMode::kA3;
    else if (paperSize == 1)
        mode.PaperCode = TQSDeviceMode::kA4;
    else if (paperSize == 2)
        mode.PaperCode = TQSDeviceMode::kA5;
    mode.PaperWidth = int(std::nearbyint(sizeXMm * 10));
    mode.PaperLength = int(std::nearbyint(sizeYMm * 10));
    mode.Orientation = orientation == 1 ? TQSDeviceMode::kLandscape : TQSDeviceMode::kPortrait;
}

QSizeF TQSRecordingTarget::PrintableSizeMm() const { return QSizeF(Mode.PaperWidth / 10.0, Mode.PaperLength / 10.0); }

void TQSRecordingTarget::BeginDoc(const QString& title) {
    Job.append(QStringLiteral("begin %1").arg(title));
    m_open = true;
}

void TQSRecordingTarget::NewPage() { Job.append(QStringLiteral("page")); }

void TQSRecordingTarget::EndDoc() {
    Job.append(QStringLiteral("end"));
    m_open = false;
}

void TQSRecordingTarget::Abort() {
    Job.append(QStringLiteral("abort"));
    m_open = false;
}

void TQSPRNData::SetTarget(std::unique_ptr<TQSPrintTarget> target) {
    m_target = std::move(target);
    ReadDevice();
}

void TQSPRNData::SetPrinterIndex(int index) {
    if (PrinterFactory) m_target = PrinterFactory(index);
    SetupPrinter();
}

void TQSPRNData::SetupPrinter() {
    if (const TQSScriptSettings* settings = Script && Script->Root() ? Script->Root()->GetScriptSettings() : nullptr)
        SetupPrinter(*settings);
}

void TQSPRNData::SetupPrinter(const TQSScriptSettings& settings) {
    if (!m_target) return;
    TQSDeviceMode mode = m_target->DeviceMode();
    ApplyPaperSettings(mode, settings.PaperSize(), settings.PrintSizeX(), settings.PrintSizeY(),
                       settings.Orientation());
    m_target->SetDeviceMode(mode);
    ReadDevice();
    if ((DPIX <= 0 || DPIY <= 0) && FallbackTarget) {
        // A device that answers no resolution cannot be laid out on: the PDF writer takes over.
        m_target = FallbackTarget();
        if (!m_target) return;
        m_target->SetDeviceMode(mode);
        ReadDevice();
    }
}

void TQSPRNData::ReadDevice() {
    if (!m_target) return;
    DPIX = m_target->DpiX();
    DPIY = m_target->DpiY();
    const QPoint offset = m_target->PhysicalOffset();
    OffsetX = DPIX > 0 ? offset.x() / double(DPIX) * 25.4 : 0;
    OffsetY = DPIY > 0 ? offset.y() / double(DPIY) * 25.4 : 0;
    const QSizeF printable = m_target->PrintableSizeMm();
    PrintableWidth = printable.width();
    PrintableHeight = printable.height();
}

void TQSPRNData::BeginDoc(const QString& title) {
    PrintTime = QuillDayCount(Clock::Now());
    if (m_target) m_target->BeginDoc(title);
}

void TQSPRNData::NewPage() {
    if (m_target) m_target->NewPage();
}

void TQSPRNData::EndDoc() {
    if (m_target) m_target->EndDoc();
}

void TQSPRNData::Abort() {
    if (m_target) m_target->Abort();
}
