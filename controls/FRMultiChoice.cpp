#include "controls/FRMultiChoice.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "controls/FRGuard.h"
#include "platform/Exception.h"

// ---- TFRMultiChoice ----

TFRMultiChoice::TFRMultiChoice(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setFont(ArialFont(8));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    Resize();
}

void TFRMultiChoice::SetItems(const QStringList& items) {
    m_items = items;
    m_selected = QList<bool>(items.size(), false);
    m_order.clear();
    m_itemIndex = -1;
    Resize();
    ItemsChanged();
    Repaint();
}

void TFRMultiChoice::SetColCount(int count) {
    if (count < 1 || count == m_colCount) return;
    m_colCount = count;
    Resize();
}

void TFRMultiChoice::SetColWidth(int width) {
    if (width < 9 || width == m_colWidth) return;
    m_colWidth = width;
    Resize();
}

void TFRMultiChoice::SetItemHeight(int height) {
    if (height < 9 || height == m_itemHeight) return;
    m_itemHeight = height;
    Resize();
}

void TFRMultiChoice::SetItemOrder(TItemOrder order) {
    m_itemOrder = order;
    Repaint();
}

int TFRMultiChoice::Rows() const {
    // An empty control still shows the height of one row.
    return std::max(1, (Count() - 1) / m_colCount + 1);
}

QSize TFRMultiChoice::sizeHint() const {
    return QSize((m_colWidth + 1) * m_colCount - 1, Rows() * (m_itemHeight + 1) - 1);
}

void TFRMultiChoice::Resize() {
    setFixedSize(sizeHint());
    updateGeometry();
    Repaint();
}

void TFRMultiChoice::SetMinSelected(int value) {
    if (m_maxSelected >= 1 && value > m_maxSelected)
        throw Exception(QStringLiteral("Invalid MinSelected. Value must be less than or equal to MaxSelected"));
    m_minSelected = value;
}

void TFRMultiChoice::SetMaxSelected(int value) {
    if (value != 0 && m_minSelected != 0 && value < m_minSelected)
        throw Exception(QStringLiteral("Invalid MaxSelected. Value must be greater then MinSelected"));
    m_maxSelected = value;
}

void TFRMultiChoice::SetSelectedColor(TColor color) {
    m_selectedColor = color;
    Repaint();
}

void TFRMultiChoice::SetColor(TColor color) {
    m_color = color;
    Repaint();
}

void TFRMultiChoice::SetFontColor(TColor color) {
    m_fontColor = color;
    Repaint();
}

bool TFRMultiChoice::Selected(int index) const { return m_selected.value(index, false); }

void TFRMultiChoice::Deselect(int index) {
    m_order.removeOne(index);
    m_selected[index] = false;
}

void TFRMultiChoice::SetSelected(int index, bool value) {
    if (index < 0 || index >= Count() || m_selected.at(index) == value) return;
    if (!value) {
        if (SelectedCount() <= m_minSelected) return;
        Deselect(index);
    } else {
        // At the limit the oldest selection gives way, whatever MinSelected says: that is how
        // a radio group moves. A stored selection above the limit gives way as far as needed.
        if (m_maxSelected > 0)
            while (!m_order.isEmpty() && SelectedCount() >= m_maxSelected) Deselect(m_order.first());
        m_selected[index] = true;
        m_order.append(index);
        if (m_minSelected == 1 && SelectedCount() == 1) m_itemIndex = index;
    }
    Changed();
}

void TFRMultiChoice::SetSelection(const QList<int>& selected) {
    QList<bool> flags(Count(), false);
    QList<int> order;
    for (int i : selected) {
        if (i < 0 || i >= Count() || flags.at(i)) continue;
        flags[i] = true;
        order.append(i);
    }
    const bool changed = flags != m_selected;
    m_selected = flags;
    m_order = order;
    if (m_minSelected == 1 && order.size() == 1) m_itemIndex = order.first();
    if (changed)
        Changed();
    else
        Repaint();
}

void TFRMultiChoice::ClearSelection() {
    for (int i = 0; i < Count(); ++i) SetSelected(i, false);
    Repaint();
}

void TFRMultiChoice::SetItemIndex(int index) {
    if (index < -1 || index >= Count()) return;
    m_itemIndex = index;
    if (index >= 0 && m_minSelected == 1 && m_maxSelected == 1) SetSelected(index, true);
    Repaint();
}

void TFRMultiChoice::SetUpdating(bool updating) {
    m_updating = updating;
    if (!updating) Repaint();
}

void TFRMultiChoice::Changed() {
    if (OnChange) OnChange(this);
    Repaint();
}

void TFRMultiChoice::Repaint() {
    if (!m_updating) update();
}

int TFRMultiChoice::ItemAt(const QPoint& point) const {
    if (point.x() < 0 || point.y() < 0) return -1;
    const int col = point.x() / (m_colWidth + 1);
    const int row = point.y() / (m_itemHeight + 1);
    // Right of the last column or below the last row is no cell, even where the numbering
    // would reach an item.
    if (col >= m_colCount || row >= Rows()) return -1;
    const int index = m_itemOrder == TItemOrder::ioHorizontal ? row * m_colCount + col : col * Rows() + row;
    return index < Count() ? index : -1;
}

QRect TFRMultiChoice::ItemRect(int index) const {
    if (index < 0 || index >= Count()) return QRect();
    int row, col;
    if (m_itemOrder == TItemOrder::ioHorizontal) {
        row = index / m_colCount;
        col = index % m_colCount;
    } else {
        col = index / Rows();
        row = index % Rows();
    }
    return QRect(col * (m_colWidth + 1), row * (m_itemHeight + 1), m_colWidth, m_itemHeight);
}

void TFRMultiChoice::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setFont(font());
    const QColor cell = ResolveColor(m_color, this);
    const QColor selected = ResolveColor(m_selectedColor, this);
    QColor text = ResolveColor(m_fontColor, this);
    // White on the selection colour, unless that is so light (a pale key answer) that white
    // would vanish: then the font colour, or black where that is light too.
    const auto light = [](const QColor& c) { return 299 * c.red() + 587 * c.green() + 114 * c.blue() > 160000; };
    QColor selectedText = !light(selected) ? QColor(Qt::white) : light(text) ? QColor(Qt::black) : text;
    if (!isEnabled()) selectedText = light(selected) ? QColor(96, 96, 96) : QColor(224, 224, 224);
    // A disabled grid keeps its colours and dims its texts toward the cells.
    if (!isEnabled())
        text = QColor((text.red() + 2 * cell.red()) / 3, (text.green() + 2 * cell.green()) / 3,
                      (text.blue() + 2 * cell.blue()) / 3);
    for (int i = 0; i < Count(); ++i) {
        const QRect r = ItemRect(i);
        const bool on = m_selected.at(i);
        p.fillRect(r, on ? selected : cell);
        p.save();
        p.setClipRect(r);
        p.setPen(on ? selectedText : text);
        p.drawText(r.adjusted(3, 0, -1, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_items.at(i));
        p.restore();
    }
    if (hasFocus() && m_itemIndex >= 0 && m_itemIndex < Count()) {
        const QRect r = ItemRect(m_itemIndex).adjusted(1, 1, -2, -2);
        QPen pen(m_selected.at(m_itemIndex) && !light(selected) ? QColor(Qt::white) : QColor(Qt::black));
        pen.setStyle(Qt::DotLine);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRect(r);
    }
}

void TFRMultiChoice::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    Guarded([&] {
        if (!hasFocus()) setFocus(Qt::MouseFocusReason);
        const int index = ItemAt(event->position().toPoint());
        if (index >= 0) {
            SetSelected(index, !Selected(index));
            if (index != m_itemIndex) m_itemIndex = index;
        }
        Repaint();
    });
}

void TFRMultiChoice::MoveCurrent(int delta) {
    const int to = m_itemIndex + delta;
    if (to < 0 || to >= Count()) return;
    m_itemIndex = to;
    if (MarkOnContact && m_minSelected == 1 && m_maxSelected == 1) {
        KeyChanging();
        SetSelected(to, true);
    }
    Repaint();
}

void TFRMultiChoice::keyPressEvent(QKeyEvent* event) {
    const bool vertical = m_itemOrder == TItemOrder::ioVertical;
    switch (event->key()) {
        case Qt::Key_Space:
            Guarded([&] {
                KeyChanging();
                if (m_itemIndex >= 0 && m_itemIndex < Count()) SetSelected(m_itemIndex, !Selected(m_itemIndex));
                Repaint();
            });
            break;
        case Qt::Key_Left:
            Guarded([&] { MoveCurrent(vertical ? -Rows() : -1); });
            break;
        case Qt::Key_Right:
            Guarded([&] { MoveCurrent(vertical ? Rows() : 1); });
            break;
        case Qt::Key_Up:
            Guarded([&] { MoveCurrent(vertical ? -1 : -m_colCount); });
            break;
        case Qt::Key_Down:
            Guarded([&] { MoveCurrent(vertical ? 1 : m_colCount); });
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    event->accept();
}

void TFRMultiChoice::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    Guarded([&] {
        if (MarkOnContact && m_maxSelected == 1 && !m_order.isEmpty())
            m_itemIndex = *std::min_element(m_order.cbegin(), m_order.cend());
        if (m_itemIndex < 0 && Count() > 0) m_itemIndex = 0;
        Repaint();
    });
}

void TFRMultiChoice::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    Repaint();
}

// ---- TFRDBMultiChoice ----

TFRDBMultiChoice::TFRDBMultiChoice(QWidget* parent) : TFRMultiChoice(parent) {
    m_link.OnDataChange = [this] { DataChange(); };
    m_link.OnUpdateData = [this] { m_link.SetAsString(Encoding()); };
}

TFRDBMultiChoice::~TFRDBMultiChoice() {
    m_link.OnDataChange = nullptr;
    m_link.OnUpdateData = nullptr;
}

QString TFRDBMultiChoice::Encoding() const {
    if (MaxSelected() != 1) {
        QString text(Count(), QLatin1Char('0'));
        for (int i = 0; i < Count(); ++i)
            if (Selected(i)) text[i] = QLatin1Char('1');
        return text;
    }
    for (int i = 0; i < Count(); ++i)
        if (Selected(i)) return QString::number(i);
    return QStringLiteral("-1");
}

QList<int> TFRDBMultiChoice::Decode(const QString& text) const {
    QList<int> selected;
    if (MaxSelected() != 1) {
        const int n = std::min(Count(), int(text.size()));
        for (int i = 0; i < n; ++i)
            if (text.at(i) != QLatin1Char('0')) selected.append(i);
        return selected;
    }
    bool ok = false;
    const int index = text.trimmed().toInt(&ok);
    // An index the items do not reach stands for no choice.
    if (ok && index >= 0 && index < Count()) selected.append(index);
    return selected;
}

void TFRDBMultiChoice::DataChange() {
    // The field is shown as it is stored, whatever the limits say.
    struct Reading {
        TFRDBMultiChoice* self;
        bool updating;
        ~Reading() {
            self->m_reading = false;
            self->SetUpdating(updating);
        }
    } reading{this, Updating()};
    m_reading = true;
    SetUpdating(true);
    SetSelection(m_link.Active() ? Decode(m_link.AsString()) : QList<int>());
}

void TFRDBMultiChoice::SetSelected(int index, bool value) {
    if (!m_reading && !m_link.Editing()) return;
    const QList<int> before = SelectionOrder();
    TFRMultiChoice::SetSelected(index, value);
    if (!m_reading && SelectionOrder() != before) m_link.SetModified();
}

void TFRDBMultiChoice::ItemsChanged() {
    // The stored value is read again for the new items.
    m_link.Reset();
}

void TFRDBMultiChoice::KeyChanging() { m_link.Edit(); }

#include "moc_FRMultiChoice.cpp"
