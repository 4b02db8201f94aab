#pragma once
// The identification key's frame: the questions in a scroll box, a tool bar, and the pages
// that explain the key or show the species that match its answers, as a table or as a list
// with a big picture of each species.
#include <QCache>
#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QStringList>
#include <functional>

#include "shell/FRScreens.h"

class QLabel;
class QListWidget;
class QMenu;
class QScrollArea;
class QStackedWidget;
class QTableView;
class QToolButton;
class DataSetModel;
class TExtClientDataSet;
class TFRKeyPanel;

class TframeKeys : public TFRFrameBase {
    Q_OBJECT
public:
    explicit TframeKeys(QWidget* parent = nullptr);
    ~TframeKeys() override;

    void InitFrame() override {}
    void LoadSettings() override;
    void SaveSettings() override;
    void UpdateFrame() override;
    TFRHistoryItem* CreateHistoryItem() override;
    void RestoreHistory(TFRHistoryItem* item) override;

    // Turns the answered questions into the species table's selection and shows the result.
    void MakeSelection();
    // Clears every question; the selection in force stays.
    void EmptyAll();
    void SetPresentation(int presentation);
    void SetSortOrder(int order);
    void SetColorTolerance(int tolerance);
    // Makes the species of a result row current, and opens it on the species screen.
    void ChooseSpecies(int row);
    void OpenSpecies(int row);

    // The answers of every question in question order, and back.
    QStringList StoreAnswers() const;
    void RestoreAnswers(const QStringList& answers);

    int Presentation = 1;  // 1 table, 2 big pictures
    int ColorTolerance = 0;  // 0..4
    bool RebuildBigPics = true;

    // The questions in question order (not the order on screen).
    QList<TFRKeyPanel*> Panels;
    TFRKeyPanel* Panel(int question) const { return Panels.value(question); }

    QWidget* panelToolbar = nullptr;
    QToolButton* sbtnEmptyAll = nullptr;
    QToolButton* sbtnMakeSelection = nullptr;
    QToolButton* sbtnShowTable = nullptr;
    QToolButton* sbtnShowBigPics = nullptr;
    QToolButton* sbtnSorting = nullptr;
    QToolButton* sbtnColorTolerance = nullptr;
    QToolButton* sbtnHelpMain = nullptr;
    QMenu* popupSort = nullptr;
    QMenu* popupColorTolerance = nullptr;
    QScrollArea* scrollboxQuestions = nullptr;
    QStackedWidget* pagesResult = nullptr;
    QWidget* tabsInfo = nullptr;
    QWidget* tabsTable = nullptr;
    QWidget* tabsBigPic = nullptr;
    QWidget* tabsNoMatch = nullptr;
    QTableView* dbgridMain = nullptr;
    QListWidget* listboxBigPics = nullptr;
    QLabel* lblSelCountTable = nullptr;
    QLabel* lblSelCountBigPic = nullptr;
    QLabel* imgRegions = nullptr;  // inside the regions question, left of its numbers

    // The main picture of a species, decoded once at the list's size and kept in a bounded
    // cache (a null picture when it has none or it cannot be read).
    QPixmap MainPicture(const QString& ukey, const QSize& size);
    int DecodedPictures = 0;  // pictures decoded so far
    int CompleteCount() const { return m_completeCount; }

private:
    void SetupComponents();
    TExtClientDataSet* Fungi() const;
    void Activation();
    void ShowPage(QWidget* page);
    void FillBigPics();
    void PopupSort();
    void PopupColorTolerance();
    void ChooseColor(TFRKeyPanel* panel, qint64& colour);

    DataSetModel* m_gridModel = nullptr;
    int m_completeCount = 0;
    bool m_quiet = false;  // answers being restored or emptied: one update afterwards
    QCache<QString, QPixmap> m_pictures;
};

// The numbered regions of Sweden beside the regions question: a picture of at most the size
// given, from the region pictures of the controls. Unset (or a null picture), the question
// shows its numbers alone.
void SetKeyRegionsPictureSource(std::function<QPixmap(const QSize&)> source);

// The one key frame, while it exists.
extern QPointer<TframeKeys> frameKeys;
