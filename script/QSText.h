#pragma once
// Measuring and wrapping text in millimetres. Text is measured device-independently, so
// preparation, preview and print break lines and pages alike whatever printer is chosen.
#include <QString>

#include "script/QSFontSpec.h"

class TQSTextMeasurer {
public:
    virtual ~TQSTextMeasurer();
    // The advance width of the text in the font, in millimetres.
    virtual double WidthMm(const TQSFontSpec& font, const QString& text) const = 0;
    // The line height of the font, in millimetres.
    virtual double HeightMm(const TQSFontSpec& font) const = 0;
    // The width of one character alone: a guess of where a line ends, which measured widths
    // then settle. By default the character is measured.
    virtual double CharWidthMm(const TQSFontSpec& font, QChar c) const;
    // A preparation begins: a measurer that keeps the widths it measured may let go of those of
    // earlier ones. The widths it gives are the same either way.
    virtual void Forget() const {}
};

// A fixed pitch whatever the font: deterministic widths for page counts.
class TQSFixedPitchMeasurer : public TQSTextMeasurer {
public:
    explicit TQSFixedPitchMeasurer(double charWidthMm = 2, double lineHeightMm = 5)
        : m_charWidth(charWidthMm), m_lineHeight(lineHeightMm) {}
    double WidthMm(const TQSFontSpec&, const QString& text) const override { return m_charWidth * double(text.size()); }
    double HeightMm(const TQSFontSpec&) const override { return m_lineHeight; }
    double CharWidthMm(const TQSFontSpec&, QChar) const override { return m_charWidth; }

private:
    double m_charWidth, m_lineHeight;
};

// Millimetres to device pixels at the resolution, halves to even.
int MmToPixel(double mm, int dpi);
double PixelToMm(int pixels, int dpi);

// Cuts the next line that fits the width off the remaining text. A line breaks after a blank
// (dropped), a hyphen (kept) or ", " (the comma kept, the blank dropped), and at CR LF
// (dropped); a word without a break is cut at the last character that fits. A text fits only
// when every character fits, and each line takes at least one character.
QString WrapLine(const TQSTextMeasurer& measurer, const TQSFontSpec& font, QString& rest, double widthMm);
