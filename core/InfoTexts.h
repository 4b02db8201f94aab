#pragma once
// The program's info texts, kept in Data/Res/Texts.dat.
#include <QString>
#include <QStringList>

// Fills Lines with the info text labelled Label in Data/Res/Texts.dat: the lines after the
// block's label lines (several "[label]" lines may open one block) up to the next line that
// begins with "[". The file is read on first use. An unknown label raises
// "Etikett "%s" kunde inte hittas vid SetInfoText".
void SetInfoText(const QString& label, QStringList& lines);
