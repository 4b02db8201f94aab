#include "controls/FRLocks.h"

#include <QMouseEvent>

#include "controls/FRGuard.h"
#include "platform/Resources.h"

TFRLockButton::TFRLockButton(QWidget* parent) : QToolButton(parent) {
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setIconSize(QSize(14, 14));
    resize(26, 16);
}

void TFRLockButton::ShowGlyph(const QString& name) {
    if (name == m_glyph) return;
    m_glyph = name;
    setIcon(QIcon(Resources::Bitmap(name)));
}

void TFRLockButton::mouseReleaseEvent(QMouseEvent* event) {
    const bool click =
        event->button() == Qt::LeftButton && isEnabled() && isDown() && rect().contains(event->position().toPoint());
    QToolButton::mouseReleaseEvent(event);
    if (click) Guarded([this] { Click(); });
}

// ---- TFRLock ----

TFRLock::TFRLock(QWidget* parent) : TFRLockButton(parent) { ShowGlyph(QStringLiteral("UNLOCKED")); }

void TFRLock::SetLocked(bool locked) {
    m_locked = locked;
    ShowGlyph(locked ? QStringLiteral("LOCKED") : QStringLiteral("UNLOCKED"));
}

void TFRLock::Click() {
    SetLocked(!m_locked);
    if (OnClick) OnClick(this);
}

// ---- TFRDBLock ----

TFRDBLock::TFRDBLock(QWidget* parent) : TFRLockButton(parent) {
    m_link.OnDataChange = [this] { DataChange(); };
    m_link.OnUpdateData = [this] { m_link.SetAsBoolean(m_value); };
    ShowGlyph(QStringLiteral("UNDEFINED"));
}

TFRDBLock::~TFRDBLock() {
    m_link.OnDataChange = nullptr;
    m_link.OnUpdateData = nullptr;
}

void TFRDBLock::DataChange() {
    if (!m_link.Active()) {
        m_value = false;
        ShowGlyph(QStringLiteral("UNDEFINED"));
        return;
    }
    m_value = m_link.AsBoolean();
    ShowGlyph(m_value ? QStringLiteral("LOCKED") : QStringLiteral("UNLOCKED"));
}

void TFRDBLock::Click() {
    if (!m_link.Editing()) return;
    m_link.SetModified();
    m_value = !m_value;
    ShowGlyph(m_value ? QStringLiteral("LOCKED") : QStringLiteral("UNLOCKED"));
    m_link.UpdateRecord();
}

#include "moc_FRLocks.cpp"
