#pragma once
// A grid of short texts, each cell of which can be selected. Limits on the number of
// selected cells make it a radio group (MinSelected = MaxSelected = 1), an optional single
// choice (0 and 1) or a free multiple choice (MaxSelected 0). The data-aware twin keeps the
// selection in a field: one "0"/"1" per item, or with MaxSelected 1 the index of the chosen
// item, -1 when none is chosen.
//
// A cell is (ColWidth + 1) x (ItemHeight + 1) pixels with its one-pixel gap; the control
// sizes itself to the grid: (ColWidth + 1) x ColCount - 1 wide, Rows x (ItemHeight + 1) - 1
// high, where Rows = (n - 1) div ColCount + 1 and never below one.
#include <QList>
#include <QStringList>
#include <QWidget>
#include <functional>

#include "controls/FRFieldLink.h"
#include "controls/FRGraphics.h"

// How the items are numbered: row by row, or column by column.
enum class TItemOrder { ioHorizontal, ioVertical };

class TFRMultiChoice : public QWidget {
    Q_OBJECT
public:
    explicit TFRMultiChoice(QWidget* parent = nullptr);

    QStringList Items() const { return m_items; }
    // New items clear the whole selection state and size the control anew.
    void SetItems(const QStringList& items);
    // Values parallel to the items, kept for the owner.
    QStringList Values;

    int ColCount() const { return m_colCount; }
    void SetColCount(int count);  // below 1 is ignored
    int ColWidth() const { return m_colWidth; }
    void SetColWidth(int width);  // below 9 is ignored
    int ItemHeight() const { return m_itemHeight; }
    void SetItemHeight(int height);  // below 9 is ignored
    TItemOrder ItemOrder() const { return m_itemOrder; }
    void SetItemOrder(TItemOrder order);
    int Rows() const;

    // The selection never drops below MinSelected through deselection; MaxSelected 0 means
    // no upper limit. A setter that would cross the other limit raises and keeps its value.
    int MinSelected() const { return m_minSelected; }
    void SetMinSelected(int value);
    int MaxSelected() const { return m_maxSelected; }
    void SetMaxSelected(int value);

    // In a one-of-one control, moving the current cell with the keys selects it.
    bool MarkOnContact = true;
    TColor SelectedColor() const { return m_selectedColor; }
    void SetSelectedColor(TColor color);
    // The fill of cells not selected and the colour of their text.
    TColor Color() const { return m_color; }
    void SetColor(TColor color);
    TColor FontColor() const { return m_fontColor; }
    void SetFontColor(TColor color);

    // After every change of the selection.
    std::function<void(TFRMultiChoice*)> OnChange;

    int Count() const { return int(m_items.size()); }
    bool Selected(int index) const;
    // Selects or deselects one item within the limits: deselecting at MinSelected is
    // refused; selecting at MaxSelected first deselects the oldest selected item.
    virtual void SetSelected(int index, bool value);
    int SelectedCount() const { return int(m_order.size()); }
    // The selected items from the oldest to the newest.
    QList<int> SelectionOrder() const { return m_order; }
    // Deselects every item in index order (as far as MinSelected allows).
    void ClearSelection();

    // The current item, -1 when none. In a one-of-one control setting it selects it too.
    int ItemIndex() const { return m_itemIndex; }
    void SetItemIndex(int index);

    // Suppresses painting; clearing it repaints.
    bool Updating() const { return m_updating; }
    void SetUpdating(bool updating);

    // The item of the cell under a point, -1 when the point is on no item's cell.
    int ItemAt(const QPoint& point) const;
    // The cell of an item (without its gap).
    QRect ItemRect(int index) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

    // Sets the selection as given, past every limit (a stored value is shown as it is).
    // Calls OnChange once when the selection changed.
    void SetSelection(const QList<int>& selected);
    // The items changed (after the selection state was reset).
    virtual void ItemsChanged() {}
    // A key is about to change the selection (the data-aware grid asks for edit state).
    virtual void KeyChanging() {}
    void Changed();
    void Repaint();

private:
    void Resize();
    void Deselect(int index);
    void MoveCurrent(int delta);

    QStringList m_items;
    QList<bool> m_selected;
    QList<int> m_order;
    int m_colCount = 3;
    int m_colWidth = 40;
    int m_itemHeight = 14;
    TItemOrder m_itemOrder = TItemOrder::ioHorizontal;
    int m_minSelected = 1;
    int m_maxSelected = 1;
    TColor m_selectedColor = 0x0000FF;
    TColor m_color = clBtnShadow;
    TColor m_fontColor = clBtnFace;
    int m_itemIndex = -1;
    bool m_updating = false;
};

// The grid bound to a field. The field is read whenever the record changes, exactly as it is
// stored; a change is accepted only while the table is being edited, and the field is
// written (with its text setter) when the table asks for it.
class TFRDBMultiChoice : public TFRMultiChoice, public TDataAwareControl {
    Q_OBJECT
public:
    explicit TFRDBMultiChoice(QWidget* parent = nullptr);
    ~TFRDBMultiChoice() override;

    void SetSelected(int index, bool value) override;

    // The field's text for the present selection, and the selection a field text stands for.
    QString Encoding() const;
    QList<int> Decode(const QString& text) const;

protected:
    void ItemsChanged() override;
    void KeyChanging() override;

private:
    void DataChange();
    bool m_reading = false;
};
