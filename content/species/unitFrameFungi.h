#pragma once
// The species frame: browses cdsFungi, shows the current species as a description page whose
// content follows how far the description is completed, or as a table, shows the species'
// main picture, keeps the user's private notes on the species and hosts the species'
// sub-screens in its own area or on its full page.
#include <QHash>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <memory>

#include "shell/FRScreens.h"

class QAbstractButton;
class QLabel;
class QListWidget;
class QPushButton;
class QScrollArea;
class QTableView;
class QToolButton;
class TDataSource;
class DataSetModel;
class TExtClientDataSet;
class TFlatPageControl;
class TFRDBColorbar;
class TFRDBSeason;
class TFRDBSwedenMap;
class TFRDBMultiChoice;
class TFRMemo;
class TFRSearchPanel;
class TFRTitlePicture;
class TFRFungiScreen;

// The key of the built-in contact that stands for the program itself as the completer.
inline constexpr const char* BuiltInCompleterKey = "060AAAAAAAAAAAAAAA";
// The most characters a row of the notes holds.
inline constexpr int NoteRowWidth = 80;

// Cuts a notes line into pieces of at most width characters, at blanks where there are any,
// so that the pieces joined again give the line back.
QStringList CutNoteLine(const QString& line, int width = NoteRowWidth);

class TframeFungi : public TFRFrameBase, public TFRSubScreenHost {
    Q_OBJECT
public:
    explicit TframeFungi(TFRFungiScreen* screen, QWidget* parent = nullptr);
    ~TframeFungi() override;

    // ---- Frame state ----
    // The open sub-screen: 1 finds, 2 look-alikes, 3 find places, 4 pictures; -1 at first.
    int SubScreenIndex = -1;
    // 1 form, 2 table.
    int ShowMode = 0;
    bool Loading = false;
    bool EditingNotes = false;

    // ---- TFRFrameBase ----
    void InitFrame() override;
    void DoneFrame() override;
    void LoadSettings() override;
    void SaveSettings() override;
    void UpdateFrame() override;
    TFRHistoryItem* CreateHistoryItem() override;
    void RestoreHistory(TFRHistoryItem* item) override;
    void UpdateButtons() override {}

    // ---- TFRSubScreenHost ----
    TFRFungiSubScreen* CurrentSubScreen() const override { return m_current; }
    void SetCurrentSubScreen(TFRFungiSubScreen* subScreen) override { m_current = subScreen; }
    void HideCurrentSubScreen() override;
    QWidget* SubScreenArea() const override { return panelSubScreen; }
    QWidget* ShowExternalFramePage() override;

    void ShowSubScreen(int index);
    void CloseSubScreen();

    // ---- Actions ----
    void BrowseClick(int tag);
    void SortClick(int tag);
    void ModeClick(int tag);
    void SubScreenClick(int tag) { ShowSubScreen(tag); }
    void SelectionClick();
    // "Komplettera": the species input form over the current species.
    void CompleteClick();
    void ClearSelectionClick();
    void SearchPerformed(const QString& key);
    void SporeClick();
    void NotesChanged();
    void SaveNotesClick();
    void CancelNotesClick();
    // The scripts of the group "FungiMain" under the print button.
    void PrintClick();
    // The browse controls (tool panel and sub-screen buttons) on or off.
    void SetBrowseControlsEnabled(bool enabled);
    // Whether the browse buttons are enabled.
    bool BrowseEnabled() const;

    // The sort button of an order (1..3), the sub-screen button of a tag (1..4).
    QToolButton* SortButton(int order) const;
    QToolButton* SubScreenButton(int tag) const;
    // The name of the page shown.
    QString ShownPageName() const;
    // The running top after the description column was laid out.
    int ColumnBottom() const { return m_stackPos; }

    // ---- Components ----
    QWidget* panelTools = nullptr;
    QList<QToolButton*> BrowseButtons;  // tags 1..4
    QList<QToolButton*> SortButtons;  // tags 1..3
    QList<QToolButton*> ModeButtons;  // tags 1..2
    QList<QToolButton*> SubButtons;  // tags 1..4
    TFRSearchPanel* searchFungi = nullptr;
    QPushButton* btnSelection = nullptr;  // "Urval"
    QPushButton* btnComplete = nullptr;  // "Komplettera"
    QToolButton* btnCompleteHelp = nullptr;
    QToolButton* btnPrint = nullptr;
    QToolButton* btnFactError = nullptr;
    QWidget* panelSubButtons = nullptr;
    QWidget* panelSubScreen = nullptr;
    QWidget* panelPages = nullptr;
    TFlatPageControl* pagesFungi = nullptr;
    QWidget* tabsIncomplete = nullptr;
    QWidget* tabsFullData = nullptr;
    QWidget* tabsTable = nullptr;
    QWidget* tabsNoData = nullptr;
    QWidget* tabsExternalFrame = nullptr;
    QWidget* panelExternalFrame = nullptr;
    // Incomplete page.
    QLabel* lblIncompleteName = nullptr;
    QLabel* lblIncompleteLatin = nullptr;
    QLabel* lblIncompleteInfo = nullptr;
    // No-data page.
    QLabel* lblNoData = nullptr;
    QPushButton* btnClearSelection = nullptr;  // "Upphäv urval"
    QPushButton* btnSelectionWindow = nullptr;  // "Urvalsfönster"
    // Table page.
    QTableView* gridFungi = nullptr;
    // Description column.
    QScrollArea* scrollDescription = nullptr;
    QWidget* panelColumn = nullptr;
    QListWidget* listSwedishNames = nullptr;
    QListWidget* listLatinNames = nullptr;
    QWidget* panelSpores = nullptr;
    QToolButton* btnSpores = nullptr;
    QLabel* lblSporeColor = nullptr;
    TFRDBColorbar* cbarSporeColor = nullptr;
    QLabel* lblSporeHint = nullptr;
    TFRMemo* memoTexts = nullptr;  // "Övrigt:"
    TFRMemo* memoPrivate = nullptr;  // "Egna noteringar:"
    QPushButton* btnSaveNotes = nullptr;  // "Spara"
    QPushButton* btnCancelNotes = nullptr;  // "Avbryt"
    // Right column.
    TFRTitlePicture* picMain = nullptr;
    TFRDBSeason* dbseasonFungi = nullptr;
    TFRDBSwedenMap* dbswedenmapFungi = nullptr;

    // A row of the column by its label text ("Matvärde:"), for the label and its field.
    QLabel* RowLabel(const QString& caption) const;
    QWidget* RowField(const QString& field) const;

private:
    struct TRow;
    void SetupFrame();
    void SourceOfBoundControls();
    // The description column: its rows built once, laid out for each species (defined with
    // its row builders, Stack and FillTextLines in FungiDescriptionColumn.cpp).
    void SetupColumn();
    void LayoutColumn();
    void ShowPage(const QString& name);
    void ShowInfoText(const QString& label);
    void LoadMainPicture();
    void Stack(QWidget* control, bool show, int advance);
    QLabel* AddLabel(const QString& caption, int x = 0);
    QLabel* AddText(const QString& field, int x, int width);
    TFRDBMultiChoice* AddChoice(const QString& field, const QStringList& items, int cols, int width, bool multi);
    TFRDBColorbar* AddColorbar(const QString& field);
    QString FieldText(const QString& field) const;
    int FieldInt(const QString& field, int otherwise = -1) const;
    void SetNotesButtons(bool visible);
    void FillTextLines();

    TFRFungiScreen* m_screen;
    TExtClientDataSet* m_fungi;
    TDataSource* m_source = nullptr;
    DataSetModel* m_model = nullptr;
    QPointer<TFRFungiSubScreen> m_current;
    int m_stackPos = 0;
    QHash<QString, QLabel*> m_labels;
    QHash<QString, QWidget*> m_fields;
    // The species whose notes the notes box holds.
    QString m_notesKey;
};
