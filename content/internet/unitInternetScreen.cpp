#include "content/internet/unitInternetScreen.h"

#include "content/internet/unitFrameInternets.h"
#include "core/unitDM.h"
#include "shell/unitMain.h"
#include "platform/Exception.h"

QPointer<TFRInternetScreen> FRInternetScreen;

TFRInternetScreen::TFRInternetScreen(QObject* owner, TDM* dm, TFRIniFile* settings)
    : TFRMainScreen(owner), m_dm(dm), m_settings(settings) {
    if (!dm) throw Exception(QStringLiteral("Datamodulen saknas"));
    SetDataSet(dm->cdsInternet);
    FRInternetScreen = this;
}

TFRInternetScreen::~TFRInternetScreen() = default;

void TFRInternetScreen::Initialize() {
    MenuButton()->setText(QStringLiteral("Internet-resurser"));
    MenuButton()->setToolTip(
        QStringLiteral("Här hittar du svamplänkar, kontroll av programuppdatering och mycket mera"));
    TFRMainScreen::Initialize();
}

void TFRInternetScreen::CreateFrame() {
    if (Frame()) return;
    SetFrame(TFRFrameBase::Create<TframeInternets>(m_dm, m_settings));
}

TframeInternets* TFRInternetScreen::InternetFrame() const { return qobject_cast<TframeInternets*>(Frame()); }

TFRMainScreen* CreateInternetScreen(QObject* owner, TDM* dm, TFRIniFile* settings) {
    return TFRScreen::Create<TFRInternetScreen>(owner, dm, settings);
}

void RegisterInternetScreen() {
    TformFRMain::RegisterScreenFactory(
        ssInternet, [](TformFRMain* owner) { return CreateInternetScreen(owner, owner->DataModule(), IniFile()); });
}

#include "moc_unitInternetScreen.cpp"
