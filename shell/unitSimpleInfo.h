#pragma once
// The small always-on-top status window that shows the progress of start-up and of long
// work. A status text is either plain, or "N,text" where N is a number of milliseconds the
// text stays at least, counted from when it shows: the work goes on meanwhile, and the next
// text or the hiding of the window waits out what is left, processing events; the main window
// is disabled while a timed text shows. A text after the comma that begins with "*" replaces
// the last line.
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

class QLabel;
class QPlainTextEdit;

class TformSimpleInfo : public QWidget {
    Q_OBJECT

public:
    // The window is top-level (owned by the application); version goes into its caption.
    explicit TformSimpleInfo(const QString& version, QWidget* parent = nullptr);
    ~TformSimpleInfo() override;

    // Adds a status line (see the class comment).
    void AddInfo(const QString& text);

    // The window disabled while a timed text shows and enabled again when this one hides.
    void SetMainWindow(QWidget* mainWindow) { m_mainWindow = mainWindow; }
    QWidget* MainWindow() const { return m_mainWindow; }

    // The status lines as shown.
    QStringList Lines() const { return m_lines; }

    QLabel* imageInfo = nullptr;
    QPlainTextEdit* memoInfo = nullptr;

    // Hiding waits until the last timed text has stood its time.
    void setVisible(bool visible) override;
    // Whether the window stands aside for a message box and comes back when it closes.
    bool SteppedAside() const { return m_steppedAside; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void SetupForm(const QString& version);
    // Hiding: the cursor back to the default, the main window enabled, the lines cleared.
    void FormHide();
    void AddLine(const QString& text);
    void DeleteLastLine();
    void ShowLines();
    void SetBusyCursor();
    void RestoreCursor();
    // Waits, processing events, until the timed text shown last has stood its time.
    void WaitForHeldText();
    // A message box shows (true) or has closed (false): the window, which stays above all
    // others, would cover it, so it goes away for the box with its lines and comes back after.
    void MessageBoxShowing(bool showing);

    QPointer<QWidget> m_mainWindow;
    QStringList m_lines;
    bool m_busyCursor = false;
    // The timed text shown last stays until the tick count passes this.
    bool m_holding = false;
    quint64 m_holdUntil = 0;
    int m_boxWatcher = 0;
    int m_boxDepth = 0;
    bool m_steppedAside = false;
    bool m_hidingForBox = false;
    bool m_busyBeforeBox = false;
    bool m_mainEnabledForBox = false;
};

// The program's one status window while it exists; long work elsewhere shows its progress
// in it. Set by the program block.
extern QPointer<TformSimpleInfo> formSimpleInfo;
