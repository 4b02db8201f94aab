#pragma once
// The order of field values: Swedish alphabetical order for text (case and accents aside,
// Å, Ä and Ö after Z), empty values first.
#include <QLatin1String>
#include <QString>
#include <QStringView>
#include <QVariant>

#include "platform/DataSetTypes.h"

int CompareFieldText(QStringView a, QStringView b);
int CompareFieldText(QLatin1String a, QLatin1String b);
int CompareFieldText(QLatin1String a, QStringView b);
int CompareFieldText(QStringView a, QLatin1String b);
// Below 0, 0 or above 0 as a sorts before, with or after b.
int CompareFieldValues(const QVariant& a, const QVariant& b, TFieldType type);
bool FieldValuesEqual(const QVariant& a, const QVariant& b, TFieldType type);
