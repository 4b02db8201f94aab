#include "content/key/unitKeyScreen.h"

#include "content/key/unitFrameKeys.h"
#include "core/FRIniFile.h"
#include "core/unitDM.h"
#include "shell/unitMain.h"

QPointer<TFRKeyScreen> FRKeyScreen;

namespace {
TKeySpeciesHooks g_hooks;
int g_sortOrder = 0;
bool g_keySelection = false;
QPointer<TDM> g_dm;
}  // namespace

void SetKeySpeciesHooks(const TKeySpeciesHooks& hooks) { g_hooks = hooks; }

int KeySpeciesSortOrder() { return g_hooks.SortOrder ? g_hooks.SortOrder() : g_sortOrder; }

void SetKeySpeciesSortOrder(int order) {
    if (g_hooks.SetSortOrder) {
        g_hooks.SetSortOrder(order);
        return;
    }
    static const char* const indexes[] = {"", "swedish", "latin", "group"};
    if (order < 0 || order > 3) return;
    // The table follows the order even when it was made after the order was chosen.
    if (TDM* dm = KeyDataModule(); dm && order > 0 && dm->cdsFungi->IndexName() != QLatin1String(indexes[order]))
        dm->cdsFungi->SetIndexName(QLatin1String(indexes[order]));
    g_sortOrder = order;
    if (TFRIniFile* store = IniFile()) store->WriteInteger(QStringLiteral("Fungi/SortOrder"), g_sortOrder);
}

bool KeySpeciesSelection() { return g_hooks.KeySelection ? g_hooks.KeySelection() : g_keySelection; }

void SetKeySpeciesSelection(bool on) {
    if (g_hooks.SetKeySelection)
        g_hooks.SetKeySelection(on);
    else
        g_keySelection = on;
}

void SetKeyDataModule(TDM* dm) { g_dm = dm; }

TDM* KeyDataModule() {
    if (g_dm) return g_dm;
    return MainForm() ? MainForm()->DataModule() : nullptr;
}

QString KeyFullName(TExtClientDataSet* fungi) {
    const QString swedish = fungi->FieldByName(QStringLiteral("SwedishName"))->AsString();
    const QString latin = fungi->FieldByName(QStringLiteral("LatinName"))->AsString();
    return swedish.isEmpty() ? latin : QStringLiteral("%1 (%2)").arg(swedish, latin);
}

QString KeyFullName(const TExtClientDataSet* fungi, int row) {
    const auto text = [&](const char* name) {
        const TField* field = fungi->FindField(QLatin1String(name));
        return field ? fungi->RecordValue(row, field->Index()).toString() : QString();
    };
    const QString swedish = text("SwedishName");
    const QString latin = text("LatinName");
    return swedish.isEmpty() ? latin : QStringLiteral("%1 (%2)").arg(swedish, latin);
}

int CountCompleteSpecies(TExtClientDataSet* fungi) {
    TClientDataSet* stored = fungi->InternalDataSet();
    const bool wasOpen = stored->Active();
    if (!wasOpen) fungi->OpenInternal();
    TField* data = stored->FieldByName(QStringLiteral("FungiData"));
    int count = 0;
    const int keep = stored->RecNo();
    for (stored->First(); !stored->Eof(); stored->Next())
        if (data->AsString() == QLatin1String("CPLD")) ++count;
    if (keep > 0) stored->SetRecNo(keep);
    if (!wasOpen) fungi->CloseInternal();
    return count;
}

TFRKeyScreen::TFRKeyScreen(QObject* owner) : TFRMainScreen(owner) {
    if (TDM* dm = KeyDataModule()) SetDataSet(dm->cdsFungi);
    FRKeyScreen = this;
}

TFRKeyScreen::~TFRKeyScreen() = default;

void TFRKeyScreen::Initialize() {
    MenuButton()->setText(QStringLiteral("Svampnyckel"));
    MenuButton()->setToolTip(
        QStringLiteral("Kolla vilken svamp Du just hittat genom att beskriva dess färg, form, lukt och smak"));
    TFRMainScreen::Initialize();
    if (IsFrameCacheMode()) CreateFrame();
}

void TFRKeyScreen::CreateFrame() {
    if (Frame()) return;
    if (!DataSet())
        if (TDM* dm = KeyDataModule()) SetDataSet(dm->cdsFungi);
    frameKeys = TFRFrameBase::Create<TframeKeys>();
    SetFrame(frameKeys);
}

void TFRKeyScreen::ReleaseFrame() {
    TFRMainScreen::ReleaseFrame();
    frameKeys = nullptr;
}

TframeKeys* TFRKeyScreen::KeysFrame() const { return qobject_cast<TframeKeys*>(Frame()); }

TFRMainScreen* CreateKeyScreen(QObject* owner) { return TFRScreen::Create<TFRKeyScreen>(owner); }

void RegisterKeyScreen() {
    TformFRMain::RegisterScreenFactory(ssKey, [](TformFRMain* owner) { return CreateKeyScreen(owner); });
}

#include "moc_unitKeyScreen.cpp"
