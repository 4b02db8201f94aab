#pragma once
// The stored values of one record, compact and typed, in one block of memory: a slot of
// 8 bytes per field (integers, Booleans and floats as numbers, dates as Julian days,
// date-times as milliseconds since the epoch, texts as the place and length of their
// characters further on in the block), a null bit per field, then the characters of the
// record's texts: one byte each when every one of them is Latin-1, else UTF-16. A block never changes once built; copies of a record's values share it,
// and a changed record gets a block of its own.
//
// Values come out as the field's stored QVariant: QString (ftString), int (ftInteger),
// bool (ftBoolean), QDate (ftDate), QDateTime in local time (ftDateTime), double (ftFloat);
// an empty field is a null QVariant.
#include <QString>
#include <QLatin1String>
#include <QStringView>
#include <QVariant>
#include <QVector>

#include <cstdint>
#include <vector>

#include "platform/DataSetTypes.h"

class TRecordValues {
public:
    TRecordValues() = default;
    TRecordValues(const TRecordValues& other) noexcept;
    TRecordValues(TRecordValues&& other) noexcept : m_block(other.m_block) { other.m_block = nullptr; }
    TRecordValues& operator=(const TRecordValues& other) noexcept;
    TRecordValues& operator=(TRecordValues&& other) noexcept;
    ~TRecordValues();

    // Values in stored form (as a field's assignment leaves them), one per field.
    static TRecordValues FromVariants(const QVector<QVariant>& values, const TFieldDefs& defs);
    QVector<QVariant> ToVariants(const TFieldDefs& defs) const;

    int Count() const;
    bool IsNull(int field) const;
    QVariant Value(int field, TFieldType type) const;
    // Typed reads of a non-empty field of that type. A text comes as QLatin1String or as
    // QStringView, whichever the block holds, to the given function.
    template <typename Visit>
    decltype(auto) VisitText(int field, Visit&& visit) const {
        qsizetype length = 0;
        const void* data = TextData(field, &length);
        if (TextIsLatin1()) return visit(QLatin1String(static_cast<const char*>(data), length));
        return visit(QStringView(static_cast<const char16_t*>(data), length));
    }
    QString Text(int field) const;
    bool TextEquals(int field, const QString& text) const;
    qint64 Number(int field) const;  // integers, Booleans, Julian days, milliseconds
    double Float(int field) const;

    // Orders two records' values of one field as the field order does (empty first).
    static int Compare(const TRecordValues& a, const TRecordValues& b, int field, TFieldType type);
    // The exact key of a non-empty value for the hash indexes.
    QString KeyText(int field, TFieldType type) const;

    // Builds one record's values field by field; fields not set stay empty.
    class Builder {
    public:
        void Start(int count);
        void SetNumber(int field, qint64 value);
        void SetFloat(int field, double value);
        // Texts longer than width (when above 0) are cut to it.
        void SetText(int field, QStringView text, int width = 0);
        void SetUtf8(int field, const char* text, int bytes, int width = 0);
        TRecordValues Finish();

    private:
        // The texts stay one byte a character until one beyond Latin-1 comes.
        void Widen();
        void AddWide(int field, const char16_t* text, std::size_t length);
        int m_count = 0;
        bool m_wide = false;  // a text character beyond Latin-1: the texts are in m_text
        std::vector<std::uint64_t> m_slots;
        std::vector<std::uint32_t> m_nulls;
        // While every character is Latin-1: the texts are the first m_narrowSize bytes; the
        // buffer keeps its size from record to record.
        std::vector<char> m_narrowText;
        std::size_t m_narrowSize = 0;
        char* NarrowRoom(std::size_t bytes);
        std::vector<char16_t> m_text;
    };

private:
    struct Block;
    bool TextIsLatin1() const;
    const void* TextData(int field, qsizetype* length) const;
    explicit TRecordValues(Block* block) : m_block(block) {}
    Block* m_block = nullptr;
};
