#pragma once
// The flat single-line edit with its own drop-down list of suggestions, and its data-aware
// twin. The list highlights the item that matches what has been typed and can complete the
// text from the list. It is a plain child of the edit's parent (not a pop-up window), so it
// never takes the focus away from the edit.
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QStringList>
#include <functional>

#include "controls/FRFieldLink.h"
#include "controls/FRGraphics.h"

class TFREdit;

// (Sender, DropDownRequested, var AllowDropDown)
using TDropDownQueryEvent = std::function<void(TFREdit* sender, bool dropDownRequested, bool& allowDropDown)>;

// The drop-down list of an edit: not a tab stop, whole rows, the edit's font.
class TFRDropDownList : public QListWidget {
    Q_OBJECT
public:
    explicit TFRDropDownList(TFREdit* edit, QWidget* parent);
    int RowHeight() const;
    TFREdit* Edit() const { return m_edit; }

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    QPointer<TFREdit> m_edit;
};

class TFREdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TFREdit(QWidget* parent = nullptr);
    ~TFREdit() override;

    QStringList Items() const { return m_items; }
    void SetItems(const QStringList& items);
    bool Sorted() const { return m_sorted; }
    void SetSorted(bool sorted);
    bool AlwaysDropdown = false;
    bool AutoComplete = false;
    int DropDownCount() const { return m_dropDownCount; }
    void SetDropDownCount(int count);
    TDropDownQueryEvent OnDropDownQuery;

    // The colour shown while the edit does not have the focus ($80FFFF at first).
    TColor Color() const { return m_color; }
    void SetColor(TColor color);

    // The item that matches the text, -1 when none does.
    bool Matched() const { return m_matchIndex >= 0; }
    int MatchIndex() const { return m_matchIndex; }

    // The list: shown, its geometry in the parent, its current row.
    TFRDropDownList* DropDownList() const { return m_list; }
    bool DroppedDown() const;
    void DropDown();
    void CloseUp();

    // A click on a list row (the list calls it): the text becomes the item, the edit takes
    // the focus and the focus moves on to the next control.
    void ItemClicked(int row);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;

    // A text the list chose (a move, a click, a letter jump, completion on leaving) may be
    // put in; the data-aware edit needs its table in edit state for it.
    virtual bool MayChangeText() { return true; }
    // The user changed the text (typing or through the list).
    virtual void UserChangedText() {}
    // The edit is being left (after the list and the completion).
    virtual void Leaving() {}

private:
    void Match();
    void TextChanged();
    void SetChosenText(const QString& text, int index);
    bool AskDropDown(bool requested);
    void MoveTo(int index);
    void JumpToLetter(const QString& letter);
    void PlaceList();

    QStringList m_items;
    bool m_sorted = false;
    int m_dropDownCount = 8;
    TColor m_color = 0x80FFFF;
    bool m_focused = false;
    int m_matchIndex = -1;
    bool m_choosing = false;
    QPointer<TFRDropDownList> m_list;
};

// The edit bound to a field: it shows the field's text and writes it back when changed.
class TFRDBEdit : public TFREdit, public TDataAwareControl {
    Q_OBJECT
public:
    explicit TFRDBEdit(QWidget* parent = nullptr);
    ~TFRDBEdit() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool MayChangeText() override;
    void UserChangedText() override;
    void Leaving() override;

private:
    void DataChange();
    void UpdateData();
    bool m_reading = false;
};
