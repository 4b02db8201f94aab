#include "controls/FRFocus.h"

#include <QApplication>

#include "controls/FRGuard.h"

TSubtreeFocus::TSubtreeFocus(QWidget* container)
    : QObject(container), m_container(container), m_inside(Contains(QApplication::focusWidget())) {
    connect(qApp, &QApplication::focusChanged, this, &TSubtreeFocus::FocusChanged);
}

bool TSubtreeFocus::Contains(const QWidget* widget) const {
    return widget && m_container && (widget == m_container || m_container->isAncestorOf(widget));
}

bool TSubtreeFocus::HasFocus() const { return Contains(QApplication::focusWidget()); }

void TSubtreeFocus::FocusChanged(QWidget* old, QWidget* now) {
    Q_UNUSED(old);
    // The window losing activation takes the focus to nobody or into another window (a
    // dialog the control opened) and back again; that is no leaving of the control.
    if (!now && !QApplication::activeWindow()) return;
    if (now && m_container && now->window() != m_container->window()) return;
    const bool is = Contains(now);
    if (is == m_inside) return;
    m_inside = is;
    if (is && OnEnter) Guarded([this] { OnEnter(); });
    if (!is && OnLeave) Guarded([this] { OnLeave(); });
}

#include "moc_FRFocus.cpp"
