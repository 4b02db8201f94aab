#include "controls/FRMemos.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMimeData>
#include <QTextCursor>
#include <limits>

#include "controls/FRGuard.h"

TFRMemo::TFRMemo(QWidget* parent) : QPlainTextEdit(parent) {
    setFrameShape(QFrame::NoFrame);
    setFont(ArialFont(8));
    SetControlColor(this, m_color);
    resize(185, 89);
}

void TFRMemo::SetColor(TColor color) {
    m_color = color;
    if (!m_focused) SetControlColor(this, color);
}

void TFRMemo::focusInEvent(QFocusEvent* event) {
    QPlainTextEdit::focusInEvent(event);
    if (m_focused) return;
    m_focused = true;
    SetControlColor(this, clWindow);
}

void TFRMemo::focusOutEvent(QFocusEvent* event) {
    QPlainTextEdit::focusOutEvent(event);
    if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason) return;
    if (!m_focused) return;
    m_focused = false;
    SetControlColor(this, m_color);
    Guarded([this] { Leaving(); });
}

// ---- TFRDBMemo ----

TFRDBMemo::TFRDBMemo(QWidget* parent) : TFRMemo(parent) {
    m_link.OnDataChange = [this] { DataChange(); };
    m_link.OnUpdateData = [this] { m_link.SetAsString(toPlainText()); };
    connect(this, &QPlainTextEdit::textChanged, this, [this] { Guarded([this] { Changed(); }); });
}

TFRDBMemo::~TFRDBMemo() {
    m_link.OnDataChange = nullptr;
    m_link.OnUpdateData = nullptr;
}

void TFRDBMemo::DataChange() {
    m_reading = true;
    const QString text = m_link.AsString();
    if (text != toPlainText()) setPlainText(text);
    m_reading = false;
}

void TFRDBMemo::Changed() {
    if (m_reading) return;
    if (m_link.Editing())
        m_link.SetModified();
    else
        m_link.Reset();  // a change that no edit state accepts is undone
}

void TFRDBMemo::keyPressEvent(QKeyEvent* event) {
    const bool changes = event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut) ||
        event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter ||
        (!event->text().isEmpty() && event->text().at(0).isPrint() &&
         !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)));
    // Escape gives up the change: the field is shown again.
    if (event->key() == Qt::Key_Escape && m_link.Modified()) {
        Guarded([this] { m_link.Reset(); });
        event->accept();
        return;
    }
    // A typed change needs the table in edit state first: entering it reads the record again.
    bool refused = false;
    if (!isReadOnly() && changes && !Guarded([&] { refused = !m_link.Edit(); })) refused = true;
    // The field holds no more than its width: a character that would not fit is not taken.
    const bool inserts = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
        (!event->text().isEmpty() && event->text().at(0).isPrint() &&
         !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)));
    if (!refused && !isReadOnly() && inserts && Room() < 1) {
        QApplication::beep();
        refused = true;
    }
    if (refused) {
        event->accept();
        return;
    }
    Guarded([&] { QPlainTextEdit::keyPressEvent(event); });
}

int TFRDBMemo::Room() const {
    const int size = m_link.Active() && m_link.DataType() == TFieldType::ftString ? m_link.Size() : 0;
    if (size <= 0) return std::numeric_limits<int>::max();
    const QTextCursor cursor = textCursor();
    return size - (int(toPlainText().size()) - (cursor.selectionEnd() - cursor.selectionStart()));
}

void TFRDBMemo::insertFromMimeData(const QMimeData* source) {
    bool editing = false;
    Guarded([&] { editing = m_link.Edit(); });
    if (!editing) return;
    const int room = Room();
    if (!source || !source->hasText() || room == std::numeric_limits<int>::max()) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    // Only what fits the field goes in, and the user hears that the rest did not.
    QString text = source->text();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (text.size() > std::max(room, 0)) {
        text.truncate(std::max(room, 0));
        QApplication::beep();
    }
    textCursor().insertText(text);
    ensureCursorVisible();
}

void TFRDBMemo::Leaving() { m_link.UpdateRecord(); }

#include "moc_FRMemos.cpp"
