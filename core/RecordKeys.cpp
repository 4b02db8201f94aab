// Record keys and time codes: letter numbers, the time code of the local clock, and the
// small routines that read and find keys on any dataset.
#include <QDateTime>
#include <random>

#include "core/ExtClientDataSet.h"
#include "platform/Clock.h"

namespace {

constexpr quint64 kMsPerDay = 86'400'000ULL;
constexpr quint64 kMsPerMonth = 31ULL * kMsPerDay;  // every month counts 31 days
constexpr quint64 kMsPerYear = 372ULL * kMsPerDay;  // and every year 12 such months

std::function<quint32()>& RandomSourceOverride() {
    static std::function<quint32()> source;
    return source;
}

quint32 BuiltInRandom(quint32 bound) {
    // Seeded once, from the clock, the first time a key is made.
    static std::mt19937_64 generator(static_cast<quint64>(Clock::Now().toMSecsSinceEpoch()) ^
                                     (Clock::TickCount() << 20));
    std::uniform_int_distribution<quint32> pick(0, bound - 1);
    return pick(generator);
}

}  // namespace

QString LettersFromNumber(qint64 width, quint64 value) {
    // Repeated division by 26: no power of 26 is ever formed, so every 64-bit value works.
    QChar letters[16];  // 26^14 > 2^64, so 14 letters always suffice
    int count = 0;
    do {
        letters[count++] = QChar(u'A' + static_cast<char16_t>(value % 26));
        value /= 26;
    } while (value != 0);
    const qint64 pad = width > count ? width - count : 0;
    QString result;
    result.reserve(static_cast<qsizetype>(pad) + count);
    result.fill(u'A', static_cast<qsizetype>(pad));
    while (count > 0) result.append(letters[--count]);
    return result;
}

QString MakeTimeCode(int width) {
    const QDateTime now = Clock::Now().toLocalTime();
    const QDate date = now.date();
    const QTime time = now.time();
    if (!date.isValid() || date.year() < 2000)
        throw Exception(QStringLiteral("Check the date of your Operating System. Year < 2000"));
    const quint64 count = static_cast<quint64>(date.year() - 2000) * kMsPerYear +
        static_cast<quint64>(date.month()) * kMsPerMonth + static_cast<quint64>(date.day()) * kMsPerDay +
        static_cast<quint64>(time.hour()) * 3'600'000ULL + static_cast<quint64>(time.minute()) * 60'000ULL +
        static_cast<quint64>(time.second()) * 1'000ULL + static_cast<quint64>(time.msec());
    return LettersFromNumber(width, count);
}

void SetUKeyRandomSource(std::function<quint32()> source) { RandomSourceOverride() = std::move(source); }

quint32 DrawUKeyRandom() {
    constexpr quint32 kRange = 456'976;  // 26^4
    if (const auto& source = RandomSourceOverride()) return source() % kRange;
    return BuiltInRandom(kRange);
}

QString GetUKey(TClientDataSet* dataSet) {
    if (dataSet == nullptr || !dataSet->Active()) return QString();
    return dataSet->FieldByName(QStringLiteral("UKey"))->AsString();
}

bool LocateUKey(TClientDataSet* dataSet, const QString& ukey) {
    if (dataSet == nullptr || !dataSet->Active()) return false;
    if (!dataSet->IsEmpty() && GetUKey(dataSet) == ukey) return true;
    return dataSet->Locate(QStringLiteral("UKey"), ukey);
}

void EditUKey(TClientDataSet* dataSet, const QString& ukey, bool disableControls) {
    if (dataSet == nullptr || dataSet->State() != TDataSetState::dsBrowse)
        throw Exception(QStringLiteral("Dataset not in BROWSE state"));
    if (disableControls) dataSet->DisableControls();
    struct Enable {
        TClientDataSet* ds;
        bool on;
        ~Enable() {
            if (on) ds->EnableControls();
        }
    } enable{dataSet, disableControls};
    if (!LocateUKey(dataSet, ukey)) throw Exception(QStringLiteral("Record with matching UKey not found"));
    dataSet->Edit();
}

static QString OptionalFieldText(TClientDataSet* dataSet, const QString& name) {
    if (dataSet == nullptr || !dataSet->Active()) return QString();
    const TField* field = dataSet->FindField(name);
    return field ? field->AsString() : QString();
}

QString GetMasterUKey(TClientDataSet* dataSet) { return OptionalFieldText(dataSet, QStringLiteral("MasterUkey")); }

QString GetCreatedBy(TClientDataSet* dataSet) { return OptionalFieldText(dataSet, QStringLiteral("CreatedBy")); }

bool IsValidRecordKey(const QString& key, const QString& datasetId) {
    if (key.size() != 18 || datasetId.isEmpty() || !key.startsWith(datasetId)) return false;
    for (QChar c : key)
        if (!((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'))) return false;
    return true;
}

void CheckRecordKey(const QString& key, const QString& datasetId) {
    if (!IsValidRecordKey(key, datasetId)) throw Exception(QStringLiteral("Ogiltig postnyckel \"%1\"").arg(key));
}
