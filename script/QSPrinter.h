#pragma once
// The printer side of an execution: the paper settings in the printer's own terms, and the
// device that takes the pages (a printer, a PDF file or a recording for tests).
#include <QPoint>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "script/QSCanvas.h"

class TQSScript;
class TQSScriptSettings;

// The printer settings record: paper code, paper size in tenths of a millimetre, orientation.
struct TQSDeviceMode {
    static constexpr int kA3 = 8, kA4 = 9, kA5 = 11;
    static constexpr int kPortrait = 1, kLandscape = 2;
    int PaperCode = kA4;
    int PaperWidth = 2100, PaperLength = 2970;
    int Orientation = kPortrait;
    bool operator==(const TQSDeviceMode&) const = default;
};

// Changes the record in place after the script's paper settings; a custom size keeps the code.
void ApplyPaperSettings(TQSDeviceMode& mode, int paperSize, double sizeXMm, double sizeYMm, int orientation);

class TQSPrintTarget {
public:
    virtual ~TQSPrintTarget();
    virtual TQSDeviceMode DeviceMode() const = 0;
    virtual void SetDeviceMode(const TQSDeviceMode& mode) = 0;
    virtual int DpiX() const = 0;
    virtual int DpiY() const = 0;
    // The printable area's offset from the paper's edge, in device pixels.
    virtual QPoint PhysicalOffset() const = 0;
    virtual QSizeF PrintableSizeMm() const = 0;
    virtual void BeginDoc(const QString& title) = 0;
    virtual void NewPage() = 0;
    virtual void EndDoc() = 0;
    // Drops the document begun: nothing of it is printed or written. By default the document
    // is ended.
    virtual void Abort() { EndDoc(); }
    // The canvas of the current page; none outside a document.
    virtual TQSCanvas* Canvas() = 0;
};

// A printer of fixed device values that records the job.
class TQSRecordingTarget : public TQSPrintTarget {
public:
    explicit TQSRecordingTarget(int dpi = 600, QPoint offset = QPoint()) : m_dpi(dpi), m_offset(offset) {}
    TQSDeviceMode DeviceMode() const override { return Mode; }
    void SetDeviceMode(const TQSDeviceMode& mode) override { Mode = mode; }
    int DpiX() const override { return m_dpi; }
    int DpiY() const override { return m_dpi; }
    QPoint PhysicalOffset() const override { return m_offset; }
    QSizeF PrintableSizeMm() const override;
    void BeginDoc(const QString& title) override;
    void NewPage() override;
    void EndDoc() override;
    void Abort() override;
    TQSCanvas* Canvas() override { return m_open ? &Page : nullptr; }

    TQSDeviceMode Mode;
    QStringList Job;  // "begin <title>", "page", "end", "abort"
    TQSRecordingCanvas Page;

private:
    int m_dpi;
    QPoint m_offset;
    bool m_open = false;
};

// The printer data of one execution.
class TQSPRNData {
public:
    double OffsetX = 0, OffsetY = 0;  // mm
    int DPIX = 600, DPIY = 600;
    double PrintableWidth = 0, PrintableHeight = 0;  // mm
    double PrintTime = 0;  // day count

    // The script whose paper settings apply.
    TQSScript* Script = nullptr;

    TQSPrintTarget* Target() const { return m_target.get(); }
    void SetTarget(std::unique_ptr<TQSPrintTarget> target);
    // Makes the target of the platform's printer of an index.
    std::function<std::unique_ptr<TQSPrintTarget>(int printerIndex)> PrinterFactory;
    // Makes the target used when the chosen one reports no resolution.
    std::function<std::unique_ptr<TQSPrintTarget>()> FallbackTarget;

    // Selects the printer of that index and sets it up for the script.
    void SetPrinterIndex(int index);
    // Applies the script's paper settings to the target and reads its device values.
    void SetupPrinter();
    void SetupPrinter(const TQSScriptSettings& settings);
    void BeginDoc(const QString& title);
    void NewPage();
    void EndDoc();
    void Abort();

private:
    void ReadDevice();
    std::unique_ptr<TQSPrintTarget> m_target;
};
