#include "tools/gencatalogue/CatalogueReader.h"
// Reading the catalogue's source files.

#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>

#include "tools/GenSupport.h"

namespace gencatalogue {

namespace {

constexpr int kMaxNr = 1000000;

using gensupport::Raise;

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
        for (const auto& item : v.toArray()) {
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
        if (!v.isString() || index < 0) Bad(QString("%1 must be one of %2").arg(name, options.join(", ")));
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
        for (const auto& v : a)
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

}  // namespace

Catalogue ReadCatalogue(const QString& folder) {
    Catalogue c;
    const QHash<QString, quint32> palette = ReadPalette(folder);

    const QString groupsPath = folder + "/groups.json";
    QSet<QString> groupNames;
    const QJsonDocument groupsDoc = ReadJson(groupsPath);
    if (!groupsDoc.isArray()) Raise(groupsPath + ": expected a list of groups");
    for (const auto& v : groupsDoc.array()) {
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
        for (const auto& v : object.value("Species").toArray())
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
    for (const auto& v : mixupsDoc.array()) {
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

}  // namespace gencatalogue
