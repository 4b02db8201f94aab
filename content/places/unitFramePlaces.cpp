#include "content/places/unitFramePlaces.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>

#include "content/places/PlaceVisits.h"
#include "content/places/unitPlaceScreen.h"
#include "shell/ScreenRequests.h"
#include "controls/FREdits.h"
#include "controls/FRLocks.h"
#include "controls/FRMemos.h"
#include "controls/FRMultiChoice.h"
#include "controls/FRSearchPanel.h"
#include "core/ExtClientDataSet.h"
#include "shell/FRHistory.h"
#include "core/FRIniFile.h"
#include "core/unitDM.h"
#include "shell/unitMain.h"
#include "shell/unitUserScreen.h"
#include "platform/ClientDataSet.h"
#include "platform/DataLink.h"
#include "platform/UIServices.h"

namespace {

constexpr int kSecondLineRole = Qt::UserRole + 1;

// A place item: the name in a heavy font and under it the district and province, on
// alternating background colours.
class TPlaceItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        return QSize(100, option.fontMetrics.height() * 2 + 8);
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        painter->save();
        const bool selected = option.state & QStyle::State_Selected;
        const QColor back = selected ? option.palette.highlight().color()
                                     : (index.row() % 2 == 0 ? QColor(0xFF, 0xFF, 0xE8) : QColor(0xE8, 0xF4, 0xE0));
        painter->fillRect(option.rect, back);
        painter->setPen(selected ? option.palette.highlightedText().color() : option.palette.text().color());
        QFont heavy = option.font;
        heavy.setBold(true);
        const QRect inner = option.rect.adjusted(4, 3, -4, -3);
        const int line = option.fontMetrics.height();
        painter->setFont(heavy);
        const QFontMetrics heavyMetrics(heavy);
        painter->drawText(
            QRect(inner.left(), inner.top(), inner.width(), line), Qt::AlignLeft | Qt::AlignVCenter,
            heavyMetrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, inner.width()));
        painter->setFont(option.font);
        painter->drawText(
            QRect(inner.left(), inner.top() + line, inner.width(), line), Qt::AlignLeft | Qt::AlignVCenter,
            option.fontMetrics.elidedText(index.data(kSecondLineRole).toString(), Qt::ElideRight, inner.width()));
        painter->restore();
    }
};

}  // namespace

// ---- TframePlaces ----------------------------------------------------------------------

using namespace placesframe;

TframePlaces::TframePlaces(TFRPlaceScreen* screen, QWidget* parent) : TFRFrameBase(parent), m_screen(screen) {
    setObjectName(QStringLiteral("framePlaces"));
}

TframePlaces::~TframePlaces() = default;

TDM* TframePlaces::DM() const { return m_screen->DM(); }
TExtClientDataSet* TframePlaces::Places() const { return DM()->cdsPlaces; }
TExtClientDataSet* TframePlaces::Visits() const { return DM()->cdsPlaceVisits; }
TExtClientDataSet* TframePlaces::People() const { return DM()->cdsPlacePeople; }
TExtClientDataSet* TframePlaces::Finds() const { return DM()->cdsPlaceFinds; }

void TframePlaces::InitFrame() {
    SetupFrame();
    m_placeSource = new TDataSource(this, QStringLiteral("dsFramePlaces"));
    m_placeSource->SetAutoEdit(false);
    m_placeSource->SetDataSet(Places());
    m_visitSource = new TDataSource(this, QStringLiteral("dsFrameVisits"));
    m_visitSource->SetAutoEdit(false);
    m_visitSource->SetDataSet(Visits());
    for (QWidget* w : tabsPlace->findChildren<QWidget*>()) {
        if (auto* e = qobject_cast<TFRDBEdit*>(w)) e->SetDataSource(m_placeSource);
        if (auto* m = qobject_cast<TFRDBMemo*>(w)) m->SetDataSource(m_placeSource);
        if (auto* l = qobject_cast<TFRDBLock*>(w)) l->SetDataSource(m_placeSource);
    }
    dbeditWeather->SetDataSource(m_visitSource);
    dbmemoVisitNote->SetDataSource(m_visitSource);
    multicBodyCount->SetDataSource(m_screen->WorkFindsSource());
    multicBodyAge->SetDataSource(m_screen->WorkFindsSource());
    if (TformFRMain* main = MainForm()) {
        searchPeople->SearchList = main->ContactNames;
        searchFungi->SearchList = main->FungiNames;
    }
}

void TframePlaces::DoneFrame() {
    // A frame dropped in the middle of an edit leaves nothing half-done behind.
    if (!m_screen) return;
    for (TClientDataSet* work : {m_screen->WorkPeople(), m_screen->WorkFinds()})
        if (IsEditing(work)) work->Cancel();
}

void TframePlaces::SetupFrame() {
    panelFrameHeader->setText(QStringLiteral("Svampställen"));
    pagesPlaces = new QStackedWidget(this);
    pagesPlaces->setObjectName(QStringLiteral("pagesPlaces"));
    tabsPlace = SetupPlacePage();
    tabsVisit = SetupVisitPage();
    pagesPlaces->addWidget(tabsPlace);
    pagesPlaces->addWidget(tabsVisit);
    BodyLayout()->addWidget(pagesPlaces, 1);
}

QWidget* TframePlaces::SetupPlacePage() {
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("tabsPlace"));
    auto* columns = new QHBoxLayout(page);

    // The place list.
    auto* left = new QVBoxLayout;
    lblPlaceList = new QLabel(page);
    lblPlaceList->setObjectName(QStringLiteral("lblPlaceList"));
    auto* tools = new QHBoxLayout;
    tools->setSpacing(1);
    sbtnPlaceNew = ToolButton(QStringLiteral("Ny"), "sbtnPlaceNew", page);
    sbtnPlaceNew->setToolTip(QStringLiteral("Registrera ett nytt svampställe"));
    sbtnPlaceEdit = ToolButton(QStringLiteral("Ändra"), "sbtnPlaceEdit", page);
    sbtnPlaceEdit->setToolTip(QStringLiteral("Ändra det markerade svampstället"));
    sbtnPlaceDelete = ToolButton(QStringLiteral("Radera"), "sbtnPlaceDelete", page);
    sbtnPlaceDelete->setToolTip(QStringLiteral("Radera det markerade svampstället"));
    sbtnPlaceSort = ToolButton(QStringLiteral("Sortera"), "sbtnPlaceSort", page);
    sbtnPlaceSort->setToolTip(QStringLiteral("Välj ordning för listan"));
    sbtnPlaceSelection = ToolButton(QStringLiteral("Urval"), "sbtnPlaceSelection", page);
    sbtnPlaceSelection->setToolTip(QStringLiteral("Visa svampställena i ett län eller en kommun"));
    sbtnShowOnMap = ToolButton(QStringLiteral("Visa på karta"), "sbtnShowOnMap", page);
    sbtnPrint = ToolButton(QStringLiteral("Skriv ut"), "sbtnPrint", page);
    for (QToolButton* b : {sbtnPlaceNew, sbtnPlaceEdit, sbtnPlaceDelete, sbtnPlaceSort, sbtnPlaceSelection})
        tools->addWidget(b);
    tools->addStretch(1);
    listPlaces = new QListWidget(page);
    listPlaces->setObjectName(QStringLiteral("listPlaces"));
    listPlaces->setItemDelegate(new TPlaceItemDelegate(listPlaces));
    listPlaces->setMinimumWidth(200);
    auto* mapTools = new QHBoxLayout;
    mapTools->addWidget(sbtnShowOnMap);
    mapTools->addWidget(sbtnPrint);
    mapTools->addStretch(1);
    left->addWidget(lblPlaceList);
    left->addLayout(tools);
    left->addWidget(listPlaces, 1);
    left->addLayout(mapTools);
    columns->addLayout(left, 2);

    popupSort = new QMenu(page);
    popupSort->setObjectName(QStringLiteral("popupSort"));
    popupSort->addAction(QStringLiteral("Efter namn"), this, [this] { SortChosen(1); });
    popupSort->addAction(QStringLiteral("Efter län och kommun"), this, [this] { SortChosen(2); });

    // The place editor.
    auto* right = new QVBoxLayout;
    auto* editor = new QGroupBox(QStringLiteral("Svampställe"), page);
    editor->setObjectName(QStringLiteral("panelPlaceEditor"));
    auto* grid = new QGridLayout(editor);
    int row = 0;
    grid->addWidget(FieldLabel(QStringLiteral("Namn:"), editor), row, 0);
    dbeditPlaceName = Bound(new TFRDBEdit(editor), "dbeditPlaceName", "PlaceName");
    dbeditPlaceName->setMaxLength(40);
    grid->addWidget(dbeditPlaceName, row++, 1, 1, 4);

    grid->addWidget(FieldLabel(QStringLiteral("Position (RT90):"), editor), row, 0);
    auto* position = new QHBoxLayout;
    dbeditPositionY = Bound(new TFRDBEdit(editor), "dbeditPositionY", "PositionY");
    dbeditPositionX = Bound(new TFRDBEdit(editor), "dbeditPositionX", "PositionX");
    position->addWidget(new QLabel(QStringLiteral("N="), editor));
    position->addWidget(dbeditPositionY, 1);
    position->addWidget(new QLabel(QStringLiteral("O="), editor));
    position->addWidget(dbeditPositionX, 1);
    dblockPosition = Bound(new TFRDBLock(editor), "dblockPosition", "PositionLocked");
    dblockPosition->setToolTip(QStringLiteral("Lås uppgiften så att den inte lämnas ut till andra"));
    position->addWidget(dblockPosition);
    grid->addLayout(position, row++, 1, 1, 4);

    grid->addWidget(FieldLabel(QStringLiteral("Utbredning (m):"), editor), row, 0);
    auto* size = new QHBoxLayout;
    dbeditSizeX = Bound(new TFRDBEdit(editor), "dbeditSizeX", "SizeX");
    dbeditSizeX->setToolTip(QStringLiteral("Halva utbredningen i nord-sydlig riktning"));
    dbeditSizeY = Bound(new TFRDBEdit(editor), "dbeditSizeY", "SizeY");
    dbeditSizeY->setToolTip(QStringLiteral("Halva utbredningen i öst-västlig riktning"));
    size->addWidget(new QLabel(QStringLiteral("N-S:"), editor));
    size->addWidget(dbeditSizeX, 1);
    size->addWidget(new QLabel(QStringLiteral("Ö-V:"), editor));
    size->addWidget(dbeditSizeY, 1);
    grid->addLayout(size, row++, 1, 1, 4);
    btnMarkOnMap = PushButton(QStringLiteral("Markera på karta"), "btnMarkOnMap", editor);
    grid->addWidget(btnMarkOnMap, row++, 1, 1, 4, Qt::AlignLeft);
    for (TFRDBEdit* e : {dbeditPositionX, dbeditPositionY, dbeditSizeX, dbeditSizeY}) {
        e->setValidator(new QIntValidator(0, 99999999, e));
        e->setMinimumWidth(60);
    }

    grid->addWidget(FieldLabel(QStringLiteral("Län:"), editor), row, 0);
    dbeditProvince = Bound(new TFRDBEdit(editor), "dbeditProvince", "Province");
    grid->addWidget(dbeditProvince, row++, 1, 1, 4);
    grid->addWidget(FieldLabel(QStringLiteral("Kommun:"), editor), row, 0);
    dbeditDistrict = Bound(new TFRDBEdit(editor), "dbeditDistrict", "District");
    grid->addWidget(dbeditDistrict, row++, 1, 1, 4);
    for (TFRDBEdit* e : {dbeditProvince, dbeditDistrict}) {
        e->setMaxLength(30);
        e->AutoComplete = true;
        e->OnDropDownQuery = [this](TFREdit*, bool, bool& allow) { allow = allow && EditingPlace(); };
    }
    connect(dbeditProvince, &QLineEdit::editingFinished, this, [this] {
        if (EditingPlace()) FillDistrictItems();
    });
    connect(dbeditDistrict, &QLineEdit::editingFinished, this, [this] {
        if (EditingPlace()) FillDistrictItems();
    });

    grid->addWidget(FieldLabel(QStringLiteral("Vägbeskrivn.:"), editor), row, 0, Qt::AlignTop);
    dbmemoRouteNote = Bound(new TFRDBMemo(editor), "dbmemoRouteNote", "RouteNote");
    grid->addWidget(dbmemoRouteNote, row, 1, 1, 3);
    dblockRouteNote = Bound(new TFRDBLock(editor), "dblockRouteNote", "RouteNoteLocked");
    grid->addWidget(dblockRouteNote, row++, 4, Qt::AlignTop);
    grid->addWidget(FieldLabel(QStringLiteral("Övriga not.:"), editor), row, 0, Qt::AlignTop);
    dbmemoNoteText = Bound(new TFRDBMemo(editor), "dbmemoNoteText", "NoteText");
    grid->addWidget(dbmemoNoteText, row, 1, 1, 3);
    dblockNoteText = Bound(new TFRDBLock(editor), "dblockNoteText", "NoteTextLocked");
    grid->addWidget(dblockNoteText, row++, 4, Qt::AlignTop);
    for (TFRDBMemo* m : {dbmemoRouteNote, dbmemoNoteText}) {
        m->setMinimumHeight(40);
        m->setMaximumHeight(120);
    }

    auto* saveRow = new QHBoxLayout;
    btnSave = PushButton(QStringLiteral("Spara"), "btnSave", editor);
    btnCancel = PushButton(QStringLiteral("Avbryt"), "btnCancel", editor);
    saveRow->addStretch(1);
    saveRow->addWidget(btnSave);
    saveRow->addWidget(btnCancel);
    grid->addLayout(saveRow, row++, 0, 1, 5);
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(1, 1);
    right->addWidget(editor, 3);

    // The visits of the place.
    auto* visits = new QGroupBox(QStringLiteral("Svamputflykter"), page);
    visits->setObjectName(QStringLiteral("panelVisits"));
    auto* vl = new QVBoxLayout(visits);
    lblVisits = new QLabel(visits);
    lblVisits->setObjectName(QStringLiteral("lblVisits"));
    listVisits = new QListWidget(visits);
    listVisits->setObjectName(QStringLiteral("listVisits"));
    auto* visitTools = new QHBoxLayout;
    sbtnVisitNew = ToolButton(QStringLiteral("Ny utflykt"), "sbtnVisitNew", visits);
    sbtnVisitEdit = ToolButton(QStringLiteral("Ändra"), "sbtnVisitEdit", visits);
    sbtnVisitDelete = ToolButton(QStringLiteral("Radera"), "sbtnVisitDelete", visits);
    sbtnVisitInfo = ToolButton(QStringLiteral("Visa utflykten"), "sbtnVisitInfo", visits);
    for (QToolButton* b : {sbtnVisitNew, sbtnVisitEdit, sbtnVisitDelete, sbtnVisitInfo}) visitTools->addWidget(b);
    visitTools->addStretch(1);
    vl->addWidget(lblVisits);
    vl->addWidget(listVisits, 1);
    vl->addLayout(visitTools);
    right->addWidget(visits, 2);
    columns->addLayout(right, 3);

    connect(sbtnPlaceNew, &QToolButton::clicked, this, [this] { m_screen->NewPlace(); });
    connect(sbtnPlaceEdit, &QToolButton::clicked, this, [this] { m_screen->EditPlace(); });
    connect(sbtnPlaceDelete, &QToolButton::clicked, this, [this] { sbtnPlaceDeleteClick(); });
    connect(sbtnPlaceSort, &QToolButton::clicked, this,
            [this] { popupSort->popup(sbtnPlaceSort->mapToGlobal(QPoint(0, sbtnPlaceSort->height()))); });
    connect(sbtnPlaceSelection, &QToolButton::clicked, this, [this] {
        if (TformFRMain* main = MainForm())
            main->popupPlaceSelection->popup(sbtnPlaceSelection->mapToGlobal(QPoint(0, sbtnPlaceSelection->height())));
    });
    connect(btnMarkOnMap, &QPushButton::clicked, this, [this] {
        TMapRequests* maps = ScreenRequests::Maps();
        if (!maps || !EditingPlace()) return;
        m_screen->MarkPlaceUKey = GetUKey(Places());
        maps->StartMarking(2, 1);
    });
    connect(sbtnPrint, &QToolButton::clicked, this, [this] {
        if (TformFRMain* main = MainForm()) main->ShowScriptMenu(sbtnPrint, QStringLiteral("FungiPlaceMain"));
    });
    connect(sbtnShowOnMap, &QToolButton::clicked, this, [this] {
        TMapRequests* maps = ScreenRequests::Maps();
        if (!maps || Places()->IsEmpty()) return;
        QString map;
        maps->FindMapForPoint(Places()->FieldByName(QStringLiteral("PositionX"))->AsInteger(),
                              Places()->FieldByName(QStringLiteral("PositionY"))->AsInteger(), map, 1);
        if (map.isEmpty()) return;
        if (History()) History()->Add(CreateHistoryItem());
        maps->ShowPlaceOnMap(GetUKey(Places()), map);
    });
    connect(btnSave, &QPushButton::clicked, this, [this] { btnSaveClick(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
    connect(listPlaces, &QListWidget::currentRowChanged, this, [this](int r) {
        if (!m_filling) listPlacesClick(r);
    });
    connect(listVisits, &QListWidget::currentRowChanged, this, [this](int r) {
        if (!m_filling) listVisitsClick(r);
    });
    connect(listVisits, &QListWidget::itemDoubleClicked, this, [this] { SetShowingVisit(true); });
    connect(sbtnVisitInfo, &QToolButton::clicked, this, [this] { SetShowingVisit(true); });
    connect(sbtnVisitNew, &QToolButton::clicked, this, [this] { VisitStart(true); });
    connect(sbtnVisitEdit, &QToolButton::clicked, this, [this] { VisitStart(false); });
    connect(sbtnVisitDelete, &QToolButton::clicked, this, [this] { sbtnVisitDeleteClick(); });
    return page;
}

// ---- Settings and history ----

void TframePlaces::LoadSettings() {
    TFRFrameBase::LoadSettings();
    int order = 1;
    if (TFRIniFile* settings = Settings()) {
        const QString stored = settings->ReadString(QStringLiteral("Place/SortOrder"));
        if (!stored.isEmpty()) order = stored.toInt();
    }
    m_screen->SetSortOrder(quint8(order == 2 ? 2 : 1));
    m_showingVisit = false;
    // A place marked on the map takes its one mark; once taken the mark is no longer pending, so
    // its flag leaves the map.
    TMapRequests* maps = ScreenRequests::Maps();
    if (m_screen->ReturningFromMark && maps && maps->MapObjs().size() == 1 && EditingPlace()) {
        const TFRMapObj& mark = maps->MapObjs().front();
        TExtClientDataSet* places = Places();
        places->FieldByName(QStringLiteral("PositionX"))->SetAsInteger(mark.X);
        places->FieldByName(QStringLiteral("PositionY"))->SetAsInteger(mark.Y);
        places->FieldByName(QStringLiteral("SizeX"))->SetAsInteger(mark.HalfV);
        places->FieldByName(QStringLiteral("SizeY"))->SetAsInteger(mark.HalfH);
        UpdateScreen();
        dbeditPlaceName->setFocus();
    }
    if (m_screen->ReturningFromMark && maps) maps->MapObjs().clear();
    m_screen->ReturningFromMark = false;
}

TFRHistoryItem* TframePlaces::CreateHistoryItem() {
    auto* item = new TFRHistoryItem;
    item->Screen = m_screen;
    item->DataSet = Places();
    item->UKey = GetUKey(Places());
    item->Title = QStringLiteral("Till Svampställen");
    item->SetBoolValues(QStringLiteral("ShowingVisit"), m_showingVisit);
    if (m_showingVisit) {
        item->SetValues(QStringLiteral("VisitUKey"), GetUKey(Visits()));
        item->SetValues(QStringLiteral("PeopleUKey"), GetUKey(People()));
        item->SetValues(QStringLiteral("FindsUKey"), GetUKey(Finds()));
    }
    return item;
}

void TframePlaces::RestoreHistory(TFRHistoryItem* item) {
    if (!item) return;
    static_cast<void>(LocateUKey(Places(), item->UKey));
    m_showingVisit = item->BoolValues(QStringLiteral("ShowingVisit"));
    if (m_showingVisit) {
        static_cast<void>(LocateUKey(Visits(), item->Values(QStringLiteral("VisitUKey"))));
        static_cast<void>(LocateUKey(People(), item->Values(QStringLiteral("PeopleUKey"))));
        static_cast<void>(LocateUKey(Finds(), item->Values(QStringLiteral("FindsUKey"))));
    }
    UpdateFrame();
}

// ---- What is shown ----

void TframePlaces::SetShowingVisit(bool showing) {
    if (showing && Visits()->IsEmpty() && !EditingVisit()) return;
    m_showingVisit = showing;
    UpdateFrame();
}

bool TframePlaces::EditingPlace() const { return Places()->Active() && IsEditing(Places()); }
bool TframePlaces::EditingVisit() const { return Visits()->Active() && IsEditing(Visits()); }

bool TframePlaces::MayEditPlace() const {
    return !Places()->IsEmpty() && GetCreatedBy(Places()) == GetCurrentUserContactUKey();
}

bool TframePlaces::MayEditVisit() const {
    return !Visits()->IsEmpty() && GetCreatedBy(Visits()) == GetCurrentUserContactUKey();
}

QString TframePlaces::PlaceListHeading() const {
    const bool selected = !Places()->Sel().isEmpty();
    const int count = Places()->Active() ? Places()->RecordCount() : 0;
    // One place is "1 svampställe".
    const QString places = count == 1 ? QStringLiteral("svampställe") : QStringLiteral("svampställen");
    return (selected ? QStringLiteral("%1 %2, urval aktivt") : QStringLiteral("%1 %2, urval ej aktivt"))
        .arg(count)
        .arg(places);
}

void TframePlaces::FillPlaceList() {
    m_filling = true;
    listPlaces->clear();
    TExtClientDataSet* places = Places();
    if (places->Active()) {
        const int name = places->FieldByName(QStringLiteral("PlaceName"))->Index();
        const int district = places->FieldByName(QStringLiteral("District"))->Index();
        const int province = places->FieldByName(QStringLiteral("Province"))->Index();
        const bool inserting = places->State() == TDataSetState::dsInsert;
        for (int row = 0; row < places->RecordCount(); ++row) {
            auto* item = new QListWidgetItem(places->RecordValue(row, name).toString(), listPlaces);
            QStringList where;
            for (int f : {district, province}) {
                const QString part = places->RecordValue(row, f).toString();
                if (!part.isEmpty()) where << part;
            }
            item->setData(kSecondLineRole, where.join(QStringLiteral(", ")));
        }
        if (!inserting && places->RecNo() > 0) listPlaces->setCurrentRow(places->RecNo() - 1);
    }
    m_filling = false;
}

void TframePlaces::FillDistrictItems() {
    TformFRMain* main = MainForm();
    if (!main || !Places()->Active() || Places()->IsEmpty()) return;
    QStringList provinces = dbeditProvince->Items();
    QStringList districts;
    main->FillDistrictItems(Places(), provinces, districts);
    if (dbeditProvince->Items().isEmpty()) dbeditProvince->SetItems(provinces);
    dbeditDistrict->SetItems(districts);
}

void TframePlaces::UpdateFrame() {
    pagesPlaces->setCurrentWidget(m_showingVisit ? tabsVisit : tabsPlace);
    lblPlaceList->setText(PlaceListHeading());
    FillPlaceList();
    FillDistrictItems();
    FillVisitList();
    ReadVisit();
    lblVisitHeading->setText(VisitHeading());
    FillPeopleList();
    FillFindsList();
    UpdateButtons();
}

void TframePlaces::UpdateButtons() {
    const bool placeEditing = EditingPlace();
    const bool visitEditing = EditingVisit();
    const bool browsing = Places()->Active() && !placeEditing && !visitEditing;
    sbtnPlaceNew->setEnabled(browsing);
    sbtnPlaceDelete->setEnabled(browsing && !Places()->IsEmpty());
    sbtnPlaceEdit->setEnabled(sbtnPlaceDelete->isEnabled() && MayEditPlace());
    sbtnPlaceSort->setEnabled(browsing);
    sbtnPlaceSelection->setEnabled(browsing);
    listPlaces->setEnabled(!placeEditing && !visitEditing);
    sbtnShowOnMap->setEnabled(ScreenRequests::Maps() && browsing && !Places()->IsEmpty());
    btnMarkOnMap->setEnabled(ScreenRequests::Maps() && placeEditing);
    TformFRMain* main = MainForm();
    sbtnPrint->setEnabled(browsing && !Places()->IsEmpty() && main && main->ScriptCount() > 0);
    btnSave->setEnabled(placeEditing);
    btnCancel->setEnabled(placeEditing);
    for (QLineEdit* e : {static_cast<QLineEdit*>(dbeditPlaceName), static_cast<QLineEdit*>(dbeditPositionX),
                         static_cast<QLineEdit*>(dbeditPositionY), static_cast<QLineEdit*>(dbeditSizeX),
                         static_cast<QLineEdit*>(dbeditSizeY), static_cast<QLineEdit*>(dbeditProvince),
                         static_cast<QLineEdit*>(dbeditDistrict)})
        e->setReadOnly(!placeEditing);
    dbmemoRouteNote->setReadOnly(!placeEditing);
    dbmemoNoteText->setReadOnly(!placeEditing);
    for (TFRDBLock* l : {dblockPosition, dblockRouteNote, dblockNoteText}) l->setEnabled(placeEditing);

    sbtnVisitNew->setEnabled(browsing && !Places()->IsEmpty());
    sbtnVisitDelete->setEnabled(sbtnVisitNew->isEnabled() && !Visits()->IsEmpty());
    sbtnVisitEdit->setEnabled(sbtnVisitDelete->isEnabled() && MayEditVisit());
    sbtnVisitInfo->setEnabled(!Visits()->IsEmpty() && !placeEditing);

    sbtnPrev->setEnabled(!visitEditing && Visits()->RecNo() > 1);
    sbtnNext->setEnabled(!visitEditing && Visits()->RecNo() < Visits()->RecordCount());
    sbtnClose->setEnabled(!visitEditing);
    editVisitDate->setReadOnly(!visitEditing);
    dbeditWeather->setReadOnly(!visitEditing);
    dbmemoVisitNote->setReadOnly(!visitEditing);
    btnVisitSave->setEnabled(visitEditing);
    btnVisitCancel->setEnabled(visitEditing);
    const bool peopleRow = visitEditing && IsEditing(m_screen->WorkPeople());
    const bool findRow = visitEditing && IsEditing(m_screen->WorkFinds());
    searchPeople->setEnabled(peopleRow);
    btnPeopleNew->setEnabled(visitEditing);
    btnPeopleSave->setEnabled(peopleRow);
    btnPeopleDelete->setEnabled(peopleRow && m_screen->WorkPeople()->State() == TDataSetState::dsEdit);
    searchFungi->setEnabled(findRow);
    multicBodyCount->setEnabled(findRow);
    multicBodyAge->setEnabled(findRow);
    btnFindNew->setEnabled(visitEditing);
    btnFindSave->setEnabled(findRow);
    btnFindDelete->setEnabled(findRow && m_screen->WorkFinds()->State() == TDataSetState::dsEdit);
}

// ---- Places ----

void TframePlaces::listPlacesClick(int row) {
    if (row < 0 || EditingPlace() || EditingVisit()) return;
    Places()->SetRecNo(row + 1);
    UpdateFrame();
}

void TframePlaces::SortChosen(int order) {
    m_screen->SetSortOrder(quint8(order));
    if (TFRIniFile* settings = Settings()) settings->WriteInteger(QStringLiteral("Place/SortOrder"), order);
    listPlaces->clear();
    UpdateScreen();
}

void TframePlaces::btnSaveClick() {
    if (!EditingPlace()) return;
    setFocus();
    TExtClientDataSet* places = Places();
    if (TFRIniFile* settings = Settings()) {
        for (const char* name : {"PositionLocked", "RouteNoteLocked", "NoteTextLocked"})
            settings->WriteBool(QStringLiteral("PlacePresets/") + QLatin1String(name),
                                places->FieldByName(QLatin1String(name))->AsBoolean());
    }
    if (Text(places, "Province").trimmed().isEmpty()) {
        dbeditProvince->setFocus();
        UIServices::MessageBox(UIServices::TMsgIcon::Error, UIServices::TMsgButtons::OK, kErrorCaption,
                               QStringLiteral("Du måste ange vilket län fyndet gjordes i"));
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        places->Post();
    } catch (...) {
        QApplication::restoreOverrideCursor();
        throw;
    }
    QApplication::restoreOverrideCursor();
    if (ScreenHost()) ScreenHost()->SetNavigationEnabled(true);
    listPlaces->clear();
    UpdateScreen();
}

void TframePlaces::btnCancelClick() {
    if (EditingPlace()) Places()->Cancel();
    if (ScreenHost()) ScreenHost()->SetNavigationEnabled(true);
    UpdateScreen();
}

void TframePlaces::sbtnPlaceDeleteClick() {
    TExtClientDataSet* places = Places();
    if (!places->Active() || places->IsEmpty() || EditingPlace() || EditingVisit()) return;
    const QString name = Text(places, "PlaceName");
    const int visits = Visits()->RecordCount();
    const QString text = visits == 0
        ? QStringLiteral("Du är på väg att radera svampstället \"%1\". Skall raderingen genomföras?").arg(name)
        : QStringLiteral(
              "Du är på väg att radera svampstället \"%1\" och %2 svamputflykter som hör till det. "
              "Skall raderingen genomföras?")
              .arg(name)
              .arg(visits);
    if (!UIServices::AskYesNo(text, kDeleteCaption, UIServices::TMsgIcon::Warning)) return;
    places->Delete();
    m_showingVisit = false;
    UpdateScreen();
}

#include "moc_unitFramePlaces.cpp"
