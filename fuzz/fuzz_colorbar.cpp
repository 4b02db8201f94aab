// Random text as a colour bar's field: it is read all or nothing, and what is read writes back
// as a text that reads the same.
#include <cstdint>
#include <cstdlib>

#include "controls/FRColorbar.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    QList<TColor> colors{1, 2};
    const bool ok = TFRDBColorbar::ParseColors(text, colors);
    if (!ok) {
        if (!colors.isEmpty()) std::abort();
        return 0;
    }
    if (text.isEmpty() != colors.isEmpty()) std::abort();
    if (colors.size() != (text.isEmpty() ? 0 : text.count(QLatin1Char('|')) + 1)) std::abort();
    QStringList pieces;
    for (TColor c : colors) {
        if (c < INT32_MIN || c > INT32_MAX) std::abort();
        pieces << QString::number(c);
    }
    QList<TColor> again;
    if (!TFRDBColorbar::ParseColors(pieces.join(QLatin1Char('|')), again) || again.size() != colors.size())
        std::abort();
    // Element by element: Qt's list comparison hands memcmp a null pointer for empty lists.
    for (qsizetype i = 0; i < colors.size(); ++i)
        if (again[i] != colors[i]) std::abort();
    return 0;
}
