#include "platform/ClientDataSet.h"
#include <QDate>
#include <QDateTime>
#include <QLocale>

QString FieldTypeName(TFieldType type) {
    switch (type) {
    case TFieldType::ftString: return QStringLiteral("String");
    case TFieldType::ftInteger: return QStringLiteral("Integer");
    case TFieldType::ftBoolean: return QStringLiteral("Boolean");
    case TFieldType::ftDate: return QStringLiteral("Date");
    case TFieldType::ftDateTime: return QStringLiteral("DateTime");
    case TFieldType::ftFloat: return QStringLiteral("Float");
    case TFieldType::ftUnknown: break;
    }
    return QStringLiteral("Unknown");
}

QString FieldValueText(const QVariant& value, TFieldType type) {
    if (value.isNull() || !value.isValid()) return QString();
    switch (type) {
    case TFieldType::ftString: return value.toString();
    case TFieldType::ftInteger: return QString::number(value.toInt());
    // 'g' with QLocale::FloatingPointShortest gives the shortest text that reads back exactly.
    case TFieldType::ftFloat: return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    case TFieldType::ftBoolean: return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case TFieldType::ftDate: return value.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case TFieldType::ftDateTime: return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    case TFieldType::ftUnknown: break;
    }
    return value.toString();
}
