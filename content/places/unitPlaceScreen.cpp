#include "content/places/unitPlaceScreen.h"

#include <QWidget>

#include "content/places/unitFramePlaces.h"
#include "controls/FREdits.h"
#include "core/ExtClientDataSet.h"
#include "core/FRIniFile.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "shell/unitMain.h"
#include "shell/unitUserScreen.h"
#include "platform/ClientDataSet.h"
#include "platform/DataLink.h"
#include "platform/Exception.h"

QPointer<TFRPlaceScreen> FRPlaceScreen;

namespace {

// The working table takes the design of the stored table it stands in for, but no file:
// nothing posted to it can reach the stored rows.
void ResetWorkSet(TClientDataSet* work, const QString& tableName) {
    const TDM::TTableInfo* info = TDM::FindTableInfo(tableName);
    if (!info) throw Exception(QStringLiteral("Tabellen %1 saknas").arg(tableName));
    work->Close();
    work->SetFieldDefs(info->Fields);
    work->CreateDataSet();
    work->SetLogChanges(false);
    for (const TDM::TIndexInfo& index : info->Indexes) work->AddIndex(index.Name, index.Fields, index.DescFields);
    if (!info->OrderIndex.isEmpty()) work->SetIndexName(info->OrderIndex);
}

TFRIniFile* Settings() { return UsersSettings(); }

}  // namespace

TFRPlaceScreen::TFRPlaceScreen(QObject* owner) : TFRMainScreen(owner) {
    m_dm = UsersDM();
    SetDataSet(m_dm->cdsPlaces);
    m_workPeople = std::make_unique<TClientDataSet>(nullptr, QStringLiteral("cdsWorkPeople"));
    m_workFinds = std::make_unique<TClientDataSet>(nullptr, QStringLiteral("cdsWorkFinds"));
    m_workPeopleSource = new TDataSource(this, QStringLiteral("dsWorkPeople"));
    m_workPeopleSource->SetAutoEdit(false);
    m_workPeopleSource->SetDataSet(m_workPeople.get());
    m_workFindsSource = new TDataSource(this, QStringLiteral("dsWorkFinds"));
    m_workFindsSource->SetAutoEdit(false);
    m_workFindsSource->SetDataSet(m_workFinds.get());
    ResetVisitWorkSets();
    FRPlaceScreen = this;
    ScreenRequests::SetPlaces(this);

    if (TformFRMain* main = MainForm()) {
        m_province = main->PlaceSelProvince;
        m_district = main->PlaceSelDistrict;
        main->OnProvinceChosen = [this](const QString& province, int) { ChooseProvince(province); };
        main->OnDistrictChosen = [this](const QString& district) { ChooseDistrict(district); };
        main->OnApplyPlaceSelection = [this](const QString& province, const QString& district) {
            m_province = province;
            m_district = district;
            if (TDMServices* services = TDMServices::Of(m_dm)) services->SetPlaceSelection(province, district);
            UpdateFrame();
        };
    }
}

TFRPlaceScreen::~TFRPlaceScreen() {
    if (ScreenRequests::Places() == this) ScreenRequests::SetPlaces(nullptr);
    if (TformFRMain* main = MainForm()) {
        main->OnProvinceChosen = nullptr;
        main->OnDistrictChosen = nullptr;
        main->OnApplyPlaceSelection = nullptr;
    }
    // The frame still uses the working tables as it goes, so it goes before them.
    if (TFRFrameBase* frame = Frame()) TFRFrameBase::Free(frame);
    // The sources go before their tables.
    delete m_workPeopleSource;
    delete m_workFindsSource;
}

void TFRPlaceScreen::Initialize() {
    MenuButton()->setText(QStringLiteral("Svampställen"));
    MenuButton()->setToolTip(QStringLiteral("Registrera Dina bästa svampställen och utflykterna Du gör till dem"));
    TFRMainScreen::Initialize();
}

void TFRPlaceScreen::CreateFrame() {
    if (Frame()) return;
    SetFrame(TFRFrameBase::Create<TframePlaces>(this));
}

TframePlaces* TFRPlaceScreen::PlacesFrame() const { return qobject_cast<TframePlaces*>(Frame()); }

void TFRPlaceScreen::ShowPlace(const QString& placeUKey) {
    Activate(QString::fromLatin1(ScreenParams::NoUpdate));
    static_cast<void>(LocateUKey(m_dm->cdsPlaces, placeUKey));
    UpdateFrame();
}

void TFRPlaceScreen::NewPlace() {
    if (ScreenHost()) ScreenHost()->SetNavigationEnabled(false);
    try {
        m_dm->cdsPlaces->Append();
        ApplyPlacePresets();
    } catch (...) {
        if (m_dm->cdsPlaces->State() == TDataSetState::dsInsert) m_dm->cdsPlaces->Cancel();
        if (ScreenHost()) ScreenHost()->SetNavigationEnabled(true);
        throw;
    }
    Activate(QString());
    if (TframePlaces* frame = PlacesFrame()) frame->dbeditPlaceName->setFocus();
}

void TFRPlaceScreen::EditPlace() {
    TExtClientDataSet* places = m_dm->cdsPlaces;
    // Only the place's author edits it.
    if (places->IsEmpty() || places->State() != TDataSetState::dsBrowse ||
        GetCreatedBy(places) != GetCurrentUserContactUKey())
        return;
    if (ScreenHost()) ScreenHost()->SetNavigationEnabled(false);
    places->Edit();
    Activate(QString());
    if (TframePlaces* frame = PlacesFrame()) frame->dbeditPlaceName->setFocus();
}

void TFRPlaceScreen::ApplyPlacePresets() {
    TExtClientDataSet* places = m_dm->cdsPlaces;
    if (places->State() != TDataSetState::dsInsert) return;
    places->FieldByName(QStringLiteral("CreatedBy"))->SetAsString(GetCurrentUserContactUKey());
    TFRIniFile* settings = Settings();
    for (const char* name : {"PositionLocked", "RouteNoteLocked", "NoteTextLocked"}) {
        const QString field = QLatin1String(name);
        const bool locked = settings && settings->ReadBool(QStringLiteral("PlacePresets/") + field);
        places->FieldByName(field)->SetAsBoolean(locked);
    }
}

void TFRPlaceScreen::SetSortOrder(quint8 order) {
    if (order != 1 && order != 2) order = 1;
    if (order == m_sortOrder) return;
    m_sortOrder = order;
    m_dm->cdsPlaces->SetIndexName(order == 1 ? QStringLiteral("name") : QStringLiteral("place"));
}

void TFRPlaceScreen::ChooseProvince(const QString& province) {
    if (province.isEmpty()) {
        m_province.clear();
        m_district.clear();
    } else if (province != m_province) {
        m_province = province;
        m_district.clear();
    }
    ApplyPlaceSelection();
}

void TFRPlaceScreen::ChooseDistrict(const QString& district) {
    m_district = district;
    ApplyPlaceSelection();
}

void TFRPlaceScreen::ApplyPlaceSelection() {
    if (TformFRMain* main = MainForm()) {
        main->PlaceSelProvince = m_province;
        main->PlaceSelDistrict = m_district;
        main->BuildPlaceMenus();
    }
    if (TDMServices* services = TDMServices::Of(m_dm)) services->SetPlaceSelection(m_province, m_district);
    if (TframePlaces* frame = PlacesFrame()) frame->UpdateFrame();
}

void TFRPlaceScreen::ResetVisitWorkSets() {
    ResetWorkSet(m_workPeople.get(), m_dm->cdsPlacePeople->objectName());
    ResetWorkSet(m_workFinds.get(), m_dm->cdsPlaceFinds->objectName());
}

TFRMainScreen* CreatePlaceScreen(QObject* owner) { return TFRScreen::Create<TFRPlaceScreen>(owner); }

void RegisterPlaceScreen() {
    TformFRMain::RegisterScreenFactory(ssPlace, [](TformFRMain* owner) { return CreatePlaceScreen(owner); });
}

#include "moc_unitPlaceScreen.cpp"
