#include "content/places/PlaceVisits.h"
// The visits of the places frame, with their participants and finds, and the helpers the
// frame's two pages share.

#include <QDate>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "content/contacts/unitContactScreen.h"
#include "content/places/unitFramePlaces.h"
#include "content/places/unitPlaceScreen.h"
#include "content/species/unitFrameFungiFinds.h"
#include "content/species/unitFungiScreen.h"
#include "controls/FREdits.h"
#include "controls/FRLabel.h"
#include "controls/FRMemos.h"
#include "controls/FRMultiChoice.h"
#include "controls/FRSearchPanel.h"
#include "core/ExtClientDataSet.h"
#include "core/FRIniFile.h"
#include "core/SaveUnit.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "platform/ClientDataSet.h"
#include "platform/Clock.h"
#include "platform/Exception.h"
#include "platform/UIServices.h"
#include "shell/FRHistory.h"
#include "shell/unitMain.h"
#include "shell/unitUserScreen.h"

namespace placesframe {

const QString kErrorCaption = QStringLiteral("Mykotekshallen - Fel");
const QString kDeleteCaption = QStringLiteral("Mykotekshallen - Bekräfta radering");

bool IsEditing(const TClientDataSet* table) {
    const TDataSetState state = table->State();
    return state == TDataSetState::dsEdit || state == TDataSetState::dsInsert;
}

QString Text(TClientDataSet* table, const char* field) { return table->FieldByName(QLatin1String(field))->AsString(); }

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

TFRIniFile* Settings() { return UsersSettings(); }

}  // namespace placesframe

using namespace placesframe;

namespace {

const QString kDateFormat = QStringLiteral("yyyy-MM-dd");
const QString kVisitNotSaved =
    QStringLiteral("Svamputflykten kunde inte sparas. Deltagare och fynd är de som sparades tidigare.\n%1");

// The key of a new working row: unused in the stored table and among the working rows not
// yet stored, which may have been drawn within the same millisecond.
QString NewWorkKey(const TExtClientDataSet* stored, const TClientDataSet* work) {
    return stored->NewUKey(
        [work](const QString& key) { return work->FindRecordIndex(QStringLiteral("UKey"), key) >= 0; });
}

}  // namespace

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

void TframePlaces::FillVisitList() {
    m_filling = true;
    listVisits->clear();
    TExtClientDataSet* visits = Visits();
    if (visits->Active()) {
        const int key = visits->FieldByName(QStringLiteral("UKey"))->Index();
        const int date = visits->FieldByName(QStringLiteral("VisitDate"))->Index();
        for (int row = 0; row < visits->RecordCount(); ++row)
            listVisits->addItem(
                VisitLine(visits->RecordValue(row, key).toString(), visits->RecordValue(row, date).toDate()));
        if (visits->State() == TDataSetState::dsBrowse && visits->RecNo() > 0)
            listVisits->setCurrentRow(visits->RecNo() - 1);
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
            listFinds->addItem(FindLine(finds->RecordValue(row, name).toString(),
                                        finds->RecordValue(row, count).toInt(), finds->RecordValue(row, age).toInt()));
        if (!EditingVisit() && finds->RecNo() > 0) listFinds->setCurrentRow(finds->RecNo() - 1);
    }
    m_filling = false;
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
            QStringLiteral(
                "Du är på väg att radera den markerade svamputflykten daterad %1. Skall raderingen genomföras?")
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
