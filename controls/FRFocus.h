#pragma once
// Focus entering and leaving a container as a whole. Qt tells a widget that it lost the
// focus when the focus moves to one of its own children; a composite control needs to know
// only when the focus comes from outside its subtree or goes outside it, within its own
// window: another window taking the focus (a dialog the control opened) is no leaving.
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>

class TSubtreeFocus : public QObject {
    Q_OBJECT
public:
    explicit TSubtreeFocus(QWidget* container);
    // Whether the focus widget lies in the container's subtree (the container included).
    bool HasFocus() const;
    bool Contains(const QWidget* widget) const;

    // The focus came from outside the subtree into it, or left it. Both run guarded.
    std::function<void()> OnEnter;
    std::function<void()> OnLeave;

private:
    void FocusChanged(QWidget* old, QWidget* now);
    QPointer<QWidget> m_container;
    bool m_inside = false;
};
