#pragma once
// The data-aware colour bar: a horizontal gradient through a row of colour points, the
// colours of a species' cap, stem, flesh and so on.
//
// The field holds the points' colour numbers in decimal, joined by "|" ("255|65280" runs
// from red to green); an empty field has no points. A field is read all or nothing: one
// piece that is not a whole number (an empty piece, blanks, letters) leaves the bar without
// points and is reported as faulty data, and nothing is written back unless the user
// changes the bar. A number outside 0..16777215 is kept as stored and drawn with its low
// 24 bits.
//
// While its table is being edited, entering the bar widens it by a minus and a plus button
// at its sides and adds a row of markers under it, one per point; clicking a marker asks
// OnColorBarQuery for the point's new colour. Leaving writes a change to the record and
// returns the bar to its size.
#include <QPointer>
#include <QSize>
#include <QToolButton>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "controls/FRFieldLink.h"
#include "controls/FRGraphics.h"

class TFRDBColorbar;
class TSubtreeFocus;

// Lets the owner pick a colour for a point: AColor holds the point's colour and receives
// the new one.
using TOnColorbarQueryEvent = std::function<void(TFRDBColorbar* Sender, TColor& AColor)>;

// The marker button of a point; Tag is the point's index.
class TCBColorButton : public QToolButton {
    Q_OBJECT
public:
    explicit TCBColorButton(QWidget* parent = nullptr);
    int Tag = 0;
};

// One colour point with its marker button (owned by the bar's widget).
class TCBColor {
public:
    explicit TCBColor(QWidget* bar);
    ~TCBColor();
    TCBColor(const TCBColor&) = delete;
    TCBColor& operator=(const TCBColor&) = delete;
    TColor Color = 0xFFFFFF;
    TCBColorButton* Button() const { return m_button; }

private:
    QPointer<TCBColorButton> m_button;
};

// The bar's points, in order.
class TCBColors {
public:
    int Count() const { return int(m_items.size()); }
    TCBColor* Items(int index) const;
    TCBColor* Add(QWidget* bar);
    void Delete(int index);
    void Clear();

private:
    std::vector<std::unique_ptr<TCBColor>> m_items;
};

class TFRDBColorbar : public QWidget {
    Q_OBJECT
public:
    // The page-layout engine's colour bar holds no more points than this.
    static constexpr int MaxPoints = 20;

    explicit TFRDBColorbar(QWidget* parent = nullptr);
    ~TFRDBColorbar() override;

    // Width in pixels of one gradient stripe, 1..16; anything else raises
    // "Invalid FractionSize. Value must be between 1 and 16." and keeps the old value.
    int FractionSize() const { return m_fractionSize; }
    void SetFractionSize(int size);
    // Height of the marker row under the bar while editing.
    int SliderHeight() const { return m_sliderHeight; }
    void SetSliderHeight(int height);

    TDataSource* DataSource() const { return m_link.DataSource(); }
    void SetDataSource(TDataSource* source);
    QString DataField() const { return m_link.FieldName(); }
    void SetDataField(const QString& field);
    TFieldLink& Link() { return m_link; }

    TOnColorbarQueryEvent OnColorBarQuery;

    const TCBColors& Colors() const { return m_colors; }
    // The points as the field writes them.
    QString ColorsText() const;
    static QString ColorsText(const QList<TColor>& colors);
    // Whether the colours' text fits the bound field's width (any text fits a field without one).
    bool Fits(const QList<TColor>& colors) const;
    // The refusals of a point that would not fit the field, and of a write that would cut it.
    static const char* const NoRoomForPointText;
    static const char* const NoRoomForColorText;
    static const char* const TooLongText;
    // The colours of a field text; false when a piece is not a whole number.
    static bool ParseColors(const QString& text, QList<TColor>& colors);
    // Reads the field again; faulty data raises "Faulty data in Colorbar-field.
    // Datasource: %s, Field: %s" and leaves the bar without points.
    void ReadField();

    // The expanded editing look and the size the bar returns to.
    bool Expanded() const { return m_expanded; }
    QSize NormalSize() const;
    // Where the gradient is drawn inside the control.
    QRect BarRect() const;
    QToolButton* MinusButton() const { return m_minus; }
    QToolButton* PlusButton() const { return m_plus; }

    // What the buttons do: remove the last point, add a white one at the end, ask for a
    // point's colour. Each acts only when the table can be edited. A point or a colour whose
    // text would not fit the field is refused with a message: the field is never cut.
    void MinusClick();
    void PlusClick();
    void MarkerClick(int index);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void DataChange();
    void EditingChange();
    void Enter();
    void Leave();
    void Expand();
    void Collapse();
    void SetPoints(const QList<TColor>& colors);
    QList<TColor> PointColors() const;
    void WriteField();
    void LayoutButtons();
    QString FaultyDataMessage() const;

    TFieldLink m_link;
    TCBColors m_colors;
    TSubtreeFocus* m_focus = nullptr;
    QToolButton* m_minus = nullptr;
    QToolButton* m_plus = nullptr;
    int m_fractionSize = 4;
    int m_sliderHeight = 12;
    // The size to return to, remembered while expanded.
    QSize m_normal;
    bool m_expanded = false;
    // A faulty text already reported: reading it again (entering edit state) says nothing.
    bool m_reported = false;
    QString m_reportedText;
};
