#pragma once
// The wizard that downloads, in one run, every linked species picture whose file is not
// there yet: an information page, and the progress of the run with the picture in hand, its
// size, the gauges, the speed, the time and the failures.
#include "content/tools/LPDownload.h"
#include "content/tools/unitWizardForm.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class TDM;
class TFRIConnection;

class TformLPWizard : public TFRWizardForm {
    Q_OBJECT
public:
    enum TPage { pgInfo = 0, pgProgress = 1 };

    // Counts the pictures to download at once (hourglass meanwhile).
    TformLPWizard(TDM* dm, TFRIConnection& connection, QWidget* parent = nullptr);
    ~TformLPWizard() override;

    TPage Page() const;
    const TLPDownload& Download() const { return m_download; }

    // "&Starta": downloads every pending picture, then tells how the run ended.
    void btnStartClick();
    // The clock: the time since the start and the speed of the run.
    void timerClockTimer();

    QWidget* tabsInfo = nullptr;
    QWidget* tabsProgress = nullptr;
    QLabel* lblInfo = nullptr;
    QLabel* lblFileName = nullptr;
    QLabel* lblSource = nullptr;
    QLabel* lblSize = nullptr;
    QProgressBar* gaugePicture = nullptr;
    QProgressBar* gaugeTotal = nullptr;
    QLabel* lblSpeed = nullptr;
    QLabel* lblElapsed = nullptr;
    QLabel* lblFailed = nullptr;
    QPushButton* btnStart = nullptr;
    QTimer* timerClock = nullptr;

protected:
    // The transfer in hand is interrupted.
    bool Running() const override { return m_download.Running; }
    bool Stopping() const override { return m_download.Aborted; }
    void Stop() override { m_download.Abort(); }

private:
    void SetupForm();
    void ShowProgress();
    void ShowSize(qint64 bytes);

    TLPDownload m_download;
    quint64 m_start = 0;
};
