#include "platform/FieldOrder.h"

#include <QDate>
#include <QDateTime>

#include <algorithm>

namespace {

// Primary weight of a character in Swedish alphabetical order: case and accents are
// ignored except that Å, Ä and Ö are letters of their own after Z.
quint32 Weight(QChar c) {
    const char16_t u = c.unicode();
    if (u < 128) {
        if (u >= 'a' && u <= 'z') return 0x20000 + 2 * (u - 'a');
        if (u >= 'A' && u <= 'Z') return 0x20000 + 2 * (u - 'A');
        if (u >= '0' && u <= '9') return 0x10000 + (u - '0');
        return u;
    }
    switch (u) {
        case u'å':
        case u'Å':
            return 0x20000 + 2 * 26;
        case u'ä':
        case u'Ä':
        case u'æ':
        case u'Æ':
            return 0x20000 + 2 * 27;
        case u'ö':
        case u'Ö':
        case u'ø':
        case u'Ø':
            return 0x20000 + 2 * 28;
        case u'ü':
        case u'Ü':
            return 0x20000 + 2 * ('y' - 'a');
        case u'ß':
            return 0x20000 + 2 * ('s' - 'a') + 1;
        default:
            break;
    }
    if (c.isLetter()) {
        const QString dec = c.decomposition();
        if (!dec.isEmpty() && dec.at(0).unicode() < 128 && dec.at(0).isLetter()) return Weight(dec.at(0));
        return 0x30000 + u;
    }
    if (c.isDigit()) return 0x10000 + quint32(c.digitValue());
    return u;
}

template <typename T>
int Cmp(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

namespace {

// The same order over texts of either form: by weight, then by length, then by code unit.
template <typename A, typename B>
int CompareTexts(const A* pa, qsizetype na, const B* pb, qsizetype nb) {
    const qsizetype n = std::min(na, nb);
    int units = 0;  // the order of the first differing code units
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t ca = char16_t(pa[i]);
        const char16_t cb = char16_t(pb[i]);
        if (ca == cb) continue;
        const quint32 wa = Weight(QChar(ca));
        const quint32 wb = Weight(QChar(cb));
        if (wa != wb) return wa < wb ? -1 : 1;
        if (units == 0) units = ca < cb ? -1 : 1;
    }
    if (na != nb) return na < nb ? -1 : 1;
    return units;
}

const unsigned char* Bytes(QLatin1String s) { return reinterpret_cast<const unsigned char*>(s.data()); }

}  // namespace

int CompareFieldText(QStringView a, QStringView b) { return CompareTexts(a.utf16(), a.size(), b.utf16(), b.size()); }
int CompareFieldText(QLatin1String a, QLatin1String b) { return CompareTexts(Bytes(a), a.size(), Bytes(b), b.size()); }
int CompareFieldText(QLatin1String a, QStringView b) { return CompareTexts(Bytes(a), a.size(), b.utf16(), b.size()); }
int CompareFieldText(QStringView a, QLatin1String b) { return CompareTexts(a.utf16(), a.size(), Bytes(b), b.size()); }

// Empty values come first.
int CompareFieldValues(const QVariant& a, const QVariant& b, TFieldType type) {
    const bool na = a.isNull();
    const bool nb = b.isNull();
    if (na || nb) return na == nb ? 0 : (na ? -1 : 1);
    switch (type) {
        case TFieldType::ftString:
            return CompareFieldText(a.toString(), b.toString());
        case TFieldType::ftInteger:
            return Cmp(a.toInt(), b.toInt());
        case TFieldType::ftBoolean:
            return Cmp(int(a.toBool()), int(b.toBool()));
        case TFieldType::ftFloat:
            return Cmp(a.toDouble(), b.toDouble());
        case TFieldType::ftDate:
            return Cmp(a.toDate(), b.toDate());
        case TFieldType::ftDateTime:
            return Cmp(a.toDateTime(), b.toDateTime());
        case TFieldType::ftUnknown:
            break;
    }
    return 0;
}

bool FieldValuesEqual(const QVariant& a, const QVariant& b, TFieldType type) {
    const bool na = a.isNull();
    const bool nb = b.isNull();
    if (na || nb) return na == nb;
    switch (type) {
        case TFieldType::ftString:
            return a.toString() == b.toString();
        case TFieldType::ftInteger:
            return a.toInt() == b.toInt();
        case TFieldType::ftBoolean:
            return a.toBool() == b.toBool();
        case TFieldType::ftFloat:
            return a.toDouble() == b.toDouble();
        case TFieldType::ftDate:
            return a.toDate() == b.toDate();
        case TFieldType::ftDateTime:
            return a.toDateTime() == b.toDateTime();
        case TFieldType::ftUnknown:
            break;
    }
    return a == b;
}
