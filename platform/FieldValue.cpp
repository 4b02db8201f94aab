#include "platform/FieldValue.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>

#include "platform/Exception.h"
#include "platform/TableFile.h"
QString FieldTypeName(TFieldType type) {
    switch (type) {
        case TFieldType::ftString:
            return QStringLiteral("String");
        case TFieldType::ftInteger:
            return QStringLiteral("Integer");
        case TFieldType::ftBoolean:
            return QStringLiteral("Boolean");
        case TFieldType::ftDate:
            return QStringLiteral("Date");
        case TFieldType::ftDateTime:
            return QStringLiteral("DateTime");
        case TFieldType::ftFloat:
            return QStringLiteral("Float");
        case TFieldType::ftUnknown:
            break;
    }
    return QStringLiteral("Unknown");
}

QString FieldValueText(const QVariant& value, TFieldType type) {
    if (value.isNull() || !value.isValid()) return QString();
    switch (type) {
        case TFieldType::ftString:
            return value.toString();
        case TFieldType::ftInteger:
            return QString::number(value.toInt());
        // 'g' with QLocale::FloatingPointShortest gives the shortest text that reads back exactly.
        case TFieldType::ftFloat:
            return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
        case TFieldType::ftBoolean:
            return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
        case TFieldType::ftDate:
            return value.toDate().toString(QStringLiteral("yyyy-MM-dd"));
        case TFieldType::ftDateTime:
            return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        case TFieldType::ftUnknown:
            break;
    }
    return value.toString();
}

namespace {

// ---- Value conversion ----

QString RawText(const QVariant& value) {
    switch (value.typeId()) {
        case QMetaType::QDate:
            return FieldValueText(value, TFieldType::ftDate);
        case QMetaType::QDateTime:
            return FieldValueText(value, TFieldType::ftDateTime);
        case QMetaType::Bool:
            return FieldValueText(value, TFieldType::ftBoolean);
        case QMetaType::Double:
        case QMetaType::Float:
            return FieldValueText(value, TFieldType::ftFloat);
        default:
            return value.toString();
    }
}

bool IsNumber(const QVariant& value) {
    switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::Double:
        case QMetaType::Float:
            return true;
        default:
            return false;
    }
}

bool IsText(const QVariant& value) {
    return value.typeId() == QMetaType::QString || value.typeId() == QMetaType::QByteArray ||
        value.typeId() == QMetaType::QChar;
}

[[noreturn]] void FailConvert(const QVariant& value, const char* what) {
    throw Exception(QStringLiteral("'%1' is not a valid %2").arg(RawText(value), QLatin1String(what)));
}

QDateTime ParseDateTime(const QString& text) {
    static const char* const forms[] = {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd HH:mm:ss.zzz", "yyyy-MM-ddTHH:mm:ss",
                                        "yyyy-MM-ddTHH:mm:ss.zzz", "yyyy-MM-dd HH:mm"};
    for (const char* form : forms) {
        const QDateTime dt = QDateTime::fromString(text, QLatin1String(form));
        if (dt.isValid()) return dt;
    }
    const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (date.isValid()) return date.startOfDay();
    return QDateTime();
}

// Converts any value to the stored form of a field type; null stays null, an empty
// text is null. Raises when the value does not convert.
}  // namespace

QVariant ConvertFieldValue(const QVariant& value, TFieldType type, int size) {
    if (!value.isValid() || value.isNull()) return QVariant();
    const bool text = IsText(value);
    const QString trimmed = text ? value.toString().trimmed() : QString();
    switch (type) {
        case TFieldType::ftString: {
            QString s = text ? value.toString() : RawText(value);
            if (size > 0 && s.size() > size) s.truncate(size);
            if (s.isEmpty()) return QVariant();
            return s;
        }
        case TFieldType::ftInteger: {
            if (value.typeId() == QMetaType::Bool) return QVariant(value.toBool() ? 1 : 0);
            if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float) {
                const double r = std::nearbyint(value.toDouble());
                if (!std::isfinite(r) || r < double(std::numeric_limits<int>::min()) ||
                    r > double(std::numeric_limits<int>::max()))
                    FailConvert(value, "integer value");
                return QVariant(int(r));
            }
            if (IsNumber(value)) {
                bool ok = false;
                const qlonglong n = value.toLongLong(&ok);
                if (!ok || n < std::numeric_limits<int>::min() || n > std::numeric_limits<int>::max())
                    FailConvert(value, "integer value");
                return QVariant(int(n));
            }
            if (text) {
                if (trimmed.isEmpty()) return QVariant();
                bool ok = false;
                const int n = trimmed.toInt(&ok, 10);
                if (!ok) FailConvert(value, "integer value");
                return QVariant(n);
            }
            FailConvert(value, "integer value");
        }
        case TFieldType::ftFloat: {
            double f = 0;
            if (value.typeId() == QMetaType::Bool) {
                f = value.toBool() ? 1 : 0;
            } else if (IsNumber(value)) {
                f = value.toDouble();
            } else if (text) {
                if (trimmed.isEmpty()) return QVariant();
                bool ok = false;
                f = QLocale::c().toDouble(trimmed, &ok);
                if (!ok && trimmed.count(QLatin1Char(',')) == 1 && !trimmed.contains(QLatin1Char('.')))
                    f = QLocale::c().toDouble(QString(trimmed).replace(QLatin1Char(','), QLatin1Char('.')), &ok);
                if (!ok) FailConvert(value, "floating point value");
            } else {
                FailConvert(value, "floating point value");
            }
            if (std::isnan(f)) FailConvert(value, "floating point value");
            return QVariant(f);
        }
        case TFieldType::ftBoolean: {
            if (value.typeId() == QMetaType::Bool) return QVariant(value.toBool());
            if (IsNumber(value)) return QVariant(value.toDouble() != 0);
            if (text) {
                if (trimmed.isEmpty()) return QVariant();
                const QString t = trimmed.toLower();
                if (t == QLatin1String("true") || t == QLatin1String("t") || t == QLatin1String("yes") ||
                    t == QLatin1String("y") || t == QLatin1String("1"))
                    return QVariant(true);
                if (t == QLatin1String("false") || t == QLatin1String("f") || t == QLatin1String("no") ||
                    t == QLatin1String("n") || t == QLatin1String("0"))
                    return QVariant(false);
            }
            FailConvert(value, "boolean value");
        }
        case TFieldType::ftDate: {
            if (value.typeId() == QMetaType::QDate) {
                const QDate d = value.toDate();
                return d.isValid() ? QVariant(d) : QVariant();
            }
            if (value.typeId() == QMetaType::QDateTime) {
                const QDateTime dt = value.toDateTime();
                return dt.isValid() ? QVariant(dt.date()) : QVariant();
            }
            if (text) {
                if (trimmed.isEmpty()) return QVariant();
                QDate d = QDate::fromString(trimmed, QStringLiteral("yyyy-MM-dd"));
                if (!d.isValid()) d = ParseDateTime(trimmed).date();
                if (d.isValid()) return QVariant(d);
            }
            FailConvert(value, "date");
        }
        case TFieldType::ftDateTime: {
            if (value.typeId() == QMetaType::QDateTime) {
                const QDateTime dt = value.toDateTime();
                return dt.isValid() ? QVariant(dt.toLocalTime()) : QVariant();
            }
            if (value.typeId() == QMetaType::QDate) {
                const QDate d = value.toDate();
                return d.isValid() ? QVariant(d.startOfDay()) : QVariant();
            }
            if (text) {
                if (trimmed.isEmpty()) return QVariant();
                const QDateTime dt = ParseDateTime(trimmed);
                if (dt.isValid()) return QVariant(dt);
            }
            FailConvert(value, "date and time");
        }
        case TFieldType::ftUnknown:
            break;
    }
    return value;
}

// The exact key of a non-empty value for the hash indexes.
QString FieldKeyText(const QVariant& value, TFieldType type) {
    if (type == TFieldType::ftString) return value.toString();
    if (type == TFieldType::ftDateTime) return TableFile::DateTimeText(value.toDateTime());
    return FieldValueText(value, type);
}
