// The internet resources shipped with the program.
//
//   genresources generate <source folder> <staging folder>
//       Reads internet.json (a tree of items) and recipes.json (categories with their
//       recipes) and writes the tables Internet.dat, InternetTexts.dat, FoodTypes.dat,
//       Foods.dat and FoodTexts.dat into <staging>/Db, and the stock pictures of resource
//       actions and of recipes without a picture into <staging>/Pics. Any fault in the source
//       stops the run with a message naming it, and nothing staged is replaced.
//
//   genresources install <staging folder> <program folder>
//       Gives the program folder the staged files that it does not have yet. A file that is
//       there is never touched; the tables of a function area only come together, when the
//       program folder has none of them.
//
// Record keys are stable: a fixed time code plus the item's number.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QPainterPath>
#include <QSet>
#include <QTextCursor>
#include <QTextDocument>
#include <cstdio>
#include <filesystem>

#include "core/ExtClientDataSet.h"
#include "core/unitDM.h"
#include "platform/ClientDataSet.h"
#include "tools/GenSupport.h"

namespace {

// The time code of 2026-12-01 00:00:00.000.
constexpr quint64 kResourceTime = (26ull * 372 + 12 * 31 + 1) * 86400000ull;
const QChar kBlankMark(254);

using gensupport::InstallFile;
using gensupport::Raise;
using gensupport::TableWriter;

QString Key(const char* datasetId, int nr, int row) {
    return QString::fromLatin1(datasetId) + LettersFromNumber(11, kResourceTime + quint64(nr)) +
        LettersFromNumber(4, quint64(row));
}

// The actions by the names of the item editor's list.
int ActionValue(const QString& name, int nr) {
    static const QStringList names = {"Undermeny", "Länk", "E-post", "Kör EXE", "Kör event"};
    const int value = int(names.indexOf(name));
    if (value < 0) Raise(QString("item %1: unknown action \"%2\"").arg(nr).arg(name));
    return value;
}

struct Writer {
    explicit Writer(const QString& db) : Items("cdsInternet", db), Texts("cdsInternetTexts", db) {}
    TableWriter Items;
    TableWriter Texts;
    QSet<int> Numbers;
};

// Text rows as the data module keeps them: cut to the row width, a piece that ends in a
// blank ends in the blank mark instead, and a piece that goes on is marked broken.
// Empty lines are not stored.
void WriteRows(TableWriter& texts, const char* datasetId, const QString& masterKey, int nr, int flag,
               const QStringList& lines) {
    const int width = texts.Width("RowText");
    int row = 0;
    for (QString line : lines) {
        while (!line.isEmpty()) {
            QString piece = line.left(width);
            line.remove(0, piece.size());
            if (piece.endsWith(' ')) piece[piece.size() - 1] = kBlankMark;
            texts.Append();
            texts.Set("MasterUKey", masterKey);
            texts.Set("UKey", Key(datasetId, nr, flag * 1000 + row));
            texts.Set("RowFlag", flag);
            texts.Set("RowNo", row);
            texts.Set("RowText", piece);
            texts.Set("Broken", !line.isEmpty());
            texts.Post();
            ++row;
        }
    }
}

void WriteText(TableWriter& texts, const QString& masterKey, int nr, const QString& text) {
    WriteRows(texts, "13A", masterKey, nr, 0, {text.simplified()});
}

// A recipe text as the recipe editor keeps it: its HTML, with the lines that begin with
// "# " as headers (the heavy weight at 12 points).
QString RecipeHtml(const QJsonArray& lines) {
    QTextDocument document;
    QTextCursor cursor(&document);
    QTextCharFormat plain;
    plain.setFontWeight(QFont::Normal);
    QTextCharFormat header;
    header.setFontWeight(QFont::Black);
    header.setFontPointSize(12);
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].toString();
        if (i > 0) cursor.insertBlock();
        if (line.startsWith("# "))
            cursor.insertText(line.mid(2), header);
        else
            cursor.insertText(line, plain);
    }
    return document.toHtml();
}

void WriteRecipes(const QJsonArray& categories, const QString& db) {
    TableWriter types("cdsFoodTypes", db), foods("cdsFoods", db), texts("cdsFoodTexts", db);
    QList<TableWriter*> all{&types, &foods, &texts};
    QSet<int> categoryNumbers, recipeNumbers;
    try {
        for (int c = 0; c < categories.size(); ++c) {
            const QJsonObject category = categories[c].toObject();
            const int nr = category.value("Nr").toInt(-1);
            if (nr < 0 || categoryNumbers.contains(nr)) Raise("a category has a missing or repeated Nr");
            categoryNumbers.insert(nr);
            const QString typeKey = Key("100", nr, 0);
            types.Append();
            types.Set("UKey", typeKey);
            types.Set("CatIndex", c);
            types.Set("CategoryName", category.value("Name").toString());
            types.Set("InsertHeader", category.value("InsertHeader").toString());
            types.Set("EditHeader", category.value("EditHeader").toString());
            types.Post();
            for (const auto& value : category.value("Recipes").toArray()) {
                const QJsonObject recipe = value.toObject();
                const int rnr = recipe.value("Nr").toInt(-1);
                if (rnr < 0 || recipeNumbers.contains(rnr)) Raise("a recipe has a missing or repeated Nr");
                recipeNumbers.insert(rnr);
                const QString name = recipe.value("Name").toString();
                if (name.isEmpty() || recipe.value("ServeCount").toInt() < 1)
                    Raise(QString("recipe %1: a name and servings are needed").arg(rnr));
                const QString key = Key("10A", rnr, 0);
                foods.Append();
                foods.Set("MasterUKey", typeKey);
                foods.Set("UKey", key);
                foods.Set("FoodName", name);
                foods.Set("Difficulty", recipe.value("Difficulty").toInt(2));
                foods.Set("HasPic", false);
                foods.Set("PrepTime", recipe.value("PrepTime").toInt());
                foods.Set("CookingTime", recipe.value("CookingTime").toInt());
                foods.Set("ServeCount", recipe.value("ServeCount").toInt());
                foods.Set("CreatedBy", QString());
                foods.Set("Timestamp", LettersFromNumber(15, kResourceTime));
                foods.Post();
                WriteRows(texts, "10C", key, rnr, 0, RecipeHtml(recipe.value("Ingredients").toArray()).split('\n'));
                WriteRows(texts, "10C", key, rnr, 1, RecipeHtml(recipe.value("Preparation").toArray()).split('\n'));
            }
        }
        for (TableWriter* t : all) t->Save();
    } catch (...) {
        for (TableWriter* t : all) t->Discard();
        throw;
    }
    for (TableWriter* t : all) t->Commit();
}

void WriteLevel(Writer& w, const QJsonArray& items, const QString& masterKey) {
    for (int i = 0; i < items.size(); ++i) {
        const QJsonObject o = items[i].toObject();
        const int nr = o.value("Nr").toInt(-1);
        if (nr < 0 || w.Numbers.contains(nr))
            Raise(QString("item \"%1\": missing or repeated Nr").arg(o.value("Header").toString()));
        w.Numbers.insert(nr);
        const QString header = o.value("Header").toString();
        if (header.isEmpty()) Raise(QString("item %1 has no header").arg(nr));
        const int action = ActionValue(o.value("Action").toString(), nr);
        const QJsonArray children = o.value("Children").toArray();
        if (action != 0 && !children.isEmpty()) Raise(QString("item %1: only a submenu has children").arg(nr));
        if ((action == 1 || action == 2 || action == 3) && o.value("Data").toString().isEmpty())
            Raise(QString("item %1: the action needs its data").arg(nr));
        const QString key = Key("130", nr, 0);
        w.Items.Append();
        w.Items.Set("MasterUKey", masterKey);
        w.Items.Set("UKey", key);
        w.Items.Set("ItemIndex", i);
        w.Items.Set("Header", header);
        w.Items.Set("HasPic", false);
        w.Items.Set("Hint", o.value("Hint").toString());
        w.Items.Set("Action", action);
        w.Items.Set("SortDesc", o.value("SortDesc").toBool(false));
        w.Items.Set("RowData", o.value("Data").toString());
        w.Items.Post();
        WriteText(w.Texts, key, nr, o.value("Text").toString());
        WriteLevel(w, children, key);
    }
}

// The stock pictures of items without their own: a folder for a submenu, a globe for the rest.
QImage DrawActionPicture(bool subMenu) {
    QImage image(50, 50, QImage::Format_RGB32);
    image.fill(QColor(255, 255, 255));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    if (subMenu) {
        p.setPen(QPen(QColor(150, 100, 20), 1.5));
        p.setBrush(QColor(240, 190, 70));
        QPainterPath folder;
        folder.moveTo(6, 14);
        folder.lineTo(19, 14);
        folder.lineTo(23, 18);
        folder.lineTo(44, 18);
        folder.lineTo(44, 40);
        folder.lineTo(6, 40);
        folder.closeSubpath();
        p.drawPath(folder);
        p.setBrush(QColor(252, 215, 110));
        p.drawRect(QRectF(6, 22, 38, 18));
        p.setPen(QPen(QColor(120, 80, 10), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(21, 26), QPointF(28, 31), QPointF(21, 36)}));
    } else {
        p.setPen(QPen(QColor(20, 70, 140), 2));
        p.setBrush(QColor(120, 180, 235));
        p.drawEllipse(QRectF(7, 7, 36, 36));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(17, 7, 16, 36));
        p.drawLine(QPointF(25, 7), QPointF(25, 43));
        p.drawLine(QPointF(7, 25), QPointF(43, 25));
        p.drawLine(QPointF(10, 16), QPointF(40, 16));
        p.drawLine(QPointF(10, 34), QPointF(40, 34));
    }
    p.end();
    return image;
}

// The stock picture of a recipe without one: a plate with a mushroom on it.
QImage DrawNoFoodPicture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(250, 248, 240));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = std::min(width, height) / 100.0;
    p.translate(width / 2.0, height / 2.0);
    p.scale(s, s);
    p.setPen(QPen(QColor(170, 170, 170), 1.5));
    p.setBrush(QColor(255, 255, 255));
    p.drawEllipse(QPointF(0, 8), 44, 30);
    p.drawEllipse(QPointF(0, 8), 32, 21);
    p.setPen(QPen(QColor(110, 70, 30), 1.5));
    p.setBrush(QColor(235, 220, 190));
    p.drawRoundedRect(QRectF(-6, -8, 12, 26), 4, 4);
    QPainterPath cap;
    cap.moveTo(-26, -4);
    cap.cubicTo(-24, -34, 24, -34, 26, -4);
    cap.closeSubpath();
    p.setBrush(QColor(160, 95, 40));
    p.drawPath(cap);
    p.end();
    return image;
}

void Generate(const QString& sourceFolder, const QString& stagingFolder) {
    QFile file(sourceFolder + "/internet.json");
    if (!file.open(QIODevice::ReadOnly)) Raise("cannot read " + file.fileName());
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (doc.isNull()) Raise(QString("%1: %2").arg(file.fileName(), error.errorString()));

    const QString db = stagingFolder + "/Db";
    const QString pics = stagingFolder + "/Pics";
    if (!QDir().mkpath(db) || !QDir().mkpath(pics)) Raise("cannot make " + stagingFolder);
    Writer w(db);
    try {
        WriteLevel(w, doc.object().value("Items").toArray(), QString());
        w.Items.Save();
        w.Texts.Save();
    } catch (...) {
        w.Items.Discard();
        w.Texts.Discard();
        throw;
    }
    const QList<std::pair<QString, QImage>> pictures = {{"_IPActionSubMenu.bmp", DrawActionPicture(true)},
                                                        {"_IPActionUndefined.bmp", DrawActionPicture(false)},
                                                        {"_NoFoodPic.bmp", DrawNoFoodPicture(200, 150)},
                                                        {"_NoFoodPic_sml.bmp", DrawNoFoodPicture(90, 90)}};
    for (const auto& [file, image] : pictures) {
        const QString name = pics + "/" + file;
        if (!image.save(name + ".new", "BMP")) Raise("cannot write " + name);
        QFile::remove(name);
        if (!QFile::rename(name + ".new", name)) Raise("cannot write " + name);
    }
    w.Texts.Commit();
    w.Items.Commit();

    QFile recipes(sourceFolder + "/recipes.json");
    if (!recipes.open(QIODevice::ReadOnly)) Raise("cannot read " + recipes.fileName());
    const QJsonDocument recipeDoc = QJsonDocument::fromJson(recipes.readAll(), &error);
    if (recipeDoc.isNull()) Raise(QString("%1: %2").arg(recipes.fileName(), error.errorString()));
    WriteRecipes(recipeDoc.object().value("Categories").toArray(), db);
}

void Install(const QString& stagingFolder, const QString& programFolder) {
    const QString db = programFolder + "/Data/Db";
    const QString stagedDb = stagingFolder + "/Db";
    if (!QFileInfo::exists(stagedDb + "/Internet.dat")) Raise("nothing staged in " + stagingFolder);
    // Texts without their items would only be orphans in a table in use.
    if (!QFileInfo::exists(db + "/Internet.dat")) {
        InstallFile(stagedDb + "/InternetTexts.dat", db + "/InternetTexts.dat");
        InstallFile(stagedDb + "/Internet.dat", db + "/Internet.dat");
    }
    // Recipes without their categories would be hidden; a user's own categories keep theirs.
    if (!QFileInfo::exists(db + "/FoodTypes.dat") && !QFileInfo::exists(db + "/Foods.dat")) {
        InstallFile(stagedDb + "/FoodTexts.dat", db + "/FoodTexts.dat");
        InstallFile(stagedDb + "/Foods.dat", db + "/Foods.dat");
        InstallFile(stagedDb + "/FoodTypes.dat", db + "/FoodTypes.dat");
    }
    for (const char* name : {"_IPActionSubMenu.bmp", "_IPActionUndefined.bmp", "_NoFoodPic.bmp", "_NoFoodPic_sml.bmp"})
        InstallFile(stagingFolder + "/Pics/" + name, programFolder + "/Data/Pics/" + name);
}

}  // namespace

int main(int argc, char** argv) {
    // Pictures are drawn without a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    return gensupport::Run(app.arguments(), "genresources", "source folder", Generate, Install);
}
