#pragma once
// The program folder and every path built from it, with the one check of a name or key that
// becomes part of a path.
//
// Everything the program keeps lies under its program folder: by default the folder of the
// executable; tests point it at a folder of their own. Folders always end with "/". Each file
// that a record names is built from a folder given explicitly (a data module's own) or from
// the program folder.
#include <QString>

// ---- Program folder ----
QString GetProgramFolder();
// An empty folder goes back to the executable's folder.
void SetProgramFolder(const QString& folder);
// Program folder + "Data/Db/".
QString GetDatabaseFolder();
// The database folder below the given program folder.
QString DatabaseFolderOf(const QString& programFolder);
// The folder with "/" as separator and a final "/".
QString FolderWithSlash(const QString& folder);

// ---- Names in paths ----
// A name that goes into a path below one of the program's folders: no separators, drive
// colons, wildcards, control characters, and not "." or ".."; with a sub path, "/" separates
// parts that each pass. Nothing that passes can leave its folder.
enum class TPathName { Plain, SubPath };
bool IsValidPathName(const QString& name, TPathName kind = TPathName::Plain);
// Raises "Ogiltigt namn i sökväg: "%1"" for a name that does not pass (an empty name passes
// only when allowEmpty is set, naming the folder itself).
void CheckPathName(const QString& name, TPathName kind = TPathName::Plain, bool allowEmpty = false);

// ---- Files named by a record key or name ----
enum class TKeyFile {
    KnowBase,  // Data/KnowBase/<name>.dat
    TempKnowBase,  // Temp/KnowBase/<name>.dat
    FoodPic,  // Data/Pics/FoodPics/FP<key>.jpg
    FoodPicThumb,  // Data/Pics/FoodPics/FPTN<key>.bmp
    ContactPic,  // Data/Pics/ContactPics/US<key>.jpg (users' pictures too)
    MainPic,  // Data/Pics/MainPics/MP<key>.jpg
    InternetPic,  // Data/Pics/InternetPics/IP<key>.bmp
    FungiPic,  // Data/Pics/FungiPics/Pic<key>.jpg
    FungiPicThumb,  // Data/Pics/FungiPicThumbs/Tn<key>.bmp
    UserSettings,  // Data/Users/<key>.ini
};
// The file below programFolder; the key is checked with CheckPathName first.
QString KeyFilePath(const QString& programFolder, TKeyFile kind, const QString& key);
// The folder that holds the files of a kind, below programFolder.
QString KeyFileFolder(const QString& programFolder, TKeyFile kind);

// ---- Path builders below the program folder ----
QString GetKnowBaseFile(const QString& name);  // Data/KnowBase/<name>.dat
QString GetFoodPicFile(const QString& key);  // Data/Pics/FoodPics/FP<key>.jpg
QString GetFoodPicThumbFile(const QString& key);  // Data/Pics/FoodPics/FPTN<key>.bmp
QString GetPicsPath(const QString& name);  // Data/Pics/<name> (a sub path may be given)
QString GetContactPicFile(const QString& key);  // Data/Pics/ContactPics/US<key>.jpg
QString GetMainPicFile(const QString& key);  // Data/Pics/MainPics/MP<key>.jpg
QString GetInternetPicFile(const QString& key);  // Data/Pics/InternetPics/IP<key>.bmp
QString GetFungiPicFile(const QString& key);  // Data/Pics/FungiPics/Pic<key>.jpg
QString GetFungiPicThumbFile(const QString& key);  // Data/Pics/FungiPicThumbs/Tn<key>.bmp
QString GetTempKnowBaseFile(const QString& name);  // Temp/KnowBase/<name>.dat
QString GetContactPicFolder();  // Data/Pics/ContactPics/
QString GetFungiPicFolder();  // Data/Pics/FungiPics/
QString GetFoodPicFolder();  // Data/Pics/FoodPics/
QString GetFungiPicThumbFolder();  // Data/Pics/FungiPicThumbs/
QString GetInternetPicFolder();  // Data/Pics/InternetPics/
QString GetMainPicFolder();  // Data/Pics/MainPics/
QString GetTempKnowBaseFolder();  // Temp/KnowBase/
QString GetScriptFolder();  // Data/Scripts/
QString GetResFile(const QString& name);  // Data/Res/<name> (a sub path may be given)
// The stock picture shown when a record has none: Data/Pics/_NoPicFound.bmp.
QString GetNoPicFoundFile();
