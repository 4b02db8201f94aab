#pragma once
// The program block: brings the program up in its fixed order, showing each step in the
// status window, logs a user in, opens the user's settings and runs the message loop. The
// quit sequence of the main window ends the loop.
//
// The application object (TApplication, titled "Mykotekshallen") must exist first. Tests run
// the same block on a program folder of their own.
#include <QString>
#include <memory>

class TDM;
class TformBrowseFolder;
class TformFRMain;
class TformSimpleInfo;
class TProgramLock;

// The main-window screens that the core itself provides (the user screen). The program
// block registers these and the content modules' screens before start-up.
void RegisterCoreScreens();

// Opens the logged-in user's settings and applies the first species selection. A settings
// file that cannot be read leaves every setting at its default. A failing selection is
// reported as "Fel vid första urval av arter. Meddelande: "%s"", the selection is cleared so
// that every species shows, and start-up goes on. The status window is hidden afterwards.
void LoadUserSettings();

class TProgramBlock {
public:
    // How start-up ended.
    enum class TStartResult {
        LoggedIn,  // a user is logged in: the message loop is due
        LoginFailed,  // the first-user or login dialog was cancelled: the program ends
        AlreadyRunning,  // another copy holds the program folder: refused, nothing touched
        CannotStart,  // no lock, a database that cannot be written or no users table: said, and ended
    };

    // programFolder: the program folder to run on; empty for the executable's folder.
    explicit TProgramBlock(const QString& programFolder = QString());
    // Frees the main window, the status window and then the data module.
    ~TProgramBlock();
    TProgramBlock(const TProgramBlock&) = delete;
    TProgramBlock& operator=(const TProgramBlock&) = delete;

    // Creates the windows and runs start-up up to and including the user's settings. An
    // exception that ends start-up is raised on after the status window has been hidden.
    TStartResult StartUp();
    // Shows the main window and runs the message loop until the quit sequence ends it.
    // Returns the loop's exit code.
    int Run();

    TformFRMain* MainForm() const;
    TformSimpleInfo* SimpleInfo() const;
    TDM* DM() const { return m_dm.get(); }

    // The status texts of start-up, in their order.
    static const char* const InitDatabaseText;  // "200,Initierar databas-gränssnitt..."
    static const char* const InitUserInterfaceText;  // "200,Initierar användar-gränssnitt..."
    static const char* const SpeciesListText;  // "200,Sammanställer artlista..."
    static const char* const ContactListText;  // "200,Sammanställer kontaktlista..."
    static const char* const PlacesPerFungiText;  // "200,Sammanställer svampställen per art..."
    static const char* const UserSettingsText;  // "500,Läser in användarinställningar..."
    static const char* const SpeciesSelectionText;  // "100,Verkställer urval av arter..."

private:
    bool UsersTableFailed() const;
    void CreateWindows();
    void FreeWindows();
    void CreateDataModule();
    // A start-up step whose failure is told in the standard error box; start-up goes on.
    template <class F>
    void Step(F&& work);

    QString m_programFolder;
    std::unique_ptr<TProgramLock> m_lock;
    std::unique_ptr<TformFRMain> m_main;
    std::unique_ptr<TformSimpleInfo> m_info;
    std::unique_ptr<TformBrowseFolder> m_browseFolder;
    std::unique_ptr<TDM> m_dm;
};

// The whole program block on a program folder: start-up, the message loop and the exit code.
// An exception that ends start-up is shown in the standard error box and gives exit code 1.
int RunProgramBlock(const QString& programFolder = QString());

// Empty when the database folder and its table files can be written; otherwise the message
// that says which cannot and that the program does not start.
QString UnwritableDatabase(const QString& folder);
