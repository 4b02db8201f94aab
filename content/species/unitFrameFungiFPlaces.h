#pragma once
// The places of the user's own excursions at which the current species was found.
#include "content/species/unitFungiSubLists.h"

class TframeFungiFPlaces : public TframeFungiList {
    Q_OBJECT
public:
    explicit TframeFungiFPlaces(QWidget* parent = nullptr);
    void UpdateButtons() override;
    // Rebuilds the places of every species from the places, visits and finds.
    void btnUpdateClick();

    QToolButton* sbtnUpdate = nullptr;

protected:
    void EntryDoubleClick(int row) override;
};
