#include "content/species/unitFrameFungiFinds.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>

#include "content/contacts/unitContactScreen.h"
#include "content/species/unitFrameFungi.h"
#include "content/species/unitFungiSubLists.h"
#include "controls/FREdits.h"
#include "controls/FRLabel.h"
#include "controls/FRLocks.h"
#include "controls/FRMemos.h"
#include "controls/FRMultiChoice.h"
#include "core/ExtClientDataSet.h"
#include "core/FRIniFile.h"
#include "core/unitDM.h"
#include "shell/unitMain.h"
#include "shell/unitUserScreen.h"
#include "platform/UIServices.h"

QDate LastFindDate(1900, 1, 1);
std::function<QList<QPoint>()> FindMapMarks;
std::function<bool(int x, int y)> FindMapForPoint;
std::function<void(const QString& findUKey, int x, int y)> ShowFindOnMap;
std::function<void(const QString& findUKey)> StartFindMarking;

namespace {

const QString kDateFormat = QStringLiteral("yyyy-MM-dd");
const QString kErrorCaption = QStringLiteral("Mykotekshallen - Fel");
const char* const kLockKeys[] = {"FungiFindPresets/PositionLocked", "FungiFindPresets/RouteNoteLocked",
                                 "FungiFindPresets/NoteTextLocked"};
const char* const kLockFields[] = {"PositionLocked", "RouteNoteLocked", "NoteTextLocked"};

TExtClientDataSet* Finds() { return UsersDM()->cdsFungiFinds; }

bool IsEditing(const TClientDataSet* table) {
    return table->State() == TDataSetState::dsEdit || table->State() == TDataSetState::dsInsert;
}

void Lock(bool locked) {
    if (TFRScreenHost* host = ScreenHost()) host->SetNavigationEnabled(!locked);
    if (FRFungiScreen) FRFungiScreen->SetBrowseEnabled(!locked);
}

template <class T>
T* Bound(T* control, const char* name, const char* field) {
    return BindField(control, name, field, UsersDM()->dsFungiFinds);
}

QLabel* FieldLabel(const QString& text, QWidget* parent) {
    auto* label = new TFRLabel(text, parent);
    label->setMinimumWidth(label->sizeHint().width());
    return label;
}

}  // namespace

QStringList FindCountClasses() {
    // Made once: the classes name every find in the lists that show them.
    static const QStringList classes = {"-", "1", "2-5", "6-10", "11-20", "21-50", "51-100", ">100", ">500", ">1000"};
    return classes;
}

QStringList FindAgeClasses() {
    static const QStringList classes = {"-", "Unga", "Perfekta", "Gamla"};
    return classes;
}

QString FindCountClass(int count) {
    const QStringList classes = FindCountClasses();
    return classes.value(count, classes.first());
}

QString FindAgeClass(int age) {
    const QStringList classes = FindAgeClasses();
    return classes.value(age, classes.first());
}

// ---- The detail sub-screen ----

TFRFungiFindDetailScreen::TFRFungiFindDetailScreen(QObject* owner)
    : TFRFungiDetailSubScreen(owner, UsersDM()->cdsFungiFinds, 1, QStringLiteral("Fynd"), 0, QString()) {
    LastFindDate = QDate(1900, 1, 1);
    if (IsFrameCacheMode()) CreateFrame();
}

TFRFrameBase* TFRFungiFindDetailScreen::NewFrame() { return TFRFrameBase::Create<TframeFungiFindDetails>(); }

void TFRFungiFindDetailScreen::NewFind() {
    TExtClientDataSet* finds = Finds();
    // A find still being entered is saved through its own checks, never by a new append.
    if (IsEditing(finds)) return;
    Lock(true);
    try {
        finds->Append();
        finds->FieldByName(QStringLiteral("FindDate"))
            ->SetAsDate(LastFindDate == QDate(1900, 1, 1) ? QDate::currentDate() : LastFindDate);
        finds->FieldByName(QStringLiteral("BodyCount"))->SetAsInteger(1);
        finds->FieldByName(QStringLiteral("BodyAge"))->SetAsInteger(1);
        finds->FieldByName(QStringLiteral("CreatedBy"))->SetAsString(GetCurrentUserContactUKey());
        if (TFRIniFile* settings = UsersSettings())
            for (int i = 0; i < 3; ++i)
                finds->FieldByName(QLatin1String(kLockFields[i]))
                    ->SetAsBoolean(settings->ReadBool(QLatin1String(kLockKeys[i])));
    } catch (...) {
        if (finds->State() == TDataSetState::dsInsert) finds->Cancel();
        Lock(false);
        throw;
    }
    Activate(QString());
}

void TFRFungiFindDetailScreen::ShowFind() {
    if (Finds()->IsEmpty()) return;
    Lock(true);
    Activate(QString());
}

void TFRFungiFindDetailScreen::EditFind() {
    TExtClientDataSet* finds = Finds();
    // Only the find's author changes it.
    if (finds->IsEmpty() || finds->State() != TDataSetState::dsBrowse ||
        GetCreatedBy(finds) != GetCurrentUserContactUKey())
        return;
    Lock(true);
    try {
        finds->Edit();
    } catch (...) {
        Lock(false);
        throw;
    }
    Activate(QString());
}

// ---- The list ----

TframeFungiFinds::TframeFungiFinds(QWidget* parent) : TframeFungiList(parent) {
    panelFrameHeader->setText(QStringLiteral("   Fyndplatser"));
    SetDelegate(
        [this](QPainter* painter, const QRect& rect, int row) {
            QFont heavy = painter->font();
            heavy.setBold(true);
            const QFontMetrics heavyMetrics(heavy);
            const QFontMetrics normal(painter->font());
            const int baseline = rect.top() + 4 + heavyMetrics.ascent();
            const QString date = Value(row, QStringLiteral("FindDate")).toDate().toString(kDateFormat);
            QFont plain = painter->font();
            painter->setFont(heavy);
            painter->drawText(rect.left() + 8, baseline, date);
            int x = rect.left() + 8 + heavyMetrics.horizontalAdvance(date) + 16;
            painter->setFont(plain);
            const QString amount =
                QStringLiteral("Antal: ") + FindCountClass(Value(row, QStringLiteral("BodyCount")).toInt());
            painter->drawText(x, baseline, amount);
            x += normal.horizontalAdvance(amount) + 16;
            const QString where =
                Text(row, QStringLiteral("District")) + QStringLiteral(", ") + Text(row, QStringLiteral("Province"));
            painter->drawText(x, baseline, normal.elidedText(where, Qt::ElideRight, std::max(0, rect.right() - x - 4)));
        },
        [this](int, int) { return fontMetrics().height() + 10; });
    sbtnNew = AddButton(QStringLiteral("Ny"), "sbtnNew", QStringLiteral("Lägg in ett nytt fynd av arten"));
    sbtnEdit = AddButton(QStringLiteral("Ändra"), "sbtnEdit", QStringLiteral("Ändra det markerade fyndet"));
    sbtnDelete = AddButton(QStringLiteral("Radera"), "sbtnDelete", QStringLiteral("Radera det markerade fyndet"));
    sbtnInfo = AddButton(QStringLiteral("Info"), "sbtnInfo", QStringLiteral("Visa det markerade fyndet"));
    sbtnMap = AddButton(QStringLiteral("Karta"), "sbtnMap", QStringLiteral("Visa fyndplatsen på kartan"));
    Buttons()->addStretch(1);
    connect(sbtnMap, &QToolButton::clicked, this, [this] {
        if (!sbtnMap->isEnabled() || !ShowFindOnMap) return;
        ShowFindOnMap(GetUKey(Finds()), Finds()->FieldByName(QStringLiteral("PositionX"))->AsInteger(),
                      Finds()->FieldByName(QStringLiteral("PositionY"))->AsInteger());
    });
    connect(sbtnNew, &QToolButton::clicked, this, [] {
        if (FRFungiScreen && !FRFungiScreen->Fungi()->IsEmpty()) FRFungiScreen->FindDetailScreen->NewFind();
    });
    connect(sbtnEdit, &QToolButton::clicked, this, [] {
        if (FRFungiScreen) FRFungiScreen->FindDetailScreen->EditFind();
    });
    connect(sbtnInfo, &QToolButton::clicked, this, [] {
        if (FRFungiScreen) FRFungiScreen->FindDetailScreen->ShowFind();
    });
    connect(sbtnDelete, &QToolButton::clicked, this, [this] { btnDeleteClick(); });
}

void TframeFungiFinds::UpdateButtons() {
    const bool selected = HasSelection();
    sbtnDelete->setEnabled(selected);
    sbtnInfo->setEnabled(selected);
    sbtnEdit->setEnabled(selected && GetCreatedBy(Finds()) == GetCurrentUserContactUKey());
    sbtnMap->setEnabled(selected && FindMapForPoint && ShowFindOnMap &&
                        FindMapForPoint(Finds()->FieldByName(QStringLiteral("PositionX"))->AsInteger(),
                                        Finds()->FieldByName(QStringLiteral("PositionY"))->AsInteger()));
}

void TframeFungiFinds::btnDeleteClick() {
    if (!HasSelection()) return;
    if (!UIServices::AskYesNo(
            QStringLiteral("Du är på väg att radera den markerade fyndplatsen! Skall raderingen genomföras?"),
            QStringLiteral("Mykotekshallen - Bekräfta radering")))
        return;
    Finds()->Delete();
    UpdateScreen();
}

// ---- The detail frame ----

TframeFungiFindDetails::TframeFungiFindDetails(QWidget* parent) : TframeFungiDetailBase(parent) {
    auto* body = new QWidget(this);
    auto* grid = new QGridLayout(body);
    grid->setContentsMargins(8, 8, 8, 8);
    int row = 0;
    grid->addWidget(FieldLabel(QStringLiteral("Datum:"), body), row, 0);
    editDate = new QLineEdit(body);
    editDate->setObjectName(QStringLiteral("editDate"));
    editDate->setPlaceholderText(QStringLiteral("ÅÅÅÅ-MM-DD"));
    editDate->setMaxLength(10);
    grid->addWidget(editDate, row++, 1, Qt::AlignLeft);

    grid->addWidget(FieldLabel(QStringLiteral("Position (RT90):"), body), row, 0);
    auto* position = new QHBoxLayout;
    dbeditPositionY = Bound(new TFRDBEdit(body), "dbeditPositionY", "PositionY");
    dbeditPositionX = Bound(new TFRDBEdit(body), "dbeditPositionX", "PositionX");
    position->addWidget(new QLabel(QStringLiteral("N="), body));
    position->addWidget(dbeditPositionY, 1);
    position->addWidget(new QLabel(QStringLiteral("O="), body));
    position->addWidget(dbeditPositionX, 1);
    dblockPosition = Bound(new TFRDBLock(body), "dblockPosition", "PositionLocked");
    position->addWidget(dblockPosition);
    grid->addLayout(position, row++, 1);
    for (TFRDBEdit* e : {dbeditPositionX, dbeditPositionY}) {
        e->setValidator(new QIntValidator(0, 99999999, e));
        e->setMinimumWidth(60);
    }

    grid->addWidget(FieldLabel(QStringLiteral("Län:"), body), row, 0);
    dbeditProvince = Bound(new TFRDBEdit(body), "dbeditProvince", "Province");
    grid->addWidget(dbeditProvince, row++, 1);
    grid->addWidget(FieldLabel(QStringLiteral("Kommun:"), body), row, 0);
    dbeditDistrict = Bound(new TFRDBEdit(body), "dbeditDistrict", "District");
    grid->addWidget(dbeditDistrict, row++, 1);
    for (TFRDBEdit* e : {dbeditProvince, dbeditDistrict}) {
        e->setMaxLength(30);
        e->AutoComplete = true;
        e->OnDropDownQuery = [](TFREdit*, bool, bool& allow) { allow = allow && IsEditing(Finds()); };
    }
    connect(dbeditProvince, &QLineEdit::editingFinished, this, [this] {
        if (IsEditing(Finds())) FillDistrictItems();
    });

    grid->addWidget(FieldLabel(QStringLiteral("Vägbeskrivn.:"), body), row, 0, Qt::AlignTop);
    auto* route = new QHBoxLayout;
    dbmemoRouteNote = Bound(new TFRDBMemo(body), "dbmemoRouteNote", "RouteNote");
    dblockRouteNote = Bound(new TFRDBLock(body), "dblockRouteNote", "RouteNoteLocked");
    route->addWidget(dbmemoRouteNote, 1);
    route->addWidget(dblockRouteNote, 0, Qt::AlignTop);
    grid->addLayout(route, row++, 1);

    grid->addWidget(FieldLabel(QStringLiteral("Mängd (st):"), body), row, 0, Qt::AlignTop);
    multicBodyCount = Bound(new TFRDBMultiChoice(body), "multicBodyCount", "BodyCount");
    multicBodyCount->SetItems(FindCountClasses());
    multicBodyCount->SetColCount(5);
    multicBodyCount->SetColWidth(44);
    grid->addWidget(multicBodyCount, row++, 1, Qt::AlignLeft);
    grid->addWidget(FieldLabel(QStringLiteral("Kvalitet:"), body), row, 0, Qt::AlignTop);
    multicBodyAge = Bound(new TFRDBMultiChoice(body), "multicBodyAge", "BodyAge");
    multicBodyAge->SetItems(FindAgeClasses());
    multicBodyAge->SetColCount(4);
    multicBodyAge->SetColWidth(66);
    grid->addWidget(multicBodyAge, row++, 1, Qt::AlignLeft);

    grid->addWidget(FieldLabel(QStringLiteral("Övriga not.:"), body), row, 0, Qt::AlignTop);
    auto* notes = new QHBoxLayout;
    dbmemoNoteText = Bound(new TFRDBMemo(body), "dbmemoNoteText", "NoteText");
    dblockNoteText = Bound(new TFRDBLock(body), "dblockNoteText", "NoteTextLocked");
    notes->addWidget(dbmemoNoteText, 1);
    notes->addWidget(dblockNoteText, 0, Qt::AlignTop);
    grid->addLayout(notes, row++, 1);
    for (TFRDBMemo* m : {dbmemoRouteNote, dbmemoNoteText}) {
        m->setMinimumHeight(40);
        m->setMaximumHeight(120);
    }

    lblCreatedByCaption = FieldLabel(QStringLiteral("Skapad av:"), body);
    grid->addWidget(lblCreatedByCaption, row, 0);
    lblCreatedBy = new QLabel(body);
    lblCreatedBy->setObjectName(QStringLiteral("lblCreatedBy"));
    grid->addWidget(lblCreatedBy, row++, 1);

    auto* buttons = new QHBoxLayout;
    sbtnPrev = new QToolButton(body);
    sbtnPrev->setObjectName(QStringLiteral("sbtnPrev"));
    sbtnPrev->setText(QStringLiteral("<"));
    sbtnPrev->setToolTip(QStringLiteral("Föregående fynd"));
    sbtnNext = new QToolButton(body);
    sbtnNext->setObjectName(QStringLiteral("sbtnNext"));
    sbtnNext->setText(QStringLiteral(">"));
    sbtnNext->setToolTip(QStringLiteral("Nästa fynd"));
    btnClose = new QPushButton(QStringLiteral("Stäng"), body);
    btnSave = new QPushButton(QStringLiteral("Spara"), body);
    btnCancel = new QPushButton(QStringLiteral("Avbryt"), body);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnSave->setObjectName(QStringLiteral("btnSave"));
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnMap = new QPushButton(QStringLiteral("Karta..."), body);
    btnMap->setObjectName(QStringLiteral("btnMap"));
    btnMap->setToolTip(QStringLiteral("Markera fyndplatsen på en karta"));
    buttons->addWidget(sbtnPrev);
    buttons->addWidget(sbtnNext);
    buttons->addStretch(1);
    buttons->addWidget(btnMap);
    buttons->addWidget(btnClose);
    buttons->addWidget(btnSave);
    buttons->addWidget(btnCancel);
    grid->addLayout(buttons, row++, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(row, 1);
    BodyLayout()->addWidget(body, 1);

    connect(sbtnPrev, &QToolButton::clicked, this, [this] { PrevNextClick(1); });
    connect(sbtnNext, &QToolButton::clicked, this, [this] { PrevNextClick(2); });
    connect(btnClose, &QPushButton::clicked, this, [this] { btnCloseClick(); });
    connect(btnSave, &QPushButton::clicked, this, [this] { btnSaveClick(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
    connect(btnMap, &QPushButton::clicked, this, [this] { btnMapClick(); });
}

void TframeFungiFindDetails::btnMapClick() {
    if (!StartFindMarking || !IsEditing(Finds()) || !FRFungiScreen) return;
    FRFungiScreen->FindDetailScreen->MarkFindUKey = GetUKey(Finds());
    StartFindMarking(FRFungiScreen->FindDetailScreen->MarkFindUKey);
}

QString TframeFungiFindDetails::HeaderText() const {
    return DetailHeaderText(Finds(), QStringLiteral("inmatning av ny fyndplats"),
                            QStringLiteral("editering av fyndplats"), QStringLiteral("fyndplats %1 av %2"));
}

void TframeFungiFindDetails::FillDistrictItems() {
    TformFRMain* main = MainForm();
    if (!main || !Finds()->Active() || (Finds()->IsEmpty() && !IsEditing(Finds()))) return;
    QStringList provinces = dbeditProvince->Items();
    QStringList districts;
    main->FillDistrictItems(Finds(), provinces, districts);
    if (dbeditProvince->Items().isEmpty()) dbeditProvince->SetItems(provinces);
    dbeditDistrict->SetItems(districts);
}

void TframeFungiFindDetails::resizeEvent(QResizeEvent* event) {
    TframeFungiDetailBase::resizeEvent(event);
    SetFittedHeader(panelFrameHeader, panelFrameHeader->text());
}

void TframeFungiFindDetails::UpdateFrame() {
    TframeFungiDetailBase::UpdateFrame();
    TExtClientDataSet* finds = Finds();
    SetFittedHeader(panelFrameHeader, QStringLiteral("   ") + HeaderText());
    const bool editing = IsEditing(finds);
    // A date being typed stays until the find is saved or cancelled.
    if (!(editing && editDate->isModified()))
        editDate->setText(finds->Active() && (!finds->IsEmpty() || editing)
                              ? finds->FieldByName(QStringLiteral("FindDate"))->AsDate().toString(kDateFormat)
                              : QString());
    const bool inserting = finds->State() == TDataSetState::dsInsert;
    lblCreatedByCaption->setVisible(!inserting);
    lblCreatedBy->setVisible(!inserting);
    if (!inserting && finds->Active() && !finds->IsEmpty())
        lblCreatedBy->setText(TFRContactScreen::GetContactName(GetCreatedBy(finds)));
    FillDistrictItems();
    UpdateButtons();
}

void TframeFungiFindDetails::LoadSettings() {
    TframeFungiDetailBase::LoadSettings();
    TFRFungiFindDetailScreen* screen = FRFungiScreen ? FRFungiScreen->FindDetailScreen : nullptr;
    if (!screen || !screen->MarkPending) return;
    screen->MarkPending = false;
    TExtClientDataSet* finds = Finds();
    if (!IsEditing(finds)) return;
    // The find is still being entered: the way back from the map must not open other screens.
    // The species frame is not updated here: it does not know yet that this find is its
    // current sub-screen, and would show its description page over the find.
    if (TFRScreenHost* host = ScreenHost()) host->SetNavigationEnabled(false);
    if (FRFungiScreen && FRFungiScreen->FungiFrame()) FRFungiScreen->FungiFrame()->SetBrowseControlsEnabled(false);
    const QList<QPoint> marks = FindMapMarks ? FindMapMarks() : QList<QPoint>();
    if (marks.size() == 1) {
        finds->FieldByName(QStringLiteral("PositionX"))->SetAsInteger(marks.first().x());
        finds->FieldByName(QStringLiteral("PositionY"))->SetAsInteger(marks.first().y());
    }
    UpdateFrame();
}

void TframeFungiFindDetails::UpdateButtons() {
    TExtClientDataSet* finds = Finds();
    const bool editing = IsEditing(finds);
    editDate->setReadOnly(!editing);
    btnSave->setVisible(editing);
    btnCancel->setVisible(editing);
    btnClose->setVisible(!editing);
    btnMap->setEnabled(editing && bool(StartFindMarking));
    sbtnPrev->setEnabled(!editing && finds->RecNo() > 1);
    sbtnNext->setEnabled(!editing && finds->RecNo() < finds->RecordCount());
}

void TframeFungiFindDetails::PrevNextClick(int tag) {
    TExtClientDataSet* finds = Finds();
    if (IsEditing(finds)) return;
    if (tag == 1)
        finds->Prior();
    else
        finds->Next();
    UpdateFrame();
}

void TframeFungiFindDetails::Unlock() {
    editDate->setModified(false);
    Lock(false);
    if (FRFungiScreen && FRFungiScreen->FungiFrame()) FRFungiScreen->FungiFrame()->ShowSubScreen(1);
}

void TframeFungiFindDetails::btnSaveClick() {
    TExtClientDataSet* finds = Finds();
    if (!IsEditing(finds)) return;
    // What is typed in an edit that still has the focus counts for the checks.
    finds->UpdateRecord();
    const QDate date = QDate::fromString(editDate->text().trimmed(), kDateFormat);
    if (!date.isValid()) {
        UIServices::ShowError(QStringLiteral("Ogiltigt datum"), kErrorCaption);
        editDate->setFocus();
        return;
    }
    if (TFRIniFile* settings = UsersSettings())
        for (int i = 0; i < 3; ++i)
            settings->WriteBool(QLatin1String(kLockKeys[i]),
                                finds->FieldByName(QLatin1String(kLockFields[i]))->AsBoolean());
    if (finds->FieldByName(QStringLiteral("Province"))->AsString().trimmed().isEmpty()) {
        dbeditProvince->setFocus();
        UIServices::ShowError(QStringLiteral("Du måste ange vilket län fyndet gjordes i"), kErrorCaption);
        return;
    }
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        struct Restore {
            ~Restore() { QApplication::restoreOverrideCursor(); }
        } restore;
        finds->FieldByName(QStringLiteral("FindDate"))->SetAsDate(date);
        finds->Post();
        LastFindDate = date;
    }
    Unlock();
}

void TframeFungiFindDetails::btnCancelClick() {
    if (IsEditing(Finds())) Finds()->Cancel();
    Unlock();
}

void TframeFungiFindDetails::btnCloseClick() {
    if (IsEditing(Finds())) return;
    Unlock();
}

TFRFrameBase* TFRFungiFindScreen::NewFrame() { return TFRFrameBase::Create<TframeFungiFinds>(); }

#include "moc_unitFrameFungiFinds.cpp"
