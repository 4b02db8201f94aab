#include "content/recipes/unitFoodScreen.h"

#include "content/recipes/unitFrameFoods.h"
#include "core/ExtClientDataSet.h"
#include "core/ProgramFolders.h"
#include "core/unitDM.h"
#include "shell/unitMain.h"
#include "shell/unitUserScreen.h"
#include "platform/Exception.h"

QPointer<TFRFoodScreen> FRFoodScreen;

TFRFoodScreen::TFRFoodScreen(QObject* owner, TDM* dm, TFRIniFile* settings)
    : TFRMainScreen(owner), m_dm(dm), m_settings(settings) {
    if (!dm) throw Exception(QStringLiteral("Datamodulen saknas"));
    SetDataSet(dm->cdsFoods);
    FRFoodScreen = this;
}

TFRFoodScreen::~TFRFoodScreen() = default;

void TFRFoodScreen::Initialize() {
    MenuButton()->setText(QStringLiteral("Svamp i maten"));
    MenuButton()->setToolTip(QStringLiteral("Här kan Du lagra Dina bästa svamprecept och ta del av andras godbitar!"));
    TFRMainScreen::Initialize();
}

void TFRFoodScreen::CreateFrame() {
    if (Frame()) return;
    SetFrame(TFRFrameBase::Create<TframeFoods>(m_dm, m_settings));
}

TframeFoods* TFRFoodScreen::FoodFrame() const { return qobject_cast<TframeFoods*>(Frame()); }

void TFRFoodScreen::NewRecipe() {
    TExtClientDataSet* types = m_dm->cdsFoodTypes;
    if (types->RecordCount() == 0) return;
    if (!FoodFrame()) Activate(QString());
    TframeFoods* frame = FoodFrame();
    if (TFRScreenHost* host = ScreenHost()) host->SetNavigationEnabled(false);
    TExtClientDataSet* foods = m_dm->cdsFoods;
    foods->Append();
    foods->FieldByName(QStringLiteral("MasterUKey"))->SetAsString(GetUKey(types));
    foods->FieldByName(QStringLiteral("HasPic"))->SetAsBoolean(false);
    const QString author = frame && frame->CurrentContactKey ? frame->CurrentContactKey() : GetCurrentUserContactUKey();
    foods->FieldByName(QStringLiteral("CreatedBy"))->SetAsString(author);
    if (frame) frame->BeginEdit();
    UpdateFrame();
}

void TFRFoodScreen::EditRecipe() {
    if (!FoodFrame()) Activate(QString());
    TframeFoods* frame = FoodFrame();
    TExtClientDataSet* foods = m_dm->cdsFoods;
    if (foods->RecordCount() == 0 || (frame && !frame->IsAuthor())) return;
    if (TFRScreenHost* host = ScreenHost()) host->SetNavigationEnabled(false);
    foods->Edit();
    if (frame) frame->BeginEdit();
    UpdateFrame();
}

TFRMainScreen* CreateFoodScreen(QObject* owner, TDM* dm, TFRIniFile* settings) {
    return TFRScreen::Create<TFRFoodScreen>(owner, dm, settings);
}

void RegisterFoodScreen() {
    TformFRMain::RegisterScreenFactory(
        ssFood, [](TformFRMain* owner) { return CreateFoodScreen(owner, owner->DataModule(), IniFile()); });
}

#include "moc_unitFoodScreen.cpp"
