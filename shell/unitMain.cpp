#include "shell/unitMain.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QHash>
#include <QChildEvent>
#include <QLabel>
#include <QToolTip>
#include <QLineEdit>
#include <QMenu>
#include <QPrinter>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "core/ExtClientDataSet.h"
#include "shell/FRHistory.h"
#include "shell/FRFormPlacement.h"
#include "core/FRIConnection.h"
#include "core/FRIniFile.h"
#include "core/MyUtils.h"
#include "shell/unitColorChoice.h"
#include "core/unitDM.h"
#include "shell/unitInetProgress.h"
#include "platform/Application.h"
#include "platform/ClientDataSet.h"
#include "platform/Exception.h"
#include "platform/Resources.h"
#include "platform/UIServices.h"
#include "script/QSHandler.h"
#include "zip/ZipMstr.h"

namespace {

// Says what to do while the screen holder is empty (no screen to show yet). It follows the
// holder's size and goes as soon as a screen's frame is placed into the holder.
class THolderHint : public QLabel {
public:
    explicit THolderHint(QWidget* holder)
        : QLabel(QStringLiteral("Välj vad Du vill göra i menyn till vänster."), holder) {
        setObjectName(QStringLiteral("lblNoScreen"));
        setAlignment(Qt::AlignCenter);
        setWordWrap(true);
        setGeometry(holder->rect());
        holder->installEventFilter(this);
        show();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == parent()) {
            if (event->type() == QEvent::Resize) {
                setGeometry(parentWidget()->rect());
            } else if (event->type() == QEvent::ChildAdded) {
                QObject* child = static_cast<QChildEvent*>(event)->child();
                if (child != this && child->isWidgetType()) {
                    hide();
                    deleteLater();
                }
            }
        }
        return false;
    }
};

QPointer<TFRIniFile> g_iniFile;
QPointer<TFRIniFile> g_secondIniFile;
QPointer<TformFRMain> g_mainForm;

QHash<int, TformFRMain::TScreenFactory>& ScreenFactories() {
    static QHash<int, TformFRMain::TScreenFactory> factories;
    return factories;
}

const char* const kDistrictsMissing =
    "Filen \"Data/Res/Districts.dat\" kunde inte hittas. Du måste installera om programmet";
const char* const kDistrictsUnreadable =
    "Filen \"Data/Res/Districts.dat\" med länens och kommunernas namn kunde inte läsas: %1 Du måste installera om "
    "programmet";

constexpr int kPrevColorKeys = 20;
constexpr int kPrevColorsPerKey = 6;
constexpr int kMaxPrevColors = kPrevColorKeys * kPrevColorsPerKey;

// The path of a table's file in the database folder ("cdsFungi" lies in "Fungi.dat").
QString TableFileOf(const QString& componentName) { return GetDatabaseFolder() + componentName.mid(3) + ".dat"; }

// Reads a table file into a table of its own; nullptr-like empty table when it cannot be read.
bool LoadTableFile(TClientDataSet& table, const QString& componentName) {
    const QString file = TableFileOf(componentName);
    if (!QFileInfo::exists(file)) return false;
    try {
        table.LoadFromFile(file);
        table.SetReadOnly(true);
        return table.Active();
    } catch (const Exception&) {
        // The data module reports damaged files; the lists are simply built without them.
        return false;
    }
}

// The records of a table's file, for the lists built from every stored record: the data
// module's internal table when it holds exactly what the file holds now (as it does after
// start-up), which spares reading the file again; else the file read into own. nullptr when
// neither can be read.
const TClientDataSet* StoredRecords(TDM* dm, const QString& componentName, TClientDataSet& own) {
    const QString file = TableFileOf(componentName);
    if (TExtClientDataSet* table = dm ? dm->Table(componentName) : nullptr) {
        const TClientDataSet* internal = table->InternalDataSet();
        const auto path = [](const QString& name) { return QDir::cleanPath(QFileInfo(name).absoluteFilePath()); };
        if (internal->Active() && path(internal->FileName()) == path(file) && internal->MatchesBoundFile())
            return internal;
    }
    return LoadTableFile(own, componentName) ? &own : nullptr;
}

int FieldIndex(const TClientDataSet& table, const char* name) {
    TField* f = table.FindField(QLatin1String(name));
    return f ? f->Index() : -1;
}

QString RowText(const TClientDataSet& table, int row, int field) {
    return field < 0 ? QString() : table.RecordValue(row, field).toString();
}

QString MenuCaption(const QString& text) {
    QString caption = text;
    return caption.replace(QLatin1Char('&'), QLatin1String("&&"));
}

const char* const kMenuStyle = R"(
#panelMainMenu {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #2f5f36, stop:1 #1c3a21);
    border-right: 1px solid #132916;
}
#panelMainMenu QToolButton {
    color: #f4f7ea;
    background: transparent;
    border: 1px solid transparent;
    border-radius: 4px;
    padding: 1px 6px;
    text-align: left;
}
#panelMainMenu QToolButton:hover {
    background: rgba(255, 255, 255, 36);
    border-color: rgba(255, 255, 255, 70);
}
#panelMainMenu QToolButton:pressed, #panelMainMenu QToolButton:checked {
    background: #efe4c4;
    color: #1c3a21;
    border-color: #c9b98a;
}
#panelMainMenu QToolButton:disabled {
    color: rgba(244, 247, 234, 90);
}
#panelMenuHeader {
    color: #d9e8b8;
    border-bottom: 1px solid rgba(255, 255, 255, 60);
    padding-left: 10px;
}
#panelVersionInfo QLabel {
    color: #b9cda6;
    padding-left: 10px;
}
#panelScreenHolder {
    background: #f6f3ea;
}
)";

}  // namespace

// ---- Program folders ----------------------------------------------------------------------

QString GetProgramVersion() {
    const QString version = GetVersionInfoItem(QString(), 5);
    return version.isEmpty() ? QStringLiteral(MYKO_VERSION) : version;
}

void CheckEditNumber(int mode, QLineEdit* edit, const QString& message) {
    const QString text = edit ? edit->text().trimmed() : QString();
    bool ok = false;
    switch (mode) {
        case 0:
            ok = !text.isEmpty();
            break;
        case 1:
        case 2: {
            bool isInt = false;
            const int value = text.toInt(&isInt, 10);
            ok = isInt && (mode == 1 ? value > 0 : value >= 0);
            break;
        }
        default:
            ok = false;
            break;
    }
    if (ok) return;
    if (edit) edit->setFocus();
    throw Exception(message);
}

TFRIniFile* IniFile() { return g_iniFile.data(); }
TFRIniFile* SecondIniFile() { return g_secondIniFile.data(); }
TformFRMain* MainForm() { return g_mainForm.data(); }

// ---- The main window ------------------------------------------------------------------------

void TformFRMain::RegisterScreenFactory(int screenID, TScreenFactory factory) {
    if (screenID < 0 || screenID >= ScreenSlotCount) return;
    if (factory)
        ScreenFactories().emplace(screenID, std::move(factory));
    else
        ScreenFactories().remove(screenID);
}

void TformFRMain::ClearScreenFactories() { ScreenFactories().clear(); }

TformFRMain::TformFRMain(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("formFRMain"));
    g_mainForm = this;
    SetupComponents();
    FormCreate();
}

TformFRMain::~TformFRMain() {
    // The scripts let go of the tables first.
    m_scriptHandler.reset();
    // Screens go while the window and the history they use still exist.
    if (History()) History()->Clear();
    for (QPointer<TFRMainScreen>& screen : m_screens) delete screen.data();
    // FormDestroy: the settings store is forgotten.
    if (g_iniFile == inifileMain) g_iniFile = nullptr;
    if (g_mainForm == this) g_mainForm = nullptr;
}

QAbstractButton* TformFRMain::BackButton() const { return sbtnBack; }
QAbstractButton* TformFRMain::ForwardButton() const { return sbtnForward; }
QAbstractButton* TformFRMain::QuitButton() const { return sbtnQuit; }

void TformFRMain::SetupComponents() {
    setWindowTitle(QStringLiteral("Mykotekshallen"));
    setStyleSheet(QString::fromUtf8(kMenuStyle));

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    panelMainMenu = new QWidget(this);
    panelMainMenu->setObjectName(QStringLiteral("panelMainMenu"));
    panelMainMenu->setAttribute(Qt::WA_StyledBackground, true);
    panelMainMenu->setFixedWidth(169);
    auto* column = new QVBoxLayout(panelMainMenu);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    QFont menuFont(QStringLiteral("Arial"));
    menuFont.setWeight(QFont::Black);
    auto makeButton = [&](QWidget* parent, const char* name, const QString& caption, int icon) {
        auto* b = new QToolButton(parent);
        b->setObjectName(QLatin1String(name));
        b->setText(caption);
        b->setFont(menuFont);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        if (icon >= 0) {
            b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
            b->setIcon(style()->standardIcon(QStyle::StandardPixmap(icon)));
            b->setIconSize(QSize(16, 16));
        } else {
            b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        }
        return b;
    };

    panelMenuUpper = new QWidget(panelMainMenu);
    panelMenuUpper->setObjectName(QStringLiteral("panelMenuUpper"));
    panelMenuUpper->setFixedHeight(42);
    sbtnBack = makeButton(panelMenuUpper, "sbtnBack", QStringLiteral("Föreg."), QStyle::SP_ArrowBack);
    sbtnBack->setGeometry(8, 7, 75, 28);
    sbtnForward = makeButton(panelMenuUpper, "sbtnForward", QStringLiteral("Nästa"), QStyle::SP_ArrowForward);
    sbtnForward->setLayoutDirection(Qt::RightToLeft);  // the arrow after the caption
    sbtnForward->setGeometry(86, 7, 75, 28);
    column->addWidget(panelMenuUpper);

    panelMenuHeader = new QLabel(QStringLiteral("Huvudmeny"), panelMainMenu);
    panelMenuHeader->setObjectName(QStringLiteral("panelMenuHeader"));
    QFont headerFont(QStringLiteral("Arial"));
    headerFont.setBold(true);
    headerFont.setPixelSize(15);
    panelMenuHeader->setFont(headerFont);
    panelMenuHeader->setFixedHeight(28);
    column->addWidget(panelMenuHeader);
    column->addSpacing(8);

    // Holds only the main-menu buttons: their number gives each new button its screen number.
    panelMenuMain = new QWidget(panelMainMenu);
    panelMenuMain->setObjectName(QStringLiteral("panelMenuMain"));
    panelMenuMain->setFixedHeight(0);
    column->addWidget(panelMenuMain);
    column->addStretch(1);

    panelMenuLower = new QWidget(panelMainMenu);
    panelMenuLower->setObjectName(QStringLiteral("panelMenuLower"));
    panelMenuLower->setFixedHeight(72);
    sbtnHelp = makeButton(panelMenuLower, "sbtnHelp", QStringLiteral("Hjälp"), -1);
    sbtnHelp->setGeometry(8, 4, 153, 30);
    sbtnQuit = makeButton(panelMenuLower, "sbtnQuit", QStringLiteral("Avsluta"), -1);
    sbtnQuit->setToolTip(QStringLiteral("Avsluta Mykotekshallen"));
    sbtnQuit->setGeometry(8, 38, 153, 30);
    column->addWidget(panelMenuLower);

    panelVersionInfo = new QWidget(panelMainMenu);
    panelVersionInfo->setObjectName(QStringLiteral("panelVersionInfo"));
    auto* info = new QVBoxLayout(panelVersionInfo);
    info->setContentsMargins(0, 6, 0, 8);
    info->setSpacing(1);
    QFont smallFont(QStringLiteral("Arial"));
    smallFont.setPixelSize(11);
    lblVersion = new QLabel(panelVersionInfo);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->setFont(smallFont);
    lblCurrentUser = new QLabel(panelVersionInfo);
    lblCurrentUser->setObjectName(QStringLiteral("lblCurrentUser"));
    lblCurrentUser->setFont(smallFont);
    info->addWidget(lblVersion);
    info->addWidget(lblCurrentUser);
    column->addWidget(panelVersionInfo);
    row->addWidget(panelMainMenu);

    panelScreenHolder = new QWidget(this);
    panelScreenHolder->setObjectName(QStringLiteral("panelScreenHolder"));
    panelScreenHolder->setAttribute(Qt::WA_StyledBackground, true);
    row->addWidget(panelScreenHolder, 1);

    SetupZip();

    inifileMain = new TFRIniFile(this, QStringLiteral("inifileMain"));
    inifileMain->SetDefaults(TFRIniFile::ProgramDefaults());

    popupPlaceSelection = new QMenu(this);
    popupPlaceSelection->setObjectName(QStringLiteral("popupPlaceSelection"));
    miProvince = popupPlaceSelection->addMenu(QStringLiteral("Län"));
    miProvince->setObjectName(QStringLiteral("miProvince"));
    miDistrict = popupPlaceSelection->addMenu(QStringLiteral("Kommun"));
    miDistrict->setObjectName(QStringLiteral("miDistrict"));
    popupPrint = new QMenu(this);
    popupPrint->setObjectName(QStringLiteral("popupPrint"));
    m_provinceGroup = new QActionGroup(this);
    m_districtGroup = new QActionGroup(this);

    connect(sbtnBack, &QToolButton::clicked, this, [this] { sbtnBackClick(); });
    connect(sbtnForward, &QToolButton::clicked, this, [this] { sbtnForwardClick(); });
    connect(sbtnQuit, &QToolButton::clicked, this, [this] { sbtnQuitClick(); });
    connect(sbtnHelp, &QToolButton::clicked, this, [this] { sbtnHelpClick(); });
}

void TformFRMain::FormCreate() {
    // Record keys seed their own generator on first use. The folders come from
    // GetProgramFolder, which every path builder uses.
    g_iniFile = inifileMain;
    auto* second = new TFRIniFile(this, QStringLiteral("inifileSecond"));
    second->SetDefaults(inifileMain->Defaults());
    g_secondIniFile = second;
    lblVersion->setText(QStringLiteral("version ") + GetProgramVersion());
    m_connection = new TFRIConnection(this);
    InstallInetProgress(*m_connection);
    UpdateHistoryButtons();
    LoadDistricts();
}

void TformFRMain::LoadDistricts() {
    cdsDistricts = new TExtClientDataSet(this, QStringLiteral("cdsDistricts"));
    const QString file = GetResFile(QStringLiteral("Districts.dat"));
    bool loaded = false;
    // A file that is there but cannot be read is told as such, with its cause.
    QString failure = QString::fromUtf8(kDistrictsMissing);
    try {
        if (QFileInfo(file).isFile()) {
            cdsDistricts->LoadFromFile(file);
            loaded = cdsDistricts->Active() && cdsDistricts->FindField(QStringLiteral("Province")) &&
                cdsDistricts->FindField(QStringLiteral("District"));
            if (!loaded)
                failure = QString::fromUtf8(kDistrictsUnreadable)
                              .arg(QStringLiteral("fälten \"Province\" och \"District\" saknas."));
        } else if (QFileInfo::exists(file)) {
            failure = QString::fromUtf8(kDistrictsUnreadable).arg(QStringLiteral("det är ingen vanlig fil."));
        }
    } catch (const Exception& e) {
        loaded = false;
        QString cause = e.Message();
        if (!cause.endsWith(QLatin1Char('.'))) cause += QLatin1Char('.');
        failure = QString::fromUtf8(kDistrictsUnreadable).arg(cause);
    }
    if (!loaded) {
        // An empty table, so the place menus still offer "Alla län" and "Välj ett län".
        try {
            cdsDistricts->Close();
        } catch (const Exception&) {}
        delete cdsDistricts;
        cdsDistricts = new TExtClientDataSet(this, QStringLiteral("cdsDistricts"));
        cdsDistricts->SetFieldDefs({{QStringLiteral("Province"), TFieldType::ftString, 40},
                                    {QStringLiteral("District"), TFieldType::ftString, 40}});
        cdsDistricts->CreateDataSet();
        TApplication::ShowException(failure);
    }
    // The shipped file is never written by the program.
    cdsDistricts->SetReadOnly(true);
}

QString TformFRMain::DistrictValue(int row, int field) const { return RowText(*cdsDistricts, row, field); }

// ---- Screens ----

void TformFRMain::CreateScreens() {
    if (m_screensCreated) return;
    m_screensCreated = true;
    for (int id = 0; id < ScreenSlotCount; ++id) {
        const auto it = ScreenFactories().constFind(id);
        if (it == ScreenFactories().constEnd() || !*it) continue;
        TFRMainScreen* screen = (*it)(this);
        if (!screen) continue;
        // A screen keeps its own number even while screens before it are not built.
        screen->ScreenID = id;
        m_screens[id] = screen;
    }
}

TFRMainScreen* TformFRMain::Screen(int screenID) const {
    for (const QPointer<TFRMainScreen>& screen : m_screens)
        if (screen && screen->ScreenID == screenID) return screen.data();
    return nullptr;
}

QList<TFRMainScreen*> TformFRMain::Screens() const {
    QList<TFRMainScreen*> list;
    for (const QPointer<TFRMainScreen>& screen : m_screens)
        if (screen) list.append(screen.data());
    return list;
}

// ---- Name lists ----

void TformFRMain::BuildSpeciesNameList() {
    FungiNames.Clear();
    CompleteFungiCount = 0;
    {
        TClientDataSet own;
        if (const TClientDataSet* fungi = StoredRecords(m_dm, QStringLiteral("cdsFungi"), own)) {
            const int ukey = FieldIndex(*fungi, "UKey"), data = FieldIndex(*fungi, "FungiData"),
                      swedish = FieldIndex(*fungi, "SwedishName"), latin = FieldIndex(*fungi, "LatinName");
            for (int row = 0; row < fungi->RecordCount(); ++row) {
                const QString key = RowText(*fungi, row, ukey);
                if (RowText(*fungi, row, data) == QLatin1String("CPLD")) ++CompleteFungiCount;
                const QString swedishName = RowText(*fungi, row, swedish);
                if (!swedishName.isEmpty()) FungiNames.AddUKey(swedishName, key);
                FungiNames.AddUKey(RowText(*fungi, row, latin), key);
            }
        }
    }
    for (const auto& [table, field] :
         {std::pair{"cdsSwedishNames", "SwedishName"}, std::pair{"cdsLatinNames", "LatinName"}}) {
        TClientDataSet own;
        const TClientDataSet* names = StoredRecords(m_dm, QLatin1String(table), own);
        if (!names) continue;
        const int master = FieldIndex(*names, "MasterUKey"), name = FieldIndex(*names, field);
        for (int row = 0; row < names->RecordCount(); ++row)
            FungiNames.AddUKey(RowText(*names, row, name), RowText(*names, row, master));
    }
    FungiNames.Sort();
}

void TformFRMain::BuildContactNameList() {
    ContactNames.Clear();
    TClientDataSet own;
    if (const TClientDataSet* contacts = StoredRecords(m_dm, QStringLiteral("cdsContacts"), own)) {
        const int ukey = FieldIndex(*contacts, "UKey"), name = FieldIndex(*contacts, "Username");
        for (int row = 0; row < contacts->RecordCount(); ++row)
            ContactNames.AddUKey(RowText(*contacts, row, name), RowText(*contacts, row, ukey));
    }
    ContactNames.Sort();
}

void TformFRMain::SetContactName(const QString& contactUKey, const QString& name) {
    if (contactUKey.isEmpty()) return;
    RemoveContactName(contactUKey);
    if (name.isEmpty()) return;
    ContactNames.AddUKey(name, contactUKey);
    ContactNames.Sort();
}

void TformFRMain::RemoveContactName(const QString& contactUKey) {
    if (contactUKey.isEmpty()) return;
    for (int i = ContactNames.Count() - 1; i >= 0; --i)
        if (ContactNames.GetUKey(i) == contactUKey) ContactNames.Delete(i);
}

void TformFRMain::SetDataModule(TDM* dm) {
    if (m_contactsDM && m_contactsDM != dm) m_contactsDM->cdsContacts->RemoveObservers(this);
    m_dm = dm;
    if (!dm || m_contactsDM == dm) return;
    m_contactsDM = dm;
    // Contacts are added, renamed and deleted by several screens (contacts, users, the first
    // user, imports): the list follows the table itself, so a search finds a contact saved a
    // minute ago and no longer offers one that is gone.
    using E = TDataSetEvent;
    TExtClientDataSet* contacts = dm->cdsContacts;
    contacts->AddObserver(E::AfterPost, this, [this](TClientDataSet* table) {
        const TField* name = table->FindField(QStringLiteral("UserName"));
        SetContactName(GetUKey(table), name ? name->AsString() : QString());
    });
    contacts->AddObserver(E::BeforeDelete, this, [this](TClientDataSet* table) { m_deletingContact = GetUKey(table); });
    contacts->AddObserver(E::AfterDelete, this,
                          [this](TClientDataSet*) { RemoveContactName(std::exchange(m_deletingContact, QString())); });
}

void TformFRMain::BuildFungiGroupList() {
    FungiGroups.clear();
    TClientDataSet* groups = m_dm ? m_dm->cdsFungiGroups : nullptr;
    if (!groups || !groups->Active()) return;
    const int field = FieldIndex(*groups, "FungiGroup");
    for (int row = 0; row < groups->RecordCount(); ++row) FungiGroups.append(RowText(*groups, row, field));
}

// ---- Colour memory ----

void TformFRMain::LoadPrevColors() {
    PrevColors.clear();
    TFRIniFile* store = IniFile();
    if (!store) return;
    for (int i = 0; i < kPrevColorKeys && PrevColors.size() < kMaxPrevColors; ++i) {
        // A key that was never written has no default: read as empty, it adds no colour.
        const QString value = store->ReadString(QStringLiteral("Settings/PrevColors%1").arg(i), QString());
        QList<int> colors;
        bool good = true;
        for (const QString& part : value.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            bool ok = false;
            const int color = part.trimmed().toInt(&ok, 10);
            if (!ok || color < 0 || color > 0xFFFFFF) {
                good = false;
                break;
            }
            colors.append(color);
        }
        if (!good) continue;  // a damaged key is left out whole
        for (int color : colors) {
            if (PrevColors.size() >= kMaxPrevColors) break;
            PrevColors.append(color);
        }
    }
    SortPrevColors();
}

void TformFRMain::SortPrevColors() { std::sort(PrevColors.begin(), PrevColors.end()); }

void TformFRMain::SavePrevColors() {
    TFRIniFile* store = IniFile();
    if (!store) return;
    for (int i = 0; i < kPrevColorKeys; ++i) {
        QStringList numbers;
        for (int j = i * kPrevColorsPerKey; j < (i + 1) * kPrevColorsPerKey && j < PrevColors.size(); ++j)
            numbers.append(QString::number(PrevColors.at(j)));
        store->WriteString(QStringLiteral("Settings/PrevColors%1").arg(i), numbers.join(QLatin1Char(',')));
    }
}

bool TformFRMain::ColorDialogExecute(TColor& color) { return ExecuteColorDialog(this, color); }

bool TformFRMain::ChooseColor(TColor& color) {
    TformColorChoice dialog(this, this);
    return dialog.Execute(color);
}

// ---- Place selection menus ----

void TformFRMain::BuildPlaceMenus() {
    if (TFRIniFile* store = IniFile()) {
        store->WriteString(QStringLiteral("Place/SelProvince"), PlaceSelProvince);
        store->WriteString(QStringLiteral("Place/SelDistrict"), PlaceSelDistrict);
    }
    const int provinceField = FieldIndex(*cdsDistricts, "Province");
    const int districtField = FieldIndex(*cdsDistricts, "District");
    const int rows = cdsDistricts->Active() ? cdsDistricts->RecordCount() : 0;

    auto addItem = [](QMenu* menu, QActionGroup* group, const QString& caption, bool checked) {
        QAction* item = menu->addAction(MenuCaption(caption));
        item->setCheckable(true);
        item->setChecked(checked);
        group->addAction(item);
        return item;
    };

    for (QAction* a : miProvince->actions()) delete a;
    QAction* all = addItem(miProvince, m_provinceGroup, QStringLiteral("Alla län"), false);
    connect(all, &QAction::triggered, this, [this] {
        if (OnProvinceChosen) OnProvinceChosen(QString(), -1);
    });
    QString last;
    for (int row = 0; row < rows; ++row) {
        const QString province = DistrictValue(row, provinceField);
        if (row > 0 && province == last) continue;
        last = province;
        QAction* item = addItem(miProvince, m_provinceGroup, province, province == PlaceSelProvince);
        const int tag = row + 1;  // record number of the province's first district
        item->setData(tag);
        connect(item, &QAction::triggered, this, [this, province, tag] {
            if (OnProvinceChosen) OnProvinceChosen(province, tag);
        });
    }

    for (QAction* a : miDistrict->actions()) delete a;
    if (!PlaceSelProvince.isEmpty()) {
        QAction* allDistricts = addItem(miDistrict, m_districtGroup, QStringLiteral("Alla kommuner"), false);
        connect(allDistricts, &QAction::triggered, this, [this] {
            if (OnDistrictChosen) OnDistrictChosen(QString());
        });
        for (int row = 0; row < rows; ++row) {
            if (DistrictValue(row, provinceField) != PlaceSelProvince) continue;
            const QString district = DistrictValue(row, districtField);
            QAction* item = addItem(miDistrict, m_districtGroup, district, district == PlaceSelDistrict);
            connect(item, &QAction::triggered, this, [this, district] {
                if (OnDistrictChosen) OnDistrictChosen(district);
            });
        }
    } else {
        QAction* choose = addItem(miDistrict, m_districtGroup, QStringLiteral("Välj ett län"), false);
        choose->setEnabled(false);
    }
}

void TformFRMain::FillDistrictItems(TClientDataSet* record, QStringList& provinceItems, QStringList& districtItems) {
    if (!record) return;
    TField* provinceOfRecord = record->FieldByName(QStringLiteral("Province"));
    TField* districtOfRecord = record->FieldByName(QStringLiteral("District"));
    QString province = provinceOfRecord->AsString();
    const QString district = districtOfRecord->AsString();
    const bool fillProvinces = provinceItems.isEmpty();
    const int provinceField = FieldIndex(*cdsDistricts, "Province");
    const int districtField = FieldIndex(*cdsDistricts, "District");
    const int rows = cdsDistricts->Active() ? cdsDistricts->RecordCount() : 0;

    // The district table is read by position, so its cursor never moves. A district given
    // without its province supplies the province (while the record is being edited) and the
    // lists are made again for it.
    QStringList collected;
    bool again = true;
    while (again) {
        again = false;
        collected.clear();
        if (fillProvinces) provinceItems.clear();
        QString last;
        for (int row = 0; row < rows; ++row) {
            const QString rowProvince = DistrictValue(row, provinceField);
            const QString rowDistrict = DistrictValue(row, districtField);
            if (fillProvinces && (row == 0 || rowProvince != last)) provinceItems.append(rowProvince);
            last = rowProvince;
            if (province.isEmpty() || province == rowProvince) collected.append(rowDistrict);
            if (province.isEmpty() && !district.isEmpty() && district == rowDistrict) {
                const TDataSetState state = record->State();
                const bool editing = state == TDataSetState::dsEdit || state == TDataSetState::dsInsert;
                if (editing && !rowProvince.isEmpty() && rowProvince != province) {
                    provinceOfRecord->SetAsString(rowProvince);
                    province = rowProvince;
                    again = true;
                    break;
                }
            }
        }
    }
    std::stable_sort(collected.begin(), collected.end(),
                     [](const QString& a, const QString& b) { return TUKeyStringlist::CompareStrings(a, b) < 0; });
    districtItems = collected;
}

void TformFRMain::StackControl(QWidget* control, bool show, int advance, int offset) {
    if (!control) return;
    if (show) {
        control->move(control->x(), StackPos + offset);
        StackPos += advance;
        control->show();
    } else {
        control->hide();
    }
}

// ---- Showing ----

void TformFRMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_shown && !event->spontaneous()) {
        m_shown = true;
        FormShow();
    }
}

// Runs one step of a sequence whose every step must run: a failure is noted, not raised.
static void RunCollectingErrors(QStringList& errors, const std::function<void()>& work) {
    try {
        work();
    } catch (const Exception& e) {
        errors.append(e.Message());
    } catch (const std::exception& e) {
        errors.append(QString::fromUtf8(e.what()));
    }
}

void TformFRMain::FormShow() {
    // Every step runs, whatever an earlier one ran into; what went wrong is told afterwards.
    QStringList errors;
    auto step = [&errors](const std::function<void()>& work) { RunCollectingErrors(errors, work); };

    step([this] {
        setWindowTitle(QStringLiteral("Mykotekshallen"));
        setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
        resize(800, 600);
        if (QScreen* s = screen()) {
            // On a small screen the window, title bar and frame included, stays on it.
            const QRect area = s->availableGeometry();
            resize(size().boundedTo((area.size() - QSize(16, 48)).expandedTo(QSize(200, 150))));
            // The frame's corner is placed; a window taller than the room loses its bottom
            // edge, never its title bar.
            move(std::max(area.left(), area.center().x() - width() / 2 - 8),
                 std::max(area.top(), area.center().y() - height() / 2 - 24));
        }
        if (TFRIniFile* store = IniFile()) LoadFormPlacement(*store, this);
    });
    step([this] { LoadPrevColors(); });
    step([] { Resources::SetScreenCursor(5, Resources::LoadCursor(QStringLiteral("Flag"))); });
    step([this] {
        if (TFRIniFile* store = IniFile()) {
            PlaceSelProvince = store->ReadString(QStringLiteral("Place/SelProvince"), QString());
            PlaceSelDistrict = store->ReadString(QStringLiteral("Place/SelDistrict"), QString());
        }
        BuildPlaceMenus();
        if (OnApplyPlaceSelection) OnApplyPlaceSelection(PlaceSelProvince, PlaceSelDistrict);
    });
    step([this] { UpdateHistoryButtons(); });
    step([this] { BuildFungiGroupList(); });
    step([this] {
        int id = 0;
        if (TFRIniFile* store = IniFile()) {
            id = store->ReadInteger(QStringLiteral("Settings/LastVisitedScreen"), 0);
        }
        if (TFRMainScreen* screen = Screen(id))
            screen->Activate(QString());
        else if (!panelScreenHolder->findChild<THolderHint*>())
            new THolderHint(panelScreenHolder);
    });
    step([this] {
        QString user;
        TClientDataSet* current = m_dm ? m_dm->cdsCurrentUser : nullptr;
        if (current && current->Active() && !current->IsEmpty())
            if (TField* f = current->FindField(QStringLiteral("UserName"))) user = f->AsString();
        lblCurrentUser->setText(user);
    });

    for (const QString& message : errors) TApplication::ShowException(message);
}

// ---- Navigation and quitting ----

void TformFRMain::sbtnBackClick() {
    if (TFRHistoryItems* h = History()) h->Back();
}

void TformFRMain::sbtnForwardClick() {
    if (TFRHistoryItems* h = History()) h->Forward();
}

void TformFRMain::sbtnHelpClick() {
    UIServices::ShowInformation(
        QStringLiteral("Mykotekshallen version %1\n\n"
                       "Välj i huvudmenyn till vänster vad Du vill arbeta med. Med \"Föreg.\" och \"Nästa\" "
                       "går Du tillbaka till och fram mellan de vyer Du har besökt.\n\n"
                       "Så länge en post redigeras är huvudmenyn låst; spara eller avbryt först.")
            .arg(GetProgramVersion()),
        QStringLiteral("Mykotekshallen - Information"));
}

void TformFRMain::QuitSequence() {
    if (m_quitDone) return;
    m_quitDone = true;
    QStringList errors;
    auto step = [&errors](const std::function<void()>& work) { RunCollectingErrors(errors, work); };
    step([this] {
        if (TFRMainScreen* screen = CurrentScreen(); screen && IniFile())
            IniFile()->WriteInteger(QStringLiteral("Settings/LastVisitedScreen"), screen->ScreenID);
    });
    step([this] {
        if (TFRIniFile* store = IniFile()) SaveFormPlacement(*store, this, objectName());
    });
    // The frame saves its settings into the store before the store is flushed.
    step([this] { HideCurrentScreen(); });
    step([] {
        TFRIniFile* store = IniFile();
        g_iniFile = nullptr;
        if (store) store->Flush();
    });
    step([] {
        const QString folder = GetTempKnowBaseFolder();
        if (QFileInfo(folder).isDir()) {
            TFolderTotals totals;
            HandleFolders(folder, QString(), totals, HF_DELETE | HF_RECURSIVE | HF_FOLDERS | HF_FILES);
        }
    });
    for (const QString& message : errors) TApplication::ShowException(message);
}

void TformFRMain::FormClose() { QuitSequence(); }

bool TformFRMain::FormCloseQuery() const {
    // Closing while a library module runs would free the component under it.
    return CanCloseMainWindow() && !(zipMain && zipMain->IsBusy());
}

// The quit button only closes the window: the close runs the quit sequence, so quitting
// takes one road whichever way it starts.
void TformFRMain::sbtnQuitClick() { close(); }

void TformFRMain::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        // Not silently: the quit button says why.
        QToolTip::showText(sbtnQuit->mapToGlobal(QPoint(sbtnQuit->width() / 2, 0)),
                           QString::fromUtf8(NavigationLockedText), sbtnQuit);
        event->ignore();
        return;
    }
    const bool first = !m_quitDone;
    FormClose();
    event->accept();
    if (!first) return;
    if (OnTerminate)
        OnTerminate();
    else
        QCoreApplication::quit();
}

void TformFRMain::BringToFront() {
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}
