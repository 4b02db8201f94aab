// Random text as the selection lines, matched against a fixed set of records. Only the
// program's Exception may come out, and keeping field indexes for a layout must never change
// an outcome.
#include <cstdint>
#include <cstdlib>

#include <QDate>

#include "core/SelLanguage.h"

namespace {

const QStringList kNames{"Name", "FungiGroup", "Count", "Weight", "HasPic", "Found", "Color", "Season"};
const QList<TFieldType> kTypes{TFieldType::ftString, TFieldType::ftString,  TFieldType::ftInteger,
                               TFieldType::ftFloat,  TFieldType::ftBoolean, TFieldType::ftDate,
                               TFieldType::ftString, TFieldType::ftString};

class Record : public TSelRecord {
public:
    Record(QVariantList values, quintptr id) : m_values(std::move(values)), m_id(id) {}
    int FieldIndex(const QString& name) const override {
        for (int i = 0; i < kNames.size(); ++i)
            if (kNames[i].compare(name, Qt::CaseInsensitive) == 0) return i;
        return -1;
    }
    TFieldType FieldType(int index) const override { return kTypes[index]; }
    QVariant FieldValue(int index) const override { return m_values[index]; }
    quintptr LayoutId() const override { return m_id; }

private:
    QVariantList m_values;
    quintptr m_id;
};

const QList<QVariantList>& Values() {
    static const QList<QVariantList> values{
        {"Karljohan", "A", 5, 2.5, true, QDate(2023, 8, 15), "255", "000000123000"},
        {"Kantarell", "B", 0, -1.25, false, QVariant(), "255|65280|16711680", "000001111100"},
        {"", "", QVariant(), QVariant(), QVariant(), QVariant(), "", ""},
        {"Say \"hi\"", "ßå", -7, 1e300, true, QDate(2000, 1, 1), "12|x", "1"},
    };
    return values;
}

// "T", "F" or the message raised.
QString Outcome(const TSelExpression& sel, const TSelRecord& record) {
    try {
        return sel.Match(record) ? QStringLiteral("T") : QStringLiteral("F");
    } catch (const Exception& e) {
        return e.Message();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QStringList lines =
        QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)).split(QLatin1Char('\n'));
    const TSelExpression fresh(lines);
    const TSelExpression kept(lines);
    for (const QVariantList& values : Values()) {
        const QString expected = Outcome(fresh, Record(values, 0));
        if (Outcome(kept, Record(values, 1)) != expected) std::abort();
        if (Outcome(kept, Record(values, 1)) != expected) std::abort();
    }
    return 0;
}
