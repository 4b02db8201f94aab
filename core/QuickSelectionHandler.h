#pragma once
// The user's quick selection over the species: which conditions the species list is
// narrowed by. The main window holds the one handler; the data module reads it from the
// settings and builds the species selection from it. Kept free of widget headers so that
// the data layer can use it.
#include <QString>

struct TQuickSelectionHandler {
    bool Complete = false;
    bool CompleteLocked = false;
    bool SwedishName = false;
    bool SwedishNameLocked = false;
    bool Edible = false;
    bool HasPicture = false;
    QString CountryPart = QStringLiteral("00000000");  // one "0"/"1" per region
    QString Season = QStringLiteral("000000000000");  // one per month
    QString Habitat = QStringLiteral("000000000000000");  // one per habitat
    QString FungiGroup;  // empty for all groups

    // Clears every condition but those the user has locked.
    void Reset() {
        if (!CompleteLocked) Complete = false;
        if (!SwedishNameLocked) SwedishName = false;
        Edible = false;
        HasPicture = false;
        CountryPart = QStringLiteral("00000000");
        Season = QStringLiteral("000000000000");
        Habitat = QStringLiteral("000000000000000");
        FungiGroup.clear();
    }
    bool operator==(const TQuickSelectionHandler&) const = default;
};
