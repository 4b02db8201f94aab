#pragma once
// The Swedish display names of the tables.
#include <QString>

// The Swedish display name of a table by its component name ("cdsFungi" gives
// "Artbeskrivningar"), compared without regard to case; empty for an unknown name.
QString GetDatasetDisplayName(const QString& name);
