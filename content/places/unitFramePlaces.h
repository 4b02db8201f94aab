#pragma once
// The places frame: the place list with the place editor and its visits on one page, one
// visit with its participants and finds on the other. The members of the visits are defined
// in PlaceVisits.cpp.
#include <QDate>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>

#include "shell/FRScreens.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QStackedWidget;
class QToolButton;
class TDataSource;
class TDM;
class TExtClientDataSet;
class TFRDBEdit;
class TFRDBLock;
class TFRDBMemo;
class TFRDBMultiChoice;
class TFRPlaceScreen;
class TFRSearchPanel;

class TframePlaces : public TFRFrameBase {
    Q_OBJECT
public:
    explicit TframePlaces(TFRPlaceScreen* screen, QWidget* parent = nullptr);
    ~TframePlaces() override;

    void InitFrame() override;
    void DoneFrame() override;
    void LoadSettings() override;
    void UpdateFrame() override;
    void UpdateButtons() override;
    TFRHistoryItem* CreateHistoryItem() override;
    void RestoreHistory(TFRHistoryItem* item) override;

    bool ShowingVisit() const { return m_showingVisit; }
    void SetShowingVisit(bool showing);

    // ---- What the lists show ----
    QString PlaceListHeading() const;
    QString VisitHeading() const;
    // "2024-09-14 (2 deltagare)" for a visit.
    QString VisitLine(const QString& visitUKey, const QDate& date) const;
    // A participant's name, a contact's followed by " (kontakt)".
    QString PeopleLine(const QString& individual) const;
    QString FindLine(const QString& name, int count, int age) const;
    static QString CountClass(int count);
    static QString AgeClass(int age);

    // ---- Places ----
    void sbtnPlaceDeleteClick();
    void btnSaveClick();
    void btnCancelClick();
    void SortChosen(int order);
    void listPlacesClick(int row);

    // ---- Visits ----
    void listVisitsClick(int row);
    void VisitStart(bool isNew);
    void btnVisitSaveClick();
    void btnVisitCancelClick();
    void sbtnVisitDeleteClick();
    void sbtnPrevNextClick(int tag);

    // ---- Participants and finds of the visit being edited ----
    void btnPeopleNewClick();
    void btnPeopleSaveClick();
    void btnPeopleDeleteClick();
    void PeopleChosen(const QString& contactUKey);
    void PeopleTextChanged();
    void btnFindNewClick();
    void btnFindSaveClick();
    void btnFindDeleteClick();
    void FindChosen(const QString& fungiUKey);
    void listPeopleDoubleClick(int row);
    void listFindsDoubleClick(int row);

    // A participant or find still being entered is stored when it is complete and given
    // up when nothing was typed for it; a find typed but without its species raises "Namn
    // på funnen art saknas!" when complete is required, and is given up otherwise.
    void KeepPendingPerson();
    void KeepPendingFind(bool complete);

    // Whether the place or visit of the current row may be edited by the logged-in user.
    bool MayEditPlace() const;
    bool MayEditVisit() const;
    bool EditingPlace() const;
    bool EditingVisit() const;

    // Called between the steps of a visit save (tests stop or fail it there): 1 before the
    // stored rows go, 2 before the visit is posted, 3 once every row is in the tables and
    // their files are about to be written (TSaveUnit::StepHook follows the files).
    std::function<void(int step)> OnVisitSaveStep;

    // ---- Components ----
    QStackedWidget* pagesPlaces = nullptr;
    QWidget* tabsPlace = nullptr;
    QWidget* tabsVisit = nullptr;

    QLabel* lblPlaceList = nullptr;
    QListWidget* listPlaces = nullptr;
    QToolButton* sbtnPlaceNew = nullptr;
    QToolButton* sbtnPlaceEdit = nullptr;
    QToolButton* sbtnPlaceDelete = nullptr;
    QToolButton* sbtnPlaceSort = nullptr;
    QToolButton* sbtnPlaceSelection = nullptr;
    QToolButton* sbtnShowOnMap = nullptr;
    QToolButton* sbtnPrint = nullptr;
    QMenu* popupSort = nullptr;

    TFRDBEdit* dbeditPlaceName = nullptr;
    TFRDBEdit* dbeditPositionY = nullptr;
    TFRDBEdit* dbeditPositionX = nullptr;
    TFRDBEdit* dbeditSizeX = nullptr;
    TFRDBEdit* dbeditSizeY = nullptr;
    TFRDBLock* dblockPosition = nullptr;
    QPushButton* btnMarkOnMap = nullptr;
    TFRDBEdit* dbeditProvince = nullptr;
    TFRDBEdit* dbeditDistrict = nullptr;
    TFRDBMemo* dbmemoRouteNote = nullptr;
    TFRDBLock* dblockRouteNote = nullptr;
    TFRDBMemo* dbmemoNoteText = nullptr;
    TFRDBLock* dblockNoteText = nullptr;
    QPushButton* btnSave = nullptr;
    QPushButton* btnCancel = nullptr;

    QLabel* lblVisits = nullptr;
    QListWidget* listVisits = nullptr;
    QToolButton* sbtnVisitNew = nullptr;
    QToolButton* sbtnVisitEdit = nullptr;
    QToolButton* sbtnVisitDelete = nullptr;
    QToolButton* sbtnVisitInfo = nullptr;

    QLabel* lblVisitHeading = nullptr;
    QToolButton* sbtnPrev = nullptr;
    QToolButton* sbtnNext = nullptr;
    QToolButton* sbtnClose = nullptr;
    QLineEdit* editVisitDate = nullptr;
    TFRDBEdit* dbeditWeather = nullptr;
    TFRDBMemo* dbmemoVisitNote = nullptr;
    QListWidget* listPeople = nullptr;
    TFRSearchPanel* searchPeople = nullptr;
    QPushButton* btnPeopleNew = nullptr;
    QPushButton* btnPeopleSave = nullptr;
    QPushButton* btnPeopleDelete = nullptr;
    QListWidget* listFinds = nullptr;
    TFRSearchPanel* searchFungi = nullptr;
    TFRDBMultiChoice* multicBodyCount = nullptr;
    TFRDBMultiChoice* multicBodyAge = nullptr;
    QPushButton* btnFindNew = nullptr;
    QPushButton* btnFindSave = nullptr;
    QPushButton* btnFindDelete = nullptr;
    QPushButton* btnVisitSave = nullptr;
    QPushButton* btnVisitCancel = nullptr;

private:
    void SetupFrame();
    QWidget* SetupPlacePage();
    QWidget* SetupVisitPage();
    void FillPlaceList();
    void FillVisitList();
    void FillPeopleList();
    void FillFindsList();
    void DeleteVisitRow(TClientDataSet* work, TFRSearchPanel* search, void (TframePlaces::*fillList)());
    void FillDistrictItems();
    void ReadVisit();
    void SaveVisitRows();
    TDM* DM() const;
    TFRPlaceScreen* PlaceScreen() const { return m_screen; }
    TExtClientDataSet* Places() const;
    TExtClientDataSet* Visits() const;
    TExtClientDataSet* People() const;
    TExtClientDataSet* Finds() const;

    // A released frame may wait to be freed until after its screen is gone.
    QPointer<TFRPlaceScreen> m_screen;
    bool m_showingVisit = false;
    bool m_filling = false;
    TDataSource* m_placeSource = nullptr;
    TDataSource* m_visitSource = nullptr;
};
