#include "content/places/unitFramePlaces.h"

#include <QApplication>
#include <QDate>
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

#include "content/contacts/unitContactScreen.h"
#include "content/species/unitFungiScreen.h"
#include "content/species/unitFrameFungiFinds.h"
#include "content/places/unitPlaceScreen.h"
#include "shell/ScreenRequests.h"
#include "controls/FREdits.h"
#include "controls/FRLabel.h"
#include "controls/FRLocks.h"
#include "controls/FRMemos.h"
#include "controls/FRMultiChoice.h"
#include "controls/FRSearchPanel.h"
#include "core/ExtClientDataSet.h"
#include "shell/FRHistory.h"
#include "core/FRIniFile.h"
#include "core/SaveUnit.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "shell/unitMain.h"
#include "shell/unitUserScreen.h"
#include "platform/ClientDataSet.h"
#include "platform/Clock.h"
#include "platform/DataLink.h"
#include "platform/Exception.h"
#include "platform/UIServices.h"

namespace {

const QString kErrorCaption = QStringLiteral("Mykotekshallen - Fel");
const QString kDeleteCaption = QStringLiteral("Mykotekshallen - Bekräfta radering");
const QString kDateFormat = QStringLiteral("yyyy-MM-dd");
const QString kVisitNotSaved =
    QStringLiteral("Svamputflykten kunde inte sparas. Deltagare och fynd är de som sparades tidigare.\n%1");
constexpr int kSecondLineRole = Qt::UserRole + 1;

bool IsEditing(const TClientDataSet* table) {
    const TDataSetState state = table->State();
    return state == TDataSetState::dsEdit || state == TDataSetState::dsInsert;
}

QString Text(TClientDataSet* table, const char* field) { return table->FieldByName(QLatin1String(field))->AsString(); }

// The key of a new working row: unused in the stored table and among the working rows not
// yet stored, which may have been drawn within the same millisecond.
QString NewWorkKey(const TExtClientDataSet* stored, const TClientDataSet* work) {
    return stored->NewUKey([work](const QString& key) { return work->FindRecordIndex(QStringLiteral("UKey"), key) >= 0; });
}

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
        painter->drawText(QRect(inner.left(), inner.top(), inner.width(), line), Qt::AlignLeft | Qt::AlignVCenter,
                          heavyMetrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, inner.width()));
        painter->setFont(option.font);
        painter->drawText(QRect(inner.left(), inner.top() + line, inner.width(), line), Qt::AlignLeft | Qt::AlignVCenter,
                          option.fontMetrics.elidedText(index.data(kSecondLineRole).toString(), Qt::ElideRight,
                                                        inner.width()));
        painter->restore();
    }
};

QToolButton* ToolButton(const QString& text, const char* name, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setText(text);
    button->setObjectName(QLatin1String(name));
    button->setAutoRaise(true);
    return button;
}

QPushButton* PushButton(const QString& text, const char* name, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    return button;
}

QLabel* FieldLabel(const QString& text, QWidget* parent) {
    auto* label = new TFRLabel(text, parent);
    label->setMinimumWidth(label->sizeHint().width());
    return label;
}

template <class T>
T* Bound(T* control, const char* name, const char* field) {
    control->setObjectName(QLatin1String(name));
    control->SetDataField(QLatin1String(field));
    return control;
}

TFRIniFile* Settings() { return UsersSettings(); }

}  // namespace

// ---- TframePlaces ----------------------------------------------------------------------

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

QWidget* TframePlaces::SetupVisitPage() {
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("tabsVisit"));
    auto* layout = new QVBoxLayout(page);

    auto* head = new QHBoxLayout;
    lblVisitHeading = new QLabel(page);
    lblVisitHeading->setObjectName(QStringLiteral("lblVisitHeading"));
    QFont heavy = lblVisitHeading->font();
    heavy.setBold(true);
    lblVisitHeading->setFont(heavy);
    sbtnPrev = ToolButton(QStringLiteral("< Föregående"), "sbtnPrev", page);
    sbtnNext = ToolButton(QStringLiteral("Nästa >"), "sbtnNext", page);
    sbtnClose = ToolButton(QStringLiteral("Stäng"), "sbtnClose", page);
    head->addWidget(lblVisitHeading, 1);
    head->addWidget(sbtnPrev);
    head->addWidget(sbtnNext);
    head->addWidget(sbtnClose);
    layout->addLayout(head);

    auto* editor = new QGridLayout;
    editor->addWidget(FieldLabel(QStringLiteral("Datum:"), page), 0, 0);
    editVisitDate = new TFREdit(page);
    editVisitDate->setObjectName(QStringLiteral("editVisitDate"));
    editVisitDate->setPlaceholderText(QStringLiteral("åååå-mm-dd"));
    editVisitDate->setMaxLength(10);
    editor->addWidget(editVisitDate, 0, 1);
    editor->addWidget(FieldLabel(QStringLiteral("Väder:"), page), 0, 2);
    dbeditWeather = Bound(new TFRDBEdit(page), "dbeditWeather", "Weather");
    dbeditWeather->setMaxLength(80);
    editor->addWidget(dbeditWeather, 0, 3);
    editor->addWidget(FieldLabel(QStringLiteral("Anteckningar:"), page), 1, 0, Qt::AlignTop);
    dbmemoVisitNote = Bound(new TFRDBMemo(page), "dbmemoVisitNote", "NoteText");
    dbmemoVisitNote->setMaximumHeight(60);
    editor->addWidget(dbmemoVisitNote, 1, 1, 1, 3);
    editor->setColumnStretch(3, 1);
    layout->addLayout(editor);

    auto* lists = new QHBoxLayout;
    // Participants.
    auto* people = new QGroupBox(QStringLiteral("Deltagare"), page);
    people->setObjectName(QStringLiteral("panelPeople"));
    auto* pl = new QVBoxLayout(people);
    listPeople = new QListWidget(people);
    listPeople->setObjectName(QStringLiteral("listPeople"));
    searchPeople = new TFRSearchPanel(people);
    searchPeople->setObjectName(QStringLiteral("searchPeople"));
    searchPeople->PresentSelection = true;
    // A typed name is stored as it stands in the participant's field, which holds 40.
    searchPeople->Edit->setMaxLength(40);
    searchPeople->setToolTip(QStringLiteral("Skriv ett namn eller sök bland Dina kontakter"));
    auto* pb = new QHBoxLayout;
    btnPeopleNew = PushButton(QStringLiteral("Ny"), "btnPeopleNew", people);
    btnPeopleSave = PushButton(QStringLiteral("Spara"), "btnPeopleSave", people);
    btnPeopleDelete = PushButton(QStringLiteral("Ta bort"), "btnPeopleDelete", people);
    for (QPushButton* b : {btnPeopleNew, btnPeopleSave, btnPeopleDelete}) pb->addWidget(b);
    pl->addWidget(listPeople, 1);
    pl->addWidget(searchPeople);
    pl->addLayout(pb);
    lists->addWidget(people, 2);

    // Finds.
    auto* finds = new QGroupBox(QStringLiteral("Funna arter"), page);
    finds->setObjectName(QStringLiteral("panelFinds"));
    auto* fl = new QGridLayout(finds);
    listFinds = new QListWidget(finds);
    listFinds->setObjectName(QStringLiteral("listFinds"));
    searchFungi = new TFRSearchPanel(finds);
    searchFungi->setObjectName(QStringLiteral("searchFungi"));
    searchFungi->PresentSelection = true;
    searchFungi->setToolTip(QStringLiteral("Sök arten bland artnamnen"));
    multicBodyCount = Bound(new TFRDBMultiChoice(finds), "multicBodyCount", "BodyCount");
    multicBodyCount->SetItems(FindCountClasses());
    multicBodyCount->SetColCount(5);
    multicBodyCount->SetColWidth(44);
    multicBodyAge = Bound(new TFRDBMultiChoice(finds), "multicBodyAge", "BodyAge");
    multicBodyAge->SetItems(FindAgeClasses());
    multicBodyAge->SetColCount(4);
    multicBodyAge->SetColWidth(60);
    auto* fb = new QHBoxLayout;
    btnFindNew = PushButton(QStringLiteral("Ny"), "btnFindNew", finds);
    btnFindSave = PushButton(QStringLiteral("Spara"), "btnFindSave", finds);
    btnFindDelete = PushButton(QStringLiteral("Ta bort"), "btnFindDelete", finds);
    for (QPushButton* b : {btnFindNew, btnFindSave, btnFindDelete}) fb->addWidget(b);
    fb->addStretch(1);
    fl->addWidget(listFinds, 0, 0, 1, 2);
    fl->addWidget(FieldLabel(QStringLiteral("Art:"), finds), 1, 0);
    fl->addWidget(searchFungi, 1, 1);
    fl->addWidget(FieldLabel(QStringLiteral("Antal:"), finds), 2, 0, Qt::AlignTop);
    fl->addWidget(multicBodyCount, 2, 1, Qt::AlignLeft);
    fl->addWidget(FieldLabel(QStringLiteral("Kvalitet:"), finds), 3, 0);
    fl->addWidget(multicBodyAge, 3, 1, Qt::AlignLeft);
    fl->addLayout(fb, 4, 0, 1, 2);
    fl->setRowStretch(0, 1);
    fl->setColumnStretch(1, 1);
    lists->addWidget(finds, 3);
    layout->addLayout(lists, 1);

    auto* saveRow = new QHBoxLayout;
    btnVisitSave = PushButton(QStringLiteral("Spara utflykten"), "btnVisitSave", page);
    btnVisitCancel = PushButton(QStringLiteral("Avbryt"), "btnVisitCancel", page);
    saveRow->addStretch(1);
    saveRow->addWidget(btnVisitSave);
    saveRow->addWidget(btnVisitCancel);
    layout->addLayout(saveRow);

    connect(sbtnPrev, &QToolButton::clicked, this, [this] { sbtnPrevNextClick(1); });
    connect(sbtnNext, &QToolButton::clicked, this, [this] { sbtnPrevNextClick(2); });
    connect(sbtnClose, &QToolButton::clicked, this, [this] { SetShowingVisit(false); });
    connect(btnVisitSave, &QPushButton::clicked, this, [this] { btnVisitSaveClick(); });
    connect(btnVisitCancel, &QPushButton::clicked, this, [this] { btnVisitCancelClick(); });
    connect(btnPeopleNew, &QPushButton::clicked, this, [this] { btnPeopleNewClick(); });
    connect(btnPeopleSave, &QPushButton::clicked, this, [this] { btnPeopleSaveClick(); });
    connect(btnPeopleDelete, &QPushButton::clicked, this, [this] { btnPeopleDeleteClick(); });
    connect(btnFindNew, &QPushButton::clicked, this, [this] { btnFindNewClick(); });
    connect(btnFindSave, &QPushButton::clicked, this, [this] { btnFindSaveClick(); });
    connect(btnFindDelete, &QPushButton::clicked, this, [this] { btnFindDeleteClick(); });
    searchPeople->OnSearchPerformed = [this](TFRSearchPanel*, const QString& key) { PeopleChosen(key); };
    searchPeople->OnChange = [this](TFRSearchPanel*) { PeopleTextChanged(); };
    searchFungi->OnSearchPerformed = [this](TFRSearchPanel*, const QString& key) { FindChosen(key); };
    connect(listPeople, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { listPeopleDoubleClick(listPeople->row(item)); });
    connect(listFinds, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { listFindsDoubleClick(listFinds->row(item)); });
    connect(listPeople, &QListWidget::currentRowChanged, this, [this](int r) {
        if (m_filling || !EditingVisit() || r < 0) return;
        TClientDataSet* work = m_screen->WorkPeople();
        if (IsEditing(work)) work->Cancel();
        work->SetRecNo(r + 1);
        work->Edit();
        searchPeople->Edit->setText(PeopleLine(Text(work, "Individual")));
        UpdateButtons();
    });
    connect(listFinds, &QListWidget::currentRowChanged, this, [this](int r) {
        if (m_filling || !EditingVisit() || r < 0) return;
        TClientDataSet* work = m_screen->WorkFinds();
        if (IsEditing(work)) work->Cancel();
        work->SetRecNo(r + 1);
        work->Edit();
        searchFungi->Edit->setText(Text(work, "FungiName"));
        UpdateButtons();
    });
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
    return (selected ? QStringLiteral("%1 %2, urval aktivt") : QStringLiteral("%1 %2, urval ej aktivt")).arg(count).arg(places);
}

QString TframePlaces::VisitHeading() const {
    const QString name = Places()->IsEmpty() ? QString() : Text(Places(), "PlaceName");
    QString what;
    if (Visits()->State() == TDataSetState::dsInsert)
        what = QStringLiteral("ny svamputflykt");
    else if (Visits()->State() == TDataSetState::dsEdit)
        what = QStringLiteral("ändra svamputflykt");
    else
        what = QStringLiteral("utflykt %1 av %2").arg(Visits()->RecNo()).arg(Visits()->RecordCount());
    return name + QStringLiteral(" - ") + what;
}

QString TframePlaces::VisitLine(const QString& visitUKey, const QDate& date) const {
    int count = 0;
    TExtClientDataSet* people = People();
    people->OpenInternal();
    TClientDataSet* stored = people->InternalDataSet();
    const int master = stored->FieldByName(QStringLiteral("MasterUKey"))->Index();
    for (int row = 0; row < stored->RecordCount(); ++row)
        if (stored->RecordValue(row, master).toString() == visitUKey) ++count;
    return QStringLiteral("%1 (%2 deltagare)").arg(date.toString(kDateFormat)).arg(count);
}

QString TframePlaces::PeopleLine(const QString& individual) const {
    if (!individual.startsWith(TDMServices::RefPrefix)) return individual;
    TDMServices* services = TDMServices::Of(DM());
    const QString name = services ? services->GetRefText(individual) : QString();
    // A contact that is no longer there has no name to show.
    if (name.isEmpty()) return QStringLiteral("(borttagen kontakt)");
    return name + QStringLiteral(" (kontakt)");
}

QString TframePlaces::CountClass(int count) { return FindCountClass(count); }
QString TframePlaces::AgeClass(int age) { return FindAgeClass(age); }

QString TframePlaces::FindLine(const QString& name, int count, int age) const {
    return QStringLiteral("%1   Antal: %2   Kvalitet: %3").arg(name, CountClass(count), AgeClass(age));
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

void TframePlaces::FillVisitList() {
    m_filling = true;
    listVisits->clear();
    TExtClientDataSet* visits = Visits();
    if (visits->Active()) {
        const int key = visits->FieldByName(QStringLiteral("UKey"))->Index();
        const int date = visits->FieldByName(QStringLiteral("VisitDate"))->Index();
        for (int row = 0; row < visits->RecordCount(); ++row)
            listVisits->addItem(VisitLine(visits->RecordValue(row, key).toString(), visits->RecordValue(row, date).toDate()));
        if (visits->State() == TDataSetState::dsBrowse && visits->RecNo() > 0) listVisits->setCurrentRow(visits->RecNo() - 1);
    }
    lblVisits->setText(QStringLiteral("%1 svamputflykter").arg(listVisits->count()));
    m_filling = false;
}

void TframePlaces::FillPeopleList() {
    m_filling = true;
    listPeople->clear();
    TClientDataSet* people = EditingVisit() ? m_screen->WorkPeople() : static_cast<TClientDataSet*>(People());
    if (people->Active()) {
        const int field = people->FieldByName(QStringLiteral("Individual"))->Index();
        for (int row = 0; row < people->RecordCount(); ++row)
            listPeople->addItem(PeopleLine(people->RecordValue(row, field).toString()));
        if (!EditingVisit() && people->RecNo() > 0) listPeople->setCurrentRow(people->RecNo() - 1);
    }
    m_filling = false;
}

void TframePlaces::FillFindsList() {
    m_filling = true;
    listFinds->clear();
    TClientDataSet* finds = EditingVisit() ? m_screen->WorkFinds() : static_cast<TClientDataSet*>(Finds());
    if (finds->Active()) {
        const int name = finds->FieldByName(QStringLiteral("FungiName"))->Index();
        const int count = finds->FieldByName(QStringLiteral("BodyCount"))->Index();
        const int age = finds->FieldByName(QStringLiteral("BodyAge"))->Index();
        for (int row = 0; row < finds->RecordCount(); ++row)
            listFinds->addItem(FindLine(finds->RecordValue(row, name).toString(), finds->RecordValue(row, count).toInt(),
                                        finds->RecordValue(row, age).toInt()));
        if (!EditingVisit() && finds->RecNo() > 0) listFinds->setCurrentRow(finds->RecNo() - 1);
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

void TframePlaces::ReadVisit() {
    if (Visits()->Active() && (!Visits()->IsEmpty() || EditingVisit())) {
        const QDate date = Visits()->FieldByName(QStringLiteral("VisitDate"))->AsDate();
        // A date being typed stays as it is until the visit is saved.
        if (!(EditingVisit() && editVisitDate->isModified())) editVisitDate->setText(date.toString(kDateFormat));
    } else {
        editVisitDate->clear();
    }
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
    const QString text =
        visits == 0
            ? QStringLiteral("Du är på väg att radera svampstället \"%1\". Skall raderingen genomföras?").arg(name)
            : QStringLiteral("Du är på väg att radera svampstället \"%1\" och %2 svamputflykter som hör till det. "
                             "Skall raderingen genomföras?")
                  .arg(name)
                  .arg(visits);
    if (!UIServices::AskYesNo(text, kDeleteCaption, UIServices::TMsgIcon::Warning)) return;
    places->Delete();
    m_showingVisit = false;
    UpdateScreen();
}

// ---- Visits ----

void TframePlaces::listVisitsClick(int row) {
    if (row < 0 || EditingVisit()) return;
    Visits()->SetRecNo(row + 1);
    UpdateFrame();
}

void TframePlaces::sbtnPrevNextClick(int tag) {
    if (EditingVisit()) return;
    if (tag == 1)
        Visits()->Prior();
    else
        Visits()->Next();
    UpdateFrame();
}

void TframePlaces::VisitStart(bool isNew) {
    if (Places()->IsEmpty() || EditingPlace() || EditingVisit()) return;
    if (!isNew && !MayEditVisit()) return;
    TExtClientDataSet* visits = Visits();
    if (isNew) {
        visits->Append();
        visits->FieldByName(QStringLiteral("VisitDate"))->SetAsDate(Clock::Now().date());
        visits->FieldByName(QStringLiteral("CreatedBy"))->SetAsString(GetCurrentUserContactUKey());
    } else {
        visits->Edit();
    }
    try {
        m_screen->ResetVisitWorkSets();
        for (auto [stored, work] : {std::pair<TClientDataSet*, TClientDataSet*>{People(), m_screen->WorkPeople()},
                                    std::pair<TClientDataSet*, TClientDataSet*>{Finds(), m_screen->WorkFinds()}}) {
            if (isNew) continue;
            for (stored->First(); !stored->Eof(); stored->Next()) TExtClientDataSet::CopyRecordTo(stored, work, true);
            work->First();
        }
    } catch (...) {
        visits->Cancel();
        throw;
    }
    m_showingVisit = true;
    editVisitDate->setModified(false);
    if (ScreenHost()) ScreenHost()->SetNavigationEnabled(false);
    searchPeople->Edit->clear();
    searchFungi->Edit->clear();
    UpdateFrame();
    editVisitDate->setFocus();
}

void TframePlaces::btnVisitCancelClick() {
    for (TClientDataSet* work : {m_screen->WorkPeople(), m_screen->WorkFinds()})
        if (IsEditing(work)) work->Cancel();
    if (EditingVisit()) Visits()->Cancel();
    m_showingVisit = false;
    editVisitDate->setModified(false);
    if (ScreenHost()) ScreenHost()->SetNavigationEnabled(true);
    UpdateScreen();
}

void TframePlaces::btnVisitSaveClick() {
    if (!EditingVisit()) return;
    const QDate date = QDate::fromString(editVisitDate->text().trimmed(), kDateFormat);
    if (!date.isValid()) {
        editVisitDate->setFocus();
        UIServices::MessageBox(UIServices::TMsgIcon::Error, UIServices::TMsgButtons::OK, kErrorCaption,
                               QStringLiteral("Ogiltigt datum"));
        return;
    }
    // A participant or find still being entered is kept; a find typed without its species
    // stops the save rather than being dropped without a word.
    KeepPendingPerson();
    KeepPendingFind(true);
    Visits()->FieldByName(QStringLiteral("VisitDate"))->SetAsDate(date);
    SaveVisitRows();
    editVisitDate->setModified(false);
    m_showingVisit = false;
    listVisits->clear();
    if (ScreenHost()) ScreenHost()->SetNavigationEnabled(true);
    UpdateScreen();
}

// The stored participants and finds of the visit are replaced in one save unit: no file is
// written until every table involved (the visit, its participants and finds, the contacts'
// counts) holds its new rows, and then all of them land together or, on a failure before
// the first file, none does and the tables are read back from their files.
void TframePlaces::SaveVisitRows() {
    const QString placeKey = GetUKey(Places());
    const QString visitKey = GetUKey(Visits());
    auto step = [this](int n) {
        if (OnVisitSaveStep) OnVisitSaveStep(n);
    };
    bool visitPosted = false;
    bool stands = false;
    QString failure;
    {
        TSaveUnit unit(DM());
        try {
            step(1);
            for (TExtClientDataSet* stored : {People(), Finds()}) {
                stored->First();
                while (!stored->IsEmpty()) stored->Delete();
            }
            step(2);
            Visits()->Post();
            visitPosted = true;
            for (auto [work, stored] :
                 {std::pair<TClientDataSet*, TExtClientDataSet*>{m_screen->WorkPeople(), People()},
                  std::pair<TClientDataSet*, TExtClientDataSet*>{m_screen->WorkFinds(), Finds()}}) {
                for (work->First(); !work->Eof(); work->Next()) TExtClientDataSet::CopyRecordTo(work, stored, true);
            }
            step(3);
            unit.Commit();
        } catch (const Exception& e) {
            failure = e.Message();
            // After its journal a save stands, even when some file has to wait for the next start.
            stands = unit.Committed();
        }
    }
    if (failure.isEmpty()) {
        static_cast<void>(LocateUKey(Visits(), visitKey));
        return;
    }
    // The unit has put the tables back as their files hold them; a visit whose post did not
    // happen is still being edited.
    static_cast<void>(LocateUKey(Places(), placeKey));
    static_cast<void>(LocateUKey(Visits(), visitKey));
    if (visitPosted) {
        m_showingVisit = false;
        if (ScreenHost()) ScreenHost()->SetNavigationEnabled(true);
    }
    UpdateFrame();
    throw Exception(stands ? failure : kVisitNotSaved.arg(failure));
}

void TframePlaces::sbtnVisitDeleteClick() {
    TExtClientDataSet* visits = Visits();
    if (visits->IsEmpty() || EditingVisit() || EditingPlace()) return;
    const QString date = visits->FieldByName(QStringLiteral("VisitDate"))->AsDate().toString(kDateFormat);
    if (!UIServices::AskYesNo(
            QStringLiteral("Du är på väg att radera den markerade svamputflykten daterad %1. Skall raderingen genomföras?")
                .arg(date),
            kDeleteCaption, UIServices::TMsgIcon::Warning))
        return;
    // The visit's participants and finds go with it (the data module's cascading delete).
    visits->Delete();
    if (visits->IsEmpty()) m_showingVisit = false;
    UpdateScreen();
}

// ---- Participants ----

void TframePlaces::KeepPendingPerson() {
    TClientDataSet* work = m_screen->WorkPeople();
    if (!IsEditing(work)) return;
    if (searchPeople->Edit->text().trimmed().isEmpty())
        work->Cancel();
    else
        btnPeopleSaveClick();
}

void TframePlaces::KeepPendingFind(bool complete) {
    TClientDataSet* work = m_screen->WorkFinds();
    if (!IsEditing(work)) return;
    if (searchFungi->Edit->text().trimmed().isEmpty() || (!complete && Text(work, "FungiUKey").isEmpty())) {
        work->Cancel();
        return;
    }
    if (Text(work, "FungiUKey").isEmpty()) searchFungi->Edit->setFocus();
    btnFindSaveClick();
}

void TframePlaces::btnPeopleNewClick() {
    if (!EditingVisit()) return;
    TClientDataSet* work = m_screen->WorkPeople();
    // The one being entered is kept, not dropped for the new one.
    KeepPendingPerson();
    work->Append();
    work->FieldByName(QStringLiteral("MasterUKey"))->SetAsString(GetUKey(Visits()));
    work->FieldByName(QStringLiteral("UKey"))->SetAsString(NewWorkKey(People(), work));
    searchPeople->Edit->clear();
    UpdateButtons();
    searchPeople->Edit->setFocus();
}

void TframePlaces::PeopleChosen(const QString& contactUKey) {
    TClientDataSet* work = m_screen->WorkPeople();
    if (!IsEditing(work) || contactUKey.isEmpty()) return;
    work->FieldByName(QStringLiteral("Individual"))->SetAsString(TDMServices::RefPrefix + contactUKey);
}

void TframePlaces::PeopleTextChanged() {
    TClientDataSet* work = m_screen->WorkPeople();
    if (!IsEditing(work)) return;
    const QString individual = Text(work, "Individual");
    if (!individual.startsWith(TDMServices::RefPrefix)) return;
    // A typed text that is no longer the chosen contact's name makes the participant a free
    // name again; an empty text clears it.
    const QString text = searchPeople->Edit->text();
    TDMServices* services = TDMServices::Of(DM());
    if (text.isEmpty() || !services || text != services->GetRefText(individual))
        work->FieldByName(QStringLiteral("Individual"))->Clear();
}

void TframePlaces::btnPeopleSaveClick() {
    TClientDataSet* work = m_screen->WorkPeople();
    if (!EditingVisit() || !IsEditing(work)) return;
    const QString text = searchPeople->Edit->text().trimmed();
    if (text.isEmpty()) throw Exception(QStringLiteral("Namn på deltagare saknas!"));
    // Whatever is not a chosen contact is the typed name, also when a free name is edited.
    if (!Text(work, "Individual").startsWith(TDMServices::RefPrefix))
        work->FieldByName(QStringLiteral("Individual"))->SetAsString(text.left(40));
    work->Post();
    searchPeople->Edit->clear();
    FillPeopleList();
    UpdateButtons();
}

// A participant or find of the visit goes: a new one is given up, a stored one deleted.
void TframePlaces::DeleteVisitRow(TClientDataSet* work, TFRSearchPanel* search, void (TframePlaces::*fillList)()) {
    if (!EditingVisit() || work->IsEmpty()) return;
    if (work->State() == TDataSetState::dsInsert) {
        work->Cancel();
    } else {
        if (work->State() == TDataSetState::dsEdit) work->Cancel();
        work->Delete();
    }
    search->Edit->clear();
    (this->*fillList)();
    UpdateButtons();
}

void TframePlaces::btnPeopleDeleteClick() {
    DeleteVisitRow(m_screen->WorkPeople(), searchPeople, &TframePlaces::FillPeopleList);
}

// ---- Finds ----

void TframePlaces::btnFindNewClick() {
    if (!EditingVisit()) return;
    TClientDataSet* work = m_screen->WorkFinds();
    // A complete find being entered is kept, not dropped for the new one.
    KeepPendingFind(false);
    work->Append();
    work->FieldByName(QStringLiteral("MasterUKey"))->SetAsString(GetUKey(Visits()));
    work->FieldByName(QStringLiteral("UKey"))->SetAsString(NewWorkKey(Finds(), work));
    work->FieldByName(QStringLiteral("BodyCount"))->SetAsInteger(0);
    work->FieldByName(QStringLiteral("BodyAge"))->SetAsInteger(1);
    searchFungi->Edit->clear();
    UpdateButtons();
    searchFungi->Edit->setFocus();
}

void TframePlaces::FindChosen(const QString& fungiUKey) {
    TClientDataSet* work = m_screen->WorkFinds();
    if (!IsEditing(work) || fungiUKey.isEmpty()) return;
    // The name is the one the user chose among the species' names.
    QString name = searchFungi->Edit->text().trimmed();
    const int index = searchFungi->SearchList.IndexOfUKey(fungiUKey);
    const QList<int> hits = searchFungi->Hits(name);
    if (hits.size() != 1 && index >= 0) name = searchFungi->SearchList.Strings(index);
    if (hits.size() == 1) name = searchFungi->SearchList.Strings(hits.first());
    work->FieldByName(QStringLiteral("FungiUKey"))->SetAsString(fungiUKey);
    work->FieldByName(QStringLiteral("FungiName"))->SetAsString(name.left(40));
}

void TframePlaces::btnFindSaveClick() {
    TClientDataSet* work = m_screen->WorkFinds();
    if (!EditingVisit() || !IsEditing(work)) return;
    if (Text(work, "FungiUKey").isEmpty()) throw Exception(QStringLiteral("Namn på funnen art saknas!"));
    work->Post();
    searchFungi->Edit->clear();
    FillFindsList();
    UpdateButtons();
}

void TframePlaces::btnFindDeleteClick() {
    DeleteVisitRow(m_screen->WorkFinds(), searchFungi, &TframePlaces::FillFindsList);
}

// ---- Leaving for a contact or a species ----

void TframePlaces::listPeopleDoubleClick(int row) {
    if (EditingVisit() || row < 0 || row >= People()->RecordCount()) return;
    People()->SetRecNo(row + 1);
    const QString individual = Text(People(), "Individual");
    if (!individual.startsWith(TDMServices::RefPrefix)) return;
    const QString key = individual.mid(TDMServices::RefPrefix.size());
    if (!LocateUKey(DM()->cdsContacts, key)) return;
    TFRMainScreen* contacts = MainForm() ? MainForm()->Screen(ssContact) : nullptr;
    if (!contacts) return;
    if (m_screen->RecordHistory && History()) History()->Add(CreateHistoryItem());
    // Shown by the contact screen's own operation: its frame would otherwise go back to the
    // first member of the group it remembers.
    if (auto* screen = qobject_cast<TFRContactScreen*>(contacts))
        screen->ShowContact(key);
    else
        contacts->Activate(QString());
}

void TframePlaces::listFindsDoubleClick(int row) {
    if (EditingVisit() || row < 0 || row >= Finds()->RecordCount()) return;
    Finds()->SetRecNo(row + 1);
    const QString key = Text(Finds(), "FungiUKey");
    TExtClientDataSet* fungi = DM()->cdsFungi;
    if (key.isEmpty()) return;
    fungi->OpenInternal();
    // A species deleted since the find was made opens nothing.
    if (fungi->InternalDataSet()->FindRecordIndex(QStringLiteral("UKey"), key) < 0) return;
    TFRMainScreen* species = MainForm() ? MainForm()->Screen(ssFungi) : nullptr;
    if (m_screen->RecordHistory && History()) History()->Add(CreateHistoryItem());
    // A species outside the selection widens it by that one species; the user's quick or
    // key selection stays.
    if (auto* fungiScreen = qobject_cast<TFRFungiScreen*>(species))
        static_cast<void>(fungiScreen->ShowFungiInSelection(key));
    else
        static_cast<void>(LocateUKey(fungi, key));
    if (TFRIniFile* settings = Settings()) settings->WriteString(QStringLiteral("Fungi/LastVisited"), key);
    if (species) species->Activate(QString());
}

#include "moc_unitFramePlaces.cpp"
