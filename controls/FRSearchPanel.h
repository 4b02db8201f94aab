#pragma once
// A small panel with an edit and a search button that finds a name in a list of names with
// record keys and reports the chosen record's key. A text finds the names that begin with
// it; a text beginning with "*" finds the names that end with the rest. Letter case does not
// count (å, ä and ö included). One hit is taken at once; several are offered in a small pick
// list under the panel.
#include <QDialog>
#include <QFrame>
#include <QList>
#include <QStringList>
#include <functional>

#include "core/UKeyStringlist.h"

class QLabel;
class QListWidget;
class QToolButton;
class TFREdit;
class TFRSearchPanel;

// (Sender, AUKey)
using TFRSearchEvent = std::function<void(TFRSearchPanel* sender, const QString& aUKey)>;

// The pick list of several hits: a caption with their number and a list of at most five rows
// that scrolls. Enter or a press on a row takes that row; Escape takes none.
class TFRSearchPanelHitForm : public QDialog {
    Q_OBJECT
public:
    explicit TFRSearchPanelHitForm(QWidget* parent = nullptr);
    // Fills the list with the hits, the first one selected, and sizes the form to show at most
    // five of them below the caption.
    void SetHits(const QStringList& names);
    // Places the form with its top left corner at a point of the screen, moved back onto the
    // screen where it would leave it.
    void Place(const QPoint& topLeft);
    // Shows the form modally: the row taken, or -1.
    int Execute();

    QLabel* labelCaption = nullptr;
    QListWidget* listboxMain = nullptr;

    static constexpr int VisibleRows = 5;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

class TFRSearchPanel : public QFrame {
    Q_OBJECT
public:
    explicit TFRSearchPanel(QWidget* parent = nullptr);
    QSize sizeHint() const override { return QSize(185, 22); }

    TFREdit* Edit = nullptr;
    QToolButton* Button = nullptr;
    // The names searched: the owner fills it or assigns a shared name list to it.
    TUKeyStringlist SearchList;
    // After a search the edit shows the chosen name (selected), empty when none was chosen;
    // otherwise it is cleared.
    bool PresentSelection = false;

    // The edit's text changed.
    std::function<void(TFRSearchPanel*)> OnChange;
    // A record was chosen.
    TFRSearchEvent OnSearchPerformed;

    // The indexes in SearchList of the names a search text finds, in list order.
    QList<int> Hits(const QString& text) const;
    // Searches with the edit's text (the button and Enter in the edit do so).
    void Search();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Arrange();
};
