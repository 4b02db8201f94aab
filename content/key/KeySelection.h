#pragma once
// The questions of the identification key and the selection their answers make over the
// species table. Pure functions of the answers, so that the rules are checked without a
// screen: which questions are in force, the selection lines, and the size checks.
//
// An answer is the text its question panel gives (one "0"/"1" per option, a colour number,
// the typed text, "*" for a heading); an empty text means "not answered".
#include <QString>
#include <QStringList>

// Mirrors the panel kinds in their order.
enum class TKeyQuestionKind { Options, Color, Edit, Header };

// The questions in their fixed order (the order the answers are kept and visited in).
enum TKeyQuestionId {
    kqHeader1,
    kqHatFungi,
    kqHabitat,
    kqGrowthMethod,
    kqSeason,
    kqOccurence,
    kqGroupedGrowth,
    kqMeatColor,
    kqHeader2,
    kqHatSize,
    kqHatSubType,
    kqLinedHat,
    kqScaledHat,
    kqDottedHat,
    kqHatSubGrowth,
    kqHatSubDensity,
    kqHatSubColor,
    kqHatSubGrowth2,
    kqHatSubDensity2,
    kqHeader3,
    kqFootRing,
    kqFootSize,
    kqHeader6,
    kqBodySize,
    kqBodyColor,
    kqHeader4,
    kqSmell,
    kqTaste,
    kqVisibleMeatJuice,
    kqMeatJuiceColor,
    kqHeader5,
    kqSporeProps,
    kqSporeSize,
    kqSporeColor,
    kqHatColor,
    kqFootColor,
    KeyQuestionCount
};

struct TKeyQuestion {
    const char* Name;  // component name, "keypHatFungi"
    int Tag;  // 0, or the activation rule 11..15
    TKeyQuestionKind Kind;
    bool Many;  // options: any number may be chosen
    QString Question;
    QStringList Options;
    QString InputCaption;  // edits only
};

// The 36 questions, indexed by TKeyQuestionId.
const QList<TKeyQuestion>& KeyQuestions();

// Whether a question with the given tag is in force for the answers (tag 0: always).
bool KeyTagActive(int tag, const QStringList& answers);

// The answers with every answer of a question not in force emptied.
QStringList KeyAnswersInForce(const QStringList& answers);

// The tolerance number of a colour term for a tolerance level 0..4 (100, 80, 60, 40, 20).
int KeyToleranceNumber(int colorTolerance);

struct TKeySelectionResult {
    QStringList Lines;  // the whole selection when Error is empty
    int ErrorQuestion = -1;  // the question whose size was refused
    QString Error;  // its message
    bool Ok() const { return Error.isEmpty(); }
};

// The selection for the answers (one per question, in question order; missing ones count as
// unanswered). Only the answers given are read: pass answers of questions not in force empty
// (KeyAnswersInForce). With no answer the selection lists every complete species.
TKeySelectionResult BuildKeySelection(const QStringList& answers, int colorTolerance);

// "The whole text as an integer": decimal digits only, after surrounding blanks are removed.
bool KeyParseInteger(const QString& text, int& value);
