#pragma once
// The common part of the species' list sub-frames: a header, an owner-drawn list with one
// entry per record of the sub-screen's table, and a row of buttons under it. The entries
// alternate light yellow and white; the selected one gets a red frame.
#include <QListWidget>
#include <QStyledItemDelegate>
#include <functional>

#include "content/species/unitFungiScreen.h"

class QHBoxLayout;
class QLabel;
class QToolButton;
class TClientDataSet;
class TDataSource;

// The list's background of even entries (colour number, red in the lowest byte).
inline constexpr qint64 FungiListEvenColor = 0xC4FFFF;
inline constexpr qint64 FungiListFrameColor = 255;

class TFungiListDelegate : public QStyledItemDelegate {
public:
    using PaintEntry = std::function<void(QPainter*, const QRect&, int row)>;
    using EntryHeight = std::function<int(int row, int width)>;
    TFungiListDelegate(QObject* parent, PaintEntry paint, EntryHeight height);
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    PaintEntry m_paint;
    EntryHeight m_height;
};

// Sets a detail frame's header text, its type made smaller until the text fits the header's
// width, so that a long species name does not cut off the state that follows it.
void SetFittedHeader(QLabel* header, const QString& text);
// A detail frame's header: the species' full name, " - " and what is done with the table's
// record: the text of inserting or of editing, or browsing with "%1" the record's number and
// "%2" the count.
QString DetailHeaderText(const TClientDataSet* table, const QString& inserting, const QString& editing,
                         const QString& browsing);
// A flat button of the sub-frames, named for tests.
QToolButton* FungiSubButton(QWidget* parent, const QString& text, const char* name, const QString& hint,
                            bool checkable = false);
// A data-aware control, named for tests, bound to a field of the source.
template <class T>
T* BindField(T* control, const char* name, const char* field, TDataSource* source) {
    control->setObjectName(QLatin1String(name));
    control->SetDataField(QLatin1String(field));
    control->SetDataSource(source);
    return control;
}

class TframeFungiList : public TframeFungiSubBase {
    Q_OBJECT
public:
    explicit TframeFungiList(QWidget* parent = nullptr);

    // Refills the list, one entry "*" per record, the selection on the current record.
    void UpdateFrame() override;

    QListWidget* listEntries = nullptr;
    QHBoxLayout* Buttons() const { return m_buttons; }

protected:
    QToolButton* AddButton(const QString& text, const char* name, const QString& hint);
    // Positions the table on the row and updates the buttons.
    virtual void EntryClick(int row);
    virtual void EntryDoubleClick(int row) { static_cast<void>(row); }
    // A field of the row's record, read without moving the table.
    QVariant Value(int row, const QString& field) const;
    QString Text(int row, const QString& field) const { return Value(row, field).toString(); }
    void SetDelegate(TFungiListDelegate::PaintEntry paint, TFungiListDelegate::EntryHeight height);
    // Whether the table has records and an entry is selected.
    bool HasSelection() const;

private:
    QHBoxLayout* m_buttons = nullptr;
    bool m_filling = false;
};
