#include "core/SelLanguage.h"

#include <QVarLengthArray>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

// The text is scanned once into tokens when the expression is made; each term is parsed the
// first time the evaluation reaches it and kept. A term's syntax faults are kept with it and
// raised every time it is reached again, so the results and errors are exactly those of
// reading the text afresh for every record, only without the cost.

namespace {

enum class TokKind : quint8 { Word, Number, Text, LParen, RParen, Comma, Operator, Junk, Unterminated, End };
enum class Keyword : quint8 { None, And, Or, Not, Str, Num, Pos, Color };
enum class Op : quint8 { Invalid, Eq, Ne, Gt, Lt, Ge, Le, Contains, StartsWith, EndsWith };

struct Token {
    TokKind kind = TokKind::End;
    Keyword keyword = Keyword::None;
    int pos = 1;  // 1-based position of the token's first character
    QString text;  // words and numbers upper-cased, texts as written without their quotes
};

struct Rgb {
    qint64 r = 0, g = 0, b = 0;
};

// ---- Messages ----

Exception Expected(const char* what, int pos) {
    return Exception(QStringLiteral("\"%1\" expected in Sel-property (position %2)").arg(QLatin1String(what)).arg(pos));
}
Exception UnknownCommand(const QString& token) {
    return Exception(QStringLiteral("Unknown command in Sel-Property (\"%1\")").arg(token));
}
Exception InvalidOperator(const QString& token) {
    return Exception(QStringLiteral("Invalid operator in Sel-property (\"%1\")").arg(token));
}
Exception FieldMissing(const QString& field) {
    return Exception(QStringLiteral("Field does not exist in Sel-property (field \"%1\")").arg(field));
}
QString NotInteger(const QString& text) { return QStringLiteral("'%1' is not a valid integer value").arg(text); }
QString NotFloat(const QString& text) { return QStringLiteral("'%1' is not a valid floating point value").arg(text); }

// ---- Scanning ----

inline char16_t UpAscii(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; }
inline bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
inline bool IsOperatorChar(char16_t c) { return c == u'*' || c == u'<' || c == u'=' || c == u'>' || c == u'|'; }

Keyword KeywordOf(const QString& word) {
    static const struct {
        const char* text;
        Keyword keyword;
    } table[] = {
        {"AND", Keyword::And}, {"OR", Keyword::Or},   {"NOT", Keyword::Not},     {"STR", Keyword::Str},
        {"NUM", Keyword::Num}, {"POS", Keyword::Pos}, {"COLOR", Keyword::Color},
    };
    for (const auto& entry : table)
        if (word == QLatin1String(entry.text)) return entry.keyword;
    return Keyword::None;
}

// Positions index the text as written: only a..z are upper-cased, so no character changes
// its length.
std::vector<Token> Scan(const QString& text) {
    std::vector<Token> tokens;
    const char16_t* s = reinterpret_cast<const char16_t*>(text.constData());
    const int n = int(text.size());
    int p = 0;
    for (;;) {
        while (p < n && (s[p] == u' ' || s[p] == u'\r' || s[p] == u'\n')) ++p;
        Token t;
        t.pos = p + 1;
        if (p >= n) {
            t.kind = TokKind::End;
            tokens.push_back(std::move(t));
            break;
        }
        const char16_t c = UpAscii(s[p]);
        const int start = p;
        if (c >= u'A' && c <= u'Z') {
            while (p < n) {
                const char16_t d = UpAscii(s[p]);
                if (!((d >= u'A' && d <= u'Z') || IsDigit(d) || d == u'_')) break;
                ++p;
            }
            t.kind = TokKind::Word;
            t.text.resize(p - start);
            for (int k = start; k < p; ++k) t.text[k - start] = QChar(UpAscii(s[k]));
            t.keyword = KeywordOf(t.text);
        } else if (IsDigit(c) || c == u'-') {
            ++p;
            while (p < n && (IsDigit(s[p]) || s[p] == u'.')) ++p;
            t.kind = TokKind::Number;
            t.text = text.mid(start, p - start);
        } else if (c == u'"') {
            // Two double quotes inside a text stand for one.
            ++p;
            bool closed = false;
            while (p < n) {
                if (s[p] == u'"') {
                    if (p + 1 < n && s[p + 1] == u'"') {
                        t.text += QChar(u'"');
                        p += 2;
                        continue;
                    }
                    ++p;
                    closed = true;
                    break;
                }
                t.text += QChar(s[p]);
                ++p;
            }
            t.kind = closed ? TokKind::Text : TokKind::Unterminated;
            if (!closed) t.text.clear();
        } else if (c == u'(' || c == u')' || c == u',') {
            ++p;
            t.kind = c == u'(' ? TokKind::LParen : c == u')' ? TokKind::RParen : TokKind::Comma;
            t.text = QString(QChar(c));
        } else if (IsOperatorChar(c)) {
            while (p < n && IsOperatorChar(s[p])) ++p;
            t.kind = TokKind::Operator;
            t.text = text.mid(start, p - start);
        } else {
            // Anything else reads as the empty token. Kept as one character so that a skip
            // can pass over it; a read never moves past it.
            ++p;
            t.kind = TokKind::Junk;
        }
        tokens.push_back(std::move(t));
    }
    return tokens;
}

// Reads the token at i and moves past it. An unterminated text raises; the empty token
// (the end, or a character that starts no token) does not move.
const Token& Read(const std::vector<Token>& tokens, int& i) {
    const Token& t = tokens[size_t(i)];
    if (t.kind == TokKind::Unterminated) throw Exception(QStringLiteral("Unterminated string in Sel-property"));
    if (t.kind != TokKind::Junk && t.kind != TokKind::End) ++i;
    return t;
}

inline bool IsWord(const Token& t, Keyword k) { return t.kind == TokKind::Word && t.keyword == k; }

// ---- Numbers ----

// A whole number of the platform's integer range: optional sign and digits only.
bool ParseInt32(QStringView s, qint64& out) {
    qsizetype k = 0;
    bool negative = false;
    if (k < s.size() && (s[k] == u'-' || s[k] == u'+')) negative = s[k++] == u'-';
    if (k >= s.size()) return false;
    qint64 v = 0;
    for (; k < s.size(); ++k) {
        if (!IsDigit(s[k].unicode())) return false;
        v = v * 10 + (s[k].unicode() - u'0');
        if (v > qint64(std::numeric_limits<qint32>::max()) + 1) return false;
    }
    if (negative) v = -v;
    if (v > std::numeric_limits<qint32>::max()) return false;
    out = v;
    return true;
}

// A whole number of any length; beyond any text length or colour distance it saturates.
bool ParseWhole(QStringView s, qint64& out) {
    constexpr qint64 kLimit = qint64(1) << 50;
    qsizetype k = 0;
    bool negative = false;
    if (k < s.size() && (s[k] == u'-' || s[k] == u'+')) negative = s[k++] == u'-';
    if (k >= s.size()) return false;
    qint64 v = 0;
    for (; k < s.size(); ++k) {
        if (!IsDigit(s[k].unicode())) return false;
        if (v < kLimit) v = v * 10 + (s[k].unicode() - u'0');
    }
    out = negative ? -v : v;
    return true;
}

// A decimal number with "." whatever the locale, optionally with an exponent.
bool ParseFloat(QStringView s, double& out) {
    std::string ascii;
    ascii.reserve(size_t(s.size()));
    qsizetype k = 0;
    if (k < s.size() && (s[k] == u'-' || s[k] == u'+')) {
        if (s[k] == u'-') ascii += '-';
        ++k;
    }
    int mantissaDigits = 0;
    bool point = false;
    for (; k < s.size(); ++k) {
        const char16_t c = s[k].unicode();
        if (IsDigit(c)) {
            ++mantissaDigits;
        } else if (c == u'.' && !point) {
            point = true;
        } else {
            break;
        }
        ascii += char(c);
    }
    if (mantissaDigits == 0) return false;
    if (k < s.size() && (s[k] == u'e' || s[k] == u'E')) {
        ascii += 'e';
        ++k;
        if (k < s.size() && (s[k] == u'-' || s[k] == u'+')) ascii += char(s[k++].unicode());
        int exponentDigits = 0;
        for (; k < s.size() && IsDigit(s[k].unicode()); ++k, ++exponentDigits) ascii += char(s[k].unicode());
        if (exponentDigits == 0) return false;
    }
    if (k != s.size()) return false;
    double v = 0;
    const auto [end, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), v);
    if (ec != std::errc() || end != ascii.data() + ascii.size() || !std::isfinite(v)) return false;
    out = v;
    return true;
}

Op OperatorOf(const Token& t, bool textOperators) {
    if (t.kind != TokKind::Operator) return Op::Invalid;
    const QString& s = t.text;
    Op op = Op::Invalid;
    if (s == u"=")
        op = Op::Eq;
    else if (s == u"<>")
        op = Op::Ne;
    else if (s == u">")
        op = Op::Gt;
    else if (s == u"<")
        op = Op::Lt;
    else if (s == u">=")
        op = Op::Ge;
    else if (s == u"<=")
        op = Op::Le;
    else if (s == u"*")
        op = Op::Contains;
    else if (s == u"*|")
        op = Op::StartsWith;
    else if (s == u"|*")
        op = Op::EndsWith;
    if (!textOperators && (op == Op::Contains || op == Op::StartsWith || op == Op::EndsWith)) return Op::Invalid;
    return op;
}

// The comparison operators on an ordered pair (a is the field's value).
template <typename T>
bool Compare(Op op, const T& a, const T& b) {
    switch (op) {
        case Op::Eq:
            return a == b;
        case Op::Ne:
            return a != b;
        case Op::Gt:
            return a > b;
        case Op::Lt:
            return a < b;
        case Op::Ge:
            return a >= b;
        case Op::Le:
            return a <= b;
        default:
            return false;
    }
}

// ---- Colours ----

Rgb ToRgb(qint64 colour) {
    const quint32 u = quint32(colour);
    return Rgb{qint64(u & 0xFF), qint64((u >> 8) & 0xFF), qint64((u >> 16) & 0xFF)};
}

// Cuts a colour list at "|"; an empty text is no colours. A piece that is not an integer
// gives its conversion message.
template <typename List>
bool ParseColours(QStringView text, List& out, QString& error) {
    if (text.isEmpty()) return true;
    qsizetype start = 0;
    for (;;) {
        qsizetype bar = text.indexOf(u'|', start);
        const QStringView piece = text.mid(start, (bar < 0 ? text.size() : bar) - start);
        qint64 v = 0;
        if (!ParseInt32(piece, v)) {
            error = NotInteger(piece.toString());
            return false;
        }
        out.push_back(ToRgb(v));
        if (bar < 0) return true;
        start = bar + 1;
    }
}

inline bool Near(const Rgb& c, const Rgb& w, qint64 tolerance) {
    return std::llabs(c.r - w.r) < tolerance && std::llabs(c.g - w.g) < tolerance && std::llabs(c.b - w.b) < tolerance;
}

// Whether the wanted colour matches field colour i: near it, or near a point of the
// segment to the next field colour.
bool PairMatches(const Rgb* colours, int count, int i, const Rgb& w, qint64 tolerance) {
    const Rgb& c = colours[i];
    if (Near(c, w, tolerance)) return true;
    if (i + 1 >= count) return false;
    const Rgb& d = colours[i + 1];
    const qint64 from[3] = {c.r, c.g, c.b}, to[3] = {d.r, d.g, d.b}, want[3] = {w.r, w.g, w.b};
    double t = -1;
    for (int k = 0; k < 3; ++k) {
        if (to[k] == from[k]) continue;
        const double tk = double(want[k] - from[k]) / double(to[k] - from[k]);
        if (tk > 0) {
            t = tk;
            break;
        }
    }
    const double slack = double(tolerance) / 255.0;
    if (!(t >= -slack && t <= 1 + slack)) return false;
    qint64 p[3];
    for (int k = 0; k < 3; ++k) p[k] = from[k] + qint64(std::nearbyint(t * double(to[k] - from[k])));
    return Near(Rgb{p[0], p[1], p[2]}, w, tolerance);
}

// ---- Terms ----

struct Term {
    Keyword kind = Keyword::None;
    int end = 0;  // token index after the term's ")"
    // A fault met before the field was read raises first; a fault after it raises once the
    // field is known to exist.
    bool hasErrorBefore = false, hasErrorAfter = false;
    QString errorBefore, errorAfter;
    QString field;
    Op op = Op::Invalid;
    QString value;  // STR value; NUM and POS number text; COLOR colour list
    bool intOk = false;
    qint64 intValue = 0;
    bool floatOk = false;
    double floatValue = 0;
    qint64 index = 0;  // POS
    qint64 tolerance = 0;  // COLOR
    bool modeAnd = false;  // COLOR
    bool wantedOk = true;
    QString wantedError;
    std::vector<Rgb> wanted;
    // The field looked up for one record layout.
    quintptr layout = 0;
    int fieldIndex = -1;
    TFieldType fieldType = TFieldType::ftUnknown;
};

QString FieldText(const TSelRecord& record, int index, TFieldType type) {
    const QVariant v = record.FieldValue(index);
    if (type == TFieldType::ftString) return v.toString();
    return FieldValueText(v, type);
}

using TextBuffer = QVarLengthArray<char16_t, 256>;

QStringView Widen(QStringView text, TextBuffer&) { return text; }
QStringView Widen(QLatin1String text, TextBuffer& buffer) {
    buffer.resize(text.size());
    for (qsizetype k = 0; k < text.size(); ++k) buffer[k] = char16_t(uchar(text.data()[k]));
    return QStringView(buffer.data(), text.size());
}

// Gives f the field's text as the QString of FieldText would show it: a null view for an
// empty field, the characters otherwise. A text field of a record that keeps its stored
// values is read in place.
template <typename F>
bool WithFieldText(const TSelRecord& record, int index, TFieldType type, F&& f) {
    if (type == TFieldType::ftString)
        if (const TRecordValues* values = record.StoredValues()) {
            if (values->IsNull(index)) return f(QStringView());
            TextBuffer buffer;
            return values->VisitText(index, [&](auto text) { return f(Widen(text, buffer)); });
        }
    const QString text = FieldText(record, index, type);
    return f(QStringView(text));
}

// A number field's value as FieldValue gives it: an empty field is 0.
qint64 FieldInteger(const TSelRecord& record, int index) {
    if (const TRecordValues* values = record.StoredValues())
        return values->IsNull(index) ? 0 : qint64(int(values->Number(index)));
    const QVariant v = record.FieldValue(index);
    return v.isNull() ? qint64(0) : v.toLongLong();
}
double FieldFloat(const TSelRecord& record, int index) {
    if (const TRecordValues* values = record.StoredValues()) return values->IsNull(index) ? 0.0 : values->Float(index);
    const QVariant v = record.FieldValue(index);
    return v.isNull() ? 0.0 : v.toDouble();
}
bool FieldBoolean(const TSelRecord& record, int index) {
    if (const TRecordValues* values = record.StoredValues())
        return !values->IsNull(index) && values->Number(index) != 0;
    const QVariant v = record.FieldValue(index);
    return !v.isNull() && v.toBool();
}

struct Frame {
    bool result = false;
    bool started = false;
    bool pendingOr = false;
    bool negate = false;  // NOT stood before the group
};

}  // namespace

struct TSelExpression::Impl {
    QString text;
    std::vector<Token> tokens;
    mutable std::vector<std::unique_ptr<Term>> terms;  // by the token index of the command
    mutable std::vector<int> skipEnds;  // by token index, -1 until known

    Term& TermAt(int command) const {
        auto& slot = terms[size_t(command)];
        if (!slot) slot = Compile(command);
        return *slot;
    }

    std::unique_ptr<Term> Compile(int command) const {
        auto t = std::make_unique<Term>();
        t->kind = tokens[size_t(command)].keyword;
        int i = command + 1;
        bool fieldRead = false;
        auto expectComma = [&] {
            const Token& c = Read(tokens, i);
            if (c.kind != TokKind::Comma) throw Expected(",", c.pos);
        };
        auto readOperator = [&](bool textOperators) {
            const Token& o = Read(tokens, i);
            t->op = OperatorOf(o, textOperators);
            if (t->op == Op::Invalid) throw InvalidOperator(o.text);
        };
        auto readNumber = [&] {
            t->value = Read(tokens, i).text;
            t->intOk = ParseInt32(t->value, t->intValue);
            t->floatOk = ParseFloat(t->value, t->floatValue);
        };
        try {
            const Token& open = Read(tokens, i);
            if (open.kind != TokKind::LParen) throw Expected("(", open.pos);
            t->field = Read(tokens, i).text;
            fieldRead = true;
            switch (t->kind) {
                case Keyword::Str:
                    readOperator(true);
                    t->value = Read(tokens, i).text;
                    break;
                case Keyword::Num:
                    readOperator(false);
                    readNumber();
                    break;
                case Keyword::Pos: {
                    expectComma();
                    const Token& index = Read(tokens, i);
                    if (!ParseWhole(index.text, t->index))
                        throw Exception(
                            QStringLiteral("Invalid position in POS-statement (position %1)").arg(index.pos));
                    readOperator(false);
                    readNumber();
                    break;
                }
                case Keyword::Color: {
                    expectComma();
                    const Token& tolerance = Read(tokens, i);
                    if (!ParseWhole(tolerance.text, t->tolerance))
                        throw Exception(
                            QStringLiteral("Invalid tolerance in COLOR-statement (position %1)").arg(tolerance.pos));
                    expectComma();
                    const Token& mode = Read(tokens, i);
                    if (!IsWord(mode, Keyword::And) && !IsWord(mode, Keyword::Or))
                        throw Exception(
                            QStringLiteral("Invalid operator in COLOR-statement (position %1)").arg(mode.pos));
                    t->modeAnd = mode.keyword == Keyword::And;
                    expectComma();
                    t->value = Read(tokens, i).text;
                    t->wantedOk = ParseColours(t->value, t->wanted, t->wantedError);
                    break;
                }
                default:
                    break;
            }
            const Token& close = Read(tokens, i);
            if (close.kind != TokKind::RParen) throw Expected(")", close.pos);
            t->end = i;
        } catch (const Exception& e) {
            if (fieldRead) {
                t->hasErrorAfter = true;
                t->errorAfter = e.Message();
            } else {
                t->hasErrorBefore = true;
                t->errorBefore = e.Message();
            }
        }
        return t;
    }

    // Evaluates the command term whose keyword is at token index command; i moves past it.
    bool EvalTerm(int command, int& i, const TSelRecord& record) const {
        Term& t = TermAt(command);
        if (t.hasErrorBefore) throw Exception(t.errorBefore);
        int field;
        TFieldType type;
        const quintptr layout = record.LayoutId();
        if (layout != 0 && t.layout == layout) {
            field = t.fieldIndex;
            type = t.fieldType;
        } else {
            field = record.FieldIndex(t.field);
            type = field >= 0 ? record.FieldType(field) : TFieldType::ftUnknown;
            if (layout != 0) {
                t.layout = layout;
                t.fieldIndex = field;
                t.fieldType = type;
            }
        }
        if (field < 0) throw FieldMissing(t.field);
        if (t.hasErrorAfter) throw Exception(t.errorAfter);
        i = t.end;

        switch (t.kind) {
            case Keyword::Str:
                return WithFieldText(record, field, type, [&t](QStringView text) {
                    const QStringView value(t.value);
                    switch (t.op) {
                        case Op::Contains:
                            return text.contains(value);
                        case Op::StartsWith:
                            return text.startsWith(value);
                        case Op::EndsWith:
                            return text.endsWith(value);
                        case Op::Eq:
                            return text == value;
                        case Op::Ne:
                            return text != value;
                        default:
                            return Compare(t.op, text.compare(value), 0);
                    }
                });
            case Keyword::Num: {
                switch (type) {
                    case TFieldType::ftInteger:
                        if (!t.intOk) throw Exception(NotInteger(t.value));
                        return Compare(t.op, FieldInteger(record, field), t.intValue);
                    case TFieldType::ftFloat:
                        if (!t.floatOk) throw Exception(NotFloat(t.value));
                        return Compare(t.op, FieldFloat(record, field), t.floatValue);
                    case TFieldType::ftBoolean:
                        if (!t.intOk) throw Exception(NotInteger(t.value));
                        return Compare(t.op, qint64(FieldBoolean(record, field) ? 1 : 0), t.intValue);
                    default:
                        throw Exception(QStringLiteral("No numeric format"));
                }
            }
            case Keyword::Pos: {
                if (!t.intOk) throw Exception(NotInteger(t.value));
                return WithFieldText(record, field, type, [&t](QStringView text) {
                    if (t.index < 1 || t.index > text.size()) return false;
                    const qint64 digit = qint64(text[qsizetype(t.index - 1)].unicode()) - u'0';
                    return Compare(t.op, digit, t.intValue);
                });
            }
            case Keyword::Color: {
                if (!t.wantedOk) throw Exception(t.wantedError);
                QVarLengthArray<Rgb, 16> colours;
                QString error;
                const bool parsed = WithFieldText(record, field, type,
                                                  [&](QStringView text) { return ParseColours(text, colours, error); });
                if (!parsed) throw Exception(error);
                if (colours.isEmpty()) return false;
                const int count = int(colours.size());
                for (const Rgb& w : t.wanted) {
                    for (int c = 0; c < count; ++c) {
                        const bool match = PairMatches(colours.constData(), count, c, w, t.tolerance);
                        if (!t.modeAnd && match) return true;
                        if (t.modeAnd && !match) return false;
                    }
                }
                return t.modeAnd;
            }
            default:
                return false;
        }
    }

    // From token index i (just after an AND), the index after the closing parenthesis of the
    // current group, counting nested ones; the end when there is none. Nothing raises here:
    // a skipped part is not read.
    int SkipEnd(int i) const {
        int& cached = skipEnds[size_t(i)];
        if (cached >= 0) return cached;
        int depth = 0;
        int j = i;
        for (;; ++j) {
            const TokKind kind = tokens[size_t(j)].kind;
            if (kind == TokKind::End) break;
            if (kind == TokKind::LParen) {
                ++depth;
            } else if (kind == TokKind::RParen) {
                if (depth == 0) {
                    ++j;
                    break;
                }
                --depth;
            }
        }
        cached = j;
        return j;
    }

    bool Evaluate(const TSelRecord& record) const {
        QVarLengthArray<Frame, 16> groups;
        groups.push_back(Frame{});
        int i = 0;
        for (;;) {
            // A term: optionally NOT, then a group or a command.
            bool negate = false;
            const Token* t = &Read(tokens, i);
            if (IsWord(*t, Keyword::Not)) {
                negate = true;
                t = &Read(tokens, i);
            }
            if (t->kind == TokKind::LParen) {
                Frame group;
                group.negate = negate;
                groups.push_back(group);
                continue;
            }
            if (t->kind != TokKind::Word ||
                (t->keyword != Keyword::Str && t->keyword != Keyword::Num && t->keyword != Keyword::Pos &&
                 t->keyword != Keyword::Color))
                throw UnknownCommand(t->text);
            bool value = EvalTerm(i - 1, i, record);
            if (negate) value = !value;

            // Fold the value into its expression, then read what follows; a finished group
            // is itself a value for the expression around it.
            for (;;) {
                Frame& f = groups.back();
                f.result = !f.started ? value : f.pendingOr ? (f.result || value) : (f.result && value);
                f.started = true;
                const Token& next = Read(tokens, i);
                if (IsWord(next, Keyword::And)) {
                    if (f.result) {
                        f.pendingOr = false;
                        break;
                    }
                    // False before AND: the rest of the group, or of the whole expression,
                    // is not looked at.
                    if (groups.size() == 1) return false;
                    i = SkipEnd(i);
                    value = false;
                } else if (IsWord(next, Keyword::Or)) {
                    f.pendingOr = true;
                    break;
                } else if (next.kind == TokKind::RParen || next.kind == TokKind::End) {
                    if (groups.size() == 1) return f.result;
                    value = f.result;
                } else {
                    throw UnknownCommand(next.text);
                }
                const bool negateGroup = f.negate;
                groups.pop_back();
                if (negateGroup) value = !value;
            }
        }
    }
};

TSelExpression::TSelExpression(const QStringList& lines) : d(std::make_unique<Impl>()) {
    for (const QString& line : lines) {
        d->text += line;
        d->text += QLatin1String("\r\n");
    }
    if (d->text.isEmpty()) return;
    d->tokens = Scan(d->text);
    d->terms.resize(d->tokens.size());
    d->skipEnds.assign(d->tokens.size(), -1);
}

TSelExpression::~TSelExpression() = default;

bool TSelExpression::IsEmpty() const { return d->text.isEmpty(); }

bool TSelExpression::Match(const TSelRecord& record) const {
    if (IsEmpty()) return true;
    return d->Evaluate(record);
}

QString SelQuote(const QString& value) {
    QString quoted = value;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}
