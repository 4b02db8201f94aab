#pragma once
// The expression calculator of the page-layout scripts. One expression text at a time is
// evaluated into a value of four kinds. Names are resolved while they are read: a function
// reads its own arguments from the text through GetParam, so the parser only ever sees
// finished operands. Names the calculator does not know go to OnFunction (for the names in
// CustomFunctions) or OnVariable.
#include <QChar>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <variant>
#include <vector>

#include "platform/Exception.h"

class QDateTime;

// A date and time in the form the calculator's date and time functions take: days since
// 30 December 1899 with the time of day as fraction.
double QuillDayCount(const QDateTime& when);

// The kinds of a value; the numbers are those GetParam is asked for. Any is only a request
// (a parameter of any kind), never the kind of a value.
enum class TQuillKind : int { Empty = 0, Boolean = 1, String = 2, Integer = 3, Float = 4, Any = 5 };

// The alternatives stand in the order of TQuillKind, so index() is the kind.
using TQuillValue = std::variant<std::monostate, bool, QString, qint32, double>;

inline TQuillKind QuillKind(const TQuillValue& value) { return TQuillKind(value.index()); }

// Position flags of GetParam; a middle argument has none.
enum TQuillParamFlag : int { qpMiddle = 0, qpFirst = 1, qpOnly = 2, qpLast = 8 };

// Every error of the calculator: the message and the 1-based character position where it
// was found.
class EExpressionError : public Exception {
public:
    EExpressionError(const QString& message, int position) : Exception(message), m_position(position) {}
    int Position() const noexcept { return m_position; }

private:
    int m_position;
};

class TQuillCalc;
using TQuillOnFunctionEvent =
    std::function<void(TQuillCalc& sender, const QString& aFunction, TQuillValue& funcResult)>;
using TQuillOnVariableEvent = std::function<void(TQuillCalc& sender, const QString& aVariable, TQuillValue& varResult)>;

class TQuillCalc : public QObject {
    Q_OBJECT

public:
    explicit TQuillCalc(QObject* owner = nullptr);
    ~TQuillCalc() override;

    // Line 0 is the word for false, line 1 the word for true, both lower case. A list of
    // any other length resets both to "false" and "true".
    const QStringList& BooleanLabels() const { return m_booleanLabels; }
    void SetBooleanLabels(const QStringList& labels);

    // Names served by OnFunction, lower case.
    const QStringList& CustomFunctions() const { return m_customFunctions; }
    void SetCustomFunctions(const QStringList& names);
    void RemoveCustomFunction(const QString& name);

    // The decimal separator of floattostr and format (default: the locale's).
    QChar DecimalSeparator() const { return m_decimalSeparator; }
    void SetDecimalSeparator(QChar separator) { m_decimalSeparator = separator; }

    TQuillOnFunctionEvent OnFunction;
    TQuillOnVariableEvent OnVariable;

    // The whole text must be one expression. Handlers may evaluate other texts on the same
    // calculator while one is being evaluated.
    TQuillValue Evaluate(const QString& expression);
    bool EvaluateBoolean(const QString& expression);
    double EvaluateFloat(const QString& expression);
    qint32 EvaluateInteger(const QString& expression);
    QString EvaluateString(const QString& expression);

    // Reads the next argument of the function being evaluated, of the given kind (a Float
    // parameter takes an Integer and converts it); flags is a TQuillParamFlag.
    TQuillValue GetParam(TQuillKind kind, int flags);

    // Raises an EExpressionError at the current position.
    [[noreturn]] void Raise(const QString& message) const;
    // The 1-based position of the next character to read.
    int Position() const;

private:
    enum class Op : quint8;
    enum class End : quint8;
    struct State;

    TQuillValue EvaluateAt(const QString& expression, int* endPosition);
    TQuillValue ParseLevel(int level, End* end);
    TQuillValue ReadOperand();
    TQuillValue ReadValue();
    TQuillValue ReadNumber();
    TQuillValue ReadString();
    TQuillValue Resolve(qsizetype start, qsizetype length);
    Op PeekOperator(qsizetype* tokenEnd) const;
    void Consume(qsizetype tokenEnd);
    void SkipBlanks();
    bool AtEnd() const { return m_pos >= m_text.size(); }
    void OpenParenthesis();
    void CheckApplicable(Op op, const TQuillValue& left) const;
    TQuillValue Apply(Op op, const TQuillValue& left, const TQuillValue& right) const;
    [[noreturn]] void RaiseTypeMismatch(const char* kind, int endPosition) const;

    // What a name stands for, found once per name: the word for false or true, a built-in
    // function, a name for OnFunction, or one for OnVariable. Forgotten whenever the words or
    // the custom names change.
    enum class NameKind : quint8 { False, True, Builtin, Custom, Variable };
    struct TKnownName {
        size_t Hash = 0;
        QString Name;  // lower case
        NameKind Kind = NameKind::Variable;
        TQuillValue (*Builtin)(TQuillCalc&) = nullptr;
    };
    const TKnownName& KnownName(qsizetype start, qsizetype length);
    void ForgetNames();
    std::vector<TKnownName> m_known;
    std::vector<int> m_knownSlots;  // open addressing: index into m_known + 1, 0 when free

    QStringList m_booleanLabels;
    QStringList m_customFunctions;
    QSet<QString> m_customSet;
    QChar m_decimalSeparator;

    QString m_text;
    qsizetype m_pos = 0;  // 0-based index of the next character to read
    int m_depth = 0;  // open "(" less ")" so far
    int m_frames = 0;  // expression parses in progress, over all nested evaluations
};
