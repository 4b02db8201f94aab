#pragma once
// The small always-on-top status window that shows the progress of start-up and of long
// work. A status text is either plain, or "N,text" where N is a number of milliseconds the
// text stays at least; while it waits the window processes events and the main window is
// disabled. A text after the comma that begins with "*" replaces the last line.
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

    QPointer<QWidget> m_mainWindow;
    QStringList m_lines;
    bool m_busyCursor = false;
};

// The program's one status window while it exists; long work elsewhere shows its progress
// in it. Set by the program block.
extern QPointer<TformSimpleInfo> formSimpleInfo;
