#pragma once
// A typeface as the scripts describe it.
#include <QString>

struct TQSFontSpec {
    QString Name;
    int Size = 10;
    bool Bold = false, Italic = false, Underline = false, Strikeout = false;
    bool operator==(const TQSFontSpec&) const = default;
};
