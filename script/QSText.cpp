#include "script/QSText.h"

#include <algorithm>
#include <cmath>

TQSTextMeasurer::~TQSTextMeasurer() = default;

// Positions beyond any page (or no number at all) stay within what an int holds.
int MmToPixel(double mm, int dpi) {
    const double pixels = mm / 25.4 * double(dpi);
    if (!std::isfinite(pixels)) return 0;
    return int(std::nearbyint(std::clamp(pixels, -1e9, 1e9)));
}

double PixelToMm(int pixels, int dpi) { return dpi == 0 ? 0.0 : double(pixels) / double(dpi) * 25.4; }

namespace {

// The first 1-based position of the text whose prefix does not fit the width (length + 1
// when the whole text fits). The characters' own widths give a guess of where the line ends;
// measured prefixes decide, searched outwards from the guess in growing steps, so a line
// costs a few measurements of about its own length, however long the text is.
qsizetype FirstPositionOver(const TQSTextMeasurer& measurer, const TQSFontSpec& font, const QString& text,
                            double widthMm) {
    const qsizetype n = text.size();
    qsizetype guess = 0;
    for (double sum = 0; guess < n; ++guess) {
        sum += measurer.CharWidthMm(font, text[guess]);
        if (!(sum <= widthMm)) break;
    }
    auto fits = [&](qsizetype count) { return count == 0 || measurer.WidthMm(font, text.left(count)) <= widthMm; };
    qsizetype lo = 0, hi = n + 1;  // a prefix of lo characters fits; one of hi does not (n + 1: none)
    if (fits(guess)) {
        lo = guess;
        for (qsizetype step = 1; lo < n;) {
            const qsizetype next = std::min(lo + step, n);
            if (!fits(next)) {
                hi = next;
                break;
            }
            lo = next;
            step *= 2;
        }
    } else {
        hi = guess;
        for (qsizetype step = 1;;) {
            const qsizetype next = std::max<qsizetype>(hi - step, 0);
            if (fits(next)) {
                lo = next;
                break;
            }
            hi = next;
            step *= 2;
        }
    }
    while (hi - lo > 1) {
        const qsizetype mid = lo + (hi - lo) / 2;
        if (fits(mid))
            lo = mid;
        else
            hi = mid;
    }
    return lo + 1;
}

}  // namespace

double TQSTextMeasurer::CharWidthMm(const TQSFontSpec& font, QChar c) const { return WidthMm(font, QString(c)); }

QString WrapLine(const TQSTextMeasurer& measurer, const TQSFontSpec& font, QString& rest, double widthMm) {
    const qsizetype n = rest.size();
    const qsizetype firstOver = FirstPositionOver(measurer, font, rest, widthMm);  // n + 1 when all fit

    // Break positions up to and including the first character that does not fit; CR LF ends
    // the scan.
    qsizetype breakAt = 0;  // 1-based, 0 = none
    bool lineBreak = false;
    for (qsizetype i = 1; i <= qMin(firstOver, n); ++i) {
        const QChar c = rest[i - 1];
        if (c == u' ' || c == u'-' || (c == u',' && i < n && rest[i] == u' ')) breakAt = i;
        if (c == u'\r' && i < n && rest[i] == u'\n') {
            breakAt = i;
            lineBreak = true;
            break;
        }
    }
    QString line;
    if (!lineBreak && firstOver > n) {
        line = rest;
        rest.clear();
        return line;
    }
    if (breakAt == 0) {
        const qsizetype take = qMax<qsizetype>(firstOver - 1, 1);
        line = rest.left(take);
        rest.remove(0, take);
        return line;
    }
    const QChar c = rest[breakAt - 1];
    if (lineBreak) {
        line = rest.left(breakAt - 1);
        rest.remove(0, breakAt + 1);
    } else if (c == u' ') {
        line = rest.left(breakAt - 1);
        rest.remove(0, breakAt);
    } else if (c == u'-') {
        line = rest.left(breakAt);
        rest.remove(0, breakAt);
    } else {  // ", "
        line = rest.left(breakAt);
        rest.remove(0, breakAt + 1);
    }
    return line;
}
