#include "core/ProgramFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>

#include "platform/Exception.h"

namespace {

QString g_programFolder;

const char* const kBadPathName = "Ogiltigt namn i sökväg: \"%1\"";

bool IsValidPart(const QString& part) {
    if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String("..")) return false;
    for (const QChar c : part) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) return false;
        switch (c.unicode()) {
            case '/':
            case '\\':
            case ':':
            case '*':
            case '?':
            case '"':
            case '<':
            case '>':
            case '|':
                return false;
            default:
                break;
        }
    }
    return true;
}

struct TKeyFileShape {
    const char* Folder;
    const char* Prefix;
    const char* Extension;
};

TKeyFileShape ShapeOf(TKeyFile kind) {
    switch (kind) {
        case TKeyFile::KnowBase:
            return {"Data/KnowBase/", "", ".dat"};
        case TKeyFile::TempKnowBase:
            return {"Temp/KnowBase/", "", ".dat"};
        case TKeyFile::FoodPic:
            return {"Data/Pics/FoodPics/", "FP", ".jpg"};
        case TKeyFile::FoodPicThumb:
            return {"Data/Pics/FoodPics/", "FPTN", ".bmp"};
        case TKeyFile::ContactPic:
            return {"Data/Pics/ContactPics/", "US", ".jpg"};
        case TKeyFile::MainPic:
            return {"Data/Pics/MainPics/", "MP", ".jpg"};
        case TKeyFile::InternetPic:
            return {"Data/Pics/InternetPics/", "IP", ".bmp"};
        case TKeyFile::FungiPic:
            return {"Data/Pics/FungiPics/", "Pic", ".jpg"};
        case TKeyFile::FungiPicThumb:
            return {"Data/Pics/FungiPicThumbs/", "Tn", ".bmp"};
        case TKeyFile::UserSettings:
            return {"Data/Users/", "", ".ini"};
    }
    return {"", "", ""};
}

QString Below(const char* path) { return GetProgramFolder() + QLatin1String(path); }

}  // namespace

// ---- Program folder ----

QString FolderWithSlash(const QString& folder) {
    const QString f = QDir::fromNativeSeparators(folder);
    return f.endsWith(QLatin1Char('/')) ? f : f + QLatin1Char('/');
}

QString GetProgramFolder() {
    if (!g_programFolder.isEmpty()) return g_programFolder;
    return FolderWithSlash(QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath());
}

void SetProgramFolder(const QString& folder) {
    g_programFolder = folder.isEmpty() ? QString() : FolderWithSlash(QDir(folder).absolutePath());
}

QString DatabaseFolderOf(const QString& programFolder) {
    return FolderWithSlash(programFolder) + QStringLiteral("Data/Db/");
}
QString GetDatabaseFolder() { return DatabaseFolderOf(GetProgramFolder()); }

// ---- Names in paths ----

bool IsValidPathName(const QString& name, TPathName kind) {
    if (kind == TPathName::Plain) return IsValidPart(name);
    if (name.isEmpty()) return false;
    const QStringList parts = name.split(QLatin1Char('/'));
    return std::all_of(parts.begin(), parts.end(), IsValidPart);
}

void CheckPathName(const QString& name, TPathName kind, bool allowEmpty) {
    if (allowEmpty && name.isEmpty()) return;
    if (!IsValidPathName(name, kind)) throw Exception(QString::fromUtf8(kBadPathName).arg(name));
}

// ---- Files named by a record key or name ----

QString KeyFilePath(const QString& programFolder, TKeyFile kind, const QString& key) {
    CheckPathName(key);
    const TKeyFileShape shape = ShapeOf(kind);
    return FolderWithSlash(programFolder) + QLatin1String(shape.Folder) + QLatin1String(shape.Prefix) + key +
        QLatin1String(shape.Extension);
}

QString KeyFileFolder(const QString& programFolder, TKeyFile kind) {
    return FolderWithSlash(programFolder) + QLatin1String(ShapeOf(kind).Folder);
}

// ---- Path builders below the program folder ----

QString GetKnowBaseFile(const QString& name) { return KeyFilePath(GetProgramFolder(), TKeyFile::KnowBase, name); }
QString GetFoodPicFile(const QString& key) { return KeyFilePath(GetProgramFolder(), TKeyFile::FoodPic, key); }
QString GetFoodPicThumbFile(const QString& key) { return KeyFilePath(GetProgramFolder(), TKeyFile::FoodPicThumb, key); }
QString GetPicsPath(const QString& name) {
    CheckPathName(name, TPathName::SubPath, true);
    return Below("Data/Pics/") + name;
}
QString GetContactPicFile(const QString& key) { return KeyFilePath(GetProgramFolder(), TKeyFile::ContactPic, key); }
QString GetMainPicFile(const QString& key) { return KeyFilePath(GetProgramFolder(), TKeyFile::MainPic, key); }
QString GetInternetPicFile(const QString& key) { return KeyFilePath(GetProgramFolder(), TKeyFile::InternetPic, key); }
QString GetFungiPicFile(const QString& key) { return KeyFilePath(GetProgramFolder(), TKeyFile::FungiPic, key); }
QString GetFungiPicThumbFile(const QString& key) {
    return KeyFilePath(GetProgramFolder(), TKeyFile::FungiPicThumb, key);
}
QString GetTempKnowBaseFile(const QString& name) {
    return KeyFilePath(GetProgramFolder(), TKeyFile::TempKnowBase, name);
}
QString GetContactPicFolder() { return KeyFileFolder(GetProgramFolder(), TKeyFile::ContactPic); }
QString GetFungiPicFolder() { return KeyFileFolder(GetProgramFolder(), TKeyFile::FungiPic); }
QString GetFoodPicFolder() { return KeyFileFolder(GetProgramFolder(), TKeyFile::FoodPic); }
QString GetFungiPicThumbFolder() { return KeyFileFolder(GetProgramFolder(), TKeyFile::FungiPicThumb); }
QString GetInternetPicFolder() { return KeyFileFolder(GetProgramFolder(), TKeyFile::InternetPic); }
QString GetMainPicFolder() { return KeyFileFolder(GetProgramFolder(), TKeyFile::MainPic); }
QString GetTempKnowBaseFolder() { return KeyFileFolder(GetProgramFolder(), TKeyFile::TempKnowBase); }
QString GetScriptFolder() { return Below("Data/Scripts/"); }
QString GetResFile(const QString& name) {
    CheckPathName(name, TPathName::SubPath, true);
    return Below("Data/Res/") + name;
}
QString GetNoPicFoundFile() { return GetPicsPath(QStringLiteral("_NoPicFound.bmp")); }
