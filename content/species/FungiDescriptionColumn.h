#pragma once
// The species frame's description column: the rows of a completed description, each label
// with its field, the spore panel that opens and closes, the free text and the user's notes,
// stacked from the top in the order of the description and shown only where the species has
// them. TframeFungi builds the column once (SetupColumn) and lays it out for each species
// (LayoutColumn); those members are defined in FungiDescriptionColumn.cpp.
#include <QScrollArea>
#include <functional>

// The column's measures: where the labels and the fields begin, its least width and the
// heights of the spore panel closed and open.
inline constexpr int kLabelX = 4;
inline constexpr int kFieldX = 140;
inline constexpr int kColumnWidth = 410;
inline constexpr int kSporesClosed = 18;
inline constexpr int kSporesOpen = 213;

// The description column widens with its viewport, never below its own width.
class TColumnScroll : public QScrollArea {
public:
    using QScrollArea::QScrollArea;
    std::function<void()> OnResize;

protected:
    void resizeEvent(QResizeEvent* e) override;
};
