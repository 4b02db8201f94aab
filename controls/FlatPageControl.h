#pragma once
// A page control that is itself never shown: the controls of the page being shown are moved
// into a target panel (with an offset) and given back to their page when another page is
// shown, so one panel of a form can present several sets of controls.
#include <QList>
#include <QPointer>
#include <QWidget>

class TFlatPageControl : public QWidget {
    Q_OBJECT
public:
    explicit TFlatPageControl(QWidget* parent = nullptr);
    ~TFlatPageControl() override;

    // A new page at the end; its name is its object name. Controls are made its children.
    QWidget* AddPage(const QString& name);
    int PageCount() const { return int(m_pages.size()); }
    QWidget* Pages(int index) const;

    QWidget* TargetPanel() const { return m_target; }
    void SetTargetPanel(QWidget* panel);
    int OffsetX() const { return m_offsetX; }
    int OffsetY() const { return m_offsetY; }
    // Moves the controls of the page shown by the change.
    void SetOffsetX(int offset);
    void SetOffsetY(int offset);

    // The page shown, nullptr before the first.
    QWidget* ShownPage() const { return m_shown; }
    int ShownPageIndex() const;

    // Shows the page and returns it. Without a target panel it raises "Målpanel ej
    // angiven"; an index outside the pages changes nothing and gives nullptr.
    QWidget* ShowPage(int index);
    // The page whose name equals the name without regard to case; a name that no page has
    // raises "Målpanel "name" finns ej".
    QWidget* ShowPageByName(const QString& name);

private:
    struct TMoved {
        QPointer<QWidget> Control;
        bool Visible;
    };
    QList<QWidget*> ControlsInTabOrder(QWidget* holder) const;
    void GiveBack();
    void MoveBy(int dx, int dy);

    QList<QWidget*> m_pages;
    QPointer<QWidget> m_target;
    QPointer<QWidget> m_shown;
    QList<TMoved> m_moved;
    int m_offsetX = 0;
    int m_offsetY = 0;
};
