#include "script/QuillCalc.h"

#include "script/QSAnsi.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QRandomGenerator>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cmath>
#include <limits>
#include <numbers>
#include <string>

double QuillDayCount(const QDateTime& when) {
    const qint64 days = QDate(1899, 12, 30).daysTo(when.date());
    return double(days) + double(when.time().msecsSinceStartOfDay()) / 86400000.0;
}

namespace {

const QString kEmptyExpression = QStringLiteral("Empty expression");
const QString kUnterminatedString = QStringLiteral("Unterminated string");
const QString kInvalidFloat = QStringLiteral("Invalid float number");
const QString kInvalidInteger = QStringLiteral("Invalid integer number");
const QString kNegativeExpected = QStringLiteral("Negative number expected");
const QString kOperatorExpected = QStringLiteral("Operator expected");
const QString kOperandExpected = QStringLiteral("Operand expected");
const QString kCustomNotImplemented = QStringLiteral("Custom function not implemented (\"%1\")");
const QString kNotEnoughParameters = QStringLiteral("Not enough parameters for function");
const QString kExpectsInteger = QStringLiteral("Function expects parameter of type Integer");
const QString kExpectsBoolean = QStringLiteral("Function expects parameter of type Boolean");
const QString kExpectsString = QStringLiteral("Function expects parameter of type String");
const QString kExpectsFloat = QStringLiteral("Function expects parameter of type Real or Integer");
const QString kDelimiterExpected = QStringLiteral("Function-parameter delimiter \",\" expected");
const QString kParenthesisExpected = QStringLiteral("Finishing parenthesis \")\" expected");
const QString kDivisionByZero = QStringLiteral("Division by zero");
const QString kEndExpected = QStringLiteral("End of expression expected");
const QString kUnknownName = QStringLiteral("Unknown function or variable (\"%1\")");
const QString kNotApplicable = QStringLiteral("Operator not applicable to this operand type");
const QString kIncompatible = QStringLiteral("Incompatible operands");
const QString kTypeMismatch = QStringLiteral("Result type mismatch (should be %1)");
const QString kInvalidOperation = QStringLiteral("Invalid floating point operation");
const QString kNestedTooDeeply = QStringLiteral("Parentheses nested too deeply");

// Open parentheses (of groups and of argument lists) allowed at once; the parser recurses
// once per level, so this bounds its stack.
constexpr int kMaxDepth = 256;

const QStringList kDefaultBooleanLabels{QStringLiteral("false"), QStringLiteral("true")};

const char16_t* const kMonthNames[12] = {u"januari", u"februari", u"mars",      u"april",   u"maj",      u"juni",
                                         u"juli",    u"augusti",  u"september", u"oktober", u"november", u"december"};

inline bool IsDigit(QChar c) { return c >= u'0' && c <= u'9'; }
inline bool IsLetter(QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
inline bool IsNameChar(QChar c) { return IsLetter(c) || IsDigit(c) || c == u'_' || c == u'.'; }
inline bool IsNumber(TQuillKind kind) { return kind == TQuillKind::Integer || kind == TQuillKind::Float; }

inline double AsDouble(const TQuillValue& v) {
    return v.index() == size_t(TQuillKind::Integer) ? double(std::get<qint32>(v)) : std::get<double>(v);
}

inline bool FitsInteger(double v) { return v >= -2147483648.0 && v <= 2147483647.0; }

inline TQuillValue IntegerOrFloat(qint64 v) {
    if (v >= std::numeric_limits<qint32>::min() && v <= std::numeric_limits<qint32>::max()) return qint32(v);
    return double(v);
}

QString TwoDigits(int v) { return QString::number(v).rightJustified(2, u'0'); }

// A run of one letter (either case) starting at i.
qsizetype RunLength(const QString& format, qsizetype i) {
    const QChar first = format[i].toLower();
    qsizetype j = i + 1;
    while (j < format.size() && format[j].toLower() == first) ++j;
    return j - i;
}

QString MonthName(int month, const QString& run) {
    QString name = QString::fromUtf16(kMonthNames[month - 1]);
    name = run[1].isUpper() ? name.toUpper() : name.toLower();
    name[0] = run[0].isUpper() ? name[0].toUpper() : name[0].toLower();
    return name;
}

QString FormatDate(const QString& given, const QDate& date) {
    const QString format = given.isEmpty() ? QStringLiteral("ÅÅ-MM-DD") : given;
    QString out;
    bool year = false, month = false, day = false;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i].toLower();
        if (c != u'å' && c != u'm' && c != u'd') {
            out += format[i++];
            continue;
        }
        const qsizetype n = RunLength(format, i);
        const QString run = format.mid(i, n);
        i += n;
        if (c == u'å') {
            if (year) continue;
            year = true;
            out +=
                n <= 3 ? TwoDigits(std::abs(date.year()) % 100) : QString::number(date.year()).rightJustified(4, u'0');
        } else if (c == u'm') {
            if (month) continue;
            month = true;
            if (n <= 2)
                out += TwoDigits(date.month());
            else if (n == 3)
                out += MonthName(date.month(), run).left(3);
            else if (n == 4)
                out += MonthName(date.month(), run);
        } else {
            if (day) continue;
            day = true;
            out += n == 1 ? QString::number(date.day()) : TwoDigits(date.day());
        }
    }
    return out;
}

QString FormatTime(const QString& given, int hour, int minute, int second) {
    const QString format = given.isEmpty() ? QStringLiteral("TT.MM:SS") : given;
    QString out;
    bool seen[3] = {false, false, false};
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i].toLower();
        const int which = c == u't' ? 0 : c == u'm' ? 1 : c == u's' ? 2 : -1;
        if (which < 0) {
            out += format[i++];
            continue;
        }
        i += RunLength(format, i);
        if (seen[which]) continue;
        seen[which] = true;
        out += TwoDigits(which == 0 ? hour : which == 1 ? minute : second);
    }
    return out;
}

// Leading blanks, an optional sign and decimal digits, within 32 bits.
bool ParseInteger(const QString& text, qint32* value) {
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    if (i >= text.size()) return false;
    qint64 v = 0;
    for (; i < text.size(); ++i) {
        if (!IsDigit(text[i])) return false;
        v = v * 10 + (text[i].unicode() - u'0');
        if (v > 2147483648LL) return false;
    }
    if (negative) v = -v;
    if (v > std::numeric_limits<qint32>::max()) return false;
    *value = qint32(v);
    return true;
}

// Blanks around, an optional sign, digits with "." as decimal separator and an optional
// exponent; the value must be finite.
bool ParseFloat(const QString& text, double* value) {
    const QString t = text.trimmed();
    std::string ascii;
    ascii.reserve(size_t(t.size()));
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) negative = t[i++] == u'-';
    bool digits = false, dot = false, exponent = false;
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (IsDigit(c)) {
            digits = true;
        } else if (c == u'.' && !dot && !exponent) {
            dot = true;
        } else if ((c == u'e' || c == u'E') && digits && !exponent) {
            exponent = true;
            ascii += 'e';
            if (i + 1 < t.size() && (t[i + 1] == u'+' || t[i + 1] == u'-')) ascii += char(t[++i].unicode());
            if (i + 1 >= t.size() || !IsDigit(t[i + 1])) return false;
            continue;
        } else {
            return false;
        }
        ascii += char(c.unicode());
    }
    if (!digits) return false;
    double v = 0;
    const auto result = std::from_chars(ascii.data(), ascii.data() + ascii.size(), v);
    if (result.ec != std::errc() || result.ptr != ascii.data() + ascii.size() || !std::isfinite(v)) return false;
    *value = negative ? -v : v;
    return true;
}

// The general form with 15 significant digits: plain up to 15 integer digits and down to
// 0.00001, otherwise with an exponent ("1E20", "1,5E-7").
QString GeneralFloat(double v, QChar separator) {
    if (v == 0) return QStringLiteral("0");
    const QString e = QString::number(v, 'e', 14);  // "-d.dddddddddddddde+xx"
    const qsizetype ePos = e.indexOf(u'e');
    const bool negative = e.startsWith(u'-');
    QString digits = e.mid(negative ? 1 : 0, ePos - (negative ? 1 : 0)).remove(u'.');
    const int exponent = e.mid(ePos + 1).toInt();
    while (digits.size() > 1 && digits.endsWith(u'0')) digits.chop(1);
    QString out = negative ? QStringLiteral("-") : QString();
    if (exponent < -5 || exponent >= 15) {
        out += digits[0];
        if (digits.size() > 1) out += separator + digits.mid(1);
        out += u'E' + QString::number(exponent);
    } else if (exponent >= 0) {
        if (digits.size() <= exponent + 1) {
            out += digits + QString(exponent + 1 - digits.size(), u'0');
        } else {
            out += digits.left(exponent + 1) + separator + digits.mid(exponent + 1);
        }
    } else {
        out += u'0' + QString(separator) + QString(-exponent - 1, u'0') + digits;
    }
    return out;
}

}  // namespace

enum class TQuillCalc::Op : quint8 {
    None,  // not an operator
    Eq,
    Ne,
    Lt,
    Gt,
    Le,
    Ge,
    Plus,
    Minus,
    Or,
    Xor,
    Mul,
    Slash,
    Div,
    Mod,
    And,
    Shl,
    Shr,
    Percent,
    LParen,
    RParen,
    Comma,
};

// What ended a level-0 parse.
enum class TQuillCalc::End : quint8 { Text, Comma, RParen };

// ---- Built-in functions ----

struct QuillBuiltins {
    using Fn = TQuillValue (*)(TQuillCalc&);

    static bool B(TQuillCalc& c, int flags) { return std::get<bool>(c.GetParam(TQuillKind::Boolean, flags)); }
    static QString S(TQuillCalc& c, int flags) { return std::get<QString>(c.GetParam(TQuillKind::String, flags)); }
    static qint32 I(TQuillCalc& c, int flags) { return std::get<qint32>(c.GetParam(TQuillKind::Integer, flags)); }
    static double F(TQuillCalc& c, int flags) { return std::get<double>(c.GetParam(TQuillKind::Float, flags)); }

    static double Finite(TQuillCalc& c, double v) {
        if (!std::isfinite(v)) c.Raise(kInvalidOperation);
        return v;
    }
    static qint32 ToInteger(TQuillCalc& c, double v) {
        if (!FitsInteger(v)) c.Raise(kInvalidOperation);
        return qint32(v);
    }

    static TQuillValue Not(TQuillCalc& c) { return !B(c, qpOnly); }
    static TQuillValue Pi(TQuillCalc&) { return std::numbers::pi; }
    static TQuillValue Sin(TQuillCalc& c) { return Finite(c, std::sin(F(c, qpOnly))); }
    static TQuillValue Cos(TQuillCalc& c) { return Finite(c, std::cos(F(c, qpOnly))); }
    static TQuillValue Tan(TQuillCalc& c) {
        const double x = F(c, qpOnly);
        if (std::cos(x) == 0.0) c.Raise(kDivisionByZero);
        return Finite(c, std::tan(x));
    }
    static TQuillValue ArcSin(TQuillCalc& c) { return Finite(c, std::asin(F(c, qpOnly))); }
    static TQuillValue ArcCos(TQuillCalc& c) { return Finite(c, std::acos(F(c, qpOnly))); }
    static TQuillValue ArcTan(TQuillCalc& c) { return Finite(c, std::atan(F(c, qpOnly))); }

    // A day count since 30 December 1899 with the time of day as fraction, split as the
    // value rounded to milliseconds; the time of a negative value counts from its midnight
    // forwards. Only the years 1 to 9999 are dates.
    static void Split(TQuillCalc& c, double value, QDate* date, qint64* msOfDay) {
        constexpr qint64 kDay = 86400000;
        if (!(value > -693594.0 && value < 2958466.0)) c.Raise(kInvalidOperation);
        const qint64 ms = qint64(std::nearbyint(value * double(kDay)));
        const qint64 days = ms / kDay;
        if (days < -693593 || days > 2958465) c.Raise(kInvalidOperation);
        *date = QDate(1899, 12, 30).addDays(days);
        *msOfDay = (ms < 0 ? -ms : ms) % kDay;
    }
    static TQuillValue Date(TQuillCalc& c) {
        const QString format = S(c, qpFirst);
        const double value = F(c, qpLast);
        QDate date;
        qint64 ms;
        Split(c, value, &date, &ms);
        return FormatDate(format, date);
    }
    static TQuillValue Time(TQuillCalc& c) {
        const QString format = S(c, qpFirst);
        const double value = F(c, qpLast);
        QDate date;
        qint64 ms;
        Split(c, value, &date, &ms);
        const int seconds = int(ms / 1000);
        return FormatTime(format, seconds / 3600, seconds / 60 % 60, seconds % 60);
    }

    // Halves go up: 2.5 gives 3, -2.5 gives -2.
    static TQuillValue Round(TQuillCalc& c) {
        const double x = F(c, qpOnly);
        double r = std::floor(x);
        if (x - r >= 0.5) r += 1;
        return ToInteger(c, r);
    }
    static TQuillValue Int(TQuillCalc& c) { return std::trunc(F(c, qpOnly)); }
    static TQuillValue Frac(TQuillCalc& c) {
        const double x = F(c, qpOnly);
        return x - std::trunc(x);
    }
    static TQuillValue Trunc(TQuillCalc& c) { return ToInteger(c, std::trunc(F(c, qpOnly))); }
    static TQuillValue Abs(TQuillCalc& c) { return std::fabs(F(c, qpOnly)); }
    static TQuillValue Sqr(TQuillCalc& c) {
        const double x = F(c, qpOnly);
        return Finite(c, x * x);
    }
    static TQuillValue Sqrt(TQuillCalc& c) { return Finite(c, std::sqrt(F(c, qpOnly))); }
    static TQuillValue Length(TQuillCalc& c) { return qint32(S(c, qpOnly).size()); }

    // "%*.*f": at least `width` characters, right-aligned, `decimals` decimals.
    static TQuillValue Format(TQuillCalc& c) {
        const double value = F(c, qpFirst);
        const qint32 width = std::clamp(I(c, qpMiddle), 0, 1000);
        const qint32 decimals = std::clamp(I(c, qpLast), 0, 20);
        if (!std::isfinite(value)) c.Raise(kInvalidOperation);
        QString text = QString::number(value, 'f', decimals);
        // A value that rounds to zero has no sign.
        if (text.startsWith(u'-') && text.count(u'0') + text.count(u'.') == text.size() - 1) text.remove(0, 1);
        if (decimals > 0) text.replace(text.indexOf(u'.'), 1, c.DecimalSeparator());
        return text.rightJustified(width, u' ');
    }
    static TQuillValue StrCopy(TQuillCalc& c) {
        const QString s = S(c, qpFirst);
        const qint64 index = std::max<qint64>(I(c, qpMiddle), 1);
        const qint64 count = I(c, qpLast);
        if (count <= 0 || index > s.size()) return QString();
        return s.mid(qsizetype(index - 1), qsizetype(std::min<qint64>(count, s.size() - index + 1)));
    }
    static TQuillValue StrPos(TQuillCalc& c) {
        const QString sub = S(c, qpFirst);
        const QString value = S(c, qpLast);
        if (sub.isEmpty()) return qint32(0);
        return qint32(value.indexOf(sub) + 1);
    }
    static TQuillValue Ascii(TQuillCalc& c) {
        const qint32 code = I(c, qpOnly);
        if (code < 0 || code > 255) c.Raise(kInvalidInteger);
        return QString(AnsiToChar(uchar(code)));
    }
    static TQuillValue FloatToStr(TQuillCalc& c) { return GeneralFloat(F(c, qpOnly), c.DecimalSeparator()); }
    static TQuillValue StrToInt(TQuillCalc& c) {
        const QString s = S(c, qpFirst);
        const qint32 alt = I(c, qpLast);
        qint32 v;
        return ParseInteger(s, &v) ? v : alt;
    }
    static TQuillValue IntToStr(TQuillCalc& c) { return QString::number(I(c, qpOnly)); }
    static TQuillValue Zd(TQuillCalc& c) {
        const double a = F(c, qpFirst);
        const double b = F(c, qpMiddle);
        const double alt = F(c, qpLast);
        if (b == 0) return alt;
        const double r = a / b;
        return std::isfinite(r) ? r : alt;
    }
    static TQuillValue Random(TQuillCalc& c) {
        const qint32 max = I(c, qpOnly);
        return max > 0 ? qint32(QRandomGenerator::global()->bounded(max)) : qint32(0);
    }
    static TQuillValue Uc(TQuillCalc& c) { return S(c, qpOnly).toUpper(); }
    static TQuillValue Lc(TQuillCalc& c) { return S(c, qpOnly).toLower(); }
    static TQuillValue Uc1(TQuillCalc& c) {
        QString s = S(c, qpOnly);
        if (!s.isEmpty()) s.replace(0, 1, s.left(1).toUpper());
        return s;
    }
    static TQuillValue BoolToInt(TQuillCalc& c) { return qint32(B(c, qpOnly) ? 1 : 0); }
    static TQuillValue IntToBool(TQuillCalc& c) { return c.BooleanLabels().at(I(c, qpOnly) != 0 ? 1 : 0); }
    static TQuillValue StrToFloat(TQuillCalc& c) {
        const QString s = S(c, qpFirst);
        const double alt = F(c, qpLast);
        double v;
        return ParseFloat(s, &v) ? v : alt;
    }

    static const QHash<QString, Fn>& Table() {
        static const QHash<QString, Fn> table{
            {QStringLiteral("not"), Not},
            {QStringLiteral("pi"), Pi},
            {QStringLiteral("sin"), Sin},
            {QStringLiteral("cos"), Cos},
            {QStringLiteral("tan"), Tan},
            {QStringLiteral("arcsin"), ArcSin},
            {QStringLiteral("arccos"), ArcCos},
            {QStringLiteral("arctan"), ArcTan},
            {QStringLiteral("date"), Date},
            {QStringLiteral("time"), Time},
            {QStringLiteral("round"), Round},
            {QStringLiteral("int"), Int},
            {QStringLiteral("frac"), Frac},
            {QStringLiteral("trunc"), Trunc},
            {QStringLiteral("abs"), Abs},
            {QStringLiteral("sqr"), Sqr},
            {QStringLiteral("sqrt"), Sqrt},
            {QStringLiteral("length"), Length},
            {QStringLiteral("format"), Format},
            {QStringLiteral("strcopy"), StrCopy},
            {QStringLiteral("strpos"), StrPos},
            {QStringLiteral("ascii"), Ascii},
            {QStringLiteral("floattostr"), FloatToStr},
            {QStringLiteral("strtoint"), StrToInt},
            {QStringLiteral("inttostr"), IntToStr},
            {QStringLiteral("zd"), Zd},
            {QStringLiteral("random"), Random},
            {QStringLiteral("uc"), Uc},
            {QStringLiteral("lc"), Lc},
            {QStringLiteral("uc1"), Uc1},
            {QStringLiteral("booltoint"), BoolToInt},
            {QStringLiteral("inttobool"), IntToBool},
            {QStringLiteral("strtofloat"), StrToFloat},
        };
        return table;
    }
};

// ---- The calculator ----

struct TQuillCalc::State {
    QString text;
    qsizetype pos;
    int depth;
};

TQuillCalc::TQuillCalc(QObject* owner)
    : QObject(owner), m_booleanLabels(kDefaultBooleanLabels), m_decimalSeparator(QLocale().decimalPoint().at(0)) {}

TQuillCalc::~TQuillCalc() = default;

void TQuillCalc::SetBooleanLabels(const QStringList& labels) {
    ForgetNames();
    if (labels.size() != 2) {
        m_booleanLabels = kDefaultBooleanLabels;
        return;
    }
    m_booleanLabels = QStringList{labels[0].toLower(), labels[1].toLower()};
}

void TQuillCalc::SetCustomFunctions(const QStringList& names) {
    ForgetNames();
    m_customFunctions.clear();
    for (const QString& name : names) m_customFunctions.append(name.toLower());
    m_customSet = QSet<QString>(m_customFunctions.begin(), m_customFunctions.end());
}

void TQuillCalc::RemoveCustomFunction(const QString& name) {
    ForgetNames();
    const QString lower = name.toLower();
    m_customFunctions.removeAll(lower);
    m_customSet.remove(lower);
}

void TQuillCalc::Raise(const QString& message) const { throw EExpressionError(message, int(m_pos) + 1); }

int TQuillCalc::Position() const { return int(m_pos) + 1; }

TQuillValue TQuillCalc::Evaluate(const QString& expression) { return EvaluateAt(expression, nullptr); }

TQuillValue TQuillCalc::EvaluateAt(const QString& expression, int* endPosition) {
    if (expression.count(u' ') == expression.size()) throw EExpressionError(kEmptyExpression, 1);
    // A handler may evaluate another text while this one is being read.
    struct Restore {
        TQuillCalc& calc;
        State saved;
        ~Restore() {
            calc.m_text = std::move(saved.text);
            calc.m_pos = saved.pos;
            calc.m_depth = saved.depth;
        }
    } restore{*this, State{std::move(m_text), m_pos, m_depth}};
    m_text = expression;
    m_pos = 0;
    m_depth = 0;
    SkipBlanks();
    End end = End::Text;
    TQuillValue result = ParseLevel(0, &end);
    if (m_depth > 0) Raise(kParenthesisExpected);
    if (!AtEnd() || end == End::Comma) Raise(kEndExpected);
    if (endPosition) *endPosition = int(m_pos) + 1;
    return result;
}

void TQuillCalc::RaiseTypeMismatch(const char* kind, int endPosition) const {
    throw EExpressionError(kTypeMismatch.arg(QLatin1String(kind)), endPosition - 1);
}

bool TQuillCalc::EvaluateBoolean(const QString& expression) {
    int end = 0;
    const TQuillValue v = EvaluateAt(expression, &end);
    if (QuillKind(v) != TQuillKind::Boolean) RaiseTypeMismatch("Boolean", end);
    return std::get<bool>(v);
}

double TQuillCalc::EvaluateFloat(const QString& expression) {
    int end = 0;
    const TQuillValue v = EvaluateAt(expression, &end);
    if (!IsNumber(QuillKind(v))) RaiseTypeMismatch("Float", end);
    return AsDouble(v);
}

qint32 TQuillCalc::EvaluateInteger(const QString& expression) {
    int end = 0;
    const TQuillValue v = EvaluateAt(expression, &end);
    if (QuillKind(v) != TQuillKind::Integer) RaiseTypeMismatch("Integer", end);
    return std::get<qint32>(v);
}

QString TQuillCalc::EvaluateString(const QString& expression) {
    int end = 0;
    TQuillValue v = EvaluateAt(expression, &end);
    if (QuillKind(v) != TQuillKind::String) RaiseTypeMismatch("String", end);
    return std::get<QString>(std::move(v));
}

TQuillValue TQuillCalc::GetParam(TQuillKind kind, int flags) {
    if (flags & (qpFirst | qpOnly)) {
        qsizetype tokenEnd;
        if (AtEnd() || PeekOperator(&tokenEnd) != Op::LParen) Raise(kNotEnoughParameters);
        Consume(tokenEnd);
        OpenParenthesis();
    }
    End end = End::Text;
    TQuillValue value = ParseLevel(0, &end);
    switch (kind) {
        case TQuillKind::Boolean:
            if (QuillKind(value) != TQuillKind::Boolean) Raise(kExpectsBoolean);
            break;
        case TQuillKind::String:
            if (QuillKind(value) != TQuillKind::String) Raise(kExpectsString);
            break;
        case TQuillKind::Integer:
            if (QuillKind(value) != TQuillKind::Integer) Raise(kExpectsInteger);
            break;
        case TQuillKind::Float:
            if (!IsNumber(QuillKind(value))) Raise(kExpectsFloat);
            value = AsDouble(value);
            break;
        default:
            break;
    }
    // The closing ")" of an only argument has been read by the parse; it must have been ")".
    if (flags & (qpOnly | qpLast)) {
        if (end != End::RParen) Raise(kParenthesisExpected);
    } else if (end != End::Comma) {
        Raise(kDelimiterExpected);
    }
    return value;
}

void TQuillCalc::SkipBlanks() {
    while (m_pos < m_text.size() && m_text[m_pos] == u' ') ++m_pos;
}

void TQuillCalc::Consume(qsizetype tokenEnd) {
    m_pos = tokenEnd;
    SkipBlanks();
}

void TQuillCalc::OpenParenthesis() {
    if (m_depth >= kMaxDepth) Raise(kNestedTooDeeply);
    ++m_depth;
}

// The operator at the position, without reading anything else: a name that is not a word
// operator is left alone, so a function is called only when its operand is read.
TQuillCalc::Op TQuillCalc::PeekOperator(qsizetype* tokenEnd) const {
    const qsizetype n = m_text.size();
    qsizetype i = m_pos;
    if (i >= n) return Op::None;
    const QChar c = m_text[i];
    *tokenEnd = i + 1;
    switch (c.unicode()) {
        case u'<':
            if (i + 1 < n && m_text[i + 1] == u'=') return *tokenEnd = i + 2, Op::Le;
            if (i + 1 < n && m_text[i + 1] == u'>') return *tokenEnd = i + 2, Op::Ne;
            return Op::Lt;
        case u'>':
            if (i + 1 < n && m_text[i + 1] == u'=') return *tokenEnd = i + 2, Op::Ge;
            return Op::Gt;
        case u'=':
            return Op::Eq;
        case u'+':
            return Op::Plus;
        case u'-':
            return Op::Minus;
        case u'*':
            return Op::Mul;
        case u'/':
            return Op::Slash;
        case u'%':
            return Op::Percent;
        case u'(':
            return Op::LParen;
        case u')':
            return Op::RParen;
        case u',':
            return Op::Comma;
        default:
            break;
    }
    if (!IsLetter(c)) return Op::None;
    qsizetype j = i + 1;
    while (j < n && IsNameChar(m_text[j])) ++j;
    if (j - i != 2 && j - i != 3) return Op::None;
    const QStringView word = QStringView(m_text).mid(i, j - i);
    static const struct {
        const char16_t* text;
        Op op;
    } kWords[] = {{u"div", Op::Div}, {u"mod", Op::Mod}, {u"and", Op::And}, {u"shl", Op::Shl},
                  {u"shr", Op::Shr}, {u"or", Op::Or},   {u"xor", Op::Xor}};
    for (const auto& w : kWords) {
        if (word.compare(QStringView(w.text), Qt::CaseInsensitive) == 0) {
            *tokenEnd = j;
            return w.op;
        }
    }
    return Op::None;
}

TQuillValue TQuillCalc::ParseLevel(int level, End* end) {
    // Every nested group or argument list parses level 0 anew; counting those parses bounds
    // the recursion even for a handler that reads arguments without their parenthesis, or
    // evaluates texts from within an evaluation.
    struct Frame {
        int* frames;
        ~Frame() {
            if (frames) --*frames;
        }
    } frame{level == 0 ? &m_frames : nullptr};
    if (level == 0 && ++m_frames > kMaxDepth + 1) Raise(kNestedTooDeeply);

    TQuillValue acc;
    Op pending = Op::None;
    for (;;) {
        TQuillValue operand = level < 2 ? ParseLevel(level + 1, end) : ReadOperand();
        acc = pending == Op::None ? std::move(operand) : Apply(pending, acc, operand);
        if (AtEnd()) return acc;
        qsizetype tokenEnd;
        const Op op = PeekOperator(&tokenEnd);
        if (op == Op::None || op == Op::LParen) Raise(kOperatorExpected);
        if (op == Op::RParen || op == Op::Comma) {
            if (level == 0) {
                Consume(tokenEnd);
                if (op == Op::RParen && --m_depth < 0) Raise(kOperatorExpected);
                *end = op == Op::RParen ? End::RParen : End::Comma;
            }
            return acc;
        }
        CheckApplicable(op, acc);
        const int opLevel = op <= Op::Ge ? 0 : op <= Op::Xor ? 1 : 2;
        if (opLevel < level) return acc;
        Consume(tokenEnd);
        if (AtEnd()) Raise(kOperandExpected);
        pending = op;
    }
}

// Level 2's operand: a group, a negated number or the value of one token.
TQuillValue TQuillCalc::ReadOperand() {
    qsizetype tokenEnd;
    const Op op = PeekOperator(&tokenEnd);
    if (op == Op::LParen) {
        Consume(tokenEnd);
        OpenParenthesis();
        End end = End::Text;
        TQuillValue v = ParseLevel(0, &end);
        if (end == End::Comma) Raise(kParenthesisExpected);
        return v;
    }
    if (op == Op::Minus) {
        Consume(tokenEnd);
        if (AtEnd()) Raise(kNegativeExpected);
        if (PeekOperator(&tokenEnd) != Op::None) {
            Consume(tokenEnd);
            Raise(kNegativeExpected);
        }
        const TQuillValue v = ReadValue();
        if (!IsNumber(QuillKind(v))) Raise(kNegativeExpected);
        return Apply(Op::Minus, qint32(0), v);
    }
    if (op != Op::None) {
        Consume(tokenEnd);
        Raise(kOperandExpected);
    }
    TQuillValue v = ReadValue();
    if (v.index() == 0) Raise(kOperandExpected);
    return v;
}

// A string, number or name at the position; empty when none stands there.
TQuillValue TQuillCalc::ReadValue() {
    if (AtEnd()) return {};
    const QChar c = m_text[m_pos];
    if (c == u'"') return ReadString();
    if (IsDigit(c)) return ReadNumber();
    if (!IsLetter(c)) return {};
    const qsizetype start = m_pos;
    while (m_pos < m_text.size() && IsNameChar(m_text[m_pos])) ++m_pos;
    const qsizetype length = m_pos - start;
    SkipBlanks();
    return Resolve(start, length);
}

TQuillValue TQuillCalc::ReadString() {
    const qsizetype close = m_text.indexOf(u'"', m_pos + 1);
    if (close < 0) {
        m_pos = m_text.size();
        Raise(kUnterminatedString);
    }
    QString value = m_text.mid(m_pos + 1, close - m_pos - 1);
    Consume(close + 1);
    return value;
}

TQuillValue TQuillCalc::ReadNumber() {
    const qsizetype start = m_pos;
    bool dot = false;
    while (m_pos < m_text.size()) {
        const QChar c = m_text[m_pos];
        if (c == u'.') {
            if (dot) Raise(kInvalidFloat);
            dot = true;
        } else if (!IsDigit(c)) {
            break;
        }
        ++m_pos;
    }
    const QStringView text = QStringView(m_text).mid(start, m_pos - start);
    SkipBlanks();
    if (!dot) {
        qint64 v = 0;
        for (const QChar c : text) {
            v = v * 10 + (c.unicode() - u'0');
            if (v > std::numeric_limits<qint32>::max()) Raise(kInvalidInteger);
        }
        return qint32(v);
    }
    std::string ascii(size_t(text.size()), '0');
    for (qsizetype i = 0; i < text.size(); ++i) ascii[size_t(i)] = char(text[i].unicode());
    double v = 0;
    const auto result = std::from_chars(ascii.data(), ascii.data() + ascii.size(), v);
    if (result.ec != std::errc() || result.ptr != ascii.data() + ascii.size() || !std::isfinite(v))
        Raise(kInvalidFloat);
    return v;
}

void TQuillCalc::ForgetNames() {
    m_known.clear();
    m_knownSlots.clear();
}

const TQuillCalc::TKnownName& TQuillCalc::KnownName(qsizetype start, qsizetype length) {
    // Names are ASCII letters, digits, "_" and "."; they are known in lower case.
    const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
    const QChar* text = m_text.constData() + start;
    std::uint64_t h = 14695981039346656037ULL;
    for (qsizetype i = 0; i < length; ++i) {
        h ^= lower(text[i].unicode());
        h *= 1099511628211ULL;
    }
    const size_t hash = size_t(h);
    const auto same = [&](const TKnownName& known) {
        if (known.Hash != hash || known.Name.size() != length) return false;
        for (qsizetype i = 0; i < length; ++i)
            if (known.Name[i].unicode() != lower(text[i].unicode())) return false;
        return true;
    };
    if (!m_knownSlots.empty()) {
        const size_t mask = m_knownSlots.size() - 1;
        for (size_t slot = hash & mask; m_knownSlots[slot] != 0; slot = (slot + 1) & mask)
            if (same(m_known[size_t(m_knownSlots[slot] - 1)])) return m_known[size_t(m_knownSlots[slot] - 1)];
    }

    TKnownName known;
    known.Hash = hash;
    known.Name = QString(length, Qt::Uninitialized);
    for (qsizetype i = 0; i < length; ++i) known.Name[i] = QChar(lower(text[i].unicode()));
    const auto& builtins = QuillBuiltins::Table();
    if (known.Name == m_booleanLabels[0]) {
        known.Kind = NameKind::False;
    } else if (known.Name == m_booleanLabels[1]) {
        known.Kind = NameKind::True;
    } else if (const auto it = builtins.constFind(known.Name); it != builtins.constEnd()) {
        known.Kind = NameKind::Builtin;
        known.Builtin = *it;
    } else {
        known.Kind = m_customSet.contains(known.Name) ? NameKind::Custom : NameKind::Variable;
    }
    // A text that names ever new things (an editor's input) does not make the table grow
    // without end.
    constexpr size_t kMostNames = 4096;
    if (m_known.size() >= kMostNames) ForgetNames();
    m_known.push_back(std::move(known));
    if (m_knownSlots.size() < 2 * m_known.size()) {
        // A power of two, so that the mask reaches every slot.
        size_t slots = 64;
        while (slots < 4 * m_known.size()) slots *= 2;
        m_knownSlots.assign(slots, 0);
        for (size_t i = 0; i < m_known.size(); ++i) {
            const size_t mask = m_knownSlots.size() - 1;
            size_t slot = m_known[i].Hash & mask;
            while (m_knownSlots[slot] != 0) slot = (slot + 1) & mask;
            m_knownSlots[slot] = int(i + 1);
        }
    } else {
        const size_t mask = m_knownSlots.size() - 1;
        size_t slot = hash & mask;
        while (m_knownSlots[slot] != 0) slot = (slot + 1) & mask;
        m_knownSlots[slot] = int(m_known.size());
    }
    return m_known.back();
}

TQuillValue TQuillCalc::Resolve(qsizetype start, qsizetype length) {
    // Taken out of the table first: a function reads its arguments, whose names may add to it.
    const TKnownName& known = KnownName(start, length);
    const NameKind kind = known.Kind;
    const auto builtin = known.Builtin;
    const QString name = known.Name;
    switch (kind) {
        case NameKind::False:
            return false;
        case NameKind::True:
            return true;
        case NameKind::Builtin:
            return builtin(*this);
        case NameKind::Custom: {
            TQuillValue result;
            if (OnFunction) OnFunction(*this, name, result);
            if (result.index() == 0) Raise(kCustomNotImplemented.arg(name));
            return result;
        }
        case NameKind::Variable:
            break;
    }
    TQuillValue result;
    if (OnVariable) OnVariable(*this, name, result);
    if (result.index() == 0) Raise(kUnknownName.arg(name));
    return result;
}

void TQuillCalc::CheckApplicable(Op op, const TQuillValue& left) const {
    if (op == Op::Percent) Raise(kNotApplicable);
    switch (QuillKind(left)) {
        case TQuillKind::String:
            if (op != Op::Plus && op > Op::Ge) Raise(kNotApplicable);
            break;
        case TQuillKind::Boolean:
            if (op != Op::And && op != Op::Or && op != Op::Xor && op > Op::Ge) Raise(kNotApplicable);
            break;
        default:
            break;
    }
}

TQuillValue TQuillCalc::Apply(Op op, const TQuillValue& left, const TQuillValue& right) const {
    const TQuillKind lk = QuillKind(left), rk = QuillKind(right);
    auto compare = [op](const auto& a, const auto& b) -> TQuillValue {
        switch (op) {
            case Op::Eq:
                return a == b;
            case Op::Ne:
                return a != b;
            case Op::Lt:
                return a < b;
            case Op::Gt:
                return a > b;
            case Op::Le:
                return a <= b;
            default:
                return a >= b;
        }
    };
    const bool comparison = op <= Op::Ge;
    if (lk == TQuillKind::String && rk == TQuillKind::String) {
        const QString& a = std::get<QString>(left);
        const QString& b = std::get<QString>(right);
        if (comparison) return compare(QStringView(a).compare(b), 0);
        if (op == Op::Plus) return a + b;
        Raise(kNotApplicable);
    }
    if (lk == TQuillKind::Boolean && rk == TQuillKind::Boolean) {
        const bool a = std::get<bool>(left), b = std::get<bool>(right);
        if (comparison) return compare(int(a), int(b));
        if (op == Op::And) return a && b;
        if (op == Op::Or) return a || b;
        if (op == Op::Xor) return a != b;
        Raise(kNotApplicable);
    }
    if (!IsNumber(lk) || !IsNumber(rk)) Raise(kIncompatible);

    const bool integers = lk == TQuillKind::Integer && rk == TQuillKind::Integer;
    if (comparison) {
        if (integers) return compare(std::get<qint32>(left), std::get<qint32>(right));
        return compare(AsDouble(left), AsDouble(right));
    }
    auto finite = [this](double v) -> TQuillValue {
        if (!std::isfinite(v)) Raise(kInvalidOperation);
        return v;
    };
    switch (op) {
        case Op::Plus:
        case Op::Minus:
        case Op::Mul:
            if (integers) {
                const qint64 a = std::get<qint32>(left), b = std::get<qint32>(right);
                return IntegerOrFloat(op == Op::Plus ? a + b : op == Op::Minus ? a - b : a * b);
            } else {
                const double a = AsDouble(left), b = AsDouble(right);
                return finite(op == Op::Plus ? a + b : op == Op::Minus ? a - b : a * b);
            }
        case Op::Slash: {
            const double b = AsDouble(right);
            if (b == 0) Raise(kDivisionByZero);
            return finite(AsDouble(left) / b);
        }
        default:
            break;
    }
    // The integer operators take a Float rounded half to even.
    auto integer = [this](const TQuillValue& v) -> qint64 {
        if (v.index() == size_t(TQuillKind::Integer)) return std::get<qint32>(v);
        const double r = std::nearbyint(std::get<double>(v));
        if (!FitsInteger(r)) Raise(kInvalidOperation);
        return qint64(r);
    };
    const qint64 a = integer(left), b = integer(right);
    switch (op) {
        case Op::Div:
            if (b == 0) Raise(kDivisionByZero);
            return IntegerOrFloat(a / b);
        case Op::Mod:
            if (b == 0) Raise(kDivisionByZero);
            return qint32(a % b);
        case Op::And:
            return qint32(a & b);
        case Op::Or:
            return qint32(a | b);
        case Op::Xor:
            return qint32(a ^ b);
        case Op::Shl:
            return qint32(quint32(a) << (b & 31));
        case Op::Shr:
            return qint32(quint32(a) >> (b & 31));
        default:
            Raise(kNotApplicable);
    }
}
