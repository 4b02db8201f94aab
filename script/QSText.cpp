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

QString WrapLine(const TQSTextMeasurer& measurer, const TQSFontSpec& font, QString& rest, double widthMm) {
    const qsizetype n = rest.size();
    // Most rows fit whole: one measurement tells.
    if (!rest.contains(QLatin1String("\r\n")) && measurer.WidthMm(font, rest) <= widthMm) {
        const QString line = rest;
        rest.clear();
        return line;
    }
    // The first 1-based position whose prefix does not fit (n + 1 when all fit). Widths grow
    // with the prefix, so a galloping search keeps long texts from being measured per
    // character.
    auto fits = [&](qsizetype count) { return measurer.WidthMm(font, rest.left(count)) <= widthMm; };
    qsizetype fit = 0;  // longest prefix known to fit
    qsizetype step = 1;
    qsizetype over = n + 1;  // shortest prefix known not to fit
    while (fit + step <= n) {
        if (fits(fit + step)) {
            fit += step;
            step *= 2;
        } else {
            over = fit + step;
            break;
        }
    }
    qsizetype lo = fit, hi = over;  // lo fits, hi does not (or is n + 1)
    while (hi - lo > 1) {
        const qsizetype mid = lo + (hi - lo) / 2;
        if (fits(mid)) lo = mid;
        else hi = mid;
    }
    const qsizetype firstOver = lo + 1;  // 1-based; n + 1 when the whole text fits

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
