// The species catalogue shipped with the program.
//
//   gencatalogue generate <catalogue folder> <staging folder>
//       Reads the readable source (groups.json, colours.json, mixups.json and one file per
//       species group) and writes the tables Fungi.dat, SwedishNames.dat, LatinNames.dat,
//       FungiTexts.dat, FungiMixups.dat, FungiGroups.dat and FungiPics.dat into <staging>/Db.
//       Each described species gets a drawn illustration: as its picture record (photographer
//       "Mykotekshallen") with Pic<key>.jpg in <staging>/FungiPics and the thumbnail
//       Tn<key>.bmp in <staging>/FungiPicThumbs, and as its main picture MP<key>.jpg in
//       <staging>/MainPics. Any fault in the source stops the run with a message naming the
//       file and the species, and nothing of the staging folder is replaced.
//
//   gencatalogue install <staging folder> <program folder>
//       Gives the program folder the staged files that it does not have yet. A file that is
//       there is never touched: the species tables only come as a whole, when the program
//       folder has no Fungi.dat; a main picture only where the species table in place has a
//       species of that key with a main picture, and a picture or thumbnail only where the
//       picture table in place has a picture of that key, in both cases where the file is
//       missing.
//
// Record keys are stable: the time code of the catalogue's fixed creation time plus the
// species' number, so a species keeps its key when the catalogue grows.
#include <QDate>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "core/ExtClientDataSet.h"
#include "shell/MyVisualUtils.h"
#include "core/unitDM.h"
#include "platform/ClientDataSet.h"
#include "tools/GenSupport.h"

namespace {

// ---- Fixed vocabularies (the option lists of the species fields) ----

const QStringList kFoodValues = {"Dödligt giftig", "Giftig", "Oätlig", "Mindre god", "God", "Mycket god"};
const QStringList kYesNo = {"Ja", "Nej"};
const QStringList kFourValued = {"Ja", "Ofta", "Ibland", "Nej"};
const QStringList kUndersides = {"Skivor", "Rör", "Taggar", "Åsar"};
const QStringList kGillGrowth = {"Fria", "Urnupna", "Vidväxta", "Nedlöpande", "Sågtandade"};
const QStringList kPoreGrowth = {"Fria", "Urnupna", "Vidväxta", "Nedlöpande", "Ojämna"};
const QStringList kGillDensity = {"Täta", "Mellan", "Glesa"};
const QStringList kPoreDensity = {"Små", "Mellan", "Stora"};
const QStringList kHabitats = {"Barrskog", "Lövskog", "Gräs", "Gran", "Tall", "Lärk", "Bok", "Björk",
                               "Ek",       "Asp",     "Al",   "Hassel", "Poppel", "Sand", "Annat"};
const QStringList kGrowthMethods = {"Markväxande",  "Vedbunden", "Rotbunden",
                                    "Stubb-bunden", "Lövbunden", "Parasiterande"};
const QStringList kSporeProps = {"Hyalina",     "Släta",     "Ellipsoida",     "Rundade",     "Cylindriska",
                                 "Klotrunda",   "Mandelformade", "Spolformade", "Njurformade", "Vårtiga",
                                 "Taggiga",     "Krökta",    "Korvlika",       "Nätmönstrade", "Sönderfallande",
                                 "1-septerade", "3-septerade", "5-septerade"};
const QStringList kStates = {"CPLD", "CPNG", "UNCP"};
const QStringList kShapes = {"hatt", "platt", "tratt", "klocka", "flugsvamp", "murkla", "hjärnmurkla",
                             "ticka", "boll",  "krus",  "klubba", "koral"};

// The time code of 2026-12-01 00:00:00.000, the catalogue's creation time.
constexpr quint64 kCatalogueTime = (26ull * 372 + 12 * 31 + 1) * 86400000ull;
constexpr int kMaxNr = 1000000;
constexpr int kTextRowWidth = 80;
constexpr int kPicSize = 211;

const char* const kWarning =
    "Ät aldrig en svamp enbart på grund av vad det här programmet säger. Visa fyndet för en "
    "kunnig person, till exempel en svampkonsulent, och ät bara svamp som är säkert bestämd.";

using gensupport::InstallFile;
using gensupport::Raise;
using gensupport::TableWriter;

QString Key(const char* datasetId, int nr, int row) {
    return QString::fromLatin1(datasetId) + LettersFromNumber(11, kCatalogueTime + quint64(nr)) +
           LettersFromNumber(4, quint64(row));
}

// ---- The source ----

struct Range {
    int Min = 0;
    int Max = 0;
    bool Given = false;
};

struct Species {
    QString Where;  // file and species, for messages
    int Nr = 0;
    QString Latin, Swedish, Group, State;
    QStringList SwedishNames, LatinNames, Text;
    int Difficulty = 2;
    int Food = -1, Parboil = -1;  // Parboil: food value before parboiling, -1 when none is needed
    bool Cap = true;
    int Underside = -1, Density = -1;
    QString UndersideGrowth;
    int Scaled = 3, Lined = 3, Dotted = 3, Grouped = 3, Ring = -1, MeatJuice = 3;
    Range Size, Height, Foot, SporeWidth, SporeHeight;
    QList<quint32> Color, UndersideColor, FootColor, MeatColor, MeatJuiceColor, SporeColor;
    QString SporeProps, SporeNote, Regions, Season, Smell = "Mild", Taste = "Mild", Habitat, Substrate;
    QString Shape;
    QString Key;
    bool HasPic = false;
};

struct Mixup {
    QString A, B, Text;
};

struct Group {
    QString Name, Suffices, SignTemplate;
};

struct Catalogue {
    QList<Group> Groups;
    QList<Species> Species_;
    QList<Mixup> Mixups;
};

QJsonDocument ReadJson(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) Raise(QString("cannot read %1").arg(path));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError)
        Raise(QString("%1: %2 at offset %3").arg(path, error.errorString()).arg(error.offset));
    return doc;
}

class Reader {
public:
    Reader(const QJsonObject& object, const QString& where) : m_object(object), m_where(where) {}

    [[noreturn]] void Bad(const QString& what) const { Raise(m_where + ": " + what); }

    bool Has(const char* name) {
        m_used.insert(QString::fromLatin1(name));
        return m_object.contains(QString::fromLatin1(name));
    }
    QJsonValue Value(const char* name) {
        m_used.insert(QString::fromLatin1(name));
        return m_object.value(QString::fromLatin1(name));
    }
    QString Text(const char* name, int width, bool required) {
        const QJsonValue v = Value(name);
        if (v.isUndefined()) {
            if (required) Bad(QString("%1 is missing").arg(name));
            return {};
        }
        if (!v.isString()) Bad(QString("%1 must be a text").arg(name));
        const QString text = v.toString();
        if (text != text.trimmed()) Bad(QString("%1 has blanks at its ends").arg(name));
        if (width > 0 && text.size() > width)
            Bad(QString("%1 \"%2\" is longer than %3 characters").arg(name, text).arg(width));
        return text;
    }
    QStringList Texts(const char* name, int width) {
        const QJsonValue v = Value(name);
        if (v.isUndefined()) return {};
        if (!v.isArray()) Bad(QString("%1 must be a list of texts").arg(name));
        QStringList list;
        for (const QJsonValue& item : v.toArray()) {
            if (!item.isString() || item.toString().trimmed().isEmpty())
                Bad(QString("%1 holds an entry that is not a text").arg(name));
            const QString text = item.toString();
            if (width > 0 && text.size() > width)
                Bad(QString("%1 \"%2\" is longer than %3 characters").arg(name, text).arg(width));
            list << text;
        }
        return list;
    }
    int Choice(const char* name, const QStringList& options, int fallback) {
        const QJsonValue v = Value(name);
        if (v.isUndefined()) {
            if (fallback < 0) Bad(QString("%1 is missing").arg(name));
            return fallback;
        }
        const int index = options.indexOf(v.toString());
        if (!v.isString() || index < 0)
            Bad(QString("%1 must be one of %2").arg(name, options.join(", ")));
        return index;
    }
    // One "0"/"1" per option, in option order.
    QString Flags(const char* name, const QStringList& options, bool required) {
        const QStringList chosen = Texts(name, 0);
        if (chosen.isEmpty()) {
            if (required) Bad(QString("%1 is missing").arg(name));
            return {};
        }
        QString flags(options.size(), QLatin1Char('0'));
        for (const QString& c : chosen) {
            const int i = options.indexOf(c);
            if (i < 0) Bad(QString("%1: \"%2\" is not one of %3").arg(name, c, options.join(", ")));
            flags[i] = QLatin1Char('1');
        }
        return flags;
    }
    Range Pair(const char* name, int low, int high, bool required) {
        const QJsonValue v = Value(name);
        Range r;
        if (v.isUndefined()) {
            if (required) Bad(QString("%1 is missing").arg(name));
            return r;
        }
        const QJsonArray a = v.toArray();
        if (!v.isArray() || a.size() != 2 || !a[0].isDouble() || !a[1].isDouble())
            Bad(QString("%1 must be [minimum, maximum]").arg(name));
        r.Min = a[0].toInt(-1);
        r.Max = a[1].toInt(-1);
        r.Given = true;
        if (r.Min < low || r.Max > high || r.Min > r.Max)
            Bad(QString("%1 [%2, %3] must have %4 <= minimum <= maximum <= %5")
                    .arg(name)
                    .arg(r.Min)
                    .arg(r.Max)
                    .arg(low)
                    .arg(high));
        return r;
    }
    QString Digits(const char* name, int count, bool required) {
        const QString text = Text(name, 0, required);
        if (text.isEmpty()) return text;
        if (text.size() != count || std::any_of(text.begin(), text.end(), [](QChar c) { return !c.isDigit(); }))
            Bad(QString("%1 must be %2 digits 0 to 9").arg(name).arg(count));
        return text;
    }
    void CheckAllUsed() const {
        for (const QString& key : m_object.keys())
            if (!m_used.contains(key)) Bad(QString("unknown entry \"%1\"").arg(key));
    }

private:
    QJsonObject m_object;
    QString m_where;
    QSet<QString> m_used;
};

QList<quint32> Colours(Reader& r, const char* name, const QHash<QString, quint32>& palette, bool required) {
    const QStringList names = r.Texts(name, 0);
    if (names.isEmpty() && required) r.Bad(QString("%1 is missing").arg(name));
    QList<quint32> list;
    for (const QString& n : names) {
        if (n.startsWith('#') && n.size() == 7) {
            bool ok = false;
            const uint rgb = n.mid(1).toUInt(&ok, 16);
            if (!ok) r.Bad(QString("%1: \"%2\" is no colour").arg(name, n));
            // Colour numbers keep red in the lowest byte.
            list << (((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16));
            continue;
        }
        if (!palette.contains(n)) r.Bad(QString("%1: \"%2\" is not a colour of colours.json").arg(name, n));
        list << palette.value(n);
    }
    return list;
}

QString ColourText(const QList<quint32>& colours) {
    QStringList parts;
    for (quint32 c : colours) parts << QString::number(c);
    return parts.join('|');
}

QHash<QString, quint32> ReadPalette(const QString& folder) {
    const QString path = folder + "/colours.json";
    const QJsonDocument doc = ReadJson(path);
    if (!doc.isObject()) Raise(path + ": expected {\"name\": \"#RRGGBB\", ...}");
    const QJsonObject object = doc.object();
    QHash<QString, quint32> palette;
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QString rgb = it.value().toString();
        bool ok = false;
        const uint value = rgb.mid(1).toUInt(&ok, 16);
        if (!rgb.startsWith('#') || rgb.size() != 7 || !ok)
            Raise(QString("%1: \"%2\" must be #RRGGBB").arg(path, it.key()));
        palette.insert(it.key(), ((value >> 16) & 0xFF) | (value & 0xFF00) | ((value & 0xFF) << 16));
    }
    return palette;
}

Species ReadSpecies(const QJsonObject& object, const QString& file, const QString& group,
                    const QHash<QString, quint32>& palette) {
    Species s;
    s.Group = group;
    const QString latin = object.value("Latin").toString();
    s.Where = QString("%1: %2").arg(file, latin.isEmpty() ? QString("(species without Latin name)") : latin);
    Reader r(object, s.Where);
    const QJsonValue nr = r.Value("Nr");
    if (!nr.isDouble() || nr.toInt(-1) < 1 || nr.toInt(-1) > kMaxNr)
        r.Bad(QString("Nr must be a whole number 1 to %1").arg(kMaxNr));
    s.Nr = nr.toInt();
    s.Latin = r.Text("Latin", 40, true);
    s.Swedish = r.Text("Swedish", 40, false);
    s.State = r.Text("State", 5, false);
    if (s.State.isEmpty()) s.State = "CPLD";
    if (!kStates.contains(s.State)) r.Bad("State must be CPLD, CPNG or UNCP");
    s.SwedishNames = r.Texts("SwedishNames", 50);
    s.LatinNames = r.Texts("LatinNames", 50);
    s.Text = r.Texts("Text", 0);
    s.Shape = r.Text("Shape", 0, false);
    if (!s.Shape.isEmpty() && !kShapes.contains(s.Shape)) r.Bad("Shape must be one of " + kShapes.join(", "));

    const bool complete = s.State == "CPLD";
    const bool described = s.State != "UNCP";
    if (!described) {
        r.CheckAllUsed();
        return s;
    }
    if (r.Has("Difficulty")) {
        s.Difficulty = r.Value("Difficulty").toInt(-1);
        if (s.Difficulty < 1 || s.Difficulty > 3) r.Bad("Difficulty must be 1, 2 or 3");
    }
    s.Food = r.Choice("Food", kFoodValues, -1);
    s.Parboil = r.Has("Parboil") ? r.Choice("Parboil", kFoodValues, -1) : -1;
    if (s.Parboil >= 0 && s.Food < 3)
        r.Bad("a species that is not worth eating after parboiling must not carry Parboil");
    s.Cap = r.Choice("Cap", kYesNo, -1) == 0;
    s.Size = r.Pair("Size", 1, 1000, complete);
    s.Height = r.Pair("Height", 1, 1000, complete && !s.Cap);
    s.Color = Colours(r, "Color", palette, complete);
    s.Grouped = r.Choice("Grouped", kFourValued, 3);
    if (s.Cap) {
        s.Underside = r.Choice("Underside", kUndersides, complete ? -1 : 0);
        const bool gills = s.Underside == 0, pores = s.Underside == 1;
        const QStringList& growth = pores ? kPoreGrowth : kGillGrowth;
        s.UndersideGrowth = r.Flags("UndersideGrowth", growth, complete && (gills || pores));
        if (s.UndersideGrowth.isEmpty()) s.UndersideGrowth = QString(growth.size(), QLatin1Char('0'));
        s.Density = r.Choice("Density", pores ? kPoreDensity : kGillDensity, (gills || pores) && complete ? -1 : 1);
        s.UndersideColor = Colours(r, "UndersideColor", palette, complete);
        s.Scaled = r.Choice("Scaled", kFourValued, 3);
        s.Lined = r.Choice("Lined", kFourValued, 3);
        s.Dotted = r.Choice("Dotted", kFourValued, 3);
        s.Ring = r.Choice("Ring", kFourValued, complete ? -1 : 3);
        s.Foot = r.Pair("Foot", 0, 200, complete);
        s.FootColor = Colours(r, "FootColor", palette, complete);
    } else {
        // No underside: the single choices stay unchosen.
        s.Underside = -1;
        s.Density = -1;
        s.UndersideGrowth = QString(kGillGrowth.size(), QLatin1Char('0'));
        s.Ring = 3;
        for (const char* name : {"Underside", "UndersideGrowth", "Density", "UndersideColor", "Scaled", "Lined",
                                 "Dotted", "Ring", "Foot", "FootColor"})
            if (r.Has(name)) r.Bad(QString("%1 belongs to cap fungi only").arg(name));
    }
    s.MeatColor = Colours(r, "MeatColor", palette, complete);
    s.MeatJuice = r.Choice("MeatJuice", kFourValued, 3);
    s.MeatJuiceColor = Colours(r, "MeatJuiceColor", palette, complete && s.MeatJuice != 3);
    if (s.MeatJuice == 3 && !s.MeatJuiceColor.isEmpty()) r.Bad("MeatJuiceColor needs MeatJuice other than Nej");
    s.SporeColor = Colours(r, "SporeColor", palette, complete);
    const QJsonValue spores = r.Value("Spores");
    if (!spores.isUndefined()) {
        const QJsonArray a = spores.toArray();
        if (a.size() != 4) r.Bad("Spores must be [width min, width max, length min, length max] in µm");
        for (const QJsonValue& v : a)
            if (!v.isDouble() || v.toInt(-1) < 1 || v.toInt(-1) > 1000) r.Bad("Spores: sizes 1 to 1000 µm");
        s.SporeWidth = Range{a[0].toInt(), a[1].toInt(), true};
        s.SporeHeight = Range{a[2].toInt(), a[3].toInt(), true};
        if (s.SporeWidth.Min > s.SporeWidth.Max || s.SporeHeight.Min > s.SporeHeight.Max ||
            s.SporeWidth.Max > s.SporeHeight.Max)
            r.Bad("Spores: minimum above maximum, or the width above the length");
    } else if (complete) {
        r.Bad("Spores is missing");
    }
    s.SporeProps = r.Flags("SporeProps", kSporeProps, complete);
    s.SporeNote = r.Text("SporeNote", 50, false);
    s.Regions = r.Digits("Regions", 8, complete);
    s.Season = r.Digits("Season", 12, complete);
    if (complete && !s.Season.contains(QRegularExpression("[1-9]"))) r.Bad("Season has no month");
    if (complete && !s.Regions.contains(QRegularExpression("[1-9]"))) r.Bad("Regions has no region");
    if (r.Has("Smell")) s.Smell = r.Text("Smell", 50, true);
    if (r.Has("Taste")) s.Taste = r.Text("Taste", 50, true);
    s.Habitat = r.Flags("Habitat", kHabitats, complete);
    s.Substrate = r.Flags("Substrate", kGrowthMethods, complete);
    r.CheckAllUsed();
    s.HasPic = true;
    return s;
}

Catalogue ReadCatalogue(const QString& folder) {
    Catalogue c;
    const QHash<QString, quint32> palette = ReadPalette(folder);

    const QString groupsPath = folder + "/groups.json";
    QSet<QString> groupNames;
    const QJsonDocument groupsDoc = ReadJson(groupsPath);
    if (!groupsDoc.isArray()) Raise(groupsPath + ": expected a list of groups");
    for (const QJsonValue& v : groupsDoc.array()) {
        const QString where = QString("%1: %2").arg(groupsPath, v.toObject().value("Name").toString());
        Reader r(v.toObject(), where);
        Group g{r.Text("Name", 25, true), r.Text("Suffices", 80, false), r.Text("SignTemplate", 10, false)};
        r.CheckAllUsed();
        if (groupNames.contains(g.Name)) r.Bad("the group is listed twice");
        groupNames.insert(g.Name);
        c.Groups << g;
    }
    if (c.Groups.isEmpty()) Raise(groupsPath + " lists no group");

    QStringList files = QDir(folder).entryList({"*.json"}, QDir::Files, QDir::Name);
    for (const char* special : {"groups.json", "colours.json", "mixups.json"}) files.removeAll(special);
    for (const QString& name : files) {
        const QString path = folder + "/" + name;
        const QJsonDocument doc = ReadJson(path);
        const QJsonObject object = doc.object();
        if (!doc.isObject() || !object.value("Species").isArray())
            Raise(path + ": expected {\"Group\": ..., \"Species\": [...]}");
        const QString group = object.value("Group").toString();
        if (!groupNames.contains(group)) Raise(QString("%1: Group \"%2\" is not in groups.json").arg(path, group));
        for (const QString& key : object.keys())
            if (key != "Group" && key != "Species") Raise(QString("%1: unknown entry \"%2\"").arg(path, key));
        for (const QJsonValue& v : object.value("Species").toArray())
            c.Species_ << ReadSpecies(v.toObject(), name, group, palette);
    }
    if (c.Species_.isEmpty()) Raise(folder + " holds no species");

    QSet<int> numbers;
    QSet<QString> latin, swedish;
    for (const Species& s : c.Species_) {
        if (numbers.contains(s.Nr)) Raise(QString("%1: Nr %2 is taken by another species").arg(s.Where).arg(s.Nr));
        if (latin.contains(s.Latin)) Raise(s.Where + ": the Latin name is used twice");
        if (!s.Swedish.isEmpty() && swedish.contains(s.Swedish))
            Raise(s.Where + ": the Swedish name " + s.Swedish + " is used twice");
        numbers.insert(s.Nr);
        latin.insert(s.Latin);
        swedish.insert(s.Swedish);
    }

    const QString mixupsPath = folder + "/mixups.json";
    QSet<QString> pairs;
    const QJsonDocument mixupsDoc = ReadJson(mixupsPath);
    if (!mixupsDoc.isArray()) Raise(mixupsPath + ": expected a list of look-alike pairs");
    for (const QJsonValue& v : mixupsDoc.array()) {
        const QJsonObject o = v.toObject();
        const QString where = QString("%1: %2 / %3").arg(mixupsPath, o.value("A").toString(), o.value("B").toString());
        Reader r(o, where);
        Mixup m{r.Text("A", 40, true), r.Text("B", 40, true), r.Text("Text", 255, true)};
        r.CheckAllUsed();
        if (!latin.contains(m.A)) r.Bad(m.A + " is not a species of the catalogue");
        if (!latin.contains(m.B)) r.Bad(m.B + " is not a species of the catalogue");
        if (m.A == m.B) r.Bad("a species is not its own look-alike");
        const QString pair = std::min(m.A, m.B) + '\t' + std::max(m.A, m.B);
        if (pairs.contains(pair)) r.Bad("the pair is listed twice");
        pairs.insert(pair);
        c.Mixups << m;
    }
    return c;
}

// The free text as rows of at most the row width, cut between words; a blank row between
// paragraphs.
QStringList WrapText(const QStringList& paragraphs) {
    QStringList rows;
    for (const QString& paragraph : paragraphs) {
        if (!rows.isEmpty()) rows << QString();
        QString line;
        for (const QString& word : paragraph.split(' ', Qt::SkipEmptyParts)) {
            if (word.size() > kTextRowWidth) Raise(QString("the word \"%1\" does not fit a text row").arg(word));
            if (line.isEmpty()) line = word;
            else if (line.size() + 1 + word.size() <= kTextRowWidth) line += ' ' + word;
            else {
                rows << line;
                line = word;
            }
        }
        if (!line.isEmpty()) rows << line;
    }
    return rows;
}

QStringList SpeciesText(const Species& s) {
    QStringList paragraphs;
    if (s.Food == 0)
        paragraphs << "DÖDLIGT GIFTIG! Arten kan döda. Plocka den aldrig till matsvamp och låt den inte "
                      "komma i samma korg som matsvamp.";
    else if (s.Food == 1)
        paragraphs << "GIFTIG! Arten ger förgiftning och ska aldrig ätas.";
    paragraphs << s.Text;
    if (s.Parboil >= 0)
        paragraphs << "Arten är ätlig först efter förvällning: koka bitarna i rikligt med vatten i minst fem "
                      "minuter, häll bort vattnet och tillaga sedan svampen som vanligt.";
    paragraphs << QString::fromUtf8(kWarning);
    return paragraphs;
}

// ---- Illustrations ----

QColor Qc(quint32 colour) { return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF); }

QColor First(const QList<quint32>& colours, QColor fallback) { return colours.isEmpty() ? fallback : Qc(colours[0]); }

QLinearGradient Gradient(const QList<quint32>& colours, QPointF from, QPointF to, QColor fallback) {
    QLinearGradient g(from, to);
    if (colours.isEmpty()) {
        g.setColorAt(0, fallback);
        g.setColorAt(1, fallback);
    } else if (colours.size() == 1) {
        g.setColorAt(0, Qc(colours[0]).lighter(110));
        g.setColorAt(1, Qc(colours[0]).darker(110));
    } else {
        for (int i = 0; i < colours.size(); ++i) g.setColorAt(double(i) / (colours.size() - 1), Qc(colours[i]));
    }
    return g;
}

void DrawCapFungus(QPainter& p, const Species& s, double groundY) {
    const QString shape = s.Shape.isEmpty() ? QString("hatt") : s.Shape;
    const double capMid = (s.Size.Min + s.Size.Max) / 2.0;
    const double footMid = std::max(1.0, (s.Foot.Min + s.Foot.Max) / 2.0);
    const double capW = 130;
    const double footW = std::clamp(capW * footMid / std::max(capMid, 1.0), 10.0, 60.0);
    double stemH = 80;
    if (s.Height.Given && capMid > 0)
        stemH = std::clamp(capW * 0.6 * ((s.Height.Min + s.Height.Max) / 2.0) / capMid, 30.0, 85.0);
    const double cx = kPicSize / 2.0;
    const double capBottom = groundY - stemH;
    const QColor sub = First(s.UndersideColor, QColor(230, 220, 200));
    const QColor foot = First(s.FootColor, QColor(235, 230, 215));
    const QColor outline(60, 45, 30);
    p.setPen(QPen(outline, 1.2));

    // Foot, widening into a bulb for the flugsvamp shape.
    QPainterPath stem;
    const double topW = footW * (shape == "tratt" ? 0.8 : 1.0);
    stem.moveTo(cx - topW / 2, capBottom);
    stem.lineTo(cx + topW / 2, capBottom);
    stem.lineTo(cx + footW / 2, groundY);
    stem.lineTo(cx - footW / 2, groundY);
    stem.closeSubpath();
    p.setBrush(Gradient(s.FootColor, {cx - footW / 2, 0}, {cx + footW / 2, 0}, foot));
    p.drawPath(stem);
    if (shape == "flugsvamp") {
        p.setBrush(foot.lighter(105));
        p.drawEllipse(QRectF(cx - footW * 0.9, groundY - footW * 0.9, footW * 1.8, footW * 1.1));
    }
    if (s.Ring == 0 || s.Ring == 1) {
        p.setBrush(foot.lighter(112));
        QPainterPath ring;
        const double ry = capBottom + stemH * 0.22;
        ring.moveTo(cx - footW * 0.55, ry);
        ring.lineTo(cx + footW * 0.55, ry);
        ring.lineTo(cx + footW * 0.85, ry + 12);
        ring.lineTo(cx - footW * 0.85, ry + 12);
        ring.closeSubpath();
        p.drawPath(ring);
    }

    // Cap.
    QPainterPath cap;
    QRectF capRect;
    if (shape == "tratt") {
        capRect = QRectF(cx - capW / 2, capBottom - 46, capW, 46);
        cap.moveTo(cx - capW / 2, capBottom - 40);
        cap.quadTo(cx, capBottom - 52, cx + capW / 2, capBottom - 40);
        cap.quadTo(cx + capW / 4, capBottom - 10, cx + topW / 2, capBottom);
        cap.lineTo(cx - topW / 2, capBottom);
        cap.quadTo(cx - capW / 4, capBottom - 10, cx - capW / 2, capBottom - 40);
    } else if (shape == "klocka") {
        const double w = capW * 0.7;
        capRect = QRectF(cx - w / 2, capBottom - 90, w, 90);
        cap.moveTo(cx - w / 2, capBottom);
        cap.cubicTo(cx - w / 2, capBottom - 70, cx - w / 4, capBottom - 90, cx, capBottom - 90);
        cap.cubicTo(cx + w / 4, capBottom - 90, cx + w / 2, capBottom - 70, cx + w / 2, capBottom);
        cap.closeSubpath();
    } else {
        const double h = shape == "platt" ? 22 : 50;
        capRect = QRectF(cx - capW / 2, capBottom - h, capW, h);
        cap.moveTo(cx - capW / 2, capBottom);
        cap.cubicTo(cx - capW / 2, capBottom - h * 1.3, cx + capW / 2, capBottom - h * 1.3, cx + capW / 2, capBottom);
        cap.closeSubpath();
    }
    // Underside band.
    if (shape != "tratt") {
        QRectF band(capRect.left() + 4, capBottom - 2, capRect.width() - 8, 9);
        p.setBrush(sub);
        p.drawRect(band);
        p.save();
        p.setPen(QPen(sub.darker(140), 1));
        if (s.Underside == 0)
            for (double x = band.left() + 3; x < band.right(); x += 4) p.drawLine(QPointF(x, band.top()), QPointF(x, band.bottom()));
        else if (s.Underside == 1)
            for (double x = band.left() + 3; x < band.right(); x += 5)
                for (double y = band.top() + 2; y < band.bottom(); y += 4) p.drawPoint(QPointF(x, y));
        else if (s.Underside == 2) {
            p.setBrush(sub);
            for (double x = band.left() + 2; x < band.right() - 3; x += 6) {
                QPolygonF tooth({QPointF(x, band.bottom()), QPointF(x + 5, band.bottom()), QPointF(x + 2.5, band.bottom() + 7)});
                p.drawPolygon(tooth);
            }
        }
        p.restore();
    } else {
        // Ridges running down the outside of the funnel.
        p.save();
        p.setBrush(sub);
        p.drawPath(cap);
        p.setPen(QPen(sub.darker(150), 1));
        for (int i = -3; i <= 3; ++i)
            p.drawLine(QPointF(cx + i * 4, capBottom), QPointF(cx + i * capW / 8.5, capBottom - 38));
        p.restore();
        QPainterPath top;
        top.addEllipse(QRectF(cx - capW / 2, capBottom - 52, capW, 20));
        p.setBrush(Gradient(s.Color, capRect.topLeft(), capRect.topRight(), QColor(200, 150, 60)));
        p.drawPath(top);
        return;
    }
    p.setBrush(Gradient(s.Color, capRect.topLeft(), capRect.topRight(), QColor(200, 150, 60)));
    p.drawPath(cap);
    p.save();
    p.setClipPath(cap);
    if (s.Dotted == 0 || s.Dotted == 1) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(250, 248, 240));
        for (int i = 0; i < 14; ++i) {
            const double x = capRect.left() + 10 + (i * 37) % int(capRect.width() - 20);
            const double y = capRect.top() + 8 + (i * 23) % int(std::max(10.0, capRect.height() - 10));
            p.drawEllipse(QPointF(x, y), 3.5, 2.8);
        }
    }
    if (s.Scaled == 0 || s.Scaled == 1) {
        p.setPen(QPen(First(s.Color, QColor(120, 80, 40)).darker(170), 1.2));
        for (int i = 0; i < 18; ++i) {
            const double x = capRect.left() + 8 + (i * 29) % int(capRect.width() - 16);
            const double y = capRect.top() + 6 + (i * 17) % int(std::max(10.0, capRect.height() - 8));
            p.drawArc(QRectF(x, y, 7, 5), 200 * 16, 140 * 16);
        }
    }
    if (s.Lined == 0 || s.Lined == 1) {
        p.setPen(QPen(First(s.Color, QColor(120, 80, 40)).darker(135), 1));
        for (int i = -6; i <= 6; ++i)
            p.drawLine(QPointF(cx + i * capRect.width() / 13, capBottom), QPointF(cx + i * capRect.width() / 30, capBottom - 12));
    }
    p.restore();
}

void DrawOtherFungus(QPainter& p, const Species& s, double groundY) {
    const QString shape = s.Shape.isEmpty() ? QString("boll") : s.Shape;
    const double cx = kPicSize / 2.0;
    const QColor body = First(s.Color, QColor(200, 170, 120));
    p.setPen(QPen(QColor(60, 45, 30), 1.2));
    const double w = 110;
    const double h = std::clamp(w * (s.Height.Min + s.Height.Max) / std::max(1.0, double(s.Size.Min + s.Size.Max)),
                                50.0, 140.0);
    const QRectF box(cx - w / 2, groundY - h, w, h);
    if (shape == "murkla" || shape == "hjärnmurkla") {
        const double stemW = w * 0.38;
        const QRectF head(cx - w * 0.36, box.top(), w * 0.72, h * 0.65);
        p.setBrush(QColor(238, 228, 205));
        p.drawRoundedRect(QRectF(cx - stemW / 2, head.bottom() - 10, stemW, groundY - head.bottom() + 10), 8, 8);
        p.setBrush(Gradient(s.Color, head.topLeft(), head.bottomRight(), body));
        if (shape == "murkla") {
            QPainterPath cone;
            cone.moveTo(head.left(), head.bottom());
            cone.cubicTo(head.left(), head.top() + head.height() * 0.3, cx - 6, head.top(), cx, head.top());
            cone.cubicTo(cx + 6, head.top(), head.right(), head.top() + head.height() * 0.3, head.right(), head.bottom());
            cone.closeSubpath();
            p.drawPath(cone);
            p.save();
            p.setClipPath(cone);
            p.setPen(QPen(body.darker(190), 2));
            for (double y = head.top() + 10; y < head.bottom(); y += 11) p.drawLine(QPointF(head.left(), y), QPointF(head.right(), y + 3));
            for (double x = head.left() + 8; x < head.right(); x += 12) p.drawLine(QPointF(x, head.top()), QPointF(x + 2, head.bottom()));
            p.restore();
        } else {
            p.drawEllipse(head);
            p.save();
            p.setPen(QPen(body.darker(180), 2));
            for (int i = 0; i < 7; ++i)
                p.drawArc(head.adjusted(6 + i * 3, 6 + i * 4, -6 - i * 2, -6 - i * 3), (i * 50) * 16, 200 * 16);
            p.restore();
        }
    } else if (shape == "ticka") {
        // A bracket on a trunk.
        p.setBrush(QColor(120, 95, 70));
        p.drawRect(QRectF(8, 20, 36, groundY - 20));
        for (int i = 0; i < 2; ++i) {
            const double top = 60 + i * 55;
            QPainterPath bracket;
            bracket.moveTo(44, top);
            bracket.cubicTo(120, top - 20 + i * 5, 190, top + 5, 180, top + 28);
            bracket.cubicTo(150, top + 40, 80, top + 38, 44, top + 34);
            bracket.closeSubpath();
            p.setBrush(Gradient(s.Color, {44, top}, {180, top + 30}, body));
            p.drawPath(bracket);
        }
    } else if (shape == "krus") {
        // Curly lobes heaped into a dome.
        p.setBrush(Gradient(s.Color, box.topLeft(), box.bottomRight(), body));
        for (int row = 0; row < 4; ++row) {
            const double half = w / 2 * (1.0 - row * 0.22);
            const double y = groundY - 24 - row * std::max(12.0, (h - 24) / 4);
            for (double x = -half + 12 + (row % 2) * 8; x <= half - 12; x += 18) {
                const QRectF lobe(cx + x - 16, y, 32, 22);
                p.drawEllipse(lobe);
                p.save();
                p.setPen(QPen(body.darker(135), 1));
                p.drawArc(lobe.adjusted(5, 5, -5, -3), 20 * 16, 140 * 16);
                p.drawArc(lobe.adjusted(9, 9, -9, -5), 200 * 16, 140 * 16);
                p.restore();
            }
        }
    } else if (shape == "koral") {
        // Upright, forked branches.
        p.setBrush(Gradient(s.Color, box.topLeft(), box.bottomRight(), body));
        for (int i = 0; i < 7; ++i) {
            const double x = box.left() + 14 + i * (w - 28) / 6;
            const double top = box.top() + (i % 3) * 14;
            p.drawRoundedRect(QRectF(x - 5, top + 14, 10, groundY - top - 14), 5, 5);
            p.drawRoundedRect(QRectF(x - 11, top, 7, 24), 3, 3);
            p.drawRoundedRect(QRectF(x + 4, top + 4, 7, 22), 3, 3);
        }
    } else if (shape == "klubba") {
        // A tall column with a head in the second colour.
        const double colW = std::clamp(w * 0.3, 20.0, 40.0);
        p.setBrush(QColor(244, 240, 228));
        p.drawRoundedRect(QRectF(cx - colW / 2, box.top() + 20, colW, groundY - box.top() - 20), 8, 8);
        p.setBrush(s.Color.size() > 1 ? Qc(s.Color[1]) : body);
        QPainterPath head;
        head.moveTo(cx - colW * 0.75, box.top() + 55);
        head.cubicTo(cx - colW * 0.75, box.top(), cx + colW * 0.75, box.top(), cx + colW * 0.75, box.top() + 55);
        head.closeSubpath();
        p.drawPath(head);
    } else {
        // A round or pear-shaped fruit body.
        QRadialGradient g(QPointF(cx - w / 6, box.top() + h / 3), w * 0.7);
        g.setColorAt(0, body.lighter(120));
        g.setColorAt(1, s.Color.size() > 1 ? Qc(s.Color.last()) : body.darker(120));
        p.setBrush(g);
        p.drawEllipse(box);
    }
}

// The illustration of a species: the fungus on its ground in a square of kPicSize pixels
// times the scale, widened on both sides by the margin with more of the same sky and ground.
QImage DrawIllustration(const Species& s, int scale = 1, int margin = 0) {
    const int width = kPicSize * scale + 2 * margin, height = kPicSize * scale;
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, height);
    sky.setColorAt(0, QColor(236, 242, 228));
    sky.setColorAt(1, QColor(214, 226, 200));
    p.fillRect(image.rect(), sky);
    const double groundY = 180;
    const bool onWood = s.Substrate.size() > 3 && (s.Substrate[1] == '1' || s.Substrate[3] == '1');
    p.fillRect(QRectF(0, groundY * scale, width, height - groundY * scale),
               onWood ? QColor(125, 98, 70) : QColor(112, 128, 72));
    // From here on the square's own coordinates.
    p.translate(margin, 0);
    p.scale(scale, scale);
    const double left = -double(margin) / scale, wide = double(width) / scale;
    if (s.Cap) DrawCapFungus(p, s, groundY);
    else DrawOtherFungus(p, s, groundY);

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(10);
    p.setFont(font);
    p.setPen(QColor(70, 70, 70));
    p.drawText(QRectF(4, 2, kPicSize - 8, 14), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Illustration"));
    if (s.Food == 0 || s.Food == 1) {
        p.fillRect(QRectF(left, kPicSize - 26, wide, 26), s.Food == 0 ? QColor(200, 0, 0) : QColor(230, 120, 0));
        font.setPixelSize(15);
        font.setBold(true);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRectF(0, kPicSize - 26, kPicSize, 26), Qt::AlignCenter,
                   s.Food == 0 ? QStringLiteral("DÖDLIGT GIFTIG") : QStringLiteral("GIFTIG"));
    }
    p.end();
    return image;
}

// The species' picture record shows the illustration larger and wider; its main picture is
// the square in the middle.
constexpr int kPictureScale = 2;
constexpr int kPictureMargin = kPicSize / 2;
constexpr int kThumbnailSize = 90;

QString PictureKey(const Species& s) { return Key("02D", s.Nr, 0); }

// Writes the file beside its name and renames it over the name.
void WritePicture(const QImage& image, const QString& file, const char* format, int quality) {
    const QString temp = file + ".new";
    if (!image.save(temp, format, quality)) {
        QFile::remove(temp);
        Raise("cannot write " + temp);
    }
    QFile::remove(file);
    if (!QFile::rename(temp, file)) Raise("cannot write " + file);
}

// ---- Writing the tables ----

void Generate(const QString& sourceFolder, const QString& stagingFolder) {
    Catalogue c = ReadCatalogue(sourceFolder);
    QHash<QString, const Species*> byLatin;
    for (Species& s : c.Species_) s.Key = Key("020", s.Nr, 0);
    for (const Species& s : c.Species_) byLatin.insert(s.Latin, &s);

    const QString db = stagingFolder + "/Db";
    const QString pics = stagingFolder + "/MainPics";
    if (!QDir().mkpath(db) || !QDir().mkpath(pics)) Raise("cannot make " + stagingFolder);

    TableWriter fungi("cdsFungi", db), swedish("cdsSwedishNames", db), latin("cdsLatinNames", db),
        texts("cdsFungiTexts", db), mixups("cdsFungiMixups", db), groups("cdsFungiGroups", db),
        pictures("cdsFungiPics", db);
    QList<TableWriter*> all{&fungi, &swedish, &latin, &texts, &mixups, &groups, &pictures};
    try {
        for (int i = 0; i < c.Groups.size(); ++i) {
            groups.Append();
            groups.Set("UKey", Key("050", 0, i));
            groups.Set("FungiGroup", c.Groups[i].Name);
            groups.Set("Suffices", c.Groups[i].Suffices);
            groups.Set("SignTemplate", c.Groups[i].SignTemplate);
            groups.Post();
        }
        QHash<QString, int> mixupRows;
        for (const Species& s : c.Species_) {
            fungi.Append();
            fungi.Set("UKey", s.Key);
            fungi.Set("LatinName", s.Latin);
            fungi.Set("SwedishName", s.Swedish);
            fungi.Set("FungiData", s.State);
            fungi.Set("CompletedBy", QString());
            fungi.Set("HasPic", s.HasPic);
            fungi.Set("PicCount", s.HasPic ? 1 : 0);
            fungi.Set("FungiGroup", s.Group);
            if (s.State != "UNCP") {
                fungi.Set("Difficulty", s.Difficulty);
                fungi.Set("FoodValue1", s.Food);
                fungi.Set("CookingRequired", s.Parboil >= 0 ? 0 : 1);
                fungi.Set("FoodValue2", s.Parboil >= 0 ? s.Parboil : s.Food);
                fungi.Set("HatFungi", s.Cap ? 0 : 1);
                fungi.Set("HatSubType", s.Underside);
                fungi.Set("HatSubColor", ColourText(s.UndersideColor));
                fungi.Set("HatSubGrowth", s.UndersideGrowth);
                fungi.Set("HatSubDensity", s.Density);
                fungi.Set("ScaledHat", s.Scaled);
                fungi.Set("DottedHat", s.Dotted);
                fungi.Set("LinedHat", s.Lined);
                fungi.Set("GroupedGrowth", s.Grouped);
                fungi.Set("FootRing", s.Ring);
                fungi.Set("GrowthMethod", s.Substrate);
                fungi.Set("Habitat", s.Habitat);
                fungi.Set("BodyColor", ColourText(s.Color));
                if (s.Size.Given) {
                    fungi.Set("BodySizeMinimum", s.Size.Min);
                    fungi.Set("BodySizeMaximum", s.Size.Max);
                }
                if (s.Height.Given) {
                    fungi.Set("BodyHeightMinimum", s.Height.Min);
                    fungi.Set("BodyHeightMaximum", s.Height.Max);
                }
                fungi.Set("FootColor", ColourText(s.FootColor));
                if (s.Foot.Given) {
                    fungi.Set("FootSizeMinimum", s.Foot.Min);
                    fungi.Set("FootSizeMaximum", s.Foot.Max);
                }
                fungi.Set("MeatColor", ColourText(s.MeatColor));
                fungi.Set("VisibleMeatJuice", s.MeatJuice);
                fungi.Set("MeatJuiceColor", ColourText(s.MeatJuiceColor));
                fungi.Set("SporeColor", ColourText(s.SporeColor));
                if (s.SporeWidth.Given) {
                    fungi.Set("SporeWidthMin", s.SporeWidth.Min);
                    fungi.Set("SporeWidthMax", s.SporeWidth.Max);
                    fungi.Set("SporeHeightMin", s.SporeHeight.Min);
                    fungi.Set("SporeHeightMax", s.SporeHeight.Max);
                }
                fungi.Set("SporeProps", s.SporeProps);
                fungi.Set("SporeNote", s.SporeNote);
                fungi.Set("Occurence", s.Regions);
                fungi.Set("Season", s.Season);
                fungi.Set("Smell", s.Smell);
                fungi.Set("Taste", s.Taste);
            }
            fungi.Set("CreatedBy", QString());
            fungi.Set("Timestamp", LettersFromNumber(15, kCatalogueTime));
            fungi.Post();

            if (s.HasPic) {
                // The illustration as the species' one picture, giving its main picture.
                const int side = kPicSize * kPictureScale;
                pictures.Append();
                pictures.Set("MasterUKey", s.Key);
                pictures.Set("UKey", PictureKey(s));
                pictures.Set("PicIndex", 1);
                pictures.Set("IsMainPic", true);
                pictures.Set("PicType", "APP");
                pictures.Set("PicSource", "Illustration, Mykotekshallen");
                pictures.Set("PicLocked", false);
                pictures.Set("PicDownloaded", false);
                pictures.Set("Photographer", "Mykotekshallen");
                pictures.Set("PicDate", QDate(2026, 12, 1));
                pictures.Set("NoteTextLocked", false);
                pictures.Set("MainPicSource", true);
                pictures.Set("MainPicX1", kPictureMargin);
                pictures.Set("MainPicY1", 0);
                pictures.Set("MainPicX2", kPictureMargin + side);
                pictures.Set("MainPicY2", side);
                pictures.Set("CreatedBy", QString());
                pictures.Set("Timestamp", LettersFromNumber(15, kCatalogueTime));
                pictures.Post();
            }
            for (int i = 0; i < s.SwedishNames.size(); ++i) {
                swedish.Append();
                swedish.Set("MasterUKey", s.Key);
                swedish.Set("UKey", Key("02B", s.Nr, i));
                swedish.Set("SwedishName", s.SwedishNames[i]);
                swedish.Post();
            }
            for (int i = 0; i < s.LatinNames.size(); ++i) {
                latin.Append();
                latin.Set("MasterUKey", s.Key);
                latin.Set("UKey", Key("02A", s.Nr, i));
                latin.Set("LatinName", s.LatinNames[i]);
                latin.Post();
            }
            const QStringList rows = s.State == "UNCP" ? WrapText(s.Text) : WrapText(SpeciesText(s));
            for (int i = 0; i < rows.size(); ++i) {
                texts.Append();
                texts.Set("MasterUKey", s.Key);
                texts.Set("UKey", Key("02F", s.Nr, i));
                texts.Set("RowFlag", 0);
                texts.Set("RowNo", i);
                texts.Set("RowText", rows[i]);
                texts.Post();
            }
        }
        // Each pair is shown on both species.
        for (const Mixup& m : c.Mixups) {
            for (const auto& [from, to] : {std::pair{m.A, m.B}, std::pair{m.B, m.A}}) {
                const Species* a = byLatin.value(from);
                const Species* b = byLatin.value(to);
                int& row = mixupRows[a->Key];
                QString edible = b->State == "UNCP" ? QString("Ej beskriven") : kFoodValues[b->Food];
                if (b->Parboil >= 0) edible += ", efter förvällning";
                mixups.Append();
                mixups.Set("MasterUKey", a->Key);
                mixups.Set("UKey", Key("02E", a->Nr, row++));
                mixups.Set("MixupUKey", b->Key);
                mixups.Set("MixupName", b->Swedish.isEmpty() ? b->Latin : b->Swedish);
                mixups.Set("MixupEdible", edible);
                mixups.Set("DifferenceText", m.Text);
                mixups.Set("CreatedBy", QString());
                mixups.Set("Timestamp", LettersFromNumber(15, kCatalogueTime));
                mixups.Post();
            }
        }
        for (TableWriter* t : all) t->Save();
    } catch (...) {
        for (TableWriter* t : all) t->Discard();
        throw;
    }

    // Pictures first, then the tables: a table never names a picture that is not there.
    const QString large = stagingFolder + "/FungiPics", thumbs = stagingFolder + "/FungiPicThumbs";
    QSet<QString> wanted;
    try {
        if (!QDir().mkpath(large) || !QDir().mkpath(thumbs)) Raise("cannot make " + stagingFolder);
        for (const Species& s : c.Species_) {
            if (!s.HasPic) continue;
            const QString main = "MP" + s.Key + ".jpg", picture = "Pic" + PictureKey(s) + ".jpg",
                          thumbnail = "Tn" + PictureKey(s) + ".bmp";
            wanted << main << picture << thumbnail;
            WritePicture(DrawIllustration(s), pics + "/" + main, "JPG", 90);
            const QImage wide = DrawIllustration(s, kPictureScale, kPictureMargin);
            WritePicture(wide, large + "/" + picture, "JPG", 90);
            QImage small;
            DrawPictureFit(wide, small, kThumbnailSize, true, kThumbnailSize);
            WritePicture(small, thumbs + "/" + thumbnail, "BMP", -1);
        }
    } catch (...) {
        for (TableWriter* t : all) t->Discard();
        throw;
    }
    for (const auto& [folder, pattern] : {std::pair{pics, "MP*.jpg"}, std::pair{large, "Pic*.jpg"}, std::pair{thumbs, "Tn*.bmp"}})
        for (const QString& old : QDir(folder).entryList({pattern}, QDir::Files))
            if (!wanted.contains(old)) QFile::remove(folder + "/" + old);
    for (TableWriter* t : all) t->Commit();
}

// ---- Installing into a program folder ----

void Install(const QString& stagingFolder, const QString& programFolder) {
    const QString db = programFolder + "/Data/Db";
    const QString stagedDb = stagingFolder + "/Db";
    if (!QFileInfo::exists(stagedDb + "/Fungi.dat")) Raise("nothing staged in " + stagingFolder);

    // The species and their detail rows come together: detail rows without their species
    // would only be orphans in a user's own table.
    if (!QFileInfo::exists(db + "/Fungi.dat")) {
        for (const char* name :
             {"SwedishNames.dat", "LatinNames.dat", "FungiTexts.dat", "FungiMixups.dat", "FungiPics.dat"})
            InstallFile(stagedDb + "/" + name, db + "/" + name);
        InstallFile(stagedDb + "/Fungi.dat", db + "/Fungi.dat");
    }
    InstallFile(stagedDb + "/FungiGroups.dat", db + "/FungiGroups.dat");

    // Pictures of the species that the table in place has and shows with a main picture, and
    // of the pictures that the picture table in place has.
    const auto keysOf = [](const QString& file, const char* condition) {
        QSet<QString> keys;
        if (!QFileInfo::exists(file)) return keys;
        TClientDataSet table;
        table.LoadFromFile(file);
        TField* key = table.FieldByName("UKey");
        TField* flag = condition ? table.FieldByName(QString::fromLatin1(condition)) : nullptr;
        for (table.First(); !table.Eof(); table.Next())
            if (!flag || flag->AsBoolean()) keys.insert(key->AsString());
        table.Close();
        return keys;
    };
    QSet<QString> withPicture, pictures;
    try {
        withPicture = keysOf(db + "/Fungi.dat", "HasPic");
        pictures = keysOf(db + "/FungiPics.dat", nullptr);
    } catch (const Exception& e) {
        std::fprintf(stderr, "gencatalogue: pictures left out, a species table is not readable: %s\n",
                     qPrintable(e.Message()));
        return;
    }
    const struct {
        const char* Folder;
        const char* Prefix;
        const char* Suffix;
        const QSet<QString>& Keys;
    } kinds[] = {{"MainPics", "MP", ".jpg", withPicture},
                 {"FungiPics", "Pic", ".jpg", pictures},
                 {"FungiPicThumbs", "Tn", ".bmp", pictures}};
    for (const auto& kind : kinds) {
        const QString from = stagingFolder + "/" + kind.Folder;
        const QString pattern = QString::fromLatin1(kind.Prefix) + "*" + kind.Suffix;
        const int prefix = int(qstrlen(kind.Prefix)), suffix = int(qstrlen(kind.Suffix));
        for (const QString& name : QDir(from).entryList({pattern}, QDir::Files)) {
            const QString key = name.mid(prefix, name.size() - prefix - suffix);
            if (kind.Keys.contains(key))
                InstallFile(from + "/" + name, programFolder + "/Data/Pics/" + kind.Folder + "/" + name);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Pictures are drawn without a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    return gensupport::Run(app.arguments(), "gencatalogue", "catalogue folder", Generate, Install);
}
