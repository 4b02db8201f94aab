#include "shell/FRHistory.h"

// ---- TFRHistoryItem ---------------------------------------------------------------------

int TFRHistoryItem::IndexOfName(const QString& name) const {
    for (int i = 0; i < size(); ++i) {
        const QString& line = at(i);
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq >= 0 && QStringView(line).left(eq).compare(name, Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}

QString TFRHistoryItem::Values(const QString& name) const {
    const int i = IndexOfName(name);
    return i < 0 ? QString() : at(i).mid(at(i).indexOf(QLatin1Char('=')) + 1);
}

void TFRHistoryItem::SetValues(const QString& name, const QString& value) {
    const int i = IndexOfName(name);
    const QString line = name + QLatin1Char('=') + value;
    if (i < 0)
        append(line);
    else
        (*this)[i] = line;
}

// ---- TFRHistoryItems --------------------------------------------------------------------

TFRHistoryItems::TFRHistoryItems(TFRScreenHost* host) : m_host(host) {}

TFRHistoryItems::~TFRHistoryItems() = default;

void TFRHistoryItems::UpdateButtons() {
    if (m_host) m_host->UpdateHistoryButtons();
}

void TFRHistoryItems::Clamp() {
    if (Count() <= m_current) m_current = Count();
}

void TFRHistoryItems::Add(TFRHistoryItem* item) {
    if (!item) return;
    std::shared_ptr<TFRHistoryItem> owned(item);
    DeleteFrom(m_current);
    m_items.append(std::move(owned));
    m_current = Count();
    UpdateButtons();
}

void TFRHistoryItems::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    m_items.removeAt(index);
    Clamp();
    UpdateButtons();
}

void TFRHistoryItems::DeleteFrom(int index) {
    index = qMax(0, index);
    while (index < Count()) Delete(index);
    Clamp();
    UpdateButtons();
}

void TFRHistoryItems::Clear() {
    while (Count() > 0) Delete(0);
    UpdateButtons();
}

void TFRHistoryItems::Back() {
    if (!CanBack()) return;
    const int before = m_current;
    if (m_current == Count() && m_host) {
        // Only a live view with a frame can describe itself.
        if (TFRMainScreen* screen = m_host->CurrentScreen())
            if (TFRFrameBase* frame = screen->Frame()) Add(frame->CreateHistoryItem());
    }
    m_current = before - 1;
    GoToCurrent();
}

void TFRHistoryItems::Forward() {
    if (!CanForward()) return;
    ++m_current;
    GoToCurrent();
}

void TFRHistoryItems::GoToCurrent() {
    if (m_current >= 0 && m_current < Count()) {
        // Held while restoring: the frame's own code may change the list.
        const std::shared_ptr<TFRHistoryItem> item = m_items.at(m_current);
        if (QPointer<TFRScreen> screen = item->Screen) {
            screen->RecordHistory = false;
            struct RecordAgain {
                QPointer<TFRScreen>& s;
                ~RecordAgain() {
                    if (s) s->RecordHistory = true;
                }
            } again{screen};
            screen->Activate(QStringLiteral("NOUPDATE;STARTINVISIBLE"));
            if (TFRFrameBase* frame = screen->Frame()) {
                frame->RestoreHistory(item.get());
                frame->show();
            }
            if (auto* db = qobject_cast<TFRDBScreen*>(screen.data())) db->UpdateFrame();
        }
    }
    UpdateButtons();
}
