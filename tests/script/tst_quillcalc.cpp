#include <QtTest>
#include "support/TestSupport.h"

#include "ScriptTestSupport.h"

#include "script/QuillCalc.h"

using scripttest::Describe;

namespace {

// A value as kind and exact content, so a table row pins both.

// "message @ position" of the EExpressionError the action raises.
QString ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EExpressionError& e) {
        return e.Message() + " @ " + QString::number(e.Position());
    }
    return testsupport::NoException;
}

QString Huge() { return QString(200, u'9') + ".0"; }

}  // namespace

class TestQuillCalc : public QObject {
    Q_OBJECT

    // A calculator with "." as decimal separator, as most rows are written with it.
    struct Calc : TQuillCalc {
        Calc() { SetDecimalSeparator(u'.'); }
    };

private Q_SLOTS:
    void evaluates_data() {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("expected");
        // Levels, associativity and unary minus
        QTest::newRow("precedence") << "1 + 2 * 3"
                                    << "Integer 7";
        QTest::newRow("group") << "(1 + 2) * 3"
                               << "Integer 9";
        QTest::newRow("left to right") << "10 - 4 - 3"
                                       << "Integer 3";
        QTest::newRow("comparison chain") << "1 < 2 = true"
                                          << "Boolean true";
        QTest::newRow("negative first") << "-3 * 2"
                                        << "Integer -6";
        QTest::newRow("negative second") << "2 * -3"
                                         << "Integer -6";
        QTest::newRow("minus negative") << "2 - -3"
                                        << "Integer 5";
        QTest::newRow("negative float") << "-1.5 + 1"
                                        << "Float -0.5";
        QTest::newRow("blanks") << "   7   +   1  "
                                << "Integer 8";
        QTest::newRow("nested groups") << "(((1)))"
                                       << "Integer 1";
        QTest::newRow("and binds like times") << "(1 < 2) and (3 < 4)"
                                              << "Boolean true";
        // Numbers
        QTest::newRow("slash gives float") << "3 / 2"
                                           << "Float 1.5";
        QTest::newRow("slash exact") << "4 / 2"
                                     << "Float 2";
        QTest::newRow("div") << "7 div 2"
                             << "Integer 3";
        QTest::newRow("div toward zero") << "-7 div 2"
                                         << "Integer -3";
        QTest::newRow("mod sign of dividend") << "-7 mod 2"
                                              << "Integer -1";
        QTest::newRow("mod negative divisor") << "7 mod -2"
                                              << "Integer 1";
        QTest::newRow("mixed plus") << "1.5 + 1"
                                    << "Float 2.5";
        QTest::newRow("leading zeros") << "007"
                                       << "Integer 7";
        QTest::newRow("trailing dot") << "2."
                                      << "Float 2";
        QTest::newRow("overflow plus") << "2147483647 + 1"
                                       << "Float 2147483648";
        QTest::newRow("overflow minus") << "-2147483647 - 2"
                                        << "Float -2147483649";
        QTest::newRow("overflow times") << "65536 * 65536"
                                        << "Float 4294967296";
        QTest::newRow("smallest integer") << "-2147483647 - 1"
                                          << "Integer -2147483648";
        QTest::newRow("smallest div -1") << "(-2147483647 - 1) div -1"
                                         << "Float 2147483648";
        QTest::newRow("smallest mod -1") << "(-2147483647 - 1) mod -1"
                                         << "Integer 0";
        QTest::newRow("bit and") << "6 and 3"
                                 << "Integer 2";
        QTest::newRow("bit or") << "6 or 3"
                                << "Integer 7";
        QTest::newRow("bit xor") << "6 xor 3"
                                 << "Integer 5";
        QTest::newRow("shl") << "1 shl 4"
                             << "Integer 16";
        QTest::newRow("shl into sign") << "1 shl 31"
                                       << "Integer -2147483648";
        QTest::newRow("shl count masked") << "1 shl 33"
                                          << "Integer 2";
        QTest::newRow("shr logical") << "-1 shr 28"
                                     << "Integer 15";
        QTest::newRow("float and rounds half even") << "2.5 and 3"
                                                    << "Integer 2";
        QTest::newRow("float div rounds half even") << "3.5 div 1"
                                                    << "Integer 4";
        QTest::newRow("float mod") << "7.5 mod 4"
                                   << "Integer 0";
        // Booleans and strings
        QTest::newRow("upper TRUE") << "TRUE"
                                    << "Boolean true";
        QTest::newRow("mixed True") << "True"
                                    << "Boolean true";
        QTest::newRow("or") << "false or true"
                            << "Boolean true";
        QTest::newRow("xor") << "true xor true"
                             << "Boolean false";
        QTest::newRow("boolean order") << "false < true"
                                       << "Boolean true";
        QTest::newRow("join") << "\"ab\" + \"cd\""
                              << "String \"abcd\"";
        QTest::newRow("string keeps blanks") << "\" a \""
                                             << "String \" a \"";
        QTest::newRow("ordinal order") << "\"B\" < \"a\""
                                       << "Boolean true";
        QTest::newRow("case-sensitive") << "\"a\" = \"A\""
                                        << "Boolean false";
        QTest::newRow("integer equals float") << "1 = 1.0"
                                              << "Boolean true";
        QTest::newRow("not equal") << "1 <> 2"
                                   << "Boolean true";
        QTest::newRow("less or equal") << "2 <= 2"
                                       << "Boolean true";
        QTest::newRow("greater or equal") << "1.5 >= 2"
                                          << "Boolean false";
        // Built-in functions
        QTest::newRow("not") << "not(false)"
                             << "Boolean true";
        QTest::newRow("pi") << "pi"
                            << "Float 3.1415926535897931";
        QTest::newRow("sin") << "sin(0)"
                             << "Float 0";
        QTest::newRow("cos") << "cos(0)"
                             << "Float 1";
        QTest::newRow("tan") << "tan(0)"
                             << "Float 0";
        QTest::newRow("arcsin") << "arcsin(1)"
                                << "Float 1.5707963267948966";
        QTest::newRow("arccos") << "arccos(-1)"
                                << "Float 3.1415926535897931";
        QTest::newRow("arctan") << "arctan(1) * 4"
                                << "Float 3.1415926535897931";
        QTest::newRow("round half up") << "round(2.5)"
                                       << "Integer 3";
        QTest::newRow("round negative half") << "round(-2.5)"
                                             << "Integer -2";
        QTest::newRow("round negative") << "round(-1.7)"
                                        << "Integer -2";
        QTest::newRow("round just below half") << "round(0.49999999999999994)"
                                               << "Integer 0";
        QTest::newRow("int") << "int(-2.7)"
                             << "Float -2";
        QTest::newRow("frac") << "frac(2.75)"
                              << "Float 0.75";
        QTest::newRow("trunc") << "trunc(-2.7)"
                               << "Integer -2";
        QTest::newRow("abs") << "abs(-2.5)"
                             << "Float 2.5";
        QTest::newRow("sqr") << "sqr(3)"
                             << "Float 9";
        QTest::newRow("sqrt") << "sqrt(16)"
                              << "Float 4";
        QTest::newRow("length") << "length(\"åäö\")"
                                << "Integer 3";
        QTest::newRow("format width") << "format(2.5, 6, 1)"
                                      << "String \"   2.5\"";
        QTest::newRow("format decimals") << "format(3.14159, 0, 2)"
                                         << "String \"3.14\"";
        QTest::newRow("format integer value") << "format(2, 0, 0)"
                                              << "String \"2\"";
        QTest::newRow("format no minus zero") << "format(-0.001, 0, 2)"
                                              << "String \"0.00\"";
        QTest::newRow("format negative") << "format(-1.25, 6, 1)"
                                         << "String \"  -1.3\"";
        QTest::newRow("format width capped") << "length(format(1, 5000, 0))"
                                             << "Integer 1000";
        QTest::newRow("format width negative") << "format(1, -5, 0)"
                                               << "String \"1\"";
        QTest::newRow("format decimals capped") << "format(1, 0, 99)"
                                                << "String \"1.00000000000000000000\"";
        QTest::newRow("strcopy") << "strcopy(\"abcdef\", 2, 3)"
                                 << "String \"bcd\"";
        QTest::newRow("strcopy index below 1") << "strcopy(\"abc\", 0, 2)"
                                               << "String \"ab\"";
        QTest::newRow("strcopy past end") << "strcopy(\"abc\", 3, 10)"
                                          << "String \"c\"";
        QTest::newRow("strcopy beyond") << "strcopy(\"abc\", 5, 1)"
                                        << "String \"\"";
        QTest::newRow("strcopy negative count") << "strcopy(\"abc\", 2, -1)"
                                                << "String \"\"";
        QTest::newRow("strcopy huge count") << "strcopy(\"abc\", 2147483647, 2147483647)"
                                            << "String \"\"";
        QTest::newRow("strpos") << "strpos(\"cd\", \"abcdef\")"
                                << "Integer 3";
        QTest::newRow("strpos absent") << "strpos(\"x\", \"abc\")"
                                       << "Integer 0";
        QTest::newRow("strpos empty") << "strpos(\"\", \"abc\")"
                                      << "Integer 0";
        QTest::newRow("ascii") << "ascii(65)"
                               << "String \"A\"";
        QTest::newRow("ascii swedish") << "ascii(229)"
                                       << "String \"å\"";
        QTest::newRow("ascii windows euro") << "ascii(128)"
                                            << "String \"€\"";
        QTest::newRow("ascii windows dash") << "ascii(150)"
                                            << "String \"–\"";
        QTest::newRow("floattostr") << "floattostr(2.5)"
                                    << "String \"2.5\"";
        QTest::newRow("floattostr integer") << "floattostr(-2)"
                                            << "String \"-2\"";
        QTest::newRow("floattostr 15 digits") << "floattostr(1 / 3)"
                                              << "String \"0.333333333333333\"";
        QTest::newRow("floattostr large plain") << "floattostr(123456789012345.0)"
                                                << "String \"123456789012345\"";
        QTest::newRow("floattostr large exponent") << "floattostr(100000000000000000000.0)"
                                                   << "String \"1E20\"";
        QTest::newRow("floattostr small plain") << "floattostr(0.00001)"
                                                << "String \"0.00001\"";
        QTest::newRow("floattostr small exponent") << "floattostr(0.0000015)"
                                                   << "String \"1.5E-6\"";
        QTest::newRow("strtoint") << "strtoint(\"42\", 0)"
                                  << "Integer 42";
        QTest::newRow("strtoint signed") << "strtoint(\" -7\", 0)"
                                         << "Integer -7";
        QTest::newRow("strtoint not a number") << "strtoint(\"4x\", -1)"
                                               << "Integer -1";
        QTest::newRow("strtoint too large") << "strtoint(\"2147483648\", 5)"
                                            << "Integer 5";
        QTest::newRow("inttostr") << "inttostr(-12)"
                                  << "String \"-12\"";
        QTest::newRow("zd") << "zd(1, 4, 0)"
                            << "Float 0.25";
        QTest::newRow("zd by zero") << "zd(1, 0, -1)"
                                    << "Float -1";
        QTest::newRow("uc") << "uc(\"åäö\")"
                            << "String \"ÅÄÖ\"";
        QTest::newRow("lc") << "lc(\"ÅÄÖ\")"
                            << "String \"åäö\"";
        QTest::newRow("uc1") << "uc1(\"svamp Bok\")"
                             << "String \"Svamp Bok\"";
        QTest::newRow("uc1 empty") << "uc1(\"\")"
                                   << "String \"\"";
        QTest::newRow("booltoint") << "booltoint(true)"
                                   << "Integer 1";
        QTest::newRow("inttobool") << "inttobool(7)"
                                   << "String \"true\"";
        QTest::newRow("inttobool zero") << "inttobool(0)"
                                        << "String \"false\"";
        QTest::newRow("strtofloat comma") << "strtofloat(\"2,5\", 0)"
                                          << "Float 0";
        QTest::newRow("strtofloat") << "strtofloat(\"2.5\", 0)"
                                    << "Float 2.5";
        QTest::newRow("strtofloat exponent") << "strtofloat(\" -1.5e2 \", 0)"
                                             << "Float -150";
        QTest::newRow("strtofloat empty") << "strtofloat(\"\", 3)"
                                          << "Float 3";
        QTest::newRow("nested calls") << "length(strcopy(uc(\"abc\" + \"def\"), 2, 3)) + 1"
                                      << "Integer 4";
        // Dates (38051 is 5 March 2004) and times
        QTest::newRow("date default") << "date(\"\", 38051)"
                                      << "String \"04-03-05\"";
        QTest::newRow("date names upper") << "date(\"D MMMM ÅÅÅÅ\", 38051)"
                                          << "String \"5 MARS 2004\"";
        QTest::newRow("date names lower") << "date(\"d mmmm åååå\", 38051)"
                                          << "String \"5 mars 2004\"";
        QTest::newRow("date name capital") << "date(\"Mmmm\", 38051)"
                                           << "String \"Mars\"";
        QTest::newRow("date short upper") << "date(\"MMM\", 38017)"
                                          << "String \"JAN\"";
        QTest::newRow("date short lower") << "date(\"mmm\", 38017)"
                                          << "String \"jan\"";
        QTest::newRow("date later runs empty") << "date(\"DD.MM.ÅÅ/D-M\", 38051)"
                                               << "String \"05.03.04/-\"";
        QTest::newRow("date five M") << "date(\"MMMMM\", 38051)"
                                     << "String \"\"";
        QTest::newRow("date other letters") << "date(\"Xq D\", 38051.99)"
                                            << "String \"Xq 5\"";
        QTest::newRow("date before base") << "date(\"ÅÅÅÅ-MM-DD\", -1.5)"
                                          << "String \"1899-12-29\"";
        QTest::newRow("date first day") << "date(\"ÅÅÅÅ-MM-DD\", -693593)"
                                        << "String \"0001-01-01\"";
        QTest::newRow("date rounds to next day") << "date(\"D\", 38051.9999999999)"
                                                 << "String \"6\"";
        QTest::newRow("time default") << "time(\"\", 0.75)"
                                      << "String \"18.00:00\"";
        QTest::newRow("time fields") << "time(\"t:m:s T\", 38051 + 0.5 + 61.0 / 86400)"
                                     << "String \"12:01:01 \"";
        QTest::newRow("time of negative") << "time(\"\", -1.25)"
                                          << "String \"06.00:00\"";
    }
    void evaluates() {
        QFETCH(QString, expression);
        QFETCH(QString, expected);
        Calc calc;
        QString actual;
        const QString error = testsupport::ExceptionText([&] { actual = Describe(calc.Evaluate(expression)); });
        QCOMPARE(error, testsupport::NoException);
        QCOMPARE(actual, expected);
    }

    void raises_data() {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty") << ""
                               << "Empty expression @ 1";
        QTest::newRow("blanks only") << "   "
                                     << "Empty expression @ 1";
        QTest::newRow("unterminated") << "\"abc"
                                      << "Unterminated string @ 5";
        QTest::newRow("second dot") << "1.2.3"
                                    << "Invalid float number @ 4";
        QTest::newRow("float too large") << QString(400, u'9') + ".0"
                                         << "Invalid float number @ 403";
        QTest::newRow("integer too large") << "2147483648"
                                           << "Invalid integer number @ 11";
        QTest::newRow("minus group") << "-(3)"
                                     << "Negative number expected @ 3";
        QTest::newRow("minus string") << "-\"a\""
                                      << "Negative number expected @ 5";
        QTest::newRow("minus boolean") << "-true"
                                       << "Negative number expected @ 6";
        QTest::newRow("minus minus") << "--3"
                                     << "Negative number expected @ 3";
        QTest::newRow("minus at end") << "1 + -"
                                      << "Negative number expected @ 6";
        QTest::newRow("name after operand") << "1 foo"
                                            << "Operator expected @ 3";
        QTest::newRow("number after operand") << "1 + 2 3"
                                              << "Operator expected @ 7";
        QTest::newRow("group after operand") << "1 (2)"
                                             << "Operator expected @ 3";
        QTest::newRow("unknown character") << "1 # 2"
                                           << "Operator expected @ 3";
        QTest::newRow("parenthesis too many") << "(1))"
                                              << "Operator expected @ 5";
        QTest::newRow("operator first") << "* 2"
                                        << "Operand expected @ 3";
        QTest::newRow("word operator first") << "div 2"
                                             << "Operand expected @ 5";
        QTest::newRow("closing first") << ")"
                                       << "Operand expected @ 2";
        QTest::newRow("operator at end") << "1 +"
                                         << "Operand expected @ 4";
        QTest::newRow("dot first") << ".5"
                                   << "Operand expected @ 1";
        QTest::newRow("non-ascii letter") << "å"
                                          << "Operand expected @ 1";
        QTest::newRow("open at end") << "("
                                     << "Operand expected @ 2";
        QTest::newRow("unclosed group") << "(1 + 2"
                                        << "Finishing parenthesis \")\" expected @ 7";
        QTest::newRow("comma in group") << "(1, 2)"
                                        << "Finishing parenthesis \")\" expected @ 5";
        QTest::newRow("comma closing group") << "(1,)"
                                             << "Finishing parenthesis \")\" expected @ 4";
        QTest::newRow("comma at top") << "1, 2"
                                      << "End of expression expected @ 4";
        QTest::newRow("comma at end") << "1,"
                                      << "End of expression expected @ 3";
        QTest::newRow("no parameters") << "not true"
                                       << "Not enough parameters for function @ 5";
        QTest::newRow("parameters missing at end") << "sqrt"
                                                   << "Not enough parameters for function @ 5";
        QTest::newRow("only argument with comma") << "sqrt(4, 5)"
                                                  << "Finishing parenthesis \")\" expected @ 9";
        QTest::newRow("only argument unclosed") << "sqrt(4"
                                                << "Finishing parenthesis \")\" expected @ 7";
        QTest::newRow("first argument closed") << "format(2.5)"
                                               << "Function-parameter delimiter \",\" expected @ 12";
        QTest::newRow("last argument unclosed") << "strpos(\"a\", \"b\""
                                                << "Finishing parenthesis \")\" expected @ 16";
        QTest::newRow("last argument with comma") << "strpos(\"a\", \"b\", 1)"
                                                  << "Finishing parenthesis \")\" expected @ 18";
        QTest::newRow("float parameter") << "sqrt(\"a\")"
                                         << "Function expects parameter of type Real or Integer @ 10";
        QTest::newRow("string parameter") << "length(1)"
                                          << "Function expects parameter of type String @ 10";
        QTest::newRow("integer parameter") << "inttostr(1.5)"
                                           << "Function expects parameter of type Integer @ 14";
        QTest::newRow("boolean parameter") << "not(1)"
                                           << "Function expects parameter of type Boolean @ 7";
        QTest::newRow("string times") << "\"a\" * 2"
                                      << "Operator not applicable to this operand type @ 5";
        QTest::newRow("string div") << "\"a\" div 2"
                                    << "Operator not applicable to this operand type @ 5";
        QTest::newRow("string minus") << "\"a\" - \"b\""
                                      << "Operator not applicable to this operand type @ 5";
        QTest::newRow("string or") << "\"a\" or \"b\""
                                   << "Operator not applicable to this operand type @ 5";
        QTest::newRow("string xor") << "\"a\" xor \"b\""
                                    << "Operator not applicable to this operand type @ 5";
        QTest::newRow("boolean plus") << "true + true"
                                      << "Operator not applicable to this operand type @ 6";
        QTest::newRow("boolean shl") << "true shl 1"
                                     << "Operator not applicable to this operand type @ 6";
        QTest::newRow("percent") << "5 % 2"
                                 << "Operator not applicable to this operand type @ 3";
        QTest::newRow("string plus number") << "\"a\" + 1"
                                            << "Incompatible operands @ 8";
        QTest::newRow("number plus string") << "1 + \"a\""
                                            << "Incompatible operands @ 8";
        QTest::newRow("and binds before less") << "1 < 2 and 3 < 4"
                                               << "Incompatible operands @ 16";
        QTest::newRow("boolean equals number") << "true = 1"
                                               << "Incompatible operands @ 9";
        QTest::newRow("divide by zero") << "1 / 0"
                                        << "Division by zero @ 6";
        QTest::newRow("divide float by zero") << "1.5 / 0.0 + 1"
                                              << "Division by zero @ 11";
        QTest::newRow("div by zero") << "1 div 0"
                                     << "Division by zero @ 8";
        QTest::newRow("mod by zero") << "1 mod 0.4"
                                     << "Division by zero @ 10";
        QTest::newRow("float overflow") << Huge() + " * " + Huge() << "Invalid floating point operation @ 408";
        QTest::newRow("sqr overflow") << "sqr(" + Huge() + ")"
                                      << "Invalid floating point operation @ 208";
        QTest::newRow("sqrt negative") << "sqrt(-1)"
                                       << "Invalid floating point operation @ 9";
        QTest::newRow("arcsin domain") << "arcsin(2)"
                                       << "Invalid floating point operation @ 10";
        QTest::newRow("arccos domain") << "arccos(-1.5)"
                                       << "Invalid floating point operation @ 13";
        QTest::newRow("round beyond 32 bits") << "round(2147483647.5)"
                                              << "Invalid floating point operation @ 20";
        QTest::newRow("trunc beyond 32 bits") << "trunc(-3000000000.0)"
                                              << "Invalid floating point operation @ 21";
        QTest::newRow("float too large for div") << "3000000000.0 div 1"
                                                 << "Invalid floating point operation @ 19";
        QTest::newRow("date beyond year 9999") << "date(\"\", 2958466)"
                                               << "Invalid floating point operation @ 18";
        QTest::newRow("date before year 1") << "date(\"\", -693594)"
                                            << "Invalid floating point operation @ 18";
        QTest::newRow("ascii above 255") << "ascii(256)"
                                         << "Invalid integer number @ 11";
        QTest::newRow("ascii negative") << "ascii(-1)"
                                        << "Invalid integer number @ 10";
        QTest::newRow("unknown name") << "1 + foo"
                                      << "Unknown function or variable (\"foo\") @ 8";
        QTest::newRow("unknown name lowered") << "Parent.Width"
                                              << "Unknown function or variable (\"parent.width\") @ 13";
    }
    void raises() {
        QFETCH(QString, expression);
        QFETCH(QString, expected);
        Calc calc;
        QCOMPARE(ErrorOf([&] { calc.Evaluate(expression); }), expected);
    }

    void typedEvaluations() {
        Calc calc;
        QCOMPARE(calc.EvaluateBoolean("1 < 2"), true);
        QCOMPARE(calc.EvaluateFloat("2"), 2.0);
        QCOMPARE(calc.EvaluateFloat("2 / 8"), 0.25);
        QCOMPARE(calc.EvaluateInteger("7 div 2"), 3);
        QCOMPARE(calc.EvaluateString("\"a\" + \"b\""), QString("ab"));
        QCOMPARE(ErrorOf([&] { calc.EvaluateInteger("10 / 2"); }), "Result type mismatch (should be Integer) @ 6");
        QCOMPARE(ErrorOf([&] { calc.EvaluateBoolean("1"); }), "Result type mismatch (should be Boolean) @ 1");
        QCOMPARE(ErrorOf([&] { calc.EvaluateFloat("\"x\"  "); }), "Result type mismatch (should be Float) @ 5");
        QCOMPARE(ErrorOf([&] { calc.EvaluateString("1 + 1"); }), "Result type mismatch (should be String) @ 5");
        QCOMPARE(ErrorOf([&] { calc.EvaluateInteger(""); }), "Empty expression @ 1");
    }

    // A function is evaluated exactly once, where its operand is read, and never by looking ahead.
    void namesAreResolvedOnceInOrder() {
        Calc calc;
        calc.SetCustomFunctions({"F", "Empty"});
        QStringList log;
        calc.OnFunction = [&](TQuillCalc& sender, const QString& name, TQuillValue& result) {
            if (name == "empty") return;
            const qint32 arg = std::get<qint32>(sender.GetParam(TQuillKind::Integer, qpOnly));
            log << name + ":" + QString::number(arg);
            result = arg * 10;
        };
        calc.OnVariable = [&](TQuillCalc&, const QString& name, TQuillValue& result) {
            log << name;
            if (name != "unknown") result = qint32(1);
        };
        QCOMPARE(calc.EvaluateInteger("F(1) + G + f(2 + Page.Count)"), 41);
        QCOMPARE(log, QStringList({"f:1", "g", "page.count", "f:3"}));

        log.clear();
        QCOMPARE(ErrorOf([&] { calc.Evaluate("1 f(2)"); }), "Operator expected @ 3");
        QCOMPARE(ErrorOf([&] { calc.Evaluate("g g"); }), "Operator expected @ 3");
        QCOMPARE(log, QStringList({"g"}));

        QCOMPARE(ErrorOf([&] { calc.Evaluate("2 * empty"); }), "Custom function not implemented (\"empty\") @ 10");
        QCOMPARE(ErrorOf([&] { calc.Evaluate("unknown + 1"); }), "Unknown function or variable (\"unknown\") @ 9");

        // Many names, each read again and again, are each served as named, in any case.
        QStringList names;
        for (int i = 0; i < 300; ++i) names << QString("Name%1").arg(i);
        for (int round = 0; round < 2; ++round) {
            log.clear();
            QCOMPARE(calc.EvaluateInteger(names.join(" + ")), 300);
            QCOMPARE(log, QString(names.join(",")).toLower().split(','));
            QCOMPARE(calc.EvaluateInteger("NAME7 + name299 + f(4)"), 42);
        }

        // Without handlers the names stay unserved.
        Calc bare;
        bare.SetCustomFunctions({"f"});
        QCOMPARE(ErrorOf([&] { bare.Evaluate("f(1)"); }), "Custom function not implemented (\"f\") @ 2");
        QCOMPARE(ErrorOf([&] { bare.Evaluate("x"); }), "Unknown function or variable (\"x\") @ 2");
    }

    // A handler reads first, middle and last arguments of any kind the same way the built-ins do.
    void handlersReadArguments() {
        Calc calc;
        calc.SetCustomFunctions({"kinds", "pair"});
        calc.OnFunction = [&](TQuillCalc& sender, const QString& name, TQuillValue& result) {
            if (name == "pair") {
                const QString a = std::get<QString>(sender.GetParam(TQuillKind::String, qpFirst));
                const double b = std::get<double>(sender.GetParam(TQuillKind::Float, qpLast));
                result = a + QString::number(b);
                return;
            }
            QStringList kinds;
            kinds << Describe(sender.GetParam(TQuillKind::Any, qpFirst));
            kinds << Describe(sender.GetParam(TQuillKind::Any, qpMiddle));
            kinds << Describe(sender.GetParam(TQuillKind::Any, qpMiddle));
            kinds << Describe(sender.GetParam(TQuillKind::Any, qpLast));
            result = kinds.join(u'|');
        };
        QCOMPARE(calc.EvaluateString("kinds(1, 2.5, \"x\" + \"y\", 1 < 2)"),
                 QString("Integer 1|Float 2.5|String \"xy\"|Boolean true"));
        QCOMPARE(calc.EvaluateString("pair(\"n\", 3)"), QString("n3"));
        QCOMPARE(ErrorOf([&] { calc.Evaluate("pair(\"n\")"); }), "Function-parameter delimiter \",\" expected @ 10");
        QCOMPARE(ErrorOf([&] { calc.Evaluate("pair(\"n\", true)"); }),
                 "Function expects parameter of type Real or Integer @ 16");
        QCOMPARE(ErrorOf([&] { calc.Evaluate("kinds(1, 2)"); }), "Function-parameter delimiter \",\" expected @ 12");
    }

    // Errors of a handler reach the caller as they were raised; a handler may evaluate
    // another text, after which the outer one goes on where it was.
    void handlersRaiseAndNest() {
        Calc calc;
        calc.OnVariable = [&](TQuillCalc& sender, const QString& name, TQuillValue& result) {
            if (name == "missing") throw Exception("Object \"missing\" not found in script");
            if (name == "broken") sender.Evaluate("1 +");
            result = sender.EvaluateInteger("(2 * 3)");
        };
        QCOMPARE(testsupport::ExceptionText([&] { calc.Evaluate("1 + missing"); }),
                 QString("Object \"missing\" not found in script"));
        try {
            calc.Evaluate("1 + missing");
        } catch (const EExpressionError&) {
            QFAIL("a handler's own exception must not become an expression error");
        } catch (const Exception&) {}
        QCOMPARE(calc.EvaluateInteger("x + 1"), 7);
        QCOMPARE(ErrorOf([&] { calc.Evaluate("(x + \"a\")"); }), "Incompatible operands @ 9");
        QCOMPARE(ErrorOf([&] { calc.Evaluate("2 * broken"); }), "Operand expected @ 4");
        QCOMPARE(calc.EvaluateInteger("x"), 6);
    }

    void booleanLabels() {
        Calc calc;
        QCOMPARE(calc.BooleanLabels(), QStringList({"false", "true"}));
        // Words read before a change of words are read anew after it.
        QCOMPARE(Describe(calc.Evaluate("True")), QString("Boolean true"));
        calc.SetBooleanLabels({"Falskt", "SANT"});
        QCOMPARE(calc.BooleanLabels(), QStringList({"falskt", "sant"}));
        QCOMPARE(Describe(calc.Evaluate("Sant and not(falskt)")), QString("Boolean true"));
        QCOMPARE(calc.EvaluateString("inttobool(1) + inttobool(0)"), QString("santfalskt"));
        QCOMPARE(ErrorOf([&] { calc.Evaluate("true"); }), "Unknown function or variable (\"true\") @ 5");
        calc.SetBooleanLabels({"ja"});
        QCOMPARE(calc.BooleanLabels(), QStringList({"false", "true"}));
        calc.SetBooleanLabels({"a", "b", "c"});
        QCOMPARE(calc.BooleanLabels(), QStringList({"false", "true"}));
    }

    void customFunctionNames() {
        Calc calc;
        calc.SetCustomFunctions({"SplitSection", "pickSections"});
        QCOMPARE(calc.CustomFunctions(), QStringList({"splitsection", "picksections"}));
        QStringList served;
        calc.OnFunction = [&](TQuillCalc&, const QString& name, TQuillValue& result) {
            served << "function " + name;
            result = qint32(1);
        };
        calc.OnVariable = [&](TQuillCalc&, const QString& name, TQuillValue& result) {
            served << "variable " + name;
            result = qint32(2);
        };
        QCOMPARE(calc.EvaluateInteger("SPLITSECTION + picksections"), 2);
        calc.RemoveCustomFunction("SPLITsection");
        QCOMPARE(calc.CustomFunctions(), QStringList({"picksections"}));
        QCOMPARE(calc.EvaluateInteger("splitsection"), 2);
        calc.RemoveCustomFunction("absent");
        QCOMPARE(calc.CustomFunctions(), QStringList({"picksections"}));
        // A name read as a variable is a function once it is named one.
        QCOMPARE(calc.EvaluateInteger("Extra"), 2);
        calc.SetCustomFunctions({"extra"});
        QCOMPARE(calc.EvaluateInteger("EXTRA + picksections"), 3);
        QCOMPARE(served,
                 QStringList({"function splitsection", "function picksections", "variable splitsection",
                              "variable extra", "function extra", "variable picksections"}));
    }

    void decimalSeparator() {
        QLocale::setDefault(QLocale(QLocale::Swedish, QLocale::Sweden));
        TQuillCalc swedish;
        QLocale::setDefault(QLocale::c());
        QCOMPARE(swedish.DecimalSeparator(), QChar(u','));
        QCOMPARE(swedish.EvaluateString("floattostr(2.5) + \" \" + format(2.5, 0, 2) + \" \" + floattostr(0.0000015)"),
                 QString("2,5 2,50 1,5E-6"));
        swedish.SetDecimalSeparator(u'.');
        QCOMPARE(swedish.EvaluateString("format(2.5, 0, 2)"), QString("2.50"));
        // Number literals always use ".".
        QCOMPARE(swedish.EvaluateFloat("2.5"), 2.5);
    }

    // Deep nesting gives an error instead of exhausting the stack.
    void nestingIsBounded_data() {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("expected");
        QTest::newRow("256 groups") << QString(256, u'(') + "1" + QString(256, u')') << testsupport::NoException;
        QTest::newRow("257 groups") << QString(257, u'(') + "1" + QString(257, u')')
                                    << "Parentheses nested too deeply @ 258";
        QTest::newRow("many calls") << QString("abs(").repeated(5000) + "1" + QString(5000, u')')
                                    << "Parentheses nested too deeply @ 1029";
        QTest::newRow("long flat chain") << QString("1 + ").repeated(20000) + "1" << testsupport::NoException;
    }
    void nestingIsBounded() {
        QFETCH(QString, expression);
        QFETCH(QString, expected);
        Calc calc;
        QCOMPARE(ErrorOf([&] { calc.Evaluate(expression); }), expected);
        QCOMPARE(calc.EvaluateInteger("(1 + 1)"), 2);
    }

    // A handler that reads arguments without asking for their "(" cannot recurse unbounded.
    void nestingIsBoundedForHandlers() {
        Calc calc;
        calc.SetCustomFunctions({"f"});
        calc.OnFunction = [&](TQuillCalc& sender, const QString&, TQuillValue& result) {
            result = sender.GetParam(TQuillKind::Any, qpMiddle);
        };
        QCOMPARE(ErrorOf([&] { calc.Evaluate(QString("f ").repeated(5000) + "1"); }),
                 "Parentheses nested too deeply @ 515");
    }

    void randomStaysInRange() {
        Calc calc;
        QSet<qint32> seen;
        for (int i = 0; i < 200; ++i) {
            const qint32 v = calc.EvaluateInteger("random(3)");
            QVERIFY(v >= 0 && v < 3);
            seen.insert(v);
        }
        QCOMPARE(seen.size(), 3);
        QCOMPARE(calc.EvaluateInteger("random(0)"), 0);
        QCOMPARE(calc.EvaluateInteger("random(-5)"), 0);
    }
};

QTEST_GUILESS_MAIN(TestQuillCalc)
#include "tst_quillcalc.moc"
