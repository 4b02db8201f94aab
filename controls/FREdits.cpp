#include "controls/FREdits.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

#include "controls/FRGuard.h"

namespace {

// The current item on the highlight colour, the others on the window colour.
class TDropDownDelegate : public QStyledItemDelegate {
public:
    explicit TDropDownDelegate(TFRDropDownList* list) : QStyledItemDelegate(list), m_list(list) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const bool current = index.row() == m_list->currentRow();
        painter->fillRect(option.rect, ResolveColor(current ? clHighlight : clWindow, m_list));
        painter->setPen(ResolveColor(current ? clWindow : clWindowText, m_list));
        painter->setFont(m_list->font());
        painter->drawText(option.rect.adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          index.data().toString());
    }
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return QSize(m_list->viewport()->width(), m_list->RowHeight());
    }

private:
    TFRDropDownList* m_list;
};

// Keys that change the text of an edit.
bool ChangesText(QKeyEvent* event) {
    if (event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut) ||
        event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo) ||
        event->matches(QKeySequence::DeleteEndOfWord) || event->matches(QKeySequence::DeleteStartOfWord) ||
        event->matches(QKeySequence::DeleteEndOfLine))
        return true;
    if (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete) return true;
    const QString text = event->text();
    return !text.isEmpty() && text.at(0).isPrint() && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
}

}  // namespace

// ---- TFRDropDownList ----

TFRDropDownList::TFRDropDownList(TFREdit* edit, QWidget* parent) : QListWidget(parent), m_edit(edit) {
    setObjectName(edit->objectName().isEmpty() ? QStringLiteral("listDropDown") : edit->objectName() + "List");
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::Box);
    setLineWidth(1);
    setUniformItemSizes(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setSelectionMode(QAbstractItemView::NoSelection);
    setItemDelegate(new TDropDownDelegate(this));
    setFont(edit->font());
    hide();
}

int TFRDropDownList::RowHeight() const { return QFontMetrics(font()).height(); }

void TFRDropDownList::mousePressEvent(QMouseEvent* event) {
    Guarded([&] {
        const QModelIndex index = indexAt(event->position().toPoint());
        if (event->button() == Qt::LeftButton && index.isValid() && m_edit) {
            m_edit->ItemClicked(index.row());
            return;
        }
        QListWidget::mousePressEvent(event);
    });
}

// ---- TFREdit ----

TFREdit::TFREdit(QWidget* parent) : QLineEdit(parent) {
    setFrame(false);
    setFont(ArialFont(8));
    SetControlColor(this, m_color);
    resize(121, 14);
    connect(this, &QLineEdit::textChanged, this, [this] { Guarded([this] { TextChanged(); }); });
    connect(this, &QLineEdit::textEdited, this, [this] { Guarded([this] { UserChangedText(); }); });
}

TFREdit::~TFREdit() {
    if (m_list) delete m_list.data();
}

void TFREdit::SetItems(const QStringList& items) {
    m_items = items;
    if (m_sorted) m_items.sort(Qt::CaseInsensitive);
    if (m_list) {
        m_list->clear();
        m_list->addItems(m_items);
        if (m_items.isEmpty()) CloseUp();
    }
    Match();
}

void TFREdit::SetSorted(bool sorted) {
    m_sorted = sorted;
    if (sorted) SetItems(m_items);
}

void TFREdit::SetDropDownCount(int count) { m_dropDownCount = std::max(1, count); }

void TFREdit::SetColor(TColor color) {
    m_color = color;
    if (!m_focused) SetControlColor(this, color);
}

bool TFREdit::DroppedDown() const { return m_list && m_list->isVisible(); }

void TFREdit::Match() {
    const QString text = this->text();
    int match = -1;
    if (!text.isEmpty()) {
        for (int i = 0; i < m_items.size(); ++i) {
            const QString& item = m_items.at(i);
            // Two conditions with one outcome, on purpose.
            if (item == text)
                match = i;  // a later exact item wins over an earlier one NOLINT(bugprone-branch-clone)
            else if (match < 0 && item.startsWith(text, Qt::CaseInsensitive))
                match = i;
        }
    }
    m_matchIndex = match;
    if (m_list) {
        m_list->setCurrentRow(match);
        if (match >= 0) m_list->scrollToItem(m_list->item(match));
        m_list->viewport()->update();
    }
}

void TFREdit::TextChanged() {
    if (!m_choosing) Match();
}

void TFREdit::SetChosenText(const QString& text, int index) {
    if (!MayChangeText()) return;
    m_choosing = true;
    setText(text);
    m_choosing = false;
    m_matchIndex = index;
    if (m_list) {
        m_list->setCurrentRow(index);
        if (index >= 0) m_list->scrollToItem(m_list->item(index));
        m_list->viewport()->update();
    }
    selectAll();
    UserChangedText();
}

bool TFREdit::AskDropDown(bool requested) {
    bool allow = false;
    if (OnDropDownQuery) OnDropDownQuery(this, requested, allow);
    return allow;
}

void TFREdit::DropDown() {
    if (m_items.isEmpty() || !parentWidget()) return;
    if (!m_list) {
        m_list = new TFRDropDownList(this, parentWidget());
        m_list->addItems(m_items);
    } else if (m_list->parentWidget() != parentWidget()) {
        m_list->setParent(parentWidget());
    }
    m_list->setFont(font());
    PlaceList();
    m_list->show();
    m_list->raise();
    Match();
}

void TFREdit::PlaceList() {
    const int row = m_list->RowHeight();
    const int frame = 2 * m_list->frameWidth();
    const int wanted = (std::min<qsizetype>(m_items.size(), m_dropDownCount) + 1) * row;
    // The list needs at least one whole row between its frame lines.
    const int least = row + frame;
    const QRect r = geometry();
    const int below = parentWidget()->height() - (r.y() + r.height());
    const int above = r.y();
    const auto fitted = [&](int room) { return wanted <= room ? wanted : (room / row) * row - 4; };

    int top = r.y() + r.height();
    int height = fitted(below);
    if (height < least) {
        const int up = fitted(above);
        if (up >= least) {
            height = up;
            top = r.y() - height;
        } else {
            height = least;
        }
    }
    m_list->setGeometry(r.x(), top, r.width(), height);
}

void TFREdit::CloseUp() {
    if (m_list) m_list->hide();
}

void TFREdit::MoveTo(int index) {
    if (index < 0 || index >= m_items.size()) return;
    SetChosenText(m_items.at(index), index);
}

void TFREdit::JumpToLetter(const QString& letter) {
    const int n = int(m_items.size());
    if (n == 0) return;
    const int from = m_list ? m_list->currentRow() : -1;
    for (int step = 1; step <= n; ++step) {
        const int i = ((from < 0 ? -1 : from) + step) % n;
        if (m_items.at(i).startsWith(letter, Qt::CaseInsensitive)) {
            MoveTo(i);
            return;
        }
    }
}

void TFREdit::ItemClicked(int row) {
    if (row < 0 || row >= m_items.size()) return;
    SetChosenText(m_items.at(row), row);
    setFocus(Qt::MouseFocusReason);
    focusNextChild();
}

void TFREdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    Guarded([&] {
        if (m_focused) return;
        m_focused = true;
        SetControlColor(this, clWindow);
        if (AlwaysDropdown || AskDropDown(false)) DropDown();
    });
}

void TFREdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // A context menu or another window taking the activation does not leave the edit.
    if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason) return;
    Guarded([&] {
        if (!m_focused) return;
        m_focused = false;
        SetControlColor(this, m_color);
        CloseUp();
        if (AutoComplete) {
            const QString completed = m_matchIndex >= 0 ? m_items.at(m_matchIndex) : QString();
            if (completed != text()) SetChosenText(completed, m_matchIndex);
        }
        // A text completed or chosen from the list is not left marked in an edit the user has left.
        deselect();
        Leaving();
    });
}

void TFREdit::hideEvent(QHideEvent* event) {
    CloseUp();
    QLineEdit::hideEvent(event);
}

void TFREdit::keyPressEvent(QKeyEvent* event) {
    Guarded([&] {
        const bool open = DroppedDown();
        const int current = m_list ? m_list->currentRow() : -1;
        if (event->key() == Qt::Key_Down && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            if (!open) {
                if (AskDropDown(true)) DropDown();
            } else {
                // No current item: the first; the last item stays the last.
                MoveTo(current < 0 ? 0 : std::min<int>(current + 1, int(m_items.size()) - 1));
            }
            return;
        }
        if (event->key() == Qt::Key_Up && open && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            MoveTo(std::max(current - 1, 0));
            return;
        }
        if (isReadOnly() && open && !event->text().isEmpty() && event->text().at(0).isLetter() &&
            !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            JumpToLetter(event->text().left(1));
            return;
        }
        QLineEdit::keyPressEvent(event);
    });
}

// ---- TFRDBEdit ----

TFRDBEdit::TFRDBEdit(QWidget* parent) : TFREdit(parent) {
    m_link.OnDataChange = [this] { DataChange(); };
    m_link.OnUpdateData = [this] { UpdateData(); };
}

TFRDBEdit::~TFRDBEdit() {
    m_link.OnDataChange = nullptr;
    m_link.OnUpdateData = nullptr;
}

void TFRDBEdit::DataChange() {
    m_reading = true;
    const int size = m_link.Active() && m_link.DataType() == TFieldType::ftString ? m_link.Size() : 0;
    // The same text and width stay untouched (setting either drops the selection), so the
    // user's selection survives entering edit state.
    if (maxLength() != (size > 0 ? size : 32767)) setMaxLength(size > 0 ? size : 32767);
    const QString text = m_link.AsString();
    if (text != this->text()) setText(text);
    m_reading = false;
}

void TFRDBEdit::UpdateData() {
    try {
        m_link.SetAsString(text());
    } catch (const Exception&) {
        // Back to the edit whose text the field refused, so the user can mend it.
        selectAll();
        setFocus(Qt::OtherFocusReason);
        throw;
    }
}

void TFRDBEdit::keyPressEvent(QKeyEvent* event) {
    // Escape gives up the change: the field is shown again.
    if (event->key() == Qt::Key_Escape && m_link.Modified()) {
        Guarded([this] { m_link.Reset(); });
        selectAll();
        event->accept();
        return;
    }
    // A typed change needs the table in edit state first: entering it reads the record again.
    bool refused = false;
    if (!isReadOnly() && ChangesText(event) && !Guarded([&] { refused = !m_link.Edit(); })) refused = true;
    if (refused) {
        event->accept();
        return;
    }
    TFREdit::keyPressEvent(event);
}

bool TFRDBEdit::MayChangeText() { return m_reading || m_link.Edit(); }

void TFRDBEdit::UserChangedText() {
    if (m_reading) return;
    if (m_link.Editing())
        m_link.SetModified();
    else
        m_link.Reset();  // a change that no edit state accepts is undone
}

void TFRDBEdit::Leaving() { m_link.UpdateRecord(); }

#include "moc_FREdits.cpp"
