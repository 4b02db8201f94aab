#pragma once
// A panel that enables and disables its children with its own call: nested disable panels
// pass the call on, and edit-like children take the window colour when enabled and the
// button-face colour when disabled, so a disabled form reads as such at a glance. The
// panel itself stays enabled.
#include <QFrame>

class TDisablePanel : public QFrame {
    Q_OBJECT
public:
    explicit TDisablePanel(QWidget* parent = nullptr);
    void SetEnabled(bool enabled);
    // Edits, memos, list boxes, combo boxes, grids and masked edits.
    static bool IsEditLike(const QWidget* widget);
};
