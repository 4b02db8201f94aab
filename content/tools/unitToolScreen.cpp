#include "content/tools/unitToolScreen.h"

#include "content/tools/unitFrameTools.h"
#include "core/unitDM.h"
#include "shell/unitMain.h"
#include "platform/Exception.h"

QPointer<TFRToolScreen> FRToolScreen;

TFRToolScreen::TFRToolScreen(QObject* owner, TDM* dm) : TFRMainScreen(owner), m_dm(dm) {
    if (!dm) throw Exception(QStringLiteral("Datamodulen saknas"));
    FRToolScreen = this;
    if (IsFrameCacheMode()) CreateFrame();
}

TFRToolScreen::~TFRToolScreen() = default;

void TFRToolScreen::Initialize() {
    MenuButton()->setText(QStringLiteral("Verktyg"));
    MenuButton()->setToolTip(QStringLiteral("Verktyg för säkerhetskopiering, databasreparation, bildimport m.m."));
    TFRMainScreen::Initialize();
}

void TFRToolScreen::CreateFrame() {
    if (Frame()) return;
    auto* frame = TFRFrameBase::Create<TframeTools>(m_dm);
    frameTools = frame;
    SetFrame(frame);
}

TframeTools* TFRToolScreen::ToolsFrame() const { return qobject_cast<TframeTools*>(Frame()); }

TFRMainScreen* CreateToolScreen(QObject* owner, TDM* dm) { return TFRScreen::Create<TFRToolScreen>(owner, dm); }

void RegisterToolScreen() {
    TformFRMain::RegisterScreenFactory(ssTool,
                                       [](TformFRMain* owner) { return CreateToolScreen(owner, owner->DataModule()); });
}

#include "moc_unitToolScreen.cpp"
