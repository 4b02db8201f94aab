#include "content/key/KeySelection.h"

#include <QList>
#include <limits>
#include <utility>

namespace {

using K = TKeyQuestionKind;

const QStringList YesNo{QStringLiteral("Ja"), QStringLiteral("Nej")};
const QStringList MildDistinct{QStringLiteral("Milt"), QStringLiteral("Distinkt")};
const QStringList GillGrowth{QStringLiteral("Fria"), QStringLiteral("Urnupna"), QStringLiteral("Vidväxta"),
                             QStringLiteral("Nedlöpande")};

QStringList Numbers(int count) {
    QStringList list;
    for (int i = 1; i <= count; ++i) list << QString::number(i);
    return list;
}

TKeyQuestion Header(const char* name, const char* text) {
    return {name, 0, K::Header, false, QString::fromUtf8(text), {}, {}};
}
TKeyQuestion Choice(const char* name, int tag, bool many, const char* text, QStringList options) {
    return {name, tag, K::Options, many, QString::fromUtf8(text), std::move(options), {}};
}
TKeyQuestion Colour(const char* name, int tag, const char* text) {
    return {name, tag, K::Color, false, QString::fromUtf8(text), {}, {}};
}
TKeyQuestion Input(const char* name, int tag, const char* text, const char* caption) {
    return {name, tag, K::Edit, false, QString::fromUtf8(text), {}, QString::fromUtf8(caption)};
}

QList<TKeyQuestion> MakeQuestions() {
    return {
        Header("keypHeader1", "        Allmänt"),
        Choice("keypHatFungi", 0, false, "Är arten en hattsvamp?", YesNo),
        Choice("keypHabitat", 0, true, "I vilken lokal hittades svampen?",
               {"Barrskog", "Lövskog", "Gräs", "Gran", "Tall", "Lärk", "Bok", "Björk", "Ek", "Asp", "Al", "Hassel",
                "Poppel", "Sand", "Annat"}),
        Choice("keypGrowthMethod", 0, false, "På vilket substrat växer svampen?",
               {"Markväxande", "Vedbunden", "Rotbunden", "Stubb-bunden", "Lövbunden", "Parasiterande"}),
        Choice("keypSeason", 0, true, "När på året hittades svampen?",
               {"Januari", "Februari", "Mars", "April", "Maj", "Juni", "Juli", "Augusti", "September", "Oktober",
                "November", "December"}),
        Choice("keypOccurence", 0, true, "I vilken del av landet hittades svampen?", Numbers(8)),
        Choice("keypGroupedGrowth", 0, false, "Växer arten tuvat?", YesNo),
        Colour("keypMeatColor", 0, "Vilken färg har fruktköttet?"),
        Header("keypHeader2", "        Hatt (endast hattsvampar)"),
        Input("keypHatSize", 11, "Hur stor är hatten?", "Diameter (mm):"),
        Choice("keypHatSubType", 11, false, "Vad finns på hattens undersida?", {"Skivor", "Rör", "Taggar", "Åsar"}),
        Choice("keypLinedHat", 11, false, "Är hatten strimmig?", YesNo),
        Choice("keypScaledHat", 11, false, "Är hatten fjällig?", YesNo),
        Choice("keypDottedHat", 11, false, "Är hatten prickig?", YesNo),
        Choice("keypHatSubGrowth", 14, false, "Vilka egenskaper har skivorna?", GillGrowth),
        Choice("keypHatSubDensity", 14, false, "Hur täta är skivorna?", {"Täta", "Mellan", "Glesa"}),
        Colour("keypHatSubColor", 11, "Vilken färg har hattens undersida?"),
        Choice("keypHatSubGrowth2", 15, false, "Hur växer porlagret?", GillGrowth),
        Choice("keypHatSubDensity2", 15, false, "Hur stora är pormynningarna?", {"Små", "Mellan", "Stora"}),
        Header("keypHeader3", "        Fot (endast hattsvampar)"),
        Choice("keypFootRing", 11, false, "Har foten en ring eller ringzon?", YesNo),
        Input("keypFootSize", 11, "Hur tjock är foten?", "Diameter (mm):"),
        Header("keypHeader6", "        Fruktkropp (endast ICKE hattsvampar)"),
        Input("keypBodySize", 12, "Hur stor är fruktkroppen?", "Bredd, höjd (mm):"),
        Colour("keypBodyColor", 12, "Vilken färg har fruktkroppen?"),
        Header("keypHeader4", "        Lukt, smak, köttsaft"),
        Choice("keypSmell", 0, false, "Hur luktar svampen?", MildDistinct),
        Choice("keypTaste", 0, false, "Hur smakar svampen?", MildDistinct),
        Choice("keypVisibleMeatJuice", 0, false, "Har svampen synlig, färgad köttsaft?", YesNo),
        Colour("keypMeatJuiceColor", 13, "Vilken färg har köttsaften?"),
        Header("keypHeader5", "        Sporer"),
        Choice("keypSporeProps", 0, true, "Vilket utseende har svampens sporer?",
               {"Hyalina", "Släta", "Ellipsoida", "Rundade", "Cylindriska", "Klotrunda", "Mandelformade", "Spolformade",
                "Njurformade", "Vårtiga", "Taggiga", "Krökta", "Korvlika", "Nätmönstrade", "Sönderfallande",
                "1-septerade", "3-septerade", "5-septerade"}),
        Input("keypSporeSize", 0, "Hur stora är sporerna?", "Bredd, höjd (µm):"),
        Colour("keypSporeColor", 0, "Vilken färg har sporpulvret?"),
        Colour("keypHatColor", 11, "Vilken färg har hatten?"),
        Colour("keypFootColor", 11, "Vilken färg har foten?"),
    };
}

QString At(const QStringList& answers, int question) {
    return question < answers.size() ? answers[question] : QString();
}

// Option i (from 0) of an options answer is chosen when its character is not "0".
bool Chosen(const QString& answer, int option) { return option < answer.size() && answer[option] != QLatin1Char('0'); }

bool Answered(const TKeyQuestion& question, const QString& answer) {
    switch (question.Kind) {
        case K::Options:
            for (int i = 0; i < question.Options.size(); ++i)
                if (Chosen(answer, i)) return true;
            return false;
        case K::Color: {
            bool ok = false;
            const qlonglong colour = answer.trimmed().toLongLong(&ok);
            return ok && colour >= 0;
        }
        case K::Edit:
            return !answer.isEmpty();
        case K::Header:
            return false;
    }
    return false;
}

int FirstChosen(const QString& answer) {
    for (int i = 0; i < answer.size(); ++i)
        if (answer[i] != QLatin1Char('0')) return i;
    return -1;
}

// The lines of the selection with the joining rule: the first line after the opening
// stands alone, every later one gets the joiner and a blank in front.
class TLineBuilder {
public:
    void Add(const QString& term) {
        m_lines << (m_first ? term : m_joiner + QLatin1Char(' ') + term);
        m_first = false;
    }
    void Group(const QList<int>& numbers, const QString& format) {
        Add(QStringLiteral("("));
        m_joiner = QStringLiteral("OR");
        m_first = true;
        for (int number : numbers) Add(format.arg(number));
        m_lines << QStringLiteral(")");
        m_joiner = QStringLiteral("AND");
        m_first = false;
    }
    const QStringList& Lines() const { return m_lines; }

private:
    QStringList m_lines;
    QString m_joiner = QStringLiteral("AND");
    bool m_first = true;
};

struct TSizePair {
    int Width = 0;
    int Height = 0;
};

bool ParsePair(const QString& text, int limit, TSizePair& pair) {
    QString compact;
    for (QChar c : text)
        if (!c.isSpace()) compact += c;
    const int comma = compact.indexOf(QLatin1Char(','));
    if (comma < 0) return false;
    return KeyParseInteger(compact.left(comma), pair.Width) && KeyParseInteger(compact.mid(comma + 1), pair.Height) &&
        pair.Width >= 1 && pair.Width <= limit && pair.Height >= 1 && pair.Height <= limit;
}

}  // namespace

const QList<TKeyQuestion>& KeyQuestions() {
    static const QList<TKeyQuestion> questions = MakeQuestions();
    return questions;
}

bool KeyTagActive(int tag, const QStringList& answers) {
    const QString hat = At(answers, kqHatFungi);
    switch (tag) {
        case 11:
            return Chosen(hat, 0);
        case 12:
            return Chosen(hat, 1);
        case 13:
            return Chosen(At(answers, kqVisibleMeatJuice), 0);
        case 14:
            return Chosen(hat, 0) && Chosen(At(answers, kqHatSubType), 0);
        case 15:
            return Chosen(hat, 0) && Chosen(At(answers, kqHatSubType), 1);
        default:
            return true;
    }
}

QStringList KeyAnswersInForce(const QStringList& answers) {
    QStringList result;
    const QList<TKeyQuestion>& questions = KeyQuestions();
    for (int i = 0; i < questions.size(); ++i)
        result << (KeyTagActive(questions[i].Tag, answers) ? At(answers, i) : QString());
    return result;
}

int KeyToleranceNumber(int colorTolerance) {
    static const int numbers[] = {100, 80, 60, 40, 20, 5};
    return numbers[qBound(0, colorTolerance, 4)];
}

bool KeyParseInteger(const QString& text, int& value) {
    const QString digits = text.trimmed();
    if (digits.isEmpty()) return false;
    for (QChar c : digits)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    bool ok = false;
    const qlonglong number = digits.toLongLong(&ok);
    if (!ok || number > std::numeric_limits<int>::max()) return false;
    value = int(number);
    return true;
}

TKeySelectionResult BuildKeySelection(const QStringList& answers, int colorTolerance) {
    const QList<TKeyQuestion>& questions = KeyQuestions();
    const int tolerance = KeyToleranceNumber(colorTolerance);
    TKeySelectionResult result;
    TLineBuilder b;

    auto answered = [&](int q) { return Answered(questions[q], At(answers, q)); };
    auto answer = [&](int q) { return At(answers, q); };
    auto fail = [&](int q, const char* message) {
        result.ErrorQuestion = q;
        result.Error = QString::fromUtf8(message);
    };
    auto group = [&](int q, const char* field) {
        if (!answered(q)) return;
        QList<int> numbers;
        for (int i = 0; i < questions[q].Options.size(); ++i)
            if (Chosen(answer(q), i)) numbers << i + 1;
        b.Group(numbers, QStringLiteral("Pos(%1,%2 > 0)").arg(QLatin1String(field), QStringLiteral("%1")));
    };
    auto fourValued = [&](int q, const char* field) {
        if (!answered(q)) return;
        b.Add(QString::fromLatin1(Chosen(answer(q), 0) ? "Num(%1 <> 3)" : "Num(%1 <> 0)").arg(QLatin1String(field)));
    };
    auto index = [&](int q, const char* field) {
        if (answered(q)) b.Add(QStringLiteral("Num(%1 = %2)").arg(QLatin1String(field)).arg(FirstChosen(answer(q))));
    };
    auto flag = [&](int q, const char* field) {
        if (answered(q))
            b.Add(QStringLiteral("Pos(%1,%2 > 0)").arg(QLatin1String(field)).arg(FirstChosen(answer(q)) + 1));
    };
    auto range = [&](const char* minField, const char* maxField, int value) {
        b.Add(QStringLiteral("Num(%1 <= %2)").arg(QLatin1String(minField)).arg(value));
        b.Add(QStringLiteral("Num(%1 >= %2)").arg(QLatin1String(maxField)).arg(value));
    };
    auto colour = [&](int q, const char* field) {
        if (!answered(q)) return;
        b.Add(QStringLiteral("Color(%1,%2,OR,%3)")
                  .arg(QLatin1String(field))
                  .arg(tolerance)
                  .arg(answer(q).trimmed().toLongLong()));
    };
    auto mildness = [&](int q, const char* field) {
        if (!answered(q)) return;
        const QString f = QLatin1String(field);
        b.Add(Chosen(answer(q), 0) ? QStringLiteral("Str(%1 = \"Mild\") or Str(%1 = \"Okänd\")").arg(f)
                                   : QStringLiteral("Str(%1 <> \"Mild\")").arg(f));
    };
    // A single size, or false when it is refused.
    auto single = [&](int q, int limit, const char* minField, const char* maxField, const char* message) {
        if (!answered(q)) return true;
        int value = 0;
        if (!KeyParseInteger(answer(q), value) || value < 1 || value > limit) {
            fail(q, message);
            return false;
        }
        range(minField, maxField, value);
        return true;
    };

    if (answered(kqHatFungi))
        b.Add(QString::fromLatin1(Chosen(answer(kqHatFungi), 0) ? "Num(HatFungi = 0)" : "Num(HatFungi = 1)"));

    // The habitat: a tree implies its forest and a forest its trees.
    if (answered(kqHabitat)) {
        const QString a = answer(kqHabitat);
        bool marked[16] = {};
        if (Chosen(a, 0)) marked[1] = marked[4] = marked[5] = marked[6] = true;
        if (Chosen(a, 1)) {
            marked[2] = true;
            for (int o = 7; o <= 13; ++o) marked[o] = true;
        }
        for (int o = 3; o <= 15; ++o) {
            if (!Chosen(a, o - 1)) continue;
            marked[o] = true;
            if (o >= 4 && o <= 6) marked[1] = true;
            if (o >= 7 && o <= 13) marked[2] = true;
        }
        QList<int> numbers;
        for (int o = 1; o <= 15; ++o)
            if (marked[o]) numbers << o;
        b.Group(numbers, QStringLiteral("Pos(Habitat,%1 > 0)"));
    }
    group(kqGrowthMethod, "GrowthMethod");
    group(kqSeason, "Season");
    group(kqOccurence, "Occurence");
    fourValued(kqGroupedGrowth, "GroupedGrowth");
    colour(kqMeatColor, "MeatColor");
    if (!single(kqHatSize, 800, "BodySizeMinimum", "BodySizeMaximum", "Ogiltig eller orimlig hattstorlek."))
        return result;
    index(kqHatSubType, "HatSubType");
    fourValued(kqLinedHat, "LinedHat");
    fourValued(kqScaledHat, "ScaledHat");
    fourValued(kqDottedHat, "DottedHat");
    flag(kqHatSubGrowth, "HatSubGrowth");
    index(kqHatSubDensity, "HatSubDensity");
    flag(kqHatSubGrowth2, "HatSubGrowth");
    index(kqHatSubDensity2, "HatSubDensity");
    fourValued(kqFootRing, "FootRing");
    if (!single(kqFootSize, 200, "FootSizeMinimum", "FootSizeMaximum", "Ogiltig eller orimlig fottjocklek."))
        return result;
    if (answered(kqBodySize)) {
        TSizePair size;
        if (!ParsePair(answer(kqBodySize), 1000, size)) {
            fail(kqBodySize,
                 "Ogiltig eller orimlig bredd/höjd på fruktkropp. Skriv bredden och höjden uttryckt i "
                 "hela millimeter med ett kommatecken mellan.");
            return result;
        }
        range("BodySizeMinimum", "BodySizeMaximum", size.Width);
        range("BodyHeightMinimum", "BodyHeightMaximum", size.Height);
    }
    mildness(kqSmell, "Smell");
    mildness(kqTaste, "Taste");
    fourValued(kqVisibleMeatJuice, "VisibleMeatJuice");
    group(kqSporeProps, "SporeProps");
    if (answered(kqSporeSize)) {
        TSizePair size;
        if (!ParsePair(answer(kqSporeSize), 1000, size)) {
            fail(kqSporeSize,
                 "Ogiltig eller orimlig bredd/höjd på sporerna. Skriv bredden och höjden uttryckt i "
                 "hela mikrometer med ett kommatecken mellan.");
            return result;
        }
        if (size.Width > size.Height) std::swap(size.Width, size.Height);
        range("SporeWidthMin", "SporeWidthMax", size.Width);
        range("SporeHeightMin", "SporeHeightMax", size.Height);
    }
    colour(kqHatColor, "BodyColor");
    colour(kqHatSubColor, "HatSubColor");
    colour(kqFootColor, "FootColor");
    colour(kqBodyColor, "BodyColor");
    colour(kqMeatJuiceColor, "MeatJuiceColor");
    colour(kqSporeColor, "SporeColor");

    // With nothing answered the completeness test stands alone, never before a dangling AND.
    const bool any = !b.Lines().isEmpty();
    result.Lines << QStringLiteral("(")
                 << (any ? QStringLiteral("Str(FungiData = \"CPLD\") AND")
                         : QStringLiteral("Str(FungiData = \"CPLD\")"))
                 << b.Lines() << QStringLiteral(")");
    return result;
}
