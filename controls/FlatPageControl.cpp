#include "controls/FlatPageControl.h"

#include "platform/Exception.h"

TFlatPageControl::TFlatPageControl(QWidget* parent) : QWidget(parent) { hide(); }

TFlatPageControl::~TFlatPageControl() {
    // The moved controls belong to their pages, and go with them.
    GiveBack();
}

QWidget* TFlatPageControl::AddPage(const QString& name) {
    auto* page = new QWidget(this);
    page->setObjectName(name);
    m_pages.append(page);
    return page;
}

QWidget* TFlatPageControl::Pages(int index) const { return m_pages.value(index, nullptr); }

void TFlatPageControl::SetTargetPanel(QWidget* panel) {
    if (panel == m_target) return;
    GiveBack();
    m_target = panel;
}

int TFlatPageControl::ShownPageIndex() const { return m_shown ? int(m_pages.indexOf(m_shown.data())) : -1; }

QList<QWidget*> TFlatPageControl::ControlsInTabOrder(QWidget* holder) const {
    QList<QWidget*> children;
    for (QObject* o : holder->children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (w && !w->isWindow() && w != this) children.append(w);
    }
    // The focus chain is the tab order; the children that it does not reach keep theirs.
    QList<QWidget*> ordered;
    QWidget* w = holder->nextInFocusChain();
    for (int guard = 0; w && w != holder && guard < 100000; ++guard, w = w->nextInFocusChain())
        if (children.contains(w) && !ordered.contains(w)) ordered.append(w);
    for (QWidget* c : children)
        if (!ordered.contains(c)) ordered.append(c);
    return ordered;
}

void TFlatPageControl::GiveBack() {
    if (!m_shown) {
        m_moved.clear();
        return;
    }
    QWidget* page = m_shown;
    QWidget* previous = nullptr;
    for (const TMoved& m : m_moved) {
        QWidget* c = m.Control;
        if (!c) continue;
        const QPoint at = c->pos() - QPoint(m_offsetX, m_offsetY);
        c->setParent(page);
        c->move(at);
        c->setVisible(m.Visible);
        if (previous) QWidget::setTabOrder(previous, c);
        previous = c;
    }
    m_moved.clear();
    m_shown = nullptr;
}

QWidget* TFlatPageControl::ShowPage(int index) {
    if (!m_target) throw Exception(QStringLiteral("Målpanel ej angiven"));
    if (index < 0 || index >= m_pages.size()) return nullptr;
    QWidget* page = m_pages.at(index);
    if (page == m_shown) return page;
    GiveBack();
    QWidget* previous = nullptr;
    for (QWidget* c : ControlsInTabOrder(page)) {
        const bool visible = !c->isHidden();
        const QPoint at = c->pos() + QPoint(m_offsetX, m_offsetY);
        c->setParent(m_target);
        c->move(at);
        c->setVisible(visible);
        if (previous) QWidget::setTabOrder(previous, c);
        previous = c;
        m_moved.append({c, visible});
    }
    m_shown = page;
    return page;
}

QWidget* TFlatPageControl::ShowPageByName(const QString& name) {
    for (int i = 0; i < m_pages.size(); ++i)
        if (m_pages.at(i)->objectName().compare(name, Qt::CaseInsensitive) == 0) return ShowPage(i);
    throw Exception(QStringLiteral("Målpanel \"%1\" finns ej").arg(name));
}

void TFlatPageControl::MoveBy(int dx, int dy) {
    for (const TMoved& m : m_moved)
        if (m.Control) m.Control->move(m.Control->pos() + QPoint(dx, dy));
}

void TFlatPageControl::SetOffsetX(int offset) {
    MoveBy(offset - m_offsetX, 0);
    m_offsetX = offset;
}

void TFlatPageControl::SetOffsetY(int offset) {
    MoveBy(0, offset - m_offsetY);
    m_offsetY = offset;
}

#include "moc_FlatPageControl.cpp"
