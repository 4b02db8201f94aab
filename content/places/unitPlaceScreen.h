#pragma once
// The places screen: the user's own mushroom places and the excursions made to them. The
// screen keeps the sort order, the province/district selection of the place list, the
// returning-from-marking state and the two working tables a visit is edited in.
#include <QPointer>
#include <QString>
#include <memory>

#include "shell/FRScreens.h"
#include "shell/ScreenRequests.h"

class TClientDataSet;
class TDataSource;
class TDM;
class TframePlaces;

class TFRPlaceScreen : public TFRMainScreen, public TPlaceRequests {
    Q_OBJECT
public:
    explicit TFRPlaceScreen(QObject* owner);
    ~TFRPlaceScreen() override;

    void Initialize() override;
    void CreateFrame() override;

    TframePlaces* PlacesFrame() const;
    TDM* DM() const { return m_dm; }

    // Shows the place with the key (used by the map screen and a species' list of places).
    void ShowPlace(const QString& placeUKey) override;
    void NewPlace();
    void EditPlace();
    // Gives a place being inserted its author and the locks of the last saved place.
    void ApplyPlacePresets();

    // 0 not set, 1 by name (index "name"), 2 by place (index "place").
    quint8 SortOrder() const { return m_sortOrder; }
    void SetSortOrder(quint8 order);

    // The place selection: a province (empty: every province) and a district.
    QString SelProvince() const { return m_province; }
    QString SelDistrict() const { return m_district; }
    void ChooseProvince(const QString& province);
    void ChooseDistrict(const QString& district);
    void ApplyPlaceSelection();

    // The place being marked on the map, and whether the user is returning from marking.
    QString MarkPlaceUKey;
    bool ReturningFromMark = false;

    // The working tables of the visit editor: in memory only, never bound to a file.
    void ResetVisitWorkSets();
    TClientDataSet* WorkPeople() const { return m_workPeople.get(); }
    TClientDataSet* WorkFinds() const { return m_workFinds.get(); }
    TDataSource* WorkPeopleSource() const { return m_workPeopleSource; }
    TDataSource* WorkFindsSource() const { return m_workFindsSource; }

private:
    TDM* m_dm = nullptr;
    quint8 m_sortOrder = 0;
    QString m_province;
    QString m_district;
    std::unique_ptr<TClientDataSet> m_workPeople;
    std::unique_ptr<TClientDataSet> m_workFinds;
    TDataSource* m_workPeopleSource = nullptr;
    TDataSource* m_workFindsSource = nullptr;
};

// The one places screen, while it exists.
extern QPointer<TFRPlaceScreen> FRPlaceScreen;
TFRMainScreen* CreatePlaceScreen(QObject* owner);
// Registers the places screen with the main window under its screen number.
void RegisterPlaceScreen();
