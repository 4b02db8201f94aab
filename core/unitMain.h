#pragma once
// The program's one main window, TformFRMain, and the program-wide values and helpers of
// its unit: the program folder and every path built from it, the info texts, the display
// names of the tables and the check of number edits.
//
// The window owns the settings store, the district table, the main screens with their menu
// buttons, the screen holder and the province/district menus of the place selection, and
// keeps the species and contact name lists and the colour memory.
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>

#include "controls/FRGraphics.h"
#include "core/FRScreens.h"
#include "core/QuickSelectionHandler.h"
#include "core/UKeyStringlist.h"

class QAction;
class QActionGroup;
class QCloseEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QShowEvent;
class QToolButton;
class TClientDataSet;
class TDM;
class TExtClientDataSet;
class TFRIniFile;
class TformFRMain;

// ---- Program folders ----------------------------------------------------------------------
// Everything the program keeps lies under its program folder: by default the folder of the
// executable. Tests point it at a folder of their own. Always ends with "/".
QString GetProgramFolder();
// An empty folder goes back to the executable's folder.
void SetProgramFolder(const QString& folder);
// Program folder + "Data/Db/".
QString GetDatabaseFolder();
// The program's version, "1.0.0".
QString GetProgramVersion();

// ---- Path builders --------------------------------------------------------------------------
// Each returns the program folder followed by the path shown. A key or name must be a plain
// file name (GetPicsPath and GetResFile also take a relative path below their folder);
// anything else raises "Ogiltigt namn i sökväg: "%s"", so nothing reaches outside the folder.
QString GetKnowBaseFile(const QString& name);      // Data/KnowBase/<name>.dat
QString GetFoodPicFile(const QString& key);        // Data/Pics/FoodPics/FP<key>.jpg
QString GetFoodPicThumbFile(const QString& key);   // Data/Pics/FoodPics/FPTN<key>.bmp
QString GetPicsPath(const QString& name);          // Data/Pics/<name>
QString GetContactPicFile(const QString& key);     // Data/Pics/ContactPics/US<key>.jpg
QString GetMainPicFile(const QString& key);        // Data/Pics/MainPics/MP<key>.jpg
QString GetInternetPicFile(const QString& key);    // Data/Pics/InternetPics/IP<key>.bmp
QString GetFungiPicFile(const QString& key);       // Data/Pics/FungiPics/Pic<key>.jpg
QString GetFungiPicThumbFile(const QString& key);  // Data/Pics/FungiPicThumbs/Tn<key>.bmp
QString GetTempKnowBaseFile(const QString& name);  // Temp/KnowBase/<name>.dat
QString GetContactPicFolder();                     // Data/Pics/ContactPics/
QString GetFungiPicFolder();                       // Data/Pics/FungiPics/
QString GetFoodPicFolder();                        // Data/Pics/FoodPics/
QString GetFungiPicThumbFolder();                  // Data/Pics/FungiPicThumbs/
QString GetInternetPicFolder();                    // Data/Pics/InternetPics/
QString GetMainPicFolder();                        // Data/Pics/MainPics/
QString GetTempKnowBaseFolder();                   // Temp/KnowBase/
QString GetScriptFolder();                         // Data/Scripts/
QString GetResFile(const QString& name);           // Data/Res/<name>

// The Swedish display name of a table by its component name ("cdsFungi" gives
// "Artbeskrivningar"), compared without regard to case; empty for an unknown name.
QString GetDatasetDisplayName(const QString& name);

// Fills Lines with the info text labelled Label in Data/Res/Texts.dat: the lines after the
// block's label lines (several "[label]" lines may open one block) up to the next line that
// begins with "[". The file is read on first use. An unknown label raises
// "Etikett "%s" kunde inte hittas vid SetInfoText".
void SetInfoText(const QString& label, QStringList& lines);

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
    ssFungi = 0, ssMap, ssPlace, ssFood, ssKey, ssScience, ssContact, ssInternet, ssUser, ssTool,
    ScreenSlotCount
};

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
    void SetDataModule(TDM* dm) { m_dm = dm; }
    TDM* DataModule() const { return m_dm; }
    // Choosing in the place menus: the province (empty for "Alla län") with its item's tag,
    // the district (empty for "Alla kommuner").
    std::function<void(const QString& province, int tag)> OnProvinceChosen;
    std::function<void(const QString& district)> OnDistrictChosen;
    // Lets the data module select the places of a province or district.
    std::function<void(const QString& province, const QString& district)> OnApplyPlaceSelection;
    // Loads the page-layout scripts when the window is shown.
    std::function<void()> OnLoadScripts;
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

    // ---- Handlers ----
    void FormShow();
    bool FormCloseQuery() const { return CanCloseMainWindow(); }
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

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void SetupComponents();
    void FormCreate();
    void LoadDistricts();
    QString DistrictValue(int row, int field) const;

    TDM* m_dm = nullptr;
    std::array<QPointer<TFRMainScreen>, ScreenSlotCount> m_screens;
    QActionGroup* m_provinceGroup = nullptr;
    QActionGroup* m_districtGroup = nullptr;
    bool m_screensCreated = false;
    bool m_shown = false;
    bool m_quitDone = false;
};
