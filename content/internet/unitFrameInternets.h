#pragma once
// The internet resources' content frame: one level of the resource tree as a column of tool
// panels. A panel opens a link, an e-mail address or a program of the program folder, or
// opens the next level; "Tillbaka" goes up one level. The tree is read-only here.
//
// Links, mail and programs go through InternetShell, a small launcher whose two calls tests
// replace: addresses are opened through the shell services and programs started with
// QProcess::startDetached with their arguments, never through a shell.
#include <QList>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <optional>

#include "shell/FRScreens.h"
#include "platform/ShellServices.h"

class QLabel;
class QScrollArea;
class QStackedWidget;
class QToolButton;
class TDM;
class TExtClientDataSet;
class TFRIniFile;
class TFRToolPanel;

namespace InternetShell {
// Opens an address with the desktop's handler; false when it could not be opened.
using TOpenUrlHook = std::function<bool(const QUrl& url)>;
// Starts a program detached; false when it could not be started.
using TStartProgramHook =
    std::function<bool(const QString& program, const QStringList& arguments, const QString& workingFolder)>;
// An empty hook gives back the desktop's own call.
void SetOpenUrlHook(TOpenUrlHook hook);
void SetStartProgramHook(TStartProgramHook hook);
bool OpenUrl(const QUrl& url);
// The same with the desktop's answer; without a hook of its own it goes through the shell
// services (and their test hook).
ShellServices::TOpenResult Open(const QUrl& url);
bool StartProgram(const QString& program, const QStringList& arguments, const QString& workingFolder);

// What a link may open: an http, https, ftp or mailto address (a bare "www." address is
// taken as http), or a local file or folder that exists and is not a program (nor a file
// the desktop would run). Nothing otherwise.
std::optional<QUrl> LinkTarget(const QString& rowData);
// A program line: "#progdir#" stands for the program folder; the first word (quoted when it
// holds blanks) is the program, the rest its arguments. The program must be an executable
// file that, with every link resolved, lies inside the program folder; nothing otherwise.
struct TProgramLine {
    QString Program;
    QStringList Arguments;
};
std::optional<TProgramLine> ProgramTarget(const QString& rowData, const QString& programFolder);
}  // namespace InternetShell

// The actions of a resource, by their stored value.
enum TInternetAction { iaSubMenu = 0, iaLink = 1, iaMail = 2, iaRunExe = 3, iaRunEvent = 4 };

class TframeInternets : public TFRFrameBase {
    Q_OBJECT
public:
    // The frame shows the resources of the data module's internet tables; the level to show
    // first comes from the settings store (may be nullptr).
    TframeInternets(TDM* dm, TFRIniFile* settings, QWidget* parent = nullptr);
    ~TframeInternets() override;

    void InitFrame() override;
    void LoadSettings() override;
    void UpdateFrame() override;
    TFRHistoryItem* CreateHistoryItem() override;
    void RestoreHistory(TFRHistoryItem* item) override;

    // The key of the item whose children are shown; empty for the top level.
    QString CurrentMasterUKey;

    // Lays out the panels of the current level in the table's index order.
    void BuildPanels();
    // A panel's click: opens the level or runs the item's action.
    void ToolPanelClick(TFRToolPanel* panel);
    // Back to the level above.
    void sbtnBackClick();

    // The panels shown now, top to bottom.
    QList<TFRToolPanel*> VisiblePanels() const;
    // Every panel the frame still holds, shown or waiting to be freed.
    int PanelCount() const { return int(m_panels.size()); }

    // ---- Components ----
    QStackedWidget* pagesMain = nullptr;
    QWidget* tabsMain = nullptr;
    QToolButton* sbtnBack = nullptr;  // "Tillbaka"
    QScrollArea* scrollPanels = nullptr;
    QWidget* panelHolder = nullptr;
    QLabel* lblNoItems = nullptr;  // "Inga ytterligare resurser här!"
    QTimer timerDeletePanels;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct TPanelItem {
        TFRToolPanel* Panel = nullptr;
        QString Key;  // the item the panel shows
    };
    void FillPanel(TFRToolPanel* panel);
    // The index that shows the children of an item: "main_inv" when it sorts descending.
    QString IndexForLevel(const QString& masterKey);
    void SetLevel(const QString& masterKey);
    void AddHistoryItem();
    void DeleteSurplusPanels();
    void FitPanelWidths();
    TExtClientDataSet* Items() const;

    TDM* m_dm;
    TFRIniFile* m_settings;
    QList<TPanelItem> m_panels;
    int m_firstSurplus = 0;
};
