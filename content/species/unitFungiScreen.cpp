#include "content/species/unitFungiScreen.h"

#include "content/key/unitKeyScreen.h"

#include <QLabel>
#include <QVBoxLayout>

#include "content/species/unitFrameFungi.h"
#include "content/key/unitKeyScreen.h"
#include "core/ExtClientDataSet.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "shell/unitMain.h"
#include "shell/unitSimpleInfo.h"
#include "shell/unitUserScreen.h"
#include "core/FRIniFile.h"
#include "platform/DataSetScopes.h"
#include "platform/Exception.h"
#include "platform/UIServices.h"

QPointer<TFRFungiScreen> FRFungiScreen;

namespace {

const QString kUKey = QStringLiteral("UKey");

// The one frame each sub-screen keeps while it is shown.
TFRFrameBase* MakeSubFrame(quint8 subMode, const QString& title) {
    TFRFrameBase* frame = subMode == 0 ? static_cast<TFRFrameBase*>(TFRFrameBase::Create<TframeFungiSubBase>())
                                       : TFRFrameBase::Create<TframeFungiDetailBase>();
    frame->panelFrameHeader->setText(QStringLiteral("   ") + title);
    // The header stays on top of the still empty body.
    frame->BodyLayout()->addStretch(1);
    return frame;
}

void ShowStatus(const char* text) {
    if (formSimpleInfo) formSimpleInfo->AddInfo(QString::fromUtf8(text));
}
void HideStatus() {
    if (formSimpleInfo) formSimpleInfo->hide();
}

}  // namespace

QStringList FungiSortIndexNames() {
    return {QStringLiteral("undef"), QStringLiteral("swedish"), QStringLiteral("latin"), QStringLiteral("group")};
}

// ---- Sub-frames ----

TframeFungiSubBase::TframeFungiSubBase(QWidget* parent) : TFRFrameBase(parent) {}
TframeFungiDetailBase::TframeFungiDetailBase(QWidget* parent) : TframeFungiSubBase(parent) {}

// ---- Sub-screens ----

TFRFungiDetailSubScreen::TFRFungiDetailSubScreen(QObject* owner, TExtClientDataSet* table, quint8 subMode,
                                                 const QString& title, int button, const QString& caption)
    : TFRFungiSubScreen(owner), m_title(title), m_button(button), m_caption(caption) {
    SetSubMode(subMode);
    SetDataSet(table);
    // The frame is made by the derived constructor, where NewFrame reaches its override.
}

TFRFrameBase* TFRFungiDetailSubScreen::NewFrame() { return MakeSubFrame(SubMode(), m_title); }

void TFRFungiDetailSubScreen::CreateFrame() {
    if (Frame()) return;
    SetFrame(NewFrame());
}

void TFRFungiDetailSubScreen::ReleaseFrame() { TFRFungiSubScreen::ReleaseFrame(); }

void TFRFungiDetailSubScreen::UpdateFrame() {
    TFRFungiSubScreen::UpdateFrame();
    if (m_button <= 0 || !FRFungiScreen) return;
    if (TframeFungi* frame = FRFungiScreen->FungiFrame())
        if (QToolButton* button = frame->SubScreenButton(m_button)) {
            const int count = DataSet() && DataSet()->Active() ? DataSet()->RecordCount() : 0;
            button->setText(m_caption.arg(count));
        }
}

namespace {
TDM* ScreenDM() { return UsersDM(); }
}  // namespace

TFRFungiFindScreen::TFRFungiFindScreen(QObject* owner)
    : TFRFungiDetailSubScreen(owner, ScreenDM()->cdsFungiFinds, 0, QStringLiteral("Fyndplatser"), 1,
                              QStringLiteral("Fyndplatser (%1 st)")) {
    if (IsFrameCacheMode()) CreateFrame();
}
TFRFungiMixupScreen::TFRFungiMixupScreen(QObject* owner)
    : TFRFungiDetailSubScreen(owner, ScreenDM()->cdsFungiMixups, 0, QStringLiteral("Förväxlingssvampar"), 2,
                              QStringLiteral("Förväxlingssvampar (%1 st)")) {
    if (IsFrameCacheMode()) CreateFrame();
}
TFRFungiMixupDetailScreen::TFRFungiMixupDetailScreen(QObject* owner)
    : TFRFungiDetailSubScreen(owner, ScreenDM()->cdsFungiMixups, 1, QStringLiteral("Förväxlingssvamp"), 0, QString()) {
    if (IsFrameCacheMode()) CreateFrame();
}
TFRFungiFPlaceScreen::TFRFungiFPlaceScreen(QObject* owner)
    : TFRFungiDetailSubScreen(owner, ScreenDM()->cdsFungiSubPlaces, 0, QStringLiteral("Svampställen"), 3,
                              QStringLiteral("Svampställen (%1 st)")) {
    if (IsFrameCacheMode()) CreateFrame();
}

// ---- The species screen ----

TFRFungiScreen::TFRFungiScreen(QObject* owner) : TFRMainScreen(owner), m_dm(UsersDM()), m_fungi(m_dm->cdsFungi) {
    SetDataSet(m_fungi);
    // Order 0 keeps the records in the order they were made (their keys begin with a time code).
    if (!m_fungi->IndexNames().contains(QStringLiteral("undef"))) m_fungi->AddIndex(QStringLiteral("undef"), kUKey);
    FRFungiScreen = this;
    TFRFungiSubScreen::SetHostScreen(this);
    if (IsFrameCacheMode()) CreateFrame();
    CreateSubScreens();
    if (TDMServices* services = TDMServices::Of(m_dm)) {
        QPointer<TFRFungiScreen> self(this);
        services->Hooks.FungiPicsChanged = [self] {
            if (self) self->UpdatePicCount();
        };
    }
}

TFRFungiScreen::~TFRFungiScreen() {
    if (TDMServices* services = TDMServices::Of(m_dm)) services->Hooks.FungiPicsChanged = nullptr;
    // The frame refers to the sub-screens: it goes first.
    if (TFRFrameBase* frame = Frame()) {
        FrameRef() = nullptr;
        TFRFrameBase::Free(frame);
    }
}

void TFRFungiScreen::CreateSubScreens() {
    PicScreen = new TFRFungipicScreen(this);
    PicDetailScreen = new TFRFungiPicDetailScreen(this);
    FindScreen = new TFRFungiFindScreen(this);
    FindDetailScreen = new TFRFungiFindDetailScreen(this);
    MixupScreen = new TFRFungiMixupScreen(this);
    MixupDetailScreen = new TFRFungiMixupDetailScreen(this);
    FPlaceScreen = new TFRFungiFPlaceScreen(this);
}

void TFRFungiScreen::Initialize() {
    MenuButton()->setText(QStringLiteral("Artbeskrivningar"));
    MenuButton()->setToolTip(QStringLiteral("Sök och detaljstudera olika arters egenskaper och utseende"));
    TFRMainScreen::Initialize();
}

void TFRFungiScreen::CreateFrame() {
    if (Frame()) return;
    SetFrame(TFRFrameBase::Create<TframeFungi>(this));
}

void TFRFungiScreen::ReleaseFrame() {
    if (TframeFungi* frame = FungiFrame()) frame->CloseSubScreen();
    TFRMainScreen::ReleaseFrame();
}

TframeFungi* TFRFungiScreen::FungiFrame() const { return qobject_cast<TframeFungi*>(Frame()); }

void TFRFungiScreen::UpdateFrame() {
    TFRMainScreen::UpdateFrame();
    for (TFRDBScreen* sub : {static_cast<TFRDBScreen*>(PicScreen), static_cast<TFRDBScreen*>(MixupScreen),
                             static_cast<TFRDBScreen*>(FPlaceScreen), static_cast<TFRDBScreen*>(FindScreen)})
        if (sub) sub->UpdateFrame();
}

void TFRFungiScreen::SetSortOrder(int order) {
    const QStringList names = FungiSortIndexNames();
    if (order < 0 || order >= names.size()) order = 0;
    if (order != m_sortOrder) {
        m_fungi->SetIndexName(names.at(order));
        m_sortOrder = quint8(order);
    }
    if (TframeFungi* frame = FungiFrame())
        for (int i = 1; i <= 3; ++i)
            if (QToolButton* b = frame->SortButton(i)) b->setChecked(i == m_sortOrder);
    if (TFRIniFile* settings = UsersSettings()) settings->WriteInteger(QStringLiteral("Fungi/SortOrder"), m_sortOrder);
}

void TFRFungiScreen::SetShowSporeInfo(bool value) {
    m_showSporeInfo = value;
    UpdateFrame();
}

void TFRFungiScreen::SetBrowseEnabled(bool value) {
    if (TframeFungi* frame = FungiFrame()) frame->SetBrowseControlsEnabled(value);
    UpdateFrame();
}

bool TFRFungiScreen::LocateLookup(const QString& key) {
    TClientDataSet* stored = m_fungi->InternalDataSet();
    if (!stored->Active()) m_fungi->OpenInternal();
    const QString wanted = key == QLatin1String("***") ? GetUKey(m_fungi) : key;
    if (wanted.isEmpty()) return false;
    return stored->Locate(kUKey, wanted);
}

QString TFRFungiScreen::StoredText(const QString& key, const QString& field) {
    if (key == QLatin1String("*")) {
        if (!m_fungi->Active() || m_fungi->IsEmpty()) return QString();
        const TField* f = m_fungi->FindField(field);
        return f ? f->AsString() : QString();
    }
    if (!LocateLookup(key)) return QString();
    const TField* f = m_fungi->InternalDataSet()->FindField(field);
    return f ? f->AsString() : QString();
}

QString TFRFungiScreen::GetFungiFullName(const QString& key) {
    const QString latin = StoredText(key, QStringLiteral("LatinName"));
    const QString swedish = StoredText(key, QStringLiteral("SwedishName"));
    if (!swedish.isEmpty()) return QStringLiteral("%1 (%2)").arg(swedish, latin);
    return latin;
}

QString TFRFungiScreen::GetFungiName(const QString& key) {
    const QString swedish = StoredText(key, QStringLiteral("SwedishName"));
    return swedish.isEmpty() ? StoredText(key, QStringLiteral("LatinName")) : swedish;
}

QString TFRFungiScreen::FindUKeyBySignature(const QString& signature) {
    TDisabledControls off(m_fungi);
    TClientDataSet* stored = m_fungi->InternalDataSet();
    if (!stored->Active()) m_fungi->OpenInternal();
    const int field = stored->FieldByName(QStringLiteral("Signature"))->Index();
    const int key = stored->FieldByName(kUKey)->Index();
    // Read row by row past the cursor: the stored records' position stays where it was.
    for (int row = 0; row < stored->RecordCount(); ++row)
        if (stored->RecordValue(row, field).toString() == signature) return stored->RecordValue(row, key).toString();
    return QString();
}

bool TFRFungiScreen::ShowFungiInSelection(const QString& key) {
    if (m_fungi->Active() && m_fungi->FindRecordIndex(kUKey, key) >= 0) return LocateUKey(m_fungi, key);
    // A key no stored species has would widen the selection by nothing.
    if (key.isEmpty() || !LocateLookup(key)) {
        UIServices::ShowWarning(QStringLiteral("Arten finns inte i artregistret."));
        return false;
    }
    ShowStatus(WideningStatusText);
    QStringList lines = m_fungi->Sel();
    const bool hadLines = !lines.isEmpty();
    lines.insert(0, QStringLiteral("Str(UKey = \"%1\")").arg(key));
    if (hadLines) lines.insert(1, QStringLiteral("OR"));
    m_fungi->SetSel(lines);
    m_fungi->LoadData();
    const bool found = LocateUKey(m_fungi, key);
    HideStatus();
    return found;
}

void TFRFungiScreen::ShowFungiFind(const QString& fungiKey, const QString& findKey) {
    // A species outside the selection is brought in first, so its own finds are shown.
    if (!m_fungi->Active() || m_fungi->FindRecordIndex(kUKey, fungiKey) < 0)
        if (!ShowFungiInSelection(fungiKey)) return;
    Activate(QString::fromLatin1(ScreenParams::NoUpdate));
    if (!LocateUKey(m_fungi, fungiKey)) return;
    static_cast<void>(LocateUKey(m_dm->cdsFungiFinds, findKey));
    if (TframeFungi* frame = FungiFrame()) frame->ShowSubScreen(1);
    static_cast<void>(LocateUKey(m_dm->cdsFungiFinds, findKey));
    UpdateFrame();
}

void TFRFungiScreen::UpdatePicCount() {
    if (!m_fungi->Active() || m_fungi->IsEmpty()) return;
    TExtClientDataSet* pics = m_dm->cdsFungiPics;
    // Counted by the species' key: the pictures table may be detached from the species (the
    // picture wizards work on every species' pictures at once).
    const QString fungiKey = GetUKey(m_fungi);
    int count = 0;
    if (pics->Active()) {
        const int master = pics->FieldByName(QStringLiteral("MasterUKey"))->Index();
        for (int row = 0; row < pics->RecordCount(); ++row)
            if (pics->RecordValue(row, master).toString() == fungiKey) ++count;
    }
    if (m_fungi->FieldByName(QStringLiteral("PicCount"))->AsInteger() == count) return;
    const bool wasLocked = Locked;
    Locked = true;
    try {
        TEditScope edit(m_fungi);
        m_fungi->FieldByName(QStringLiteral("PicCount"))->SetAsInteger(count);
        edit.Post();
    } catch (...) {
        Locked = wasLocked;
        throw;
    }
    Locked = wasLocked;
}

TFRMainScreen* CreateFungiScreen(QObject* owner) { return TFRScreen::Create<TFRFungiScreen>(owner); }

void RegisterFungiScreen() {
    TformFRMain::RegisterScreenFactory(ssFungi, [](TformFRMain* owner) { return CreateFungiScreen(owner); });
    // The key sorts and selects the species table through the species screen, which owns both.
    auto screen = [] { return MainForm() ? qobject_cast<TFRFungiScreen*>(MainForm()->Screen(ssFungi)) : nullptr; };
    TKeySpeciesHooks hooks;
    hooks.SortOrder = [screen] {
        TFRFungiScreen* s = screen();
        return s ? int(s->SortOrder()) : 0;
    };
    hooks.SetSortOrder = [screen](int order) {
        if (TFRFungiScreen* s = screen()) s->SetSortOrder(order);
    };
    hooks.KeySelection = [screen] {
        TFRFungiScreen* s = screen();
        return s && s->KeySelectionFlag;
    };
    hooks.SetKeySelection = [screen](bool on) {
        if (TFRFungiScreen* s = screen()) s->KeySelectionFlag = on;
    };
    SetKeySpeciesHooks(hooks);
}

#include "moc_unitFungiScreen.cpp"
