#include "platform/RecordValues.h"

#include <QDate>
#include <QDateTime>
#include <QStringConverter>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/FieldOrder.h"
#include "platform/FieldValue.h"

// The block: this header, the slots, the null bits (a set bit is an empty field), the
// characters of the texts.
struct TRecordValues::Block {
    std::atomic<int> ref;
    unsigned count : 31;
    unsigned latin1 : 1;

    std::uint64_t* Slots() { return reinterpret_cast<std::uint64_t*>(this + 1); }
    const std::uint64_t* Slots() const { return reinterpret_cast<const std::uint64_t*>(this + 1); }
    const std::uint32_t* Nulls() const { return reinterpret_cast<const std::uint32_t*>(Slots() + count); }
    std::uint32_t* Nulls() { return reinterpret_cast<std::uint32_t*>(Slots() + count); }
    const void* Text() const { return Nulls() + NullWords(int(count)); }
    void* Text() { return Nulls() + NullWords(int(count)); }

    static int NullWords(int count) { return (count + 31) / 32; }
    // The texts are kept one byte a character when every character is Latin-1.
    static Block* MakeNarrow(int count, const std::uint64_t* slots, const std::uint32_t* nulls, const char* text,
                             std::size_t textLength) {
        const std::size_t size = sizeof(Block) + sizeof(std::uint64_t) * std::size_t(count) +
            sizeof(std::uint32_t) * std::size_t(NullWords(count)) + textLength;
        void* memory = std::malloc(size);
        if (!memory) throw std::bad_alloc();
        auto* b = new (memory) Block{{1}, unsigned(count), 1u};
        if (count > 0) {
            std::memcpy(b->Slots(), slots, sizeof(std::uint64_t) * std::size_t(count));
            std::memcpy(b->Nulls(), nulls, sizeof(std::uint32_t) * std::size_t(NullWords(count)));
        }
        if (textLength > 0) std::memcpy(b->Text(), text, textLength);
        return b;
    }
    static Block* Make(int count, const std::uint64_t* slots, const std::uint32_t* nulls, const char16_t* text,
                       std::size_t textLength, bool narrow) {
        static_assert(sizeof(Block) == 8 && alignof(Block) <= 8);
        const std::size_t size = sizeof(Block) + sizeof(std::uint64_t) * std::size_t(count) +
            sizeof(std::uint32_t) * std::size_t(NullWords(count)) + (narrow ? 1 : sizeof(char16_t)) * textLength;
        void* memory = std::malloc(size);
        if (!memory) throw std::bad_alloc();
        auto* b = new (memory) Block{{1}, unsigned(count), narrow ? 1u : 0u};
        if (count > 0) {
            std::memcpy(b->Slots(), slots, sizeof(std::uint64_t) * std::size_t(count));
            std::memcpy(b->Nulls(), nulls, sizeof(std::uint32_t) * std::size_t(NullWords(count)));
        }
        if (narrow) {
            auto* out = static_cast<unsigned char*>(b->Text());
            for (std::size_t i = 0; i < textLength; ++i) out[i] = static_cast<unsigned char>(text[i]);
        } else if (textLength > 0) {
            std::memcpy(b->Text(), text, sizeof(char16_t) * textLength);
        }
        return b;
    }
    static void Release(Block* b) {
        if (b && b->ref.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            b->~Block();
            std::free(b);
        }
    }
};

TRecordValues::TRecordValues(const TRecordValues& other) noexcept : m_block(other.m_block) {
    if (m_block) m_block->ref.fetch_add(1, std::memory_order_relaxed);
}

// Safe on itself: the other block is counted before this one is released.
// NOLINTNEXTLINE(bugprone-unhandled-self-assignment)
TRecordValues& TRecordValues::operator=(const TRecordValues& other) noexcept {
    if (other.m_block) other.m_block->ref.fetch_add(1, std::memory_order_relaxed);
    Block::Release(m_block);
    m_block = other.m_block;
    return *this;
}

TRecordValues& TRecordValues::operator=(TRecordValues&& other) noexcept {
    if (this != &other) {
        Block::Release(m_block);
        m_block = other.m_block;
        other.m_block = nullptr;
    }
    return *this;
}

TRecordValues::~TRecordValues() { Block::Release(m_block); }

int TRecordValues::Count() const { return m_block ? int(m_block->count) : 0; }

bool TRecordValues::IsNull(int field) const {
    if (!m_block || field < 0 || field >= int(m_block->count)) return true;
    return (m_block->Nulls()[field / 32] >> (field % 32)) & 1u;
}

bool TRecordValues::TextIsLatin1() const { return m_block->latin1; }

const void* TRecordValues::TextData(int field, qsizetype* length) const {
    const std::uint64_t slot = m_block->Slots()[field];
    *length = qsizetype(slot >> 32);
    const std::size_t offset = std::uint32_t(slot);
    if (m_block->latin1) return static_cast<const char*>(m_block->Text()) + offset;
    return static_cast<const char16_t*>(m_block->Text()) + offset;
}

namespace {
QString TextOf(QLatin1String text) { return QString(text); }
QString TextOf(QStringView text) { return text.toString(); }
}  // namespace

QString TRecordValues::Text(int field) const {
    return VisitText(field, [](auto text) { return TextOf(text); });
}

bool TRecordValues::TextEquals(int field, const QString& text) const {
    return VisitText(field, [&](auto own) { return own == text; });
}

qint64 TRecordValues::Number(int field) const { return qint64(m_block->Slots()[field]); }

double TRecordValues::Float(int field) const {
    double value;
    std::memcpy(&value, &m_block->Slots()[field], sizeof value);
    return value;
}

QVariant TRecordValues::Value(int field, TFieldType type) const {
    if (IsNull(field)) return QVariant();
    switch (type) {
        case TFieldType::ftString:
            return QVariant(Text(field));
        case TFieldType::ftInteger:
            return QVariant(int(Number(field)));
        case TFieldType::ftBoolean:
            return QVariant(Number(field) != 0);
        case TFieldType::ftFloat:
            return QVariant(Float(field));
        case TFieldType::ftDate:
            return QVariant(QDate::fromJulianDay(Number(field)));
        case TFieldType::ftDateTime:
            return QVariant(QDateTime::fromMSecsSinceEpoch(Number(field), Qt::LocalTime));
        case TFieldType::ftUnknown:
            break;
    }
    return QVariant();
}

TRecordValues TRecordValues::FromVariants(const QVector<QVariant>& values, const TFieldDefs& defs) {
    Builder b;
    const int n = int(defs.size());
    b.Start(n);
    for (int i = 0; i < n && i < values.size(); ++i) {
        const QVariant& v = values.at(i);
        if (v.isNull() || !v.isValid()) continue;
        switch (defs.at(i).DataType) {
            case TFieldType::ftString:
                if (v.typeId() == QMetaType::QString)
                    b.SetText(i, *static_cast<const QString*>(v.constData()));
                else
                    b.SetText(i, v.toString());
                break;
            case TFieldType::ftInteger:
                b.SetNumber(i, v.toInt());
                break;
            case TFieldType::ftBoolean:
                b.SetNumber(i, v.toBool() ? 1 : 0);
                break;
            case TFieldType::ftFloat:
                b.SetFloat(i, v.toDouble());
                break;
            case TFieldType::ftDate: {
                const QDate d = v.toDate();
                if (d.isValid()) b.SetNumber(i, d.toJulianDay());
                break;
            }
            case TFieldType::ftDateTime: {
                const QDateTime dt = v.toDateTime();
                if (dt.isValid()) b.SetNumber(i, dt.toMSecsSinceEpoch());
                break;
            }
            case TFieldType::ftUnknown:
                break;
        }
    }
    return b.Finish();
}

QVector<QVariant> TRecordValues::ToVariants(const TFieldDefs& defs) const {
    const int n = int(defs.size());
    QVector<QVariant> out(n);
    for (int i = 0; i < n && i < Count(); ++i) out[i] = Value(i, defs.at(i).DataType);
    return out;
}

namespace {
template <typename T>
int Cmp(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}
}  // namespace

int TRecordValues::Compare(const TRecordValues& a, const TRecordValues& b, int field, TFieldType type) {
    const bool na = a.IsNull(field);
    const bool nb = b.IsNull(field);
    if (na || nb) return na == nb ? 0 : (na ? -1 : 1);
    switch (type) {
        case TFieldType::ftString:
            return a.VisitText(
                field, [&](auto x) { return b.VisitText(field, [&](auto y) { return CompareFieldText(x, y); }); });
        case TFieldType::ftInteger:
        case TFieldType::ftBoolean:
        case TFieldType::ftDate:
        case TFieldType::ftDateTime:
            return Cmp(a.Number(field), b.Number(field));
        case TFieldType::ftFloat:
            return Cmp(a.Float(field), b.Float(field));
        case TFieldType::ftUnknown:
            break;
    }
    return 0;
}

QString TRecordValues::KeyText(int field, TFieldType type) const {
    if (type == TFieldType::ftString) return Text(field);
    return FieldKeyText(Value(field, type), type);
}

// ---- Builder ----

void TRecordValues::Builder::Start(int count) {
    m_count = count;
    m_slots.assign(std::size_t(count), 0);
    m_nulls.assign(std::size_t(Block::NullWords(count)), ~std::uint32_t(0));
    m_narrowSize = 0;
    m_text.clear();
    m_wide = false;
}

// Room for that many more bytes after the texts so far.
char* TRecordValues::Builder::NarrowRoom(std::size_t bytes) {
    if (m_narrowText.size() < m_narrowSize + bytes)
        m_narrowText.resize(std::max(2 * m_narrowText.size(), m_narrowSize + bytes));
    return m_narrowText.data() + m_narrowSize;
}

namespace {
bool AnyBeyondLatin1(const char16_t* text, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i)
        if (text[i] >= 0x100) return true;
    return false;
}
}  // namespace

void TRecordValues::Builder::SetNumber(int field, qint64 value) {
    m_slots[std::size_t(field)] = std::uint64_t(value);
    m_nulls[std::size_t(field / 32)] &= ~(std::uint32_t(1) << (field % 32));
}

void TRecordValues::Builder::SetFloat(int field, double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    m_slots[std::size_t(field)] = bits;
    m_nulls[std::size_t(field / 32)] &= ~(std::uint32_t(1) << (field % 32));
}

// The texts so far become two bytes a character; places and lengths stay as they are.
void TRecordValues::Builder::Widen() {
    m_text.resize(m_narrowSize);
    for (std::size_t i = 0; i < m_narrowSize; ++i) m_text[i] = char16_t(static_cast<unsigned char>(m_narrowText[i]));
    m_narrowSize = 0;
    m_wide = true;
}

void TRecordValues::Builder::AddWide(int field, const char16_t* text, std::size_t length) {
    const std::size_t offset = m_text.size();
    m_text.insert(m_text.end(), text, text + length);
    m_slots[std::size_t(field)] = std::uint64_t(offset) | (std::uint64_t(length) << 32);
    m_nulls[std::size_t(field / 32)] &= ~(std::uint32_t(1) << (field % 32));
}

void TRecordValues::Builder::SetText(int field, QStringView text, int width) {
    qsizetype length = text.size();
    if (width > 0 && length > width) length = width;
    const char16_t* chars = text.utf16();
    if (!m_wide && AnyBeyondLatin1(chars, std::size_t(length))) Widen();
    if (m_wide) {
        AddWide(field, chars, std::size_t(length));
        return;
    }
    const std::size_t offset = m_narrowSize;
    char* out = NarrowRoom(std::size_t(length));
    for (qsizetype i = 0; i < length; ++i) out[i] = char(chars[i]);
    m_narrowSize += std::size_t(length);
    m_slots[std::size_t(field)] = std::uint64_t(offset) | (std::uint64_t(length) << 32);
    m_nulls[std::size_t(field / 32)] &= ~(std::uint32_t(1) << (field % 32));
}

void TRecordValues::Builder::SetUtf8(int field, const char* text, int bytes, int width) {
    // Plain ASCII and the two-byte forms of Latin-1 are read here; from anything else on the
    // decoder reads the rest, which turns broken sequences into replacement characters and
    // drops a leading byte order mark, as QString::fromUtf8 does. A text read so is the one
    // the decoder gives for the whole: what comes before is complete sequences.
    const auto* in = reinterpret_cast<const unsigned char*>(text);
    std::size_t decoded = 0;  // characters read here
    int i = 0;
    const std::size_t narrowOffset = m_narrowSize;
    if (!m_wide) {
        char* out = NarrowRoom(std::size_t(bytes));
        while (i < bytes) {
            // Eight bytes at a time while they are plain ASCII.
            if (i + 8 <= bytes) {
                std::uint64_t word;
                std::memcpy(&word, in + i, 8);
                if ((word & 0x8080808080808080ULL) == 0) {
                    std::memcpy(out + decoded, in + i, 8);
                    decoded += 8;
                    i += 8;
                    continue;
                }
            }
            const unsigned char c = in[i];
            if (c < 0x80) {
                out[decoded++] = char(c);
                ++i;
            } else if ((c == 0xC2 || c == 0xC3) && i + 1 < bytes && (in[i + 1] & 0xC0) == 0x80) {
                out[decoded++] = char(((c & 0x1F) << 6) | (in[i + 1] & 0x3F));
                i += 2;
            } else {
                break;
            }
        }
        if (i == bytes) {
            std::size_t length = decoded;
            if (width > 0 && length > std::size_t(width)) length = std::size_t(width);
            m_narrowSize = narrowOffset + length;
            m_slots[std::size_t(field)] = std::uint64_t(narrowOffset) | (std::uint64_t(length) << 32);
            m_nulls[std::size_t(field / 32)] &= ~(std::uint32_t(1) << (field % 32));
            return;
        }
    } else {
        // Plain ASCII only: its characters are its bytes.
        while (i < bytes && in[i] < 0x80) ++i;
        decoded = std::size_t(i);
    }
    // The rest through the decoder, after what was read here.
    std::vector<char16_t> chars(decoded);
    if (m_wide) {
        for (std::size_t k = 0; k < decoded; ++k) chars[k] = char16_t(in[k]);
    } else {
        for (std::size_t k = 0; k < decoded; ++k)
            chars[k] = char16_t(static_cast<unsigned char>(m_narrowText[narrowOffset + k]));
        m_narrowSize = narrowOffset;
    }
    if (i < bytes) {
        // A mark after the first character is an ordinary character.
        QStringDecoder decoder(QStringDecoder::Utf8,
                               i > 0 ? QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom
                                     : QStringDecoder::Flag::Stateless);
        const qsizetype room = decoder.requiredSpace(bytes - i);
        chars.resize(decoded + std::size_t(room));
        auto* start = reinterpret_cast<QChar*>(chars.data() + decoded);
        QChar* end = decoder.appendToBuffer(start, QByteArrayView(text + i, bytes - i));
        chars.resize(decoded + std::size_t(end - start));
    }
    std::size_t length = chars.size();
    if (width > 0 && length > std::size_t(width)) length = std::size_t(width);
    if (!m_wide && AnyBeyondLatin1(chars.data(), length)) Widen();
    if (m_wide) {
        AddWide(field, chars.data(), length);
        return;
    }
    const std::size_t offset = m_narrowSize;
    char* out = NarrowRoom(length);
    for (std::size_t k = 0; k < length; ++k) out[k] = char(chars[k]);
    m_narrowSize += length;
    m_slots[std::size_t(field)] = std::uint64_t(offset) | (std::uint64_t(length) << 32);
    m_nulls[std::size_t(field / 32)] &= ~(std::uint32_t(1) << (field % 32));
}

TRecordValues TRecordValues::Builder::Finish() {
    if (!m_wide)
        return TRecordValues(
            Block::MakeNarrow(m_count, m_slots.data(), m_nulls.data(), m_narrowText.data(), m_narrowSize));
    return TRecordValues(Block::Make(m_count, m_slots.data(), m_nulls.data(), m_text.data(), m_text.size(), false));
}
