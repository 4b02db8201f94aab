#pragma once
// The program's one main window, TformFRMain, and the program-wide values and helpers of
// its unit: the program's version and the check of number edits. The program folder and its
// paths (ProgramFolders), the info texts (InfoTexts) and the tables' display names
// (DatasetNames) are data-layer units of their own, included here.
//
// The window owns the settings store, the district table, the main screens with their menu
// buttons, the screen holder and the province/district menus of the place selection, and
// keeps the species and contact name lists and the colour memory.
#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "controls/FRGraphics.h"
#include "shell/FRScreens.h"
#include "core/DatasetNames.h"
#include "core/InfoTexts.h"
#include "core/ProgramFolders.h"
#include "core/QuickSelectionHandler.h"
#include "core/UKeyStringlist.h"
#include "script/QuillCalc.h"

class QAction;
class QActionGroup;
class QCloseEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPrinter;
class QShowEvent;
class QToolButton;
class TClientDataSet;
class TDM;
class TExtClientDataSet;
class TFRIConnection;
class TFRIniFile;
class TQSHandler;
class TQSPrintTarget;
class TQSScript;
class TZipArchiver;
enum class TPasswordButton;
class TformFRMain;

// ---- Program version ----------------------------------------------------------------------
// The program folder and its path builders are in ProgramFolders, included here.
// The program's version, "1.0.0".
QString GetProgramVersion();

// Checks an edit's text (surrounding blanks removed): mode 0 not empty, mode 1 an integer
// above 0, mode 2 an integer of 0 or more. On failure the edit gets the focus and Message
// is raised.
void CheckEditNumber(int mode, QLineEdit* edit, const QString& message);

// ---- Program-wide objects -------------------------------------------------------------------
// The settings store (the main window's inifileMain); nullptr once the quit sequence has
// flushed it, so later calls no longer reach it.
TFRIniFile* IniFile();
// The second settings object, with the same defaults.
TFRIniFile* SecondIniFile();
// The main window, or nullptr.
TformFRMain* MainForm();

// The main screens by their fixed numbers.
enum TScreenSlot {
    ssFungi = 0,
    ssMap,
    ssPlace,
    ssFood,
    ssKey,
    ssScience,
    ssContact,
    ssInternet,
    ssUser,
    ssTool,
    ScreenSlotCount
};

// ---- Article folders ----
// The files that packing a folder takes are ArticleFolderFiles (core/MyUtils.h).
// The most an article archive may unpack to, in bytes.
inline constexpr qint64 MaxUnpackedArticleSize = qint64(512) * 1024 * 1024;

// ---- The main window ------------------------------------------------------------------------
class TformFRMain : public QWidget, public TFRScreenHost {
    Q_OBJECT
public:
    // Makes a main screen owned by the window (through TFRScreen::Create, which puts its
    // button on the main menu). The program block registers one per function area.
    using TScreenFactory = std::function<TFRMainScreen*(TformFRMain* owner)>;
    static void RegisterScreenFactory(int screenID, TScreenFactory factory);
    static void ClearScreenFactories();

    // Runs the creation hook (FormCreate). The district file's failure is shown once in the
    // standard error box and leaves an empty district table.
    explicit TformFRMain(QWidget* parent = nullptr);
    ~TformFRMain() override;

    // ---- TFRScreenHost ----
    QWidget* ScreenHolder() const override { return panelScreenHolder; }
    QWidget* MenuMainPanel() const override { return panelMenuMain; }
    QWidget* MenuLowerPanel() const override { return panelMenuLower; }
    QAbstractButton* BackButton() const override;
    QAbstractButton* ForwardButton() const override;
    QAbstractButton* QuitButton() const override;

    // ---- Components ----
    QWidget* panelMainMenu = nullptr;
    QWidget* panelMenuUpper = nullptr;
    QToolButton* sbtnBack = nullptr;
    QToolButton* sbtnForward = nullptr;
    QLabel* panelMenuHeader = nullptr;
    QWidget* panelMenuMain = nullptr;
    QWidget* panelMenuLower = nullptr;
    QToolButton* sbtnQuit = nullptr;
    QToolButton* sbtnHelp = nullptr;
    QWidget* panelVersionInfo = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblCurrentUser = nullptr;
    QWidget* panelScreenHolder = nullptr;
    TFRIniFile* inifileMain = nullptr;
    // The zip component behind ZipFolder and UnzipTo.
    TZipArchiver* zipMain = nullptr;
    QMenu* popupPlaceSelection = nullptr;
    QMenu* miProvince = nullptr;  // "Län"
    QMenu* miDistrict = nullptr;  // "Kommun"

    // The district table (Province, District), ordered by province.
    TExtClientDataSet* cdsDistricts = nullptr;

    // ---- State ----
    // Up to 120 colour numbers, ascending.
    QList<int> PrevColors;
    TQuickSelectionHandler QuickSelection;
    // The FungiGroup values of the group table, in table order.
    QStringList FungiGroups;
    // Species names (Swedish, Latin and alternative names) and contact names, with keys.
    TUKeyStringlist FungiNames;
    TUKeyStringlist ContactNames;
    // Complete species descriptions counted while the species names were built.
    int CompleteFungiCount = 0;
    // The running position of StackControl.
    int StackPos = 0;
    // The place screen's selection, which the place menus show.
    QString PlaceSelProvince;
    QString PlaceSelDistrict;

    // ---- Links to the rest of the program ----
    // The name list of contacts follows the data module's contact table from here on.
    void SetDataModule(TDM* dm);
    TDM* DataModule() const { return m_dm; }
    // Choosing in the place menus: the province (empty for "Alla län") with its item's tag,
    // the district (empty for "Alla kommuner").
    std::function<void(const QString& province, int tag)> OnProvinceChosen;
    std::function<void(const QString& district)> OnDistrictChosen;
    // Lets the data module select the places of a province or district.
    std::function<void(const QString& province, const QString& district)> OnApplyPlaceSelection;
    // Ends the program after the quit sequence; by default the application's event loop quits.
    std::function<void()> OnTerminate;

    // ---- Screens ----
    // Creates the registered screens in the order of their numbers; each keeps the number it
    // was registered under, whichever screens exist before it.
    void CreateScreens();
    TFRMainScreen* Screen(int screenID) const;
    QList<TFRMainScreen*> Screens() const;

    // ---- Services ----
    void BuildSpeciesNameList();
    void BuildContactNameList();
    // Keeps the contact-name list current: the contact's names are replaced by the one given
    // (none when it is empty), or removed.
    void SetContactName(const QString& contactUKey, const QString& name);
    void RemoveContactName(const QString& contactUKey);
    void LoadPrevColors();
    void SortPrevColors();
    // Writes the colour memory back: six numbers per key "Settings/PrevColors%d".
    void SavePrevColors();
    // The colour dialog preset with a colour; true with the chosen colour on OK.
    bool ColorDialogExecute(TColor& color);
    // The colour choice over the colour memory (created, run and freed); true on OK.
    bool ChooseColor(TColor& color);
    void BuildPlaceMenus();
    // Fills the province and district drop-down lists for a record with the fields Province
    // and District. The province list is filled only when it is empty at the start.
    void FillDistrictItems(TClientDataSet* record, QStringList& provinceItems, QStringList& districtItems);
    void StackControl(QWidget* control, bool show, int advance, int offset);
    // The FungiGroup values of the data module's group table, in table order.
    void BuildFungiGroupList();
    // Packs every file below folder (ArticleFolderFiles) with their subfolder names into
    // zipFileName, which is replaced, never added to. Any failure of the component raises
    // "Fel vid Zip-komprimering. Meddelande: %s" and leaves no archive behind.
    void ZipFolder(const QString& folder, const QString& zipFileName);
    // Unpacks the whole archive into folder (created when missing), recreating its
    // subfolders. An archive with a name that would leave the folder, a link entry or more
    // than MaxUnpackedArticleSize bytes is refused before anything is written; any failure
    // raises the same message as ZipFolder.
    void UnzipTo(const QString& zipFileName, const QString& folder);
    // The component's message handler: an error is kept for the caller and the running
    // library call is asked to stop; other messages are ignored.
    void zipMainMessage(QObject* sender, int errCode, const QString& message);
    // Declines every password request; the program's archives have none.
    void zipMainPasswordError(QObject* sender, bool isZipAction, QString& newPassword, const QString& forFile,
                              quint32& repeatCount, TPasswordButton& action);

    // ---- Handlers ----
    void FormShow();
    // Closing waits for an unlocked navigation and an idle zip component.
    bool FormCloseQuery() const;
    void FormClose();
    void sbtnQuitClick();
    void sbtnBackClick();
    void sbtnForwardClick();
    void sbtnHelpClick();
    // Steps 1 to 5 of quitting: last visited screen, placement, hiding the current screen,
    // flushing and forgetting the settings store, emptying Temp/KnowBase/. Runs once.
    void QuitSequence();
    bool QuitDone() const { return m_quitDone; }
    // Shows the window again and restores it from its minimized state.
    void BringToFront();

    // The program's one HTTP connection, made by the creation hook.
    TFRIConnection* Connection() const { return m_connection; }

    // ---- Printing: the page-layout scripts ----
    // The print menu under a frame's print button: one item per script of the group.
    QMenu* popupPrint = nullptr;
    // Makes a new script handler (the old one and its scripts go) in application mode, with
    // the data module's data sources under "DM", and adds every "*.qsf" of the script folder
    // in the order of their names. Printing to a PDF file is always possible, so scripts load
    // whether a printer is installed or not. A file that cannot be read is left out; all such
    // files are told together in one error box.
    void LoadScripts();
    // Empties popupPrint and gives it one item per loaded script whose "Group" is the group
    // (letter case aside), captioned with the script's title; it pops up at the control's
    // lower left corner when it has items.
    void ShowScriptMenu(QWidget* control, const QString& group);
    // Prints the script of that index: its variables set by its "Label", compiled into pages,
    // the print dialog (pages 1 to the page count, one copy, a PDF file as one choice), then
    // the chosen pages, one sheet each, in a job titled "Mykotekshallen - %s". However it ends
    // the script is reset: its tables return to their records, the values given for the run
    // go, and a job begun but not finished is dropped. A failure raises "Fel vid utskrift.
    // Meddelande: "%s"" with the cause.
    void RunScript(int scriptIndex);
    // The values that scripts of a label read before they run, set as typed values (never
    // read as expressions): "FungiFactSheet" gets "mainpicfilename" (the current species'
    // main picture, empty when it has no file) and, while the species frame exists,
    // "othernotes" (its notes box); "FungiPicOverview" gets "picfolder".
    void SetScriptVariables(const QString& label, TQSScript& script);
    // Answers the scripts' external functions: "contactorname", "swedishorlatin",
    // "foodpicfolder", and what the frames answer (see SetScriptAnswer). Other names leave
    // the result unset.
    void ScriptExternalFunction(TQSHandler& handler, const QString& name, TQuillValue& result);
    TQSHandler* ScriptHandler() const { return m_scriptHandler.get(); }
    int ScriptCount() const;
    // What a frame tells the scripts while it exists, by name: "othernotes",
    // "matingredienser", "mattillagning", "showingallcontacts". A text's line breaks reach the
    // script as CR LF.
    void SetScriptAnswer(const QString& name, QObject* frame, std::function<QVariant()> answer);
    // Forgets everything the frame answered.
    void ForgetScriptAnswers(QObject* frame);
    // The answer of a frame that still exists; invalid otherwise.
    QVariant ScriptAnswer(const QString& name) const;
    // Makes the target the pages go to for the printer the dialog chose; tests record the job
    // with it. Unset: the system's printer of the chosen name, or the chosen PDF file.
    std::function<std::unique_ptr<TQSPrintTarget>(const QPrinter& chosen)> PrintTargetFactory;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void SetupComponents();
    void FormCreate();
    void LoadDistricts();
    QString DistrictValue(int row, int field) const;
    void SetupZip();
    [[noreturn]] void RaiseZipError(const QString& message) const;
    QString m_zipError;

    // The pages of the print dialog's choice; from and to within 1 to pageCount. False when
    // the dialog was cancelled.
    bool ChoosePrintPages(int pageCount, int& from, int& to);
    // Gives the script's printer data the target of the dialog's printer.
    void SetPrintTarget(TQSScript& script);

    TDM* m_dm = nullptr;
    // The data module whose contact table the name list follows, and the contact being deleted.
    QPointer<TDM> m_contactsDM;
    QString m_deletingContact;
    std::unique_ptr<TQSHandler> m_scriptHandler;
    // The printer of the print dialog; its choice holds for the next print.
    std::unique_ptr<QPrinter> m_printer;
    struct TScriptAnswer {
        QPointer<QObject> Frame;
        std::function<QVariant()> Answer;
    };
    QHash<QString, TScriptAnswer> m_scriptAnswers;
    TFRIConnection* m_connection = nullptr;
    std::array<QPointer<TFRMainScreen>, ScreenSlotCount> m_screens;
    QActionGroup* m_provinceGroup = nullptr;
    QActionGroup* m_districtGroup = nullptr;
    bool m_screensCreated = false;
    bool m_shown = false;
    bool m_quitDone = false;
};
