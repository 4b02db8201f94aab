#pragma once
// The database check and repair wizard: a modal dialog that runs TRepairCheck over the whole
// database and shows its running report, with a clock of the time since the start and the
// summary at the end. Its states: 0 info, 1 running, 2 done, 3 aborted.
#include <QDialog>
#include <QPixmap>
#include <QStringList>
#include <QTimer>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QVBoxLayout;
class TDM;
class TFlatPageControl;
class TRepairCheck;

// The glyph of the check and repair: a database drum with a check mark, size x size pixels.
QPixmap RepairGlyph(int size);

class TformRepairWizard : public QDialog {
    Q_OBJECT
public:
    enum class TState { Info = 0, Running = 1, Done = 2, Aborted = 3 };

    explicit TformRepairWizard(TDM* dm, QWidget* parent = nullptr);
    ~TformRepairWizard() override;

    TState State() const { return m_state; }
    // Shows the page, texts and buttons of the present state.
    void UpdatePage();
    // A line of the report: "*" at its start replaces the last line. The window is repainted
    // (and may be closed) before the line returns.
    void AddReportLine(const QString& text);
    // The report as it stands.
    const QStringList& ReportLines() const { return m_report; }

    // ---- Handlers ----
    // Starts the check in the info state (it runs inside the click); closes the window with
    // OK once the check is over.
    void btnNextClick();
    // Before the start it closes the window; while the check runs it asks it to stop.
    void btnCancelClick();
    void btnHelpClick();
    void timerClockTick();

    // ---- Components ----
    QWidget* imageWizard = nullptr;
    QWidget* panelPage = nullptr;
    TFlatPageControl* fpcMain = nullptr;
    QWidget* tabsInfo = nullptr;
    QWidget* tabsRepairing = nullptr;
    QWidget* tabsRepairAborted = nullptr;
    QLabel* lblP2 = nullptr;
    QPlainTextEdit* memoReport = nullptr;
    QWidget* panelP2_2 = nullptr;
    QLabel* panelTime = nullptr;
    QPushButton* btnCancel = nullptr;  // "Avbryt"
    QPushButton* btnPrevious = nullptr;  // "&Föregående", never enabled
    QPushButton* btnNext = nullptr;  // "Starta", then "Avsluta"
    QPushButton* btnHelp = nullptr;  // "Hjälp"
    QTimer timerClock;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void SetupComponents();
    // A page of the page control and the holder of its controls.
    QWidget* AddPage(const QString& name);
    // A page of the heading and a text; gives the page.
    QWidget* AddTextPage(const QString& name, const QString& text);
    void RunCheck();
    // Closing while the check runs: the window stays, the check stops at its next row.
    void AbortRun();

    TDM* m_dm;
    TState m_state = TState::Info;
    bool m_running = false;
    bool m_failed = false;
    quint64 m_startTick = 0;
    QStringList m_report;
    TRepairCheck* m_check = nullptr;
    QVBoxLayout* m_pageLayout = nullptr;
};
