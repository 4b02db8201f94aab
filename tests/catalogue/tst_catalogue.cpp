// The species catalogue shipped with the program: the tables the build generates, the key
// over them, the drawn main pictures, and the rule that a build never replaces a user's files.
#include <QtTest>
#include <QColor>
#include <QDirIterator>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <algorithm>

#include "content/key/KeySelection.h"
#include "core/ExtClientDataSet.h"
#include "core/unitDM.h"
#include "shell/unitMain.h"
#include "platform/ClientDataSet.h"
#include "support/TestSupport.h"

namespace {

QString BuildDir() { return qEnvironmentVariable("MYKO_BUILD_DIR", QDir::currentPath()); }
QString Staging() { return BuildDir() + "/catalogue"; }
QString Generator() { return BuildDir() + "/tools/gencatalogue"; }
QString SourceFolder() { return testsupport::SourceDir() + "/data/catalogue"; }

using Record = QHash<QString, QVariant>;

// Every record of a table file, field by field.
QList<Record> ReadTable(const QString& path, TFieldDefs* defs = nullptr) {
    TClientDataSet table;
    table.LoadFromFile(path);
    if (defs) *defs = table.FieldDefs();
    QList<Record> records;
    for (table.First(); !table.Eof(); table.Next()) {
        Record r;
        for (int i = 0; i < table.FieldCount(); ++i) r.insert(table.Fields(i)->FieldName(), table.Fields(i)->Value());
        records << r;
    }
    table.Close();
    return records;
}

QString Str(const Record& r, const char* field) { return r.value(QString::fromLatin1(field)).toString(); }
int Int(const Record& r, const char* field) { return r.value(QString::fromLatin1(field)).toInt(); }

struct Run {
    int ExitCode = -1;
    QString Errors;
};

Run RunGenerator(const QStringList& args) {
    QProcess process;
    process.start(Generator(), args);
    process.waitForFinished(-1);
    return Run{process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
               QString::fromUtf8(process.readAllStandardError())};
}

void CopyFolder(const QString& from, const QString& to) {
    QDir().mkpath(to);
    for (const QString& name : QDir(from).entryList(QDir::Files)) QFile::copy(from + "/" + name, to + "/" + name);
}

QMap<QString, QByteArray> FolderBytes(const QString& folder) {
    QMap<QString, QByteArray> bytes;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        bytes.insert(QDir(folder).relativeFilePath(file), testsupport::ReadBytes(file));
    }
    return bytes;
}

// The option (1-based) of the highest digit of a level string.
int Peak(const QString& levels) {
    int best = 0;
    for (int i = 1; i < levels.size(); ++i)
        if (levels[i] > levels[best]) best = i;
    return best + 1;
}

int FirstFlag(const QString& flags, int count) {
    for (int i = 0; i < std::min<int>(count, flags.size()); ++i)
        if (flags[i] == '1') return i + 1;
    return 0;
}

// One option of a question chosen: "0"/"1" per option (option counted from 1).
QString OneOf(int count, int option) {
    QString answer(count, QLatin1Char('0'));
    if (option >= 1 && option <= count) answer[option - 1] = QLatin1Char('1');
    return answer;
}
// A four-valued property (0 Ja, 1 Ofta, 2 Ibland, 3 Nej) answered "Ja" unless it is "Nej".
QString FourValued(int value) { return value < 3 ? QStringLiteral("10") : QStringLiteral("01"); }
QString Mid(const Record& s, const char* min, const char* max) {
    return QString::number(std::max(1, (Int(s, min) + Int(s, max)) / 2));
}

// The answers a finder gives to the key from the species' own description. The full set adds
// the properties beyond the ones every finder sees at once.
QStringList AnswerFromDescription(const Record& s, bool full) {
    QStringList a(KeyQuestionCount);
    const bool cap = Int(s, "HatFungi") == 0;
    a[kqHatFungi] = cap ? "10" : "01";
    a[kqHabitat] = OneOf(15, FirstFlag(Str(s, "Habitat"), 15));
    a[kqGrowthMethod] = OneOf(6, FirstFlag(Str(s, "GrowthMethod"), 6));
    a[kqSeason] = OneOf(12, Peak(Str(s, "Season")));
    a[kqOccurence] = OneOf(8, Peak(Str(s, "Occurence")));
    if (full) a[kqGroupedGrowth] = FourValued(Int(s, "GroupedGrowth"));
    const int type = Int(s, "HatSubType");
    if (cap) {
        a[kqHatSize] = Mid(s, "BodySizeMinimum", "BodySizeMaximum");
        a[kqHatSubType] = OneOf(4, type + 1);
        if (full) {
            a[kqLinedHat] = FourValued(Int(s, "LinedHat"));
            a[kqScaledHat] = FourValued(Int(s, "ScaledHat"));
            a[kqDottedHat] = FourValued(Int(s, "DottedHat"));
            const int growth = FirstFlag(Str(s, "HatSubGrowth"), 4);
            const int density = Int(s, "HatSubDensity") + 1;
            if (type == 0) {
                a[kqHatSubGrowth] = growth > 0 ? OneOf(4, growth) : QString();
                a[kqHatSubDensity] = OneOf(3, density);
            } else if (type == 1) {
                a[kqHatSubGrowth2] = growth > 0 ? OneOf(4, growth) : QString();
                a[kqHatSubDensity2] = OneOf(3, density);
            }
            a[kqFootRing] = FourValued(Int(s, "FootRing"));
            a[kqFootSize] = Mid(s, "FootSizeMinimum", "FootSizeMaximum");
        }
    } else {
        a[kqBodySize] =
            Mid(s, "BodySizeMinimum", "BodySizeMaximum") + "," + Mid(s, "BodyHeightMinimum", "BodyHeightMaximum");
    }
    a[kqSmell] = Str(s, "Smell") == "Mild" ? "10" : "01";
    a[kqTaste] = Str(s, "Taste") == "Mild" ? "10" : "01";
    if (full) {
        a[kqVisibleMeatJuice] = FourValued(Int(s, "VisibleMeatJuice"));
        a[kqSporeSize] = Mid(s, "SporeWidthMin", "SporeWidthMax") + "," + Mid(s, "SporeHeightMin", "SporeHeightMax");
        a[cap ? kqHatColor : kqBodyColor] = Str(s, "BodyColor").section('|', 0, 0);
    }
    return a;
}

// The selection the key makes of those answers.
QStringList KeyLinesFromDescription(const Record& s, bool full) {
    const TKeySelectionResult result = BuildKeySelection(KeyAnswersInForce(AnswerFromDescription(s, full)), 0);
    return result.Ok() ? result.Lines : QStringList{result.Error};
}

bool IsFlags(const QString& text, int count) {
    return text.size() == count && std::all_of(text.begin(), text.end(), [](QChar c) { return c == '0' || c == '1'; });
}
bool IsDigits(const QString& text, int count) {
    return text.size() == count && std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
}
bool IsColourList(const QString& text) {
    if (text.isEmpty()) return false;
    for (const QString& piece : text.split('|')) {
        bool ok = false;
        const uint v = piece.toUInt(&ok);
        if (!ok || v > 0xFFFFFF) return false;
    }
    return true;
}

// A complete, valid species for the generator's fault cases.
QJsonObject GoodSpecies() {
    return QJsonDocument::fromJson(R"({"Nr": 999999, "Latin": "Testus probatus", "Swedish": "Provsvamp",
        "Food": "Oätlig", "Cap": "Ja", "Size": [20, 40], "Color": ["brun"], "Underside": "Skivor",
        "UndersideGrowth": ["Fria"], "Density": "Täta", "UndersideColor": ["vit"], "Ring": "Nej",
        "Foot": [3, 6], "FootColor": ["vit"], "MeatColor": ["vit"], "SporeColor": ["vit"],
        "Spores": [3, 4, 5, 6], "SporeProps": ["Släta"], "Regions": "10000000", "Season": "000000010000",
        "Habitat": ["Annat"], "Substrate": ["Markväxande"], "Text": ["Provtext."]})")
        .object();
}

// ---- The shipped content as a whole: species, look-alikes, articles, recipes, internet
// resources, info texts and print scripts, read for the checks that keep them consistent ----

struct SpeciesEntry {
    QString Key, Latin, State, Regions, Taste, Group;
    QStringList Names;  // the Swedish name first, then the Swedish synonyms
    int Food = 2;
    bool Parboil = false;
    bool BrownSporedGills = false;
    QString Text;  // the free text, one paragraph per line
    QString Name() const { return Names.isEmpty() ? Latin : Names.first(); }
};

struct TextEntry {
    QString Where, Text;
};

struct RecipeEntry {
    QString Name;
    QStringList Ingredients, Preparation;
};

struct ArticleEntry {
    QString Name, Folder, Html;
};

struct Content {
    QList<SpeciesEntry> Species;
    QSet<QString> Links;  // "key>key", both ways
    QList<TextEntry> Mixups, Descriptions, Internet, InfoTexts, PrintTexts;
    QList<ArticleEntry> Articles;
    QList<RecipeEntry> Recipes;
};

QJsonDocument ReadJsonFile(const QString& path) { return QJsonDocument::fromJson(testsupport::ReadBytes(path)); }

void ReadInternetItems(const QJsonArray& items, QList<TextEntry>& into) {
    for (const auto& v : items) {
        const QJsonObject o = v.toObject();
        into << TextEntry{
            o.value("Header").toString(),
            QStringList{o.value("Header").toString(), o.value("Hint").toString(), o.value("Text").toString()}.join(
                '\n')};
        ReadInternetItems(o.value("Children").toArray(), into);
    }
}

Content ShippedContent(const QList<Record>& fungi) {
    Content c;
    const QString source = testsupport::SourceDir() + "/data";
    QSet<QString> brown;
    const QJsonObject palette = ReadJsonFile(source + "/catalogue/colours.json").object();
    for (const char* name : {"brun", "rostbrun", "ljusbrun"}) {
        const QColor rgb(palette.value(QString::fromLatin1(name)).toString());
        brown.insert(QString::number(rgb.red() | rgb.green() << 8 | rgb.blue() << 16));
    }
    QHash<QString, QStringList> synonyms;
    for (const Record& r : ReadTable(Staging() + "/Db/SwedishNames.dat"))
        synonyms[Str(r, "MasterUKey")] << Str(r, "SwedishName");
    QHash<QString, QMap<int, QString>> rows;
    for (const Record& r : ReadTable(Staging() + "/Db/FungiTexts.dat"))
        rows[Str(r, "MasterUKey")].insert(Int(r, "RowNo"), Str(r, "RowText"));
    QHash<QString, QString> nameOf;
    for (const Record& s : fungi) {
        SpeciesEntry e;
        e.Key = Str(s, "UKey");
        e.Latin = Str(s, "LatinName");
        e.State = Str(s, "FungiData");
        e.Regions = Str(s, "Occurence");
        e.Taste = Str(s, "Taste");
        e.Group = Str(s, "FungiGroup");
        if (!Str(s, "SwedishName").isEmpty()) e.Names << Str(s, "SwedishName");
        e.Names << synonyms.value(e.Key);
        e.Food = Int(s, "FoodValue1");
        e.Parboil = Int(s, "CookingRequired") == 0;
        const QStringList spores = Str(s, "SporeColor").split('|');
        e.BrownSporedGills = Int(s, "HatFungi") == 0 && Int(s, "HatSubType") == 0 &&
            std::any_of(spores.begin(), spores.end(), [&](const QString& n) { return brown.contains(n); });
        // Rows of one paragraph are joined; a blank row parts two paragraphs.
        QStringList paragraphs{QString()};
        for (const QString& row : rows.value(e.Key)) {
            if (row.isEmpty())
                paragraphs << QString();
            else
                paragraphs.last() += (paragraphs.last().isEmpty() ? QString() : QStringLiteral(" ")) + row;
        }
        e.Text = paragraphs.join('\n');
        nameOf.insert(e.Key, e.Name());
        c.Species << e;
    }
    for (const Record& m : ReadTable(Staging() + "/Db/FungiMixups.dat")) {
        c.Links.insert(Str(m, "MasterUKey") + '>' + Str(m, "MixupUKey"));
        if (Str(m, "MasterUKey") < Str(m, "MixupUKey"))
            c.Mixups << TextEntry{nameOf.value(Str(m, "MasterUKey")) + " / " + Str(m, "MixupName"),
                                  Str(m, "DifferenceText")};
    }
    for (const auto& v : ReadJsonFile(source + "/knowbase/index.json").array()) {
        const QJsonObject o = v.toObject();
        const QString name = o.value("name").toString();
        if (o.contains("description")) c.Descriptions << TextEntry{name, o.value("description").toString()};
        if (o.contains("folder")) {
            const QString folder = o.value("folder").toString();
            c.Articles << ArticleEntry{
                name, folder, QString::fromUtf8(testsupport::ReadBytes(source + "/knowbase/" + folder + "/main.htm"))};
        }
    }
    for (const auto& category : ReadJsonFile(source + "/resources/recipes.json").object().value("Categories").toArray())
        for (const auto& v : category.toObject().value("Recipes").toArray()) {
            const QJsonObject o = v.toObject();
            RecipeEntry r{o.value("Name").toString(), {}, {}};
            for (const auto& line : o.value("Ingredients").toArray()) r.Ingredients << line.toString();
            for (const auto& line : o.value("Preparation").toArray()) r.Preparation << line.toString();
            c.Recipes << r;
        }
    ReadInternetItems(ReadJsonFile(source + "/resources/internet.json").object().value("Items").toArray(), c.Internet);
    // The info texts, one entry per block; the labels that share a block name it.
    QStringList labels, block;
    auto endBlock = [&] {
        if (!labels.isEmpty()) c.InfoTexts << TextEntry{labels.join(' '), block.join('\n')};
        labels.clear();
        block.clear();
    };
    for (const QString& line : QString::fromUtf8(testsupport::ReadBytes(source + "/Res/Texts.dat")).split('\n')) {
        if (line.startsWith('[')) {
            if (!block.isEmpty()) endBlock();
            labels << line;
        } else {
            block << line;
        }
    }
    endBlock();
    // The fixed texts of the print scripts: their quoted strings.
    static const QRegularExpression quoted("\"([^\"]*)\"");
    QDirIterator scripts(source + "/printscripts", {"*.txt"}, QDir::Files, QDirIterator::Subdirectories);
    while (scripts.hasNext()) {
        const QString file = scripts.next();
        for (const QString& line : QString::fromUtf8(testsupport::ReadBytes(file)).split('\n'))
            for (auto it = quoted.globalMatch(line); it.hasNext();)
                c.PrintTexts << TextEntry{QFileInfo(file).fileName(), it.next().captured(1)};
    }
    return c;
}

// The text of a piece of HTML: every tag becomes a blank.
QString PlainText(const QString& html) {
    static const QRegularExpression tag("<[^>]*>");
    return QString(html).replace(tag, QStringLiteral(" "));
}

// The paragraphs, list items and headings of an article, as plain text.
QStringList ArticleBlocks(const QString& html) {
    static const QRegularExpression block("<(p|li|h[1-6])\\b[^>]*>(.*?)</\\1>",
                                          QRegularExpression::DotMatchesEverythingOption);
    QStringList blocks;
    for (auto it = block.globalMatch(html); it.hasNext();) blocks << PlainText(it.next().captured(2));
    return blocks;
}

// Every text of the content that the user reads, named for messages.
QList<TextEntry> ReadableTexts(const Content& c) {
    QList<TextEntry> texts;
    for (const SpeciesEntry& s : c.Species)
        if (!s.Text.isEmpty()) texts << TextEntry{s.Name(), s.Text};
    for (const TextEntry& t : c.Mixups) texts << TextEntry{"look-alikes " + t.Where, t.Text};
    for (const ArticleEntry& a : c.Articles) texts << TextEntry{"article " + a.Name, ArticleBlocks(a.Html).join('\n')};
    for (const TextEntry& t : c.Descriptions) texts << TextEntry{"description of " + t.Where, t.Text};
    for (const RecipeEntry& r : c.Recipes)
        texts << TextEntry{"recipe " + r.Name, (QStringList{r.Name} + r.Ingredients + r.Preparation).join('\n')};
    for (const TextEntry& t : c.Internet) texts << TextEntry{"internet resource " + t.Where, t.Text};
    for (const TextEntry& t : c.InfoTexts) texts << TextEntry{"info text " + t.Where, t.Text};
    return texts;
}

struct Word {
    QString Text;  // in lower case
    qsizetype Start = 0, End = 0;
};

QList<Word> Words(const QString& text) {
    static const QRegularExpression word("\\p{L}+(?:-\\p{L}+)*", QRegularExpression::UseUnicodePropertiesOption);
    QList<Word> words;
    for (auto it = word.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        words << Word{m.captured().toLower(), m.capturedStart(), m.capturedEnd()};
    }
    return words;
}

// Two words of one phrase: nothing but blanks between them.
bool Adjacent(const QString& text, const Word& a, const Word& b) {
    if (b.Start <= a.End) return false;
    for (qsizetype i = a.End; i < b.Start; ++i)
        if (text[i] != ' ') return false;
    return true;
}

// The endings a word of a Swedish name takes in running text: "lömska flugsvampen",
// "toppmurklor", "kantareller".
const QStringList kEndings = {"",   "a",   "e",  "t",    "n",  "en",   "et", "s",
                              "ns", "ens", "ar", "arna", "er", "erna", "or", "orna"};

bool WordFits(const QString& word, const QString& nameWord) {
    if (word.startsWith(nameWord) && kEndings.contains(word.mid(nameWord.size()))) return true;
    return nameWord.endsWith('a') && (word == nameWord.chopped(1) + "or" || word == nameWord.chopped(1) + "orna");
}

// The forms a word may stand for, by its endings: "flugsvampen" may be "flugsvamp".
QStringList Stems(const QString& word) {
    QStringList stems;
    for (const QString& ending : kEndings)
        if (word.endsWith(ending)) stems << word.chopped(ending.size());
    for (const char* plural : {"or", "orna"})
        if (word.endsWith(QLatin1String(plural))) stems << word.chopped(qsizetype(strlen(plural))) + 'a';
    return stems;
}

// Words that name a genus or a group of species as well as one species. As the synonym of
// one species they would make every general use a mention of it, so mentions leave them out;
// as a word of running text they name no species in particular.
const QStringList kGenericWords = {"skivling",     "spindling",     "flugsvamp",    "sopp",          "kremla",
                                   "riska",        "murkla",        "ticka",        "kantarell",     "champinjon",
                                   "musseron",     "hätta",         "röksvamp",     "bläcksvamp",    "taggsvamp",
                                   "trumpetsvamp", "fjällskivling", "slöjskivling", "trattskivling", "trådskivling",
                                   "tofsskivling", "kamskivling",   "vaxskivling"};
// The last parts of Swedish species names: a word that ends in one, in the singular, names a
// species.
const QStringList kNameHeads = {"spindling", "skivling", "flugsvamp",  "sopp",       "kremla",       "riska",
                                "murkla",    "ticka",    "kantarell",  "champinjon", "musseron",     "hätta",
                                "hätting",   "röksvamp", "bläcksvamp", "taggsvamp",  "trumpetsvamp", "rottryffel"};
// Everyday words that happen to end like a name.
const QStringList kNotNames = {"friska", "historiska", "naturhistoriska", "sticka"};

class NameIndex {
public:
    // With mentions, the synonyms that are generic words are left out.
    NameIndex(const Content& c, bool mentions) {
        for (int i = 0; i < c.Species.size(); ++i)
            for (int n = 0; n < c.Species[i].Names.size(); ++n) {
                const QString name = c.Species[i].Names[n].toLower();
                if (mentions && n > 0 && kGenericWords.contains(name)) continue;
                m_forms << Form{name.split(' ', Qt::SkipEmptyParts), i};
                m_byFirst[m_forms.last().Words.first()] << int(m_forms.size() - 1);
                m_byLast[m_forms.last().Words.last()] << int(m_forms.size() - 1);
            }
    }

    QSet<int> Mentions(const QString& text) const {
        const QList<int> named = MentionsInOrder(text);
        return QSet<int>(named.begin(), named.end());
    }

    // The species a text names, by any of their names, in the order they first appear. Where
    // names overlap the longest wins: "lömsk flugsvamp", not the synonym "flugsvamp" of another
    // species.
    QList<int> MentionsInOrder(const QString& text) const {
        const QList<Word> words = Words(text);
        struct Span {
            qsizetype First, Count;
            int Species;
        };
        QList<Span> spans;
        for (qsizetype i = 0; i < words.size(); ++i)
            for (const QString& stem : Stems(words[i].Text))
                for (int f : m_byFirst.value(stem)) {
                    const Form& form = m_forms[f];
                    if (Fits(text, words, i, form)) spans << Span{i, form.Words.size(), form.Species};
                }
        std::stable_sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.Count > b.Count; });
        QList<bool> taken(words.size(), false);
        QMap<qsizetype, int> byPosition;
        for (const Span& s : spans) {
            if (std::any_of(taken.begin() + s.First, taken.begin() + s.First + s.Count, [](bool t) { return t; }))
                continue;
            std::fill(taken.begin() + s.First, taken.begin() + s.First + s.Count, true);
            byPosition.insert(s.First, s.Species);
        }
        QList<int> species;
        for (int s : byPosition)
            if (!species.contains(s)) species << s;
        return species;
    }

    // The words of a text that look like the name of one species, in the singular, but are no
    // name or synonym of the catalogue: "orange giftspindling".
    QStringList UnknownNames(const QString& text) const {
        const QList<Word> words = Words(text);
        QStringList unknown;
        for (qsizetype i = 0; i < words.size(); ++i) {
            const QString base = NameBase(words[i].Text);
            if (base.isEmpty() || kGenericWords.contains(base) || kNotNames.contains(words[i].Text)) continue;
            bool known = false;
            for (const QString& stem : Stems(words[i].Text))
                for (int f : m_byLast.value(stem)) {
                    const qsizetype first = i - m_forms[f].Words.size() + 1;
                    known = known || (first >= 0 && Fits(text, words, first, m_forms[f]));
                }
            if (!known)
                unknown << (i > 0 && Adjacent(text, words[i - 1], words[i]) ? words[i - 1].Text + ' ' : QString()) +
                        words[i].Text;
        }
        return unknown;
    }

private:
    struct Form {
        QStringList Words;
        int Species;
    };

    static bool Fits(const QString& text, const QList<Word>& words, qsizetype first, const Form& form) {
        if (first + form.Words.size() > words.size()) return false;
        for (qsizetype j = 0; j < form.Words.size(); ++j) {
            if (!WordFits(words[first + j].Text, form.Words[j])) return false;
            if (j > 0 && !Adjacent(text, words[first + j - 1], words[first + j])) return false;
        }
        return true;
    }

    // The singular form of a word that ends in the last part of a species name, else empty.
    static QString NameBase(const QString& word) {
        for (const char* ending : {"", "n", "en", "s", "ns", "ens"}) {
            if (!word.endsWith(QLatin1String(ending))) continue;
            const QString base = word.chopped(qsizetype(strlen(ending)));
            for (const QString& head : kNameHeads)
                if (base.endsWith(head)) return base;
        }
        return {};
    }

    QList<Form> m_forms;
    QHash<QString, QList<int>> m_byFirst, m_byLast;
};

bool Edible(const SpeciesEntry& s) { return s.State != "UNCP" && s.Food >= 3; }
bool Poisonous(const SpeciesEntry& s) { return s.State != "UNCP" && s.Food <= 1; }

// A poisonous species named in the text of an edible one, or confused with it in a passage of
// an article, is linked to it as a look-alike. A passage of an article is about the species it
// names first ("Toppig giftspindling ... har förväxlats med kantareller").
QStringList PoisonNamedWithoutLink(const Content& c) {
    const NameIndex names(c, true);
    QStringList faults;
    auto need = [&](int edible, int poison, const QString& where) {
        const SpeciesEntry &e = c.Species[edible], &p = c.Species[poison];
        if (!c.Links.contains(e.Key + '>' + p.Key))
            faults << QString("%1 names %2, and %3 has no look-alike link to it").arg(where, p.Name(), e.Name());
    };
    for (int i = 0; i < c.Species.size(); ++i) {
        if (!Edible(c.Species[i])) continue;
        for (int m : names.Mentions(c.Species[i].Text))
            if (Poisonous(c.Species[m])) need(i, m, "the text of " + c.Species[i].Name());
    }
    static const QRegularExpression confusion("förväx|tagits för|tas för|i tron att",
                                              QRegularExpression::CaseInsensitiveOption);
    for (const ArticleEntry& a : c.Articles)
        for (const QString& block : ArticleBlocks(a.Html)) {
            if (!block.contains(confusion)) continue;
            const QList<int> named = names.MentionsInOrder(block);
            for (int other : named.mid(1)) {
                const int subject = named.first();
                if (Edible(c.Species[subject]) && Poisonous(c.Species[other]))
                    need(subject, other, "the article " + a.Name);
                if (Poisonous(c.Species[subject]) && Edible(c.Species[other]))
                    need(other, subject, "the article " + a.Name);
            }
        }
    return faults;
}

// Every Swedish species name in the texts is a name or synonym of the catalogue.
QStringList NamesOutsideTheCatalogue(const Content& c) {
    const NameIndex names(c, false);
    QStringList faults;
    for (const TextEntry& t : ReadableTexts(c))
        for (const QString& name : names.UnknownNames(t.Text))
            faults << QString("%1: \"%2\" is no species of the catalogue").arg(t.Where, name);
    return faults;
}

const char* const kDeadlyArticleFolder = "dodligtgiftiga";

QStringList DeadlySpeciesMissingFromTheArticle(const Content& c) {
    const NameIndex names(c, true);
    for (const ArticleEntry& a : c.Articles) {
        if (a.Folder != QLatin1String(kDeadlyArticleFolder)) continue;
        const QSet<int> named = names.Mentions(PlainText(a.Html));
        QStringList faults;
        for (int i = 0; i < c.Species.size(); ++i)
            if (c.Species[i].State != "UNCP" && c.Species[i].Food == 0 && !named.contains(i))
                faults << QString("the article %1 does not name %2").arg(a.Name, c.Species[i].Name());
        return faults;
    }
    return {"no article on the deadly species"};
}

// A recipe cooks only species worth eating, and tells to parboil those that need it.
QStringList RecipesWithUnsafeSpecies(const Content& c) {
    const NameIndex names(c, true);
    static const QStringList foodValues = {"Dödligt giftig", "Giftig", "Oätlig", "Mindre god", "God", "Mycket god"};
    QStringList faults;
    for (const RecipeEntry& r : c.Recipes) {
        const QString all = (r.Ingredients + r.Preparation).join('\n');
        for (int i : names.Mentions(r.Ingredients.join('\n'))) {
            const SpeciesEntry& s = c.Species[i];
            if (s.Food < 3)
                faults << QString("the recipe %1 uses %2, rated %3").arg(r.Name, s.Name(), foodValues.value(s.Food));
            if (s.Parboil && !all.contains(QStringLiteral("förväll"), Qt::CaseInsensitive))
                faults << QString("the recipe %1 uses %2 and does not say to parboil it").arg(r.Name, s.Name());
        }
    }
    return faults;
}

// A text that tells the user to call gives 112 for acute cases and Giftinformationscentralen's
// number for advice.
QStringList CallsWithoutBothNumbers(const Content& c) {
    static const QRegularExpression call(
        "\\bring(a|er)?\\b[^.!?]*?(112|giftinformation|1177)",
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    QStringList faults;
    for (const TextEntry& t : ReadableTexts(c))
        if (t.Text.contains(call) && !(t.Text.contains("112") && t.Text.contains("010-456 67 00")))
            faults << t.Where + " tells to call without giving both 112 and 010-456 67 00";
    return faults;
}

// What a text says of how common a species is agrees with its regions: a rare species is
// nowhere coded common, one common in all the country is coded common everywhere.
QStringList FrequencyAgainstRegions(const Content& c) {
    static const QRegularExpression sentenceEnd("(?<=[.!?])\\s+");
    static const QRegularExpression rare(
        "^(arten är |den är )?sällsynt|\\bär sällsynt\\b",
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    static const QRegularExpression everywhere(
        "\\bvanlig\\b.*\\bi hela landet\\b",
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    QStringList faults;
    for (const SpeciesEntry& s : c.Species) {
        if (s.State != "CPLD" || s.Regions.size() != 8) continue;
        const QChar most = *std::max_element(s.Regions.begin(), s.Regions.end());
        const QChar least = *std::min_element(s.Regions.begin(), s.Regions.end());
        for (const QString& sentence : s.Text.split(sentenceEnd)) {
            if (sentence.contains(rare) && most > '1')
                faults
                    << QString("%1 is called rare but its regions are %2: \"%3\"").arg(s.Name(), s.Regions, sentence);
            if (sentence.contains(everywhere) && least < '2')
                faults << QString("%1 is called common in all the country but its regions are %2: \"%3\"")
                              .arg(s.Name(), s.Regions, sentence);
        }
    }
    return faults;
}

// A species that must never be tasted has no taste to answer: every deadly one, every
// flugsvamp and every gilled species with brown spores.
QStringList TastedThoughItMustNotBe(const Content& c) {
    QStringList faults;
    for (const SpeciesEntry& s : c.Species) {
        if (s.State != "CPLD") continue;
        const bool never = s.Food == 0 || s.Group == "Flugsvampar" || s.BrownSporedGills;
        if (never && s.Taste != "Okänd")
            faults << QString("%1 must not be tasted, but its taste is \"%2\"").arg(s.Name(), s.Taste);
    }
    return faults;
}

// One word for each thing: "Du" as in the program's other texts, "förvällning", "säckformig".
// The first line of an info text is the caption of its control, which keeps its own word.
QStringList TermsNotOurs(const Content& c) {
    static const QRegularExpression pronoun("\\b(du|dig|din|dina|ditt)\\b",
                                            QRegularExpression::UseUnicodePropertiesOption);
    static const QRegularExpression other("säckformad|avkokning", QRegularExpression::CaseInsensitiveOption);
    QList<TextEntry> texts = ReadableTexts(c);
    for (TextEntry& t : texts)
        if (t.Where.startsWith("info text ")) t.Text = t.Text.section('\n', 1);
    texts << c.PrintTexts;
    QStringList faults;
    for (const TextEntry& t : texts)
        for (const QRegularExpression* re : {&pronoun, &other})
            for (auto it = re->globalMatch(t.Text); it.hasNext();)
                faults << QString("%1: \"%2\"").arg(t.Where, it.next().captured());
    return faults;
}

QStringList RunContentCheck(const QString& check, const Content& c) {
    if (check == "poison named without a look-alike link") return PoisonNamedWithoutLink(c);
    if (check == "names outside the catalogue") return NamesOutsideTheCatalogue(c);
    if (check == "deadly species missing from the article") return DeadlySpeciesMissingFromTheArticle(c);
    if (check == "recipes with unsafe species") return RecipesWithUnsafeSpecies(c);
    if (check == "calls without both numbers") return CallsWithoutBothNumbers(c);
    if (check == "frequency against regions") return FrequencyAgainstRegions(c);
    if (check == "tasted though it must not be") return TastedThoughItMustNotBe(c);
    if (check == "terms not ours") return TermsNotOurs(c);
    return {"unknown check " + check};
}

const QStringList kContentChecks = {"poison named without a look-alike link",
                                    "names outside the catalogue",
                                    "deadly species missing from the article",
                                    "recipes with unsafe species",
                                    "calls without both numbers",
                                    "frequency against regions",
                                    "tasted though it must not be",
                                    "terms not ours"};

// ---- The old faults of the content, as they were shipped, for the checks to catch ----

// The deadly-species article as it was: five deadly species left out, treated stenmurkla
// implied to be safe, "du" and "säckformad".
const char* const kOldDeadlyArticle =
    R"html(<html><head><meta charset="utf-8"><title>Sveriges dödligt giftiga svampar</title></head>
<body>
<h1>Sveriges dödligt giftiga svampar</h1>
<p class="varning" style="background:#fde8e8; border:1px solid #c00000; padding:6px;"><b>Viktigt:</b> Ät aldrig en svamp enbart på det här programmets ord. Varken nyckeln, bilderna eller artiklarna kan ersätta en säker artbestämning av någon som kan svampen, gärna en svampkonsulent. Är du det minsta osäker – låt bli.</p>
<p>Några få av Sveriges svampar kan döda en vuxen människa, och ett enda exemplar kan räcka. Gemensamt för de farligaste är att de första symtomen kommer sent, ofta när giftet redan har skadat levern eller njurarna. Ingen tillagning, torkning eller frysning gör dem ofarliga.</p>
<h2>Svampar med amatoxiner</h2>
<p>Amatoxinerna skadar levern. Symtomen – kraftiga kräkningar, diarré och magsmärtor – kommer vanligen 6 till 24 timmar efter måltiden. Efter något dygn kan den sjuke må bättre en tid medan leverskadan fortsätter.</p>
<ul>
<li><b>Vit flugsvamp</b> (<i>Amanita virosa</i>) – helt vit, med ring och en säckformad strumpa vid basen. Vanlig i barrskog och blandskog över hela landet. Kan förväxlas med vita champinjoner och unga röksvampar.</li>
<li><b>Lömsk flugsvamp</b> (<i>Amanita phalloides</i>) – gröngul till olivgrön hatt, vita skivor, ring och strumpa. Växer främst i lövskog i södra Sverige.</li>
<li><b>Gifthätting</b> (<i>Galerina marginata</i>) – liten brun svamp på ved och stubbar, med ring på foten. Kan förväxlas med den ätliga föränderliga tofsskivlingen.</li>
<li><b>Små fjällskivlingar</b> (<i>Lepiota</i>) – flera små arter med fjällig hatt innehåller samma gift.</li>
</ul>
<h2>Svampar med orellanin</h2>
<p>Orellanin skadar njurarna. Det som gör giftet så farligt är att symtomen kan dröja från några dagar upp till ett par veckor, så att ingen tänker på svampmåltiden. Tidiga tecken är stark törst, trötthet, huvudvärk och smärta i ländryggen.</p>
<ul>
<li><b>Toppig giftspindling</b> (<i>Cortinarius rubellus</i>) – orangebrun till rödbrun, med spetsig hatt och gulaktiga band på foten. Växer i fuktig barrskog, ofta bland mossa, och har förväxlats med kantareller och trattkantareller.</li>
<li><b>Orangebrun giftspindling</b> (<i>Cortinarius orellanus</i>) – liknande färg, främst i lövskog i södra Sverige.</li>
</ul>
<h2>Stenmurkla</h2>
<p><b>Stenmurkla</b> (<i>Gyromitra esculenta</i>) innehåller gyromitrin, som kan ge svåra skador på lever och nervsystem. Rå eller otillräckligt behandlad stenmurkla kan vara dödlig, och redan ångorna vid kokningen är skadliga att andas in.</p>
<h2>Så skyddar du dig</h2>
<ul>
<li>Plocka bara svampar du känner igen till hundra procent, och lär dig deras giftiga förväxlingsarter.</li>
<li>Plocka hela svampen med basen, så att strumpa och knöl syns.</li>
<li>Blanda aldrig okända svampar med matsvampar i korgen.</li>
<li>Visa fyndet för en svampkonsulent när du är osäker.</li>
</ul>
<p>Läs också <i>Vid misstänkt svampförgiftning</i> i samma grupp.</p>
</body></html>)html";

SpeciesEntry* FindSpecies(Content& c, const QString& latin) {
    for (SpeciesEntry& s : c.Species)
        if (s.Latin == latin) return &s;
    return nullptr;
}

// Puts one old fault back into a copy of the shipped content; false when its place is gone.
bool PutBackOldFault(Content& c, const QString& fault) {
    auto unlink = [&](const QString& a, const QString& b) {
        const SpeciesEntry *x = FindSpecies(c, a), *y = FindSpecies(c, b);
        if (!x || !y) return false;
        return c.Links.remove(x->Key + '>' + y->Key) && c.Links.remove(y->Key + '>' + x->Key);
    };
    auto article = [&](const QString& folder) -> ArticleEntry* {
        for (ArticleEntry& a : c.Articles)
            if (a.Folder == folder) return &a;
        return nullptr;
    };
    if (fault == "Kantarell's text naming an unlinked Toppig giftspindling") {
        SpeciesEntry* s = FindSpecies(c, "Cantharellus cibarius");
        if (!s) return false;
        s->Text =
            "Den vanligaste förväxlingen är narrkantarellen, som har äkta, tunna skivor. Toppig giftspindling och "
            "orange giftspindling har också skivor och rostbrunt sporpulver.";
        return unlink("Cantharellus cibarius", "Cortinarius rubellus");
    }
    if (fault == "the article's confusion of Toppig giftspindling with Kantarell, unlinked") {
        ArticleEntry* a = article(kDeadlyArticleFolder);
        if (!a) return false;
        a->Html = QString::fromUtf8(kOldDeadlyArticle);
        return unlink("Cantharellus cibarius", "Cortinarius rubellus");
    }
    if (fault == "the look-alike text of Orange giftspindling") {
        c.Mixups << TextEntry{
            "look-alikes Kantarell / Orangebrun giftspindling",
            "Kantarellen har åsar som löper ned på foten och ljust sporpulver. Orange giftspindling har äkta, "
            "glesa och rostbruna skivor, rostbrunt sporpulver och växer i ek- och bokskog."};
        return true;
    }
    if (fault == "the look-alike text of Stor rödskivling") {
        c.Mixups << TextEntry{
            "look-alikes Bolmörtsskivling / Vårmusseron",
            "Vårmusseronen växer i maj och juni och har vita skivor och vitt sporpulver. Stor rödskivling växer "
            "på hösten och får laxrosa skivor och rosa sporpulver."};
        return true;
    }
    if (fault == "the catalogue's old name of Cortinarius orellanus") {
        SpeciesEntry* s = FindSpecies(c, "Cortinarius orellanus");
        if (!s) return false;
        s->Names = QStringList{"Orange giftspindling"};
        return true;
    }
    if (fault == "the old deadly-species article") {
        ArticleEntry* a = article(kDeadlyArticleFolder);
        if (!a) return false;
        a->Html = QString::fromUtf8(kOldDeadlyArticle);
        return true;
    }
    if (fault == "a recipe of stenmurkla") {
        c.Recipes << RecipeEntry{"Stenmurkelstuvning",
                                 {"2 l stenmurklor", "2 msk smör"},
                                 {"# Förvällning", "Förväll murklorna två gånger."}};
        return true;
    }
    if (fault == "Inlagd rödriska without its parboiling") {
        for (RecipeEntry& r : c.Recipes)
            if (r.Name == "Inlagd rödriska") {
                r.Preparation.removeIf(
                    [](const QString& line) { return line.contains("förväll", Qt::CaseInsensitive); });
                return true;
            }
        return false;
    }
    if (fault == "the old warning of Lömsk flugsvamp") {
        SpeciesEntry* s = FindSpecies(c, "Amanita phalloides");
        if (!s) return false;
        s->Text =
            "Giftet, amatoxin, förstör levern. De första symtomen, kräkningar och diarré, kommer först 6 till 24 timmar "
            "efter måltiden och kan gå över innan leverskadan visar sig. Redan en hatt kan döda en vuxen. Sök vård "
            "omedelbart vid misstanke och ring Giftinformationscentralen.";
        return true;
    }
    if (fault == "the old description of the poisoning article") {
        for (TextEntry& t : c.Descriptions)
            if (t.Where == "Vid misstänkt svampförgiftning") {
                t.Text = "Vad du gör om någon kan ha ätit en giftig svamp: ring 112 eller Giftinformationscentralen.";
                return true;
            }
        return false;
    }
    if (fault == "the old regions of Mandelriska") {
        SpeciesEntry* s = FindSpecies(c, "Lactarius volemus");
        if (!s) return false;
        s->Regions = "22221001";
        s->Text =
            "Orangebrun, sammetslen hatt, krämfärgade skivor och riklig vit mjölksaft som fläckar brunt. Luktar sill. "
            "Sällsynt i södra Sverige.";
        return true;
    }
    if (fault == "the old text of Vit flugsvamp") {
        SpeciesEntry* s = FindSpecies(c, "Amanita virosa");
        if (!s) return false;
        s->Text =
            "Innehåller samma levergift som lömsk flugsvamp och är lika farlig. Arten är vanlig i barr- och blandskog i "
            "hela landet, särskilt i mellersta och norra Sverige.";
        return true;
    }
    if (fault == "the old taste of Rynkad tofsskivling") {
        SpeciesEntry* s = FindSpecies(c, "Cortinarius caperatus");
        if (!s) return false;
        s->Taste = "Mild";
        return true;
    }
    if (fault == "the old info text on the food value") {
        for (TextEntry& t : c.InfoTexts)
            if (t.Where == "[multicFoodValue1]") {
                t.Text =
                    "Matvärde\n\nHur arten räknas som matsvamp när den tillagas på vanligt sätt.\n\nVar försiktig i "
                    "bedömningen: är källorna oense, välj det lägre värdet. En art som är giftig rå men ätlig efter "
                    "avkokning anges här med värdet efter avkokning.\n\nÄt aldrig en svamp enbart efter en beskrivning.";
                return true;
            }
        return false;
    }
    return false;
}

}  // namespace

class TestCatalogue : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void tablesHaveTheDesignedFields_data();
    void tablesHaveTheDesignedFields();
    void everySpeciesIsWellFormed();
    void completeSpeciesAnswerEveryKeyQuestion();
    void mustHaveSpecies_data();
    void mustHaveSpecies();
    void lookAlikesResolveBothWays();
    void everyDeadlySpeciesNamesTheEdibleOnesItPassesFor();
    void textsWarnAndMarkPoison();
    void speciesInfoTextsWarn_data();
    void speciesInfoTextsWarn();
    void contentIsConsistent_data();
    void contentIsConsistent();
    void contentChecksCatchTheOldFaults_data();
    void contentChecksCatchTheOldFaults();
    void keysAreStable_data();
    void keysAreStable();
    void everyCompleteSpeciesIdentifiesItself();
    void illustrations();
    void illustrationsArePictureRecords();
    void installKeepsExistingFiles();
    void installFillsAnEmptyProgramFolderOnce();
    void dataModuleLoadsTheInstalledCatalogueAsItIs();
    void generatorRefusesFaultySource_data();
    void generatorRefusesFaultySource();
    void generatorAcceptsTheFaultFixture();

private:
    QList<Record> m_fungi;
    QHash<QString, Record> m_byKey;
    QHash<QString, Record> m_byLatin;
    Content m_content;
};

void TestCatalogue::initTestCase() {
    QVERIFY2(QFileInfo::exists(Staging() + "/Db/Fungi.dat"), "the build has not generated the catalogue");
    m_fungi = ReadTable(Staging() + "/Db/Fungi.dat");
    for (const Record& r : m_fungi) {
        m_byKey.insert(Str(r, "UKey"), r);
        m_byLatin.insert(Str(r, "LatinName"), r);
    }
    m_content = ShippedContent(m_fungi);
}

void TestCatalogue::tablesHaveTheDesignedFields_data() {
    QTest::addColumn<QString>("table");
    for (const char* t : {"cdsFungi", "cdsSwedishNames", "cdsLatinNames", "cdsFungiTexts", "cdsFungiMixups",
                          "cdsFungiGroups", "cdsFungiPics"})
        QTest::newRow(t) << QString::fromLatin1(t);
}

// The data module loads the files as they stand: no migration at the first start.
void TestCatalogue::tablesHaveTheDesignedFields() {
    QFETCH(QString, table);
    TFieldDefs defs;
    const QList<Record> records = ReadTable(Staging() + "/Db/" + table.mid(3) + ".dat", &defs);
    QCOMPARE(defs, TDM::FindTableInfo(table)->Fields);
    QVERIFY(!records.isEmpty());
}

void TestCatalogue::everySpeciesIsWellFormed() {
    QStringList faults;
    QSet<QString> keys, latin, swedish;
    QSet<QString> groups;
    for (const Record& g : ReadTable(Staging() + "/Db/FungiGroups.dat")) groups.insert(Str(g, "FungiGroup"));
    int complete = 0, inProgress = 0, notCompleted = 0;
    for (const Record& s : m_fungi) {
        const QString name = Str(s, "LatinName");
        auto fault = [&](const QString& what) { faults << name + ": " + what; };
        const QString key = Str(s, "UKey");
        if (key.size() != 18 || !key.startsWith("020")) fault("key " + key);
        if (keys.contains(key)) fault("key used twice");
        if (latin.contains(name)) fault("Latin name used twice");
        if (!Str(s, "SwedishName").isEmpty() && swedish.contains(Str(s, "SwedishName")))
            fault("Swedish name used twice");
        keys.insert(key);
        latin.insert(name);
        swedish.insert(Str(s, "SwedishName"));
        if (!groups.contains(Str(s, "FungiGroup"))) fault("group " + Str(s, "FungiGroup"));
        const QString state = Str(s, "FungiData");
        complete += state == "CPLD";
        inProgress += state == "CPNG";
        notCompleted += state == "UNCP";
        if (state != "CPLD" && state != "CPNG" && state != "UNCP") fault("state " + state);
        if (state == "UNCP") continue;

        // A description in progress may leave an encoded field empty: no data yet.
        auto encoded = [&](const char* field, bool ok) {
            if (!ok && !(state == "CPNG" && Str(s, field).isEmpty()))
                fault(QString("%1 \"%2\"").arg(field, Str(s, field)));
        };
        encoded("Season", IsDigits(Str(s, "Season"), 12));
        encoded("Occurence", IsDigits(Str(s, "Occurence"), 8));
        encoded("Habitat", IsFlags(Str(s, "Habitat"), 15));
        encoded("GrowthMethod", IsFlags(Str(s, "GrowthMethod"), 6));
        encoded("HatSubGrowth", IsFlags(Str(s, "HatSubGrowth"), 5));
        encoded("SporeProps", IsFlags(Str(s, "SporeProps"), 18));
        for (const char* f : {"FoodValue1", "FoodValue2"})
            if (Int(s, f) < 0 || Int(s, f) > 5) fault(f);
        for (const char* f : {"HatFungi", "CookingRequired"})
            if (Int(s, f) < 0 || Int(s, f) > 1) fault(f);
        for (const char* f : {"ScaledHat", "DottedHat", "LinedHat", "GroupedGrowth", "FootRing", "VisibleMeatJuice"})
            if (Int(s, f) < 0 || Int(s, f) > 3) fault(f);
        const bool cap = Int(s, "HatFungi") == 0;
        if (cap ? (Int(s, "HatSubType") < 0 || Int(s, "HatSubType") > 3) : Int(s, "HatSubType") != -1)
            fault("underside");
        if (cap && Int(s, "HatSubType") <= 1 && (Int(s, "HatSubDensity") < 0 || Int(s, "HatSubDensity") > 2))
            fault("density");
        for (const char* f : {"BodyColor", "HatSubColor", "FootColor", "MeatColor", "MeatJuiceColor", "SporeColor"})
            if (!Str(s, f).isEmpty() && !IsColourList(Str(s, f))) fault(QString(f) + " " + Str(s, f));
        for (const auto& [lo, hi] :
             {std::pair{"BodySizeMinimum", "BodySizeMaximum"}, std::pair{"BodyHeightMinimum", "BodyHeightMaximum"},
              std::pair{"FootSizeMinimum", "FootSizeMaximum"}, std::pair{"SporeWidthMin", "SporeWidthMax"},
              std::pair{"SporeHeightMin", "SporeHeightMax"}})
            if (Int(s, lo) > Int(s, hi)) fault(QString("%1 above %2").arg(lo, hi));
        // Parboiling only makes a species worth eating: it never is the value after it.
        if (Int(s, "CookingRequired") == 0 &&
            (Int(s, "FoodValue1") < 3 || Int(s, "FoodValue2") >= Int(s, "FoodValue1")))
            fault("food value with parboiling");
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    QVERIFY2(m_fungi.size() >= 100, qPrintable(QString::number(m_fungi.size())));
    QVERIFY2(complete >= 80, qPrintable(QString::number(complete)));
    QCOMPARE(inProgress, 1);
    QVERIFY(notCompleted >= 1);
}

void TestCatalogue::completeSpeciesAnswerEveryKeyQuestion() {
    QStringList faults;
    for (const Record& s : m_fungi) {
        if (Str(s, "FungiData") != "CPLD") continue;
        const QString name = Str(s, "LatinName");
        auto need = [&](bool ok, const char* what) {
            if (!ok) faults << name + ": " + what;
        };
        const bool cap = Int(s, "HatFungi") == 0;
        need(Str(s, "Habitat").contains('1'), "habitat");
        need(Str(s, "GrowthMethod").contains('1'), "substrate");
        need(Str(s, "Season").contains(QRegularExpression("[1-9]")), "season");
        need(Str(s, "Occurence").contains(QRegularExpression("[1-9]")), "regions");
        need(!Str(s, "MeatColor").isEmpty(), "flesh colour");
        need(!Str(s, "BodyColor").isEmpty(), "cap or fruit-body colour");
        need(Int(s, "BodySizeMinimum") >= 1, "size");
        need(!Str(s, "Smell").isEmpty() && !Str(s, "Taste").isEmpty(), "smell and taste");
        need(Int(s, "VisibleMeatJuice") == 3 || !Str(s, "MeatJuiceColor").isEmpty(), "juice colour");
        need(Str(s, "SporeProps").contains('1'), "spore properties");
        need(Int(s, "SporeWidthMin") >= 1 && Int(s, "SporeHeightMin") >= Int(s, "SporeWidthMin"), "spore size");
        need(!Str(s, "SporeColor").isEmpty(), "spore colour");
        if (cap) {
            need(!Str(s, "HatSubColor").isEmpty(), "underside colour");
            need(!Str(s, "FootColor").isEmpty(), "foot colour");
            need(Int(s, "FootSizeMaximum") >= 1, "foot thickness");
            if (Int(s, "HatSubType") <= 1) need(Str(s, "HatSubGrowth").left(4).contains('1'), "underside growth");
        } else {
            need(Int(s, "BodyHeightMinimum") >= 1, "height");
        }
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
}

void TestCatalogue::mustHaveSpecies_data() {
    QTest::addColumn<QString>("latin");
    QTest::addColumn<bool>("edible");
    for (const char* e :
         {"Cantharellus cibarius", "Craterellus tubaeformis", "Craterellus cornucopioides", "Boletus edulis",
          "Hydnum repandum", "Leccinum scabrum", "Leccinum versipelle", "Suillus luteus", "Suillus bovinus",
          "Lactarius deterrimus", "Macrolepiota procera", "Coprinus comatus", "Sparassis crispa", "Agaricus campestris",
          "Morchella esculenta", "Morchella elata"})
        QTest::newRow(e) << QString::fromLatin1(e) << true;
    for (const char* p :
         {"Amanita phalloides", "Amanita virosa", "Cortinarius rubellus", "Cortinarius orellanus", "Galerina marginata",
          "Gyromitra esculenta", "Amanita muscaria", "Amanita pantherina", "Paxillus involutus", "Tricholoma equestre",
          "Inocybe erubescens", "Entoloma sinuatum", "Hypholoma fasciculare", "Clitocybe rivulosa"})
        QTest::newRow(p) << QString::fromLatin1(p) << false;
}

// The species a forager meets first are described, and every poisonous one is linked to an
// edible species it is taken for.
void TestCatalogue::mustHaveSpecies() {
    QFETCH(QString, latin);
    QFETCH(bool, edible);
    QVERIFY2(m_byLatin.contains(latin), "missing");
    const Record s = m_byLatin.value(latin);
    QCOMPARE(Str(s, "FungiData"), QString("CPLD"));
    QVERIFY(!Str(s, "SwedishName").isEmpty());
    if (edible) {
        QVERIFY(Int(s, "FoodValue1") >= 3);
        return;
    }
    QVERIFY(Int(s, "FoodValue1") <= 1);
    QStringList edibleLookAlikes;
    for (const Record& m : ReadTable(Staging() + "/Db/FungiMixups.dat"))
        if (Str(m, "MasterUKey") == Str(s, "UKey") && Int(m_byKey.value(Str(m, "MixupUKey")), "FoodValue1") >= 3)
            edibleLookAlikes << Str(m, "MixupName");
    QVERIFY2(!edibleLookAlikes.isEmpty(), "no edible look-alike");
}

void TestCatalogue::lookAlikesResolveBothWays() {
    QStringList faults;
    QSet<QString> pairs, rowKeys;
    const QList<Record> mixups = ReadTable(Staging() + "/Db/FungiMixups.dat");
    for (const Record& m : mixups) {
        const QString from = Str(m, "MasterUKey"), to = Str(m, "MixupUKey");
        const QString where = Str(m_byKey.value(from), "LatinName") + " / " + Str(m, "MixupName");
        if (!m_byKey.contains(from) || !m_byKey.contains(to)) faults << where + ": key does not resolve";
        const Record target = m_byKey.value(to);
        const QString shown =
            Str(target, "SwedishName").isEmpty() ? Str(target, "LatinName") : Str(target, "SwedishName");
        if (Str(m, "MixupName") != shown) faults << where + ": name";
        if (Str(m, "DifferenceText").size() < 20) faults << where + ": no difference text";
        if (Str(m, "MixupEdible").isEmpty()) faults << where + ": edibility";
        if (rowKeys.contains(Str(m, "UKey"))) faults << where + ": row key used twice";
        rowKeys.insert(Str(m, "UKey"));
        pairs.insert(from + '>' + to);
    }
    for (const Record& m : mixups)
        if (!pairs.contains(Str(m, "MixupUKey") + '>' + Str(m, "MasterUKey")))
            faults << Str(m, "MixupName") + ": one way only";
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    // The classic pair.
    QVERIFY(pairs.contains(Str(m_byLatin.value("Cantharellus cibarius"), "UKey") + '>' +
                           Str(m_byLatin.value("Hygrophoropsis aurantiaca"), "UKey")));
}

void TestCatalogue::everyDeadlySpeciesNamesTheEdibleOnesItPassesFor() {
    QSet<QString> linked;
    for (const Record& m : ReadTable(Staging() + "/Db/FungiMixups.dat"))
        if (Int(m_byKey.value(Str(m, "MixupUKey")), "FoodValue1") >= 3) linked.insert(Str(m, "MasterUKey"));
    QStringList missing;
    for (const Record& s : m_fungi)
        if (Str(s, "FungiData") != "UNCP" && Int(s, "FoodValue1") == 0 && !linked.contains(Str(s, "UKey")))
            missing << Str(s, "LatinName");
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(", ")));
}

void TestCatalogue::textsWarnAndMarkPoison() {
    QHash<QString, QStringList> rows;
    for (const Record& t : ReadTable(Staging() + "/Db/FungiTexts.dat")) {
        QStringList& list = rows[Str(t, "MasterUKey")];
        if (Int(t, "RowNo") != list.size()) QFAIL(qPrintable("rows out of order for " + Str(t, "MasterUKey")));
        list << Str(t, "RowText");
    }
    QStringList faults;
    for (const Record& s : m_fungi) {
        if (Str(s, "FungiData") == "UNCP") continue;
        const QString text = rows.value(Str(s, "UKey")).join(' ');
        const QString name = Str(s, "LatinName");
        if (!text.contains("Ät aldrig en svamp enbart på grund av vad det här programmet säger"))
            faults << name + ": no warning";
        if (Int(s, "FoodValue1") == 0 && !text.startsWith("DÖDLIGT GIFTIG!")) faults << name + ": deadly, not marked";
        if (Int(s, "FoodValue1") == 1 && !text.startsWith("GIFTIG!")) faults << name + ": poisonous, not marked";
        if (Int(s, "CookingRequired") == 0 && !text.contains("förvällning")) faults << name + ": parboiling not told";
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
}

void TestCatalogue::speciesInfoTextsWarn_data() {
    QTest::addColumn<QString>("label");
    for (const char* label : {"infocompleting", "infouncomplete", "infouncomplete_hidden"})
        QTest::newRow(label) << QString::fromLatin1(label);
}

// The species pages without a full description show an info text instead; it warns too.
void TestCatalogue::speciesInfoTextsWarn() {
    QFETCH(QString, label);
    SetProgramFolder(testsupport::ProgramDir());
    QStringList lines;
    SetInfoText(label, lines);
    SetProgramFolder(QString());
    QVERIFY(lines.join(' ').contains("Ät aldrig en svamp enbart på grund av vad det här programmet säger"));
}

void TestCatalogue::contentIsConsistent_data() {
    QTest::addColumn<QString>("check");
    for (const QString& check : kContentChecks) QTest::newRow(qPrintable(check)) << check;
}

// The species, look-alikes, articles, recipes, resources, info texts and print scripts agree
// with each other.
void TestCatalogue::contentIsConsistent() {
    QFETCH(QString, check);
    QVERIFY(m_content.Species.size() == m_fungi.size() && !m_content.Articles.isEmpty() &&
            !m_content.Recipes.isEmpty() && !m_content.Internet.isEmpty() && !m_content.InfoTexts.isEmpty() &&
            !m_content.PrintTexts.isEmpty());
    const QStringList faults = RunContentCheck(check, m_content);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
}

void TestCatalogue::contentChecksCatchTheOldFaults_data() {
    QTest::addColumn<QString>("check");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("expected");
    auto row = [](const char* check, const char* fault, const QStringList& expected) {
        QTest::newRow(qPrintable(QString::fromUtf8(check) + ": " + QString::fromUtf8(fault)))
            << QString::fromUtf8(check) << QString::fromUtf8(fault) << expected;
    };
    row("poison named without a look-alike link", "Kantarell's text naming an unlinked Toppig giftspindling",
        {"the text of Kantarell names Toppig giftspindling, and Kantarell has no look-alike link to it"});
    row("poison named without a look-alike link",
        "the article's confusion of Toppig giftspindling with Kantarell, unlinked",
        {"the article Sveriges dödligt giftiga svampar names Toppig giftspindling, and Kantarell has no look-alike link to it"});
    row("names outside the catalogue", "the look-alike text of Orange giftspindling",
        {"\"orange giftspindling\" is no species"});
    row("names outside the catalogue", "the look-alike text of Stor rödskivling",
        {"\"stor rödskivling\" is no species"});
    row("names outside the catalogue", "the catalogue's old name of Cortinarius orellanus",
        {"article Sveriges dödligt giftiga svampar: \"orangebrun giftspindling\" is no species"});
    row("deadly species missing from the article", "the old deadly-species article",
        {"does not name Panterflugsvamp", "does not name Pluggskivling", "does not name Riddarmusseron",
         "does not name Tegelröd trådskivling", "does not name Giftig trattskivling"});
    row("recipes with unsafe species", "a recipe of stenmurkla",
        {"the recipe Stenmurkelstuvning uses Stenmurkla, rated Dödligt giftig"});
    row("recipes with unsafe species", "Inlagd rödriska without its parboiling",
        {"the recipe Inlagd rödriska uses Rödriska and does not say to parboil it"});
    row("calls without both numbers", "the old warning of Lömsk flugsvamp", {"Lömsk flugsvamp tells to call"});
    row("calls without both numbers", "the old description of the poisoning article",
        {"description of Vid misstänkt svampförgiftning tells to call"});
    row("frequency against regions", "the old regions of Mandelriska",
        {"Mandelriska is called rare but its regions are 22221001"});
    row("frequency against regions", "the old text of Vit flugsvamp",
        {"Vit flugsvamp is called common in all the country"});
    row("tasted though it must not be", "the old taste of Rynkad tofsskivling",
        {"Rynkad tofsskivling must not be tasted"});
    row("terms not ours", "the old deadly-species article", {"\"säckformad\"", "\"du\""});
    row("terms not ours", "the old info text on the food value", {"\"avkokning\""});
}

// Each check fails on the fault it guards against, put back into a copy of the content.
void TestCatalogue::contentChecksCatchTheOldFaults() {
    QFETCH(QString, check);
    QFETCH(QString, fault);
    QFETCH(QStringList, expected);
    Content content = m_content;
    QVERIFY2(PutBackOldFault(content, fault), "the fixture no longer finds its place in the content");
    const QStringList faults = RunContentCheck(check, content);
    for (const QString& e : expected)
        QVERIFY2(std::any_of(faults.begin(), faults.end(), [&](const QString& f) { return f.contains(e); }),
                 qPrintable(e + "\n  not among:\n" + faults.join('\n')));
}

void TestCatalogue::keysAreStable_data() {
    QTest::addColumn<QString>("latin");
    QTest::addColumn<QString>("key");
    // A species' key never changes: finds, pictures and notes of users point at it.
    QTest::newRow("kantarell") << "Cantharellus cibarius"
                               << "020AAEEBMCFKEJAAAA";
    QTest::newRow("trattkantarell") << "Craterellus tubaeformis"
                                    << "020AAEEBMCFKEKAAAA";
}

void TestCatalogue::keysAreStable() {
    QFETCH(QString, latin);
    QFETCH(QString, key);
    QCOMPARE(Str(m_byLatin.value(latin), "UKey"), key);
}

void TestCatalogue::everyCompleteSpeciesIdentifiesItself() {
    QTemporaryDir dir;
    QVERIFY(QFile::copy(Staging() + "/Db/Fungi.dat", dir.filePath("Fungi.dat")));
    TExtClientDataSet table(nullptr, "cdsFungi");
    table.SetDatasetId("020");
    table.SetFilename(dir.filePath("Fungi.dat"));
    QStringList faults;
    for (bool full : {false, true}) {
        QList<int> counts;
        QString largest;
        for (const Record& s : m_fungi) {
            if (Str(s, "FungiData") != "CPLD") continue;
            table.SetSel(KeyLinesFromDescription(s, full));
            table.LoadData();
            if (!LocateUKey(&table, Str(s, "UKey")))
                faults << Str(s, "LatinName") + (full ? " (all answers)" : "") + ":\n  " + table.Sel().join("\n  ");
            if (counts.isEmpty() || table.RecordCount() > *std::max_element(counts.begin(), counts.end()))
                largest = Str(s, "LatinName");
            counts << table.RecordCount();
        }
        std::sort(counts.begin(), counts.end());
        const int most = counts.last(), median = counts[counts.size() / 2];
        qInfo("%s: %lld species, largest match count %d (%s), median %d", full ? "all answers" : "first answers",
              qlonglong(counts.size()), most, qPrintable(largest), median);
        // The key narrows the catalogue down to a handful of species to compare.
        QVERIFY2(most * 5 <= counts.size() && median * 10 <= counts.size(), qPrintable(largest));
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
}

void TestCatalogue::illustrations() {
    QStringList faults;
    const int pictures =
        int(std::count_if(m_fungi.begin(), m_fungi.end(), [](const Record& r) { return r.value("HasPic").toBool(); }));
    QImage sheet(10 * 106, (pictures + 9) / 10 * 106, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    int n = 0;
    for (const Record& s : m_fungi) {
        const QString file = Staging() + "/MainPics/MP" + Str(s, "UKey") + ".jpg";
        const bool hasPic = s.value("HasPic").toBool();
        if (hasPic != QFileInfo::exists(file)) faults << Str(s, "LatinName") + ": picture and HasPic disagree";
        if (!hasPic) continue;
        const QImage image(file);
        if (image.size() != QSize(211, 211)) {
            faults << Str(s, "LatinName") + ": not 211 x 211";
            continue;
        }
        // Deadly species carry a red band along the lower edge.
        const QColor band = image.pixelColor(4, 205);
        const bool red = band.red() > 160 && band.green() < 60 && band.blue() < 60;
        if (red != (Int(s, "FoodValue1") == 0)) faults << Str(s, "LatinName") + ": band";
        painter.drawImage(QRect((n % 10) * 106, (n / 10) * 106, 105, 105), image);
        // One edible, one deadly and one species without cap at full size, for review.
        for (const char* shown : {"Cantharellus cibarius", "Amanita phalloides", "Sparassis crispa"})
            if (Str(s, "LatinName") == shown)
                image.save(testsupport::ArtefactDir() + "/catalogue_" + QString(shown).replace(' ', '_') + ".png");
        ++n;
    }
    painter.end();
    sheet.save(testsupport::ArtefactDir() + "/catalogue_illustrations.png");
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
}

// Each illustration is the species' one picture record, with its picture, its thumbnail and
// the main-picture square in the middle.
void TestCatalogue::illustrationsArePictureRecords() {
    QStringList faults;
    QHash<QString, QList<Record>> bySpecies;
    for (const Record& p : ReadTable(Staging() + "/Db/FungiPics.dat")) bySpecies[Str(p, "MasterUKey")] << p;
    for (const Record& s : m_fungi) {
        const QString name = Str(s, "LatinName");
        const QList<Record> pics = bySpecies.take(Str(s, "UKey"));
        if (Int(s, "PicCount") != pics.size()) faults << name + ": PicCount";
        if (s.value("HasPic").toBool() != !pics.isEmpty()) faults << name + ": HasPic without a picture record";
        for (const Record& p : pics) {
            const QString key = Str(p, "UKey");
            if (!key.startsWith("02D") || key.size() != 18) faults << name + ": picture key " + key;
            if (Str(p, "PicType") != "APP" || Str(p, "Photographer") != "Mykotekshallen" ||
                !p.value("IsMainPic").toBool() || !p.value("MainPicSource").toBool())
                faults << name + ": picture record";
            const QImage picture(Staging() + "/FungiPics/Pic" + key + ".jpg");
            const QImage thumbnail(Staging() + "/FungiPicThumbs/Tn" + key + ".bmp");
            const QRect square(QPoint(Int(p, "MainPicX1"), Int(p, "MainPicY1")),
                               QPoint(Int(p, "MainPicX2") - 1, Int(p, "MainPicY2") - 1));
            if (picture.isNull() || thumbnail.isNull()) {
                faults << name + ": picture or thumbnail missing";
                continue;
            }
            if (std::max(thumbnail.width(), thumbnail.height()) != 90) faults << name + ": thumbnail not fitted to 90";
            if (square.width() != square.height() || square.width() != picture.height() ||
                !picture.rect().contains(square) || square.center().x() != picture.rect().center().x())
                faults << name + ": main-picture square";
        }
    }
    if (!bySpecies.isEmpty()) faults << "pictures of no species";
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    const Record kantarell = m_byLatin.value("Cantharellus cibarius");
    for (const Record& p : ReadTable(Staging() + "/Db/FungiPics.dat"))
        if (Str(p, "MasterUKey") == Str(kantarell, "UKey"))
            QImage(Staging() + "/FungiPics/Pic" + Str(p, "UKey") + ".jpg")
                .save(testsupport::ArtefactDir() + "/catalogue_picture_Cantharellus_cibarius.png");
}

// A program folder that has its own species table keeps it byte for byte, and gets no detail
// rows or pictures for species it does not hold.
void TestCatalogue::installKeepsExistingFiles() {
    QTemporaryDir program;
    const QString db = program.filePath("Data/Db");
    QDir().mkpath(db);
    const QString ownKey = Str(m_byLatin.value("Cantharellus cibarius"), "UKey");
    {
        TClientDataSet own;
        own.SetFieldDefs(TDM::FindTableInfo("cdsFungi")->Fields);
        own.CreateDataSet();
        own.Append();
        own.FieldByName("UKey")->SetAsString(ownKey);
        own.FieldByName("LatinName")->SetAsString("Cantharellus cibarius");
        own.FieldByName("SwedishName")->SetAsString("Min egen kantarell");
        own.FieldByName("HasPic")->SetAsBoolean(true);
        own.Post();
        own.SaveToFile(db + "/Fungi.dat");
        own.Close();
    }
    QVERIFY(testsupport::WriteBytes(db + "/FungiGroups.dat", "not touched"));
    const QMap<QString, QByteArray> before = FolderBytes(program.path());

    const Run run = RunGenerator({"install", Staging(), program.path()});
    QCOMPARE(run.ExitCode, 0);
    QMap<QString, QByteArray> after = FolderBytes(program.path());
    for (auto it = before.begin(); it != before.end(); ++it) QCOMPARE(after.value(it.key()), it.value());
    // Only the picture of the one species the user's table has, with its main picture.
    after.remove("Data/Db/Fungi.dat");
    after.remove("Data/Db/FungiGroups.dat");
    QCOMPARE(after.keys(), QStringList{"Data/Pics/MainPics/MP" + ownKey + ".jpg"});
}

void TestCatalogue::installFillsAnEmptyProgramFolderOnce() {
    QTemporaryDir program;
    QCOMPARE(RunGenerator({"install", Staging(), program.path()}).ExitCode, 0);
    const QMap<QString, QByteArray> first = FolderBytes(program.path());
    for (const char* t :
         {"Fungi", "SwedishNames", "LatinNames", "FungiTexts", "FungiMixups", "FungiGroups", "FungiPics"})
        QCOMPARE(first.value(QString("Data/Db/%1.dat").arg(t)),
                 testsupport::ReadBytes(Staging() + "/Db/" + t + ".dat"));
    for (const char* folder : {"MainPics", "FungiPics", "FungiPicThumbs"}) {
        int pictures = 0;
        for (const QString& file : first.keys()) pictures += file.startsWith(QString("Data/Pics/%1/").arg(folder));
        QCOMPARE(pictures, int(QDir(Staging() + "/" + folder).entryList(QDir::Files).size()));
        QVERIFY(pictures > 0);
    }

    // The user completes species; the next build leaves the table as the user left it.
    QVERIFY(testsupport::WriteBytes(program.filePath("Data/Db/Fungi.dat"), "the user's own table"));
    QCOMPARE(RunGenerator({"install", Staging(), program.path()}).ExitCode, 0);
    QCOMPARE(testsupport::ReadBytes(program.filePath("Data/Db/Fungi.dat")), QByteArray("the user's own table"));
    QMap<QString, QByteArray> second = FolderBytes(program.path());
    second.remove("Data/Db/Fungi.dat");
    QMap<QString, QByteArray> expected = first;
    expected.remove("Data/Db/Fungi.dat");
    QCOMPARE(second, expected);
}

// The first start of the program takes the shipped tables as they are: no migration, no rewrite.
void TestCatalogue::dataModuleLoadsTheInstalledCatalogueAsItIs() {
    QTemporaryDir program;
    QCOMPARE(RunGenerator({"install", Staging(), program.path()}).ExitCode, 0);
    const QMap<QString, QByteArray> before = FolderBytes(program.filePath("Data/Db"));
    {
        TDM dm(program.path());
        QVERIFY2(dm.StartupErrors().isEmpty(), qPrintable(dm.StartupErrors().join('\n')));
        for (const char* t : {"cdsFungi", "cdsSwedishNames", "cdsLatinNames", "cdsFungiTexts", "cdsFungiMixups",
                              "cdsFungiGroups", "cdsFungiPics"}) {
            const TDM::TStartupResult result = dm.StartupResult(t);
            QVERIFY2(result.Outcome == TDM::TStartupOutcome::Loaded, t);
            QVERIFY2(result.Records > 0, t);
        }
        QCOMPARE(dm.StartupResult("cdsFungi").Records, int(m_fungi.size()));
    }
    const QMap<QString, QByteArray> after = FolderBytes(program.filePath("Data/Db"));
    for (auto it = before.begin(); it != before.end(); ++it)
        QVERIFY2(after.value(it.key()) == it.value(), qPrintable(it.key()));
}

void TestCatalogue::generatorRefusesFaultySource_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");  // JSON
    QTest::addColumn<QString>("message");
    QTest::newRow("name too wide") << "Swedish"
                                   << "\"Alldeles för långt svenskt namn på en svamp, över fyrtio\""
                                   << "longer than 40 characters";
    QTest::newRow("season of 11 months") << "Season"
                                         << "\"00000001000\""
                                         << "Season must be 12 digits";
    QTest::newRow("regions of 9") << "Regions"
                                  << "\"100000000\""
                                  << "Regions must be 8 digits";
    QTest::newRow("size min above max") << "Size"
                                        << "[50, 20]"
                                        << "Size [50, 20] must have";
    QTest::newRow("unknown colour") << "Color"
                                    << "[\"himmelsblå\"]"
                                    << "is not a colour of colours.json";
    QTest::newRow("unknown habitat") << "Habitat"
                                     << "[\"Granskog\"]"
                                     << "\"Granskog\" is not one of";
    QTest::newRow("misspelt field") << "Smel"
                                    << "\"Mild\""
                                    << "unknown entry \"Smel\"";
    QTest::newRow("number taken") << "Nr"
                                  << "1"
                                  << "Nr 1 is taken by another species";
    QTest::newRow("Latin name taken") << "Latin"
                                      << "\"Cantharellus cibarius\""
                                      << "the Latin name is used twice";
    QTest::newRow("missing spores") << "Spores"
                                    << "null"
                                    << "Spores is missing";
    QTest::newRow("unknown look-alike") << "*mixup"
                                        << "\"Amanita imaginaria\""
                                        << "is not a species of the catalogue";
}

// A fault in the source stops the generator with a message that names the fault, and the
// staged tables stay as they were.
void TestCatalogue::generatorRefusesFaultySource() {
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString source = dir.filePath("source"), staging = dir.filePath("staging");
    CopyFolder(SourceFolder(), source);
    QJsonObject species = GoodSpecies();
    if (field == "*mixup") {
        QJsonArray mixups = QJsonDocument::fromJson(testsupport::ReadBytes(source + "/mixups.json")).array();
        mixups.append(QJsonObject{{"A", "Testus probatus"},
                                  {"B", QJsonDocument::fromJson("[" + value.toUtf8() + "]").array()[0]},
                                  {"Text", "En skillnad som är lång nog."}});
        QVERIFY(testsupport::WriteBytes(source + "/mixups.json", QJsonDocument(mixups).toJson()));
    } else {
        const QJsonValue v = QJsonDocument::fromJson("[" + value.toUtf8() + "]").array()[0];
        if (v.isNull())
            species.remove(field);
        else
            species.insert(field, v);
    }
    QVERIFY(testsupport::WriteBytes(
        source + "/zz_prov.json",
        QJsonDocument(QJsonObject{{"Group", "Övriga"}, {"Species", QJsonArray{species}}}).toJson()));
    CopyFolder(Staging() + "/Db", staging + "/Db");
    const QMap<QString, QByteArray> before = FolderBytes(staging);

    const Run run = RunGenerator({"generate", source, staging});
    QCOMPARE(run.ExitCode, 1);
    QVERIFY2(run.Errors.contains(message), qPrintable(run.Errors));
    QCOMPARE(FolderBytes(staging), before);
}

// The fixture of the fault cases is sound in itself: without a fault it goes through.
void TestCatalogue::generatorAcceptsTheFaultFixture() {
    QTemporaryDir dir;
    const QString source = dir.filePath("source"), staging = dir.filePath("staging");
    CopyFolder(SourceFolder(), source);
    QVERIFY(testsupport::WriteBytes(
        source + "/zz_prov.json",
        QJsonDocument(QJsonObject{{"Group", "Övriga"}, {"Species", QJsonArray{GoodSpecies()}}}).toJson()));
    const Run run = RunGenerator({"generate", source, staging});
    QVERIFY2(run.ExitCode == 0, qPrintable(run.Errors));
    const QList<Record> fungi = ReadTable(staging + "/Db/Fungi.dat");
    QCOMPARE(fungi.size(), m_fungi.size() + 1);
}

QTEST_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
