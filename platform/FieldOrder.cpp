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
    case u'å': case u'Å': return 0x20000 + 2 * 26;
    case u'ä': case u'Ä': case u'æ': case u'Æ': return 0x20000 + 2 * 27;
    case u'ö': case u'Ö': case u'ø': case u'Ø': return 0x20000 + 2 * 28;
    case u'ü': case u'Ü': return 0x20000 + 2 * ('y' - 'a');
    case u'ß': return 0x20000 + 2 * ('s' - 'a') + 1;
    default: break;
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

int CompareFieldText(QStringView a, QStringView b) {
    const int n = int(std::min(a.size(), b.size()));
    const QChar* pa = a.constData();
    const QChar* pb = b.constData();
    for (int i = 0; i < n; ++i) {
        if (pa[i] == pb[i]) continue;
        const quint32 wa = Weight(pa[i]);
        const quint32 wb = Weight(pb[i]);
        if (wa != wb) return wa < wb ? -1 : 1;
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}


// Empty values come first.
int CompareFieldValues(const QVariant& a, const QVariant& b, TFieldType type) {
    const bool na = a.isNull();
    const bool nb = b.isNull();
    if (na || nb) return na == nb ? 0 : (na ? -1 : 1);
    switch (type) {
    case TFieldType::ftString: return CompareFieldText(a.toString(), b.toString());
    case TFieldType::ftInteger: return Cmp(a.toInt(), b.toInt());
    case TFieldType::ftBoolean: return Cmp(int(a.toBool()), int(b.toBool()));
    case TFieldType::ftFloat: return Cmp(a.toDouble(), b.toDouble());
    case TFieldType::ftDate: return Cmp(a.toDate(), b.toDate());
    case TFieldType::ftDateTime: return Cmp(a.toDateTime(), b.toDateTime());
    case TFieldType::ftUnknown: break;
    }
    return 0;
}

bool FieldValuesEqual(const QVariant& a, const QVariant& b, TFieldType type) {
    const bool na = a.isNull();
    const bool nb = b.isNull();
    if (na || nb) return na == nb;
    switch (type) {
    case TFieldType::ftString: return a.toString() == b.toString();
    case TFieldType::ftInteger: return a.toInt() == b.toInt();
    case TFieldType::ftBoolean: return a.toBool() == b.toBool();
    case TFieldType::ftFloat: return a.toDouble() == b.toDouble();
    case TFieldType::ftDate: return a.toDate() == b.toDate();
    case TFieldType::ftDateTime: return a.toDateTime() == b.toDateTime();
    case TFieldType::ftUnknown: break;
    }
    return a == b;
}
